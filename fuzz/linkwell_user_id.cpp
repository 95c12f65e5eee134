// Fuzz target: any address given to the user id reading. A found id is a
// non-negative number; a refusal leaves the caller's value untouched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "linkwell/connection/UserIdQuery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    int64_t userId = -77;
    bool found = linkwell::ReadUserId(text, &userId);
    if (found ? userId < 0 : userId != -77) {
        std::abort();
    }
    return 0;
}
