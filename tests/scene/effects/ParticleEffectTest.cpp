// Running effects: spawning, ageing through phases, killing, the pool and
// weak references, clones, and what a particle hands to the renderer.
#include "tests/scene/effects/EffectFixture.h"

#include "engine/graphics/device/DirectXDevice.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/effects/RPfxAppearanceActions.h"
#include "engine/scene/ui/UserInterface.h"
#include "platform/raster/RasterDevice.h"
#include "platform/raster/RasterSystem.h"

#include <cmath>

namespace EffectTest
{
namespace
{

using namespace TarnEngine::Effects;

using ParticleEffects = EffectFixture;

std::string Scale(double value)
{
    return E("SetScaleAction", E("Scale", C(value)));
}

TEST_F(ParticleEffects, AParticleDiesInTheStepItsAgeReachesItsLifetime)
{
    auto fx = Make(Effect(Template("name=\"p\" autoemit=\"true\" lifetime=\"1.0\"", "")));
    ASSERT_NE(fx, nullptr);
    fx->StartAutoEmit();
    ASSERT_EQ(fx->liveCount, 1);
    Particle* root = fx->GetRootParticle(*fx->templates[0]);
    ASSERT_NE(root, nullptr);
    EXPECT_FLOAT_EQ(root->lifetime, 1.0f);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(fx->Step(0.25f));
    EXPECT_FLOAT_EQ(root->age, 0.75f);
    EXPECT_FALSE(fx->Step(0.25f));
    EXPECT_EQ(fx->liveCount, 0);
    EXPECT_EQ(fx->GetRootParticle(*fx->templates[0]), nullptr);
}

TEST_F(ParticleEffects, PhaseBoundariesCrossedInOneFrameRunTheLaterPhases)
{
    auto fx = Make(Effect(Template("name=\"p\" autoemit=\"true\" lifetime=\"9\"",
                                   Item("event=\"0\"", Scale(2)) + Item("event=\"0.05\"", Scale(3)) +
                                       Item("event=\"0.1\"", Scale(4)) + Item("event=\"0.15\"", Scale(5)))));
    ASSERT_NE(fx, nullptr);
    fx->StartAutoEmit();
    Particle* p = fx->GetRootParticle(*fx->templates[0]);
    ASSERT_NE(p, nullptr);
    EXPECT_FLOAT_EQ(p->scaleX, 2.0f); // the first phase runs at spawn
    EXPECT_TRUE(fx->Step(0.07f));
    EXPECT_FLOAT_EQ(p->scaleX, 3.0f);
    EXPECT_TRUE(fx->Step(0.5f)); // through 0.1 and 0.15 at once
    EXPECT_FLOAT_EQ(p->scaleX, 5.0f);
    EXPECT_FLOAT_EQ(p->age, 0.57f);
    EXPECT_EQ(Live(*fx->templates[0]), std::vector<Particle*>{p});
    EXPECT_EQ(fx->templates[0]->phases[3]->live.next, p);
}

TEST_F(ParticleEffects, AnActionThatKillsEndsTheRestOfThePhase)
{
    const std::string toward =
        E("SetVelocityTowardAction", E("PosX", C(0)) + E("PosY", C(0)) + E("OriginFrame", "effect") +
                                         E("Magnitude", C(1)) + E("RadialMagnitude", C(1)) +
                                         E("AutoDestroyDistance", "100"));
    auto fx = Make(Effect(Template("name=\"p\" autoemit=\"true\" lifetime=\"9\"",
                                   Item("layer=\"0\" event=\"0.5\"", toward) +
                                       Item("layer=\"1\" event=\"0.5\"", Scale(7)))));
    ASSERT_NE(fx, nullptr);
    fx->StartAutoEmit();
    Particle* p = fx->GetRootParticle(*fx->templates[0]);
    ASSERT_NE(p, nullptr);
    p->vx = 100.0f;
    EXPECT_TRUE(fx->Step(0.25f));
    EXPECT_FLOAT_EQ(p->x, 25.0f);
    const uint32_t serial = p->serial;
    EXPECT_FALSE(fx->Step(0.3f)); // in reach at 0.55: killed before the scale and the move
    EXPECT_EQ(p->serial, serial + 1);
    EXPECT_FLOAT_EQ(p->scaleX, 1.0f);
    EXPECT_FLOAT_EQ(p->x, 25.0f);
}

TEST_F(ParticleEffects, AParticleKilledWhileItIsMadeIsNotLinkedAnywhere)
{
    const std::string toward =
        E("SetVelocityTowardAction", E("OriginFrame", "effect") + E("AutoDestroyDistance", "1"));
    for (const char* event : {"creation", "0"})
    {
        SCOPED_TRACE(event);
        auto fx = Make(Effect(Template("name=\"p\" autoemit=\"true\"", Item(std::string("event=\"") + event + "\"", toward))));
        ASSERT_NE(fx, nullptr);
        fx->StartAutoEmit();
        EXPECT_EQ(fx->liveCount, 0);
        EXPECT_EQ(fx->GetRootParticle(*fx->templates[0]), nullptr);
        for (int i = 0; i < 100; ++i)
            EXPECT_EQ(fx->Spawn(*fx->templates[0], nullptr, 0.0f), nullptr);
        EXPECT_EQ(fx->liveCount, 0);
        EXPECT_TRUE(Live(*fx->templates[0]).empty());
        EXPECT_FALSE(fx->Step(0.1f));
    }
}

TEST_F(ParticleEffects, AnActionThatKillsAtDeathDoesNotKillTwice)
{
    const std::string toward =
        E("SetVelocityTowardAction", E("OriginFrame", "effect") + E("AutoDestroyDistance", "1"));
    auto fx = Make(Effect(Template("name=\"p\" lifetime=\"0.1\"", Item("event=\"destruction\"", toward) +
                                                                       Item("event=\"destruction\"", Scale(3)))));
    ASSERT_NE(fx, nullptr);
    Particle* p = fx->Spawn(*fx->templates[0], nullptr, 0.0f);
    ASSERT_NE(p, nullptr);
    const uint32_t serial = p->serial;
    EXPECT_FALSE(fx->Step(0.1f));
    EXPECT_EQ(p->serial, serial + 1);
    EXPECT_EQ(fx->liveCount, 0);
    EXPECT_FLOAT_EQ(p->scaleX, 3.0f); // every destruction action ran
    // The record went back to the pool once: it is reused once, then a new one comes.
    Particle* again = fx->Spawn(*fx->templates[0], nullptr, 0.0f);
    Particle* other = fx->Spawn(*fx->templates[0], nullptr, 0.0f);
    EXPECT_EQ(again, p);
    EXPECT_NE(other, p);
}

TEST_F(ParticleEffects, EmitterTimeOfAChildWhoseEmitterDiedIsZero)
{
    const std::string burst = E("ExplosionEmitterAction", E("ParticleType", "c") + E("Interval", C(100)) +
                                                              E("MinParticles", "1") + E("MaxParticles", "1"));
    const std::string follow = E("SetScaleAction", E("Scale", L(0, 0, 10, 10)) + E("TimeSource", "eMiTtEr"));
    auto fx = Make(Effect(Template("name=\"p\" autoemit=\"true\" lifetime=\"0.5\"", Item("", burst)) +
                          Template("name=\"c\" lifetime=\"10\"", Item("", follow))));
    ASSERT_NE(fx, nullptr);
    fx->StartAutoEmit();
    ASSERT_EQ(fx->liveCount, 2);
    Particle* child = Live(*fx->templates[1]).at(0);
    EXPECT_FLOAT_EQ(child->scaleX, 0.0f);
    EXPECT_TRUE(fx->Step(0.25f));
    EXPECT_FLOAT_EQ(child->scaleX, 0.25f); // the emitter's age
    EXPECT_NE(child->parent.Get(), nullptr);
    EXPECT_TRUE(fx->Step(0.25f)); // the emitter dies first
    EXPECT_EQ(child->parent.Get(), nullptr);
    EXPECT_FLOAT_EQ(child->scaleX, 0.0f);
    EXPECT_FLOAT_EQ(child->age, 0.5f);
}

TEST_F(ParticleEffects, AReusedRecordInvalidatesEveryEarlierReference)
{
    auto fx = Make(Effect(Template("name=\"p\"", "")));
    ASSERT_NE(fx, nullptr);
    Particle* first = fx->Spawn(*fx->templates[0], nullptr, 0.0f);
    ASSERT_NE(first, nullptr);
    const ParticleRef ref = first->Ref();
    Particle* child = fx->Spawn(*fx->templates[0], first, 0.0f);
    EXPECT_EQ(child->parent.Get(), first);
    EXPECT_EQ(ref.Get(), first);
    fx->Kill(*first, 0.0f);
    EXPECT_EQ(ref.Get(), nullptr);
    EXPECT_EQ(child->parent.Get(), nullptr);
    EXPECT_FALSE(first->IsLive());
    fx->Kill(*first, 0.0f); // already in the pool: nothing happens
    EXPECT_EQ(fx->liveCount, 1);
    Particle* reused = fx->Spawn(*fx->templates[0], nullptr, 0.0f);
    EXPECT_EQ(reused, first); // the record freed last is taken first
    EXPECT_EQ(ref.Get(), nullptr);
    EXPECT_EQ(child->parent.Get(), nullptr);
    EXPECT_EQ(reused->Ref().Get(), reused);
    EXPECT_EQ(fx->liveCount, 2);
}

TEST_F(ParticleEffects, SpawnStartsFromTheParentAndTheTarget)
{
    auto fx = Make(Effect(Template("name=\"p\" lifetime=\"3\"", Item("event=\"creation\"", Scale(2)))));
    ASSERT_NE(fx, nullptr);
    fx->targetX = 5.0f;
    fx->targetY = 6.0f;
    Particle* parent = fx->Spawn(*fx->templates[0], nullptr, 0.0f);
    ASSERT_NE(parent, nullptr);
    parent->x = 40.0f;
    parent->y = 30.0f;
    parent->vx = 9.0f;
    parent->red = 0.5f;
    parent->frame = 4;
    Particle* child = fx->Spawn(*fx->templates[0], parent, 0.0f);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->x, 40.0f);
    EXPECT_EQ(child->y, 30.0f);
    EXPECT_EQ(child->vx, 0.0f);
    EXPECT_EQ(child->red, 1.0f);
    EXPECT_EQ(child->frame, 0u);
    EXPECT_EQ(child->targetX, 5.0f);
    EXPECT_EQ(child->targetY, 6.0f);
    EXPECT_FLOAT_EQ(child->scaleX, 2.0f);
    EXPECT_FLOAT_EQ(child->lifetime, 3.0f);
    EXPECT_EQ(child->owner, fx->templates[0].get());
}

TEST_F(ParticleEffects, DestructionActionsRunAsAParticleDies)
{
    const std::string place =
        E("MovePositionAction", E("PosX", C(50)) + E("PosY", C(60)) + E("OriginFrame", "Effect"));
    const std::string burst = E("ExplosionEmitterAction", E("ParticleType", "c") + E("Interval", C(1)) +
                                                              E("MinParticles", "3") + E("MaxParticles", "3"));
    auto fx = Make(Effect(Template("name=\"p\" autoemit=\"true\" lifetime=\"0.1\"",
                                   Item("event=\"creation\"", place) + Item("event=\"destruction\"", burst)) +
                          Template("name=\"c\" lifetime=\"5\"", "")));
    ASSERT_NE(fx, nullptr);
    fx->StartAutoEmit();
    EXPECT_EQ(fx->liveCount, 1);
    EXPECT_TRUE(fx->Step(0.1f));
    EXPECT_EQ(fx->liveCount, 3);
    for (Particle* c : Live(*fx->templates[1]))
    {
        EXPECT_EQ(c->x, 50.0f);
        EXPECT_EQ(c->y, 60.0f);
        EXPECT_EQ(c->parent.Get(), nullptr);
        EXPECT_FLOAT_EQ(c->age, 0.1f); // stepped in the frame they were made
    }
}

TEST_F(ParticleEffects, ClonesOwnTheirTemplatesPhasesAndActions)
{
    images[L"dot"] = EffectImage{};
    const std::string xml = Effect(
        Template("name=\"emitter\" autoemit=\"true\" image=\"dot\" regx=\"3\" regy=\"4\" additive=\"false\" lifetime=\"2\"",
                 Item("label=\"emit\"", E("StreamEmitterAction", E("ParticleType", "spark") + E("Rate", C(30)))) +
                     Item("event=\"creation\" label=\"born\"", Scale(2)) +
                     Item("event=\"destruction\" label=\"gone\"", Scale(3)) +
                     Item("event=\"1\" layer=\"1\" label=\"late\"", Scale(4))) +
        Template("name=\"spark\" lifetime=\"0.5\"", ""));
    const ParticleEffect* definition = Definition(xml);
    ASSERT_NE(definition, nullptr);
    std::unique_ptr<ParticleEffect> clone = definition->Clone();
    ASSERT_EQ(clone->templates.size(), 2u);
    const ParticleTemplate& from = *definition->templates[0];
    const ParticleTemplate& to = *clone->templates[0];
    EXPECT_EQ(to.effect, clone.get());
    EXPECT_EQ(to.name, L"emitter");
    EXPECT_FLOAT_EQ(to.lifetime, 2.0f);
    EXPECT_EQ(to.regX, 3);
    EXPECT_EQ(to.regY, 4);
    EXPECT_TRUE(to.autoEmit);
    EXPECT_FALSE(to.additive);
    EXPECT_EQ(to.images.size(), 1u);
    ASSERT_EQ(to.actions.size(), from.actions.size());
    for (size_t i = 0; i < to.actions.size(); ++i)
    {
        EXPECT_NE(to.actions[i].get(), from.actions[i].get());
        EXPECT_EQ(to.actions[i]->GetClass(), from.actions[i]->GetClass());
        EXPECT_EQ(to.actions[i]->owner, &to);
        EXPECT_EQ(to.actions[i]->label, from.actions[i]->label);
        EXPECT_EQ(to.actions[i]->index, int32_t(i));
    }
    ASSERT_EQ(to.phases.size(), from.phases.size());
    for (size_t i = 0; i < to.phases.size(); ++i)
    {
        EXPECT_EQ(to.phases[i]->owner, &to);
        EXPECT_EQ(to.phases[i]->start, from.phases[i]->start);
        EXPECT_EQ(to.phases[i]->end, from.phases[i]->end);
        ASSERT_EQ(to.phases[i]->actions.size(), from.phases[i]->actions.size());
        for (size_t k = 0; k < to.phases[i]->actions.size(); ++k)
            EXPECT_EQ(to.phases[i]->actions[k], to.actions[size_t(from.phases[i]->actions[k]->index)].get());
    }
    ASSERT_EQ(to.creation.actions.size(), 1u);
    EXPECT_EQ(to.creation.actions[0], to.FindAction(L"born"));
    ASSERT_EQ(to.destruction.actions.size(), 1u);
    EXPECT_EQ(to.destruction.actions[0], to.FindAction(L"gone"));

    // Running the clone emits into its own templates and leaves the definition alone.
    clone->StartAutoEmit();
    for (int i = 0; i < 30; ++i)
        clone->Step(1.0f / 60.0f);
    EXPECT_GT(Live(*clone->templates[1]).size(), 5u);
    for (const auto& t : definition->templates)
        EXPECT_TRUE(Live(*t).empty());
    EXPECT_EQ(definition->liveCount, 0);

    // A clone of a clone runs the same way.
    std::unique_ptr<ParticleEffect> again = clone->Clone();
    EXPECT_EQ(again->liveCount, 0);
    again->StartAutoEmit();
    EXPECT_EQ(again->liveCount, 2); // the root and its first spark
}

TEST_F(ParticleEffects, SpritesCarryTheImageTransformColourAndMaterial)
{
    EffectImage dot;
    dot.placement = Renderer::MakeRectMatrix(-8, -8, 16, 16);
    images[L"dot"] = dot;
    images[L"ring"] = dot;
    images[L"ring"].rect = SpriteRect{0.5f, 0.0f, 1.0f, 0.5f};
    const std::string family = E("SetFamilyImageListAction",
                                 E("ImageNames", E("ImageName", E("Image", "dot")) + E("ImageName", E("Image", "ring"))));
    auto fx = Make(Effect(Template("name=\"a\" regx=\"4\" regy=\"0\"", Item("", family)) +
                          Template("name=\"b\" additive=\"false\"", Item("", family)) + Template("name=\"none\"", "")));
    ASSERT_NE(fx, nullptr);
    Particle* p = fx->Spawn(*fx->templates[0], nullptr, 0.0f);
    p->x = 100.0f;
    p->y = 50.0f;
    p->scaleX = p->scaleY = 2.0f;
    p->rotation = 3.1415926f / 2.0f;
    p->frame = 3; // modulo two images: "ring"
    p->opacity = 0.5f;
    p->red = 1.0f;
    p->green = 0.5f;
    p->blue = 2.0f; // held at 255
    Matrix3 parent;
    parent.SetTranslation(10.0f, 20.0f);
    ParticleSprite sprite;
    ASSERT_TRUE(ParticleEffect::MakeSprite(*fx->templates[0], *p, parent, 0.5f, eMaterialMaskedIn, sprite));
    EXPECT_EQ(sprite.image, &fx->templates[0]->images[1]);
    EXPECT_EQ(sprite.material, uint32_t(eMaterialAdditive | eMaterialMaskedIn));
    EXPECT_EQ(sprite.colour, 0x3FFF7FFFu); // alpha 0.5 * 255 * 0.5 = 63.75
    // Corner (0.5, 0.5): placed at (8, 8), pivot (4, 8), scaled (8, 16), turned
    // a quarter clockwise (-16, 8), moved (84, 58), parent (94, 78).
    const SpritePoint corner = Renderer::TransformPoint({0.5f, 0.5f}, sprite.matrix);
    EXPECT_NEAR(corner.x, 94.0f, 1e-3f);
    EXPECT_NEAR(corner.y, 78.0f, 1e-3f);
    const SpritePoint centre = Renderer::TransformPoint({0.0f, 0.0f}, sprite.matrix);
    // The centre: pivot (-4, 0), scaled (-8, 0), turned (0, -8), moved and placed (110, 62).
    EXPECT_NEAR(centre.x, 110.0f, 1e-3f);
    EXPECT_NEAR(centre.y, 62.0f, 1e-3f);

    Particle* q = fx->Spawn(*fx->templates[1], nullptr, 0.0f);
    q->opacity = 7.0f;
    q->red = -1.0f;
    q->green = std::nanf("");
    ASSERT_TRUE(ParticleEffect::MakeSprite(*fx->templates[1], *q, Matrix3{}, 1.0f, 0, sprite));
    EXPECT_EQ(sprite.material, uint32_t(eMaterialAlpha));
    EXPECT_EQ(sprite.colour, 0xFF0000FFu); // channels held in 0..255, NaN as 0
    const SpritePoint plain = Renderer::TransformPoint({-0.5f, -0.5f}, sprite.matrix);
    EXPECT_NEAR(plain.x, -8.0f, 1e-4f);
    EXPECT_NEAR(plain.y, -8.0f, 1e-4f);

    Particle* r = fx->Spawn(*fx->templates[2], nullptr, 0.0f);
    EXPECT_FALSE(ParticleEffect::MakeSprite(*fx->templates[2], *r, Matrix3{}, 1.0f, 0, sprite));
}

// A renderer over a small software device whose frame the test reads back.
struct SmallScreen
{
    struct White : Recreater
    {
        bool Recreate(IResourceTexture* texture) override
        {
            if (!texture->Allocate({4, 4}))
                return false;
            void* bits = nullptr;
            int32_t pitch = 0;
            if (!texture->Lock(&bits, &pitch, false))
                return false;
            for (uint32_t y = 0; y < 4; ++y)
                for (uint32_t x = 0; x < 4; ++x)
                    static_cast<uint32_t*>(bits)[y * uint32_t(pitch / 4) + x] = 0xFFFFFFFFu;
            texture->Unlock();
            return true;
        }
    };

    SmallScreen()
    {
        Raster::AdapterInfo adapter;
        adapter.caps.devCaps = Raster::Value::DevCapsHwTransformAndLight;
        Raster::SystemOptions options;
        options.adapters = {adapter};
        options.presenters = [](SDL_Window*) { return std::make_unique<Raster::NullPresenter>(); };
        auto system = std::make_shared<Raster::RasterSystem>(options);
        DeviceServices services;
        services.createSystem = [system] { return system; };
        services.sleep = [](uint32_t) {};
        services.logicalScreenSize = [](uint32_t& w, uint32_t& h)
        {
            w = 64;
            h = 64;
        };
        auto made = std::make_unique<DirectXDevice>(services);
        ok = made->Init(nullptr, false);
        device = made.get();
        renderer = std::make_unique<Renderer>();
        ok = ok && renderer->Init(std::move(made), nullptr);
        if (ok)
        {
            device->SetClearParams(true, 0xFF000000);
            texture = renderer->CreateDynamicTexture(&white);
        }
    }
    ~SmallScreen()
    {
        texture.Release();
        renderer.reset();
    }
    uint32_t Pixel(uint32_t x, uint32_t y)
    {
        std::shared_ptr<Raster::RasterSurface> target;
        device->GetRasterDevice()->GetRenderTarget(0, target);
        return target->Pixels()[size_t(y) * target->Width() + x];
    }

    White white;
    DirectXDevice* device = nullptr;
    std::unique_ptr<Renderer> renderer;
    RefPtr<IResourceTexture> texture;
    bool ok = false;
};

TEST_F(ParticleEffects, DrawHandsEveryParticleToTheRenderer)
{
    SmallScreen screen;
    ASSERT_TRUE(screen.ok);
    EffectImage square;
    square.texture = screen.texture;
    square.placement = Renderer::MakeRectMatrix(-2, -2, 4, 4);
    square.filtering = false;
    images[L"square"] = square;
    auto fx = Make(Effect(Template("name=\"p\" image=\"square\"", "") + Template("name=\"bare\"", "")));
    ASSERT_NE(fx, nullptr);
    Particle* a = fx->Spawn(*fx->templates[0], nullptr, 0.0f);
    a->x = 10.0f;
    a->y = 10.0f;
    a->red = 0.0f;
    a->opacity = 0.5f;
    Particle* b = fx->Spawn(*fx->templates[0], nullptr, 0.0f);
    b->x = 30.0f;
    b->y = 40.0f;
    fx->Spawn(*fx->templates[1], nullptr, 0.0f); // no image: not drawn

    ASSERT_TRUE(screen.device->BeginFrame());
    screen.renderer->SetInFrame(true);
    Matrix3 parent;
    parent.SetTranslation(4.0f, 2.0f);
    fx->Draw(parent, 1.0f, 0);
    EXPECT_EQ(screen.renderer->GetQueuedVertexCount(), 8u);
    screen.renderer->Flush();
    // Additive white scaled by the colour onto black.
    EXPECT_EQ(screen.Pixel(14, 12) & 0xFFFFFF, 0x007F7Fu);
    EXPECT_EQ(screen.Pixel(34, 42) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(screen.Pixel(20, 20) & 0xFFFFFF, 0x000000u);
    screen.renderer->SetInFrame(false);
    screen.device->EndFrame();
}

std::string readSampleFile(const char* relative)
{
    std::string bytes;
    if (std::FILE* file = std::fopen((std::string(PELLWOOD_SOURCE_DIR "/sample/input/") + relative).c_str(), "rb"))
    {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            bytes.append(buffer, n);
        std::fclose(file);
    }
    return bytes;
}

TEST_F(ParticleEffects, TheSampleSparkleRunsAndEnds)
{
    // Its picture comes from the sample's definitions.
    UserInterface ui;
    ASSERT_TRUE(ui.Init());
    const std::string scene = readSampleFile("definitions/scene.xml");
    auto definitions = ParseXmlFileBytes(reinterpret_cast<const uint8_t*>(scene.data()), scene.size(), false);
    ASSERT_NE(definitions, nullptr);
    uint32_t added = 0, appended = 0;
    ASSERT_TRUE(LoadDefinitionFile(*definitions, *ui.GetDefinitionMap(), added, appended));
    library.SetImageResolver(nullptr);
    const std::string xml = readSampleFile("effects/sparkle.xml");
    ASSERT_FALSE(xml.empty());
    auto fx = Make(xml);
    ASSERT_NE(fx, nullptr);
    ASSERT_EQ(fx->templates.size(), 2u);
    const ParticleTemplate* spark = fx->FindTemplate(L"spark");
    ASSERT_NE(spark, nullptr);
    EXPECT_EQ(spark->images.size(), 1u);
    EXPECT_NE(RObjectCast<RPfxSetColorRGBAction>(spark->FindAction(L"color")), nullptr);
    EXPECT_EQ(spark->phases.size(), 2u); // stronger gravity after the first second
    fx->StartAutoEmit();
    int frames = 0;
    int most = 0;
    while (fx->Step(1.0f / 60.0f) && frames < 600)
    {
        ++frames;
        most = std::max(most, fx->liveCount);
    }
    // Three seconds of emission and the last sparks' 1.5 s.
    EXPECT_GE(frames, 4 * 60);
    EXPECT_LE(frames, 5 * 60);
    EXPECT_GT(most, 50);
}

} // namespace
} // namespace EffectTest
