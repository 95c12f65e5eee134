// What the game relies on of the scene layer, checked on the running
// engine: member-by-member XML state, fields of held script tables, the
// partial-name lookup, the order of a screen's set-up after it is opened,
// the per-frame step of movies and the clock channels, and the boolean words
// of the XML reader.
#include "tests/game/GameFixture.h"

#include "engine/core/text/TextConversion.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/classes/SerialXMLClass.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/ui/Screen.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"

#include <algorithm>
#include <climits>
#include <cwctype>

using namespace TarnEngine;

// A screen that notes, in its set-up hook, the owner its opener handed it.
class OwnedScreen final : public Screen
{
    TARN_RCLASS(OwnedScreen)
    TARN_LUA_CLASS("OwnedScreen")
public:
    void OnScreenLoaded() override { ownerAtSetup = owner; }
    static void RegisterLua(lua_State* state)
    {
        LuaClassDef def(state);
        def.AddParent(Screen::StaticScriptName());
        def.Build(StaticScriptName());
    }
    void* owner = nullptr;
    void* ownerAtSetup = reinterpret_cast<void*>(1);
};
TARN_IMPLEMENT_RINSTANCECLASS(OwnedScreen, Screen, RObjectFactory<OwnedScreen>, L"OwnedScreen",
                              &OwnedScreen::RegisterLua)

// A movie that records the steps of its per-frame hook.
class SteppedMovie final : public Instance_Movie
{
    TARN_RCLASS(SteppedMovie)
    TARN_LUA_CLASS("SteppedMovie")
public:
    void OnFrameUpdate(float dt) override { steps.push_back(dt); }
    static void RegisterLua(lua_State* state)
    {
        LuaClassDef def(state);
        def.AddParent(Instance_Movie::StaticScriptName());
        def.Build(StaticScriptName());
    }
    std::vector<float> steps;
};
TARN_IMPLEMENT_RINSTANCECLASS(SteppedMovie, Instance_Movie, RObjectFactory<SteppedMovie>, L"SteppedMovie",
                              &SteppedMovie::RegisterLua)

namespace
{

std::unique_ptr<XmlNode> ParseXmlText(const std::wstring& text)
{
    auto node = std::make_unique<XmlNode>();
    if (!TarnEngine::ParseXmlText(*node, WStringToUtf8(text).c_str(), false))
        return nullptr;
    return node;
}

// The state of an item as a game class keeps it.
class ItemState final : public SerialXMLClass
{
public:
    std::wstring name;
    int32_t state = 0;
    uint32_t flags = 0;
    bool found = false;
    std::vector<int32_t> order;
    std::vector<std::wstring> words;
    std::vector<bool> marks;
    LuaStrongTable table;

protected:
    void DescribeMembers(SerialMembers& members) override
    {
        members.Add(L"name", name);
        members.Add(L"state", state);
        members.Add(L"flags", flags);
        members.Add(L"found", found);
        members.Add(L"order", order);
        members.Add(L"words", words);
        members.Add(L"marks", marks);
        members.Add(L"table", table);
    }
};

class SceneContractTest : public GameFixture
{
public:
    void SetUp() override
    {
        GameFixture::SetUp();
        OwnedScreen::StaticClass();
        SteppedMovie::StaticClass();
        // A current profile: the menu, and no modal screen that would pause the game.
        WriteProfileFile("Ann", "<PROFILE NAME=\"Ann\"/>");
        ASSERT_TRUE(Start());
    }
};

TEST_F(SceneContractTest, SerialXmlWritesMembersByNameAndReadsThemBack)
{
    ItemState item;
    item.name = L"lantern";
    item.state = -7;
    item.flags = 0x80000001u;
    item.found = true;
    item.order = {3, 1, 2};
    item.words = {L"a", L"", L"c"};
    item.marks = {true, false};
    ASSERT_TRUE(Lua("__item_table = { count = 4, label = 'shelf' }"));
    lua_State* state = LuaBinding::GetState();
    lua_getglobal(state, "__item_table");
    item.table.SetReference(state, -1);
    lua_pop(state, 1);

    XmlNode node(L"ITEM");
    ASSERT_TRUE(item.Save(node));
    const XmlNode* scalar = node.FindChild(L"state");
    ASSERT_NE(scalar, nullptr);
    EXPECT_EQ(scalar->GetStringAttribute(L"value", L""), L"-7");
    EXPECT_EQ(scalar->GetStringAttribute(L"type", L""), L"int");
    EXPECT_EQ(node.FindChild(L"name")->GetStringAttribute(L"type", L""), L"String");
    EXPECT_EQ(node.FindChild(L"flags")->GetStringAttribute(L"type", L""), L"uint");
    EXPECT_EQ(node.FindChild(L"found")->GetStringAttribute(L"value", L""), L"1");
    EXPECT_EQ(node.FindChild(L"found")->GetStringAttribute(L"type", L""), L"bool");
    // An empty value is left out.
    EXPECT_EQ(node.FindChild(L"words")->FindChild(L"words1")->FindAttribute(L"value"), nullptr);
    EXPECT_NE(node.FindChild(L"order")->FindChild(L"order2"), nullptr);

    // The text form, with names in another case, reads back into a fresh object.
    const std::wstring text = WriteXmlText(node);
    std::wstring shouted = text;
    for (const wchar_t* name : {L"<state ", L"<order0 ", L"<name "})
    {
        const size_t at = shouted.find(name);
        ASSERT_NE(at, std::wstring::npos);
        std::transform(shouted.begin() + std::ptrdiff_t(at) + 1, shouted.begin() + std::ptrdiff_t(at + wcslen(name)) - 1,
                       shouted.begin() + std::ptrdiff_t(at) + 1, ::towupper);
    }
    const std::unique_ptr<XmlNode> reread = ParseXmlText(shouted);
    ASSERT_NE(reread, nullptr);
    ItemState copy;
    ASSERT_TRUE(copy.Load(*reread));
    EXPECT_EQ(copy.name, L"lantern");
    EXPECT_EQ(copy.state, -7);
    EXPECT_EQ(copy.flags, 0x80000001u);
    EXPECT_TRUE(copy.found);
    EXPECT_EQ(copy.order, (std::vector<int32_t>{3, 1, 2}));
    EXPECT_EQ(copy.words, (std::vector<std::wstring>{L"a", L"", L"c"}));
    EXPECT_EQ(copy.marks, (std::vector<bool>{true, false}));
    int32_t count = 0;
    std::wstring label;
    EXPECT_TRUE(copy.table.GetFieldValue("count", count));
    EXPECT_TRUE(copy.table.GetFieldValue("label", label));
    EXPECT_EQ(count, 4);
    EXPECT_EQ(label, L"shelf");
}

TEST_F(SceneContractTest, SerialXmlKeepsMembersWhoseValueDoesNotRead)
{
    struct Case
    {
        const char* xml;
        bool loads;
        int32_t state;
        bool found;
    };
    const Case cases[] = {
        {"<ITEM><state value='12' type='int'/></ITEM>", true, 12, false},
        {"<ITEM/>", true, 5, false},
        {"<ITEM><state value='abc' type='int'/></ITEM>", false, 5, false},
        {"<ITEM><state value='99999999999' type='int'/></ITEM>", false, 5, false},
        {"<ITEM><state value='3x' type='int'/></ITEM>", false, 5, false},
        {"<ITEM><found value='yes' type='bool'/></ITEM>", true, 5, true},
        {"<ITEM><found value='maybe' type='bool'/></ITEM>", false, 5, false},
        {"<ITEM><order><order0 value='1'/><order2 value='3'/></order></ITEM>", true, 5, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.xml);
        std::string text = c.xml;
        std::replace(text.begin(), text.end(), '\'', '"');
        const std::unique_ptr<XmlNode> node = ParseXmlText(std::wstring(text.begin(), text.end()));
        ASSERT_NE(node, nullptr);
        ItemState item;
        item.state = 5;
        EXPECT_EQ(item.Load(*node), c.loads);
        EXPECT_EQ(item.state, c.state);
        EXPECT_EQ(item.found, c.found);
    }
    // A vector stops at its first gap.
    const std::unique_ptr<XmlNode> gap =
        ParseXmlText(L"<ITEM><order><order0 value=\"1\"/><order2 value=\"3\"/></order></ITEM>");
    ItemState item;
    ASSERT_TRUE(item.Load(*gap));
    EXPECT_EQ(item.order, std::vector<int32_t>{1});
}

TEST_F(SceneContractTest, TableFieldsReadIntegersAndStrings)
{
    ASSERT_TRUE(Lua("__fields = setmetatable({ n = 7, big = 2^40, frac = 1.5, s = 'élan', num = '12', nan = 0/0 },"
                    " { __index = function() error('no') end })"));
    lua_State* state = LuaBinding::GetState();
    lua_getglobal(state, "__fields");
    LuaStrongTable table;
    table.SetReference(state, -1);
    lua_pop(state, 1);
    const int top = lua_gettop(state);
    int32_t number = -1;
    EXPECT_TRUE(table.GetFieldValue("n", number));
    EXPECT_EQ(number, 7);
    EXPECT_TRUE(table.GetFieldValue("num", number));
    EXPECT_EQ(number, 12);
    number = -1;
    for (const char* bad : {"big", "frac", "s", "nan", "missing"})
        EXPECT_FALSE(table.GetFieldValue(bad, number)) << bad;
    EXPECT_EQ(number, -1);
    std::wstring text;
    EXPECT_TRUE(table.GetFieldValue("s", text));
    EXPECT_EQ(text, L"\u00e9lan");
    EXPECT_TRUE(table.GetFieldValue("n", text));
    EXPECT_EQ(text, L"7");
    EXPECT_FALSE(table.GetFieldValue("missing", text));
    EXPECT_EQ(lua_gettop(state), top);
    EXPECT_EQ(LuaString("type(__fields.n)"), "number"); // read without changing the field
}

TEST_F(SceneContractTest, PartialNamesAreFoundAtAnyDepthIgnoringCase)
{
    Instance_Movie* root = UserInterface::Get()->GetRoot();
    const InstanceHandle outer = Instance_Movie::CreateChildFromDefault(root, L"Credits_Pad");
    auto* outerMovie = static_cast<Instance_Movie*>(outer.GetInstance());
    const InstanceHandle inner = Instance_Movie::CreateChildFromDefault(outerMovie, L"line_PAD_2");
    Instance_Movie::CreateChildFromDefault(static_cast<Instance_Movie*>(inner.GetInstance()), L"deep_pad");
    Instance_Movie::CreateChildFromDefault(outerMovie, L"other");
    std::vector<InstanceHandle> found;
    root->CollectChildrenByPartialName(found, L"PaD");
    std::vector<std::wstring> names;
    for (const InstanceHandle& handle : found)
        names.push_back(handle.GetInstance()->name);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Credits_Pad", L"line_PAD_2", L"deep_pad"}));
}

TEST_F(SceneContractTest, AnOwnerHandedOverRightAfterOpeningIsThereAtSetUp)
{
    const InstanceHandle handle =
        _ScreenMgr::Get()->ShowScreen(L"scr_prologue", L"OwnedScreen", L"owned", true, true);
    auto* screen = RObjectCast<OwnedScreen>(static_cast<RObject*>(handle.GetInstance()));
    ASSERT_NE(screen, nullptr);
    int owner = 0;
    screen->owner = &owner;
    // Set-up (and attach) waits for the screen's first update.
    EXPECT_EQ(screen->ownerAtSetup, reinterpret_cast<void*>(1));
    Frame();
    EXPECT_EQ(screen->ownerAtSetup, &owner);
}

TEST_F(SceneContractTest, AMoviesStepFollowsItsClockChannelAndStopsWhileItIsPaused)
{
    Instance_Movie* root = UserInterface::Get()->GetRoot();
    const InstanceHandle handle = Instance_Movie::CreateInstanceByClassName(root, L"", L"stepped", L"SteppedMovie");
    auto* movie = RObjectCast<SteppedMovie>(static_cast<RObject*>(handle.GetInstance()));
    ASSERT_NE(movie, nullptr);
    movie->SetTimeChannel(1);
    Frames(3);
    ASSERT_GE(movie->steps.size(), 2u);
    for (float step : movie->steps)
        EXPECT_NEAR(step, 0.017f, 1e-6f);
    const size_t stepped = movie->steps.size();
    // The game channel paused: its step is 0 and the hook is not called.
    TimeManager::Get()->SetPaused(1, true);
    foreground = false; // keeps the game object from resuming it
    Frame(17);
    EXPECT_EQ(TimeManager::Get()->GetClock(1).delta, 0u);
    EXPECT_EQ(movie->steps.size(), stepped);
    // The real-time channel still steps.
    movie->SetTimeChannel(0);
    Frame(17);
    EXPECT_EQ(movie->steps.size(), stepped + 1);
}

TEST(XmlBoolWordsTest, TheEngineReadsTheBooleanWords)
{
    // The words the game's files and settings use, in any case; an absent attribute gives the
    // default. (Other text reads as false whatever the default: the game passes false as the
    // default wherever it reads a flag.)
    const std::pair<const wchar_t*, bool> cases[] = {{L"true", true}, {L"T", true},   {L"yes", true}, {L"Y", true},
                                                     {L"1", true},    {L"FALSE", false}, {L"f", false}, {L"No", false},
                                                     {L"n", false},   {L"0", false}};
    for (const auto& [text, expected] : cases)
    {
        XmlNode node(L"n");
        node.SetAttribute(L"a", text);
        for (const bool defaultValue : {true, false})
            EXPECT_EQ(node.GetBoolAttribute(L"a", defaultValue), expected)
                << std::string(text, text + wcslen(text)) << " with default " << defaultValue;
    }
    XmlNode empty(L"n");
    EXPECT_TRUE(empty.GetBoolAttribute(L"missing", true));
    EXPECT_FALSE(empty.GetBoolAttribute(L"missing", false));
}

} // namespace
