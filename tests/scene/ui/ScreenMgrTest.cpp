// The screen manager: "_dialogs", showing an existing name, the open stack and drawing order, the
// top modal screen, the closing list, game events, its script methods, and screens that go
// another way than through the manager.
#include "tests/scene/widgets/WidgetFixture.h"

namespace WidgetTest
{

// A screen that records the game events it hears.
class EventScreen : public Screen
{
    TARN_RCLASS(EventScreen)
public:
    void OnGameEvent(const std::wstring& event, const std::wstring& value) override
    {
        log->push_back(name + L":" + event + L"=" + value);
    }
    std::vector<std::wstring>* log = nullptr;
};
TARN_IMPLEMENT_RINSTANCECLASS(EventScreen, Screen, RObjectFactory<EventScreen>, L"EventScreen", nullptr)

namespace
{

class ScreenManager : public WidgetFixture
{
protected:
    Instance_Movie* Dialogs() { return RObjectCast<Instance_Movie>(screens->GetDialogsHandle().GetInstance()); }
    Screen* Show(const std::wstring& name, bool modal, const std::wstring& className = L"Screen")
    {
        return RObjectCast<Screen>(screens->ShowScreen(L"", className, name, true, modal).GetInstance());
    }
};

TEST_F(ScreenManager, DialogsIsAnEmptyMovieUnderTheRoot)
{
    Instance_Movie* dialogs = Dialogs();
    ASSERT_NE(dialogs, nullptr);
    EXPECT_EQ(dialogs->name, L"_dialogs");
    EXPECT_TRUE(dialogs->parent == root->movieHandle);
    EXPECT_EQ(dialogs->GetEventHandler(), static_cast<IInstanceEventHandler*>(screens.get()));
    dialogs->SetVisible(false);
    screens->OnLoad(dialogs->movieHandle);
    EXPECT_TRUE(dialogs->visible);
    EXPECT_NE(Global("g_ScreenMgr2"), "nil");
}

TEST_F(ScreenManager, ShowingAnExistingNameReturnsItWithoutOpeningItAgain)
{
    Screen* a = Show(L"A", false);
    ASSERT_NE(a, nullptr);
    TakeSounds();
    const InstanceHandle again = screens->ShowScreen(L"", L"Screen", L"A", true, true);
    EXPECT_TRUE(again == a->movieHandle);
    EXPECT_FALSE(a->eatsMouse) << "not opened again";
    EXPECT_TRUE(TakeSounds().empty());

    a->Close(false); // closing, not yet deleted
    EXPECT_TRUE(screens->ShowScreen(L"", L"Screen", L"A", true, false) == a->movieHandle);
    EXPECT_TRUE(screens->GetOpenScreens().empty());

    EXPECT_FALSE(screens->ShowScreen(L"missing", L"", L"", true, false).IsValid()) << "no such definition";
}

TEST_F(ScreenManager, ReopeningBringsAScreenToTheTopAndTheFront)
{
    Screen* a = Show(L"A", false);
    Screen* b = Show(L"B", false);
    EXPECT_EQ(screens->GetOpenScreens(), (std::vector<Screen*>{a, b}));
    EXPECT_EQ(Dialogs()->drawOrder.back(), b);
    a->Open(false);
    EXPECT_EQ(screens->GetOpenScreens(), (std::vector<Screen*>{b, a}));
    EXPECT_EQ(Dialogs()->drawOrder.back(), a);
    EXPECT_EQ(screens->FindScreen(L"B"), b);
    EXPECT_EQ(screens->FindScreen(L"C"), nullptr);

    Instance_Movie* later = Movie(root, L"later");
    EXPECT_EQ(root->drawOrder.back(), later);
    b->Open(false);
    EXPECT_EQ(root->drawOrder.back(), Dialogs()) << "the dialogs come to the front of the root";
}

TEST_F(ScreenManager, TheTopModalScreenWhileADialogIsOpenAndAfterItsFade)
{
    Screen* menu = Show(L"menu", false);
    EXPECT_EQ(screens->GetTopModalScreen(), nullptr);
    Screen* dialog = Show(L"dialog", true);
    EXPECT_EQ(screens->GetTopModalScreen(), dialog);
    EXPECT_TRUE(screens->CloseScreen(L"dialog", true));
    EXPECT_FALSE(screens->CloseScreen(L"nothing", true));
    EXPECT_EQ(screens->GetTopModalScreen(), dialog) << "fading out, still on the stack";
    screens->Update();
    EXPECT_EQ(screens->GetTopModalScreen(), nullptr);
    EXPECT_EQ(screens->GetOpenScreens(), std::vector<Screen*>{menu});
}

TEST_F(ScreenManager, AClosingScreenIsSteppedWhileItFadesAndDeletedAfter)
{
    Screen* dialog = Show(L"dialog", true);
    Instance_Movie* back = Movie(dialog, L"back");
    dialog->backdrop = back->movieHandle;
    dialog->SetOpacity(0.2f);
    dialog->Close(false);
    EXPECT_EQ(screens->GetClosingScreens(), std::vector<Screen*>{}) << "still open while it fades";
    screens->Update(); // 0.1
    screens->Update(); // 0.0
    screens->Update(); // closed: handed to the closing list
    ASSERT_EQ(screens->GetClosingScreens(), std::vector<Screen*>{dialog});
    EXPECT_TRUE(dialog->movieHandle.IsValid());
    screens->Update();
    EXPECT_TRUE(screens->GetClosingScreens().empty());
    EXPECT_TRUE(Dialogs()->children.empty()) << "removed, to be deleted at the end of the dialogs' update";
}

TEST_F(ScreenManager, GameEventsReachTheOpenScreensBottomFirst)
{
    std::vector<std::wstring> log;
    EventScreen::StaticClass();
    auto* lower = RObjectCast<EventScreen>(screens->ShowScreen(L"", L"EventScreen", L"lower", false, false).GetInstance());
    auto* upper = RObjectCast<EventScreen>(screens->ShowScreen(L"", L"EventScreen", L"upper", false, false).GetInstance());
    auto* gone = RObjectCast<EventScreen>(screens->ShowScreen(L"", L"EventScreen", L"gone", false, false).GetInstance());
    ASSERT_TRUE(lower && upper && gone);
    lower->log = upper->log = gone->log = &log;
    lower->Open(false);
    upper->Open(false);
    gone->Open(false);
    gone->Close(false);
    screens->NotifyScreens(L"PAUSE", L"1");
    EXPECT_EQ(log, (std::vector<std::wstring>{L"lower:PAUSE=1", L"upper:PAUSE=1"}));
}

TEST_F(ScreenManager, ScriptMethods)
{
    ASSERT_TRUE(Run("made = g_ScreenMgr2:CreateScreen(nil, 'x', true)"));
    EXPECT_EQ(Global("made"), "nil") << "three arguments do nothing";
    EXPECT_TRUE(Dialogs()->children.empty());
    ASSERT_TRUE(Run("made = g_ScreenMgr2:CreateScreen(nil, 'x', true, 1)"));
    EXPECT_TRUE(Dialogs()->children.empty());
    ASSERT_TRUE(Run("made = g_ScreenMgr2:CreateScreen(3, 'x', true, false)"));
    EXPECT_TRUE(Dialogs()->children.empty());

    Screen* screen = Show(L"x", false);
    ASSERT_TRUE(Run("made = g_ScreenMgr2:CreateScreen('', 'x', true, false) "
                    "closed = g_ScreenMgr2:CloseScreen('x', true) "
                    "missing = g_ScreenMgr2:CloseScreen(nil, true) "
                    "bad = g_ScreenMgr2:CloseScreen('x')"));
    EXPECT_NE(Global("made"), "nil");
    EXPECT_EQ(Global("closed"), "true");
    EXPECT_EQ(Global("missing"), "false");
    EXPECT_EQ(Global("bad"), "nil");
    EXPECT_EQ(screen->GetScreenState(), Screen::StateClosed);
}

TEST_F(ScreenManager, AScreenDeletedAnotherWayLeavesTheManager)
{
    Screen* a = Show(L"A", true);
    Screen* b = Show(L"B", false);
    b->Close(false);
    Dialogs()->RemoveAndQueueDelete(a);
    Dialogs()->RemoveAndQueueDelete(b);
    Dialogs()->DeletePending();
    EXPECT_TRUE(screens->GetOpenScreens().empty());
    EXPECT_TRUE(screens->GetClosingScreens().empty());
    EXPECT_EQ(screens->GetTopModalScreen(), nullptr);
    screens->Update();
    screens->NotifyScreens(L"SAVE", L"1");
}

TEST_F(ScreenManager, WithoutDialogsNothingOpens)
{
    Screen* loose = Make<Screen>(root, L"loose", L"screen");
    root->RemoveAndQueueDelete(Dialogs());
    EXPECT_FALSE(screens->ShowScreen(L"", L"Screen", L"A", true, false).IsValid());
    TakeSounds();
    loose->Open(true);
    EXPECT_TRUE(screens->GetOpenScreens().empty());
    EXPECT_TRUE(TakeSounds().empty());
    EXPECT_FLOAT_EQ(loose->opacity, 1.0f) << "untouched";
}

} // namespace
} // namespace WidgetTest
