// The HUD item list: its twelve entries and their places, the texts of one- and many-item groups,
// finds with the strike line and the next group, restoring saved groups (empty, short, damaged, done
// at once), and which entries a moving board lets the player pick.
#include "tests/game/hiddenobject/ScreenFixture.h"

namespace BoardTest
{
namespace
{

class ItemList : public OpenScreenFixture
{
protected:
    void SetUp() override
    {
        OpenScreenFixture::SetUp();
        if (HasFatalFailure())
            return;
        list = screen->GetList();
        ASSERT_NE(list, nullptr);
        Calls();
    }

    HUDListEntry* Entry(int index) { return list->GetEntries().at(size_t(index)); }
    std::string Name(HUDListEntry* entry)
    {
        auto* text = Child<Instance_Text>(entry, L"item_name");
        return text ? Narrow(text->text) : "<none>";
    }
    bool Visible(HUDListEntry* entry, const wchar_t* part) { return Child<Instance_Base>(entry, part)->visible; }
    // Finds an item as the level script does.
    void Find(const wchar_t* name)
    {
        ISpyItem* item = Item(screen, name);
        item->SetState(ITEM_HIDDEN);
        screen->GetBoard()->OnItemFound(item);
    }
    // The entry showing that item's group.
    HUDListEntry* EntryOf(const wchar_t* name)
    {
        for (HUDListEntry* entry : list->GetEntries())
            for (ISpyItem* item : entry->GetItems())
                if (item->name == name)
                    return entry;
        return nullptr;
    }

    HUDList* list = nullptr;
};

TEST_F(ItemList, TwelveEntriesInThreeColumnsOfFour)
{
    const std::vector<HUDListEntry*> entries = list->GetEntries();
    ASSERT_EQ(entries.size(), 12u);
    // The list is 600 x 120: W = 590, H = 110.
    for (int i = 0; i < 12; ++i)
    {
        EXPECT_EQ(Narrow(entries[size_t(i)]->name), "ItemName_" + std::to_string(i));
        EXPECT_FLOAT_EQ(entries[size_t(i)]->GetX(), 5.0f + (float(i / 4) + 0.5f) * 590.0f / 3.0f) << i;
        EXPECT_FLOAT_EQ(entries[size_t(i)]->GetY(), 5.0f + float(i % 4) * 110.0f / 4.0f) << i;
        EXPECT_EQ(entries[size_t(i)]->GetOwner(), list);
        EXPECT_EQ(entries[size_t(i)]->GetGroup(), -1);
        EXPECT_FALSE(Visible(entries[size_t(i)], L"line_0"));
    }
}

TEST_F(ItemList, OneItemShowsItsNameAndManyShowCategoryAndCount)
{
    ISpyBoard* board = screen->GetBoard();
    for (const wchar_t* name : {L"key", L"hammer", L"cup"})
        Item(screen, name)->s_category = L"Fruit";
    board->BuildGroups();
    board->ChooseGroups(100);
    list->SelectFreshGroups();
    HUDListEntry* fruit = EntryOf(L"key");
    HUDListEntry* bell = EntryOf(L"bell");
    ASSERT_NE(fruit, nullptr);
    ASSERT_NE(bell, nullptr);
    EXPECT_EQ(Name(fruit), "Fruit (3)");
    EXPECT_EQ(Name(bell), "bell");
    EXPECT_TRUE(Visible(fruit, L"item_name"));
    EXPECT_EQ(Child<Instance_Text>(fruit, L"item_name")->colour & 0xFFFFFF, HUDListEntry::ColourNormal);
    EXPECT_FALSE(Visible(EntryOf(L"coin") == Entry(11) ? Entry(0) : Entry(11), L"item_name")) << "an empty entry";

    Find(L"hammer");
    EXPECT_EQ(Name(fruit), "Fruit (2)");
    EXPECT_FALSE(Visible(fruit, L"line_0"));
}

TEST_F(ItemList, FinishingAGroupStrikesItThroughAndCallsOnItemFound)
{
    screen->SelectGroups(4);
    HUDListEntry* bell = EntryOf(L"bell");
    ASSERT_NE(bell, nullptr);
    Calls();
    Find(L"bell");
    EXPECT_TRUE(Visible(bell, L"line_0"));
    EXPECT_TRUE(bell->IsDone());
    EXPECT_EQ(Calls(), "ItemFound bell; " + Narrow(bell->name) + " OnItemFound");
}

TEST_F(ItemList, LineAppearedTakesTheNextGroupOrStaysStruckThrough)
{
    // Two groups in view, the other two in reserve.
    screen->SelectGroups(4);
    ISpyBoard* board = screen->GetBoard();
    board->ChooseGroups(4);
    for (HUDListEntry* entry : list->GetEntries())
        entry->SetGroup(-1);
    Entry(0)->SetGroup(board->ActivateNextGroup());
    Entry(0)->Refresh();
    ASSERT_EQ(board->GetGroupOrder().size(), 3u);
    const int32_t first = Entry(0)->GetGroup();
    for (ISpyItem* item : Entry(0)->GetItems())
    {
        item->SetState(ITEM_HIDDEN);
        board->OnItemFound(item);
    }
    Calls();
    SetGlobal("entry", Entry(0));
    ASSERT_TRUE(Run("entry:OnLineAppeared()"));
    EXPECT_NE(Entry(0)->GetGroup(), first);
    EXPECT_EQ(Calls(), "ItemName_0 Dissolve");
    ASSERT_TRUE(Run("entry:OnDissolved()"));
    EXPECT_EQ(Calls(), "ItemName_0 Appear");
    EXPECT_FALSE(Visible(Entry(0), L"line_0"));
    EXPECT_TRUE(Visible(Entry(0), L"item_name"));

    // No group left: the entry stays struck through.
    while (board->ActivateNextGroup() >= 0)
    {
    }
    for (ISpyItem* item : Entry(0)->GetItems())
    {
        item->SetState(ITEM_HIDDEN);
        board->OnItemFound(item);
    }
    const int32_t last = Entry(0)->GetGroup();
    Calls();
    ASSERT_TRUE(Run("entry:OnLineAppeared()"));
    EXPECT_EQ(Entry(0)->GetGroup(), last);
    EXPECT_EQ(Calls(), "");
    EXPECT_TRUE(Visible(Entry(0), L"line_0"));
}

TEST_F(ItemList, RestoringGroups)
{
    ISpyBoard* board = screen->GetBoard();
    board->ChooseGroups(4);
    struct Case
    {
        const char* what;
        std::vector<int32_t> saved;
        std::vector<int32_t> expected; // the first four entries; the rest -1
    };
    const Case cases[] = {
        {"short list", {2, 0}, {2, 0, -1, -1}},
        {"out of range", {4, -7, 1000000, 1}, {-1, -1, -1, 1}},
        {"past twelve", {0, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3}, {0, 1, 2, 3}},
    };
    for (const Case& c : cases)
    {
        for (const wchar_t* name : {L"key", L"hammer", L"cup", L"coin", L"bell"})
            Item(screen, name)->SetState(ITEM_ACTIVE);
        ISpyState state;
        state.m_groups_list = c.saved;
        list->RestoreGroups(state);
        for (size_t i = 0; i < 12; ++i)
        {
            int32_t expected = i < c.expected.size() ? c.expected[i] : (i < c.saved.size() ? c.saved[i] : -1);
            if (expected >= int32_t(board->GetGroupCount()) || expected < -1)
                expected = -1;
            EXPECT_EQ(Entry(int(i))->GetGroup(), expected) << c.what << " entry " << i;
        }
    }
    // An empty saved list selects fresh groups.
    board->ChooseGroups(4);
    ISpyState empty;
    list->RestoreGroups(empty);
    EXPECT_EQ(Entry(0)->GetGroup(), 3);
    EXPECT_EQ(Entry(3)->GetGroup(), 0);
    EXPECT_EQ(Entry(4)->GetGroup(), -1);
}

TEST_F(ItemList, RestoredDoneEntryMovesOnAtOnce)
{
    ISpyBoard* board = screen->GetBoard();
    board->ChooseGroups(4); // order 0 1 2 3: the reserve hands out 3 first
    Item(screen, L"cup")->SetState(ITEM_HIDDEN);
    const int32_t cupGroup = [&] {
        for (int32_t g = 0; g < int32_t(board->GetGroupCount()); ++g)
            for (ISpyItem* item : board->GetGroup(g))
                if (item->name == L"cup")
                    return g;
        return -1;
    }();
    ASSERT_GE(cupGroup, 0);
    ISpyState state;
    state.m_groups_list = {cupGroup};
    Calls();
    list->RestoreGroups(state);
    EXPECT_EQ(Calls(), "ItemName_0 Dissolve");
    EXPECT_NE(Entry(0)->GetGroup(), cupGroup);
}

TEST_F(ItemList, OnAMovingBoardFarOrTinyItemsCannotBePicked)
{
    screen->SelectGroups(4);
    ASSERT_TRUE(Run("moving = true"));
    HUDListEntry* bell = EntryOf(L"bell");
    HUDListEntry* coin = EntryOf(L"coin");
    HUDListEntry* cup = EntryOf(L"cup");
    Item(screen, L"bell")->SetX(1100.0f); // past the screen's right edge
    Item(screen, L"coin")->SetScale(0.2f, 0.2f); // 8 x 8
    EXPECT_FALSE(bell->IsOnScreen());
    EXPECT_FALSE(coin->IsOnScreen());
    EXPECT_TRUE(cup->IsOnScreen());
    EXPECT_FALSE(bell->IsHintable());
    EXPECT_TRUE(cup->IsHintable());
    list->SetHintSelection(true);
    EXPECT_FALSE(bell->IsOffered());
    EXPECT_FALSE(coin->IsOffered());
    EXPECT_TRUE(cup->IsOffered());
    EXPECT_FLOAT_EQ(Child<Instance_Base>(bell, L"item_name")->opacity, 0.5f);
    EXPECT_FLOAT_EQ(Child<Instance_Base>(cup, L"item_name")->opacity, 1.0f);
    list->SetHintSelection(false);
    EXPECT_FLOAT_EQ(Child<Instance_Base>(bell, L"item_name")->opacity, 1.0f);
    // Standing still, every entry with an active item can be picked.
    ASSERT_TRUE(Run("moving = false"));
    EXPECT_TRUE(bell->IsHintable());
}

TEST_F(ItemList, SavedGroupsAreTheEntriesGroupsInOrder)
{
    screen->SelectGroups(4);
    ISpyState state;
    state.m_groups_list = {9};
    list->SaveGroups(state);
    ASSERT_EQ(state.m_groups_list.size(), 13u);
    EXPECT_EQ(state.m_groups_list[0], 9) << "appended";
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(state.m_groups_list[size_t(i) + 1], Entry(i)->GetGroup());
}

} // namespace
} // namespace BoardTest
