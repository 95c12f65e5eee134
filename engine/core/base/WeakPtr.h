// Weak reference to a Referenced object: it does not keep the object alive and reads null once the
// object is gone.
#pragma once

#include <type_traits>
#include <utility>

#include "engine/core/base/RefPtr.h"
#include "engine/core/base/Referenced.h"

namespace TarnEngine
{

template <class T> class WeakPtr
{
public:
    WeakPtr() = default;
    WeakPtr(std::nullptr_t) {}
    WeakPtr(T* object) { *this = object; }
    WeakPtr(const RefPtr<T>& object) { *this = object.Get(); }
    WeakPtr(const WeakPtr& other) : m_block(other.m_block)
    {
        if (m_block != nullptr)
            ++m_block->count;
    }
    WeakPtr(WeakPtr&& other) noexcept : m_block(std::exchange(other.m_block, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    WeakPtr(const WeakPtr<U>& other)
    {
        *this = static_cast<T*>(other.Get());
    }
    ~WeakPtr() { Release(); }

    WeakPtr& operator=(T* object)
    {
        WeakBlock* block = nullptr;
        if (object != nullptr)
        {
            block = static_cast<Referenced*>(object)->GetWeakBlock();
            ++block->count;
        }
        Release();
        m_block = block;
        return *this;
    }
    WeakPtr& operator=(const RefPtr<T>& object) { return *this = object.Get(); }
    WeakPtr& operator=(const WeakPtr& other)
    {
        WeakBlock* block = other.m_block; // read before Release, which clears it on self-assignment
        if (block != nullptr)
            ++block->count;
        Release();
        m_block = block;
        return *this;
    }
    WeakPtr& operator=(WeakPtr&& other) noexcept
    {
        if (this != &other)
        {
            Release();
            m_block = std::exchange(other.m_block, nullptr);
        }
        return *this;
    }

    // Stops observing; the control block goes with the last observer of a dead object.
    void Release() { WeakBlock::Drop(std::exchange(m_block, nullptr)); }

    // The object, or null when there is none or it is gone.
    T* Get() const
    {
        if (m_block == nullptr || m_block->object == nullptr)
            return nullptr;
        return static_cast<T*>(m_block->object);
    }
    bool IsAlive() const { return Get() != nullptr; }
    RefPtr<T> Lock() const { return RefPtr<T>(Get()); }

private:
    WeakBlock* m_block = nullptr;
};

} // namespace TarnEngine
