// The particle system of the engine: one instance, created by start-up and
// deleted by shutdown, published while it exists. The live effects join it
// with the effect instances.
#pragma once

namespace TarnEngine
{

class ParticleManager
{
public:
    ParticleManager();
    ~ParticleManager();
    ParticleManager(const ParticleManager&) = delete;
    ParticleManager& operator=(const ParticleManager&) = delete;

    static ParticleManager* Get();
};

} // namespace TarnEngine
