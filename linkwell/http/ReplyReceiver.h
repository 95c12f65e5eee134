// Collects the body of one transfer for the HTTP client. The body is text: a
// zero byte ends the piece of data it arrived in. A relay that sends more than
// kReplyCap bytes makes the transfer fail instead of growing memory without
// bound.
#pragma once

#include <cstddef>

#include "linkwell/boundary/FBString.h"

namespace linkwell {

constexpr std::size_t kReplyCap = 64 * 1024;

class ReplyReceiver {
public:
    // Empties the text for a new transfer (the buffer is kept).
    void Reset();
    // Takes one piece of the body; false once the body exceeds the cap.
    bool Accept(const char* data, std::size_t bytes);

    const FBString& Text() const { return text_; }
    std::size_t BytesSeen() const { return seen_; }

private:
    FBString text_;
    std::size_t length_ = 0;
    std::size_t seen_ = 0;
};

} // namespace linkwell
