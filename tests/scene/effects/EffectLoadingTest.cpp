// Effect files: the library's loading and replacing, template attributes,
// behaviour items and the actions they make, the phase timeline, creation
// and destruction phases, load-time actions and the "emitter" order.
#include "tests/scene/effects/EffectFixture.h"

#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/effects/RPfxAppearanceActions.h"
#include "engine/scene/effects/RPfxEmitterActions.h"
#include "engine/scene/effects/RPfxImageActions.h"
#include "engine/scene/ui/UserInterface.h"

#include <cfloat>
#include <cstring>

namespace EffectTest
{
namespace
{

using namespace TarnEngine::Effects;

// A labelled action that does something harmless.
std::string Labelled(const std::string& attributes, const std::string& label)
{
    return Item(attributes + " label=\"" + label + "\"", E("SetScaleAction", E("Scale", C(1))));
}

struct PhaseRow
{
    float start;
    float end;
    std::vector<std::wstring> labels;
};

void expectPhases(const ParticleTemplate& t, const std::vector<PhaseRow>& rows)
{
    ASSERT_EQ(t.phases.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
    {
        SCOPED_TRACE("phase " + std::to_string(i));
        const ParticlePhase& phase = *t.phases[i];
        EXPECT_EQ(phase.index, int32_t(i));
        EXPECT_EQ(phase.owner, &t);
        EXPECT_FLOAT_EQ(phase.start, rows[i].start);
        EXPECT_FLOAT_EQ(phase.end, rows[i].end);
        std::vector<std::wstring> labels;
        for (const RPfxActionBase* action : phase.actions)
            labels.push_back(action ? action->label : L"(none)");
        EXPECT_EQ(labels, rows[i].labels);
    }
}

std::vector<std::wstring> labelsOf(const std::vector<RPfxActionBase*>& actions)
{
    std::vector<std::wstring> labels;
    for (const RPfxActionBase* action : actions)
        labels.push_back(action->label);
    return labels;
}

constexpr float End = ParticleTemplate::PhaseEnd;

using EffectLoading = EffectFixture;

TEST_F(EffectLoading, PhaseEndIsTheFloatJustBelowTheTopExponent)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &End, sizeof bits);
    EXPECT_EQ(bits, 0x7EFFFFFFu);
}

TEST_F(EffectLoading, TimedItemsMakeThePhaseTable)
{
    struct Case
    {
        const char* name;
        std::string items;
        std::vector<PhaseRow> phases;
    };
    const Case cases[] = {
        {"no timed items", Labelled("event=\"creation\"", "c"), {{0, End, {}}}},
        {"nothing at all", "", {{0, End, {}}}},
        {"one item from 0", Labelled("", "a"), {{0, End, {L"a"}}}},
        {"layer 0 at 0 and 1",
         Labelled("layer=\"0\" event=\"0\"", "a") + Labelled("layer=\"0\" event=\"1\"", "b"),
         {{0, 1, {L"a"}}, {1, End, {L"b"}}}},
        {"layer 1 at 0.5 splits the first phase",
         Labelled("layer=\"0\" event=\"0\"", "a") + Labelled("layer=\"0\" event=\"1\"", "b") +
             Labelled("layer=\"1\" event=\"0.5\"", "c"),
         {{0, 0.5f, {L"a"}}, {0.5f, 1, {L"a", L"c"}}, {1, End, {L"b", L"c"}}}},
        {"a late first item leaves an empty first phase", Labelled("event=\"2.5\"", "a"),
         {{0, 2.5f, {}}, {2.5f, End, {L"a"}}}},
        {"an item without action ends its layer",
         Labelled("event=\"0\"", "a") + "<BehaviorItem event=\"1\"/>" + Labelled("layer=\"1\" event=\"0\"", "b"),
         {{0, 1, {L"a", L"b"}}, {1, End, {L"b"}}}},
        {"file order does not matter",
         Labelled("layer=\"2\" event=\"3\"", "late") + Labelled("layer=\"1\" event=\"0\"", "early"),
         {{0, 3, {L"early"}}, {3, End, {L"early", L"late"}}}},
        {"layers run in unsigned order",
         Labelled("layer=\"-1\"", "minus") + Labelled("layer=\"5\"", "five") + Labelled("layer=\"0x7fffffff\"", "top"),
         {{0, End, {L"five", L"top", L"minus"}}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const ParticleEffect* definition = Definition(Effect(Template("name=\"t\"", c.items)));
        ASSERT_NE(definition, nullptr);
        ASSERT_EQ(definition->templates.size(), 1u);
        expectPhases(*definition->templates[0], c.phases);
    }
}

TEST_F(EffectLoading, TimedActionsKnowTheirStartAndIndex)
{
    const ParticleEffect* definition = Definition(Effect(Template(
        "", Labelled("layer=\"3\" event=\"0.25\"", "x") + Labelled("layer=\"1\" event=\"1.5\"", "y") +
                Labelled("layer=\"2\" event=\"creation\"", "z"))));
    ASSERT_NE(definition, nullptr);
    const ParticleTemplate& t = *definition->templates[0];
    ASSERT_EQ(t.actions.size(), 3u);
    const wchar_t* byLayer[] = {L"y", L"z", L"x"};
    for (size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(t.actions[i]->label, byLayer[i]);
        EXPECT_EQ(t.actions[i]->index, int32_t(i));
        EXPECT_EQ(t.actions[i]->owner, &t);
    }
    EXPECT_FLOAT_EQ(t.FindAction(L"X")->startTime, 0.25f);
    EXPECT_FLOAT_EQ(t.FindAction(L"y")->startTime, 1.5f);
    EXPECT_FLOAT_EQ(t.FindAction(L"z")->startTime, 0.0f);
    EXPECT_EQ(t.FindAction(L"x")->layer, 3);
    EXPECT_EQ(t.FindAction(L"nothing"), nullptr);
}

TEST_F(EffectLoading, EnabledFalseInAnyCaseDropsAnItem)
{
    struct Case
    {
        const char* enabled;
        bool kept;
    };
    const Case cases[] = {{"false", false}, {"FALSE", false}, {"False", false}, {"0", true},
                          {"no", true},     {"", true},       {"true", true}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.enabled);
        const ParticleEffect* definition = Definition(Effect(
            Template("", Labelled(std::string("enabled=\"") + c.enabled + "\" event=\"1\"", "a"))));
        ASSERT_NE(definition, nullptr);
        const ParticleTemplate& t = *definition->templates[0];
        EXPECT_EQ(t.actions.size(), c.kept ? 1u : 0u);
        EXPECT_EQ(t.phases.size(), c.kept ? 2u : 1u); // a kept item starts a phase at 1
    }
}

TEST_F(EffectLoading, CreationAndDestructionItemsInLayerOrder)
{
    const ParticleEffect* definition = Definition(Effect(Template(
        "", Labelled("event=\"CREATION\" layer=\"2\"", "c2") + Labelled("event=\"creation\" layer=\"-1\"", "c-1") +
                Labelled("event=\"Destruction\" layer=\"1\"", "d1") + Labelled("event=\"destruction\"", "d0") +
                "<BehaviorItem event=\"creation\"/>" + Labelled("event=\"2.5\"", "timed"))));
    ASSERT_NE(definition, nullptr);
    const ParticleTemplate& t = *definition->templates[0];
    // Signed order here, unlike the action array.
    EXPECT_EQ(labelsOf(t.creation.actions), (std::vector<std::wstring>{L"c-1", L"c2"}));
    EXPECT_EQ(labelsOf(t.destruction.actions), (std::vector<std::wstring>{L"d0", L"d1"}));
    expectPhases(t, {{0, 2.5f, {}}, {2.5f, End, {L"timed"}}});
}

TEST_F(EffectLoading, ItemsWithoutAUsableActionStillTakePart)
{
    const ParticleEffect* definition = Definition(Effect(Template(
        "", Labelled("event=\"0\"", "a") + "<BehaviorItem event=\"1\"><Action/></BehaviorItem>" +
                Item("event=\"2\"", "<NoSuchThing/>") + Item("event=\"3\"", "<ActionBase/>") +
                "<BehaviorItem event=\"4\"><Other><SetScale/></Other></BehaviorItem>" + Labelled("event=\"5\"", "b"))));
    ASSERT_NE(definition, nullptr);
    const ParticleTemplate& t = *definition->templates[0];
    EXPECT_EQ(t.actions.size(), 2u);
    expectPhases(t, {{0, 1, {L"a"}}, {1, 2, {}}, {2, 3, {}}, {3, 4, {}}, {4, 5, {}}, {5, End, {L"b"}}});
}

TEST_F(EffectLoading, ActionsAreMadeByClassNameAndReadTheirElement)
{
    const ParticleEffect* definition = Definition(Effect(Template(
        "", Item("label=\"emit\"", E("StreamEmitterAction", E("particletype", "spark") + E("RATE", C(25)))) +
                Item("label=\"op\"", E("SetOpacityAction", E("Opacity", C(0.5)) + E("Range", "2") +
                                                               E("TimeSource", "EMITTER"))))));
    ASSERT_NE(definition, nullptr);
    const ParticleTemplate& t = *definition->templates[0];
    auto* emit = RObjectCast<RPfxStreamEmitterAction>(t.FindAction(L"emit"));
    ASSERT_NE(emit, nullptr);
    EXPECT_EQ(emit->params.particleType, L"spark");
    EXPECT_FLOAT_EQ(emit->params.rate.Evaluate(0), 25.0f);
    EXPECT_EQ(emit->timeSource, TimeSourceSelf);
    auto* opacity = RObjectCast<RPfxSetOpacityAction>(t.FindAction(L"op"));
    ASSERT_NE(opacity, nullptr);
    EXPECT_FLOAT_EQ(opacity->params.range, 2.0f);
    EXPECT_EQ(opacity->timeSource, TimeSourceEmitter);
}

TEST_F(EffectLoading, TemplateAttributes)
{
    images[L"spark"] = EffectImage{};
    const ParticleEffect* definition = Definition(Effect(
        Template("", "") +
        Template("name=\"Fire\" lifetime=\"2.5\" image=\"spark\" regx=\"010\" regy=\"0x10\" autoemit=\"TRUE\" "
                 "additive=\"False\"",
                 "") +
        Template("lifetime=\"soon\" image=\"missing\" regx=\"-4\" autoemit=\"yes\" additive=\"no\"", "")));
    ASSERT_NE(definition, nullptr);
    ASSERT_EQ(definition->templates.size(), 3u);
    const ParticleTemplate& plain = *definition->templates[0];
    EXPECT_EQ(plain.name, L"");
    EXPECT_FLOAT_EQ(plain.lifetime, 1.0f);
    EXPECT_EQ(plain.regX, 0);
    EXPECT_FALSE(plain.autoEmit);
    EXPECT_TRUE(plain.additive);
    EXPECT_TRUE(plain.images.empty());
    EXPECT_EQ(plain.effect, definition);

    const ParticleTemplate& fire = *definition->templates[1];
    EXPECT_EQ(fire.name, L"Fire");
    EXPECT_FLOAT_EQ(fire.lifetime, 2.5f);
    ASSERT_EQ(fire.images.size(), 1u);
    EXPECT_EQ(fire.images[0].name, L"spark");
    EXPECT_EQ(fire.regX, 8);
    EXPECT_EQ(fire.regY, 16);
    EXPECT_TRUE(fire.autoEmit);
    EXPECT_FALSE(fire.additive);

    const ParticleTemplate& odd = *definition->templates[2];
    EXPECT_FLOAT_EQ(odd.lifetime, 0.0f); // not a number
    EXPECT_TRUE(odd.images.empty());
    EXPECT_EQ(odd.regX, -4);
    EXPECT_FALSE(odd.autoEmit); // any other word keeps the default
    EXPECT_TRUE(odd.additive);

    EXPECT_EQ(definition->FindTemplate(L"FIRE"), &fire);
    EXPECT_EQ(definition->FindTemplate(L"smoke"), nullptr);
}

TEST_F(EffectLoading, ImagesComeFromTheDefinitionMap)
{
    UserInterface ui;
    ASSERT_TRUE(ui.Init());
    auto definitions = ParseElement(
        "<Definitions>"
        "<Definition type=\"image\" name=\"spark\" src=\"spark.png\" bi=\"100 80 50 40 10 20 30 35\"/>"
        "<Definition type=\"movie\" name=\"film\" length=\"0\" fps=\"30\"/>"
        "</Definitions>");
    uint32_t added = 0, appended = 0;
    ASSERT_TRUE(LoadDefinitionFile(*definitions, *ui.GetDefinitionMap(), added, appended));
    library.SetImageResolver(nullptr);
    const ParticleEffect* definition =
        Definition(Effect(Template("name=\"a\" image=\"spark\"", "") + Template("name=\"b\" image=\"film\"", "") +
                          Template("name=\"c\" image=\"Spark\"", "")));
    ASSERT_NE(definition, nullptr);
    const ParticleTemplate& a = *definition->templates[0];
    ASSERT_EQ(a.images.size(), 1u);
    EXPECT_EQ(a.images[0].name, L"spark");
    // The stored 50x40 rectangle at (30, 35) of the logical picture; no texture without a renderer.
    const SpritePoint corner = Renderer::TransformPoint({-0.5f, -0.5f}, a.images[0].placement);
    EXPECT_FLOAT_EQ(corner.x, 30.0f);
    EXPECT_FLOAT_EQ(corner.y, 35.0f);
    const SpritePoint far = Renderer::TransformPoint({0.5f, 0.5f}, a.images[0].placement);
    EXPECT_FLOAT_EQ(far.x, 80.0f);
    EXPECT_FLOAT_EQ(far.y, 75.0f);
    EXPECT_TRUE(definition->templates[1]->images.empty()); // a movie is no picture
    EXPECT_TRUE(definition->templates[2]->images.empty()); // names are compared exactly
}

TEST_F(EffectLoading, FamilyImageListReplacesTheImagesAtLoad)
{
    images[L"a"] = EffectImage{};
    images[L"b"] = EffectImage{};
    images[L"c"] = EffectImage{};
    const std::string family =
        E("SetFamilyImageListAction",
          E("imagenames", E("ImageName", E("Image", "b")) + E("ImageName", E("Image", "gone")) +
                              E("imageName", E("image", "c")) + E("Other", E("Image", "a"))));
    const ParticleEffect* definition =
        Definition(Effect(Template("image=\"a\"", Labelled("event=\"0\"", "s") + Item("event=\"1\"", family))));
    ASSERT_NE(definition, nullptr);
    const ParticleTemplate& t = *definition->templates[0];
    ASSERT_EQ(t.images.size(), 2u);
    EXPECT_EQ(t.images[0].name, L"b");
    EXPECT_EQ(t.images[1].name, L"c");
    // Not part of the actions or the timeline.
    EXPECT_EQ(t.actions.size(), 1u);
    expectPhases(t, {{0, End, {L"s"}}});
}

TEST_F(EffectLoading, TheEmitterTemplateOrdersWhatItEmits)
{
    const std::string emitter = Template(
        "name=\"EMITTER\"",
        Item("layer=\"0\"", E("StreamEmitterAction", E("ParticleType", "spark"))) +
            Item("layer=\"1\"", E("ExplosionEmitterAction", E("ParticleType", "SMOKE"))) +
            Item("layer=\"2\"", E("SetScaleAction", "")) +
            Item("layer=\"3\"", E("StreamEmitterAction", E("ParticleType", "a"))) +
            Item("layer=\"4\"", E("StreamEmitterAction", E("ParticleType", "nowhere"))));
    const ParticleEffect* definition =
        Definition(Effect(Template("name=\"a\"", "") + emitter + Template("name=\"smoke\"", "") +
                          Template("name=\"spark\"", "") + Template("name=\"b\"", "")));
    ASSERT_NE(definition, nullptr);
    std::vector<std::wstring> order;
    for (const auto& t : definition->templates)
        order.push_back(t->name);
    // The first name (spark) stays; smoke, then a, go to the end.
    EXPECT_EQ(order, (std::vector<std::wstring>{L"EMITTER", L"spark", L"b", L"smoke", L"a"}));

    // Without a template called "emitter" nothing moves.
    definition = Definition(Effect(Template("name=\"a\"", Item("", E("StreamEmitterAction", E("ParticleType", "b")))) +
                                   Template("name=\"b\"", "")));
    ASSERT_NE(definition, nullptr);
    EXPECT_EQ(definition->templates[0]->name, L"a");
}

TEST_F(EffectLoading, TheLibraryLoadsReplacesAndClones)
{
    EXPECT_FALSE(library.Load(L"missing"));
    EXPECT_FALSE(library.Contains(L"missing"));
    EXPECT_EQ(library.CreateEffect(L"missing"), nullptr);

    AddEffect("broken", "<ParticleEffect><Template>");
    EXPECT_FALSE(library.Load(L"broken"));
    AddEffect("other", "<Effects><Template/></Effects>");
    EXPECT_FALSE(library.Load(L"other"));
    EXPECT_FALSE(library.Contains(L"other"));

    AddEffect("empty", "<ParticleEffect/>");
    ASSERT_TRUE(library.Load(L"empty"));
    EXPECT_TRUE(library.GetDefinition(L"empty")->templates.empty());
    AddEffect("wrapped", "<Document><ParticleEffect><Template name=\"w\"/></ParticleEffect></Document>");
    ASSERT_TRUE(library.Load(L"wrapped"));
    EXPECT_EQ(library.GetDefinition(L"wrapped")->templates.size(), 1u);

    AddEffect("Fire", Effect(Template("name=\"one\"", "")));
    ASSERT_TRUE(library.Load(L"Fire"));
    EXPECT_TRUE(library.Contains(L"fire"));
    EXPECT_TRUE(library.Contains(L"FIRE"));
    const ParticleEffect* first = library.GetDefinition(L"fire");
    // The file is read anew and the definition replaced.
    AddEffect("Fire", Effect(Template("name=\"two\"", "") + Template("name=\"three\"", "")));
    ASSERT_TRUE(library.Load(L"Fire"));
    const ParticleEffect* second = library.GetDefinition(L"fire");
    ASSERT_EQ(second->templates.size(), 2u);
    EXPECT_EQ(second->templates[0]->name, L"two");
    (void)first;
    // A failed reload keeps what was there.
    files.erase(L"effects\\Fire.xml");
    EXPECT_FALSE(library.Load(L"Fire"));
    EXPECT_TRUE(library.Contains(L"fire"));

    std::unique_ptr<ParticleEffect> clone = library.CreateEffect(L"FiRe");
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone.get(), second);
    ASSERT_EQ(clone->templates.size(), 2u);
    EXPECT_EQ(clone->templates[1]->name, L"three");
    EXPECT_EQ(clone->templates[1]->effect, clone.get());
}

TEST_F(EffectLoading, HugeAndNegativeLayersCostNothing)
{
    std::string items;
    for (int i = 0; i < 50; ++i)
    {
        char attributes[64], label[16];
        std::snprintf(attributes, sizeof attributes, "layer=\"%d\" event=\"%d\"", i % 2 ? 2147483647 - i : -i, i);
        std::snprintf(label, sizeof label, "l%d", i);
        items += Labelled(attributes, label);
    }
    const ParticleEffect* definition = Definition(Effect(Template("", items)));
    ASSERT_NE(definition, nullptr);
    const ParticleTemplate& t = *definition->templates[0];
    EXPECT_EQ(t.phases.size(), 50u);
    EXPECT_EQ(t.phases.back()->actions.size(), 50u);
}

} // namespace
} // namespace EffectTest
