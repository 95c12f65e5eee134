// Components, buttons, check boxes, radio buttons and sliders made from definition files and driven
// through the user interface's pointer entries: the disabled look with and without a mask,
// registration with the nearest container, "_bounds", button event sequences and the click order,
// the check-box frames, radio groups, slider drags, and a played ancestor leaving the state frames.
#include "tests/scene/widgets/InputFixture.h"

#include "engine/scene/widgets/Button.h"
#include "engine/scene/widgets/CheckBox.h"
#include "engine/scene/widgets/RadioButton.h"
#include "engine/scene/widgets/Slider.h"

#include <cmath>

namespace WidgetTest
{
namespace
{

using WidgetInput = InputFixture;

struct SliderRecorder : SliderListener
{
    void HandleSliderPressed(ISlider*) override { calls.push_back("pressed"); }
    void HandleSliderChanged(ISlider* slider) override { calls.push_back("changed " + std::to_string(int(slider->value))); }
    std::vector<std::string> calls;
};

bool hovered(const UserInterface& ui, const Instance_Base* instance)
{
    for (const InstanceHandle& handle : ui.GetHovered())
        if (handle.GetInstance() == instance)
            return true;
    return false;
}

TEST_F(WidgetInput, DisabledFramesWithAndWithoutAMask)
{
    // 100 x 40 each: plain at (100, 100), masked at (300, 100).
    Button* plain = Create<Button>(root, L"w_button", L"plain", 100, 100);
    Button* masked = Create<Button>(root, L"w_button_masked", L"masked", 300, 100);
    Instance_Movie* mask = Find(masked, L"disable_mask");
    ASSERT_TRUE(plain && masked && mask);
    EXPECT_FALSE(mask->visible) << "an enabled button hides its mask";
    SetGlobal("plain", plain);
    SetGlobal("masked", masked);
    ASSERT_TRUE(Run("plain:SetEnable(false) masked:SetEnable(false)"));
    EXPECT_EQ(plain->currentFrame, 2u) << "the pressed frame is the disabled look";
    EXPECT_EQ(masked->currentFrame, 0u);
    EXPECT_TRUE(mask->visible);

    // Disabled, they are not under the pointer at all.
    TakeSounds();
    Click(150, 120);
    EXPECT_FALSE(hovered(*ui, plain));
    Click(350, 120);
    EXPECT_FALSE(hovered(*ui, masked));
    EXPECT_EQ(plain->currentFrame, 2u);
    EXPECT_EQ(masked->currentFrame, 0u);
    EXPECT_TRUE(TakeSounds().empty());

    // Enabled again, the one under the pointer shows the over frame at once.
    ASSERT_TRUE(Run("masked:SetEnable(true) plain:SetEnable(true)"));
    EXPECT_EQ(masked->currentFrame, 1u);
    EXPECT_FALSE(mask->visible);
    EXPECT_EQ(plain->currentFrame, 0u);
}

TEST_F(WidgetInput, RegistrationWithTheNearestContainer)
{
    // form (400 x 300 at (100, 100)) > group (a plain movie) > nested; form > direct; and a
    // button with no container above it.
    Container* form = Create<Container>(root, L"w_container", L"form", 100, 100);
    Instance_Movie* group = Create(form, L"w_group", L"group", 20, 20);
    Button* nested = Create<Button>(group, L"w_button", L"nested");
    Button* direct = Create<Button>(form, L"w_button", L"direct", 20, 100);
    Button* loose = Create<Button>(Create(root, L"w_group", L"elsewhere", 600, 100), L"w_button", L"loose");
    ASSERT_TRUE(form && group && nested && direct && loose);
    EXPECT_EQ(nested->owner, form);
    EXPECT_EQ(direct->owner, form);
    EXPECT_EQ(loose->owner, nullptr);
    EXPECT_EQ(loose->listener, nullptr);
    EXPECT_EQ(form->components, (std::vector<Component*>{nested, direct}));

    SetGlobal("form", form);
    ASSERT_TRUE(Run("function form:HandleButtonPressed(b) note('form ' .. b:GetName()) end"));
    Click(150, 130);
    Click(150, 210);
    Click(650, 120);
    EXPECT_EQ(Calls(), "form nested; form direct");
    EXPECT_EQ(loose->currentFrame, 1u) << "clicked, with nobody to tell";

    // Leaving the tree takes it off the list.
    form->RemoveChild(L"direct");
    Frames(1);
    EXPECT_EQ(form->components, std::vector<Component*>{nested});
}

TEST_F(WidgetInput, OnlyTheBoundsChildTakesThePointer)
{
    // The face covers (100, 100) to (200, 140); "_bounds" (130, 110) to (170, 130).
    Button* button = Create<Button>(root, L"w_button_bounds", L"b", 100, 100);
    ASSERT_NE(button, nullptr);
    SetGlobal("b", button);
    ASSERT_TRUE(Run("function b:OnButtonClick() note('click') end"));
    Click(105, 105);
    EXPECT_EQ(button->state, 0) << "the face is no hit area";
    Click(150, 120);
    EXPECT_EQ(Calls(), "click");
    EXPECT_EQ(button->currentFrame, 1u);
}

class ButtonSequences : public InputFixture
{
protected:
    // One letter an event: E onto the button, L off it, D/U left press/release, d/u right.
    void Play(const std::string& events)
    {
        for (char event : events)
            switch (event)
            {
            case 'E': MoveTo(150, 120); break;
            case 'L': MoveTo(600, 500); break;
            case 'D': Press(0); break;
            case 'U': Release(0); break;
            case 'd': Press(1); break;
            case 'u': Release(1); break;
            default: break;
            }
    }
};

TEST_F(ButtonSequences, EventSequencesAndTheirStates)
{
    struct Case
    {
        const char* events;
        uint32_t frame;
        int clicks;
    };
    const Case cases[] = {
        {"E", 1, 0},     {"EL", 0, 0},     {"ED", 2, 0},   {"EDU", 1, 1},  {"EDLU", 0, 0}, {"EDLEU", 1, 1},
        {"EDL", 2, 0},   {"EDLE", 2, 0},   {"LDEU", 1, 0}, {"Ed", 1, 0},   {"Edu", 1, 0},  {"EDu", 2, 0},
        {"EDUDU", 1, 2}, {"EdDU", 1, 1},   {"EDUL", 0, 1}, {"EDdUu", 1, 1},
    };
    for (const Case& c : cases)
    {
        Button* button = Create<Button>(root, L"w_button", L"b", 100, 100);
        ASSERT_NE(button, nullptr);
        SetGlobal("b", button);
        ASSERT_TRUE(Run("clicks = 0 function b:OnButtonClick() clicks = clicks + 1 end"));
        Play(c.events);
        EXPECT_EQ(button->currentFrame, c.frame) << c.events;
        EXPECT_EQ(Global("clicks"), std::to_string(c.clicks)) << c.events;
        // Everything let go, away from it, before the next case.
        MoveTo(600, 500);
        for (int held = 0; held < 3; ++held)
            if (ui->buttonHeld[held])
                Release(held);
        root->RemoveChild(L"b");
        Frames(1);
    }
}

TEST_F(WidgetInput, ClickOrderIsSoundStateListenerScriptEvent)
{
    Container* form = Create<Container>(root, L"w_container", L"form", 100, 100);
    Button* button = Create<Button>(form, L"w_button", L"b", 20, 20);
    ASSERT_TRUE(form && button);
    SetGlobal("form", form);
    SetGlobal("b", button);
    ASSERT_TRUE(Run("function form:HandleButtonPressed(w) note('listener frame ' .. w:GetFrame() .. ' after ' .. "
                    "soundsSoFar()) end "
                    "function b:OnButtonClick() note('OnButtonClick') end"));
    MoveTo(150, 130);
    Press();
    TakeSounds();
    Release();
    EXPECT_EQ(Calls(), "listener frame 1 after bttn_click; OnButtonClick");
}

TEST_F(WidgetInput, CheckBoxFramesFollowTheirEvents)
{
    struct Case
    {
        const wchar_t* definition;
        const char* events; // E onto it, L off it, C a click (press and release) on it
        bool ticked;
        uint32_t frame;
    };
    // Six frames without "_check": the ticked look is frames 3 to 5. Three frames with "_check":
    // the mark shows the tick and the frames only the pointer.
    const Case cases[] = {
        {L"w_check", "E", false, 1},        {L"w_check", "EC", true, 4},      {L"w_check", "ECL", true, 3},
        {L"w_check", "ECC", false, 1},      {L"w_check", "ECCL", false, 0},   {L"w_check_mark", "EC", true, 1},
        {L"w_check_mark", "ECL", true, 0},  {L"w_check_mark", "ECC", false, 1},
    };
    for (const Case& c : cases)
    {
        Container* form = Create<Container>(root, L"w_container", L"form", 100, 100);
        CheckBox* box = Create<CheckBox>(form, c.definition, L"cb", 20, 20);
        ASSERT_TRUE(form && box);
        SetGlobal("form", form);
        ASSERT_TRUE(Run("function form:HandleCheckBoxPressed(w) note('pressed ' .. w:GetFrame()) end"));
        std::string expected;
        for (char event : std::string(c.events))
            if (event == 'E')
                MoveTo(130, 130);
            else if (event == 'L')
                MoveTo(450, 350);
            else
            {
                Press();
                EXPECT_LT(box->currentFrame % 3, 2u) << "no pressed look of its own";
                Release();
            }
        EXPECT_EQ(box->ticked, c.ticked) << c.events;
        EXPECT_EQ(box->currentFrame, c.frame) << c.events;
        if (Instance_Movie* mark = Find(box, L"_check"))
        {
            EXPECT_EQ(mark->visible, c.ticked) << c.events;
        }
        Calls();
        root->RemoveChild(L"form");
        Frames(1);
    }
}

TEST_F(WidgetInput, TheRadioListenerSeesThePreviousSelection)
{
    Container* form = Create<Container>(root, L"w_container", L"form", 100, 100);
    RadioButton* a = Create<RadioButton>(form, L"w_radio", L"a", 20, 20);
    RadioButton* b = Create<RadioButton>(form, L"w_radio", L"b", 60, 20);
    RadioButton* c = Create<RadioButton>(form, L"w_radio", L"c", 100, 20);
    ASSERT_TRUE(form && a && b && c);
    EXPECT_EQ(form->radioGroup, (std::vector<RadioButton*>{a, b, c}));
    SetGlobal("form", form);
    SetGlobal("a", a);
    SetGlobal("b", b);
    SetGlobal("c", c);
    // Frames from 3 on show the selection.
    ASSERT_TRUE(Run("function form:HandleRadioButtonPressed(w) "
                    "note(w:GetName() .. ' sees ' .. a:GetFrame() .. b:GetFrame() .. c:GetFrame()) end"));
    Click(170, 130);
    Click(210, 130);
    EXPECT_EQ(Calls(), "b sees 010; c sees 031");
    EXPECT_FALSE(b->selected);
    EXPECT_TRUE(c->selected);
    EXPECT_EQ(c->currentFrame, 4u);

    TakeSounds();
    Click(210, 130);
    EXPECT_EQ(Calls(), "") << "the selected button ignores the click";
    EXPECT_TRUE(TakeSounds().empty());
    EXPECT_TRUE(c->selected);
}

TEST_F(WidgetInput, SliderDragsFollowThePointer)
{
    // Track 300 and knob 20 wide at (100, 200), 10 high.
    Slider* slider = Create<Slider>(root, L"w_slider", L"volume", 100, 200);
    ASSERT_NE(slider, nullptr);
    Instance_Movie* knob = Find(slider, L"_handle");
    ASSERT_NE(knob, nullptr);
    EXPECT_FLOAT_EQ(slider->trackLength, 300.0f);
    EXPECT_FLOAT_EQ(slider->knobLength, 20.0f);
    SliderRecorder recorder;
    slider->listener = &recorder;

    MoveTo(250, 205);
    EXPECT_EQ(knob->currentFrame, 1u) << "over";
    Press();
    EXPECT_EQ(knob->currentFrame, 2u) << "pressed";
    struct Step
    {
        int localX;
        float value;
    };
    // The knob's centre follows the pointer, also beyond the slider's ends.
    const Step steps[] = {{150, 50.0f}, {10, 0.0f}, {80, 25.0f}, {290, 100.0f}, {900, 100.0f}, {-50, 0.0f}};
    for (const Step& step : steps)
    {
        MoveTo(100 + step.localX, step.localX < 300 ? 205 : 400);
        Frames(1);
        EXPECT_FLOAT_EQ(slider->value, step.value) << step.localX;
        EXPECT_FLOAT_EQ(knob->x, 280.0f * step.value / 100.0f) << step.localX;
    }
    // Released away from it, with no frame since the move: the knob is left where the pointer let
    // go, the drag ends and the release is still reported.
    MoveTo(600, 600);
    Release();
    EXPECT_FALSE(slider->dragging);
    EXPECT_EQ(knob->currentFrame, 0u);
    EXPECT_FLOAT_EQ(slider->value, 100.0f);
    MoveTo(300, 205);
    Frames(1);
    EXPECT_FLOAT_EQ(slider->value, 100.0f) << "no drag after the release";
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"changed 50", "changed 0", "changed 25", "changed 100",
                                                        "changed 0", "changed 100", "pressed"}));
}

TEST_F(WidgetInput, ADragBegunWithoutTheOverStateEndsAtAReleaseOutside)
{
    Slider* slider = Create<Slider>(root, L"w_slider", L"volume", 100, 200);
    ASSERT_NE(slider, nullptr);
    MoveTo(250, 205);
    slider->SetState(0); // as a game may set it
    Press();
    EXPECT_TRUE(slider->dragging);
    EXPECT_FALSE(slider->pressed);
    MoveTo(600, 600);
    Release();
    EXPECT_FALSE(slider->dragging);
    EXPECT_FLOAT_EQ(slider->value, 100.0f) << "where the pointer let go";
    MoveTo(350, 205);
    Frames(1);
    EXPECT_FLOAT_EQ(slider->value, 100.0f) << "no drag after the release";
}

TEST_F(WidgetInput, ATrackNoLongerThanItsKnobKeepsItsValue)
{
    Slider* slider = Create<Slider>(root, L"w_slider_short", L"short", 100, 200);
    ASSERT_NE(slider, nullptr);
    EXPECT_FLOAT_EQ(slider->trackLength, slider->knobLength);
    MoveTo(110, 205);
    Press();
    for (int x : {100, 115, 400})
    {
        MoveTo(x, 205);
        Frames(1);
        EXPECT_FLOAT_EQ(slider->value, 0.0f) << x;
        EXPECT_TRUE(std::isfinite(slider->knob.GetInstance()->x)) << x;
    }
    Release();
}

TEST_F(WidgetInput, PlayingAnAncestorLeavesTheComponentsAlone)
{
    Instance_Movie* holder = Create(root, L"w_group", L"holder", 100, 100);
    Button* button = Create<Button>(holder, L"w_button", L"b");
    Instance_Movie* decoration = Create(holder, L"w_knob", L"decoration", 0, 100);
    ASSERT_TRUE(holder && button && decoration);
    SetGlobal("holder", holder);
    SetGlobal("b", button);
    ASSERT_TRUE(Run("holder:SetPlayingRecursive(true)"));
    EXPECT_TRUE(holder->playing);
    EXPECT_TRUE(decoration->playing);
    EXPECT_FALSE(button->playing) << "the state frames do not start running";
    Frames(10);
    EXPECT_EQ(button->currentFrame, 0u);
    ASSERT_TRUE(Run("b:SetPlayingRecursive(true)"));
    EXPECT_FALSE(button->playing);
    ASSERT_TRUE(Run("b:SetPlaying(true)"));
    EXPECT_TRUE(button->playing) << "its own timeline can still be started directly";
}

} // namespace
} // namespace WidgetTest
