// Encoders and decoders of TextConversion.h, written out by hand: they sit on the path of every XML
// file and every script string, and the rules for malformed input must be the same everywhere.
#include "engine/core/text/TextConversion.h"

#include <cstring>
#include <cwchar>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace TarnEngine
{

namespace
{

bool isScalar(uint32_t c)
{
    return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF);
}

// Windows-1252 characters of the bytes 0x80 to 0x9F; the unassigned ones keep their own value.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

struct Cp1252Table
{
    wchar_t wide[256];
    constexpr Cp1252Table() : wide()
    {
        for (unsigned b = 0; b < 256; ++b)
            wide[b] = (b >= 0x80 && b < 0xA0) ? wchar_t(kCp1252High[b - 0x80]) : wchar_t(b);
    }
};
constexpr Cp1252Table kCp1252;

char wideToAnsiChar(wchar_t w)
{
    const uint32_t c = uint32_t(w);
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    switch (c)
    {
    case 0x20AC:
        return char(0x80);
    case 0x0081:
        return char(0x81);
    case 0x201A:
        return char(0x82);
    case 0x0192:
        return char(0x83);
    case 0x201E:
        return char(0x84);
    case 0x2026:
        return char(0x85);
    case 0x2020:
        return char(0x86);
    case 0x2021:
        return char(0x87);
    case 0x02C6:
        return char(0x88);
    case 0x2030:
        return char(0x89);
    case 0x0160:
        return char(0x8A);
    case 0x2039:
        return char(0x8B);
    case 0x0152:
        return char(0x8C);
    case 0x008D:
        return char(0x8D);
    case 0x017D:
        return char(0x8E);
    case 0x008F:
        return char(0x8F);
    case 0x0090:
        return char(0x90);
    case 0x2018:
        return char(0x91);
    case 0x2019:
        return char(0x92);
    case 0x201C:
        return char(0x93);
    case 0x201D:
        return char(0x94);
    case 0x2022:
        return char(0x95);
    case 0x2013:
        return char(0x96);
    case 0x2014:
        return char(0x97);
    case 0x02DC:
        return char(0x98);
    case 0x2122:
        return char(0x99);
    case 0x0161:
        return char(0x9A);
    case 0x203A:
        return char(0x9B);
    case 0x0153:
        return char(0x9C);
    case 0x009D:
        return char(0x9D);
    case 0x017E:
        return char(0x9E);
    case 0x0178:
        return char(0x9F);
    default:
        return '?';
    }
}

// Whether the eight bytes at p are all ASCII.
inline bool asciiWord(const unsigned char* p)
{
    uint64_t word;
    std::memcpy(&word, p, 8);
    return (word & 0x8080808080808080ull) == 0;
}

// The continuation bytes a UTF-8 lead byte needs (0 when it cannot start a sequence), the range the
// first of them must lie in (which rules out overlong forms, surrogates and code points past
// U+10FFFF) and the lead byte's bits of the code point.
inline unsigned utf8Lead(unsigned b, unsigned& low, unsigned& high, uint32_t& c)
{
    low = 0x80;
    high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF)
    {
        c = b & 0x1F;
        return 1;
    }
    if (b >= 0xE0 && b <= 0xEF)
    {
        c = b & 0x0F;
        if (b == 0xE0)
            low = 0xA0;
        else if (b == 0xED)
            high = 0x9F;
        return 2;
    }
    if (b >= 0xF0 && b <= 0xF4)
    {
        c = b & 0x07;
        if (b == 0xF0)
            low = 0x90;
        else if (b == 0xF4)
            high = 0x8F;
        return 3;
    }
    return 0;
}

void appendUtf16(std::u16string& out, wchar_t w)
{
    uint32_t c = uint32_t(w);
    if (!isScalar(c))
        c = kReplacementChar;
    if (c < 0x10000)
        out += char16_t(c);
    else
    {
        c -= 0x10000;
        out += char16_t(0xD800 | (c >> 10));
        out += char16_t(0xDC00 | (c & 0x3FF));
    }
}

// Decodes UTF-16 units fetched by unit(i); a lone surrogate becomes U+FFFD.
template <class Fetch> std::wstring decodeUtf16(size_t count, Fetch unit)
{
    std::wstring out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i)
    {
        const uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count)
        {
            const uint32_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF)
            {
                out += wchar_t(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        out += (u >= 0xD800 && u <= 0xDFFF) ? kReplacementChar : wchar_t(u);
    }
    return out;
}

} // namespace

std::wstring Utf8ToWString(const char* text)
{
    if (text == nullptr)
        return {};
    return Utf8ToWString(std::string_view(text));
}

std::wstring Utf8ToWString(std::string_view text)
{
    // Never more characters than bytes: write into a buffer of that size and cut it afterwards.
    std::wstring out(text.size(), L'\0');
    out.resize(Utf8ToWideChars(text, out.data()));
    return out;
}

size_t Utf8ToWideChars(std::string_view text, wchar_t* out)
{
    wchar_t* o = out;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n)
    {
        if (i + 8 <= n && asciiWord(s + i))
        {
            for (unsigned k = 0; k < 8; ++k)
                o[k] = wchar_t(s[i + k]);
            o += 8;
            i += 8;
            continue;
        }
        const unsigned b = s[i];
        if (b < 0x80)
        {
            *o++ = wchar_t(b);
            ++i;
            continue;
        }
        // Each malformed stretch (the longest start of a valid sequence) becomes one U+FFFD.
        unsigned low, high;
        uint32_t c = 0;
        const unsigned need = utf8Lead(b, low, high, c);
        ++i;
        if (need == 0)
        {
            *o++ = kReplacementChar;
            continue;
        }
        bool complete = true;
        for (unsigned k = 0; k < need; ++k)
        {
            const unsigned lo = k == 0 ? low : 0x80, hi = k == 0 ? high : 0xBF;
            if (i >= n || s[i] < lo || s[i] > hi)
            {
                complete = false;
                break;
            }
            c = (c << 6) | (s[i] & 0x3F);
            ++i;
        }
        *o++ = complete ? wchar_t(c) : kReplacementChar;
    }
    return size_t(o - out);
}

bool IsValidUtf8(std::string_view text)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n)
    {
        if (i + 8 <= n && asciiWord(s + i))
        {
            i += 8;
            continue;
        }
        if (s[i] < 0x80)
        {
            ++i;
            continue;
        }
        unsigned low, high;
        uint32_t c = 0;
        const unsigned need = utf8Lead(s[i], low, high, c);
        if (need == 0 || n - i - 1 < need)
            return false;
        for (unsigned k = 1; k <= need; ++k)
            if (s[i + k] < (k == 1 ? low : 0x80) || s[i + k] > (k == 1 ? high : 0xBF))
                return false;
        i += 1 + need;
    }
    return true;
}

namespace
{
// Long ASCII stretches (nearly all of a saved document) are taken sixteen
// characters at a time.
constexpr size_t kAsciiBlock = 16;

// Whether the block of wide characters at p is all ASCII; if so and out is
// given, its bytes are written there.
inline bool asciiBlock(const wchar_t* p, char* out)
{
#if defined(__SSE2__)
    static_assert(sizeof(wchar_t) == 4);
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12));
    const __m128i any = _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d));
    const __m128i high = _mm_and_si128(any, _mm_set1_epi32(~0x7F));
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(high, _mm_setzero_si128())) != 0xFFFF)
        return false;
    if (out)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d)));
    return true;
#else
    uint32_t any = 0;
    for (size_t k = 0; k < kAsciiBlock; ++k)
        any |= uint32_t(p[k]);
    if (any >= 0x80)
        return false;
    if (out)
        for (size_t k = 0; k < kAsciiBlock; ++k)
            out[k] = char(p[k]);
    return true;
#endif
}
} // namespace

std::string WStringToUtf8(std::wstring_view text)
{
    // Measure first (a sum without branches, which the compiler widens), then
    // write without growing. Code points beyond U+10FFFF and surrogates become
    // U+FFFD, three bytes, as the sum counts them.
    const wchar_t* const begin = text.data();
    const wchar_t* const end = begin + text.size();
    size_t length = text.size();
    for (const wchar_t* p = begin; p != end; ++p)
    {
        const uint32_t c = uint32_t(*p);
        length += size_t(c >= 0x80) + size_t(c >= 0x800) + size_t(c - 0x10000 <= 0x10FFFF - 0x10000);
    }
    std::string out(length, '\0');
    char* o = out.data();
    if (length == text.size())
    {
        // All ASCII: nothing but narrowing.
        for (const wchar_t* p = begin; p != end; ++p)
            *o++ = char(*p);
        return out;
    }
    // Long ASCII stretches go sixteen characters at a time; after a block that
    // was not all ASCII the next try waits a block, so mixed text does not
    // look ahead at every character.
    const wchar_t* nextTry = begin;
    for (const wchar_t* p = begin; p != end;)
    {
        uint32_t c = uint32_t(*p);
        if (c < 0x80)
        {
            if (p >= nextTry && size_t(end - p) >= kAsciiBlock)
            {
                if (asciiBlock(p, o))
                {
                    o += kAsciiBlock;
                    p += kAsciiBlock;
                    continue;
                }
                nextTry = p + kAsciiBlock;
            }
            *o++ = char(c);
            ++p;
            continue;
        }
        ++p;
        if (!isScalar(c))
            c = kReplacementChar;
        if (c < 0x800)
        {
            o[0] = char(0xC0 | (c >> 6));
            o[1] = char(0x80 | (c & 0x3F));
            o += 2;
        }
        else if (c < 0x10000)
        {
            o[0] = char(0xE0 | (c >> 12));
            o[1] = char(0x80 | ((c >> 6) & 0x3F));
            o[2] = char(0x80 | (c & 0x3F));
            o += 3;
        }
        else
        {
            o[0] = char(0xF0 | (c >> 18));
            o[1] = char(0x80 | ((c >> 12) & 0x3F));
            o[2] = char(0x80 | ((c >> 6) & 0x3F));
            o[3] = char(0x80 | (c & 0x3F));
            o += 4;
        }
    }
    return out;
}

std::unique_ptr<char[]> WideToUtf8Alloc(const wchar_t* text, int length)
{
    if (text == nullptr || length == 0 || length < -1)
        return nullptr;
    const size_t n = length == -1 ? std::wcslen(text) : size_t(length);
    const std::string utf8 = WStringToUtf8(std::wstring_view(text, n));
    if (utf8.empty())
        return nullptr;
    std::unique_ptr<char[]> block(new char[utf8.size() + 1]);
    std::memcpy(block.get(), utf8.c_str(), utf8.size() + 1);
    return block;
}

std::wstring Utf16ToWString(std::u16string_view text)
{
    return decodeUtf16(text.size(), [&](size_t i) { return uint32_t(text[i]); });
}

std::u16string WStringToUtf16(std::wstring_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (const wchar_t w : text)
        appendUtf16(out, w);
    return out;
}

std::wstring Utf16LeToWString(const void* bytes, size_t byteCount)
{
    if (bytes == nullptr)
        return {};
    const auto* b = static_cast<const unsigned char*>(bytes);
    std::wstring out =
        decodeUtf16(byteCount / 2, [&](size_t i) { return uint32_t(b[2 * i] | (b[2 * i + 1] << 8)); });
    if (byteCount % 2 != 0)
        out += kReplacementChar;
    return out;
}

std::vector<uint8_t> WStringToUtf16Le(std::wstring_view text)
{
    const std::u16string units = WStringToUtf16(text);
    std::vector<uint8_t> out(units.size() * 2);
    for (size_t i = 0; i < units.size(); ++i)
    {
        out[2 * i] = uint8_t(units[i] & 0xFF);
        out[2 * i + 1] = uint8_t(units[i] >> 8);
    }
    return out;
}

wchar_t AnsiCharToWide(unsigned char c)
{
    return kCp1252.wide[c];
}

std::wstring AnsiToWString(const char* text)
{
    if (text == nullptr)
        return {};
    return AnsiToWString(std::string_view(text));
}

std::wstring AnsiToWString(std::string_view text)
{
    std::wstring out(text.size(), L'\0');
    AnsiToWideChars(text, out.data());
    return out;
}

void AnsiToWideChars(std::string_view text, wchar_t* out)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = kCp1252.wide[s[i]];
}

std::wstring AnsiToWStringN(const char* text, size_t count)
{
    if (text == nullptr)
        return {};
    return AnsiToWString(std::string_view(text, strnlen(text, count)));
}

std::wstring ToWideString(const std::string& text)
{
    return AnsiToWString(std::string_view(text));
}

std::string WideToAnsiN(const wchar_t* text, size_t count)
{
    if (text == nullptr)
        return {};
    return WStringToAnsi(std::wstring_view(text, count));
}

std::string WStringToAnsi(std::wstring_view text)
{
    std::string out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = wideToAnsiChar(text[i]);
    return out;
}

} // namespace TarnEngine
