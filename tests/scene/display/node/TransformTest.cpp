// Transforms of display instances: the local matrix, caches cleared up the ancestors, bounds in the
// parent's and in screen space, points through nested movies, and transforms that cannot be inverted.
#include "tests/scene/display/DisplayFixture.h"

#include <cmath>

namespace SceneTest
{
namespace
{

using DisplayTransform = DisplayFixture;

constexpr float kHalfPi = 1.57079632679f;

TEST_F(DisplayTransform, LocalPointsLandWhereScaleRegistrationRotationAndPositionPutThem)
{
    const struct
    {
        float scaleX, scaleY, rotation, regX, regY, x, y;
        float localX, localY, expectedX, expectedY;
    } cases[] = {
        // The registration point lands on the position; scale stretches around it.
        {2, 1, 0, 10, 0, 100, 50, 10, 0, 100, 50},
        {2, 1, 0, 10, 0, 100, 50, 11, 0, 102, 50},
        // A quarter turn takes +x to +y (clockwise on the screen).
        {1, 1, kHalfPi, 0, 0, 5, 5, 1, 0, 5, 6},
        {1, 1, kHalfPi, 0, 0, 5, 5, 0, 1, 4, 5},
        // Scale before rotation: the stretched x axis is turned.
        {3, 1, kHalfPi, 1, 0, 0, 0, 2, 0, 0, 3},
    };
    for (const auto& c : cases)
    {
        Instance_Movie* node = Movie(root, L"node");
        node->SetScale(c.scaleX, c.scaleY);
        node->SetRotation(c.rotation);
        node->SetRegistrationPoint(c.regX, c.regY);
        node->SetPosition(c.x, c.y);
        float px = c.localX, py = c.localY;
        node->LocalToGlobal(px, py);
        EXPECT_NEAR(px, c.expectedX, 1e-4f);
        EXPECT_NEAR(py, c.expectedY, 1e-4f);
        node->Delete(false);
    }
}

TEST_F(DisplayTransform, SettersRebuildTheLocalMatrixAndTheExtentsAroundIt)
{
    Instance_Movie* outer = Movie(root, L"outer");
    Instance_Movie* inner = Movie(outer, L"inner");
    Instance_Base* leaf = Leaf(inner, L"leaf", INSTANCE_TEXT, 0, 0, 10, 10);
    float left, top, right, bottom;
    outer->GetBounds(left, top, right, bottom, false);
    EXPECT_EQ(right, 10);
    ASSERT_TRUE(outer->cornersValid && inner->cornersValid && leaf->cornersValid && leaf->localMatrixValid);

    leaf->SetX(30);
    EXPECT_FALSE(leaf->localMatrixValid);
    EXPECT_FALSE(leaf->cornersValid || inner->cornersValid || outer->cornersValid || root->cornersValid);
    EXPECT_TRUE(inner->localMatrixValid) << "only the instance's own matrix changes";
    outer->GetBounds(left, top, right, bottom, false);
    EXPECT_EQ(left, 30);
    EXPECT_EQ(right, 40);

    // Each setter clears the caches.
    using Setter = void (*)(Instance_Base&);
    const Setter setters[] = {
        [](Instance_Base& i) { i.SetY(1); },
        [](Instance_Base& i) { i.SetPosition(2, 3); },
        [](Instance_Base& i) { i.SetRotation(0.5f); },
        [](Instance_Base& i) { i.SetScaleX(2); },
        [](Instance_Base& i) { i.SetScaleY(2); },
        [](Instance_Base& i) { i.SetScale(1, 3); },
        [](Instance_Base& i) { i.SetRegistrationPoint(4, 4); },
    };
    for (Setter set : setters)
    {
        outer->GetBounds(left, top, right, bottom, false);
        set(*leaf);
        EXPECT_FALSE(leaf->localMatrixValid || outer->cornersValid);
    }
}

TEST_F(DisplayTransform, BoundsInTheParentsSpaceAndOnTheScreen)
{
    Instance_Movie* outer = Movie(root, L"outer", 100, 20);
    outer->SetScale(2, 2);
    Instance_Base* leaf = Leaf(outer, L"leaf", INSTANCE_TEXT, 10, 5, 30, 40);
    float left, top, right, bottom;
    leaf->GetBounds(left, top, right, bottom, false);
    EXPECT_EQ((std::vector<float>{left, top, right, bottom}), (std::vector<float>{10, 5, 40, 45}));
    leaf->GetBounds(left, top, right, bottom, true);
    EXPECT_EQ((std::vector<float>{left, top, right, bottom}), (std::vector<float>{120, 30, 180, 110}));
    EXPECT_EQ(leaf->ComputeWidth(true), 60);
    EXPECT_EQ(leaf->ComputeHeight(false), 40);

    // A rotated extent is boxed by its turned corners.
    leaf->SetRotation(kHalfPi);
    leaf->GetBounds(left, top, right, bottom, false);
    EXPECT_NEAR(left, -30, 1e-4f);
    EXPECT_NEAR(right, 10, 1e-4f);
    EXPECT_NEAR(top, 5, 1e-4f);
    EXPECT_NEAR(bottom, 35, 1e-4f);

    // A movie's extent is the union of its children; an empty one sits at its origin.
    Instance_Movie* empty = Movie(root, L"empty", 7, 9);
    empty->GetBounds(left, top, right, bottom, false);
    EXPECT_EQ((std::vector<float>{left, top, right, bottom}), (std::vector<float>{7, 9, 7, 9}));
    outer->GetBounds(left, top, right, bottom, false);
    EXPECT_NEAR(left, 100 - 60, 1e-3f);
    EXPECT_NEAR(right, 100 + 20, 1e-3f);
}

TEST_F(DisplayTransform, PointsGoThroughEveryAncestorBothWays)
{
    Instance_Movie* outer = Movie(root, L"outer", 100, 0);
    outer->SetScale(2, 2);
    Instance_Movie* inner = Movie(outer, L"inner", 10, 10);
    inner->SetRotation(kHalfPi);
    float px = 1, py = 0;
    inner->LocalToGlobal(px, py);
    EXPECT_NEAR(px, 120, 1e-4f);
    EXPECT_NEAR(py, 22, 1e-4f);
    ASSERT_TRUE(inner->GlobalToLocal(px, py));
    EXPECT_NEAR(px, 1, 1e-4f);
    EXPECT_NEAR(py, 0, 1e-4f);

    ui->mouseX = 120;
    ui->mouseY = 22;
    inner->GetLocalMousePosition(px, py);
    EXPECT_NEAR(px, 1, 1e-4f);
    EXPECT_NEAR(py, 0, 1e-4f);
}

TEST_F(DisplayTransform, ATransformWithoutInverseLeavesPointsAloneAndIsNeverHit)
{
    // Flattened to a line and turned, the leaf's box is a square but nothing lies inside it.
    Instance_Movie* holder = Movie(root, L"holder");
    Instance_Base* leaf = Leaf(holder, L"flat", INSTANCE_TEXT, 50, 50, 20, 20);
    leaf->SetScale(1, 0);
    leaf->SetRotation(kHalfPi / 2);
    float left, top, right, bottom;
    leaf->GetBounds(left, top, right, bottom, true);
    ASSERT_GT(right - left, 10);
    ASSERT_GT(bottom - top, 10);
    const float midX = (left + right) / 2, midY = (top + bottom) / 2;

    std::vector<InstanceHandle> hits;
    EXPECT_FALSE(root->HitTestPoint(midX, midY, false, true, &hits).IsValid());
    EXPECT_TRUE(hits.empty());

    float px = midX, py = midY;
    EXPECT_FALSE(leaf->GlobalToLocal(px, py));
    EXPECT_EQ(px, midX);
    EXPECT_EQ(py, midY);

    // Under a movie scaled to nothing, every descendant is out of reach the same way.
    holder->SetScale(0, 0);
    Instance_Movie* child = Movie(holder, L"child");
    px = 3;
    py = 4;
    EXPECT_FALSE(child->GlobalToLocal(px, py));
    EXPECT_EQ(px, 3);
    EXPECT_EQ(py, 4);
    child->GetLocalMousePosition(px, py);
    EXPECT_FALSE(std::isnan(px) || std::isnan(py));
}

} // namespace
} // namespace SceneTest
