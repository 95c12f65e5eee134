// The saved state of a hidden-object level, as the element "ISPY_STATE" of the current profile:
// the level (board) name, the screen's mode, the level script's own table, the states of the
// board's items, the item list's groups, the board's group order and the two button switches.
// The element shape is what profiles already hold: the eight children in a fixed order, scalars
// with "value" and "type", vectors with children "%s%d" by index.
//
// The file is untrusted: what is read here is only stored; every index is checked by its user
// (the board, the item list and the screen).
#pragma once

#include "engine/scene/classes/SerialXMLClass.h"
#include "game/hiddenobject/ItemState.h"

#include <cstdint>
#include <string>
#include <vector>

namespace TarnEngine
{
class XmlNode;
}

class ISpyState : public TarnEngine::SerialXMLClass
{
    TARN_RCLASS(ISpyState)
public:
    static constexpr const wchar_t* ElementName = L"ISPY_STATE";

    // A new empty script table in the script manager's state (none without one).
    ISpyState();

    bool Save(TarnEngine::XmlNode& node) override;
    bool Load(const TarnEngine::XmlNode& node) override;

    // Into the profile element: its "ISPY_STATE" child emptied (or appended) and written.
    bool SaveToProfile(TarnEngine::XmlNode& profile);
    // From the profile element's "ISPY_STATE"; false when there is none.
    bool LoadFromProfile(const TarnEngine::XmlNode& profile);

    std::wstring m_board;
    uint32_t m_mode = 0;
    TarnEngine::LuaStrongTable m_lua;
    std::vector<ItemState> m_items;
    std::vector<int32_t> m_groups_list;
    std::vector<int32_t> m_groups_board;
    bool m_hintEnabled = true;
    bool m_guessEnabled = true;

protected:
    void DescribeMembers(TarnEngine::SerialMembers& members) override;

private:
    // Which members DescribeMembers lists: those before "m_items" (1), those after it (2), or all
    // but "m_items" (0). The items are not a member kind of their own and are written between.
    int part = 0;
};
