// The point hit test of the display tree: a table of pointer positions over one small scene, with
// and without own bounds and input filtering; edges, pixel tests, effects, and the first hit
// returned when no list is asked for.
#include "tests/scene/display/DisplayFixture.h"

namespace SceneTest
{

TARN_IMPLEMENT_RCLASS(TestImage, Instance_Base, RObjectFactory<TestImage>)

namespace
{

class HitTest : public DisplayFixture
{
protected:
    // root
    //   back (0, 0): text "label" 100 x 100
    //   front (50, 50): image "pic" 100 x 100, opaque left of 60, with inner (10, 10): text "t" 20 x 20
    //   empty (300, 0): no children, extent 50 x 50
    //   holder (400, 0): extent 50 x 50, text "small" 10 x 10
    //   fx: an effect over everything, in front
    void SetUp() override
    {
        DisplayFixture::SetUp();
        back = Movie(root, L"back");
        Leaf(back, L"label", INSTANCE_TEXT, 0, 0, 100, 100);
        front = Movie(root, L"front", 50, 50);
        pic = static_cast<TestImage*>(Leaf(front, L"pic", INSTANCE_IMAGE, 0, 0, 100, 100));
        pic->solidWidth = 60;
        Instance_Movie* inner = Movie(front, L"inner", 10, 10);
        Leaf(inner, L"t", INSTANCE_TEXT, 0, 0, 20, 20);
        Instance_Movie* empty = Movie(root, L"empty", 300, 0);
        Extent(empty, 50, 50);
        Instance_Movie* holder = Movie(root, L"holder", 400, 0);
        Extent(holder, 50, 50);
        Leaf(holder, L"small", INSTANCE_TEXT, 0, 0, 10, 10);
        Leaf(root, L"fx", INSTANCE_EFFECT, -1000, -1000, 5000, 5000);
    }

    std::vector<std::wstring> Hits(float x, float y, bool acceptOwnBounds, bool inputOnly)
    {
        std::vector<InstanceHandle> hits;
        root->HitTestPoint(x, y, acceptOwnBounds, inputOnly, &hits);
        std::vector<std::wstring> names;
        for (const InstanceHandle& hit : hits)
        {
            EXPECT_EQ(hit.AsMovie(), hit) << "only movies are listed";
            names.push_back(hit.GetInstance() ? hit.GetInstance()->name : L"<stale>");
        }
        return names;
    }

    Instance_Movie* back = nullptr;
    Instance_Movie* front = nullptr;
    TestImage* pic = nullptr;
};

using Names = std::vector<std::wstring>;

TEST_F(HitTest, ListsTheMoviesUnderThePointInnermostAndFrontMostFirst)
{
    const struct
    {
        float x, y;
        bool acceptOwnBounds;
        const char* what;
        Names expected;
    } cases[] = {
        {5, 5, false, "a text leaf makes its movie the hit", {L"back", L"root"}},
        {55, 55, false, "front first, then the movie behind it", {L"front", L"back", L"root"}},
        {65,
         65,
         false,
         "nested: the inner movie before those around it",
         {L"inner", L"front", L"back", L"root"}},
        {50, 50, false, "left and top edges belong to the box", {L"front", L"back", L"root"}},
        {99.99f, 5, false, "just inside the right edge", {L"back", L"root"}},
        {100, 5, false, "the right edge belongs to the next box", {}},
        {5, 100, false, "so does the bottom edge", {}},
        {149.9f, 60, false, "just inside the right edge: transparent pixel", {}},
        {130, 60, false, "a transparent pixel of an image is no hit", {}},
        {310, 10, false, "a childless movie with an extent", {L"empty", L"root"}},
        {405,
         5,
         false,
         "a movie with an extent and children is listed by its children",
         {L"holder", L"root"}},
        {405, 40, false, "its own box does not count", {}},
        {310, 10, true, "own bounds: the childless movie alone", {L"empty"}},
        {5, 5, true, "own bounds: movies with children are not hits themselves", {L"back"}},
        {250, 10, false, "between the movies", {}},
        {-5, 5, false, "outside everything, effect included", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Hits(c.x, c.y, c.acceptOwnBounds, true), c.expected) << c.what;
}

TEST_F(HitTest, ImagesAskTheirPixelTestWithTruncatedLocalCoordinates)
{
    pic->asked.clear();
    Hits(130.75f, 60.5f, false, true);
    ASSERT_EQ(pic->asked.size(), 1u);
    EXPECT_EQ(pic->asked[0].x, 80);
    EXPECT_EQ(pic->asked[0].y, 10);

    // An image reaching left of its origin rejects the point there without asking.
    pic->extentRect = {-40, 0, 140, 100};
    Instance_Base::InvalidateMatrix(pic, false);
    pic->asked.clear();
    EXPECT_EQ(Hits(30, 60, false, true), (Names{L"back", L"root"}));
    EXPECT_TRUE(pic->asked.empty());
    EXPECT_EQ(Hits(55, 60, false, true), (Names{L"front", L"back", L"root"}));
    EXPECT_EQ(pic->asked.size(), 1u);
}

TEST_F(HitTest, InputFilteringSkipsDisabledInstancesAndEverythingInThem)
{
    front->SetInputEnabled(false);
    EXPECT_EQ(Hits(65, 65, false, true), (Names{L"back", L"root"}));
    EXPECT_EQ(Hits(65, 65, false, false), (Names{L"inner", L"front", L"back", L"root"}));
    root->SetInputEnabled(false);
    EXPECT_EQ(Hits(65, 65, false, true), Names{});
}

TEST_F(HitTest, WithoutAListTheFrontMostHitIsReturnedAtOnce)
{
    const InstanceHandle hit = root->HitTestPoint(65, 65, false, true, nullptr);
    ASSERT_NE(hit.GetInstance(), nullptr);
    EXPECT_EQ(hit.GetInstance()->name, L"inner");
    EXPECT_FALSE(root->HitTestPoint(250, 10, false, true, nullptr).IsValid());
}

TEST_F(HitTest, ABareNodeIsNeverHitAndAHiddenMarkDoesNotLinger)
{
    Instance_Base* bare = nullptr;
    Instance_Movie::CreateInstanceCore(root, L"", L"bare", true, Instance_Base::StaticClass(), &bare);
    ASSERT_NE(bare, nullptr);
    EXPECT_FALSE(bare->HitTestPoint(0, 0, true, false, nullptr).IsValid());

    // A leaf tested on its own lists its movie every time, not only the first.
    Instance_Base* label = back->children[0];
    for (int round = 0; round < 2; ++round)
    {
        std::vector<InstanceHandle> hits;
        EXPECT_EQ(label->HitTestAtGlobal(5, 5, false, true, &hits), back->handle);
        EXPECT_EQ(hits.size(), 1u) << "round " << round;
    }
}

TEST_F(HitTest, IsMouseOverTakesThePointerIntoTheParentsSpace)
{
    ui->mouseX = 65;
    ui->mouseY = 65;
    EXPECT_TRUE(front->IsMouseOver());
    EXPECT_TRUE(back->IsMouseOver());
    ui->mouseX = 250;
    EXPECT_FALSE(front->IsMouseOver());
    EXPECT_FALSE(root->IsMouseOver()) << "no parent";
}

} // namespace

} // namespace SceneTest
