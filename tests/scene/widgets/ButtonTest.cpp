// Buttons, check boxes and radio buttons driven through their event entries: a table of event
// sequences and the states they leave, the click order, Escape and Enter on the top modal screen
// only, the two-state frames, and radio groups.
#include "tests/scene/widgets/WidgetFixture.h"

#include "engine/scene/widgets/Button.h"
#include "engine/scene/widgets/CheckBox.h"
#include "engine/scene/widgets/Panel.h"
#include "engine/scene/widgets/RadioButton.h"

#include <functional>

namespace WidgetTest
{

// A screen that records how it was closed, and tells its script table.
class ClosingScreen : public Screen
{
    TARN_RCLASS(ClosingScreen)
public:
    void Close(bool wasAccepted) override
    {
        accepted.push_back(wasAccepted);
        if (lua_State* state = LuaBinding::GetState(); state && PushTable())
        {
            lua_pushboolean(state, 1);
            lua_setfield(state, -2, "closed");
            lua_pop(state, 1);
        }
        Screen::Close(wasAccepted);
    }
    std::vector<bool> accepted;
};
TARN_IMPLEMENT_RCLASS(ClosingScreen, Screen, RObjectFactory<ClosingScreen>)

namespace
{

struct ClickCounter : ButtonListener
{
    void HandleButtonPressed(Button*) override { ++clicks; }
    int clicks = 0;
};

// Runs a sequence of events, one letter each: E enter, L leave, D/d left/right press, U/u left/right
// release over it, O left release outside.
void play(IInstanceEventHandler& handler, const InstanceHandle& self, const std::string& events)
{
    for (char event : events)
        switch (event)
        {
        case 'E': handler.OnMouseEnter(self); break;
        case 'L': handler.OnMouseLeave(self); break;
        case 'D': handler.OnMouseDown(self, 0); break;
        case 'd': handler.OnMouseDown(self, 1); break;
        case 'U': handler.OnMouseUp(self, 0); break;
        case 'u': handler.OnMouseUp(self, 1); break;
        case 'O': handler.OnMouseUpOutside(self, 0); break;
        default: break;
        }
}

using Buttons = WidgetFixture;

TEST_F(Buttons, EventSequencesAndTheirStates)
{
    struct Case
    {
        const char* events;
        int32_t state;
        int clicks;
    };
    const Case cases[] = {
        {"E", 1, 0},      {"EL", 0, 0},    {"ED", 2, 0},    {"EDU", 1, 1},    {"EDLEU", 1, 1},
        {"EDL", 2, 0},    {"EDLO", 0, 0},  {"D", 0, 0},     {"DEU", 1, 0},    {"Ed", 1, 0},
        {"Edu", 1, 0},    {"EDu", 2, 0},   {"EDUDU", 1, 2}, {"EO", 0, 0},     {"EDUL", 0, 1},
    };
    for (const Case& c : cases)
    {
        ClickCounter counter;
        Button* button = Make<Button>(root, L"b", L"button");
        button->listener = &counter;
        Load(button);
        play(*button, button->movieHandle, c.events);
        EXPECT_EQ(button->state, c.state) << c.events;
        EXPECT_EQ(button->requestedFrame, uint32_t(c.state)) << c.events;
        EXPECT_EQ(counter.clicks, c.clicks) << c.events;
        root->RemoveAndQueueDelete(button);
        root->DeletePending();
    }
}

TEST_F(Buttons, ADisabledButtonIgnoresPointerAndKeys)
{
    ClickCounter counter;
    Screen* screen = Make<Screen>(RObjectCast<Instance_Movie>(screens->GetDialogsHandle().GetInstance()), L"dlg");
    Button* button = Make<Button>(screen, L"okButton", L"button");
    Load(screen);
    Load(button);
    button->listener = &counter;
    screen->Open(true);
    button->SetEnabled(false);
    TakeSounds();
    play(*button, button->movieHandle, "EDUO");
    button->OnKeyDown(button->movieHandle, Button::KeyEnter);
    EXPECT_EQ(button->state, 2) << "the disabled look stays";
    EXPECT_EQ(counter.clicks, 0);
    EXPECT_TRUE(TakeSounds().empty());
}

TEST_F(Buttons, ClickOrderIsSoundStateListenerScriptEvent)
{
    struct Observer : ButtonListener
    {
        void HandleButtonPressed(Button* button) override { onPress(button); }
        std::function<void(Button*)> onPress;
    };
    int32_t stateSeen = -1;
    std::vector<std::wstring> soundsSeen;
    std::string scriptSeen;
    Observer observer;
    observer.onPress = [&](Button* button)
    {
        stateSeen = button->state;
        soundsSeen = sounds->played;
        scriptSeen = Global("clicked");
    };
    Button* button = Make<Button>(root, L"b", L"button");
    button->listener = &observer;
    Load(button);
    SetGlobal("b", button);
    ASSERT_TRUE(Run("clicked = 0 function b:OnButtonClick() clicked = clicked + 1 end"));
    play(*button, button->movieHandle, "ED");
    TakeSounds();
    play(*button, button->movieHandle, "U");
    EXPECT_EQ(soundsSeen, std::vector<std::wstring>{L"bttn_click"});
    EXPECT_EQ(stateSeen, 1);
    EXPECT_EQ(scriptSeen, "0");
    EXPECT_EQ(Global("clicked"), "1");
}

TEST_F(Buttons, OverSoundPlaysOnEveryEnterEvenWhilePressed)
{
    Button* button = Make<Button>(root, L"b", L"button");
    Load(button);
    play(*button, button->movieHandle, "EDLE");
    EXPECT_EQ(TakeSounds(), (std::vector<std::wstring>{L"bttn_mouseover", L"bttn_mouseover"}));
    EXPECT_EQ(button->state, 2);
}

class ModalKeys : public WidgetFixture
{
protected:
    Screen* OpenDialog(const std::wstring& name, bool modal)
    {
        auto* dialogs = RObjectCast<Instance_Movie>(screens->GetDialogsHandle().GetInstance());
        Screen* screen = Make<Screen>(dialogs, name, L"screen");
        Load(screen);
        screen->Open(modal);
        return screen;
    }
    Button* AddButton(Instance_Movie* parent, const std::wstring& name)
    {
        Button* button = Make<Button>(parent, name, L"button");
        Load(button);
        return button;
    }
};

TEST_F(ModalKeys, EscapeAndEnterOnlyReachTheTopModalScreensOwnButtons)
{
    Screen* first = OpenDialog(L"first", true);
    Button* firstCancel = AddButton(first, L"cancelButton");
    Screen* top = OpenDialog(L"top", true);
    Button* cancel = AddButton(top, L"cancelButton");
    Button* ok = AddButton(top, L"okButton");
    Panel* panel = Make<Panel>(top, L"panel");
    Load(panel);
    Button* nestedCancel = AddButton(panel, L"cancelButton");
    Button* other = AddButton(top, L"other");
    EXPECT_TRUE(cancel->isCancelButton);
    EXPECT_TRUE(ok->isOkButton);
    EXPECT_FALSE(other->isOkButton || other->isCancelButton);
    ASSERT_EQ(screens->GetTopModalScreen(), top);

    firstCancel->OnKeyDown(firstCancel->movieHandle, Button::KeyEscape);
    nestedCancel->OnKeyDown(nestedCancel->movieHandle, Button::KeyEscape);
    other->OnKeyDown(other->movieHandle, Button::KeyEscape);
    ok->OnKeyDown(ok->movieHandle, Button::KeyEscape);
    cancel->OnKeyDown(cancel->movieHandle, Button::KeyEnter);
    cancel->OnKeyDown(cancel->movieHandle, 'A');
    EXPECT_EQ(first->GetRequestedScreenState(), Screen::StateIdle);
    EXPECT_EQ(top->GetRequestedScreenState(), Screen::StateIdle);
    EXPECT_EQ(cancel->state, 0);

    TakeSounds();
    ok->OnKeyDown(ok->movieHandle, Button::KeyEnter);
    EXPECT_EQ(ok->state, 1) << "pressed and released";
    EXPECT_EQ(top->GetRequestedScreenState(), Screen::StateFadingOut) << "a screen button closes its screen";
    EXPECT_EQ(TakeSounds(), (std::vector<std::wstring>{L"bttn_click", L"screen_close"}));
}

TEST_F(ModalKeys, EnterOnAnOkButtonClosesItsScreenAcceptedThenRunsTheScriptEvent)
{
    auto* dialogs = RObjectCast<Instance_Movie>(screens->GetDialogsHandle().GetInstance());
    auto* screen = Make<ClosingScreen>(dialogs, L"dlg", L"screen");
    Load(screen);
    screen->Open(true);
    Button* ok = AddButton(screen, L"okButton");
    Button* plain = AddButton(screen, L"plain");
    SetGlobal("ok", ok);
    SetGlobal("dlg", screen);
    ASSERT_TRUE(Run("function ok:OnButtonClick() order = dlg.closed end"));
    ok->OnKeyDown(ok->movieHandle, Button::KeyEnter);
    EXPECT_EQ(screen->accepted, (std::vector<bool>{true}));
    EXPECT_EQ(Global("order"), "true") << "the screen was closed before the script event";
    play(*plain, plain->movieHandle, "EDU");
    EXPECT_EQ(screen->accepted, (std::vector<bool>{true, false})) << "any other button closes it not accepted";
}

// ---- Check boxes and radio buttons.

using TwoState = WidgetFixture;

TEST_F(TwoState, CheckBoxFrames)
{
    struct Case
    {
        const wchar_t* definition;
        bool checkMark;
        bool ticked;
        int32_t state;
        uint32_t frame;
    };
    const Case cases[] = {
        {L"box6", false, false, 0, 0}, {L"box6", false, false, 1, 1}, {L"box6", false, true, 0, 3},
        {L"box6", false, true, 1, 4},  {L"box6", false, true, 2, 5},  {L"box3", false, true, 1, 1},
        {L"box3", false, false, 2, 2}, {L"box6", true, true, 1, 1},   {L"box6", true, false, 0, 0},
    };
    for (const Case& c : cases)
    {
        CheckBox* box = Make<CheckBox>(root, L"cb", c.definition);
        Instance_Movie* mark = c.checkMark ? Movie(box, L"_check") : nullptr;
        Load(box);
        box->SetState(c.state);
        box->SetChecked(c.ticked);
        EXPECT_EQ(box->requestedFrame, c.frame) << c.definition << " mark " << c.checkMark << " ticked " << c.ticked
                                                << " state " << c.state;
        if (mark)
        {
            EXPECT_EQ(mark->visible, c.ticked);
        }
        root->RemoveAndQueueDelete(box);
        root->DeletePending();
    }
}

TEST_F(TwoState, CheckBoxTogglesOnAReleaseFromTheOverState)
{
    struct Recorder : CheckBoxListener
    {
        void HandleCheckBoxPressed(CheckBox* box) override { seen.push_back(box->ticked); }
        std::vector<bool> seen;
    } recorder;
    CheckBox* box = Make<CheckBox>(root, L"cb", L"box6");
    box->listener = &recorder;
    Load(box);
    play(*box, box->movieHandle, "EU");
    EXPECT_TRUE(box->ticked);
    EXPECT_EQ(box->requestedFrame, 4u);
    play(*box, box->movieHandle, "DUUu");
    EXPECT_EQ(recorder.seen, (std::vector<bool>{true, false, true}));
    EXPECT_NE(box->state, 2) << "no pressed look of its own";
    EXPECT_EQ(TakeSounds(), (std::vector<std::wstring>{L"cb_over", L"cb_click", L"cb_click", L"cb_click"}));
    play(*box, box->movieHandle, "LU");
    EXPECT_EQ(recorder.seen.size(), 3u) << "a release in the normal state is no click";
}

class Radios : public WidgetFixture
{
protected:
    struct Recorder : RadioButtonListener
    {
        void HandleRadioButtonPressed(RadioButton* pressed) override
        {
            std::string selection;
            for (RadioButton* radio : group)
                selection += radio->selected ? '1' : '0';
            seen.push_back(selection + (pressed ? "" : "?"));
        }
        std::vector<RadioButton*> group;
        std::vector<std::string> seen;
    };

    RadioButton* Radio(Instance_Movie* parent, const std::wstring& name, RadioButtonListener* listener)
    {
        RadioButton* radio = Make<RadioButton>(parent, name, L"box6");
        radio->listener = listener;
        Load(radio);
        return radio;
    }
    static void Click(RadioButton* radio) { play(*radio, radio->movieHandle, "EDU"); }
};

TEST_F(Radios, TheListenerSeesThePreviousSelection)
{
    Recorder recorder;
    Container* box = Make<Container>(root, L"box");
    Load(box);
    RadioButton* a = Radio(box, L"a", &recorder);
    RadioButton* b = Radio(box, L"b", &recorder);
    RadioButton* c = Radio(box, L"c", &recorder);
    recorder.group = {a, b, c};
    EXPECT_EQ(box->radioGroup, (std::vector<RadioButton*>{a, b, c}));
    EXPECT_EQ(c->groupIndex, 2u);

    Click(b);
    Click(c);
    EXPECT_EQ(recorder.seen, (std::vector<std::string>{"000", "010"}));
    EXPECT_FALSE(b->selected);
    EXPECT_TRUE(c->selected);
    EXPECT_EQ(c->requestedFrame, 4u) << "over, with the selection";

    TakeSounds();
    Click(c);
    EXPECT_EQ(recorder.seen.size(), 2u) << "the selected button ignores the click";
    EXPECT_TRUE(TakeSounds().empty());
    EXPECT_TRUE(c->selected);
}

TEST_F(Radios, GroupsBelongToContainersAndLoseUnloadedButtons)
{
    Container* left = Make<Container>(root, L"left");
    Container* right = Make<Container>(root, L"right");
    Load(left);
    Load(right);
    RadioButton* a = Radio(left, L"a", nullptr);
    RadioButton* b = Radio(left, L"b", nullptr);
    RadioButton* c = Radio(left, L"c", nullptr);
    RadioButton* d = Radio(right, L"d", nullptr);
    Click(a);
    Click(d);
    EXPECT_TRUE(a->selected) << "another container's group is another group";
    EXPECT_TRUE(d->selected);

    // An unloaded button leaves its group; the others move up.
    left->RemoveAndQueueDelete(b);
    left->DeletePending();
    EXPECT_EQ(left->radioGroup, (std::vector<RadioButton*>{a, c}));
    EXPECT_EQ(c->groupIndex, 1u);
    Click(c);
    EXPECT_FALSE(a->selected);
    EXPECT_TRUE(c->selected);

    // Without a container a click selects without deselecting anything.
    RadioButton* loose = Radio(Movie(root, L"plain"), L"loose", nullptr);
    Click(loose);
    EXPECT_TRUE(loose->selected);
    EXPECT_TRUE(c->selected);
}

} // namespace
} // namespace WidgetTest
