// The log-in window lives in its own module, liblinkwell_browser.so, because
// it brings WebKitGTK and GTK (some hundred and fifty shared libraries): the
// game loads liblinkwell.so at start-up, and mapping and relocating those
// there doubled the time to its first frame. The module is opened beside this
// library when the first window is asked for, and stays loaded (GTK cannot be
// unloaded once started).
#pragma once

#include <string>

#include "linkwell/Linkwell.h"

namespace linkwell {

// The module's one export: what IClientFactory::CreateBrowserWindow hands out.
using CreateBrowserWindowFn = IBrowserWindow* (*)(const char16_t* caption, const FBString* firstUrl, void* owner);
constexpr const char* kBrowserModuleFile = "liblinkwell_browser.so";
constexpr const char* kBrowserModuleEntry = "LinkwellCreateBrowserWindow";

// The module's path: beside the file holding this code, or the bare file name
// (the loader's search path) when that file cannot be told.
std::string BrowserModulePath();

// The entry of the module at path, opened once per process; null, with a line
// on standard error, when the module cannot be opened or lacks the entry.
// A failed open is tried again on the next call; the first module opened
// serves every later call.
CreateBrowserWindowFn LoadBrowserModule(const std::string& path);

} // namespace linkwell
