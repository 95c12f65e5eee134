// Screen manager; see _ScreenMgr.h.
#include "engine/scene/ui/_ScreenMgr.h"

#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/ui/Screen.h"
#include "engine/scene/ui/UserInterface.h"

#include <algorithm>

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(_ScreenMgr, LuaSubclass, RNoFactory, L"_ScreenMgr", &_ScreenMgr::RegisterLua)

namespace
{

_ScreenMgr* g_screenManager = nullptr;

// A string argument: a string or nil; anything else (or nothing at all) does not convert.
bool readName(lua_State* state, int index, std::wstring& out)
{
    const int kind = lua_type(state, index);
    if (kind != LUA_TSTRING && kind != LUA_TNIL)
        return false;
    return LuaGetWStringArg(state, out, index) == 1;
}

int createScreen(lua_State* state)
{
    _ScreenMgr* self = GetLuaSelf<_ScreenMgr>(state);
    std::wstring definition, instanceName;
    bool open = false, modal = false;
    if (!self || !readName(state, 2, definition) || !readName(state, 3, instanceName) ||
        !LuaGetBoolArg(state, open, 4) || !LuaGetBoolArg(state, modal, 5))
        return 0;
    Screen* screen = RObjectCast<Screen>(self->OpenScreen(definition, instanceName, open, modal).GetInstance());
    return screen && PushInstanceTable(screen) ? 1 : 0;
}

int closeScreen(lua_State* state)
{
    _ScreenMgr* self = GetLuaSelf<_ScreenMgr>(state);
    std::wstring screenName;
    bool flag = false;
    if (!self || !readName(state, 2, screenName) || !LuaGetBoolArg(state, flag, 3))
        return 0;
    return LuaPushBool(state, self->CloseScreen(screenName, flag));
}

} // namespace

_ScreenMgr::_ScreenMgr()
{
    g_screenManager = this;
    if (UserInterface* ui = UserInterface::Get())
        if (Instance_Movie* root = ui->GetRoot())
        {
            const InstanceHandle made = Instance_Movie::CreateChildFromDefault(root, L"_dialogs").AsMovie();
            if (auto* dialogs = RObjectCast<Instance_Movie>(made.GetInstance()))
            {
                dialogsHandle = made;
                dialogs->SetEventHandler(this);
            }
        }
    if (lua_State* state = LuaBinding::GetState())
        if ((HasTable() || CreateLuaTable()) && PushTable())
            lua_setglobal(state, "g_ScreenMgr2");
}

_ScreenMgr::~_ScreenMgr()
{
    // "_dialogs" outlives the manager in the display tree; it must not keep calling it.
    const UserInterface* ui = UserInterface::Get();
    if (ui && dialogsHandle.table == &ui->instanceTable)
        if (auto* dialogs = RObjectCast<Instance_Movie>(dialogsHandle.GetInstance()))
            if (dialogs->GetEventHandler() == this)
                dialogs->SetEventHandler(nullptr);
    openScreens.clear();
    closingScreens.clear();
    if (g_screenManager == this)
        g_screenManager = nullptr;
}

_ScreenMgr* _ScreenMgr::Get()
{
    return g_screenManager;
}

void _ScreenMgr::OnLoad(InstanceHandle instance)
{
    Instance_Base* dialogs = instance.GetInstance();
    if (!dialogs || dialogs->name != L"_dialogs")
        return;
    dialogsHandle = instance;
    dialogs->SetVisible(true);
    // Key events reach the screens' key handling through "_dialogs".
    if (UserInterface* ui = UserInterface::Get())
        ui->AddGlobalHandler(instance);
}

InstanceHandle _ScreenMgr::OpenScreen(const std::wstring& definitionName, const std::wstring& instanceName,
                                      bool open, bool modal)
{
    return ShowScreen(definitionName, L"", instanceName, open, modal);
}

InstanceHandle _ScreenMgr::ShowScreen(const std::wstring& definitionName, const std::wstring& className,
                                      const std::wstring& instanceName, bool open, bool modal)
{
    auto* dialogs = RObjectCast<Instance_Movie>(dialogsHandle.GetInstance());
    if (!dialogs)
        return {};
    const std::wstring screenName = instanceName.empty() ? definitionName : instanceName;
    // An existing screen is returned as it is, even one that is closing.
    if (const InstanceHandle existing = dialogs->FindChildByPath(screenName); existing.IsValid())
        return existing.AsMovie();
    const InstanceHandle made =
        (className.empty() ? Instance_Movie::CreateChild(dialogs, definitionName, screenName, nullptr)
                           : Instance_Movie::CreateInstanceByClassName(dialogs, definitionName, screenName, className))
            .AsMovie();
    if (open)
        if (Screen* screen = RObjectCast<Screen>(made.GetInstance()))
            screen->Open(modal);
    return made;
}

void _ScreenMgr::PushScreen(Screen* screen)
{
    Instance_Base* dialogs = dialogsHandle.GetInstance();
    if (!dialogs || !screen)
        return;
    dialogs->MoveToFront();
    const auto found = std::find(openScreens.begin(), openScreens.end(), screen);
    if (found == openScreens.end())
    {
        openScreens.push_back(screen);
        return;
    }
    std::iter_swap(found, openScreens.end() - 1);
    screen->MoveToFront();
}

void _ScreenMgr::RemoveScreen(Screen* screen)
{
    const auto found = std::find(openScreens.begin(), openScreens.end(), screen);
    if (found == openScreens.end())
        return;
    closingScreens.push_back(screen);
    openScreens.erase(found);
    screen->OnRemoved();
}

void _ScreenMgr::ForgetScreen(Screen* screen)
{
    openScreens.erase(std::remove(openScreens.begin(), openScreens.end(), screen), openScreens.end());
    closingScreens.erase(std::remove(closingScreens.begin(), closingScreens.end(), screen), closingScreens.end());
}

Screen* _ScreenMgr::GetTopModalScreen() const
{
    for (size_t i = openScreens.size(); i-- > 0;)
        if (openScreens[i]->eatsMouse)
            return openScreens[i];
    return nullptr;
}

Screen* _ScreenMgr::FindScreen(const std::wstring& screenName) const
{
    for (Screen* screen : openScreens)
        if (screen->name == screenName)
            return screen;
    return nullptr;
}

bool _ScreenMgr::CloseScreen(const std::wstring& screenName, bool flag)
{
    Screen* screen = FindScreen(screenName);
    if (!screen)
        return false;
    screen->Close(flag);
    return true;
}

void _ScreenMgr::NotifyScreens(const std::wstring& event, const std::wstring& value)
{
    // A screen may open or close others from its handler; the list is read afresh each step.
    for (size_t i = 0; i < openScreens.size(); ++i)
        openScreens[i]->OnGameEvent(event, value);
}

void _ScreenMgr::Update()
{
    for (size_t i = 0; i < closingScreens.size();)
    {
        Screen* screen = closingScreens[i];
        if (screen->GetScreenState() == Screen::StateFadingOut ||
            screen->GetRequestedScreenState() == Screen::StateFadingOut)
        {
            screen->UpdateState();
            ++i;
            continue;
        }
        // Its fade has ended. Deleting may run scripts that change the list, so the entry is
        // taken off first and the walk goes on from the same place.
        closingScreens.erase(closingScreens.begin() + std::ptrdiff_t(i));
        if (screen->movieHandle.IsValid())
            screen->Delete(false);
    }
    // Bottom first, each open screen once. A screen that closes in its step leaves the list and
    // moves the ones above it down a place; a walk by index alone would skip the next one.
    std::vector<Screen*> stepped;
    for (size_t i = 0; i < openScreens.size();)
    {
        Screen* screen = openScreens[i];
        if (std::find(stepped.begin(), stepped.end(), screen) != stepped.end())
        {
            ++i;
            continue;
        }
        stepped.push_back(screen);
        screen->UpdateState();
        i = 0;
    }
}

void _ScreenMgr::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(LuaSubclass::StaticScriptName());
    def.AddMethod("CreateScreen", &createScreen);
    def.AddMethod("CloseScreen", &closeScreen);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
