// Preloaded into a program whose start is measured, with bench/coldstart's
// runner: once a line holding the text of COLD_START_AFTER_LINE has been written
// to standard error (the program's log, PELLWOOD_LOG=debug), the end of the next
// SDL_RenderPresent writes the nanoseconds since the runner's execve
// (COLD_START_T0_NS, CLOCK_MONOTONIC) to COLD_START_FD and ends the program.
// Without COLD_START_AFTER_LINE the first present stops it, as the plain stop
// does; both programs of a comparison load this one, so both pay the same hook.
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

struct SDL_Renderer;

namespace
{

std::atomic<bool> seen{false};

bool lineSeen()
{
    static const char* wanted = std::getenv("COLD_START_AFTER_LINE");
    return !wanted || !*wanted || seen.load();
}

} // namespace

extern "C" ssize_t write(int fd, const void* data, size_t size)
{
    using Write = ssize_t (*)(int, const void*, size_t);
    static Write real = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "write"));
    if (fd == STDERR_FILENO && !seen.load())
    {
        const char* wanted = std::getenv("COLD_START_AFTER_LINE");
        if (wanted && *wanted &&
            std::string_view(static_cast<const char*>(data), size).find(wanted) != std::string_view::npos)
            seen.store(true);
    }
    return real ? real(fd, data, size) : -1;
}

extern "C" void SDL_RenderPresent(SDL_Renderer* renderer)
{
    using Present = void (*)(SDL_Renderer*);
    static Present real = reinterpret_cast<Present>(dlsym(RTLD_NEXT, "SDL_RenderPresent"));
    const bool stopAfter = lineSeen();
    if (real)
        real(renderer);
    if (!stopAfter)
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const char* start = std::getenv("COLD_START_T0_NS");
    const char* fd = std::getenv("COLD_START_FD");
    if (!start || !fd)
        return;
    const long long elapsed = (long long)now.tv_sec * 1000000000LL + now.tv_nsec - std::atoll(start);
    char line[64];
    const int length = std::snprintf(line, sizeof line, "%lld\n", elapsed);
    if (::write(std::atoi(fd), line, size_t(length)) != length)
        _exit(3);
    _exit(0);
}
