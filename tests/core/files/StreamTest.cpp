// Memory regions, the three stream sources, Stream, CopyStream, ByteBuffer and the open-file table.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "engine/core/base/ByteBuffer.h"
#include "engine/core/files/FileSource.h"
#include "engine/core/files/IFSSource.h"
#include "engine/core/base/MemoryRegion.h"
#include "engine/core/files/MemorySource.h"
#include "engine/core/files/OpenFileTable.h"
#include "engine/core/files/Stream.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/files/Xxtea.h"

using namespace TarnEngine;
namespace fs = std::filesystem;

namespace
{

ByteBlock blockOf(const std::string& bytes)
{
    ByteBlock block = AllocateBlock(bytes.size());
    if (!bytes.empty())
        std::memcpy(block.get(), bytes.data(), bytes.size());
    return block;
}

std::string readAll(Stream& stream)
{
    uint32_t size = 0;
    const ByteBlock block = stream.ReadRemaining(&size);
    return block ? std::string(reinterpret_cast<const char*>(block.get()), size) : std::string();
}

std::string fileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// A folder of its own per test.
class TempFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = fs::temp_directory_path() /
                 (std::string("pellwood_stream_") + info->name() + "_" + std::to_string(getpid()));
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    void TearDown() override { fs::remove_all(m_path); }

    // The engine spelling of a path in the folder, with backslashes.
    std::wstring enginePath(const std::string& name) const
    {
        std::wstring p = Utf8ToWString((m_path / name).string());
        for (wchar_t& c : p)
            if (c == L'/')
                c = L'\\';
        return p;
    }

    fs::path m_path;
};

// A loose-folder stand-in: only its path matters to the sources it opens.
class FolderSource : public IFSSource
{
public:
    explicit FolderSource(std::wstring path) : m_path(std::move(path)) {}
    bool Mount() override { return true; }
    bool Unmount() override { return true; }
    bool IsMounted() override { return true; }
    RefPtr<StreamSourceCounted> OpenFile(const std::wstring& name) override
    {
        return RefPtr<StreamSourceCounted>(new FileSource(name, false, false, this));
    }
    std::wstring GetPath() override { return m_path; }
    bool FileExists(const std::wstring&) override { return false; }
    std::wstring GetName() override { return L"System"; }
    uint32_t FindFiles(const std::wstring&, std::vector<std::wstring>*, std::vector<std::wstring>*) override
    {
        return 0;
    }

private:
    std::wstring m_path;
};

} // namespace

TEST(MemoryRegion, SizesAndCopies)
{
    MemoryRegion empty(0u);
    EXPECT_EQ(empty.GetData(), nullptr);
    EXPECT_EQ(empty.GetSize(), 0u);
    MemoryRegion sized(16u);
    EXPECT_NE(sized.GetData(), nullptr);
    EXPECT_EQ(sized.GetSize(), 16u);
    MemoryRegion copy("abc", 3);
    ASSERT_EQ(copy.GetSize(), 3u);
    EXPECT_EQ(std::memcmp(copy.GetData(), "abc", 3), 0);
    MemoryRegion fromNull(nullptr, 5);
    EXPECT_EQ(fromNull.GetData(), nullptr);
    EXPECT_EQ(fromNull.GetSize(), 0u);
}

TEST(MemorySource, ReadsCopiesAndRefusesWrites)
{
    RefPtr<MemorySource> source(new MemorySource(blockOf("hello"), 5, L"a.txt", nullptr));
    EXPECT_TRUE(source->IsValid());
    uint8_t buffer[8] = {};
    uint32_t n = 99;
    EXPECT_TRUE(source->Read(3, buffer, 8, &n));
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(std::memcmp(buffer, "lo", 2), 0);
    EXPECT_TRUE(source->Read(5, buffer, 1, &n));
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(source->Read(6, buffer, 1, &n));
    EXPECT_FALSE(source->Write(0, buffer, 1, &n));
    const RefPtr<MemoryRegionCounted> region = source->GetMemoryRegion();
    ASSERT_TRUE(region);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(region->GetData()), region->GetSize()), "hello");

    // No data, no size or no name: not usable.
    EXPECT_FALSE(MemorySource(nullptr, 0, L"x", nullptr).IsValid());
    EXPECT_FALSE(MemorySource(blockOf("a"), 0, L"x", nullptr).IsValid());
    EXPECT_FALSE(MemorySource(blockOf("a"), 1, L"", nullptr).IsValid());
    EXPECT_FALSE(RefPtr<MemorySource>(new MemorySource(nullptr, 0, L"x", nullptr))->GetMemoryRegion());
}

TEST(OpenFileTable, ASourceErasesOnlyItsOwnEntry)
{
    OpenFileTable table;
    OpenFileTable::SetCurrent(&table);
    {
        RefPtr<MemorySource> older(new MemorySource(blockOf("old"), 3, L"same.xml", nullptr));
        table.Record(L"same.xml", older.Get());
        RefPtr<MemorySource> newer(new MemorySource(blockOf("new"), 3, L"same.xml", nullptr));
        table.Record(L"same.xml", newer.Get());
        older.Release(); // the newer source's entry must stay
        EXPECT_EQ(table.Find(L"same.xml"), newer.Get());
        newer.Release();
        EXPECT_EQ(table.Find(L"same.xml"), nullptr);
    }
    EXPECT_EQ(table.GetCount(), 0u);
    OpenFileTable::SetCurrent(nullptr);
}

TEST_F(TempFolder, FileSourceReadsClampedToTheEnd)
{
    writeFile(m_path / "data.bin", "0123456789");
    RefPtr<FileSource> source(new FileSource(enginePath("data.bin"), false, false, nullptr));
    ASSERT_TRUE(source->IsValid());
    EXPECT_EQ(source->GetName(), enginePath("data.bin")); // the name as given
    EXPECT_EQ(source->GetSize(), 10u);
    uint8_t buffer[16] = {};
    uint32_t n = 0;
    EXPECT_TRUE(source->Read(7, buffer, 16, &n));
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(std::memcmp(buffer, "789", 3), 0);
    EXPECT_TRUE(source->Read(10, buffer, 4, &n));
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(source->Read(50, buffer, 4, &n));
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(source->Write(0, buffer, 1, &n)); // opened read-only
    const RefPtr<MemoryRegionCounted> region = source->GetMemoryRegion();
    ASSERT_TRUE(region);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(region->GetData()), region->GetSize()), "0123456789");
}

TEST_F(TempFolder, FileSourceOpenModes)
{
    // Missing without create: invalid, and a stream over it reads nothing.
    RefPtr<StreamSourceCounted> missing(new FileSource(enginePath("none.txt"), false, false, nullptr));
    EXPECT_FALSE(missing->IsValid());
    Stream stream(missing);
    uint8_t byte = 0;
    EXPECT_FALSE(stream.Read(&byte, 1));
    EXPECT_FALSE(fs::exists(m_path / "none.txt"));

    // Create makes it; writable on an existing file truncates it.
    RefPtr<FileSource> created(new FileSource(enginePath("new.txt"), true, true, nullptr));
    ASSERT_TRUE(created->IsValid());
    uint32_t n = 0;
    EXPECT_TRUE(created->Write(0, reinterpret_cast<const uint8_t*>("abcdef"), 6, &n));
    EXPECT_EQ(n, 6u);
    EXPECT_TRUE(created->Write(100, reinterpret_cast<const uint8_t*>("XY"), 2, &n)); // clamped to the end
    EXPECT_TRUE(created->Write(1, reinterpret_cast<const uint8_t*>("Z"), 1, &n));
    created.Release();
    EXPECT_EQ(fileBytes(m_path / "new.txt"), "aZcdefXY");

    RefPtr<FileSource> truncated(new FileSource(enginePath("new.txt"), false, true, nullptr));
    ASSERT_TRUE(truncated->IsValid());
    EXPECT_EQ(truncated->GetSize(), 0u);
    truncated.Release();
    EXPECT_EQ(fileBytes(m_path / "new.txt"), "");

    // An empty file is valid and yields an empty region.
    RefPtr<FileSource> empty(new FileSource(enginePath("new.txt"), false, false, nullptr));
    ASSERT_TRUE(empty->IsValid());
    const RefPtr<MemoryRegionCounted> region = empty->GetMemoryRegion();
    ASSERT_TRUE(region);
    EXPECT_EQ(region->GetSize(), 0u);

    // A folder is not a file.
    fs::create_directories(m_path / "sub");
    EXPECT_FALSE(RefPtr<FileSource>(new FileSource(enginePath("sub"), false, false, nullptr))->IsValid());
}

TEST_F(TempFolder, FileSourceJoinsRelativeNamesToItsOwner)
{
    fs::create_directories(m_path / "input" / "fonts");
    writeFile(m_path / "input" / "fonts" / "f.xml", "<x/>");
    FolderSource folder(enginePath("input") + L"\\");
    RefPtr<StreamSourceCounted> source = folder.OpenFile(L"fonts\\f.xml");
    ASSERT_TRUE(source->IsValid());
    Stream stream(source);
    EXPECT_EQ(readAll(stream), "<x/>");
    EXPECT_EQ(static_cast<FileSource*>(source.Get())->GetName(), L"fonts\\f.xml");
}

TEST_F(TempFolder, FileSourceRefusesFilesOf4GiB)
{
    const fs::path big = m_path / "big.bin";
    writeFile(big, "");
    std::error_code error;
    fs::resize_file(big, uintmax_t(1) << 32, error); // sparse: no disk is used
    if (error)
        GTEST_SKIP() << "the file system cannot hold a sparse 4 GiB file";
    EXPECT_FALSE(RefPtr<FileSource>(new FileSource(enginePath("big.bin"), false, false, nullptr))->IsValid());

    fs::resize_file(big, 0xFFFFFFFFu, error);
    ASSERT_FALSE(error);
    RefPtr<FileSource> largest(new FileSource(enginePath("big.bin"), false, true, nullptr));
    ASSERT_TRUE(largest->IsValid()); // writable: truncated to 0 on opening
    fs::resize_file(big, 0xFFFFFFFEu, error);
    ASSERT_FALSE(error);
    uint32_t n = 0;
    // Growing past 2^32 - 1 bytes would wrap the 32-bit size: refused.
    EXPECT_FALSE(largest->Write(0xFFFFFFFEu, reinterpret_cast<const uint8_t*>("ab"), 2, &n));
    EXPECT_TRUE(largest->Write(0xFFFFFFFEu, reinterpret_cast<const uint8_t*>("a"), 1, &n));
    EXPECT_EQ(largest->GetSize(), 0xFFFFFFFFu);
}

TEST(Stream, PositionsRemainingAndFailures)
{
    Stream none;
    uint8_t buffer[8] = {};
    EXPECT_FALSE(none.IsValid());
    EXPECT_FALSE(none.Read(buffer, 1));
    EXPECT_FALSE(none.Write(buffer, 1));
    EXPECT_EQ(none.GetSize(), 0u);
    EXPECT_EQ(none.ReadRemaining(), nullptr);

    Stream stream(RefPtr<StreamSourceCounted>(new MemorySource(blockOf("abcdef"), 6, L"m", nullptr)));
    uint32_t n = 0;
    EXPECT_FALSE(stream.Read(nullptr, 1, &n));
    EXPECT_TRUE(stream.Read(buffer, 4, &n));
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(stream.GetReadPosition(), 4u);
    EXPECT_EQ(stream.GetRemaining(), 2u);
    EXPECT_EQ(readAll(stream), "ef");
    EXPECT_EQ(stream.GetReadPosition(), 4u); // ReadRemaining does not move
    stream.SetReadPosition(9);
    EXPECT_EQ(stream.GetRemaining(), 0u);
    EXPECT_EQ(stream.ReadRemaining(), nullptr);
    EXPECT_FALSE(stream.Read(buffer, 1, &n)); // past the end of a memory source
    EXPECT_EQ(stream.GetReadPosition(), 9u);

    // Copies share the source and keep their own positions.
    Stream copy = stream;
    copy.SetReadPosition(0);
    EXPECT_EQ(copy.GetSource()->GetRefCount(), 2);
    EXPECT_EQ(readAll(copy), "abcdef");
}

TEST(Stream, CopyStreamMovesTheSourcePosition)
{
    Stream from(RefPtr<StreamSourceCounted>(new MemorySource(blockOf("payload"), 7, L"m", nullptr)));
    from.SetReadPosition(3);
    ByteBuffer to;
    const uint8_t head[] = {'>'};
    ASSERT_TRUE(to.Write(head, 1));
    ASSERT_TRUE(CopyStream(to, from));
    EXPECT_EQ(from.GetReadPosition(), 7u);
    EXPECT_EQ(to.GetWritePosition(), 5u);
    EXPECT_EQ(readAll(to), ">load");
    EXPECT_FALSE(CopyStream(to, from)); // nothing remains
    Stream invalid;
    from.SetReadPosition(0);
    EXPECT_FALSE(CopyStream(invalid, from));
}

TEST(ByteBuffer, WritesGrowAndClampToTheEnd)
{
    ByteBuffer buffer;
    const uint8_t ten[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_TRUE(buffer.Write(ten, 10));
    ByteBuffer::CBuffer* bytes = static_cast<ByteBuffer::CBuffer*>(buffer.GetSource().Get());
    uint32_t n = 0;
    EXPECT_TRUE(bytes->Write(100, ten, 3, &n)); // position 100 of 10 bytes stores at 10
    EXPECT_EQ(bytes->GetSize(), 13u);
    EXPECT_EQ(buffer.GetData()[10], 1);
    uint8_t out[4];
    EXPECT_FALSE(bytes->Read(14, out, 1, &n));
    EXPECT_TRUE(bytes->Read(13, out, 1, &n));
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(bytes->Read(0, nullptr, 1, &n));
    EXPECT_FALSE(bytes->Write(0, nullptr, 1, &n));
}

TEST(ByteBuffer, EncipherPadsToWholeWordsAndDecipherRestores)
{
    const uint32_t key[4] = {0x01234567, 0x89ABCDEF, 0xFEDCBA98, 0x76543210};
    ByteBuffer buffer;
    ASSERT_TRUE(buffer.Write(reinterpret_cast<const uint8_t*>("hello"), 5));
    ASSERT_TRUE(buffer.Encipher(key));
    EXPECT_EQ(buffer.GetSize(), 8u);
    EXPECT_EQ(buffer.GetWritePosition(), 8u);
    EXPECT_EQ(buffer.GetReadPosition(), 0u);

    // The words are little-endian: the same as the cipher run directly on them.
    uint32_t words[2] = {0x6C6C6568, 0x0000006F};
    XxteaEncipher(2, words, key);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(buffer.GetData()[i], uint8_t(words[i / 4] >> (8 * (i % 4)))) << i;

    ASSERT_TRUE(buffer.Decipher(key));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.GetData()), 8), std::string("hello\0\0\0", 8));

    ByteBuffer empty;
    EXPECT_FALSE(empty.Encipher(key));
    EXPECT_EQ(empty.GetSize(), 0u);
}
