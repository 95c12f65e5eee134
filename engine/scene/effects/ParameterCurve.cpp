// Parameter curves of effect files; see ParameterCurve.h.
#include "engine/scene/effects/ParameterCurve.h"

#include <cfloat>
#include <cmath>

#include "engine/core/text/TextHelpers.h"

namespace TarnEngine
{

namespace
{

// The clamp is done in double so that a quotient beyond the float range
// never has to be narrowed first.
double clamp01(double value)
{
    if (!(value > 0.0))
        return 0.0; // also NaN
    return value > 1.0 ? 1.0 : value;
}

// Where x lies in [low, high], not clamped; an empty range puts everything
// above it at 1 and the rest at 0.
double unitOf(double x, float low, float high)
{
    const double span = double(high) - low;
    if (span == 0.0)
        return x > low ? 1.0 : 0.0;
    return (x - low) / span;
}

float normalise(float x, float low, float high)
{
    return float(clamp01(unitOf(x, low, high)));
}

// The two decimal numbers of "a,b"; a missing one reads as 0.
void readPair(const std::wstring& text, float& first, float& second)
{
    const std::vector<std::wstring> parts = SplitString(text, L',');
    first = parts.size() > 0 ? ParseEffectReal(parts[0]) : 0.0f;
    second = parts.size() > 1 ? ParseEffectReal(parts[1]) : 0.0f;
}

} // namespace

float ParseEffectReal(const std::wstring& text)
{
    const double value = WStringToDouble(text);
    if (!std::isfinite(value))
        return 0.0f;
    if (value > double(FLT_MAX))
        return FLT_MAX;
    if (value < -double(FLT_MAX))
        return -FLT_MAX;
    return float(value);
}

int32_t ParseEffectInteger(const std::wstring& text)
{
    return WStringToLong(text);
}

float Clamp01(float value)
{
    return float(clamp01(value));
}

bool ParameterCurve::Read(const std::wstring& text)
{
    const std::vector<std::wstring> parts = SplitString(text, L';');
    if (parts.size() < 6 || parts[0] != L"1")
        return false;
    smooth = EqualsNoCase(parts[1], L"hermite");
    repeat = parts[2] == L"1";
    // A count beyond the key fields present reads only the keys that are there.
    const int64_t available = int64_t(parts.size()) - 6;
    int64_t count = ParseEffectInteger(parts[3]);
    if (count < 0)
        count = 0;
    if (count > available)
        count = available;
    readPair(parts[4], timeStart, timeEnd);
    readPair(parts[5], valueLow, valueHigh);
    prepare();
    keys.clear();
    for (int64_t i = 0; i < count; ++i)
    {
        const std::vector<std::wstring> fields = SplitString(parts[size_t(6 + i)], L',');
        CurveKey key;
        key.time = normalise(fields.size() > 0 ? ParseEffectReal(fields[0]) : 0.0f, timeStart, timeEnd);
        key.value = normalise(fields.size() > 1 ? ParseEffectReal(fields[1]) : 0.0f, valueLow, valueHigh);
        key.slope = fields.size() > 2 ? ParseEffectReal(fields[2]) : 0.0f;
        keys.push_back(key);
    }
    built = false;
    constant = keys.size() == 1;
    if (constant)
        constantValue = fromUnit(keys[0].value);
    return true;
}

void ParameterCurve::SetConstant(float value)
{
    prepare();
    keys.assign(1, CurveKey{0.0f, normalise(value, valueLow, valueHigh), 0.0f});
    built = false;
    constant = true;
    constantValue = fromUnit(keys[0].value);
}

void ParameterCurve::prepare()
{
    const double timeSpan = double(timeEnd) - timeStart;
    inverseTimeSpan = timeSpan == 0.0 ? 0.0 : 1.0 / timeSpan;
    valueSpan = double(valueHigh) - valueLow;
    rangeLow = valueLow <= valueHigh ? valueLow : valueHigh;
    rangeHigh = valueLow <= valueHigh ? valueHigh : valueLow;
}

float ParameterCurve::evaluateKeys(float t)
{
    // An empty time range puts every time after it at its end.
    double u = inverseTimeSpan != 0.0 ? (double(t) - timeStart) * inverseTimeSpan : (t > timeStart ? 1.0 : 0.0);
    if (repeat)
    {
        if (!(u > 0.0))
            u = 0.0;
        u -= std::floor(u);
        if (!(u < 1.0))
            u = 0.0; // an infinite quotient has no fraction
    }
    else
        u = clamp01(u);
    return fromUnit(unitValue(float(u)));
}

float ParameterCurve::fromUnit(float unit) const
{
    const double value = double(valueLow) + valueSpan * clamp01(unit);
    // Rounding can step past an end of a range of very different magnitudes;
    // held inside it, the value always narrows to a float.
    return float(value < rangeLow ? rangeLow : value > rangeHigh ? rangeHigh : value);
}

float ParameterCurve::unitValue(float u)
{
    const size_t count = keys.size();
    if (count == 0)
        return 0.0f;
    if (!smooth)
    {
        for (size_t i = 0; i + 1 < count; ++i)
        {
            const CurveKey& a = keys[i];
            const CurveKey& b = keys[i + 1];
            if (a.time <= u && u < b.time)
                return a.value + (u - a.time) / (b.time - a.time) * (b.value - a.value);
        }
        return keys.back().value;
    }
    if (count == 1)
        return keys[0].value;
    if (!built)
        buildCoefficients();
    for (size_t i = 0; i + 1 < count; ++i)
    {
        if (keys[i + 1].time > u)
        {
            const std::array<float, 4>& c = coefficients[i];
            const float d0 = u - keys[i].time;
            const float d1 = u - keys[i + 1].time;
            return c[0] + c[1] * d0 + c[2] * d0 * d0 + c[3] * d0 * d0 * d1;
        }
    }
    return keys.back().value;
}

void ParameterCurve::buildCoefficients()
{
    // Newton form of the Hermite cubic on the doubled nodes (x0, x0, x1, x1).
    coefficients.clear();
    for (size_t i = 0; i + 1 < keys.size(); ++i)
    {
        const CurveKey& a = keys[i];
        const CurveKey& b = keys[i + 1];
        const float h = b.time - a.time;
        if (h == 0.0f)
        {
            // Two keys on one time: the segment holds its left value.
            coefficients.push_back({a.value, 0.0f, 0.0f, 0.0f});
            continue;
        }
        const float f01 = (b.value - a.value) / h;
        const float f001 = (f01 - a.slope) / h;
        const float f011 = (b.slope - f01) / h;
        coefficients.push_back({a.value, a.slope, f001, (f011 - f001) / h});
    }
    built = true;
}

} // namespace TarnEngine
