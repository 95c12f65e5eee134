// The log-in window with real WebKitGTK on an X server of the test's own
// (Xvfb), against pages served on loopback. The scenarios run in a child
// process: GTK starts once per process and must not start in the suite's own.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "RelayServer.h"
#include "linkwell/browser/BrowserWindow.h"
#include "linkwell/browser/GtkBrowserWindow.h"
#include "tests/linkwell/browser/PageServer.h"
#include "tests/linkwell/browser/WebKitTestEnvironment.h"
#include "tests/linkwell/skin/SkinFixture.h"
#include "tests/platform/XServer.h"

using namespace linkwell;

namespace
{
const char* const kChildVariable = "LINKWELL_BROWSER_ON_X";
// A window still open this long after it was shown has hung; generous for a busy machine.
const unsigned kGuardSeconds = 60;

// Runs the child tests of filter on an Xvfb of their own (skipped without
// Xvfb), or with no display at all.
void runChild(const std::string& filter, bool onXServer)
{
    XServerSupport::XServer server;
    std::string display;
    if (onXServer)
    {
        const std::string xvfb = XServerSupport::findProgram("Xvfb");
        if (xvfb.empty())
            GTEST_SKIP() << "no Xvfb";
        display = server.Start(xvfb);
        ASSERT_FALSE(display.empty()) << "Xvfb did not start";
    }

    char folder[] = "/tmp/linkwell-browser-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string home = folder;
    const std::string lsanOptions = WebKitTestEnvironment::LeakOptions(home + "/lsan.supp");
    ASSERT_FALSE(lsanOptions.empty());

    std::vector<std::string> environment;
    for (const std::string& entry : XServerSupport::currentEnvironment())
        if (entry.rfind("DISPLAY=", 0) != 0 && entry.rfind("WAYLAND_DISPLAY=", 0) != 0 &&
            entry.rfind("LC_ALL=", 0) != 0)
            environment.push_back(entry);
    XServerSupport::setVariable(environment, "LSAN_OPTIONS", lsanOptions);
    if (onXServer)
        XServerSupport::setVariable(environment, "DISPLAY", display);
    for (const auto& [name, value] : WebKitTestEnvironment::Variables(home))
        XServerSupport::setVariable(environment, name, value);
    // A user's locale that differs from the program's "C", to see that GTK leaves it alone.
    XServerSupport::setVariable(environment, "LANG", "C.UTF-8");
    XServerSupport::setVariable(environment, kChildVariable, "1");
    const pid_t child = XServerSupport::spawn(
        "/proc/self/exe", {"--gtest_filter=" + filter, "--gtest_brief=1"}, environment, nullptr);
    ASSERT_GT(child, 0);
    int status = 0;
    const pid_t waited = waitpid(child, &status, 0);
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    ASSERT_EQ(waited, child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a scenario on the X server failed; its output is above";
}

class NoticeRecorder : public BrowserNotice
{
public:
    void Show(const std::string& caption, const std::string& text) override
    {
        shown.push_back(caption + "|" + text);
    }
    std::vector<std::string> shown;
};

// Drives an open window from inside its loop. A window still open after the
// guard's limit is closed as the title bar would, and the scenario fails.
class Probe : public BrowserWindowProbe
{
public:
    std::function<void(GtkWidget*, WebKitWebView*)> onShown;
    std::function<void(GtkWidget*, WebKitWebView*, const std::string&)> onCommitted;
    std::function<void(GtkWidget*, WebKitWebView*)> onFinished;
    std::function<void(GtkWidget*, WebKitWebView*, const std::string&)> onRefused;

    ~Probe() override { disarm(); }

    void Shown(GtkWidget* window, WebKitWebView* view) override
    {
        window_ = window;
        guard_ = g_timeout_add_seconds(kGuardSeconds, &Probe::expire, this);
        if (onShown)
            onShown(window, view);
    }
    void Committed(GtkWidget* window, WebKitWebView* view, const std::string& address) override
    {
        committed.push_back(address);
        if (onCommitted)
            onCommitted(window, view, address);
    }
    void Finished(GtkWidget* window, WebKitWebView* view) override
    {
        if (onFinished)
            onFinished(window, view);
    }
    void Refused(GtkWidget* window, WebKitWebView* view, const std::string& address) override
    {
        refused.push_back(address);
        if (onRefused)
            onRefused(window, view, address);
    }
    void disarm()
    {
        if (guard_ != 0)
            g_source_remove(guard_);
        guard_ = 0;
    }

    std::vector<std::string> committed;
    std::vector<std::string> refused;
    bool expired = false;

private:
    static gboolean expire(gpointer self)
    {
        Probe* probe = static_cast<Probe*>(self);
        probe->guard_ = 0;
        probe->expired = true;
        gtk_window_close(GTK_WINDOW(probe->window_));
        return G_SOURCE_REMOVE;
    }
    GtkWidget* window_ = nullptr;
    guint guard_ = 0;
};

struct Outcome
{
    bool result = false;
    std::string address;
    bool opened = false;
    int endCode = 0;
};

Outcome show(const std::string& first, Probe& probe, BrowserWindowOptions options = {},
             unsigned long owner = 0)
{
    options.probe = &probe;
    options.lookForSkinModule = options.lookForSkinModule && !options.skin;
    GtkBrowserWindow window("Log in", first, owner, std::move(options));
    Outcome outcome;
    outcome.result = window.Show(outcome.address);
    probe.disarm();
    outcome.opened = window.Opened();
    outcome.endCode = window.EndCode();
    EXPECT_FALSE(probe.expired) << "the window did not end by itself within the limit";
    return outcome;
}

// Clicks the view as the player would (through the X server's test
// extension), at a point given in fractions of the view's size.
void clickView(WebKitWebView* view, double across, double down)
{
    XServerSupport::FakePointer pointer;
    ASSERT_TRUE(pointer.Available()) << "libXtst is needed to click";
    GtkWidget* widget = GTK_WIDGET(view);
    GtkWidget* top = gtk_widget_get_toplevel(widget);
    int x = 0;
    int y = 0;
    gtk_widget_translate_coordinates(
        widget, top, static_cast<int>(gtk_widget_get_allocated_width(widget) * across),
        static_cast<int>(gtk_widget_get_allocated_height(widget) * down), &x, &y);
    int ox = 0;
    int oy = 0;
    gdk_window_get_origin(gtk_widget_get_window(top), &ox, &oy);
    pointer.MoveTo(ox + x, oy + y);
    pointer.Button(1, true);
    pointer.Button(1, false);
}

// A link over a part of the page (left and width in per cent), so that a click there follows it.
std::string linkOver(const std::string& href, int left, int width)
{
    return "<a href='" + href + "' style='position:fixed;top:0;height:100%;left:" + std::to_string(left) +
           "%;width:" + std::to_string(width) + "%'>" + href + "</a>";
}

// Closes the window as its title-bar button would.
void closeAsTitleBar(GtkWidget* window)
{
    gtk_window_close(GTK_WINDOW(window));
}

class BrowserWindowX : public testing::Test
{
protected:
    void SetUp() override
    {
        if (std::getenv(kChildVariable) == nullptr)
            GTEST_SKIP() << "runs on an X server through BrowserWindowOnX";
        ASSERT_FALSE(server.Base().empty());
    }
    PageServer server;
};
} // namespace

TEST(BrowserWindowOnX, Scenarios)
{
    runChild("BrowserWindowX.*-BrowserWindowX.StartTimes:BrowserWindowX.WithoutDisplay*", true);
}

TEST(BrowserWindowOnX, StartTimes)
{
    runChild("BrowserWindowX.StartTimes", true);
}

TEST(BrowserWindowOnX, WithoutDisplay)
{
    runChild("BrowserWindowX.WithoutDisplayTheFirstAddressComesBackAtOnce", false);
}

TEST_F(BrowserWindowX, WithoutDisplayTheFirstAddressComesBackAtOnce)
{
    if (std::getenv("DISPLAY") != nullptr)
        GTEST_SKIP() << "runs without a display";
    const std::string first = server.Base() + "/login";
    GtkBrowserWindow window("Log in", first, 0);
    std::string last;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(window.Show(last));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(last, first);
    EXPECT_FALSE(window.Opened());
    EXPECT_NE(log.find("cannot open a display"), std::string::npos) << log;
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(BrowserWindowX, LoginRedirectEndsOnTheUserIdPageWhichClosesItself)
{
    // The relay stand-in's log-in: /login redirects to /done?userid=4242, whose script closes the page.
    relay::RelayServer relay;
    ASSERT_TRUE(relay.Running());
    Probe probe;
    const Outcome outcome = show(relay.BaseUrl() + "/login", probe);
    EXPECT_TRUE(outcome.result);
    EXPECT_TRUE(outcome.opened);
    EXPECT_EQ(outcome.address, relay.BaseUrl() + "/done?userid=4242");
    EXPECT_EQ(outcome.endCode, 0);
    const std::vector<relay::RecordedRequest> requests = relay.Requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/login");
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_EQ(requests[1].target, "/done?userid=4242");
    EXPECT_STREQ(setlocale(LC_ALL, nullptr), "C") << "GTK took the user's locale for the whole program";
}

TEST_F(BrowserWindowX, TitleBarCloseAfterANavigationGivesTheNavigatedAddress)
{
    server.Page("/first", "<html><body><script>location.href = '/second';</script></body></html>");
    server.Page("/second", "<html><body>Second</body></html>");
    Probe probe;
    probe.onFinished = [&](GtkWidget* window, WebKitWebView* view)
    {
        const char* uri = webkit_web_view_get_uri(view);
        if (uri != nullptr && std::string(uri).find("/second") != std::string::npos)
            closeAsTitleBar(window);
    };
    const Outcome outcome = show(server.Base() + "/first", probe);
    EXPECT_EQ(outcome.endCode, 2);
    EXPECT_EQ(outcome.address, server.Base() + "/second");
}

TEST_F(BrowserWindowX, RefusedPortShowsTheNoticeAndKeepsTheFirstAddress)
{
    const std::string first = "http://127.0.0.1:" + std::to_string(PageServer::ClosedPort()) + "/login";
    NoticeRecorder notice;
    BrowserWindowOptions options;
    options.notice = &notice;
    Probe probe;
    testing::internal::CaptureStderr();
    const Outcome outcome = show(first, probe, std::move(options));
    const std::string errors = testing::internal::GetCapturedStderr();
    ASSERT_EQ(notice.shown.size(), 1u);
    EXPECT_EQ(notice.shown[0].substr(0, 14), "Network error|");
    EXPECT_EQ(outcome.endCode, -1);
    EXPECT_EQ(outcome.address, first);
    EXPECT_NE(errors.find("Browser error: "), std::string::npos);
}

namespace
{
// The real notice, found among the top-level windows while it runs its own
// loop, read, and answered with its OK button.
struct NoticeReader
{
    std::string title;
    std::string text;
    bool answered = false;
    guint source = 0;

    static gboolean look(gpointer data)
    {
        NoticeReader* self = static_cast<NoticeReader*>(data);
        GList* windows = gtk_window_list_toplevels();
        GtkWidget* box = nullptr;
        for (GList* w = windows; w != nullptr; w = w->next)
            if (GTK_IS_MESSAGE_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data)))
                box = GTK_WIDGET(w->data);
        g_list_free(windows);
        if (box == nullptr)
            return G_SOURCE_CONTINUE;
        self->title = gtk_window_get_title(GTK_WINDOW(box));
        gchar* text = nullptr;
        g_object_get(box, "text", &text, nullptr);
        self->text = text != nullptr ? text : "";
        g_free(text);
        // Answered as the player would, with the one button the box has.
        GtkWidget* ok = gtk_dialog_get_widget_for_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
        if (ok != nullptr)
        {
            gtk_button_clicked(GTK_BUTTON(ok));
            self->answered = true;
        }
        self->source = 0;
        return G_SOURCE_REMOVE;
    }
};
} // namespace

TEST_F(BrowserWindowX, RefusedPortShowsTheRealNoticeWithAnOkButton)
{
    const std::string first = "http://127.0.0.1:" + std::to_string(PageServer::ClosedPort()) + "/login";
    NoticeReader reader;
    Probe probe;
    probe.onShown = [&](GtkWidget*, WebKitWebView*)
    { reader.source = g_timeout_add(20, NoticeReader::look, &reader); };
    testing::internal::CaptureStderr();
    const Outcome outcome = show(first, probe);
    testing::internal::GetCapturedStderr();
    if (reader.source != 0)
        g_source_remove(reader.source);
    EXPECT_TRUE(reader.answered);
    EXPECT_EQ(reader.title, "Network error");
    EXPECT_EQ(reader.text, "We are sorry, there is error occurred while connecting!\nWindow will now close.");
    EXPECT_EQ(outcome.endCode, -1);
    EXPECT_EQ(outcome.address, first);
}

namespace
{
// What the titled page's window showed, read once the view has its title and has finished loading.
struct TitleCheck
{
    GtkWidget* window = nullptr;
    std::string title;
    bool decorated = false;
    std::string status;
    bool done = false;

    static void check(WebKitWebView* view, GParamSpec*, TitleCheck* self) { self->look(view); }
    void look(WebKitWebView* view)
    {
        const char* pageTitle = webkit_web_view_get_title(view);
        if (done || pageTitle == nullptr || std::string(pageTitle) != "Relay Log In" ||
            webkit_web_view_is_loading(view))
            return;
        done = true;
        title = gtk_window_get_title(GTK_WINDOW(window));
        decorated = gtk_window_get_decorated(GTK_WINDOW(window));
        GtkWidget* column = gtk_bin_get_child(GTK_BIN(window));
        if (GTK_IS_BOX(column))
        {
            GList* children = gtk_container_get_children(GTK_CONTAINER(column));
            GList* last = g_list_last(children);
            if (last != nullptr && GTK_IS_LABEL(last->data))
                status = gtk_label_get_text(GTK_LABEL(last->data));
            g_list_free(children);
        }
        closeAsTitleBar(window);
    }
};
} // namespace

TEST_F(BrowserWindowX, PageTitleBecomesTheWindowTitleAndThePlainFrameHasItsStatusLine)
{
    server.Page("/titled", "<html><head><title>Relay Log In</title></head><body>x</body></html>");
    Probe probe;
    TitleCheck seen;
    probe.onShown = [&](GtkWidget* window, WebKitWebView* view)
    {
        seen.window = window;
        // After the window's own handler, which sets the caption.
        g_signal_connect(view, "notify::title", G_CALLBACK(TitleCheck::check), &seen);
    };
    probe.onFinished = [&](GtkWidget*, WebKitWebView* view) { seen.look(view); };
    // No skin module beside the test program, nor on the library path.
    const Outcome outcome = show(server.Base() + "/titled", probe);
    EXPECT_TRUE(seen.done);
    EXPECT_EQ(seen.title, "Relay Log In");
    EXPECT_TRUE(seen.decorated);
    EXPECT_EQ(seen.status, "Loaded");
    EXPECT_EQ(outcome.endCode, 2);
}

namespace
{
// Where the window is on the screen, as the X server has it, and whom it is transient for.
struct Placement
{
    int x = -1, y = -1, width = -1, height = -1;
    Window transientFor = 0;
    bool modal = false;

    void Read(GtkWidget* window)
    {
        GdkWindow* gdkWindow = gtk_widget_get_window(window);
        Display* display = GDK_WINDOW_XDISPLAY(gdkWindow);
        const Window xid = GDK_WINDOW_XID(gdkWindow);
        Window root = 0;
        Window child = 0;
        int wx = 0;
        int wy = 0;
        unsigned w = 0;
        unsigned h = 0;
        unsigned border = 0;
        unsigned depth = 0;
        XGetGeometry(display, xid, &root, &wx, &wy, &w, &h, &border, &depth);
        XTranslateCoordinates(display, xid, root, 0, 0, &x, &y, &child);
        width = static_cast<int>(w);
        height = static_cast<int>(h);
        XGetTransientForHint(display, xid, &transientFor);
        modal = gtk_window_get_modal(GTK_WINDOW(window));
    }
};
} // namespace

TEST_F(BrowserWindowX, OwnerWindowRectangleIsCoveredExactly)
{
    Display* x = XOpenDisplay(nullptr);
    ASSERT_NE(x, nullptr);
    const Window owner = XCreateSimpleWindow(x, DefaultRootWindow(x), 100, 80, 800, 600, 0, 0, 0);
    XMapWindow(x, owner);
    XSync(x, False);
    server.Page("/page", "<html><body>x</body></html>");
    Probe probe;
    Placement placement;
    probe.onFinished = [&](GtkWidget* window, WebKitWebView*)
    {
        placement.Read(window);
        closeAsTitleBar(window);
    };
    const Outcome outcome = show(server.Base() + "/page", probe, {}, owner);
    EXPECT_EQ(placement.x, 100);
    EXPECT_EQ(placement.y, 80);
    EXPECT_EQ(placement.width, 800);
    EXPECT_EQ(placement.height, 600);
    EXPECT_EQ(placement.transientFor, owner);
    EXPECT_TRUE(placement.modal);
    EXPECT_EQ(outcome.endCode, 2);
    XDestroyWindow(x, owner);
    XCloseDisplay(x);
}

TEST_F(BrowserWindowX, WithoutOwnerTheWindowIsCentredAtItsOwnSize)
{
    server.Page("/page", "<html><body>x</body></html>");
    Probe probe;
    Placement placement;
    probe.onFinished = [&](GtkWidget* window, WebKitWebView*)
    {
        placement.Read(window);
        closeAsTitleBar(window);
    };
    // An owner the X server does not know counts as none.
    testing::internal::CaptureStderr();
    show(server.Base() + "/page", probe, {}, 0x7FFFFFF);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("not known to the X server"), std::string::npos);
    // The test's X server has a 1280 x 1024 screen.
    EXPECT_EQ(placement.width, 700);
    EXPECT_EQ(placement.height, 650);
    EXPECT_EQ(placement.x, (1280 - 700) / 2);
    EXPECT_EQ(placement.y, (1024 - 650) / 2);
    EXPECT_EQ(placement.transientFor, 0u);
}

TEST_F(BrowserWindowX, ClickedLinkToAFileIsRefusedAndTheWindowStaysOnItsPage)
{
    // WebKit itself keeps a web page from opening file: addresses, before our
    // policy is asked; the second link, of a scheme WebKit would follow,
    // reaches the policy, so its refusal marks the point where both clicks
    // have been dealt with.
    server.Page("/links", "<html><body>" + linkOver("file:///etc/passwd", 0, 50) +
                              linkOver("unknown-scheme:page", 50, 50) + "</body></html>");
    Probe probe;
    bool clicked = false;
    probe.onFinished = [&](GtkWidget*, WebKitWebView* view)
    {
        if (clicked)
            return;
        clicked = true;
        clickView(view, 0.25, 0.5);
        clickView(view, 0.75, 0.5);
    };
    probe.onRefused = [&](GtkWidget* window, WebKitWebView*, const std::string& address)
    {
        if (address == "unknown-scheme:page")
            closeAsTitleBar(window);
    };
    testing::internal::CaptureStderr();
    const Outcome outcome = show(server.Base() + "/links", probe);
    testing::internal::GetCapturedStderr();
    ASSERT_FALSE(probe.refused.empty());
    EXPECT_EQ(probe.refused.back(), "unknown-scheme:page");
    EXPECT_EQ(probe.committed, std::vector<std::string>{server.Base() + "/links"});
    EXPECT_EQ(outcome.address, server.Base() + "/links");
    EXPECT_EQ(outcome.endCode, 2);
}

TEST_F(BrowserWindowX, SkinnedFrameIsDrawnAndItsCloseButtonEndsTheWindow)
{
    server.Page("/skinned", "<html><body style='background:#000'></body></html>");
    SkinFixture::Bitmaps files;
    BrowserWindowOptions options;
    options.skin = files.Source();
    Probe probe;
    XServerSupport::FakePointer pointer;
    ASSERT_TRUE(pointer.Available()) << "libXtst is needed to press the close button";

    struct Seen
    {
        bool decorated = true;
        int width = 0, height = 0;
        GdkPixbuf* shot = nullptr;
        long minimumWidth = -1, minimumHeight = -1;
    } seen;
    // The screenshot is taken once the window has drawn after the page loaded.
    static const auto screenshot = [](gpointer data) -> gboolean
    {
        auto* pair = static_cast<std::pair<Seen*, GtkWidget*>*>(data);
        Seen& seen = *pair->first;
        GtkWidget* window = pair->second;
        GdkWindow* gdkWindow = gtk_widget_get_window(window);
        gdk_display_sync(gdk_window_get_display(gdkWindow));
        seen.decorated = gtk_window_get_decorated(GTK_WINDOW(window));
        seen.width = gdk_window_get_width(gdkWindow);
        seen.height = gdk_window_get_height(gdkWindow);
        seen.shot = gdk_pixbuf_get_from_window(gdkWindow, 0, 0, seen.width, seen.height);
        // The minimum size as the window manager is told it.
        XSizeHints hints{};
        long supplied = 0;
        if (XGetWMNormalHints(GDK_WINDOW_XDISPLAY(gdkWindow), GDK_WINDOW_XID(gdkWindow), &hints, &supplied) &&
            (hints.flags & PMinSize))
        {
            seen.minimumWidth = hints.min_width;
            seen.minimumHeight = hints.min_height;
        }
        return G_SOURCE_REMOVE;
    };
    std::pair<Seen*, GtkWidget*> context{&seen, nullptr};
    static const auto drawn = [](GtkWidget*, cairo_t*, gpointer data) -> gboolean
    {
        g_idle_add_full(G_PRIORITY_LOW, screenshot, data, nullptr);
        return FALSE;
    };
    probe.onFinished = [&](GtkWidget* window, WebKitWebView*)
    {
        context.second = window;
        g_signal_connect_after(window, "draw", G_CALLBACK(+drawn), &context);
        gtk_widget_queue_draw(window);
    };
    // Pressed once the screenshot exists: the window's own draws may come later too.
    struct Press
    {
        Seen* seen;
        GtkWidget* window;
        XServerSupport::FakePointer* pointer;
        bool pressed;
        guint source;
    } press{&seen, nullptr, &pointer, false, 0};
    probe.onShown = [&](GtkWidget* window, WebKitWebView*)
    {
        press.window = window;
        press.source = g_timeout_add(
            50,
            [](gpointer data) -> gboolean
            {
                Press* p = static_cast<Press*>(data);
                if (p->seen->shot == nullptr)
                    return G_SOURCE_CONTINUE;
                int ox = 0;
                int oy = 0;
                gdk_window_get_origin(gtk_widget_get_window(p->window), &ox, &oy);
                // The close button: the right-most 20 x 20 pixels of the top edge.
                p->pointer->MoveTo(ox + p->seen->width - 10, oy + 10);
                p->pointer->Button(1, true);
                p->pointer->Button(1, false);
                p->pressed = true;
                p->source = 0;
                return G_SOURCE_REMOVE;
            },
            &press);
    };
    const Outcome outcome = show(server.Base() + "/skinned", probe, std::move(options));
    if (press.source != 0)
        g_source_remove(press.source);
    EXPECT_TRUE(press.pressed);
    EXPECT_EQ(outcome.endCode, -1);
    EXPECT_FALSE(seen.decorated);
    EXPECT_EQ(seen.minimumWidth, 10 + 12 + 60 + 100);
    EXPECT_EQ(seen.minimumHeight, 400);
    ASSERT_NE(seen.shot, nullptr);

    const int w = seen.width;
    const int h = seen.height;
    const auto colours = SkinFixture::Colours();
    const auto pixelIs = [&](int px, int py, int piece)
    {
        const guchar* p = gdk_pixbuf_get_pixels(seen.shot) + py * gdk_pixbuf_get_rowstride(seen.shot) +
                          px * gdk_pixbuf_get_n_channels(seen.shot);
        return p[0] == colours[piece][0] && p[1] == colours[piece][1] && p[2] == colours[piece][2];
    };
    EXPECT_TRUE(pixelIs(1, 1, kSkinTopLeft));
    EXPECT_TRUE(pixelIs(w - 2, 25, kSkinTopRight));
    EXPECT_TRUE(pixelIs(1, h - 2, kSkinBottomLeft));
    EXPECT_TRUE(pixelIs(w - 5, h - 2, kSkinBottomRight));
    EXPECT_TRUE(pixelIs(w - 10, 10, kSkinCloseButton));
    // The caption piece is centred over the inner width, with the top edge either side.
    const int inner = w - 10 - 12;
    const int captionX = 10 + (inner - 100) / 2;
    EXPECT_TRUE(pixelIs(captionX, 5, kSkinCaption));
    EXPECT_TRUE(pixelIs(captionX + 99, 5, kSkinCaption));
    EXPECT_TRUE(pixelIs(captionX - 1, 5, kSkinTopEdge));
    EXPECT_TRUE(pixelIs(captionX + 100, 5, kSkinTopEdge));
    EXPECT_TRUE(pixelIs(3, 200, kSkinLeftEdge));
    EXPECT_TRUE(pixelIs(w - 9, 200, kSkinRightEdge));
    // The status text ("Loaded") in white at the bottom left, from 5 pixels in
    // and 20 above the bottom; nothing white elsewhere along the bottom.
    const auto whiteIn = [&](int left, int right, int top, int bottom)
    {
        int count = 0;
        for (int py = std::max(top, 0); py < std::min(bottom, h); ++py)
            for (int px = std::max(left, 0); px < std::min(right, w); ++px)
            {
                const guchar* p = gdk_pixbuf_get_pixels(seen.shot) +
                                  py * gdk_pixbuf_get_rowstride(seen.shot) +
                                  px * gdk_pixbuf_get_n_channels(seen.shot);
                count += p[0] == 255 && p[1] == 255 && p[2] == 255;
            }
        return count;
    };
    EXPECT_GT(whiteIn(5, 120, h - 20, h), 20);
    EXPECT_EQ(whiteIn(0, 5, h - 20, h), 0);
    EXPECT_EQ(whiteIn(200, w, h - 14, h), 0);
    g_object_unref(seen.shot);
}

// Not a check: the time from Show to the first committed page, printed for
// the record, for the first window of a process and for the next.
TEST_F(BrowserWindowX, StartTimes)
{
    server.Page("/page", "<html><body>x</body></html>");
    for (const char* which : {"cold", "warm"})
    {
        Probe probe;
        const auto start = std::chrono::steady_clock::now();
        double milliseconds = -1;
        probe.onCommitted = [&](GtkWidget* window, WebKitWebView*, const std::string&)
        {
            milliseconds =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            closeAsTitleBar(window);
        };
        const Outcome outcome = show(server.Base() + "/page", probe);
        EXPECT_EQ(outcome.endCode, 2);
        std::printf("log-in window, Show to first committed page (%s): %.1f ms\n", which, milliseconds);
    }
}

TEST_F(BrowserWindowX, PageClosesItselfAfterSeveralNavigations)
{
    // As a real log-in does: the player follows links through pages of the
    // network, each an entry of the history, and the last page closes the window.
    server.Page("/one", "<html><body>" + linkOver("/two", 0, 100) + "</body></html>");
    server.Page("/two", "<html><body>" + linkOver("/done?userid=77", 0, 100) + "</body></html>");
    server.Page("/done", "<html><body><script>window.close();</script></body></html>");
    Probe probe;
    probe.onFinished = [&](GtkWidget*, WebKitWebView* view)
    {
        const std::string uri = webkit_web_view_get_uri(view);
        if (uri.find("/done") == std::string::npos)
            clickView(view, 0.5, 0.5);
    };
    const Outcome outcome = show(server.Base() + "/one", probe);
    EXPECT_EQ(probe.committed.size(), 3u);
    EXPECT_EQ(outcome.endCode, 0);
    EXPECT_EQ(outcome.address, server.Base() + "/done?userid=77");
}
