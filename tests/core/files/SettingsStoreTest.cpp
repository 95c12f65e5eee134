#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <unistd.h>

#include "engine/core/app/AppPaths.h"
#include "engine/core/base/ByteBuffer.h"
#include "engine/core/files/ProtectedXmlFile.h"
#include "engine/core/files/SettingsStore.h"
#include "tests/core/FileTestSupport.h"

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
    EXPECT_EQ(calls->calls,
              (std::vector<std::string>{"create", "write", "sync", "close", "rename", "syncfolder"}));
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

TEST(SettingsStore, ReadOnlyFolderRefusesTheSaveAndKeepsTheOldFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permission bits do not stop the superuser; the scripted failures cover this";
    FileTest::TempFolder folder;
    {
        std::ofstream old(std::filesystem::path(folder.Os("brq.xml")), std::ios::binary);
        old << "old player data";
    }
    std::filesystem::permissions(std::filesystem::path(folder.Os()),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    SettingsStore store([&](bool) { return TarnEngine::FromOsPath(folder.Os() + "/"); },
                        [&](bool) { return TarnEngine::FromOsPath(folder.Os() + "/"); });
    ByteBuffer bytes;
    fill(bytes, "new");
    EXPECT_FALSE(WriteFileViaTemp(store, L"brq.xml", SettingsStore::SavedGames, bytes));
    const std::vector<uint8_t> after = readFile(std::filesystem::path(folder.Os("brq.xml")));
    EXPECT_EQ(std::string(after.begin(), after.end()), "old player data");
    EXPECT_TRUE(onlyTheTargetIsLeft(std::filesystem::path(folder.Os())));
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
