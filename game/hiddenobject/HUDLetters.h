// The letter row: one slot per position of the secret word (twelve, from "mov_letter"), spaced by
// a fifteenth of the row's width. A refill shows every position that has a letter, found letters
// with their text at the slot's last frame; a live find plays the slot from frame 0. The row is
// the hidden-object screen's child "letters" and also sits in the guess dialog.
//
// Also here: reading a letter's script fields ("i_idx", "s_name") and building the secret word.
//
// The row reaches its screen and the board by weak references and subscribes to a board once; at
// unload it removes every delegate it has on that board, so neither a refill twice nor a board
// deleted first (the screen closed while the guess dialog is open) leaves anything behind.
#pragma once

#include "engine/core/base/WeakPtr.h"
#include "engine/scene/display/node/IInstanceEventHandler.h"
#include "engine/scene/display/movie/Instance_Movie.h"

#include <cstdint>
#include <string>
#include <vector>

class HOScreen;
class ISpyBoard;
class ISpyItem;

class HUDLetters : public TarnEngine::Instance_Movie, public TarnEngine::IInstanceEventHandler
{
    TARN_RCLASS(HUDLetters)
    TARN_LUA_CLASS("HUDLetters")
public:
    static constexpr int SlotCount = 12;

    ~HUDLetters() override;
    void Initialize(const std::wstring& instanceName) override;

    // IInstanceEventHandler: the slots at attach; the subscriptions go at unload.
    void OnLoad(TarnEngine::InstanceHandle instance) override;
    void OnUnload(TarnEngine::InstanceHandle instance) override;

    void SetOwner(HOScreen* screen);
    HOScreen* GetOwner() const;
    // Shows the owner's board's letters (the argument is not used: it is the board-loaded event's).
    void Refill(ISpyBoard* ignored);
    void OnLetterFound(ISpyItem* letter);
    const TarnEngine::InstanceHandle& GetSlot(int index) const { return slots[size_t(index)]; }

    // The letter's 0-based position and its text; false when "i_idx" or "s_name" is missing or the
    // position is below 0. Callers accept only positions below 12.
    static bool ReadLetter(ISpyItem* letter, int32_t& index, std::wstring& text);
    // The word of the letters: twelve blanks, each letter's first character at its position, cut
    // after the highest position (or at a letter with an empty name). False, with the word left as
    // it was, when a letter does not read or its position is 12 or more.
    static bool BuildWord(const std::vector<ISpyItem*>& letters, std::wstring& word);

    static void RegisterLua(lua_State* state);

private:
    void unsubscribe();

    TarnEngine::WeakPtr<TarnEngine::Instance_Movie> owner;
    TarnEngine::WeakPtr<TarnEngine::Instance_Movie> subscribed; // the board holding our delegates
    TarnEngine::InstanceHandle slots[SlotCount];
};
