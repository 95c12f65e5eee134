// The variant-independent half of the window layer: the message queue, the
// dispatch to handlers, default handling, capture and leave notices, the
// pointer counter, and the translation from SDL events to messages.
#include "platform/window/WindowSystem.h"

#include "platform/system/Utf8.h"
#include "platform/window/KeyMapping.h"
#include "platform/window/VirtualKeys.h"

#include <SDL2/SDL_mouse.h>

#include <algorithm>
#include <cmath>

namespace Platform
{
namespace
{
void eraseHandle(std::vector<WindowHandle>& list, WindowHandle window)
{
    list.erase(std::remove(list.begin(), list.end(), window), list.end());
}

bool contains(const std::vector<WindowHandle>& list, WindowHandle window)
{
    return std::find(list.begin(), list.end(), window) != list.end();
}
} // namespace

WindowSystem::~WindowSystem() = default;

void WindowSystem::DestroyWindow(WindowHandle window)
{
    // A handler that destroys its window again while told of the destruction
    // changes nothing.
    if (!IsWindow(window) || contains(destroying_, window))
        return;
    WindowMessage destroy;
    destroy.kind = MessageKind::Destroy;
    destroy.window = window;
    destroying_.push_back(window);
    Dispatch(destroy);
    eraseHandle(destroying_, window);
    if (capture_ == window)
        ReleaseMouse();
    DestroyNativeWindow(window);
    handlers_.erase(window);
    eraseHandle(leaveRequests_, window);
    eraseHandle(leavesAfterCapture_, window);
    if (pointerInside_ == window)
        pointerInside_ = 0;
    std::erase_if(queue_, [window](const WindowMessage& m) { return m.window == window; });
}

void WindowSystem::SetHandler(WindowHandle window, MessageHandler* handler)
{
    if (!IsWindow(window))
        return;
    if (handler == nullptr)
        handlers_.erase(window);
    else
        handlers_[window] = handler;
}

MessageHandler* WindowSystem::GetHandler(WindowHandle window) const
{
    auto it = handlers_.find(window);
    return it == handlers_.end() ? nullptr : it->second;
}

bool WindowSystem::GetOuterRect(WindowHandle window, Rect& rect) const
{
    int x = 0, y = 0, width = 0, height = 0;
    Borders borders;
    if (!GetClientPosition(window, x, y) || !GetClientSize(window, width, height) ||
        !GetBorders(window, borders))
        return false;
    rect = {x - borders.left, y - borders.top, x + width + borders.right, y + height + borders.bottom};
    return true;
}

bool WindowSystem::TakeMessage(WindowMessage& message)
{
    if (queue_.empty() && !quitPosted_)
    {
        SDL_Event event;
        while (queue_.empty() && PollEvent(event))
            TranslateEvent(event);
    }
    if (!queue_.empty())
    {
        message = queue_.front();
        queue_.pop_front();
        return true;
    }
    if (quitPosted_)
    {
        quitPosted_ = false;
        message = WindowMessage{};
        message.kind = MessageKind::Quit;
        message.exitCode = quitCode_;
        return true;
    }
    return false;
}

std::intptr_t WindowSystem::Dispatch(const WindowMessage& message)
{
    if (MessageHandler* handler = GetHandler(message.window))
        return handler->OnMessage(message);
    return DefaultHandling(message);
}

std::intptr_t WindowSystem::DefaultHandling(const WindowMessage& message)
{
    switch (message.kind)
    {
    case MessageKind::Close:
        DestroyWindow(message.window);
        break;
    case MessageKind::SetCursor:
        SetCursor(ArrowCursor);
        break;
    case MessageKind::SystemKeyDown:
        if (message.key == VirtualKey::Return && message.altDown && !message.repeat)
        {
            WindowMessage menu;
            menu.kind = MessageKind::KeyMenu;
            menu.window = message.window;
            menu.character = 13;
            Dispatch(menu);
        }
        break;
    default:
        break;
    }
    return 0;
}

void WindowSystem::Post(const WindowMessage& message)
{
    if (message.kind == MessageKind::Quit)
        PostQuit(message.exitCode);
    else if (IsWindow(message.window))
        queue_.push_back(message);
}

void WindowSystem::PostQuit(int exitCode)
{
    quitPosted_ = true;
    quitCode_ = exitCode;
}

void WindowSystem::CaptureMouse(WindowHandle window)
{
    if (!IsWindow(window) || capture_ == window)
        return;
    if (capture_ != 0)
        ReleaseMouse();
    capture_ = window;
    SetNativeCapture(window, true);
}

void WindowSystem::ReleaseMouse()
{
    if (capture_ == 0)
        return;
    const WindowHandle released = capture_;
    capture_ = 0;
    SetNativeCapture(released, false);
    // A leave that happened while the window held the pointer is told now;
    // coming back in the meantime has cancelled it (see the enter event).
    if (contains(leavesAfterCapture_, released))
    {
        eraseHandle(leavesAfterCapture_, released);
        pointerLeft(released);
    }
}

void WindowSystem::RequestLeaveNotice(WindowHandle window)
{
    if (!IsWindow(window) || contains(leaveRequests_, window))
        return;
    leaveRequests_.push_back(window);
    if (pointerInside_ != window)
        pointerLeft(window);
}

int WindowSystem::ShowPointer(bool show)
{
    const bool wasVisible = pointerCounter_ >= 0;
    pointerCounter_ += show ? 1 : -1;
    const bool visible = pointerCounter_ >= 0;
    if (visible != wasVisible)
        SetPointerVisible(visible);
    return pointerCounter_;
}

void WindowSystem::pointerLeft(WindowHandle window)
{
    if (capture_ == window)
    {
        if (!contains(leavesAfterCapture_, window))
            leavesAfterCapture_.push_back(window);
        return;
    }
    if (!contains(leaveRequests_, window))
        return;
    eraseHandle(leaveRequests_, window);
    WindowMessage leave;
    leave.kind = MessageKind::MouseLeave;
    leave.window = window;
    queue_.push_back(leave);
}

WindowHandle WindowSystem::pointerTarget(WindowHandle from, int x, int y, int& targetX, int& targetY) const
{
    // The captor gets the pointer wherever it is, in its own client
    // coordinates.
    const WindowHandle target = capture_ != 0 ? capture_ : from;
    if (!IsWindow(target))
        return 0;
    targetX = x;
    targetY = y;
    int fromLeft = 0, fromTop = 0, toLeft = 0, toTop = 0;
    if (target != from && GetClientPosition(from, fromLeft, fromTop) &&
        GetClientPosition(target, toLeft, toTop))
    {
        targetX += fromLeft - toLeft;
        targetY += fromTop - toTop;
    }
    return target;
}

std::uint32_t WindowSystem::mouseKeyFlags() const
{
    std::uint32_t flags = buttons_;
    if (modifiers_ & KMOD_SHIFT)
        flags |= MouseFlagShift;
    if (modifiers_ & KMOD_CTRL)
        flags |= MouseFlagControl;
    return flags;
}

void WindowSystem::TranslateEvent(const SDL_Event& event)
{
    switch (event.type)
    {
    case SDL_WINDOWEVENT:
        translateWindowEvent(event.window);
        break;
    case SDL_DISPLAYEVENT:
        for (WindowHandle window : Windows())
        {
            WindowMessage change;
            change.kind = MessageKind::DisplayChange;
            change.window = window;
            queue_.push_back(change);
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        translateKey(event.key);
        break;
    case SDL_TEXTINPUT:
    {
        // Text typed with the left Alt held is a menu accelerator, not input;
        // AltGr (right Alt) composes ordinary characters.
        if (!IsWindow(event.text.windowID) || (modifiers_ & KMOD_LALT))
            break;
        std::u32string characters;
        AppendUtf8Characters(event.text.text, characters);
        for (char32_t c : characters)
        {
            WindowMessage message;
            message.kind = MessageKind::Char;
            message.window = event.text.windowID;
            message.character = c;
            queue_.push_back(message);
        }
        break;
    }
    case SDL_MOUSEMOTION:
    {
        WindowMessage message;
        message.kind = MessageKind::MouseMove;
        message.window =
            pointerTarget(event.motion.windowID, event.motion.x, event.motion.y, message.x, message.y);
        if (message.window == 0)
            break;
        message.keyFlags = mouseKeyFlags();
        // Over the client area, and with nobody holding the mouse, the window
        // chooses the pointer's shape before it hears of the move.
        int width = 0, height = 0;
        if (capture_ == 0 && GetClientSize(message.window, width, height) && message.x >= 0 &&
            message.y >= 0 && message.x < width && message.y < height)
        {
            WindowMessage setCursor;
            setCursor.kind = MessageKind::SetCursor;
            setCursor.window = message.window;
            queue_.push_back(setCursor);
        }
        queue_.push_back(message);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    {
        const SDL_MouseButtonEvent& b = event.button;
        int button = 0;
        std::uint32_t flag = 0;
        switch (b.button)
        {
        case SDL_BUTTON_LEFT:
            button = ButtonLeft;
            flag = MouseFlagLeft;
            break;
        case SDL_BUTTON_RIGHT:
            button = ButtonRight;
            flag = MouseFlagRight;
            break;
        case SDL_BUTTON_MIDDLE:
            button = ButtonMiddle;
            flag = MouseFlagMiddle;
            break;
        default:
            return; // extra buttons have no message
        }
        const bool down = event.type == SDL_MOUSEBUTTONDOWN;
        if (down)
            buttons_ |= flag;
        else
            buttons_ &= ~flag;
        WindowMessage message;
        message.window = pointerTarget(b.windowID, b.x, b.y, message.x, message.y);
        if (message.window == 0)
            break;
        message.kind = down ? MessageKind::ButtonDown : MessageKind::ButtonUp;
        message.button = button;
        message.keyFlags = mouseKeyFlags();
        queue_.push_back(message);
        break;
    }
    case SDL_MOUSEWHEEL:
    {
        const SDL_MouseWheelEvent& w = event.wheel;
        const float notches = w.preciseY != 0.0f ? w.preciseY : static_cast<float>(w.y);
        const int delta = static_cast<int>(std::lround(notches * 120.0f));
        if (delta == 0)
            break;
        WindowMessage message;
        message.window = pointerTarget(w.windowID, w.mouseX, w.mouseY, message.x, message.y);
        if (message.window == 0)
            break;
        message.kind = MessageKind::MouseWheel;
        message.wheelDelta = delta;
        message.keyFlags = mouseKeyFlags();
        queue_.push_back(message);
        break;
    }
    default:
        break;
    }
}

void WindowSystem::translateWindowEvent(const SDL_WindowEvent& event)
{
    const WindowHandle window = event.windowID;
    if (!IsWindow(window))
        return;
    WindowMessage message;
    message.window = window;
    switch (event.event)
    {
    case SDL_WINDOWEVENT_EXPOSED:
        message.kind = MessageKind::Paint;
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (IsMinimised(window))
            return;
        message.kind = MessageKind::Size;
        message.sizeKind = SizeKind::Restored;
        message.width = event.data1;
        message.height = event.data2;
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        message.kind = MessageKind::Size;
        message.sizeKind = SizeKind::Minimised;
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_RESTORED:
        message.kind = MessageKind::Size;
        message.sizeKind =
            event.event == SDL_WINDOWEVENT_MAXIMIZED ? SizeKind::Maximised : SizeKind::Restored;
        GetClientSize(window, message.width, message.height);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
    case SDL_WINDOWEVENT_FOCUS_LOST:
        message.kind = MessageKind::Activate;
        message.active = event.event == SDL_WINDOWEVENT_FOCUS_GAINED;
        message.minimised = IsMinimised(window);
        break;
    case SDL_WINDOWEVENT_ENTER:
        pointerInside_ = window;
        eraseHandle(leavesAfterCapture_, window);
        return;
    case SDL_WINDOWEVENT_LEAVE:
        if (pointerInside_ == window)
            pointerInside_ = 0;
        pointerLeft(window);
        return;
    case SDL_WINDOWEVENT_CLOSE:
        message.kind = MessageKind::Close;
        break;
    case SDL_WINDOWEVENT_MOVED:
        message.kind = MessageKind::ExitSizeMove;
        break;
    default:
        return;
    }
    queue_.push_back(message);
}

void WindowSystem::translateKey(const SDL_KeyboardEvent& event)
{
    modifiers_ = event.keysym.mod;
    if (!IsWindow(event.windowID))
        return;
    const std::uint16_t key = VirtualKeyFromSdl(event.keysym.sym, event.keysym.scancode, event.keysym.mod);
    if (key == VirtualKey::None)
        return;
    const bool down = event.type == SDL_KEYDOWN;
    const bool alt = (event.keysym.mod & KMOD_ALT) != 0 || key == VirtualKey::Alt;
    // Alt combinations, Alt itself and F10 are the system's keys (menu keys);
    // with Ctrl also held (AltGr on many layouts) a key is an ordinary one.
    const bool system = (alt && (event.keysym.mod & KMOD_CTRL) == 0) || key == VirtualKey::F10;
    WindowMessage message;
    message.window = event.windowID;
    message.kind = down ? (system ? MessageKind::SystemKeyDown : MessageKind::KeyDown)
                        : (system ? MessageKind::SystemKeyUp : MessageKind::KeyUp);
    message.key = key;
    message.repeat = down && event.repeat != 0;
    message.altDown = alt;
    queue_.push_back(message);
    // The keys that type control characters do so as characters too, after
    // their key message, as the engine reads them from the character stream.
    if (down && !system)
    {
        if (char32_t c = ControlCharacterForKey(key))
        {
            WindowMessage character;
            character.kind = MessageKind::Char;
            character.window = event.windowID;
            character.character = c;
            queue_.push_back(character);
        }
    }
}
} // namespace Platform
