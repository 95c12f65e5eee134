// The tree around the node: handles and their release, drawing-order moves, masks, material changes
// reaching the device, deletion through the parent, canvases and event sounds.
#include "tests/scene/display/DisplayFixture.h"

namespace SceneTest
{
namespace
{

using InstanceTree = DisplayFixture;

std::vector<std::wstring> names(const std::vector<Instance_Base*>& list)
{
    std::vector<std::wstring> out;
    for (const Instance_Base* instance : list)
        out.push_back(instance->name);
    return out;
}

TEST_F(InstanceTree, HandlesGoStaleWhenReleasedAndStayStaleWhenTheSlotIsReused)
{
    Instance_Movie* first = Movie(root, L"first");
    const InstanceHandle handle = first->handle;
    const InstanceHandle copy = handle;
    EXPECT_TRUE(copy.IsValid());
    EXPECT_EQ(copy.GetInstance(), first);
    EXPECT_EQ(first->movieHandle, handle);
    EXPECT_EQ(first->parent, ui->rootHandle);
    EXPECT_EQ(ui->liveInstanceCount, 1u);

    first->Unload();
    EXPECT_TRUE(first->unloaded);
    EXPECT_FALSE(handle.IsValid());
    EXPECT_FALSE(copy.IsValid());
    EXPECT_EQ(copy.GetInstance(), nullptr);
    EXPECT_EQ(ui->liveInstanceCount, 0u);

    Instance_Movie* second = Movie(root, L"second");
    EXPECT_EQ(second->handle.index, handle.index) << "the freed slot is taken again";
    EXPECT_NE(second->handle.serial, handle.serial);
    EXPECT_FALSE(copy.IsValid());
    EXPECT_EQ(copy.GetInstance(), nullptr);
    EXPECT_TRUE(copy.NotEquals(second->handle));

    // Serial 0 never resolves, not even against a freed slot whose serial is 0.
    second->Unload();
    ASSERT_EQ(ui->instanceTable.GetSlot(handle.index)->serial, 0u);
    const InstanceHandle invalid[] = {
        {0, handle.index, &ui->instanceTable},
        {second->handle.serial, ui->instanceTable.GetUsed(), &ui->instanceTable},
        {ui->rootHandle.serial, ui->rootHandle.index, nullptr},
        {},
    };
    for (const InstanceHandle& h : invalid)
    {
        EXPECT_FALSE(h.IsValid());
        EXPECT_EQ(h.GetInstance(), nullptr);
        EXPECT_FALSE(h.AsMovie().IsValid());
    }
}

TEST_F(InstanceTree, TypedCopiesOnlyOfTheirKind)
{
    Instance_Movie* movie = Movie(root, L"movie");
    Instance_Base* image = Leaf(movie, L"image", INSTANCE_IMAGE, 0, 0, 1, 1);
    Instance_Base* text = Leaf(movie, L"text", INSTANCE_TEXT, 0, 0, 1, 1);
    const struct
    {
        InstanceHandle handle;
        bool movie, image, text;
    } cases[] = {
        {movie->handle, true, false, false},
        {image->handle, false, true, false},
        {text->handle, false, false, true},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(c.handle.AsMovie().IsValid(), c.movie);
        EXPECT_EQ(c.handle.AsImage().IsValid(), c.image);
        EXPECT_EQ(c.handle.AsText().IsValid(), c.text);
        EXPECT_EQ(c.handle.AsType(INSTANCE_EFFECT), InstanceHandle{});
    }
    EXPECT_EQ(image->handle.AsImage(), image->handle);
    EXPECT_EQ(ui->liveInstanceCount, 3u);
}

TEST_F(InstanceTree, MovesChangeOnlyTheDrawingOrder)
{
    Instance_Movie* a = Movie(root, L"A");
    Instance_Movie* b = Movie(root, L"B");
    Instance_Movie* c = Movie(root, L"C");
    Instance_Movie* d = Movie(root, L"D");
    Instance_Movie* other = Movie(a, L"X");
    using Order = std::vector<std::wstring>;
    using Move = void (*)(Instance_Base * self, Instance_Base * target);
    const Move inFront = [](Instance_Base* s, Instance_Base* t) { s->MoveInFrontOf(t); };
    const Move behind = [](Instance_Base* s, Instance_Base* t) { s->MoveBehind(t); };
    const Move toFront = [](Instance_Base* s, Instance_Base*) { s->MoveToFront(); };
    const Move toBack = [](Instance_Base* s, Instance_Base*) { s->MoveToBack(); };
    const struct
    {
        Instance_Base* self;
        Move move;
        Instance_Base* target;
        Order expected;
    } cases[] = {
        {b, inFront, c, {L"A", L"C", L"B", L"D"}},
        {c, inFront, a, {L"A", L"C", L"B", L"D"}},
        {a, inFront, d, {L"B", L"C", L"D", L"A"}},
        {d, inFront, c, {L"A", L"B", L"C", L"D"}},
        {d, behind, a, {L"D", L"A", L"B", L"C"}},
        {b, behind, d, {L"A", L"C", L"B", L"D"}},
        {a, behind, b, {L"A", L"B", L"C", L"D"}}, // directly in front already
        {c, behind, c, {L"A", L"B", L"C", L"D"}},
        {other, inFront, d, {L"A", L"B", L"C", L"D"}}, // different parents
        {d, behind, other, {L"A", L"B", L"C", L"D"}},
        {a, toFront, nullptr, {L"B", L"C", L"D", L"A"}},
        {d, toFront, nullptr, {L"A", L"B", L"C", L"D"}},
        {c, toBack, nullptr, {L"C", L"A", L"B", L"D"}},
        {root, toFront, nullptr, {L"A", L"B", L"C", L"D"}}, // no parent
    };
    for (const auto& e : cases)
    {
        root->drawOrder = {a, b, c, d};
        e.move(e.self, e.target);
        EXPECT_EQ(names(root->drawOrder), e.expected) << names({e.self})[0];
        EXPECT_EQ(names(root->children), (Order{L"A", L"B", L"C", L"D"}));
        EXPECT_EQ(names(a->drawOrder), Order{L"X"});
    }
}

TEST_F(InstanceTree, MasksSetAndClearTheirFlagsThroughSetMaterial)
{
    Instance_Movie* movie = Movie(root, L"movie");
    Instance_Base* leaf = Leaf(movie, L"leaf", INSTANCE_TEXT, 0, 0, 1, 1);
    int& invalidations = renderer->Device().invalidations;

    movie->SetMaterial(2); // additive
    EXPECT_EQ(leaf->material, 2u) << "a movie passes its material down";
    movie->ToggleMaskBase(true);
    EXPECT_EQ(movie->material, 4u) << "the mask layer replaces the whole word";
    EXPECT_EQ(leaf->material, 4u);
    const int before = invalidations;
    movie->ToggleMaskBase(true);
    EXPECT_EQ(invalidations, before) << "no change, no call";
    movie->ToggleMaskBase(false);
    EXPECT_EQ(movie->material, 1u) << "back to alpha, not to additive";

    const struct
    {
        void (Instance_Base::*toggle)(bool);
        uint32_t bit;
    } bits[] = {
        {&Instance_Base::ToggleMaskIn, 0x10000},
        {&Instance_Base::ToggleMaskOut, 0x40000},
        {&Instance_Base::ToggleMaskClear, 0x20000},
    };
    for (const auto& b : bits)
    {
        leaf->SetMaterial(2);
        const int start = invalidations;
        (leaf->*b.toggle)(true);
        EXPECT_EQ(leaf->material, 2u | b.bit);
        (leaf->*b.toggle)(true);
        EXPECT_EQ(invalidations, start + 1);
        (leaf->*b.toggle)(false);
        EXPECT_EQ(leaf->material, 2u);
        (leaf->*b.toggle)(false);
        EXPECT_EQ(invalidations, start + 2);
    }
}

TEST_F(InstanceTree, AppearanceChangesMakeTheDeviceApplyItsMaterialStateAgain)
{
    Instance_Base* leaf = Leaf(root, L"leaf", INSTANCE_TEXT, 0, 0, 1, 1);
    int& invalidations = renderer->Device().invalidations;
    const int start = invalidations;
    leaf->SetOpacity(0.5f);
    leaf->SetVisible(false);
    leaf->SetMaterial(2);
    leaf->SetAllowFiltering(false);
    EXPECT_EQ(invalidations, start + 4);
    leaf->SetInputEnabled(false);
    EXPECT_EQ(invalidations, start + 4);
    EXPECT_EQ(leaf->opacity, 0.5f);
    EXPECT_FALSE(leaf->visible || leaf->allowFiltering || leaf->inputEnabled);
}

TEST_F(InstanceTree, ChildrenInheritTheMaterialUnlessTheyOptOut)
{
    root->SetMaterial(0x10002);
    Instance_Movie* child = Movie(root, L"child");
    EXPECT_EQ(child->material, 0x10002u);
    root->material = 0x80002;
    Instance_Movie* plain = Movie(root, L"plain");
    EXPECT_EQ(plain->material, 2u) << "the opt-out bit is not inherited";
}

struct CountingHandler : IInstanceEventHandler
{
    explicit CountingHandler(int& gone) : gone(gone) {}
    ~CountingHandler() override { ++gone; }
    void OnUnload(InstanceHandle) override { ++unloads; }
    int& gone;
    int unloads = 0;
};

TEST_F(InstanceTree, DeleteAsksTheParentWhichKeepsTimelineChildrenUnlessFrozen)
{
    Instance_Movie* parent = Movie(root, L"parent");
    Instance_Movie* made = Movie(parent, L"made");
    Instance_Movie* timeline = Movie(parent, L"timeline");
    timeline->timelineIndex = 0;
    const InstanceHandle madeHandle = made->handle;
    EXPECT_EQ(ui->liveInstanceCount, 3u);

    made->Delete(false);
    EXPECT_FALSE(madeHandle.IsValid());
    EXPECT_TRUE(made->unloaded);
    EXPECT_EQ(names(parent->children), std::vector<std::wstring>{L"timeline"});
    EXPECT_EQ(names(parent->drawOrder), std::vector<std::wstring>{L"timeline"});
    EXPECT_EQ(names(parent->pendingDeletes), std::vector<std::wstring>{L"made"});
    EXPECT_EQ(ui->liveInstanceCount, 2u);

    timeline->Delete(false);
    EXPECT_EQ(parent->children.size(), 1u) << "the timeline owns it";
    parent->frozen = true;
    timeline->Delete(false);
    EXPECT_TRUE(parent->children.empty());
    parent->DeletePending();
    EXPECT_TRUE(parent->pendingDeletes.empty());

    // Unloading reaches the whole subtree and its handlers; clearing the handlers first spares them.
    int gone = 0;
    Instance_Movie* upper = Movie(root, L"upper");
    Instance_Movie* lower = Movie(upper, L"lower");
    auto* handler = new CountingHandler(gone);
    lower->SetEventHandler(handler);
    lower->ownsEventHandler = true;
    const InstanceHandle lowerHandle = lower->handle;
    upper->Delete(true);
    EXPECT_EQ(gone, 1) << "cleared, and deleted as the movie owned it";
    EXPECT_EQ(lower->eventHandler, nullptr);
    EXPECT_FALSE(lowerHandle.IsValid()) << "children are unloaded with their parent";
    root->DeletePending();

    Instance_Movie* kept = Movie(root, L"kept");
    CountingHandler watcher(gone);
    kept->SetEventHandler(&watcher);
    kept->Delete(false);
    EXPECT_EQ(watcher.unloads, 1);
    EXPECT_EQ(kept->eventHandler, &watcher) << "handed in from outside: not owned";
    kept->SetEventHandler(nullptr);
    root->DeletePending();
    EXPECT_EQ(ui->liveInstanceCount, 1u) << "only \"parent\" is left";
}

TEST_F(InstanceTree, CanvasesAreMadeOnRequest)
{
    Instance_Movie* movie = Movie(root, L"movie");
    EXPECT_EQ(movie->GetCanvas(false), nullptr);
    IRenderCanvas* canvas = movie->GetCanvas(true);
    ASSERT_NE(canvas, nullptr);
    EXPECT_EQ(canvas, RecordingCanvas::Last());
    EXPECT_EQ(movie->GetCanvas(true), canvas);
    EXPECT_EQ(movie->GetCanvas(false), canvas);
}

TEST_F(InstanceTree, EventSoundsNeedADefinitionThatNamesThem)
{
    RecordingSoundManager sounds;
    Instance_Movie* button = Movie(root, L"button");
    EXPECT_FALSE(button->PlayEventSound(L"bttn_click").IsAlive()) << "no definition";
    button->definitionName = L"menu_button";
    EXPECT_FALSE(button->PlayEventSound(L"bttn_click").IsAlive()) << "the map does not hold it";
    EXPECT_TRUE(sounds.played.empty());
}

TEST_F(InstanceTree, CopyFromTakesTheTransformAndLooksButNotTheIdentity)
{
    Instance_Movie* source = Movie(root, L"source", 3, 4);
    source->SetScale(2, 5);
    source->SetRotation(0.5f);
    source->SetRegistrationPoint(1, 2);
    source->SetOpacity(0.25f);
    source->SetMaterial(2);
    source->SetVisible(false);
    source->SetInputEnabled(false);
    Extent(source, 8, 9);
    source->definitionName = L"def";
    Instance_Movie* copy = Movie(root, L"copy");
    copy->CopyFrom(*source);
    float sl, st, sr, sb, cl, ct, cr, cb;
    source->GetBounds(sl, st, sr, sb, false);
    copy->GetBounds(cl, ct, cr, cb, false);
    EXPECT_EQ((std::vector<float>{sl, st, sr, sb}), (std::vector<float>{cl, ct, cr, cb}));
    EXPECT_EQ(copy->opacity, 0.25f);
    EXPECT_EQ(copy->material, 2u);
    EXPECT_FALSE(copy->visible || copy->inputEnabled);
    EXPECT_EQ(copy->name, L"copy");
    EXPECT_TRUE(copy->definitionName.empty());
    EXPECT_NE(copy->handle, source->handle);
}

TEST_F(InstanceTree, CreationRefusesATakenNameAndClassesThatAreNoInstances)
{
    Instance_Movie* first = Movie(root, L"same");
    Instance_Base* second = nullptr;
    EXPECT_FALSE(Instance_Movie::CreateInstanceCore(root, L"", L"same", true, nullptr, &second).IsValid());
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(root->children.size(), 1u);
    EXPECT_EQ(root->children[0], first);
    EXPECT_FALSE(Instance_Movie::CreateChild(root, L"", L"notAnInstance", RClass::StaticClass()).IsValid());
    EXPECT_FALSE(Instance_Movie::CreateChild(root, L"missing_definition", L"x", nullptr).IsValid());
    EXPECT_TRUE(Instance_Movie::CreateChildFromDefault(root, L"other").AsMovie().IsValid());
}

} // namespace
} // namespace SceneTest
