// Parameter curves: reading the curve text, evaluation in straight lines
// and smooth cubics, repetition, constants, and texts that are not curves or
// try to break the evaluation.
#include "engine/scene/effects/ParameterCurve.h"

#include "engine/core/text/TextHelpers.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

namespace
{

using namespace TarnEngine;

ParameterCurve read(const wchar_t* text)
{
    ParameterCurve curve;
    EXPECT_TRUE(curve.Read(text)) << WStringToUtf8(text);
    return curve;
}

struct Sample
{
    float t;
    float value;
};

void expectValues(ParameterCurve& curve, std::initializer_list<Sample> samples, float tolerance = 1e-4f)
{
    for (const Sample& s : samples)
        EXPECT_NEAR(curve.Evaluate(s.t), s.value, tolerance) << "at t = " << s.t;
}

TEST(ParameterCurve, StraightLinesRiseAndHoldOrRepeat)
{
    ParameterCurve held = read(L"1;linear;0;2;0,1;0,100;0,0,0;1,100,0");
    EXPECT_FALSE(held.constant);
    expectValues(held, {{-1.0f, 0.0f}, {0.0f, 0.0f}, {0.25f, 25.0f}, {0.5f, 50.0f}, {0.999f, 99.9f},
                        {1.0f, 100.0f}, {7.0f, 100.0f}});

    ParameterCurve repeating = read(L"1;anything;1;2;0,1;0,100;0,0,0;1,100,0");
    expectValues(repeating, {{-3.0f, 0.0f}, {0.5f, 50.0f}, {1.0f, 0.0f}, {1.25f, 25.0f}, {2.0f, 0.0f},
                             {3.75f, 75.0f}});
}

TEST(ParameterCurve, KeysAreNormalisedIntoTheirRanges)
{
    // Time range 2..4 and value range 10..20; keys outside the ranges are held at their edges.
    ParameterCurve curve = read(L"1;linear;0;3;2,4;10,20;2,10,0;3,20,0;9,15,0");
    ASSERT_EQ(curve.keys.size(), 3u);
    EXPECT_FLOAT_EQ(curve.keys[1].time, 0.5f);
    EXPECT_FLOAT_EQ(curve.keys[1].value, 1.0f);
    EXPECT_FLOAT_EQ(curve.keys[2].time, 1.0f); // 9 lies past the time range
    EXPECT_FLOAT_EQ(curve.keys[2].value, 0.5f);
    expectValues(curve, {{2.0f, 10.0f}, {2.5f, 15.0f}, {3.0f, 20.0f}, {3.5f, 17.5f}, {4.0f, 15.0f}});

    ParameterCurve clamped = read(L"1;linear;0;2;0,1;0,10;0,-5,0;1,20,0");
    expectValues(clamped, {{0.0f, 0.0f}, {1.0f, 10.0f}});
}

TEST(ParameterCurve, SmoothCurvesFollowTheSlopes)
{
    // Flat ends: the cubic 3u^2 - 2u^3.
    ParameterCurve flat = read(L"1;HERMITE;0;2;0,1;0,1;0,0,0;1,1,0");
    EXPECT_TRUE(flat.smooth);
    expectValues(flat, {{0.0f, 0.0f}, {0.25f, 0.15625f}, {0.5f, 0.5f}, {0.75f, 0.84375f}, {1.0f, 1.0f}});
    EXPECT_TRUE(flat.built);
    // Slope 1 at both ends of a rise of 1: a straight line.
    ParameterCurve straight = read(L"1;hermite;0;2;0,1;0,1;0,0,1;1,1,1");
    expectValues(straight, {{0.1f, 0.1f}, {0.6f, 0.6f}});
    // Slopes are of the normalised value: a value range of 0..50 scales the result.
    ParameterCurve scaled = read(L"1;hermite;0;3;0,2;0,50;0,0,0;1,50,0;2,0,0");
    expectValues(scaled, {{0.5f, 25.0f}, {1.0f, 50.0f}, {1.5f, 25.0f}, {2.0f, 0.0f}});
    // Reading again clears the built segments.
    EXPECT_TRUE(scaled.Read(L"1;hermite;0;2;0,1;0,1;0,1,0;1,0,0"));
    EXPECT_FALSE(scaled.built);
    EXPECT_NEAR(scaled.Evaluate(0.5f), 0.5f, 1e-5f);
}

TEST(ParameterCurve, OneKeyIsAConstantAndNoKeysTheLowEnd)
{
    ParameterCurve constant = read(L"1;linear;0;1;0,1;10,20;0.5,15,0");
    EXPECT_TRUE(constant.constant);
    expectValues(constant, {{-5.0f, 15.0f}, {0.0f, 15.0f}, {100.0f, 15.0f}});
    ParameterCurve smoothOne = read(L"1;hermite;1;1;0,1;0,8;0,2,5");
    expectValues(smoothOne, {{0.3f, 2.0f}});

    ParameterCurve empty = read(L"1;linear;0;0;0,1;3,9");
    EXPECT_TRUE(empty.keys.empty());
    expectValues(empty, {{0.0f, 3.0f}, {0.7f, 3.0f}});
    ParameterCurve untouched;
    EXPECT_FLOAT_EQ(untouched.Evaluate(0.5f), 0.0f);

    ParameterCurve set = read(L"1;linear;0;2;0,1;0,255;0,0,0;1,255,0");
    set.SetConstant(128.0f);
    EXPECT_TRUE(set.constant);
    expectValues(set, {{0.0f, 128.0f}, {1.0f, 128.0f}});
    set.SetConstant(900.0f); // held at the top of the range
    expectValues(set, {{0.5f, 255.0f}});
}

TEST(ParameterCurve, TextsThatAreNotCurvesLeaveTheCurveAlone)
{
    for (const wchar_t* text : {L"", L"1;linear;0;1;0,1", L"2;linear;0;1;0,1;0,5;0,5,0", L" 1;linear;0;1;0,1;0,5;0,5,0",
                                L"hello", L";;;;;;"})
    {
        ParameterCurve curve = read(L"1;linear;0;1;0,1;0,7;0,7,0");
        EXPECT_FALSE(curve.Read(text)) << "read: " << WStringToUtf8(text);
        EXPECT_FLOAT_EQ(curve.Evaluate(0.0f), 7.0f);
    }
}

TEST(ParameterCurve, HostileTextsStayFiniteAndInRange)
{
    struct Case
    {
        const wchar_t* text;
        float low, high; // every value lies here
        size_t keys;
    };
    const Case cases[] = {
        {L"1;linear;0;1000000000;0,1;0,1;0,0,0;1,1,0", 0.0f, 1.0f, 2},            // count beyond the keys present
        {L"1;linear;0;-4;0,1;0,1;0,0,0", 0.0f, 0.0f, 0},                           // negative count
        {L"1;linear;0;2;nan,inf;-inf,1e999;0,nan,0;inf,1,0", 0.0f, 0.0f, 2},       // NaN and infinities read as 0
        {L"1;linear;1;2;5,5;0,1;4,0,0;6,1,0", 0.0f, 1.0f, 2},                      // empty time range
        {L"1;linear;0;2;0,1;-3e38,3e38;0,-3e38,0;1,3e38,0", -FLT_MAX, FLT_MAX, 2}, // range wider than a float holds
        {L"1;linear;0;2;0,1;-1e39,1e39;0,0,0;1,1e39,0", -FLT_MAX, FLT_MAX, 2},     // beyond the float range
        {L"1;linear;0;2;0,1;1e23,100;0,1e23,0;1,100,0", 100.0f, 1e23f, 2},       // ends of very different size
        {L"1;hermite;0;3;0,1;0,1;0.5,0,1e38;0.5,1,-1e38;0.2,0.5,3e38", 0.0f, 1.0f, 3}, // keys on one time, out of order
        {L"1;hermite;1;2;0,1e-30;0,1;0,0,0;1e-30,1,0", 0.0f, 1.0f, 2},
    };
    for (const Case& c : cases)
    {
        ParameterCurve curve;
        ASSERT_TRUE(curve.Read(c.text)) << WStringToUtf8(c.text);
        EXPECT_EQ(curve.keys.size(), c.keys) << WStringToUtf8(c.text);
        for (float t : {-1e30f, -1.0f, 0.0f, 1e-31f, 0.25f, 0.5f, 1.0f, 4.9f, 5.0f, 5.1f, 1e30f, FLT_MAX})
        {
            const float v = curve.Evaluate(t);
            EXPECT_TRUE(std::isfinite(v)) << WStringToUtf8(c.text) << " at " << t;
            EXPECT_GE(v, c.low) << WStringToUtf8(c.text) << " at " << t;
            EXPECT_LE(v, c.high) << WStringToUtf8(c.text) << " at " << t;
        }
    }
}

TEST(ParameterCurve, NumbersOfEffectFiles)
{
    const std::pair<const wchar_t*, float> reals[] = {
        {L"1.5", 1.5f}, {L"-2e3", -2000.0f}, {L"abc", 0.0f}, {L"", 0.0f},        {L"nan", 0.0f},
        {L"inf", 0.0f}, {L"1e999", 0.0f},    {L"1e39", FLT_MAX}, {L"-1e39", -FLT_MAX}, {L"3x", 3.0f},
    };
    for (const auto& [text, value] : reals)
        EXPECT_EQ(ParseEffectReal(text), value) << WStringToUtf8(text);
    const std::pair<const wchar_t*, int32_t> integers[] = {
        {L"12", 12}, {L"010", 8}, {L"0x10", 16}, {L"-3", -3}, {L"zz", 0}, {L"99999999999", INT32_MAX},
    };
    for (const auto& [text, value] : integers)
        EXPECT_EQ(ParseEffectInteger(text), value) << WStringToUtf8(text);
}

} // namespace
