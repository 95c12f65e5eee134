// The run-time half of the wide formatter: walks the format, checks each argument against its
// conversion and writes the text itself. Only floating conversions are handed to the C library
// (narrow snprintf with a spec this code builds), so no argument ever reaches a variadic call
// unchecked.
#include "engine/core/text/StringFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <locale.h>

#include "engine/core/text/TextConversion.h"

namespace TarnEngine
{
namespace format_detail
{
void BadFormat(const char*) {}
} // namespace format_detail

namespace
{

using namespace format_detail;

// The longest result: the largest buffer the formatter may use, less its terminating NUL.
constexpr size_t kMaxResult = size_t(kMaxFormatField);

FormatArgClass classOf(const FormatArg& a)
{
    return {a.kind, a.bytes};
}

class Writer
{
public:
    explicit Writer(std::wstring& out) : m_out(out) {}

    bool Room(size_t n) const { return m_out.size() <= kMaxResult && n <= kMaxResult - m_out.size(); }
    bool Fill(wchar_t c, size_t n)
    {
        if (!Room(n))
            return false;
        m_out.append(n, c);
        return true;
    }
    bool Put(const wchar_t* s, size_t n)
    {
        if (!Room(n))
            return false;
        m_out.append(s, n);
        return true;
    }
    std::wstring& Text() { return m_out; }

private:
    std::wstring& m_out;
};

// Pads a body of the given length to the field width, with the body written by put().
template <class PutBody> bool padded(Writer& w, const FormatSpec& s, size_t bodyLength, PutBody put)
{
    const size_t width = size_t(s.width);
    const size_t pad = width > bodyLength ? width - bodyLength : 0;
    if (!s.left && !w.Fill(L' ', pad))
        return false;
    if (!put())
        return false;
    return !s.left || w.Fill(L' ', pad);
}

bool emitInteger(Writer& w, const FormatSpec& s, const FormatArg& a)
{
    unsigned bits = 32;
    if (s.length == LengthChar)
        bits = 8;
    else if (s.length == LengthShort)
        bits = 16;
    else if (s.length == Length64)
        bits = 64;
    const uint64_t mask = bits == 64 ? ~uint64_t(0) : (uint64_t(1) << bits) - 1;
    const wchar_t conv = s.conversion;
    const bool isSigned = conv == L'd' || conv == L'i';

    uint64_t magnitude = a.u & mask;
    bool negative = false;
    if (isSigned && bits < 64 && (magnitude >> (bits - 1)) != 0)
    {
        negative = true;
        magnitude = (~magnitude + 1) & mask;
    }
    else if (isSigned && bits == 64 && a.i < 0)
    {
        negative = true;
        magnitude = ~a.u + 1;
    }

    const unsigned base = conv == L'o' ? 8 : (conv == L'x' || conv == L'X') ? 16 : 10;
    const wchar_t* digitSet = conv == L'X' ? L"0123456789ABCDEF" : L"0123456789abcdef";
    // Digits are written backwards from the end of the buffer.
    wchar_t buffer[24];
    wchar_t* digits = buffer + 24;
    if (base == 10 && magnitude <= 0xFFFFFFFFu)
    {
        // Two digits a step, in 32-bit arithmetic: the common case and the hot one.
        static constexpr char kPairs[] =
            "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
            "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
            "8081828384858687888990919293949596979899";
        uint32_t v = uint32_t(magnitude);
        while (v >= 100)
        {
            const uint32_t pair = (v % 100) * 2;
            v /= 100;
            *--digits = wchar_t(kPairs[pair + 1]);
            *--digits = wchar_t(kPairs[pair]);
        }
        if (v >= 10)
        {
            *--digits = wchar_t(kPairs[v * 2 + 1]);
            *--digits = wchar_t(kPairs[v * 2]);
        }
        else if (v != 0)
            *--digits = wchar_t(L'0' + v);
    }
    else if (base == 10)
        for (uint64_t v = magnitude; v != 0; v /= 10)
            *--digits = wchar_t(L'0' + v % 10);
    else
        for (uint64_t v = magnitude; v != 0; v /= base)
            *--digits = digitSet[v % base];
    const bool hasPrecision = s.precision >= 0;
    if (digits == buffer + 24 && !(hasPrecision && s.precision == 0))
        *--digits = L'0';
    const size_t count = size_t(buffer + 24 - digits);

    size_t zeros = hasPrecision && size_t(s.precision) > count ? size_t(s.precision) - count : 0;
    if (conv == L'o' && s.alt && zeros == 0 && (count == 0 || digits[0] != L'0'))
        zeros = 1;

    wchar_t prefix[2];
    size_t prefixLength = 0;
    if (isSigned)
    {
        if (negative)
            prefix[prefixLength++] = L'-';
        else if (s.plus)
            prefix[prefixLength++] = L'+';
        else if (s.space)
            prefix[prefixLength++] = L' ';
    }
    else if (base == 16 && s.alt && magnitude != 0)
    {
        prefix[prefixLength++] = L'0';
        prefix[prefixLength++] = conv;
    }

    size_t body = prefixLength + zeros + count;
    if (s.zero && !s.left && !hasPrecision && size_t(s.width) > body)
    {
        zeros += size_t(s.width) - body;
        body = size_t(s.width);
    }
    if (body >= size_t(s.width) && zeros == 0)
    {
        // The common case: no padding at all.
        if (prefixLength != 0 && !w.Put(prefix, prefixLength))
            return false;
        return w.Put(digits, count);
    }
    return padded(w, s, body,
                  [&] { return w.Put(prefix, prefixLength) && w.Fill(L'0', zeros) && w.Put(digits, count); });
}

// f, e and g of finite values through to_chars (shortest exact digits, as printf rounds them), with
// the sign and padding done here; false when the spec needs the C library.
bool emitFloatDirect(Writer& w, const FormatSpec& s, double value, bool& done)
{
    done = false;
    std::chars_format format;
    const wchar_t c = s.conversion;
    if (c == L'f' || c == L'F')
        format = std::chars_format::fixed;
    else if (c == L'e' || c == L'E')
        format = std::chars_format::scientific;
    else if (c == L'g' || c == L'G')
        format = std::chars_format::general;
    else
        return true;
    const int precision = s.precision >= 0 ? s.precision : 6;
    if (s.alt || !std::isfinite(value) || precision > 64)
        return true;
    char buffer[384];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    if (r.ec != std::errc())
        return true;
    done = true;
    const char* digits = buffer;
    wchar_t sign = 0;
    if (*digits == '-')
    {
        sign = L'-';
        ++digits;
    }
    else if (s.plus)
        sign = L'+';
    else if (s.space)
        sign = L' ';
    const size_t count = size_t(r.ptr - digits);
    const size_t body = count + (sign != 0 ? 1 : 0);
    const size_t zeros = s.zero && !s.left && size_t(s.width) > body ? size_t(s.width) - body : 0;
    const bool upper = c == L'E' || c == L'G';
    return padded(w, s, body + zeros,
                  [&]
                  {
                      if ((sign != 0 && !w.Put(&sign, 1)) || !w.Fill(L'0', zeros) || !w.Room(count))
                          return false;
                      std::wstring& out = w.Text();
                      for (size_t k = 0; k < count; ++k)
                      {
                          const char ch = digits[k];
                          out += wchar_t(upper && ch == 'e' ? 'E' : ch);
                      }
                      return true;
                  });
}

bool emitFloat(Writer& w, const FormatSpec& s, const FormatArg& a)
{
    bool done = false;
    const bool ok = emitFloatDirect(w, s, a.d, done);
    if (done)
        return ok;
    char spec[16];
    size_t n = 0;
    spec[n++] = '%';
    if (s.left)
        spec[n++] = '-';
    if (s.plus)
        spec[n++] = '+';
    if (s.space)
        spec[n++] = ' ';
    if (s.alt)
        spec[n++] = '#';
    if (s.zero)
        spec[n++] = '0';
    spec[n++] = '*';
    spec[n++] = '.';
    spec[n++] = '*';
    spec[n++] = char(s.conversion);
    spec[n] = 0;
    // A missing precision is the library's own default (6 for f, e, g; exact for a).
    const int precision = s.precision >= 0 ? s.precision : -1;

    // A decimal point whatever the process locale: these numbers are written
    // into files that are read back in the "C" locale.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    const locale_t previous = cLocale ? uselocale(cLocale) : locale_t(0);
    char local[128];
    const int needed = std::snprintf(local, sizeof local, spec, s.width, precision, a.d);
    const char* text = local;
    std::string big;
    if (needed >= 0 && size_t(needed) >= sizeof local && w.Room(size_t(needed)))
    {
        big.resize(size_t(needed) + 1);
        std::snprintf(big.data(), big.size(), spec, s.width, precision, a.d);
        text = big.data();
    }
    if (previous)
        uselocale(previous);
    if (needed < 0 || !w.Room(size_t(needed)))
        return false;
    std::wstring& out = w.Text();
    const size_t at = out.size();
    out.resize(at + size_t(needed));
    for (int k = 0; k < needed; ++k)
        out[at + size_t(k)] = wchar_t(static_cast<unsigned char>(text[k]));
    return true;
}

bool emitChar(Writer& w, const FormatSpec& s, const FormatArg& a)
{
    const bool narrow =
        s.length == LengthShort || (s.conversion == L'C' && s.length != LengthLong && s.length != LengthWide);
    const wchar_t c = narrow ? AnsiCharToWide(static_cast<unsigned char>(a.u)) : wchar_t(uint32_t(a.u));
    return padded(w, s, 1, [&] { return w.Put(&c, 1); });
}

bool emitText(Writer& w, const FormatSpec& s, const FormatArg& a)
{
    const size_t limit = s.precision >= 0 ? size_t(s.precision) : std::wstring_view::npos;
    if (a.p == nullptr)
    {
        const std::wstring_view null = std::wstring_view(L"(null)").substr(0, limit);
        return padded(w, s, null.size(), [&] { return w.Put(null.data(), null.size()); });
    }
    if (a.kind == FormatArg::WideText)
    {
        const wchar_t* text = static_cast<const wchar_t*>(a.p);
        size_t length = a.length;
        if (length == std::wstring_view::npos)
            length = limit == std::wstring_view::npos ? std::wcslen(text) : wcsnlen(text, limit);
        if (length > limit)
            length = limit;
        return padded(w, s, length, [&] { return w.Put(text, length); });
    }
    const char* text = static_cast<const char*>(a.p);
    size_t length = a.length;
    if (length == std::wstring_view::npos)
        length = limit == std::wstring_view::npos ? std::strlen(text) : strnlen(text, limit);
    if (length > limit)
        length = limit;
    return padded(w, s, length,
                  [&]
                  {
                      if (!w.Room(length))
                          return false;
                      for (size_t k = 0; k < length; ++k)
                          w.Text() += AnsiCharToWide(static_cast<unsigned char>(text[k]));
                      return true;
                  });
}

bool emitPointer(Writer& w, const FormatSpec& s, const FormatArg& a)
{
    // As the Windows formatter: every hex digit of the pointer, upper case, no prefix.
    wchar_t digits[2 * sizeof(void*)];
    uint64_t v = uint64_t(reinterpret_cast<uintptr_t>(a.p));
    for (size_t k = sizeof digits / sizeof digits[0]; k > 0; --k, v >>= 4)
        digits[k - 1] = L"0123456789ABCDEF"[v & 15];
    const size_t n = sizeof digits / sizeof digits[0];
    return padded(w, s, n, [&] { return w.Put(digits, n); });
}

// Reads a '*' field; a negative width means left alignment, a negative precision none.
int fieldValue(const FormatArg& a)
{
    const int64_t v = a.kind == FormatArg::Signed ? a.i : int64_t(uint32_t(a.u));
    if (v > kMaxFormatField)
        return kMaxFormatField;
    if (v < -int64_t(kMaxFormatField))
        return -kMaxFormatField;
    return int(v);
}

} // namespace

bool VFormatString(std::wstring& out, std::wstring_view f, std::span<const FormatArg> args)
{
    std::wstring result;
    result.reserve(f.size() + 32);
    Writer w(result);
    size_t arg = 0;
    size_t i = 0;
    bool ok = true;
    while (i < f.size())
    {
        const size_t percent = f.find(L'%', i);
        if (percent == std::wstring_view::npos)
        {
            ok = w.Put(f.data() + i, f.size() - i);
            if (!ok)
                result.clear();
            break;
        }
        if (!w.Put(f.data() + i, percent - i))
        {
            result.clear();
            ok = false;
            break;
        }
        if (percent + 1 < f.size() && f[percent + 1] == L'%')
        {
            result += L'%';
            i = percent + 2;
            continue;
        }
        FormatSpec s;
        const size_t next = ParseSpec(f, percent + 1, s);
        bool fits = next != std::wstring_view::npos;
        if (fits && s.widthFromArg)
        {
            fits = arg < args.size() && FitsField(classOf(args[arg]));
            if (fits)
            {
                s.width = fieldValue(args[arg++]);
                if (s.width < 0)
                {
                    s.left = true;
                    s.width = -s.width;
                }
            }
        }
        if (fits && s.precisionFromArg)
        {
            fits = arg < args.size() && FitsField(classOf(args[arg]));
            if (fits)
            {
                s.precision = fieldValue(args[arg++]);
                if (s.precision < 0)
                    s.precision = -1;
            }
        }
        fits = fits && arg < args.size() && CheckArg(s, classOf(args[arg])) == nullptr;
        if (!fits)
        {
            // Leave the rest of the format as it stands rather than misread an argument.
            ok = false;
            if (!w.Put(f.data() + percent, f.size() - percent))
                result.clear();
            break;
        }
        const FormatArg& a = args[arg++];
        bool written = false;
        switch (s.conversion)
        {
        case L'c':
        case L'C':
            written = emitChar(w, s, a);
            break;
        case L's':
        case L'S':
            written = emitText(w, s, a);
            break;
        case L'p':
            written = emitPointer(w, s, a);
            break;
        case L'd':
        case L'i':
        case L'u':
        case L'o':
        case L'x':
        case L'X':
            written = emitInteger(w, s, a);
            break;
        default:
            written = emitFloat(w, s, a);
            break;
        }
        if (!written)
        {
            result.clear();
            ok = false;
            break;
        }
        i = next;
    }
    if (ok && arg != args.size())
        ok = false;
    const size_t nul = result.find(L'\0');
    if (nul != std::wstring::npos)
        result.resize(nul);
    out = std::move(result);
    return ok;
}

} // namespace TarnEngine
