// The message box opened by game code and by scripts and answered through the user interface's
// input: which sides show, who is told and in what order, and the faults around a box that fades
// out while its listener goes or its caption is asked again.
#include "engine/core/text/StringTable.h"
#include "engine/scene/script/ScriptRegistry.h"
#include "engine/scene/widgets/Button.h"
#include "tests/game/ui/DialogFixture.h"

namespace GameUiTest
{
namespace
{

// Every receiver writes here, in the order it is told.
std::vector<std::string> g_told;

void recordingCallback(int32_t id, int32_t result)
{
    g_told.push_back("callback " + std::to_string(id) + " " + std::to_string(result));
}

class RecordingListener final : public UIMessageBoxListener
{
public:
    explicit RecordingListener(std::string name = "listener") : name(std::move(name)) {}
    void HandleMsgBox(int32_t id, int32_t result) override
    {
        g_told.push_back(name + " " + std::to_string(id) + " " + std::to_string(result));
    }
    std::string name;
};

int luaTell(lua_State* state)
{
    g_told.emplace_back(lua_tostring(state, 1));
    return 0;
}

class MessageBoxTest : public DialogFixture
{
protected:
    void SetUp() override
    {
        DialogFixture::SetUp();
        g_told.clear();
        keys = std::make_unique<StringTable>(StringTable::Keyed);
        files->files[L"translator_en.xml"] = "<t><r KEY=\"Yes\" VALUE=\"Yes!\"/><r KEY=\"No\" "
                                             "VALUE=\"No!\"/><r KEY=\"Ok\" VALUE=\"Fine\"/></t>";
        ASSERT_TRUE(keys->LoadTranslator(L"en"));
        lua_register(lua.GetState(), "tell", &luaTell);
        // The script receiver: "HandleMsgBox" tells its own name, the id and the result.
        ASSERT_TRUE(Run("receiver = {} function receiver:HandleMsgBox(id, result) "
                        "tell('table ' .. id .. ' ' .. result) end"));
    }

    void TearDown() override
    {
        DialogFixture::TearDown();
        keys.reset();
    }

    // Frames until the box takes input.
    void UntilOpen(Screen* box)
    {
        for (int i = 0; i < 100 && box->GetScreenState() != Screen::StateOpen; ++i)
            Tick();
        ASSERT_EQ(box->GetScreenState(), Screen::StateOpen);
    }

    Button* Side(UIMessageBox* box, const wchar_t* name) { return Child<Button>(box, name); }
    std::wstring TextOf(UIMessageBox* box, const wchar_t* name)
    {
        auto* text = Child<Instance_Text>(box, name);
        return text ? text->text : L"<none>";
    }

    // A box asked from a script with the table "receiver".
    UIMessageBox* ScriptBox(int id, const std::string& caption, const std::string& labels)
    {
        EXPECT_TRUE(Run("MsgBox(receiver, " + std::to_string(id) + ", '" + caption + "', 'message', " +
                        labels + ")"));
        Screen* top = screens->GetTopModalScreen();
        return top && top->GetScreenState() != Screen::StateFadingOut ? RObjectCast<UIMessageBox>(top)
                                                                      : nullptr;
    }

    std::unique_ptr<StringTable> keys;
};

TEST_F(MessageBoxTest, NullLabelsHideTheirSidesAndTheOthersShowTranslated)
{
    UIMessageBox* box =
        ShowMessageBox(nullptr, nullptr, 4, L"Leave?", L"Leave the game?", L"|T|Yes", nullptr, L"|T|No");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->name, L"Leave?");
    EXPECT_EQ(box->GetResult(), UIMessageBox::ResultNone);
    UntilOpen(box);
    EXPECT_EQ(TextOf(box, L"caption"), L"Leave?");
    EXPECT_EQ(TextOf(box, L"message"), L"Leave the game?");
    EXPECT_EQ(TextOf(box, L"lbl_left"), L"Yes!");
    EXPECT_EQ(TextOf(box, L"lbl_right"), L"No!");
    EXPECT_EQ(TextOf(box, L"lbl_center"), L"definition center") << "a null label leaves its text";
    const uint32_t vertical =
        Child<Instance_Text>(box, L"message")->textFormat & (eTextFormatVCenter | eTextFormatBottom);
    EXPECT_EQ(vertical, uint32_t(eTextFormatVCenter)) << "the message is centred vertically";
    for (const auto& [side, shown] :
         {std::pair{L"btn_left", true}, {L"btn_center", false}, {L"btn_right", true}})
    {
        SCOPED_TRACE(testing::Message() << std::string(side, side + wcslen(side)));
        ASSERT_NE(Side(box, side), nullptr);
        EXPECT_EQ(Side(box, side)->visible, shown);
        EXPECT_EQ(Side(box, side)->enabled, shown);
    }
}

TEST_F(MessageBoxTest, TheAnswerReachesCallbackListenerAndTableOnceAfterTheFade)
{
    RecordingListener listener;
    // All three receivers on one box: the script's question, then the set-up that adds a
    // callback and a listener and keeps the table.
    UIMessageBox* box = ScriptBox(7, "Quit?", "'|T|Yes', nil, '|T|No'");
    ASSERT_NE(box, nullptr);
    box->Setup(&recordingCallback, &listener, 7, L"Quit?", L"Quit now?", L"|T|Yes", nullptr, L"|T|No");
    UntilOpen(box);

    ClickOn(Side(box, L"btn_left"));
    EXPECT_EQ(box->GetResult(), UIMessageBox::ResultLeft);
    for (const wchar_t* side : {L"btn_left", L"btn_center", L"btn_right"})
        EXPECT_FALSE(Side(box, side)->enabled) << "all three are disabled at the press";
    EXPECT_TRUE(g_told.empty()) << "nobody hears before the fade";
    // A second click during the fade changes nothing.
    Tick();
    ClickOn(Side(box, L"btn_right"));
    EXPECT_EQ(box->GetResult(), UIMessageBox::ResultLeft);
    EXPECT_GT(TickUntilGone(box), 0);
    EXPECT_EQ(g_told, (std::vector<std::string>{"callback 7 0", "listener 7 0", "table 7 0"}));
}

// Keys come through the user interface as the window gives them: Enter answers with the first
// button shown, Escape with the right one; a box without that button stays open.
TEST_F(MessageBoxTest, EnterTakesTheFirstButtonShownAndEscapeTheRightOne)
{
    constexpr int none = -1;
    const struct
    {
        const wchar_t *left, *center, *right;
        uint32_t key;
        int answer;
    } cases[] = {
        {L"|T|Yes", nullptr, L"|T|No", Button::KeyEnter, UIMessageBox::ResultLeft},
        {L"|T|Yes", nullptr, L"|T|No", Button::KeyEscape, UIMessageBox::ResultRight},
        {nullptr, L"|T|Ok", nullptr, Button::KeyEnter, UIMessageBox::ResultCenter},
        {nullptr, L"|T|Ok", nullptr, Button::KeyEscape, none},
        {L"a", L"b", nullptr, Button::KeyEscape, none},
        {nullptr, nullptr, L"c", Button::KeyEnter, UIMessageBox::ResultRight},
        {L"|T|Yes", nullptr, L"|T|No", 'Y', none},
    };
    int id = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "case " << id);
        g_told.clear();
        RecordingListener listener;
        UIMessageBox* box = ShowMessageBox(nullptr, &listener, ++id, L"Keys", L"m", c.left, c.center, c.right);
        ASSERT_NE(box, nullptr);
        UntilOpen(box);
        ui->OnKeyDown(c.key);
        ui->OnKeyUp(c.key);
        if (c.answer == none)
        {
            Tick(5);
            EXPECT_EQ(box->GetScreenState(), Screen::StateOpen) << "no answer: the box stays";
            EXPECT_EQ(box->GetResult(), UIMessageBox::ResultNone);
            box->Close(false);
            EXPECT_GT(TickUntilGone(box), 0);
            EXPECT_TRUE(g_told.empty());
            continue;
        }
        EXPECT_EQ(box->GetResult(), c.answer);
        // Keys during the fade change nothing.
        ui->OnKeyDown(Button::KeyEnter);
        ui->OnKeyDown(Button::KeyEscape);
        EXPECT_EQ(box->GetResult(), c.answer);
        EXPECT_GT(TickUntilGone(box), 0);
        EXPECT_EQ(g_told, (std::vector<std::string>{"listener " + std::to_string(id) + " " +
                                                    std::to_string(c.answer)}));
    }
}

// A box under another modal screen leaves the keys to that screen.
TEST_F(MessageBoxTest, ABoxUnderAnotherModalScreenTakesNoKeys)
{
    UIMessageBox* lower = ShowMessageBox(nullptr, nullptr, 1, L"Lower", L"m", L"|T|Yes", nullptr, L"|T|No");
    UntilOpen(lower);
    UIMessageBox* upper = ShowMessageBox(nullptr, nullptr, 2, L"Upper", L"m", nullptr, L"|T|Ok", nullptr);
    UntilOpen(upper);
    ui->OnKeyDown(Button::KeyEscape);
    EXPECT_EQ(lower->GetResult(), UIMessageBox::ResultNone);
    ui->OnKeyDown(Button::KeyEnter);
    EXPECT_EQ(upper->GetResult(), UIMessageBox::ResultCenter);
    EXPECT_EQ(lower->GetResult(), UIMessageBox::ResultNone);
}

TEST_F(MessageBoxTest, TheSameCaptionWhileOpenReplacesTheReceivers)
{
    RecordingListener first("first"), second("second");
    UIMessageBox* box = ShowMessageBox(nullptr, &first, 1, L"Ask", L"one", L"a", nullptr, nullptr);
    UntilOpen(box);
    UIMessageBox* again =
        ShowMessageBox(&recordingCallback, &second, 2, L"Ask", L"two", nullptr, L"b", nullptr);
    ASSERT_EQ(again, box) << "the open box is set up again";
    EXPECT_EQ(box->GetId(), 2);
    EXPECT_EQ(box->GetResult(), UIMessageBox::ResultNone);
    EXPECT_EQ(TextOf(box, L"message"), L"two");
    EXPECT_FALSE(Side(box, L"btn_left")->enabled) << "the side the new question hides";
    EXPECT_TRUE(Side(box, L"btn_center")->visible);
    EXPECT_TRUE(Side(box, L"btn_center")->enabled) << "the side the first question hid";
    ClickOn(Side(box, L"btn_center"));
    EXPECT_GT(TickUntilGone(box), 0);
    EXPECT_EQ(g_told, (std::vector<std::string>{"callback 2 1", "second 2 1"}));
}

TEST_F(MessageBoxTest, TheSameCaptionWhileTheFirstFadesOutGetsABoxOfItsOwn)
{
    RecordingListener first("first"), second("second");
    UIMessageBox* box = ShowMessageBox(nullptr, &first, 1, L"Ask", L"one", L"a", nullptr, L"c");
    UntilOpen(box);
    ClickOn(Side(box, L"btn_right"));
    Tick();
    ASSERT_EQ(box->GetScreenState(), Screen::StateFadingOut);
    UIMessageBox* next = ShowMessageBox(nullptr, &second, 2, L"Ask", L"two", L"a", nullptr, L"c");
    ASSERT_NE(next, nullptr);
    ASSERT_NE(next, box);
    EXPECT_EQ(next->name, L"Ask");
    EXPECT_EQ(box->GetResult(), UIMessageBox::ResultRight) << "the first answer is kept";
    EXPECT_GT(TickUntilGone(box), 0);
    EXPECT_EQ(g_told, (std::vector<std::string>{"first 1 2"}));
    UntilOpen(next);
    EXPECT_TRUE(next->visible);
    ClickOn(Side(next, L"btn_left"));
    EXPECT_GT(TickUntilGone(next), 0);
    EXPECT_EQ(g_told, (std::vector<std::string>{"first 1 2", "second 2 0"}));
}

TEST_F(MessageBoxTest, AListenerDeletedDuringTheFadeIsNeverCalled)
{
    auto listener = std::make_unique<RecordingListener>();
    UIMessageBox* box =
        ShowMessageBox(&recordingCallback, listener.get(), 3, L"Gone", L"m", L"a", nullptr, nullptr);
    UntilOpen(box);
    ClickOn(Side(box, L"btn_left"));
    Tick();
    listener.reset();
    EXPECT_EQ(box->GetListener(), nullptr);
    EXPECT_GT(TickUntilGone(box), 0);
    EXPECT_EQ(g_told, (std::vector<std::string>{"callback 3 0"}));
}

TEST_F(MessageBoxTest, ABoxWithoutButtonsClosedByAScriptTellsNobodyAndWarnsOnce)
{
    RecordingListener listener;
    UIMessageBox* box =
        ShowMessageBox(&recordingCallback, &listener, 5, L"Stuck", L"m", nullptr, nullptr, nullptr);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(LogLines(L"has no button"), 1u);
    UntilOpen(box);
    for (const wchar_t* side : {L"btn_left", L"btn_center", L"btn_right"})
        EXPECT_FALSE(Side(box, side)->enabled);
    ASSERT_TRUE(Run("g_ScreenMgr2:CloseScreen('Stuck', false)"));
    EXPECT_GT(TickUntilGone(box), 0);
    EXPECT_TRUE(g_told.empty());
}

TEST_F(MessageBoxTest, AScriptErrorInHandleMsgBoxComesAfterTheOtherReceivers)
{
    RecordingListener listener;
    ASSERT_TRUE(
        Run("failing = {} function failing:HandleMsgBox(id, result) tell('table') error('boom') end"));
    LuaStrongTable table;
    lua_getglobal(lua.GetState(), "failing");
    LuaTableRefFromStack(lua.GetState(), table, -1);
    lua_pop(lua.GetState(), 1);
    UIMessageBox* box = ShowScriptMessageBox(9, L"Err", L"m", L"a", nullptr, nullptr, table);
    ASSERT_NE(box, nullptr);
    box->Setup(&recordingCallback, &listener, 9, L"Err", L"m", L"a", nullptr, nullptr);
    UntilOpen(box);
    ClickOn(Side(box, L"btn_left"));
    EXPECT_GT(TickUntilGone(box), 0);
    EXPECT_EQ(g_told, (std::vector<std::string>{"callback 9 0", "listener 9 0", "table"}));
    EXPECT_EQ(LogLines(L"boom"), 1u) << "reported by the script error handler";
}

TEST_F(MessageBoxTest, ADefinitionThatIsNoMessageBoxGivesNull)
{
    RecordingListener listener;
    // "dlg_msgbox" as a plain screen.
    ASSERT_TRUE(DefinitionTest::LoadFile(
        *ui->GetDefinitionMap(),
        "<D><Definition type=\"movie\" name=\"dlg_msgbox\" length=\"1\" fps=\"30\"/></D>"));
    std::unique_ptr<XmlNode> meta = DefinitionTest::Parse(
        "<M><Definition "
        "name=\"dlg_msgbox\"><Nuggets><MovieClassNugget><MovieClassName>Screen</MovieClassName>"
        "</MovieClassNugget></Nuggets></Definition></M>");
    LoadDefinitionsXml(*meta, *ui->GetDefinitionMap());
    EXPECT_EQ(ShowMessageBox(&recordingCallback, &listener, 1, L"Q", L"m", L"a", nullptr, nullptr), nullptr);
    Tick(30);
    EXPECT_TRUE(g_told.empty());
}

class NoDialogs : public MessageBoxTest
{
protected:
    void SetUp() override
    {
        loadDialogs = false;
        MessageBoxTest::SetUp();
    }
};

TEST_F(NoDialogs, WithoutTheDefinitionNothingOpens)
{
    RecordingListener listener;
    EXPECT_EQ(ShowMessageBox(&recordingCallback, &listener, 1, L"Q", L"m", L"a", nullptr, nullptr), nullptr);
    EXPECT_TRUE(Run("MsgBox(receiver, 1, 'Q', 'm', 'a', nil, nil)"));
    Tick(30);
    EXPECT_TRUE(screens->GetOpenScreens().empty());
    EXPECT_TRUE(g_told.empty());
}

TEST_F(MessageBoxTest, ADefinitionMissingChildrenKeepsTheOtherSidesWorking)
{
    // Without "lbl_center" and "btn_right".
    std::string text = ReadGameTestFile("dialogs.xml");
    for (const char* child : {"lbl_center", "btn_right"})
    {
        const size_t at = text.find(std::string("instancename=\"") + child + "\"");
        ASSERT_NE(at, std::string::npos);
        const size_t start = text.rfind("<Instance", at);
        const size_t end = text.find("</Instance>", at) + std::string("</Instance>").size();
        text.erase(start, end - start);
    }
    LoadDialogs(text);
    RecordingListener listener;
    UIMessageBox* box = ShowMessageBox(nullptr, &listener, 6, L"Part", L"m", L"a", L"b", L"c");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(LogLines(L"lacks lbl_center, btn_right"), 1u);
    UntilOpen(box);
    EXPECT_EQ(TextOf(box, L"lbl_left"), L"a");
    EXPECT_TRUE(Side(box, L"btn_center")->enabled);
    ClickOn(Side(box, L"btn_center"));
    EXPECT_GT(TickUntilGone(box), 0);
    EXPECT_EQ(g_told, (std::vector<std::string>{"listener 6 1"}));
}

TEST_F(MessageBoxTest, MsgBoxReadsItsArgumentsOrDoesNothing)
{
    struct Case
    {
        const char* call;
        bool opens;
    };
    const Case cases[] = {
        {"MsgBox(receiver, 1, 'A', 'm', 'Yes', nil, 'No')", true},
        {"MsgBox(receiver, 1, nil, nil, nil, nil, nil)", true},
        {"MsgBox('receiver', 1, 'A', 'm', 'Yes', nil, 'No')", false},
        {"MsgBox(receiver, '1', 'A', 'm', 'Yes', nil, 'No')", false},
        {"MsgBox(receiver, 1, 'A', true, 'Yes', nil, 'No')", false},
        {"MsgBox(receiver, 1, 'A', 'm', 'Yes', false, 'No')", false},
        {"MsgBox()", false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.call);
        const size_t before = screens->GetOpenScreens().size();
        EXPECT_TRUE(Run(std::string("ok = pcall(function() ") + c.call + " end)"));
        EXPECT_EQ(Global("ok"), "true") << "no script error";
        EXPECT_EQ(screens->GetOpenScreens().size(), before + (c.opens ? 1 : 0));
        while (!screens->GetOpenScreens().empty())
        {
            Screen* open = screens->GetOpenScreens().back();
            open->Close(false);
            TickUntilGone(open);
        }
    }
}

TEST_F(MessageBoxTest, ScriptLabelsHideEmptySidesAndKeepUtf8)
{
    // The script text is UTF-8, written with byte escapes: "Größe", "Ωμέγα ✓" and "Jä".
    UIMessageBox* box = ScriptBox(2, "Gr\\195\\182\\195\\159e",
                                  "'\\206\\169\\206\\188\\206\\173\\206\\179\\206\\177 \\226\\156\\147', "
                                  "'J\\195\\164', '', nil");
    ASSERT_NE(box, nullptr);
    UntilOpen(box);
    EXPECT_EQ(box->name, L"Größe");
    EXPECT_EQ(TextOf(box, L"caption"), L"Größe");
    EXPECT_EQ(TextOf(box, L"message"), L"message");
    EXPECT_EQ(TextOf(box, L"lbl_left"), L"Ωμέγα ✓");
    EXPECT_EQ(TextOf(box, L"lbl_center"), L"Jä");
    EXPECT_TRUE(Side(box, L"btn_left")->enabled);
    EXPECT_TRUE(Side(box, L"btn_center")->enabled);
    EXPECT_FALSE(Side(box, L"btn_right")->visible) << "the empty string hides";
    ClickOn(Side(box, L"btn_center"));
    EXPECT_GT(TickUntilGone(box), 0);
    EXPECT_EQ(g_told, (std::vector<std::string>{"table 2 1"}));
}

TEST_F(MessageBoxTest, TheButtonNumbersAreScriptConstants)
{
    for (const auto& [name, value] : {std::pair{"MB_LEFT", "0"}, {"MB_CENTER", "1"}, {"MB_RIGHT", "2"}})
    {
        const std::string* body = FindSystemMacro(name);
        ASSERT_NE(body, nullptr) << name;
        EXPECT_EQ(*body, value);
    }
}

} // namespace
} // namespace GameUiTest
