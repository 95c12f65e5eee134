// The loaded data of one sound file, shared by source name through the resource cache and loaded on
// demand: a sound resource counts as reloadable and loaded whatever it holds (its data comes at the
// first play), unloads nothing at level starts, and leaves loading to the implementation.
#pragma once

#include "engine/core/base/ResourceBase.h"

namespace TarnEngine
{

class ResourceSound : public ResourceBaseCounted
{
public:
    explicit ResourceSound(const std::wstring& name) : ResourceBaseCounted(name) {}

    bool IsReloadable() override { return true; }
    bool IsLoaded() override { return true; }
    void Unload() override {}
    bool ReleaseData() override { return false; }
};

} // namespace TarnEngine
