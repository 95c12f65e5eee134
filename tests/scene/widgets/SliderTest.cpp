// Sliders: knob positions from the pointer, values outside the range and not numbers ignored, a
// track no longer than its knob, drags ended by every left release and by disabling, a release in
// the frame of the last moves taken where the pointer let go, and the vertical slider measuring
// along y only.
#include "tests/scene/widgets/WidgetFixture.h"

#include "engine/scene/widgets/Slider.h"

#include <cmath>
#include <limits>

namespace WidgetTest
{
namespace
{

struct SliderRecorder : SliderListener
{
    void HandleSliderPressed(ISlider*) override { calls.push_back("pressed"); }
    void HandleSliderChanged(ISlider* slider) override { calls.push_back("changed " + std::to_string(int(slider->value))); }
    std::vector<std::string> calls;
};

class Sliders : public WidgetFixture
{
protected:
    // A track of the given length at (100, 50) with a 3-frame knob of the given length.
    template <class T> T* MakeSlider(float track, float knobLength, bool vertical = false)
    {
        T* slider = Make<T>(root, L"slider", L"box3", 100, 50);
        slider->listener = &recorder;
        Leaf(slider, L"track", INSTANCE_IMAGE, 0, 0, vertical ? 10 : track, vertical ? track : 10);
        Instance_Movie* knob = Movie(slider, L"_handle");
        knob->definitionName = L"knob";
        Leaf(knob, L"face", INSTANCE_IMAGE, 0, 0, vertical ? 10 : knobLength, vertical ? knobLength : 10);
        Load(slider);
        recorder.calls.clear();
        return slider;
    }

    SliderRecorder recorder;
};

TEST_F(Sliders, TheKnobsCentreFollowsThePointer)
{
    struct Case
    {
        int32_t localX;
        float value;
    };
    const Case cases[] = {{10, 0.0f}, {150, 50.0f}, {290, 100.0f}, {300, 100.0f}, {900, 100.0f}, {-40, 0.0f}, {80, 25.0f}};
    Slider* slider = MakeSlider<Slider>(300, 20);
    EXPECT_FLOAT_EQ(slider->trackLength, 300.0f);
    EXPECT_FLOAT_EQ(slider->knobLength, 20.0f);
    slider->OnMouseDown(slider->movieHandle, 0);
    ASSERT_TRUE(slider->dragging);
    for (const Case& c : cases)
    {
        Pointer(100 + c.localX, 55);
        slider->OnUpdate(slider->movieHandle);
        EXPECT_FLOAT_EQ(slider->value, c.value) << c.localX;
        EXPECT_FLOAT_EQ(slider->knob.GetInstance()->x, 280.0f * c.value / 100.0f) << c.localX;
    }
}

TEST_F(Sliders, ValuesOutsideTheRangeOrNotNumbersAreIgnored)
{
    Slider* slider = MakeSlider<Slider>(300, 20);
    slider->SetValue(40.0f);
    for (float bad : {100.5f, -1.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                      -std::numeric_limits<float>::infinity()})
        slider->SetValue(bad);
    EXPECT_FLOAT_EQ(slider->value, 40.0f);
    EXPECT_FLOAT_EQ(slider->knob.GetInstance()->x, 112.0f);
    slider->SetValue(40.0f);
    EXPECT_EQ(recorder.calls, std::vector<std::string>{"changed 40"}) << "the same value again raises nothing";
}

TEST_F(Sliders, ATrackNoLongerThanItsKnobKeepsItsValue)
{
    for (float track : {20.0f, 10.0f})
    {
        Slider* slider = MakeSlider<Slider>(track, 20);
        slider->SetValue(30.0f);
        slider->OnMouseDown(slider->movieHandle, 0);
        Pointer(160, 55);
        slider->OnUpdate(slider->movieHandle);
        EXPECT_FLOAT_EQ(slider->value, 30.0f) << track;
        EXPECT_TRUE(std::isfinite(slider->knob.GetInstance()->x)) << track;
        root->RemoveAndQueueDelete(slider);
        root->DeletePending();
    }
}

TEST_F(Sliders, APressFromTheOverStateShowsThePressedKnobAndReportsTheRelease)
{
    Slider* slider = MakeSlider<Slider>(300, 20);
    auto* knob = RObjectCast<Instance_Movie>(slider->knob.GetInstance());
    slider->OnMouseEnter(slider->movieHandle);
    EXPECT_EQ(knob->requestedFrame, 1u);
    EXPECT_EQ(slider->requestedFrame, 0u) << "the track keeps its frame";
    slider->OnMouseDown(slider->movieHandle, 0);
    EXPECT_EQ(knob->requestedFrame, 2u);
    EXPECT_TRUE(slider->pressed);
    // The drag goes on outside the slider; a release outside ends it and still reports.
    slider->OnMouseLeave(slider->movieHandle);
    Pointer(800, 300);
    slider->OnUpdate(slider->movieHandle);
    slider->OnMouseUpOutside(slider->movieHandle, 0);
    EXPECT_FALSE(slider->dragging);
    EXPECT_EQ(slider->state, 0);
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"changed 100", "pressed"}));
    EXPECT_EQ(TakeSounds(), (std::vector<std::wstring>{L"slider_click", L"slider_click"}));
}

TEST_F(Sliders, EveryLeftReleaseAndDisablingEndTheDrag)
{
    struct Case
    {
        const char* name;
        void (*end)(Slider&);
        bool ends;
    };
    const Case cases[] = {
        {"release outside after a press without over", [](Slider& s) { s.OnMouseUpOutside(s.movieHandle, 0); }, true},
        {"release over it", [](Slider& s) { s.OnMouseUp(s.movieHandle, 0); }, true},
        {"release while disabled", [](Slider& s) { s.enabled = false; s.OnMouseUp(s.movieHandle, 0); }, true},
        {"disabling", [](Slider& s) { s.SetEnabled(false); }, true},
        {"right release", [](Slider& s) { s.OnMouseUp(s.movieHandle, 1); }, false},
    };
    for (const Case& c : cases)
    {
        Slider* slider = MakeSlider<Slider>(300, 20);
        slider->OnMouseDown(slider->movieHandle, 0);
        Pointer(100 + 10, 55); // the release, which takes the pointer's place, leaves the value at 0
        c.end(*slider);
        EXPECT_EQ(slider->dragging, !c.ends) << c.name;
        Pointer(250, 55);
        slider->OnUpdate(slider->movieHandle);
        EXPECT_EQ(slider->value != 0.0f, !c.ends) << c.name;
        root->RemoveAndQueueDelete(slider);
        root->DeletePending();
    }
}

// The knob follows the pointer once a frame: on a slow machine the last moves of a drag and the
// release come in one frame, and the release must still leave the knob where the pointer let go.
TEST_F(Sliders, AReleaseBeforeTheNextFrameLeavesTheKnobWhereThePointerLetGo)
{
    struct Case
    {
        const char* name;
        int32_t localX;
        void (*release)(Slider&);
        float value;
    };
    const Case cases[] = {
        {"over the track", 10, [](Slider& s) { s.OnMouseUp(s.movieHandle, 0); }, 0.0f},
        {"left of the track", -40, [](Slider& s) { s.OnMouseUpOutside(s.movieHandle, 0); }, 0.0f},
        {"right of the track", 900, [](Slider& s) { s.OnMouseUpOutside(s.movieHandle, 0); }, 100.0f},
        {"while disabled", 10, [](Slider& s) { s.enabled = false; s.OnMouseUp(s.movieHandle, 0); }, 50.0f},
    };
    for (const Case& c : cases)
    {
        Slider* slider = MakeSlider<Slider>(300, 20);
        slider->OnMouseDown(slider->movieHandle, 0);
        Pointer(100 + 150, 55);
        slider->OnUpdate(slider->movieHandle);
        ASSERT_FLOAT_EQ(slider->value, 50.0f) << c.name;
        Pointer(100 + c.localX, 55);
        c.release(*slider);
        EXPECT_FALSE(slider->dragging) << c.name;
        EXPECT_FLOAT_EQ(slider->value, c.value) << c.name;
        root->RemoveAndQueueDelete(slider);
        root->DeletePending();
    }
}

TEST_F(Sliders, AVerticalSliderWorksAlongYOnly)
{
    VSlider* slider = MakeSlider<VSlider>(200, 40, true);
    EXPECT_FLOAT_EQ(slider->trackLength, 200.0f);
    EXPECT_FLOAT_EQ(slider->knobLength, 40.0f);
    slider->OnMouseDown(slider->movieHandle, 0);
    Pointer(5000, 50 + 100);
    slider->OnUpdate(slider->movieHandle);
    EXPECT_FLOAT_EQ(slider->value, 50.0f);
    EXPECT_FLOAT_EQ(slider->knob.GetInstance()->y, 80.0f);
    EXPECT_FLOAT_EQ(slider->knob.GetInstance()->x, 0.0f);
}

} // namespace
} // namespace WidgetTest
