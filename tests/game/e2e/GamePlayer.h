// A player's hand on the pellwood program running the sample game on an X server of its own
// (Xvfb): real pointer and key events from the server's test extension, the window given the input
// focus (the game pauses in the background), the screen points of scripts/make-sample-game.py's
// manifest, and the program's standard error (the game's script traces, "sample <seconds>: <what>",
// and its log lines) read back while it runs.
#pragma once

#include "engine/core/files/ProtectedXmlFile.h"
#include "engine/core/xml/XmlNode.h"
#include "tests/platform/ProgramLaunch.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>

namespace GamePlayer
{

using ProgramLaunch::Clock;
using ProgramLaunch::pause;
using ProgramLaunch::Process;
using ProgramLaunch::readFile;

// The manifest of screen points (sample/clickpoints.txt): "name x y" lines, '#' comments.
class Points
{
public:
    Points()
    {
        std::ifstream in(std::string(PELLWOOD_SOURCE_DIR) + "/sample/clickpoints.txt");
        for (std::string line; std::getline(in, line);)
        {
            if (line.empty() || line[0] == '#')
                continue;
            std::istringstream fields(line);
            std::string name;
            int x = 0, y = 0;
            if (fields >> name >> x >> y)
                at_[name] = {x, y};
        }
    }
    bool Has(const std::string& name) const { return at_.count(name) != 0; }
    std::pair<int, int> operator[](const std::string& name) const
    {
        const auto found = at_.find(name);
        EXPECT_NE(found, at_.end()) << "no point " << name << " in the manifest";
        return found != at_.end() ? found->second : std::pair<int, int>{0, 0};
    }

private:
    std::map<std::string, std::pair<int, int>> at_;
};

// The Xlib and XTest calls of a player's hand, on one display.
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
        load(libraries_.x11, sync_, "XSync");
        load(libraries_.x11, keycode_, "XKeysymToKeycode");
        load(libraries_.x11, setErrorHandler_, "XSetErrorHandler");
        load(libraries_.xtst, motion_, "XTestFakeMotionEvent");
        load(libraries_.xtst, button_, "XTestFakeButtonEvent");
        load(libraries_.xtst, key_, "XTestFakeKeyEvent");
        load(libraries_.x11, getImage_, "XGetImage");
        destroyImage_ = reinterpret_cast<int (*)(void*)>(dlsym(libraries_.x11, "XDestroyImage"));
        if (!all)
            return;
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

    // The program's window under a desktop point, and its origin; false when there is none yet.
    bool FindWindow(int x, int y)
    {
        Move(x, y);
        unsigned long root = 0, child = 0;
        int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
        unsigned int mask = 0;
        queryPointer_(display_, root_(display_), &root, &child, &rootX, &rootY, &windowX, &windowY, &mask);
        if (child == 0)
            return false;
        unsigned long inner = 0;
        if (translate_(display_, child, root_(display_), 0, 0, &left_, &top_, &inner) == 0)
            return false;
        window_ = child;
        return true;
    }
    void FocusGame()
    {
        setFocus_(display_, window_, 2 /* RevertToParent */, 0);
        sync_(display_, 0);
    }
    // The focus goes to the desktop: the game is in the background.
    void FocusDesktop()
    {
        setFocus_(display_, root_(display_), 2, 0);
        sync_(display_, 0);
    }

    // Points are in the game's 1024 x 768 window.
    void Move(int x, int y)
    {
        motion_(display_, 0, left_ + x, top_ + y, 0);
        sync_(display_, 0);
    }
    void Button(bool down)
    {
        button_(display_, 1, down ? 1 : 0, 0);
        sync_(display_, 0);
    }
    void Click(std::pair<int, int> at)
    {
        Move(at.first, at.second);
        pause(120); // the program sees the pointer arrive before the press
        Button(true);
        pause(80);
        Button(false);
        pause(80);
    }
    // Button down, motion in steps, button up.
    void Drag(std::pair<int, int> from, std::pair<int, int> to, int steps = 12)
    {
        Move(from.first, from.second);
        pause(150);
        Button(true);
        pause(150);
        for (int i = 1; i <= steps; ++i)
        {
            Move(from.first + (to.first - from.first) * i / steps, from.second + (to.second - from.second) * i / steps);
            pause(60);
        }
        pause(150);
        Button(false);
        pause(100);
    }
    // X key symbols: Latin-1 letters and the space are their own codes; Return 0xFF0D, Escape 0xFF1B.
    void Key(unsigned long keysym, bool shift = false)
    {
        const unsigned int shiftCode = keycode_(display_, 0xFFE1);
        if (shift)
            key_(display_, shiftCode, 1, 0);
        key_(display_, keycode_(display_, keysym), 1, 0);
        sync_(display_, 0);
        pause(40);
        key_(display_, keycode_(display_, keysym), 0, 0);
        if (shift)
            key_(display_, shiftCode, 0, 0);
        sync_(display_, 0);
        pause(60);
    }
    // The mean brightness (0 to 255) of a region of the game's window as the X server shows it; -1
    // when it cannot be read (a depth other than 24 bits in 32-bit pixels).
    double Brightness(int x, int y, int width, int height)
    {
        struct ImageHead // the leading fields of Xlib's XImage
        {
            int width, height, xoffset, format;
            char* data;
            int byteOrder, bitmapUnit, bitmapBitOrder, bitmapPad, depth, bytesPerLine, bitsPerPixel;
        };
        auto* image = static_cast<ImageHead*>(
            getImage_(display_, root_(display_), left_ + x, top_ + y, unsigned(width), unsigned(height), ~0ul, 2));
        if (image == nullptr)
            return -1.0;
        double sum = -1.0;
        if (image->bitsPerPixel == 32 && image->data != nullptr)
        {
            sum = 0.0;
            for (int row = 0; row < height; ++row)
                for (int column = 0; column < width; ++column)
                {
                    const auto* pixel =
                        reinterpret_cast<const unsigned char*>(image->data + row * image->bytesPerLine + column * 4);
                    sum += (pixel[0] + pixel[1] + pixel[2]) / 3.0;
                }
            sum /= double(width) * height;
        }
        if (destroyImage_ != nullptr)
            destroyImage_(image);
        return sum;
    }

    void Type(const std::string& text)
    {
        for (char c : text)
        {
            const bool upper = c >= 'A' && c <= 'Z';
            Key(static_cast<unsigned char>(upper ? c - 'A' + 'a' : c), upper);
        }
    }

private:
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
    int (*sync_)(void*, int) = nullptr;
    unsigned char (*keycode_)(void*, unsigned long) = nullptr;
    void* (*setErrorHandler_)(int (*)(void*, void*)) = nullptr;
    int (*motion_)(void*, int, int, int, unsigned long) = nullptr;
    int (*button_)(void*, unsigned int, int, unsigned long) = nullptr;
    int (*key_)(void*, unsigned int, int, unsigned long) = nullptr;
    void* (*getImage_)(void*, unsigned long, int, int, unsigned int, unsigned int, unsigned long, int) = nullptr;
    int (*destroyImage_)(void*) = nullptr;
};

// The text of a profile file (protected or plain), ASCII kept and everything else as '?'; empty
// when it does not read.
inline std::string ProfileText(const std::filesystem::path& path)
{
    const std::string bytes = readFile(path);
    const std::unique_ptr<TarnEngine::XmlNode> root =
        TarnEngine::ReadProtectedXml(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (!root)
        return std::string();
    std::string text;
    for (wchar_t c : TarnEngine::WriteXmlText(*root))
        text += c < 0x80 ? char(c) : '?';
    return text;
}

// The first start of the game asks for a profile: once the program says so, the name is typed
// into the new-profile screen's field and Enter pressed. For program tests that want the menu.
template <class Said> bool CreateFirstProfile(const std::string& display, const std::string& name, Said said)
{
    Hand hand(display);
    if (!hand.Available())
        return false;
    const auto deadline = Clock::now() + std::chrono::seconds(40);
    bool found = false;
    while (Clock::now() < deadline && !(found = hand.FindWindow(640, 512)))
        pause(50);
    if (!found)
        return false;
    hand.FocusGame();
    while (Clock::now() < deadline && said().find("asking for a new one") == std::string::npos)
        pause(100);
    pause(1500); // the screen fades in
    hand.Click(Points()["new_profile_field"]);
    hand.Type(name);
    hand.Key(0xFF0D);
    return true;
}

inline size_t countOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// One run of the program on the sample game. The saved-games folder lives as long as the object,
// so a second Start plays on the profile the first left.
class GameRun
{
public:
    bool Open()
    {
        if (!world.Start())
            return false;
        world.Set("SDL_AUDIODRIVER", "disk");
        world.Set("PELLWOOD_LOG", "debug");
#ifdef PELLWOOD_LEVEL_MODULE_DIR
        // The recording reporting module, found by the name the program looks for.
        world.Set("LD_LIBRARY_PATH", PELLWOOD_LEVEL_MODULE_DIR);
        world.Set("PELLWOOD_LEVEL_REPORTS", Reports().string());
#endif
        return true;
    }
    bool Start()
    {
        ++runs_;
        world.Set("SDL_DISKAUDIOFILE", Audio().string());
        program = Process(world.Launch(ProgramLaunch::SampleArguments(), Said()));
        EXPECT_TRUE(program.Started()) << "the program did not start";
        return program.Started();
    }
    std::filesystem::path Said() const { return world.temp.path / ("stderr" + std::to_string(runs_) + ".txt"); }
    std::filesystem::path Audio() const { return world.temp.path / ("audio" + std::to_string(runs_) + ".raw"); }
    std::filesystem::path Profile() const
    {
        return world.temp.path / "data" / "Halcyra Games" / "Pellwood" / "brq.xml";
    }
    std::filesystem::path Reports() const { return world.temp.path / "reports.txt"; }
    std::string Log() const { return readFile(Said()); }
    // Waits until the text has been said `times` times; false when the program ended first or the
    // time ran out.
    bool WaitFor(const std::string& text, size_t times = 1, std::chrono::seconds limit = std::chrono::seconds(30))
    {
        return program.WaitFor([&] { return countOf(Log(), text) >= times; }, limit);
    }
    size_t Count(const std::string& text) const { return countOf(Log(), text); }

    ProgramLaunch::ProgramWorld world;
    Process program;

private:
    int runs_ = 0;
};

} // namespace GamePlayer
