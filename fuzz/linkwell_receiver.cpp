// Fuzz target: a reply body fed to the receiver in chunks of any size around
// the cap. It refuses exactly when the body passes the cap, never holds more
// than the cap, and keeps each piece up to its first zero byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "linkwell/http/ReplyReceiver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    // The first bytes choose chunk sizes; the rest is the content, repeated.
    std::size_t sizes = data[0] % 16 + 1;
    if (size < 1 + 2 * sizes + 1) {
        return 0;
    }
    std::string content(reinterpret_cast<const char*>(data + 1 + 2 * sizes), size - 1 - 2 * sizes);
    // The body the relay sends: the content repeated past the cap once.
    std::string body = content;
    while (body.size() < linkwell::kReplyCap + 65536) {
        body += body;
    }
    linkwell::ReplyReceiver receiver;
    receiver.Reset();
    std::string expected;
    std::size_t total = 0;
    bool refused = false;
    for (std::size_t i = 0; i < sizes && !refused; ++i) {
        std::size_t chunk = static_cast<std::size_t>(data[1 + 2 * i]) << 8 | data[2 + 2 * i];
        const char* piece = body.data() + total % 65536;
        bool accepted = receiver.Accept(piece, chunk);
        total += chunk;
        if (accepted != (total <= linkwell::kReplyCap)) {
            std::abort();
        }
        refused = !accepted;
        if (accepted) {
            expected.append(piece, strnlen(piece, chunk));
        }
    }
    if (!refused && expected != receiver.Text().Text()) {
        std::abort();
    }
    if (receiver.Text().Capacity() > linkwell::kReplyCap + 1) {
        std::abort();
    }
    return 0;
}
