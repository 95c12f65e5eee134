// Named shared assets (device textures and render targets, sounds). Users hold them through RefPtr;
// the resource manager only observes them, so a resource dies with its last user.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/base/Referenced.h"

namespace TarnEngine
{

class ResourceBase
{
public:
    explicit ResourceBase(const std::wstring& name) : m_name(name) {}
    virtual ~ResourceBase() = default;

    // Whether the resource can be unloaded and loaded again (then the manager lists it).
    virtual bool IsReloadable() { return false; }
    virtual bool IsLoaded() { return true; }
    virtual void Unload() {}
    // Textures answer whether they could be filled; the result is theirs to use.
    virtual bool Load() = 0;
    virtual bool ReleaseData() { return false; }

    const std::wstring& GetName() const { return m_name; }
    // Set at registration for names on the manager's keep list: level starts leave it loaded.
    bool GetKeepLoaded() const { return m_keepLoaded != 0; }
    void SetKeepLoaded(bool keep) { m_keepLoaded = keep ? 1 : 0; }

private:
    std::wstring m_name;
    uint8_t m_keepLoaded = 0;
};

class ResourceBaseCounted : public ResourceBase, public Referenced
{
public:
    explicit ResourceBaseCounted(const std::wstring& name) : ResourceBase(name) {}
};

} // namespace TarnEngine
