// Moving perspective; see MovingPerspective.h.
#include "game/media/MovingPerspective.h"

#include "engine/core/time/TimeManager.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/script/ScriptRegistry.h"
#include "game/media/BookScaler.h"

#include <algorithm>
#include <cmath>
#include <vector>

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(MovingPerspective, LuaBaseClass, RObjectFactory<MovingPerspective>,
                              L"MovingPerspective", &MovingPerspective::RegisterLua)

namespace
{

constexpr float kFirstWindowStart = -2.0f;
constexpr float kLastHoldEnd = 6.0f;
constexpr float kFadeOut = 1.0f;
constexpr float kSmallHidden = 10.0f;
constexpr float kSmallOpaque = 20.0f;
constexpr float kSmallFade = 10.0f;

// Window boundaries: for layers 1 and 2, the time at which a layer that starts at S[i] reaches its
// natural size (S[i] x e^t = 1); the first layer's is a second before its own.
const float g_windows[3] = {
    std::log(1.0f / MovingPerspective::StartScales[0]) - 1.0f,
    std::log(1.0f / MovingPerspective::StartScales[1]),
    std::log(1.0f / MovingPerspective::StartScales[2]),
};

float startScale(size_t layer)
{
    return layer < 3 ? MovingPerspective::StartScales[layer] : 1.0f;
}

float clampUnit(float value)
{
    return std::min(std::max(value, 0.0f), 1.0f);
}

Instance_Movie* liveMovie(const InstanceHandle& handle)
{
    return RObjectCast<Instance_Movie>(handle.AsMovie().GetInstance());
}

// Places the instance so that it keeps its place on screen but scales about the pivot.
void pivotInPlace(Instance_Base& instance)
{
    instance.SetRegistrationPoint(MovingPerspective::PivotX - instance.GetX(),
                                  MovingPerspective::PivotY - instance.GetY());
    instance.SetPosition(MovingPerspective::PivotX, MovingPerspective::PivotY);
}

// ---- Script methods: each refuses silently when self is gone or an argument is missing or wrong.

int luaSetMovie(lua_State* state)
{
    MovingPerspective* self = GetLuaSelf<MovingPerspective>(state);
    Instance_Movie* movie = LuaGetObjectArg<Instance_Movie>(state, 2);
    if (self && movie)
        self->SetMovie(movie);
    return 0;
}

int luaSetTime(lua_State* state)
{
    MovingPerspective* self = GetLuaSelf<MovingPerspective>(state);
    if (self && lua_type(state, 2) == LUA_TNUMBER)
        self->SetTime(static_cast<float>(lua_tonumber(state, 2)));
    return 0;
}

int luaSetTimeScale(lua_State* state)
{
    MovingPerspective* self = GetLuaSelf<MovingPerspective>(state);
    if (self && lua_type(state, 2) == LUA_TNUMBER)
        self->SetTimeScale(static_cast<float>(lua_tonumber(state, 2)));
    return 0;
}

int luaGetTime(lua_State* state)
{
    MovingPerspective* self = GetLuaSelf<MovingPerspective>(state);
    if (!self)
        return 0;
    lua_pushnumber(state, self->GetTime());
    return 1;
}

} // namespace

void MovingPerspective::SetMovie(Instance_Movie* movie)
{
    if (!movie)
        return;
    Instance_Base* child = movie->children.empty() ? nullptr : movie->children.front();
    Instance_Movie* first = child && child->type == INSTANCE_MOVIE ? RObjectCast<Instance_Movie>(child) : nullptr;
    if (!first)
    {
        target = movie->handle;
        pivotInPlace(*movie);
    }
    else
    {
        Instance_Movie* layered = first->children.size() == 1 ? movie : first;
        target = layered->handle;
        layered->SetRegistrationPoint(PivotX, PivotY);
        layered->SetPosition(PivotX, PivotY);
        const std::vector<Instance_Base*> layers = layered->children;
        for (size_t i = 0; i < layers.size(); ++i)
        {
            pivotInPlace(*layers[i]);
            layers[i]->SetScale(startScale(i), startScale(i));
        }
    }
    time = 0.0f;
    SetTimer(0, 0.0, true, 1);
}

void MovingPerspective::SetTime(float t)
{
    // e^t of a non-finite time would give the layers non-finite scales.
    if (!std::isfinite(t))
        return;
    time = t;
    if (liveMovie(target))
        Apply(t);
}

void MovingPerspective::SetTimeScale(float scale)
{
    if (std::isfinite(scale))
        timeScale = scale;
}

void MovingPerspective::Apply(float t)
{
    Instance_Movie* movie = liveMovie(target);
    if (!movie)
        return;
    const float s = static_cast<float>(std::exp(static_cast<double>(t)));
    movie->SetScale(s, s);
    // The list may not change under us: nothing below creates or deletes instances.
    const std::vector<Instance_Base*>& layers = movie->children;
    const size_t n = layers.size();
    for (size_t i = 1; i < n; ++i)
        layers[i]->SetOpacity(std::min(1.0f, layers[i]->GetScaleX() * s));
    if (n == 0)
        return; // a target without layers is scaled as a whole
    if (n < 3)
    {
        // A small picture appears only once it has grown past a few screen units.
        Instance_Base* first = layers[0];
        const float m = std::max(first->ComputeHeight(true), first->ComputeWidth(true));
        first->SetVisible(m > kSmallHidden);
        if (m > kSmallHidden && m < kSmallOpaque)
            first->SetOpacity((m - kSmallHidden) / kSmallFade);
        return;
    }
    for (size_t i = 0; i < 3; ++i)
    {
        const float a = i == 0 ? kFirstWindowStart : g_windows[i - 1];
        const float b = g_windows[i];
        // The last layer, and the third of more than three, hold until the pass nearly ends.
        const float c = i + 1 == n || i == 2 ? kLastHoldEnd : g_windows[i + 1];
        const float d = c + kFadeOut;
        Instance_Base* layer = layers[i];
        if (t < a || t >= d)
        {
            layer->SetVisible(false);
            continue;
        }
        layer->SetVisible(true);
        if (t < b)
            layer->SetOpacity(clampUnit((t - a) / (b - a)));
        else if (t < c)
            layer->SetOpacity(1.0f);
        else
            layer->SetOpacity(1.0f - clampUnit((t - c) / (d - c)));
    }
}

void MovingPerspective::OnTimer(uint32_t id)
{
    if (id != 0)
        return;
    if (!target.IsValid())
    {
        RemoveTimer(0);
        return;
    }
    TimeManager* clock = TimeManager::Get();
    const float step = clock ? clock->GetClock(1).deltaSeconds : 0.0f;
    time += step * timeScale;
    if (time > endTime)
    {
        time = 0.0f;
        // The handler may release the object; nothing may follow it.
        callEvent("OnMoveEnd");
        return;
    }
    Apply(time);
}

void MovingPerspective::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(LuaBaseClass::StaticScriptName());
    def.AddMethod("SetMovie", &luaSetMovie);
    def.AddMethod("SetTime", &luaSetTime);
    def.AddMethod("SetTimeScale", &luaSetTimeScale);
    def.AddMethod("GetTime", &luaGetTime);
    def.SetConstructor(&LuaConstruct<MovingPerspective>);
    def.Build(StaticScriptName());
}

void RegisterPerspectiveClasses()
{
    MovingPerspective::StaticClass();
    RegisterScriptFunction("SetBookScaler", &LuaSetBookScaler);
}
