// Effect instances, spawning by name and the particle system's services to the display tree; see
// Instance_Effect.h. The script methods are in Instance_EffectLua.cpp.
#include "engine/scene/effects/Instance_Effect.h"

#include "engine/graphics/canvas/IRenderCanvas.h"
#include "engine/scene/definitions/nuggets/REffectNugget.h"
#include "engine/scene/display/image/Instance_Image.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/effects/EffectLibrary.h"
#include "engine/scene/effects/ParticleManager.h"
#include "engine/scene/effects/RPfxAppearanceActions.h"
#include "engine/scene/ui/UserInterface.h"


namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(Instance_Effect, Instance_Base, RObjectFactory<Instance_Effect>, L"Effect",
                              &Instance_Effect::RegisterLua)

namespace
{

// Only the material's mask bits reach the particles: masked in, mask clear, masked out.
constexpr uint32_t MaskFlags = 0x70000;
constexpr float FarCorner = 1000000.0f;

// The display instance of a handle of the user interface's table, else null.
Instance_Base* displayInstance(const InstanceHandle& handle)
{
    const UserInterface* ui = UserInterface::Get();
    if (!ui || handle.table != &ui->instanceTable)
        return nullptr;
    return handle.GetInstance();
}

// The next generated name's serial: the manager's counter, or a counter of the process while
// there is no manager.
uint32_t nextNameSerial()
{
    static uint32_t withoutManager = 0;
    ParticleManager* manager = ParticleManager::Get();
    return manager ? ++manager->generatedNameSerial : ++withoutManager;
}

// What the particle actions ask about the instance that runs their effect.
class DisplayTreeOwner final : public IEffectOwnerServices
{
public:
    bool GetOwnerPosition(const InstanceHandle& owner, float& x, float& y) override
    {
        const Instance_Base* instance = displayInstance(owner);
        if (!instance)
            return false;
        x = instance->x;
        y = instance->y;
        return true;
    }

    bool GetScatterImage(const InstanceHandle& owner, ScatterImage& image) override
    {
        const Instance_Image* picture = scatterImage(owner);
        if (!picture)
            return false;
        image.width = pixels(picture->width);
        image.height = pixels(picture->height);
        image.scaleX = picture->scaleX;
        image.scaleY = picture->scaleY;
        return true;
    }

    bool HitTestScatterPixel(const InstanceHandle& owner, int32_t x, int32_t y) override
    {
        Instance_Image* picture = scatterImage(owner);
        return picture && x >= 0 && y >= 0 && picture->HitTestPixel(uint32_t(x), uint32_t(y));
    }

private:
    // The first child of the owner's parent movie, when it is an image.
    static Instance_Image* scatterImage(const InstanceHandle& owner)
    {
        const Instance_Base* instance = displayInstance(owner);
        const auto* movie = instance ? RObjectCast<Instance_Movie>(displayInstance(instance->parent)) : nullptr;
        if (!movie || movie->children.empty() || movie->children.front()->type != INSTANCE_IMAGE)
            return nullptr;
        return RObjectCast<Instance_Image>(movie->children.front());
    }

    // Sizes reach the actions as signed pixels.
    static int32_t pixels(uint32_t size) { return size > uint32_t(INT32_MAX) ? INT32_MAX : int32_t(size); }
};

Instance_Effect* asEffect(Instance_Base* instance)
{
    return RObjectCast<Instance_Effect>(instance);
}

} // namespace

// ---- The instance.

Instance_Effect::Instance_Effect()
{
    type = INSTANCE_EFFECT;
}

Instance_Effect::~Instance_Effect()
{
    effect.reset();
    cancelStartTimer();
}

void Instance_Effect::Initialize(const std::wstring& instanceName)
{
    Instance_Base::Initialize(instanceName);
    type = INSTANCE_EFFECT;
}

void Instance_Effect::Draw(const Matrix3& parentMatrix, float parentAlpha)
{
    if (!visible || !effect)
        return;
    const float alpha = opacity * parentAlpha;
    const Matrix3 world = Matrix3::Multiply(GetLocalMatrix(), parentMatrix);
    const bool layers = canvas && canvas->GetVisible();
    if (layers && !canvas->IsPassEmpty(0))
        canvas->Render(world, 0);
    effect->Draw(world, alpha, material & MaskFlags);
    if (layers && !canvas->IsPassEmpty(1))
        canvas->Render(world, 1);
}

void Instance_Effect::ComputeBounds()
{
    corners[0] = {FarCorner, FarCorner};
    corners[1] = {FarCorner, -FarCorner};
    corners[2] = {-FarCorner, FarCorner};
    corners[3] = {-FarCorner, -FarCorner};
}

void Instance_Effect::CopyFrom(const Instance_Base& source)
{
    Instance_Base::CopyFrom(source);
    select(nullptr);
    const auto* other = RObjectCast<Instance_Effect>(const_cast<Instance_Base*>(&source));
    if (!other || !other->effect)
    {
        effect.reset();
        return;
    }
    // A clone has no particles; the copy starts its own roots, or its first update would end it.
    SetEffect(other->effect->Clone());
    effect->targetX = other->effect->targetX;
    effect->targetY = other->effect->targetY;
    effect->StartAutoEmit();
}

void Instance_Effect::OnTimer(InstanceHandle timer)
{
    if (!timer.Equals(startTimer))
        return;
    startPending = false;
    // The service repeats a timer until it is removed; the start needs one notice.
    cancelStartTimer();
}

void Instance_Effect::cancelStartTimer()
{
    // The handle's table is the service's: only the service that made the timer may be asked, as
    // a replaced one took its table with it.
    TimerService* service = TimerService::Get();
    if (service && startTimer.table && service->GetIdentity() == startTimerService)
        service->Cancel(startTimer);
    startTimer = {};
    startTimerService = 0;
}

void Instance_Effect::SetEffect(std::unique_ptr<ParticleEffect> running)
{
    select(nullptr);
    effect = std::move(running);
    SetEffectOwner();
}

void Instance_Effect::SetEffectOwner()
{
    if (effect)
        effect->owner = handle.AsType(INSTANCE_EFFECT);
}

bool Instance_Effect::UpdateEffect(float dt)
{
    if (startPending)
        return true;
    if (!effect)
        return false;
    return effect->Step(dt);
}

void Instance_Effect::StartAfterDelay(float delay)
{
    cancelStartTimer();
    TimerService* service = TimerService::Get();
    startTimer = service ? service->AddTimer(delay, this) : InstanceHandle{};
    startTimerService = service ? service->GetIdentity() : 0;
    // Without a timer nothing would ever start the effect, nor would it ever end.
    startPending = startTimer.IsValid();
}

void Instance_Effect::Hold()
{
    cancelStartTimer();
    startPending = true;
}

void Instance_Effect::SetEffectTarget(float targetX, float targetY)
{
    if (!effect)
        return;
    effect->targetX = targetX;
    effect->targetY = targetY;
}

float Instance_Effect::GetEffectTargetX() const
{
    return effect ? effect->targetX : 0.0f;
}

float Instance_Effect::GetEffectTargetY() const
{
    return effect ? effect->targetY : 0.0f;
}

void Instance_Effect::select(Particle* particle)
{
    selectedParticle = particle;
    selectedParticleSerial = particle ? particle->serial : 0;
}

bool Instance_Effect::SelectRootParticle()
{
    select(nullptr);
    if (!effect)
        return false;
    for (const auto& particleTemplate : effect->templates)
        if (particleTemplate->autoEmit)
        {
            select(effect->GetRootParticle(*particleTemplate));
            break;
        }
    return selectedParticle != nullptr;
}

bool Instance_Effect::SelectAutoEmitParticle(const std::wstring& templateName)
{
    select(nullptr);
    const ParticleTemplate* particleTemplate = effect ? effect->FindTemplate(templateName) : nullptr;
    if (particleTemplate)
        select(effect->GetRootParticle(*particleTemplate));
    return selectedParticle != nullptr;
}

Particle* Instance_Effect::GetSelectedParticle() const
{
    return selectedParticle && selectedParticle->serial == selectedParticleSerial && selectedParticle->IsLive()
               ? selectedParticle
               : nullptr;
}

void Instance_Effect::SetSelectedParticlePosition(float px, float py, bool parentSpace)
{
    Particle* particle = GetSelectedParticle();
    if (!particle)
        return;
    if (parentSpace)
    {
        const Matrix3& local = GetLocalMatrix();
        px -= local.m[2][0];
        py -= local.m[2][1];
    }
    particle->x = px;
    particle->y = py;
}

void Instance_Effect::SetSelectedParticleVelocity(float vx, float vy)
{
    if (Particle* particle = GetSelectedParticle())
    {
        particle->vx = vx;
        particle->vy = vy;
    }
}

int32_t Instance_Effect::GetLiveParticleCount() const
{
    return effect ? effect->liveCount : 0;
}

void Instance_Effect::SetParticleColor(const std::wstring& templateName, uint32_t colour)
{
    const ParticleTemplate* particleTemplate = effect ? effect->FindTemplate(templateName) : nullptr;
    auto* action = particleTemplate
                       ? RObjectCast<Effects::RPfxSetColorRGBAction>(particleTemplate->FindAction(L"color"))
                       : nullptr;
    if (!action)
        return;
    action->params.red.SetConstant(float((colour >> 16) & 0xFF));
    action->params.green.SetConstant(float((colour >> 8) & 0xFF));
    action->params.blue.SetConstant(float(colour & 0xFF));
}

// ---- Spawning.

InstanceHandle SpawnParticleEffect(const std::wstring& effectName, Instance_Movie* parent, InstanceHandle& out,
                                   const std::wstring& instanceName, float x, float y)
{
    out = {};
    EffectLibrary* library = EffectLibrary::Get();
    if (!library || !parent)
        return out;
    if (!library->Contains(effectName) && !library->Load(effectName))
        return out;
    std::unique_ptr<ParticleEffect> running = library->CreateEffect(effectName);
    if (!running)
        return out;
    std::wstring name = instanceName;
    if (name.empty())
        name = effectName + std::to_wstring(int32_t(nextNameSerial()));
    Instance_Base* made = nullptr;
    Instance_Movie::CreateInstanceCore(parent, L"", name, true, Instance_Effect::StaticClass(), &made);
    Instance_Effect* instance = asEffect(made);
    if (!instance || !instance->handle.AsType(INSTANCE_EFFECT).IsValid())
    {
        // Made but not registered (no user interface): nothing could ever reach it.
        if (made)
            parent->RemoveAndQueueDelete(made);
        return out; // the effect goes with `running`
    }
    instance->SetEffect(std::move(running));
    instance->SetPosition(x, y);
    instance->effect->StartAutoEmit();
    out = instance->handle;
    return out;
}

InstanceHandle SpawnCursorEffect(Instance_Movie* root, const std::wstring& effectName, float x, float y,
                                 float targetX, float targetY)
{
    InstanceHandle spawned;
    SpawnParticleEffect(effectName, root, spawned, L"", x, y);
    if (Instance_Effect* instance = asEffect(displayInstance(spawned)))
        instance->SetEffectTarget(targetX, targetY);
    return spawned;
}

void InstallEffectServices(ParticleManager& manager)
{
    static DisplayTreeOwner owner;
    manager.SetOwnerServices(&owner);

    EffectNuggetServices services;
    services.spawn = [](const std::wstring& effectName, Instance_Movie* parent, const std::wstring& instanceName,
                        float x, float y)
    {
        InstanceHandle spawned;
        return SpawnParticleEffect(effectName, parent, spawned, instanceName, x, y);
    };
    services.hold = [](Instance_Base* instance)
    {
        if (Instance_Effect* effect = asEffect(instance))
            effect->Hold();
    };
    services.startAfterDelay = [](Instance_Base* instance, float delay)
    {
        if (Instance_Effect* effect = asEffect(instance))
            effect->StartAfterDelay(delay);
    };
    services.update = [](Instance_Base* instance, float dt)
    {
        Instance_Effect* effect = asEffect(instance);
        return effect && effect->UpdateEffect(dt);
    };
    SetEffectNuggetServices(std::move(services));
}

} // namespace TarnEngine
