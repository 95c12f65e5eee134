// The Catmull-Rom path: through its points at whole segments, smooth between them, held at its ends,
// and guarded against an empty path and segments that take no time.
#include "engine/scene/display/geometry/SplinePath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace SceneTest
{
namespace
{

using TarnEngine::SplinePath;

SplinePath path(std::vector<SplinePath::Point> points, float duration)
{
    SplinePath p;
    p.points = std::move(points);
    p.segmentDuration = duration;
    return p;
}

TEST(SplinePath, EvaluatesTheCurveAndHoldsItsEnds)
{
    const SplinePath line = path({{0, 0}, {10, 0}, {20, 10}, {30, 0}}, 2.0f);
    const float inf = std::numeric_limits<float>::infinity();
    const struct
    {
        const char* what;
        SplinePath p;
        float time;
        float x, y;
    } cases[] = {
        {"one point, at the start", path({{3, 4}}, 1.0f), 0.0f, 3, 4},
        {"one point, later", path({{3, 4}}, 1.0f), 7.5f, 3, 4},
        {"at a point", line, 2.0f, 10, 0},
        {"at the next", line, 4.0f, 20, 10},
        {"between two points with clamped ends", path({{0, 0}, {10, 0}}, 1.0f), 0.5f, 5, 0},
        {"the curve, mid second segment", line, 3.0f, 15.0f, 5.625f},
        {"at the last point", line, 6.0f, 30, 0},
        {"past the end", line, 6.5f, 30, 0},
        {"far past the end", line, 1e30f, 30, 0},
        {"infinitely late", line, inf, 30, 0},
        {"before the start", line, -1.0f, 0, 0},
        {"no number", line, std::nanf(""), 30, 0},
        {"an empty path", path({}, 1.0f), 1.0f, 0, 0},
        {"segments of no time", path({{1, 1}, {2, 2}}, 0.0f), 0.5f, 2, 2},
        {"segments of negative time", path({{1, 1}, {2, 2}}, -1.0f), 0.5f, 2, 2},
    };
    for (const auto& c : cases)
    {
        const SplinePath::Point at = c.p.Evaluate(c.time);
        EXPECT_NEAR(at.x, c.x, 1e-4f) << c.what;
        EXPECT_NEAR(at.y, c.y, 1e-4f) << c.what;
    }
}

} // namespace
} // namespace SceneTest
