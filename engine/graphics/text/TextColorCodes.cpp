// Inline colour codes; see TextColorCodes.h.
#include "engine/graphics/text/TextColorCodes.h"

#include <algorithm>

namespace TarnEngine
{

namespace
{

constexpr size_t kCodeDigits = 6;

uint32_t hexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return uint32_t(c - L'0');
    if (c >= L'a' && c <= L'f')
        return uint32_t(c - L'a' + 10);
    if (c >= L'A' && c <= L'F')
        return uint32_t(c - L'A' + 10);
    return 0;
}

bool isVisible(wchar_t c)
{
    return c != L'\r' && c != L'\n' && c != L' ';
}

} // namespace

std::wstring RemoveColorCodes(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();)
    {
        if (text[i] != L'^')
        {
            out += text[i++];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == L'^')
        {
            out += L'^';
            i += 2;
            continue;
        }
        // The mark and its six digits; a code cut short ends the text.
        i += std::min(1 + kCodeDigits, text.size() - i);
    }
    return out;
}

std::wstring ParseColorCodes(std::wstring_view text, std::vector<TextColorChange>& changes)
{
    changes.clear();
    std::wstring out;
    out.reserve(text.size());
    uint32_t visible = 0;
    for (size_t i = 0; i < text.size();)
    {
        const wchar_t c = text[i];
        if (c != L'^')
        {
            out += c;
            if (isVisible(c))
                ++visible;
            ++i;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == L'^')
        {
            out += L'^';
            ++visible;
            i += 2;
            continue;
        }
        uint32_t color = 0;
        for (size_t d = 1; d <= kCodeDigits; ++d)
            color = (color << 4) | (i + d < text.size() ? hexDigit(text[i + d]) : 0);
        changes.push_back(TextColorChange{visible, color});
        visible = 0;
        i += std::min(1 + kCodeDigits, text.size() - i);
    }
    return out;
}

} // namespace TarnEngine
