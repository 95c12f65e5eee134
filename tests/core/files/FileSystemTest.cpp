// The file system over a pack and a loose folder made in a temporary folder: search order, the shared
// open-file table, selections, listing, physical paths, moving files, and protected data files from
// either kind of source.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileSource.h"
#include "engine/core/files/FileSystem.h"
#include "engine/core/files/MemorySource.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/files/Xxtea.h"
#include "tests/core/FileTestSupport.h"

using namespace TarnEngine;
using FileTest::BuildZip;
using FileTest::MakeProtectedFile;
using FileTest::TempFolder;
using FileTest::ZipMember;

namespace
{

const uint32_t kKey[4] = {0x01234567, 0x89ABCDEF, 0xFEDCBA98, 0x76543210};

std::string contentsOf(const RefPtr<StreamSourceCounted>& source)
{
    if (!source)
        return "<null>";
    std::string out(source->GetSize(), '\0');
    uint32_t read = 0;
    source->Read(0, reinterpret_cast<uint8_t*>(out.data()), uint32_t(out.size()), &read);
    out.resize(read);
    return out;
}

class FileSystemTest : public ::testing::Test
{
protected:
    // A pack "data.dat" and a loose folder "input/", both under the source name "System", mounted in
    // that order, as start-up does.
    void mountSystem(const std::vector<ZipMember>& packMembers)
    {
        temp.Write("data.dat", BuildZip(packMembers));
        std::filesystem::create_directories(temp.Os("input"));
        ASSERT_TRUE(fs.AddSource(std::make_unique<FSCompressedSource>(temp.Engine("data.dat"), L"System")));
        ASSERT_TRUE(fs.AddSource(std::make_unique<FSLooseFiles>(temp.Engine("input/"), L"System")));
    }

    TempFolder temp;
    FileSystem fs;
};

// A source whose files cannot be read: to show that a failed read of a trailer fails the open.
class UnreadableSource : public StreamSourceCounted
{
public:
    bool Read(uint32_t, uint8_t*, uint32_t, uint32_t*) override { return false; }
    bool Write(uint32_t, const uint8_t*, uint32_t, uint32_t*) override { return false; }
    uint32_t GetSize() override { return 100; }
    bool IsValid() override { return true; }
};

class UnreadableFiles : public IFSSource
{
public:
    bool Mount() override { return true; }
    bool Unmount() override { return true; }
    bool IsMounted() override { return true; }
    RefPtr<StreamSourceCounted> OpenFile(const std::wstring&) override { return new UnreadableSource; }
    std::wstring GetPath() override { return L""; }
    bool FileExists(const std::wstring&) override { return true; }
    std::wstring GetName() override { return L"Broken"; }
    uint32_t FindFiles(const std::wstring&, std::vector<std::wstring>*, std::vector<std::wstring>*) override
    {
        return 0;
    }
};

class RefusesToMount : public UnreadableFiles
{
public:
    explicit RefusesToMount(bool* deleted) : m_deleted(deleted) {}
    ~RefusesToMount() override { *m_deleted = true; }
    bool Mount() override { return false; }

private:
    bool* m_deleted;
};

} // namespace

TEST_F(FileSystemTest, PackIsSearchedBeforeTheLooseFolder)
{
    mountSystem({{"config/both.xml", "from the pack"}});
    temp.Write("input/config/both.xml", "from the folder");
    temp.Write("input/only.xml", "loose only");

    EXPECT_EQ(contentsOf(fs.Open(L"config\\both.xml")), "from the pack");
    EXPECT_EQ(contentsOf(fs.Open(L"only.xml")), "loose only");
    EXPECT_FALSE(fs.Open(L"nowhere.xml"));
    EXPECT_FALSE(fs.OpenStream(L"nowhere.xml").IsValid());
    EXPECT_TRUE(fs.FileExists(L"CONFIG/BOTH.XML"));
    EXPECT_TRUE(fs.FileExists(L"only.xml"));
    EXPECT_FALSE(fs.FileExists(L"config"));
    EXPECT_EQ(FileSystem::Get(), &fs);
}

TEST_F(FileSystemTest, MixedCaseLooseNamesAreFound)
{
    mountSystem({});
    temp.Write("input/Audio/audio.xml", "<audio/>");
    Stream stream = fs.OpenStream(L"audio/Audio.xml");
    ASSERT_TRUE(stream.IsValid());
    EXPECT_EQ(contentsOf(stream.GetSource()), "<audio/>");
    EXPECT_TRUE(fs.FileExists(L"AUDIO\\AUDIO.XML"));
}

TEST_F(FileSystemTest, OpenFileIsSharedWhileReferencedAndLookedUpAgainAfterwards)
{
    mountSystem({});
    temp.Write("input/level.xml", "first");
    RefPtr<StreamSourceCounted> first = fs.Open(L"level.xml");
    ASSERT_TRUE(first);

    // Replace the file on disk: while the first source lives, the name still gives it.
    temp.Write("input/level.new", "second");
    std::filesystem::rename(temp.Os("input/level.new"), temp.Os("input/level.xml"));
    RefPtr<StreamSourceCounted> again = fs.Open(L"level.xml");
    EXPECT_EQ(again.Get(), first.Get());
    EXPECT_EQ(contentsOf(again), "first");
    // Names are recorded as spelled: another spelling is another entry.
    RefPtr<StreamSourceCounted> otherSpelling = fs.Open(L"LEVEL.xml");
    EXPECT_NE(otherSpelling.Get(), first.Get());
    EXPECT_EQ(fs.GetOpenFiles().GetCount(), 2u);

    first.Release();
    again.Release();
    EXPECT_EQ(fs.GetOpenFiles().GetCount(), 1u);
    EXPECT_EQ(contentsOf(fs.Open(L"level.xml")), "second");
}

TEST_F(FileSystemTest, LibraryListsAreNeverShared)
{
    mountSystem({{"Libraries.XML", "<libraries/>"}});
    for (const wchar_t* name : {L"Libraries.XML", L"libraries.xml"})
    {
        RefPtr<StreamSourceCounted> a = fs.Open(name);
        RefPtr<StreamSourceCounted> b = fs.Open(name);
        ASSERT_TRUE(a);
        ASSERT_TRUE(b);
        EXPECT_NE(a.Get(), b.Get());
        EXPECT_EQ(fs.GetOpenFiles().GetCount(), 0u);
    }
}

TEST_F(FileSystemTest, EmptyPackMemberFallsThroughButEmptyLooseFileIsServed)
{
    mountSystem({{"empty.txt", ""}});
    temp.Write("input/empty.txt", "");
    RefPtr<StreamSourceCounted> source = fs.Open(L"empty.txt");
    ASSERT_TRUE(source);
    EXPECT_TRUE(source->IsValid());
    EXPECT_NE(dynamic_cast<FileSource*>(source.Get()), nullptr);
    EXPECT_EQ(source->GetSize(), 0u);
}

TEST_F(FileSystemTest, SelectionRestrictsLookups)
{
    mountSystem({{"system.xml", "system"}});
    std::filesystem::create_directories(temp.Os("group"));
    temp.Write("group/group.xml", "group");
    ASSERT_TRUE(fs.AddSource(std::make_unique<FSLooseFiles>(temp.Engine("group/"), L"Group")));

    RefPtr<StreamSourceCounted> stillOpen = fs.Open(L"system.xml");
    ASSERT_TRUE(fs.SelectSources(L"Group"));
    EXPECT_EQ(contentsOf(fs.Open(L"group.xml")), "group");
    EXPECT_FALSE(fs.FileExists(L"system.xml"));
    // The table of open files is asked before the selection.
    EXPECT_EQ(fs.Open(L"system.xml").Get(), stillOpen.Get());
    stillOpen.Release();
    EXPECT_FALSE(fs.Open(L"system.xml"));

    EXPECT_FALSE(fs.SelectSources(L"NoSuchGroup"));
    EXPECT_EQ(contentsOf(fs.Open(L"system.xml")), "system");
    ASSERT_TRUE(fs.SelectSources(L"Group"));
    fs.ClearSelection();
    EXPECT_TRUE(fs.FileExists(L"system.xml"));
}

TEST_F(FileSystemTest, FindFilesListsEachNameOnce)
{
    mountSystem({{"levels/One.xml", "1"}, {"levels/two.xml", "2"}});
    temp.Write("input/levels/TWO.xml", "2");
    temp.Write("input/levels/three.XML", "3");
    temp.Write("input/levels/notes.txt", "n");
    std::filesystem::create_directories(temp.Os("input/levels/sub.xml"));

    std::vector<std::wstring> files;
    EXPECT_EQ(fs.FindFiles(L"levels\\*.xml", &files), 3u);
    EXPECT_EQ(files, (std::vector<std::wstring>{L"one.xml", L"two.xml", L"three.xml"}));
}

TEST(FSLooseFiles, FindFilesOfOneFolder)
{
    TempFolder temp;
    temp.Write("input/Maps/Forest.PNG", "f");
    temp.Write("input/Maps/deeper/x.png", "x");
    temp.Write("input/readme", "r");
    FSLooseFiles loose(temp.Engine("input/"), L"System");

    std::vector<std::wstring> files, folders;
    EXPECT_EQ(loose.FindFiles(L"maps\\", &files, &folders), 2u);
    EXPECT_EQ(files, std::vector<std::wstring>{L"forest.png"});
    EXPECT_EQ(folders, std::vector<std::wstring>{L"deeper"});

    files.clear();
    EXPECT_EQ(loose.FindFiles(L"*.*", &files, nullptr), 1u);
    EXPECT_EQ(files, std::vector<std::wstring>{L"readme"});
    EXPECT_EQ(loose.FindFiles(L"missing\\*", &files, &folders), 0u);

    // A folder that does not exist still mounts; nothing opens in it.
    FSLooseFiles nowhere(temp.Engine("nowhere/"), L"System");
    EXPECT_TRUE(nowhere.Mount());
    EXPECT_FALSE(nowhere.OpenFile(L"x")->IsValid());
    EXPECT_FALSE(nowhere.FileExists(L"x"));
}

TEST_F(FileSystemTest, PhysicalPathsAndMoves)
{
    // No source mounted: a full path is opened directly, created and written.
    const std::wstring path = temp.Engine("saves/profile.tmp");
    std::filesystem::create_directories(temp.Os("saves"));
    RefPtr<StreamSourceCounted> created = fs.Open(path, true, true);
    ASSERT_TRUE(created && created->IsValid());
    ASSERT_TRUE(created->Write(0, reinterpret_cast<const uint8_t*>("data"), 4, nullptr));
    created.Release();
    EXPECT_EQ(temp.Read("saves/profile.tmp"), "data");
    EXPECT_EQ(fs.GetOpenFiles().GetCount(), 0u);
    EXPECT_FALSE(fs.Open(temp.Engine("saves/missing.xml"))->IsValid());

    temp.Write("saves/profile.xml", "old");
    std::filesystem::create_directories(temp.Os("elsewhere"));
    EXPECT_FALSE(fs.MoveFile(path, temp.Engine("elsewhere/profile.xml")));
    EXPECT_TRUE(std::filesystem::exists(temp.Os("saves/profile.tmp")));
    EXPECT_TRUE(fs.MoveFile(path, temp.Engine("saves/profile.xml")));
    EXPECT_EQ(temp.Read("saves/profile.xml"), "data");
    EXPECT_FALSE(std::filesystem::exists(temp.Os("saves/profile.tmp")));

    EXPECT_TRUE(fs.DeleteFile(temp.Engine("saves/profile.xml")));
    EXPECT_FALSE(fs.DeleteFile(temp.Engine("saves/profile.xml")));
}

TEST_F(FileSystemTest, SourcesThatDoNotMountAreDeleted)
{
    bool deleted = false;
    EXPECT_FALSE(fs.AddSource(std::make_unique<RefusesToMount>(&deleted)));
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(fs.AddSource(std::make_unique<FSCompressedSource>(temp.Engine("absent.dat"), L"System")));
}

TEST_F(FileSystemTest, SourcesMayOutliveTheFileSystem)
{
    RefPtr<StreamSourceCounted> kept;
    {
        FileSystem inner;
        temp.Write("input/a.txt", "a");
        ASSERT_TRUE(inner.AddSource(std::make_unique<FSLooseFiles>(temp.Engine("input/"), L"System")));
        kept = inner.Open(L"a.txt");
        ASSERT_TRUE(kept);
    }
    EXPECT_EQ(FileSystem::Get(), nullptr);
    EXPECT_EQ(contentsOf(kept), "a");
    kept.Release();
}

TEST_F(FileSystemTest, ProtectedFilesAreUnwrappedFromEitherSource)
{
    const std::string five = "HELLO";
    const std::string protectedFive = MakeProtectedFile(five, kKey);
    ASSERT_EQ(protectedFive.size(), 36u);
    const std::string text = "<level name=\"forest\">protected text of some length</level>";
    mountSystem({{"packed.xml", MakeProtectedFile(text, kKey)}});
    temp.Write("input/five.bin", protectedFive);

    RefPtr<StreamSourceCounted> fromFolder = fs.Open(L"five.bin");
    ASSERT_TRUE(fromFolder);
    EXPECT_EQ(fromFolder->GetSize(), 5u);
    EXPECT_EQ(contentsOf(fromFolder), five);
    auto* memory = dynamic_cast<MemorySource*>(fromFolder.Get());
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(memory->GetName(), L"five.bin");
    // The unwrapped source is the one shared through the table.
    EXPECT_EQ(fs.Open(L"five.bin").Get(), fromFolder.Get());

    EXPECT_EQ(contentsOf(fs.Open(L"PACKED.xml")), text);
}

TEST_F(FileSystemTest, FilesWhoseTrailerDoesNotCheckOutAreServedUnchanged)
{
    std::string flipped = MakeProtectedFile("payload of twenty bytes", kKey);
    flipped[3] ^= 0x40;
    std::string badCheck = MakeProtectedFile("payload of twenty bytes", kKey);
    badCheck[badCheck.size() - 1] ^= 0x01;
    std::string badLength = MakeProtectedFile("payload", kKey);
    badLength[badLength.size() - 12] ^= 0x10;

    struct Case
    {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"exactly28", std::string(28, '\0')},
        {"short", "tiny"},
        {"flippedpayload", flipped},
        {"badchecksum", badCheck},
        {"badlength", badLength},
        {"plaintext", std::string(100, 'p')},
        {"trailerofzeros", std::string(8, 'x') + std::string(28, '\0')},
    };
    mountSystem({});
    for (const Case& c : cases)
    {
        temp.Write(std::string("input/") + c.name, c.bytes);
        RefPtr<StreamSourceCounted> source = fs.Open(Utf8ToWString(c.name));
        ASSERT_TRUE(source) << c.name;
        EXPECT_NE(dynamic_cast<FileSource*>(source.Get()), nullptr) << c.name;
        EXPECT_EQ(contentsOf(source), c.bytes) << c.name;
    }
}

TEST_F(FileSystemTest, ShortPayloadIsDecipheredAsOneWord)
{
    for (const std::string& payload : std::vector<std::string>{"a", "ab", "abc", "abcd"})
    {
        const std::string file = MakeProtectedFile(payload, kKey);
        // Enciphering and deciphering one word are not each other's inverse; the reader deciphers.
        uint32_t word = 0;
        for (int b = 0; b < 4; ++b)
            word |= uint32_t(uint8_t(file[b])) << (8 * b);
        const uint32_t key[4] = {kKey[0], kKey[1], kKey[2], kKey[3]};
        XxteaDecipher(1, &word, key);
        std::string expected;
        for (size_t b = 0; b < payload.size(); ++b)
            expected += char((word >> (8 * b)) & 0xFF);

        FileSystem local;
        TempFolder folder;
        folder.Write("input/short", file);
        ASSERT_TRUE(local.AddSource(std::make_unique<FSLooseFiles>(folder.Engine("input/"), L"System")));
        RefPtr<StreamSourceCounted> source = local.Open(L"short");
        ASSERT_TRUE(source);
        EXPECT_EQ(source->GetSize(), payload.size());
        EXPECT_EQ(contentsOf(source), expected) << payload;
    }
}

TEST_F(FileSystemTest, UnreadableTrailerFailsTheOpen)
{
    ASSERT_TRUE(fs.AddSource(std::make_unique<UnreadableFiles>()));
    EXPECT_FALSE(fs.Open(L"anything"));
    EXPECT_EQ(fs.GetOpenFiles().GetCount(), 0u);
}
