// Find-or-create through the resource manager, purging of dead resources, level-start unloading.
#include <gtest/gtest.h>

#include "engine/core/base/ResourceManager.h"

using namespace TarnEngine;

namespace
{

struct Texture : ResourceBaseCounted
{
    Texture(const std::wstring& name, bool reloadable) : ResourceBaseCounted(name), reloadable(reloadable) {}
    bool IsReloadable() override { return reloadable; }
    bool IsLoaded() override { return loaded; }
    void Unload() override
    {
        loaded = false;
        ++unloads;
    }
    bool Load() override { return loaded = true; }

    bool reloadable;
    bool loaded = true;
    int unloads = 0;
};

RefPtr<Texture> make(const std::wstring& name, bool reloadable = true)
{
    return RefPtr<Texture>(new Texture(name, reloadable));
}

} // namespace

TEST(ResourceManager, PublishesItselfWhileItLives)
{
    EXPECT_EQ(ResourceManager::Get(), nullptr);
    {
        ResourceManager manager;
        EXPECT_EQ(ResourceManager::Get(), &manager);
    }
    EXPECT_EQ(ResourceManager::Get(), nullptr);
}

TEST(ResourceManager, FindAddAndPurge)
{
    ResourceManager manager;
    EXPECT_EQ(manager.Find(L"T"), nullptr);
    RefPtr<Texture> t = make(L"T");
    ASSERT_TRUE(manager.Add(L"T", WeakPtr<ResourceBaseCounted>(t.Get())));
    RefPtr<ResourceBaseCounted> found = manager.Find(L"T");
    EXPECT_EQ(found.Get(), t.Get());
    EXPECT_EQ(t->GetRefCount(), 2); // the manager itself holds no count
    found.Release();

    // Names differing in case are different resources.
    EXPECT_EQ(manager.Find(L"t"), nullptr);
    RefPtr<Texture> lower = make(L"t");
    EXPECT_TRUE(manager.Add(L"t", WeakPtr<ResourceBaseCounted>(lower.Get())));

    // A taken name refuses the second resource; the first stays.
    RefPtr<Texture> second = make(L"T");
    EXPECT_FALSE(manager.Add(L"T", WeakPtr<ResourceBaseCounted>(second.Get())));
    EXPECT_EQ(manager.Find(L"T").Get(), t.Get());
    EXPECT_EQ(manager.GetReloadableCount(), 2u);

    // When the last user lets go the next find purges the entry.
    t.Release();
    EXPECT_EQ(manager.Find(L"T"), nullptr);
    EXPECT_EQ(manager.GetReloadableCount(), 1u);
    EXPECT_EQ(manager.GetReloadable(0).Get(), lower.Get());
    EXPECT_EQ(manager.GetReloadable(1), nullptr);
    // The name is free again.
    EXPECT_TRUE(manager.Add(L"T", WeakPtr<ResourceBaseCounted>(second.Get())));
}

TEST(ResourceManager, DeadResourcesAreRefused)
{
    ResourceManager manager;
    WeakPtr<ResourceBaseCounted> dead;
    {
        RefPtr<Texture> t = make(L"gone");
        dead = t.Get();
    }
    EXPECT_FALSE(manager.Add(L"gone", dead));
    EXPECT_FALSE(manager.Add(L"none", WeakPtr<ResourceBaseCounted>()));
    EXPECT_EQ(manager.Find(L"gone"), nullptr);
}

TEST(ResourceManager, LevelStartUnloadsLoadedReloadables)
{
    ResourceManager manager;
    manager.KeepLoaded(L"kept");
    RefPtr<Texture> reloadable = make(L"a");
    RefPtr<Texture> fixed = make(L"b", false);
    RefPtr<Texture> kept = make(L"kept");
    RefPtr<Texture> idle = make(L"c");
    idle->Unload();
    for (Texture* t : {reloadable.Get(), fixed.Get(), kept.Get(), idle.Get()})
        ASSERT_TRUE(manager.Add(t->GetName(), WeakPtr<ResourceBaseCounted>(t)));
    EXPECT_TRUE(kept->GetKeepLoaded());
    EXPECT_FALSE(reloadable->GetKeepLoaded());
    EXPECT_EQ(manager.GetReloadableCount(), 3u); // "b" is not reloadable

    manager.UnloadReloadables();
    EXPECT_EQ(reloadable->unloads, 1);
    EXPECT_FALSE(reloadable->IsLoaded());
    EXPECT_EQ(fixed->unloads, 0);
    EXPECT_EQ(kept->unloads, 0);
    EXPECT_EQ(idle->unloads, 1); // only the unload before registration
    // Still registered and alive.
    EXPECT_EQ(manager.Find(L"a").Get(), reloadable.Get());
    EXPECT_EQ(manager.Find(L"b").Get(), fixed.Get());
}
