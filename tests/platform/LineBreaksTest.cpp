// Line-break flags: where a line may start and which characters are white
// space, for Latin, CJK and astral text.
#include "platform/text/LineBreaks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Platform;

namespace
{

std::vector<size_t> softBreaks(std::wstring_view text)
{
    std::vector<size_t> out;
    const auto flags = AnalyzeLineBreaks(text);
    for (size_t i = 0; i < flags.size(); ++i)
    {
        if (flags[i].softBreak)
            out.push_back(i);
    }
    return out;
}

std::vector<size_t> whiteSpace(std::wstring_view text)
{
    std::vector<size_t> out;
    const auto flags = AnalyzeLineBreaks(text);
    for (size_t i = 0; i < flags.size(); ++i)
    {
        if (flags[i].whiteSpace)
            out.push_back(i);
    }
    return out;
}

} // namespace

TEST(LineBreaks, FlagsPerCharacter)
{
    struct Case
    {
        const wchar_t* name;
        std::wstring text;
        std::vector<size_t> breaks;
        std::vector<size_t> spaces;
    } cases[] = {
        {L"empty", L"", {}, {}},
        {L"one letter", L"a", {}, {}},
        {L"words", L"one two three", {4, 8}, {3, 7}},
        {L"runs of blanks", L"a   b", {4}, {1, 2, 3}},
        {L"leading blank", L" a", {1}, {0}},
        {L"hyphen", L"well-known", {5}, {}},
        {L"tab", L"a\tb", {2}, {1}},
        {L"line feed", L"a\nb", {2}, {1}},
        {L"CR LF is one break", L"a\r\nb", {3}, {1, 2}},
        {L"no-break space", L"a\u00A0b", {}, {1}},
        {L"numbers with punctuation", L"1,000.50 x", {9}, {8}},
        {L"ideographs break between each", L"\u65E5\u672C\u8A9E", {1, 2}, {}},
        {L"ideographic full stop stays with its word", L"\u65E5\u3002\u672C", {2}, {}},
        // Outside the Basic Multilingual Plane: one flag per character.
        {L"emoji between words", L"a \U0001F600 b", {2, 4}, {1, 3}},
        {L"supplementary ideographs", L"\U00020000\U00020001\U00020002", {1, 2}, {}},
        {L"astral letters form a word", L"\U00010400\U00010401 \U00010402", {3}, {2}},
        {L"ideographic space", L"a\u3000b", {2}, {1}},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(AnalyzeLineBreaks(c.text).size(), c.text.size()) << c.name;
        EXPECT_EQ(softBreaks(c.text), c.breaks) << c.name;
        EXPECT_EQ(whiteSpace(c.text), c.spaces) << c.name;
    }
}

// Values that are no Unicode characters (lone surrogates, beyond U+10FFFF)
// keep one flag each and do not disturb the flags after them.
TEST(LineBreaks, ValuesThatAreNoCharacters)
{
    std::wstring text = L"ab cd ef";
    text[1] = wchar_t(0xD800);
    text[4] = wchar_t(0x110000);
    EXPECT_EQ(AnalyzeLineBreaks(text).size(), text.size());
    EXPECT_EQ(whiteSpace(text), (std::vector<size_t>{2, 5}));
    const auto breaks = softBreaks(text);
    ASSERT_FALSE(breaks.empty());
    EXPECT_EQ(breaks.back(), 6u);
}

TEST(LineBreaks, LongTextAndRepeatedUse)
{
    std::wstring text;
    for (int i = 0; i < 5000; ++i)
        text += L"word\U00010400 "; // an astral letter ends each word
    const auto flags = AnalyzeLineBreaks(text);
    ASSERT_EQ(flags.size(), text.size());
    size_t breaks = 0;
    for (const auto& f : flags)
        breaks += f.softBreak;
    EXPECT_EQ(breaks, 4999u);
    // The breaker is reused between calls; a short text afterwards is
    // analysed on its own.
    EXPECT_EQ(softBreaks(L"x y"), (std::vector<size_t>{2}));
}
