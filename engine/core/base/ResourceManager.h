// The engine-wide registry of shared resources by name. It holds weak references only: a resource
// dies as soon as its last user lets go, and the manager forgets it at its next purge (every find,
// add and level start purges first). Users find-or-create: Find the name, and when it is not there,
// create the resource, hold it, and Add it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/core/base/RefPtr.h"
#include "engine/core/base/ResourceBase.h"
#include "engine/core/base/WeakPtr.h"

namespace TarnEngine
{

class ResourceManager
{
public:
    // Publishes itself as the engine's manager until destroyed.
    ResourceManager();
    ~ResourceManager();
    ResourceManager(const ResourceManager&) = delete;
    ResourceManager& operator=(const ResourceManager&) = delete;

    // The published manager, or null.
    static ResourceManager* Get();

    // The live resource registered under name (exact, case-sensitive), or null.
    RefPtr<ResourceBaseCounted> Find(const std::wstring& name);
    // Registers a live resource under a free name; false, changing nothing, for a dead resource or a
    // name already taken (the first registration stays).
    bool Add(const std::wstring& name, const WeakPtr<ResourceBaseCounted>& resource);
    // Forgets dead resources: entries of the name map, then the reloadable list (order kept).
    void Purge();

    // Resources registered later under this name keep their data at level starts.
    void KeepLoaded(const std::wstring& name);

    // The resources that were reloadable when registered, in registration order.
    size_t GetReloadableCount() const { return m_reloadable.size(); }
    RefPtr<ResourceBaseCounted> GetReloadable(size_t index) const;
    // The level-start step: purge, then unload every loaded reloadable resource not kept loaded.
    // They stay registered and load themselves again when next needed.
    void UnloadReloadables();

private:
    std::vector<std::wstring> m_keep;
    std::vector<WeakPtr<ResourceBaseCounted>> m_reloadable;
    std::map<std::wstring, WeakPtr<ResourceBaseCounted>> m_names;
};

} // namespace TarnEngine
