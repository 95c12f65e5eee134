#include "platform/system/PageStorage.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23 // Linux 5.14; older kernels answer EINVAL and the pages come on touch
#endif

namespace Platform
{

namespace
{
size_t roundUp(size_t value, size_t step)
{
    return (value + step - 1) / step * step;
}
} // namespace

PageStorage::PageStorage(size_t bytes, Use use)
{
    if (bytes == 0)
        return;
    if (bytes < kMappedFrom)
    {
        bytes_ = static_cast<uint8_t*>(std::calloc(bytes, 1));
        if (!bytes_)
            throw std::bad_alloc();
        size_ = bytes;
        return;
    }
    const size_t page = 4096;
    const bool huge = bytes >= kHugePage;
    const size_t length = huge ? roundUp(bytes, kHugePage) : roundUp(bytes, page);
    // A huge block is cut out of a mapping one huge page longer, so that it starts on a boundary.
    const size_t reserve = huge ? length + kHugePage : length;
    void* raw = mmap(nullptr, reserve, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        throw std::bad_alloc();
    auto* base = static_cast<uint8_t*>(raw);
    if (huge)
    {
        const uintptr_t at = reinterpret_cast<uintptr_t>(base);
        auto* aligned = reinterpret_cast<uint8_t*>(roundUp(at, kHugePage));
        const size_t head = size_t(aligned - base);
        if (head)
            munmap(base, head);
        const size_t tail = reserve - head - length;
        if (tail)
            munmap(aligned + length, tail);
        base = aligned;
        madvise(base, length, MADV_HUGEPAGE);
    }
    if (use == Use::AtOnce)
        madvise(base, length, MADV_POPULATE_WRITE);
    bytes_ = base;
    size_ = bytes;
    mapped_ = length;
}

void PageStorage::Prefault(void* data, size_t bytes)
{
    if (!data || bytes == 0)
        return;
    const uintptr_t page = 4096;
    const uintptr_t from = reinterpret_cast<uintptr_t>(data) / page * page;
    const uintptr_t to = roundUp(reinterpret_cast<uintptr_t>(data) + bytes, page);
    madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
}

void PageStorage::ReserveHeap(size_t bytes)
{
    // Blocks up to a few megabytes come from the heap too, as glibc's sliding threshold would have
    // settled after the first large free (fixing the pad below stops it from sliding); mapped
    // directly, each would cost fresh pages on every use.
    mallopt(M_MMAP_THRESHOLD, int(kHeapBlocksUpTo));
    mallopt(M_TOP_PAD, int(std::min<size_t>(bytes, size_t(INT32_MAX))));
    // Requests that the free chunks cannot meet come from the top, which then grows by the request
    // and the pad at once; a few are held until the break moves. (Under an allocator of its own, as
    // with the sanitizers, the break never moves and nothing more happens.)
    void* held[64];
    int count = 0;
    const void* before = sbrk(0);
    while (count < 64 && sbrk(0) == before)
        held[count++] = std::malloc(100 * 1024);
    while (count > 0)
        std::free(held[--count]);
    if (sbrk(0) == before)
        return;
    const struct mallinfo2 info = mallinfo2();
    const uintptr_t end = reinterpret_cast<uintptr_t>(sbrk(0));
    const uintptr_t from = roundUp(end - info.keepcost, kHugePage);
    const uintptr_t to = end / kHugePage * kHugePage;
    if (to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

PageStorage::~PageStorage()
{
    release();
}

PageStorage::PageStorage(PageStorage&& other) noexcept
    : bytes_(std::exchange(other.bytes_, nullptr)), size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0))
{
}

PageStorage& PageStorage::operator=(PageStorage&& other) noexcept
{
    if (this != &other)
    {
        release();
        bytes_ = std::exchange(other.bytes_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapped_ = std::exchange(other.mapped_, 0);
    }
    return *this;
}

void PageStorage::release() noexcept
{
    if (!bytes_)
        return;
    if (mapped_)
        munmap(bytes_, mapped_);
    else
        std::free(bytes_);
    bytes_ = nullptr;
    size_ = 0;
    mapped_ = 0;
}

} // namespace Platform
