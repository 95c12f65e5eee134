// Nuggets: the loader that makes them by class name, the list's class override, and each of the
// seven kinds as it reads its element and acts on the instances of its definition.
#include "tests/scene/definitions/DefinitionTestSupport.h"

#include "engine/scene/definitions/nuggets/REffectNugget.h"
#include "engine/scene/definitions/nuggets/RHitTestTypeNugget.h"
#include "engine/scene/definitions/nuggets/RLuaClassNugget.h"
#include "engine/scene/definitions/nuggets/RMaterialNugget.h"
#include "engine/scene/definitions/nuggets/RMovieClassNugget.h"
#include "engine/scene/definitions/nuggets/RSoundEffectNugget.h"
#include "engine/scene/definitions/nuggets/RVideoNugget.h"
#include "tests/scene/display/DisplayFixture.h"

namespace DefinitionTest
{
namespace
{

// The nuggets of a "Nuggets" element given as text.
NuggetList loadList(const std::string& children, NuggetList list = {})
{
    RegisterEngineStatics();
    std::unique_ptr<XmlNode> element = Parse("<Nuggets>" + children + "</Nuggets>");
    EXPECT_TRUE(LoadNuggets(element.get(), list));
    return list;
}

template <class T> T* only(const NuggetList& list)
{
    EXPECT_EQ(list.nuggets.size(), 1u);
    return list.nuggets.empty() ? nullptr : RObjectCast<T>(list.nuggets[0].get());
}

TEST(NuggetLoader, MakesOnlyNuggetClassesInDocumentOrder)
{
    NuggetList list = loadList("<Object/><Class/><InstanceClass/><NuggetBase/><Unknown/><Instance_Movie/>"
                               "<SoundEffectNugget/><MaterialNugget/><Nuggets/><LuaClassNugget/>");
    ASSERT_EQ(list.nuggets.size(), 3u);
    EXPECT_NE(RObjectCast<RSoundEffectNugget>(list.nuggets[0].get()), nullptr);
    EXPECT_NE(RObjectCast<RMaterialNugget>(list.nuggets[1].get()), nullptr);
    EXPECT_NE(RObjectCast<RLuaClassNugget>(list.nuggets[2].get()), nullptr);
    EXPECT_EQ(list.classOverride, nullptr);
    EXPECT_FALSE(LoadNuggets(nullptr, list));
    ClearNuggets(list);
    EXPECT_TRUE(list.nuggets.empty());
}

TEST(NuggetLoader, TheFirstClassOfTheListWinsAcrossMetaFiles)
{
    const std::string movie = "<MovieClassNugget><MovieClassName>Instance_Movie</MovieClassName></MovieClassNugget>";
    const std::string other = "<MovieClassNugget><MovieClassName>Instance_Base</MovieClassName></MovieClassNugget>";
    NuggetList list = loadList("<MaterialNugget/>" + movie + other);
    EXPECT_EQ(list.classOverride, Instance_Movie::StaticClass());
    list = loadList(other, std::move(list));
    EXPECT_EQ(list.classOverride, Instance_Movie::StaticClass()) << "a later meta file adds, it does not replace";
    ClearNuggets(list);
    EXPECT_EQ(list.classOverride, Instance_Movie::StaticClass()) << "clearing keeps the class";

    NuggetList later = loadList("<MaterialNugget/>");
    later = loadList(other, std::move(later));
    EXPECT_EQ(later.classOverride, Instance_Base::StaticClass());
}

TEST(MovieClassNugget, OnlyInstanceClassesAreTaken)
{
    struct Case
    {
        const char* name;
        bool loads;
        RClass* taken;
    };
    const Case cases[] = {
        {"", true, nullptr},
        {"Instance_Movie", true, Instance_Movie::StaticClass()},
        {"RMaterialNugget", false, nullptr},
        {"RObject", false, nullptr},
        {"NoSuchClass", false, nullptr},
    };
    for (const Case& c : cases)
    {
        RMovieClassNugget nugget;
        std::unique_ptr<XmlNode> element =
            Parse(std::string("<MovieClassNugget><MovieClassName>") + c.name + "</MovieClassName></MovieClassNugget>");
        EXPECT_EQ(nugget.Load(*element), c.loads) << c.name;
        EXPECT_EQ(nugget.GetClassOverride(), c.taken) << c.name;
    }
    // A nugget that fails stays in its list, without a class.
    NuggetList list = loadList("<MovieClassNugget><MovieClassName>RObject</MovieClassName></MovieClassNugget>");
    EXPECT_EQ(list.nuggets.size(), 1u);
    EXPECT_EQ(list.classOverride, nullptr);
}

TEST(MaterialNugget, ReadsItsWordsIgnoringCase)
{
    struct Case
    {
        const char* children;
        uint32_t flags;
    };
    const Case cases[] = {
        {"", 0x80001},
        {"<Material>additive</Material>", 0x80002},
        {"<Material>additive</Material><Masking>MaskedOut</Masking>", 0xC0002},
        {"<Material>NOBLEND</Material><Masking>maskedin</Masking><MaskClear>True</MaskClear>", 0xB0000},
        {"<Material>MaskLayer</Material>", 0x80004},
        {"<Material>Debug</Material><MaskClear>yes</MaskClear>", 0x80005},
        {"<Material>Glow</Material><Masking>Inside</Masking>", 0x80001},
        {"<Material>NoTexture</Material>", 0x80003},
    };
    for (const Case& c : cases)
    {
        RMaterialNugget nugget;
        std::unique_ptr<XmlNode> element = Parse(std::string("<MaterialNugget>") + c.children + "</MaterialNugget>");
        EXPECT_TRUE(nugget.Load(*element));
        EXPECT_EQ(nugget.flags, c.flags) << c.children;
    }
}

TEST(HitTestTypeNugget, ReadsTypeAndThreshold)
{
    struct Case
    {
        const char* children;
        uint32_t type;
        int32_t threshold;
    };
    const Case cases[] = {
        {"", 0, 0},
        {"<HitTest>nonalpha</HitTest><Threshold>0x10</Threshold>", 1, 16},
        {"<HitTest>NONE</HitTest><Threshold>-1</Threshold>", 2, -1},
        {"<HitTest>Alpha</HitTest><Threshold>010</Threshold>", 0, 8},
    };
    for (const Case& c : cases)
    {
        RHitTestTypeNugget nugget;
        std::unique_ptr<XmlNode> element = Parse(std::string("<HitTestTypeNugget>") + c.children + "</HitTestTypeNugget>");
        EXPECT_TRUE(nugget.Load(*element));
        EXPECT_EQ(nugget.hitTestType, c.type) << c.children;
        EXPECT_EQ(nugget.threshold, c.threshold) << c.children;
    }
}

TEST(VideoAndEffectNuggets, OnlyTrueWrittenSoIsTrue)
{
    std::unique_ptr<XmlNode> video = Parse("<VideoNugget><FileName>v\\intro.ogv</FileName><AutoPlay>True</AutoPlay>"
                                           "<Loop>true</Loop><Delay>1.5</Delay></VideoNugget>");
    RVideoNugget videoNugget;
    EXPECT_TRUE(videoNugget.Load(*video));
    EXPECT_EQ(videoNugget.fileName, L"v\\intro.ogv");
    EXPECT_TRUE(videoNugget.alphaFileName.empty());
    EXPECT_FALSE(videoNugget.autoPlay);
    EXPECT_TRUE(videoNugget.loop);
    EXPECT_FLOAT_EQ(videoNugget.delay, 1.5f);

    std::unique_ptr<XmlNode> effect = Parse("<EffectNugget><EffectName>sparks</EffectName><AutoPlay>TRUE</AutoPlay>"
                                            "<EffectX>-3.5</EffectX><EffectY>4</EffectY><SkipFrames>12</SkipFrames>"
                                            "</EffectNugget>");
    REffectNugget effectNugget;
    EXPECT_TRUE(effectNugget.Load(*effect));
    EXPECT_EQ(effectNugget.instanceName, L"sparks") << "named after the effect";
    EXPECT_FALSE(effectNugget.autoPlay);
    EXPECT_FLOAT_EQ(effectNugget.x, -3.5f);
    EXPECT_FLOAT_EQ(effectNugget.y, 4.0f);
    EXPECT_EQ(effectNugget.skipFrames, 12);
    EXPECT_EQ(effectNugget.startDelay, 0.0f);
}

// Nuggets on instances made from definitions.
class NuggetsOnInstances : public SceneTest::DisplayFixture
{
protected:
    void SetUp() override
    {
        DisplayFixture::SetUp();
        ASSERT_TRUE(LoadFile(*ui->GetDefinitionMap(),
                             "<D><Definition type=\"movie\" name=\"menu\" length=\"0\" fps=\"30\"/>"
                             "<Definition type=\"movie\" name=\"other\" length=\"0\" fps=\"30\"/>"
                             "<Definition type=\"image\" name=\"pic\" src=\"p.png\"/></D>"));
    }
    void TearDown() override
    {
        SetEffectNuggetServices({});
        DisplayFixture::TearDown();
    }

    // Gives the definition these nuggets (replacing what it had).
    Definition_Base* Nuggets(const wchar_t* name, const std::string& children)
    {
        Definition_Base* definition = ui->GetDefinitionMap()->FindDefinition(name);
        definition->ClearNuggets();
        std::unique_ptr<XmlNode> element = Parse("<Nuggets>" + children + "</Nuggets>");
        definition->AddNuggets(*element, L"");
        return definition;
    }

    // A movie of the definition under the root.
    Instance_Movie* Make(const wchar_t* definition, const wchar_t* name)
    {
        Instance_Base* made = ui->GetDefinitionMap()->FindDefinition(definition)->CreateInstance(name, nullptr);
        kept.emplace_back(made);
        return RObjectCast<Instance_Movie>(made);
    }

    struct Deleter
    {
        void operator()(Instance_Base* instance) const { RObject::DeleteSelf(instance); }
    };
    std::vector<std::unique_ptr<Instance_Base, Deleter>> kept;
};

TEST_F(NuggetsOnInstances, HitTestAndVideoActOnImagesOnly)
{
    ScopedClassName image("Instance_Image", SetupImage::StaticClass());
    Nuggets(L"pic", "<HitTestTypeNugget><HitTest>NonAlpha</HitTest><Threshold>-1</Threshold></HitTestTypeNugget>"
                    "<VideoNugget><FileName>a.ogv</FileName><FileNameAlpha>b.ogv</FileNameAlpha>"
                    "<AutoPlay>true</AutoPlay><Loop>true</Loop></VideoNugget>"
                    "<VideoNugget><FileNameAlpha>mask.ogv</FileNameAlpha></VideoNugget>");
    Instance_Base* made = ui->GetDefinitionMap()->FindDefinition(L"pic")->CreateInstance(L"p", nullptr);
    kept.emplace_back(made);
    auto* picture = dynamic_cast<SetupImage*>(made);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->hitTestType, 1u);
    EXPECT_EQ(picture->alphaThreshold, 0xFFFFFFFFu);
    EXPECT_EQ(picture->videoFiles, (std::vector<std::wstring>{L"a.ogv|b.ogv", L"|mask.ogv"}));
    ASSERT_NE(picture->video, nullptr);
    EXPECT_TRUE(picture->video->opens.empty()) << "the second video is not started";

    Nuggets(L"pic", "<VideoNugget><FileName>a.ogv</FileName><AutoPlay>true</AutoPlay><Loop>true</Loop>"
                    "<Delay>3</Delay></VideoNugget>");
    made = ui->GetDefinitionMap()->FindDefinition(L"pic")->CreateInstance(L"q", nullptr);
    kept.emplace_back(made);
    picture = dynamic_cast<SetupImage*>(made);
    ASSERT_NE(picture->video, nullptr);
    ASSERT_EQ(picture->video->opens.size(), 1u);
    EXPECT_EQ(picture->video->opens[0].loop, 1);
    EXPECT_EQ(picture->video->opens[0].start, 0) << "a video starts at its beginning";

    SetupImage::videosWork = false;
    made = ui->GetDefinitionMap()->FindDefinition(L"pic")->CreateInstance(L"r", nullptr);
    SetupImage::videosWork = true;
    kept.emplace_back(made);
    EXPECT_EQ(dynamic_cast<SetupImage*>(made)->video, nullptr);

    // On a movie they do nothing.
    Nuggets(L"menu", "<HitTestTypeNugget><HitTest>None</HitTest></HitTestTypeNugget>"
                     "<VideoNugget><FileName>a.ogv</FileName><AutoPlay>true</AutoPlay></VideoNugget>");
    EXPECT_NE(Make(L"menu", L"m"), nullptr);
}

TEST_F(NuggetsOnInstances, EventSoundsComeFromTheDefinitionsOwnNuggets)
{
    SceneTest::RecordingSoundManager sounds;
    Nuggets(L"menu", "<SoundEffectNugget><EventName>bttn_over</EventName><SoundName>hover</SoundName>"
                     "</SoundEffectNugget><SoundEffectNugget><EventName>bttn_click</EventName>"
                     "<SoundName>click</SoundName></SoundEffectNugget><SoundEffectNugget><EventName>bttn_click"
                     "</EventName><SoundName>second</SoundName></SoundEffectNugget>");
    Instance_Movie* button = Make(L"menu", L"button");
    ASSERT_NE(button, nullptr);
    button->PlayEventSound(L"bttn_click");
    button->PlayEventSound(L"BTTN_CLICK");
    button->PlayEventSound(L"screen_open");
    EXPECT_EQ(sounds.played, std::vector<std::wstring>{L"click"});

    std::wstring sound;
    EXPECT_TRUE(ui->GetDefinitionMap()->FindEventSound(L"menu", 0, L"bttn_over", sound));
    EXPECT_EQ(sound, L"hover");
    EXPECT_FALSE(ui->GetDefinitionMap()->FindEventSound(L"menu", 1, L"bttn_over", sound));
    EXPECT_FALSE(ui->GetDefinitionMap()->FindEventSound(L"other", 0, L"bttn_over", sound));
}

// What the particle system was asked to do.
struct EffectLog
{
    std::vector<std::wstring> calls;
    InstanceHandle spawned;
    int updates = 0;
    float lastStep = 0.0f;
    int endAfter = -1; // updates until the effect ends; -1 never
};

EffectNuggetServices recordingServices(EffectLog& log, Instance_Base*& effect, Instance_Movie* root)
{
    EffectNuggetServices services;
    services.spawn = [&log, &effect, root](const std::wstring& name, Instance_Movie* parent,
                                           const std::wstring& instanceName, float x, float y)
    {
        log.calls.push_back(L"spawn " + name + L" " + instanceName + L" " + std::to_wstring(int(x)) + L" " +
                            std::to_wstring(int(y)) + (parent ? L"" : L" no parent"));
        Instance_Base* made = nullptr;
        static int serial = 0;
        log.spawned = Instance_Movie::CreateInstanceCore(root, L"", instanceName + std::to_wstring(++serial), true,
                                                         Instance_Base::StaticClass(), &made);
        effect = made;
        return log.spawned;
    };
    services.hold = [&log](Instance_Base*) { log.calls.push_back(L"hold"); };
    services.startAfterDelay = [&log](Instance_Base*, float delay)
    { log.calls.push_back(L"delay " + std::to_wstring(delay)); };
    services.update = [&log](Instance_Base*, float dt)
    {
        ++log.updates;
        log.lastStep = dt;
        return log.endAfter < 0 || log.updates < log.endAfter;
    };
    return services;
}

TEST_F(NuggetsOnInstances, EffectsAreSpawnedUnderMoviesOnceInPlace)
{
    EffectLog log;
    Instance_Base* effect = nullptr;
    SetEffectNuggetServices(recordingServices(log, effect, root));
    Definition_Base* menu =
        Nuggets(L"menu", "<EffectNugget><EffectName>sparks</EffectName><InstanceName>fx</InstanceName>"
                         "<EffectX>10</EffectX><EffectY>20</EffectY><SkipFrames>30</SkipFrames></EffectNugget>");
    Instance_Movie* movie = Make(L"menu", L"m");
    EXPECT_TRUE(log.calls.empty()) << "nothing before the movie is in place";
    PostApplyNuggets(menu->nuggets, movie);
    EXPECT_EQ(log.calls, (std::vector<std::wstring>{L"spawn sparks fx 10 20", L"hold"}));
    EXPECT_EQ(log.updates, 30) << "half a second of frames";
    EXPECT_FLOAT_EQ(log.lastStep, 0.016666668f);
    ASSERT_NE(effect, nullptr);

    // Auto-play with a delay; a huge frame skip is capped; an image gets nothing.
    ScopedClassName image("Instance_Image", SetupImage::StaticClass());
    log = {};
    menu = Nuggets(L"menu", "<EffectNugget><EffectName>rain</EffectName><AutoPlay>true</AutoPlay>"
                            "<SkipFrames>2000000000</SkipFrames><RandomStart>2.0</RandomStart></EffectNugget>");
    const float delay = RObjectCast<REffectNugget>(menu->nuggets.nuggets[0].get())->startDelay;
    EXPECT_GE(delay, 0.0f);
    EXPECT_LT(delay, 2.0f);
    PostApplyNuggets(menu->nuggets, Make(L"menu", L"n"));
    EXPECT_EQ(log.updates, REffectNugget::MaxSkipFrames);
    PostApplyNuggets(menu->nuggets, Make(L"menu", L"n2"));
    std::vector<std::wstring> expected = {L"spawn rain rain 0 0"};
    if (delay > 0.0f)
        expected.push_back(L"delay " + std::to_wstring(delay));
    const std::vector<std::wstring> once = expected;
    expected.insert(expected.end(), once.begin(), once.end());
    EXPECT_EQ(log.calls, expected) << "every instance waits the same";

    log = {};
    log.endAfter = 3;
    PostApplyNuggets(menu->nuggets, Make(L"menu", L"o"));
    EXPECT_EQ(log.updates, 3) << "an effect that ended is not stepped further";

    log = {};
    Definition_Base* pic = Nuggets(L"pic", "<EffectNugget><EffectName>rain</EffectName></EffectNugget>");
    Instance_Base* picture = pic->CreateInstance(L"p", nullptr);
    kept.emplace_back(picture);
    PostApplyNuggets(pic->nuggets, picture);
    EXPECT_TRUE(log.calls.empty());

    // A spawn that fails ends it there.
    log = {};
    EffectNuggetServices failing = recordingServices(log, effect, root);
    failing.spawn = [&log](const std::wstring&, Instance_Movie*, const std::wstring&, float, float)
    {
        log.calls.push_back(L"spawn");
        return InstanceHandle{};
    };
    SetEffectNuggetServices(failing);
    PostApplyNuggets(menu->nuggets, Make(L"menu", L"q"));
    EXPECT_EQ(log.calls, std::vector<std::wstring>{L"spawn"});
    EXPECT_EQ(log.updates, 0);
}

TEST_F(NuggetsOnInstances, LuaClassNuggetsGiveInstancesTablesOfTheirOwn)
{
    ASSERT_TRUE(Run("applied = {}"));
    Nuggets(L"menu", "<LuaClassNugget><LuaClassName>Instance_Movie</LuaClassName>"
                     "<LuaScriptText>speed = 5, OnLuaNuggetApply = function(self, p) "
                     "table.insert(applied, p.level) end</LuaScriptText>"
                     "<LuaClassParams>level = 3</LuaClassParams></LuaClassNugget>");
    Instance_Movie* first = Make(L"menu", L"first");
    Instance_Movie* second = Make(L"menu", L"second");
    SetGlobal("first", first);
    SetGlobal("second", second);
    ASSERT_TRUE(Run("first.speed = 7; kind = first.__type; same = rawequal(first, second)"));
    EXPECT_EQ(Global("kind"), "Instance_Movie");
    EXPECT_EQ(Global("same"), "false");
    ASSERT_TRUE(Run("speed = second.speed; count = #applied; level = applied[2]"));
    EXPECT_EQ(Global("speed"), "5") << "one compiled text, a table for each instance";
    EXPECT_EQ(Global("count"), "2");
    EXPECT_EQ(Global("level"), "3");

    // A class name alone; no parameters never calls the method.
    ASSERT_TRUE(Run("applied = {}"));
    Nuggets(L"other", "<LuaClassNugget><LuaClassName>Instance_Base</LuaClassName></LuaClassNugget>");
    Instance_Movie* plain = Make(L"other", L"plain");
    ASSERT_TRUE(plain->HasTable());
    SetGlobal("plain", plain);
    ASSERT_TRUE(Run("kind = plain.__type; count = #applied"));
    EXPECT_EQ(Global("kind"), "Instance_Base");
    EXPECT_EQ(Global("count"), "0");
}

TEST_F(NuggetsOnInstances, InvalidLuaGivesNoTableAndIsReportedOnce)
{
    CapturingLogger logger;
    Nuggets(L"menu", "<LuaClassNugget><LuaScriptText>speed = = 5</LuaScriptText>"
                     "<LuaClassParams>level = </LuaClassParams></LuaClassNugget>");
    Instance_Movie* first = Make(L"menu", L"first");
    Instance_Movie* second = Make(L"menu", L"second");
    EXPECT_FALSE(first->HasTable());
    EXPECT_FALSE(second->HasTable());
    EXPECT_EQ(logger.Count(L"Lua:"), 2u) << "each text is compiled once, for all instances";

    // Text that compiles but fails runs, and fails, for each instance.
    Nuggets(L"other", "<LuaClassNugget><LuaScriptText>speed = error('no speed')</LuaScriptText></LuaClassNugget>");
    Make(L"other", L"a");
    Make(L"other", L"b");
    EXPECT_EQ(logger.Count(L"Lua:"), 4u);
    EXPECT_FALSE(kept.back()->HasTable());
}

} // namespace
} // namespace DefinitionTest
