// Inline colour codes of displayed texts: "^RRGGBB" switches the drawing
// colour from the next character on, "^^" stands for one "^". Measuring
// drops the codes; drawing turns them into a list of colour changes counted
// in visible characters, so line ends and blanks between a code and the next
// letter do not shift it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace TarnEngine
{

struct TextColorChange
{
    // Visible characters (all but CR, LF and blank) drawn since the previous
    // change, or since the start, before this colour applies.
    uint32_t count = 0;
    uint32_t color = 0; // 0xRRGGBB
};

// The text without colour codes, "^^" turned into "^".
std::wstring RemoveColorCodes(std::wstring_view text);

// The text without colour codes, and the changes in text order. A code cut
// short by the end of the text ends the text; its missing digits read as 0.
// Characters that are not hexadecimal digits read as 0 as well.
std::wstring ParseColorCodes(std::wstring_view text, std::vector<TextColorChange>& changes);

} // namespace TarnEngine
