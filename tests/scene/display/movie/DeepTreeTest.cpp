// Deep display trees: no way of adding a node (scripts, code, timeline children, clones) makes a
// chain of a node and its ancestors longer than MaxTreeDepth, so the recursive walks (update,
// drawing, hit tests, destruction) never run out of stack and the bounded walks up the tree give
// right answers; and a drawing pass asks each movie's readiness once, not once per ancestor.
#include "tests/scene/display/MovieFixture.h"

namespace SceneTest
{

// A leaf that counts how often its readiness is asked.
class CountingLeaf : public Instance_Base
{
    TARN_RCLASS(CountingLeaf)
public:
    bool IsReady() override
    {
        ++asked;
        return true;
    }
    static inline int asked = 0;
};
TARN_IMPLEMENT_RCLASS(CountingLeaf, Instance_Base, RObjectFactory<CountingLeaf>)

namespace
{

constexpr uint32_t kDeepest = uint32_t(Instance_Base::MaxTreeDepth) - 1; // ancestors of the deepest node

class DeepTree : public MovieFixture
{
protected:
    // A chain of movies below `top`, each one pixel right of its parent, as long as the tree allows
    // or `levels` long; returns the deepest.
    Instance_Movie* Chain(Instance_Movie* top, uint32_t levels)
    {
        Instance_Movie* at = top;
        for (uint32_t i = 0; i < levels; ++i)
        {
            Instance_Movie* next = Movie(at, L"c", 1, 0);
            if (!next)
                break;
            at = next;
        }
        return at;
    }

    // The greatest depth below `top` and whether every node's kept depth matches its parent chain.
    static std::pair<uint32_t, bool> Measure(Instance_Base* top)
    {
        uint32_t deepest = 0;
        bool consistent = true;
        std::vector<Instance_Base*> open{top};
        while (!open.empty())
        {
            Instance_Base* node = open.back();
            open.pop_back();
            uint32_t ancestors = 0;
            for (Instance_Base* up = node->parent.GetInstance(); up && ancestors <= kDeepest + 5;
                 up = up->parent.GetInstance())
                ++ancestors;
            consistent = consistent && ancestors == node->treeDepth;
            deepest = std::max(deepest, ancestors);
            if (auto* movie = RObjectCast<Instance_Movie>(node))
                for (Instance_Base* child : movie->children)
                    open.push_back(child);
        }
        return {deepest, consistent};
    }
};

TEST_F(DeepTree, AScriptNestingAHundredThousandDeepStopsAtTheBound)
{
    SetGlobal("top", root);
    ASSERT_TRUE(Run("local m = top made = 0 "
                    "for i = 1, 100000 do "
                    "  local n = m:CreateInstance('', 'c') "
                    "  if not n then refused = i break end "
                    "  n:SetX(1) m = n made = made + 1 "
                    "end"));
    EXPECT_EQ(Global("made"), std::to_string(kDeepest)) << "every level up to the bound is made";
    EXPECT_EQ(Global("refused"), std::to_string(kDeepest + 1)) << "the next call fails, as a script sees it";
    const auto [deepest, consistent] = Measure(root);
    EXPECT_EQ(deepest, kDeepest);
    EXPECT_TRUE(consistent);

    // The walks down (update, drawing, hit tests) and up (points) run over the whole chain.
    root->Update(1.0f / 60);
    root->Draw(Matrix3{}, 1.0f);
    root->HitTestAtGlobal(float(kDeepest), 0, true, false, nullptr);
    Instance_Base* last = root;
    while (auto* movie = RObjectCast<Instance_Movie>(last))
    {
        if (movie->children.empty())
            break;
        last = movie->children.front();
    }
    ASSERT_EQ(last->treeDepth, kDeepest);
    float px = 0, py = 0;
    last->LocalToGlobal(px, py);
    EXPECT_EQ(px, float(kDeepest)) << "every ancestor's offset counts";
    ASSERT_TRUE(last->GlobalToLocal(px, py));
    EXPECT_EQ(px, 0.0f);
    // The fixture's tear-down destroys the chain.
}

TEST_F(DeepTree, CodeTimelineAndClonesAreRefusedBeyondTheBound)
{
    Define(MovieDef("leaf", 1, 30, "") + MovieDef("holder", 2, 30, Entry("inner", "leaf", 0, 2, 1, Frames(2))));
    Instance_Movie* bottom = Chain(root, kDeepest + 10);
    EXPECT_EQ(bottom->treeDepth, kDeepest);
    EXPECT_EQ(Movie(bottom, L"one more"), nullptr) << "code creation";
    EXPECT_FALSE(Instance_Movie::CreateChild(bottom, L"leaf", L"from a definition", nullptr).IsValid());

    // A movie one level above the bound is made, its timeline child is not.
    auto* parentOfBottom = RObjectCast<Instance_Movie>(bottom->parent.GetInstance());
    ASSERT_NE(parentOfBottom, nullptr);
    Instance_Movie* holder = Make(parentOfBottom, L"holder", L"holder");
    ASSERT_NE(holder, nullptr);
    EXPECT_TRUE(holder->children.empty()) << "the timeline child would be one level too deep";
    holder->SetFrame(1);
    EXPECT_TRUE(holder->children.empty());

    // A clone of a 600-level chain placed 600 levels down keeps only what fits.
    Instance_Movie* source = Movie(root, L"source");
    Chain(source, 600);
    Instance_Movie* host = Chain(Movie(root, L"host"), 599);
    const InstanceHandle clone = Instance_Movie::CloneInstance(host, source->handle, L"copy");
    ASSERT_TRUE(clone.IsValid());
    const auto [deepest, consistent] = Measure(root);
    EXPECT_EQ(deepest, kDeepest);
    EXPECT_TRUE(consistent);
    EXPECT_EQ(Measure(clone.GetInstance()).first, kDeepest);
}

TEST_F(DeepTree, ADrawingPassAsksEachReadinessOnce)
{
    Instance_Movie* bottom = Chain(root, 1000);
    ASSERT_EQ(bottom->treeDepth, 1000u);
    Instance_Movie::CreateChild(bottom, L"", L"leaf", CountingLeaf::StaticClass());
    CountingLeaf::asked = 0;
    root->Draw(Matrix3{}, 1.0f);
    EXPECT_EQ(CountingLeaf::asked, 1) << "a frame is linear in the number of nodes";
    root->Draw(Matrix3{}, 1.0f);
    EXPECT_EQ(CountingLeaf::asked, 2) << "and the next frame asks again";
    EXPECT_TRUE(bottom->IsReady()) << "outside a drawing pass the answer is worked out afresh";
    EXPECT_EQ(CountingLeaf::asked, 3);
}

} // namespace
} // namespace SceneTest
