// The base of the particle actions; see RPfxActionBase.h.
#include "engine/scene/effects/RPfxActionBase.h"

#include <cmath>

#include "engine/core/base/RandomGenerator.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/effects/ParticleTemplate.h"

namespace TarnEngine
{
namespace Effects
{

TARN_IMPLEMENT_RCLASS(RPfxActionBase, RObject, RNoFactory)

bool RPfxActionBase::ReadParameters(const XmlNode& element)
{
    static const wchar_t* const sources[] = {L"Self", L"Emitter"};
    timeSource = ReadWord(element, L"TimeSource", sources, 2, timeSource);
    return true;
}

void RPfxActionBase::Apply(Particle&, float, float) {}

void RPfxActionBase::CopyTo(RPfxActionBase& target) const
{
    target.label = label;
    target.owner = owner;
    target.index = index;
    target.startTime = startTime;
    target.timeSource = timeSource;
    target.layer = layer;
}

void RPfxActionBase::ApplyAtLoad(ParticleTemplate&) {}

ParticleEffect* RPfxActionBase::GetEffect() const
{
    return owner ? owner->effect : nullptr;
}

std::wstring RPfxActionBase::ChildText(const XmlNode& element, const wchar_t* name)
{
    const XmlNode* child = element.FindChild(name);
    return child ? child->GetText() : std::wstring();
}

void RPfxActionBase::ReadCurve(const XmlNode& element, const wchar_t* name, ParameterCurve& curve)
{
    const std::wstring text = ChildText(element, name);
    if (!text.empty())
        curve.Read(text); // a text that is no curve leaves the curve as it was
}

void RPfxActionBase::ReadReal(const XmlNode& element, const wchar_t* name, float& value)
{
    const std::wstring text = ChildText(element, name);
    if (!text.empty())
        value = ParseEffectReal(text);
}

void RPfxActionBase::ReadInteger(const XmlNode& element, const wchar_t* name, int32_t& value)
{
    const std::wstring text = ChildText(element, name);
    if (!text.empty())
        value = ParseEffectInteger(text);
}

void RPfxActionBase::ReadFlag(const XmlNode& element, const wchar_t* name, bool& value)
{
    const std::wstring text = ChildText(element, name);
    if (EqualsNoCase(text, L"true"))
        value = true;
    else if (EqualsNoCase(text, L"false"))
        value = false;
}

int32_t RPfxActionBase::ReadWord(const XmlNode& element, const wchar_t* name, const wchar_t* const* words,
                                 int32_t count, int32_t fallback)
{
    const XmlNode* child = element.FindChild(name);
    if (!child)
        return fallback;
    const std::wstring text = child->GetText();
    for (int32_t i = 0; i < count; ++i)
        if (EqualsNoCase(text, words[i]))
            return i;
    return fallback;
}

float Spread(float r)
{
    return PoolRandomFloat(2.0f * r) - r;
}

void RotateVector(float& x, float& y, float radians)
{
    const float c = std::cos(radians);
    const float s = std::sin(radians);
    const float rx = x * c - y * s;
    y = x * s + y * c;
    x = rx;
}

float VectorLength(float x, float y)
{
    return std::sqrt(x * x + y * y);
}

} // namespace Effects
} // namespace TarnEngine
