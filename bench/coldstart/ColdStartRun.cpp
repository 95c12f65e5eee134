// Starts a program once with the first-present stop preloaded and prints the
// milliseconds from its execve to the end of its first present.
// Usage: cold_start_run <stop-library> <program> [arguments...]
#include <poll.h>
#include <signal.h>
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
    waitpid(child, &status, 0);
    if (used == 0)
    {
        std::fprintf(stderr, "cold_start_run: %s ended (status %d) before presenting a frame\n", argv[2], status);
        return 1;
    }
    std::printf("%.1f\n", std::atoll(text) / 1e6);
    return 0;
}
