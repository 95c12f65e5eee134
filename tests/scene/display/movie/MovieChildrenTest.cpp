// A movie's children: the creation paths and their one rule on names, timeline children by depth
// and by life, deletion from frames and scripts, lookups, drawing with culling, bounds and
// readiness, cloning, and scripts that reshape the tree from inside every event.
#include "tests/scene/display/MovieFixture.h"

#include <functional>

namespace SceneTest
{

// A leaf that is never ready, as a running effect is.
class NotReadyLeaf : public Instance_Base
{
    TARN_RCLASS(NotReadyLeaf)
public:
    bool IsReady() override { return false; }
};
TARN_IMPLEMENT_RCLASS(NotReadyLeaf, Instance_Base, RObjectFactory<NotReadyLeaf>)

namespace
{

using Strings = std::vector<std::string>;
using WStrings = std::vector<std::wstring>;

class MovieChildren : public MovieFixture
{
protected:
    void SetUp() override
    {
        MovieFixture::SetUp();
        Define("<Definition type=\"image\" name=\"pic\" src=\"pic.png\"/>" + MovieDef("kid", 1, 30, "") +
               MovieDef("bye", 3, 30, "<Event frame=\"1\" type=\"deleteSelf\"/>") +
               // Children by depth: "back" is deepest-first in the definition but drawn behind.
               MovieDef("scene", 20, 30,
                        Entry("front", "pic", 0, 20, 5, Frames(20, 1)) + Entry("back", "pic", 0, 20, 1, Frames(20, 2)) +
                            Entry("middle", "kid", 0, 20, 3, Frames(20, 3)) +
                            Entry("front", "kid", 0, 20, 9, Frames(20, 4)) + // a second of that name
                            Entry("blink", "pic", 2, 5, 4, Frames(20, 5)) +
                            Entry("leaver", "bye", 0, 20, 2, Frames(20, 6)) +
                            Entry("late", "pic", 10, 20, 7, Frames(20, 7))));
    }
};

TEST_F(MovieChildren, TimelineChildrenAreDrawnByDepthAndScriptChildrenOnTop)
{
    Instance_Movie* scene = Make(root, L"scene", L"scene");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(Names(scene->children), (WStrings{L"front", L"back", L"middle", L"leaver"}))
        << "creation order; the second \"front\" is passed over";
    EXPECT_EQ(Names(scene->drawOrder), (WStrings{L"back", L"leaver", L"middle", L"front"}));
    Make(scene, L"kid", L"scripted");
    scene->SetFrame(3);
    EXPECT_EQ(Names(scene->drawOrder), (WStrings{L"back", L"leaver", L"middle", L"blink", L"front", L"scripted"}))
        << "a timeline child goes behind the first deeper one; a script's child stays in front";
    EXPECT_EQ(Names(scene->children).back(), L"blink");

    // Scripts see creation order through GetChild and drawing order through GetRenderOrder.
    SetGlobal("scene", scene);
    ASSERT_TRUE(Run("local c, r = scene:GetChildren(), scene:GetRenderOrder() "
                    "note(scene:GetChild(0):GetName()) note(c[#c]:GetName()) note(r[1]:GetName()) "
                    "note(tostring((scene:GetChild(#c)))) note(tostring((scene:GetChild(-1)))) "
                    "note(scene:GetNumChildren())"));
    EXPECT_EQ(Seen(), (Strings{"front", "blink", "back", "nil", "nil", "6"}));

    // Leaving a child's life removes it at once; it is deleted with the parent's update.
    scene->SetFrame(6);
    EXPECT_EQ(Child(scene, L"blink"), nullptr);
    EXPECT_EQ(Names(scene->pendingDeletes), WStrings{L"blink"});
    root->Update(0.001f);
    EXPECT_TRUE(scene->pendingDeletes.empty());
}

TEST_F(MovieChildren, ANameAlreadyTakenFailsOnEveryCreationPath)
{
    Instance_Movie* parent = Make(root, L"kid", L"parent");
    Instance_Movie* first = Make(parent, L"kid", L"same");
    ASSERT_NE(first, nullptr);
    SetGlobal("parent", parent);
    SetGlobal("first", first);
    struct Case
    {
        const char* path;
        std::function<bool()> create;
    };
    const Case cases[] = {
        {"definition", [&] { return Instance_Movie::CreateChild(parent, L"kid", L"same", nullptr).IsValid(); }},
        {"image", [&] { return Instance_Movie::CreateChild(parent, L"pic", L"same", nullptr).IsValid(); }},
        {"default", [&] { return Instance_Movie::CreateChildFromDefault(parent, L"same").IsValid(); }},
        {"class", [&] { return Instance_Movie::CreateChild(parent, L"", L"same", Instance_Movie::StaticClass()).IsValid(); }},
        {"class name",
         [&] { return Instance_Movie::CreateInstanceByClassName(parent, L"", L"same", L"Instance_Movie").IsValid(); }},
        {"clone", [&] { return Instance_Movie::CloneInstance(parent, first->handle, L"same").IsValid(); }},
        {"script", [&] { return Run("assert(parent:CreateInstance('kid', 'same') == nil)"); }},
        {"script clone", [&] { return Run("assert(parent:CreateCloneInstance(first, 'same') == nil)"); }},
    };
    for (const Case& c : cases)
    {
        const bool result = c.create();
        EXPECT_EQ(result, std::string(c.path).find("script") != std::string::npos) << c.path;
        EXPECT_EQ(parent->children.size(), 1u) << c.path;
        EXPECT_EQ(parent->children[0], first) << c.path;
        EXPECT_FALSE(first->unloaded) << c.path;
    }
    EXPECT_EQ(ui->liveInstanceCount, 2u) << "nothing was left registered";

    // The timeline passes over an entry whose name a script child took.
    Instance_Movie* scene = Make(root, L"kid", L"host");
    Make(scene, L"kid", L"late");
    scene->definitionName = L"scene";
    scene->SetFrame(12);
    Instance_Base* late = Child(scene, L"late");
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(late->timelineIndex, -1) << "the script's child stays";
}

TEST_F(MovieChildren, DeleteSelfAndScriptDeletionOfTimelineChildren)
{
    // On a movie that a script made, deleteSelf removes it at the end of that frame's application.
    Instance_Movie* host = Make(root, L"kid", L"host");
    Instance_Movie* leaving = Make(host, L"bye", L"leaving");
    ASSERT_NE(leaving, nullptr);
    Watch(leaving, "leaving");
    leaving->playing = true;
    const InstanceHandle leavingHandle = leaving->handle;
    root->Update(0.1f); // three frames' worth
    EXPECT_FALSE(leavingHandle.IsValid());
    EXPECT_EQ(Seen(), Strings{"leaving frame 1"}) << "no further frames after it left, and no load";
    EXPECT_EQ(Child(host, L"leaving"), nullptr);
    EXPECT_TRUE(host->pendingDeletes.empty()) << "deleted at the end of the parent's update";

    // On a timeline child of a parent that is not frozen it does nothing.
    Instance_Movie* scene = Make(root, L"scene", L"scene");
    auto* leaver = RObjectCast<Instance_Movie>(Child(scene, L"leaver"));
    ASSERT_NE(leaver, nullptr);
    leaver->playing = true;
    root->Update(0.1f);
    EXPECT_EQ(Child(scene, L"leaver"), leaver);
    EXPECT_FALSE(leaver->unloaded);

    // A script deletes a timeline child only from a frozen parent; the timeline then does not
    // make it again while it stays within the child's life, only after leaving and entering it.
    SetGlobal("scene", scene);
    ASSERT_TRUE(Run("scene:GetChildByName('middle'):DeleteSelf()"));
    EXPECT_NE(Child(scene, L"middle"), nullptr);
    scene->SetFrozen(true);
    ASSERT_TRUE(Run("scene:GetChildByName('middle'):DeleteSelf()"));
    EXPECT_EQ(Child(scene, L"middle"), nullptr);
    for (uint32_t frame : {1u, 5u, 19u})
    {
        scene->SetFrame(frame);
        EXPECT_EQ(Child(scene, L"middle"), nullptr) << frame;
    }
    scene->SetFrame(25); // outside every life: all go
    EXPECT_TRUE(scene->children.empty());
    scene->SetFrame(0);
    EXPECT_NE(Child(scene, L"middle"), nullptr);
}

// Content that contains itself, directly or through another definition, stops at the first repeat
// instead of making children without end.
TEST_F(MovieChildren, ADefinitionThatContainsItselfIsMadeOnce)
{
    Define(MovieDef("self", 2, 30, Entry("again", "self", 0, 2, 1, Frames(2)) + Entry("kid", "kid", 0, 2, 2, Frames(2))) +
           MovieDef("ping", 1, 30, Entry("pong", "pong", 0, 1, 1, Frames(1))) +
           MovieDef("pong", 1, 30, Entry("ping", "ping", 0, 1, 1, Frames(1))));
    Instance_Movie* self = Make(root, L"self", L"self");
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(Names(self->children), WStrings{L"kid"});
    Instance_Movie* ping = Make(root, L"ping", L"ping");
    ASSERT_NE(ping, nullptr);
    auto* pong = RObjectCast<Instance_Movie>(Child(ping, L"pong"));
    ASSERT_NE(pong, nullptr);
    EXPECT_TRUE(pong->children.empty());
}

TEST_F(MovieChildren, LookupsByPathNameAndPrefix)
{
    Instance_Movie* a = Make(root, L"kid", L"a");
    Instance_Movie* ab = Make(a, L"kid", L"b");
    Instance_Movie* abc = Make(ab, L"kid", L"c");
    Instance_Movie* dotted = Make(root, L"kid", L"a.b"); // a name with a dot in it
    Instance_Movie* second = Make(root, L"kid", L"ab");
    Make(second, L"kid", L"x");
    Instance_Base* leaf = nullptr;
    Instance_Movie::CreateInstanceCore(a, L"", L"leaf", true, MovieTestImage::StaticClass(), &leaf);
    ASSERT_NE(leaf, nullptr);

    struct Case
    {
        const wchar_t* path;
        size_t start;
        Instance_Base* expected;
    };
    const Case cases[] = {
        {L"a", 0, a},
        {L"a.b", 0, ab}, // "a" comes first in the list and leads on: its result is final
        {L"a.b.c", 0, abc},
        {L"xx.a.b.c", 3, abc},
        {L"a.leaf", 0, leaf},
        {L"a.leaf.x", 0, nullptr}, // a leaf has nothing inside
        {L"ab.x", 0, Child(second, L"x")},
        {L"a.x", 0, nullptr},
        {L"", 0, nullptr},
        {L"a.", 0, nullptr},
        {L"a", 1, nullptr},
        {L"abc", 0, nullptr},
        {L"c", 0, nullptr}, // not a direct child
    };
    for (const Case& c : cases)
        EXPECT_EQ(root->FindChildByPath(c.path, c.start).GetInstance(), c.expected) << std::wstring(c.path);
    EXPECT_EQ(Instance_Movie::FindChildByPath(root->movieHandle, L"a.b.c").GetInstance(), abc);
    EXPECT_FALSE(Instance_Movie::FindChildByPath(leaf->handle, L"x").IsValid());
    EXPECT_EQ(root->FindChildByName(L"c").GetInstance(), abc) << "searched below when no direct child has it";
    EXPECT_EQ(root->FindChildByName(L"a.b").GetInstance(), dotted);
    EXPECT_FALSE(root->FindChildByName(L"nobody").IsValid());
    EXPECT_EQ(root->FindChildByPrefix(L"a.").GetInstance(), dotted);
    EXPECT_FALSE(root->FindChildByPrefix(L"c").IsValid());

    std::vector<InstanceHandle> found;
    root->CollectChildrenByPrefix(found, L"A", true);
    std::vector<Instance_Base*> instances;
    for (const InstanceHandle& handle : found)
        instances.push_back(handle.GetInstance());
    EXPECT_EQ(instances, (std::vector<Instance_Base*>{a, dotted, second}));
    root->CollectChildrenByPrefix(found, L"A", false);
    EXPECT_EQ(found.size(), 3u) << "appended; none matches with case";

    // A long path from a script is walked, not recursed.
    std::wstring deep;
    for (int i = 0; i < 200000; ++i)
        deep += L"a.";
    EXPECT_FALSE(root->FindChildByPath(deep + L"z").IsValid());
}

TEST_F(MovieChildren, DrawingSkipsWhatLiesOffTheBackBuffer)
{
    Instance_Movie* inside = Make(root, L"kid", L"inside");
    Instance_Movie* right = Make(root, L"kid", L"right");
    Instance_Movie* above = Make(root, L"kid", L"above");
    Instance_Movie* withEffect = Make(root, L"kid", L"withEffect");
    for (Instance_Movie* movie : {inside, right, above, withEffect})
        Instance_Movie::CreateInstanceCore(movie, L"", L"pic", true, MovieTestImage::StaticClass(), nullptr);
    Instance_Movie::CreateInstanceCore(withEffect, L"", L"effect", true, NotReadyLeaf::StaticClass(), nullptr);
    Instance_Movie* empty = Make(root, L"kid", L"empty");
    inside->SetPosition(1000, 700);
    right->SetPosition(1025, 0);
    above->SetPosition(0, -10.5f);
    withEffect->SetPosition(5000, 5000);
    empty->SetPosition(-1, 0);

    auto drawn = [&]
    {
        MovieTestImage::drawn.clear();
        MovieTestImage::drawnAt.clear();
        ui->Render();
        return MovieTestImage::drawn.size();
    };
    EXPECT_EQ(drawn(), 2u) << "inside, and the movie that is not ready";
    inside->SetVisible(false);
    EXPECT_EQ(drawn(), 1u);
    inside->SetVisible(true);

    // Full screen: the game is shown at half size in a smaller back buffer. The test is made where
    // the picture lands, not against game coordinates.
    RecordingDevice& device = renderer->Device();
    device.backBufferWidth = 600;
    device.backBufferHeight = 400;
    device.viewScale = 0.5f;
    device.viewOffsetX = 44;
    EXPECT_EQ(drawn(), 3u) << "at half size everything but the one above the screen lands on it";
    ASSERT_FALSE(MovieTestImage::drawnAt.empty());
    EXPECT_EQ(MovieTestImage::drawnAt[0].x, 544.0f);
    right->SetPosition(1200, 0); // 44 + 600 device pixels
    EXPECT_EQ(drawn(), 2u);
}

TEST_F(MovieChildren, BoundsReadinessAndWhatIsPassedDown)
{
    Instance_Movie* movie = Make(root, L"kid", L"movie");
    float left, top, right, bottom;
    movie->SetPosition(3, 4);
    movie->GetBounds(left, top, right, bottom, false);
    EXPECT_EQ((std::vector<float>{left, top, right, bottom}), (std::vector<float>{3, 4, 3, 4}))
        << "an empty movie has the origin as its extent";
    Instance_Base* effect = nullptr;
    Instance_Movie::CreateInstanceCore(movie, L"", L"fx", true, NotReadyLeaf::StaticClass(), &effect);
    effect->type = INSTANCE_EFFECT;
    Instance_Base::InvalidateMatrix(movie, false);
    movie->UpdateCorners();
    EXPECT_EQ(movie->corners[0].x, 1000003.0f) << "only effects: the far corners";
    EXPECT_FALSE(movie->IsReady());
    movie->DeleteAllParticles();
    EXPECT_TRUE(movie->IsReady());

    auto* image = RObjectCast<MovieTestImage>(
        Instance_Movie::CreateChild(movie, L"", L"img", MovieTestImage::StaticClass()).GetInstance());
    ASSERT_NE(image, nullptr);
    image->SetPosition(10, 20);
    movie->GetBounds(left, top, right, bottom, false);
    EXPECT_EQ((std::vector<float>{left, top, right, bottom}), (std::vector<float>{13, 24, 23, 34}));
    movie->SetColor(0x80112233);
    movie->SetMaterial(2);
    movie->SetAllowFiltering(false);
    EXPECT_EQ(image->colours, std::vector<uint32_t>{0x80112233u});
    EXPECT_EQ(image->material, 2u);
    EXPECT_FALSE(image->allowFiltering);

    SetGlobal("movie", movie);
    ASSERT_TRUE(Run("movie:SetColorARGB(255, 255, 0, 1) movie:SetColorARGB(128, 1, 2)"));
    EXPECT_EQ(image->colours.back(), 0xFFFF0001u) << "computed unsigned; three components are not enough";
}

TEST_F(MovieChildren, ACloneShowsTheSameFrameChildrenFlagsAndOrder)
{
    Instance_Movie* source = Make(root, L"scene", L"source");
    source->SetFrame(12);
    Make(source, L"kid", L"scripted");
    Child(source, L"back")->MoveToFront();
    Child(source, L"scripted")->MoveToBack();
    Child(source, L"middle")->SetX(77); // the clone takes the state of the children as they are
    source->playing = true;
    source->frozen = true;
    source->frameMultiplier = 2;
    source->SetTimeChannel(0);

    const InstanceHandle handle = Instance_Movie::CloneInstance(root, source->handle, L"copy");
    auto* copy = RObjectCast<Instance_Movie>(handle.GetInstance());
    ASSERT_NE(copy, nullptr);
    Watch(copy, "copy");
    EXPECT_EQ(copy->currentFrame, 12u);
    EXPECT_EQ(Names(copy->children), Names(source->children));
    EXPECT_EQ(Names(copy->drawOrder), Names(source->drawOrder));
    EXPECT_EQ(Child(copy, L"middle")->x, 77.0f);
    EXPECT_EQ(Child(copy, L"late")->x, 9.0f) << "key 2 of its life";
    EXPECT_TRUE(copy->playing && copy->frozen);
    EXPECT_EQ(copy->frameMultiplier, 2.0f);
    EXPECT_EQ(copy->timeChannel, 0);
    EXPECT_EQ(copy->definitionName, L"scene");
    for (size_t i = 0; i < copy->children.size(); ++i)
        EXPECT_NE(copy->children[i], source->children[i]);
    copy->paused = source->paused = true; // so that the update below only dispatches
    copy->Update(0.001f);
    EXPECT_EQ(Seen(), Strings{}) << "paused: not even its load";
    copy->paused = false;
    copy->playing = false;
    copy->Update(0.001f);
    EXPECT_EQ(Seen(), Strings{"copy load"}) << "it starts with its own OnLoad";

    // A child that cannot be made again (its definition went) is left out; the others keep the
    // source's order.
    Instance_Movie* holder = Make(root, L"kid", L"holder");
    Make(holder, L"kid", L"one");
    Make(holder, L"pic", L"gone");
    Make(holder, L"kid", L"two");
    Child(holder, L"one")->MoveToFront();
    EXPECT_EQ(Names(holder->drawOrder), (WStrings{L"gone", L"two", L"one"}));
    ui->GetDefinitionMap()->RemoveDefinitions(L"pic");
    auto* again = RObjectCast<Instance_Movie>(Instance_Movie::CloneInstance(root, holder->handle, L"again").GetInstance());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Names(again->children), (WStrings{L"one", L"two"}));
    EXPECT_EQ(Names(again->drawOrder), (WStrings{L"two", L"one"}));

    // Cloning a movie into itself copies what it held before, once.
    SetGlobal("holder", holder);
    ASSERT_TRUE(Run("assert(holder:CreateCloneInstance(holder, 'inner'))"));
    auto* inner = RObjectCast<Instance_Movie>(Child(holder, L"inner"));
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(Names(inner->children), (WStrings{L"one", L"two"}));
    EXPECT_FALSE(Instance_Movie::CloneInstance(root, InstanceHandle{}, L"none").IsValid());
}

// A movie that its own frame's script destroys outright (game code owning a movie outside the
// tree) is not touched again.
TEST_F(MovieChildren, AMovieDestroyedByItsOwnFrameIsLeftAlone)
{
    auto* loose = new Instance_Movie;
    loose->Initialize(L"loose");
    loose->definitionName = L"scene";
    ui->RegisterInstance(loose);
    loose->playing = true;
    SetGlobal("loose", loose);
    static Instance_Movie* victim = nullptr;
    victim = loose;
    lua_register(lua.GetState(), "destroyLoose",
                 [](lua_State*)
                 {
                     RObject::DeleteSelf(victim);
                     victim = nullptr;
                     return 0;
                 });
    ASSERT_TRUE(Run("loose.OnFrameChanged = function(self, f) if f == 1 then destroyLoose() end end"));
    loose->SetFrame(0);
    const InstanceHandle handle = loose->handle;
    loose->Update(0.2f); // six frames' worth; the first destroys it
    EXPECT_EQ(victim, nullptr);
    EXPECT_FALSE(handle.IsValid());
}

// Scripts that create and delete children from inside every event the tree raises.
TEST_F(MovieChildren, ScriptsReshapingTheTreeFromEveryEventRunClean)
{
    Instance_Movie* scene = Make(root, L"scene", L"scene");
    scene->SetFrozen(true);
    SetGlobal("scene", scene);
    ASSERT_TRUE(Run(R"(
        local n = 0
        local events = {'OnFrameChanged', 'OnLabelHit', 'OnTimelineStop', 'OnLoad', 'OnUnload', 'OnUpdate'}
        local churn
        local function arm(t)
            for _, event in ipairs(events) do t[event] = churn end
            return t
        end
        local depth = 0
        churn = function(self)
            -- Nested events stay shallow: Lua 5.1 runs finalizers unprotected, and a finalizer near
            -- its C call limit throws past the native frames below.
            if depth > 6 then return end
            depth = depth + 1
            n = n + 1
            churned = n
            local made = scene:CreateInstance('bye', 'made' .. n)
            if made then arm(made):SetPlaying(true) end
            local old = scene:GetChildByName('made' .. (n - 2))
            if old then old:DeleteSelf() end
            local kid = scene:GetChild(n % 5)
            if kid then kid:Delete(n % 2 == 0) end
            if n % 7 == 0 then scene:SetFrame(n % 20) end
            if n % 11 == 0 and n < 60 then
                local clone = scene:CreateCloneInstance(scene, 'clone' .. n)
                if clone then arm(clone):SetOnUpdateEnabled(true) end
            end
            depth = depth - 1
        end
        arm(scene)
        for _, kid in ipairs(scene:GetChildren()) do arm(kid) end
        scene:SetOnUpdateEnabled(true)
        scene:SetPlaying(true)
    )"));
    for (int i = 0; i < 40; ++i)
        root->Update(0.05f);
    ASSERT_TRUE(Run("scene.OnUpdate = nil"));
    EXPECT_GT(std::stoi(Global("churned")), 200) << "the scripts ran often";
    root->Update(0.05f);
    EXPECT_EQ(ui->liveInstanceCount, 1u + [&]
              {
                  uint32_t count = 0;
                  std::function<void(Instance_Movie*)> walk = [&](Instance_Movie* movie)
                  {
                      for (Instance_Base* child : movie->children)
                      {
                          ++count;
                          if (auto* inner = RObjectCast<Instance_Movie>(child))
                              walk(inner);
                      }
                  };
                  walk(scene);
                  return count;
              }()) << "every live instance is in the tree";
}

} // namespace
} // namespace SceneTest
