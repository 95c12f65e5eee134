// The pellwood program on a copy of the sample, on an X server of its own, played with real pointer
// events, against the relay stand-in (in this process, on a loopback port the kernel chose) and with
// the real log-in window (WebKitGTK): the options' social-network box ticked for a new player (the
// log-in window opens on the stand-in's /login, ends on /done?userid=4242 and closes itself), a
// post from the menu's "Share", the data in the profile file after quitting, and a post without a
// log-in after a restart; a relay that refuses connections (the dialog's "error" page, "btnCancel");
// a relay that holds every request (the window's close still ends the program at once); and a copy
// without "lwcache.bin" (the library is never mapped). The program says what happened on standard
// error (PELLWOOD_LOG=debug), which the test reads.
#include "RelayServer.h"
#include "engine/core/files/SettingsStore.h"
#include "engine/core/xml/XmlNode.h"
#include "game/core/GuardedXmlFile.h"
#include "tests/linkwell/browser/WebKitTestEnvironment.h"
#include "tests/platform/ProgramLaunch.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>

namespace
{

using ProgramLaunch::Clock;
using ProgramLaunch::pause;
using ProgramLaunch::Process;
using ProgramLaunch::readFile;
using namespace std::chrono_literals;

// Window coordinates (the sample's scripts place them; dialogs are centred in the 1024 x 768 area).
constexpr int kOptionsButton[2] = {210, 416};
constexpr int kShareButton[2] = {940, 466};
constexpr int kFacebookBox[2] = {547, 456};   // "cb_facebook" of "dlg_options" at (232, 149)
constexpr int kOptionsOk[2] = {397, 576};     // its "okButton"
constexpr int kDialogCancel[2] = {607, 487};  // "btnCancel" of "dlg_facebook" at (272, 244)
constexpr int kNowhere[2] = {600, 300};

size_t countOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// The Xlib and XTest calls of a player: the pointer, and the top-level windows of a process.
class Desk
{
public:
    explicit Desk(const std::string& display)
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
        load(libraries_.x11, setErrorHandler_, "XSetErrorHandler");
        load(libraries_.x11, queryTree_, "XQueryTree");
        load(libraries_.x11, free_, "XFree");
        load(libraries_.x11, internAtom_, "XInternAtom");
        load(libraries_.x11, getProperty_, "XGetWindowProperty");
        load(libraries_.x11, sendEvent_, "XSendEvent");
        load(libraries_.xtst, motion_, "XTestFakeMotionEvent");
        load(libraries_.xtst, button_, "XTestFakeButtonEvent");
        if (!all)
            return;
        setErrorHandler_([](void*, void*) { return 0; });
        display_ = open_(display.c_str());
    }
    ~Desk()
    {
        if (display_ != nullptr)
            close_(display_);
    }
    bool Available() const { return display_ != nullptr; }

    unsigned long WindowAt(int x, int y)
    {
        Move(x, y);
        unsigned long root = 0, child = 0;
        int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
        unsigned int mask = 0;
        queryPointer_(display_, root_(display_), &root, &child, &rootX, &rootY, &windowX, &windowY, &mask);
        return child;
    }
    bool Origin(unsigned long window, int& x, int& y)
    {
        unsigned long child = 0;
        return translate_(display_, window, root_(display_), 0, 0, &x, &y, &child) != 0;
    }
    void Focus(unsigned long window)
    {
        setFocus_(display_, window, 2 /* RevertToParent */, 0);
        sync_(display_, 0);
    }
    void Move(int x, int y)
    {
        motion_(display_, 0, x, y, 0);
        sync_(display_, 0);
    }
    void Click(int x, int y)
    {
        Move(x, y);
        pause(120);
        for (int down : {1, 0})
        {
            button_(display_, 1, down, 0);
            sync_(display_, 0);
            pause(80);
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

private:
    XServerSupport::XLibraries libraries_;
    void* display_ = nullptr;
    void* (*open_)(const char*) = nullptr;
    int (*close_)(void*) = nullptr;
    unsigned long (*root_)(void*) = nullptr;
    int (*queryPointer_)(void*, unsigned long, unsigned long*, unsigned long*, int*, int*, int*, int*,
                         unsigned int*) = nullptr;
    int (*translate_)(void*, unsigned long, unsigned long, int, int, int*, int*, unsigned long*) = nullptr;
    int (*setFocus_)(void*, unsigned long, int, unsigned long) = nullptr;
    int (*sync_)(void*, int) = nullptr;
    void* (*setErrorHandler_)(int (*)(void*, void*)) = nullptr;
    int (*queryTree_)(void*, unsigned long, unsigned long*, unsigned long*, unsigned long**, unsigned int*) = nullptr;
    int (*free_)(void*) = nullptr;
    unsigned long (*internAtom_)(void*, const char*, int) = nullptr;
    int (*getProperty_)(void*, unsigned long, unsigned long, long, long, int, unsigned long, unsigned long*, int*,
                        unsigned long*, unsigned long*, unsigned char**) = nullptr;
    int (*sendEvent_)(void*, unsigned long, int, long, void*) = nullptr;
    int (*motion_)(void*, int, int, int, unsigned long) = nullptr;
    int (*button_)(void*, unsigned int, int, unsigned long) = nullptr;
};

class SocialProgram : public ::testing::Test
{
public:
    void SetUp() override
    {
#ifndef PELLWOOD_PROGRAM
        GTEST_SKIP() << "the program is not built with the tests";
#endif
        if (!world.Start())
            return;
        started = true;
        content = world.temp.path / "content";
        std::filesystem::copy(std::filesystem::path(PELLWOOD_SOURCE_DIR) / "sample", content,
                              std::filesystem::copy_options::recursive);
        world.Set("SDL_AUDIODRIVER", "dummy");
        world.Set("PELLWOOD_LOG", "debug");
        world.Set("no_proxy", "127.0.0.1,localhost");
        world.Set("NO_PROXY", "127.0.0.1,localhost");
        const std::string home = (world.temp.path / "home").string();
        std::filesystem::create_directories(home);
        for (const auto& [name, value] : WebKitTestEnvironment::Switches())
            world.Set(name, value);
        world.Set("HOME", home);
        world.Set("XDG_CACHE_HOME", home + "/cache");
        // The toolkit's process-lifetime allocations, libdbus's and Mesa's (see the dialogs' test).
        const std::filesystem::path rules = world.temp.path / "lsan-social.supp";
        {
            std::ofstream out(rules);
            for (const std::string& library : WebKitTestEnvironment::ToolkitLibraries())
                out << "leak:" << library << "\n";
            out << "leak:libGLX_mesa.so\n";
        }
        world.Set("LSAN_OPTIONS", "suppressions=" + rules.string() + ":print_suppressions=0:fast_unwind_on_malloc=0");
    }

    // The leak checker's thread tracer cannot stop the threads WebKit's JavaScript engine starts
    // (it fails with its own fatal error at the end of the process), so a run that shows the log-in
    // window checks no leaks; AddressSanitizer's other checks stay.
    void UseLogInWindow() { world.Set("LSAN_OPTIONS", "detect_leaks=0"); }

    std::filesystem::path ProfileFolder() const { return world.temp.path / "data" / "Halcyra Games" / "Pellwood"; }

    void WriteProfile(const std::string& profileXml)
    {
        std::filesystem::create_directories(ProfileFolder());
        std::ofstream(ProfileFolder() / "brq.xml", std::ios::binary)
            << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<ROOT CURRENT_PROFILE_NAME=\"Ann\">" << profileXml
            << "</ROOT>\n";
    }

    // The profile file as the game reads it (protected or plain): the current profile's
    // "FACEBOOK_DATA" attribute, or "(none)".
    std::wstring StoredData(const wchar_t* attribute)
    {
        const std::filesystem::path folder = ProfileFolder();
        // An engine folder path: backslashes, one at the end.
        std::wstring path = folder.wstring() + L"/";
        for (wchar_t& c : path)
            if (c == L'/')
                c = L'\\';
        const auto lookup = [path](bool) { return path; };
        TarnEngine::SettingsStore store(lookup, lookup, std::make_unique<TarnEngine::SettingsFileIo>());
        GuardedXmlFile file(store, L"brq.xml", L"ROOT");
        GuardedXmlFile::Opened opened = GuardedXmlFile::Opened::Missing;
        const std::unique_ptr<TarnEngine::XmlNode> document = file.Open(opened);
        const TarnEngine::XmlNode* profile = document ? document->FindChild(L"PROFILE") : nullptr;
        const TarnEngine::XmlNode* data = profile ? profile->FindChild(L"FACEBOOK_DATA") : nullptr;
        const std::wstring* value = data ? data->FindAttribute(attribute) : nullptr;
        return value ? *value : L"(none)";
    }

    // Starts the program on the copy and waits for its menu, past the pop-up that holds it.
    bool Launch(const std::string& relay)
    {
        world.Set("PELLWOOD_RELAY_URL", relay);
        program = Process(world.Launch({"-data", content.string(), "-windowed", "-nosplash"}, Said()));
        if (!program.Started())
            return false;
        desk = std::make_unique<Desk>(world.display);
        if (!desk->Available())
            return false;
        window = 0;
        for (const auto deadline = Clock::now() + ProgramLaunch::kPatience; Clock::now() < deadline && !window;
             pause(50))
            if ((window = desk->WindowAt(640, 512)) != 0 && !desk->Origin(window, left, top))
                window = 0;
        if (!window)
            return false;
        desk->Focus(window);
        // The pop-up's fade-out holds the pointer until the engine says it has gone.
        return WaitFor("menu: shown") && WaitFor("event HintClosed 1") &&
               WaitFor(ProgramLaunch::ScreenClosed("__closing_hint_1"));
    }
    void Click(const int (&at)[2])
    {
        desk->Click(left + at[0], top + at[1]);
        desk->Move(left + kNowhere[0], top + kNowhere[1]);
    }
    std::filesystem::path Said() const { return world.temp.path / "stderr.txt"; }
    std::string Log() const { return readFile(Said()); }
    bool WaitFor(const std::string& text, size_t times = 1, std::chrono::seconds limit = ProgramLaunch::kPatience)
    {
        return program.WaitFor([&] { return countOf(Log(), text) >= times; }, limit);
    }
    // Closes the program's window as a window manager would; the exit code.
    int Quit()
    {
        for (unsigned long each : desk->WindowsOf(program.Id()))
            desk->AskToClose(each);
        bool bySignal = false;
        const int code = program.WaitForExit(ProgramLaunch::kPatience, bySignal);
        return bySignal ? 1000 + code : code;
    }
    // What the stand-in received, one line a request.
    static std::string Said(const relay::RelayServer& relay)
    {
        std::string lines = "\nthe relay received:\n";
        for (const relay::RecordedRequest& request : relay.Requests())
        {
            lines += request.method + " " + request.target;
            for (const auto& [name, value] : request.fields)
                lines += " " + name + "=" + value;
            lines += "\n";
        }
        return lines;
    }
    static std::vector<relay::RecordedRequest> RequestsTo(const relay::RelayServer& relay, const std::string& path)
    {
        std::vector<relay::RecordedRequest> found;
        for (const relay::RecordedRequest& request : relay.Requests())
            if (request.path == path)
                found.push_back(request);
        return found;
    }
    bool LibraryMapped() const
    {
        return readFile("/proc/" + std::to_string(program.Id()) + "/maps").find("liblinkwell.so") != std::string::npos;
    }

    ProgramLaunch::ProgramWorld world;
    bool started = false;
    std::filesystem::path content;
    Process program;
    std::unique_ptr<Desk> desk;
    unsigned long window = 0;
    int left = 0;
    int top = 0;
};

const std::string kInitialize = "/Connect/Facebook/0.1/Initialize";
const std::string kCheck = "/Connect/Facebook/0.1/CheckPermissions";
const std::string kSetSalt = "/Connect/Facebook/0.1/SetSalt";
const std::string kPost = "/Connect/Facebook/0.1/PostMessage";

TEST_F(SocialProgram, TickLogInPostQuitAndPostAgainAfterARestart)
{
    if (!started)
        return;
    UseLogInWindow();
    relay::RelayServer relay;
    ASSERT_TRUE(relay.Running());
    WriteProfile("<PROFILE NAME=\"Ann\"/>");
    ASSERT_TRUE(Launch(relay.BaseUrl())) << Log();
    EXPECT_TRUE(LibraryMapped());

    // 1. The options' box: the stand-in is asked, the log-in window comes and goes by itself.
    Click(kOptionsButton);
    ASSERT_TRUE(WaitFor("menu: clicked btn_options")) << Log();
    ASSERT_TRUE(WaitFor(ProgramLaunch::ScreenOpen("dlg_options"))) << Log();
    Click(kFacebookBox);
    ASSERT_TRUE(WaitFor("social-network dialog: page enable_connect")) << Log();
    ASSERT_TRUE(WaitFor("social network: log-in window")) << Log();
    ASSERT_TRUE(WaitFor("social network: posting allowed")) << Log();
    ASSERT_TRUE(WaitFor("social-network dialog: closed")) << Log();
    EXPECT_EQ(RequestsTo(relay, kInitialize).size(), 1u);
    EXPECT_FALSE(RequestsTo(relay, "/login").empty()) << "the log-in window opened the stand-in's page";
    EXPECT_FALSE(RequestsTo(relay, "/done").empty());
    const std::vector<relay::RecordedRequest> salts = RequestsTo(relay, kSetSalt);
    ASSERT_EQ(salts.size(), 1u);
    EXPECT_EQ(salts[0].Field("UserId"), "4242");
    const std::string salt = salts[0].Field("Salt");
    EXPECT_EQ(salt.size(), 16u);
    const std::vector<relay::RecordedRequest> checks = RequestsTo(relay, kCheck);
    ASSERT_EQ(checks.size(), 2u) << "before and after the log-in";
    EXPECT_EQ(checks[1].Field("UserId"), "4242");
    EXPECT_EQ(checks[1].Field("Salt"), salt);
    // OK stores the options and writes the profile file.
    Click(kOptionsOk);
    ASSERT_TRUE(WaitFor(ProgramLaunch::ScreenClosed("dlg_options"))) << Log();

    // 2. The menu's "Share" posts with the same player and the distribution's SKU.
    Click(kShareButton);
    ASSERT_TRUE(WaitFor("social-network dialog: page posting")) << Log();
    ASSERT_TRUE(WaitFor("social-network dialog: page posted")) << Log();
    std::vector<relay::RecordedRequest> posts = RequestsTo(relay, kPost);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].Field("UserId"), "4242");
    EXPECT_EQ(posts[0].Field("Salt"), salt);
    EXPECT_EQ(posts[0].Field("Parameters"), "I am exploring the sample of Pellwood,sku:31337");

    // 3. Quit; the profile file holds the player's data.
    const int logIns = int(RequestsTo(relay, "/login").size());
    EXPECT_EQ(Quit(), 0) << Log();
    EXPECT_EQ(StoredData(L"UserID"), L"4242");
    EXPECT_EQ(StoredData(L"Salt"), std::wstring(salt.begin(), salt.end()));
    EXPECT_EQ(StoredData(L"Enabled"), L"1");

    // After a restart a post goes through without a log-in window.
    ASSERT_TRUE(Launch(relay.BaseUrl())) << Log();
    Click(kShareButton);
    ASSERT_TRUE(WaitFor("social-network dialog: page posted")) << Log() << Said(relay);
    posts = RequestsTo(relay, kPost);
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[1].Field("Salt"), salt);
    EXPECT_EQ(int(RequestsTo(relay, "/login").size()), logIns);
    EXPECT_EQ(countOf(Log(), "social network: log-in window"), 0u);
    EXPECT_EQ(Quit(), 0) << Log();
}

TEST_F(SocialProgram, ARelayThatRefusesShowsTheErrorPageAndCancelUnticks)
{
    if (!started)
        return;
    std::string address;
    {
        relay::RelayServer gone;
        address = gone.BaseUrl();
    }
    WriteProfile("<PROFILE NAME=\"Ann\"><FACEBOOK_DATA UserID=\"77\" Salt=\"abcdefghijklmnop\" Enabled=\"0\"/></PROFILE>");
    ASSERT_TRUE(Launch(address)) << Log();
    Click(kOptionsButton);
    ASSERT_TRUE(WaitFor("menu: clicked btn_options")) << Log();
    ASSERT_TRUE(WaitFor(ProgramLaunch::ScreenOpen("dlg_options"))) << Log();
    Click(kFacebookBox);
    ASSERT_TRUE(WaitFor("social-network dialog: page error")) << Log();
    pause(500);
    EXPECT_EQ(desk->WindowsOf(program.Id()).size(), 1u) << "no page window for a failure text";
    EXPECT_EQ(countOf(Log(), "social network: page window"), 0u);
    Click(kDialogCancel);
    ASSERT_TRUE(WaitFor("social-network dialog: closed")) << Log();
    pause(500);
    Click(kOptionsOk);
    ASSERT_TRUE(WaitFor(ProgramLaunch::ScreenClosed("dlg_options"))) << Log();
    EXPECT_EQ(Quit(), 0) << Log();
    EXPECT_EQ(StoredData(L"UserID"), L"77");
    EXPECT_EQ(StoredData(L"Salt"), L"abcdefghijklmnop");
    EXPECT_EQ(StoredData(L"Enabled"), L"0");
}

TEST_F(SocialProgram, ARelayThatHoldsEveryRequestDoesNotHoldTheProgramsEnd)
{
    if (!started)
        return;
    relay::RelayServer relay;
    relay::ScriptedReply held = relay::ScriptedReply::Text("enabled=true");
    held.mode = relay::ScriptedReply::Mode::kHold;
    for (const std::string& path : {kInitialize, kCheck, kSetSalt, kPost})
        relay.Script(path, {held});
    WriteProfile("<PROFILE NAME=\"Ann\"/>");
    ASSERT_TRUE(Launch(relay.BaseUrl())) << Log();
    Click(kOptionsButton);
    ASSERT_TRUE(WaitFor("menu: clicked btn_options")) << Log();
    ASSERT_TRUE(WaitFor(ProgramLaunch::ScreenOpen("dlg_options"))) << Log();
    Click(kFacebookBox);
    ASSERT_TRUE(relay.WaitForRequests(1, std::chrono::milliseconds(ProgramLaunch::kPatience)));
    const std::vector<unsigned long> windows = desk->WindowsOf(program.Id());
    ASSERT_FALSE(windows.empty());
    const auto asked = Clock::now();
    for (unsigned long each : windows)
        desk->AskToClose(each);
    bool bySignal = false;
    EXPECT_EQ(program.WaitForExit(ProgramLaunch::kPatience, bySignal), 0) << Log();
    EXPECT_FALSE(bySignal);
    EXPECT_LT(Clock::now() - asked, 2s) << "the held request kept the program";
}

TEST_F(SocialProgram, WithoutTheDistributionFileTheLibraryIsNeverLoaded)
{
    if (!started)
        return;
    std::filesystem::remove(content / "lwcache.bin");
    WriteProfile("<PROFILE NAME=\"Ann\"/>");
    ASSERT_TRUE(Launch("http://127.0.0.1:9")) << Log();
    Click(kOptionsButton);
    ASSERT_TRUE(WaitFor("menu: clicked btn_options")) << Log();
    ASSERT_TRUE(WaitFor(ProgramLaunch::ScreenOpen("dlg_options"))) << Log();
    Click(kFacebookBox);
    pause(500);
    EXPECT_FALSE(LibraryMapped());
    EXPECT_EQ(countOf(Log(), "social-network dialog"), 0u) << "the hidden box does not open the dialog";
    EXPECT_EQ(countOf(Log(), "social network: on"), 0u);
    Click(kOptionsOk);
    ASSERT_TRUE(WaitFor(ProgramLaunch::ScreenClosed("dlg_options"))) << Log();
    EXPECT_EQ(Quit(), 0) << Log();
}

} // namespace
