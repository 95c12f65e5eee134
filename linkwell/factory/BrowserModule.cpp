// Opening the log-in window's module (see BrowserModule.h).
#include "linkwell/factory/BrowserModule.h"

#include <dlfcn.h>

#include <mutex>

#include "linkwell/log/Log.h"

namespace linkwell {

std::string BrowserModulePath() {
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&BrowserModulePath), &self) == 0 || self.dli_fname == nullptr) {
        return kBrowserModuleFile;
    }
    std::string path = self.dli_fname;
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return kBrowserModuleFile;
    }
    return path.substr(0, slash + 1) + kBrowserModuleFile;
}

CreateBrowserWindowFn LoadBrowserModule(const std::string& path) {
    static std::mutex lock;
    static CreateBrowserWindowFn entry = nullptr;
    std::lock_guard<std::mutex> held(lock);
    if (entry != nullptr) {
        return entry;
    }
    // Never closed: the window starts GTK and WebKit, whose threads and
    // registrations outlive any window.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
        const char* why = dlerror();
        Log(false, true, "The log-in window cannot open: %s did not load (%s)", path.c_str(),
            why != nullptr ? why : "no reason given");
        return nullptr;
    }
    auto found = reinterpret_cast<CreateBrowserWindowFn>(dlsym(handle, kBrowserModuleEntry));
    if (found == nullptr) {
        Log(false, true, "The log-in window cannot open: %s has no %s", path.c_str(), kBrowserModuleEntry);
        dlclose(handle);
        return nullptr;
    }
    entry = found;
    return entry;
}

} // namespace linkwell
