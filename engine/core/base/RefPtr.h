// Counted strong reference to a Referenced object. The last RefPtr to let go deletes the object.
#pragma once

#include <type_traits>
#include <utility>

#include "engine/core/base/Referenced.h"

namespace TarnEngine
{

template <class T> class RefPtr
{
public:
    RefPtr() = default;
    RefPtr(std::nullptr_t) {}
    RefPtr(T* object) : m_object(object) { acquire(object); }
    RefPtr(const RefPtr& other) : m_object(other.m_object) { acquire(m_object); }
    RefPtr(RefPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    RefPtr(const RefPtr<U>& other) : m_object(other.Get())
    {
        acquire(m_object);
    }
    ~RefPtr() { Release(); }

    // The new object is counted before the old one is let go, so re-assigning the object already
    // held (even by its only holder) never frees it.
    RefPtr& operator=(T* object)
    {
        acquire(object);
        T* old = std::exchange(m_object, object);
        drop(old);
        return *this;
    }
    RefPtr& operator=(const RefPtr& other) { return *this = other.m_object; }
    RefPtr& operator=(RefPtr&& other) noexcept
    {
        if (this != &other)
        {
            T* old = std::exchange(m_object, std::exchange(other.m_object, nullptr));
            drop(old);
        }
        return *this;
    }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    RefPtr& operator=(const RefPtr<U>& other)
    {
        return *this = static_cast<T*>(other.Get());
    }

    // Lets go of the object (deleting it when this was the last holder) and holds nothing.
    void Release() { drop(std::exchange(m_object, nullptr)); }

    T* Get() const { return m_object; }
    T* operator->() const { return m_object; }
    T& operator*() const { return *m_object; }
    explicit operator bool() const { return m_object != nullptr; }

    friend bool operator==(const RefPtr& a, const RefPtr& b) { return a.m_object == b.m_object; }
    friend bool operator==(const RefPtr& a, const T* b) { return a.m_object == b; }
    friend bool operator==(const RefPtr& a, std::nullptr_t) { return a.m_object == nullptr; }

private:
    static void acquire(T* object)
    {
        if (object != nullptr)
            static_cast<Referenced*>(object)->AddRef();
    }
    static void drop(T* object)
    {
        if (object != nullptr)
        {
            Referenced* r = static_cast<Referenced*>(object);
            r->DecRef();
            r->ReleaseCheck();
        }
    }

    T* m_object = nullptr;
};

} // namespace TarnEngine
