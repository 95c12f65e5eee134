// Input dispatch through the user interface's entry points, without a window: which instances
// the pointer reaches (the front one that eats the mouse hides the rest), enter, leave and over,
// presses and releases with their "outside" variant, the inspect gesture, keys and characters for
// the global key handlers, and handlers and scripts that delete instances while an event is being
// passed on. Handlers and scripts write into one log, so their order shows.
#include "engine/core/app/IWindowOwner.h"
#include "engine/core/app/Window.h"
#include "platform/window/ScriptedWindowSystem.h"
#include "tests/scene/display/DisplayFixture.h"

#include <clocale>
#include <functional>
#include <string>
#include <vector>

namespace SceneTest
{
namespace
{

std::vector<std::string>* g_log = nullptr;

// The script function note(text): appends to the test's log.
int note(lua_State* state)
{
    if (g_log && lua_isstring(state, 1))
        g_log->push_back(lua_tostring(state, 1));
    return 0;
}

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// Writes what the instance's handler receives into the log as "<name> <what>". The action runs
// last, so it may delete the instance and with it the handler.
struct RecordingHandler : IInstanceEventHandler
{
    void record(InstanceHandle handle, const std::string& what)
    {
        const Instance_Base* instance = handle.GetInstance();
        log->push_back((instance ? narrow(instance->name) : std::string("?")) + " " + what);
        if (action)
            action(what, handle);
    }
    void OnMouseEnter(InstanceHandle h) override { record(h, "enter"); }
    void OnMouseLeave(InstanceHandle h) override { record(h, "leave"); }
    void OnMouseOver(InstanceHandle h) override
    {
        if (recordOver)
            record(h, "over");
    }
    void OnMouseDown(InstanceHandle h, uint32_t b) override { record(h, "down " + std::to_string(b)); }
    void OnMouseUp(InstanceHandle h, uint32_t b) override { record(h, "up " + std::to_string(b)); }
    void OnMouseUpOutside(InstanceHandle h, uint32_t b) override { record(h, "up-outside " + std::to_string(b)); }
    void OnKeyDown(InstanceHandle h, uint32_t k) override { record(h, "key-down " + std::to_string(k)); }
    void OnKeyUp(InstanceHandle h, uint32_t k) override { record(h, "key-up " + std::to_string(k)); }
    void OnChar(InstanceHandle h, uint32_t c) override { record(h, "char " + std::to_string(c)); }

    std::vector<std::string>* log = nullptr;
    bool recordOver = false;
    std::function<void(const std::string& what, InstanceHandle handle)> action;
};

struct RecordingListener : IEventListener
{
    void OnEvent(const Event_Base& event) override
    {
        if (const auto* mouse = dynamic_cast<const Event_Mouse*>(&event))
            events.push_back(std::string(event.type == Event_Base::MouseDown ? "down " : "up ") +
                             std::to_string(mouse->button) + " held " + std::to_string(mouse->heldButtons) +
                             (mouse->ctrl ? " ctrl" : "") + (mouse->shift ? " shift" : "") + " at " +
                             std::to_string(mouse->x) + "," + std::to_string(mouse->y));
        else if (const auto* key = dynamic_cast<const Event_Key*>(&event))
            events.push_back(std::string(event.type == Event_Base::KeyDown ? "key-down " : "key-up ") +
                             std::to_string(key->key));
        if (action)
            action();
    }
    std::vector<std::string> events;
    std::function<void()> action;
};

class UserInterfaceInput : public DisplayFixture
{
protected:
    void SetUp() override
    {
        DisplayFixture::SetUp();
        g_log = &log;
        lua_register(lua.GetState(), "note", &note);
        // watch(t): every pointer and key event of the table goes into the log, with its argument.
        ASSERT_TRUE(Run(
            "events = {'OnMouseEnter', 'OnMouseLeave', 'OnLeftMouseDown', 'OnRightMouseDown', "
            "'OnMiddleMouseDown', 'OnLeftMouseUp', 'OnRightMouseUp', 'OnMiddleMouseUp', "
            "'OnLeftMouseUpOutside', 'OnRightMouseUpOutside', 'OnMiddleMouseUpOutside', 'OnCharDown', "
            "'OnKeyDown', 'OnKeyUp'} "
            "function watch(t) for _, e in ipairs(events) do t[e] = function(self, a) "
            "if a ~= nil then note(self:GetName() .. ' ' .. e .. ' [' .. tostring(a) .. ']') "
            "else note(self:GetName() .. ' ' .. e) end end end end"));
    }

    void TearDown() override
    {
        for (Instance_Movie* movie : handled)
            if (ui->instanceTable.Get(movie->handle.serial, movie->handle.index))
                movie->SetEventHandler(nullptr);
        DisplayFixture::TearDown();
        g_log = nullptr;
    }

    // A movie covering the rectangle, its script events watched and its handler recording.
    Instance_Movie* Watched(Instance_Movie* parent, const std::wstring& name, float x, float y, float width,
                            float height)
    {
        Instance_Movie* movie = Movie(parent, name, x, y);
        Extent(movie, width, height);
        SetGlobal("watched", movie);
        EXPECT_TRUE(Run("watch(watched)"));
        handlers.push_back(std::make_unique<RecordingHandler>());
        handlers.back()->log = &log;
        movie->SetEventHandler(handlers.back().get());
        handled.push_back(movie);
        return movie;
    }

    RecordingHandler& HandlerOf(Instance_Movie* movie) { return *static_cast<RecordingHandler*>(movie->eventHandler); }

    std::vector<std::string> Take()
    {
        std::vector<std::string> out;
        out.swap(log);
        return out;
    }

    std::string HitList()
    {
        EXPECT_TRUE(Run("local names = {} for i, t in ipairs(g_UserInterface.t_HitList) do names[i] = t:GetName() end "
                        "got = table.concat(names, ' ')"));
        return Global("got");
    }

    std::vector<std::string> log;
    std::vector<std::unique_ptr<RecordingHandler>> handlers;
    std::vector<Instance_Movie*> handled;
};

using Log = std::vector<std::string>;

TEST_F(UserInterfaceInput, TheFrontMovieThatEatsTheMouseIsTheOnlyOneReached)
{
    Instance_Movie* back = Watched(root, L"back", 0, 0, 100, 100);
    Instance_Movie* front = Watched(root, L"front", 20, 20, 50, 50);
    front->eatingMouse = true;

    ui->OnMouseMove(30, 30);
    EXPECT_EQ(HitList(), "front");
    ui->OnMouseDown(0, 0, 0);
    ui->OnMouseUp(0, 0, 0);
    EXPECT_EQ(Take(), (Log{"front enter", "front OnMouseEnter", "front down 0", "front OnLeftMouseDown",
                           "front up 0", "front OnLeftMouseUp"}));

    // Off the front one, the back one and the root are under the pointer.
    ui->OnMouseMove(10, 10);
    EXPECT_EQ(HitList(), "back root");
    EXPECT_EQ(Take(), (Log{"front leave", "front OnMouseLeave", "back enter", "back OnMouseEnter"}));
    EXPECT_EQ(ui->GetHovered(), (std::vector<InstanceHandle>{back->handle, root->handle}));

    // It stops eating: both are reached, the front one first; the back one is still hovered.
    front->eatingMouse = false;
    ui->OnMouseMove(30, 30);
    EXPECT_EQ(HitList(), "front back root");
    ui->OnMouseDown(0, 0, 0);
    EXPECT_EQ(Take(), (Log{"front enter", "front OnMouseEnter", "front down 0", "front OnLeftMouseDown",
                           "back down 0", "back OnLeftMouseDown"}));
    ui->OnMouseUp(0, 0, 0);
    Take();

    // Every refresh tells each hovered instance that the pointer is over it.
    HandlerOf(front).recordOver = true;
    HandlerOf(back).recordOver = true;
    ui->UpdateHitList(false);
    EXPECT_EQ(Take(), (Log{"front over", "back over"}));
    // The pointer leaves the window.
    ui->UpdateHitList(true);
    EXPECT_EQ(HitList(), "");
    EXPECT_EQ(Take(), (Log{"front leave", "front OnMouseLeave", "back leave", "back OnMouseLeave"}));
    EXPECT_TRUE(ui->GetHovered().empty());
}

TEST_F(UserInterfaceInput, ASwitchedOffMovieThatEatsTheMouseCutsTheListBehindIt)
{
    // back (0..100) behind; the blocker (10..90) with its input off; a panel inside the blocker;
    // front (40..60) in front of it all.
    Movie(root, L"back", 0, 0);
    Extent(root->children.back(), 100, 100);
    Instance_Movie* blocker = Movie(root, L"blocker", 10, 10);
    Extent(blocker, 80, 80);
    Instance_Movie* inner = Movie(blocker, L"inner", 0, 0);
    Extent(inner, 80, 80);
    Instance_Movie* front = Movie(root, L"front", 40, 40);
    Extent(front, 20, 20);
    struct Case
    {
        const char* name;
        std::function<void()> arrange;
        int x, y;
        const char* hits;
    };
    const Case cases[] = {
        {"in front of the blocker", [] {}, 50, 50, "front"},
        {"on the blocker alone", [] {}, 20, 20, ""},
        {"beside the blocker", [] {}, 5, 5, "back root"},
        {"blocker hidden", [&] { blocker->SetVisible(false); }, 50, 50, "front back root"},
        {"blocker that lets the mouse through", [&] { blocker->eatingMouse = false; }, 50, 50, "front back root"},
        {"blocker inside a switched-off movie", [&] { inner->eatingMouse = true; blocker->eatingMouse = false; },
         50, 50, "front back root"},
    };
    for (const Case& c : cases)
    {
        blocker->SetVisible(true);
        blocker->SetInputEnabled(false);
        blocker->eatingMouse = true;
        inner->eatingMouse = false;
        c.arrange();
        ui->OnMouseMove(c.x, c.y);
        std::string names;
        for (const InstanceHandle& hit : ui->GetHitList())
            names += (names.empty() ? "" : " ") + narrow(hit.GetInstance()->name);
        EXPECT_EQ(names, c.hits) << c.name;
    }
    (void)front;
}

TEST_F(UserInterfaceInput, AReleaseAwayFromAnInstanceLeftWithTheButtonHeldIsItsOutsideRelease)
{
    struct Case
    {
        const char* what;
        std::vector<std::pair<int, int>> moves; // after the press, before the release
        int pressButton;
        Log expected;
    };
    const Case cases[] = {
        {"left off and released elsewhere",
         {{150, 150}},
         0,
         {"target down 0", "target OnLeftMouseDown", "target leave", "target OnMouseLeave", "target up-outside 0",
          "target OnLeftMouseUpOutside"}},
        {"back over it before the release: a click",
         {{150, 150}, {5, 5}},
         0,
         {"target down 0", "target OnLeftMouseDown", "target leave", "target OnMouseLeave", "target enter",
          "target OnMouseEnter", "target up 0", "target OnLeftMouseUp"}},
        {"the middle button",
         {{150, 150}},
         2,
         {"target down 2", "target OnMiddleMouseDown", "target leave", "target OnMouseLeave", "target up-outside 2",
          "target OnMiddleMouseUpOutside"}},
    };
    Instance_Movie* target = Watched(root, L"target", 0, 0, 10, 10);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ui->OnMouseMove(5, 5);
        Take();
        ui->OnMouseDown(c.pressButton, 0, 0);
        for (const auto& [x, y] : c.moves)
            ui->OnMouseMove(x, y);
        ui->OnMouseUp(c.pressButton, 0, 0);
        EXPECT_EQ(Take(), c.expected);
        EXPECT_TRUE(ui->GetOutside(c.pressButton).empty());
    }

    // The press need not have begun on it: passing over it with the button held is enough.
    ui->OnMouseMove(150, 150);
    ui->OnMouseDown(0, 0, 0);
    ui->OnMouseMove(5, 5);
    ui->OnMouseMove(150, 150);
    ui->OnMouseUp(0, 0, 0);
    EXPECT_EQ(Take(), (Log{"target enter", "target OnMouseEnter", "target leave", "target OnMouseLeave",
                           "target up-outside 0", "target OnLeftMouseUpOutside"}));
    (void)target;
}

TEST_F(UserInterfaceInput, ButtonsReachListenersThenInstancesAndRepeatsAreIgnored)
{
    Watched(root, L"target", 0, 0, 10, 10);
    RecordingListener listener;
    ui->AddEventListener(&listener);
    ui->AddEventListener(&listener);
    ASSERT_TRUE(Run("function g_UserInterface:OnMouseUp(b) note('ui OnMouseUp [' .. b .. ']') end"));
    ui->OnMouseMove(5, 6);
    Take();

    ui->OnMouseDown(0, 0x0004, 0); // Shift held
    ui->OnMouseDown(0, 0, 0);      // a lost release: pressed again
    ui->OnMouseDown(1, 0, 0);      // a second button while the first is held names both
    ui->OnMouseUp(2, 0, 0);        // never pressed
    ui->OnMouseUp(1, 0, 0);
    ui->OnMouseUp(0, 0, 0);
    EXPECT_EQ(listener.events, (Log{"down 0 held 1 shift at 5,6", "down 1 held 3 at 5,6", "up 1 held 1 at 5,6",
                                    "up 0 held 0 at 5,6"}))
        << "each listener once, however often it was added";
    EXPECT_EQ(Take(), (Log{"target down 0", "target OnLeftMouseDown", "target down 1", "target OnLeftMouseDown",
                           "target OnRightMouseDown", "ui OnMouseUp [1]", "target up 1", "target OnRightMouseUp",
                           "ui OnMouseUp [0]", "target up 0", "target OnLeftMouseUp"}));

    // Buttons outside 0 to 2 are not buttons.
    ui->OnMouseDown(3, 0, 0);
    ui->OnMouseDown(-1, 0, 0);
    EXPECT_EQ(listener.events.size(), 4u);

    // An instance whose input is off is not under the pointer; a release over an instance is its
    // click, wherever the press was.
    ui->RemoveEventListener(&listener);
    Instance_Movie* target = handled[0];
    target->SetInputEnabled(false);
    ui->OnMouseDown(0, 0, 0);
    target->SetInputEnabled(true);
    ui->OnMouseUp(0, 0, 0);
    EXPECT_EQ(Take(), (Log{"target leave", "target OnMouseLeave", "target enter", "target OnMouseEnter",
                           "ui OnMouseUp [0]", "target up 0", "target OnLeftMouseUp"}));
}

TEST_F(UserInterfaceInput, ControlWithTheRightButtonInspectsInsteadOfPressing)
{
    Watched(root, L"target", 0, 0, 10, 10);
    RecordingListener listener;
    ui->AddEventListener(&listener);
    ASSERT_TRUE(Run("function g_UserInterface:OnMouseUp(b) note('ui OnMouseUp [' .. b .. ']') end"));
    ui->OnMouseMove(5, 5);
    Take();

    ui->OnMouseDown(1, 0x0008, 0);
    const std::vector<std::wstring>& lines = ConsoleLines();
    ASSERT_FALSE(lines.empty());
    size_t inspected = 0;
    for (const std::wstring& line : lines)
        if (line.rfind(L"-={", 0) == 0)
            ++inspected;
    EXPECT_EQ(inspected, 2u) << "the target and the root, both under the pointer";
    bool targetInspected = false;
    for (const std::wstring& line : lines)
        targetInspected = targetInspected || line.find(L"-={root.target}=-") != std::wstring::npos;
    EXPECT_TRUE(targetInspected);

    // Moving off with the button held would give an outside release; the gesture's end clears it.
    ui->OnMouseMove(150, 150);
    EXPECT_EQ(ui->GetOutside(1).size(), 2u) << "the target and the root";
    ui->OnMouseUp(1, 0x0008, 0);
    EXPECT_TRUE(ui->GetOutside(1).empty());
    EXPECT_EQ(Take(), (Log{"target leave", "target OnMouseLeave", "ui OnMouseUp [1]"}))
        << "no press, release or outside release for the instances";
    EXPECT_EQ(listener.events, (Log{"down 1 held 2 ctrl at 5,5", "up 1 held 0 ctrl at 150,150"}));
    ui->RemoveEventListener(&listener);
}

TEST_F(UserInterfaceInput, KeysGoToListenersThenToEveryGlobalHandlerInOrder)
{
    Instance_Movie* first = Watched(root, L"first", 0, 0, 10, 10);
    Instance_Movie* second = Watched(root, L"second", 0, 0, 10, 10);
    RecordingListener listener;
    ui->AddEventListener(&listener);
    SetGlobal("first", first);
    SetGlobal("second", second);
    // Added from a script, twice, and once with nothing to add.
    ASSERT_TRUE(Run("g_UserInterface:AddGlobalKeyInputHandler(second) g_UserInterface:AddGlobalKeyInputHandler(first) "
                    "g_UserInterface:AddGlobalKeyInputHandler(second) g_UserInterface:AddGlobalKeyInputHandler() "
                    "g_UserInterface.AddGlobalKeyInputHandler(first)"));
    EXPECT_EQ(ui->GetGlobalHandlers(), (std::vector<InstanceHandle>{second->handle, first->handle}));
    // A listener that looks at the log shows that it runs first.
    listener.action = [this] { log.push_back("listener"); };

    ui->OnKeyDown(0x41);
    EXPECT_EQ(Take(), (Log{"listener", "second OnCharDown [A]", "second OnKeyDown [65]", "second key-down 65",
                           "first OnCharDown [A]", "first OnKeyDown [65]", "first key-down 65"}));
    ui->OnKeyUp(0x0D);
    EXPECT_EQ(Take(), (Log{"listener", "second OnKeyUp [\r]", "second key-up 13", "first OnKeyUp [\r]",
                           "first key-up 13"}));
    // Characters go to the handlers only.
    ui->OnChar(0xE9);
    EXPECT_EQ(Take(), (Log{"second char 233", "first char 233"}));
    EXPECT_EQ(listener.events, (Log{"key-down 65", "key-up 13"}));
    ui->RemoveEventListener(&listener);

    // Keys never reach the instances under the pointer.
    ui->RemoveEventListener(&listener);
    Instance_Movie* hovered = Watched(root, L"hovered", 0, 0, 10, 10);
    ui->OnMouseMove(5, 5);
    Take();
    ui->OnKeyDown(0x20);
    for (const std::string& line : Take())
        EXPECT_NE(line.rfind("hovered", 0), 0u) << line;
    (void)hovered;
}

TEST_F(UserInterfaceInput, AKeyIsTextOnlyForCodesOneTo127WhateverTheLocale)
{
    struct Case
    {
        uint32_t key;
        bool text;
        std::string down; // what the scripts see of the press
        std::string up;   // and of the release
    };
    const Case cases[] = {
        {0x41, true, "h OnCharDown [A]|h OnKeyDown [65]", "h OnKeyUp [A]"},     // letters are capitals
        {0x0D, true, "h OnCharDown [\r]|h OnKeyDown [13]", "h OnKeyUp [\r]"}, // Enter
        {0x70, true, "h OnCharDown [p]|h OnKeyDown [112]", "h OnKeyUp [p]"},  // F1 shares its code with 'p'
        {0x7F, true, "h OnCharDown [\x7f]|h OnKeyDown [127]", "h OnKeyUp [\x7f]"},
        {0x00, false, "", "h OnKeyUp []"},
        {0x80, false, "", "h OnKeyUp []"},
        {0xBA, false, "", "h OnKeyUp []"},  // a punctuation key of the keyboard layout
        {0xE9, false, "", "h OnKeyUp []"},  // would be a letter in a Latin-1 locale
        {0x141, false, "", "h OnKeyUp []"}, // beyond a byte
    };
    // Whatever locale the process runs in.
    const char* locales[] = {"C", "C.UTF-8"};
    Instance_Movie* h = Watched(root, L"h", 0, 0, 10, 10);
    ui->AddGlobalHandler(h->handle);
    for (const char* locale : locales)
    {
        const bool applied = std::setlocale(LC_ALL, locale) != nullptr;
        for (const Case& c : cases)
        {
            SCOPED_TRACE(std::string(locale) + " " + std::to_string(c.key));
            ui->OnKeyDown(c.key);
            std::string scripts;
            for (const std::string& line : Take())
                if (line.find(" On") != std::string::npos)
                    scripts += (scripts.empty() ? "" : "|") + line;
            EXPECT_EQ(scripts, c.down);
            ui->OnKeyUp(c.key);
            scripts.clear();
            for (const std::string& line : Take())
                if (line.find(" On") != std::string::npos)
                    scripts += (scripts.empty() ? "" : "|") + line;
            EXPECT_EQ(scripts, c.up);
        }
        if (!applied)
            break;
    }
    std::setlocale(LC_ALL, "C");
}

// A movie's script makes it a global key handler of the user interface, once however often it asks.
TEST_F(UserInterfaceInput, AMoviesScriptMakesItAGlobalKeyHandler)
{
    Instance_Movie* h = Watched(root, L"h", 0, 0, 10, 10);
    SetGlobal("h", h);
    ASSERT_TRUE(Run("h:AddAsGlobalHandler() h:AddAsGlobalHandler() local add = h.AddAsGlobalHandler add({})"));
    ASSERT_EQ(ui->GetGlobalHandlers().size(), 1u);
    EXPECT_EQ(ui->GetGlobalHandlers()[0], h->handle);
    Take();
    ui->OnKeyDown(0x41);
    EXPECT_EQ(Take(), (std::vector<std::string>{"h OnCharDown [A]", "h OnKeyDown [65]", "h key-down 65"}));
}

TEST_F(UserInterfaceInput, InstancesDeletedDuringDispatchAreSkippedAndDropped)
{
    // Owned handlers, so that deleting a movie deletes its handler too.
    auto ownHandler = [this](Instance_Movie* movie)
    {
        auto* handler = new RecordingHandler;
        handler->log = &log;
        movie->SetEventHandler(nullptr);
        movie->eventHandler = handler;
        movie->ownsEventHandler = true;
        return handler;
    };
    // Removes and frees the instance at once, as a parent's update would later.
    auto destroy = [](const InstanceHandle& handle)
    {
        Instance_Base* instance = handle.GetInstance();
        if (!instance)
            return;
        auto* parent = RObjectCast<Instance_Movie>(instance->parent.GetInstance());
        parent->RemoveAndQueueDelete(instance);
        parent->DeletePending();
    };

    // Pressed: the front one frees itself (and its handler) and the one behind it.
    Instance_Movie* back = Movie(root, L"back");
    Extent(back, 100, 100);
    Instance_Movie* middle = Movie(root, L"middle");
    Extent(middle, 100, 100);
    Instance_Movie* front = Movie(root, L"front");
    Extent(front, 100, 100);
    ownHandler(back);
    ownHandler(middle);
    RecordingHandler* frontHandler = ownHandler(front);
    const InstanceHandle middleHandle = middle->handle;
    const InstanceHandle frontHandle = front->handle;
    frontHandler->action = [&](const std::string& what, InstanceHandle self)
    {
        if (what != "down 0")
            return;
        destroy(middleHandle);
        destroy(self);
    };
    ui->OnMouseMove(5, 5);
    EXPECT_EQ(ui->GetHovered().size(), 4u);
    Take();
    ui->OnMouseDown(0, 0, 0);
    EXPECT_EQ(Take(), (Log{"front down 0", "back down 0"}));
    EXPECT_FALSE(frontHandle.IsValid());
    ui->OnMouseUp(0, 0, 0);
    EXPECT_EQ(Take(), (Log{"back up 0"}));
    EXPECT_EQ(ui->GetHovered(), (std::vector<InstanceHandle>{back->handle, root->handle}));

    // Entering: a script deletes the movie after it in the hit list.
    Instance_Movie* other = Movie(root, L"other", 200, 0); // as large as its child
    ownHandler(other);
    Instance_Movie* victim = Movie(other, L"victim");
    Extent(victim, 50, 50);
    ownHandler(victim);
    SetGlobal("other", other);
    SetGlobal("victim", victim);
    ASSERT_TRUE(Run("function victim:OnMouseEnter() note('victim deletes other') other:Delete(false) end "
                    "function other:OnMouseEnter() note('other OnMouseEnter') end"));
    ui->OnMouseMove(210, 10);
    EXPECT_EQ(Take(), (Log{"back leave", "victim enter", "victim deletes other"}))
        << "the deleted ones get no enter";
    // The victim went with the movie it deleted.
    EXPECT_EQ(ui->GetHovered(), (std::vector<InstanceHandle>{root->handle}));
    root->DeletePending();

    // Keys: a handler deletes itself and a later global handler; both leave the list.
    Instance_Movie* a = Movie(root, L"a");
    Instance_Movie* b = Movie(root, L"b");
    Instance_Movie* c = Movie(root, L"c");
    RecordingHandler* aHandler = ownHandler(a);
    ownHandler(b);
    ownHandler(c);
    ui->AddGlobalHandler(a->handle);
    ui->AddGlobalHandler(b->handle);
    ui->AddGlobalHandler(c->handle);
    const InstanceHandle bHandle = b->handle;
    aHandler->action = [&](const std::string&, InstanceHandle self)
    {
        destroy(bHandle);
        destroy(self);
    };
    ui->OnKeyDown(0x41);
    EXPECT_EQ(Take(), (Log{"a key-down 65", "c key-down 65"}));
    EXPECT_EQ(ui->GetGlobalHandlers(), (std::vector<InstanceHandle>{c->handle}));
    ui->OnChar(0x41);
    EXPECT_EQ(Take(), (Log{"c char 65"}));

    // A listener that removes itself and another one during a press.
    RecordingListener first;
    RecordingListener second;
    first.action = [&]
    {
        ui->RemoveEventListener(&first);
        ui->RemoveEventListener(&second);
    };
    ui->AddEventListener(&first);
    ui->AddEventListener(&second);
    ui->OnKeyDown(0x42);
    EXPECT_EQ(first.events.size(), 1u);
    EXPECT_TRUE(second.events.empty());
}

// A texture that holds nothing; the overlay only hands it on.
class StubTexture final : public IResourceTexture
{
public:
    StubTexture() : IResourceTexture(L"overlay") {}
    bool Load() override { return true; }
    bool Allocate(ImageSize) override { return true; }
    void Bind(uint32_t, bool) override {}
    bool Lock(void**, int32_t*, bool) override { return false; }
    void Unlock() override {}
    void GetTextureSize(uint32_t* w, uint32_t* h) override { *w = *h = 64; }
    void GetImageSize(uint32_t* w, uint32_t* h) override { *w = *h = 64; }
    RefPtr<ISurface> GetSurface() override { return {}; }
    uint32_t GetMemorySize() override { return 0; }
};

TEST_F(UserInterfaceInput, OverlayQuadsAreDrawnAsTexturedRectangles)
{
    RefPtr<IResourceTexture> texture(new StubTexture);
    auto quad = std::make_unique<UserInterface::OverlayQuad>();
    quad->x = 10;
    quad->y = 20;
    quad->width = 30;
    quad->height = 40;
    quad->colour = 0x80FFFFFF;
    quad->texture = texture;
    ui->overlayQuads.push_back(std::make_unique<UserInterface::OverlayQuad>()); // no texture: nothing
    ui->overlayQuads.push_back(std::move(quad));
    renderer->quads.clear();
    ui->Render();
    ASSERT_EQ(renderer->quads.size(), 1u);
    const RecordedQuad& drawn = renderer->quads[0];
    EXPECT_EQ(drawn.texture, texture.Get());
    EXPECT_EQ(drawn.colour, 0x80FFFFFFu);
    EXPECT_EQ(drawn.material, 1u);
    // The unit quad centred on the origin onto the rectangle.
    EXPECT_EQ((std::vector<float>{drawn.matrix.m[0][0], drawn.matrix.m[1][1], drawn.matrix.m[2][0],
                                  drawn.matrix.m[2][1]}),
              (std::vector<float>{30, 40, 25, 40}));
    ui->overlayQuads.clear();
}

// Through the window layer on the scripted window system: Ctrl with the left button reaches the
// instance as a right press and a right release.
class OwnerStub : public IWindowOwner
{
public:
    void OnActivate() override {}
    void OnDeactivate() override {}
    bool IsFullscreen() const override { return false; }
    void SetFullscreen(bool) override {}
    bool IsStarted() const override { return true; }
    bool IsInSplash() const override { return false; }
    void SetSuspended(bool) override {}
    bool CanClose() override { return true; }
    bool IsDeviceReady() const override { return false; }
    bool IsWindowed() const override { return true; }
    void CheckMonitor() override {}
    void PresentAgain() override {}
};

TEST_F(UserInterfaceInput, ControlWithTheLeftButtonIsARightClickThroughTheWindow)
{
    Platform::ScriptedWindowSystem windows;
    OwnerStub owner;
    Window window(windows, owner, ui.get());
    ASSERT_TRUE(window.Create(L"input", Platform::Rect{0, 0, 320, 240}));
    const Platform::WindowHandle handle = window.GetHandle();
    Watched(root, L"target", 0, 0, 100, 100);
    auto pump = [&]
    {
        Platform::WindowMessage message;
        while (windows.TakeMessage(message))
            windows.Dispatch(message);
    };
    windows.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_GAINED);
    windows.MovePointer(handle, 40, 30);
    windows.PressKey(handle, SDLK_LCTRL);
    windows.PressButton(handle, SDL_BUTTON_LEFT);
    windows.ReleaseKey(handle, SDLK_LCTRL);
    windows.ReleaseButton(handle, SDL_BUTTON_LEFT);
    windows.PressButton(handle, SDL_BUTTON_LEFT);
    windows.ReleaseButton(handle, SDL_BUTTON_LEFT);
    pump();
    Log scripts;
    for (const std::string& line : Take())
        if (line.find(" On") != std::string::npos)
            scripts.push_back(line);
    EXPECT_EQ(scripts, (Log{"target OnMouseEnter", "target OnRightMouseDown", "target OnRightMouseUp",
                            "target OnLeftMouseDown", "target OnLeftMouseUp"}));
    EXPECT_EQ(ui->mouseX, 40);
    EXPECT_EQ(ui->mouseY, 30);
    windows.PointerLeaves(handle);
    pump();
    EXPECT_FALSE(ui->mouseInside);
    EXPECT_TRUE(ui->GetHovered().empty());
    window.Destroy();
    pump();
}

} // namespace
} // namespace SceneTest
