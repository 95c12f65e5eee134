// User interface: set-up of the root and the console instance, the instance table, drawing and the
// cursor effect; see UserInterface.h. Input dispatch and the hit list are in UserInterfaceInput.cpp.
#include "engine/scene/ui/UserInterface.h"

#include "engine/core/app/IEngineHost.h"
#include "engine/graphics/canvas/IRenderCanvas.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/effects/Instance_Effect.h"
#include "engine/scene/script/LuaMgr.h"

#include <algorithm>
#include <cstdint>

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(UserInterface, LuaSubclass, RNoFactory, L"UserInterface",
                              &UserInterface::RegisterLua)

namespace
{
UserInterface* g_userInterface = nullptr;

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

UserInterface::ViewTransform UserInterface::currentView()
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

void UserInterface::Render()
{
    if (Instance_Base* cursor = customCursor.GetInstance())
    {
        cursor->SetVisible(mouseInside && customCursorEnabled);
        cursor->SetPosition(float(mouseX), float(mouseY));
    }
    const ViewTransform view = currentView();
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

void UserInterface::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(LuaSubclass::StaticScriptName());
    def.AddMethod("GetMousePosition", &getMousePosition);
    def.AddMethod("AddGlobalKeyInputHandler", &addGlobalKeyInputHandler);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
