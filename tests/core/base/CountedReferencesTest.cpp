// Referenced, RefPtr and WeakPtr: when objects die, and what weak references see afterwards.
#include <gtest/gtest.h>

#include "engine/core/base/RefPtr.h"
#include "engine/core/base/Referenced.h"
#include "engine/core/base/WeakPtr.h"

using namespace TarnEngine;

namespace
{

// Counted as a second base, as resources and sources are, and reports its death.
struct Payload
{
    virtual ~Payload() = default;
    int value = 7;
};

struct Tracked : Payload, Referenced
{
    explicit Tracked(int* deaths) : deaths(deaths) {}
    ~Tracked() override { ++*deaths; }
    int* deaths;
};

struct Derived : Tracked
{
    using Tracked::Tracked;
};

} // namespace

TEST(CountedReferences, TheLastHolderDeletes)
{
    int deaths = 0;
    RefPtr<Tracked> first(new Tracked(&deaths));
    RefPtr<Tracked> second = first;
    EXPECT_EQ(first->GetRefCount(), 2);
    first.Release();
    EXPECT_EQ(deaths, 0);
    EXPECT_EQ(second->GetRefCount(), 1);
    EXPECT_FALSE(second->ReleaseCheck()); // still held
    second.Release();
    EXPECT_EQ(deaths, 1);
}

TEST(CountedReferences, ReassigningTheHeldObjectKeepsItAlive)
{
    int deaths = 0;
    RefPtr<Tracked> only(new Tracked(&deaths));
    only = only.Get(); // count 1: taking the new reference first keeps it alive
    EXPECT_EQ(deaths, 0);
    EXPECT_EQ(only->GetRefCount(), 1);
    const RefPtr<Tracked>& alias = only;
    only = alias;
    EXPECT_EQ(deaths, 0);
    EXPECT_EQ(only->value, 7);
    only = nullptr;
    EXPECT_EQ(deaths, 1);
}

TEST(CountedReferences, AssignmentMovesAndConversions)
{
    int deaths = 0;
    RefPtr<Tracked> a(new Tracked(&deaths));
    RefPtr<Tracked> b(new Tracked(&deaths));
    a = b; // the first object loses its only holder
    EXPECT_EQ(deaths, 1);
    RefPtr<Tracked> moved = std::move(b);
    EXPECT_EQ(b.Get(), nullptr);
    EXPECT_EQ(moved->GetRefCount(), 2);
    RefPtr<Derived> derived(new Derived(&deaths));
    RefPtr<Tracked> base = derived;
    EXPECT_EQ(base->GetRefCount(), 2);
    derived.Release();
    base.Release();
    EXPECT_EQ(deaths, 2);
    a.Release();
    moved.Release();
    EXPECT_EQ(deaths, 3);
}

TEST(CountedReferences, AnUnheldObjectIsDeletedByItsOwnerOrByReleaseCheck)
{
    int deaths = 0;
    auto* loose = new Tracked(&deaths);
    EXPECT_EQ(loose->GetRefCount(), 0);
    EXPECT_TRUE(loose->ReleaseCheck());
    EXPECT_EQ(deaths, 1);
}

TEST(CountedReferences, WeakReferencesGoNullAfterTheLastRelease)
{
    int deaths = 0;
    RefPtr<Tracked> strong(new Tracked(&deaths));
    WeakPtr<Tracked> weak(strong);
    WeakPtr<Tracked> copy = weak;
    EXPECT_EQ(weak.Get(), strong.Get());
    EXPECT_EQ(weak.Get()->value, 7);
    EXPECT_EQ(strong->GetRefCount(), 1); // weak references do not count
    strong.Release();
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(weak.Get(), nullptr);
    EXPECT_FALSE(copy.IsAlive());
    // The control block outlives the object until the last observer goes (ASan reports a leak or a
    // double free otherwise).
    weak.Release();
    copy = nullptr;
}

TEST(CountedReferences, WeakBlockDiesWithTheObjectWhenNobodyObserves)
{
    int deaths = 0;
    RefPtr<Tracked> strong(new Tracked(&deaths));
    {
        WeakPtr<Tracked> weak(strong);
        EXPECT_NE(strong->GetWeakBlock(), nullptr);
    }
    strong.Release(); // frees the block too
    EXPECT_EQ(deaths, 1);
}

TEST(CountedReferences, WeakAssignmentAndLock)
{
    int deaths = 0;
    RefPtr<Tracked> a(new Tracked(&deaths));
    RefPtr<Tracked> b(new Tracked(&deaths));
    WeakPtr<Tracked> weak(a);
    const WeakPtr<Tracked>& alias = weak;
    weak = alias; // self-assignment keeps observing
    EXPECT_EQ(weak.Get(), a.Get());
    weak = b;
    EXPECT_EQ(weak.Get(), b.Get());
    RefPtr<Tracked> locked = weak.Lock();
    EXPECT_EQ(b->GetRefCount(), 2);
    b.Release();
    locked.Release();
    EXPECT_EQ(weak.Lock(), nullptr);
    EXPECT_EQ(deaths, 1);
}

TEST(CountedReferences, ACopiedObjectStartsUnheld)
{
    int deaths = 0;
    RefPtr<Tracked> original(new Tracked(&deaths));
    WeakPtr<Tracked> weak(original);
    Tracked copy(*original);
    EXPECT_EQ(copy.GetRefCount(), 0);
    EXPECT_NE(copy.GetWeakBlock(), original->GetWeakBlock());
    original.Release();
    EXPECT_EQ(weak.Get(), nullptr);
}
