// The saved level state; see ISpyState.h.
#include "game/hiddenobject/ISpyState.h"

#include "engine/core/xml/XmlNode.h"
#include "engine/scene/script/LuaBinding.h"

#include <algorithm>
#include <memory>

using namespace TarnEngine;

TARN_IMPLEMENT_RCLASS(ISpyState, SerialXMLClass, RObjectFactory<ISpyState>)

ISpyState::ISpyState()
{
    if (lua_State* state = LuaBinding::GetState())
        m_lua = NewLuaTable(state);
}

void ISpyState::DescribeMembers(SerialMembers& members)
{
    if (part != 2)
    {
        members.Add(L"m_board", m_board);
        members.Add(L"m_mode", m_mode);
        members.Add(L"m_lua", m_lua);
    }
    if (part != 1)
    {
        members.Add(L"m_groups_list", m_groups_list);
        members.Add(L"m_groups_board", m_groups_board);
        members.Add(L"m_hintEnabled", m_hintEnabled);
        members.Add(L"m_guessEnabled", m_guessEnabled);
    }
}

bool ISpyState::Save(XmlNode& node)
{
    part = 1;
    bool all = SerialXMLClass::Save(node);
    auto items = std::make_unique<XmlNode>(L"m_items");
    for (size_t i = 0; i < m_items.size(); ++i)
    {
        auto child = std::make_unique<XmlNode>(L"m_items" + std::to_wstring(i));
        all = m_items[i].Save(*child) && all;
        items->AppendChild(std::move(child));
    }
    node.AppendChild(std::move(items));
    part = 2;
    all = SerialXMLClass::Save(node) && all;
    part = 0;
    return all;
}

bool ISpyState::Load(const XmlNode& node)
{
    part = 0;
    bool all = SerialXMLClass::Load(node);
    if (const XmlNode* items = node.FindChild(L"m_items"))
    {
        const size_t count = std::min(items->children.size(), MaxVectorLength);
        m_items.assign(count, ItemState());
        for (size_t i = 0; i < count; ++i)
            all = m_items[i].Load(*items->children[i]) && all;
    }
    return all;
}

bool ISpyState::SaveToProfile(XmlNode& profile)
{
    XmlNode* element = profile.FindChild(ElementName);
    if (element)
    {
        while (element->RemoveChild(0))
        {
        }
    }
    else
    {
        element = profile.AddNewChild(ElementName);
    }
    return element && Save(*element);
}

bool ISpyState::LoadFromProfile(const XmlNode& profile)
{
    const XmlNode* element = profile.FindChild(ElementName);
    if (!element)
        return false;
    Load(*element);
    return true;
}
