// The one export of liblinkwell_browser.so, the log-in window's module that
// liblinkwell.so opens when the first window is asked for (see
// factory/BrowserModule.h). Kept apart from the window's code so that the
// static library the tests link carries no exported entry of its own.
#include "linkwell/browser/BrowserWindow.h"

extern "C" __attribute__((visibility("default"))) linkwell::IBrowserWindow* LinkwellCreateBrowserWindow(
    const char16_t* caption, const linkwell::FBString* firstUrl, void* owner) {
    return linkwell::CreateGtkBrowserWindow(caption, firstUrl, owner);
}
