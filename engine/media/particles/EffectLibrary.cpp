// Effect definitions by name; see EffectLibrary.h.
#include "engine/media/particles/EffectLibrary.h"

namespace TarnEngine
{

namespace
{
EffectLibrary* g_effectLibrary = nullptr;
}

EffectLibrary::EffectLibrary()
{
    g_effectLibrary = this;
}

EffectLibrary::~EffectLibrary()
{
    if (g_effectLibrary == this)
        g_effectLibrary = nullptr;
}

EffectLibrary* EffectLibrary::Get()
{
    return g_effectLibrary;
}

} // namespace TarnEngine
