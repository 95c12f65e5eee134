// User id of the log-in page's final address (see UserIdQuery.h).
#include "linkwell/connection/UserIdQuery.h"

#include <string>

#include "linkwell/http/UrlEscape.h"

namespace linkwell {

namespace {

bool isUserIdKey(const std::string& key) {
    static const char expected[] = "userid";
    if (key.size() != sizeof(expected) - 1) {
        return false;
    }
    for (std::size_t i = 0; i < key.size(); ++i) {
        char c = key[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != expected[i]) {
            return false;
        }
    }
    return true;
}

bool parseDecimal(const std::string& text, int64_t* value) {
    if (text.empty()) {
        return false;
    }
    uint64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        n = n * 10 + static_cast<uint64_t>(c - '0');
        if (n > static_cast<uint64_t>(INT64_MAX)) {
            return false;
        }
    }
    *value = static_cast<int64_t>(n);
    return true;
}

} // namespace

bool ReadUserId(std::string_view address, int64_t* userId) {
    std::size_t question = address.find('?');
    std::string_view query = question == std::string_view::npos ? address : address.substr(question + 1);
    query = query.substr(0, query.find('#'));
    while (true) {
        std::size_t end = query.find('&');
        std::string_view pair = query.substr(0, end);
        std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && isUserIdKey(UnescapeBytes(pair.substr(0, equals)))) {
            int64_t value = 0;
            if (!parseDecimal(UnescapeBytes(pair.substr(equals + 1)), &value)) {
                return false;
            }
            *userId = value;
            return true;
        }
        if (end == std::string_view::npos) {
            return false;
        }
        query.remove_prefix(end + 1);
    }
}

} // namespace linkwell
