// The board in the running game: without services of its own it reaches the game object's busy
// cursor and cursor choice, its sound service and the current profile's effect settings.
#include "tests/game/GameFixture.h"

#include "engine/scene/effects/Instance_Effect.h"
#include "engine/scene/ui/UserInterface.h"
#include "game/hiddenobject/HiddenObjectRegistrations.h"
#include "game/hiddenobject/ISpyBoard.h"
#include "game/hiddenobject/ISpyItem.h"

namespace
{

using namespace TarnEngine;

class BoardInTheGame : public GameFixture
{
protected:
    ISpyBoard* MakeBoard()
    {
        Instance_Movie* root = UserInterface::Get()->GetRoot();
        auto* board = RObjectCast<ISpyBoard>(
            Instance_Movie::CreateInstanceByClassName(root, L"", L"wired", L"ISpyBoard").GetInstance());
        if (!board)
            return nullptr;
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(board, L"", L"fx_sparkle", true, Instance_Effect::StaticClass(),
                                           &made);
        if (auto* effect = RObjectCast<Instance_Effect>(made))
            effect->startPending = true;
        Instance_Movie::CreateInstanceCore(board, L"", L"item", true, ISpyItem::StaticClass(), &made);
        item = RObjectCast<ISpyItem>(made);
        board->AddItem(item);
        item->SetState(ITEM_ACTIVE);
        board->hiddenObjectMode = true;
        return board;
    }
    ISpyItem* item = nullptr;
};

TEST_F(BoardInTheGame, APenaltyShowsTheGamesBusyCursorAndTheProfileDecidesTheEffects)
{
    WriteProfileFile("Ann", "<PROFILE NAME=\"Ann\"><SETTINGS_KEY SETTINGS_FX_ON=\"0\"/></PROFILE>");
    RegisterHiddenObjectBoardClasses();
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Lua("__QueryGameSetting = nil"));
    ISpyBoard* board = MakeBoard();
    ASSERT_NE(board, nullptr);
    Frames(1); // the board's attach
    Instance_Base* sparkle = board->FindChildByPath(L"fx_sparkle").GetInstance();
    ASSERT_NE(sparkle, nullptr);
    EXPECT_FALSE(sparkle->visible) << "effects are off in Ann's settings";

    EXPECT_FLOAT_EQ(Game().GetBusyCountdown(), 0.0f);
    board->OnMouseUp(board->movieHandle, 0);
    EXPECT_FLOAT_EQ(Game().GetBusyCountdown(), ISpyBoard::PenaltyBusySeconds);
    board->UpdateCursor();
    EXPECT_FALSE(board->inputEnabled);
    Frames(400); // more than five seconds of game time
    EXPECT_LE(Game().GetBusyCountdown(), 0.0f);
    board->UpdateCursor();
    EXPECT_TRUE(board->inputEnabled);
    Stop();
}

} // namespace
