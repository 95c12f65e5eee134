// Slabs and free lists for XML trees; see XmlMemory.h.
//
// Each thread keeps its own free blocks of each size, in two lists of at most
// kBatch blocks (the one in use and a spare), so that allocating and freeing
// take no lock. A thread that frees more than it allocates hands full lists
// on to a shared stack, where a thread that runs out takes a whole list at a
// time; what a thread still holds when it ends is handed on as well. A block
// on a list holds the list's links in its first words.
#include "engine/core/xml/XmlMemory.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELLWOOD_XML_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(PELLWOOD_XML_ASAN)
#define PELLWOOD_XML_ASAN 1
#endif
#ifdef PELLWOOD_XML_ASAN
#include <sanitizer/asan_interface.h>
// Free blocks are poisoned, so that a tree used after it was freed is still
// caught by the address checks; the links are opened only while they are read
// or written.
#define XML_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define XML_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define XML_POISON(p, n) ((void)(p), (void)(n))
#define XML_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace TarnEngine::XmlMemory
{

namespace
{

// Sizes in steps of 32 bytes: an element's node and most attribute blocks
// fall in a few of them.
constexpr size_t kStep = 32;
constexpr size_t kClasses = kLargest / kStep;
constexpr size_t kSlabBytes = 64 * 1024;
// Blocks in a full list.
constexpr uint32_t kBatch = 1024;

// The links a free block holds. `next` chains a list; the first block of a
// list on the shared stack also holds the next list and its own list's length.
struct FreeBlock
{
    FreeBlock* next;
    FreeBlock* nextList;
    uint32_t count;
};
static_assert(sizeof(FreeBlock) <= kStep);

FreeBlock* nextOf(FreeBlock* block)
{
    XML_UNPOISON(block, sizeof(FreeBlock));
    FreeBlock* next = block->next;
    XML_POISON(block, sizeof(FreeBlock));
    return next;
}

void setNext(FreeBlock* block, FreeBlock* next)
{
    XML_UNPOISON(block, sizeof(FreeBlock));
    block->next = next;
    XML_POISON(block, sizeof(FreeBlock));
}

struct List
{
    FreeBlock* head = nullptr;
    uint32_t count = 0;

    void push(void* memory, size_t blockBytes)
    {
        auto* block = static_cast<FreeBlock*>(memory);
        XML_POISON(block, blockBytes);
        setNext(block, head);
        head = block;
        ++count;
    }
    void* pop(size_t blockBytes)
    {
        FreeBlock* block = head;
        head = nextOf(block);
        --count;
        XML_UNPOISON(block, blockBytes);
        // The next block was freed long ago and is likely out of the caches;
        // fetching it now spares the next allocation the wait.
        __builtin_prefetch(head, 1);
        return block;
    }
};

// Full lists handed on by threads, for any thread to take, and every slab
// made, which the process keeps.
struct SharedLists
{
    std::mutex lock;
    FreeBlock* stack[kClasses] = {};
    std::vector<void*> slabs;

    void give(size_t index, List& list)
    {
        if (!list.head)
            return;
        FreeBlock* head = list.head;
        std::lock_guard<std::mutex> hold(lock);
        XML_UNPOISON(head, sizeof(FreeBlock));
        head->nextList = stack[index];
        head->count = list.count;
        XML_POISON(head, sizeof(FreeBlock));
        stack[index] = head;
        list = List();
    }
    bool take(size_t index, List& list)
    {
        std::lock_guard<std::mutex> hold(lock);
        FreeBlock* head = stack[index];
        if (!head)
            return false;
        XML_UNPOISON(head, sizeof(FreeBlock));
        stack[index] = head->nextList;
        list.count = head->count;
        XML_POISON(head, sizeof(FreeBlock));
        list.head = head;
        return true;
    }
};

SharedLists& shared()
{
    // Never destroyed: trees freed by static destructors still return here.
    static SharedLists* const lists = new SharedLists;
    return *lists;
}

// A thread's own lists. Plain data, so that it can be used at any time in the
// thread's life, even after its destructors ran.
struct ThreadLists
{
    List current[kClasses];
    List spare[kClasses];
    bool hooked = false;
    bool ended = false;
};
constinit thread_local ThreadLists t_lists;

// Hands the thread's blocks on when it ends.
struct ThreadEnd
{
    [[gnu::noinline]] void Hook() {}
    ~ThreadEnd()
    {
        for (size_t index = 0; index < kClasses; ++index)
        {
            shared().give(index, t_lists.current[index]);
            shared().give(index, t_lists.spare[index]);
        }
        t_lists.ended = true;
    }
};
thread_local ThreadEnd t_end;

ThreadLists& threadLists()
{
    ThreadLists& lists = t_lists;
    if (!lists.hooked)
    {
        lists.hooked = true;
        t_end.Hook();
    }
    return lists;
}

// A new slab carved into blocks of the size, all but one put on the list.
void* carve(List& list, size_t blockBytes)
{
    char* slab = static_cast<char*>(std::malloc(kSlabBytes));
    if (!slab)
        throw std::bad_alloc();
    {
        SharedLists& lists = shared();
        std::lock_guard<std::mutex> hold(lists.lock);
        try
        {
            lists.slabs.push_back(slab);
        }
        catch (...)
        {
            std::free(slab);
            throw;
        }
    }
    for (size_t i = kSlabBytes / blockBytes - 1; i >= 1; --i)
        list.push(slab + i * blockBytes, blockBytes);
    return slab;
}

} // namespace

void* Allocate(size_t bytes)
{
    if (bytes == 0)
        bytes = 1;
    if (bytes > kLargest)
        return ::operator new(bytes);
    const size_t index = (bytes - 1) / kStep;
    const size_t blockBytes = (index + 1) * kStep;
    ThreadLists& lists = threadLists();
    if (lists.ended)
    {
        // Past the thread's end (static destructors): one block at a time
        // through the shared stack.
        List taken;
        if (!shared().take(index, taken))
            return ::operator new(blockBytes);
        void* block = taken.pop(blockBytes);
        shared().give(index, taken);
        return block;
    }
    List& current = lists.current[index];
    if (!current.head)
    {
        List& spare = lists.spare[index];
        if (spare.head)
            std::swap(current, spare);
        else if (!shared().take(index, current))
            return carve(current, blockBytes);
    }
    return current.pop(blockBytes);
}

void Release(void* block, size_t bytes) noexcept
{
    if (!block)
        return;
    if (bytes == 0)
        bytes = 1;
    if (bytes > kLargest)
    {
        ::operator delete(block);
        return;
    }
    const size_t index = (bytes - 1) / kStep;
    const size_t blockBytes = (index + 1) * kStep;
    ThreadLists& lists = threadLists();
    if (lists.ended)
    {
        List single;
        single.push(block, blockBytes);
        shared().give(index, single);
        return;
    }
    List& current = lists.current[index];
    if (current.count >= kBatch)
    {
        List& spare = lists.spare[index];
        shared().give(index, spare);
        spare = current;
        current = List();
    }
    current.push(block, blockBytes);
}

} // namespace TarnEngine::XmlMemory
