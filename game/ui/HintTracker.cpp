// Tooltips of watched controls; see HintTracker.h.
#include "game/ui/HintTracker.h"

#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/ui/UserInterface.h"
#include "game/ui/HintManager.h"

#include <algorithm>

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(HintTracker, LuaBaseClass, RObjectFactory<HintTracker>, L"HintTracker",
                              &HintTracker::RegisterLua)

namespace
{

// The instance behind a handle of the live user interface's table, or null.
Instance_Base* liveInstance(const InstanceHandle& handle)
{
    const UserInterface* ui = UserInterface::Get();
    if (!ui || handle.table != &ui->instanceTable)
        return nullptr;
    return handle.GetInstance();
}

// A text argument: a string (UTF-8) or nil, which is the empty text.
bool readText(lua_State* state, int index, std::wstring& out)
{
    const int kind = lua_type(state, index);
    if (kind != LUA_TSTRING && kind != LUA_TNIL)
        return false;
    return LuaGetWStringArg(state, out, index) == 1;
}

int luaUpdate(lua_State* state)
{
    if (HintTracker* self = GetLuaSelf<HintTracker>(state))
        self->Update();
    return 0;
}

int luaAddControl(lua_State* state)
{
    HintTracker* self = GetLuaSelf<HintTracker>(state);
    Instance_Base* control = LuaGetObjectArg<Instance_Base>(state, 2);
    std::wstring text;
    if (self && control && lua_gettop(state) >= 3 && readText(state, 3, text))
        self->AddControl(control, text);
    return 0;
}

int luaRemoveControl(lua_State* state)
{
    HintTracker* self = GetLuaSelf<HintTracker>(state);
    if (Instance_Base* control = LuaGetObjectArg<Instance_Base>(state, 2); self && control)
        self->RemoveControl(control);
    return 0;
}

} // namespace

HintTracker::HintTracker() = default;
HintTracker::~HintTracker() = default;

void HintTracker::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(LuaBaseClass::StaticScriptName());
    def.AddMethod("Update", &luaUpdate);
    def.AddMethod("AddControl", &luaAddControl);
    def.AddMethod("RemoveControl", &luaRemoveControl);
    def.SetConstructor(&LuaConstruct<HintTracker>);
    def.Build(StaticScriptName());
}

void HintTracker::AddControl(const InstanceHandle& control, const std::wstring& text)
{
    RemoveControl(control);
    if (liveInstance(control))
        controls.emplace_back(control, text);
}

void HintTracker::AddControl(RObject* object, const std::wstring& text)
{
    auto* instance = RObjectCast<Instance_Base>(object);
    if (!instance)
        return;
    const InstanceHandle movie = instance->handle.AsMovie();
    if (movie.IsValid())
        AddControl(movie, text);
}

void HintTracker::RemoveControl(const InstanceHandle& control)
{
    const auto found = std::find_if(controls.begin(), controls.end(),
                                    [&](const auto& entry) { return entry.first.Equals(control); });
    if (found != controls.end())
        controls.erase(found);
}

void HintTracker::RemoveControl(RObject* object)
{
    if (auto* instance = RObjectCast<Instance_Base>(object))
        RemoveControl(instance->handle.AsMovie());
}

void HintTracker::Update()
{
    const UserInterface* ui = UserInterface::Get();
    if (!ui)
        return;
    const float mx = float(ui->mouseX);
    const float my = float(ui->mouseY);
    if (currentControl.serial != 0)
    {
        Instance_Base* control = liveInstance(currentControl);
        if (!control)
        {
            // Deleted by other code: it counts as not under the mouse and leaves the list.
            RemoveControl(currentControl);
            currentControl = {};
            countdown = 0;
            return;
        }
        if (!control->HitTestAtGlobal(mx, my, false, false, nullptr).IsValid())
        {
            // A hint already shown stays until its lifetime ends.
            currentControl = {};
            countdown = 0;
            return;
        }
        if (countdown > 0 && --countdown == 0)
            if (HintManager* hints = HintManager::Get())
            {
                hints->RemoveHint(shownHint);
                shownHint = hints->AddHint(currentText.c_str(), HintLifetime);
            }
        return;
    }
    // Walked once per frame while the mouse rests on none: the user interface is looked up once.
    const HandleTable* liveTable = &ui->instanceTable;
    for (size_t i = 0; i < controls.size();)
    {
        const InstanceHandle& handle = controls[i].first;
        Instance_Base* control = handle.table == liveTable ? handle.GetInstance() : nullptr;
        if (!control)
        {
            controls.erase(controls.begin() + std::ptrdiff_t(i));
            continue;
        }
        if (control->opacity > 0.0f && control->HitTestAtGlobal(mx, my, false, false, nullptr).IsValid())
        {
            currentControl = controls[i].first;
            currentText = controls[i].second;
            countdown = RestUpdates;
            return;
        }
        ++i;
    }
}
