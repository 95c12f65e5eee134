// Intrusive doubly linked timer lists: a timer is its own list node, so
// stepping a list allocates nothing. A list has a head and a tail sentinel; a
// node is a real element when its next pointer is not null (the tail's is).
#pragma once

#include <cstdint>

namespace TarnEngine
{

template <class T> class List;

template <class T> class Node
{
public:
    Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    virtual ~Node() { Unlink(); }

    bool IsLinked() const { return next_ != nullptr; }
    void Unlink()
    {
        if (!next_)
            return;
        next_->previous_ = previous_;
        previous_->next_ = next_;
        next_ = nullptr;
        previous_ = nullptr;
    }

private:
    friend class List<T>;
    Node* next_ = nullptr;
    Node* previous_ = nullptr;
};

template <class T> class List
{
public:
    List()
    {
        head_.next_ = &tail_;
        tail_.previous_ = &head_;
    }
    List(const List&) = delete;
    List& operator=(const List&) = delete;
    // Nodes that outlive their list are left unlinked rather than pointing into it.
    ~List()
    {
        while (Node<T>* node = FirstNode())
            node->Unlink();
        head_.next_ = nullptr;
        tail_.previous_ = nullptr;
    }

    bool IsEmpty() const { return head_.next_ == &tail_; }
    void PushBack(T* element)
    {
        Node<T>* node = element;
        node->Unlink();
        node->previous_ = tail_.previous_;
        node->next_ = &tail_;
        tail_.previous_->next_ = node;
        tail_.previous_ = node;
    }
    T* First() const { return static_cast<T*>(FirstNode()); }
    // The element after `element` in this list, or null at the end.
    static T* Next(const T* element)
    {
        const Node<T>* node = element;
        Node<T>* next = node->next_;
        return (next && next->next_) ? static_cast<T*>(next) : nullptr;
    }

private:
    Node<T>* FirstNode() const { return head_.next_ != &tail_ ? head_.next_ : nullptr; }

    Node<T> head_;
    Node<T> tail_;
};

class TimerBase : public Node<TimerBase>
{
public:
    virtual uint32_t GetDueTime() const = 0;
    virtual void Fire() = 0;
};

using TimerList = List<TimerBase>;

// The two timer lists of the engine, one per scaled clock (0 system time,
// 1 game time); one instance, reachable while it exists.
class TimerLists
{
public:
    static constexpr uint32_t Count = 2;

    TimerLists();
    ~TimerLists();
    TimerLists(const TimerLists&) = delete;
    TimerLists& operator=(const TimerLists&) = delete;

    static TimerLists* Get();
    TimerList& operator[](uint32_t index) { return lists_[index]; }

private:
    TimerList lists_[Count];
};

} // namespace TarnEngine
