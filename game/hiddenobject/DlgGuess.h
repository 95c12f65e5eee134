// The word-guess dialog: the player types the whole secret word and the game judges it, ignoring
// case and counting spaces. A correct guess finds every letter still hidden; a wrong one shows a
// message box. Either way the guess is reported as the power-up "guess". Cancel makes the screen's
// guess button usable again at once.
//
// The dialog is modal and may outlive the hidden-object screen that opened it (a mode switch closes
// the screen first), so it holds the screen by a weak reference. A word that could not be built
// is never guessed.
#pragma once

#include "engine/core/base/WeakPtr.h"
#include "engine/scene/ui/Screen.h"

#include <string>

class HOScreen;

class DlgGuess : public TarnEngine::Screen
{
    TARN_RCLASS(DlgGuess)
    TARN_LUA_CLASS("DlgGuess")
public:
    void SetOwner(HOScreen* screen);
    HOScreen* GetOwner() const;
    const std::wstring& GetWord() const { return word; }
    bool HasWord() const { return wordBuilt; }

    // Screen: the set-up once the dialog's own instance is attached.
    void OnScreenLoaded() override;
    // ButtonListener: "okButton" judges and closes, "cancelButton" recharges the guess button and
    // closes; others do nothing.
    void HandleButtonPressed(TarnEngine::Button* button) override;

    // The typed text against the word; true when correct.
    bool Judge();
    // Whole-string comparison after mapping both to upper case unit by unit.
    static bool IsSameWord(const std::wstring& word, const std::wstring& typed);

    static void RegisterLua(lua_State* state);

private:
    TarnEngine::WeakPtr<TarnEngine::Instance_Movie> owner;
    std::wstring word;
    bool wordBuilt = false;
};
