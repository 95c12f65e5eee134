// The engine's intrusive reference count. Counted objects (resources, stream sources, memory blocks)
// derive from Referenced, often as a second base; RefPtr holds a count, WeakPtr observes the object
// through a small control block that outlives it. Counts are plain integers: the engine's counted
// objects live on the main thread.
#pragma once

#include <cstdint>

namespace TarnEngine
{

class Referenced;

// Shared by the object and its WeakPtrs: object is null once the object is gone. Freed by the
// object's destructor when no WeakPtr holds it, else by the last WeakPtr.
struct WeakBlock
{
    Referenced* object = nullptr;
    int32_t count = 0;

    // One observer lets go; frees the block when it was the last one of a dead object. Kept out of
    // line beside the destructor that frees it otherwise.
    static void Drop(WeakBlock* block);
};

class Referenced
{
public:
    Referenced() = default;
    // A copy is a new object: it has no holders and no weak block of its own yet.
    Referenced(const Referenced&) {}
    Referenced& operator=(const Referenced&) { return *this; }
    virtual ~Referenced();

    // Deletes the object when no RefPtr holds it any more; true when it did.
    virtual bool ReleaseCheck();

    WeakBlock* GetWeakBlock();
    int32_t GetRefCount() const { return m_count; }
    void AddRef() { ++m_count; }
    void DecRef() { --m_count; }

private:
    WeakBlock* m_weak = nullptr;
    int32_t m_count = 0;
};

} // namespace TarnEngine
