// The user interface's input: the window's key, character and mouse messages turned into engine
// events for the listeners, the global key handlers and the instances under the pointer, and the hit
// list with its enter, leave and over passes. See UserInterface.h.
#include "engine/scene/ui/UserInterface.h"

#include "engine/core/app/IEngineHost.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/display/node/IInstanceEventHandler.h"
#include "platform/window/WindowSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace TarnEngine
{

namespace
{

// Key flags of the mouse messages.
constexpr uint32_t kFlagShift = 0x0004;
constexpr uint32_t kFlagControl = 0x0008;

// A client coordinate in game coordinates, truncated toward zero; out-of-range values are held
// at the ends of the range.
int32_t toGame(int client, float offset, float scale)
{
    const float game = (float(client) - offset) / scale;
    if (std::isnan(game))
        return 0;
    if (!(game > -2147483520.0f))
        return INT32_MIN;
    if (!(game < 2147483520.0f))
        return INT32_MAX;
    return int32_t(game);
}

// As many calls as the pointer's display count can need to come back from anything a caller did.
constexpr int kMaxPointerCalls = 4096;

const char* const kMouseDownEvents[3] = {"OnLeftMouseDown", "OnRightMouseDown", "OnMiddleMouseDown"};
const char* const kMouseUpEvents[3] = {"OnLeftMouseUp", "OnRightMouseUp", "OnMiddleMouseUp"};
const char* const kMouseUpOutsideEvents[3] = {"OnLeftMouseUpOutside", "OnRightMouseUpOutside",
                                              "OnMiddleMouseUpOutside"};

int noArguments(lua_State*)
{
    return 0;
}

// The event handler of the handle's instance; only movies have one.
IInstanceEventHandler* handlerOf(const InstanceHandle& handle)
{
    Instance_Movie* movie = RObjectCast<Instance_Movie>(handle.GetInstance());
    return movie ? movie->eventHandler : nullptr;
}

// Raises a script event in the table of the handle's instance, when it lives and has one.
template <class PushFn> void raiseIn(const InstanceHandle& handle, lua_State* state, const char* name, PushFn push)
{
    if (!state)
        return;
    if (Instance_Base* instance = handle.GetInstance())
        LuaRaiseEvent(*instance, state, name, push);
}

// The one-character text that a virtual key gives to scripts: codes 1 to 127 are that byte (the
// letter keys give capitals, Enter a carriage return); other codes give none. Not through the
// process locale, which would make the result depend on the machine's settings.
bool keyText(uint32_t key, char (&text)[2])
{
    text[0] = 0;
    text[1] = 0;
    if (key == 0 || key > 127)
        return false;
    text[0] = char(key);
    return true;
}

// Calls `call` for each live handle of the list, walked by index: a call may add entries (they are
// walked too) or delete instances. An entry whose instance is gone leaves the list before its call;
// one whose instance went during its call leaves right after it (when a nested dispatch has not
// moved it), and the walk goes on with the next entry.
template <class CallFn> void forEachLive(std::vector<InstanceHandle>& list, CallFn call)
{
    for (size_t i = 0; i < list.size(); ++i)
    {
        const InstanceHandle handle = list[i];
        if (handle.IsValid())
        {
            call(handle);
            if (handle.IsValid() || i >= list.size() || list[i] != handle)
                continue;
        }
        list.erase(list.begin() + std::ptrdiff_t(i));
        --i;
    }
}

} // namespace

void UserInterface::dispatch(const Event_Base& event)
{
    // A listener may remove itself (or another) while the event is passed on.
    const std::vector<IEventListener*> current = listeners;
    for (IEventListener* listener : current)
        if (std::find(listeners.begin(), listeners.end(), listener) != listeners.end())
            listener->OnEvent(event);
}

uint32_t UserInterface::heldFlags() const
{
    return (buttonHeld[0] ? 1u : 0u) | (buttonHeld[1] ? 2u : 0u) | (buttonHeld[2] ? 4u : 0u);
}

// ---- Keys

void UserInterface::OnKeyDown(uint32_t virtualKey)
{
    // The console's key is the console's alone once the console can be shown.
    if (virtualKey == ConsoleKey && consoleInstance && console)
    {
        console->ShowOverlay(!console->IsOverlayShown());
        return;
    }
    dispatch(Event_Key(Event_Base::KeyDown, static_cast<uint16_t>(virtualKey & 0xFFFF)));
    keyToGlobalHandlers(virtualKey, true);
}

void UserInterface::OnKeyUp(uint32_t virtualKey)
{
    if (virtualKey == ConsoleKey && consoleInstance && console)
        return;
    dispatch(Event_Key(Event_Base::KeyUp, static_cast<uint16_t>(virtualKey & 0xFFFF)));
    keyToGlobalHandlers(virtualKey, false);
}

void UserInterface::keyToGlobalHandlers(uint32_t key, bool down)
{
    lua_State* state = LuaBinding::GetState();
    char text[2] = {0, 0};
    const bool converted = keyText(key, text);
    // A handler may add handlers (they get this key too) or delete instances.
    forEachLive(globalHandlers,
                [&](const InstanceHandle& handle)
                {
                    if (down)
                    {
                        if (converted)
                        {
                            raiseIn(handle, state, "OnCharDown",
                                    [&](lua_State* s) { return PushNarrowString(s, text); });
                            raiseIn(handle, state, "OnKeyDown",
                                    [&](lua_State* s)
                                    {
                                        lua_pushnumber(s, double(key));
                                        return 1;
                                    });
                        }
                        if (IInstanceEventHandler* handler = handlerOf(handle))
                            handler->OnKeyDown(handle, key);
                    }
                    else
                    {
                        // A key without a character still tells its release, with an empty text.
                        raiseIn(handle, state, "OnKeyUp", [&](lua_State* s) { return PushNarrowString(s, text); });
                        if (IInstanceEventHandler* handler = handlerOf(handle))
                            handler->OnKeyUp(handle, key);
                    }
                });
}

void UserInterface::OnChar(uint32_t character)
{
    forEachLive(globalHandlers,
                [&](const InstanceHandle& handle)
                {
                    if (IInstanceEventHandler* handler = handlerOf(handle))
                        handler->OnChar(handle, character);
                });
}

// ---- Mouse

void UserInterface::OnMouseDown(int button, uint32_t keyFlags, int extra)
{
    // The console's pages take the press first while they are shown.
    if (console && console->IsOverlayShown() && console->HandleMousePress(button, keyFlags, extra))
        return;
    if (button < 0 || button > 2)
        return;
    UpdateHitList(false);
    if (buttonHeld[button])
        return;
    buttonHeld[button] = true;
    const bool ctrl = (keyFlags & kFlagControl) != 0;
    dispatch(Event_Mouse(Event_Base::MouseDown, heldFlags(), mouseX, mouseY, ctrl, (keyFlags & kFlagShift) != 0,
                         button));

    lua_State* state = LuaBinding::GetState();
    for (size_t i = 0; i < hovered.size(); ++i)
    {
        const InstanceHandle handle = hovered[i];
        Instance_Base* instance = handle.GetInstance();
        if (!instance || !instance->inputEnabled)
            continue;
        // Ctrl with the right button inspects the instance instead of pressing it.
        if (button == 1 && ctrl)
        {
            instance->Inspect();
            continue;
        }
        if (IInstanceEventHandler* handler = handlerOf(handle))
            handler->OnMouseDown(handle, uint32_t(button));
        // Every held button is named, so a second button pressed over a held one raises both.
        for (int b = 0; b < 3; ++b)
            if (buttonHeld[b] && handle.IsValid())
                raiseIn(handle, state, kMouseDownEvents[b], noArguments);
    }
}

void UserInterface::OnMouseUp(int button, uint32_t keyFlags, int)
{
    if (button < 0 || button > 2)
        return;
    UpdateHitList(false);
    if (!buttonHeld[button])
        return;
    buttonHeld[button] = false;
    const bool ctrl = (keyFlags & kFlagControl) != 0;
    dispatch(Event_Mouse(Event_Base::MouseUp, heldFlags(), mouseX, mouseY, ctrl, (keyFlags & kFlagShift) != 0,
                         button));

    lua_State* state = LuaBinding::GetState();
    LuaRaiseEvent(*this, state, "OnMouseUp",
                  [button](lua_State* s)
                  {
                      lua_pushnumber(s, button);
                      return 1;
                  });
    // The end of an inspect gesture: nothing was pressed, so nothing is released.
    if (button == 1 && ctrl)
    {
        outside[1].clear();
        return;
    }
    for (size_t i = 0; i < hovered.size(); ++i)
    {
        const InstanceHandle handle = hovered[i];
        const Instance_Base* instance = handle.GetInstance();
        if (!instance)
            continue;
        if (instance->inputEnabled)
            if (IInstanceEventHandler* handler = handlerOf(handle))
                handler->OnMouseUp(handle, uint32_t(button));
        if (handle.IsValid())
            raiseIn(handle, state, kMouseUpEvents[button], noArguments);
    }
    // A handler may press or release again meanwhile; the list is taken as it stands now.
    std::vector<InstanceHandle> left;
    left.swap(outside[button]);
    for (const InstanceHandle& handle : left)
    {
        const Instance_Base* instance = handle.GetInstance();
        if (!instance)
            continue;
        if (instance->inputEnabled)
            if (IInstanceEventHandler* handler = handlerOf(handle))
                handler->OnMouseUpOutside(handle, uint32_t(button));
        if (handle.IsValid())
            raiseIn(handle, state, kMouseUpOutsideEvents[button], noArguments);
    }
}

void UserInterface::OnMouseMove(int x, int y)
{
    const ViewTransform view = currentView();
    mouseX = toGame(x, view.offsetX, view.scale);
    mouseY = toGame(y, view.offsetY, view.scale);
    UpdateHitList(false);
    // The custom cursor stands in for the system pointer only once the pointer is known to be
    // inside: the first move after it enters still shows the system one.
    const bool customCursorShown =
        engine && !engine->UsesSystemCursor() && customCursorEnabled && mouseInside && customCursor.IsValid();
    showSystemPointer(!customCursorShown);
    mouseInside = true;
}

void UserInterface::showSystemPointer(bool show)
{
    Platform::WindowSystem* windows = engine ? engine->GetWindowSystem() : nullptr;
    if (!windows)
        return;
    // Only as far as needed: every call moves the display count, and calling on each move would
    // drive it further from 0 with every move.
    for (int calls = 0; calls < kMaxPointerCalls && (show ? cursorShowCount < 0 : cursorShowCount >= 0); ++calls)
        cursorShowCount = windows->ShowPointer(show);
}

namespace
{

bool eatsMouse(const InstanceHandle& handle)
{
    Instance_Movie* movie = RObjectCast<Instance_Movie>(handle.GetInstance());
    if (!movie)
        return false;
    return movie->eventHandler ? movie->eventHandler->IsEatingMouse(handle) : movie->eatingMouse;
}

// A shown movie that takes the pointer but has its input switched off (a modal screen while it
// fades in or out): the input-only hit test passes over it, yet what lies behind must not get the
// pointer either. Only the outermost switched-off instance counts; anything inside it is never
// reached by the hit test.
bool blocksWhileDisabled(Instance_Base& instance)
{
    if (instance.type != INSTANCE_MOVIE || !eatsMouse(instance.handle))
        return false;
    const Instance_Base* node = &instance;
    for (int depth = 0; node && depth < Instance_Base::MaxTreeDepth; ++depth, node = node->parent.GetInstance())
        if (!node->visible || (node != &instance && !node->inputEnabled))
            return false;
    return true;
}

} // namespace

void UserInterface::UpdateHitList(bool skipHitTest)
{
    // One walk: the input-enabled instances under the pointer, front-most first, cut where a
    // switched-off blocker covers the point.
    hitCandidates.clear();
    if (!skipHitTest && root)
    {
        Instance_Base::HitStop stop;
        stop.blocks = &blocksWhileDisabled;
        root->HitTestPoint(float(mouseX), float(mouseY), false, true, &hitCandidates, &stop);
    }
    // The first instance that takes the pointer hides everything behind it.
    hitList.clear();
    for (const InstanceHandle& candidate : hitCandidates)
    {
        hitList.push_back(candidate);
        if (eatsMouse(candidate))
            break;
    }
    publishHitList();
    if (lua_State* state = LuaBinding::GetState())
        LuaRaiseEvent(*this, state, "OnHitListUpdate", noArguments);
    leavePass();
    enterPass();
    overPass();
}

void UserInterface::leavePass()
{
    lua_State* state = LuaBinding::GetState();
    for (size_t i = 0; i < hovered.size(); ++i)
    {
        const InstanceHandle handle = hovered[i];
        if (handle.IsValid() && std::find(hitList.begin(), hitList.end(), handle) != hitList.end())
            continue;
        hovered.erase(hovered.begin() + std::ptrdiff_t(i));
        --i;
        if (!handle.IsValid())
            continue;
        if (IInstanceEventHandler* handler = handlerOf(handle))
            handler->OnMouseLeave(handle);
        if (handle.IsValid())
            raiseIn(handle, state, "OnMouseLeave", noArguments);
        // Left with a button held: the release will be its "outside" release.
        if (handle.IsValid())
            for (int b = 0; b < 3; ++b)
                if (buttonHeld[b])
                    outside[b].push_back(handle);
    }
}

void UserInterface::enterPass()
{
    lua_State* state = LuaBinding::GetState();
    // A copy: a handler may refresh the hit list again.
    const std::vector<InstanceHandle> effective = hitList;
    std::vector<InstanceHandle> next;
    next.reserve(effective.size());
    for (const InstanceHandle& handle : effective)
    {
        if (std::find(hovered.begin(), hovered.end(), handle) == hovered.end())
        {
            // Back over it before the release: the release is a click again.
            for (std::vector<InstanceHandle>& list : outside)
            {
                const auto found = std::find(list.begin(), list.end(), handle);
                if (found != list.end())
                    list.erase(found);
            }
            if (handle.IsValid())
                if (IInstanceEventHandler* handler = handlerOf(handle))
                    handler->OnMouseEnter(handle);
            if (handle.IsValid())
                raiseIn(handle, state, "OnMouseEnter", noArguments);
        }
        if (handle.IsValid())
            next.push_back(handle);
    }
    hovered = std::move(next);
}

void UserInterface::overPass()
{
    forEachLive(hovered,
                [&](const InstanceHandle& handle)
                {
                    if (IInstanceEventHandler* handler = handlerOf(handle))
                        handler->OnMouseOver(handle);
                });
}

void UserInterface::publishHitList()
{
    lua_State* state = hitListTable.GetState();
    if (!state || !hitListTable.PushTable())
        return;
    uint32_t count = 0;
    for (const InstanceHandle& entry : hitList)
    {
        Instance_Base* instance = entry.GetInstance();
        if (!instance || !instance->PushTable())
            continue;
        lua_rawseti(state, -2, int(++count));
    }
    for (uint32_t stale = count + 1; stale <= hitListCount; ++stale)
    {
        lua_pushnil(state);
        lua_rawseti(state, -2, int(stale));
    }
    hitListCount = count;
    lua_pop(state, 1);
}

} // namespace TarnEngine
