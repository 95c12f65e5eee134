// Preloaded into a program whose start is measured: after its first
// SDL_RenderPresent or SDL_UpdateWindowSurface (a frame copied straight into
// the window) returns, writes the nanoseconds since the launcher's
// execve (COLD_START_T0_NS, CLOCK_MONOTONIC) to COLD_START_FD and ends the
// program there, so that nothing after the first frame is counted or waited for.
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

struct SDL_Renderer;
struct SDL_Window;

namespace
{
// Reports the time since the launcher's execve and ends the program.
void stopAfterFirstFrame()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const char* start = std::getenv("COLD_START_T0_NS");
    const char* fd = std::getenv("COLD_START_FD");
    if (!start || !fd)
        return;
    const long long elapsed = (long long)now.tv_sec * 1000000000LL + now.tv_nsec - std::atoll(start);
    char line[64];
    const int length = std::snprintf(line, sizeof line, "%lld\n", elapsed);
    if (write(std::atoi(fd), line, size_t(length)) != length)
        _exit(3);
    _exit(0);
}
} // namespace

extern "C" void SDL_RenderPresent(SDL_Renderer* renderer)
{
    using Present = void (*)(SDL_Renderer*);
    static Present real = reinterpret_cast<Present>(dlsym(RTLD_NEXT, "SDL_RenderPresent"));
    if (real)
        real(renderer);
    stopAfterFirstFrame();
}

extern "C" int SDL_UpdateWindowSurface(SDL_Window* window)
{
    using Update = int (*)(SDL_Window*);
    static Update real = reinterpret_cast<Update>(dlsym(RTLD_NEXT, "SDL_UpdateWindowSurface"));
    const int result = real ? real(window) : -1;
    stopAfterFirstFrame();
    return result;
}
