// The log-in window's reactions to its web view, without a display.
#include "linkwell/browser/BrowserEvents.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using linkwell::BrowserEvents;
using linkwell::BrowserNotice;
using linkwell::ProgressCounter;

namespace
{
class NoticeRecorder : public BrowserNotice
{
public:
    void Show(const std::string& caption, const std::string& text) override
    {
        shown.push_back(caption + "|" + text);
    }
    std::vector<std::string> shown;
};

const std::string kFirst = "http://relay.test/login";

struct Window
{
    explicit Window(ProgressCounter& counter) : events(kFirst, "Caption", notice, counter) {}
    NoticeRecorder notice;
    BrowserEvents events;
};
} // namespace

TEST(BrowserEvents, ProgressDotsTakeTurnsAcrossWindowsAndZeroChangesNothing)
{
    ProgressCounter counter;
    Window a(counter);
    Window b(counter);
    a.events.OnProgress(0.1);
    EXPECT_EQ(a.events.StatusText(), "Loading.");
    b.events.OnProgress(0.2);
    EXPECT_EQ(b.events.StatusText(), "Loading..");
    a.events.OnProgress(0.3);
    EXPECT_EQ(a.events.StatusText(), "Loading...");
    a.events.OnProgress(0.0);
    EXPECT_EQ(a.events.StatusText(), "Loading...");
    b.events.OnProgress(0.0);
    EXPECT_EQ(b.events.StatusText(), "Loading..");
    b.events.OnProgress(1.0);
    EXPECT_EQ(b.events.StatusText(), "Loading.");
    EXPECT_FALSE(a.events.Ended() || b.events.Ended());
}

TEST(BrowserEvents, CommittedAddressBecomesCurrentAndLoadsShowLoaded)
{
    ProgressCounter counter;
    Window w(counter);
    EXPECT_EQ(w.events.CurrentAddress(), kFirst);
    EXPECT_EQ(w.events.StatusText(), "");
    w.events.OnProgress(0.5);
    w.events.OnCommitted("http://relay.test/done?userid=4242");
    EXPECT_EQ(w.events.CurrentAddress(), "http://relay.test/done?userid=4242");
    EXPECT_EQ(w.events.StatusText(), "Loaded");
    w.events.OnProgress(0.5);
    w.events.OnFinished();
    EXPECT_EQ(w.events.StatusText(), "Loaded");
    EXPECT_FALSE(w.events.Ended()) << "an address never ends the window by itself";
}

TEST(BrowserEvents, TitleSetsCaptionAndMissingTitleEmptiesIt)
{
    ProgressCounter counter;
    Window w(counter);
    EXPECT_EQ(w.events.Caption(), "Caption");
    w.events.OnTitle("Log in");
    EXPECT_EQ(w.events.Caption(), "Log in");
    w.events.OnTitle(nullptr);
    EXPECT_EQ(w.events.Caption(), "");
}

TEST(BrowserEvents, EndCodes)
{
    struct Case
    {
        const char* name;
        void (*end)(BrowserEvents&);
        int code;
    };
    const Case cases[] = {
        {"page close", [](BrowserEvents& e) { e.OnPageCloseRequest(); }, 0},
        {"title-bar close", [](BrowserEvents& e) { e.OnTitleBarClose(); }, 2},
        {"skin close button", [](BrowserEvents& e) { e.OnSkinClose(); }, -1},
        {"load error", [](BrowserEvents& e) { e.OnLoadFailed(BrowserEvents::FailureKind::Error, 7); }, -1},
    };
    for (const Case& c : cases)
    {
        ProgressCounter counter;
        Window w(counter);
        w.events.OnCommitted("https://relay.test/second");
        c.end(w.events);
        EXPECT_TRUE(w.events.Ended()) << c.name;
        EXPECT_EQ(w.events.EndCode(), c.code) << c.name;
        EXPECT_EQ(w.events.CurrentAddress(), "https://relay.test/second") << c.name;
        // The first end wins, and a closing window takes no more changes.
        w.events.OnTitleBarClose();
        w.events.OnCommitted("https://relay.test/third");
        w.events.OnTitle("late");
        EXPECT_EQ(w.events.EndCode(), c.code) << c.name;
        EXPECT_EQ(w.events.CurrentAddress(), "https://relay.test/second") << c.name;
    }
}

TEST(BrowserEvents, ErrorShowsNoticeOnceAndKeepsLastAddressReached)
{
    ProgressCounter counter;
    Window w(counter);
    w.events.OnCommitted("http://relay.test/step");
    testing::internal::CaptureStderr();
    w.events.OnLoadFailed(BrowserEvents::FailureKind::Error, 2);
    w.events.OnLoadFailed(BrowserEvents::FailureKind::Error, 3);
    const std::string errors = testing::internal::GetCapturedStderr();
    ASSERT_EQ(w.notice.shown.size(), 1u);
    EXPECT_EQ(
        w.notice.shown[0],
        "Network error|We are sorry, there is error occurred while connecting!\nWindow will now close.");
    EXPECT_EQ(errors, "Browser error: 2\n");
    EXPECT_EQ(w.events.EndCode(), -1);
    EXPECT_EQ(w.events.CurrentAddress(), "http://relay.test/step");
}

TEST(BrowserEvents, CancelledOrPolicyInterruptedLoadIsNoError)
{
    ProgressCounter counter;
    Window w(counter);
    w.events.OnLoadFailed(BrowserEvents::FailureKind::Cancelled, 302);
    w.events.OnLoadFailed(BrowserEvents::FailureKind::PolicyIgnore, 102);
    EXPECT_FALSE(w.events.Ended());
    EXPECT_TRUE(w.notice.shown.empty());
    EXPECT_EQ(w.events.CurrentAddress(), kFirst);
}

TEST(BrowserEvents, OnlyWebAddressesAreOpened)
{
    const struct
    {
        const char* address;
        bool web;
    } cases[] = {
        {"http://relay.test/login", true},
        {"https://relay.test/", true},
        {"HTTPS://Relay.Test/Login", true},
        {"file:///etc/passwd", false},
        {"Failed to perform request", false},
        {"", false},
        {"http://", false},
        {"https:relay.test", false},
        {"javascript:alert(1)", false},
        {"data:text/html,<p>x</p>", false},
        {"about:blank", false},
        {" http://relay.test/", false},
        {"httpx://relay.test/", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BrowserEvents::IsWebAddress(c.address), c.web) << c.address;
}
