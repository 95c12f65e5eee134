// The parameter curve of effect files: a value that changes over time (or
// over speed or distance, for the actions that say so), written as one text
// "1;interpolation;repeat;N;ta,tb;lo,hi;t,v,s;..." and evaluated by the
// particle actions every frame. Keys are held normalised to [0, 1] in both
// time and value, so evaluation is a lookup in the unit square mapped back
// through the value range. Smooth curves build their cubic segments on the
// first evaluation after reading.
//
// Also here: the number readers that every part of an effect file uses, so
// that a hostile file cannot hand a NaN, an infinity or a value beyond the
// float range to the particle code.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace TarnEngine
{

// A decimal number of an effect file as a float: NaN and infinities read as
// 0, finite values beyond the float range are held at its ends. Text that
// does not begin with a number gives 0.
float ParseEffectReal(const std::wstring& text);
// An integer of an effect file: signed 32-bit with automatic base ("0x"
// hexadecimal, a leading "0" octal), clamped to the range.
int32_t ParseEffectInteger(const std::wstring& text);
// The value clamped to [0, 1]; NaN gives 0.
float Clamp01(float value);

struct CurveKey
{
    float time = 0.0f;  // normalised
    float value = 0.0f; // normalised
    float slope = 0.0f; // of normalised value over normalised time
};

class ParameterCurve
{
public:
    // Reads a curve text; false (and the curve unchanged) when the text is
    // not a curve: fewer than six fields or a format tag other than "1".
    bool Read(const std::wstring& text);
    // Makes the curve the constant value (one key), as reading one would.
    void SetConstant(float value);
    // The value at time t. A curve without keys gives the low end of its
    // value range. The result always lies within the value range. Inline
    // for the constant and unset curves that actions evaluate most.
    float Evaluate(float t)
    {
        if (constant)
            return constantValue;
        if (keys.empty())
            return valueLow;
        return evaluateKeys(t);
    }

    std::vector<CurveKey> keys;
    // c0..c3 of the Hermite cubic between keys i and i+1, built on the first
    // smooth evaluation after reading.
    std::vector<std::array<float, 4>> coefficients;
    bool built = false;
    float timeStart = 0.0f;
    float timeEnd = 1.0f;
    float valueLow = 0.0f;
    float valueHigh = 1.0f;
    float constantValue = 0.0f;
    bool smooth = false;
    bool repeat = false;
    bool constant = false;

private:
    // The ranges as evaluation uses them; Read and SetConstant keep them.
    void prepare();
    float evaluateKeys(float t);
    void buildCoefficients();
    float unitValue(float u);
    float fromUnit(float unit) const;

    double inverseTimeSpan = 1.0; // 0 for an empty time range
    double valueSpan = 1.0;
    double rangeLow = 0.0;
    double rangeHigh = 1.0;
};

} // namespace TarnEngine
