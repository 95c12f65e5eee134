// The game's one question-and-answer dialog: a modal screen made from the definition "dlg_msgbox"
// with a caption, a message and up to three buttons (left, centre, right). The answer is the
// number of the button pressed; it is handed back only once the box has faded out, to a plain
// function, a UIMessageBoxListener and a script table's "HandleMsgBox", in that order.
//
// A box is found by its caption while it is open, so asking the same question again sets the
// open box up anew. A box that is already fading out keeps its answer for its own receivers: it
// gives up its name when it starts closing, and the next question with that caption gets a box
// of its own.
#pragma once

#include "engine/scene/script/LuaReference.h"
#include "engine/scene/ui/Screen.h"
#include "game/ui/MsgBoxCallback.h"
#include "game/ui/UIMessageBoxListener.h"

#include <cstdint>
#include <string>

class UIMessageBox;
UIMessageBox* ShowMessageBox(MsgBoxCallback callback, UIMessageBoxListener* listener, int32_t id,
                             const wchar_t* caption, const wchar_t* message, const wchar_t* left,
                             const wchar_t* center, const wchar_t* right);

class UIMessageBox final : public TarnEngine::Screen
{
    TARN_RCLASS(UIMessageBox)
    TARN_LUA_CLASS("UIMessageBox")
public:
    enum Result : int32_t
    {
        ResultLeft = 0,
        ResultCenter = 1,
        ResultRight = 2,
        ResultNone = 3, // no button yet; a box that closes so tells nobody
    };

    static constexpr const wchar_t* DefinitionName = L"dlg_msgbox";

    UIMessageBox();
    ~UIMessageBox() override;

    // Stores the receivers and the id, clears the answer and fills the texts; a null label hides
    // its side's button.
    void Setup(MsgBoxCallback callback, UIMessageBoxListener* listener, int32_t id, const wchar_t* caption,
               const wchar_t* message, const wchar_t* left, const wchar_t* center, const wchar_t* right);
    // The same with a script table as the only receiver.
    void SetupForTable(const TarnEngine::LuaStrongTable& table, int32_t id, const wchar_t* caption,
                       const wchar_t* message, const wchar_t* left, const wchar_t* center,
                       const wchar_t* right);

    int32_t GetId() const { return id; }
    int32_t GetResult() const { return result; }
    MsgBoxCallback GetCallback() const { return callback; }
    UIMessageBoxListener* GetListener() const { return listener; }

    // Screen
    void Close(bool accepted) override;
    void OnScreenLoaded() override;
    void OnRemoved() override;
    void HandleButtonPressed(TarnEngine::Button* button) override;
    // While the box is the top modal screen, Enter answers with its first button shown (the
    // affirmative, or a lone acknowledgement) and Escape with its right one (the negative) when it
    // has one, as a click on that button would.
    void OnKeyDown(TarnEngine::InstanceHandle instance, uint32_t key) override;

    // Every box that names the listener forgets it (the listener is going away).
    static void ForgetListener(UIMessageBoxListener* gone);

    static void RegisterLua(lua_State* state);

private:
    // A question from game code replaces a script receiver that the box had.
    friend UIMessageBox* ShowMessageBox(MsgBoxCallback, UIMessageBoxListener*, int32_t, const wchar_t*,
                                        const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*);

    TarnEngine::Button* sideButton(int side);
    void enableByVisibility();

    MsgBoxCallback callback = nullptr;
    UIMessageBoxListener* listener = nullptr; // not owned
    TarnEngine::LuaStrongTable scriptTable;
    int32_t id = 0;
    int32_t result = ResultNone;
    bool loaded = false;
    bool missingLogged = false;
};

// The box behind an object, or null when it is none.
UIMessageBox* AsUIMessageBox(TarnEngine::RObject* object);

// Opens (or finds, by caption) the box and sets it up; null when "dlg_msgbox" cannot be made into a
// UIMessageBox. caption and message are never null; a label may be.
UIMessageBox* ShowMessageBox(MsgBoxCallback callback, UIMessageBoxListener* listener, int32_t id,
                             const wchar_t* caption, const wchar_t* message, const wchar_t* left,
                             const wchar_t* center, const wchar_t* right);
// The same for a script table as receiver.
UIMessageBox* ShowScriptMessageBox(int32_t id, const wchar_t* caption, const wchar_t* message,
                                   const wchar_t* left, const wchar_t* center, const wchar_t* right,
                                   const TarnEngine::LuaStrongTable& table);
// The form scripts reach through "MsgBox": an empty label counts as none.
UIMessageBox* ShowScriptMessageBox(int32_t id, const std::wstring& caption, const std::wstring& message,
                                   const std::wstring& left, const std::wstring& center,
                                   const std::wstring& right, const TarnEngine::LuaStrongTable& table);

// The class record, the script function "MsgBox" and the constants "MB_LEFT", "MB_CENTER" and
// "MB_RIGHT"; before the script manager starts. Registering twice changes nothing.
void RegisterMessageBoxScript();
