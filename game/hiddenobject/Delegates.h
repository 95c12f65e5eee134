// Delegates and the event lists of the hidden-object board. The board tells the hidden-object
// screen and the letter row about finds and about being loaded through lists of delegates that it
// owns; a subscriber appends a MethodDelegate holding itself and one of its member functions.
//
// Subscribers change the lists from inside their own calls (the letter row subscribes to "board
// loaded" while the screen's board-ready handler runs inside that very emission), so an emission
// walks a snapshot: a delegate appended meanwhile runs from the next emission on, and one removed
// meanwhile is not called again and is only deleted once the emission that holds it is over. The
// list may even be destroyed by a delegate it calls (the board deleted from a handler): what is
// left of the walk is then skipped.
#pragma once

#include <memory>
#include <utility>
#include <vector>

template <class R> class IDelegate0
{
public:
    virtual ~IDelegate0() = default;
    virtual R Invoke() = 0;
    // Same delegate class, same object, same member function.
    virtual bool Equals(const IDelegate0& other) const = 0;
};

template <class R, class A> class IDelegate1
{
public:
    virtual ~IDelegate1() = default;
    virtual R Invoke(A argument) = 0;
    virtual bool Equals(const IDelegate1& other) const = 0;
};

template <class T, class R> class MethodDelegate0 final : public IDelegate0<R>
{
public:
    using Method = R (T::*)();
    MethodDelegate0(T* object, Method method) : object(object), method(method) {}

    R Invoke() override { return (object->*method)(); }
    bool Equals(const IDelegate0<R>& other) const override
    {
        const auto* same = dynamic_cast<const MethodDelegate0*>(&other);
        return same && same->object == object && same->method == method;
    }

private:
    T* object;
    Method method;
};

template <class T, class R, class A> class MethodDelegate1 final : public IDelegate1<R, A>
{
public:
    using Method = R (T::*)(A);
    MethodDelegate1(T* object, Method method) : object(object), method(method) {}

    R Invoke(A argument) override { return (object->*method)(argument); }
    bool Equals(const IDelegate1<R, A>& other) const override
    {
        const auto* same = dynamic_cast<const MethodDelegate1*>(&other);
        return same && same->object == object && same->method == method;
    }

private:
    T* object;
    Method method;
};

// An ordered list of owned delegates of one type (IDelegate0<void> or IDelegate1<void, X>).
template <class Delegate> class DelegateList
{
public:
    DelegateList() = default;
    DelegateList(const DelegateList&) = delete;
    DelegateList& operator=(const DelegateList&) = delete;
    ~DelegateList()
    {
        // An emission still walking its snapshot must call none of them any more.
        for (const std::shared_ptr<Entry>& entry : entries)
            entry->removed = true;
    }

    // Takes ownership; null is ignored.
    void Append(Delegate* delegate)
    {
        if (!delegate)
            return;
        auto entry = std::make_shared<Entry>();
        entry->delegate.reset(delegate);
        entries.push_back(std::move(entry));
    }
    // Removes (and deletes, once no emission holds it) the first delegate equal to the given one;
    // false when there is none.
    bool Remove(const Delegate& equal)
    {
        for (auto it = entries.begin(); it != entries.end(); ++it)
        {
            if (!(*it)->delegate->Equals(equal))
                continue;
            (*it)->removed = true;
            entries.erase(it);
            return true;
        }
        return false;
    }
    void Clear()
    {
        for (const std::shared_ptr<Entry>& entry : entries)
            entry->removed = true;
        entries.clear();
    }
    size_t Size() const { return entries.size(); }
    bool Empty() const { return entries.empty(); }

    // Invokes every delegate in list order. Touches no member after the first call, since a
    // delegate may destroy the list.
    template <class... Args> void Emit(Args&&... arguments)
    {
        if (entries.empty())
            return;
        const std::vector<std::shared_ptr<Entry>> snapshot = entries;
        for (const std::shared_ptr<Entry>& entry : snapshot)
            if (!entry->removed)
                entry->delegate->Invoke(arguments...);
    }

private:
    struct Entry
    {
        std::unique_ptr<Delegate> delegate;
        bool removed = false;
    };
    std::vector<std::shared_ptr<Entry>> entries;
};
