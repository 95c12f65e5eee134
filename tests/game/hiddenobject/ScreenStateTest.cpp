// The hidden-object screen's saved level: a first visit, a save and a restore through the profile's
// "ISPY_STATE", a state of another level, modes, and damaged saved values.
#include "tests/game/hiddenobject/ScreenFixture.h"

namespace BoardTest
{
namespace
{

using ScreenState = ScreenFixture;

TEST_F(ScreenState, FirstVisitWritesAFreshStateAndCallsOnNewLevel)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(Attribute(L"m_board"), "ho_level");
    EXPECT_EQ(Attribute(L"m_mode"), "0");
    EXPECT_EQ(Attribute(L"m_mode", L"type"), "uint");
    EXPECT_EQ(Attribute(L"m_hintEnabled"), "1");
    EXPECT_EQ(Attribute(L"m_guessEnabled"), "1");
    EXPECT_EQ(screen->GetMode(), HOScreen::MODE_HO);
    const std::string calls = Calls();
    EXPECT_NE(calls.find("OnNewLevel"), std::string::npos) << calls;
    EXPECT_NE(calls.find("SetSecretWord"), std::string::npos) << calls;
    EXPECT_EQ(Global("secretWord"), "ABC");
}

} // namespace
} // namespace BoardTest
