#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/core/app/AppPaths.h"
#include "engine/core/base/ByteBuffer.h"
#include "engine/core/files/ProtectedXmlFile.h"
#include "engine/core/files/SettingsStore.h"
#include "engine/core/xml/XmlNode.h"
#include "tests/core/FileTestSupport.h"
#include "tests/core/ReadOnlyFolder.h"

using namespace TarnEngine;

namespace
{

// File calls that record their order and fail at one chosen step.
class ScriptedIo : public SettingsFileIo
{
public:
    std::string failAt;
    std::vector<std::string> calls;

    int Create(const std::wstring& path) override
    {
        calls.push_back("create");
        return failAt == "create" ? -1 : SettingsFileIo::Create(path);
    }
    bool Write(int file, const uint8_t* data, size_t size) override
    {
        calls.push_back("write");
        if (failAt == "write")
        {
            // A disk that fills up part way: some bytes land, then the error.
            SettingsFileIo::Write(file, data, size / 2);
            return false;
        }
        return SettingsFileIo::Write(file, data, size);
    }
    bool Sync(int file) override
    {
        calls.push_back("sync");
        return failAt != "sync" && SettingsFileIo::Sync(file);
    }
    bool Close(int file) override
    {
        calls.push_back("close");
        return SettingsFileIo::Close(file) && failAt != "close";
    }
    bool Rename(const std::wstring& from, const std::wstring& to) override
    {
        calls.push_back("rename");
        return failAt != "rename" && SettingsFileIo::Rename(from, to);
    }
    bool SyncFolder(const std::wstring& folder) override
    {
        calls.push_back("syncfolder");
        return SettingsFileIo::SyncFolder(folder);
    }
    // "remove" leaves the name as it is, as if something had put it back at once.
    bool Remove(const std::wstring& path) override
    {
        calls.push_back("remove");
        return failAt != "remove" && SettingsFileIo::Remove(path);
    }
};

std::vector<uint8_t> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void fill(ByteBuffer& buffer, const std::string& text)
{
    buffer.Write(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
}

bool onlyTheTargetIsLeft(const std::filesystem::path& folder)
{
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename() != "brq.xml")
            return false;
    return true;
}

TEST(SettingsStore, SaveFlushesBeforeReplacingAndFlushesTheFolderAfter)
{
    FileTest::TempFolder folder;
    auto io = std::make_unique<ScriptedIo>();
    ScriptedIo* calls = io.get();
    SettingsStore store([&](bool) { return TarnEngine::FromOsPath(folder.Os() + "/"); },
                        [&](bool) { return TarnEngine::FromOsPath(folder.Os() + "/"); }, std::move(io));
    ByteBuffer bytes;
    fill(bytes, "new contents");
    ASSERT_TRUE(WriteFileViaTemp(store, L"brq.xml", SettingsStore::SavedGames, bytes));
    EXPECT_EQ(calls->calls, (std::vector<std::string>{"remove", "create", "write", "sync", "close", "rename",
                                                      "syncfolder"}));
    const std::vector<uint8_t> written = readFile(std::filesystem::path(folder.Os("brq.xml")));
    EXPECT_EQ(std::string(written.begin(), written.end()), "new contents");
    EXPECT_TRUE(onlyTheTargetIsLeft(std::filesystem::path(folder.Os())));
}

TEST(SettingsStore, FailedSaveKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    for (const char* step : {"create", "write", "sync", "close", "rename"})
    {
        FileTest::TempFolder folder;
        {
            std::ofstream old(std::filesystem::path(folder.Os("brq.xml")), std::ios::binary);
            old << "old player data";
        }
        const std::vector<uint8_t> before = readFile(std::filesystem::path(folder.Os("brq.xml")));
        auto io = std::make_unique<ScriptedIo>();
        io->failAt = step;
        SettingsStore store([&](bool) { return TarnEngine::FromOsPath(folder.Os() + "/"); },
                            [&](bool) { return TarnEngine::FromOsPath(folder.Os() + "/"); }, std::move(io));
        ByteBuffer bytes;
        fill(bytes, std::string(100000, 'n'));
        EXPECT_FALSE(WriteFileViaTemp(store, L"brq.xml", SettingsStore::SavedGames, bytes)) << step;
        EXPECT_EQ(readFile(std::filesystem::path(folder.Os("brq.xml"))), before) << step;
        EXPECT_TRUE(onlyTheTargetIsLeft(std::filesystem::path(folder.Os()))) << step;
    }
}

// The folder is made read-only by a mount in a child process's own mount
// namespace, which stops the superuser as well as anyone.
TEST(SettingsStore, ReadOnlyFolderRefusesTheSaveAndKeepsTheOldFile)
{
    FileTest::TempFolder folder;
    {
        std::ofstream old(std::filesystem::path(folder.Os("brq.xml")), std::ios::binary);
        old << "old player data";
    }
    const std::string path = folder.Os();
    const std::wstring enginePath = TarnEngine::FromOsPath(path + "/");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        if (const char* problem = ReadOnlyFolder::MakeReadOnlyHere(path.c_str()))
        {
            std::fprintf(stderr, "%s (errno %d)\n", problem, errno);
            _exit(2);
        }
        SettingsStore store([&](bool) { return enginePath; }, [&](bool) { return enginePath; });
        ByteBuffer bytes;
        fill(bytes, "new");
        _exit(WriteFileViaTemp(store, L"brq.xml", SettingsStore::SavedGames, bytes) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 2) << "the folder cannot be made read-only here, so nothing was tried";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save answered true in a read-only folder";
    const std::vector<uint8_t> after = readFile(std::filesystem::path(folder.Os("brq.xml")));
    EXPECT_EQ(std::string(after.begin(), after.end()), "old player data");
    EXPECT_TRUE(onlyTheTargetIsLeft(std::filesystem::path(folder.Os())));
}

std::unique_ptr<XmlNode> document(const wchar_t* value)
{
    auto root = std::make_unique<XmlNode>(L"Root");
    root->SetAttribute(L"value", value);
    return root;
}

std::wstring valueOf(const std::unique_ptr<XmlNode>& root)
{
    std::wstring value;
    if (root)
        root->GetAttribute(L"value", value);
    return value;
}

bool isLink(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool nameExists(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

// A symbolic link at the temporary name, to a file elsewhere or to nothing:
// the save neither writes through it nor turns the settings file into it.
TEST(SettingsStore, ALinkAtTheTemporaryNameIsNeitherFollowedNorLeft)
{
    for (const bool victimExists : {true, false})
    {
        SCOPED_TRACE(victimExists ? "link to a file" : "link to nothing");
        FileTest::TempFolder folder;
        std::filesystem::create_directories(folder.Os("settings"));
        const std::wstring settings = folder.Engine("settings/");
        SettingsStore store([&](bool) { return settings; }, [&](bool) { return settings; });
        ASSERT_TRUE(SaveProtectedXml(*document(L"old"), store, L"System.prefs", SettingsStore::LocalData));
        if (victimExists)
            folder.Write("victim", "not the settings");
        ASSERT_EQ(symlink(folder.Os("victim").c_str(), folder.Os("settings/System.prefs.tmp").c_str()), 0);

        EXPECT_TRUE(SaveProtectedXml(*document(L"new"), store, L"System.prefs", SettingsStore::LocalData));
        if (victimExists)
            EXPECT_EQ(folder.Read("victim"), "not the settings");
        else
            EXPECT_FALSE(nameExists(folder.Os("victim")));
        EXPECT_FALSE(nameExists(folder.Os("settings/System.prefs.tmp")));
        EXPECT_FALSE(isLink(folder.Os("settings/System.prefs")));
        EXPECT_EQ(valueOf(LoadProtectedXml(store, L"System.prefs", SettingsStore::LocalData)), L"new");
    }
}

// A link put back between the removal and the creation (here: a removal
// that does nothing) makes the creation fail: the save is refused, nothing
// is written through the link, and the old settings still load, after which
// the link is gone.
TEST(SettingsStore, ALinkThatStaysAtTheTemporaryNameRefusesTheSave)
{
    FileTest::TempFolder folder;
    std::filesystem::create_directories(folder.Os("settings"));
    const std::wstring settings = folder.Engine("settings/");
    SettingsStore plain([&](bool) { return settings; }, [&](bool) { return settings; });
    ASSERT_TRUE(SaveProtectedXml(*document(L"old"), plain, L"System.prefs", SettingsStore::LocalData));
    folder.Write("victim", "not the settings");
    ASSERT_EQ(symlink(folder.Os("victim").c_str(), folder.Os("settings/System.prefs.tmp").c_str()), 0);

    auto io = std::make_unique<ScriptedIo>();
    io->failAt = "remove";
    SettingsStore stubborn([&](bool) { return settings; }, [&](bool) { return settings; }, std::move(io));
    EXPECT_FALSE(SaveProtectedXml(*document(L"new"), stubborn, L"System.prefs", SettingsStore::LocalData));
    EXPECT_EQ(folder.Read("victim"), "not the settings");
    EXPECT_FALSE(isLink(folder.Os("settings/System.prefs")));

    SettingsStore reader([&](bool) { return settings; }, [&](bool) { return settings; });
    EXPECT_EQ(valueOf(LoadProtectedXml(reader, L"System.prefs", SettingsStore::LocalData)), L"old");
    EXPECT_FALSE(nameExists(folder.Os("settings/System.prefs.tmp")));
    EXPECT_EQ(folder.Read("victim"), "not the settings");
}

TEST(SettingsStore, ATemporaryFileLeftByAKilledSaveGoesAtTheNextLoadOrSave)
{
    for (const bool load : {true, false})
    {
        SCOPED_TRACE(load ? "load" : "save");
        FileTest::TempFolder folder;
        const std::wstring settings = folder.Engine("") + L"\\";
        SettingsStore store([&](bool) { return settings; }, [&](bool) { return settings; });
        ASSERT_TRUE(SaveProtectedXml(*document(L"old"), store, L"brq.xml", SettingsStore::SavedGames));
        folder.Write("brq.xml.tmp", "half of a save");
        if (load)
            EXPECT_EQ(valueOf(LoadProtectedXml(store, L"brq.xml", SettingsStore::SavedGames)), L"old");
        else
            EXPECT_TRUE(SaveProtectedXml(*document(L"new"), store, L"brq.xml", SettingsStore::SavedGames));
        EXPECT_FALSE(nameExists(folder.Os("brq.xml.tmp")));
    }
}

TEST(SettingsStore, FoldersAreLookedUpOnceUnlessEmpty)
{
    int saveLookups = 0;
    int localLookups = 0;
    bool lastCreate = true;
    std::wstring localAnswer;
    SettingsStore store(
        [&](bool create)
        {
            ++saveLookups;
            lastCreate = create;
            return std::wstring(L"\\saves\\");
        },
        [&](bool)
        {
            ++localLookups;
            return localAnswer;
        });
    EXPECT_EQ(SettingsStore::Get(), &store);
    EXPECT_TRUE(store.EnsureSaveFolder(false));
    EXPECT_FALSE(lastCreate);
    EXPECT_TRUE(store.EnsureSaveFolder(true));
    EXPECT_EQ(saveLookups, 1);
    EXPECT_EQ(store.saveFolder, L"\\saves\\");

    EXPECT_FALSE(store.EnsureLocalFolder(true));
    localAnswer = L"\\local\\";
    EXPECT_TRUE(store.EnsureLocalFolder(true));
    EXPECT_TRUE(store.EnsureLocalFolder(true));
    EXPECT_EQ(localLookups, 2);
}

TEST(SettingsStore, NoFolderMeansNoReadOrWrite)
{
    SettingsStore store([](bool) { return std::wstring(); }, [](bool) { return std::wstring(); });
    ByteBuffer bytes;
    fill(bytes, "x");
    EXPECT_FALSE(WriteFileViaTemp(store, L"brq.xml", SettingsStore::SavedGames, bytes));
    ByteBuffer out;
    EXPECT_FALSE(store.ReadFile(SettingsStore::LocalData, L"System.prefs", out));
    EXPECT_FALSE(store.ReadFile(7, L"System.prefs", out));
}

TEST(SettingsStore, EnginePathsBecomeSystemPaths)
{
    EXPECT_EQ(SettingsFileIo::ToSystemPath(L"\\home\\p\\Halcyra Games\\Pellwood\\brq.xml"),
              "/home/p/Halcyra Games/Pellwood/brq.xml");
    EXPECT_EQ(SettingsFileIo::ToSystemPath(L"\\tmp\\caf\u00E9"), "/tmp/caf\xC3\xA9");
}

std::wstring pellwoodName()
{
    return L"Pellwood";
}

TEST(SettingsStore, DefaultFoldersAreThePlayersUserFolders)
{
    FileTest::TempFolder temp;
    FileTest::ScopedEnv home("HOME", temp.Os("home"));
    FileTest::ScopedEnv data("XDG_DATA_HOME", temp.Os("data"));
    FileTest::ScopedEnv config("XDG_CONFIG_HOME", temp.Os("config"));
    SetApplicationNameProvider(&pellwoodName);
    {
        SettingsStore store;
        XmlNode root(L"Root");
        ASSERT_TRUE(SaveProtectedXml(root, store, L"brq.xml", SettingsStore::SavedGames));
        ASSERT_TRUE(SaveProtectedXml(root, store, L"Window.prefs", SettingsStore::LocalData));
        EXPECT_TRUE(std::filesystem::exists(temp.Os("data/Halcyra Games/Pellwood/brq.xml")));
        EXPECT_TRUE(std::filesystem::exists(temp.Os("config/Halcyra Games/Pellwood/Window.prefs")));
        EXPECT_EQ(store.localFolder, temp.Engine("config") + L"\\Halcyra Games\\Pellwood\\");
        EXPECT_TRUE(LoadProtectedXml(store, L"Window.prefs", SettingsStore::LocalData));
    }
    SetApplicationNameProvider(nullptr);
}

} // namespace
