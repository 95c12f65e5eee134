// Saved item states; see ItemState.h.
#include "game/hiddenobject/ItemState.h"

#include "engine/core/xml/XmlNode.h"

#include <cwchar>
#include <cwctype>
#include <memory>

using namespace TarnEngine;

TARN_IMPLEMENT_RCLASS(ItemState, SerialXMLClass, RObjectFactory<ItemState>)

namespace
{

// The runtime's 32-bit unsigned conversion in automatic base: a minus sign negates in unsigned
// arithmetic, a value past the range gives the largest value (which no valid state equals), and
// text without digits gives 0.
uint32_t toUnsigned32(const std::wstring& text)
{
    const wchar_t* at = text.c_str();
    while (std::iswspace(*at))
        ++at;
    const bool negative = *at == L'-';
    if (*at == L'-' || *at == L'+')
        ++at;
    if (*at == L'-' || *at == L'+') // a second sign is no number
        return 0;
    const unsigned long long magnitude = std::wcstoull(at, nullptr, 0);
    if (magnitude > 0xFFFFFFFFull)
        return 0xFFFFFFFFu;
    return negative ? uint32_t(0u - uint32_t(magnitude)) : uint32_t(magnitude);
}

} // namespace

bool ItemState::Serialize(XmlNode& node) const
{
    auto name = std::make_unique<XmlNode>(L"m_name");
    if (!m_name.empty())
        name->SetAttribute(L"value", m_name);
    name->SetAttribute(L"type", L"String");
    node.AppendChild(std::move(name));
    auto state = std::make_unique<XmlNode>(L"m_state");
    state->SetAttribute(L"value", std::to_wstring(m_state));
    state->SetAttribute(L"type", L"uint");
    node.AppendChild(std::move(state));
    return true;
}

bool ItemState::Deserialize(const XmlNode& node)
{
    if (const XmlNode* name = node.FindChild(L"m_name"))
    {
        std::wstring value;
        name->GetAttribute(L"value", value);
        m_name = value;
    }
    if (const XmlNode* state = node.FindChild(L"m_state"))
    {
        std::wstring value;
        state->GetAttribute(L"value", value);
        m_state = int32_t(toUnsigned32(value));
    }
    return true;
}
