// Particle system; see ParticleManager.h.
#include "engine/scene/effects/ParticleManager.h"

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

bool ParticleManager::IsReducedEffects()
{
    return g_particleManager && g_particleManager->reducedEffects;
}

IEffectOwnerServices* ParticleManager::GetOwnerServices()
{
    return g_particleManager ? g_particleManager->ownerServices : nullptr;
}

} // namespace TarnEngine
