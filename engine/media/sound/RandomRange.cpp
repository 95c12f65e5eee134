// Random ranges; see RandomRange.h.
#include "engine/media/sound/RandomRange.h"

#include "engine/core/base/RandomGenerator.h"
#include "engine/core/text/TextHelpers.h"

#include <charconv>
#include <cmath>
#include <cwctype>

namespace TarnEngine
{

namespace
{

// A decimal number at text[at], after blanks, as scanf's "%f" reads one (independent of the locale);
// at moves past it. False when there is none or it is not finite.
bool readNumber(const std::wstring& text, size_t& at, float& value)
{
    while (at < text.size() && std::iswspace(wint_t(text[at])))
        ++at;
    if (at < text.size() && text[at] == L'+')
        ++at;
    std::string narrow;
    for (size_t i = at; i < text.size() && text[i] < 0x80; ++i)
        narrow += char(text[i]);
    float parsed = 0.0f;
    const auto [end, error] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), parsed);
    if (error != std::errc() || !std::isfinite(parsed))
        return false;
    at += size_t(end - narrow.data());
    value = parsed;
    return true;
}

} // namespace

void RandomRange::Parse(const std::wstring& text, float value)
{
    defaultValue = value;
    pieces.clear();
    for (const std::wstring& piece : SplitString(text, L',', true))
    {
        size_t at = 0;
        float low = 0.0f;
        if (!readNumber(piece, at, low))
            continue;
        float high = low;
        if (at < piece.size() && piece[at] == L'/')
        {
            ++at;
            if (!readNumber(piece, at, high))
                high = low;
        }
        pieces.emplace_back(low, high);
    }
}

float RandomRange::Pick() const
{
    if (pieces.empty())
        return defaultValue;
    RandomGenerator& random = RandomGenerator::ForThread();
    const auto& [low, high] = pieces[random.Next() % pieces.size()];
    return low + random.NextUnitFloat() * (high - low);
}

} // namespace TarnEngine
