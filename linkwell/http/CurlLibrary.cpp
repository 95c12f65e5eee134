// Opening libcurl on first use (see CurlLibrary.h).
#include "linkwell/http/CurlLibrary.h"

#include <dlfcn.h>

#include "linkwell/log/Log.h"

namespace linkwell {

namespace {

constexpr const char* kCurlFile = "libcurl.so.4";

template <typename Fn>
bool resolve(void* handle, const char* name, Fn* out) {
    *out = reinterpret_cast<Fn>(dlsym(handle, name));
    if (*out == nullptr) {
        Log(false, true, "The social network cannot connect: %s has no %s", kCurlFile, name);
        return false;
    }
    return true;
}

const CurlLibrary* open() {
    static CurlLibrary library;
    void* handle = dlopen(kCurlFile, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
        const char* why = dlerror();
        Log(false, true, "The social network cannot connect: %s did not load (%s)", kCurlFile,
            why != nullptr ? why : "no reason given");
        return nullptr;
    }
    bool ok = resolve(handle, "curl_global_init", &library.globalInit) &&
              resolve(handle, "curl_global_cleanup", &library.globalCleanup) &&
              resolve(handle, "curl_easy_init", &library.easyInit) &&
              resolve(handle, "curl_easy_cleanup", &library.easyCleanup) &&
              resolve(handle, "curl_easy_setopt", &library.easySetopt) &&
              resolve(handle, "curl_easy_getinfo", &library.easyGetinfo) &&
              resolve(handle, "curl_easy_perform", &library.easyPerform) &&
              resolve(handle, "curl_mime_init", &library.mimeInit) &&
              resolve(handle, "curl_mime_addpart", &library.mimeAddpart) &&
              resolve(handle, "curl_mime_name", &library.mimeName) &&
              resolve(handle, "curl_mime_data", &library.mimeData) &&
              resolve(handle, "curl_mime_free", &library.mimeFree);
    return ok ? &library : nullptr;
}

} // namespace

const CurlLibrary* Curl() {
    // Thread-safe on first use: transfers start on the connections' threads.
    static const CurlLibrary* library = open();
    return library;
}

} // namespace linkwell
