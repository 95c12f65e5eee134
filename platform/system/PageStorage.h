// Large zeroed blocks taken straight from the system's pages.
//
// On a virtual machine the first write to each fresh 4 KiB page traps to the
// host, and a start-up that fills a back buffer, a few textures and some font
// files pays that trap thousands of times (about 14 us each measured here: a
// 3 MiB buffer took 8-11 ms to fill, against 0.1 ms once its pages existed).
// A block of two megabytes or more is placed on two-megabyte boundaries and
// offered to the kernel as huge pages, so one trap maps 512 pages; a block
// about to be written whole can ask for all its pages in one call. Both are
// hints: where the kernel refuses them the block still works, page by page.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Platform
{

class PageStorage
{
public:
    // How soon the whole block will be written.
    enum class Use
    {
        Later,  // pages are made when first touched (a depth buffer 2D drawing never reads)
        AtOnce, // the caller writes every byte right away (a cleared back buffer, a decoded image)
    };

    PageStorage() = default;
    // Zeroed storage of `bytes`; throws std::bad_alloc when the system has none.
    PageStorage(size_t bytes, Use use);
    ~PageStorage();
    PageStorage(PageStorage&& other) noexcept;
    PageStorage& operator=(PageStorage&& other) noexcept;
    PageStorage(const PageStorage&) = delete;
    PageStorage& operator=(const PageStorage&) = delete;

    uint8_t* data() { return bytes_; }
    const uint8_t* data() const { return bytes_; }
    size_t size() const { return size_; }

    // Asks for the pages of memory the caller is about to write whole (a buffer another library
    // made); a hint, like the rest.
    static void Prefault(void* data, size_t bytes);

    // Grows the heap once by `bytes` and offers that space to the kernel as huge pages, so that the
    // many small blocks start-up makes (parsed XML, scripts, decoded pictures) fault a few huge pages
    // instead of thousands of small ones. The heap keeps that much spare from then on. Called once,
    // first thing in main.
    static void ReserveHeap(size_t bytes);
    static constexpr size_t kHeapBlocksUpTo = 4 * 1024 * 1024;

    // Below this a block comes from the heap, whose pages are mostly reused.
    static constexpr size_t kMappedFrom = 256 * 1024;
    static constexpr size_t kHugePage = 2 * 1024 * 1024;

private:
    void release() noexcept;
    uint8_t* bytes_ = nullptr;
    size_t size_ = 0;
    size_t mapped_ = 0; // length of the mapping; 0 when the block came from the heap
};

} // namespace Platform
