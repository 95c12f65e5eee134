#include "linkwell/browser/GtkBrowserWindow.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <dlfcn.h>

#include <cstdio>
#include <thread>

#include "linkwell/skin/SkinModule.h"
#include "linkwell/skin/SkinnedFrame.h"

namespace linkwell
{

namespace
{
// The template's 466 x 398 dialog units at the usual 8-point dialog font.
constexpr int kDefaultWidth = 700;
constexpr int kDefaultHeight = 650;

// WebKit lets a page close its window only while the window's history holds
// one page, but a log-in goes through several pages before the last one
// closes the window. So the page's close request is turned into a navigation
// to this address, which the policy handler takes as the request.
const char* const kCloseRequest = "linkwell-close:";
const char* const kCloseScript = "(function () {"
                                 "  var request = function () { window.location.href = 'linkwell-close:'; };"
                                 "  try { Object.defineProperty(window, 'close', { value: request }); }"
                                 "  catch (e) { window.close = request; }"
                                 "})();";

// The notice of a failed load: a modal message box over the window.
class GtkNotice : public BrowserNotice
{
public:
    explicit GtkNotice(GtkWindow*& parent) : parent_(parent) {}
    void Show(const std::string& caption, const std::string& text) override
    {
        GtkWidget* box = gtk_message_dialog_new(parent_, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK,
                                                "%s", text.c_str());
        gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
        gtk_dialog_run(GTK_DIALOG(box));
        gtk_widget_destroy(box);
    }

private:
    GtkWindow*& parent_;
};

// The owner's rectangle on the screen, read from the X server.
bool ownerRectangle(GdkDisplay* display, unsigned long owner, GdkRectangle& rect)
{
    if (!GDK_IS_X11_DISPLAY(display))
        return false;
    Display* x = GDK_DISPLAY_XDISPLAY(display);
    gdk_x11_display_error_trap_push(display);
    Window root = 0;
    int wx = 0;
    int wy = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    Window child = 0;
    int rx = 0;
    int ry = 0;
    const bool known = XGetGeometry(x, owner, &root, &wx, &wy, &width, &height, &border, &depth) != 0 &&
                       XTranslateCoordinates(x, owner, root, 0, 0, &rx, &ry, &child) != 0;
    const bool failed = gdk_x11_display_error_trap_pop(display) != 0;
    if (!known || failed || width == 0 || height == 0)
        return false;
    rect = GdkRectangle{rx, ry, static_cast<int>(width), static_cast<int>(height)};
    return true;
}

std::thread::id& toolkitThread()
{
    static std::thread::id id;
    return id;
}

// GTK and WebKit keep threads, type registrations and exit handlers that
// cannot be unloaded: once they have started, this library (and with it
// them) stays mapped even when the game closes it.
void stayLoaded()
{
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&stayLoaded), &self) == 0 || self.dli_fname == nullptr)
        return;
    // Holds a reference that is never given back; linked into a program, there is nothing to hold.
    dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}
} // namespace

// What exists only while the window is shown.
struct GtkBrowserWindow::Live
{
    Live(const std::string& first, const std::string& caption, BrowserNotice& notice)
        : events(first, caption, notice)
    {
    }

    BrowserEvents events;
    BrowserWindowProbe* probe = nullptr;
    GtkWindow* window = nullptr;
    WebKitWebView* view = nullptr;
    GtkWidget* status = nullptr;
    GMainLoop* loop = nullptr;
    std::unique_ptr<SkinModule> skinModule;
    std::unique_ptr<SkinnedFrame> frame;
    std::string shownCaption;

    // Shows what the events left behind and ends the loop once the window has ended.
    void reflect()
    {
        if (window != nullptr && events.Caption() != shownCaption)
        {
            shownCaption = events.Caption();
            gtk_window_set_title(window, shownCaption.c_str());
        }
        if (status != nullptr)
            gtk_label_set_text(GTK_LABEL(status), events.StatusText().c_str());
        if (frame && frame->Attached())
            frame->Invalidate();
        if (events.Ended() && g_main_loop_is_running(loop))
            g_main_loop_quit(loop);
    }

    static void onProgress(WebKitWebView* view, GParamSpec*, Live* self)
    {
        self->events.OnProgress(webkit_web_view_get_estimated_load_progress(view));
        self->reflect();
    }

    static void onTitle(WebKitWebView* view, GParamSpec*, Live* self)
    {
        self->events.OnTitle(webkit_web_view_get_title(view));
        self->reflect();
    }

    static void onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, Live* self)
    {
        if (event == WEBKIT_LOAD_COMMITTED)
        {
            const char* uri = webkit_web_view_get_uri(view);
            self->events.OnCommitted(uri != nullptr ? uri : "");
            self->reflect();
            if (self->probe != nullptr)
                self->probe->Committed(GTK_WIDGET(self->window), view, self->events.CurrentAddress());
        }
        else if (event == WEBKIT_LOAD_FINISHED)
        {
            self->events.OnFinished();
            self->reflect();
            if (self->probe != nullptr && !self->events.Ended())
                self->probe->Finished(GTK_WIDGET(self->window), view);
        }
    }

    static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, char*, GError* error, Live* self)
    {
        BrowserEvents::FailureKind kind = BrowserEvents::FailureKind::Error;
        if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED))
            kind = BrowserEvents::FailureKind::Cancelled;
        else if (g_error_matches(error, WEBKIT_POLICY_ERROR,
                                 WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE))
            kind = BrowserEvents::FailureKind::PolicyIgnore;
        self->events.OnLoadFailed(kind, error != nullptr ? error->code : 0);
        self->reflect();
        return TRUE; // no error page of WebKit's own
    }

    static gboolean onTlsFailed(WebKitWebView*, char*, GTlsCertificate*, GTlsCertificateFlags flags,
                                Live* self)
    {
        self->events.OnLoadFailed(BrowserEvents::FailureKind::Error, static_cast<int>(flags));
        self->reflect();
        return TRUE;
    }

    static void onPageClose(WebKitWebView*, Live* self)
    {
        self->events.OnPageCloseRequest();
        self->reflect();
    }

    static gboolean onDelete(GtkWidget*, GdkEvent*, Live* self)
    {
        self->events.OnTitleBarClose();
        self->reflect();
        return TRUE; // destroyed after the loop, not by GTK
    }

    static gboolean onContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, Live*)
    {
        return TRUE;
    }

    static gboolean onDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, Live* self)
    {
        if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION ||
            type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
        {
            WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
                WEBKIT_NAVIGATION_POLICY_DECISION(decision));
            WebKitURIRequest* request = webkit_navigation_action_get_request(action);
            const char* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
            const std::string address = uri != nullptr ? uri : "";
            if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && address == kCloseRequest)
            {
                webkit_policy_decision_ignore(decision);
                self->events.OnPageCloseRequest();
                self->reflect();
                return TRUE;
            }
            if (!BrowserEvents::IsWebAddress(address))
            {
                std::fprintf(stderr, "linkwell: the log-in window refused to open %.200s\n", address.c_str());
                webkit_policy_decision_ignore(decision);
                if (self->probe != nullptr)
                    self->probe->Refused(GTK_WIDGET(self->window), view, address);
                return TRUE;
            }
        }
        else if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE)
        {
            // A reply the view cannot show would otherwise become a download.
            WebKitResponsePolicyDecision* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
            if (!webkit_response_policy_decision_is_mime_type_supported(response))
            {
                webkit_policy_decision_ignore(decision);
                return TRUE;
            }
        }
        return FALSE;
    }
};

GtkBrowserWindow::GtkBrowserWindow(const std::string& caption, const std::string& firstAddress,
                                   unsigned long owner, BrowserWindowOptions options)
    : caption_(caption), firstAddress_(firstAddress), owner_(owner), options_(std::move(options)),
      lastAddress_(firstAddress)
{
}

GtkBrowserWindow::~GtkBrowserWindow() = default;

bool GtkBrowserWindow::StartToolkit()
{
    static bool tried = false;
    static bool started = false;
    if (!tried)
    {
        tried = true;
        toolkitThread() = std::this_thread::get_id();
        // The game's window lives on X11 and is handed over by its X window id.
        stayLoaded();
        gdk_set_allowed_backends("x11");
        // The game reads and writes numbers in the C locale; GTK must not switch it to the user's.
        gtk_disable_setlocale();
        started = gtk_init_check(nullptr, nullptr);
        if (!started)
            std::fprintf(stderr, "linkwell: GTK cannot open a display; no log-in window is shown\n");
    }
    if (started && toolkitThread() != std::this_thread::get_id())
    {
        std::fprintf(stderr,
                     "linkwell: the log-in window is shown only on the thread that showed the first one\n");
        return false;
    }
    return started;
}

bool GtkBrowserWindow::Show(std::string& lastAddress)
{
    lastAddress_ = firstAddress_;
    opened_ = false;
    endCode_ = 0;
    if (!BrowserEvents::IsWebAddress(firstAddress_))
        std::fprintf(stderr,
                     "linkwell: the log-in window opens only http and https addresses, not \"%.200s\"\n",
                     firstAddress_.c_str());
    else if (StartToolkit())
        run();
    lastAddress = lastAddress_;
    return true;
}

void GtkBrowserWindow::run()
{
    GtkWindow* parent = nullptr;
    GtkNotice realNotice(parent);
    BrowserNotice& notice = options_.notice != nullptr ? *options_.notice : realNotice;
    Live live(firstAddress_, caption_, notice);
    live.probe = options_.probe;

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    live.window = GTK_WINDOW(window);
    parent = live.window;
    live.shownCaption = caption_;
    gtk_window_set_title(live.window, caption_.c_str());
    gtk_window_set_resizable(live.window, TRUE);
    gtk_window_set_modal(live.window, TRUE);

    live.view = WEBKIT_WEB_VIEW(webkit_web_view_new());
    WebKitUserScript* closeScript =
        webkit_user_script_new(kCloseScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(webkit_web_view_get_user_content_manager(live.view), closeScript);
    webkit_user_script_unref(closeScript);
    GtkWidget* view = GTK_WIDGET(live.view);
    gtk_widget_set_hexpand(view, TRUE);
    gtk_widget_set_vexpand(view, TRUE);

    SkinBitmapSource skin = options_.skin;
    if (!skin && options_.lookForSkinModule)
    {
        live.skinModule = std::make_unique<SkinModule>();
        skin = live.skinModule->Source();
    }
    if (skin)
        live.frame = std::make_unique<SkinnedFrame>(skin);

    Live* self = &live;
    if (live.frame && live.frame->Attach(
                          live.window, view, [self] { return self->events.StatusText(); },
                          [self]
                          {
                              self->events.OnSkinClose();
                              self->reflect();
                          }))
    {
        gtk_container_add(GTK_CONTAINER(window), view);
    }
    else
    {
        GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        live.status = gtk_label_new("");
        gtk_label_set_xalign(GTK_LABEL(live.status), 0.0f);
        gtk_widget_set_margin_start(live.status, 4);
        gtk_widget_set_margin_end(live.status, 4);
        gtk_widget_set_margin_top(live.status, 2);
        gtk_widget_set_margin_bottom(live.status, 2);
        gtk_box_pack_start(GTK_BOX(column), view, TRUE, TRUE, 0);
        gtk_box_pack_start(GTK_BOX(column), live.status, FALSE, FALSE, 0);
        gtk_container_add(GTK_CONTAINER(window), column);
    }

    GdkRectangle ownerRect{};
    GdkWindow* ownerWindow = nullptr;
    GdkDisplay* display = gtk_widget_get_display(window);
    if (owner_ != 0 && ownerRectangle(display, owner_, ownerRect))
        ownerWindow = gdk_x11_window_foreign_new_for_display(display, owner_);
    else if (owner_ != 0)
        std::fprintf(stderr, "linkwell: the owner window %lu is not known to the X server\n", owner_);
    if (ownerWindow != nullptr)
    {
        // Exactly over the game's window.
        gtk_window_set_default_size(live.window, ownerRect.width, ownerRect.height);
        gtk_window_move(live.window, ownerRect.x, ownerRect.y);
    }
    else
    {
        gtk_window_set_default_size(live.window, kDefaultWidth, kDefaultHeight);
        gtk_window_set_position(live.window, GTK_WIN_POS_CENTER);
    }

    g_signal_connect(live.view, "notify::estimated-load-progress", G_CALLBACK(Live::onProgress), self);
    g_signal_connect(live.view, "notify::title", G_CALLBACK(Live::onTitle), self);
    g_signal_connect(live.view, "load-changed", G_CALLBACK(Live::onLoadChanged), self);
    g_signal_connect(live.view, "load-failed", G_CALLBACK(Live::onLoadFailed), self);
    g_signal_connect(live.view, "load-failed-with-tls-errors", G_CALLBACK(Live::onTlsFailed), self);
    g_signal_connect(live.view, "close", G_CALLBACK(Live::onPageClose), self);
    g_signal_connect(live.view, "context-menu", G_CALLBACK(Live::onContextMenu), self);
    g_signal_connect(live.view, "decide-policy", G_CALLBACK(Live::onDecidePolicy), self);
    g_signal_connect(window, "delete-event", G_CALLBACK(Live::onDelete), self);

    gtk_widget_realize(window);
    if (ownerWindow != nullptr)
        gdk_window_set_transient_for(gtk_widget_get_window(window), ownerWindow);
    gtk_widget_show_all(window);
    gtk_window_present(live.window);
    opened_ = true;

    live.loop = g_main_loop_new(nullptr, FALSE);
    if (live.probe != nullptr)
        live.probe->Shown(window, live.view);
    webkit_web_view_load_uri(live.view, firstAddress_.c_str());
    if (!live.events.Ended())
        g_main_loop_run(live.loop);

    lastAddress_ = live.events.CurrentAddress();
    endCode_ = live.events.EndCode();

    // The view's handlers point at this frame of the stack: none may run once it is gone.
    g_signal_handlers_disconnect_by_data(live.view, self);
    g_signal_handlers_disconnect_by_data(window, self);
    webkit_web_view_stop_loading(live.view);
    live.frame.reset();
    gtk_widget_destroy(window);
    if (ownerWindow != nullptr)
        g_object_unref(ownerWindow);
    g_main_loop_unref(live.loop);
    // Let the destruction reach the server before the caller's own loop resumes.
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

} // namespace linkwell
