// Splitting, trimming, replacing, case-blind comparison, number parsing and serialisation helpers.
#include <gtest/gtest.h>

#include <clocale>
#include <vector>

#include "engine/core/text/TextHelpers.h"

using namespace TarnEngine;

TEST(TextHelpers, SplitString)
{
    using V = std::vector<std::wstring>;
    struct Case
    {
        std::wstring text;
        wchar_t separator;
        bool trim;
        int most;
        V expected;
    } cases[] = {
        {L" a , b ,,", L',', true, -1, {L"a", L"b", L"", L""}},
        {L" a , b ,,", L',', false, -1, {L" a ", L" b ", L"", L""}},
        {L"a,,b", L',', false, -1, {L"a", L"", L"b"}},
        {L"a,", L',', false, -1, {L"a", L""}},
        {L",,a", L',', false, -1, {L"a"}},
        {L"", L',', false, -1, {}},
        {L",,,", L',', false, -1, {}},
        {L"abc", L',', false, -1, {L"abc"}},
        {L"a,b,c,d", L',', false, 2, {L"a", L"b,c,d"}},
        {L"a , b , c", L',', true, 2, {L"a", L"b , c"}},
        {L"a,b", L',', false, 5, {L"a", L"b"}},
        {L"  a,b  ", L',', true, 1, {L"a,b"}},
        {L" a,b ", 0, false, -1, {L" a,b "}},
        {L"", L',', false, 1, {L""}},
        {L"one/two/three", L'/', true, -1, {L"one", L"two", L"three"}},
        {L"\t/ Entry /x", L'/', true, -1, {L"Entry", L"x"}},
        // The white space skipped after a separator may hold further separators: runs of blanks
        // separate like one (console lines), and so do runs of line breaks.
        {L"echo   a  b ", L' ', true, 2, {L"echo", L"a  b"}},
        {L"a\n\n b\n", L'\n', true, -1, {L"a", L"b", L""}},
    };
    for (const Case& c : cases)
    {
        V parts{L"kept"};
        const int n = SplitString(c.text, c.separator, c.trim, c.most, parts);
        V expected{L"kept"};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(parts, expected) << c.text;
        EXPECT_EQ(n, int(c.expected.size())) << c.text;
    }
    EXPECT_EQ(SplitString(L"x;y", L';'), (V{L"x", L"y"}));
}

TEST(TextHelpers, TrimCharAndTrim)
{
    struct Case
    {
        std::wstring text;
        std::wstring trimmed;
    } cases[] = {
        {L"  a b  ", L"a b"},
        {L" \t\n\r\va\v\r\n\t ", L"a"},
        {L"\t\n a \r\v", L" a \r"}, // each character is trimmed once, in turn
        {L"a \n", L"a "},           // the space shows only after LF is gone, and spaces went first
        {L" \t ", L""},
        {L"", L""},
    };
    for (const Case& c : cases)
    {
        std::wstring t = c.text;
        Trim(t);
        EXPECT_EQ(t, c.trimmed) << c.text;
    }
    std::wstring t = L"xxaxbxx";
    TrimChar(t, L'x');
    EXPECT_EQ(t, L"axb");
    t = L"xxx";
    TrimChar(t, L'x');
    EXPECT_EQ(t, L"");
}

TEST(TextHelpers, ReplaceAllAndReplaceChar)
{
    struct Case
    {
        std::wstring text, what, with, result;
        int count;
    } cases[] = {
        {L"aaa", L"a", L"aa", L"aaaaaa", 3}, // resumes after the inserted text
        {L"a.b.c", L".", L"", L"abc", 2},    {L"abab", L"ab", L"x", L"xx", 2},
        {L"abc", L"", L"x", L"abc", 0},      {L"", L"a", L"x", L"", 0},
        {L"abc", L"abcd", L"x", L"abc", 0},  {L"%1 and %1", L"%1", L"%2", L"%2 and %2", 2},
    };
    for (const Case& c : cases)
    {
        std::wstring t = c.text;
        EXPECT_EQ(ReplaceAll(t, c.what, c.with), c.count) << c.text;
        EXPECT_EQ(t, c.result) << c.text;
    }
    std::wstring path = L"a/b/c";
    EXPECT_EQ(ReplaceChar(path, L'/', L'\\'), 2);
    EXPECT_EQ(path, L"a\\b\\c");
}

TEST(TextHelpers, StartsAndEndsWith)
{
    EXPECT_TRUE(StartsWith(L"|T|key", L"|T|"));
    EXPECT_FALSE(StartsWith(L"|t|key", L"|T|"));
    EXPECT_FALSE(StartsWith(L"ab", L"abc"));
    EXPECT_TRUE(StartsWith(L"ab", L""));
    EXPECT_TRUE(EndsWith(L"font.fnt", L".fnt"));
    EXPECT_FALSE(EndsWith(L"fnt", L".fnt"));
}

TEST(TextHelpers, CaseBlindComparison)
{
    EXPECT_EQ(ToLower(L"ABC\u00C9\u0394\U00010400"), L"abc\u00E9\u03B4\U00010428");
    EXPECT_TRUE(EqualsNoCase(L"Libraries.XML", L"libraries.xml"));
    EXPECT_FALSE(EqualsNoCase(L"abc", L"abcd"));
    EXPECT_EQ(CompareNoCase(L"APPLE", L"apple"), 0);
    EXPECT_LT(CompareNoCase(L"apple", L"BANANA"), 0);
    EXPECT_GT(CompareNoCase(L"b", L"A"), 0);
}

TEST(TextHelpers, IntegerLiterals)
{
    struct Case
    {
        std::wstring text;
        uint32_t asInt;
        int32_t asLong;
    } cases[] = {
        {L"42", 42, 42},
        {L"  -7", 0xFFFFFFF9u, -7},
        {L"+9", 9, 9},
        {L"0x1F", 31, 31},
        {L"0XfFz", 255, 255},
        {L"017", 15, 15},
        {L"019", 1, 1}, // octal stops at the 9
        {L"0x", 0, 0},  // no hex digit: the 0 alone
        {L"12abc", 12, 12},
        {L"abc", 0, 0},
        {L"", 0, 0},
        {L"4294967295", 0xFFFFFFFFu, INT32_MAX},
        {L"4294967296", 0xFFFFFFFFu, INT32_MAX},
        {L"0xFFFFFFFFFF", 0xFFFFFFFFu, INT32_MAX},
        {L"-2147483648", 0x80000000u, INT32_MIN},
        {L"-2147483649", 0x7FFFFFFFu, INT32_MIN},
        {L"-99999999999", 0xFFFFFFFFu, INT32_MIN},
        {L"0x80000000", 0x80000000u, INT32_MAX},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(WStringToInt(c.text), c.asInt) << c.text;
        EXPECT_EQ(WStringToLong(c.text), c.asLong) << c.text;
    }
}

TEST(TextHelpers, DoublesIgnoreTheProcessLocale)
{
    EXPECT_DOUBLE_EQ(WStringToDouble(L" 1.5e2x"), 150.0);
    EXPECT_DOUBLE_EQ(WStringToDouble(L"-0.25"), -0.25);
    EXPECT_DOUBLE_EQ(WStringToDouble(L"abc"), 0.0);
    // Only decimal text is a number: words and hexadecimal read as far as
    // their decimal start goes.
    struct Case
    {
        const wchar_t* text;
        double value;
    } cases[] = {
        {L"nan", 0.0},    {L"-inf", 0.0}, {L"infinity", 0.0}, {L"0x1A", 0.0},  {L"0x1p4", 0.0},
        {L"12x", 12.0},   {L".5", 0.5},   {L"-.5", -0.5},     {L"5.", 5.0},    {L".", 0.0},
        {L"+-1", 0.0},    {L"1e", 1.0},   {L"2e+", 2.0},      {L"3e-1", 0.3},  {L"\t 7E2", 700.0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(WStringToDouble(c.text), c.value) << c.text;
    // A locale with a decimal comma, when the machine has one, must not change the reading.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr)
    {
        EXPECT_DOUBLE_EQ(WStringToDouble(L"2.5"), 2.5);
        std::setlocale(LC_NUMERIC, saved.c_str());
    }
}

TEST(TextHelpers, SerialisedValues)
{
    std::wstring type;
    EXPECT_EQ(SerializeIntValue(-12, type), L"-12");
    EXPECT_EQ(type, L"int");
    EXPECT_EQ(SerializeUIntValue(7, type), L"7");
    EXPECT_EQ(type, L"uint");
    EXPECT_EQ(SerializeUIntValue(0x80000000u, type), L"-2147483648");
    EXPECT_EQ(SerializeBoolValue(true, type), L"1");
    EXPECT_EQ(type, L"bool");
    EXPECT_EQ(SerializeBoolValue(false, type), L"0");
}

TEST(TextHelpers, ResourceStrings)
{
    EXPECT_EQ(LoadResourceString(901), L"Critical Error");
    EXPECT_TRUE(StartsWith(LoadResourceString(903), L"You are running in a terminal services session"));
    EXPECT_EQ(LoadResourceString(905), L"");
    std::wstring message;
    EXPECT_TRUE(StringPrintfChecked(message, LoadResourceString(906), L"Pellwood"));
    EXPECT_TRUE(StartsWith(message, L"We're sorry, but Pellwood has encountered a critical error"));
}
