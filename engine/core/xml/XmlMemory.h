// Memory for XML trees. A document is thousands of small elements, each an
// XmlNode and a block of attributes, made together and freed together; the
// general allocator spends more time merging and splitting such blocks than
// the parser spends reading them. Blocks up to kLargest bytes are taken here
// from slabs in a few sizes and go back to a free list of their size when
// freed, ready for the next document; larger ones go to the general allocator.
// The slabs stay with the process, so what the largest trees held at once is
// kept for reuse. Any thread may allocate and free.
#pragma once

#include <cstddef>
#include <new>

namespace TarnEngine::XmlMemory
{

constexpr size_t kLargest = 512;

void* Allocate(size_t bytes);
// bytes: as given to Allocate.
void Release(void* block, size_t bytes) noexcept;

// For standard containers.
template <typename T> struct Allocator
{
    using value_type = T;
    Allocator() = default;
    template <typename U> Allocator(const Allocator<U>&) noexcept {}
    T* allocate(size_t count)
    {
        if (count > size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(Allocate(count * sizeof(T)));
    }
    void deallocate(T* block, size_t count) noexcept { Release(block, count * sizeof(T)); }
    template <typename U> bool operator==(const Allocator<U>&) const noexcept { return true; }
};

} // namespace TarnEngine::XmlMemory
