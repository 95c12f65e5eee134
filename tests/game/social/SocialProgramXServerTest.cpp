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
#include "linkwell/http/HttpClient.h"
#include "tests/linkwell/browser/WebKitTestEnvironment.h"
#include "tests/platform/ProgramHand.h"
#include "tests/platform/ProgramLaunch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>

namespace
{

using ProgramLaunch::Clock;
using ProgramLaunch::countOf;
using ProgramLaunch::Hand;
using ProgramLaunch::Point;
using ProgramLaunch::Process;
using ProgramLaunch::readFile;
using namespace std::chrono_literals;

// Window coordinates (the sample's scripts place them; dialogs are centred in the 1024 x 768 area).
constexpr Point kOptionsButton{210, 416};
constexpr Point kShareButton{940, 466};
constexpr Point kFacebookBox{547, 456};  // "cb_facebook" of "dlg_options" at (232, 149)
constexpr Point kOptionsOk{397, 576};    // its "okButton"
constexpr Point kDialogCancel{607, 487}; // "btnCancel" of "dlg_facebook" at (272, 244)
constexpr Point kNowhere{600, 300};

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
        desk = std::make_unique<Hand>(world.display);
        if (!desk->Available() || !desk->FindWindow())
            return false;
        // The pop-up's fade-out holds the pointer until the engine says it has gone.
        return WaitFor("menu: shown") && WaitFor("event HintClosed 1") &&
               WaitFor(ProgramLaunch::ScreenClosed("__closing_hint_1"));
    }
    void Click(Point at)
    {
        desk->Click(at);
        desk->Move(kNowhere);
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
    std::unique_ptr<Hand> desk;
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
    ASSERT_TRUE(WaitFor(ProgramLaunch::ScreenOpen("dlg_facebook"))) << Log();
    Click(kDialogCancel);
    ASSERT_TRUE(WaitFor("social-network dialog: closed")) << Log();
    // A page window is modal: had one come for the failure text, the dialog would not have closed.
    EXPECT_EQ(desk->WindowsOf(program.Id()).size(), 1u) << "no page window for a failure text";
    EXPECT_EQ(countOf(Log(), "social network: page window"), 0u);
    ASSERT_TRUE(WaitFor(ProgramLaunch::ScreenClosed("dlg_facebook"))) << Log();
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
    // A held request would keep the program until its transfer times out; a loaded machine may
    // take a few seconds to end a sanitized program, so the bound is half that time-out.
    EXPECT_LT(Clock::now() - asked, std::chrono::milliseconds(linkwell::kTransferTimeoutMs / 2))
        << "the held request kept the program";
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
    // The click on the box's place comes to the program before the one on OK: once the options
    // have closed, it has been handled.
    Click(kFacebookBox);
    Click(kOptionsOk);
    ASSERT_TRUE(WaitFor(ProgramLaunch::ScreenClosed("dlg_options"))) << Log();
    EXPECT_FALSE(LibraryMapped());
    EXPECT_EQ(countOf(Log(), "social-network dialog"), 0u) << "the hidden box does not open the dialog";
    EXPECT_EQ(countOf(Log(), "social network: on"), 0u);
    EXPECT_EQ(Quit(), 0) << Log();
}

} // namespace
