// The render window and its window procedure; see Window.h.
#include "engine/core/app/Window.h"

#include "engine/core/app/IWindowInput.h"
#include "engine/core/app/IWindowOwner.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/core/files/ProtectedXmlFile.h"
#include "engine/core/files/SettingsStore.h"
#include "engine/core/text/StringFormat.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"
#include "platform/window/VirtualKeys.h"

#include <algorithm>
#include <map>
#include <memory>

namespace TarnEngine
{

using Platform::MessageKind;
using Platform::WindowHandle;
using Platform::WindowMessage;

namespace
{
const wchar_t kPlacementFile[] = L"Window.prefs";
const int kMinimumMonitorWidth = 800;
const int kMinimumMonitorHeight = 600;
const int kMinimumCoordinate = -32768;
const int kMaximumCoordinate = 32767;

std::map<WindowHandle, Window*>& handleMap()
{
    static std::map<WindowHandle, Window*> map;
    return map;
}

void addNumber(XmlNode& root, const wchar_t* name, int value)
{
    XmlNode* child = root.AddNewChild(name);
    child->text = StringPrintf(L"%d", value);
    child->empty = false;
}

// Whether the rectangle (left, top, right, bottom), wide enough for any stored
// number, overlaps the area.
bool overlaps(long long left, long long top, long long right, long long bottom, const Platform::Rect& area)
{
    return std::max<long long>(left, area.left) < std::min<long long>(right, area.right) &&
           std::max<long long>(top, area.top) < std::min<long long>(bottom, area.bottom);
}
} // namespace

Window::Window(Platform::WindowSystem& system, IWindowOwner& engine, IWindowInput* input)
    : cursors(system), system_(system), engine_(engine), input_(input), procedure_(system)
{
}

Window::~Window()
{
    // A full-screen window is not destroyed by the engine's shutdown; it goes
    // here, so that no window and no map entry outlives its Window.
    if (adopted_)
        ReleaseAdopted();
    else if (handle_ != 0)
        Destroy();
    leave();
}

Window* Window::FromHandle(WindowHandle handle)
{
    auto it = handleMap().find(handle);
    return it == handleMap().end() ? nullptr : it->second;
}

void Window::enter()
{
    handleMap()[handle_] = this;
}

void Window::leave()
{
    auto& map = handleMap();
    for (auto it = map.begin(); it != map.end();)
        it = it->second == this ? map.erase(it) : std::next(it);
}

bool Window::Create(const std::wstring& title, const Platform::Rect& clientRect)
{
    if (handle_ != 0)
        return false;
    const WindowHandle handle =
        system_.NewWindow(title, clientRect.Width(), clientRect.Height(), Platform::WindowStyle::Bordered);
    if (handle == 0)
        return false;
    handle_ = handle;
    enter();
    system_.SetHandler(handle_, &procedure_);
    system_.SetClientPosition(handle_, clientRect.left, clientRect.top);
    LoadPlacement();
    return true;
}

void Window::Destroy()
{
    if (handle_ == 0)
        return;
    system_.DestroyWindow(handle_);
    leave();
    handle_ = 0;
    captureCount_ = 0;
    mouseTracked_ = false;
    emulatedRightButton_ = false;
}

bool Window::Adopt(WindowHandle handle)
{
    if (handle_ != 0 || !system_.IsWindow(handle))
        return false;
    previousHandler_ = system_.GetHandler(handle);
    handle_ = handle;
    adopted_ = true;
    enter();
    system_.SetHandler(handle_, &procedure_);
    return true;
}

void Window::ReleaseAdopted()
{
    if (!adopted_)
        return;
    if (system_.IsWindow(handle_))
    {
        releaseCapture();
        system_.SetHandler(handle_, previousHandler_);
    }
    // Leaving the map as well: the Window may be deleted next, and a message
    // must never find it then.
    leave();
    previousHandler_ = nullptr;
    adopted_ = false;
    handle_ = 0;
}

void Window::GetOuterSizeForClient(int clientWidth, int clientHeight, int& width, int& height) const
{
    Platform::Borders borders;
    if (!system_.GetBorders(handle_, borders))
        borders = {};
    width = clientWidth + borders.left + borders.right;
    height = clientHeight + borders.top + borders.bottom;
}

bool Window::SetClientSize(int width, int height, bool redraw)
{
    if (!system_.SetClientSize(handle_, width, height))
        return false;
    if (redraw)
    {
        WindowMessage paint;
        paint.kind = MessageKind::Paint;
        paint.window = handle_;
        system_.Post(paint);
    }
    return true;
}

bool Window::GetRect(Platform::Rect& rect) const
{
    return system_.GetOuterRect(handle_, rect);
}

void Window::SetIcons(const Platform::PictureView* smallIcon, const Platform::PictureView* bigIcon)
{
    if (const Platform::PictureView* icon = bigIcon != nullptr ? bigIcon : smallIcon)
        system_.SetIcon(handle_, *icon);
}

uint32_t Window::GetStyle() const
{
    if (!system_.IsWindow(handle_))
        return 0;
    return system_.GetStyle(handle_) == Platform::WindowStyle::FullScreen ? kWindowStylePopup
                                                                          : kWindowStyleFrame;
}

bool Window::ModifyStyle(uint32_t remove, uint32_t add)
{
    if (!system_.IsWindow(handle_))
        return false;
    const uint32_t style = (GetStyle() & ~remove) | add;
    return system_.SetStyle(handle_, (style & kWindowStylePopup) != 0 ? Platform::WindowStyle::FullScreen
                                                                      : Platform::WindowStyle::Bordered);
}

bool Window::IsForeground() const
{
    return system_.HasFocus(handle_);
}

void Window::LoadPlacement()
{
    int x = 0;
    int y = 0;
    bool centre = true;
    std::unique_ptr<XmlNode> stored;
    if (SettingsStore* store = SettingsStore::Get())
        stored = LoadProtectedXml(*store, kPlacementFile, SettingsStore::LocalData);
    if (stored)
    {
        // Desktop coordinates are 16-bit on the display server; a file may
        // hold anything.
        x = std::clamp<int>(WStringToLong(stored->GetChildText(L"WindowX")), kMinimumCoordinate,
                            kMaximumCoordinate);
        y = std::clamp<int>(WStringToLong(stored->GetChildText(L"WindowY")), kMinimumCoordinate,
                            kMaximumCoordinate);
        stored.reset();
        // A place on a monitor that has gone since would open the window
        // where nobody can see it.
        centre = system_.IsKeyHeld(Platform::VirtualKey::Shift) || !liesOnAMonitor(x, y);
    }
    if (centre)
        CenterOnBestMonitor(x, y);
    system_.SetClientPosition(handle_, x, y);
    system_.Show(handle_);
}

bool Window::liesOnAMonitor(int x, int y) const
{
    int width = 0, height = 0;
    Platform::Borders borders;
    if (!system_.GetClientSize(handle_, width, height) || !system_.GetBorders(handle_, borders))
        return true;
    const std::vector<Platform::MonitorInfo> monitors = system_.GetMonitors();
    if (monitors.empty())
        return true; // nothing to judge by
    const long long left = static_cast<long long>(x) - borders.left;
    const long long top = static_cast<long long>(y) - borders.top;
    const long long right = static_cast<long long>(x) + width + borders.right;
    const long long bottom = static_cast<long long>(y) + height + borders.bottom;
    return std::any_of(monitors.begin(), monitors.end(),
                       [&](const Platform::MonitorInfo& m)
                       { return overlaps(left, top, right, bottom, m.workArea); });
}

std::vector<Platform::MonitorInfo> Window::UsableMonitors(std::vector<Platform::MonitorInfo> monitors)
{
    for (size_t i = 0; i < monitors.size();)
    {
        const Platform::Rect& bounds = monitors[i].bounds;
        if (bounds.Width() < kMinimumMonitorWidth || bounds.Height() < kMinimumMonitorHeight)
        {
            monitors.erase(monitors.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        if (monitors[i].primary && i != 0)
        {
            const auto at = monitors.begin() + static_cast<std::ptrdiff_t>(i);
            std::rotate(monitors.begin(), at, at + 1);
        }
        ++i;
    }
    return monitors;
}

bool Window::CenterOnBestMonitor(int& x, int& y) const
{
    const std::vector<Platform::MonitorInfo> monitors = UsableMonitors(system_.GetMonitors());
    Platform::Rect outer;
    Platform::Borders borders;
    if (monitors.empty() || !system_.GetOuterRect(handle_, outer) || !system_.GetBorders(handle_, borders))
        return false;
    // Centred within the work area itself, wherever that lies on the desktop
    // (a monitor right of or above the primary one has a left or top of its
    // own).
    const Platform::Rect& area = monitors.front().workArea;
    x = area.left + (area.Width() / 2 - outer.Width() / 2) + borders.left;
    y = area.top + (area.Height() / 2 - outer.Height() / 2) + borders.top;
    return true;
}

std::intptr_t Window::WindowProc(Platform::WindowSystem& system, const WindowMessage& message)
{
    Window* window = FromHandle(message.window);
    if (window == nullptr || &window->system_ != &system)
        return system.DefaultHandling(message);
    return window->handleMessage(message);
}

std::intptr_t Window::handleMessage(const WindowMessage& message)
{
    switch (message.kind)
    {
    case MessageKind::Destroy:
        system_.PostQuit(0);
        break;
    case MessageKind::Size:
        onSize(message.sizeKind);
        break;
    case MessageKind::Activate:
        if (message.active)
        {
            active_ = true;
            engine_.OnActivate();
        }
        else
        {
            onDeactivated();
            active_ = false;
            engine_.OnDeactivate();
        }
        break;
    case MessageKind::Paint:
        onPaint();
        return 1;
    case MessageKind::Close:
        if (onClose())
            return 1;
        break;
    case MessageKind::DisplayChange:
        onDisplayChange();
        return 1;
    case MessageKind::KeyDown:
        if (input_ != nullptr)
            input_->OnKeyDown(message.key);
        return 1;
    case MessageKind::KeyUp:
        if (input_ != nullptr)
            input_->OnKeyUp(message.key);
        return 1;
    case MessageKind::Char:
        if (input_ != nullptr)
            input_->OnChar(static_cast<uint32_t>(message.character));
        return 1;
    case MessageKind::KeyMenu:
        if (message.character == 13) // Alt+Enter
        {
            engine_.SetFullscreen(!engine_.IsFullscreen());
            return 1;
        }
        break;
    case MessageKind::SystemKeyDown:
        // F10 and Alt+F10 would open the window menu.
        if (message.key == Platform::VirtualKey::F10)
            return 1;
        break;
    case MessageKind::MouseMove:
        onMouseMove();
        return 1;
    case MessageKind::ButtonDown:
        onMouseDown(message.button, message.keyFlags, message.x, message.y);
        return 1;
    case MessageKind::ButtonUp:
        onMouseUp(message.button, message.keyFlags, message.x, message.y);
        return 1;
    case MessageKind::MouseLeave:
        onMouseLeave();
        return 1;
    case MessageKind::SetCursor:
        if (cursors.Apply())
            return 1;
        break;
    case MessageKind::ExitSizeMove:
        onMoved();
        return 1;
    case MessageKind::SessionChange:
        onSessionChange(message.sessionChange);
        break;
    default:
        break;
    }
    return system_.DefaultHandling(message);
}

void Window::releaseCapture()
{
    if (system_.GetCapture() == handle_)
        system_.ReleaseMouse();
}

void Window::onDeactivated()
{
    releaseCapture();
    captureCount_ = 0;
    // The release of an emulated right press may never come back to us.
    emulatedRightButton_ = false;
}

void Window::onSize(Platform::SizeKind kind)
{
    switch (kind)
    {
    case Platform::SizeKind::Restored:
    case Platform::SizeKind::Maximised:
        active_ = true;
        engine_.OnActivate();
        break;
    case Platform::SizeKind::Minimised:
        onDeactivated();
        engine_.OnDeactivate();
        active_ = false;
        break;
    }
}

void Window::onPaint()
{
    if (engine_.IsDeviceReady() && !engine_.IsInSplash() && !system_.IsMinimised(handle_))
        engine_.PresentAgain();
}

void Window::onMoved()
{
    // The window may have moved onto another monitor.
    engine_.CheckMonitor();
    // Only a move the player made with the window in front brings the
    // application back; the window manager also moves windows in the
    // background (placing them, rearranging monitors).
    if (system_.HasFocus(handle_))
        engine_.OnActivate();
}

void Window::onSessionChange(Platform::SessionChange change)
{
    switch (change)
    {
    case Platform::SessionChange::SessionLock:
    case Platform::SessionChange::ConsoleDisconnect:
        engine_.SetSuspended(true);
        break;
    case Platform::SessionChange::SessionUnlock:
    case Platform::SessionChange::ConsoleConnect:
    {
        engine_.SetSuspended(false);
        WindowMessage paint;
        paint.kind = MessageKind::Paint;
        paint.window = handle_;
        system_.Post(paint);
        break;
    }
    case Platform::SessionChange::None:
        break;
    }
}

void Window::onDisplayChange()
{
    if (engine_.IsDeviceReady())
        engine_.CheckMonitor();
}

bool Window::onClose()
{
    // Before start-up has finished the window simply goes, and its Destroy
    // ends the loop.
    if (!engine_.IsStarted() && !engine_.IsInSplash())
        return false;
    if (!engine_.CanClose())
        return true;
    CloseWithoutAsking();
    return true;
}

void Window::CloseWithoutAsking()
{
    if (engine_.IsWindowed())
        savePlacement();
    system_.PostQuit(0);
}

void Window::savePlacement()
{
    SettingsStore* store = SettingsStore::Get();
    int x = 0, y = 0;
    if (store == nullptr || !system_.GetClientPosition(handle_, x, y))
        return;
    XmlNode root(L"Root");
    addNumber(root, L"WindowX", x);
    addNumber(root, L"WindowY", y);
    // A placement that cannot be saved costs only the start position, but
    // the player is told why the window will not open where it was.
    if (!SaveProtectedXml(root, *store, kPlacementFile, SettingsStore::LocalData))
        ReportProblem(LogEngine, __FILE__, __LINE__,
                      std::wstring(kPlacementFile) + L" cannot be saved in " +
                          Utf8ToWString(SettingsFileIo::ToSystemPath(store->localFolder)));
}

void Window::reportPointer(int x, int y)
{
    if (input_ == nullptr || (pointerReported_ && x == reportedX_ && y == reportedY_))
        return;
    input_->OnMouseMove(x, y);
    pointerReported_ = true;
    reportedX_ = x;
    reportedY_ = y;
}

void Window::onMouseDown(int button, uint32_t keyFlags, int x, int y)
{
    if (captureCount_ == 0)
        system_.CaptureMouse(handle_);
    ++captureCount_;
    if (button == Platform::ButtonLeft)
    {
        // Ctrl+click is the right click of one-button mice. A plain left
        // press clears a mark that an earlier press left behind.
        emulatedRightButton_ = (keyFlags & Platform::MouseFlagControl) != 0;
        if (emulatedRightButton_)
        {
            button = Platform::ButtonRight;
            keyFlags &= ~Platform::MouseFlagControl;
        }
    }
    // The press happens where it says, also when no move came before it (a click right after the
    // window appeared, or on a bordered window in the background, which ignored the pointer
    // passing over it): the user interface hears of that place first.
    reportPointer(x, y);
    if (input_ != nullptr)
        input_->OnMouseDown(button, keyFlags, 0);
}

void Window::onMouseUp(int button, uint32_t keyFlags, int x, int y)
{
    if (captureCount_ > 0)
        --captureCount_;
    if (captureCount_ == 0)
        releaseCapture();
    if (emulatedRightButton_ && button == Platform::ButtonLeft)
    {
        button = Platform::ButtonRight;
        keyFlags &= ~Platform::MouseFlagControl;
        emulatedRightButton_ = false;
    }
    reportPointer(x, y);
    if (input_ != nullptr)
        input_->OnMouseUp(button, keyFlags, 0);
}

void Window::onMouseMove()
{
    if (!mouseTracked_)
    {
        system_.RequestLeaveNotice(handle_);
        mouseTracked_ = true;
    }
    // A bordered window in the background ignores the pointer passing over
    // it; the full-screen window follows it even then.
    if (!active_ && (GetStyle() & kWindowStyleOverlapped) != 0)
        return;
    int x = 0, y = 0;
    if (input_ != nullptr && system_.GetCursorClientPosition(handle_, x, y))
    {
        input_->OnMouseMove(x, y);
        pointerReported_ = true;
        reportedX_ = x;
        reportedY_ = y;
    }
}

void Window::onMouseLeave()
{
    mouseTracked_ = false;
    pointerReported_ = false;
    if (input_ != nullptr)
    {
        input_->UpdateHitList(true);
        input_->SetPointerInside(false);
    }
    // Outside the window the system pointer shows again, whatever the custom
    // cursor had hidden.
    int count = 0;
    do
    {
        count = system_.ShowPointer(true);
        if (input_ != nullptr)
            input_->SetCursorCount(count);
    } while (count < 0);
}

} // namespace TarnEngine
