// Fuzz target: a connection state, a post's retry count and any reply bytes.
// The next state must be one the reply table allows from that state, and the
// status text must be empty, the failure text, or a value taken from the reply.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "linkwell/Linkwell.h"
#include "linkwell/connection/ReplyReader.h"

namespace {

bool allowed(int32_t from, int32_t to) {
    auto any = [to](std::initializer_list<int32_t> states) {
        for (int32_t s : states) {
            if (s == to) {
                return true;
            }
        }
        return false;
    };
    switch (from) {
    case linkwell::eConnecting: return any({linkwell::eConnectFailed, linkwell::eConnectRejected, linkwell::eConnected});
    case linkwell::eCheckingPerm: return any({linkwell::eConnectFailed, linkwell::eAllowed, linkwell::eNotAllowed});
    case linkwell::eAllowed: return to == linkwell::eAllowed;
    case linkwell::eSettingSalt: return any({linkwell::eConnectFailed, linkwell::eConnected});
    case linkwell::ePosting:
        return any({linkwell::eConnectFailed, linkwell::eAllowed, linkwell::eNotAllowed, linkwell::ePosting});
    default: return to == from;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    int32_t state = static_cast<int32_t>(data[0] % 12) - 1;
    int32_t retries = data[1] % 4;
    // The client hands on text: it ends at the first zero byte.
    std::string reply(reinterpret_cast<const char*>(data + 2), size - 2);
    reply = reply.substr(0, reply.find('\0'));
    linkwell::ReplyDecision decision = linkwell::DecideReply(state, reply, retries);
    if (!allowed(state, decision.next)) {
        std::abort();
    }
    if (decision.unexpected != (state < 1 || state == 2 || state == 3 || state == 4 || state == 7 || state > 9)) {
        std::abort();
    }
    if (decision.retry && (state != linkwell::ePosting || retries >= 2)) {
        std::abort();
    }
    if (!decision.status.empty() && decision.status != linkwell::kFailedRequest &&
        reply.find(decision.status) == std::string::npos) {
        std::abort();
    }
    return 0;
}
