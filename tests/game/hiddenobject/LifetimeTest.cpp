// Scripts and subscribers that delete items, puzzle items and the board from inside the board's own
// calls, and delegates that subscribe and unsubscribe while their list emits. Run under the address
// sanitizer, these show that nothing reaches freed memory.
#include "tests/game/hiddenobject/BoardFixture.h"

#include <memory>

namespace BoardTest
{

namespace
{

class Lifetimes : public BoardFixture
{
protected:
    void SetUp() override
    {
        BoardFixture::SetUp();
        board = MakeBoard();
        ASSERT_NE(board, nullptr);
        boardAlive = board;
        board->SetFrozen(true); // its timeline children may be deleted by name
        board->hiddenObjectMode = true;
        board->BuildGroups();
        board->ChooseGroups(10);
        board->ActivateNextGroup();
        Calls();
    }

    // Everything that walks the board's lists, after the frames that free what was deleted.
    void UseTheBoard()
    {
        Frames(2);
        ISpyBoard* live = static_cast<ISpyBoard*>(boardAlive.Get());
        if (!live)
            return;
        live->UpdateCursor();
        (void)live->IsComplete();
        (void)live->AreAllLettersFound();
        for (int32_t i = 0; i < 6; ++i)
            (void)live->GetGroup(i);
        live->ChooseGroups(10);
        while (live->ActivateNextGroup() >= 0)
        {
        }
        std::wstring name;
        std::vector<int32_t> order;
        std::vector<ItemState> saved;
        live->SaveStateParts(name, order, saved);
        live->LoadStateParts(order, saved);
        live->OnWordGuessed();
        Click(50, 700);
        Frames(1);
    }

    ISpyBoard* board = nullptr;
    WeakPtr<Instance_Movie> boardAlive;
};

TEST_F(Lifetimes, ItemsDeletedWhileTheyAreFound)
{
    ASSERT_TRUE(Run("foundHook = function(item) item:DeleteSelf() end"));
    Click(520, 120); // the bell, the active group
    EXPECT_EQ(Calls(), "OnFound bell hidden; ItemFound bell");
    UseTheBoard();
    ASSERT_TRUE(boardAlive.IsAlive());
    EXPECT_EQ(board->GetItems().size(), 4u) << "the deleted item left the list";
    EXPECT_EQ(Child(board, L"bell"), nullptr);
}

TEST_F(Lifetimes, TheBoardDeletedFromInsideAFindOrItsEvents)
{
    for (const char* script :
         {"foundHook = function(item) board:DeleteSelf() end",
          "eventHook = function(name) if name == 'ItemFound' then board:DeleteSelf() end end",
          "eventHook = function(name) if name == 'LetterFound' then board:DeleteSelf() end end",
          "eventHook = function(name) if name == 'ISpyLoaded' then board:DeleteSelf() end end",
          "afterLoadHook = function(self) self:DeleteSelf() end"})
    {
        SCOPED_TRACE(script);
        if (!boardAlive.IsAlive())
        {
            board = MakeBoard();
            ASSERT_NE(board, nullptr);
            boardAlive = board;
        }
        ASSERT_TRUE(Run("foundHook = nil eventHook = nil afterLoadHook = nil"));
        ASSERT_TRUE(Run(script));
        if (std::string(script).find("ISpyLoaded") != std::string::npos ||
            std::string(script).find("afterLoad") != std::string::npos)
        {
            board->Delete(false);
            Frames(1);
            board = MakeBoard(); // deleted by its own attach
        }
        else
        {
            Child<ISpyItem>(board, L"bell")->SetState(ITEM_ACTIVE);
            Child<ISpyItem>(board, L"letter_a")->SetState(ITEM_ACTIVE);
            Click(520, 120);
            Click(110, 610);
        }
        UseTheBoard();
        Frames(1);
        EXPECT_FALSE(boardAlive.IsAlive());
        ASSERT_TRUE(Run("foundHook = nil eventHook = nil afterLoadHook = nil"));
        Calls();
    }
}

TEST_F(Lifetimes, PuzzleItemsDeletedWhenPickedOrDropped)
{
    PuzzleItem* lever = Child<PuzzleItem>(board, L"lever");
    PuzzleItem* gear = Child<PuzzleItem>(board, L"gear");
    lever->SetState(ITEM_ACTIVE);
    gear->SetState(ITEM_ACTIVE);
    ASSERT_TRUE(Run("dropHook = function(self, item) item:DeleteSelf() return true end"));
    MoveTo(620, 320);
    Press();
    MoveTo(720, 330);
    Frames(1);
    Release();
    EXPECT_EQ(Calls(), "OnPicked lever []; OnDropped lever [gear]");
    UseTheBoard();
    EXPECT_EQ(board->GetPuzzleItems().size(), 1u);

    ASSERT_TRUE(Run("dropHook = nil pickHook = function(self, item) item:DeleteSelf() end"));
    MoveTo(720, 320);
    Press();
    MoveTo(300, 700);
    Frames(1);
    Release();
    UseTheBoard();
    EXPECT_TRUE(board->GetPuzzleItems().empty());

    // The board itself from a drop and from a pick.
    board->Delete(false);
    Frames(1);
    for (const char* script :
         {"pickHook = nil dropHook = function(self, item) self:DeleteSelf() return false end",
          "dropHook = nil pickHook = function(self, item) self:DeleteSelf() end"})
    {
        SCOPED_TRACE(script);
        board = MakeBoard();
        ASSERT_NE(board, nullptr);
        boardAlive = board;
        board->SetFrozen(true);
        Child<PuzzleItem>(board, L"lever")->SetState(ITEM_ACTIVE);
        ASSERT_TRUE(Run(script));
        MoveTo(620, 320);
        Press();
        MoveTo(640, 340);
        Frames(1);
        Release();
        UseTheBoard();
        EXPECT_FALSE(boardAlive.IsAlive());
    }
}

// Items a script makes are in no display tree (nothing adopts them), so nothing in the engine deletes
// them: they go with the script state that holds their tables. The tree goes first, as at the
// engine's exit; the leak check of the sanitizer build would report any item left over.
TEST(ScriptMadeItems, GoWithTheScriptStateAndNeverWithTheTree)
{
    RegisterHiddenObjectBoardClasses();
    std::vector<WeakPtr<Instance_Movie>> loose;
    WeakPtr<Instance_Movie> adopted;
    {
        LuaMgr lua;
        ASSERT_TRUE(lua.Init());
        lua_State* state = lua.GetState();
        {
            UserInterface ui(nullptr, nullptr);
            ASSERT_TRUE(ui.Init());
            auto* board = RObjectCast<ISpyBoard>(
                Instance_Movie::CreateInstanceByClassName(ui.GetRoot(), L"", L"board", L"ISpyBoard").GetInstance());
            auto* child = RObjectCast<ISpyItem>(
                Instance_Movie::CreateInstanceByClassName(board, L"", L"child", L"ISpyItem").GetInstance());
            ASSERT_NE(board, nullptr);
            ASSERT_NE(child, nullptr);
            adopted = child;
            for (auto [name, instance] : {std::pair{"board", static_cast<Instance_Base*>(board)},
                                          std::pair{"child", static_cast<Instance_Base*>(child)}})
            {
                ASSERT_TRUE(PushInstanceTable(instance));
                lua_setglobal(state, name);
            }
            ASSERT_TRUE(lua.DoString(std::string(
                "loose = { Make('BaseItem')(), Make('ISpyItem')(), Make('PuzzleItem')(), Make('ISpyItem')(),"
                "          Make('ISpyItem')() }\n"
                "board:AddItem(loose[2]) board:AddPuzzleItem(loose[3]) board:AddLetter(loose[4])\n"
                "board:AddItem(child)")));
            lua_getglobal(state, "loose");
            for (int i = 1; i <= 5; ++i)
            {
                lua_rawgeti(state, -1, i);
                loose.emplace_back(LuaGetObjectArg<BaseItem>(state, -1));
                lua_pop(state, 1);
            }
            lua_pop(state, 1);
            // The script lets go of one: an engine-owned object stays until the engine deletes it.
            ASSERT_TRUE(lua.DoString(std::string("loose[5]:_Release() loose[5] = nil collectgarbage('collect')")));
            for (const WeakPtr<Instance_Movie>& item : loose)
                ASSERT_TRUE(item.IsAlive());
            EXPECT_EQ(board->GetItems().size(), 2u);
        }
        EXPECT_FALSE(adopted.IsAlive()) << "the tree's own item goes with the tree";
        for (const WeakPtr<Instance_Movie>& item : loose)
            EXPECT_TRUE(item.IsAlive()) << "no tree ever held it";
    }
    for (const WeakPtr<Instance_Movie>& item : loose)
        EXPECT_FALSE(item.IsAlive()) << "the script state that made it has closed";
}

// A subscriber that changes the list it is called from.
class Subscriber
{
public:
    using List = DelegateList<IDelegate1<void, int>>;
    void Count(int) { ++calls; }
    void AppendAnother(int)
    {
        ++calls;
        list->Append(new MethodDelegate1<Subscriber, void, int>(other, &Subscriber::Count));
    }
    void RemoveSelf(int)
    {
        ++calls;
        list->Remove(MethodDelegate1<Subscriber, void, int>(this, &Subscriber::RemoveSelf));
        ++calls; // still inside the removed delegate: it must not have been deleted
    }
    void RemoveOther(int)
    {
        ++calls;
        list->Remove(MethodDelegate1<Subscriber, void, int>(other, &Subscriber::Count));
    }
    void DestroyList(int)
    {
        ++calls;
        owner->reset();
    }

    int calls = 0;
    List* list = nullptr;
    Subscriber* other = nullptr;
    std::unique_ptr<List>* owner = nullptr;
};

TEST(DelegateLists, SubscribersChangeTheListWhileItEmits)
{
    using D = MethodDelegate1<Subscriber, void, int>;
    auto list = std::make_unique<Subscriber::List>();
    Subscriber appender, removed, remover, counted, self;
    for (Subscriber* s : {&appender, &removed, &remover, &counted, &self})
    {
        s->list = list.get();
        s->owner = &list;
    }
    appender.other = &counted;
    remover.other = &removed;
    list->Append(new D(&appender, &Subscriber::AppendAnother));
    list->Append(new D(&remover, &Subscriber::RemoveOther));
    list->Append(new D(&removed, &Subscriber::Count));
    list->Append(new D(&self, &Subscriber::RemoveSelf));
    list->Emit(1);
    EXPECT_EQ(appender.calls, 1);
    EXPECT_EQ(counted.calls, 0) << "appended during the emission: from the next one on";
    EXPECT_EQ(removed.calls, 0) << "removed before its turn: not called";
    EXPECT_EQ(self.calls, 2);
    EXPECT_EQ(list->Size(), 3u);
    list->Emit(2);
    EXPECT_EQ(counted.calls, 1);
    EXPECT_EQ(appender.calls, 2);
    EXPECT_EQ(self.calls, 2) << "removed itself: gone";
    EXPECT_EQ(list->Size(), 4u) << "each emission appends one more, none runs at once";

    EXPECT_TRUE(list->Remove(D(&counted, &Subscriber::Count)));
    EXPECT_FALSE(list->Remove(D(&counted, &Subscriber::AppendAnother)))
        << "equal means same object and method";

    Subscriber destroyer, after;
    destroyer.owner = &list;
    list->Append(new D(&destroyer, &Subscriber::DestroyList));
    list->Append(new D(&after, &Subscriber::Count));
    list->Emit(3);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(destroyer.calls, 1);
    EXPECT_EQ(after.calls, 0) << "the list went away: the rest of the walk is skipped";
}

class LateSubscriber
{
public:
    void Ready(ISpyBoard* board)
    {
        ++readyCalls;
        // As the letter row does from inside the screen's board-ready handler.
        board->boardLoadedEvent.Append(
            new MethodDelegate1<LateSubscriber, void, ISpyBoard*>(this, &LateSubscriber::Late));
    }
    void Late(ISpyBoard*) { ++lateCalls; }
    int readyCalls = 0;
    int lateCalls = 0;
};

TEST_F(Lifetimes, ASubscriberAddedInsideTheBoardLoadedEmissionRunsFromTheNextOne)
{
    auto* fresh = RObjectCast<ISpyBoard>(
        Instance_Movie::CreateChild(root, L"level_board", L"fresh", nullptr).GetInstance());
    ASSERT_NE(fresh, nullptr);
    LateSubscriber subscriber;
    fresh->boardLoadedEvent.Append(
        new MethodDelegate1<LateSubscriber, void, ISpyBoard*>(&subscriber, &LateSubscriber::Ready));
    Frames(1);
    EXPECT_EQ(subscriber.readyCalls, 1);
    EXPECT_EQ(subscriber.lateCalls, 0);
    EXPECT_EQ(fresh->boardLoadedEvent.Size(), 2u);
}

} // namespace

} // namespace BoardTest
