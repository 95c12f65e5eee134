// One letter of the typewriter: fired by a key from a fixed point near the bottom of the screen. A
// correct letter homes on its slot in the falling word on a straight line worked out at launch; a
// wrong one (or one whose word is gone) tumbles away under gravity until it leaves the screen. It
// counts in frames, 60 to the second, as the board steps it.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/display/movie/Instance_Movie.h"

#include <cstdint>

class TypeWord;

class TypeLetter final : public TarnEngine::Instance_Movie
{
    TARN_RCLASS(TypeLetter)
    TARN_LUA_CLASS("TypeLetter")
public:
    enum State : int32_t
    {
        StateNew = 0,
        StateFlyingOff = 1,
        StateHoming = 2,
        StateFinished = 3,
    };

    // Speed of the tumble (pixels per second), its gravity (pixels per second squared), and the
    // climb of a homing letter (pixels per frame).
    static constexpr float TumbleSpeed = 300.0f;
    static constexpr float TumbleGravity = 250.0f;
    static constexpr float HomingClimb = 9.0f;
    static constexpr float FramesPerSecond = 60.0f;

    TypeLetter() = default;

    // The child "text" shows the character.
    void SetCharacter(wchar_t c);
    wchar_t GetCharacter() const { return character; }

    // Off on a random upward angle from where it stands.
    void LaunchOff();
    // Aims at the slot (px, py) of a word moving at (vx, vy) pixels per frame. False when no aim
    // exists (the letter could never reach the slot): the caller delivers it at once.
    bool Aim(TypeWord* target, float px, float py, float vx, float vy);

    // One frame of each flight; the position they set, and whether an effect is due there.
    bool FlyOffStep();
    // One homing frame: true when the letter arrived (it has made its last step onto the slot).
    bool HomingStep(bool& effectDue);

    int32_t state = StateNew;
    TarnEngine::InstanceHandle word; // the target while homing
    wchar_t character = L' ';
    float startX = 0.0f;
    float startY = 0.0f;
    float angle = 0.0f;
    float stepX = 0.0f;
    float stepY = 0.0f;
    uint32_t frameCounter = 0;

    static void RegisterLua(lua_State* state);
};
