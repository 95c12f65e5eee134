// The in-game menu without a game object (the toolkit's input fixture, no Core): "btn_exit" just
// closes the menu.
#include "game/core/Core.h"
#include "game/ui/DlgIngameMenu.h"
#include "tests/game/ui/DialogFixture.h"

namespace GameUiTest
{
namespace
{

class IngameMenuAlone : public DialogFixture
{
};

TEST_F(IngameMenuAlone, WithoutAGameObjectExitJustCloses)
{
    ASSERT_EQ(Core::Get(), nullptr);
    DlgIngameMenu::StaticClass();
    LoadDialogs(
        "<Definitions><Definition type=\"movie\" name=\"menu_alone\" length=\"1\" fps=\"30\">"
        "<Instance type=\"library\" instancename=\"btn_exit\" definition=\"w_button\" depth=\"0\" "
        "create=\"0\" "
        "death=\"1\" regx=\"0\" regy=\"0\"><Frame transform=\"1,0,0,1,20,20\" alpha=\"100\"/></Instance>"
        "</Definition></Definitions>");
    auto* menu = RObjectCast<DlgIngameMenu>(
        screens->ShowScreen(L"menu_alone", L"DlgIngameMenu", L"", true, true).GetInstance());
    ASSERT_NE(menu, nullptr);
    Tick(30);
    ASSERT_EQ(menu->GetScreenState(), Screen::StateOpen);
    ClickOn(Child(menu, L"btn_exit"));
    EXPECT_GT(TickUntilGone(menu), 0);
}

} // namespace
} // namespace GameUiTest
