// The relay's parameter block: "name=value" pairs joined by "##". The
// connection builds its fields as pairs directly, so a "##" or "=" inside a
// message stays in its field; the block form remains for IHttpClient::Post.
#pragma once

#include <string>
#include <vector>

namespace linkwell {

struct FormField {
    std::string name;
    std::string value;
};

// Splits at every "##" and each pair at its first "="; the value may hold
// further "=" and may be empty. A piece without "=" (the empty block too)
// makes the whole block invalid: false, fields cleared.
bool SplitParameterBlock(const char* block, std::vector<FormField>* fields);

// The fields joined back into the block form, for log lines.
std::string JoinParameterBlock(const std::vector<FormField>& fields);

} // namespace linkwell
