// Starts a program once with the first-present stop preloaded and prints two
// figures in milliseconds: the wall time from its execve to the end of the
// present that stopped it, and the processor time (user and system, every
// thread) it used until then. On a shared machine the second one moves far
// less with the load than the first.
// Usage: cold_start_run <stop-library> <program> [arguments...]
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: cold_start_run <stop-library> <program> [arguments...]\n");
        return 2;
    }
    int channel[2];
    if (pipe(channel) != 0)
        return 2;
    const pid_t child = fork();
    if (child < 0)
        return 2;
    if (child == 0)
    {
        close(channel[0]);
        setenv("LD_PRELOAD", argv[1], 1);
        setenv("COLD_START_FD", std::to_string(channel[1]).c_str(), 1);
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        setenv("COLD_START_T0_NS", std::to_string((long long)now.tv_sec * 1000000000LL + now.tv_nsec).c_str(), 1);
        execv(argv[2], argv + 2);
        _exit(127);
    }
    close(channel[1]);
    char text[64] = {};
    size_t used = 0;
    ssize_t got = 0;
    // A program that never presents (or runs without the stop loaded) is
    // ended after two minutes rather than waited for.
    pollfd ready{channel[0], POLLIN, 0};
    while (used + 1 < sizeof text && poll(&ready, 1, 120000) > 0 &&
           (got = read(channel[0], text + used, sizeof text - 1 - used)) > 0)
        used += size_t(got);
    if (used == 0)
        kill(child, SIGKILL);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (used == 0)
    {
        std::fprintf(stderr, "cold_start_run: %s ended (status %d) before presenting a frame\n", argv[2], status);
        return 1;
    }
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                       double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    std::printf("%.1f %.1f\n", std::atoll(text) / 1e6, cpu);
    return 0;
}
