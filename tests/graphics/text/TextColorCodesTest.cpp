// Colour codes in displayed texts: what measuring keeps and which colour
// changes drawing sees, including codes cut short by the end of the text.
#include "engine/graphics/text/TextColorCodes.h"

#include <gtest/gtest.h>

using namespace TarnEngine;

TEST(TextColorCodes, RemovedForMeasuring)
{
    const struct
    {
        const wchar_t* text;
        const wchar_t* clean;
    } cases[] = {
        {L"plain", L"plain"},
        {L"A^^B", L"A^B"},
        {L"A^FF0000BX^00FF00D", L"ABXD"},
        {L"^^^^", L"^^"},
        {L"^^^123456x", L"^x"},
        // Cut short: the code swallows what is left and never reads past it.
        {L"AB^12", L"AB"},
        {L"AB^", L"AB"},
        {L"^", L""},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RemoveColorCodes(c.text), c.clean) << testing::PrintToString(std::wstring(c.text));
}

TEST(TextColorCodes, ChangesCountVisibleCharacters)
{
    struct Case
    {
        const wchar_t* text;
        const wchar_t* clean;
        std::vector<std::pair<uint32_t, uint32_t>> changes; // count, colour
    };
    const Case cases[] = {
        {L"A^^B", L"A^B", {}},
        {L"A^FF0000BX^00FF00D", L"ABXD", {{1, 0xFF0000}, {2, 0x00FF00}}},
        // Blanks and line ends are not counted, "^^" is.
        {L"A ^FF0000B", L"A B", {{1, 0xFF0000}}},
        {L"a\r\nb^0000ffc", L"a\r\nbc", {{2, 0x0000FF}}},
        {L"^^^abcdefZ", L"^Z", {{1, 0xABCDEF}}},
        // Anything but a hexadecimal digit reads as 0.
        {L"^zz12g4x", L"x", {{0, 0x001204}}},
        // Missing digits read as 0.
        {L"AB^12", L"AB", {{2, 0x120000}}},
        {L"^", L"", {{0, 0}}},
    };
    for (const Case& c : cases)
    {
        std::vector<TextColorChange> changes;
        EXPECT_EQ(ParseColorCodes(c.text, changes), c.clean);
        std::vector<std::pair<uint32_t, uint32_t>> got;
        for (const TextColorChange& change : changes)
            got.emplace_back(change.count, change.color);
        EXPECT_EQ(got, c.changes) << testing::PrintToString(std::wstring(c.text));
    }
}
