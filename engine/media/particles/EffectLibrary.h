// The loaded particle-effect definitions by name: one instance, created empty
// by start-up; deleting it deletes every definition it holds. The definitions
// join it with the effect files.
#pragma once

namespace TarnEngine
{

class EffectLibrary
{
public:
    EffectLibrary();
    ~EffectLibrary();
    EffectLibrary(const EffectLibrary&) = delete;
    EffectLibrary& operator=(const EffectLibrary&) = delete;

    static EffectLibrary* Get();
};

} // namespace TarnEngine
