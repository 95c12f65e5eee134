// The particle system of the engine: one instance, created by start-up and
// deleted by shutdown, published while it exists. It carries the
// reduced-effects switch that the game sets from its settings (stream
// emitters then scale their rates down), and the services through which
// actions reach the display instance that runs their effect; the display
// tree installs those. It is a handle table, as the engine's effect
// handles are handles of their own kind.
#pragma once

#include <cstdint>

#include "engine/core/base/HandleTable.h"
#include "engine/core/base/InstanceHandle.h"

namespace TarnEngine
{

// What the particle actions ask of the instance that owns an effect.
class IEffectOwnerServices
{
public:
    // The first child of the owner's parent movie when it is an image instance.
    struct ScatterImage
    {
        int32_t width = 0;
        int32_t height = 0;
        float scaleX = 1.0f;
        float scaleY = 1.0f;
    };

    virtual ~IEffectOwnerServices() = default;
    // The owner's position in its parent; false when the handle names no instance.
    virtual bool GetOwnerPosition(const InstanceHandle& owner, float& x, float& y) = 0;
    virtual bool GetScatterImage(const InstanceHandle& owner, ScatterImage& image) = 0;
    // Whether the pixel of that image counts as part of it.
    virtual bool HitTestScatterPixel(const InstanceHandle& owner, int32_t x, int32_t y) = 0;
};

class ParticleManager : public HandleTable
{
public:
    ParticleManager();
    ~ParticleManager();
    ParticleManager(const ParticleManager&) = delete;
    ParticleManager& operator=(const ParticleManager&) = delete;

    static ParticleManager* Get();
    // False when there is no manager.
    static bool IsReducedEffects();
    // The installed owner services, or null (also without a manager).
    static IEffectOwnerServices* GetOwnerServices();

    void SetOwnerServices(IEffectOwnerServices* services) { ownerServices = services; }

    bool reducedEffects = false;
    // The serial of the last effect instance name made up for a spawn without a name.
    uint32_t generatedNameSerial = 0;

private:
    IEffectOwnerServices* ownerServices = nullptr;
};

} // namespace TarnEngine
