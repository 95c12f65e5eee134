// In-memory window system for tests; see ScriptedWindowSystem.h.
#include "platform/window/ScriptedWindowSystem.h"

#include "platform/window/KeyMapping.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace Platform
{
namespace
{
long long overlapArea(const Rect& a, const Rect& b)
{
    const long long width = std::min(a.right, b.right) - std::max(a.left, b.left);
    const long long height = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return width > 0 && height > 0 ? width * height : 0;
}

long long distanceSquared(const Rect& r, int x, int y)
{
    const long long dx = x < r.left ? r.left - x : (x >= r.right ? x - r.right + 1 : 0);
    const long long dy = y < r.top ? r.top - y : (y >= r.bottom ? y - r.bottom + 1 : 0);
    return dx * dx + dy * dy;
}

std::uint16_t modifierBit(SDL_Keycode key)
{
    switch (key)
    {
    case SDLK_LSHIFT:
        return KMOD_LSHIFT;
    case SDLK_RSHIFT:
        return KMOD_RSHIFT;
    case SDLK_LCTRL:
        return KMOD_LCTRL;
    case SDLK_RCTRL:
        return KMOD_RCTRL;
    case SDLK_LALT:
        return KMOD_LALT;
    case SDLK_RALT:
        return KMOD_RALT;
    case SDLK_LGUI:
        return KMOD_LGUI;
    case SDLK_RGUI:
        return KMOD_RGUI;
    case SDLK_MODE:
        return KMOD_MODE;
    default:
        return 0;
    }
}

Uint32 buttonMask(Uint8 sdlButton)
{
    return sdlButton >= 1 && sdlButton <= 32 ? SDL_BUTTON(sdlButton) : 0;
}
} // namespace

ScriptedWindowSystem::ScriptedWindowSystem()
{
    MonitorInfo monitor;
    monitor.index = 0;
    monitor.bounds = {0, 0, 1920, 1080};
    monitor.workArea = {0, 0, 1920, 1040};
    monitor.primary = true;
    monitors_.push_back(monitor);
}

ScriptedWindowSystem::~ScriptedWindowSystem() = default;

ScriptedWindowSystem::WindowState* ScriptedWindowSystem::find(WindowHandle window)
{
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : &it->second;
}

const ScriptedWindowSystem::WindowState* ScriptedWindowSystem::find(WindowHandle window) const
{
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : &it->second;
}

const ScriptedWindowSystem::WindowState* ScriptedWindowSystem::State(WindowHandle window) const
{
    return find(window);
}

const ScriptedWindowSystem::CursorRecord* ScriptedWindowSystem::Cursor(CursorHandle cursor) const
{
    auto it = cursors_.find(cursor);
    return it == cursors_.end() ? nullptr : &it->second;
}

void ScriptedWindowSystem::SetHeldModifiers(std::uint16_t modifiers)
{
    held_ = modifiers;
    SetTrackedModifiers(modifiers);
}

bool ScriptedWindowSystem::PollEvent(SDL_Event& event)
{
    if (script_.empty())
        return false;
    event = script_.front();
    script_.pop_front();
    // As with SDL, a window's state has changed by the time its event is read.
    if (event.type == SDL_WINDOWEVENT)
        applyWindowEvent(event.window);
    return true;
}

void ScriptedWindowSystem::keyEvent(WindowHandle window, Uint32 type, SDL_Keycode key, SDL_Scancode scancode,
                                    bool repeat)
{
    const bool down = type == SDL_KEYDOWN;
    if (key == SDLK_CAPSLOCK || key == SDLK_NUMLOCKCLEAR)
    {
        if (down && !repeat)
            held_ ^= key == SDLK_CAPSLOCK ? KMOD_CAPS : KMOD_NUM;
    }
    else if (std::uint16_t bit = modifierBit(key))
    {
        held_ = down ? (held_ | bit) : (held_ & ~bit);
    }
    SDL_Event event{};
    event.type = type;
    event.key.windowID = window;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = scancode;
    event.key.keysym.mod = held_;
    script_.push_back(event);
}

void ScriptedWindowSystem::PressKey(WindowHandle window, SDL_Keycode key, SDL_Scancode scancode, bool repeat)
{
    keyEvent(window, SDL_KEYDOWN, key, scancode, repeat);
}

void ScriptedWindowSystem::ReleaseKey(WindowHandle window, SDL_Keycode key, SDL_Scancode scancode)
{
    keyEvent(window, SDL_KEYUP, key, scancode, false);
}

void ScriptedWindowSystem::TypeText(WindowHandle window, const char* utf8)
{
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    event.text.windowID = window;
    std::strncpy(event.text.text, utf8, sizeof event.text.text - 1);
    script_.push_back(event);
}

void ScriptedWindowSystem::MovePointer(WindowHandle window, int x, int y)
{
    const WindowState* state = find(window);
    if (state == nullptr)
        return;
    if (pointerOver_ != window)
    {
        if (pointerOver_ != 0)
            PointerLeaves(pointerOver_);
        SendWindowEvent(window, SDL_WINDOWEVENT_ENTER);
        pointerOver_ = window;
    }
    pointerX_ = state->x + x;
    pointerY_ = state->y + y;
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = window;
    event.motion.state = buttonsHeld_;
    event.motion.x = x;
    event.motion.y = y;
    script_.push_back(event);
}

void ScriptedWindowSystem::PointerLeaves(WindowHandle window)
{
    if (pointerOver_ == window)
        pointerOver_ = 0;
    SendWindowEvent(window, SDL_WINDOWEVENT_LEAVE);
}

void ScriptedWindowSystem::buttonEvent(WindowHandle window, Uint32 type, Uint8 sdlButton)
{
    const bool down = type == SDL_MOUSEBUTTONDOWN;
    buttonsHeld_ = down ? (buttonsHeld_ | buttonMask(sdlButton)) : (buttonsHeld_ & ~buttonMask(sdlButton));
    SDL_Event event{};
    event.type = type;
    event.button.windowID = window;
    event.button.button = sdlButton;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    if (const WindowState* state = find(window))
    {
        event.button.x = pointerX_ - state->x;
        event.button.y = pointerY_ - state->y;
    }
    script_.push_back(event);
}

void ScriptedWindowSystem::PressButton(WindowHandle window, Uint8 sdlButton)
{
    buttonEvent(window, SDL_MOUSEBUTTONDOWN, sdlButton);
}

void ScriptedWindowSystem::ReleaseButton(WindowHandle window, Uint8 sdlButton)
{
    buttonEvent(window, SDL_MOUSEBUTTONUP, sdlButton);
}

void ScriptedWindowSystem::TurnWheel(WindowHandle window, int notches)
{
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = window;
    event.wheel.y = notches;
    event.wheel.preciseY = static_cast<float>(notches);
    event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    if (const WindowState* state = find(window))
    {
        event.wheel.mouseX = pointerX_ - state->x;
        event.wheel.mouseY = pointerY_ - state->y;
    }
    script_.push_back(event);
}

void ScriptedWindowSystem::SendWindowEvent(WindowHandle window, SDL_WindowEventID id, int data1, int data2)
{
    if (id == SDL_WINDOWEVENT_FOCUS_GAINED)
        scriptedFocus_ = window;
    else if (id == SDL_WINDOWEVENT_FOCUS_LOST && scriptedFocus_ == window)
        scriptedFocus_ = 0;
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = window;
    event.window.event = static_cast<Uint8>(id);
    event.window.data1 = data1;
    event.window.data2 = data2;
    script_.push_back(event);
}

void ScriptedWindowSystem::applyWindowEvent(const SDL_WindowEvent& event)
{
    WindowState* state = find(event.windowID);
    if (state == nullptr)
        return;
    switch (event.event)
    {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        for (auto& [handle, other] : windows_)
            other.focused = handle == event.windowID;
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        state->focused = false;
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        state->minimised = true;
        break;
    case SDL_WINDOWEVENT_RESTORED:
        state->minimised = false;
        break;
    case SDL_WINDOWEVENT_SHOWN:
        state->shown = true;
        break;
    case SDL_WINDOWEVENT_HIDDEN:
        state->shown = false;
        break;
    default:
        break;
    }
}

void ScriptedWindowSystem::DisplaysChanged()
{
    SDL_Event event{};
    event.type = SDL_DISPLAYEVENT;
    event.display.event = SDL_DISPLAYEVENT_CONNECTED;
    script_.push_back(event);
}

WindowHandle ScriptedWindowSystem::NewWindow(const std::wstring& title, int clientWidth, int clientHeight,
                                             WindowStyle style)
{
    if (creationFails_ || clientWidth <= 0 || clientHeight <= 0)
        return 0;
    const WindowHandle handle = nextWindow_++;
    WindowState state;
    state.title = title;
    state.width = clientWidth;
    state.height = clientHeight;
    state.windowedClient = {0, 0, clientWidth, clientHeight};
    windows_[handle] = state;
    if (style == WindowStyle::FullScreen)
        SetStyle(handle, style);
    return handle;
}

void ScriptedWindowSystem::DestroyNativeWindow(WindowHandle window)
{
    windows_.erase(window);
    if (scriptedFocus_ == window)
        scriptedFocus_ = 0;
    if (pointerOver_ == window)
        pointerOver_ = 0;
}

std::vector<WindowHandle> ScriptedWindowSystem::Windows() const
{
    std::vector<WindowHandle> list;
    for (const auto& [handle, state] : windows_)
        list.push_back(handle);
    return list;
}

bool ScriptedWindowSystem::SetTitle(WindowHandle window, const std::wstring& title)
{
    WindowState* state = find(window);
    if (state == nullptr)
        return false;
    state->title = title;
    return true;
}

bool ScriptedWindowSystem::SetIcon(WindowHandle window, const PictureView& picture)
{
    WindowState* state = find(window);
    if (state == nullptr || picture.width <= 0 || picture.height <= 0 || picture.rgba == nullptr)
        return false;
    state->iconWidth = picture.width;
    state->iconHeight = picture.height;
    return true;
}

bool ScriptedWindowSystem::GetClientSize(WindowHandle window, int& width, int& height) const
{
    const WindowState* state = find(window);
    if (state == nullptr)
        return false;
    width = state->width;
    height = state->height;
    return true;
}

bool ScriptedWindowSystem::SetClientSize(WindowHandle window, int width, int height)
{
    WindowState* state = find(window);
    if (state == nullptr || width <= 0 || height <= 0)
        return false;
    state->windowedClient.right = state->windowedClient.left + width;
    state->windowedClient.bottom = state->windowedClient.top + height;
    if (state->style == WindowStyle::Bordered)
    {
        state->width = width;
        state->height = height;
    }
    return true;
}

bool ScriptedWindowSystem::GetClientPosition(WindowHandle window, int& x, int& y) const
{
    const WindowState* state = find(window);
    if (state == nullptr)
        return false;
    x = state->x;
    y = state->y;
    return true;
}

bool ScriptedWindowSystem::SetClientPosition(WindowHandle window, int x, int y)
{
    WindowState* state = find(window);
    if (state == nullptr)
        return false;
    const int width = state->windowedClient.Width();
    const int height = state->windowedClient.Height();
    state->windowedClient = {x, y, x + width, y + height};
    if (state->style == WindowStyle::Bordered)
    {
        state->x = x;
        state->y = y;
    }
    return true;
}

bool ScriptedWindowSystem::GetBorders(WindowHandle window, Borders& borders) const
{
    const WindowState* state = find(window);
    if (state == nullptr)
        return false;
    borders = state->style == WindowStyle::Bordered ? decoration_ : Borders{};
    return true;
}

WindowStyle ScriptedWindowSystem::GetStyle(WindowHandle window) const
{
    const WindowState* state = find(window);
    return state == nullptr ? WindowStyle::Bordered : state->style;
}

bool ScriptedWindowSystem::SetStyle(WindowHandle window, WindowStyle style)
{
    WindowState* state = find(window);
    if (state == nullptr)
        return false;
    if (state->style == style)
        return true;
    if (style == WindowStyle::FullScreen)
    {
        const int monitor = GetWindowMonitor(window);
        auto it = std::find_if(monitors_.begin(), monitors_.end(),
                               [monitor](const MonitorInfo& m) { return m.index == monitor; });
        if (it == monitors_.end())
            return false;
        state->windowedClient = {state->x, state->y, state->x + state->width, state->y + state->height};
        state->x = it->bounds.left;
        state->y = it->bounds.top;
        state->width = it->bounds.Width();
        state->height = it->bounds.Height();
    }
    else
    {
        state->x = state->windowedClient.left;
        state->y = state->windowedClient.top;
        state->width = state->windowedClient.Width();
        state->height = state->windowedClient.Height();
    }
    state->style = style;
    return true;
}

bool ScriptedWindowSystem::Show(WindowHandle window)
{
    WindowState* state = find(window);
    if (state == nullptr)
        return false;
    state->shown = true;
    return true;
}

bool ScriptedWindowSystem::Hide(WindowHandle window)
{
    WindowState* state = find(window);
    if (state == nullptr)
        return false;
    state->shown = false;
    return true;
}

void ScriptedWindowSystem::setFocus(WindowHandle window)
{
    if (scriptedFocus_ == window)
        return;
    if (scriptedFocus_ != 0)
        SendWindowEvent(scriptedFocus_, SDL_WINDOWEVENT_FOCUS_LOST);
    SendWindowEvent(window, SDL_WINDOWEVENT_FOCUS_GAINED);
}

bool ScriptedWindowSystem::Raise(WindowHandle window)
{
    if (find(window) == nullptr)
        return false;
    setFocus(window);
    return true;
}

bool ScriptedWindowSystem::Minimise(WindowHandle window)
{
    if (find(window) == nullptr)
        return false;
    SendWindowEvent(window, SDL_WINDOWEVENT_MINIMIZED);
    if (scriptedFocus_ == window)
        SendWindowEvent(window, SDL_WINDOWEVENT_FOCUS_LOST);
    return true;
}

bool ScriptedWindowSystem::Restore(WindowHandle window)
{
    if (find(window) == nullptr)
        return false;
    SendWindowEvent(window, SDL_WINDOWEVENT_RESTORED);
    return true;
}

bool ScriptedWindowSystem::IsShown(WindowHandle window) const
{
    const WindowState* state = find(window);
    return state != nullptr && state->shown;
}

bool ScriptedWindowSystem::IsMinimised(WindowHandle window) const
{
    const WindowState* state = find(window);
    return state != nullptr && state->minimised;
}

bool ScriptedWindowSystem::HasFocus(WindowHandle window) const
{
    const WindowState* state = find(window);
    return state != nullptr && state->focused;
}

int ScriptedWindowSystem::GetWindowMonitor(WindowHandle window) const
{
    Rect outer;
    if (monitors_.empty() || !GetOuterRect(window, outer))
        return -1;
    // Most overlap wins; a window on no display belongs to the nearest.
    const MonitorInfo* best = nullptr;
    long long bestArea = 0;
    for (const MonitorInfo& m : monitors_)
    {
        const long long area = overlapArea(outer, m.bounds);
        if (area > bestArea)
        {
            bestArea = area;
            best = &m;
        }
    }
    if (best != nullptr)
        return best->index;
    const int centreX = outer.left + outer.Width() / 2;
    const int centreY = outer.top + outer.Height() / 2;
    long long bestDistance = LLONG_MAX;
    for (const MonitorInfo& m : monitors_)
    {
        const long long distance = distanceSquared(m.bounds, centreX, centreY);
        if (distance < bestDistance)
        {
            bestDistance = distance;
            best = &m;
        }
    }
    return best->index;
}

bool ScriptedWindowSystem::GetDesktopMode(int monitor, DisplayMode& mode) const
{
    for (const MonitorInfo& m : monitors_)
    {
        if (m.index == monitor)
        {
            mode = {m.bounds.Width(), m.bounds.Height(), 60};
            return true;
        }
    }
    return false;
}

bool ScriptedWindowSystem::GetCursorClientPosition(WindowHandle window, int& x, int& y) const
{
    const WindowState* state = find(window);
    if (state == nullptr)
        return false;
    x = pointerX_ - state->x;
    y = pointerY_ - state->y;
    return true;
}

bool ScriptedWindowSystem::IsKeyHeld(std::uint16_t virtualKey) const
{
    return ModifiersHoldKey(held_, virtualKey);
}

bool ScriptedWindowSystem::IsCapsLockOn() const
{
    return (held_ & KMOD_CAPS) != 0;
}

CursorHandle ScriptedWindowSystem::NewColourCursor(const PictureView& picture, int hotX, int hotY)
{
    if (picture.width <= 0 || picture.height <= 0 || picture.rgba == nullptr || hotX < 0 || hotY < 0 ||
        hotX >= picture.width || hotY >= picture.height)
        return 0;
    const CursorHandle handle = nextCursor_++;
    cursors_[handle] = {picture.width, picture.height, hotX, hotY};
    return handle;
}

void ScriptedWindowSystem::DestroyCursor(CursorHandle cursor)
{
    if (cursors_.erase(cursor) != 0 && currentCursor_ == cursor)
        currentCursor_ = ArrowCursor;
}

bool ScriptedWindowSystem::SetCursor(CursorHandle cursor)
{
    if (cursor != ArrowCursor && cursors_.count(cursor) == 0)
        return false;
    currentCursor_ = cursor;
    return true;
}

void ScriptedWindowSystem::ShowMessageBox(WindowHandle owner, const std::wstring& caption,
                                          const std::wstring& text)
{
    boxes_.push_back({owner, caption, text});
}
} // namespace Platform
