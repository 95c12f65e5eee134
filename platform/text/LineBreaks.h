// Where a line of wide text may be broken, character by character: the
// soft-break and white-space flags that text layout needs for word wrapping,
// found with ICU's line breaker (Unicode line-breaking rules, so CJK text,
// hyphens and punctuation break as users expect).
//
// Text is one character per wchar_t (32-bit); characters outside the Basic
// Multilingual Plane are single characters here.
#pragma once

#include <string_view>
#include <vector>

namespace Platform
{

struct CharBreakFlags
{
    // A line may start at this character (never set on the first one).
    bool softBreak = false;
    // The character is white space (Unicode White_Space).
    bool whiteSpace = false;
};

// One entry per character of the text. An empty result for an empty text;
// when ICU cannot analyse the text, only the white-space flags are set.
std::vector<CharBreakFlags> AnalyzeLineBreaks(std::wstring_view text);

} // namespace Platform
