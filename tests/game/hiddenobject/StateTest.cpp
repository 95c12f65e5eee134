// Saved item states: the elements of one ItemState, and a board's state saved into a record with
// the members of the hidden-object screen's level state, through XML and back, damaged or not.
#include "tests/game/hiddenobject/BoardFixture.h"

#include "engine/core/xml/XmlNode.h"

namespace BoardTest
{

namespace
{

// Stands in for the screen's level record: the three members the board fills and reads, written
// in the shape of the profile's "ISPY_STATE" element.
struct LevelState
{
    std::wstring m_board;
    std::vector<int32_t> m_groups_board;
    std::vector<ItemState> m_items;

    std::unique_ptr<XmlNode> Save() const
    {
        auto node = std::make_unique<XmlNode>(L"ISPY_STATE");
        XmlNode* boardName = node->AddNewChild(L"m_board");
        if (!m_board.empty())
            boardName->SetAttribute(L"value", m_board);
        boardName->SetAttribute(L"type", L"String");
        XmlNode* items = node->AddNewChild(L"m_items");
        for (size_t i = 0; i < m_items.size(); ++i)
            m_items[i].Serialize(*items->AddNewChild(L"m_items" + std::to_wstring(i)));
        XmlNode* groups = node->AddNewChild(L"m_groups_board");
        for (size_t i = 0; i < m_groups_board.size(); ++i)
        {
            XmlNode* value = groups->AddNewChild(L"m_groups_board" + std::to_wstring(i));
            value->SetAttribute(L"value", std::to_wstring(m_groups_board[i]));
            value->SetAttribute(L"type", L"int");
        }
        return node;
    }

    void Load(const XmlNode& node)
    {
        m_board = node.FindChild(L"m_board")->GetStringAttribute(L"value", L"");
        m_items.clear();
        for (const auto& child : node.FindChild(L"m_items")->children)
        {
            ItemState state;
            state.Load(*child);
            m_items.push_back(state);
        }
        m_groups_board.clear();
        for (const auto& child : node.FindChild(L"m_groups_board")->children)
            m_groups_board.push_back(std::stoi(child->GetStringAttribute(L"value", L"0")));
    }
};

std::string Print(const XmlNode& node)
{
    std::wstring text;
    node.Print(text, 0);
    return std::string(text.begin(), text.end());
}

class SavedState : public BoardFixture
{
protected:
    std::string States(ISpyBoard* board)
    {
        std::string out;
        for (const wchar_t* name : {L"key", L"hammer", L"cup", L"coin", L"bell", L"letter_a", L"letter_b",
                                    L"letter_c", L"lever", L"gear"})
            out += std::to_string(Child<BaseItem>(board, name)->GetState());
        return out;
    }
    void SetStates(ISpyBoard* board, const std::string& states)
    {
        const wchar_t* names[] = {L"key",      L"hammer",   L"cup",      L"coin",  L"bell",
                                  L"letter_a", L"letter_b", L"letter_c", L"lever", L"gear"};
        for (size_t i = 0; i < states.size(); ++i)
            Child<BaseItem>(board, names[i])->SetState(states[i] - '0');
    }
};

TEST(ItemStateElements, TheExactElementsAndTheirReading)
{
    XmlNode named(L"m_items0");
    ItemState(L"key", ITEM_HIDDEN).Serialize(named);
    EXPECT_EQ(Print(named), Print(*[]
                                  {
                                      auto node = std::make_unique<XmlNode>(L"m_items0");
                                      XmlNode* a = node->AddNewChild(L"m_name");
                                      a->SetAttribute(L"value", L"key");
                                      a->SetAttribute(L"type", L"String");
                                      XmlNode* b = node->AddNewChild(L"m_state");
                                      b->SetAttribute(L"value", L"2");
                                      b->SetAttribute(L"type", L"uint");
                                      return node;
                                  }()));
    ASSERT_EQ(named.children.size(), 2u);
    EXPECT_EQ(named.children[0]->GetName(), L"m_name");
    EXPECT_EQ(named.children[1]->GetName(), L"m_state");

    XmlNode unnamed(L"m_items1");
    ItemState(L"", ITEM_ACTIVE).Serialize(unnamed);
    const XmlNode* name = unnamed.FindChild(L"m_name");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->FindAttribute(L"value"), nullptr) << "an empty name keeps only the type";
    EXPECT_EQ(name->GetStringAttribute(L"type", L""), L"String");

    const struct
    {
        const wchar_t* text;
        int32_t state;
    } values[] = {{L"2", 2},   {L"0x2", 2}, {L"010", 8},        {L"abc", 0},
                  {L"-1", -1}, {L"99", 99}, {L"4294967297", -1}};
    for (const auto& v : values)
    {
        XmlNode node(L"m_items0");
        node.AddNewChild(L"m_name")->SetAttribute(L"value", L"cup");
        node.AddNewChild(L"M_STATE")->SetAttribute(L"value", v.text);
        ItemState read(L"old", 1);
        EXPECT_TRUE(read.Deserialize(node));
        EXPECT_EQ(read.m_name, L"cup");
        EXPECT_EQ(read.m_state, v.state) << std::string(v.text, v.text + wcslen(v.text));
    }
    XmlNode empty(L"m_items0");
    ItemState untouched(L"old", 1);
    EXPECT_TRUE(untouched.Deserialize(empty));
    EXPECT_EQ(untouched.m_name, L"old") << "missing children leave the members";
    EXPECT_EQ(untouched.m_state, 1);
}

TEST_F(SavedState, ARoundTripThroughXmlRestoresActiveAndHiddenItemsAndTheGroupOrder)
{
    ISpyBoard* board = MakeBoard();
    ASSERT_NE(board, nullptr);
    board->BuildGroups();
    board->ChooseGroups(4);
    EXPECT_EQ(board->ActivateNextGroup(), 3);
    SetStates(board, "0321013210"); // disabled, invalid, hidden, active, ...
    LevelState saved;
    board->SaveState(saved);
    EXPECT_EQ(saved.m_board, L"level_board");
    EXPECT_EQ(saved.m_groups_board, (std::vector<int32_t>{0, 1, 2}));
    ASSERT_EQ(saved.m_items.size(), 5u) << "active and hidden only";
    EXPECT_EQ(saved.m_items[0].m_name, L"cup");
    EXPECT_EQ(saved.m_items[2].m_name, L"letter_a") << "items, then letters, then puzzle items";
    EXPECT_EQ(saved.m_items[4].m_name, L"lever");
    EXPECT_EQ(saved.m_items[4].m_state, ITEM_ACTIVE);

    const std::unique_ptr<XmlNode> xml = saved.Save();
    LevelState read;
    read.Load(*xml);
    SetStates(board, "1111111111");
    board->LoadState(read);
    EXPECT_EQ(States(board), "0021010210") << "invalid and disabled items come back disabled";
    EXPECT_EQ(board->GetGroupOrder(), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(board->GetGroupCount(), 4u) << "the groups are built again";
}

TEST_F(SavedState, ADamagedGroupOrderAndDamagedStatesDoNoHarm)
{
    ISpyBoard* board = MakeBoard();
    ASSERT_NE(board, nullptr);
    LevelState damaged;
    damaged.m_groups_board = {-1, 2, 1000000, 2, 0, 3, 4, INT32_MIN};
    damaged.m_items = {ItemState(L"key", 99), ItemState(L"key", 2),  ItemState(L"cup", -1),
                       ItemState(L"coin", 3), ItemState(L"bell", 1), ItemState(L"nobody", 1),
                       ItemState(L"", 2)};
    SetStates(board, "1111111111");
    board->LoadState(damaged);
    EXPECT_EQ(board->GetGroupOrder(), (std::vector<uint32_t>{2, 0, 3})) << "out of range and repeats dropped";
    EXPECT_EQ(States(board), "2003100000")
        << "a bad state counts as no entry; the next entry of the name holds";
    EXPECT_EQ(board->ActivateNextGroup(), 3);
    EXPECT_EQ(board->ActivateNextGroup(), 0);
    EXPECT_EQ(board->ActivateNextGroup(), 2);
    EXPECT_EQ(board->ActivateNextGroup(), -1);

    // The same through XML text that a damaged profile holds.
    XmlNode node(L"m_items0");
    node.AddNewChild(L"m_name")->SetAttribute(L"value", L"hammer");
    node.AddNewChild(L"m_state")->SetAttribute(L"value", L"abc");
    ItemState fromText;
    fromText.Load(node);
    LevelState text;
    text.m_items = {fromText};
    board->LoadState(text);
    EXPECT_EQ(Child<BaseItem>(board, L"hammer")->GetState(), ITEM_DISABLED);
}

} // namespace

} // namespace BoardTest
