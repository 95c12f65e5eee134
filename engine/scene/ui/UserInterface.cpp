// User interface; see UserInterface.h.
#include "engine/scene/ui/UserInterface.h"

#include "engine/core/app/IEngineHost.h"
#include "engine/graphics/canvas/IRenderCanvas.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/scene/display/IInstanceEventHandler.h"
#include "engine/scene/display/Instance_Movie.h"
#include "engine/scene/effects/Instance_Effect.h"
#include "engine/scene/script/LuaMgr.h"
#include "platform/window/WindowSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(UserInterface, LuaSubclass, RNoFactory, L"UserInterface",
                              &UserInterface::RegisterLua)

namespace
{
UserInterface* g_userInterface = nullptr;

// Key flags of the mouse messages.
constexpr uint32_t kFlagShift = 0x0004;
constexpr uint32_t kFlagControl = 0x0008;

// The device's view transform: screen = game x scale + offset.
struct ViewTransform
{
    float offsetX = 0.0f;
    float offsetY = 0.0f;
    float scale = 1.0f;
};

ViewTransform viewTransform()
{
    ViewTransform view;
    Renderer* renderer = Renderer::Get();
    if (IGIL* device = renderer ? renderer->GetDevice() : nullptr)
    {
        view.offsetX = float(device->GetViewOffsetX());
        view.offsetY = float(device->GetViewOffsetY());
        // A device without a usable scale shows the game unscaled.
        const float scale = device->GetViewScale();
        if (scale > 0.0f)
            view.scale = scale;
    }
    return view;
}

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

// After the calls made for list[i]: a handle whose instance went meanwhile leaves the list at once
// (when a nested dispatch has not moved it), and the walk stays on the next entry.
void dropIfDead(std::vector<InstanceHandle>& list, size_t& i, const InstanceHandle& handle)
{
    if (!handle.IsValid() && i < list.size() && list[i] == handle)
    {
        list.erase(list.begin() + std::ptrdiff_t(i));
        --i;
    }
}

int addGlobalKeyInputHandler(lua_State* state)
{
    UserInterface* self = GetLuaSelf<UserInterface>(state);
    if (!self || lua_gettop(state) < 2)
        return 0;
    if (const Instance_Base* instance = LuaGetObjectArg<Instance_Base>(state, 2))
        self->AddGlobalHandler(instance->handle.AsMovie());
    return 0;
}

int getMousePosition(lua_State* state)
{
    const UserInterface* self = GetLuaSelf<UserInterface>(state);
    if (!self)
        return 0;
    lua_newtable(state);
    lua_pushnumber(state, self->mouseX);
    lua_setfield(state, -2, "x");
    lua_pushnumber(state, self->mouseY);
    lua_setfield(state, -2, "y");
    return 1;
}

// The running user interface's console.
Console* mainConsole()
{
    UserInterface* ui = UserInterface::Get();
    return ui ? ui->GetConsole() : nullptr;
}

} // namespace

UserInterface::UserInterface(IEngineHost* engine, RClass* requestedRoot)
    : engine(engine), rootClass(requestedRoot)
{
    if (!rootClass || !rootClass->IsSubclassOf(Instance_Movie::StaticClass()))
        rootClass = Instance_Movie::StaticClass();
    g_userInterface = this;
    // The services below the display tree reach this console through the core.
    SetMainConsoleLookup(&mainConsole);
}

UserInterface::~UserInterface()
{
    // The root and the console's instance were never counted as live; their slots go first so that
    // their destruction leaves the count to the root's descendants.
    if (consoleInstance)
    {
        instanceTable.Release(consoleInstance->handle);
        consoleInstance.reset();
    }
    if (root)
    {
        instanceTable.Release(root->handle);
        root.reset();
    }
    definitionMap.reset();
    console.reset();
    hitListTable.Reset();
    if (g_userInterface == this)
        g_userInterface = nullptr;
}

UserInterface* UserInterface::Get()
{
    return g_userInterface;
}

IRenderCanvas* UserInterface::GetInstanceCanvas(const InstanceHandle& instance, bool create)
{
    Instance_Base* node = instance.GetInstance();
    return node ? node->GetCanvas(create) : nullptr;
}

bool UserInterface::IsInstanceVisible(const InstanceHandle& instance) const
{
    const Instance_Base* node = instance.GetInstance();
    return node && node->visible;
}

void UserInterface::SetInstanceVisible(const InstanceHandle& instance, bool visible)
{
    if (Instance_Base* node = instance.GetInstance())
        node->SetVisible(visible);
}

bool UserInterface::Init()
{
    if (root)
        return true;
    RObjectFactoryFn factory = rootClass->GetFactory();
    RObject* object = factory ? factory() : nullptr;
    Instance_Movie* movie = RObjectCast<Instance_Movie>(object);
    if (!movie)
    {
        RObject::DeleteSelf(object);
        return false;
    }
    root.reset(movie);
    root->Initialize(L"root");

    if (lua_State* state = LuaBinding::GetState())
    {
        if ((HasTable() || CreateLuaTable()) && PushTable())
        {
            lua_pushvalue(state, -1);
            lua_setglobal(state, "g_UserInterface");
            hitListTable = NewLuaTable(state);
            if (hitListTable.PushTable())
                lua_setfield(state, -2, "t_HitList");
            lua_pop(state, 1);
        }
    }
    hitListCount = 0;

    // The root is not counted as live. Its movie handle is its own handle, so that its children
    // know their parent like the children of any other movie.
    instanceTable.Add(root->handle, static_cast<Instance_Base*>(root.get()), root->type);
    rootHandle = root->handle.AsMovie();
    root->movieHandle = rootHandle;
    bookmarks.push_back(rootHandle);

    if (!console)
        console = std::make_unique<Console>(engine, LuaMgr::Get(), this);
    if (!definitionMap)
        definitionMap = std::make_unique<DefinitionMap>();
    return true;
}

bool UserInterface::CreateConsoleInstance()
{
    if (consoleInstance)
        return true;
    if (!root || !console)
        return false;
    RObjectFactoryFn factory = Instance_Movie::StaticClass()->GetFactory();
    RObject* object = factory ? factory() : nullptr;
    Instance_Movie* movie = RObjectCast<Instance_Movie>(object);
    if (!movie)
    {
        RObject::DeleteSelf(object);
        return false;
    }
    consoleInstance.reset(movie);
    consoleInstance->Initialize(L"console");
    consoleInstance->SetVisible(false);
    // Like the root, not counted as live: it belongs to the user interface, not to the game.
    instanceTable.Add(consoleInstance->handle, static_cast<Instance_Base*>(consoleInstance.get()),
                      consoleInstance->type);
    consoleInstance->movieHandle = consoleInstance->handle.AsMovie();
    console->SetOverlayInstance(consoleInstance->handle);
    return true;
}

InstanceHandle UserInterface::RegisterInstance(Instance_Base* instance)
{
    if (!instance)
        return {};
    instanceTable.Add(instance->handle, instance, instance->type);
    if (instance->type == INSTANCE_MOVIE)
        if (Instance_Movie* movie = RObjectCast<Instance_Movie>(instance))
            movie->movieHandle = instance->handle;
    ++liveInstanceCount;
    return instance->handle;
}

void UserInterface::ReleaseInstance(const InstanceHandle& instance)
{
    if (instance.table != &instanceTable || !instance.IsValid())
        return;
    instanceTable.Release(instance);
    if (liveInstanceCount > 0)
        --liveInstanceCount;
}

void UserInterface::SetBookmarked(const InstanceHandle& instance, bool on)
{
    const auto found = std::find(bookmarks.begin(), bookmarks.end(), instance);
    if (on && found == bookmarks.end())
        bookmarks.push_back(instance);
    else if (!on && found != bookmarks.end())
        bookmarks.erase(found);
}

void UserInterface::AddEventListener(IEventListener* listener)
{
    if (listener && std::find(listeners.begin(), listeners.end(), listener) == listeners.end())
        listeners.push_back(listener);
}

void UserInterface::RemoveEventListener(IEventListener* listener)
{
    listeners.erase(std::remove(listeners.begin(), listeners.end(), listener), listeners.end());
}

void UserInterface::AddGlobalHandler(const InstanceHandle& instance)
{
    // A handle that resolves to nothing would only wait to be dropped by the next key.
    if (!instance.IsValid())
        return;
    if (std::find(globalHandlers.begin(), globalHandlers.end(), instance) == globalHandlers.end())
        globalHandlers.push_back(instance);
}

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

void UserInterface::Render()
{
    if (Instance_Base* cursor = customCursor.GetInstance())
    {
        cursor->SetVisible(mouseInside && customCursorEnabled);
        cursor->SetPosition(float(mouseX), float(mouseY));
    }
    const ViewTransform view = viewTransform();
    Matrix3 matrix;
    matrix.SetTranslation(view.offsetX / view.scale, view.offsetY / view.scale);
    for (int row = 0; row < 3; ++row)
    {
        matrix.m[row][0] *= view.scale;
        matrix.m[row][1] *= view.scale;
    }
    if (root)
    {
        IRenderCanvas* rootCanvas = root->GetCanvas(false);
        root->Draw(matrix, 1.0f);
        if (rootCanvas)
            rootCanvas->Clear();
    }
    if (Renderer* renderer = Renderer::Get())
    {
        for (const std::unique_ptr<OverlayQuad>& quad : overlayQuads)
        {
            if (!quad || !quad->texture)
                continue;
            Matrix3 placed;
            placed.m[0][0] = quad->width;
            placed.m[1][1] = quad->height;
            placed.m[2][0] = quad->x + quad->width * 0.5f;
            placed.m[2][1] = quad->y + quad->height * 0.5f;
            SpriteMaterial material;
            material.material = quad->material;
            material.texture = quad->texture;
            renderer->DrawQuad(material, placed, quad->source, quad->colour, true);
        }
    }
    // Last, over everything the game shows.
    if (consoleInstance && console && console->IsOverlayShown())
    {
        console->PrintOverlay(DeviceRect{0, 0, screenWidth, screenHeight});
        consoleInstance->Draw(matrix, 1.0f);
    }
}

void UserInterface::UpdateCursorEffect()
{
    CursorEffect& effect = cursorEffect;
    if (!root || !effect.enabled || effect.name.empty() || !(effect.x >= 0.0f) || !(effect.y >= 0.0f) ||
        effect.instance.IsValid())
        return;
    // A name that makes no effect leaves the handle empty: the next tick tries again.
    effect.instance =
        SpawnCursorEffect(root.get(), effect.name, effect.x, effect.y, effect.targetX, effect.targetY);
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
    // By index: a handler may add handlers (they get this key too) or delete instances.
    for (size_t i = 0; i < globalHandlers.size(); ++i)
    {
        const InstanceHandle handle = globalHandlers[i];
        if (!handle.IsValid())
        {
            globalHandlers.erase(globalHandlers.begin() + std::ptrdiff_t(i));
            --i;
            continue;
        }
        if (down)
        {
            if (converted)
            {
                raiseIn(handle, state, "OnCharDown", [&](lua_State* s) { return PushNarrowString(s, text); });
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
        dropIfDead(globalHandlers, i, handle);
    }
}

void UserInterface::OnChar(uint32_t character)
{
    for (size_t i = 0; i < globalHandlers.size(); ++i)
    {
        const InstanceHandle handle = globalHandlers[i];
        if (!handle.IsValid())
        {
            globalHandlers.erase(globalHandlers.begin() + std::ptrdiff_t(i));
            --i;
            continue;
        }
        if (IInstanceEventHandler* handler = handlerOf(handle))
            handler->OnChar(handle, character);
        dropIfDead(globalHandlers, i, handle);
    }
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
    const ViewTransform view = viewTransform();
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
bool blocksWhileDisabled(const InstanceHandle& handle)
{
    Instance_Base* instance = handle.GetInstance();
    if (!instance || instance->inputEnabled || !eatsMouse(handle))
        return false;
    for (Instance_Base* node = instance; node; node = node->parent.GetInstance())
        if (!node->visible || (node != instance && !node->inputEnabled))
            return false;
    return true;
}

} // namespace

void UserInterface::UpdateHitList(bool skipHitTest)
{
    hitCandidates.clear();
    if (!skipHitTest && root)
        root->HitTestPoint(float(mouseX), float(mouseY), false, true, &hitCandidates);
    // The same test over every instance, input or not, puts such a blocker in the walk's order:
    // candidates listed after it lie behind it (or hold it) and are cut off with it.
    size_t blockerAt = SIZE_MAX;
    std::vector<InstanceHandle> everything;
    if (!skipHitTest && root)
    {
        root->HitTestPoint(float(mouseX), float(mouseY), false, false, &everything);
        for (size_t i = 0; i < everything.size() && blockerAt == SIZE_MAX; ++i)
            if (blocksWhileDisabled(everything[i]))
                blockerAt = i;
    }
    // The first instance that takes the pointer hides everything behind it.
    hitList.clear();
    for (const InstanceHandle& candidate : hitCandidates)
    {
        if (blockerAt != SIZE_MAX &&
            std::find(everything.begin(), everything.begin() + std::ptrdiff_t(blockerAt), candidate) ==
                everything.begin() + std::ptrdiff_t(blockerAt))
            break;
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
    for (size_t i = 0; i < hovered.size(); ++i)
    {
        const InstanceHandle handle = hovered[i];
        if (!handle.IsValid())
        {
            hovered.erase(hovered.begin() + std::ptrdiff_t(i));
            --i;
            continue;
        }
        if (IInstanceEventHandler* handler = handlerOf(handle))
            handler->OnMouseOver(handle);
    }
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

void UserInterface::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(LuaSubclass::StaticScriptName());
    def.AddMethod("GetMousePosition", &getMousePosition);
    def.AddMethod("AddGlobalKeyInputHandler", &addGlobalKeyInputHandler);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
