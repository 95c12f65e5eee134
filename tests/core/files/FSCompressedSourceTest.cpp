// ZIP packs made here: what mounts, how members are found, and that every damaged pack or member is
// refused or reported missing rather than read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/MemorySource.h"
#include "engine/core/text/TextConversion.h"
#include "tests/core/FileTestSupport.h"

using namespace TarnEngine;
using FileTest::BuildZip;
using FileTest::TempFolder;
using FileTest::ZipLayout;
using FileTest::ZipMember;

namespace
{

std::string contentsOf(const RefPtr<StreamSourceCounted>& source)
{
    std::string out(source->GetSize(), '\0');
    uint32_t read = 0;
    source->Read(0, reinterpret_cast<uint8_t*>(out.data()), uint32_t(out.size()), &read);
    out.resize(read);
    return out;
}

std::string repeated(const std::string& unit, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += unit;
    return out;
}

class FSCompressedSourceTest : public ::testing::Test
{
protected:
    std::unique_ptr<FSCompressedSource> mount(const std::string& bytes)
    {
        temp.Write("pack.dat", bytes);
        auto pack = std::make_unique<FSCompressedSource>(temp.Engine("pack.dat"), L"System");
        return pack->Mount() ? std::move(pack) : nullptr;
    }

    TempFolder temp;
};

} // namespace

TEST_F(FSCompressedSourceTest, ServesStoredAndDeflatedMembersByNormalisedName)
{
    const std::string text = repeated("the quick brown fox jumps over the lazy dog. ", 200);
    ZipMember stored{"Stored/Plain.TXT", "stored bytes", 0};
    auto pack = mount(BuildZip({stored, {"Audio/Audio.xml", text}, {"fonts/", ""}}));
    ASSERT_NE(pack, nullptr);
    EXPECT_TRUE(pack->IsMounted());
    EXPECT_EQ(pack->GetName(), L"System");
    EXPECT_EQ(pack->GetPath(), temp.Engine("pack.dat"));

    RefPtr<StreamSourceCounted> a = pack->OpenFile(L"AUDIO\\audio.XML");
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->IsValid());
    EXPECT_EQ(contentsOf(a), text);
    EXPECT_EQ(static_cast<MemorySource*>(a.Get())->GetName(), L"AUDIO\\audio.XML");
    EXPECT_EQ(static_cast<MemorySource*>(a.Get())->GetOwner(), pack.get());

    RefPtr<StreamSourceCounted> s = pack->OpenFile(L"stored//plain.txt");
    ASSERT_TRUE(s);
    EXPECT_EQ(contentsOf(s), "stored bytes");

    EXPECT_TRUE(pack->FileExists(L"Stored\\Plain.txt"));
    EXPECT_FALSE(pack->FileExists(L"Stored\\Other.txt"));
    EXPECT_FALSE(pack->OpenFile(L"missing.txt"));
}

TEST_F(FSCompressedSourceTest, PacksThatDoNotMount)
{
    const std::vector<ZipMember> members = {{"a.txt", "aaa"}};
    ZipLayout comment;
    comment.comment = "made by hand";
    ZipLayout otherDisk;
    otherDisk.thisDisk = 1;
    otherDisk.directoryDisk = 1;
    ZipLayout splitCounts;
    splitCounts.recordsOnDisk = 0;
    ZipLayout directoryOutside;
    directoryOutside.directoryOffset = 0x7FFFFFF0;
    ZipLayout tooManyRecords;
    tooManyRecords.recordsOnDisk = 5;
    tooManyRecords.totalRecords = 5;
    // As writers that keep the count modulo 65,536 leave it: more records follow the counted ones.
    ZipLayout tooFewRecords;
    tooFewRecords.recordsOnDisk = 1;
    tooFewRecords.totalRecords = 1;
    ZipMember longName{std::string(5000, 'n'), "x"};

    const std::string good = BuildZip(members);
    struct Case
    {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"an archive comment", BuildZip(members, comment)},
        {"a directory on another disk", BuildZip(members, otherDisk)},
        {"records split over disks", BuildZip(members, splitCounts)},
        {"a directory beyond the end", BuildZip(members, directoryOutside)},
        {"more records than the directory holds", BuildZip(members, tooManyRecords)},
        {"fewer records than the directory holds", BuildZip({{"a.txt", "aaa"}, {"b.txt", "bbb"}}, tooFewRecords)},
        {"a name longer than a path may be", BuildZip({longName})},
        {"a cut end record", good.substr(0, good.size() - 1)},
        {"nothing", ""},
        {"fewer bytes than an end record", "PK\x05\x06"},
        {"no pack at all", std::string(300, 'z')},
    };
    for (const Case& c : cases)
        EXPECT_EQ(mount(c.bytes), nullptr) << c.what;

    FSCompressedSource missing(temp.Engine("absent.dat"), L"System");
    EXPECT_FALSE(missing.Mount());
    EXPECT_FALSE(missing.IsMounted());
    FSCompressedSource folder(temp.Engine(), L"System");
    EXPECT_FALSE(folder.Mount());
}

TEST_F(FSCompressedSourceTest, NamesUpToThePlatformLimitMount)
{
    const std::string name = std::string(300, 'n') + ".txt";
    auto pack = mount(BuildZip({{name, "long"}}));
    ASSERT_NE(pack, nullptr);
    EXPECT_TRUE(pack->OpenFile(Utf8ToWString(name)));
}

TEST_F(FSCompressedSourceTest, DamagedMembersAreNotFound)
{
    const std::string text = repeated("0123456789abcdef", 300);
    const std::string deflated = FileTest::RawDeflate(text);

    std::vector<ZipMember> members;
    auto add = [&](const char* name, auto change)
    {
        ZipMember m{name, text};
        change(m);
        members.push_back(m);
    };
    add("crc.bin", [](ZipMember& m) { m.crc = FileTest::Crc32(m.data) ^ 1; });
    add("storedcrc.bin",
        [](ZipMember& m)
        {
            m.method = 0;
            m.crc = 0;
        });
    add("truncated.bin", [&](ZipMember& m) { m.storedBytes = deflated.substr(0, deflated.size() / 2); });
    add("sizeabove.bin", [&](ZipMember& m) { m.uncompressedSize = uint32_t(text.size() + 1); });
    add("sizebelow.bin", [&](ZipMember& m) { m.uncompressedSize = uint32_t(text.size() - 1); });
    add("notdeflate.bin", [](ZipMember& m) { m.storedBytes = std::string(64, '\xFF'); });
    add("localsig.bin", [](ZipMember& m) { m.badLocalSignature = true; });
    add("localoutside.bin", [](ZipMember& m) { m.localOffset = 0x7FFFFFFF; });
    add("localnearend.bin", [](ZipMember& m) { m.localOffset = 0xFFFFFFF0; });
    add("compressedoutside.bin", [](ZipMember& m) { m.compressedSize = 0xFFFFFF00; });
    add("storedoutside.bin",
        [](ZipMember& m)
        {
            m.method = 0;
            m.uncompressedSize = 0xFFFFFF00;
        });
    add("hugeclaim.bin", [](ZipMember& m) { m.uncompressedSize = 0xF0000000; });
    add("bzip2.bin", [](ZipMember& m) { m.method = 12; });
    add("lzma.bin", [](ZipMember& m) { m.method = 14; });
    members.push_back({"good.bin", text});

    auto pack = mount(BuildZip(members));
    ASSERT_NE(pack, nullptr);
    for (const ZipMember& m : members)
    {
        const std::wstring name = Utf8ToWString(m.name);
        EXPECT_TRUE(pack->FileExists(name)) << m.name;
        if (m.name != "good.bin")
        {
            EXPECT_FALSE(pack->OpenFile(name)) << m.name;
        }
    }
    RefPtr<StreamSourceCounted> good = pack->OpenFile(L"good.bin");
    ASSERT_TRUE(good);
    EXPECT_EQ(contentsOf(good), text);
}

TEST_F(FSCompressedSourceTest, EmptyMemberGivesAnInvalidSource)
{
    auto pack = mount(BuildZip({{"empty.txt", ""}}));
    ASSERT_NE(pack, nullptr);
    RefPtr<StreamSourceCounted> empty = pack->OpenFile(L"empty.txt");
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->IsValid());
}

TEST_F(FSCompressedSourceTest, LaterRecordOfTheSameNameWins)
{
    auto pack = mount(BuildZip({{"Dup.txt", "first"}, {"dup.TXT", "second"}}));
    ASSERT_NE(pack, nullptr);
    EXPECT_EQ(contentsOf(pack->OpenFile(L"DUP.txt")), "second");
}

TEST_F(FSCompressedSourceTest, FindFilesReportsDirectChildren)
{
    auto pack = mount(BuildZip({{"Fonts/Main.XML", "a"},
                                {"fonts/sub/deeper.xml", "b"},
                                {"fonts/other.png", "c"},
                                {"fonts/sub/", ""},
                                {"top.xml", "d"}}));
    ASSERT_NE(pack, nullptr);

    std::vector<std::wstring> files, folders;
    EXPECT_EQ(pack->FindFiles(L"FONTS\\*.xml", &files, &folders), 1u);
    EXPECT_EQ(files, std::vector<std::wstring>{L"main.xml"});
    EXPECT_TRUE(folders.empty());

    files.clear();
    EXPECT_EQ(pack->FindFiles(L"fonts/*", &files, &folders), 2u + 1u);
    EXPECT_EQ(files, (std::vector<std::wstring>{L"main.xml", L"other.png"}));
    EXPECT_EQ(folders, std::vector<std::wstring>{L"sub"});

    // Names already listed are not appended again; a null list skips its kind.
    EXPECT_EQ(pack->FindFiles(L"fonts/*", &files, nullptr), 0u);
    std::vector<std::wstring> top;
    EXPECT_EQ(pack->FindFiles(L"*.xml", &top, nullptr), 1u);
    EXPECT_EQ(top, std::vector<std::wstring>{L"top.xml"});
}

TEST_F(FSCompressedSourceTest, UnmountClosesThePack)
{
    auto pack = mount(BuildZip({{"a.txt", "aaa"}}));
    ASSERT_NE(pack, nullptr);
    EXPECT_TRUE(pack->Unmount());
    EXPECT_FALSE(pack->Unmount());
    EXPECT_FALSE(pack->IsMounted());
    EXPECT_FALSE(pack->OpenFile(L"a.txt"));
    EXPECT_TRUE(pack->FileExists(L"a.txt"));
}

TEST_F(FSCompressedSourceTest, PacksOfMoreMembersThanTheEndRecordCountsAreRefused)
{
    // As zip and Python's zipfile write them: from 65,535 members on a zip64 end record holds the
    // count and the end record 0xFFFF. Up to 65,535 that is the whole count; one more would be
    // served silently short of its last members.
    ZipLayout zip64;
    zip64.zip64 = true;
    for (const size_t count : {size_t(0xFFFF), size_t(0x10000)})
    {
        SCOPED_TRACE(count);
        std::vector<ZipMember> members;
        members.reserve(count);
        char name[32];
        for (size_t i = 0; i < count; ++i)
        {
            std::snprintf(name, sizeof name, "m/%05zu.txt", i);
            members.emplace_back(name, std::string(1, char('a' + i % 26)), uint16_t(0));
        }
        auto pack = mount(BuildZip(members, zip64));
        if (count > 0xFFFF)
        {
            EXPECT_FALSE(pack) << "mounted with only the first 65,535 members";
            continue;
        }
        ASSERT_NE(pack, nullptr);
        std::snprintf(name, sizeof name, "m/%05zu.txt", count - 1);
        RefPtr<StreamSourceCounted> last = pack->OpenFile(Utf8ToWString(name));
        ASSERT_TRUE(last);
        EXPECT_EQ(contentsOf(last), std::string(1, char('a' + (count - 1) % 26)));
    }
    // The zip64 records alone change nothing for a small pack.
    auto small = mount(BuildZip({{"a.txt", "aaa"}}, zip64));
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(contentsOf(small->OpenFile(L"a.txt")), "aaa");
}

TEST_F(FSCompressedSourceTest, PacksOfFourGibibytesAreRefused)
{
    // Sparse files ending in an end record of an empty pack: one byte short of 4 GiB mounts, 4 GiB not.
    const std::string end = BuildZip({}, ZipLayout{});
    for (const uint64_t size : {(uint64_t(1) << 32) - 1, uint64_t(1) << 32})
    {
        const std::string path = temp.Os("sparse.dat");
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.seekp(std::streamoff(size - end.size()));
            out.write(end.data(), std::streamsize(end.size()));
        }
        ASSERT_EQ(std::filesystem::file_size(path), size);
        FSCompressedSource pack(temp.Engine("sparse.dat"), L"System");
        EXPECT_EQ(pack.Mount(), size < (uint64_t(1) << 32)) << size;
        std::filesystem::remove(path);
    }
}
