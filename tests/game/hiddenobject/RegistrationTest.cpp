// The classes by name, the script function SetupHitType, registration by the level script and the
// items' script methods.
#include "tests/game/hiddenobject/BoardFixture.h"

namespace BoardTest
{

namespace
{

class Registration : public BoardFixture
{
};

TEST_F(Registration, TheClassesAreMadeByNameAndByScripts)
{
    for (const wchar_t* className : {L"ISpyBoard", L"BaseItem", L"ISpyItem", L"PuzzleItem"})
    {
        const std::wstring name = std::wstring(L"made_") + className;
        Instance_Base* made =
            Instance_Movie::CreateInstanceByClassName(root, L"", name, className).GetInstance();
        ASSERT_NE(made, nullptr) << std::string(name.begin(), name.end());
        EXPECT_EQ(std::string(made->GetClass()->GetName()),
                  std::string(className, className + wcslen(className)));
    }
    // The script classes carry their own methods and those of their parents.
    ASSERT_NE(MakeBoard(), nullptr);
    EXPECT_TRUE(Run("local lever = board:GetChildByName('lever') local key = board:GetChildByName('key') "
                    "isPuzzle = lever.EnableDrag ~= nil and lever.SetState ~= nil and key.EnableDrag == nil "
                    "hasGetState = key.GetState ~= nil and key.SetFrame ~= nil "
                    "boardAdds = board.AddPuzzleItem ~= nil and board.SetState == nil"));
    EXPECT_EQ(Global("isPuzzle"), "true");
    EXPECT_EQ(Global("hasGetState"), "true");
    EXPECT_EQ(Global("boardAdds"), "true");
    EXPECT_EQ(Global("ITEM_HIDDEN"), "2") << "the item states are script constants";
    EXPECT_EQ(Global("CF_FREEZE"), "7");
}

TEST_F(Registration, SetupHitTypeReachesImagesAtEveryDepthAndLeavesNestedHandlersAlone)
{
    ISpyBoard* board = MakeBoard();
    ASSERT_NE(board, nullptr);
    Instance_Movie* body = Child(board, L"key.body");
    ISpyItem* key = Child<ISpyItem>(board, L"key");
    ASSERT_EQ(body->GetEventHandler(), static_cast<IInstanceEventHandler*>(key));
    ASSERT_TRUE(Run("SetupHitType(board, 2)"));
    for (const wchar_t* path :
         {L"background", L"key.body.picture", L"lever.look.picture", L"innkeeper.body.picture"})
        EXPECT_EQ(Child<Instance_Image>(board, path)->hitTestType, uint32_t(HTT_None))
            << std::string(path, path + wcslen(path));
    EXPECT_EQ(body->GetEventHandler(), static_cast<IInstanceEventHandler*>(key))
        << "nested handlers unchanged";
    EXPECT_EQ(board->GetEventHandler(), static_cast<IInstanceEventHandler*>(board));

    // Missing or wrong arguments do nothing; a picture is not a movie.
    ASSERT_TRUE(Run("SetupHitType(board) SetupHitType(nil, 0) SetupHitType(board, 'x') "
                    "SetupHitType(board:GetChildByName('background'), 0)"));
    EXPECT_EQ(Child<Instance_Image>(board, L"background")->hitTestType, uint32_t(HTT_None));
    ASSERT_TRUE(Run("SetupHitType(board:GetChildByName('key'), 0)"));
    EXPECT_EQ(Child<Instance_Image>(board, L"key.body.picture")->hitTestType, uint32_t(HTT_All));
}

TEST_F(Registration, TheLevelScriptRegistersWhatItIsGiven)
{
    ISpyBoard* board = MakeBoard();
    ASSERT_NE(board, nullptr);
    ASSERT_TRUE(Run("board:AddItem(board:GetChildByName('cup')) "
                    "board:AddLetter(board:GetChildByName('lever')) "   // a puzzle item is no ISpyItem
                    "board:AddPuzzleItem(board:GetChildByName('key')) " // nor an item a puzzle item
                    "board:AddItem(board:GetChildByName('innkeeper')) " // a plain movie
                    "board:AddItem(nil) board:AddPerson('nobody', 'x') board:AddPerson('innkeeper') "
                    "pieces = board:GetPuzzleItems() count = #pieces first = pieces[1].s_name"));
    const std::vector<ISpyItem*> items = board->GetItems();
    ASSERT_EQ(items.size(), 6u) << "registered twice: listed twice";
    EXPECT_EQ(items[5]->name, L"cup");
    EXPECT_EQ(board->GetLetters().size(), 3u);
    EXPECT_EQ(board->GetPuzzleItems().size(), 2u);
    EXPECT_EQ(Global("count"), "2");
    EXPECT_EQ(Global("first"), "lever");
    EXPECT_EQ(board->tooltips.GetControls().size(), 1u) << "the person; the puzzle items are not active";
}

TEST_F(Registration, ItemStatesFromScriptsAndTheirVisibility)
{
    ISpyBoard* board = MakeBoard();
    ASSERT_NE(board, nullptr);
    ISpyItem* cup = Child<ISpyItem>(board, L"cup");
    ASSERT_TRUE(Run("cup = board:GetChildByName('cup') cup:SetState(ITEM_HIDDEN) hidden = cup:GetState()"));
    EXPECT_EQ(Global("hidden"), "2");
    EXPECT_FALSE(cup->visible);
    ASSERT_TRUE(Run("cup:SetState(4) cup:SetState(-1) cup:SetState('a') after = cup:GetState()"));
    EXPECT_EQ(Global("after"), "2") << "values outside 0 to 3 are ignored";
    ASSERT_TRUE(Run("cup:SetState(ITEM_INVALID)"));
    EXPECT_FALSE(cup->visible) << "invalid leaves visibility alone";
    ASSERT_TRUE(Run("cup:SetState(ITEM_ACTIVE)"));
    EXPECT_TRUE(cup->visible);
    Click(320, 120);
    EXPECT_EQ(cup->GetState(), ITEM_HIDDEN) << "active again: clickable again";
    ASSERT_TRUE(Run("cup:SetState(ITEM_DISABLED)"));
    EXPECT_TRUE(cup->visible);
}

} // namespace

} // namespace BoardTest
