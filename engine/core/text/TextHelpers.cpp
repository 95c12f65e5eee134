// Implementation of TextHelpers.h.
#include "engine/core/text/TextHelpers.h"

#include <clocale>
#include <cwctype>
#include <locale.h>
#include <unicode/uchar.h>
#include <wchar.h>

namespace TarnEngine
{

namespace
{

bool isSpace(wchar_t c)
{
    return std::iswspace(wint_t(c)) != 0;
}

// Magnitude of an integer literal with automatic base, saturated at limit; sets negative.
uint64_t parseLiteral(std::wstring_view t, uint64_t limit, bool& negative, bool& overflow)
{
    size_t i = 0;
    while (i < t.size() && isSpace(t[i]))
        ++i;
    negative = false;
    overflow = false;
    if (i < t.size() && (t[i] == L'+' || t[i] == L'-'))
        negative = t[i++] == L'-';
    unsigned base = 10;
    auto digit = [](wchar_t c) -> unsigned
    {
        if (c >= L'0' && c <= L'9')
            return unsigned(c - L'0');
        if (c >= L'a' && c <= L'z')
            return unsigned(c - L'a' + 10);
        if (c >= L'A' && c <= L'Z')
            return unsigned(c - L'A' + 10);
        return 99;
    };
    if (i < t.size() && t[i] == L'0')
    {
        if (i + 2 < t.size() && (t[i + 1] == L'x' || t[i + 1] == L'X') && digit(t[i + 2]) < 16)
        {
            base = 16;
            i += 2;
        }
        else
            base = 8;
    }
    uint64_t value = 0;
    for (; i < t.size() && digit(t[i]) < base; ++i)
    {
        value = value * base + digit(t[i]);
        if (value > limit)
        {
            overflow = true;
            value = limit;
        }
    }
    return value;
}

locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return locale;
}

} // namespace

int SplitString(const std::wstring& text, wchar_t separator, bool trim, int mostParts,
                std::vector<std::wstring>& out)
{
    if (separator == 0 || mostParts == 1)
    {
        std::wstring whole = text;
        if (trim)
            Trim(whole);
        out.push_back(std::move(whole));
        return 1;
    }
    const size_t n = text.size();
    size_t pos = 0;
    if (trim)
        while (pos < n && isSpace(text[pos]))
            ++pos;
    int appended = 0;
    auto take = [&](size_t begin, size_t end)
    {
        if (trim)
            while (end > begin && isSpace(text[end - 1]))
                --end;
        if (begin == end && appended == 0)
            return;
        out.emplace_back(text, begin, end - begin);
        ++appended;
    };
    for (;;)
    {
        const size_t sep = text.find(separator, pos);
        if (sep == std::wstring::npos || (mostParts > 1 && appended == mostParts - 1))
        {
            take(pos, n);
            break;
        }
        take(pos, sep);
        pos = sep + 1;
        if (trim)
            while (pos < n && isSpace(text[pos]))
                ++pos;
    }
    return appended;
}

std::vector<std::wstring> SplitString(const std::wstring& text, wchar_t separator, bool trim, int mostParts)
{
    std::vector<std::wstring> parts;
    SplitString(text, separator, trim, mostParts, parts);
    return parts;
}

void TrimChar(std::wstring& text, wchar_t c)
{
    const size_t first = text.find_first_not_of(c);
    if (first == std::wstring::npos)
    {
        text.clear();
        return;
    }
    text.erase(text.find_last_not_of(c) + 1);
    text.erase(0, first);
}

void Trim(std::wstring& text)
{
    for (const wchar_t c : {L' ', L'\t', L'\n', L'\r', L'\v'})
        TrimChar(text, c);
}

int ReplaceAll(std::wstring& text, const std::wstring& what, const std::wstring& with)
{
    if (text.empty() || what.empty())
        return 0;
    int count = 0;
    size_t pos = 0;
    while (pos < text.size())
    {
        pos = text.find(what, pos);
        if (pos == std::wstring::npos)
            break;
        text.replace(pos, what.size(), with);
        pos += with.size();
        ++count;
    }
    return count;
}

int ReplaceChar(std::wstring& text, wchar_t from, wchar_t to)
{
    int count = 0;
    for (wchar_t& c : text)
        if (c == from)
        {
            c = to;
            ++count;
        }
    return count;
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix)
{
    return text.starts_with(prefix);
}

bool EndsWith(std::wstring_view text, std::wstring_view suffix)
{
    return text.ends_with(suffix);
}

std::wstring ToLower(std::wstring_view text)
{
    std::wstring out(text);
    for (wchar_t& c : out)
    {
        if (c >= L'A' && c <= L'Z')
            c = wchar_t(c + (L'a' - L'A'));
        else if (uint32_t(c) >= 0x80 && uint32_t(c) <= 0x10FFFF)
            c = wchar_t(u_tolower(UChar32(c)));
    }
    return out;
}

int CompareNoCase(std::wstring_view a, std::wstring_view b)
{
    return ToLower(a).compare(ToLower(b));
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

uint32_t WStringToInt(std::wstring_view text)
{
    bool negative = false, overflow = false;
    const uint64_t v = parseLiteral(text, 0xFFFFFFFFu, negative, overflow);
    if (overflow)
        return 0xFFFFFFFFu;
    return negative ? uint32_t(0u - uint32_t(v)) : uint32_t(v);
}

int32_t WStringToLong(std::wstring_view text)
{
    bool negative = false, overflow = false;
    const uint64_t v = parseLiteral(text, uint64_t(INT32_MAX) + 1, negative, overflow);
    if (negative)
        return v > uint64_t(INT32_MAX) ? INT32_MIN : -int32_t(v);
    return v > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(v);
}

double WStringToDouble(const std::wstring& text)
{
    // Only the decimal form is a number here: the C library would also read
    // "inf", "nan" and hexadecimal text, which data files never mean.
    size_t end = 0;
    while (end < text.size() && isSpace(text[end]))
        ++end;
    if (end < text.size() && (text[end] == L'+' || text[end] == L'-'))
        ++end;
    const auto digitsFrom = [&text](size_t i)
    {
        while (i < text.size() && text[i] >= L'0' && text[i] <= L'9')
            ++i;
        return i;
    };
    const size_t integerEnd = digitsFrom(end);
    size_t numberEnd = integerEnd;
    bool digits = integerEnd > end;
    if (numberEnd < text.size() && text[numberEnd] == L'.')
    {
        const size_t fractionEnd = digitsFrom(numberEnd + 1);
        digits = digits || fractionEnd > numberEnd + 1;
        numberEnd = fractionEnd;
    }
    if (!digits)
        return 0.0;
    if (numberEnd < text.size() && (text[numberEnd] == L'e' || text[numberEnd] == L'E'))
    {
        size_t exponent = numberEnd + 1;
        if (exponent < text.size() && (text[exponent] == L'+' || text[exponent] == L'-'))
            ++exponent;
        const size_t exponentEnd = digitsFrom(exponent);
        if (exponentEnd > exponent)
            numberEnd = exponentEnd;
    }
    return wcstod_l(text.substr(0, numberEnd).c_str(), nullptr, cLocale());
}

std::wstring LoadResourceString(uint32_t id)
{
    struct Entry
    {
        uint32_t id;
        const wchar_t* text;
    };
    static const Entry kStrings[] = {
        {901, L"Critical Error"},
        {902,
         L"We are unable to find a way to display the game adequately.\n\nThis may be due to other running "
         L"graphically intensive applications, or a computer that is below our minimum system requirements."},
        {903, L"You are running in a terminal services session, which is not supported."},
        {904, L"Not enough available video memory. Please close any other graphically intensive applications "
              L"that are running to free up memory, and then try running this game again."},
        {906,
         L"We're sorry, but %s has encountered a critical error and must be shut down. If this persists, "
         L"please contact technical support. We apologize for the inconvenience this has caused."},
        {907, L"%s cannot start because %s."},
    };
    for (const Entry& e : kStrings)
        if (e.id == id)
            return e.text;
    return {};
}

std::wstring SerializeIntValue(int32_t value, std::wstring& typeName)
{
    typeName = L"int";
    return StringPrintf(L"%d", value);
}

std::wstring SerializeUIntValue(uint32_t value, std::wstring& typeName)
{
    typeName = L"uint";
    return StringPrintf(L"%d", value);
}

std::wstring SerializeBoolValue(bool value, std::wstring& typeName)
{
    typeName = L"bool";
    return StringPrintf(L"%d", value ? 1 : 0);
}

} // namespace TarnEngine
