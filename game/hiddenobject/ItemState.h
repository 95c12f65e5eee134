// The saved state of one item of a hidden-object scene, as it stands in the player's profile: the
// item's instance name and its state, written as the elements "m_name" and "m_state". Its element
// shape is fixed by the profiles already written, so it writes and reads its members itself
// instead of through the member list of SerialXMLClass.
#pragma once

#include "engine/scene/classes/SerialXMLClass.h"

#include <cstdint>
#include <string>

namespace TarnEngine
{
class XmlNode;
}

class ItemState : public TarnEngine::SerialXMLClass
{
    TARN_RCLASS(ItemState)
public:
    ItemState() = default;
    ItemState(std::wstring name, int32_t state) : m_name(std::move(name)), m_state(state) {}

    // Appends <m_name value=".." type="String"/> (no "value" when the name is empty) and
    // <m_state value="%d" type="uint"/>.
    virtual bool Serialize(TarnEngine::XmlNode& node) const;
    // Reads what is there: "m_name"'s value, and "m_state"'s value in automatic base (0x hex, a
    // leading 0 octal). Missing children leave the members as they are.
    virtual bool Deserialize(const TarnEngine::XmlNode& node);

    // The serial forms under their usual names.
    bool Save(TarnEngine::XmlNode& node) override { return Serialize(node); }
    bool Load(const TarnEngine::XmlNode& node) override { return Deserialize(node); }

    std::wstring m_name;
    int32_t m_state = 0;
};
