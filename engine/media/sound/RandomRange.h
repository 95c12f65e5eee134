// A value drawn at random from a list of ranges, as ambient sound scenes write them: "0.2/0.4,0.8"
// is either between 0.2 and 0.4 or exactly 0.8, each piece with the same chance. Draws come from the
// calling thread's random generator.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace TarnEngine
{

class RandomRange
{
public:
    RandomRange() = default;
    explicit RandomRange(float value) : defaultValue(value) {}

    // Comma-separated pieces, each "low/high" or a single number; empty text leaves only the
    // default. A piece without a number is left out.
    void Parse(const std::wstring& text, float value);
    // The default without pieces; else a piece at random, then a value in [low, high).
    float Pick() const;

    float defaultValue = 0.0f;
    std::vector<std::pair<float, float>> pieces;
};

} // namespace TarnEngine
