// One falling word of the typewriter. Its text child shows the word in two colours: the letters
// typed so far in the typed colour, the rest (from the next letter to type) in the untyped colour.
// It falls at its velocity, pulses its opacity once it is in the zone near the typing line, and is
// finished when its last letter lands or when it falls past the fail line.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/display/movie/Instance_Movie.h"

#include <cstdint>
#include <string>

class TypeWord final : public TarnEngine::Instance_Movie
{
    TARN_RCLASS(TypeWord)
    TARN_LUA_CLASS("TypeWord")
public:
    enum State : int32_t
    {
        StateResting = 0,
        StateFalling = 1,
        StateRestingInZone = 2,
        StateFallingInZone = 3,
        StateFinished = 4,
    };

    static constexpr const wchar_t* TypedColour = L"^009900";
    static constexpr const wchar_t* UntypedColour = L"^000000";

    TypeWord() = default;

    // Shows the word untyped (the text child white under its colour codes).
    void SetWord(const std::wstring& word);
    // A landed letter: when it is the next letter of the word, the word shows one more typed letter.
    // True when that made the word complete (the caller finishes it).
    bool AcceptLetter(wchar_t c);
    // Where the slot of letter k is, in the board's space; (0, 0) past the end.
    void LetterPosition(uint32_t k, float& px, float& py);
    wchar_t CharAt(uint32_t k) const { return k < plain.size() ? plain[k] : L'\0'; }
    uint32_t Length() const { return uint32_t(plain.size()); }
    const std::wstring& PlainWord() const { return plain; }
    uint32_t LandedLetters() const { return landed; }
    // The opacity pulse of a word in the zone.
    void OpacityPulse();
    // Resting becomes falling.
    void StartMoving();

    std::wstring GetText();
    TarnEngine::InstanceHandle GetTextHandle();

    int32_t state = StateResting;
    float velocityX = 0.0f;
    float velocityY = 1.0f;
    bool fading = false;
    bool completed = false;

    static void RegisterLua(lua_State* state);

private:
    void show();

    TarnEngine::InstanceHandle text;
    std::wstring plain;
    uint32_t landed = 0;
};
