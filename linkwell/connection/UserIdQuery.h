// Reads the player's user id from the address the log-in page ends on. The
// query is split into pairs at "&" before unescaping, so an escaped "&" or "="
// cannot forge a pair, and only the whole key "userid" counts.
#pragma once

#include <cstdint>
#include <string_view>

namespace linkwell {

// The query is what follows the first "?" (the whole text when there is none),
// up to a "#". False, userId unchanged, when the key is missing or its value
// is not a decimal number that fits 64 bits.
bool ReadUserId(std::string_view address, int64_t* userId);

} // namespace linkwell
