// The message box; see UIMessageBox.h.
#include "game/ui/UIMessageBox.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/graphics/text/FontDesc.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/script/ScriptRegistry.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "engine/scene/widgets/Button.h"

#include <algorithm>
#include <vector>

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(UIMessageBox, Screen, RObjectFactory<UIMessageBox>, L"UIMessageBox",
                              &UIMessageBox::RegisterLua)

namespace
{

constexpr const wchar_t* kButtonNames[3] = {L"btn_left", L"btn_center", L"btn_right"};
constexpr const wchar_t* kLabelNames[3] = {L"lbl_left", L"lbl_center", L"lbl_right"};

// Every box that exists, so that a listener that goes can be forgotten by all of them. Never
// destroyed: a listener may go during the program's exit, after function statics.
std::vector<UIMessageBox*>& liveBoxes()
{
    static auto* boxes = new std::vector<UIMessageBox*>;
    return *boxes;
}

// Names given to boxes that have started closing, so that none is found by its caption again.
uint32_t g_closingSerial = 0;

void logGame(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", text);
}

// A text argument of "MsgBox": a string (UTF-8) or nil; anything else does not read.
bool readText(lua_State* state, int index, std::wstring& out)
{
    const int kind = lua_type(state, index);
    if (kind != LUA_TSTRING && kind != LUA_TNIL)
        return false;
    return LuaGetWStringArg(state, out, index) == 1;
}

// MsgBox(table, id, caption, message, left, centre, right): a question whose answer goes to the
// table's "HandleMsgBox". Wrong arguments do nothing, without a script error.
int luaMsgBox(lua_State* state)
{
    LuaStrongTable table;
    int id = 0;
    std::wstring texts[5];
    if (!lua_istable(state, 1) || lua_type(state, 2) != LUA_TNUMBER)
        return 0;
    int read = LuaTableRefFromStack(state, table, 1) + LuaGetIntArg(state, id, 2);
    for (int i = 0; i < 5; ++i)
        read += readText(state, 3 + i, texts[i]) ? 1 : 0;
    if (read == 7)
        ShowScriptMessageBox(id, texts[0], texts[1], texts[2], texts[3], texts[4], table);
    return 0;
}

} // namespace

UIMessageBox::UIMessageBox()
{
    liveBoxes().push_back(this);
}

UIMessageBox::~UIMessageBox()
{
    std::vector<UIMessageBox*>& boxes = liveBoxes();
    boxes.erase(std::remove(boxes.begin(), boxes.end(), this), boxes.end());
    scriptTable.Reset();
}

void UIMessageBox::ForgetListener(UIMessageBoxListener* gone)
{
    for (UIMessageBox* box : liveBoxes())
        if (box->listener == gone)
            box->listener = nullptr;
}

void UIMessageBox::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Screen::StaticScriptName());
    def.SetConstructor(&LuaConstruct<UIMessageBox>);
    def.Build(StaticScriptName());
}

Button* UIMessageBox::sideButton(int side)
{
    return RObjectCast<Button>(FindChildByPath(kButtonNames[side]).GetInstance());
}

void UIMessageBox::Setup(MsgBoxCallback newCallback, UIMessageBoxListener* newListener, int32_t newId,
                         const wchar_t* caption, const wchar_t* message, const wchar_t* left,
                         const wchar_t* center, const wchar_t* right)
{
    id = newId;
    callback = newCallback;
    listener = newListener;
    result = ResultNone;

    std::wstring missing;
    auto textChild = [&](const wchar_t* childName)
    {
        auto* text = RObjectCast<Instance_Text>(FindChildByPath(childName).GetInstance());
        if (!text)
            missing += std::wstring(missing.empty() ? L"" : L", ") + childName;
        return text;
    };
    if (Instance_Text* text = textChild(L"caption"))
        text->SetText(caption ? caption : L"");
    if (Instance_Text* text = textChild(L"message"))
    {
        text->SetText(message ? message : L"");
        text->SetTextFormat((text->textFormat & ~uint32_t(eTextFormatBottom)) | eTextFormatVCenter);
        text->Relayout();
    }
    const wchar_t* labels[3] = {left, center, right};
    for (int side = 0; side < 3; ++side)
    {
        Instance_Text* label = textChild(kLabelNames[side]);
        Button* button = sideButton(side);
        if (!button)
            missing += std::wstring(missing.empty() ? L"" : L", ") + kButtonNames[side];
        if (labels[side])
        {
            if (label)
                label->SetText(labels[side]);
            // A box set up again may show a side that its last question hid.
            if (button)
                button->SetVisible(true);
        }
        else if (button)
        {
            button->SetVisible(false);
        }
    }
    if (!missing.empty() && !missingLogged)
    {
        missingLogged = true;
        logGame(L"message box \"" + definitionName + L"\" lacks " + missing);
    }
    if (!left && !center && !right)
        logGame(L"message box \"" + std::wstring(caption ? caption : L"") +
                L"\" has no button: only a script can close it");
    // Set up again after its first update: the enabled flags follow the buttons shown now.
    if (loaded)
        enableByVisibility();
}

void UIMessageBox::SetupForTable(const LuaStrongTable& table, int32_t newId, const wchar_t* caption,
                                 const wchar_t* message, const wchar_t* left, const wchar_t* center,
                                 const wchar_t* right)
{
    scriptTable = table;
    Setup(nullptr, nullptr, newId, caption, message, left, center, right);
}

void UIMessageBox::enableByVisibility()
{
    for (int side = 0; side < 3; ++side)
        if (Button* button = sideButton(side))
            button->SetEnabled(button->visible);
}

void UIMessageBox::OnScreenLoaded()
{
    loaded = true;
    enableByVisibility();
    // Keys go only to global handlers; the box answers Enter and Escape.
    if (UserInterface* ui = UserInterface::Get())
        ui->AddGlobalHandler(movieHandle);
}

void UIMessageBox::OnKeyDown(InstanceHandle instance, uint32_t key)
{
    if (!IsSelf(instance) || (key != Button::KeyEnter && key != Button::KeyEscape))
        return;
    const _ScreenMgr* screens = _ScreenMgr::Get();
    if (!screens || screens->GetTopModalScreen() != this || GetScreenState() == StateFadingOut ||
        GetScreenState() == StateClosed)
        return;
    auto usable = [](Button* button) { return button && button->visible && button->enabled; };
    Button* chosen = nullptr;
    if (key == Button::KeyEscape)
        chosen = usable(sideButton(ResultRight)) ? sideButton(ResultRight) : nullptr;
    else
        for (int side = 0; side < 3 && !chosen; ++side)
            if (usable(sideButton(side)))
                chosen = sideButton(side);
    if (!chosen)
        return;
    // Pressed as the pointer would press it: its look, its click sound, then the answer.
    chosen->SetState(2);
    chosen->OnMouseUp(chosen->GetHitArea(), 0);
}

void UIMessageBox::HandleButtonPressed(Button* button)
{
    if (!button || GetScreenState() == StateFadingOut || GetScreenState() == StateClosed)
        return;
    for (int side = 0; side < 3; ++side)
        if (button->name == kButtonNames[side])
            result = side;
    for (int side = 0; side < 3; ++side)
        if (Button* each = sideButton(side))
            each->SetEnabled(false);
    Close(false);
}

void UIMessageBox::Close(bool accepted)
{
    const int32_t state = GetScreenState();
    if (state != StateFadingOut && state != StateClosed)
        // The question is answered: the next one with this caption gets a box of its own.
        name = L"__closing_msgbox_" + std::to_wstring(++g_closingSerial);
    Screen::Close(accepted);
}

void UIMessageBox::OnRemoved()
{
    if (result == ResultNone)
        return;
    // Told once: whatever the receivers do, this box has answered.
    const int32_t answer = result;
    result = ResultNone;
    const MsgBoxCallback toldCallback = callback;
    if (toldCallback)
        toldCallback(id, answer);
    // The callback may have taken the listener away (it is then forgotten).
    if (UIMessageBoxListener* toldListener = listener)
        toldListener->HandleMsgBox(id, answer);
    const LuaStrongTable table = scriptTable;
    if (table.GetMethod("HandleMsgBox"))
    {
        lua_State* state = table.GetState();
        lua_pushnumber(state, lua_Number(id));
        lua_pushnumber(state, lua_Number(answer));
        LuaPCall(state, 3, 0);
    }
}

UIMessageBox* AsUIMessageBox(RObject* object)
{
    return RObjectCast<UIMessageBox>(object);
}

namespace
{

UIMessageBox* openBox(const wchar_t* caption)
{
    _ScreenMgr* screens = _ScreenMgr::Get();
    if (!screens)
        return nullptr;
    const InstanceHandle made =
        screens->OpenScreen(UIMessageBox::DefinitionName, caption ? caption : L"", true, true);
    return AsUIMessageBox(made.GetInstance());
}

} // namespace

UIMessageBox* ShowMessageBox(MsgBoxCallback callback, UIMessageBoxListener* listener, int32_t id,
                             const wchar_t* caption, const wchar_t* message, const wchar_t* left,
                             const wchar_t* center, const wchar_t* right)
{
    UIMessageBox* box = openBox(caption);
    if (box)
    {
        box->scriptTable.Reset();
        box->Setup(callback, listener, id, caption, message, left, center, right);
    }
    return box;
}

UIMessageBox* ShowScriptMessageBox(int32_t id, const wchar_t* caption, const wchar_t* message,
                                   const wchar_t* left, const wchar_t* center, const wchar_t* right,
                                   const LuaStrongTable& table)
{
    UIMessageBox* box = openBox(caption);
    if (box)
        box->SetupForTable(table, id, caption, message, left, center, right);
    return box;
}

UIMessageBox* ShowScriptMessageBox(int32_t id, const std::wstring& caption, const std::wstring& message,
                                   const std::wstring& left, const std::wstring& center,
                                   const std::wstring& right, const LuaStrongTable& table)
{
    auto label = [](const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); };
    return ShowScriptMessageBox(id, caption.c_str(), message.c_str(), label(left), label(center),
                                label(right), table);
}

void RegisterMessageBoxScript()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    UIMessageBox::StaticClass();
    RegisterScriptFunction("MsgBox", &luaMsgBox);
    RegisterSystemMacroInt("MB_LEFT", UIMessageBox::ResultLeft);
    RegisterSystemMacroInt("MB_CENTER", UIMessageBox::ResultCenter);
    RegisterSystemMacroInt("MB_RIGHT", UIMessageBox::ResultRight);
}
