// The factory's browser window: the boundary face (IBrowserWindow, boundary
// strings, the owner as an X window id) of GtkBrowserWindow.
#pragma once

#include "linkwell/Linkwell.h"
#include "linkwell/browser/GtkBrowserWindow.h"

namespace linkwell
{

class BrowserWindow final : public IBrowserWindow
{
public:
    BrowserWindow(const char16_t* caption, const FBString* firstUrl, void* owner,
                  BrowserWindowOptions options = {});

    bool Show(FBString* out) override;
    void Destroy(uint32_t flags) override;

    const GtkBrowserWindow& Window() const { return window_; }

private:
    ~BrowserWindow() = default;
    GtkBrowserWindow window_;
};

// What IClientFactory::CreateBrowserWindow hands out. owner carries the game
// window's X11 window id (0 for none); caption is UTF-16. Null when the
// allocation fails.
IBrowserWindow* CreateGtkBrowserWindow(const char16_t* caption, const FBString* firstUrl, void* owner);

} // namespace linkwell
