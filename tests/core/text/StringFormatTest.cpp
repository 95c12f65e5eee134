// The wide formatter: Windows-style conversions, agreement with the C library on numbers, refusal of
// arguments that do not fit, and results of any length.
#include <gtest/gtest.h>

#include <clocale>
#include <cwchar>
#include <string>
#include <vector>

#include "engine/core/text/StringFormat.h"

using namespace TarnEngine;

namespace
{

// The C library's wide formatting of one numeric spec (same meaning there for numbers).
template <class T> std::wstring libc(const wchar_t* format, T value)
{
    std::vector<wchar_t> buffer(4096);
    const int n = std::swprintf(buffer.data(), buffer.size(), format, value);
    return n < 0 ? L"<error>" : std::wstring(buffer.data(), size_t(n));
}

} // namespace

TEST(StringFormat, IntegersAgreeWithTheCLibrary)
{
    const wchar_t* formats[] = {L"%d",   L"%5d",   L"%-5d|",   L"%05d",   L"%+d",  L"% d",
                                L"%.3d", L"%8.3d", L"%-8.3d|", L"%.0d",   L"%x",   L"%#x",
                                L"%#X",  L"%08x",  L"%#10x",   L"%o",     L"%#o",  L"%#.0o",
                                L"%u",   L"%i",    L"%+05d",   L"%-+6d|", L"%#08x"};
    const int values[] = {0, 1, -1, 42, -42, 12345678, INT32_MIN, INT32_MAX};
    for (const wchar_t* f : formats)
        for (const int v : values)
        {
            std::wstring out;
            ASSERT_TRUE(StringPrintfChecked(out, f, v)) << f;
            EXPECT_EQ(out, libc(f, v)) << f << L" " << v;
        }
}

TEST(StringFormat, SixtyFourBitIntegers)
{
    const int64_t big = -1234567890123456789LL;
    EXPECT_EQ(StringPrintf(L"%lld", big), L"-1234567890123456789");
    EXPECT_EQ(StringPrintf(L"%I64d", big), L"-1234567890123456789");
    EXPECT_EQ(StringPrintf(L"%I64u", uint64_t(18446744073709551615ULL)), L"18446744073709551615");
    EXPECT_EQ(StringPrintf(L"%llx", uint64_t(0xDEADBEEFCAFEULL)), L"deadbeefcafe");
    EXPECT_EQ(StringPrintf(L"%zu", size_t(7)), L"7");
    EXPECT_EQ(StringPrintf(L"%lld", INT64_MIN), L"-9223372036854775808");
}

TEST(StringFormat, WindowsLengthsAndWidths)
{
    // "%ld" is 32 bits and "%d" of an unsigned value reads it as signed, as the stored files have it.
    EXPECT_EQ(StringPrintf(L"%ld", 5), L"5");
    EXPECT_EQ(StringPrintf(L"%d", 0xFFFFFFFFu), L"-1");
    EXPECT_EQ(StringPrintf(L"%u", -1), L"4294967295");
    EXPECT_EQ(StringPrintf(L"%hd", 70000), L"4464");
    EXPECT_EQ(StringPrintf(L"%hhu", 300), L"44");
    EXPECT_EQ(StringPrintf(L"%I32d", -3), L"-3");
    EXPECT_EQ(StringPrintf(L"%*d|%-*d|", 4, 7, 3, 8), L"   7|8  |");
    EXPECT_EQ(StringPrintf(L"%*d", -4, 7), L"7   ");
    EXPECT_EQ(StringPrintf(L"%.*f", 2, 3.14159), L"3.14");
    EXPECT_EQ(StringPrintf(L"%.*f", -1, 0.5), L"0.500000");
}

TEST(StringFormat, FloatsAgreeWithTheCLibrary)
{
    const wchar_t* formats[] = {L"%f",    L"%.2f", L"%10.3f",  L"%-10.1f|", L"%e",   L"%.3E", L"%g", L"%G",
                                L"%#.0f", L"%+f",  L"%010.2f", L"%a",       L"%.0f", L"%lf",  L"%Lf"};
    const double values[] = {0.0, -0.0, 1.5, -2.25, 3.14159265358979, 1e300, 1e-300, 123456789.125};
    for (const wchar_t* f : formats)
        for (const double v : values)
        {
            std::wstring out;
            ASSERT_TRUE(StringPrintfChecked(out, f, v)) << f;
            std::wstring libcFormat = f;
            if (libcFormat == L"%Lf")
                libcFormat = L"%f";
            EXPECT_EQ(out, libc(libcFormat.c_str(), v)) << f << L" " << v;
        }
    EXPECT_EQ(StringPrintf(L"%f", 1.0f), L"1.000000");
}

TEST(StringFormat, FloatsKeepTheDecimalPointInEveryLocale)
{
    // A locale with a decimal comma, when the machine has one, must not change the text.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "C"})
    {
        if (std::setlocale(LC_NUMERIC, name) == nullptr)
            continue;
        EXPECT_EQ(StringPrintf(L"%.2f %g %e %#.0f %a", 0.75, 2.5, 1.5, 2.0, 1.5),
                  L"0.75 2.5 1.500000e+00 2. 0x1.8p+0")
            << name;
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(StringFormat, TextAndCharactersFollowTheWindowsMeaning)
{
    const std::wstring wide = L"w\u00e9\U0001F600";
    const std::string narrow = "n\xe9"; // Windows-1252 e-acute
    EXPECT_EQ(StringPrintf(L"[%s]", L"abc"), L"[abc]");
    EXPECT_EQ(StringPrintf(L"[%s]", wide), L"[" + wide + L"]");
    EXPECT_EQ(StringPrintf(L"[%ls][%ws]", wide, L"x"), L"[" + wide + L"][x]");
    EXPECT_EQ(StringPrintf(L"[%S][%hs]", narrow, "q"), L"[n\u00e9][q]");
    EXPECT_EQ(StringPrintf(L"[%5s][%-5s][%.2s]", L"ab", L"ab", L"abcdef"), L"[   ab][ab   ][ab]");
    EXPECT_EQ(StringPrintf(L"[%c][%3c][%C]", L'x', L'y', 'z'), L"[x][  y][z]");
    EXPECT_EQ(StringPrintf(L"[%c]", 0x1F600), L"[\U0001F600]");
    EXPECT_EQ(StringPrintf(L"[%s]", static_cast<const wchar_t*>(nullptr)), L"[(null)]");
    EXPECT_EQ(StringPrintf(L"100%%"), L"100%");
    EXPECT_EQ(StringPrintf(L"%p", reinterpret_cast<void*>(0xABCDEF)), L"0000000000ABCDEF");
}

TEST(StringFormat, DataIsNeverReadAsAFormat)
{
    // Text from data passes through "%s" untouched, conversions and all.
    const std::wstring data = L"%s %d %n %%";
    EXPECT_EQ(StringPrintf(L"<%s>", data), L"<%s %d %n %%>");
}

TEST(StringFormat, ArgumentsThatDoNotFitAreRefused)
{
    // On refusal the result is the text formatted so far, then the rest of the format.
    std::wstring out;

    // Wrong kinds of argument.
    EXPECT_FALSE(StringPrintfChecked(out, L"a%sb", 5));
    EXPECT_EQ(out, L"a%sb");
    EXPECT_FALSE(StringPrintfChecked(out, L"%d %s", 1, "narrow"));
    EXPECT_EQ(out, L"1 %s");
    EXPECT_FALSE(StringPrintfChecked(out, L"%S", L"wide"));
    EXPECT_FALSE(StringPrintfChecked(out, L"%d", 1.5));
    EXPECT_FALSE(StringPrintfChecked(out, L"%f", 1));
    EXPECT_FALSE(StringPrintfChecked(out, L"%p", 1));
    // A 64-bit argument without a 64-bit length, and lengths that make no sense.
    EXPECT_FALSE(StringPrintfChecked(out, L"%d", int64_t(1)));
    EXPECT_FALSE(StringPrintfChecked(out, L"%ld", int64_t(1)));
    EXPECT_FALSE(StringPrintfChecked(out, L"%Ld", 1));
    // Missing, surplus and unknown.
    EXPECT_FALSE(StringPrintfChecked(out, L"%d %d", 1));
    EXPECT_EQ(out, L"1 %d");
    EXPECT_FALSE(StringPrintfChecked(out, L"%d", 1, 2));
    EXPECT_EQ(out, L"1");
    EXPECT_FALSE(StringPrintfChecked(out, L"%*d", 3));
    EXPECT_FALSE(StringPrintfChecked(out, L"%q", 3));
    EXPECT_FALSE(StringPrintfChecked(out, L"%n", 3));
    EXPECT_FALSE(StringPrintfChecked(out, L"50%"));
    EXPECT_EQ(out, L"50%");
    EXPECT_FALSE(StringPrintfChecked(out, L"%99999999999d", 1));
}

TEST(StringFormat, ResultsOfAnyLengthComeOutWhole)
{
    // Around the first buffer size of the Windows-era formatter and well beyond it.
    for (const int length : {1023, 1024, 1025, 5000, 70000})
    {
        const std::wstring text(size_t(length), L'q');
        EXPECT_EQ(StringPrintf(L"%s", text), text) << length;
        EXPECT_EQ(StringPrintf(L"%*d", length, 1).size(), size_t(length));
    }
}

TEST(StringFormat, ResultEndsAtTheFirstNul)
{
    const std::wstring withNul(L"ab\0cd", 5);
    EXPECT_EQ(StringPrintf(L"%s!", withNul), L"ab");
    EXPECT_EQ(StringPrintf(L"x%cy", 0), L"x");
}

TEST(StringFormat, IntoAssignsTheResult)
{
    std::wstring out = L"old text";
    EXPECT_TRUE(StringPrintfInto(out, L"%d-%s", 7, L"z"));
    EXPECT_EQ(out, L"7-z");
}
