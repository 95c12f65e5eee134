// Tooltips: the hint manager's boxes (names, place next to the pointer, background size,
// lifetimes on the timer service, removal while timers run, instances deleted by other code)
// and the tracker that shows a hint after the pointer rests on a watched control, driven by
// pointer moves through the user interface and a clock the test advances.
#include "game/ui/HintTracker.h"
#include "tests/game/ui/DialogFixture.h"

namespace GameUiTest
{
namespace
{

// Text for these tests: 10 pixels a character, 20 high.
class TallText : public Instance_Text
{
    TARN_RCLASS(TallText)
public:
    MeasuredSize MeasureText(const std::wstring& part) override { return {int32_t(part.size()) * 10, 20}; }
};

} // namespace

TARN_IMPLEMENT_RCLASS(TallText, Instance_Text, RObjectFactory<TallText>)

namespace
{

class TooltipTest : public DialogFixture
{
protected:
    void SetUp() override
    {
        DialogFixture::SetUp();
        tallText = std::make_unique<DefinitionTest::ScopedClassName>("TextureText", TallText::StaticClass());
    }

    void TearDown() override
    {
        tallText.reset();
        DialogFixture::TearDown();
    }

    Instance_Base* RootChild(const std::wstring& name) { return root->FindChildByPath(name).GetInstance(); }

    const HintManager::Hint* HintOf(int32_t id)
    {
        const auto found = hints->GetHints().find(id);
        return found == hints->GetHints().end() ? nullptr : found->second.get();
    }

    // Ticks of 16 ms until the hint has gone; the milliseconds that took, or -1 after 10 s.
    int MsUntilGone(int32_t id)
    {
        for (int ms = 16; ms <= 10000; ms += 16)
        {
            Tick();
            if (!HintOf(id))
                return ms;
        }
        return -1;
    }

    std::unique_ptr<DefinitionTest::ScopedClassName> tallText;
};

TEST_F(TooltipTest, TheFirstHintIsOneAndItsInstancesAreNamedFromZero)
{
    MoveTo(100, 100);
    EXPECT_EQ(hints->AddHint(L"first", 0.0f), 1);
    EXPECT_EQ(hints->AddHint(L"second", 0.0f), 2);
    const HintManager::Hint* hint = HintOf(1);
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->textMovie.GetInstance(), RootChild(L"text_hint_0"));
    EXPECT_EQ(hint->background.GetInstance(), RootChild(L"text_hint_bkg_0"));
    EXPECT_NE(RootChild(L"text_hint_1"), nullptr);
    auto* text = RObjectCast<Instance_Text>(Instance_Movie::GetMyText(hint->textMovie).GetInstance());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text, L"first");
    EXPECT_EQ(text->textFormat, uint32_t(eTextFormatCenter));
    EXPECT_EQ(text->boxWidth, 50);
    EXPECT_EQ(text->boxHeight, 20);
    // The hint lies in front of what was there before it, its text in front of its background.
    const std::vector<Instance_Base*>& order = root->drawOrder;
    EXPECT_EQ(order.back(), RootChild(L"text_hint_1"));
    EXPECT_EQ(order[order.size() - 2], RootChild(L"text_hint_bkg_1"));
}

TEST_F(TooltipTest, AHintKeepsClearOfTheRightAndBottomEdges)
{
    struct Case
    {
        int mx, my;
        float x, y;
    };
    // A text of 100 x 20 ("0123456789").
    const Case cases[] = {
        {915, 300, 915, 355}, {916, 300, 916, 355}, {917, 300, 916, 355}, {1000, 300, 916, 355},
        {10, 684, 10, 739},   {10, 685, 10, 655},   {10, 767, 10, 737},   {0, 0, 0, 55},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.mx << ", " << c.my);
        MoveTo(c.mx, c.my);
        const HintManager::Hint* hint = HintOf(hints->AddHint(L"0123456789", 0.0f));
        ASSERT_NE(hint, nullptr);
        Instance_Base* movie = hint->textMovie.GetInstance();
        Instance_Base* back = hint->background.GetInstance();
        EXPECT_FLOAT_EQ(movie->x, c.x);
        EXPECT_FLOAT_EQ(movie->y, c.y);
        EXPECT_FLOAT_EQ(back->x, c.x - 5);
        EXPECT_FLOAT_EQ(back->y, c.y - 5);
        // The 20 x 20 background covers 110 x 30.
        EXPECT_FLOAT_EQ(back->scaleX, 5.5f);
        EXPECT_FLOAT_EQ(back->scaleY, 1.5f);
        EXPECT_FLOAT_EQ(back->ComputeWidth(false), 110.0f);
        EXPECT_FLOAT_EQ(back->ComputeHeight(false), 30.0f);
    }
}

TEST_F(TooltipTest, LifetimesRunOnTheTimerService)
{
    const int32_t forever = hints->AddHint(L"stays", 0.0f);
    const int32_t negative = hints->AddHint(L"stays too", -1.0f);
    const int32_t timed = hints->AddHint(L"goes", 2.0f);
    EXPECT_FALSE(HintOf(forever)->timer.IsValid());
    EXPECT_TRUE(HintOf(timed)->timer.IsValid());
    const int ms = MsUntilGone(timed);
    EXPECT_EQ(ms, 2000);
    EXPECT_EQ(RootChild(L"text_hint_2"), nullptr) << "its instances went with it";
    Tick(200);
    EXPECT_NE(HintOf(forever), nullptr);
    EXPECT_NE(HintOf(negative), nullptr);
}

TEST_F(TooltipTest, RemovedAndClearedHintsStopTheirTimers)
{
    const int32_t removed = hints->AddHint(L"a", 1.0f);
    const int32_t cleared = hints->AddHint(L"b", 1.0f);
    const InstanceHandle removedTimer = HintOf(removed)->timer;
    hints->RemoveHint(removed);
    hints->RemoveHint(removed); // again: nothing
    hints->RemoveHint(99);
    const InstanceHandle clearedTimer = HintOf(cleared)->timer;
    hints->Clear();
    EXPECT_TRUE(hints->GetHints().empty());
    Tick();
    EXPECT_FALSE(removedTimer.IsValid()) << "the service dropped it without firing";
    EXPECT_FALSE(clearedTimer.IsValid());
    // A manager that goes with timed hints is never called afterwards (the sanitizers watch).
    auto other = std::make_unique<HintManager>();
    EXPECT_EQ(HintManager::Get(), other.get());
    other->AddHint(L"c", 0.5f);
    other.reset();
    EXPECT_EQ(HintManager::Get(), hints.get());
    Tick(100);
    EXPECT_EQ(hints->GetLastId(), 2);
}

TEST_F(TooltipTest, ATextMovieWithoutMyTextStillGetsItsIdAndLifetime)
{
    LoadDialogs("<D><Definition type=\"movie\" name=\"text_hint\" length=\"1\" fps=\"30\"/></D>");
    MoveTo(500, 500);
    const int32_t id = hints->AddHint(L"nothing to show", 1.0f);
    EXPECT_EQ(id, 1);
    const HintManager::Hint* hint = HintOf(id);
    ASSERT_NE(hint, nullptr);
    ASSERT_NE(hint->textMovie.GetInstance(), nullptr);
    EXPECT_FLOAT_EQ(hint->textMovie.GetInstance()->x, 0.0f) << "not placed";
    EXPECT_FLOAT_EQ(hint->background.GetInstance()->scaleX, 1.0f) << "not scaled";
    EXPECT_EQ(MsUntilGone(id), 1008);
}

TEST_F(TooltipTest, InstancesDeletedByOtherCodeAreNoFault)
{
    const int32_t first = hints->AddHint(L"a", 0.0f);
    const int32_t second = hints->AddHint(L"b", 1.0f);
    for (int32_t id : {first, second})
    {
        HintOf(id)->textMovie.GetInstance()->Delete(true);
        HintOf(id)->background.GetInstance()->Delete(true);
    }
    Tick(2);
    hints->RemoveHint(first);
    hints->Clear();
    Tick(100);
    EXPECT_TRUE(hints->GetHints().empty());
}

// ---- The tracker.

class TrackerTest : public TooltipTest
{
protected:
    void SetUp() override
    {
        TooltipTest::SetUp();
        // Two 100 x 40 controls side by side, and one further away.
        a = Create(root, L"w_plain_face", L"a", 100, 100);
        b = Create(root, L"w_plain_face", L"b", 200, 100);
        c = Create(root, L"w_plain_face", L"c", 100, 300);
        tracker = std::make_unique<HintTracker>();
        tracker->AddControl(a->handle, L"about a");
        tracker->AddControl(b->handle, L"about b");
        tracker->AddControl(c->handle, L"about c");
    }

    void TearDown() override
    {
        tracker.reset();
        TooltipTest::TearDown();
    }

    void Updates(int count)
    {
        for (int i = 0; i < count; ++i)
            tracker->Update();
    }

    // The texts of the hints on screen.
    std::vector<std::wstring> Shown()
    {
        std::vector<std::wstring> texts;
        for (const auto& [id, hint] : hints->GetHints())
        {
            auto* text = RObjectCast<Instance_Text>(Instance_Movie::GetMyText(hint->textMovie).GetInstance());
            texts.push_back(text ? text->text : L"?");
        }
        return texts;
    }

    Instance_Movie* a = nullptr;
    Instance_Movie* b = nullptr;
    Instance_Movie* c = nullptr;
    std::unique_ptr<HintTracker> tracker;
};

TEST_F(TrackerTest, RestingTwentyUpdatesShowsOneHintForTwoSeconds)
{
    MoveTo(150, 120);
    tracker->Update(); // rests on a
    EXPECT_EQ(tracker->GetCurrentControl(), a->handle);
    Updates(19);
    EXPECT_TRUE(Shown().empty());
    tracker->Update();
    EXPECT_EQ(Shown(), (std::vector<std::wstring>{L"about a"}));
    const int32_t id = tracker->GetShownHint();
    // The mouse stays; the hint goes after its lifetime and no other comes.
    int ms = 0;
    for (; ms < 5000 && HintOf(id); ms += 16)
    {
        Tick();
        tracker->Update();
    }
    EXPECT_EQ(ms, 2000);
    Updates(100);
    EXPECT_TRUE(Shown().empty());
}

TEST_F(TrackerTest, LeavingBeforeTheTwentiethUpdateShowsNothing)
{
    MoveTo(150, 120);
    Updates(10);
    MoveTo(600, 600);
    Updates(30);
    EXPECT_TRUE(Shown().empty());
    EXPECT_FALSE(tracker->GetCurrentControl().IsValid());
}

TEST_F(TrackerTest, AControlThatCannotBeSeenGetsNoTooltip)
{
    c->SetOpacity(0.0f);
    MoveTo(150, 320);
    Updates(50);
    EXPECT_TRUE(Shown().empty());
    EXPECT_FALSE(tracker->GetCurrentControl().IsValid());
}

TEST_F(TrackerTest, AControlAddedTwiceKeepsItsLatestTextAtTheEnd)
{
    tracker->AddControl(a->handle, L"newer");
    ASSERT_EQ(tracker->GetControls().size(), 3u);
    EXPECT_EQ(tracker->GetControls()[0].first, b->handle);
    EXPECT_EQ(tracker->GetControls()[2].first, a->handle);
    EXPECT_EQ(tracker->GetControls()[2].second, L"newer");
    tracker->RemoveControl(b->handle);
    EXPECT_EQ(tracker->GetControls().size(), 2u);
    tracker->AddControl(InstanceHandle{}, L"nothing");
    EXPECT_EQ(tracker->GetControls().size(), 2u);
}

TEST_F(TrackerTest, MovingToTheNextControlPassesThroughNone)
{
    MoveTo(150, 120);
    Updates(21);
    EXPECT_EQ(Shown(), (std::vector<std::wstring>{L"about a"}));
    MoveTo(250, 120);
    tracker->Update();
    EXPECT_FALSE(tracker->GetCurrentControl().IsValid());
    tracker->Update();
    EXPECT_EQ(tracker->GetCurrentControl(), b->handle);
    Updates(20);
    // One tracker shows one hint: a's went when b's came.
    EXPECT_EQ(Shown(), (std::vector<std::wstring>{L"about b"}));
}

TEST_F(TrackerTest, ADeletedControlIsDroppedWithoutFault)
{
    MoveTo(150, 120);
    Updates(5);
    a->Delete(true);
    Tick(2);
    Updates(30);
    EXPECT_FALSE(tracker->GetCurrentControl().IsValid());
    EXPECT_EQ(tracker->GetControls().size(), 2u);
    // Deleted while the tracker looks for one.
    MoveTo(600, 600);
    tracker->Update();
    b->Delete(true);
    Tick(2);
    Updates(2);
    EXPECT_EQ(tracker->GetControls().size(), 1u);
    EXPECT_TRUE(Shown().empty());
}

TEST_F(TrackerTest, ScriptsDriveTheirOwnTracker)
{
    SetGlobal("a", a);
    ASSERT_TRUE(Run("tracker = Make('HintTracker')() "
                    "tracker:AddControl(a, 'Gr\\195\\188\\195\\159e') "
                    "tracker:AddControl(a) "
                    "tracker:AddControl('a', 'x') "
                    "tracker:AddControl(g_UserInterface, 'not a movie') "
                    "tracker:AddControl() "));
    lua_getglobal(lua.GetState(), "tracker");
    auto* scripted = LuaGetObjectArg<HintTracker>(lua.GetState(), -1);
    lua_pop(lua.GetState(), 1);
    ASSERT_NE(scripted, nullptr);
    ASSERT_EQ(scripted->GetControls().size(), 1u);
    EXPECT_EQ(scripted->GetControls()[0].second, L"Grüße");
    MoveTo(150, 120);
    ASSERT_TRUE(Run("for i = 1, 21 do tracker:Update() end"));
    EXPECT_EQ(Shown(), (std::vector<std::wstring>{L"Grüße"}));
    ASSERT_TRUE(Run("tracker:RemoveControl('a') tracker:RemoveControl() tracker:RemoveControl(g_UserInterface)"));
    EXPECT_EQ(scripted->GetControls().size(), 1u) << "wrong arguments remove nothing";
    ASSERT_TRUE(Run("tracker:RemoveControl(a)"));
    EXPECT_TRUE(scripted->GetControls().empty());
}

} // namespace
} // namespace GameUiTest
