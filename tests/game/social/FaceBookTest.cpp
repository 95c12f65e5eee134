// FaceBook against the fake library of FakeLinkwell.h: the distribution file into the suffix, the
// library and export checks, the flow that polling drives (one reaction per change of state, the
// log-in window only on a page address, stopping), the status map, posts, the profile's
// "FACEBOOK_DATA", the salt, the display around the log-in window and the destructor's order.
#include "tests/game/social/FakeLinkwell.h"

#include <gtest/gtest.h>

#include <set>

namespace
{

using namespace FakeLinkwell;
using TarnEngine::XmlNode;

class FaceBookTest : public ::testing::Test
{
public:
    void SetUp() override { g_record = &record; }
    void TearDown() override
    {
        social.reset();
        g_record = nullptr;
    }

    FaceBook& Make()
    {
        social = std::make_unique<FaceBook>(std::make_unique<Host>(world));
        return *social;
    }
    // Made and initialised on the world as it is; the profile loaded.
    FaceBook& Started()
    {
        FaceBook& made = Make();
        EXPECT_TRUE(made.Init(3));
        made.LoadProfile();
        record.calls.clear();
        return made;
    }
    // One frame with the connection in that state.
    void Frame(int32_t state, const std::string& status = "")
    {
        record.state = state;
        record.status = status;
        social->Update();
    }
    XmlNode* Data() { return world.profile->FindChild(L"FACEBOOK_DATA"); }
    std::wstring Stored(const wchar_t* name)
    {
        const std::wstring* value = Data() ? Data()->FindAttribute(name) : nullptr;
        return value ? *value : L"(missing)";
    }
    void StoreData(const wchar_t* userId, const wchar_t* salt, const wchar_t* enabled)
    {
        auto data = std::make_unique<XmlNode>(L"FACEBOOK_DATA");
        if (userId)
            data->SetAttribute(L"UserID", userId);
        if (salt)
            data->SetAttribute(L"Salt", salt);
        if (enabled)
            data->SetAttribute(L"Enabled", enabled);
        world.profile->children.clear();
        world.profile->AppendChild(std::move(data));
    }

    Record record;
    World world;
    std::unique_ptr<FaceBook> social;
};

TEST_F(FaceBookTest, TheDistributionFilesFirstLineGivesTheSuffix)
{
    struct Case
    {
        const char* file;
        const char16_t* suffix;
    };
    const Case cases[] = {
        {"12345\n", u",sku:12345"},
        {" 42\n", u",sku:42"},
        {"0x10\n", u",sku:16"},
        {"-5\n", u",sku:-5"},
        {"010", u",sku:8"},
        {"0\n", u""},
        {"abc\n", u""},
        {"99999999999\n", u",sku:2147483647"},
        {"http://a.b/c d\nsecond line", u",url:http%3A%2F%2Fa%2Eb%2Fc%20d"},
        {"http://a.b/\r\n", u",url:http%3A%2F%2Fa%2Eb%2F%0D"},
        {"https://x\xe9y\n", u",url:https%3A%2F%2Fx%E9y"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.file);
        world.distribution = c.file;
        FaceBook& made = Make();
        ASSERT_TRUE(made.Init(3));
        EXPECT_EQ(made.GetSuffix(), std::u16string(c.suffix));
        EXPECT_TRUE(made.HasConnection());
    }
    EXPECT_EQ(record.version, "0.1");
    EXPECT_EQ(record.serverUrl, "http://relay.test");
    EXPECT_EQ(record.logFlags, 0);
}

TEST_F(FaceBookTest, WithoutADistributionLineLibraryOrExportInitFails)
{
    struct Case
    {
        const char* name;
        std::function<void(World&)> change;
    };
    const Case cases[] = {
        {"no file", [](World& w) { w.distributionPresent = false; }},
        {"empty line", [](World& w) { w.distribution = "\n12345\n"; }},
        {"empty file", [](World& w) { w.distribution = ""; }},
        {"no library", [](World& w) { w.libraryPresent = false; }},
        {"no export", [](World& w) { w.libraryExports = false; }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        world = World();
        c.change(world);
        EXPECT_FALSE(Make().Init(3));
        EXPECT_FALSE(social->HasConnection());
    }
    EXPECT_EQ(record.factoriesDestroyed, 0) << "no factory was made";
}

TEST_F(FaceBookTest, WithoutAConnectionEveryOperationDoesNothing)
{
    record.makeConnection = false;
    FaceBook& made = Make();
    EXPECT_TRUE(made.Init(3));
    EXPECT_EQ(record.clientsDestroyed, 1) << "the client the library refused is released here";
    made.LoadProfile();
    made.Restart();
    made.Post(1, L"text");
    made.Update();
    made.Disable();
    EXPECT_EQ(made.GetStatus(), 0);
    EXPECT_FALSE(made.Login("http://h/login?userid=5"));
    EXPECT_TRUE(record.calls.empty());
    EXPECT_TRUE(record.windows.empty());

    record = Record();
    record.makeFactory = false;
    EXPECT_TRUE(Make().Init(3));
    social->Restart();
    EXPECT_TRUE(record.calls.empty());
}

TEST_F(FaceBookTest, EachChangeOfStateGetsOneReaction)
{
    FaceBook& made = Started();
    made.Restart();
    EXPECT_EQ(record.calls, (std::vector<std::string>{"Disconnect", "Initialize 3"}));
    record.calls.clear();
    Frame(0);
    Frame(1);
    Frame(4);
    ASSERT_NE(Data(), nullptr) << "saved on state 4";
    EXPECT_EQ(record.calls, std::vector<std::string>{"CheckPermissions 0 " + std::string(made.GetSalt().begin(), made.GetSalt().end())});
    world.profile->children.clear();
    Frame(4);
    EXPECT_EQ(Data(), nullptr) << "no second save for the same state";
    EXPECT_EQ(record.Count("CheckPermissions"), 1u);

    Frame(5);
    EXPECT_FALSE(made.IsEnabled());
    Frame(6);
    EXPECT_TRUE(made.IsEnabled());
    EXPECT_EQ(Stored(L"Enabled"), L"1");
    EXPECT_TRUE(record.windows.empty());
    EXPECT_FALSE(record.keptLoaded) << "no window, so the library may go";
}

TEST_F(FaceBookTest, TheLogInWindowOpensOnceOnTheRelaysPageAndASecondRefusalStops)
{
    FaceBook& made = Started();
    record.lastAddress = "HTTP://H/DONE?USERID=77";
    Frame(5);
    Frame(7, "http://relay/login");
    Frame(7, "http://relay/login");
    EXPECT_EQ(record.windows, std::vector<std::string>{"http://relay/login"});
    EXPECT_EQ(record.owners, std::vector<void*>{reinterpret_cast<void*>(uintptr_t(0x4c00007))});
    EXPECT_EQ(record.windowsDestroyed, 1);
    EXPECT_EQ(made.GetUserId(), 77);
    EXPECT_EQ(Stored(L"UserID"), L"77");
    EXPECT_EQ(record.Count("SetSalt 77 "), 1u);
    EXPECT_EQ(record.Count("Window caption"), 1u);
    EXPECT_TRUE(record.keptLoaded) << "a library that showed a window stays loaded";

    // Refused again after the log-in: the flow stops.
    Frame(8);
    Frame(7, "http://relay/login");
    EXPECT_EQ(record.windows.size(), 1u);
    EXPECT_TRUE(made.IsStopped());
    EXPECT_EQ(made.GetStatus(), 5);
    EXPECT_FALSE(made.IsEnabled());
    // Stopped: polling does nothing until the next restart.
    Frame(4);
    EXPECT_EQ(record.Count("CheckPermissions"), 0u);
    made.Restart();
    EXPECT_EQ(made.GetStatus(), 2) << "state 4 is working";
}

TEST_F(FaceBookTest, StatusTextsThatAreNoPageOpenNoWindow)
{
    struct Case
    {
        int32_t state;
        const char* status;
        size_t windows;
        bool stops;
    };
    const Case cases[] = {
        {2, "Failed to perform request", 0, false},
        {2, "", 0, false},
        {2, "http://h/why", 1, false},
        {3, "https://h/closed", 1, false},
        {3, "javascript:alert(1)", 0, false},
        {3, "file:///etc/passwd", 0, false},
        {7, "", 0, true},
        {7, "ftp://h/login", 0, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.status);
        record = Record();
        world = World();
        FaceBook& made = Started();
        Frame(1);
        Frame(c.state, c.status);
        Frame(c.state, c.status);
        EXPECT_EQ(record.windows.size(), c.windows);
        EXPECT_EQ(made.IsStopped(), c.stops);
        EXPECT_EQ(made.GetStatus(), c.stops ? 5 : 4);
    }
}

TEST_F(FaceBookTest, ALogInWithoutAUserIdStops)
{
    FaceBook& made = Started();
    record.lastAddress = "http://h/cancelled";
    Frame(7, "http://relay/login");
    EXPECT_EQ(record.windows.size(), 1u);
    EXPECT_TRUE(made.IsStopped());
    EXPECT_EQ(made.GetStatus(), 5);
    EXPECT_EQ(record.Count("SetSalt"), 0u);
}

TEST_F(FaceBookTest, TheStatusFollowsTheConnectionState)
{
    FaceBook& made = Started();
    const int32_t expected[] = {0, 2, 4, 4, 2, 2, 1, 0, 2, 3, 0, -1};
    for (int32_t state = 0; state <= 11; ++state)
    {
        record.state = state == 11 ? -1 : state;
        EXPECT_EQ(made.GetStatus(), expected[state] == -1 ? 0 : expected[state]) << state;
    }
}

TEST_F(FaceBookTest, PostsGoOutOnlyWhileEnabledWithTheSuffixAsUtf16)
{
    FaceBook& made = Started();
    made.Post(1, L"not yet");
    EXPECT_TRUE(record.posts.empty());
    Frame(6);
    ASSERT_TRUE(made.IsEnabled());
    made.Post(2, L"Found \u00e9 and \U0001F600");
    ASSERT_EQ(record.posts.size(), 1u);
    EXPECT_EQ(record.posts[0], u"Found \u00e9 and \U0001F600,sku:12345");
    EXPECT_EQ(record.calls.back(), "PostMessage 2");
}

TEST_F(FaceBookTest, LoadProfileResetsTheFlowAndReadsTheStoredData)
{
    FaceBook& made = Make();
    ASSERT_TRUE(made.Init(3));
    made.LoadProfile();
    EXPECT_TRUE(made.IsFirstOffer()) << "a profile without FACEBOOK_DATA";
    EXPECT_FALSE(made.IsEnabled());
    made.ClearFirstOffer();
    EXPECT_FALSE(made.IsFirstOffer());

    world.hasProfile = false;
    made.LoadProfile();
    EXPECT_FALSE(made.IsFirstOffer()) << "no current profile: nothing to offer";

    world.hasProfile = true;
    StoreData(L"4242", L"abcdefghijklmnop", L"1");
    made.LoadProfile();
    EXPECT_FALSE(made.IsFirstOffer());
    EXPECT_TRUE(made.IsEnabled());
    EXPECT_EQ(made.GetUserId(), 4242);
    EXPECT_EQ(made.GetSalt(), L"abcdefghijklmnop");
    EXPECT_EQ(record.calls.front(), "Disconnect");
}

TEST_F(FaceBookTest, StoredDataIsReadStrictly)
{
    struct Case
    {
        const wchar_t* userId;
        const wchar_t* salt;
        const wchar_t* enabled;
        bool loads;
        int64_t id;
        bool enabledAfter;
    };
    const Case cases[] = {
        {L"77", L"s", L"1", true, 77, true},
        {L"0x1F", L"s", L"1", true, 31, true},
        {L"017", L"s", nullptr, true, 15, true},
        {L"-9223372036854775808", L"s", L"yes", true, INT64_MIN, true},
        {L"9223372036854775807", L"s", L"1", true, INT64_MAX, true},
        {L"77", L"s", L"no", true, 77, false},
        {L"77", L"s", L"maybe", true, 77, false},
        {L"77", nullptr, L"1", false, 77, false},
        {nullptr, L"s", L"1", false, 0, false},
        {L"99999999999999999999", L"s", L"1", false, 0, false},
        {L"9223372036854775808", L"s", L"1", false, 0, false},
        {L"abc", L"s", L"1", false, 0, false},
        {L"12abc", L"s", L"1", false, 0, false},
        {L"", L"s", L"1", false, 0, false},
    };
    FaceBook& made = Make();
    ASSERT_TRUE(made.Init(3));
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.userId ? c.userId : L"(none)");
        StoreData(c.userId, c.salt, c.enabled);
        made.LoadProfile();
        EXPECT_EQ(made.IsFirstOffer(), !c.loads);
        EXPECT_EQ(made.GetUserId(), c.id);
        EXPECT_EQ(made.IsEnabled(), c.enabledAfter);
        if (c.loads)
            EXPECT_EQ(made.GetSalt(), c.salt);
        else
            EXPECT_EQ(made.GetSalt().size(), 16u) << "never an empty salt";
    }
}

TEST_F(FaceBookTest, SaveDataReplacesTheOldElementsChildren)
{
    FaceBook& made = Started();
    StoreData(L"5", L"old", L"0");
    Data()->AppendChild(std::make_unique<XmlNode>(L"STALE"));
    made.LoadProfile();
    Frame(6);
    ASSERT_NE(Data(), nullptr);
    EXPECT_TRUE(Data()->children.empty());
    EXPECT_EQ(Stored(L"UserID"), L"5");
    EXPECT_EQ(Stored(L"Salt"), L"old");
    EXPECT_EQ(Stored(L"Enabled"), L"1");
    EXPECT_EQ(world.profile->children.size(), 1u) << "one element, not a second";
    made.Disable();
    EXPECT_EQ(Stored(L"Enabled"), L"0");
    EXPECT_FALSE(made.IsEnabled());
}

TEST_F(FaceBookTest, TheSaltTakesSixteenOfTheSixtyTwoFromTheSystemSource)
{
    FaceBook& made = Make();
    std::set<wchar_t> seen;
    std::set<std::wstring> salts;
    for (int i = 0; i < 2000; ++i)
    {
        const std::wstring salt = made.MakeSalt();
        ASSERT_EQ(salt.size(), 16u);
        for (wchar_t c : salt)
        {
            ASSERT_TRUE((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z')) << int(c);
            seen.insert(c);
        }
        salts.insert(salt);
    }
    EXPECT_EQ(seen.size(), 62u);
    EXPECT_EQ(salts.size(), 2000u);

    // Bytes of 248 and above are drawn again; a source that fails is replaced, never the clock.
    world.random = [](uint8_t* out, size_t count) {
        for (size_t i = 0; i < count; ++i)
            out[i] = uint8_t(i % 2 ? 250 : 63);
        return true;
    };
    EXPECT_EQ(made.MakeSalt(), std::wstring(16, L'1'));
    world.random = [](uint8_t*, size_t) { return false; };
    EXPECT_EQ(made.MakeSalt().size(), 16u);
}

TEST_F(FaceBookTest, TheDisplayLeavesFullScreenAroundTheWindowAndComesBack)
{
    world.fullscreen = true;
    world.displayStaysFullscreen = true;
    FaceBook& made = Started();
    bool windowedDuringShow = false;
    record.duringShow = [&] { windowedDuringShow = !world.fullscreen; };
    record.lastAddress = "http://h/done?userid=8";
    Frame(7, "http://relay/login");
    EXPECT_TRUE(windowedDuringShow);
    EXPECT_TRUE(world.fullscreen);
    EXPECT_EQ(world.display,
              (std::vector<std::string>{"fullscreen 0", "device held", "focus back", "device released", "fullscreen 1"}));

    // In a window nothing changes; a page window does the same.
    world.fullscreen = false;
    world.display.clear();
    made.ShowPage("http://h/page");
    EXPECT_EQ(world.display, std::vector<std::string>{"focus back"});
    EXPECT_FALSE(world.fullscreen);
}

TEST_F(FaceBookTest, NoPollingWhileAMessageBoxIsOnTop)
{
    FaceBook& made = Started();
    world.messageBoxOnTop = true;
    Frame(4);
    EXPECT_EQ(record.Count("CheckPermissions"), 0u);
    world.messageBoxOnTop = false;
    made.Update();
    EXPECT_EQ(record.Count("CheckPermissions"), 1u);
}

TEST_F(FaceBookTest, TheMessageBoxAnswerLogsInOnTheKeptAddress)
{
    FaceBook& made = Started();
    record.lastAddress = "http://h/done?userid=12";
    made.SetPendingLoginUrl("http://relay/login");
    made.HandleMsgBox(0, 1);
    EXPECT_EQ(record.windows, std::vector<std::string>{"http://relay/login"});
    EXPECT_EQ(made.GetUserId(), 12);
}

TEST_F(FaceBookTest, TheDestructorReleasesFactoryThenConnection)
{
    FaceBook& made = Started();
    // A second start lets go of the first one's objects.
    EXPECT_TRUE(made.Init(3));
    EXPECT_EQ(record.factoriesDestroyed, 1);
    EXPECT_EQ(record.connectionsDestroyed, 1);
    EXPECT_TRUE(made.HasConnection());
    social.reset();
    EXPECT_EQ(record.factoriesDestroyed, 2);
    EXPECT_EQ(record.connectionsDestroyed, 2);
    EXPECT_EQ(record.clientsDestroyed, 2) << "each connection owned its client";
}

} // namespace
