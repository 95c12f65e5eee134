// Fuzz target: escaping any bytes gives letters, digits and upper-case "%XX"
// only, and unescaping that gives the bytes back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "linkwell/http/UrlEscape.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string escaped = linkwell::EscapeBytes(bytes);
    for (char c : escaped) {
        bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '%';
        if (!plain) {
            std::abort();
        }
    }
    if (linkwell::UnescapeBytes(escaped) != bytes) {
        std::abort();
    }
    // Unescaping never grows a text.
    if (linkwell::UnescapeBytes(bytes).size() > bytes.size()) {
        std::abort();
    }
    return 0;
}
