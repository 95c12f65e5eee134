// The one-line text entry: while it holds the focus (a left press on it gives it the focus within
// its container) it edits its text with the keyboard, scrolls the visible part ("text", a text
// child) so the caret stays in view, and blinks its caret ("bar", a movie child). Keys reach it
// wherever the pointer is, because it registers as a global key handler. The editing keys come as
// key messages; what is typed comes as the window's character messages, so punctuation, letters of
// every script, dead keys and compose sequences type what the keyboard layout makes of them, while
// keys that make no character (arrows, function keys) type nothing.
#pragma once

#include "engine/scene/widgets/Component.h"

#include <limits>

namespace TarnEngine
{

class Instance_Text;

class TextField : public Component
{
    TARN_RCLASS(TextField)
    TARN_LUA_CLASS("TextField")
public:
    static constexpr uint32_t Unlimited = std::numeric_limits<uint32_t>::max();

    void Initialize(const std::wstring& instanceName) override;
    void SetEnabled(bool enable) override;
    // A new state frame puts the children back where the definition has them: the caret goes
    // back behind the text.
    void SetState(int32_t newState) override;
    void OnFocus(bool isFocused) override;

    const std::wstring& GetText() const { return text; }

    // IInstanceEventHandler
    bool IsEatingMouse(InstanceHandle) override { return false; }
    void OnKeyDown(InstanceHandle instance, uint32_t key) override;
    // A typed character; control characters are left to the key messages.
    void OnChar(InstanceHandle instance, uint32_t character) override;
    void OnLoad(InstanceHandle instance) override;
    void OnMouseDown(InstanceHandle instance, uint32_t button) override;
    void OnMouseEnter(InstanceHandle instance) override;
    void OnMouseLeave(InstanceHandle instance) override;

    static void RegisterLua(lua_State* state);

    InstanceHandle textChild; // "text"
    std::wstring text;
    uint32_t firstVisible = 0; // the visible part is [firstVisible, endVisible)
    uint32_t endVisible = 0;
    uint32_t caret = 0;
    uint32_t maxLength = Unlimited;
    InstanceHandle caretChild; // "bar"
    std::wstring allowedCharacters; // when not empty, only these are typed
    bool allowRepeatedSpaces = true;
    uint32_t maxTextWidth = Unlimited; // the whole text measures narrower than this

private:
    Instance_Text* textInstance() const;
    float measure(const std::wstring& part) const;
    // The part [from, to) measures narrower than the text box.
    bool fits(uint32_t from, uint32_t to) const;
    void adjustEnd();
    void adjustStart();
    void keepCaretInView();
    void refresh();
    void placeCaret();
    void restartCaret();
    bool insertCharacter(uint32_t character);
};

} // namespace TarnEngine
