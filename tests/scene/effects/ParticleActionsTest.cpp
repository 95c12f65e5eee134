// The particle actions: emission clocks and bursts, golden positions of
// seeded effects, each motion, rotation, appearance and image action's table
// of cases, and CopyTo for every action class.
#include "tests/scene/effects/EffectFixture.h"

#include "engine/scene/effects/RPfxAppearanceActions.h"
#include "engine/scene/effects/RPfxEmitterActions.h"
#include "engine/scene/effects/RPfxImageActions.h"
#include "engine/scene/effects/RPfxMotionActions.h"
#include "engine/scene/effects/RPfxRotationActions.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>

namespace EffectTest
{
namespace
{

using namespace TarnEngine::Effects;

constexpr float Dt = 1.0f / 60.0f;
constexpr float QuarterTurn = 90.0f * DegreesToRadians;

class ParticleActions : public EffectFixture
{
protected:
    // An effect "t" whose only action (from `action`) sits in a phase that
    // starts at 100 s, so only the test runs it; template "c" takes emissions.
    ParticleTemplate& Rig(const std::string& action)
    {
        rig = Make(Effect(Template("name=\"t\" lifetime=\"1000\"", Item("event=\"100\"", action)) +
                          Template("name=\"c\" lifetime=\"1000\"", "")));
        EXPECT_NE(rig, nullptr);
        return *rig->templates[0];
    }
    RPfxActionBase& ActionOf(ParticleTemplate& t) { return *t.actions.at(0); }
    Particle& New(ParticleTemplate& t, Particle* parent = nullptr) { return *rig->Spawn(t, parent, 0.0f); }

    std::unique_ptr<ParticleEffect> rig;
};

// ---- emission

std::string Emitter(const std::string& templateAttributes, const std::string& action)
{
    return Effect(Template("name=\"root\" autoemit=\"true\" lifetime=\"1000\" " + templateAttributes,
                           Item("", action)) +
                  Template("name=\"spark\" lifetime=\"1000\"", ""));
}

std::string Stream(const std::string& rate, const std::string& extra = "")
{
    return E("StreamEmitterAction", E("ParticleType", "spark") + E("Rate", rate) + extra);
}

std::string Burst(const std::string& interval, int low, int high)
{
    return E("ExplosionEmitterAction", E("ParticleType", "spark") + E("Interval", interval) +
                                           E("MinParticles", std::to_string(low)) +
                                           E("MaxParticles", std::to_string(high)));
}

// The frames (0 = the start) in which sparks came out, over `frames` steps.
std::vector<int> emissionFrames(ParticleEffect& fx, int frames, float dt = Dt)
{
    std::vector<int> at;
    fx.StartAutoEmit();
    int before = 0;
    for (int frame = 0; frame <= frames; ++frame)
    {
        if (frame > 0)
            fx.Step(dt);
        const int now = fx.liveCount - 1;
        for (int i = before; i < now; ++i)
            at.push_back(frame);
        before = now;
    }
    return at;
}

TEST_F(ParticleActions, AStreamEmitsAtOnceThenOncePerPeriod)
{
    auto fx = Make(Emitter("", Stream(C(10))));
    ASSERT_NE(fx, nullptr);
    const std::vector<int> at = emissionFrames(*fx, 60);
    ASSERT_GE(at.size(), 10u);
    ASSERT_LE(at.size(), 11u);
    EXPECT_EQ(at[0], 0);
    for (size_t i = 1; i < at.size(); ++i)
    {
        EXPECT_GE(at[i] - at[i - 1], 5) << i;
        EXPECT_LE(at[i] - at[i - 1], 7) << i;
    }
    // A long frame emits every period that fits: at 0, then 0.125 to 1 in one go.
    auto slow = Make(Emitter("", Stream(C(8))));
    EXPECT_EQ(emissionFrames(*slow, 1, 1.0f), (std::vector<int>{0, 1, 1, 1, 1, 1, 1, 1, 1}));

    for (const char* rate : {"0", "5e-6", "-40"})
    {
        auto none = Make(Emitter("", Stream(C(std::atof(rate)))));
        EXPECT_TRUE(emissionFrames(*none, 120).empty()) << rate;
    }
    auto threshold = Make(Emitter("", Stream(C(1e-5))));
    EXPECT_EQ(emissionFrames(*threshold, 10).size(), 1u);
}

TEST_F(ParticleActions, ReducedEffectsScaleTheStreamRate)
{
    const std::string action = Stream(C(60), E("SoftwareRateMultiplier", "0.25"));
    auto full = Make(Emitter("", action));
    const size_t fullCount = emissionFrames(*full, 60).size();
    manager.reducedEffects = true;
    auto reduced = Make(Emitter("", action));
    const size_t reducedCount = emissionFrames(*reduced, 60).size();
    EXPECT_NEAR(double(fullCount), 61.0, 1.0);
    EXPECT_NEAR(double(reducedCount), 16.0, 1.0);
}

TEST_F(ParticleActions, BurstsComeEveryInterval)
{
    auto three = Make(Emitter("", Burst(C(0.5), 3, 3)));
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(emissionFrames(*three, 4, 0.25f), (std::vector<int>{0, 0, 0, 2, 2, 2, 4, 4, 4}));

    // An interval of 0 or less bursts once a step.
    for (double interval : {0.0, -1.0})
    {
        auto every = Make(Emitter("", Burst(C(interval), 2, 2)));
        EXPECT_EQ(emissionFrames(*every, 3), (std::vector<int>{0, 0, 1, 1, 2, 2, 3, 3})) << interval;
    }

    // Between Min and Max, Max itself excluded.
    auto ranged = Make(Emitter("", Burst(C(0.01), 2, 5)));
    ranged->StartAutoEmit();
    std::set<int> sizes;
    int before = ranged->liveCount;
    for (int i = 0; i < 200; ++i)
    {
        ranged->Step(0.01f);
        sizes.insert(ranged->liveCount - before);
        before = ranged->liveCount;
    }
    EXPECT_EQ(sizes, (std::set<int>{2, 3, 4}));

    auto nowhere = Make(Effect(Template("name=\"root\" autoemit=\"true\"",
                                        Item("", E("ExplosionEmitterAction", E("ParticleType", "none") +
                                                                                 E("MinParticles", "5") +
                                                                                 E("MaxParticles", "5"))))));
    nowhere->StartAutoEmit();
    nowhere->Step(Dt);
    EXPECT_EQ(nowhere->liveCount, 1);
}

TEST_F(ParticleActions, GoldenPositionsOfADeterministicFlight)
{
    // Straight right at 100 px/s, pulled down at 60 px/s^2: x = 100 n dt, y = 60 dt^2 n (n + 1) / 2.
    const std::string flight =
        Item("event=\"creation\"", E("SetVelocityAction", E("Angle", C(90)) + E("Magnitude", C(100)))) +
        Item("", E("GravityAction", E("Angle", C(180)) + E("Magnitude", C(60))));
    auto fx = Make(Effect(Template("name=\"p\" autoemit=\"true\" lifetime=\"10\"",
                                   Item("event=\"creation\"", E("MovePositionAction", E("PosX", C(20)) +
                                                                                          E("PosY", C(30)) +
                                                                                          E("OriginFrame", "effect"))) +
                                       flight)));
    ASSERT_NE(fx, nullptr);
    fx->StartAutoEmit();
    Particle* p = fx->GetRootParticle(*fx->templates[0]);
    for (int n = 1; n <= 60; ++n)
    {
        fx->Step(Dt);
        if (n % 15 == 0)
        {
            EXPECT_NEAR(p->x, 20.0f + 100.0f * float(n) * Dt, 1e-3f) << n;
            EXPECT_NEAR(p->y, 30.0f + 60.0f * Dt * Dt * float(n * (n + 1)) / 2.0f, 1e-3f) << n;
        }
    }
}

TEST_F(ParticleActions, GoldenPositionsOfASeededFountain)
{
    // A root at (100, 200) streams sparks with a random direction, speed and
    // offset under gravity; the pool starts at its fixed state.
    const std::string spark =
        Item("event=\"creation\"", E("SetVelocityAction", E("Angle", C(0)) + E("AngleRand", C(30)) +
                                                              E("Magnitude", C(100)) + E("MagnitudeRand", C(20)))) +
        Item("event=\"creation\"",
             E("RandomMoveAction", E("Width", C(10)) + E("Height", C(4)) + E("GridPoints", E("X", "0") + E("Y", "3")))) +
        Item("", E("GravityAction", E("Angle", C(180)) + E("Magnitude", C(98))));
    auto fx = Make(Effect(
        Template("name=\"emitter\" autoemit=\"true\" lifetime=\"10\"",
                 Item("event=\"creation\"", E("MovePositionAction", E("PosX", C(100)) + E("PosY", C(200)) +
                                                                        E("OriginFrame", "effect"))) +
                     Item("", Stream(C(20)))) +
        Template("name=\"spark\" lifetime=\"10\"", spark)));
    ASSERT_NE(fx, nullptr);
    fx->StartAutoEmit();
    for (int n = 0; n < 30; ++n)
        fx->Step(Dt);
    const std::vector<Particle*> sparks = Live(*fx->templates[1]);
    ASSERT_EQ(sparks.size(), 11u); // at 0, then every 3 frames up to the 30th
    struct Golden
    {
        float x, y;
    };
    const Golden golden[] = {
        {72.2951f, 167.3974f}, {88.9231f, 165.4682f},  {94.9541f, 160.5080f}, {97.2650f, 173.5085f},
        {105.2964f, 166.5518f}, {99.5672f, 178.3330f}, {86.3373f, 183.8001f}, {103.5193f, 187.5729f},
        {91.3602f, 186.8872f}, {100.2708f, 192.7269f}, {98.8745f, 196.5643f},
    };
    for (size_t i = 0; i < sparks.size(); ++i)
    {
        EXPECT_NEAR(sparks[i]->x, golden[i].x, 2e-3f) << i;
        EXPECT_NEAR(sparks[i]->y, golden[i].y, 2e-3f) << i;
    }
}

// ---- motion

TEST_F(ParticleActions, MovePositionInEachFrame)
{
    owner.ownerX = 40.0f;
    owner.ownerY = 10.0f;
    struct Case
    {
        const char* frame;
        const char* factors;
        bool withEmitter;
        float x, y;
    };
    // The offset (100, 50); emitter at (200, 300) scaled 2 and turned a quarter; self at (1, 2) scaled 3.
    const Case cases[] = {
        {"screen", "", true, 60, 40},
        {"", "", true, 60, 40}, // screen is the default
        {"TARGET", "", true, 65, 46},
        {"effect", "", true, 100, 50},
        {"emitter", "positiononly", true, 300, 350},
        {"emitter", "PositionScale", true, 400, 400},
        {"emitter", "positionrotation", true, 150, 400},
        {"emitter", "positionrotationscale", true, 100, 500},
        {"emitter", "", false, 1, 2}, // without an emitter nothing moves
        {"self", "positiononly", false, 101, 52},
        {"self", "positionscale", false, 301, 152},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.frame) + " " + c.factors);
        std::string body = E("PosX", C(100)) + E("PosY", C(50));
        if (*c.frame)
            body += E("OriginFrame", c.frame);
        if (*c.factors)
            body += E("OriginFrameFactors", c.factors);
        ParticleTemplate& t = Rig(E("MovePositionAction", body));
        Particle* emitter = nullptr;
        if (c.withEmitter)
        {
            emitter = &New(t);
            emitter->x = 200.0f;
            emitter->y = 300.0f;
            emitter->scaleX = emitter->scaleY = 2.0f;
            emitter->rotation = QuarterTurn;
        }
        Particle& p = New(t, emitter);
        p.x = 1.0f;
        p.y = 2.0f;
        p.scaleX = p.scaleY = 3.0f;
        p.targetX = 5.0f;
        p.targetY = 6.0f;
        ActionOf(t).Apply(p, 0.0f, Dt);
        EXPECT_NEAR(p.x, c.x, 1e-3f);
        EXPECT_NEAR(p.y, c.y, 1e-3f);
    }
}

TEST_F(ParticleActions, RandomMovesOnTheirGrid)
{
    struct Case
    {
        int grid;
        std::set<float> allowed; // empty: anywhere in [-5, 5)
    };
    const Case cases[] = {
        {0, {}}, {-3, {}}, {1, {-5.0f}}, {2, {-5.0f}}, {3, {-5.0f, 0.0f}}, {5, {-5.0f, -2.5f, 0.0f, 2.5f}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.grid);
        const std::string grid = E("GridPoints", E("X", std::to_string(c.grid)) + E("Y", std::to_string(c.grid)));
        auto move = ReadAction<RPfxRandomMoveAction>(E("RandomMoveAction", E("Width", C(10)) + E("Height", C(20)) + grid));
        auto moveTarget = ReadAction<RPfxRandomMoveTargetAction>(
            E("RandomMoveTargetAction", E("Width", C(10)) + E("Height", C(20)) + grid));
        std::set<float> seen;
        for (int i = 0; i < 300; ++i)
        {
            Particle p;
            move->Apply(p, 0.0f, Dt);
            moveTarget->Apply(p, 0.0f, Dt);
            seen.insert(p.x);
            if (c.allowed.empty())
            {
                EXPECT_GE(p.x, -5.0f);
                EXPECT_LT(p.x, 5.0f);
                EXPECT_GE(p.targetY, -10.0f);
                EXPECT_LT(p.targetY, 10.0f);
            }
            else
            {
                EXPECT_TRUE(c.allowed.count(p.x)) << p.x;
                EXPECT_TRUE(c.allowed.count(p.targetX)) << p.targetX;
                EXPECT_TRUE(c.allowed.count(p.y / 2.0f)) << p.y;
            }
        }
        if (!c.allowed.empty())
            EXPECT_EQ(seen, c.allowed); // every grid point but the last comes up
        else
            EXPECT_GT(seen.size(), 250u);
    }
}

TEST_F(ParticleActions, VelocityAndGravityByAngleAndMagnitude)
{
    struct Case
    {
        double angle, magnitude;
        float vx, vy;
    };
    const Case cases[] = {
        {0, 100, 0, -100}, {90, 100, 100, 0}, {180, 100, 0, 100}, {-90, 50, -50, 0}, {45, 10, 7.0710678f, -7.0710678f},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.angle);
        const std::string body = E("Angle", C(c.angle)) + E("Magnitude", C(c.magnitude));
        auto velocity = ReadAction<RPfxSetVelocityAction>(E("SetVelocityAction", body));
        auto gravity = ReadAction<RPfxGravityAction>(E("GravityAction", body));
        Particle p;
        p.vx = 3.0f;
        velocity->Apply(p, 0.0f, Dt);
        EXPECT_NEAR(p.vx, c.vx, 1e-3f);
        EXPECT_NEAR(p.vy, c.vy, 1e-3f);
        gravity->Apply(p, 0.0f, Dt);
        gravity->Apply(p, 0.0f, Dt);
        EXPECT_NEAR(p.ax, 2 * c.vx, 2e-3f);
        EXPECT_NEAR(p.ay, 2 * c.vy, 2e-3f);
    }
    // Spreads keep the speed and stay within the angle.
    auto spread = ReadAction<RPfxSetVelocityAction>(
        E("SetVelocityAction", E("Angle", C(0)) + E("AngleRand", C(60)) + E("Magnitude", C(100))));
    for (int i = 0; i < 100; ++i)
    {
        Particle p;
        spread->Apply(p, 0.0f, Dt);
        EXPECT_NEAR(VectorLength(p.vx, p.vy), 100.0f, 1e-3f);
        EXPECT_LE(p.vy, -50.0f + 1e-3f);
    }
}

TEST_F(ParticleActions, PullsTowardsAPoint)
{
    owner.ownerX = 40.0f;
    owner.ownerY = 10.0f;
    struct Case
    {
        const char* frame;
        float vx, vy;
    };
    // Point (100, 0) in the frame; the particle at (0, 0) with target (0, 50); emitter at (0, -100).
    // Speed: RadialMagnitude over the distance (distance / 100) times Magnitude 50,
    // so the velocity is half the way to the point.
    const Case cases[] = {
        {"effect", 50.0f, 0.0f},    // point (100, 0)
        {"screen", 30.0f, -5.0f},   // point (60, -10)
        {"target", 30.0f, 20.0f},   // point (60, 40)
        {"emitter", 50.0f, -50.0f}, // point (100, -100)
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.frame);
        const std::string body = E("PosX", C(100)) + E("PosY", C(0)) + E("Magnitude", C(50)) +
                                 E("RadialMagnitude", L(0, 0, 1000, 10)) + E("OriginFrame", c.frame);
        ParticleTemplate& t = Rig(E("SetVelocityTowardAction", body));
        Particle& emitter = New(t);
        emitter.y = -100.0f;
        Particle& p = New(t, &emitter);
        p.x = p.y = 0.0f;
        p.targetY = 50.0f;
        p.vx = 1.0f;
        ActionOf(t).Apply(p, 0.0f, Dt);
        const float dx = p.vx, dy = p.vy;
        EXPECT_NEAR(dx, c.vx, 2e-3f);
        EXPECT_NEAR(dy, c.vy, 2e-3f);

        ParticleTemplate& g = Rig(E("PointGravityAction", body));
        Particle& e2 = New(g);
        e2.y = -100.0f;
        Particle& q = New(g, &e2);
        q.x = q.y = 0.0f;
        q.targetY = 50.0f;
        ActionOf(g).Apply(q, 0.0f, Dt);
        EXPECT_NEAR(q.ax, c.vx, 2e-3f);
        EXPECT_NEAR(q.ay, c.vy, 2e-3f);
        EXPECT_EQ(q.vx, 0.0f);
    }
}

TEST_F(ParticleActions, PullsAtThePointAndAutoDestruction)
{
    const std::string point = E("PosX", C(30)) + E("PosY", C(40)) + E("Magnitude", C(5)) + E("RadialMagnitude", C(1));
    const std::string body = point + E("OriginFrame", "effect");
    // At the point: no direction, so the velocity stays; no auto-destruction set, so it lives.
    ParticleTemplate& t = Rig(E("SetVelocityTowardAction", body));
    Particle& at = New(t);
    at.x = 30.0f;
    at.y = 40.0f;
    at.vx = 7.0f;
    ActionOf(t).Apply(at, 0.0f, Dt);
    EXPECT_EQ(at.vx, 7.0f);
    EXPECT_EQ(rig->liveCount, 1);

    // Killed within the distance (here 50, at 50 exactly), spared beyond it.
    ParticleTemplate& k = Rig(E("SetVelocityTowardAction", body + E("AutoDestroyDistance", "50")));
    Particle& near = New(k);
    Particle& far = New(k);
    far.x = -0.001f;
    const uint32_t nearSerial = near.serial;
    ActionOf(k).Apply(near, 0.0f, Dt);
    ActionOf(k).Apply(far, 0.0f, Dt);
    EXPECT_EQ(near.serial, nearSerial + 1);
    EXPECT_EQ(rig->liveCount, 1);
    EXPECT_NEAR(far.vx, 3.0f, 1e-3f);
    EXPECT_NEAR(far.vy, 4.0f, 1e-3f);

    // The emitter frame without an emitter: nothing happens.
    ParticleTemplate& e =
        Rig(E("SetVelocityTowardAction", point + E("OriginFrame", "emitter") + E("AutoDestroyDistance", "1e9")));
    Particle& orphan = New(e);
    ActionOf(e).Apply(orphan, 0.0f, Dt);
    EXPECT_EQ(rig->liveCount, 1);
    EXPECT_EQ(orphan.vx, 0.0f);
}

TEST_F(ParticleActions, SplineMovesAlongItsPaths)
{
    struct Case
    {
        const char* spline;
        const char* time;
        bool smooth;
        float t;
        float x, y; // NAN: unchanged from (-1, -1)
    };
    const char* corner = "0,0;100,0;100,100";
    const Case cases[] = {
        {corner, "2", false, 0.0f, 0, 0},
        {corner, "2", false, 0.5f, 50, 0},
        {corner, "2", false, 1.5f, 100, 50},
        {corner, "2", false, 2.0f, NAN, NAN}, // at the end of the last segment
        {corner, "2", false, 2.5f, 100, 100}, // past the time
        {"0,0;10,0|100,100;100,200", "2", false, 0.5f, 5, 0},
        {"0,0;10,0|100,100;100,200", "2", false, 1.5f, 100, 150},
        {"5,5|0,0;10,0", "1", false, 0.5f, 5, 0}, // a path of one point is dropped
        {corner, "3", true, 0.0f, 0, 0},
        {corner, "3", true, 0.5f, 50, -6.25f},
        {corner, "3", true, 1.0f, 100, 0},
        {corner, "3", true, 2.0f, 100, 100}, // the smooth path arrives at 2/3 of its time
        {corner, "3", true, 2.9f, 100, 100},
        {corner, "0", true, 0.0f, 100, 100}, // no time: at the end
        {corner, "-1", false, 0.5f, 100, 100},
        {"7,7", "1", false, 0.5f, NAN, NAN}, // no paths
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.spline) + " t=" + std::to_string(c.t) + (c.smooth ? " smooth" : ""));
        auto action = ReadAction<RPfxSplineMoveAction>(E(
            "SplineMoveAction", E("Spline", c.spline) + E("Time", c.time) + E("Smooth", c.smooth ? "TRUE" : "false")));
        Particle p;
        p.x = p.y = -1.0f;
        action->Apply(p, c.t, Dt);
        EXPECT_NEAR(p.x, std::isnan(c.x) ? -1.0f : c.x, 1e-3f);
        EXPECT_NEAR(p.y, std::isnan(c.y) ? -1.0f : c.y, 1e-3f);
    }
    EXPECT_TRUE(ReadAction<RPfxSplineMoveAction>(E("SplineMoveAction", ""))->params.smooth);
}

// ---- rotation

TEST_F(ParticleActions, RotationsSetSpinAndAlign)
{
    auto set = ReadAction<RPfxSetRotationAction>(E("SetRotationAction", E("Angle", C(90))));
    auto relative = ReadAction<RPfxSetRotationAction>(
        E("SetRotationAction", E("Angle", C(90)) + E("RelativeRotation", "True")));
    Particle p;
    p.rotation = 1.0f;
    set->Apply(p, 0.0f, Dt);
    EXPECT_FLOAT_EQ(p.rotation, QuarterTurn);
    relative->Apply(p, 0.0f, Dt);
    EXPECT_FLOAT_EQ(p.rotation, 2.0f * QuarterTurn);

    auto spin = ReadAction<RPfxSpinRotationAction>(E("SpinRotationAction", E("Spin", C(360))));
    p.rotation = 0.0f;
    spin->Apply(p, 0.0f, 0.5f);
    EXPECT_NEAR(p.rotation, 2.0f * QuarterTurn, 1e-5f);

    // The initial spread is drawn once per record and kept.
    auto jittered = ReadAction<RPfxSpinRotationAction>(E("SpinRotationAction", E("SpinInitRand", "40")));
    Particle a, b;
    jittered->Apply(a, 0.0f, 1.0f);
    const float first = a.rotation;
    jittered->Apply(a, 0.0f, 1.0f);
    EXPECT_FLOAT_EQ(a.rotation, 2.0f * first);
    EXPECT_LE(std::fabs(first), 40.0f * DegreesToRadians);
    jittered->Apply(b, 0.0f, 1.0f);
    EXPECT_NE(b.rotation, first);

    RPfxAlignRotationToVelocityAction align;
    struct Case
    {
        float vx, vy, rotation;
    };
    const Case cases[] = {
        {1, 0, QuarterTurn}, {0, -5, 0}, {-2, 0, 3 * QuarterTurn}, {0, 3, 2 * QuarterTurn}, {0, 0, 0.25f},
    };
    for (const Case& c : cases)
    {
        Particle q;
        q.rotation = 0.25f;
        q.vx = c.vx;
        q.vy = c.vy;
        align.Apply(q, 0.0f, Dt);
        EXPECT_NEAR(q.rotation, c.rotation, 1e-5f) << c.vx << "," << c.vy;
    }
}

// ---- appearance

TEST_F(ParticleActions, ScalesFromCurvesAndSpeed)
{
    Particle p;
    ReadAction<RPfxSetScaleAction>(E("SetScaleAction", E("Scale", C(2.5))))->Apply(p, 0.0f, Dt);
    EXPECT_FLOAT_EQ(p.scaleX, 2.5f);
    EXPECT_FLOAT_EQ(p.scaleY, 2.5f);
    ReadAction<RPfxSetUniformScaleAction>(E("SetUniformScaleAction", E("ScaleX", C(2)) + E("ScaleY", C(3))))
        ->Apply(p, 0.0f, Dt);
    EXPECT_FLOAT_EQ(p.scaleX, 2.0f);
    EXPECT_FLOAT_EQ(p.scaleY, 3.0f);

    struct Case
    {
        const char* inversion;
        float vx;
        float scaleX;
    };
    // Speed 100 (a 60-80-100 triangle) gives 2; "always" mirrors whatever the sign.
    const Case cases[] = {
        {"never", 60, 2},          {"never", -60, 2},        {"whenpositive", 60, -2}, {"WhenPositive", -60, 2},
        {"whennegative", 60, 2},   {"whennegative", -60, -2}, {"always", 60, -2},       {"ALWAYS", -60, -2},
        {"sometimes", 60, 2},      {"whennegative", 0, -2},
    };
    for (const Case& c : cases)
    {
        auto action = ReadAction<RPfxSetScaleFromVelocityAction>(
            E("SetScaleFromVelocityAction", E("XScaleForSpeed", L(0, 0, 100, 2)) + E("YScaleForSpeed", C(1)) +
                                                E("XInversion", c.inversion) + E("YInversion", c.inversion)));
        Particle q;
        q.vx = c.vx;
        q.vy = c.vx == 0 ? 100.0f : 80.0f;
        action->Apply(q, 0.0f, Dt);
        EXPECT_NEAR(q.scaleX, c.scaleX, 1e-4f) << c.inversion << " " << c.vx;
        const std::wstring word = ToLower(Utf8ToWString(c.inversion));
        const bool mirrorY = word == L"always" || word == L"whenpositive"; // the y speed is positive
        EXPECT_FLOAT_EQ(q.scaleY, mirrorY ? -1.0f : 1.0f) << c.inversion;
    }
}

TEST_F(ParticleActions, OpacityAndColourWithRange)
{
    struct Case
    {
        const char* range; // empty: none given (1)
        float value;
    };
    const Case cases[] = {{"", 128}, {"255", 128.0f / 255.0f}, {"0", 128}, {"-1", 128}, {"2", 64}};
    for (const Case& c : cases)
    {
        const std::string range = *c.range ? E("Range", c.range) : "";
        Particle p;
        ReadAction<RPfxSetOpacityAction>(E("SetOpacityAction", E("Opacity", C(128)) + range))->Apply(p, 0.0f, Dt);
        EXPECT_FLOAT_EQ(p.opacity, c.value) << c.range;
        ReadAction<RPfxSetColorRGBAction>(
            E("SetColorRGBAction", E("Red", C(128)) + E("Green", C(256)) + E("Blue", C(0)) + range))
            ->Apply(p, 0.0f, Dt);
        EXPECT_FLOAT_EQ(p.red, c.value) << c.range;
        EXPECT_FLOAT_EQ(p.green, 2.0f * c.value) << c.range;
        EXPECT_FLOAT_EQ(p.blue, 0.0f) << c.range;
    }
}

TEST_F(ParticleActions, HsvColours)
{
    struct Case
    {
        float hue, saturation, value;
        float red, green, blue;
    };
    const Case cases[] = {
        {0, 1, 1, 1, 0, 0},   {60, 1, 1, 1, 1, 0},      {120, 1, 1, 0, 1, 0},       {180, 1, 1, 0, 1, 1},
        {240, 1, 1, 0, 0, 1}, {300, 1, 1, 1, 0, 1},     {360, 1, 1, 1, 0, 0},       {30, 1, 1, 1, 0.5f, 0},
        {200, 0, 0.5f, 0.5f, 0.5f, 0.5f}, {90, 0.5f, 0.8f, 0.6f, 0.8f, 0.4f},
        {-50, 1, 1, 1, 0, 0}, {720, 1, 1, 1, 0, 0}, // held in 0..360
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.hue);
        auto action = ReadAction<RPfxSetColorHSVAction>(E(
            "SetColorHSVAction", E("Hue", C(c.hue)) + E("Saturation", C(c.saturation)) + E("Value", C(c.value))));
        Particle p;
        action->Apply(p, 0.0f, Dt);
        EXPECT_NEAR(p.red, c.red, 1e-5f);
        EXPECT_NEAR(p.green, c.green, 1e-5f);
        EXPECT_NEAR(p.blue, c.blue, 1e-5f);
    }
    // Dispersions are held in range, even absurd ones.
    auto wild = ReadAction<RPfxSetColorHSVAction>(
        E("SetColorHSVAction", E("Hue", C(350)) + E("Saturation", C(1)) + E("Value", C(0.9)) +
                                   E("HueDispersion", "1e38") + E("SatDispersion", "3e38") + E("ValDispersion", "0.5")));
    for (int i = 0; i < 200; ++i)
    {
        Particle p;
        wild->Apply(p, 0.0f, Dt);
        for (float channel : {p.red, p.green, p.blue})
        {
            EXPECT_GE(channel, 0.0f);
            EXPECT_LE(channel, 1.0f);
        }
    }
}

// Hue is an angle: values outside [0, 360) are taken round, not held at an end, and a value that is
// not a number counts as 0.
TEST_F(ParticleActions, HsvConversionTakesTheHueRound)
{
    struct Case
    {
        float hue;
        float red, green, blue;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {-30, 1, 0, 0.5f},
        {-90, 0.5f, 0, 1},
        {-120, 0, 0, 1},
        {-360, 1, 0, 0},
        {-720.5f, 1, 0, 1.0f / 120},
        {-1e-7f, 1, 0, 0},
        {390, 1, 0.5f, 0},
        {720, 1, 0, 0},
        {359.5f, 1, 0, 1.0f / 120},
        {1e9f, 2.0f / 3, 0, 1}, // 280 degrees past a whole number of turns
        {std::nanf(""), 1, 0, 0},
        {inf, 1, 0, 0},
        {-inf, 1, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.hue);
        float red = -1, green = -1, blue = -1;
        HsvToRgb(c.hue, 1.0f, 1.0f, red, green, blue);
        EXPECT_NEAR(red, c.red, 1e-4f);
        EXPECT_NEAR(green, c.green, 1e-4f);
        EXPECT_NEAR(blue, c.blue, 1e-4f);
    }
}

// ---- images

TEST_F(ParticleActions, ImageListFramesFollowTheSequence)
{
    ParticleTemplate& t = Rig(E("SetImageListFrameAction", E("FrameSequence", "2, 0,1") + E("Rate", C(10))));
    RPfxActionBase& action = ActionOf(t);
    Particle& p = New(t);
    const std::pair<float, uint32_t> steps[] = {{0.0f, 2}, {0.0f, 2}, {0.05f, 2}, {0.1f, 0},
                                                {0.15f, 0}, {0.2f, 1}, {0.3f, 2}, {0.4f, 0}};
    for (const auto& [age, frame] : steps)
    {
        p.age = age;
        action.Apply(p, age, Dt);
        EXPECT_EQ(p.frame, frame) << age;
    }
    ParticleTemplate& odd = Rig(E("SetImageListFrameAction", E("FrameSequence", "-1") + E("Rate", C(0))));
    Particle& q = New(odd);
    ActionOf(odd).Apply(q, 0.0f, Dt);
    EXPECT_EQ(q.frame, 0xFFFFFFFFu); // taken modulo the image count when drawn
    ParticleTemplate& empty = Rig(E("SetImageListFrameAction", E("Rate", C(10))));
    Particle& r = New(empty);
    r.frame = 7;
    ActionOf(empty).Apply(r, 0.0f, Dt);
    EXPECT_EQ(r.frame, 7u);
}

TEST_F(ParticleActions, ImageScatterPicksAcceptedPixels)
{
    owner.hasScatter = true;
    owner.scatter = {8, 6, 2.0f, 3.0f};
    owner.hit = [](int32_t x, int32_t y) { return x >= 6 && y >= 4; };
    ParticleTemplate& t = Rig(E("ImageScatterAction", ""));
    for (int i = 0; i < 50; ++i)
    {
        Particle& p = New(t);
        ActionOf(t).Apply(p, 0.0f, Dt);
        EXPECT_TRUE(p.x == 12.0f || p.x == 14.0f) << p.x;
        EXPECT_TRUE(p.y == 12.0f || p.y == 15.0f) << p.y;
    }
    owner.hit = nullptr;
    owner.hitTests = 0;
    Particle& centre = New(t);
    ActionOf(t).Apply(centre, 0.0f, Dt);
    EXPECT_EQ(owner.hitTests, RPfxImageScatterAction::Tries);
    EXPECT_EQ(centre.x, 8.0f);
    EXPECT_EQ(centre.y, 9.0f);

    owner.hasScatter = false;
    Particle& unmoved = New(t);
    unmoved.x = 3.0f;
    ActionOf(t).Apply(unmoved, 0.0f, Dt);
    EXPECT_EQ(unmoved.x, 3.0f);
}

// ---- CopyTo

struct Snapshot
{
    float values[15];
    uint32_t frame;
    int32_t live;
    size_t emitted;
    bool operator==(const Snapshot& other) const
    {
        return std::memcmp(values, other.values, sizeof values) == 0 && frame == other.frame &&
               live == other.live && emitted == other.emitted;
    }
};

class ActionCopies : public ParticleActions
{
protected:
    // Runs the action once on a particle in a fresh rig, from the pool's start.
    Snapshot Run(RPfxActionBase& action)
    {
        rig = Make(Effect(Template("name=\"t\" lifetime=\"1000\"", "") + Template("name=\"c\" lifetime=\"1000\"", "")));
        ParticleTemplate& t = *rig->templates[0];
        action.owner = &t;
        Particle& emitter = New(t);
        emitter.x = 30.0f;
        emitter.y = -20.0f;
        emitter.age = 0.7f;
        emitter.scaleX = 2.0f;
        emitter.rotation = 0.3f;
        Particle& p = New(t, &emitter);
        p.x = 3.0f;
        p.y = 4.0f;
        p.vx = 60.0f;
        p.vy = -80.0f;
        p.age = 0.4f;
        p.targetX = 9.0f;
        p.targetY = 11.0f;
        FillRandomPool();
        action.Apply(p, 0.25f, Dt);
        action.Apply(p, 0.5f, Dt);
        return Snapshot{{p.x, p.y, p.vx, p.vy, p.ax, p.ay, p.targetX, p.targetY, p.rotation, p.scaleX, p.scaleY,
                         p.red, p.green, p.blue, p.opacity},
                        p.frame,
                        rig->liveCount,
                        Live(*rig->templates[1]).size()};
    }
};

TEST_F(ActionCopies, EveryActionRoundTripsThroughCopyTo)
{
    images[L"one"] = EffectImage{};
    images[L"two"] = EffectImage{};
    owner.ownerX = 7.0f;
    owner.hasScatter = true;
    owner.scatter = {20, 10, 1.5f, 0.5f};
    owner.hit = [](int32_t x, int32_t) { return x > 12; };
    const std::string pos = E("PosX", L(0, 5, 1, 50)) + E("PosY", C(-8));
    const std::string pull = pos + E("Magnitude", C(40)) + E("MagnitudeRand", C(6)) +
                             E("RadialMagnitude", "1;hermite;0;2;0,100;0,3;0,1,0.5;100,3,0");
    const std::string vector = E("Angle", C(30)) + E("AngleRand", C(10)) + E("Magnitude", L(0, 10, 1, 90)) +
                               E("MagnitudeRand", C(5));
    const std::string scatter =
        E("Width", C(12)) + E("Height", C(7)) + E("GridPoints", E("X", "4") + E("Y", "0"));
    const std::pair<const char*, std::string> cases[] = {
        {"StreamEmitterAction", E("ParticleType", "c") + E("Rate", C(120)) + E("SoftwareRateMultiplier", "0.5")},
        {"ExplosionEmitterAction", E("ParticleType", "c") + E("Interval", C(0.2)) + E("MinParticles", "2") +
                                       E("MaxParticles", "6")},
        {"MovePositionAction", pos + E("OriginFrame", "emitter") + E("OriginFrameFactors", "positionrotationscale")},
        {"RandomMoveAction", scatter},
        {"RandomMoveTargetAction", scatter},
        {"SetVelocityAction", vector},
        {"GravityAction", vector + E("TimeSource", "Emitter")},
        {"SetVelocityTowardAction", pull + E("OriginFrame", "target") + E("AutoDestroyDistance", "2")},
        {"PointGravityAction", pull + E("OriginFrame", "emitter")},
        {"SetRotationAction", E("Angle", C(33)) + E("AngleRand", C(4)) + E("RelativeRotation", "true")},
        {"SpinRotationAction", E("Spin", L(0, 90, 1, 180)) + E("SpinRand", C(3)) + E("SpinInitRand", "20")},
        {"AlignRotationToVelocityAction", ""},
        {"SetScaleAction", E("Scale", "1;hermite;1;2;0,1;1,3;0,1,2;1,3,-1")},
        {"SetUniformScaleAction", E("ScaleX", C(1.5)) + E("ScaleY", L(0, 1, 1, 0.25))},
        {"SetScaleFromVelocityAction", E("XScaleForSpeed", L(0, 0, 200, 4)) + E("YScaleForSpeed", C(0.5)) +
                                           E("XInversion", "whenpositive") + E("YInversion", "always")},
        {"SetOpacityAction", E("Opacity", L(0, 255, 1, 0)) + E("Range", "255")},
        {"SetColorRGBAction", E("Red", C(10)) + E("Green", L(0, 0, 1, 20)) + E("Blue", C(5)) + E("Range", "20")},
        {"SetColorHSVAction", E("Hue", L(0, 0, 1, 300)) + E("Saturation", C(0.7)) + E("Value", C(0.9)) +
                                  E("HueDispersion", "10") + E("SatDispersion", "0.1") + E("ValDispersion", "0.05")},
        {"SetImageListFrameAction", E("FrameSequence", "4,1,3") + E("Rate", C(4))},
        {"SetFamilyImageListAction", E("ImageNames", E("ImageName", E("Image", "two")) + E("ImageName", E("Image", "one")))},
        {"ImageScatterAction", ""},
        {"SplineMoveAction", E("Spline", "0,0;10,5;20,0|30,30;40,40") + E("Time", "3") + E("Smooth", "false")},
    };
    ASSERT_EQ(std::size(cases), 22u);
    for (const auto& [element, body] : cases)
    {
        SCOPED_TRACE(element);
        const std::wstring className = L"RPfx" + Utf8ToWString(element);
        RClass* record = RClass::FindByName(className);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(Utf8ToWString(record->GetName()), className);
        auto make = [&]
        {
            RPfxActionBase* made = RObjectCast<RPfxActionBase>(RClass::CreateObject(className));
            EXPECT_NE(made, nullptr);
            return std::unique_ptr<RPfxActionBase>(made);
        };
        std::unique_ptr<RPfxActionBase> source = make();
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(source->GetClass(), record);
        ASSERT_TRUE(source->ReadParameters(*ParseElement(E(element, body))));
        source->label = L"label";
        source->index = 4;
        source->startTime = 0.125f;
        source->layer = 3;

        // The source runs first, so anything it caches is there to be (not) copied.
        const Snapshot before = Run(*source);
        std::unique_ptr<RPfxActionBase> middle = make();
        source->CopyTo(*middle);
        std::unique_ptr<RPfxActionBase> copy = make();
        middle->CopyTo(*copy);
        EXPECT_EQ(copy->label, L"label");
        EXPECT_EQ(copy->index, 4);
        EXPECT_EQ(copy->startTime, 0.125f);
        EXPECT_EQ(copy->layer, 3);
        EXPECT_EQ(copy->timeSource, source->timeSource);
        EXPECT_EQ(copy->IsLoadTimeAction(), source->IsLoadTimeAction());
        if (source->IsLoadTimeAction())
        {
            ParticleTemplate a(nullptr), b(nullptr);
            source->ApplyAtLoad(a);
            copy->ApplyAtLoad(b);
            ASSERT_EQ(a.images.size(), 2u);
            ASSERT_EQ(b.images.size(), 2u);
            EXPECT_EQ(b.images[0].name, L"two");
            EXPECT_EQ(b.images[1].name, L"one");
            continue;
        }
        const Snapshot after = Run(*copy);
        EXPECT_TRUE(after == before);
        // And the copy does something: it differs from a fresh action of its class.
        std::unique_ptr<RPfxActionBase> fresh = make();
        if (std::string(element) != "AlignRotationToVelocityAction" && std::string(element) != "ImageScatterAction")
        {
            EXPECT_FALSE(Run(*fresh) == before);
        }
    }
}

TEST_F(ActionCopies, CopyingIntoAnotherClassCopiesOnlyTheBase)
{
    auto scale = ReadAction<RPfxSetScaleAction>(E("SetScaleAction", E("Scale", C(4)) + E("TimeSource", "emitter")));
    scale->label = L"s";
    RPfxSetOpacityAction opacity;
    opacity.params.range = 9.0f;
    scale->CopyTo(opacity);
    EXPECT_EQ(opacity.label, L"s");
    EXPECT_EQ(opacity.timeSource, TimeSourceEmitter);
    EXPECT_EQ(opacity.params.range, 9.0f);
    EXPECT_TRUE(opacity.params.opacity.keys.empty());
}

} // namespace
} // namespace EffectTest
