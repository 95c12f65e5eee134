// The close signals, each scenario in a child process of its own, since the
// handlers and the watchdog belong to the whole process: SIGTERM, SIGINT and
// SIGHUP are kept for the main loop instead of ending the process; a process
// that does not close in time is ended by its signal after the registered
// file is removed; once the close is finished a signal ends it at once.
#include "platform/system/CloseSignals.h"
#include "platform/system/SingleInstance.h"

#include "tests/core/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

// Runs the body in a forked child, which ends with the body's answer, and
// waits for it with a deadline. The wait status, or -1 when the child was
// still running at the deadline (it is then killed). The child starts with
// the close signals at their default, as a program started from a desktop
// does, whatever the test runner ignores.
int runChild(const std::function<int()>& body)
{
    const pid_t child = fork();
    if (child == 0)
    {
        for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
            std::signal(signalNumber, SIG_DFL);
        _exit(body());
    }
    if (child < 0)
        return -1;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    int status = 0;
    while (Clock::now() < deadline)
    {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            return status;
        if (done < 0)
            return -1;
        timespec step{0, 5 * 1000 * 1000};
        nanosleep(&step, nullptr);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return -1;
}

std::string describe(int status)
{
    if (status == -1)
        return "still running at the deadline";
    if (WIFSIGNALED(status))
        return "killed by signal " + std::to_string(WTERMSIG(status));
    return "exited with code " + std::to_string(WEXITSTATUS(status));
}

TEST(CloseSignals, EachSignalIsKeptForTheMainLoopInsteadOfEndingTheProcess)
{
    const int status = runChild(
        []
        {
            if (!Platform::InstallCloseSignals(60000))
                return 1;
            int code = 10;
            for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
            {
                raise(signalNumber);
                if (Platform::TakeCloseSignal() != signalNumber)
                    return code;
                // Taken once.
                if (Platform::TakeCloseSignal() != 0)
                    return code + 1;
                code += 10;
            }
            Platform::CloseFinished();
            return 0;
        });
    EXPECT_TRUE(status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) << describe(status);
}

TEST(CloseSignals, ASignalTheProgramWasStartedWithIgnoredStaysIgnored)
{
    const int status = runChild(
        []
        {
            std::signal(SIGHUP, SIG_IGN);
            if (!Platform::InstallCloseSignals(60000))
                return 1;
            raise(SIGHUP);
            if (Platform::TakeCloseSignal() != 0)
                return 2;
            raise(SIGTERM);
            if (Platform::TakeCloseSignal() != SIGTERM)
                return 3;
            Platform::CloseFinished();
            raise(SIGHUP);
            return 0;
        });
    EXPECT_TRUE(status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) << describe(status);
}

TEST(CloseSignals, AProcessThatDoesNotCloseInTimeIsEndedByItsSignalWithoutItsSocket)
{
    TempFolder temp;
    const std::string folder = temp.path.string();
    const std::string socketPath = folder + "/game.sock";
    const int status = runChild(
        [&]
        {
            Platform::SingleInstance instance;
            if (instance.Acquire("game", folder) != Platform::SingleInstance::Result::First ||
                !std::filesystem::exists(socketPath))
                return 1;
            Platform::InstallCloseSignals(200);
            raise(SIGTERM);
            // A game that never gets back to its loop.
            for (;;)
                pause();
            return 0;
        });
    EXPECT_TRUE(status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << describe(status);
    EXPECT_FALSE(std::filesystem::exists(socketPath));
}

TEST(CloseSignals, OnceTheCloseIsFinishedASignalEndsTheProcessAtOnce)
{
    TempFolder temp;
    const std::string socketPath = (temp.path / "game.sock").string();
    std::FILE* file = std::fopen(socketPath.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    const int status = runChild(
        [&]
        {
            Platform::InstallCloseSignals(60000);
            Platform::SetRemoveOnForcedEnd(socketPath);
            raise(SIGINT);
            Platform::TakeCloseSignal();
            Platform::CloseFinished();
            raise(SIGHUP);
            return 0;
        });
    EXPECT_TRUE(status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP) << describe(status);
    // The watchdog stood down: it removed nothing.
    EXPECT_TRUE(std::filesystem::exists(socketPath));
}

} // namespace
