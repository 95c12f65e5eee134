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

TEST_F(ScreenState, PuzzleModeSavedAndRestoredWithItemsEntriesAndScriptTable)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    screen->SelectGroups(4);
    HUDList* list = screen->GetList();
    ASSERT_NE(list, nullptr);
    std::vector<int32_t> groups;
    for (HUDListEntry* entry : list->GetEntries())
        groups.push_back(entry->GetGroup());
    ISpyItem* coin = Item(screen, L"coin");
    ASSERT_EQ(coin->GetState(), ITEM_ACTIVE);
    coin->SetState(ITEM_HIDDEN);
    screen->GetBoard()->OnItemFound(coin);
    ASSERT_TRUE(Run("theScreen:SetMode(2)"));
    screen->EnableHint(false);
    Calls();
    screens->NotifyScreens(L"SAVE", L"");
    EXPECT_EQ(Calls(), "OnSaveLevel");
    EXPECT_EQ(Attribute(L"m_mode"), "2");
    EXPECT_EQ(Attribute(L"m_hintEnabled"), "0");
    const std::string saved = SavedState();
    EXPECT_NE(saved.find("m_lua"), std::string::npos) << saved;

    ASSERT_TRUE(screens->CloseScreen(L"scr_ispy", true));
    Step(2);
    ASSERT_EQ(screens->FindScreen(L"scr_ispy"), nullptr);
    ASSERT_TRUE(Run("saveNote = 'other'"));
    screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    const std::string calls = Calls();
    EXPECT_NE(calls.find("OnLoadLevel saved"), std::string::npos) << calls;
    EXPECT_EQ(calls.find("OnNewLevel"), std::string::npos) << calls;
    EXPECT_EQ(screen->GetMode(), HOScreen::MODE_PUZZLE);
    EXPECT_TRUE(Button(screen, L"btn_skip")->visible);
    EXPECT_FALSE(screen->GetList()->visible);
    EXPECT_TRUE(On<Instance_Base>(screen, L"txt_quest")->visible);
    EXPECT_FALSE(screen->IsHintEnabled());
    EXPECT_EQ(Item(screen, L"coin")->GetState(), ITEM_HIDDEN);
    EXPECT_EQ(Item(screen, L"bell")->GetState(), ITEM_ACTIVE);
    std::vector<int32_t> restored;
    for (HUDListEntry* entry : screen->GetList()->GetEntries())
        restored.push_back(entry->GetGroup());
    EXPECT_EQ(restored, groups);
}

TEST_F(ScreenState, StateOfAnotherLevelStartsFreshAndIsOverwritten)
{
    XmlNode* element = screenServices.profile->AddNewChild(L"ISPY_STATE");
    XmlNode* boardName = element->AddNewChild(L"m_board");
    boardName->SetAttribute(L"value", L"other_level");
    XmlNode* mode = element->AddNewChild(L"m_mode");
    mode->SetAttribute(L"value", L"2");
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_NE(Calls().find("OnNewLevel"), std::string::npos);
    EXPECT_EQ(screen->GetMode(), HOScreen::MODE_HO);
    EXPECT_EQ(Attribute(L"m_board"), "ho_level");
    EXPECT_EQ(Attribute(L"m_mode"), "0");
    EXPECT_EQ(screenServices.profile->children.size(), 1u) << "one element, replaced";
}

TEST_F(ScreenState, SavedModeOtherThanOneOrTwoStartsTheLevelFresh)
{
    for (const wchar_t* bad : {L"3", L"-1", L"x", L"4294967295"})
    {
        screenServices.profile = std::make_unique<XmlNode>(L"PROFILE");
        XmlNode* element = screenServices.profile->AddNewChild(L"ISPY_STATE");
        element->AddNewChild(L"m_board")->SetAttribute(L"value", L"ho_level");
        element->AddNewChild(L"m_mode")->SetAttribute(L"value", bad);
        HOScreen* screen = OpenScreen();
        ASSERT_NE(screen, nullptr);
        const std::string calls = Calls();
        EXPECT_NE(calls.find("OnNewLevel"), std::string::npos) << Narrow(bad) << ": " << calls;
        EXPECT_EQ(calls.find("OnLoadLevel"), std::string::npos) << Narrow(bad);
        EXPECT_EQ(screen->GetMode(), HOScreen::MODE_HO);
        screens->CloseScreen(L"scr_ispy", true);
        Step(2);
    }
}

TEST_F(ScreenState, SetModeIgnoresValuesOtherThanOneAndTwo)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    for (const char* call : {"theScreen:SetMode(0)", "theScreen:SetMode(3)", "theScreen:SetMode('2')"})
    {
        ASSERT_TRUE(Run(call));
        EXPECT_EQ(screen->GetMode(), HOScreen::MODE_HO) << call;
        EXPECT_TRUE(screen->GetList()->visible) << call;
        EXPECT_FALSE(Button(screen, L"btn_skip")->visible) << call;
        EXPECT_FALSE(On<Instance_Base>(screen, L"txt_quest")->visible) << call;
    }
    EXPECT_EQ(Global("theScreen:GetMode()"), "1");
}

TEST_F(ScreenState, WithoutProfileNothingIsSavedAndTheLevelIsNotSetUp)
{
    screenServices.profile.reset();
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->GetMode(), HOScreen::MODE_INVALID);
    screens->NotifyScreens(L"SAVE", L"");
    EXPECT_EQ(Calls().find("OnNewLevel"), std::string::npos);
}

TEST_F(ScreenState, StateElementShapeRoundTrips)
{
    ISpyState state;
    state.m_board = L"ho_level";
    state.m_mode = 2;
    state.m_items = {ItemState(L"key", 1), ItemState(L"", 2)};
    state.m_groups_list = {3, -1};
    state.m_groups_board = {0};
    state.m_guessEnabled = false;
    XmlNode profile(L"PROFILE");
    ASSERT_TRUE(state.SaveToProfile(profile));
    ASSERT_TRUE(state.SaveToProfile(profile)) << "replaces the children";
    const XmlNode* element = profile.FindChild(L"ISPY_STATE");
    ASSERT_NE(element, nullptr);
    std::vector<std::string> names;
    for (const auto& child : element->children)
        names.push_back(Narrow(child->name));
    EXPECT_EQ(names, (std::vector<std::string>{"m_board", "m_mode", "m_lua", "m_items", "m_groups_list",
                                               "m_groups_board", "m_hintEnabled", "m_guessEnabled"}));
    EXPECT_EQ(Narrow(element->FindChild(L"m_items")->children[1]->name), "m_items1");
    EXPECT_EQ(Narrow(element->FindChild(L"m_groups_list")->children[1]->GetStringAttribute(L"value", L"")), "-1");
    EXPECT_EQ(Narrow(element->FindChild(L"m_groups_list")->children[1]->GetStringAttribute(L"type", L"")), "int");
    EXPECT_TRUE(element->FindChild(L"m_items")->attributes.empty());

    ISpyState read;
    ASSERT_TRUE(read.LoadFromProfile(profile));
    EXPECT_EQ(read.m_board, L"ho_level");
    EXPECT_EQ(read.m_mode, 2u);
    ASSERT_EQ(read.m_items.size(), 2u);
    EXPECT_EQ(read.m_items[0].m_name, L"key");
    EXPECT_EQ(read.m_items[1].m_state, 2);
    EXPECT_EQ(read.m_groups_list, (std::vector<int32_t>{3, -1}));
    EXPECT_EQ(read.m_groups_board, (std::vector<int32_t>{0}));
    EXPECT_TRUE(read.m_hintEnabled);
    EXPECT_FALSE(read.m_guessEnabled);
    XmlNode empty(L"PROFILE");
    EXPECT_FALSE(read.LoadFromProfile(empty));
}

} // namespace
} // namespace BoardTest
