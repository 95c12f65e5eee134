// The profile and new-profile screens on the sample's definitions, driven by real clicks and keys
// through the window and by the screen steps of the frames: the list and its selection, single and
// double clicks by step count, adding with a full list, deleting with its question (answered,
// refused, or left behind by a closed screen), names that look like keys or colour codes, and the
// new-profile rules (first profile, trimming, duplicates, allowed symbols, the width limit).
#include "tests/game/ui/PlayerScreensFixture.h"

#include "engine/graphics/text/TextColorCodes.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/widgets/TextField.h"
#include "game/ui/ProfileButton.h"
#include "game/ui/UIMessageBox.h"
#include "game/ui/UINewProfile.h"
#include "game/ui/UIProfile.h"

namespace PlayerScreensTest
{
namespace
{

std::string profiles(std::initializer_list<const char*> names)
{
    std::string xml;
    for (const char* name : names)
        xml += std::string("<PROFILE NAME=\"") + name + "\"/>";
    return xml;
}

class ProfileTest : public PlayerScreens
{
public:
    UIProfile* OpenProfiles() { return Open<UIProfile>(L"dlg_profile"); }

    ProfileButton* SlotNamed(UIProfile* screen, const std::wstring& name)
    {
        for (ProfileButton* slot : screen->GetSlots())
            if (slot->GetProfileName() == name)
                return slot;
        return nullptr;
    }

    // What a slot's label shows, colour codes drawn as colours; "(colours)" when it holds any.
    std::wstring Shown(Instance_Base* holder, const std::wstring& child)
    {
        auto* text = Child<Instance_Text>(holder, child);
        if (!text)
            return L"(none)";
        std::vector<TextColorChange> changes;
        const std::wstring shown = ParseColorCodes(text->text, changes);
        return changes.empty() ? shown : L"(colours)";
    }

    Button* Delete(UIProfile* screen) { return Child<Button>(screen, L"deleteButton"); }

    UIMessageBox* TopBox() { return RObjectCast<UIMessageBox>(Screens().GetTopModalScreen()); }

    // A single click that has taken effect.
    void Choose(UIProfile* screen, ProfileButton* slot)
    {
        Click(slot);
        Frames(int(UIProfile::DoubleClickSteps));
    }

    // Asks to delete the selected profile and answers with a side of the box.
    void AnswerDelete(UIProfile* screen, const wchar_t* side)
    {
        Click(Delete(screen));
        UIMessageBox* box = TopBox();
        ASSERT_NE(box, nullptr);
        FramesUntilOpen(box);
        Click(Child<Button>(box, side));
        for (int i = 0; i < 200 && TopBox() == box; ++i)
            Frame();
        Frames(2);
    }
};

TEST_F(ProfileTest, TheListShowsTheProfilesWithTheCurrentOneSelected)
{
    StartWith("B", profiles({"A", "B", "C"}));
    UIProfile* screen = OpenProfiles();
    ASSERT_NE(screen, nullptr);
    const std::vector<ProfileButton*> slots = screen->GetSlots();
    ASSERT_EQ(slots.size(), 5u);
    const std::wstring names[5] = {L"A", L"B", L"C", L"", L""};
    const uint32_t states[5] = {1, 2, 1, 0, 0};
    for (size_t i = 0; i < 5; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(slots[i]->GetProfileName(), names[i]);
        EXPECT_EQ(Shown(slots[i], L"lbl_name"), names[i]);
        EXPECT_EQ(slots[i]->slotState, states[i]);
    }
    EXPECT_EQ(screen->CountOccupied(), 3u);
    EXPECT_EQ(screen->GetSelected(), slots[1]);
    // Drawn disabled, still taking clicks.
    EXPECT_FALSE(slots[1]->enabled);
    EXPECT_TRUE(slots[1]->inputEnabled);
    EXPECT_FALSE(Delete(screen)->enabled) << "the current profile can never be deleted";
}

TEST_F(ProfileTest, OnlyTheFirstFiveProfilesAreListed)
{
    StartWith("A", profiles({"A", "B", "C", "D", "E", "F"}));
    UIProfile* screen = OpenProfiles();
    ASSERT_NE(screen, nullptr);
    std::vector<std::wstring> shown;
    for (ProfileButton* slot : screen->GetSlots())
        shown.push_back(slot->GetProfileName());
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"A", L"B", L"C", L"D", L"E"}));
}

TEST_F(ProfileTest, ASingleClickSelectsOnTheTwentiethStepAfterIt)
{
    StartWith("B", profiles({"A", "B", "C"}));
    UIProfile* screen = OpenProfiles();
    ASSERT_NE(screen, nullptr);
    ProfileButton* c = SlotNamed(screen, L"C");
    Click(c);
    Frames(int(UIProfile::DoubleClickSteps) - 1);
    EXPECT_EQ(screen->GetSelected(), SlotNamed(screen, L"B"));
    EXPECT_FALSE(Delete(screen)->enabled);
    Frame();
    EXPECT_EQ(screen->GetSelected(), c);
    EXPECT_EQ(SlotNamed(screen, L"B")->slotState, 1u);
    EXPECT_TRUE(SlotNamed(screen, L"B")->enabled);
    EXPECT_TRUE(Delete(screen)->enabled);
    // Clicking on an empty slot once does nothing.
    Choose(screen, screen->GetSlots()[4]);
    EXPECT_EQ(screen->GetSelected(), c);
    EXPECT_FALSE(IsOpen(L"dlg_new_profile"));
    EXPECT_EQ(Game().GetProfileStore().GetCurrentProfileName(), L"B");
}

TEST_F(ProfileTest, TwoClicksWithinTwentyStepsChooseTheProfileAndClose)
{
    StartWith("B", profiles({"A", "B", "C"}));
    UIProfile* screen = OpenProfiles();
    ASSERT_NE(screen, nullptr);
    ClearScriptEvents();
    Click(SlotNamed(screen, L"C"));
    Frames(int(UIProfile::DoubleClickSteps) - 2);
    Click(SlotNamed(screen, L"C"));
    EXPECT_EQ(Game().GetProfileStore().GetCurrentProfileName(), L"C");
    // Activated: the settings were applied for it.
    EXPECT_FALSE(ScriptEvents("EnableTutorials").empty());
    EXPECT_TRUE(FramesUntilGone(L"dlg_profile"));
}

TEST_F(ProfileTest, ADoubleClickOnAnEmptySlotOpensTheNewProfileScreenOverTheList)
{
    StartWith("B", profiles({"A", "B", "C", "D"}));
    UIProfile* screen = OpenProfiles();
    ASSERT_NE(screen, nullptr);
    ProfileButton* empty = screen->GetSlots()[4];
    Click(empty);
    Frames(3);
    Click(empty);
    Frames(2);
    EXPECT_NE(RObjectCast<UINewProfile>(Screens().GetTopModalScreen()), nullptr);
    EXPECT_TRUE(IsOpen(L"dlg_profile"));
}

TEST_F(ProfileTest, AddingWithFiveProfilesTellsThatTheListIsFull)
{
    StartWith("B", profiles({"A", "B", "C", "D", "E"}));
    UIProfile* screen = OpenProfiles();
    ASSERT_NE(screen, nullptr);
    Click(Child<Button>(screen, L"addButton"));
    UIMessageBox* box = TopBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->GetId(), UIProfile::MessageListFull);
    FramesUntilOpen(box);
    EXPECT_FALSE(Child(box, L"btn_left")->visible);
    EXPECT_TRUE(Child(box, L"btn_center")->visible);
    EXPECT_FALSE(Child(box, L"btn_right")->visible);
    EXPECT_EQ(Shown(box, L"message"),
              L"All five places are taken.\r\nDelete a player on the player screen first.");
    EXPECT_EQ(Shown(box, L"lbl_center"), L"OK");
    Click(Child<Button>(box, L"btn_center"));
    for (int i = 0; i < 200 && TopBox(); ++i)
        Frame();
    EXPECT_EQ(ProfileNames().size(), 5u);
    EXPECT_EQ(Screens().GetTopModalScreen(), screen);
    EXPECT_FALSE(IsOpen(L"dlg_new_profile"));
}

TEST_F(ProfileTest, DeletingAsksAndTheAnswerDecides)
{
    StartWith("B", profiles({"A", "B", "C"}));
    UIProfile* screen = OpenProfiles();
    ASSERT_NE(screen, nullptr);
    Choose(screen, SlotNamed(screen, L"C"));
    // The sample translates the question; the name goes into the translation.
    Click(Delete(screen));
    ASSERT_NE(TopBox(), nullptr);
    EXPECT_EQ(TopBox()->GetId(), UIProfile::MessageDelete);
    EXPECT_EQ(Shown(TopBox(), L"message"), L"Do you really want to delete the player C?");
    FramesUntilOpen(TopBox());
    Click(Child<Button>(TopBox(), L"btn_right"));
    for (int i = 0; i < 200 && TopBox(); ++i)
        Frame();
    EXPECT_EQ(ProfileNames(), (std::vector<std::wstring>{L"A", L"B", L"C"}));

    AnswerDelete(screen, L"btn_left");
    EXPECT_EQ(ProfileNames(), (std::vector<std::wstring>{L"A", L"B"}));
    EXPECT_EQ(screen->CountOccupied(), 2u);
    EXPECT_EQ(screen->GetSelected(), SlotNamed(screen, L"B"));
    EXPECT_FALSE(Delete(screen)->enabled);
    EXPECT_EQ(screen->GetSlots()[2]->slotState, 0u);
    EXPECT_EQ(Shown(screen->GetSlots()[2], L"lbl_name"), L"");
}

TEST_F(ProfileTest, AnAnswerAfterTheScreenWasClosedReachesNobody)
{
    StartWith("B", profiles({"A", "B", "C"}));
    UIProfile* screen = OpenProfiles();
    ASSERT_NE(screen, nullptr);
    Choose(screen, SlotNamed(screen, L"C"));
    Click(Delete(screen));
    UIMessageBox* box = TopBox();
    ASSERT_NE(box, nullptr);
    FramesUntilOpen(box);
    Click(Child<Button>(box, L"btn_left"));
    // The box fades out with its answer while a script closes the profile screen.
    ASSERT_TRUE(Lua("g_ScreenMgr2:CloseScreen('dlg_profile', false)"));
    ASSERT_NE(screen->GetScreenState(), Screen::StateOpen);
    EXPECT_TRUE(FramesUntilGone(L"dlg_profile"));
    Frames(60);
    EXPECT_EQ(ProfileNames(), (std::vector<std::wstring>{L"A", L"B", L"C"}));
}

TEST_F(ProfileTest, NamesAreShownAsTypedAndActOnExactlyThatProfile)
{
    StartWith("A", profiles({"A", "|T|Ok", "^FF0000Red", "50%s"}));
    UIProfile* screen = OpenProfiles();
    ASSERT_NE(screen, nullptr);
    for (const wchar_t* name : {L"|T|Ok", L"^FF0000Red", L"50%s"})
    {
        ProfileButton* slot = SlotNamed(screen, name);
        ASSERT_NE(slot, nullptr) << name;
        EXPECT_EQ(Shown(slot, L"lbl_name"), name);
    }
    // Deleting "50%s": the question shows it as typed, and only it goes.
    Choose(screen, SlotNamed(screen, L"50%s"));
    Click(Delete(screen));
    ASSERT_NE(TopBox(), nullptr);
    EXPECT_EQ(Shown(TopBox(), L"message"), L"Do you really want to delete the player 50%s?");
    FramesUntilOpen(TopBox());
    Click(Child<Button>(TopBox(), L"btn_left"));
    for (int i = 0; i < 200 && TopBox(); ++i)
        Frame();
    EXPECT_EQ(ProfileNames(), (std::vector<std::wstring>{L"A", L"|T|Ok", L"^FF0000Red"}));
    // Deleting the colour-coded name shows it literally too.
    Choose(screen, SlotNamed(screen, L"^FF0000Red"));
    Click(Delete(screen));
    ASSERT_NE(TopBox(), nullptr);
    EXPECT_EQ(Shown(TopBox(), L"message"), L"Do you really want to delete the player ^FF0000Red?");
    FramesUntilOpen(TopBox());
    Click(Child<Button>(TopBox(), L"btn_right"));
    for (int i = 0; i < 200 && TopBox(); ++i)
        Frame();
    // Choosing "|T|Ok" makes exactly that profile current.
    ProfileButton* key = SlotNamed(screen, L"|T|Ok");
    Click(key);
    Frame();
    Click(key);
    EXPECT_EQ(Game().GetProfileStore().GetCurrentProfileName(), L"|T|Ok");
}

TEST_F(ProfileTest, WithoutATranslationTheQuestionIsTheKeyWithTheName)
{
    WriteContent("input/translator_screens.xml", "<?xml version=\"1.0\"?><Translator/>");
    StartWith("A", profiles({"A", "B"}));
    UIProfile* screen = OpenProfiles();
    ASSERT_NE(screen, nullptr);
    Choose(screen, SlotNamed(screen, L"B"));
    Click(Delete(screen));
    ASSERT_NE(TopBox(), nullptr);
    EXPECT_EQ(Shown(TopBox(), L"message"), L"Do you really want to delete profile B?");
}

// ---- The new-profile screen.

class NewProfileTest : public ProfileTest
{
public:
    UINewProfile* OpenNew() { return Open<UINewProfile>(L"dlg_new_profile"); }
    Button* Ok(Screen* screen) { return Child<Button>(screen, L"okButton"); }
    Button* Cancel(Screen* screen) { return Child<Button>(screen, L"cancelButton"); }

    void Type(UINewProfile* screen, const std::wstring& text)
    {
        TextField* field = screen->GetTextField();
        ASSERT_NE(field, nullptr);
        field->text = text;
        Frame();
    }
};

TEST_F(NewProfileTest, WithoutAProfileTheFirstOneCannotBeSkipped)
{
    StartWith("", "");
    // The start-up profile check opened the screen.
    auto* screen = RObjectCast<UINewProfile>(Screens().FindScreen(L"dlg_new_profile"));
    ASSERT_NE(screen, nullptr);
    FramesUntilOpen(screen);
    EXPECT_EQ(screen->currentFrame, 1u);
    EXPECT_FALSE(Cancel(screen)->enabled);
    screen->HandleButtonPressed(Cancel(screen));
    TypeKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    Frames(30);
    EXPECT_EQ(screen->GetScreenState(), Screen::StateOpen);
}

TEST_F(NewProfileTest, TheNameRules)
{
    StartWith("Ann", profiles({"Ann"}));
    UINewProfile* screen = OpenNew();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->currentFrame, 0u);
    EXPECT_TRUE(Cancel(screen)->enabled);
    struct Case
    {
        const wchar_t* typed;
        bool accepted;
        const wchar_t* name;
    };
    const Case cases[] = {{L"", false, L""},         {L"   ", false, L""},   {L"Ann", false, L"Ann"},
                          {L" Ann ", false, L"Ann"}, {L"ann", true, L"ann"}, {L"  Bo  ", true, L"Bo"},
                          {L"B o", true, L"B o"}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.typed);
        Type(screen, c.typed);
        EXPECT_EQ(screen->GetEnteredName(), c.name);
        EXPECT_EQ(screen->CanCreate(), c.accepted);
        EXPECT_EQ(Ok(screen)->enabled, c.accepted);
    }
}

TEST_F(NewProfileTest, OkCreatesSavesActivatesAndClosesBothScreens)
{
    StartWith("Ann", profiles({"Ann"}));
    UIProfile* list = OpenProfiles();
    ASSERT_NE(list, nullptr);
    Click(Child<Button>(list, L"addButton"));
    auto* screen = RObjectCast<UINewProfile>(Screens().GetTopModalScreen());
    ASSERT_NE(screen, nullptr);
    FramesUntilOpen(screen);
    Type(screen, L"  Bo  ");
    ClearScriptEvents();
    const int writes = ProfileWrites();
    Click(Ok(screen));
    EXPECT_EQ(ProfileNames(), (std::vector<std::wstring>{L"Ann", L"Bo"}));
    EXPECT_EQ(Game().GetProfileStore().GetCurrentProfileName(), L"Bo");
    EXPECT_GE(ProfileWrites(), writes + 1);
    EXPECT_NE(ProfileFileText().find(L"NAME=\"Bo\""), std::wstring::npos);
    EXPECT_FALSE(ScriptEvents("EnableTutorials").empty()) << "activated";
    EXPECT_NE(Settings(), nullptr);
    EXPECT_TRUE(FramesUntilGone(L"dlg_new_profile"));
    EXPECT_TRUE(FramesUntilGone(L"dlg_profile"));
}

TEST_F(NewProfileTest, TypingKeepsToTheAllowedSymbolsAndTheFieldsWidth)
{
    WriteContent("input/translator_screens.xml", "<?xml version=\"1.0\"?><Translator><Record KEY=\"Allowed "
                                                 "Symbols\" VALUE=\"ABCWabcw\"/></Translator>");
    StartWith("Ann", profiles({"Ann"}));
    UINewProfile* screen = OpenNew();
    ASSERT_NE(screen, nullptr);
    TextField* field = screen->GetTextField();
    ASSERT_NE(field, nullptr);
    Click(field);
    // "d" is a letter the field would take, but not one of the symbols.
    TypeKey(SDLK_b, SDL_SCANCODE_B);
    TypeKey(SDLK_d, SDL_SCANCODE_D);
    TypeKey(SDLK_a, SDL_SCANCODE_A);
    EXPECT_EQ(field->GetText(), L"ba");
    for (int i = 0; i < 200; ++i)
        TypeKey(SDLK_w, SDL_SCANCODE_W);
    auto* text = RObjectCast<Instance_Text>(field->textChild.GetInstance());
    ASSERT_NE(text, nullptr);
    const size_t typed = field->GetText().size();
    EXPECT_GT(typed, 5u);
    EXPECT_LT(typed, 200u);
    EXPECT_LT(text->MeasureText(field->GetText()).width, text->boxWidth);
    EXPECT_GE(text->MeasureText(field->GetText() + L"w").width, text->boxWidth);
}

TEST_F(NewProfileTest, WithoutATextFieldBothButtonsAreInert)
{
    std::string screens = ReadText(SampleInput() / "definitions/screens.xml");
    screens = std::regex_replace(
        screens,
        std::regex(
            "    <Instance type=\"library\" instancename=\"textfield\"[^>]*>\n[^\n]*\n    </Instance>\n"),
        "");
    WriteContent("input/definitions/screens.xml", screens);
    StartWith("Ann", profiles({"Ann"}));
    UINewProfile* screen = OpenNew();
    ASSERT_NE(screen, nullptr);
    ASSERT_EQ(screen->GetTextField(), nullptr);
    screen->HandleButtonPressed(Ok(screen));
    screen->HandleButtonPressed(Cancel(screen));
    Frames(30);
    EXPECT_EQ(screen->GetScreenState(), Screen::StateOpen);
    EXPECT_EQ(ProfileNames(), std::vector<std::wstring>{L"Ann"});
}

} // namespace
} // namespace PlayerScreensTest
