// Effects from hostile files stay bounded: the particle cap, the depth of
// spawns inside spawns, the spawn attempts of one step, and numbers that
// are not numbers.
#include "tests/scene/effects/EffectFixture.h"

#include <cmath>

namespace EffectTest
{
namespace
{

using EffectBounds = EffectFixture;

constexpr float Dt = 1.0f / 60.0f;

std::string Stream(const std::string& type, const std::string& rate)
{
    return E("StreamEmitterAction", E("ParticleType", type) + E("Rate", rate));
}

std::string Burst(const std::string& type, const std::string& interval, const std::string& low,
                  const std::string& high)
{
    return E("ExplosionEmitterAction", E("ParticleType", type) + E("Interval", interval) + E("MinParticles", low) +
                                           E("MaxParticles", high));
}

// Runs the effect for `seconds` of frames; returns the most particles seen.
int32_t run(ParticleEffect& fx, float seconds, float dt = Dt)
{
    fx.StartAutoEmit();
    int32_t most = fx.liveCount;
    for (float t = 0.0f; t < seconds; t += dt)
    {
        fx.Step(dt);
        most = std::max(most, fx.liveCount);
    }
    return most;
}

TEST_F(EffectBounds, AHugeRateFillsTheEffectToItsCapAndNoFurther)
{
    auto fx = Make(Effect(Template("name=\"root\" autoemit=\"true\" lifetime=\"100\"", Item("", Stream("spark", C(1e30)))) +
                          Template("name=\"spark\" lifetime=\"0.5\"", "")));
    ASSERT_NE(fx, nullptr);
    EXPECT_EQ(fx->particleCap, ParticleEffect::DefaultParticleCap);
    EXPECT_EQ(run(*fx, 1.0f), ParticleEffect::DefaultParticleCap);
    // Sparks die and are replaced, but never more than the cap.
    EXPECT_LE(fx->liveCount, ParticleEffect::DefaultParticleCap);
    EXPECT_GT(fx->liveCount, 1);
}

TEST_F(EffectBounds, HostileEmittersStayUnderTheCap)
{
    struct Case
    {
        const char* name;
        std::string xml;
    };
    const Case cases[] = {
        {"a template that streams itself",
         Effect(Template("name=\"x\" autoemit=\"true\" lifetime=\"5\"", Item("", Stream("x", C(1000)))))},
        {"a burst of up to 2^31 particles",
         Effect(Template("name=\"root\" autoemit=\"true\"", Item("", Burst("s", C(0.1), "0", "0x7fffffff"))) +
                Template("name=\"s\"", ""))},
        {"bursts with a negative interval and huge counts",
         Effect(Template("name=\"root\" autoemit=\"true\"", Item("", Burst("s", C(-1), "2147483647", "2147483647"))) +
                Template("name=\"s\" lifetime=\"0\"", ""))},
        {"children that die as they are made, at any rate",
         Effect(Template("name=\"root\" autoemit=\"true\" lifetime=\"100\"", Item("", Stream("s", C(3e38)))) +
                Template("name=\"s\"", Item("", E("SetVelocityTowardAction", E("OriginFrame", "effect") +
                                                                                  E("AutoDestroyDistance", "1e30")))))},
        {"particles that replace themselves as they die",
         Effect(Template("name=\"root\" autoemit=\"true\" lifetime=\"100\"",
                         Item("event=\"creation\"", Burst("x", C(1), "2", "2"))) +
                Template("name=\"x\" lifetime=\"0\"", Item("event=\"destruction\"", Burst("x", C(1), "1", "1"))))},
        {"zero lifetimes and a rate that cannot move the clock",
         Effect(Template("name=\"root\" autoemit=\"true\" lifetime=\"1e-30\"", Item("", Stream("root", C(3e38)))))},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto fx = Make(c.xml);
        ASSERT_NE(fx, nullptr);
        fx->particleCap = 300;
        EXPECT_LE(run(*fx, 2.0f), 300);
    }
}

TEST_F(EffectBounds, SpawnsInsideSpawnsStopAtTheDepthLimit)
{
    // Every new particle emits one at once, which emits one at once, ...
    auto fx = Make(Effect(Template("name=\"x\" autoemit=\"true\" lifetime=\"5\"", Item("", Stream("x", C(0.5))))));
    ASSERT_NE(fx, nullptr);
    fx->StartAutoEmit();
    EXPECT_EQ(fx->liveCount, ParticleEffect::MaxSpawnDepth);
    // Each of them emits again two seconds on.
    for (int i = 0; i < 125; ++i)
        fx->Step(Dt);
    EXPECT_GT(fx->liveCount, ParticleEffect::MaxSpawnDepth);
}

TEST_F(EffectBounds, NumbersThatAreNotNumbersReadAsZero)
{
    auto fx = Make(Effect(Template(
        "name=\"root\" autoemit=\"true\" lifetime=\"nan\" regx=\"many\"",
        Item("event=\"inf\" layer=\"nan\"", E("SetScaleAction", E("Scale", "1;linear;0;1;nan,inf;-inf,nan;nan,nan,nan"))) +
            Item("event=\"-nan\" layer=\"1\"", E("SpinRotationAction", E("Spin", C(1e38)) + E("SpinInitRand", "inf"))))));
    ASSERT_NE(fx, nullptr);
    const ParticleTemplate& t = *fx->templates[0];
    EXPECT_EQ(t.lifetime, 0.0f);
    EXPECT_EQ(t.regX, 0);
    for (const auto& phase : t.phases)
    {
        EXPECT_FALSE(std::isnan(phase->start));
        EXPECT_FALSE(std::isnan(phase->end));
    }
    fx->StartAutoEmit();
    Particle* root = fx->GetRootParticle(t);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->scaleX, 0.0f);
    EXPECT_FALSE(fx->Step(Dt)); // lifetime 0: gone at the first step
}

} // namespace
} // namespace EffectTest
