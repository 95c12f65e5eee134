// Zeroed page storage: every size reads zero and takes writes to its last byte, huge blocks start
// on their boundary, a released mapping is gone, and asking for pages never changes what they hold.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/system/PageStorage.h"

namespace
{

using Platform::PageStorage;

bool allZero(const uint8_t* data, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        if (data[i] != 0)
            return false;
    return true;
}

// True when no page of [data, data + size) is mapped in this process.
bool unmapped(const void* data, size_t size)
{
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t from = reinterpret_cast<uintptr_t>(data) / page * page;
    std::vector<unsigned char> residency((size + page - 1) / page + 1);
    return mincore(reinterpret_cast<void*>(from), size, residency.data()) != 0 && errno == ENOMEM;
}

TEST(PageStorage, EverySizeStartsZeroAndTakesWritesToItsEnd)
{
    const size_t sizes[] = {1,
                            4095,
                            PageStorage::kMappedFrom - 1,
                            PageStorage::kMappedFrom,
                            PageStorage::kMappedFrom + 1,
                            PageStorage::kHugePage - 1,
                            PageStorage::kHugePage,
                            2 * PageStorage::kHugePage + 123};
    for (PageStorage::Use use : {PageStorage::Use::Later, PageStorage::Use::AtOnce})
        for (size_t size : sizes)
        {
            SCOPED_TRACE(testing::Message() << "size " << size << " use " << int(use));
            PageStorage block(size, use);
            ASSERT_NE(block.data(), nullptr);
            EXPECT_EQ(block.size(), size);
            EXPECT_TRUE(allZero(block.data(), size));
            std::memset(block.data(), 0xA5, size);
            EXPECT_EQ(block.data()[0], 0xA5);
            EXPECT_EQ(block.data()[size - 1], 0xA5);
            if (size >= PageStorage::kHugePage)
                EXPECT_EQ(reinterpret_cast<uintptr_t>(block.data()) % PageStorage::kHugePage, 0u);
        }
}

TEST(PageStorage, EmptyAndMovedBlocksOwnNothing)
{
    PageStorage empty(0, PageStorage::Use::AtOnce);
    EXPECT_EQ(empty.data(), nullptr);
    EXPECT_EQ(empty.size(), 0u);

    PageStorage first(3 * 1024 * 1024, PageStorage::Use::AtOnce);
    first.data()[42] = 7;
    PageStorage second(std::move(first));
    EXPECT_EQ(first.data(), nullptr);
    EXPECT_EQ(first.size(), 0u);
    EXPECT_EQ(second.data()[42], 7);

    // Assigning over a block gives the old one back to the system.
    PageStorage third(PageStorage::kMappedFrom, PageStorage::Use::Later);
    const uint8_t* old = third.data();
    const size_t oldSize = third.size();
    third = std::move(second);
    const bool oldGone = unmapped(old, oldSize);
    EXPECT_TRUE(oldGone);
    EXPECT_EQ(third.data()[42], 7);
    EXPECT_EQ(second.data(), nullptr);
}

TEST(PageStorage, ReleasedMappingsAreGone)
{
    for (size_t size : {PageStorage::kMappedFrom + 5, PageStorage::kHugePage + 5})
    {
        const uint8_t* data = nullptr;
        {
            PageStorage block(size, PageStorage::Use::AtOnce);
            data = block.data();
        }
        const bool gone = unmapped(data, size);
        EXPECT_TRUE(gone) << "size " << size;
    }
}

TEST(PageStorage, AskingForPagesKeepsTheirBytes)
{
    std::vector<uint8_t> bytes(300 * 1024);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 7 + 1);
    const std::vector<uint8_t> before = bytes;
    PageStorage::Prefault(bytes.data() + 13, bytes.size() - 100); // neither end on a page boundary
    PageStorage::Prefault(nullptr, 100);
    PageStorage::Prefault(bytes.data(), 0);
    EXPECT_EQ(bytes, before);
}

} // namespace
