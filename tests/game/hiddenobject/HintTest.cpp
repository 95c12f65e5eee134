// The hint procedure of the hidden-object screen: a single candidate, a selection with the shield,
// cancelling by the shield and by a right-click (once, though two handlers hear it), nothing to
// hint, an entry that has nothing left to hint, puzzle mode, and the end of a selection.
#include "engine/core/base/RandomGenerator.h"
#include "tests/game/hiddenobject/ScreenFixture.h"

namespace BoardTest
{
namespace
{

class HintFlow : public OpenScreenFixture
{
protected:
    void SetUp() override
    {
        OpenScreenFixture::SetUp();
        if (HasFatalFailure())
            return;
        list = screen->GetList();
        ASSERT_NE(list, nullptr);
        hint = Button(screen, L"btn_hint");
        ASSERT_NE(hint, nullptr);
        hint->SetTimeout(30.0f);
        Calls();
        Played();
    }

    // The hint button pressed as the player does.
    void PressHint() { Click(int(hint->GetX()) + 10, int(hint->GetY()) + 10); }
    Instance_Movie* Shield() { return RObjectCast<Instance_Movie>(screen->GetShield().GetInstance()); }
    int Count(const std::string& calls, const std::string& what)
    {
        int n = 0;
        for (size_t at = calls.find(what); at != std::string::npos; at = calls.find(what, at + 1))
            ++n;
        return n;
    }
    std::vector<HUDListEntry*> Offered()
    {
        std::vector<HUDListEntry*> out;
        for (HUDListEntry* entry : list->GetEntries())
            if (entry->IsOffered())
                out.push_back(entry);
        return out;
    }
    // Only the entries showing these groups keep their groups.
    void KeepGroups(std::initializer_list<int> entries)
    {
        screen->SelectGroups(4);
        std::vector<HUDListEntry*> all = list->GetEntries();
        for (size_t i = 0; i < all.size(); ++i)
            if (std::find(entries.begin(), entries.end(), int(i)) == entries.end())
            {
                for (ISpyItem* item : all[i]->GetItems())
                    item->SetState(ITEM_DISABLED);
                all[i]->SetGroup(-1);
                all[i]->Refresh();
            }
        Calls();
    }

    HUDList* list = nullptr;
    RechargableButton* hint = nullptr;
};

TEST_F(HintFlow, OneCandidateIsHintedWithoutTheShield)
{
    KeepGroups({0}); // the bell
    PressHint();
    EXPECT_EQ(Calls(), "HintButtonPressed; OnHint bell; HintUsed");
    EXPECT_FALSE(Shield()->visible);
    EXPECT_FALSE(list->IsSelecting());
    EXPECT_FALSE(hint->enabled);
    EXPECT_FALSE(hint->timerRunning) << "waits for OnHintProcessed";
    ASSERT_TRUE(Run("theScreen:OnHintProcessed()"));
    EXPECT_TRUE(hint->timerRunning);
    EXPECT_FLOAT_EQ(hint->remainingTime, 30.0f);
}

TEST_F(HintFlow, TwoCandidatesShowTheShieldAndThePickHints)
{
    KeepGroups({0, 1}); // bell and coin
    PressHint();
    EXPECT_EQ(Calls(), "HintButtonPressed");
    EXPECT_TRUE(Shield()->visible);
    EXPECT_TRUE(Shield()->eatingMouse);
    EXPECT_EQ(Offered().size(), 2u);
    EXPECT_EQ(Child<Instance_Text>(list->GetEntries()[0], L"item_name")->colour, HUDListEntry::ColourOffered);
    list->GetEntries()[1]->OnMouseEnter(list->GetEntries()[1]->handle);
    EXPECT_EQ(Child<Instance_Text>(list->GetEntries()[1], L"item_name")->colour, HUDListEntry::ColourOver);
    list->GetEntries()[1]->OnMouseLeave(list->GetEntries()[1]->handle);
    EXPECT_EQ(Child<Instance_Text>(list->GetEntries()[1], L"item_name")->colour, HUDListEntry::ColourOffered);

    list->GetEntries()[1]->OnMouseDown(list->GetEntries()[1]->handle, 0);
    EXPECT_EQ(Calls(), "OnHint coin; HintUsed");
    EXPECT_FALSE(Shield()->visible);
    EXPECT_TRUE(Offered().empty());
    EXPECT_FALSE(hint->enabled) << "the hint was spent";
}

TEST_F(HintFlow, ClickOnTheShieldCancelsOnceAndReArmsTheButton)
{
    KeepGroups({0, 1});
    PressHint();
    Calls();
    Played();
    MoveTo(500, 300); // the shield lies over the board
    Press();
    EXPECT_EQ(Calls(), "HintCancelled");
    EXPECT_FALSE(list->IsSelecting());
    EXPECT_TRUE(Shield()->visible) << "until the release";
    Release();
    EXPECT_EQ(Calls(), "") << "the release is no wrong click on the board";
    EXPECT_FALSE(Shield()->visible);
    EXPECT_FALSE(Shield()->eatingMouse);
    EXPECT_TRUE(hint->enabled);
    EXPECT_TRUE(hint->timerRunning);
    EXPECT_EQ(hint->remainingTime, 0.0f);
    EXPECT_TRUE(Played().empty()) << "silently";
}

TEST_F(HintFlow, TheShieldKeepsClicksFromTheItemsBehindIt)
{
    KeepGroups({0, 1}); // bell and coin
    ASSERT_EQ(Item(screen, L"bell")->GetState(), ITEM_ACTIVE);
    PressHint();
    Calls();
    Click(520, 120); // on the bell
    EXPECT_EQ(Item(screen, L"bell")->GetState(), ITEM_ACTIVE);
    EXPECT_EQ(Calls(), "HintCancelled");
    Click(520, 120);
    EXPECT_EQ(Item(screen, L"bell")->GetState(), ITEM_HIDDEN) << "without the shield the bell is found";
}

TEST_F(HintFlow, AShieldWhoseReleaseNeverCameGoesWithTheNextPress)
{
    KeepGroups({0, 1});
    PressHint();
    MoveTo(500, 300);
    Press();
    ASSERT_TRUE(Shield()->visible);
    // The release went elsewhere and was lost; the next press only takes the shield down.
    screen->OnMouseDown(screen->GetShield(), 0);
    EXPECT_FALSE(Shield()->visible);
    Calls();
    Release();
    Click(500, 300);
    EXPECT_EQ(Calls().find("HintCancelled"), std::string::npos);
}

TEST_F(HintFlow, RightClickOverTheListCancelsOnce)
{
    KeepGroups({0, 1});
    PressHint();
    Calls();
    Click(400, 700, 1); // over the list: both the list and the screen hear it
    const std::string calls = Calls();
    EXPECT_EQ(Count(calls, "HintCancelled"), 1) << calls;
    EXPECT_TRUE(hint->enabled);
    EXPECT_FALSE(list->IsSelecting());
    Click(400, 700, 1);
    EXPECT_EQ(Calls(), "") << "no selection, nothing to cancel";
}

TEST_F(HintFlow, NothingToHintShowsBoxOneAndCancels)
{
    screen->SelectGroups(4);
    ASSERT_TRUE(Run("moving = true"));
    for (const wchar_t* name : {L"key", L"hammer", L"cup", L"coin", L"bell"})
        Item(screen, name)->SetX(2000.0f);
    Calls();
    PressHint();
    EXPECT_EQ(Calls(), "HintButtonPressed; HintCancelled");
    const std::vector<UIMessageBox*> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]->GetId(), HOScreen::NothingToHintId);
    EXPECT_EQ(boxes[0]->GetListener(), nullptr);
    EXPECT_TRUE(hint->enabled);
    EXPECT_FALSE(Shield()->visible);
}

TEST_F(HintFlow, APickedEntryWithNothingToHintCancelsTheWholeHint)
{
    KeepGroups({0, 1});
    PressHint();
    Calls();
    HUDListEntry* coin = list->GetEntries()[1];
    // Found meanwhile, without the list hearing of it.
    for (ISpyItem* item : coin->GetItems())
        item->SetState(ITEM_HIDDEN);
    coin->OnMouseDown(coin->handle, 0);
    EXPECT_EQ(Calls(), "HintCancelled");
    EXPECT_TRUE(hint->enabled) << "not stuck for the rest of the level";
    EXPECT_FALSE(Shield()->visible);
}

TEST_F(HintFlow, EndingTheSelectionNeverHintsAgain)
{
    KeepGroups({0, 1});
    // The hint's script finds the item it points at: one entry with active items is left.
    ASSERT_TRUE(Run("hintHook = function(item) item:SetState(ITEM_HIDDEN) item:GetParent():OnItemFound(item) end"));
    PressHint();
    Calls();
    list->GetEntries()[0]->OnMouseDown(list->GetEntries()[0]->handle, 0);
    const std::string calls = Calls();
    EXPECT_EQ(Count(calls, "OnHint"), 1) << calls;
    EXPECT_EQ(Count(calls, "HintUsed"), 1) << calls;
    EXPECT_FALSE(Shield()->visible);
    EXPECT_FALSE(list->IsSelecting());
    Click(500, 300);
    EXPECT_EQ(Calls().find("HintCancelled"), std::string::npos) << "a click on the board after the selection";
}

TEST_F(HintFlow, PuzzleModeHintsADrawnActivePuzzleItem)
{
    ASSERT_TRUE(Run("theScreen:SetMode(2)"));
    for (const wchar_t* name : {L"lever", L"gear"})
        Child<BaseItem>(screen->GetBoard(), name)->SetState(ITEM_ACTIVE);
    RandomPool& pool = GetRandomPool();
    const RandomPool saved = pool;
    struct Case
    {
        uint32_t word;
        const char* expected;
    };
    // Two candidates: trunc(1 x r 2^-32) in single precision; a value that would round onto 1 is
    // kept inside, so the first is drawn.
    for (const Case& c : {Case{0x00000000u, "OnHint lever"}, Case{0x7FFFFFFFu, "OnHint lever"},
                          Case{0xFFFFFFC0u, "OnHint lever"}})
    {
        pool.index = 63;
        pool.words[0] = c.word;
        pool.words[3] = 0;
        Calls();
        screen->OnHintPressed();
        EXPECT_EQ(Calls(), c.expected) << std::hex << c.word;
    }
    // Inactive puzzle items are not candidates.
    Child<BaseItem>(screen->GetBoard(), L"lever")->SetState(ITEM_HIDDEN);
    pool.index = 63;
    pool.words[0] = 0;
    pool.words[3] = 0;
    screen->OnHintPressed();
    EXPECT_EQ(Calls(), "OnHint gear");
    EXPECT_TRUE(hint->enabled) << "the button is not touched in puzzle mode";
    pool = saved;
}

} // namespace
} // namespace BoardTest
