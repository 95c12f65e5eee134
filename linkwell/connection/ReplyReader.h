// Reading of the relay's replies: "key=value" pairs separated by ";", and the
// decision of the connection's next state from the state a reply arrived in.
// A key matches only a whole key before "=" (case and surrounding blanks
// ignored); values keep the case they were sent in. A reply that carries none
// of the protocol's words where one is expected counts as a failed transfer,
// so an error page never sends the player to a log-in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace linkwell {

// Status text of a failed transfer.
constexpr const char* kFailedRequest = "Failed to perform request";

// Value of key in reply (blanks around it removed); false when absent.
bool ReplyValue(std::string_view reply, std::string_view key, std::string* value);
// True/false of a boolean key; false when absent or neither word.
bool ReplyBool(std::string_view reply, std::string_view key, bool* value);
bool ReplyIsOk(std::string_view reply);
bool ReplyIsError(std::string_view reply);

struct ReplyDecision {
    int32_t next = 0;
    std::string status;
    // A post's error reply with sends left: stay in ePosting and send again.
    bool retry = false;
    // The state expects no reply: state and status text stay as they are.
    bool unexpected = false;
    // The log line "Error returned in eCheckingPerm" is due.
    bool checkError = false;
    // The log line about a post's error reply is due (retries before counting).
    bool postError = false;
};

// retries: error replies already received for the current post.
ReplyDecision DecideReply(int32_t state, std::string_view reply, int32_t retries);

} // namespace linkwell
