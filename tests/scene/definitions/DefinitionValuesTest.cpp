// The value forms of definition files: integers with automatic base, decimal reals, the text of
// text entries, and a frame's transform as position, scale and rotation.
#include "engine/scene/definitions/DefinitionValues.h"
#include "engine/scene/definitions/Definition_Movie.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace TarnEngine
{
namespace
{

constexpr float kPi = 3.14159265f;

TEST(DefinitionValues, IntegersTakeTheirBaseFromTheirForm)
{
    struct Case
    {
        const wchar_t* text;
        uint32_t unsignedValue;
        int32_t signedValue;
    };
    const Case cases[] = {
        {L"", 0, 0},
        {L"12", 12, 12},
        {L"010", 8, 8},
        {L"0x1F", 31, 31},
        {L"-1", 0xFFFFFFFF, -1},
        {L"0xFFFFFFFF", 0xFFFFFFFF, 0x7FFFFFFF},
        {L"-0x80000001", 0x7FFFFFFF, INT32_MIN},
        {L"12px", 12, 12},
        {L"px", 0, 0},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(ReadUnsignedValue(c.text), c.unsignedValue) << c.text;
        EXPECT_EQ(ReadSignedValue(c.text), c.signedValue) << c.text;
    }
}

TEST(DefinitionValues, RealsAreDecimalLiteralsOnly)
{
    struct Case
    {
        const wchar_t* text;
        double value;
        size_t used;
    };
    const Case cases[] = {
        {L"", 0.0, 0},          {L"1.5", 1.5, 3},    {L"  -2.5e1,", -25.0, 8}, {L".5", 0.5, 2},
        {L"5.", 5.0, 2},        {L"+3", 3.0, 2},     {L"1e", 1.0, 1},          {L"1e+2x", 100.0, 4},
        {L"nan", 0.0, 0},       {L"inf", 0.0, 0},    {L"0x10", 0.0, 1},        {L"-", 0.0, 0},
    };
    for (const Case& c : cases)
    {
        size_t used = 99;
        EXPECT_EQ(ReadRealValue(c.text, &used), c.value) << c.text;
        EXPECT_EQ(used, c.used) << c.text;
    }
}

TEST(DefinitionValues, EntryTextSpacingAndEscapes)
{
    struct Case
    {
        std::wstring text;
        std::wstring shown;
    };
    const Case cases[] = {
        {L"", L""},
        {L"End.  Next", L"End. Next"},
        {L"End.  9 lives", L"End. 9 lives"},
        {L"Why?     So", L"Why? So"},
        {L"Wait.  -- no", L"Wait.  -- no"},
        {L"Wait.     -- no", L"Wait.  -- no"},
        {L"Last,  ", L"Last,  "},
        {L"Last,     ", L"Last,  "},
        {L"One. Two", L"One. Two"},
        {L"No  mark", L"No  mark"},
        {L"Caf\u00E9.  \u00C9t\u00E9", L"Caf\u00E9. \u00C9t\u00E9"},
        {L"a\\nb", L"a\nb"},
        {L"a\\r\\tb", L"a\r\tb"},
        {L"back\\\\slash", L"back\\slash"},
        {L"drop\\qped", L"dropped"},
        {L"trailing\\", L"trailing"},
        // The escapes come after the spacing: an escaped line break is not a letter.
        {L"Stop.  \\nGo", L"Stop.  \nGo"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PrepareEntryText(c.text), c.shown) << c.text;
}

TEST(DefinitionValues, TransformsBecomePositionScaleAndRotation)
{
    struct Case
    {
        const wchar_t* transform;
        bool textEntry;
        float x, y, scaleX, scaleY, rotation;
    };
    const Case cases[] = {
        {L"1,0,0,1,10,20", false, 10, 20, 1, 1, 0},
        {L"1, 0, 0, 1, 10, 20", false, 10, 20, 1, 1, 0},
        {L"1 0 0 1 10 20", false, 10, 20, 1, 1, 0},
        {L"0,1,-1,0,0,0", false, 0, 0, 1, 1, kPi / 2},
        {L"-1,0,0,-1,0,0", false, 0, 0, 1, 1, kPi},
        {L"0,-1,1,0,0,0", false, 0, 0, 1, 1, 3 * kPi / 2},
        {L"-1,0,0,1,0,0", false, 0, 0, -1, 1, 0},
        {L"2,0,0,3,0,0", false, 0, 0, 2, 3, 0},
        // Snapped only next to an exact 1.
        {L"0.995,0,0,1,0,0", false, 0, 0, 1, 1, 0},
        {L"1,0,0,1.009,0,0", false, 0, 0, 1, 1, 0},
        {L"0.995,0,0,0.995,0,0", false, 0, 0, 0.995f, 0.995f, 0},
        {L"0.98,0,0,1,0,0", false, 0, 0, 0.98f, 1, 0},
        // Hidden frames are scaled to nothing: no angle, not NaN.
        {L"0,0,0,0,7,8", false, 7, 8, 0, 0, 0},
        {L"1,0,0,1,10,20", true, 8, 18, 1, 1, 0},
        // Missing numbers are those of the identity.
        {L"2,0,0,2", false, 0, 0, 2, 2, 0},
        {L"", false, 0, 0, 1, 1, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.transform << (c.textEntry ? " (text)" : ""));
        KeyEntry key;
        ReadKeyTransform(c.transform, c.textEntry, key);
        EXPECT_FLOAT_EQ(key.x, c.x);
        EXPECT_FLOAT_EQ(key.y, c.y);
        EXPECT_FLOAT_EQ(key.scaleX, c.scaleX);
        EXPECT_FLOAT_EQ(key.scaleY, c.scaleY);
        EXPECT_NEAR(key.rotation, c.rotation, 1e-6f);
    }
}

TEST(DefinitionValues, RotationIsAlwaysAnAngleInItsRange)
{
    // Ratios that rounding can take past 1, tiny and huge scales, shears.
    const wchar_t* transforms[] = {
        L"1.0000001,0.0000001,0,1,0,0", L"1,-0.0000001,0,1,0,0", L"0.0000001,0,0,1,0,0", L"1e30,1e30,0,1,0,0",
        L"1e-30,-1e-30,0,1,0,0",        L"3,4,1,1,0,0",          L"-3,-4,-1,1,0,0",     L"1e39,0,0,1,0,0",
    };
    for (const wchar_t* transform : transforms)
    {
        KeyEntry key;
        ReadKeyTransform(transform, false, key);
        EXPECT_TRUE(std::isfinite(key.rotation)) << transform;
        EXPECT_GE(key.rotation, 0.0f);
        EXPECT_LT(key.rotation, 6.2831855f);
    }
}

} // namespace
} // namespace TarnEngine
