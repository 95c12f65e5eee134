// The single-instance lock between two processes.
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/system/SingleInstance.h"

namespace
{

using Platform::SingleInstance;

class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/pellwood-instance-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
    }
    void TearDown() override
    {
        for (const char* suffix : {".lock", ".sock"})
            unlink((folder_ + "/" + name_ + suffix).c_str());
        rmdir(folder_.c_str());
    }
    // Runs Acquire in a child process and returns its result as the exit code.
    int acquireInChild()
    {
        const pid_t child = fork();
        if (child == 0)
        {
            SingleInstance second;
            _exit(static_cast<int>(second.Acquire(name_, folder_)));
        }
        int status = 0;
        EXPECT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status));
        return WEXITSTATUS(status);
    }

    std::string folder_;
    std::string name_ = "Halcyra_Pellwood_Singleton";
};

TEST_F(SingleInstanceTest, SecondProcessLearnsItIsSecondAndAsksToRaise)
{
    SingleInstance first;
    ASSERT_EQ(first.Acquire(name_, folder_), SingleInstance::Result::First);
    EXPECT_EQ(first.PollRaiseRequests(), 0);

    EXPECT_EQ(acquireInChild(), static_cast<int>(SingleInstance::Result::Second));
    EXPECT_EQ(acquireInChild(), static_cast<int>(SingleInstance::Result::Second));
    // Both requests wait in the socket's backlog until the first one looks.
    EXPECT_EQ(first.PollRaiseRequests(), 2);
    EXPECT_EQ(first.PollRaiseRequests(), 0);
}

// A later instance connects, then writes; the first may look in between.
TEST_F(SingleInstanceTest, RequestWrittenAfterTheConnectionWasTakenStillCounts)
{
    SingleInstance first;
    ASSERT_EQ(first.Acquire(name_, folder_), SingleInstance::Result::First);
    auto connectToFirst = [&]
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = folder_ + "/" + name_ + ".sock";
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        EXPECT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        return fd;
    };
    const int late = connectToFirst();
    const int silent = connectToFirst();
    EXPECT_EQ(first.PollRaiseRequests(), 0); // both taken, nothing written yet
    ASSERT_EQ(send(late, "raise\n", 6, MSG_NOSIGNAL), 6);
    close(late);
    close(silent); // gives up without a word
    EXPECT_EQ(first.PollRaiseRequests(), 1);
    EXPECT_EQ(first.PollRaiseRequests(), 0);
}

TEST_F(SingleInstanceTest, LockIsFreeAgainAfterTheFirstEnds)
{
    {
        SingleInstance first;
        ASSERT_EQ(first.Acquire(name_, folder_), SingleInstance::Result::First);
    }
    struct stat info;
    EXPECT_NE(stat((folder_ + "/" + name_ + ".sock").c_str(), &info), 0); // socket removed
    EXPECT_EQ(acquireInChild(), static_cast<int>(SingleInstance::Result::First));
}

TEST_F(SingleInstanceTest, StaleSocketFromACrashedRunIsReplaced)
{
    // A crashed first instance leaves its socket file; the lock died with it.
    {
        const pid_t child = fork();
        if (child == 0)
        {
            auto* leaked = new SingleInstance;
            _exit(leaked->Acquire(name_, folder_) == SingleInstance::Result::First ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_EQ(WEXITSTATUS(status), 0);
    }
    SingleInstance first;
    ASSERT_EQ(first.Acquire(name_, folder_), SingleInstance::Result::First);
    EXPECT_EQ(acquireInChild(), static_cast<int>(SingleInstance::Result::Second));
    EXPECT_EQ(first.PollRaiseRequests(), 1);
}

TEST_F(SingleInstanceTest, DefaultFolderIsTheRuntimeFolder)
{
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = old ? old : "";
    setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    {
        SingleInstance first;
        EXPECT_EQ(SingleInstance::DefaultFolder(), folder_);
        ASSERT_EQ(first.Acquire(name_), SingleInstance::Result::First);
        struct stat info;
        EXPECT_EQ(stat((folder_ + "/" + name_ + ".lock").c_str(), &info), 0);
    }
    if (old)
        setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}

TEST_F(SingleInstanceTest, RefusesNamesThatLeaveTheFolder)
{
    SingleInstance instance;
    EXPECT_EQ(instance.Acquire("../escape", folder_), SingleInstance::Result::Failed);
    EXPECT_EQ(instance.Acquire("", folder_), SingleInstance::Result::Failed);
    EXPECT_EQ(instance.Acquire(name_, folder_ + "/no/such/parent"), SingleInstance::Result::Failed);
}

} // namespace
