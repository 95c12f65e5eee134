// The Dudude puzzle: parsing of its two strings, the board's set-up (fixed and rollable cells, the
// targets, every way it stays inert), rolling by button presses, the sums' colours, the win and its
// event, and the script function that places the board.
#include "tests/game/minigames/MiniGameFixture.h"

#include "engine/core/base/RandomGenerator.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "engine/scene/widgets/Button.h"
#include "game/core/Core.h"
#include "game/minigames/OctaneAnimController.h"
#include "game/minigames/OctaneBoard.h"

#include <set>

using namespace TarnEngine;

namespace
{

// ---- Parsing.

TEST(DududeParsing, NumbersTakeTheirBaseFromThePrefix)
{
    const std::pair<const wchar_t*, int32_t> cases[] = {
        {L"0x1F", 31}, {L"017", 15}, {L" 42 ", 42}, {L"-3", -3}, {L"abc", 0}, {L"7up", 7}, {L"", 0},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(OctaneBoard::ParseNumber(text), value) << std::string(text, text + std::wcslen(text));
}

TEST(DududeParsing, ValueItemsFillAtMostTwelveCells)
{
    std::vector<std::vector<int32_t>> items;
    bool extra = false;
    EXPECT_TRUE(OctaneBoard::ParseValues(L" ; 4 ; 3, 5 ,7;0x1F", items, extra));
    EXPECT_EQ(items, (std::vector<std::vector<int32_t>>{{4}, {3, 5, 7}, {31}}));
    EXPECT_FALSE(extra);

    std::wstring thirteen;
    for (int i = 0; i < 13; ++i)
        thirteen += (i ? L";" : L"") + std::to_wstring(i);
    EXPECT_TRUE(OctaneBoard::ParseValues(thirteen, items, extra));
    EXPECT_EQ(items.size(), 12u);
    EXPECT_EQ(items[11], std::vector<int32_t>{11});
    EXPECT_TRUE(extra);

    for (const wchar_t* bad : {L"", L" ; ", L"1;3,5;2", L"1;;2"})
        EXPECT_FALSE(OctaneBoard::ParseValues(bad, items, extra));
}

TEST(DududeParsing, TargetsAreExactlySeven)
{
    std::vector<std::wstring> texts;
    std::vector<int32_t> values;
    EXPECT_TRUE(OctaneBoard::ParseTargets(L"6, 6,8,5,5,5,0x05", texts, values));
    EXPECT_EQ(values, (std::vector<int32_t>{6, 6, 8, 5, 5, 5, 5}));
    EXPECT_EQ(texts[6], L"0x05");
    EXPECT_FALSE(OctaneBoard::ParseTargets(L"1,2,3,4,5,6", texts, values));
    EXPECT_FALSE(OctaneBoard::ParseTargets(L"1,2,3,4,5,6,7,8", texts, values));
    EXPECT_FALSE(OctaneBoard::ParseTargets(L"Dudude Const Values", texts, values));
}

TEST(DududeParsing, IndicesWrapAndAnEmptyListStays)
{
    EXPECT_EQ(OctaneBoard::NextIndex(2, 3, false), 0u);
    EXPECT_EQ(OctaneBoard::NextIndex(1, 3, false), 2u);
    EXPECT_EQ(OctaneBoard::NextIndex(0, 3, true), 2u);
    EXPECT_EQ(OctaneBoard::NextIndex(1, 3, true), 0u);
    EXPECT_EQ(OctaneBoard::NextIndex(0, 0, true), 0u);
    EXPECT_EQ(OctaneBoard::NextIndex(0, 0, false), 0u);
    EXPECT_EQ(OctaneBoard::NextIndex(9, 3, true), 2u);
}

TEST(DududeParsing, OnlyNamesInsideTheGridAct)
{
    uint32_t r = 9, c = 9;
    EXPECT_TRUE(OctaneBoard::ParseCellName(L"cont_2_3", L"cont", r, c));
    EXPECT_EQ(r, 2u);
    EXPECT_EQ(c, 3u);
    for (const wchar_t* name : {L"cont_-1_2", L"cont_a_b", L"cont_3_0", L"cont_0_4", L"cont_1_2_3", L"cont_1",
                                L"anim_1_1", L"cont__1", L"cont_4294967296_0"})
        EXPECT_FALSE(OctaneBoard::ParseCellName(name, L"cont", r, c))
            << std::string(name, name + std::wcslen(name));
}

// ---- The board on the game.

// Every row and every column has a rollable cell of 3, 5, 7; the rest are 1; all rollables at 3 solve
// it, which is never where they start.
const char* const kSolvable = "3,5,7;1;1;1; 1;3,5,7;1;1; 1;1;3,5,7;3,5,7";
const char* const kSolvableTargets = "6,6,8,5,5,5,5";

class Dudude : public MiniGameFixture
{
public:
    bool StartWith(const char* anim, const char* consts, const std::vector<std::string>& leaveOut = {})
    {
        WriteOctaneContent(leaveOut);
        std::map<std::string, std::string> strings;
        if (anim)
            strings["Dudude Anim Values"] = anim;
        if (consts)
            strings["Dudude Const Values"] = consts;
        SetStrings(strings);
        if (!StartInMenu())
            return false;
        ClearScriptEvents();
        return Game().EnsureLibraryLoaded(L"octane");
    }

    // A board made under the root with the generator seeded; its set-up runs on the next frame.
    OctaneBoard* Make(uint32_t seed = 1)
    {
        RandomGenerator::ForThread().Seed(seed);
        const InstanceHandle made =
            Instance_Movie::CreateChild(UserInterface::Get()->GetRoot(), L"mov_octane_board",
                                        L"octane_" + std::to_wstring(serial++), nullptr);
        Frame();
        return RObjectCast<OctaneBoard>(made.GetInstance());
    }

    static Instance_Text* Label(OctaneBoard* board, const std::wstring& name)
    {
        return RObjectCast<Instance_Text>(board->FindChildByPath(name).GetInstance());
    }

    static std::wstring Shown(OctaneBoard* board, uint32_t r, uint32_t c)
    {
        Instance_Text* upper = board->GetRoller(r, c)->GetUpper();
        Instance_Text* lower = board->GetRoller(r, c)->GetLower();
        if (!upper || !lower)
            return L"<none>";
        return upper->text == lower->text ? upper->text : upper->text + L"|" + lower->text;
    }

    // Presses a cell's button and lets the roll finish.
    void Press(OctaneBoard* board, uint32_t r, uint32_t c, bool up)
    {
        OctaneBoard::OctaneBtnContainer* buttons = board->GetButtons(r, c);
        auto* button =
            RObjectCast<Button>(buttons->FindChildByPath(up ? L"btn_up" : L"btn_down").GetInstance());
        ASSERT_NE(button, nullptr);
        buttons->HandleButtonPressed(button);
        for (int i = 0; i < 60 && board->GetRoller(r, c)->IsRolling(); ++i)
            Frame();
        Frame();
    }

    uint32_t Current(OctaneBoard* board, uint32_t r, uint32_t c) { return board->GetCell(r, c)->current; }

    uint32_t serial = 0;
};

TEST_F(Dudude, FixedAndRollableCellsAndRedTargets)
{
    ASSERT_TRUE(StartWith("4;3,5,7", "0,0,0,0,0,0, 0x1F"));
    std::set<int32_t> starts;
    for (uint32_t seed = 1; seed <= 12; ++seed)
    {
        OctaneBoard* board = Make(seed);
        ASSERT_NE(board, nullptr);
        ASSERT_EQ(board->GetState(), OctaneBoard::StatePlaying);
        // The fixed cell: blue digits showing its number, its buttons hidden and disabled.
        EXPECT_EQ(board->CellValue(0, 0), 4);
        EXPECT_EQ(Shown(board, 0, 0), L"4");
        EXPECT_EQ(board->GetRoller(0, 0)->GetUpper()->colour, OctaneBoard::Blue);
        EXPECT_FALSE(board->GetButtons(0, 0)->visible);
        EXPECT_FALSE(board->GetButtons(0, 0)->enabled);
        // The rollable one starts on its second or third number, in black.
        const int32_t start = board->CellValue(0, 1);
        EXPECT_TRUE(start == 5 || start == 7) << start;
        EXPECT_EQ(Shown(board, 0, 1), std::to_wstring(start));
        EXPECT_EQ(board->GetRoller(0, 1)->GetLower()->colour, OctaneBoard::Black);
        starts.insert(start);
        // Cells without values count -1.
        EXPECT_EQ(board->CellValue(2, 3), -1);
        // The targets: red, as written.
        for (const wchar_t* name : {L"lbl_0_x", L"lbl_2_x", L"lbl_x_0", L"lbl_x_3"})
            EXPECT_EQ(Label(board, name)->colour, OctaneBoard::Red);
        EXPECT_EQ(Label(board, L"lbl_x_3")->text, L"0x1F");
        EXPECT_EQ(board->GetTargets()[6].target, 31);
    }
    EXPECT_EQ(starts, (std::set<int32_t>{5, 7}));
}

TEST_F(Dudude, TargetsStartRedEvenWhenTheSumsAreAlreadyRight)
{
    ASSERT_TRUE(StartWith("1;1;1;1; 1;1;1;1; 1;1;1;1", "4,4,4,3,3,3,3"));
    OctaneBoard* board = Make();
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(board->GetState(), OctaneBoard::StatePlaying);
    for (const OctaneBoard::Target& target : board->GetTargets())
        EXPECT_EQ(RObjectCast<Instance_Text>(target.label.GetInstance())->colour, OctaneBoard::Red);
    EXPECT_TRUE(ScriptEvents("MinigameComplete").empty());
}

TEST_F(Dudude, RollingWrapsThroughTheListAndARollBlocksItsCell)
{
    ASSERT_TRUE(StartWith("3,5,7", "0,0,0,0,0,0,0"));
    bool sawFive = false, sawSeven = false;
    for (uint32_t seed = 1; seed <= 12 && !(sawFive && sawSeven); ++seed)
    {
        OctaneBoard* board = Make(seed);
        ASSERT_NE(board, nullptr);
        const int32_t start = board->CellValue(0, 0);
        if (start == 7)
        {
            sawSeven = true;
            Press(board, 0, 0, false);
        }
        else
        {
            sawFive = true;
            Press(board, 0, 0, true);
        }
        EXPECT_EQ(board->CellValue(0, 0), 3);
        EXPECT_EQ(Shown(board, 0, 0), L"3");
    }
    EXPECT_TRUE(sawFive && sawSeven);

    // A press while the cell rolls is ignored.
    OctaneBoard* board = Make(3);
    OctaneBoard::OctaneBtnContainer* buttons = board->GetButtons(0, 0);
    auto* down = RObjectCast<Button>(buttons->FindChildByPath(L"btn_down").GetInstance());
    const uint32_t before = Current(board, 0, 0);
    buttons->HandleButtonPressed(down);
    ASSERT_TRUE(board->GetRoller(0, 0)->IsRolling());
    buttons->HandleButtonPressed(down);
    buttons->HandleButtonPressed(down);
    EXPECT_EQ(Current(board, 0, 0), OctaneBoard::NextIndex(before, 3, false));
}

TEST_F(Dudude, CellsWithoutValuesRollToMinusOne)
{
    ASSERT_TRUE(StartWith("3,5,7;4", "0,0,0,0,0,0,0"));
    OctaneBoard* board = Make();
    ASSERT_NE(board, nullptr);
    ASSERT_EQ(board->GetState(), OctaneBoard::StatePlaying);
    Press(board, 1, 2, false);
    EXPECT_EQ(Current(board, 1, 2), 0u);
    EXPECT_EQ(board->CellValue(1, 2), -1);
    EXPECT_EQ(Shown(board, 1, 2), L"-1");
    Press(board, 1, 2, true);
    EXPECT_EQ(Current(board, 1, 2), 0u);
}

TEST_F(Dudude, TheAnimKeyMissingGivesAFixedZeroAndThirteenItemsUseTwelve)
{
    ASSERT_TRUE(StartWith(nullptr, "0,0,0,0,0,0,0"));
    OctaneBoard* board = Make();
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(board->GetState(), OctaneBoard::StatePlaying);
    EXPECT_EQ(board->CellValue(0, 0), 0);
    EXPECT_FALSE(board->GetButtons(0, 0)->visible);
    EXPECT_EQ(board->CellValue(0, 1), -1);
    Stop();

    TearDown();
    SetUp();
    ASSERT_TRUE(StartWith("1;2;3;4;5;6;7;8;9;10;11;12;13", "0,0,0,0,0,0,0"));
    board = Make();
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(board->GetState(), OctaneBoard::StatePlaying);
    EXPECT_EQ(board->CellValue(2, 3), 12);
}

TEST_F(Dudude, ABoardWithoutAllItsPartsStaysInert)
{
    struct Case
    {
        const char* anim;
        const char* consts;
        std::vector<std::string> leaveOut;
    };
    const Case cases[] = {
        {"3,5", "0,0,0,0,0,0,0", {}},
        {"4;3,5;4", "0,0,0,0,0,0,0", {}},
        {kSolvable, "6,6,8,5,5,5", {}},
        {kSolvable, "6,6,8,5,5,5,5,5", {}},
        {kSolvable, nullptr, {}},
        {kSolvable, kSolvableTargets, {"cont_1_2"}},
        {kSolvable, kSolvableTargets, {"anim_2_3"}},
        {kSolvable, kSolvableTargets, {"lbl_x_2"}},
        {kSolvable, kSolvableTargets, {"lbl_1_x"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.anim) + " / " + (c.consts ? c.consts : "(none)") +
                     (c.leaveOut.empty() ? "" : " without " + c.leaveOut[0]));
        TearDown();
        SetUp();
        ASSERT_TRUE(StartWith(c.anim, c.consts, c.leaveOut));
        OctaneBoard* board = Make();
        ASSERT_NE(board, nullptr);
        EXPECT_EQ(board->GetState(), OctaneBoard::StateNotReady);
        if (c.leaveOut.empty() || c.leaveOut[0].rfind("lbl", 0) == 0)
        {
            const uint32_t before = Current(board, 0, 0);
            board->Press(0, 0, false);
            EXPECT_EQ(Current(board, 0, 0), before);
            EXPECT_FALSE(board->GetRoller(0, 0)->IsRolling());
        }
        Stop();
    }
}

TEST_F(Dudude, RollsColourTheirRowAndColumnAndAllSevenGreenWin)
{
    ASSERT_TRUE(StartWith(kSolvable, kSolvableTargets));
    OctaneBoard* board = Make(5);
    ASSERT_NE(board, nullptr);
    ASSERT_EQ(board->GetState(), OctaneBoard::StatePlaying);
    const std::pair<uint32_t, uint32_t> rollables[] = {{0, 0}, {1, 1}, {2, 2}, {2, 3}};

    // A roll to a wrong number: its row and column stay red; to the right one they turn green.
    const auto solve = [&](uint32_t r, uint32_t c) { Press(board, r, c, board->CellValue(r, c) == 5); };
    const auto wrong = [&](uint32_t r, uint32_t c)
    {
        // From 5 down is 7; from 7 down is 3 (right), so go up to 5 instead.
        Press(board, r, c, board->CellValue(r, c) == 7);
    };
    wrong(0, 0);
    EXPECT_NE(board->CellValue(0, 0), 3);
    EXPECT_EQ(Label(board, L"lbl_0_x")->colour, OctaneBoard::Red);
    EXPECT_EQ(Label(board, L"lbl_x_0")->colour, OctaneBoard::Red);
    solve(0, 0);
    EXPECT_EQ(board->CellValue(0, 0), 3);
    EXPECT_EQ(Label(board, L"lbl_0_x")->colour, OctaneBoard::Green);
    EXPECT_EQ(Label(board, L"lbl_x_0")->colour, OctaneBoard::Green);
    EXPECT_EQ(Label(board, L"lbl_1_x")->colour, OctaneBoard::Red);
    EXPECT_TRUE(ScriptEvents("MinigameComplete").empty());

    for (size_t i = 1; i < 4; ++i)
        solve(rollables[i].first, rollables[i].second);
    EXPECT_EQ(board->GetState(), OctaneBoard::StateSolved);
    EXPECT_EQ(ScriptEvents("MinigameComplete"), std::vector<std::string>{"MinigameComplete OctanePuzzle"});

    // Solved: presses change nothing and no label changes.
    Press(board, 0, 0, false);
    EXPECT_EQ(board->CellValue(0, 0), 3);
    EXPECT_EQ(Label(board, L"lbl_0_x")->colour, OctaneBoard::Green);
    EXPECT_EQ(ScriptEvents("MinigameComplete").size(), 1u);
}

TEST_F(Dudude, AContainerNamedOutsideTheGridDoesNothing)
{
    ASSERT_TRUE(StartWith(kSolvable, kSolvableTargets));
    OctaneBoard* board = Make();
    ASSERT_NE(board, nullptr);
    auto* up = RObjectCast<Button>(board->GetButtons(0, 0)->FindChildByPath(L"btn_up").GetInstance());
    uint32_t before[3][4];
    for (uint32_t r = 0; r < 3; ++r)
        for (uint32_t c = 0; c < 4; ++c)
            before[r][c] = Current(board, r, c);
    for (const wchar_t* name : {L"cont_-1_2", L"cont_a_b", L"cont_0_9"})
    {
        const InstanceHandle made =
            Instance_Movie::CreateInstanceByClassName(board, L"", name, L"OctaneBtnContainer");
        auto* stray = RObjectCast<OctaneBoard::OctaneBtnContainer>(made.GetInstance());
        ASSERT_NE(stray, nullptr);
        stray->board = board;
        stray->HandleButtonPressed(up);
    }
    for (uint32_t r = 0; r < 3; ++r)
        for (uint32_t c = 0; c < 4; ++c)
        {
            EXPECT_EQ(Current(board, r, c), before[r][c]);
            EXPECT_FALSE(board->GetRoller(r, c)->IsRolling());
        }
}

TEST_F(Dudude, EnterOctanePuzzlePlacesTheBoardUnderAnInstance)
{
    // Without the library the script gets false; without an instance no result at all.
    ASSERT_TRUE(StartInMenu());
    ASSERT_TRUE(
        Lua("Fixture.n = select('#', EnterOctanePuzzle())\nFixture.m = select('#', EnterOctanePuzzle(3))"));
    EXPECT_EQ(LuaNumber("Fixture.n"), 0);
    EXPECT_EQ(LuaNumber("Fixture.m"), 0);
    Instance_Movie* host = Dialog(L"scr_mainmenu");
    ASSERT_NE(host, nullptr);
    lua_State* state = LuaBinding::GetState();
    ASSERT_TRUE(host->HasTable() || host->CreateLuaTable());
    ASSERT_TRUE(host->PushTable());
    lua_setglobal(state, "host");
    ASSERT_TRUE(Lua("Fixture.r = EnterOctanePuzzle(host)"));
    EXPECT_EQ(LuaString("Fixture.r"), "false");
    Stop();

    TearDown();
    SetUp();
    WriteOctaneContent();
    SetStrings({{"Dudude Anim Values", kSolvable}, {"Dudude Const Values", kSolvableTargets}});
    ASSERT_TRUE(StartInMenu());
    host = Dialog(L"scr_mainmenu");
    ASSERT_NE(host, nullptr);
    state = LuaBinding::GetState();
    ASSERT_TRUE(host->HasTable() || host->CreateLuaTable());
    ASSERT_TRUE(host->PushTable());
    lua_setglobal(state, "host");
    ASSERT_TRUE(Lua("Fixture.r = EnterOctanePuzzle(host)"));
    EXPECT_EQ(LuaString("Fixture.r"), "true");
    Frame();
    auto* board = RObjectCast<OctaneBoard>(host->FindChildByPath(L"octane").GetInstance());
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(board->GetState(), OctaneBoard::StatePlaying);
    // A second board of the same name cannot be made.
    ASSERT_TRUE(Lua("Fixture.r = EnterOctanePuzzle(host)"));
    EXPECT_EQ(LuaString("Fixture.r"), "false");
}

} // namespace
