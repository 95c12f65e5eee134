// Relay reply reading (see ReplyReader.h).
#include "linkwell/connection/ReplyReader.h"

#include "linkwell/Linkwell.h"

namespace linkwell {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string navigateUrl(std::string_view reply) {
    std::string url;
    ReplyValue(reply, "navigateurl", &url);
    return url;
}

} // namespace

bool ReplyValue(std::string_view reply, std::string_view key, std::string* value) {
    while (true) {
        std::size_t end = reply.find(';');
        std::string_view pair = reply.substr(0, end);
        std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && equalsIgnoringCase(trim(pair.substr(0, equals)), key)) {
            value->assign(trim(pair.substr(equals + 1)));
            return true;
        }
        if (end == std::string_view::npos) {
            return false;
        }
        reply.remove_prefix(end + 1);
    }
}

bool ReplyBool(std::string_view reply, std::string_view key, bool* value) {
    std::string text;
    if (!ReplyValue(reply, key, &text)) {
        return false;
    }
    if (equalsIgnoringCase(text, "true")) {
        *value = true;
        return true;
    }
    if (equalsIgnoringCase(text, "false")) {
        *value = false;
        return true;
    }
    return false;
}

bool ReplyIsOk(std::string_view reply) {
    return equalsIgnoringCase(trim(reply), "ok");
}

bool ReplyIsError(std::string_view reply) {
    std::string_view text = trim(reply);
    return text.size() >= 5 && equalsIgnoringCase(text.substr(0, 5), "error");
}

ReplyDecision DecideReply(int32_t state, std::string_view reply, int32_t retries) {
    ReplyDecision d;
    bool enabled = false;
    bool hasEnabled = ReplyBool(reply, "enabled", &enabled);
    bool permitted = false;
    bool hasPermissions = ReplyBool(reply, "haspermissions", &permitted);
    bool ok = ReplyIsOk(reply);
    bool error = ReplyIsError(reply);
    bool protocol = hasEnabled || hasPermissions || ok || error;

    switch (state) {
    case eConnecting:
        if (hasEnabled) {
            d.next = enabled ? eConnected : eConnectRejected;
        } else if (error) {
            d.next = eConnectFailed;
        } else {
            d.next = eConnectFailed;
            d.status = kFailedRequest;
            return d;
        }
        if (error) {
            d.status = navigateUrl(reply);
        }
        return d;
    case eCheckingPerm:
        if (!protocol) {
            d.next = eConnectFailed;
            d.status = kFailedRequest;
        } else if (error) {
            d.next = eConnectFailed;
            d.checkError = true;
            d.status = navigateUrl(reply);
        } else if (hasPermissions) {
            d.next = permitted ? eAllowed : eNotAllowed;
            d.status = navigateUrl(reply);
        } else {
            d.next = eNotAllowed;
        }
        return d;
    case eAllowed:
        d.next = eAllowed;
        return d;
    case eSettingSalt:
        d.next = ok ? eConnected : eConnectFailed;
        if (!protocol) {
            d.status = kFailedRequest;
        }
        return d;
    case ePosting:
        if (!protocol) {
            d.next = eConnectFailed;
            d.status = kFailedRequest;
        } else if (ok) {
            d.next = eAllowed;
        } else if (error) {
            d.postError = true;
            d.status = navigateUrl(reply);
            if (retries + 1 > 2) {
                d.next = eConnectFailed;
            } else {
                d.next = ePosting;
                d.retry = true;
            }
        } else if (hasPermissions) {
            d.next = permitted ? eAllowed : eNotAllowed;
            d.status = navigateUrl(reply);
        } else {
            d.next = eNotAllowed;
        }
        return d;
    default:
        d.next = state;
        d.unexpected = true;
        return d;
    }
}

} // namespace linkwell
