// The successive sets of items on the fixture board and on boards of plain items made in code.
#include "tests/game/hiddenobject/BoardFixture.h"

#include <cstdlib>

namespace BoardTest
{

namespace
{

class Groups : public BoardFixture
{
protected:
    // A bare board with items of these categories (empty: none), named i0, i1, ...
    ISpyBoard* BoardOf(const std::vector<std::wstring>& categories)
    {
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(root, L"", L"plain" + std::to_wstring(boards++), true,
                                           ISpyBoard::StaticClass(), &made);
        auto* plain = RObjectCast<ISpyBoard>(made);
        for (size_t i = 0; plain && i < categories.size(); ++i)
        {
            Instance_Base* item = nullptr;
            Instance_Movie::CreateInstanceCore(plain, L"", L"i" + std::to_wstring(i), true,
                                               ISpyItem::StaticClass(), &item);
            auto* spy = RObjectCast<ISpyItem>(item);
            spy->s_category = categories[i];
            plain->AddItem(spy);
        }
        return plain;
    }

    static std::string Names(const std::vector<ISpyItem*>& group)
    {
        std::string out;
        for (const ISpyItem* item : group)
            out += (out.empty() ? "" : ",") + std::string(item->name.begin(), item->name.end());
        return out;
    }

    std::string AllGroups(ISpyBoard* plain)
    {
        std::string out;
        for (size_t i = 0; i < plain->GetGroupCount(); ++i)
            out += (i ? " " : "") + ("[" + Names(plain->GetGroup(int32_t(i))) + "]");
        return out;
    }

    int boards = 0;
};

TEST_F(Groups, CategoryGroupsComeFirstInTheOrderOfTheirFirstMembers)
{
    ISpyBoard* plain = BoardOf({L"", L"b", L"a", L"", L"b", L"a", L"c", L""});
    plain->BuildGroups();
    EXPECT_EQ(AllGroups(plain), "[i1,i4] [i2,i5] [i6] [i0] [i3] [i7]");

    ISpyBoard* fixture = MakeBoard();
    ASSERT_NE(fixture, nullptr);
    fixture->BuildGroups();
    EXPECT_EQ(AllGroups(fixture), "[key,hammer] [cup] [coin] [bell]");
    fixture->BuildGroups();
    EXPECT_EQ(fixture->GetGroupCount(), 4u) << "built afresh, not appended";
}

TEST_F(Groups, EnoughRoomKeepsTheOrderAndShowsTheLastGroupFirst)
{
    ISpyBoard* fixture = MakeBoard();
    ASSERT_NE(fixture, nullptr);
    fixture->BuildGroups();
    for (uint32_t count : {4u, 9u})
    {
        fixture->ChooseGroups(count);
        EXPECT_EQ(fixture->GetGroupOrder(), (std::vector<uint32_t>{0, 1, 2, 3})) << count;
    }
    EXPECT_EQ(fixture->ActivateNextGroup(), 3);
    EXPECT_EQ(Child<ISpyItem>(fixture, L"bell")->GetState(), ITEM_ACTIVE);
    EXPECT_EQ(fixture->ActivateNextGroup(), 2);
    EXPECT_EQ(fixture->ActivateNextGroup(), 1);
    EXPECT_EQ(fixture->ActivateNextGroup(), 0);
    EXPECT_EQ(Child<ISpyItem>(fixture, L"key")->GetState(), ITEM_ACTIVE);
    EXPECT_EQ(Child<ISpyItem>(fixture, L"hammer")->GetState(), ITEM_ACTIVE);
    EXPECT_EQ(fixture->ActivateNextGroup(), -1);
    EXPECT_FALSE(fixture->IsComplete()) << "items still active";
}

TEST_F(Groups, TooLittleRoomShufflesOnlyTheSingleItemTailAndCutsIt)
{
    ISpyBoard* plain = BoardOf({L"x", L"x", L"y", L"", L"", L"", L"", L"", L"", L""});
    plain->BuildGroups();
    ASSERT_EQ(plain->GetGroupCount(), 9u); // [i0,i1] [i2] then seven singles
    // [i2] is a group of one: the shuffled tail starts there.
    std::srand(7);
    plain->ChooseGroups(5);
    const std::vector<uint32_t> first = plain->GetGroupOrder();
    ASSERT_EQ(first.size(), 5u);
    EXPECT_EQ(first[0], 0u) << "the group of two keeps its place";
    std::vector<uint32_t> seen(first.begin() + 1, first.end());
    for (uint32_t index : seen)
        EXPECT_TRUE(index >= 1 && index < 9) << index;
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end()) << "no group twice";

    std::srand(7);
    plain->ChooseGroups(5);
    EXPECT_EQ(plain->GetGroupOrder(), first) << "the same seed gives the same choice";

    bool differs = false;
    for (unsigned seed = 1; seed < 20 && !differs; ++seed)
    {
        std::srand(seed);
        plain->ChooseGroups(5);
        differs = plain->GetGroupOrder() != first;
    }
    EXPECT_TRUE(differs) << "the seed matters";

    plain->ChooseGroups(0);
    EXPECT_TRUE(plain->GetGroupOrder().empty());
    EXPECT_EQ(plain->ActivateNextGroup(), -1);
}

TEST_F(Groups, GroupIndicesOutsideTheGroupsGiveEmptyLists)
{
    ISpyBoard* plain = BoardOf({L"a", L""});
    plain->BuildGroups();
    EXPECT_TRUE(plain->GetGroup(-1).empty());
    EXPECT_TRUE(plain->GetGroup(2).empty());
    EXPECT_TRUE(plain->GetGroup(INT32_MIN).empty());
    EXPECT_EQ(Names(plain->GetGroup(1)), "i1");
    ISpyBoard* none = BoardOf({});
    none->BuildGroups();
    none->ChooseGroups(3);
    EXPECT_EQ(none->GetGroupCount(), 0u);
    EXPECT_TRUE(none->IsComplete());
}

} // namespace

} // namespace BoardTest
