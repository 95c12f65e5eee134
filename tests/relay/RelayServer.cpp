// Relay stand-in for the linkwell tests and the relay_standin program (see RelayServer.h).
#include "RelayServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace relay {

namespace {

constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr std::size_t kMaxBodyBytes = 4 * 1024 * 1024;

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string trim(const std::string& text) {
    std::size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) {
        return std::string();
    }
    std::size_t e = text.find_last_not_of(" \t\r");
    return text.substr(b, e - b + 1);
}

std::string headerValue(const RecordedRequest& request, const std::string& name) {
    for (const auto& [key, value] : request.headers) {
        if (lowerCase(key) == name) {
            return value;
        }
    }
    return std::string();
}

const char* reasonOf(int status) {
    switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

bool positiveDecimal(const std::string& text) {
    if (text.empty() || text.size() > 19) {
        return false;
    }
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    return text.find_first_not_of('0') != std::string::npos;
}

} // namespace

std::string RecordedRequest::Field(const std::string& name, bool* present) const {
    for (const auto& [key, value] : fields) {
        if (key == name) {
            if (present != nullptr) {
                *present = true;
            }
            return value;
        }
    }
    if (present != nullptr) {
        *present = false;
    }
    return std::string();
}

ScriptedReply ScriptedReply::Text(std::string body, int status) {
    ScriptedReply reply;
    reply.body = std::move(body);
    reply.status = status;
    return reply;
}

ScriptedReply ScriptedReply::Redirect(std::string location, int status) {
    ScriptedReply reply;
    reply.status = status;
    reply.headers.push_back("Location: " + location);
    return reply;
}

bool ParseMultipart(const std::string& contentType, const std::string& body,
                    std::vector<std::pair<std::string, std::string>>* fields) {
    fields->clear();
    std::string type = lowerCase(contentType);
    std::size_t at = type.find("boundary=");
    if (type.rfind("multipart/form-data", 0) != 0 || at == std::string::npos) {
        return false;
    }
    std::string boundary = contentType.substr(at + 9);
    boundary = boundary.substr(0, boundary.find(';'));
    if (boundary.size() >= 2 && boundary.front() == '"' && boundary.back() == '"') {
        boundary = boundary.substr(1, boundary.size() - 2);
    }
    std::string delimiter = "--" + boundary;
    std::size_t pos = body.find(delimiter);
    while (pos != std::string::npos) {
        pos += delimiter.size();
        if (body.compare(pos, 2, "--") == 0) {
            return true;
        }
        if (body.compare(pos, 2, "\r\n") != 0) {
            return false;
        }
        pos += 2;
        std::size_t headersEnd = body.find("\r\n\r\n", pos);
        if (headersEnd == std::string::npos) {
            return false;
        }
        std::string partHeaders = body.substr(pos, headersEnd - pos);
        std::size_t valueStart = headersEnd + 4;
        std::size_t next = body.find("\r\n" + delimiter, valueStart);
        if (next == std::string::npos) {
            return false;
        }
        std::string name;
        std::size_t n = partHeaders.find("name=\"");
        if (n != std::string::npos) {
            std::size_t close = partHeaders.find('"', n + 6);
            name = partHeaders.substr(n + 6, close == std::string::npos ? std::string::npos : close - n - 6);
        }
        fields->emplace_back(name, body.substr(valueStart, next - valueStart));
        pos = next + 2;
    }
    return false;
}

RelayServer::RelayServer() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (listener_ < 0 || wakeFd_ < 0) {
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof(address);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(listener_, 16) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return;
    }
    port_ = ntohs(address.sin_port);
    try {
        thread_ = std::thread(&RelayServer::Serve, this);
        running_ = true;
    } catch (...) {
        running_ = false;
    }
}

RelayServer::~RelayServer() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_.store(true);
    }
    changed_.notify_all();
    if (wakeFd_ >= 0) {
        uint64_t one = 1;
        (void)!write(wakeFd_, &one, sizeof(one));
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    if (listener_ >= 0) {
        close(listener_);
    }
    if (wakeFd_ >= 0) {
        close(wakeFd_);
    }
}

std::string RelayServer::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

void RelayServer::Script(const std::string& path, std::vector<ScriptedReply> replies) {
    std::lock_guard<std::mutex> hold(lock_);
    scripts_[path] = std::move(replies);
}

void RelayServer::ClearScripts() {
    std::lock_guard<std::mutex> hold(lock_);
    scripts_.clear();
}

void RelayServer::DisableGame(int game) {
    std::lock_guard<std::mutex> hold(lock_);
    disabledGames_.insert(game);
}

void RelayServer::SetLoginUserId(int64_t userId) {
    std::lock_guard<std::mutex> hold(lock_);
    loginUserId_ = userId;
}

void RelayServer::ReleaseHeld() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        released_ = true;
    }
    changed_.notify_all();
}

std::vector<RecordedRequest> RelayServer::Requests() const {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_;
}

std::size_t RelayServer::RequestCount() const {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_.size();
}

bool RelayServer::WaitForRequests(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, limit, [&] { return requests_.size() >= count; });
}

bool RelayServer::WaitForServed(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, limit, [&] { return served_ >= count; });
}

std::vector<std::string> RelayServer::PostedMessages() const {
    std::lock_guard<std::mutex> hold(lock_);
    return messages_;
}

void RelayServer::SetRequestObserver(std::function<void(const RecordedRequest&)> observer) {
    std::lock_guard<std::mutex> hold(lock_);
    observer_ = std::move(observer);
}

bool RelayServer::WaitReadable(int fd, int timeoutMs) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    int n = poll(fds, 2, timeoutMs);
    if (n <= 0 || stopping_.load() || (fds[1].revents & POLLIN)) {
        return false;
    }
    return (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

bool RelayServer::Pause(std::chrono::milliseconds time) {
    std::unique_lock<std::mutex> hold(lock_);
    return !changed_.wait_for(hold, time, [&] { return stopping_.load(); });
}

void RelayServer::Serve() {
    while (!stopping_.load()) {
        if (!WaitReadable(listener_, -1)) {
            continue;
        }
        int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        Handle(client);
        close(client);
        {
            std::lock_guard<std::mutex> hold(lock_);
            ++served_;
        }
        changed_.notify_all();
    }
}

bool RelayServer::ReadSome(int client, std::string* buffer) {
    // A client that says nothing for 30 s is given up.
    if (!WaitReadable(client, 30000)) {
        return false;
    }
    char chunk[16384];
    ssize_t n = recv(client, chunk, sizeof(chunk), 0);
    if (n <= 0) {
        return false;
    }
    buffer->append(chunk, static_cast<std::size_t>(n));
    return true;
}

bool RelayServer::SendAll(int client, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        pollfd fds[2] = {{client, POLLOUT, 0}, {wakeFd_, POLLIN, 0}};
        if (poll(fds, 2, 30000) <= 0 || stopping_.load()) {
            return false;
        }
        ssize_t n = send(client, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool RelayServer::ReadRequest(int client, RecordedRequest* request) {
    std::string buffer;
    std::size_t headerEnd;
    while ((headerEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
        if (buffer.size() > kMaxHeaderBytes || !ReadSome(client, &buffer)) {
            return false;
        }
    }
    request->arrival = std::chrono::steady_clock::now();
    std::string head = buffer.substr(0, headerEnd);
    std::string rest = buffer.substr(headerEnd + 4);
    std::size_t lineEnd = head.find("\r\n");
    std::string requestLine = head.substr(0, lineEnd);
    std::size_t s1 = requestLine.find(' ');
    std::size_t s2 = requestLine.find(' ', s1 == std::string::npos ? 0 : s1 + 1);
    if (s1 == std::string::npos || s2 == std::string::npos) {
        return false;
    }
    request->method = requestLine.substr(0, s1);
    request->target = requestLine.substr(s1 + 1, s2 - s1 - 1);
    request->path = request->target.substr(0, request->target.find('?'));
    std::size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (pos < head.size()) {
        std::size_t end = head.find("\r\n", pos);
        std::string line = head.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            request->headers.emplace_back(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
        }
        if (end == std::string::npos) {
            break;
        }
        pos = end + 2;
    }
    request->userAgent = headerValue(*request, "user-agent");
    request->cookie = headerValue(*request, "cookie");
    std::size_t length = 0;
    std::string lengthText = headerValue(*request, "content-length");
    if (!lengthText.empty()) {
        length = static_cast<std::size_t>(std::strtoull(lengthText.c_str(), nullptr, 10));
        if (length > kMaxBodyBytes) {
            return false;
        }
    }
    if (length > rest.size() && lowerCase(headerValue(*request, "expect")) == "100-continue") {
        if (!SendAll(client, "HTTP/1.1 100 Continue\r\n\r\n")) {
            return false;
        }
    }
    while (rest.size() < length) {
        if (!ReadSome(client, &rest)) {
            return false;
        }
    }
    request->body = rest.substr(0, length);
    ParseMultipart(headerValue(*request, "content-type"), request->body, &request->fields);
    return true;
}

ScriptedReply RelayServer::Reference(const RecordedRequest& request) {
    std::lock_guard<std::mutex> hold(lock_);
    const std::string prefix = "/Connect/Facebook/0.1/";
    std::string refusal = "haspermissions=false;navigateurl=" + BaseUrl() + "/login";
    std::string userId = request.Field("UserId");
    std::string salt = request.Field("Salt");
    auto boundPair = [&] {
        auto it = bound_.find(userId);
        return it != bound_.end() && it->second == salt;
    };
    if (request.path == prefix + "Initialize") {
        int game = std::atoi(request.Field("game").c_str());
        if (disabledGames_.count(game) != 0) {
            return ScriptedReply::Text("enabled=false");
        }
        ScriptedReply reply = ScriptedReply::Text("enabled=true");
        reply.headers.push_back("Set-Cookie: relay_session=" + std::to_string(++sessions_) + "; Path=/");
        return reply;
    }
    if (request.path == prefix + "CheckPermissions") {
        return ScriptedReply::Text(boundPair() ? "haspermissions=true" : refusal);
    }
    if (request.path == prefix + "SetSalt") {
        if (!positiveDecimal(userId)) {
            return ScriptedReply::Text("error");
        }
        bound_[userId] = salt;
        return ScriptedReply::Text("ok");
    }
    if (request.path == prefix + "PostMessage") {
        if (!boundPair()) {
            return ScriptedReply::Text(refusal);
        }
        messages_.push_back(request.Field("Parameters"));
        return ScriptedReply::Text("ok");
    }
    if (request.path == "/login") {
        return ScriptedReply::Redirect("/done?userid=" + std::to_string(loginUserId_));
    }
    if (request.path == "/done") {
        ScriptedReply reply = ScriptedReply::Text(
            "<html><head><title>Done</title></head><body><script>window.close();</script></body></html>");
        reply.headers.push_back("Content-Type: text/html");
        return reply;
    }
    return ScriptedReply::Text("not found", 404);
}

void RelayServer::Answer(int client, const ScriptedReply& reply) {
    using Mode = ScriptedReply::Mode;
    if (reply.delay.count() > 0 && !Pause(reply.delay)) {
        return;
    }
    if (reply.mode == Mode::kCloseWithoutReply) {
        return;
    }
    if (reply.mode == Mode::kHold) {
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait(hold, [&] { return released_ || stopping_.load(); });
        if (stopping_.load()) {
            return;
        }
    }
    std::size_t length = reply.mode == Mode::kShortBody ? reply.declaredLength : reply.body.size();
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reasonOf(reply.status) + "\r\n";
    head += "Content-Length: " + std::to_string(length) + "\r\nConnection: close\r\n";
    bool typed = false;
    for (const std::string& line : reply.headers) {
        typed = typed || lowerCase(line).rfind("content-type:", 0) == 0;
        head += line + "\r\n";
    }
    if (!typed) {
        head += "Content-Type: text/plain\r\n";
    }
    head += "\r\n";
    if (reply.mode == Mode::kDrip) {
        if (!SendAll(client, head)) {
            return;
        }
        for (char c : reply.body) {
            if (!Pause(reply.dripInterval) || !SendAll(client, std::string(1, c))) {
                return;
            }
        }
        return;
    }
    SendAll(client, head + reply.body);
}

void RelayServer::Handle(int client) {
    RecordedRequest request;
    if (!ReadRequest(client, &request)) {
        return;
    }
    ScriptedReply reply;
    bool scripted = false;
    std::function<void(const RecordedRequest&)> observer;
    {
        std::lock_guard<std::mutex> hold(lock_);
        requests_.push_back(request);
        observer = observer_;
        auto it = scripts_.find(request.path);
        if (it != scripts_.end() && !it->second.empty()) {
            reply = it->second.front();
            if (it->second.size() > 1) {
                it->second.erase(it->second.begin());
            }
            scripted = true;
        }
    }
    changed_.notify_all();
    if (observer) {
        observer(request);
    }
    if (!scripted) {
        reply = Reference(request);
    }
    Answer(client, reply);
    // Let the client see the end of the reply before the socket goes.
    shutdown(client, SHUT_WR);
}

} // namespace relay
