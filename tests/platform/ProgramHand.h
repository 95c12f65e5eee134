// A player's hand on the pellwood program that a test started on an X server of its own
// (ProgramLaunch.h): real pointer and key events from the server's test extension, the program's
// window found under the middle of the desktop and given the keyboard as a window manager would
// (the game pauses in the background), the top-level windows of a process and the close request a
// window manager sends, and a region of the screen as the server shows it. Points are in the
// program's window once it has been found (the desktop's before). libX11 and libXtst are loaded at
// run time, so the tests build where their headers are missing.
#pragma once

#include "tests/platform/ProgramLaunch.h"

#include <dlfcn.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace ProgramLaunch
{

struct Point
{
    int x = 0, y = 0;
};

// X key symbols the tests press; Latin-1 letters, digits and the space are their own codes.
constexpr unsigned long kKeyReturn = 0xFF0D, kKeyEscape = 0xFF1B, kKeyShift = 0xFFE1;

// A region of the screen: 0xRRGGBB words, rows from the top.
struct ScreenRegion
{
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

class Hand
{
public:
    explicit Hand(const std::string& display)
    {
        if (!libraries_.Opened())
            return;
        bool all = true;
        auto load = [&](void* library, auto& function, const char* name)
        {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
            all = all && function != nullptr;
        };
        load(libraries_.x11, open_, "XOpenDisplay");
        load(libraries_.x11, close_, "XCloseDisplay");
        load(libraries_.x11, root_, "XDefaultRootWindow");
        load(libraries_.x11, queryPointer_, "XQueryPointer");
        load(libraries_.x11, translate_, "XTranslateCoordinates");
        load(libraries_.x11, setFocus_, "XSetInputFocus");
        load(libraries_.x11, keycode_, "XKeysymToKeycode");
        load(libraries_.x11, sync_, "XSync");
        load(libraries_.x11, setErrorHandler_, "XSetErrorHandler");
        load(libraries_.x11, queryTree_, "XQueryTree");
        load(libraries_.x11, free_, "XFree");
        load(libraries_.x11, internAtom_, "XInternAtom");
        load(libraries_.x11, getProperty_, "XGetWindowProperty");
        load(libraries_.x11, sendEvent_, "XSendEvent");
        load(libraries_.x11, getImage_, "XGetImage");
        load(libraries_.x11, destroyImage_, "XDestroyImage");
        load(libraries_.xtst, motion_, "XTestFakeMotionEvent");
        load(libraries_.xtst, button_, "XTestFakeButtonEvent");
        load(libraries_.xtst, key_, "XTestFakeKeyEvent");
        if (!all)
            return;
        // The program may remake its window between our look and our request.
        setErrorHandler_([](void*, void*) { return 0; });
        display_ = open_(display.c_str());
    }
    ~Hand()
    {
        if (display_ != nullptr)
            close_(display_);
    }
    Hand(const Hand&) = delete;
    Hand& operator=(const Hand&) = delete;

    bool Available() const { return display_ != nullptr; }

    // Waits for the program's window under the middle of the desktop, takes its origin for the
    // points from then on and gives it the keyboard; false when none came in time.
    bool FindWindow(std::chrono::seconds limit = kPatience)
    {
        window_ = 0;
        left_ = top_ = 0;
        for (const auto deadline = Clock::now() + limit; Clock::now() < deadline && window_ == 0; pause(50))
        {
            const unsigned long found = windowAt(640, 512);
            int x = 0, y = 0;
            unsigned long inner = 0;
            if (found != 0 && translate_(display_, found, root_(display_), 0, 0, &x, &y, &inner) != 0)
            {
                window_ = found;
                left_ = x;
                top_ = y;
            }
        }
        if (window_ != 0)
            FocusWindow();
        return window_ != 0;
    }
    unsigned long Window() const { return window_; }

    // What a window manager does when the player clicks the window: it gets the keyboard.
    void FocusWindow() { focus(window_); }
    // The keyboard goes elsewhere: the program is in the background. (Not to the desktop's root
    // window, which hands the keys on to the window under the pointer, so that the program, under
    // it, would keep the focus.)
    void FocusAway() { focus(0 /* None */); }

    void Move(Point at)
    {
        motion_(display_, 0, left_ + at.x, top_ + at.y, 0);
        sync_(display_, 0);
    }
    void Button(bool down)
    {
        button_(display_, 1, down ? 1 : 0, 0);
        sync_(display_, 0);
    }
    void Click(Point at) { Drag(at, at); }
    // Two clicks well inside the screens' double-click time of 20 frames.
    void DoubleClick(Point at)
    {
        Move(at);
        pause(kPointerPace);
        for (int i = 0; i < 2; ++i)
            for (bool down : {true, false})
            {
                Button(down);
                pause(40);
            }
    }
    // Presses at one point and releases at another, moving there in steps.
    void Drag(Point from, Point to, int steps = 8)
    {
        Move(from);
        pause(kPointerPace);
        Button(true);
        pause(80);
        for (int step = 1; step <= steps && (to.x != from.x || to.y != from.y); ++step)
        {
            Move(Point{from.x + (to.x - from.x) * step / steps, from.y + (to.y - from.y) * step / steps});
            pause(40);
        }
        Button(false);
        pause(80);
    }

    void Key(unsigned long keysym, bool down)
    {
        key_(display_, keycode_(display_, keysym), down ? 1 : 0, 0);
        sync_(display_, 0); // the server has the key once it has answered
    }
    void Press(unsigned long keysym)
    {
        Key(keysym, true);
        pause(40);
        Key(keysym, false);
        pause(60);
    }
    // One key at a time, as fingers do: the program reads Shift as held or not when it handles a
    // letter, so a release must not reach it in the same batch as the letter it modified.
    void Type(const std::string& text)
    {
        for (char c : text)
        {
            const bool upper = c >= 'A' && c <= 'Z';
            const unsigned long letter = static_cast<unsigned char>(upper ? c - 'A' + 'a' : c);
            if (upper)
                Key(kKeyShift, true);
            for (bool down : {true, false})
            {
                pause(60);
                Key(letter, down);
            }
            pause(60);
            if (upper)
                Key(kKeyShift, false);
        }
    }

    // The top-level windows the process says are its own.
    std::vector<unsigned long> WindowsOf(pid_t pid)
    {
        std::vector<unsigned long> found;
        unsigned long root = 0, parent = 0;
        unsigned long* children = nullptr;
        unsigned int count = 0;
        if (queryTree_(display_, root_(display_), &root, &parent, &children, &count) == 0)
            return found;
        const unsigned long pidAtom = internAtom_(display_, "_NET_WM_PID", 0);
        for (unsigned int i = 0; i < count; ++i)
        {
            unsigned long type = 0, items = 0, after = 0;
            int format = 0;
            unsigned char* data = nullptr;
            if (getProperty_(display_, children[i], pidAtom, 0, 1, 0, 6 /* XA_CARDINAL */, &type, &format, &items,
                             &after, &data) == 0 &&
                data != nullptr)
            {
                if (format == 32 && items == 1 && *reinterpret_cast<long*>(data) == pid)
                    found.push_back(children[i]);
                free_(data);
            }
        }
        if (children != nullptr)
            free_(children);
        return found;
    }
    // What a window manager sends when the player clicks the close button.
    void AskToClose(unsigned long window)
    {
        struct ClientMessage
        {
            int type;
            unsigned long serial;
            int sendEvent;
            void* display;
            unsigned long window;
            unsigned long messageType;
            int format;
            long data[5];
        };
        union Event
        {
            ClientMessage message;
            long pad[24];
        } event{};
        event.message.type = 33; // ClientMessage
        event.message.window = window;
        event.message.messageType = internAtom_(display_, "WM_PROTOCOLS", 0);
        event.message.format = 32;
        event.message.data[0] = static_cast<long>(internAtom_(display_, "WM_DELETE_WINDOW", 0));
        sendEvent_(display_, window, 0, 0, &event);
        sync_(display_, 0);
    }

    // A region of the window as the server shows it; empty when it cannot be read (a depth other
    // than 24 bits in 32-bit pixels).
    ScreenRegion Capture(int x, int y, int width, int height)
    {
        struct ImageHead // the leading fields of Xlib's XImage
        {
            int width, height, xoffset, format;
            char* data;
            int byteOrder, bitmapUnit, bitmapBitOrder, bitmapPad, depth, bytesPerLine, bitsPerPixel;
        };
        ScreenRegion region;
        auto* image = static_cast<ImageHead*>(getImage_(display_, root_(display_), left_ + x, top_ + y,
                                                        unsigned(width), unsigned(height), ~0ul, 2 /* ZPixmap */));
        if (image == nullptr)
            return region;
        if (image->bitsPerPixel == 32 && image->depth == 24 && image->data != nullptr)
        {
            region.width = width;
            region.height = height;
            region.pixels.resize(size_t(width) * height);
            for (int row = 0; row < height; ++row)
                for (int column = 0; column < width; ++column)
                    region.pixels[size_t(row) * width + column] =
                        *reinterpret_cast<const uint32_t*>(image->data + row * image->bytesPerLine + column * 4) &
                        0xFFFFFFu;
        }
        destroyImage_(image);
        return region;
    }

private:
    // How long the pointer rests before a press: the program sees it arrive (the over states of
    // what is under it) in a frame before the press.
    static constexpr int kPointerPace = 120;

    unsigned long windowAt(int x, int y)
    {
        motion_(display_, 0, x, y, 0);
        sync_(display_, 0);
        unsigned long root = 0, child = 0;
        int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
        unsigned int mask = 0;
        queryPointer_(display_, root_(display_), &root, &child, &rootX, &rootY, &windowX, &windowY, &mask);
        return child;
    }
    void focus(unsigned long window)
    {
        setFocus_(display_, window, 2 /* RevertToParent */, 0);
        sync_(display_, 0);
    }

    XServerSupport::XLibraries libraries_;
    void* display_ = nullptr;
    unsigned long window_ = 0;
    int left_ = 0, top_ = 0;
    void* (*open_)(const char*) = nullptr;
    int (*close_)(void*) = nullptr;
    unsigned long (*root_)(void*) = nullptr;
    int (*queryPointer_)(void*, unsigned long, unsigned long*, unsigned long*, int*, int*, int*, int*,
                         unsigned int*) = nullptr;
    int (*translate_)(void*, unsigned long, unsigned long, int, int, int*, int*, unsigned long*) = nullptr;
    int (*setFocus_)(void*, unsigned long, int, unsigned long) = nullptr;
    unsigned char (*keycode_)(void*, unsigned long) = nullptr;
    int (*sync_)(void*, int) = nullptr;
    void* (*setErrorHandler_)(int (*)(void*, void*)) = nullptr;
    int (*queryTree_)(void*, unsigned long, unsigned long*, unsigned long*, unsigned long**, unsigned int*) = nullptr;
    int (*free_)(void*) = nullptr;
    unsigned long (*internAtom_)(void*, const char*, int) = nullptr;
    int (*getProperty_)(void*, unsigned long, unsigned long, long, long, int, unsigned long, unsigned long*, int*,
                        unsigned long*, unsigned long*, unsigned char**) = nullptr;
    int (*sendEvent_)(void*, unsigned long, int, long, void*) = nullptr;
    void* (*getImage_)(void*, unsigned long, int, int, unsigned int, unsigned int, unsigned long, int) = nullptr;
    int (*destroyImage_)(void*) = nullptr;
    int (*motion_)(void*, int, int, int, unsigned long) = nullptr;
    int (*button_)(void*, unsigned int, int, unsigned long) = nullptr;
    int (*key_)(void*, unsigned int, int, unsigned long) = nullptr;
};

} // namespace ProgramLaunch
