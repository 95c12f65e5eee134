// Effect instances in the display tree: spawning by name, life and removal, the delayed start on
// a fake clock, masked drawing into the recording renderer, bounds, copies, the script methods,
// and the services that start-up installs for effect nuggets, actions and the cursor effect.
#include "engine/scene/effects/Instance_Effect.h"

#include "engine/scene/classes/EngineRegistrations.h"
#include "engine/scene/definitions/nuggets/REffectNugget.h"
#include "engine/scene/definitions/nuggets/RNuggetBase.h"
#include "engine/scene/display/image/Instance_Image.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/effects/EffectLibrary.h"
#include "engine/scene/effects/ParticleManager.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/ui/UserInterface.h"
#include "tests/scene/RecordingRenderer.h"
#include "tests/scene/effects/EffectFixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace EffectTest
{
namespace
{

class CountingTimerListener : public ITimerListener
{
public:
    void OnTimer(InstanceHandle) override { ++notices; }
    int notices = 0;
};

using SceneTest::RecordingRenderer;

constexpr int64_t Frequency = 1000000;
constexpr float Frame = 1.0f / 60.0f;

// A curve whose value range is 0 to 255, constant at v.
std::string Byte(int v)
{
    return "1;linear;0;1;0,1;0,255;0," + std::to_string(v) + ",0";
}

// "Root" lives `lifetime` seconds, flies right at 60 pixels a second and is white until told
// otherwise; "Other" makes a second root.
std::string Flight(const std::string& lifetime)
{
    return Effect(Template("name=\"Root\" autoemit=\"true\" image=\"spark\" lifetime=\"" + lifetime + "\"",
                           Item("event=\"creation\"",
                                E("SetVelocityAction", E("Angle", C(90)) + E("Magnitude", C(60)))) +
                               Item("layer=\"1\" label=\"Color\"",
                                    E("SetColorRGBAction", E("Red", Byte(255)) + E("Green", Byte(255)) +
                                                               E("Blue", Byte(255)) + E("Range", "255")))) +
                  Template("name=\"Other\" autoemit=\"true\" lifetime=\"10\"", "") +
                  Template("name=\"Quiet\" lifetime=\"10\"", ""));
}

class EffectInstances : public EffectFixture
{
protected:
    void SetUp() override
    {
        EffectFixture::SetUp();
        images[L"spark"] = EffectImage{};
        ASSERT_TRUE(lua.Init());
        renderer = std::make_unique<RecordingRenderer>();
        ui = std::make_unique<UserInterface>(nullptr, nullptr);
        ASSERT_TRUE(ui->Init());
        root = ui->GetRoot();
        ASSERT_NE(root, nullptr);
        InstallEffectServices(manager);
        AddEffect("flight", Flight("1"));
        AddEffect("short", Flight("0.05"));
        AddEffect("lone", Effect(Template("name=\"Root\" autoemit=\"true\" lifetime=\"0.05\"", "")));
        // "Root" flies right at 60 pixels a second and dies after 0.05 s.
        const std::string flyRight = E("SetVelocityAction", E("Angle", C(90)) + E("Magnitude", C(60)));
        AddEffect("blink", Effect(Template("name=\"Root\" autoemit=\"true\" image=\"spark\" lifetime=\"0.05\"",
                                           Item("event=\"creation\"", flyRight))));
        holder = Movie(L"holder");
        ASSERT_NE(holder, nullptr);
    }

    void TearDown() override
    {
        ui.reset();
        renderer.reset();
        SetEffectNuggetServices({});
        EffectFixture::TearDown();
    }

    Instance_Movie* Movie(const std::wstring& name)
    {
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(root, L"", name, true, nullptr, &made);
        return RObjectCast<Instance_Movie>(made);
    }

    Instance_Effect* Spawn(const std::wstring& effect, const std::wstring& name = L"", float x = 0,
                           float y = 0, Instance_Movie* parent = nullptr)
    {
        InstanceHandle handle;
        SpawnParticleEffect(effect, parent ? parent : holder, handle, name, x, y);
        return RObjectCast<Instance_Effect>(handle.GetInstance());
    }

    bool Run(const std::string& code) { return lua.DoString(Utf8ToWString(code)); }

    std::string Global(const char* name)
    {
        lua_State* state = lua.GetState();
        lua_getglobal(state, "tostring");
        lua_getglobal(state, name);
        lua_call(state, 1, 1);
        std::string text = lua_tostring(state, -1);
        lua_pop(state, 1);
        return text;
    }

    void SetGlobal(const char* name, Instance_Base* instance)
    {
        if (!instance->HasTable())
            instance->CreateLuaTable();
        instance->PushTable();
        lua_setglobal(lua.GetState(), name);
    }

    Platform::FakeCounter clock{Frequency};
    TimerService timers{clock};
    LuaMgr lua;
    std::unique_ptr<RecordingRenderer> renderer;
    std::unique_ptr<UserInterface> ui;
    Instance_Movie* root = nullptr;
    Instance_Movie* holder = nullptr;
};

TEST_F(EffectInstances, SpawnedEffectsArePlacedStartedAndOwned)
{
    holder->material = 0x10000 | 2;
    Instance_Effect* effect = Spawn(L"flight", L"fx", 30, 40);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->type, uint32_t(INSTANCE_EFFECT));
    EXPECT_EQ(effect->name, L"fx");
    EXPECT_EQ(effect->GetX(), 30.0f);
    EXPECT_EQ(effect->GetY(), 40.0f);
    EXPECT_EQ(effect->material, 0x10000u | 2u);
    ASSERT_NE(effect->effect, nullptr);
    EXPECT_NE(effect->effect.get(), library.GetDefinition(L"flight"));
    EXPECT_TRUE(effect->effect->owner.Equals(effect->handle));
    // Both auto-emitting templates made their roots; the other template waits for an emitter.
    EXPECT_EQ(effect->GetLiveParticleCount(), 2);
    EXPECT_FALSE(effect->startPending);
    EXPECT_EQ(holder->children.back(), effect);
}

TEST_F(EffectInstances, GeneratedNamesCountUpAcrossEffects)
{
    Instance_Effect* first = Spawn(L"flight");
    Instance_Effect* second = Spawn(L"flight");
    Instance_Effect* third = Spawn(L"short", L"", 0, 0, root);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(first->name, L"flight1");
    EXPECT_EQ(second->name, L"flight2");
    EXPECT_EQ(third->name, L"short3");
}

TEST_F(EffectInstances, FailedSpawnsLeaveNothingBehind)
{
    ASSERT_NE(Spawn(L"flight", L"taken"), nullptr);
    const size_t children = holder->children.size();
    const uint32_t instances = ui->liveInstanceCount;

    struct Case
    {
        const wchar_t* effect;
        const wchar_t* name;
        Instance_Movie* parent;
    };
    const Case cases[] = {
        {L"flight", L"taken", holder},  // the name of an existing child: the clone is freed
        {L"missing", L"fx", holder},    // no effect file
        {L"flight", L"fx", nullptr},    // no parent
    };
    for (const Case& c : cases)
    {
        InstanceHandle out{7, 7, nullptr};
        const InstanceHandle result = SpawnParticleEffect(c.effect, c.parent, out, c.name, 0, 0);
        EXPECT_FALSE(result.IsValid()) << c.effect;
        EXPECT_TRUE(out.Equals(InstanceHandle{})) << c.effect;
    }
    EXPECT_EQ(holder->children.size(), children);
    EXPECT_EQ(ui->liveInstanceCount, instances);
    // The existing child still runs its own effect.
    EXPECT_EQ(RObjectCast<Instance_Effect>(holder->children.back())->GetLiveParticleCount(), 2);
}

TEST_F(EffectInstances, AnInstanceGoesInTheUpdateItsLastParticleDies)
{
    Instance_Effect* effect = Spawn(L"lone", L"fx");
    ASSERT_NE(effect, nullptr);
    SetGlobal("fx", effect);
    ASSERT_TRUE(Run("alive = fx:GetLiveParticleCount()"));
    EXPECT_EQ(Global("alive"), "1");

    holder->Update(Frame); // 0.0167
    holder->Update(Frame); // 0.0333
    ASSERT_EQ(holder->children.size(), 1u);
    holder->Update(Frame); // 0.05: the particle dies, and the instance with it
    EXPECT_TRUE(holder->children.empty());
    EXPECT_TRUE(holder->drawOrder.empty());
    ASSERT_TRUE(Run("gone = fx:GetLiveParticleCount()"));
    EXPECT_EQ(Global("gone"), "nil");
}

// The movie's own update steps its effects with its dt; a paused movie holds them, and a delayed
// one stays while it waits.
TEST_F(EffectInstances, MoviesStepTheirEffectsWithTheirOwnUpdate)
{
    Instance_Effect* running = Spawn(L"blink", L"running");
    Instance_Effect* waiting = Spawn(L"blink", L"waiting");
    ASSERT_NE(running, nullptr);
    ASSERT_NE(waiting, nullptr);
    waiting->Hold();
    Particle* particle = running->effect->GetRootParticle(*running->effect->templates[0]);
    ASSERT_NE(particle, nullptr);

    holder->Update(0.02f);
    EXPECT_FLOAT_EQ(particle->age, 0.02f);
    EXPECT_NEAR(particle->x, 1.2f, 1e-4);
    holder->SetPausedRecursive(true);
    holder->Update(0.02f);
    EXPECT_FLOAT_EQ(particle->age, 0.02f) << "paused";
    holder->SetPausedRecursive(false);
    holder->Update(0.02f);
    EXPECT_FLOAT_EQ(particle->age, 0.04f);

    holder->Update(0.02f); // past its life
    ASSERT_EQ(holder->children.size(), 1u);
    EXPECT_EQ(holder->children[0], waiting) << "a held effect counts as alive";
}

// "CreateParticleEffect" from a script: the effect is placed, drawn and stepped by its movie, and
// removed from the tree in the update its last particle dies; failed spawns give nil.
TEST_F(EffectInstances, AScriptsEffectRunsEndsAndLeavesTheTree)
{
    SetGlobal("holder", holder);
    ASSERT_TRUE(Run("fx = holder:CreateParticleEffect('blink', 'fx', 10, 20)\n"
                    "clash = holder:CreateParticleEffect('blink', 'fx', 0, 0)\n"
                    "missing = holder:CreateParticleEffect('nothing', 'x', 0, 0)\n"
                    "unread = holder:CreateParticleEffect('blink', 'y', 'left', 0)\n"
                    "named = holder:CreateParticleEffect('blink', nil, 0, 0)\n"
                    "same = fx == holder:GetChildByName('fx')\n"
                    "count = fx:GetLiveParticleCount()"));
    EXPECT_EQ(Global("same"), "true");
    EXPECT_EQ(Global("count"), "1");
    EXPECT_EQ(Global("clash"), "nil");
    EXPECT_EQ(Global("missing"), "nil");
    EXPECT_EQ(Global("unread"), "nil");
    ASSERT_EQ(holder->children.size(), 2u);
    auto* effect = RObjectCast<Instance_Effect>(holder->children[0]);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->GetX(), 10.0f);
    EXPECT_EQ(effect->GetY(), 20.0f);
    EXPECT_EQ(holder->children[1]->name.rfind(L"blink", 0), 0u) << "a generated name";

    renderer->quads.clear();
    holder->Draw(Matrix3{}, 1.0f);
    EXPECT_EQ(renderer->quads.size(), 2u) << "shown";
    const Particle* particle = effect->effect->GetRootParticle(*effect->effect->templates[0]);
    ASSERT_NE(particle, nullptr);
    holder->Update(Frame);
    holder->Update(Frame);
    EXPECT_NEAR(particle->x, 2.0f, 1e-3) << "runs with its movie";
    holder->Update(Frame);
    EXPECT_TRUE(holder->children.empty());
    EXPECT_TRUE(holder->drawOrder.empty());
    ASSERT_TRUE(Run("gone = fx:GetLiveParticleCount()"));
    EXPECT_EQ(Global("gone"), "nil");
    renderer->quads.clear();
    holder->Draw(Matrix3{}, 1.0f);
    EXPECT_TRUE(renderer->quads.empty());
}

TEST_F(EffectInstances, AnEffectWithoutItsEffectEndsAtOnce)
{
    Instance_Movie::CreateChild(holder, L"", L"bare", Instance_Effect::StaticClass());
    auto* bare = RObjectCast<Instance_Effect>(holder->children.back());
    ASSERT_NE(bare, nullptr);
    EXPECT_FALSE(bare->UpdateEffect(Frame));
    bare->Hold();
    EXPECT_TRUE(bare->UpdateEffect(Frame));
}

TEST_F(EffectInstances, ADelayedEffectIsDrawnButNotSteppedUntilItsTimerFires)
{
    Instance_Effect* effect = Spawn(L"flight", L"fx");
    ASSERT_NE(effect, nullptr);
    effect->StartAfterDelay(0.5f);
    ASSERT_TRUE(effect->startPending);
    const InstanceHandle timer = effect->startTimer;
    ASSERT_TRUE(timer.IsValid());

    Particle* particle = effect->effect->GetRootParticle(*effect->effect->templates[0]);
    ASSERT_NE(particle, nullptr);
    for (int i = 0; i < 60; ++i)
        EXPECT_TRUE(effect->UpdateEffect(Frame));
    EXPECT_EQ(particle->age, 0.0f);
    EXPECT_EQ(particle->x, 0.0f);
    effect->Draw(Matrix3{}, 1.0f);
    EXPECT_EQ(renderer->quads.size(), 1u);

    clock.AdvanceMilliseconds(499);
    timers.Update();
    EXPECT_TRUE(effect->startPending);
    clock.AdvanceMilliseconds(1);
    timers.Update();
    EXPECT_FALSE(effect->startPending);
    // One notice starts the effect; the timer is gone at the service's next update.
    EXPECT_FALSE(effect->startTimer.IsValid());
    timers.Update();
    EXPECT_FALSE(timer.IsValid());

    EXPECT_TRUE(effect->UpdateEffect(0.25f));
    EXPECT_FLOAT_EQ(particle->age, 0.25f);
    EXPECT_FLOAT_EQ(particle->x, 15.0f);
}

TEST_F(EffectInstances, ADelayTheTimerRefusesStartsAtOnce)
{
    // The service schedules nothing below 0.0001 s; waiting for a timer that does not exist
    // would keep the effect frozen and alive for ever.
    for (const float delay : {0.0f, -1.0f, 0.00005f, std::nanf("")})
    {
        Instance_Effect* effect = Spawn(L"lone");
        ASSERT_NE(effect, nullptr);
        effect->StartAfterDelay(delay);
        EXPECT_FALSE(effect->startPending) << delay;
        EXPECT_FALSE(effect->startTimer.IsValid()) << delay;
        bool alive = true;
        for (int i = 0; i < 10 && alive; ++i)
            alive = effect->UpdateEffect(Frame);
        EXPECT_FALSE(alive) << delay;
    }
}

TEST_F(EffectInstances, AnEffectDeletedWhileItWaitsCancelsItsTimer)
{
    Instance_Effect* effect = Spawn(L"flight", L"fx");
    ASSERT_NE(effect, nullptr);
    effect->StartAfterDelay(0.1f);
    const InstanceHandle timer = effect->startTimer;
    holder->RemoveAndQueueDelete(effect);
    holder->DeletePending();
    // The record is dropped unnotified (a notice would reach a deleted listener).
    clock.AdvanceMilliseconds(1000);
    timers.Update();
    EXPECT_FALSE(timer.IsValid());
}

TEST_F(EffectInstances, AReplacedTimerServiceIsNeverAskedAboutTheOldOnesTimer)
{
    auto first = std::make_unique<TimerService>(clock);
    Instance_Effect* effect = Spawn(L"flight", L"fx");
    ASSERT_NE(effect, nullptr);
    effect->StartAfterDelay(0.5f);
    ASSERT_TRUE(effect->startPending);
    // The service goes and another takes its place (possibly where it lived), with a timer of its
    // own in the slot the old handle names.
    first.reset();
    auto second = std::make_unique<TimerService>(clock);
    CountingTimerListener other;
    const InstanceHandle unrelated = second->AddTimer(0.5f, &other);
    ASSERT_TRUE(unrelated.IsValid());
    // Cancelling reads nothing of the freed table (AddressSanitizer would stop here) and leaves the
    // new service's timer alone.
    holder->RemoveAndQueueDelete(effect);
    holder->DeletePending();
    clock.AdvanceMilliseconds(600);
    second->Update();
    EXPECT_EQ(other.notices, 1);
    EXPECT_FALSE(second->Cancel(InstanceHandle{})) << "a handle of no service";
}

TEST_F(EffectInstances, DrawingPassesOnlyTheMaskBitsAndTheCombinedOpacity)
{
    Instance_Effect* effect = Spawn(L"flight", L"fx", 100, 50);
    ASSERT_NE(effect, nullptr);
    effect->SetMaterial(0x10000 | 0x20000 | 0x40000 | 0x80000 | 0x10 | 3);
    effect->SetOpacity(0.5f);
    Matrix3 parent;
    parent.SetTranslation(10, 20);
    effect->Draw(parent, 0.5f);
    ASSERT_EQ(renderer->quads.size(), 1u); // "Other" has no image
    const auto& quad = renderer->quads[0];
    EXPECT_EQ(quad.material, 0x70000u | 2u);
    EXPECT_EQ(quad.colour >> 24, uint32_t(0.25f * 255.0f));
    EXPECT_EQ(quad.colour & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_FLOAT_EQ(quad.matrix.m[2][0], 110.0f);
    EXPECT_FLOAT_EQ(quad.matrix.m[2][1], 70.0f);

    renderer->quads.clear();
    effect->SetVisible(false);
    effect->Draw(parent, 1.0f);
    EXPECT_TRUE(renderer->quads.empty());
}

TEST_F(EffectInstances, AnEffectHasNoExtentAndKeepsItsMovieFromBeingCulled)
{
    Instance_Effect* effect = Spawn(L"flight", L"fx", 5, 5);
    ASSERT_NE(effect, nullptr);
    effect->ComputeBounds();
    EXPECT_EQ(effect->corners[0].x, 1000000.0f);
    EXPECT_EQ(effect->corners[0].y, 1000000.0f);
    EXPECT_EQ(effect->corners[1].y, -1000000.0f);
    EXPECT_EQ(effect->corners[2].x, -1000000.0f);
    EXPECT_EQ(effect->corners[3].x, -1000000.0f);
    EXPECT_EQ(effect->corners[3].y, -1000000.0f);
    EXPECT_FALSE(effect->IsReady());
    EXPECT_FALSE(holder->IsReady());
    // Tints do not reach particles.
    effect->SetColor(0xFF0000);
    effect->Draw(Matrix3{}, 1.0f);
    ASSERT_FALSE(renderer->quads.empty());
    EXPECT_EQ(renderer->quads[0].colour & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(EffectInstances, ACopyRunsAnEffectOfItsOwn)
{
    Instance_Effect* source = Spawn(L"flight", L"source", 3, 4);
    ASSERT_NE(source, nullptr);
    source->SetEffectTarget(7, 8);
    source->UpdateEffect(0.5f);
    Instance_Movie::CreateChild(holder, L"", L"copy", Instance_Effect::StaticClass());
    auto* copy = RObjectCast<Instance_Effect>(holder->children.back());
    ASSERT_NE(copy, nullptr);
    copy->CopyFrom(*source);
    ASSERT_NE(copy->effect, nullptr);
    EXPECT_NE(copy->effect.get(), source->effect.get());
    EXPECT_TRUE(copy->effect->owner.Equals(copy->handle));
    EXPECT_EQ(copy->GetEffectTargetX(), 7.0f);
    EXPECT_EQ(copy->GetEffectTargetY(), 8.0f);
    ASSERT_EQ(copy->effect->templates.size(), 3u);
    EXPECT_EQ(copy->effect->templates[0]->name, L"Root");
    EXPECT_EQ(copy->effect->templates[0]->actions.size(), source->effect->templates[0]->actions.size());
    // The copy's particles are its own and start afresh.
    EXPECT_EQ(copy->GetLiveParticleCount(), 2);
    EXPECT_TRUE(copy->UpdateEffect(Frame));
    EXPECT_FLOAT_EQ(source->effect->GetRootParticle(*source->effect->templates[0])->age, 0.5f);

    // A copy of an instance without an effect has none either.
    Instance_Movie::CreateChild(holder, L"", L"bare", Instance_Effect::StaticClass());
    auto* bare = RObjectCast<Instance_Effect>(holder->children.back());
    copy->CopyFrom(*bare);
    EXPECT_EQ(copy->effect, nullptr);
}

TEST_F(EffectInstances, ScriptMethodsReachTargetSelectionAndColour)
{
    Instance_Effect* effect = Spawn(L"flight", L"fx", 40, 10);
    ASSERT_NE(effect, nullptr);
    SetGlobal("fx", effect);
    ASSERT_TRUE(Run("fx:SetTargetPosition(11, 12) fx:SetTargetY(13)\n"
                    "tx, ty = fx:GetTargetX(), fx:GetTargetY()\n"
                    "count = fx:GetLiveParticleCount()\n"
                    "none = fx:SelectAutoEmitParticle('Quiet')\n"
                    "unknown = fx:SelectAutoEmitParticle('nothing')\n"
                    "other = fx:SelectAutoEmitParticle('other')\n"
                    "rootSelected = fx:SelectRootParticle()\n"
                    "fx:SetSelectedParticlePosition(100, 50, true)\n"
                    "fx:SetSelectedParticleVelocity(-5, 6)\n"
                    "fx:SetParticleColor('root', 0x336699)\n"));
    EXPECT_EQ(Global("tx"), "11");
    EXPECT_EQ(Global("ty"), "13");
    EXPECT_EQ(Global("count"), "2");
    EXPECT_EQ(Global("none"), "false");
    EXPECT_EQ(Global("unknown"), "false");
    EXPECT_EQ(Global("other"), "true");
    EXPECT_EQ(Global("rootSelected"), "true");

    Particle* particle = effect->effect->GetRootParticle(*effect->effect->templates[0]);
    ASSERT_NE(particle, nullptr);
    EXPECT_EQ(particle->x, 60.0f);
    EXPECT_EQ(particle->y, 40.0f);
    EXPECT_EQ(particle->vx, -5.0f);
    EXPECT_EQ(particle->vy, 6.0f);
    // New particles take the target; the colour action now paints 0x336699.
    EXPECT_EQ(effect->effect->targetX, 11.0f);
    effect->UpdateEffect(Frame);
    effect->Draw(Matrix3{}, 1.0f);
    ASSERT_FALSE(renderer->quads.empty());
    EXPECT_EQ(renderer->quads.back().colour & 0xFFFFFF, 0x336699u);

    // Position in the effect's own space; nothing once the selected particle is gone.
    ASSERT_TRUE(Run("fx:SetSelectedParticlePosition(1, 2, false)"));
    EXPECT_EQ(particle->x, 1.0f);
    effect->effect->Kill(*particle, 0);
    effect->effect->Spawn(*effect->effect->templates[0], nullptr, 0); // reuses the record
    const float reusedX = particle->x;
    ASSERT_TRUE(Run("fx:SetSelectedParticlePosition(500, 500, false) fx:SetSelectedParticleVelocity(9, 9)"));
    EXPECT_EQ(particle->x, reusedX);
    EXPECT_NE(particle->vx, 9.0f);
}

TEST_F(EffectInstances, ScriptMethodsWithBadArgumentsDoNothing)
{
    Instance_Effect* effect = Spawn(L"flight", L"fx");
    ASSERT_NE(effect, nullptr);
    SetGlobal("fx", effect);
    ASSERT_TRUE(Run("fx:SetTargetPosition(1, 2)\n"
                    "fx:SetTargetPosition('a')\n"
                    "fx:SetTargetX()\n"
                    "a = fx:SelectAutoEmitParticle()\n"
                    "b = fx:SelectAutoEmitParticle(5)\n"
                    "fx:SelectRootParticle()\n"
                    "fx:SetSelectedParticlePosition(100, 50)\n"
                    "fx:SetParticleColor('root')\n"
                    "fx:SetParticleColor('missing', 0x112233)\n"
                    "fx:SetParticleColor('other', 0x112233)\n"
                    "c = fx.GetLiveParticleCount({})\n"));
    EXPECT_EQ(effect->GetEffectTargetX(), 1.0f);
    EXPECT_EQ(effect->GetEffectTargetY(), 2.0f);
    EXPECT_EQ(Global("a"), "nil");
    EXPECT_EQ(Global("b"), "nil");
    EXPECT_EQ(Global("c"), "nil");
    EXPECT_EQ(effect->effect->GetRootParticle(*effect->effect->templates[0])->x, 0.0f);
}

TEST_F(EffectInstances, ScriptsMakeEffectInstancesOfTheirOwn)
{
    ASSERT_TRUE(Run("made = Make('Instance_Effect')() kind = made:GetLiveParticleCount()"));
    EXPECT_EQ(Global("kind"), "0");
    // Nothing adopted it, so nothing else would delete it.
    lua_getglobal(lua.GetState(), "made");
    auto* made = LuaGetObjectArg<Instance_Effect>(lua.GetState(), -1);
    lua_pop(lua.GetState(), 1);
    ASSERT_NE(made, nullptr);
    RObject::DeleteSelf(made);
}

TEST_F(EffectInstances, EffectNuggetsSpawnHoldDelayAndAdvance)
{
    struct Case
    {
        const char* name;
        bool autoPlay;
        float delay;
        int32_t skipFrames;
        bool pending;
        bool timer;
        float age;
    };
    const Case cases[] = {
        {"plays", true, 0.0f, 0, false, false, 0.0f},
        {"held", false, 0.0f, 30, true, false, 0.0f},
        {"delayed", true, 0.75f, 0, true, true, 0.0f},
        {"advanced", true, 0.0f, 30, false, false, 30 * REffectNugget::SkipStep},
    };
    for (const Case& c : cases)
    {
        Instance_Movie* movie = Movie(Utf8ToWString(c.name));
        ASSERT_NE(movie, nullptr);
        REffectNugget nugget;
        nugget.effectName = L"flight";
        nugget.instanceName = L"fx";
        nugget.autoPlay = c.autoPlay;
        nugget.startDelay = c.delay;
        nugget.skipFrames = c.skipFrames;
        nugget.x = 12;
        nugget.y = 34;
        nugget.PostApply(movie);
        ASSERT_EQ(movie->children.size(), 1u) << c.name;
        auto* effect = RObjectCast<Instance_Effect>(movie->children[0]);
        ASSERT_NE(effect, nullptr) << c.name;
        EXPECT_EQ(effect->name, L"fx") << c.name;
        EXPECT_EQ(effect->GetX(), 12.0f) << c.name;
        EXPECT_EQ(effect->startPending, c.pending) << c.name;
        EXPECT_EQ(effect->startTimer.IsValid(), c.timer) << c.name;
        const Particle* particle = effect->effect->GetRootParticle(*effect->effect->templates[0]);
        ASSERT_NE(particle, nullptr) << c.name;
        EXPECT_NEAR(particle->age, c.age, 1e-5) << c.name;
    }
}

TEST_F(EffectInstances, AnEffectNuggetOfAMetaFileMakesARunningEffect)
{
    auto element = ParseElement("<Nuggets><EffectNugget><EffectName>flight</EffectName>"
                                "<EffectX>5</EffectX><EffectY>6</EffectY><AutoPlay>true</AutoPlay>"
                                "<SkipFrames>6</SkipFrames></EffectNugget></Nuggets>");
    NuggetList list;
    ASSERT_TRUE(LoadNuggets(element.get(), list));
    Instance_Movie* movie = Movie(L"decorated");
    PostApplyNuggets(list, movie);
    DestroyNuggets(list);
    ASSERT_EQ(movie->children.size(), 1u);
    auto* effect = RObjectCast<Instance_Effect>(movie->children[0]);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->name, L"flight");
    EXPECT_EQ(effect->GetY(), 6.0f);
    const Particle* particle = effect->effect->GetRootParticle(*effect->effect->templates[0]);
    ASSERT_NE(particle, nullptr);
    EXPECT_NEAR(particle->age, 0.1f, 1e-5);
    EXPECT_NEAR(particle->x, 6.0f, 1e-3);
}

TEST_F(EffectInstances, ActionsAskTheDisplayTreeAboutTheirInstance)
{
    // "screen" positions are taken into the effect's space by its instance's position; scattering
    // asks the first child of the effect's movie when it is an image: this one has no definition,
    // so it refuses every pixel and the particle lands on its scaled centre.
    AddEffect("placed",
              Effect(Template("name=\"Root\" autoemit=\"true\" lifetime=\"10\"",
                              Item("event=\"creation\"",
                                   E("MovePositionAction",
                                     E("PosX", C(100)) + E("PosY", C(50)) + E("OriginFrame", "screen")))) +
                     Template("name=\"Scatter\" autoemit=\"true\" lifetime=\"10\"",
                              Item("event=\"creation\"", E("ImageScatterAction", "")))));
    Instance_Movie* scene = Movie(L"scene");
    Instance_Movie::CreateChild(scene, L"", L"picture", Instance_Image::StaticClass());
    auto* picture = RObjectCast<Instance_Image>(scene->children.back());
    ASSERT_NE(picture, nullptr);
    picture->width = 64;
    picture->height = 32;
    picture->SetScale(2, 3);

    Instance_Effect* effect = Spawn(L"placed", L"fx", 40, 10, scene);
    ASSERT_NE(effect, nullptr);
    const Particle* placed = effect->effect->GetRootParticle(*effect->effect->templates[0]);
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(placed->x, 60.0f);
    EXPECT_EQ(placed->y, 40.0f);
    const Particle* scattered = effect->effect->GetRootParticle(*effect->effect->templates[1]);
    ASSERT_NE(scattered, nullptr);
    EXPECT_EQ(scattered->x, 64.0f);
    EXPECT_EQ(scattered->y, 48.0f);

    // Under a movie whose first child is no image, scattering leaves the particle where it was.
    Instance_Effect* elsewhere = Spawn(L"placed", L"fx2", 0, 0, holder);
    ASSERT_NE(elsewhere, nullptr);
    const Particle* unmoved = elsewhere->effect->GetRootParticle(*elsewhere->effect->templates[1]);
    ASSERT_NE(unmoved, nullptr);
    EXPECT_EQ(unmoved->x, 0.0f);
}

// The user interface keeps its cursor effect alive: spawned at its position with its target when
// none lives, left alone while one does, spawned again once the root's update removed it.
TEST_F(EffectInstances, TheUserInterfaceSpawnsItsCursorEffectAgainWhenItEnds)
{
    UserInterface::CursorEffect& cursor = ui->cursorEffect;
    cursor.enabled = true;
    cursor.name = L"blink";
    cursor.x = 200;
    cursor.y = 100;
    cursor.targetX = 5;
    cursor.targetY = 6;
    const size_t before = root->children.size();
    ui->UpdateCursorEffect();
    const InstanceHandle first = cursor.instance;
    auto* effect = RObjectCast<Instance_Effect>(first.GetInstance());
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(root->children.back(), effect);
    EXPECT_EQ(effect->GetX(), 200.0f);
    EXPECT_EQ(effect->GetY(), 100.0f);
    EXPECT_EQ(effect->GetEffectTargetX(), 5.0f);
    EXPECT_EQ(effect->GetEffectTargetY(), 6.0f);

    ui->UpdateCursorEffect();
    EXPECT_EQ(cursor.instance, first) << "alive: not spawned twice";
    EXPECT_EQ(root->children.size(), before + 1);

    for (int i = 0; i < 3; ++i)
        root->Update(Frame);
    EXPECT_FALSE(first.IsValid());
    EXPECT_EQ(root->children.size(), before);
    ui->UpdateCursorEffect();
    EXPECT_TRUE(cursor.instance.IsValid());
    EXPECT_NE(cursor.instance, first);
    EXPECT_EQ(root->children.size(), before + 1);
}

TEST_F(EffectInstances, TheCursorEffectIsSpawnedOnlyWhenItCanBe)
{
    struct Case
    {
        const char* what;
        bool enabled;
        const wchar_t* name;
        float x, y;
    };
    const Case cases[] = {
        {"disabled", false, L"blink", 1, 1},
        {"no name", true, L"", 1, 1},
        {"no such effect", true, L"nothing", 1, 1},
        {"left of the screen", true, L"blink", -1, 1},
        {"above the screen", true, L"blink", 1, -0.5f},
        {"nowhere", true, L"blink", std::nanf(""), 1},
    };
    const size_t before = root->children.size();
    for (const Case& c : cases)
    {
        ui->cursorEffect.enabled = c.enabled;
        ui->cursorEffect.name = c.name;
        ui->cursorEffect.x = c.x;
        ui->cursorEffect.y = c.y;
        ui->UpdateCursorEffect();
        EXPECT_FALSE(ui->cursorEffect.instance.IsValid()) << c.what;
        EXPECT_EQ(root->children.size(), before) << c.what;
    }
}

TEST_F(EffectInstances, TheCursorEffectIsARootChildWithItsTarget)
{
    const InstanceHandle first = SpawnCursorEffect(root, L"short", 200, 100, 5, 6);
    auto* effect = RObjectCast<Instance_Effect>(first.GetInstance());
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(root->children.back(), effect);
    EXPECT_EQ(effect->name, L"short1");
    EXPECT_EQ(effect->GetX(), 200.0f);
    EXPECT_EQ(effect->GetEffectTargetX(), 5.0f);
    EXPECT_EQ(effect->GetEffectTargetY(), 6.0f);
    EXPECT_FALSE(SpawnCursorEffect(root, L"missing", 0, 0, 0, 0).IsValid());
}

} // namespace
} // namespace EffectTest
