// A path through points that the particles' spline motion follows: the uniform Catmull-Rom curve
// through the points in order, each segment taking the same time. Before the start it is at the
// first point, from the last point on it holds the last point.
#pragma once

#include <vector>

namespace TarnEngine
{

class SplinePath
{
public:
    struct Point
    {
        float x = 0.0f;
        float y = 0.0f;
    };

    // The point at a time. A time that is no number, and a path whose segments take no time, are at
    // the end; an empty path is at the origin.
    Point Evaluate(float time) const;

    std::vector<Point> points;
    float segmentDuration = 1.0f; // seconds per segment
};

} // namespace TarnEngine
