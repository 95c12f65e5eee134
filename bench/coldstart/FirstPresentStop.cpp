// Preloaded into a program whose start is measured: after a frame is shown
// (SDL_RenderPresent, or SDL_UpdateWindowSurface for a frame copied straight
// into the window) writes the nanoseconds since the launcher's execve
// (COLD_START_T0_NS, CLOCK_MONOTONIC) to COLD_START_FD and ends the program
// there, so that nothing after that frame is counted or waited for.
// The frame is the first one, or, with COLD_START_AFTER_LINE set, the first
// one after a line holding that text was written to standard error (the
// program's log with PELLWOOD_LOG=debug). Both programs of a comparison load
// this module, so both pay the same hooks.
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

struct SDL_Renderer;
struct SDL_Window;

namespace
{
std::atomic<bool> seen{false};

const char* wantedLine()
{
    static const char* wanted = std::getenv("COLD_START_AFTER_LINE");
    return wanted && *wanted ? wanted : nullptr;
}

// Reports the time since the launcher's execve and ends the program, when the
// frame just shown is the one waited for.
void stopAfterFrame(bool lineWasSeen)
{
    if (!lineWasSeen)
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

bool lineSeen()
{
    return !wantedLine() || seen.load();
}
} // namespace

extern "C" ssize_t write(int fd, const void* data, size_t size)
{
    using Write = ssize_t (*)(int, const void*, size_t);
    static Write real = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "write"));
    if (fd == STDERR_FILENO && !seen.load())
        if (const char* wanted = wantedLine();
            wanted && std::string_view(static_cast<const char*>(data), size).find(wanted) != std::string_view::npos)
            seen.store(true);
    return real ? real(fd, data, size) : -1;
}

extern "C" void SDL_RenderPresent(SDL_Renderer* renderer)
{
    using Present = void (*)(SDL_Renderer*);
    static Present real = reinterpret_cast<Present>(dlsym(RTLD_NEXT, "SDL_RenderPresent"));
    const bool stopAfter = lineSeen();
    if (real)
        real(renderer);
    stopAfterFrame(stopAfter);
}

extern "C" int SDL_UpdateWindowSurface(SDL_Window* window)
{
    using Update = int (*)(SDL_Window*);
    static Update real = reinterpret_cast<Update>(dlsym(RTLD_NEXT, "SDL_UpdateWindowSurface"));
    const bool stopAfter = lineSeen();
    const int result = real ? real(window) : -1;
    stopAfterFrame(stopAfter);
    return result;
}
