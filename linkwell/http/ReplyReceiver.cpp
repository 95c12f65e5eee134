// Body collection of one transfer (see ReplyReceiver.h).
#include "linkwell/http/ReplyReceiver.h"

#include <cstring>

namespace linkwell {

void ReplyReceiver::Reset() {
    text_.Assign("", 0);
    length_ = 0;
    seen_ = 0;
}

bool ReplyReceiver::Accept(const char* data, std::size_t bytes) {
    if (bytes > kReplyCap - seen_) {
        seen_ = kReplyCap + 1;
        return false;
    }
    seen_ += bytes;
    std::size_t piece = data != nullptr ? strnlen(data, bytes) : 0;
    if (piece == 0) {
        return true;
    }
    std::size_t needed = length_ + piece + 1;
    if (needed > text_.Capacity()) {
        // Doubling keeps a body arriving in many small pieces linear.
        std::size_t grown = text_.Capacity() * 2;
        if (grown > kReplyCap + 1) {
            grown = kReplyCap + 1;
        }
        text_.Grow(static_cast<uint32_t>(grown > needed ? grown : needed));
    }
    std::memcpy(text_.Buffer() + length_, data, piece);
    length_ += piece;
    text_.Buffer()[length_] = 0;
    return true;
}

} // namespace linkwell
