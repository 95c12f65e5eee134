// A typewriter letter; see TypeLetter.h.
#include "game/minigames/TypeLetter.h"

#include "engine/core/base/RandomGenerator.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"
#include "game/minigames/TypeWord.h"

#include <cmath>

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(TypeLetter, Instance_Movie, RObjectFactory<TypeLetter>, L"TypeLetter",
                              &TypeLetter::RegisterLua)

void TypeLetter::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Movie::StaticScriptName());
    def.SetConstructor(&LuaConstruct<TypeLetter>);
    def.Build(StaticScriptName());
}

void TypeLetter::SetCharacter(wchar_t c)
{
    character = c;
    if (auto* text = RObjectCast<Instance_Text>(FindChildByPath(L"text").GetInstance()))
        text->SetText(std::wstring(1, c));
}

void TypeLetter::LaunchOff()
{
    state = StateFlyingOff;
    angle = PoolRandomRange(60.0f, 90.0f) * 0.017453292f;
    if (int32_t(PoolRandomRange(0.0f, 10.0f)) % 2 == 1)
        angle = float(M_PI) - angle;
    startX = x;
    startY = y;
    frameCounter = 0;
}

bool TypeLetter::Aim(TypeWord* target, float px, float py, float vx, float vy)
{
    stepX = stepY = 0.0f;
    frameCounter = 0;
    const float speedX = vx * FramesPerSecond;
    const float speedY = vy * FramesPerSecond;
    const float climb = -HomingClimb * FramesPerSecond;
    if (!target || speedY == climb)
        return false;
    const float t = (py - y) / (climb - speedY);
    if (!(t > 0.0f) || !std::isfinite(t))
        return false;
    const float frames = t * FramesPerSecond;
    // Less than one frame away, or so far that the count would not fit: no flight to make.
    if (!(frames >= 1.0f) || frames > 1.0e6f)
        return false;
    const float u = (px - x) / t + speedX;
    stepX = u / FramesPerSecond;
    stepY = -HomingClimb;
    frameCounter = uint32_t(frames);
    word = target->movieHandle;
    state = StateHoming;
    return true;
}

bool TypeLetter::FlyOffStep()
{
    const float t = float(frameCounter) / FramesPerSecond;
    const float px = startX + TumbleSpeed * std::cos(angle) * t;
    const float py = startY - TumbleSpeed * std::sin(angle) * t + 0.5f * TumbleGravity * t * t;
    SetPosition(px, py);
    ++frameCounter;
    return frameCounter % 10 == 0;
}

bool TypeLetter::HomingStep(bool& effectDue)
{
    effectDue = false;
    if (frameCounter > 0)
        --frameCounter;
    SetPosition(x + stepX, y + stepY);
    if (frameCounter == 0)
        return true;
    effectDue = frameCounter % 10 == 0;
    return false;
}
