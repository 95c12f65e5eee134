// User interface; see UserInterface.h.
#include "engine/scene/ui/UserInterface.h"

#include "engine/core/app/EngineManager.h"
#include "engine/graphics/canvas/IRenderCanvas.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/scene/display/IInstanceEventHandler.h"
#include "engine/scene/display/Instance_Movie.h"
#include "engine/scene/script/LuaMgr.h"

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

} // namespace

UserInterface::UserInterface(EngineManager* engine, RClass* requestedRoot)
    : engine(engine), rootClass(requestedRoot)
{
    if (!rootClass || !rootClass->IsSubclassOf(Instance_Movie::StaticClass()))
        rootClass = Instance_Movie::StaticClass();
    g_userInterface = this;
}

UserInterface::~UserInterface()
{
    // The root was never counted as live; its slot goes first so that its destruction leaves the
    // count to its descendants.
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
    if (!root)
        return;
    IRenderCanvas* rootCanvas = root->GetCanvas(false);
    const ViewTransform view = viewTransform();
    Matrix3 matrix;
    matrix.SetTranslation(view.offsetX / view.scale, view.offsetY / view.scale);
    for (int row = 0; row < 3; ++row)
    {
        matrix.m[row][0] *= view.scale;
        matrix.m[row][1] *= view.scale;
    }
    root->Draw(matrix, 1.0f);
    if (rootCanvas)
        rootCanvas->Clear();
}

void UserInterface::UpdateEffect() {}

void UserInterface::OnKeyDown(uint32_t virtualKey)
{
    dispatch(Event_Key(Event_Base::KeyDown, static_cast<uint16_t>(virtualKey & 0xFFFF)));
}

void UserInterface::OnKeyUp(uint32_t virtualKey)
{
    dispatch(Event_Key(Event_Base::KeyUp, static_cast<uint16_t>(virtualKey & 0xFFFF)));
}

void UserInterface::OnChar(uint32_t) {}

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
    dispatch(Event_Mouse(Event_Base::MouseDown, heldFlags(), mouseX, mouseY, (keyFlags & kFlagControl) != 0,
                         (keyFlags & kFlagShift) != 0, button));
}

void UserInterface::OnMouseUp(int button, uint32_t keyFlags, int)
{
    if (button < 0 || button > 2)
        return;
    UpdateHitList(false);
    if (!buttonHeld[button])
        return;
    buttonHeld[button] = false;
    dispatch(Event_Mouse(Event_Base::MouseUp, heldFlags(), mouseX, mouseY, (keyFlags & kFlagControl) != 0,
                         (keyFlags & kFlagShift) != 0, button));
}

void UserInterface::OnMouseMove(int x, int y)
{
    const ViewTransform view = viewTransform();
    mouseX = toGame(x, view.offsetX, view.scale);
    mouseY = toGame(y, view.offsetY, view.scale);
    UpdateHitList(false);
    mouseInside = true;
}

void UserInterface::UpdateHitList(bool skipHitTest)
{
    hitCandidates.clear();
    if (!skipHitTest && root)
        root->HitTestPoint(float(mouseX), float(mouseY), false, true, &hitCandidates);
    // The first instance that takes the pointer hides everything behind it.
    hitList.clear();
    for (const InstanceHandle& candidate : hitCandidates)
    {
        hitList.push_back(candidate);
        const Instance_Movie* movie = RObjectCast<Instance_Movie>(candidate.GetInstance());
        if (!movie)
            continue;
        const bool eating =
            movie->eventHandler ? movie->eventHandler->IsEatingMouse(candidate) : movie->eatingMouse;
        if (eating)
            break;
    }
    publishHitList();
    if (lua_State* state = LuaBinding::GetState())
        LuaRaiseEvent(*this, state, "OnHitListUpdate", [](lua_State*) { return 0; });
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
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
