// The Catmull-Rom path; see SplinePath.h.
#include "engine/scene/display/geometry/SplinePath.h"

#include <algorithm>

namespace TarnEngine
{

SplinePath::Point SplinePath::Evaluate(float time) const
{
    if (points.empty())
        return {};
    const size_t count = points.size();
    if (!(segmentDuration > 0.0f))
        return points.back();
    // Segment index and fraction, in double so that a huge time cannot overflow the index.
    const double steps = double(time) / double(segmentDuration);
    if (!(steps < double(count - 1)))
        return points.back();
    if (!(steps > 0.0))
        return points.front();
    const size_t i = size_t(steps);
    const float t = float(steps - double(i));
    const Point& p0 = points[i > 0 ? i - 1 : 0];
    const Point& p1 = points[i];
    const Point& p2 = points[std::min(i + 1, count - 1)];
    const Point& p3 = points[std::min(i + 2, count - 1)];
    const float t2 = t * t;
    const float t3 = t2 * t;
    const float w0 = 0.5f * (-t + 2.0f * t2 - t3);
    const float w1 = 0.5f * (2.0f - 5.0f * t2 + 3.0f * t3);
    const float w2 = 0.5f * (t + 4.0f * t2 - 3.0f * t3);
    const float w3 = 0.5f * (t3 - t2);
    return {w0 * p0.x + w1 * p1.x + w2 * p2.x + w3 * p3.x, w0 * p0.y + w1 * p1.y + w2 * p2.y + w3 * p3.y};
}

} // namespace TarnEngine
