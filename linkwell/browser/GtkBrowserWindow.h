// The log-in window on WebKitGTK: a modal top-level window holding a web view
// and a status line (or the skinned frame), run in a nested main loop on the
// caller's thread until the page closes itself, the player closes it, or a
// load fails. It gives back the last address the view committed, which is how
// the game learns the player's user id. GTK starts with the first window shown.
#pragma once

#include <memory>
#include <string>

#include "linkwell/browser/BrowserEvents.h"
#include "linkwell/skin/SkinBitmaps.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;

namespace linkwell
{

// Lets tests watch and drive an open window from inside its loop.
class BrowserWindowProbe
{
public:
    virtual ~BrowserWindowProbe() = default;
    virtual void Shown(GtkWidget* /*window*/, WebKitWebView* /*view*/) {}
    virtual void Committed(GtkWidget* /*window*/, WebKitWebView* /*view*/, const std::string& /*address*/) {}
    virtual void Finished(GtkWidget* /*window*/, WebKitWebView* /*view*/) {}
    virtual void Refused(GtkWidget* /*window*/, WebKitWebView* /*view*/, const std::string& /*address*/) {}
};

struct BrowserWindowOptions
{
    // Null: a real modal notice.
    BrowserNotice* notice = nullptr;
    BrowserWindowProbe* probe = nullptr;
    // Empty: the bitmaps of "libskinresource.so", when there is one.
    SkinBitmapSource skin;
    bool lookForSkinModule = true;
};

class GtkBrowserWindow
{
public:
    // caption is UTF-8; owner is an X11 window id, 0 for none.
    GtkBrowserWindow(const std::string& caption, const std::string& firstAddress, unsigned long owner,
                     BrowserWindowOptions options = {});
    ~GtkBrowserWindow();
    GtkBrowserWindow(const GtkBrowserWindow&) = delete;
    GtkBrowserWindow& operator=(const GtkBrowserWindow&) = delete;

    // Runs the window until it ends and gives the last address; always true.
    // Without a display, or with a first address that is not http(s), it
    // returns at once with the first address.
    bool Show(std::string& lastAddress);

    // How the last Show ended (BrowserEvents' codes); false when no window was opened.
    bool Opened() const { return opened_; }
    int EndCode() const { return endCode_; }
    // Starts GTK on the X11 back end once per process; false without a display
    // or when called from another thread than the first caller's.
    static bool StartToolkit();

private:
    struct Live;
    void run();

    std::string caption_;
    std::string firstAddress_;
    unsigned long owner_;
    BrowserWindowOptions options_;
    std::string lastAddress_;
    bool opened_ = false;
    int endCode_ = 0;
};

} // namespace linkwell
