// Conversions between wide text, UTF-8, UTF-16 and Windows-1252.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/core/text/TextConversion.h"

using namespace TarnEngine;

TEST(TextConversion, Utf8RoundTripsEveryPlane)
{
    const std::wstring text = L"A\u00e9\u0800\uFFFD\U00010000\U0001F600\U0010FFFF z";
    const std::string utf8 = WStringToUtf8(text);
    EXPECT_EQ(utf8, "A\xC3\xA9\xE0\xA0\x80\xEF\xBF\xBD\xF0\x90\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF z");
    EXPECT_EQ(Utf8ToWString(utf8), text);
    EXPECT_EQ(Utf8ToWString(utf8.c_str()), text);
    EXPECT_TRUE(IsValidUtf8(utf8));
    EXPECT_TRUE(IsValidUtf8(""));
}

TEST(TextConversion, MalformedUtf8BecomesReplacementCharacters)
{
    const wchar_t R = kReplacementChar;
    struct Case
    {
        std::string input;
        std::wstring expected;
    } cases[] = {
        {"\x80", {R}},                         // lone continuation byte
        {"a\xC3", {L'a', R}},                  // truncated at the end
        {"\xC3\x28", {R, L'('}},               // bad continuation is not swallowed
        {"\xC0\xAF", {R, R}},                  // overlong '/'
        {"\xE0\x80\xAF", {R, R, R}},           // overlong three-byte form
        {"\xED\xA0\x80", {R, R, R}},           // encoded surrogate
        {"\xF4\x90\x80\x80", {R, R, R, R}},    // beyond U+10FFFF
        {"\xF0\x9F\x98", {R}},                 // one truncated four-byte sequence
        {"\xFF\xFEok", {R, R, L'o', L'k'}},    // bytes that never occur
        {"\xE2\x82\xAC\xE2\x82", {0x20AC, R}}, // valid then truncated
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(Utf8ToWString(c.input), c.expected) << c.input;
        EXPECT_FALSE(IsValidUtf8(c.input)) << c.input;
        // The same after a run of plain text that the checker passes eight bytes at a time.
        EXPECT_FALSE(IsValidUtf8("0123456789abcdef" + c.input)) << c.input;
    }
}

TEST(TextConversion, EmptyAndNullInputs)
{
    EXPECT_EQ(Utf8ToWString(static_cast<const char*>(nullptr)), L"");
    EXPECT_EQ(AnsiToWString(static_cast<const char*>(nullptr)), L"");
    EXPECT_EQ(WideToUtf8Alloc(nullptr), nullptr);
    EXPECT_EQ(WideToUtf8Alloc(L""), nullptr);
    EXPECT_EQ(WideToUtf8Alloc(L"abc", 0), nullptr);
    EXPECT_EQ(WideToAnsiN(L"abc", 0), "");
}

TEST(TextConversion, WideToUtf8AllocHonoursTheLength)
{
    const auto whole = WideToUtf8Alloc(L"h\u00e9llo");
    ASSERT_NE(whole, nullptr);
    EXPECT_STREQ(whole.get(), "h\xC3\xA9llo");
    const auto part = WideToUtf8Alloc(L"h\u00e9llo", 2);
    ASSERT_NE(part, nullptr);
    EXPECT_STREQ(part.get(), "h\xC3\xA9");
}

TEST(TextConversion, WideValuesThatAreNotCharactersBecomeReplacements)
{
    const std::wstring bad = {wchar_t(0xD800), L'a', wchar_t(0x110000)};
    EXPECT_EQ(WStringToUtf8(bad), "\xEF\xBF\xBD"
                                  "a"
                                  "\xEF\xBF\xBD");
    EXPECT_EQ(WStringToUtf16(bad), (std::u16string{0xFFFD, u'a', 0xFFFD}));
}

// Plain text is encoded eight characters at a time: any other character, at
// any place within or across those groups, must come out as it does alone.
TEST(TextConversion, Utf8OfOneCharacterAmongPlainTextIsTheSameAnywhere)
{
    const wchar_t others[] = {wchar_t(0x7F),     wchar_t(0x80),   wchar_t(0x7FF),   wchar_t(0x800),
                              wchar_t(0xD800),   wchar_t(0xFFFF), wchar_t(0x10000), wchar_t(0x10FFFF),
                              wchar_t(0x110000), wchar_t(-1)};
    const std::wstring plain = L"abcdefghijklmnopqrstu";
    for (const wchar_t other : others)
    {
        const std::string alone = WStringToUtf8(std::wstring(1, other));
        for (size_t at = 0; at <= plain.size(); ++at)
        {
            const std::wstring text = plain.substr(0, at) + other + plain.substr(at);
            const std::string expected =
                WStringToUtf8(plain.substr(0, at)) + alone + WStringToUtf8(plain.substr(at));
            EXPECT_EQ(WStringToUtf8(text), expected) << int(other) << " at " << at;
        }
    }
    EXPECT_EQ(WStringToUtf8(std::wstring(1, wchar_t(-1))), "\xEF\xBF\xBD");
    EXPECT_EQ(WStringToUtf8(plain), "abcdefghijklmnopqrstu");
}

// Long texts with plain stretches of every length between other characters:
// the sixteen-character groups are tried again only after a group that was not
// plain, and nothing may be skipped or written twice on the way.
TEST(TextConversion, Utf8OfMixedTextIsThatOfItsCharactersOneByOne)
{
    const wchar_t others[] = {wchar_t(0xE9), wchar_t(0x4E2D), wchar_t(0x1F600), wchar_t(0xDC00)};
    uint32_t seed = 12345;
    for (int round = 0; round < 50; ++round)
    {
        std::wstring text;
        std::string expected;
        while (text.size() < 300)
        {
            seed = seed * 1664525u + 1013904223u;
            const size_t plainRun = (seed >> 16) % 40;
            for (size_t i = 0; i < plainRun; ++i)
            {
                text += wchar_t(L'a' + (i % 26));
                expected += char('a' + (i % 26));
            }
            const wchar_t other = others[(seed >> 8) % 4];
            text += other;
            expected += WStringToUtf8(std::wstring(1, other));
        }
        ASSERT_EQ(WStringToUtf8(text), expected) << "round " << round;
    }
}

TEST(TextConversion, Utf16PairsJoinAndLoneSurrogatesAreReplaced)
{
    const std::wstring text = L"x\U0001F600\u00e9";
    const std::u16string units = WStringToUtf16(text);
    EXPECT_EQ(units, (std::u16string{u'x', 0xD83D, 0xDE00, 0x00E9}));
    EXPECT_EQ(Utf16ToWString(units), text);

    EXPECT_EQ(Utf16ToWString(std::u16string{0xD83D, u'a'}), (std::wstring{kReplacementChar, L'a'}));
    EXPECT_EQ(Utf16ToWString(std::u16string{0xDE00}), (std::wstring{kReplacementChar}));
    EXPECT_EQ(Utf16ToWString(std::u16string{u'a', 0xD83D}), (std::wstring{L'a', kReplacementChar}));
}

TEST(TextConversion, Utf16LittleEndianBytes)
{
    const std::wstring text = L"A\U0001F600";
    const std::vector<uint8_t> bytes = WStringToUtf16Le(text);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x41, 0x00, 0x3D, 0xD8, 0x00, 0xDE}));
    EXPECT_EQ(Utf16LeToWString(bytes.data(), bytes.size()), text);
    EXPECT_EQ(Utf16LeToWString(bytes.data(), 3), (std::wstring{L'A', kReplacementChar}));
}

TEST(TextConversion, Windows1252)
{
    // The special block 0x80-0x9F, Latin-1 above it, and the unassigned bytes kept as themselves.
    EXPECT_EQ(AnsiToWString("\x80\x8C\x99\x9F\xE9\xFF\x81"), L"\u20AC\u0152\u2122\u0178\u00E9\u00FF\u0081");
    EXPECT_EQ(WStringToAnsi(L"\u20AC\u0152\u2122\u0178\u00E9\u00FF\u0081"), "\x80\x8C\x99\x9F\xE9\xFF\x81");
    EXPECT_EQ(WStringToAnsi(L"a\u4E2D\U0001F600"), "a??");
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += char(b);
    EXPECT_EQ(WStringToAnsi(AnsiToWString(all)), all);
}

TEST(TextConversion, AnsiCountsStopAtTheTerminator)
{
    EXPECT_EQ(AnsiToWStringN("abcdef", 3), L"abc");
    EXPECT_EQ(AnsiToWStringN("ab", 10), L"ab");
    EXPECT_EQ(ToWideString(std::string("x\xE9")), L"x\u00E9");
    const wchar_t buffer[] = L"abc";
    EXPECT_EQ(WideToAnsiN(buffer, 2), "ab");
}
