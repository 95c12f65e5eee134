// Components and containers: the disabled look, the over state on enabling, registration with the
// nearest container and leaving it at unload, "_bounds", unique focus across nested containers,
// and the listener calls into the container's script table.
#include "tests/scene/widgets/WidgetFixture.h"

#include "engine/scene/widgets/Button.h"
#include "engine/scene/widgets/RadioButton.h"

namespace WidgetTest
{
namespace
{

class Components : public WidgetFixture
{
protected:
    // A 3-frame button of 100 x 40 at (10, 20) under the parent.
    Button* SizedButton(Instance_Movie* parent, const std::wstring& name, bool withMask)
    {
        Button* button = Make<Button>(parent, name, L"button", 10, 20);
        Leaf(button, L"face", INSTANCE_IMAGE, 0, 0, 100, 40);
        if (withMask)
            Movie(button, L"disable_mask");
        return button;
    }
};

TEST_F(Components, DisabledLookWithAndWithoutMask)
{
    Button* plain = SizedButton(root, L"plain", false);
    Button* masked = SizedButton(root, L"masked", true);
    Instance_Base* mask = masked->FindChildByPath(L"disable_mask").GetInstance();
    Load(plain);
    Load(masked);

    plain->SetEnabled(false);
    masked->SetEnabled(false);
    EXPECT_EQ(plain->state, 2) << "the pressed frame is the disabled look";
    EXPECT_EQ(plain->requestedFrame, 2u);
    EXPECT_FALSE(plain->inputEnabled);
    EXPECT_EQ(masked->state, 0);
    EXPECT_EQ(masked->requestedFrame, 0u);
    EXPECT_TRUE(mask->visible);

    masked->SetEnabled(true);
    EXPECT_FALSE(mask->visible);
    EXPECT_TRUE(masked->inputEnabled);
}

TEST_F(Components, EnablingShowsTheOverStateInsideTheHalfOpenBox)
{
    struct Case
    {
        int32_t x, y;
        int32_t state;
    };
    // The button covers (10, 20) to (110, 60) in game coordinates.
    const Case cases[] = {{10, 20, 1}, {50, 40, 1}, {109, 59, 1}, {110, 40, 0}, {50, 60, 0}, {9, 40, 0}, {50, 19, 0}};
    Button* button = SizedButton(root, L"b", false);
    Load(button);
    for (const Case& c : cases)
    {
        button->SetEnabled(false);
        Pointer(c.x, c.y);
        button->SetEnabled(true);
        EXPECT_EQ(button->state, c.state) << c.x << "," << c.y;
    }
    // The same flag again changes nothing.
    button->SetState(2);
    button->SetEnabled(true);
    EXPECT_EQ(button->state, 2);
}

TEST_F(Components, AStateBeyondTheFramesKeepsTheFrame)
{
    Button* button = SizedButton(root, L"b", false);
    button->SetState(1);
    button->SetState(7);
    EXPECT_EQ(button->state, 7);
    EXPECT_EQ(button->requestedFrame, 1u);
}

TEST_F(Components, RegistrationFindsTheNearestContainer)
{
    Container* outer = Make<Container>(root, L"outer");
    Container* inner = Make<Container>(outer, L"inner");
    Instance_Movie* plain = Movie(inner, L"plain");
    Button* nested = Make<Button>(plain, L"nested");
    Button* direct = Make<Button>(outer, L"direct");
    Button* loose = Make<Button>(Movie(root, L"group"), L"loose");
    for (Instance_Movie* movie : std::initializer_list<Instance_Movie*>{outer, inner, nested, direct, loose})
        Load(movie);

    EXPECT_EQ(nested->owner, inner);
    EXPECT_EQ(nested->listener, static_cast<ButtonListener*>(inner));
    EXPECT_EQ(direct->owner, outer);
    EXPECT_EQ(inner->owner, outer) << "a container is a component of the container above it";
    EXPECT_EQ(outer->owner, nullptr);
    EXPECT_EQ(loose->owner, nullptr);
    EXPECT_EQ(loose->listener, nullptr);
    EXPECT_EQ(outer->components, (std::vector<Component*>{inner, direct}));
    EXPECT_EQ(inner->components, std::vector<Component*>{nested});
}

TEST_F(Components, RegistrationIsIdempotentAndOnlyForTheOwnHandle)
{
    Container* box = Make<Container>(root, L"box");
    Button* button = Make<Button>(box, L"b");
    Instance_Movie* other = Movie(box, L"other");
    Load(box);
    Load(button);
    Load(button);
    button->OnLoad(other->movieHandle);
    EXPECT_EQ(box->components, std::vector<Component*>{button});

    button->OnUnload(other->movieHandle);
    EXPECT_EQ(button->owner, box) << "another instance's unload is not the button's";
    box->RemoveAndQueueDelete(button);
    EXPECT_TRUE(box->components.empty());
    EXPECT_EQ(button->owner, nullptr);
}

TEST_F(Components, AListenerSetBeforeRegistrationStaysAndTheOverrideWins)
{
    struct Recorder : ButtonListener
    {
        void HandleButtonPressed(Button*) override { ++calls; }
        int calls = 0;
    } preset, override;
    Container* box = Make<Container>(root, L"box");
    box->buttonListenerOverride = &override;
    Button* first = Make<Button>(box, L"first");
    Button* second = Make<Button>(box, L"second");
    second->listener = &preset;
    Load(box);
    Load(first);
    Load(second);
    EXPECT_EQ(first->listener, &override);
    EXPECT_EQ(second->listener, &preset);
}

TEST_F(Components, BoundsChildTakesThePointerInput)
{
    Button* button = Make<Button>(root, L"b", L"button");
    Instance_Movie* bounds = Movie(button, L"_bounds");
    Instance_Movie* face = Movie(button, L"face");
    Load(button);
    EXPECT_EQ(bounds->GetEventHandler(), static_cast<IInstanceEventHandler*>(button));
    EXPECT_EQ(button->GetEventHandler(), nullptr);
    EXPECT_TRUE(button->HitTest(bounds->movieHandle));
    EXPECT_FALSE(button->HitTest(face->movieHandle));
    EXPECT_FALSE(button->HitTest(button->movieHandle));
    EXPECT_TRUE(button->GetHitArea() == bounds->handle);

    // The load of "_bounds", which the button now hears, registers nothing a second time.
    Container* box = Make<Container>(root, L"box");
    Button* inner = Make<Button>(box, L"inner");
    Instance_Movie* innerBounds = Movie(inner, L"_bounds");
    Load(box);
    Load(inner);
    inner->OnLoad(innerBounds->movieHandle);
    EXPECT_EQ(box->components.size(), 1u);

    // Without a handler of its own it hears no unload, and still leaves its container.
    box->RemoveAndQueueDelete(inner);
    EXPECT_TRUE(box->components.empty());
}

TEST_F(Components, FocusIsUniqueAcrossNestedContainers)
{
    Container* outer = Make<Container>(root, L"outer");
    Container* left = Make<Container>(outer, L"left");
    Container* leftInner = Make<Container>(left, L"leftInner");
    Container* right = Make<Container>(outer, L"right");
    Component* a = Make<Button>(left, L"a");
    Component* b = Make<Button>(leftInner, L"b");
    Component* c = Make<Button>(right, L"c");
    Component* d = Make<Button>(outer, L"d");
    for (Instance_Movie* movie : std::initializer_list<Instance_Movie*>{outer, left, leftInner, right, a, b, c, d})
        Load(movie);

    outer->SetFocus(d);
    leftInner->SetFocus(b);
    EXPECT_FALSE(d->focused) << "the outer container lost its focus to the inner one";
    EXPECT_EQ(outer->focusedComponent, nullptr);
    right->SetFocus(c);
    EXPECT_FALSE(b->focused) << "nor does a neighbouring container keep its own";
    EXPECT_EQ(leftInner->focusedComponent, nullptr);
    EXPECT_TRUE(c->focused);

    leftInner->SetFocus(b);
    left->SetFocus(a);
    EXPECT_TRUE(a->focused);
    EXPECT_FALSE(b->focused) << "the containers below lose theirs";
    EXPECT_FALSE(c->focused);
    EXPECT_TRUE(left->focusValid);
    int focusedCount = 0;
    for (Component* component : {a, b, c, d})
        focusedCount += component->focused ? 1 : 0;
    EXPECT_EQ(focusedCount, 1);

    left->SetFocus(nullptr);
    EXPECT_TRUE(a->focused);
}

TEST_F(Components, ALeftPressOnAContainerClearsItsFocusUnlessItJustGaveIt)
{
    Container* outer = Make<Container>(root, L"outer");
    Container* inner = Make<Container>(outer, L"inner");
    Component* field = Make<Button>(inner, L"field");
    for (Instance_Movie* movie : std::initializer_list<Instance_Movie*>{outer, inner, field})
        Load(movie);

    inner->SetFocus(field);
    inner->OnMouseDown(inner->movieHandle, 0);
    EXPECT_TRUE(field->focused) << "the press that gave the focus keeps it";
    inner->OnMouseDown(inner->movieHandle, 1);
    EXPECT_TRUE(field->focused) << "only the left button";
    inner->OnMouseDown(inner->movieHandle, 0);
    EXPECT_FALSE(field->focused);

    // The press clears the ancestors too.
    outer->SetFocus(inner);
    EXPECT_TRUE(inner->focused);
    outer->focusValid = false;
    inner->OnMouseDown(inner->movieHandle, 0);
    EXPECT_FALSE(inner->focused);
}

TEST_F(Components, ScriptMethodsSetEnableAndSetFocus)
{
    Container* box = Make<Container>(root, L"box");
    Button* button = Make<Button>(box, L"b", L"button");
    Load(box);
    Load(button);
    SetGlobal("b", button);
    ASSERT_TRUE(Run("b:SetEnable(false) b:SetEnable(1) b:SetFocus(true)"));
    EXPECT_FALSE(button->enabled);
    EXPECT_TRUE(button->focused);
    EXPECT_EQ(box->focusedComponent, nullptr) << "the script's focus is the flag alone";
}

TEST_F(Components, ListenersCallTheContainersScriptFunctions)
{
    Container* box = Make<Container>(root, L"box");
    Button* button = Make<Button>(box, L"ok", L"button");
    Load(box);
    Load(button);
    SetGlobal("box", box);
    ASSERT_TRUE(Run("calls = '' "
                    "function box:HandleButtonPressed(widget) calls = calls .. widget:GetName() .. ';' end "
                    "function box:HandleSliderChanged(widget) error('boom') end"));
    box->HandleButtonPressed(button);
    box->HandleCheckBoxPressed(nullptr); // no such function: nothing
    box->HandleSliderChanged(nullptr);   // a failing handler is reported, not raised
    EXPECT_EQ(Global("calls"), "ok;");
}

TEST_F(Components, BroadcastAndEnableReachEveryRegisteredComponent)
{
    Container* box = Make<Container>(root, L"box");
    Button* one = Make<Button>(box, L"one", L"button");
    Button* two = Make<Button>(box, L"two", L"button");
    Load(box);
    Load(one);
    Load(two);
    box->SetComponentsEnabled(false);
    EXPECT_FALSE(one->enabled);
    EXPECT_FALSE(two->enabled);
    EXPECT_TRUE(box->enabled);
}

TEST_F(Components, ContainerGoesBeforeItsComponentsWithoutDanglingOwners)
{
    Container* box = Make<Container>(root, L"box");
    Button* button = Make<Button>(box, L"b");
    Load(box);
    Load(button);
    // Shutdown deletes the tree without unloading it: the container part goes first, then its
    // children, which must not reach back into it.
    std::erase(root->children, box);
    std::erase(root->drawOrder, box);
    RObject::DeleteSelf(box);
    EXPECT_TRUE(root->children.empty() || root->children.back() != box);
}

} // namespace
} // namespace WidgetTest
