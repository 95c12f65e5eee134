#include "linkwell/browser/BrowserWindow.h"

#include <glib.h>

#include <cstdint>
#include <new>

namespace linkwell
{

namespace
{
std::string utf8(const char16_t* text)
{
    if (text == nullptr)
        return {};
    // Unpaired surrogates make the conversion fail; the caption is then empty.
    gchar* converted =
        g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(text), -1, nullptr, nullptr, nullptr);
    std::string result = converted != nullptr ? converted : "";
    g_free(converted);
    return result;
}

std::string narrow(const FBString* text)
{
    return text != nullptr && text->Text() != nullptr ? std::string(text->Text()) : std::string();
}
} // namespace

BrowserWindow::BrowserWindow(const char16_t* caption, const FBString* firstUrl, void* owner,
                             BrowserWindowOptions options)
    : window_(utf8(caption), narrow(firstUrl), static_cast<unsigned long>(reinterpret_cast<uintptr_t>(owner)),
              std::move(options))
{
}

bool BrowserWindow::Show(FBString* out)
{
    std::string last;
    window_.Show(last);
    if (out != nullptr)
        out->Assign(last.c_str());
    return true;
}

void BrowserWindow::Destroy(uint32_t flags)
{
    if (flags & kDestroyFree)
        delete this;
    else
        this->~BrowserWindow();
}

IBrowserWindow* CreateGtkBrowserWindow(const char16_t* caption, const FBString* firstUrl, void* owner)
{
    return new (std::nothrow) BrowserWindow(caption, firstUrl, owner);
}

} // namespace linkwell
