// Text fields; see TextField.h.
#include "engine/scene/widgets/TextField.h"

#include "engine/core/text/TextConversion.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/widgets/Container.h"

#include <algorithm>

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(TextField, Component, RObjectFactory<TextField>, L"TextField", &TextField::RegisterLua)

namespace
{

constexpr uint32_t kBackspace = 8;
constexpr uint32_t kEnd = 35;
constexpr uint32_t kHome = 36;
constexpr uint32_t kLeft = 37;
constexpr uint32_t kRight = 39;
constexpr uint32_t kDelete = 46;

// A character that a field can hold: control characters (Backspace, Enter, Escape and Tab come as
// characters too), the C1 range and lone surrogate halves type nothing.
bool isTypable(uint32_t character)
{
    if (character < 0x20 || (character >= 0x7F && character < 0xA0))
        return false;
    if (character >= 0xD800 && character <= 0xDFFF)
        return false;
    return character <= 0x10FFFF;
}

int getText(lua_State* state)
{
    const TextField* self = GetLuaSelf<TextField>(state);
    if (!self)
        return 0;
    const std::string narrow = WStringToAnsi(self->GetText());
    lua_pushlstring(state, narrow.data(), narrow.size());
    return 1;
}

} // namespace

void TextField::Initialize(const std::wstring& instanceName)
{
    InitializeOwnHandler(instanceName);
}

Instance_Text* TextField::textInstance() const
{
    return RObjectCast<Instance_Text>(textChild.GetInstance());
}

float TextField::measure(const std::wstring& part) const
{
    Instance_Text* child = textInstance();
    return child ? float(child->MeasureText(part).width) : 0.0f;
}

bool TextField::fits(uint32_t from, uint32_t to) const
{
    const Instance_Text* child = textInstance();
    if (!child || from > to || to > text.size())
        return false;
    return measure(text.substr(from, to - from)) < float(child->boxWidth);
}

void TextField::adjustEnd()
{
    while (endVisible > firstVisible && !fits(firstVisible, endVisible))
        --endVisible;
    while (endVisible < text.size() && fits(firstVisible, endVisible + 1))
        ++endVisible;
}

void TextField::adjustStart()
{
    while (firstVisible < endVisible && !fits(firstVisible, endVisible))
        ++firstVisible;
    while (firstVisible > 0 && fits(firstVisible - 1, endVisible))
        --firstVisible;
}

void TextField::keepCaretInView()
{
    // Characters of different widths can push the caret out of the visible part; it must stay in.
    const uint32_t length = uint32_t(text.size());
    caret = std::min(caret, length);
    endVisible = std::min(endVisible, length);
    firstVisible = std::min(firstVisible, endVisible);
    if (caret > endVisible)
    {
        endVisible = caret;
        adjustStart();
    }
    if (caret < firstVisible)
    {
        firstVisible = caret;
        adjustEnd();
    }
}

void TextField::refresh()
{
    Instance_Text* child = textInstance();
    if (!child)
        return;
    child->SetText(text.substr(firstVisible, endVisible - firstVisible));
    placeCaret();
}

void TextField::placeCaret()
{
    Instance_Text* child = textInstance();
    Instance_Base* bar = caretChild.GetInstance();
    if (child && bar && firstVisible <= caret && caret <= text.size())
        bar->SetX(child->x + measure(text.substr(firstVisible, caret - firstVisible)));
}

void TextField::SetState(int32_t newState)
{
    Component::SetState(newState);
    placeCaret();
}

void TextField::restartCaret()
{
    if (auto* bar = RObjectCast<Instance_Movie>(caretChild.GetInstance()))
        bar->SetFrame(0);
}

void TextField::OnFocus(bool isFocused)
{
    focused = isFocused;
    auto* bar = RObjectCast<Instance_Movie>(caretChild.GetInstance());
    if (!bar)
        return;
    if (isFocused)
    {
        bar->SetVisible(true);
        bar->SetFrame(0);
        bar->SetPlaying(true);
    }
    else
    {
        bar->SetPlaying(false);
        bar->SetVisible(false);
    }
}

void TextField::SetEnabled(bool enable)
{
    Component::SetEnabled(enable);
    if (focused && owner)
        owner->ClearFocus(false);
}

bool TextField::insertCharacter(uint32_t character)
{
    if (!isTypable(character))
        return false;
    const wchar_t c = wchar_t(character);
    // A list of upper-case letters admits both cases, as it always has.
    const wchar_t upper = c >= L'a' && c <= L'z' ? wchar_t(c - L'a' + L'A') : c;
    if (!allowedCharacters.empty() && allowedCharacters.find(c) == std::wstring::npos &&
        allowedCharacters.find(upper) == std::wstring::npos)
        return false;
    if (!allowRepeatedSpaces && c == L' ' &&
        ((caret > 0 && text[caret - 1] == L' ') || (caret < text.size() && text[caret] == L' ')))
        return false;
    if (text.size() >= maxLength)
        return false;
    std::wstring candidate = text;
    candidate.insert(candidate.begin() + caret, c);
    if (measure(candidate) >= float(maxTextWidth))
        return false;
    text.swap(candidate);
    ++caret;
    if (fits(firstVisible, endVisible + 1))
        ++endVisible;
    if (endVisible < caret)
        ++endVisible;
    if (caret == endVisible)
        adjustStart();
    else
        adjustEnd();
    return true;
}

void TextField::OnKeyDown(InstanceHandle, uint32_t virtualKey)
{
    if (!enabled || !focused || !textInstance())
        return;
    const uint32_t key = virtualKey & 0xFFFF;
    restartCaret();
    const uint32_t length = uint32_t(text.size());
    switch (key)
    {
    case kBackspace:
        if (caret > 0 && !text.empty())
        {
            text.erase(caret - 1, 1);
            if (caret == firstVisible)
            {
                --firstVisible;
                --endVisible;
                --caret;
            }
            else
            {
                --caret;
                endVisible = std::min(endVisible, uint32_t(text.size()));
                adjustEnd();
            }
        }
        break;
    case kDelete:
        if (caret < length && !text.empty())
        {
            text.erase(caret, 1);
            endVisible = std::min(endVisible, uint32_t(text.size()));
            adjustEnd();
        }
        break;
    case kHome:
    {
        const uint32_t visibleCount = endVisible - firstVisible;
        const uint32_t oldEnd = endVisible;
        caret = firstVisible = 0;
        if (!fits(0, oldEnd))
        {
            endVisible = visibleCount;
            adjustEnd();
        }
        break;
    }
    case kEnd:
    {
        const uint32_t visibleCount = endVisible - firstVisible;
        caret = endVisible = length;
        if (!fits(firstVisible, endVisible))
        {
            firstVisible = endVisible - std::min(visibleCount, endVisible);
            adjustStart();
        }
        break;
    }
    case kLeft:
        if (caret > 0)
        {
            --caret;
            if (caret < firstVisible)
            {
                --firstVisible;
                adjustEnd();
            }
        }
        break;
    case kRight:
        if (caret < length)
        {
            ++caret;
            if (caret > endVisible)
            {
                ++endVisible;
                adjustStart();
            }
        }
        break;
    default:
        // Typed characters come as character messages (OnChar), which carry what the keyboard
        // layout, Shift, Caps Lock, dead keys and compose made of the keys.
        return;
    }
    keepCaretInView();
    refresh();
    restartCaret();
    PlayEventSound(L"tf_click");
}

void TextField::OnChar(InstanceHandle, uint32_t character)
{
    if (!enabled || !focused || !textInstance())
        return;
    if (!insertCharacter(character))
        return;
    keepCaretInView();
    refresh();
    restartCaret();
    PlayEventSound(L"tf_click");
}

void TextField::OnLoad(InstanceHandle instance)
{
    if (!IsSelf(instance))
        return;
    LoadComponent();
    textChild = FindChildByPath(L"text").AsText();
    caretChild = FindChildByPath(L"bar").AsMovie();
    if (UserInterface* ui = UserInterface::Get())
        ui->AddGlobalHandler(movieHandle);
    refresh();
    OnFocus(false);
}

void TextField::OnMouseDown(InstanceHandle instance, uint32_t button)
{
    if (enabled && button == 0 && HitTest(instance) && owner)
        owner->SetFocus(this);
}

void TextField::OnMouseEnter(InstanceHandle instance)
{
    if (enabled && HitTest(instance))
        SetState(1);
}

void TextField::OnMouseLeave(InstanceHandle instance)
{
    if (enabled && HitTest(instance))
        SetState(0);
}

void TextField::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Component::StaticScriptName());
    def.AddMethod("GetText", &getText);
    def.SetConstructor(&LuaConstruct<TextField>);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
