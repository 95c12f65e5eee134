// Value forms of definition files; see DefinitionValues.h.
#include "engine/scene/definitions/DefinitionValues.h"

#include "engine/core/text/TextHelpers.h"
#include "engine/scene/definitions/Definition_Movie.h"

#include <charconv>
#include <cmath>
#include <string>

#include <unicode/uchar.h>

namespace TarnEngine
{

namespace
{

constexpr float kTwoPi = 6.2831855f;

bool isBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

bool isDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

bool isSpacedPunctuation(wchar_t c)
{
    return c == L'!' || c == L',' || c == L'.' || c == L':' || c == L';' || c == L'?';
}

// Letters and digits of every script count, as content is written in many languages.
bool isLetterOrDigit(wchar_t c)
{
    return u_isalnum(UChar32(c)) != 0;
}

} // namespace

uint32_t ReadUnsignedValue(std::wstring_view text)
{
    return WStringToInt(text);
}

int32_t ReadSignedValue(std::wstring_view text)
{
    return WStringToLong(text);
}

double ReadRealValue(std::wstring_view text, size_t* used)
{
    if (used)
        *used = 0;
    size_t pos = 0;
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    // The longest decimal literal from here: sign, digits, fraction, exponent.
    bool negative = false;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-'))
        negative = text[pos++] == L'-';
    const size_t mantissa = pos;
    size_t digits = 0;
    while (pos < text.size() && isDigit(text[pos]))
        ++pos, ++digits;
    if (pos < text.size() && text[pos] == L'.')
    {
        ++pos;
        while (pos < text.size() && isDigit(text[pos]))
            ++pos, ++digits;
    }
    if (digits == 0)
        return 0.0;
    bool negativeExponent = false;
    if (pos < text.size() && (text[pos] == L'e' || text[pos] == L'E'))
    {
        size_t exponent = pos + 1;
        if (exponent < text.size() && (text[exponent] == L'+' || text[exponent] == L'-'))
            negativeExponent = text[exponent++] == L'-';
        if (exponent < text.size() && isDigit(text[exponent]))
        {
            while (exponent < text.size() && isDigit(text[exponent]))
                ++exponent;
            pos = exponent;
        }
    }
    // The literal is plain ASCII now; from_chars reads it without looking at the process locale.
    char small[64];
    std::string large;
    const size_t length = pos - mantissa;
    char* narrow = small;
    if (length > sizeof small)
    {
        large.resize(length);
        narrow = large.data();
    }
    for (size_t i = 0; i < length; ++i)
        narrow[i] = char(text[mantissa + i]);
    double value = 0.0;
    const std::from_chars_result result = std::from_chars(narrow, narrow + length, value);
    if (result.ec == std::errc::result_out_of_range)
        value = negativeExponent ? 0.0 : HUGE_VAL;
    if (used)
        *used = pos;
    return negative ? -value : value;
}

std::wstring PrepareEntryText(const std::wstring& text)
{
    // Punctuation spacing. Scanning in place would remove one space at a time from a long run; the
    // outcome per run is known at once: after a mark, a run of two or more spaces becomes one space
    // before a letter or digit, and two spaces before anything else or at the end of the text.
    std::wstring spaced;
    spaced.reserve(text.size());
    for (size_t i = 0; i < text.size();)
    {
        const wchar_t c = text[i++];
        spaced += c;
        if (!isSpacedPunctuation(c))
            continue;
        size_t run = 0;
        while (i + run < text.size() && text[i + run] == L' ')
            ++run;
        if (run < 2)
            continue;
        const bool wordFollows = i + run < text.size() && isLetterOrDigit(text[i + run]);
        spaced.append(wordFollows ? 1 : 2, L' ');
        i += run;
    }

    // Escapes.
    std::wstring shown;
    shown.reserve(spaced.size());
    for (size_t i = 0; i < spaced.size(); ++i)
    {
        if (spaced[i] != L'\\')
        {
            shown += spaced[i];
            continue;
        }
        if (++i >= spaced.size())
            break;
        switch (spaced[i])
        {
        case L'\\':
            shown += L'\\';
            break;
        case L'n':
            shown += L'\n';
            break;
        case L'r':
            shown += L'\r';
            break;
        case L't':
            shown += L'\t';
            break;
        default:
            break;
        }
    }
    return shown;
}

void ReadKeyTransform(std::wstring_view text, bool textEntry, KeyEntry& key)
{
    float m[6] = {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
    size_t pos = 0;
    for (float& value : m)
    {
        if (pos >= text.size())
            break;
        size_t used = 0;
        value = float(ReadRealValue(text.substr(pos), &used));
        pos += used;
        // Exactly one separator follows each number.
        if (pos < text.size())
            ++pos;
    }
    float& a = m[0];
    const float b = m[1];
    const float c = m[2];
    float& d = m[3];
    float tx = m[4];
    float ty = m[5];

    // Scales a hair off 1 next to an exact 1 are rounding left by the exporting tool.
    if (a == 1.0f || d == 1.0f)
    {
        if (std::fabs(a - 1.0f) <= 0.01f)
            a = 1.0f;
        if (std::fabs(d - 1.0f) <= 0.01f)
            d = 1.0f;
    }
    if (textEntry)
    {
        tx -= 2.0f;
        ty -= 2.0f;
    }
    key.x = tx;
    key.y = ty;
    key.scaleX = std::sqrt(a * a + b * b);
    key.scaleY = std::sqrt(c * c + d * d);
    float sinSign = b;
    if (a * d - c * b < 0.0f)
    {
        key.scaleX = -key.scaleX;
        sinSign = -b;
    }
    // A frame scaled to nothing (hidden frames are written so) has no angle; a ratio that rounding
    // took just past 1 still means 0 or pi.
    key.rotation = 0.0f;
    const float ratio = key.scaleX != 0.0f ? a / key.scaleX : 0.0f;
    if (key.scaleX != 0.0f && std::isfinite(ratio))
    {
        float angle = std::acos(std::fmin(1.0f, std::fmax(-1.0f, ratio)));
        if (sinSign < 0.0f)
            angle = kTwoPi - angle;
        while (angle < 0.0f)
            angle += kTwoPi;
        if (angle >= kTwoPi)
            angle -= kTwoPi;
        key.rotation = angle;
    }
}

} // namespace TarnEngine
