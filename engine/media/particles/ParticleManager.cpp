// Particle system; see ParticleManager.h.
#include "engine/media/particles/ParticleManager.h"

namespace TarnEngine
{

namespace
{
ParticleManager* g_particleManager = nullptr;
}

ParticleManager::ParticleManager()
{
    g_particleManager = this;
}

ParticleManager::~ParticleManager()
{
    if (g_particleManager == this)
        g_particleManager = nullptr;
}

ParticleManager* ParticleManager::Get()
{
    return g_particleManager;
}

} // namespace TarnEngine
