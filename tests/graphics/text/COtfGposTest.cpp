// OpenType GPOS pair kerning: amounts for known pairs in hand-built fonts,
// lookup choice, value-record layouts, and malformed or truncated tables.
#include "engine/graphics/text/COtfGpos.h"
#include "tests/graphics/gpos_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include <ft2build.h>
#include FT_FREETYPE_H

using namespace TarnEngine;
using namespace gpos_fixture;

namespace
{

std::unique_ptr<COtfHeader> parse(const Bytes& bytes)
{
    return COtfHeader::Parse(std::span<const uint8_t>(bytes.data));
}

// The x advance of value record 1, or nothing when the pair is not adjusted.
std::optional<int> kern(const IOtfFont& font, uint32_t first, uint32_t second)
{
    OtfValueRecord value1, value2;
    if (!font.GetGpos().GetPairAdjustment(first, second, value1, value2))
        return std::nullopt;
    return value1.XAdvance;
}

} // namespace

TEST(GposKerning, KnownPairsOfBothSubtableFormats)
{
    auto font = parse(sampleFont());
    ASSERT_TRUE(font->HasKerning());
    struct Case
    {
        uint32_t first, second;
        std::optional<int> amount;
    } cases[] = {
        {36, 57, -80},          // A V, pair subtable
        {55, 82, -60},          // T o, pair subtable
        {57, 36, std::nullopt}, // V A: order matters
        {58, 72, -40},          // W e, class subtable
        {58, 82, -40},          // W o
        {58, 36, std::nullopt}, // W A: class 0 x class 0 is empty
        {72, 58, std::nullopt}, // e W: e is not covered as a first glyph
        {1, 2, std::nullopt},
        // Glyph indices beyond 16 bits must not alias the glyphs they truncate to.
        {0x10000 + 36, 57, std::nullopt},
        {36, 0x10000 + 57, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kern(*font, c.first, c.second), c.amount) << c.first << "," << c.second;
}

TEST(GposKerning, PairInTwoSubtablesAddsUp)
{
    const Bytes byPair = pairPosFormat1(0x0004, 0, {{36, 57, xAdvance(-50), {}}});
    const Bytes byClass = pairPosFormat2(0x0004, 0, coverageFormat2({36}), classDefFormat2({{36, 36, 1}}),
                                         classDefFormat1(57, {1}), {{0, 0}, {0, -30}}, 2);
    auto font = parse(kernFont({byPair, byClass}));
    EXPECT_EQ(kern(*font, 36, 57), -80);
}

TEST(GposKerning, ValueRecordLayouts)
{
    struct Case
    {
        uint16_t valueFormat1, valueFormat2;
        OtfValueRecord value1, value2;
        bool adjusted;
    } cases[] = {
        // XPlacement then XAdvance.
        {0x0005, 0, {7, 0, -25, 0}, {}, true},
        // XAdvance plus one device offset that is read and skipped.
        {0x0044, 0, {0, 0, -25, 0}, {}, true},
        // All four fields and all four device offsets.
        {0x00FF, 0, {1, 2, 3, 4}, {}, true},
        // Bits above the low byte are ignored.
        {0xFF04, 0, {0, 0, -9, 0}, {}, true},
        // Only XPlacement changes: not an adjustment.
        {0x0001, 0, {12, 0, 0, 0}, {}, false},
        // Only the second glyph moves.
        {0, 0x0004, {}, {0, 0, 15, 0}, true},
        {0x0004, 0x0002, {0, 0, -3, 0}, {0, 6, 0, 0}, true},
    };
    for (const Case& c : cases)
    {
        auto font =
            parse(kernFont({pairPosFormat1(c.valueFormat1, c.valueFormat2, {{10, 20, c.value1, c.value2}})}));
        OtfValueRecord value1, value2;
        const bool adjusted = font->GetGpos().GetPairAdjustment(10, 20, value1, value2);
        EXPECT_EQ(adjusted, c.adjusted) << std::hex << c.valueFormat1 << "/" << c.valueFormat2;
        if (!adjusted || !c.adjusted)
            continue;
        // Bits above the low byte and device offsets change no field.
        const uint16_t fields = c.valueFormat1 & 0x0F;
        EXPECT_EQ(value1.XPlacement, (fields & 1) ? c.value1.XPlacement : 0);
        EXPECT_EQ(value1.YPlacement, (fields & 2) ? c.value1.YPlacement : 0);
        EXPECT_EQ(value1.XAdvance, (fields & 4) ? c.value1.XAdvance : 0);
        EXPECT_EQ(value1.YAdvance, (fields & 8) ? c.value1.YAdvance : 0);
        EXPECT_EQ(value2.YPlacement, c.value2.YPlacement);
        EXPECT_EQ(value2.XAdvance, c.value2.XAdvance);
    }
}

TEST(GposKerning, RepeatedPairKeepsTheValuesReadLast)
{
    auto font =
        parse(kernFont({pairPosFormat1(0x0004, 0, {{5, 6, xAdvance(-10), {}}, {5, 6, xAdvance(-20), {}}})}));
    EXPECT_EQ(kern(*font, 5, 6), -20);
}

TEST(GposKerning, RangeCoverageNamesTheFirstGlyphs)
{
    auto font = parse(kernFont({pairPosFormat1(
        0x0004, 0, {{40, 1, xAdvance(-1), {}}, {41, 2, xAdvance(-2), {}}, {50, 3, xAdvance(-3), {}}},
        true)}));
    EXPECT_EQ(kern(*font, 40, 1), -1);
    EXPECT_EQ(kern(*font, 41, 2), -2);
    EXPECT_EQ(kern(*font, 50, 3), -3);
    EXPECT_EQ(kern(*font, 41, 1), std::nullopt);
}

TEST(GposKerning, WhichLookupKerns)
{
    const Bytes kerning = pairPosFormat1(0x0004, 0, {{1, 2, xAdvance(-11), {}}});
    const Bytes other = pairPosFormat1(0x0004, 0, {{1, 2, xAdvance(-22), {}}});
    struct Case
    {
        const char* name;
        Bytes font;
        std::optional<int> amount;
    } cases[] = {
        {"latn is preferred over the first script",
         font(gposTable({{kCyrl, true, {1}}, {kLatn, true, {0}}}, {{kKern, {0}}, {kKern, {1}}},
                        {{2, {kerning}}, {2, {other}}})),
         -11},
        {"the first script when there is no latn",
         font(gposTable({{kCyrl, true, {1}}, {kDflt, true, {0}}}, {{kKern, {0}}, {kKern, {1}}},
                        {{2, {kerning}}, {2, {other}}})),
         -22},
        {"the first kern feature of the default language system",
         font(gposTable({{kLatn, true, {2, 1, 0}}}, {{kKern, {0}}, {kKern, {1}}, {kLiga, {0}}},
                        {{2, {kerning}}, {2, {other}}})),
         -22},
        {"the feature's first lookup only",
         font(gposTable({{kLatn, true, {0}}}, {{kKern, {1, 0}}}, {{2, {kerning}}, {2, {other}}})), -22},
        {"latn without kern gets none even if another script has it",
         font(gposTable({{kLatn, true, {1}}, {kCyrl, true, {0}}}, {{kKern, {0}}, {kLiga, {0}}},
                        {{2, {kerning}}})),
         std::nullopt},
        {"no default language system",
         font(gposTable({{kLatn, false, {}}}, {{kKern, {0}}}, {{2, {kerning}}})), std::nullopt},
        {"no script", font(gposTable({}, {{kKern, {0}}}, {{2, {kerning}}})), std::nullopt},
        {"kern feature without lookups",
         font(gposTable({{kLatn, true, {0}}}, {{kKern, {}}}, {{2, {kerning}}})), std::nullopt},
        {"feature index past the feature list",
         font(gposTable({{kLatn, true, {7, 0}}}, {{kKern, {0}}}, {{2, {kerning}}})), -11},
        {"lookup index past the lookup list",
         font(gposTable({{kLatn, true, {0}}}, {{kKern, {3}}}, {{2, {kerning}}})), std::nullopt},
        {"a lookup of another type", font(gposTable({{kLatn, true, {0}}}, {{kKern, {0}}}, {{1, {kerning}}})),
         std::nullopt},
        {"TrueType outlines", kernFont({kerning}, kTrueType), std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kern(*parse(c.font), 1, 2), c.amount) << c.name;
}

TEST(GposKerning, ClassOutsideTheMatrixIsNotAdjusted)
{
    // Glyph 9 is in class 5 of a 2 x 2 matrix.
    const Bytes table = pairPosFormat2(0x0004, 0, coverageFormat1({8, 9}), classDefFormat1(8, {1, 5}),
                                       classDefFormat1(20, {1}), {{0, 0}, {0, -7}}, 2);
    auto font = parse(kernFont({table}));
    EXPECT_EQ(kern(*font, 8, 20), -7);
    EXPECT_EQ(kern(*font, 9, 20), std::nullopt);
}

// A class matrix whose counts promise far more records than the file holds
// fails its subtable cleanly instead of allocating for it; the other
// subtable of the lookup still answers.
TEST(GposKerning, ClassMatrixLargerThanTheDataFailsItsSubtable)
{
    Bytes table = pairPosFormat2(0x0004, 0, coverageFormat1({8}), classDefFormat1(8, {1}),
                                 classDefFormat1(20, {1}), {{0, 0}, {0, -7}}, 2);
    // class1Count and class2Count at bytes 12..15 of the subtable.
    table.data[12] = table.data[13] = table.data[14] = table.data[15] = 0xFF;
    const Bytes pairs = pairPosFormat1(0x0004, 0, {{1, 2, xAdvance(-3), {}}});
    auto font = parse(kernFont({table, pairs}));
    EXPECT_EQ(kern(*font, 8, 20), std::nullopt);
    EXPECT_EQ(kern(*font, 1, 2), -3);
}

// With both value formats 0 the records take no bytes, so no size check can
// bound the matrix; it is never built and every pair is unadjusted.
TEST(GposKerning, EmptyValueFormatsNeedNoMatrix)
{
    Bytes table = pairPosFormat2(0, 0, coverageFormat1({8}), classDefFormat1(8, {1}),
                                 classDefFormat1(20, {1}), {{}, {}}, 2);
    table.data[12] = table.data[13] = table.data[14] = table.data[15] = 0xFF;
    auto font = parse(kernFont({table}));
    EXPECT_EQ(kern(*font, 8, 20), std::nullopt);
}

// Every pair set offset pointing at one large pair set would multiply it by
// the number of sets (here 30000 x 2000 pairs); the reader bounds what one
// file may make it store and fails that subtable.
TEST(GposKerning, SharedPairSetsAreBounded)
{
    const uint16_t setCount = 30000;
    const uint16_t recordCount = 2000;
    const size_t headerSize = 10 + 2 * setCount;
    Bytes table;
    table.u16(1).u16(uint16_t(headerSize)).u16(0x0004).u16(0).u16(setCount);
    Bytes body;
    body.u16(2).u16(1).u16(0).u16(setCount - 1).u16(0); // coverage: glyphs 0..29999
    const uint16_t shared = uint16_t(headerSize + body.size());
    for (uint16_t i = 0; i < setCount; ++i)
        table.u16(shared);
    body.u16(recordCount);
    for (uint16_t k = 0; k < recordCount; ++k)
        body.u16(k).u16(uint16_t(-1));
    table.append(body);
    auto font = parse(kernFont({table}));
    EXPECT_EQ(kern(*font, 0, 1), std::nullopt);
}

TEST(GposKerning, EveryTruncationIsClean)
{
    const Bytes full = sampleFont();
    for (size_t size = 0; size < full.size(); ++size)
    {
        std::vector<uint8_t> prefix(full.data.begin(), full.data.begin() + size);
        auto font = COtfHeader::Parse(prefix.data(), prefix.size());
        // A cut font either kerns correctly or not at all: never a wrong amount.
        const auto av = kern(*font, 36, 57);
        EXPECT_TRUE(!av || *av == -80) << size;
        const auto we = kern(*font, 58, 72);
        EXPECT_TRUE(!we || *we == -40) << size;
    }
    EXPECT_EQ(kern(*parse(full), 36, 57), -80);
    EXPECT_FALSE(COtfHeader::Parse(nullptr, 100)->HasKerning());
}

TEST(GposKerning, EveryCorruptedByteIsClean)
{
    const Bytes full = sampleFont();
    for (size_t i = 0; i < full.size(); ++i)
    {
        for (uint8_t value : {uint8_t(0x00), uint8_t(0xFF), uint8_t(full.data[i] ^ 0x80)})
        {
            Bytes bad = full;
            bad.data[i] = value;
            auto font = parse(bad);
            for (uint32_t first : {36u, 55u, 58u, 0xFFFFu})
            {
                for (uint32_t second : {57u, 72u, 82u, 0u})
                    kern(*font, first, second);
            }
        }
    }
}

// A Debian font that keeps its kerning where the reader looks for it (a pair
// lookup under the Latin script's 'kern' feature, not behind an extension
// lookup): the classic pairs of a Latin text face pull together. The install
// script brings fonts-linuxlibertine for this.
TEST(GposKerning, InstalledCffFont)
{
    const char* path = "/usr/share/fonts/opentype/linux-libertine/LinLibertine_R.otf";
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << path << " is missing: scripts/install-deps.sh installs fonts-linuxlibertine";
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    auto font = COtfHeader::Parse(bytes.data(), bytes.size());
    ASSERT_TRUE(font->HasKerning());
    FT_Library library = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Memory_Face(library, bytes.data(), FT_Long(bytes.size()), 0, &face), 0);
    for (auto [a, b] : {std::pair{L'A', L'V'}, std::pair{L'T', L'o'}, std::pair{L'V', L'a'}})
    {
        const auto amount = kern(*font, FT_Get_Char_Index(face, a), FT_Get_Char_Index(face, b));
        ASSERT_TRUE(amount.has_value()) << char(a) << char(b);
        EXPECT_LT(*amount, 0) << char(a) << char(b);
    }
    EXPECT_EQ(kern(*font, FT_Get_Char_Index(face, L'H'), FT_Get_Char_Index(face, L'H')), std::nullopt)
        << "two straight stems are not kerned";
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}
