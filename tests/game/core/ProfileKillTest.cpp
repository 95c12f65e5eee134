// Saves killed at random moments: a child process saves the profile file in
// a loop, a new state each time, and is killed with SIGKILL; after every kill
// the file must open whole, holding the state before or after one save.
#include "game/core/ProfileStore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <random>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/core/xml/XmlNode.h"
#include "tests/game/core/ProfileTestSupport.h"

namespace
{

using namespace ProfileTest;
namespace fs = std::filesystem;

constexpr int kMostProfiles = 40;

// The state of save number `count`: its number, one profile per save up to
// a limit, and a text whose length changes from save to save.
void makeState(ProfileStore& profiles, long count)
{
    XmlNode* root = profiles.GetDocument();
    root->SetAttribute(L"SAVE", std::to_wstring(count));
    if (count >= 1 && count <= kMostProfiles)
        root->AddNewChild(L"PROFILE")->SetAttribute(L"NAME", L"P" + std::to_wstring(count));
    XmlNode* first = root->children.front().get();
    first->SetAttribute(L"PAYLOAD",
                        std::wstring(static_cast<size_t>(count * 7919 % 6000), L'a' + count % 26));
}

// Checks that the file opens whole as the state of save `low` or `low + 1`;
// the save number found, or -1 (with the reason).
long checkState(const fs::path& folder, long low, std::string& why)
{
    auto store = MakeStore(folder);
    ProfileStore profiles;
    profiles.SetSettingsStore(store.get());
    if (!profiles.Open())
    {
        why = "the file is missing";
        return -1;
    }
    if (!FilesStartingWith(folder, "brq.xml.damaged-").empty())
    {
        why = "the file was damaged";
        return -1;
    }
    const XmlNode& root = *profiles.GetDocument();
    const long count = std::stol(root.GetStringAttribute(L"SAVE", L"-1"));
    if (count != low && count != low + 1)
    {
        why = "save " + std::to_string(count) + " found, " + std::to_string(low) + " or one more expected";
        return -1;
    }
    const size_t profilesWanted = 1 + static_cast<size_t>(std::min<long>(count, kMostProfiles));
    const std::wstring* payload =
        root.children.empty() ? nullptr : root.children[0]->FindAttribute(L"PAYLOAD");
    if (profiles.CountProfiles() != profilesWanted ||
        (count > 0 && (!payload || payload->size() != static_cast<size_t>(count * 7919 % 6000))))
    {
        why = "save " + std::to_string(count) + " is not whole";
        return -1;
    }
    return count;
}

constexpr char kSaveStarted = 0;
constexpr char kSaveDone = 1;

// Saves from save `from` on, a byte to the pipe before and after each; never returns.
[[noreturn]] void saveForever(const fs::path& folder, long from, int pipe)
{
    auto store = MakeStore(folder);
    ProfileStore profiles;
    profiles.SetSettingsStore(store.get());
    profiles.Open();
    for (long count = from + 1;; ++count)
    {
        makeState(profiles, count);
        if (write(pipe, &kSaveStarted, 1) != 1)
            _exit(4);
        if (!profiles.Save())
            _exit(3);
        if (write(pipe, &kSaveDone, 1) != 1)
            _exit(4);
    }
}

// The whole run; empty when every kill left a whole file, else what went wrong.
std::string killRepeatedly(const fs::path& folder, int kills, unsigned seed)
{
    {
        auto store = MakeStore(folder);
        ProfileStore profiles;
        profiles.SetSettingsStore(store.get());
        profiles.Open();
        if (!profiles.CreateProfile(L"Base"))
            return "the first file could not be made";
        makeState(profiles, 0);
        if (!profiles.Save())
            return "the first file could not be saved";
    }
    std::mt19937 random(seed);
    long saved = 0;
    int killedMidSave = 0;
    for (int round = 0; round < kills; ++round)
    {
        int pipes[2];
        if (pipe2(pipes, O_CLOEXEC) != 0)
            return "no pipe";
        fflush(nullptr);
        const pid_t child = fork();
        if (child == 0)
        {
            close(pipes[0]);
            saveForever(folder, saved, pipes[1]);
        }
        close(pipes[1]);
        // Let it finish a save or two, then kill it at a random moment of the next ones.
        const int waitFor = static_cast<int>(random() % 3);
        char byte = kSaveDone;
        int acknowledged = 0;
        while (acknowledged < waitFor && read(pipes[0], &byte, 1) == 1)
            acknowledged += byte == kSaveDone;
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(random() % 3000);
        while (std::chrono::steady_clock::now() < until)
        {
        }
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        // The last byte tells whether the kill came between a save's start and its end
        // (the writing of the text included, which a fast file system makes most of it).
        while (read(pipes[0], &byte, 1) == 1)
            acknowledged += byte == kSaveDone;
        const bool insideSave = byte == kSaveStarted;
        close(pipes[0]);
        if (!WIFSIGNALED(status))
            return "the saving child ended by itself with " + std::to_string(status);
        // What a save in flight leaves, looked at before the open clears it.
        const bool inFlight = !FilesStartingWith(folder, "brq.xml.tmp").empty() ||
                              !FilesStartingWith(folder, "brq.xml.bak.tmp").empty();
        std::string why;
        const long found = checkState(folder, saved + acknowledged, why);
        if (found < 0)
            return "after kill " + std::to_string(round) + " (seed " + std::to_string(seed) + "): " + why;
        killedMidSave += insideSave || inFlight;
        saved = found;
    }
    // The test means something only when kills land inside saves.
    if (killedMidSave < kills / 50)
        return "only " + std::to_string(killedMidSave) + " kills landed inside a save";
    if (saved < kills / 4)
        return "too few saves were made: " + std::to_string(saved);
    return std::string();
}

TEST(ProfileKill, AKilledSaveLeavesTheStateBeforeOrAfterIt)
{
    TempFolder folder;
    EXPECT_EQ(killRepeatedly(folder.path, 200, 20261211), "");
}

TEST(ProfileKill, AKilledSaveOnATmpfsLeavesTheStateBeforeOrAfterIt)
{
    TempFolder folder;
    fflush(nullptr);
    int pipes[2];
    ASSERT_EQ(pipe(pipes), 0);
    const pid_t child = fork();
    if (child == 0)
    {
        close(pipes[0]);
        std::string why;
        if ((unshare(CLONE_NEWNS) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("none", folder.path.c_str(), "tmpfs", 0, "size=16m") != 0)
            _exit(77);
        why = killRepeatedly(folder.path, 200, 1211);
        if (!why.empty() && write(pipes[1], why.data(), why.size()) < 0)
            _exit(2);
        _exit(why.empty() ? 0 : 1);
    }
    close(pipes[1]);
    std::string why;
    char buffer[256];
    for (ssize_t n; (n = read(pipes[0], buffer, sizeof buffer)) > 0;)
        why.append(buffer, static_cast<size_t>(n));
    close(pipes[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << ": " << why;
}

} // namespace
