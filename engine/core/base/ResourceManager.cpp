// Implementation of ResourceManager.h.
#include "engine/core/base/ResourceManager.h"

#include <algorithm>

namespace TarnEngine
{

namespace
{
ResourceManager* g_manager = nullptr;
}

ResourceManager::ResourceManager()
{
    g_manager = this;
}

ResourceManager::~ResourceManager()
{
    if (g_manager == this)
        g_manager = nullptr;
}

ResourceManager* ResourceManager::Get()
{
    return g_manager;
}

RefPtr<ResourceBaseCounted> ResourceManager::Find(const std::wstring& name)
{
    Purge();
    const auto it = m_names.find(name);
    return it == m_names.end() ? nullptr : it->second.Lock();
}

bool ResourceManager::Add(const std::wstring& name, const WeakPtr<ResourceBaseCounted>& resource)
{
    Purge();
    ResourceBaseCounted* object = resource.Get();
    if (object == nullptr || m_names.count(name) != 0)
        return false;
    if (object->IsReloadable())
        m_reloadable.push_back(resource);
    m_names.emplace(name, resource);
    if (std::find(m_keep.begin(), m_keep.end(), name) != m_keep.end())
        object->SetKeepLoaded(true);
    return true;
}

void ResourceManager::Purge()
{
    std::erase_if(m_names, [](const auto& entry) { return !entry.second.IsAlive(); });
    std::erase_if(m_reloadable, [](const WeakPtr<ResourceBaseCounted>& r) { return !r.IsAlive(); });
}

void ResourceManager::KeepLoaded(const std::wstring& name)
{
    m_keep.push_back(name);
}

RefPtr<ResourceBaseCounted> ResourceManager::GetReloadable(size_t index) const
{
    return index < m_reloadable.size() ? m_reloadable[index].Lock() : nullptr;
}

void ResourceManager::UnloadReloadables()
{
    Purge();
    // By index: an Unload may register or release other resources.
    for (size_t i = 0; i < m_reloadable.size(); ++i)
    {
        ResourceBaseCounted* resource = m_reloadable[i].Get();
        if (resource != nullptr && resource->IsLoaded() && !resource->GetKeepLoaded())
            resource->Unload();
    }
}

} // namespace TarnEngine
