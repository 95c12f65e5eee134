// Printf-style formatting of wide text.
//
// The engine's formats are written in the Windows wide conventions: in a wide format "%s" takes wide
// text and "%S" (or "%hs") narrow text, "%c" a wide character, "%ld" is 32 bits and "%I64d"/"%lld"
// 64 bits. glibc's wide printf reads "%s" as narrow text, so the engine never hands a format to it:
// this formatter parses the format itself and checks every argument against its conversion. With a
// literal format (StringPrintf, StringPrintfInto) a mismatch is a compile error; the run-time entry
// (VFormatString, StringPrintfChecked) refuses a mismatch instead of misreading an argument.
// A text that comes from data or scripts is never a format: pass it as an argument of "%s".
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace TarnEngine
{

// One argument of a formatting call, tagged with what it holds.
struct FormatArg
{
    enum Kind : uint8_t
    {
        Invalid,
        Signed,
        Unsigned,
        Float,
        WideText,
        NarrowText,
        Pointer
    };
    Kind kind = Invalid;
    uint8_t bytes = 0; // width of an integer argument
    union
    {
        int64_t i;
        uint64_t u;
        double d;
        const void* p;
    };
    size_t length = 0; // characters of a text argument; npos when it ends at its first NUL

    constexpr FormatArg() : i(0) {}
};

// Kind and width of an argument type, as far as the format check needs them.
struct FormatArgClass
{
    FormatArg::Kind kind;
    uint8_t bytes;
};

namespace format_detail
{

template <class T> constexpr FormatArgClass ClassOf()
{
    using U = std::remove_cvref_t<T>;
    using D = std::decay_t<U>;
    if constexpr (std::is_same_v<U, bool>)
        return {FormatArg::Unsigned, 1};
    else if constexpr (std::is_enum_v<U>)
        return ClassOf<std::underlying_type_t<U>>();
    else if constexpr (std::is_integral_v<U>)
        return {std::is_signed_v<U> ? FormatArg::Signed : FormatArg::Unsigned, uint8_t(sizeof(U))};
    else if constexpr (std::is_floating_point_v<U>)
        return {FormatArg::Float, 8};
    else if constexpr (std::is_same_v<U, std::wstring> || std::is_same_v<U, std::wstring_view> ||
                       std::is_same_v<D, const wchar_t*> || std::is_same_v<D, wchar_t*>)
        return {FormatArg::WideText, 0};
    else if constexpr (std::is_same_v<U, std::string> || std::is_same_v<U, std::string_view> ||
                       std::is_same_v<D, const char*> || std::is_same_v<D, char*>)
        return {FormatArg::NarrowText, 0};
    else if constexpr (std::is_pointer_v<D> || std::is_null_pointer_v<U>)
        return {FormatArg::Pointer, uint8_t(sizeof(void*))};
    else
        return {FormatArg::Invalid, 0};
}

template <class T> FormatArg Make(const T& value)
{
    constexpr FormatArgClass c = ClassOf<T>();
    static_assert(c.kind != FormatArg::Invalid, "this type cannot be formatted");
    using U = std::remove_cvref_t<T>;
    FormatArg a;
    a.kind = c.kind;
    a.bytes = c.bytes;
    if constexpr (std::is_enum_v<U>)
        return Make(static_cast<std::underlying_type_t<U>>(value));
    else if constexpr (c.kind == FormatArg::Signed)
        a.i = int64_t(value);
    else if constexpr (c.kind == FormatArg::Unsigned)
        a.u = uint64_t(value);
    else if constexpr (c.kind == FormatArg::Float)
        a.d = double(value);
    else if constexpr (std::is_same_v<U, std::wstring> || std::is_same_v<U, std::wstring_view> ||
                       std::is_same_v<U, std::string> || std::is_same_v<U, std::string_view>)
    {
        a.p = value.data();
        a.length = value.size();
    }
    else if constexpr (c.kind == FormatArg::WideText || c.kind == FormatArg::NarrowText)
    {
        a.p = static_cast<const void*>(value);
        a.length = std::wstring_view::npos;
    }
    else if constexpr (std::is_null_pointer_v<U>)
        a.p = nullptr;
    else
        a.p = reinterpret_cast<const void*>(value);
    return a;
}

constexpr bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// Length modifiers. "l" is 32 bits as on Windows; "ll", "I64", "j", "z", "t" and "I" are 64 bits.
enum FormatLength : uint8_t
{
    LengthNone,
    LengthChar,  // hh
    LengthShort, // h
    LengthLong,  // l
    Length64,
    LengthDouble, // L
    LengthWide,   // w
    Length32      // I32
};

// One conversion of a format: "%" flags width precision length conversion.
struct FormatSpec
{
    bool left = false, plus = false, space = false, alt = false, zero = false;
    bool widthFromArg = false, precisionFromArg = false;
    int width = 0;
    int precision = -1;
    FormatLength length = LengthNone;
    wchar_t conversion = 0;
};

inline constexpr int kMaxFormatField = 0x7FFFFFFE;

// Reads a number of a width or precision, refusing one beyond kMaxFormatField.
constexpr bool ParseFieldNumber(std::wstring_view f, size_t& i, int& value)
{
    long long v = 0;
    while (i < f.size() && IsDigit(f[i]))
    {
        v = v * 10 + (f[i++] - L'0');
        if (v > kMaxFormatField)
            return false;
    }
    value = int(v);
    return true;
}

// Parses the conversion that starts after a '%' at f[i] (not "%%"). Returns the index after the
// conversion character, or npos when the format ends inside it or a field is too large.
constexpr size_t ParseSpec(std::wstring_view f, size_t i, FormatSpec& s)
{
    for (; i < f.size(); ++i)
    {
        const wchar_t c = f[i];
        if (c == L'-')
            s.left = true;
        else if (c == L'+')
            s.plus = true;
        else if (c == L' ')
            s.space = true;
        else if (c == L'#')
            s.alt = true;
        else if (c == L'0')
            s.zero = true;
        else
            break;
    }
    if (i < f.size() && f[i] == L'*')
        s.widthFromArg = true, ++i;
    else if (!ParseFieldNumber(f, i, s.width))
        return std::wstring_view::npos;
    if (i < f.size() && f[i] == L'.')
    {
        ++i;
        if (i < f.size() && f[i] == L'*')
            s.precisionFromArg = true, ++i;
        else if (!ParseFieldNumber(f, i, s.precision))
            return std::wstring_view::npos;
    }
    auto at = [&](size_t k, wchar_t c) { return i + k < f.size() && f[i + k] == c; };
    if (at(0, L'h') && at(1, L'h'))
        s.length = LengthChar, i += 2;
    else if (at(0, L'h'))
        s.length = LengthShort, ++i;
    else if (at(0, L'l') && at(1, L'l'))
        s.length = Length64, i += 2;
    else if (at(0, L'l'))
        s.length = LengthLong, ++i;
    else if (at(0, L'I') && at(1, L'6') && at(2, L'4'))
        s.length = Length64, i += 3;
    else if (at(0, L'I') && at(1, L'3') && at(2, L'2'))
        s.length = Length32, i += 3;
    else if (at(0, L'I') || at(0, L'j') || at(0, L'z') || at(0, L't'))
        s.length = Length64, ++i;
    else if (at(0, L'L'))
        s.length = LengthDouble, ++i;
    else if (at(0, L'w'))
        s.length = LengthWide, ++i;
    if (i >= f.size())
        return std::wstring_view::npos;
    s.conversion = f[i];
    return i + 1;
}

// True when "%s"/"%S" of this spec reads narrow text.
constexpr bool IsNarrowText(const FormatSpec& s)
{
    if (s.length == LengthShort)
        return true;
    return s.conversion == L'S' && s.length != LengthLong && s.length != LengthWide;
}

// Whether an argument of class c may stand for a '*' field.
constexpr bool FitsField(FormatArgClass c)
{
    return (c.kind == FormatArg::Signed || c.kind == FormatArg::Unsigned) && c.bytes <= 4;
}

// Null when an argument of class c fits the conversion of s, else what is wrong.
constexpr const char* CheckArg(const FormatSpec& s, FormatArgClass c)
{
    const bool integer = c.kind == FormatArg::Signed || c.kind == FormatArg::Unsigned;
    switch (s.conversion)
    {
    case L'd':
    case L'i':
    case L'u':
    case L'o':
    case L'x':
    case L'X':
        if (s.length == LengthDouble || s.length == LengthWide)
            return "bad length modifier for an integer conversion";
        if (!integer)
            return "integer conversion needs an integer argument";
        if (c.bytes > 4 && s.length != Length64)
            return "a 64-bit argument needs %lld or %I64d";
        return nullptr;
    case L'c':
    case L'C':
        return integer ? nullptr : "%c needs a character argument";
    case L's':
    case L'S':
        if (s.length != LengthNone && s.length != LengthShort && s.length != LengthLong &&
            s.length != LengthWide)
            return "bad length modifier for a text conversion";
        if (IsNarrowText(s))
            return c.kind == FormatArg::NarrowText ? nullptr : "%S and %hs need narrow text";
        return c.kind == FormatArg::WideText ? nullptr : "%s needs wide text";
    case L'f':
    case L'F':
    case L'e':
    case L'E':
    case L'g':
    case L'G':
    case L'a':
    case L'A':
        if (s.length != LengthNone && s.length != LengthLong && s.length != LengthDouble)
            return "bad length modifier for a floating conversion";
        return c.kind == FormatArg::Float ? nullptr : "floating conversion needs a floating argument";
    case L'p':
        return c.kind == FormatArg::Pointer ? nullptr : "%p needs a pointer";
    case L'n':
        return "%n is not supported";
    default:
        return "unknown conversion";
    }
}

// Checks a whole format against the argument classes; null when it fits, else what is wrong.
constexpr const char* CheckFormat(std::wstring_view f, const FormatArgClass* classes, size_t count)
{
    size_t arg = 0;
    for (size_t i = 0; i < f.size(); ++i)
    {
        if (f[i] != L'%')
            continue;
        if (i + 1 < f.size() && f[i + 1] == L'%')
        {
            ++i;
            continue;
        }
        FormatSpec s;
        const size_t next = ParseSpec(f, i + 1, s);
        if (next == std::wstring_view::npos)
            return "format ends inside a conversion or has a field too large";
        if (s.widthFromArg && (arg >= count || !FitsField(classes[arg++])))
            return "'*' needs an int argument";
        if (s.precisionFromArg && (arg >= count || !FitsField(classes[arg++])))
            return "'*' needs an int argument";
        if (arg >= count)
            return "too few arguments for the format";
        if (const char* why = CheckArg(s, classes[arg++]))
            return why;
        i = next - 1;
    }
    return arg == count ? nullptr : "more arguments than the format uses";
}

// Not constexpr: reaching it during constant evaluation turns a bad format into a compile error.
void BadFormat(const char* why);

} // namespace format_detail

// A format checked at compile time against the argument types.
template <class... Args> class WideFormat
{
public:
    template <size_t N> consteval WideFormat(const wchar_t (&text)[N]) : m_text(text, N - 1)
    {
        constexpr FormatArgClass classes[sizeof...(Args) + 1] = {format_detail::ClassOf<Args>()...,
                                                                 {FormatArg::Invalid, 0}};
        if (const char* why = format_detail::CheckFormat(m_text, classes, sizeof...(Args)))
            format_detail::BadFormat(why);
    }
    constexpr std::wstring_view Get() const { return m_text; }

private:
    std::wstring_view m_text;
};

// Formats into out (assigned, cut at the first NUL of the result). False, with out holding the text
// formatted so far followed by the rest of the format, when an argument does not fit its conversion,
// arguments are missing or left over, or the result would pass 2^31 - 2 characters (then out is empty).
bool VFormatString(std::wstring& out, std::wstring_view format, std::span<const FormatArg> args);

template <class... Args>
std::wstring StringPrintf(WideFormat<std::type_identity_t<Args>...> format, const Args&... args)
{
    const FormatArg list[sizeof...(Args) + 1] = {format_detail::Make(args)..., FormatArg()};
    std::wstring out;
    VFormatString(out, format.Get(), std::span<const FormatArg>(list, sizeof...(Args)));
    return out;
}

template <class... Args>
bool StringPrintfInto(std::wstring& out, WideFormat<std::type_identity_t<Args>...> format,
                      const Args&... args)
{
    const FormatArg list[sizeof...(Args) + 1] = {format_detail::Make(args)..., FormatArg()};
    return VFormatString(out, format.Get(), std::span<const FormatArg>(list, sizeof...(Args)));
}

// For a format that exists only at run time and belongs to the program itself (a resource string);
// the arguments are checked as the format is read.
template <class... Args>
bool StringPrintfChecked(std::wstring& out, std::wstring_view format, const Args&... args)
{
    const FormatArg list[sizeof...(Args) + 1] = {format_detail::Make(args)..., FormatArg()};
    return VFormatString(out, format, std::span<const FormatArg>(list, sizeof...(Args)));
}

} // namespace TarnEngine
