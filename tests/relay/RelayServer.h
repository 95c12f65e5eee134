// Relay stand-in: an HTTP/1.1 server on 127.0.0.1 at a port the kernel
// chooses, speaking the relay protocol of liblinkwell.so well enough to drive
// the library end to end without the internet. It serves one connection at a
// time on its own thread ("Connection: close"), records every request, and
// answers with the reference behaviour below unless a test scripts the path:
//
//   POST /Connect/Facebook/0.1/Initialize        enabled=true (+ Set-Cookie relay_session=N);
//                                                enabled=false for a disabled game
//   POST /Connect/Facebook/0.1/CheckPermissions  bound (UserId, Salt): haspermissions=true;
//                                                else haspermissions=false;navigateurl=<base>/login
//   POST /Connect/Facebook/0.1/SetSalt           positive decimal UserId: bind it, ok; else error
//   POST /Connect/Facebook/0.1/PostMessage       bound: ok, message kept; else as CheckPermissions
//   GET  /login                                  302 to /done?userid=<login user id, 4242>
//   GET  /done                                   200, a page whose script closes its window
//
// Used by the linkwell tests (in process) and by the relay_standin program
// (tests/relay/relay_main.cpp) that the game's social-network tests and the
// sample's demonstration start. Destroying the server joins its thread
// promptly (every wait inside it is interruptible).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace relay {

struct RecordedRequest {
    std::string method;
    std::string target;  // as sent, query included
    std::string path;    // target without its query
    std::vector<std::pair<std::string, std::string>> headers;
    std::vector<std::pair<std::string, std::string>> fields;  // multipart parts in order
    std::string body;
    std::string userAgent;
    std::string cookie;
    std::chrono::steady_clock::time_point arrival;

    // First field of that name, or "" (present tells whether it exists).
    std::string Field(const std::string& name, bool* present = nullptr) const;
};

struct ScriptedReply {
    enum class Mode {
        kReply,             // status, headers, body
        kCloseWithoutReply,  // read the request, close
        kShortBody,         // Content-Length declaredLength, then body, then close
        kDrip,              // Content-Length of body, then one byte every dripInterval
        kHold,              // answer only after ReleaseHeld (or never, until the server stops)
    };
    Mode mode = Mode::kReply;
    int status = 200;
    std::string body;
    std::vector<std::string> headers;  // extra "Name: value" lines
    std::chrono::milliseconds delay{0};  // before answering (interruptible)
    std::size_t declaredLength = 0;
    std::chrono::milliseconds dripInterval{1000};

    static ScriptedReply Text(std::string body, int status = 200);
    static ScriptedReply Redirect(std::string location, int status = 302);
};

class RelayServer {
public:
    RelayServer();
    ~RelayServer();
    RelayServer(const RelayServer&) = delete;
    RelayServer& operator=(const RelayServer&) = delete;

    // False when the socket or thread could not be set up.
    bool Running() const { return running_; }
    uint16_t Port() const { return port_; }
    // "http://127.0.0.1:<port>"
    std::string BaseUrl() const;

    // Replies for a path (query ignored), used in order; the last one repeats.
    void Script(const std::string& path, std::vector<ScriptedReply> replies);
    void ClearScripts();
    // Initialize of this game answers enabled=false.
    void DisableGame(int game);
    // User id of the /login redirect.
    void SetLoginUserId(int64_t userId);
    // Lets every held request (and later ones) answer.
    void ReleaseHeld();

    std::vector<RecordedRequest> Requests() const;
    std::size_t RequestCount() const;
    // Waits (at most limit) until count requests have arrived.
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds limit) const;
    // Waits (at most limit) until count requests have been answered or closed.
    bool WaitForServed(std::size_t count, std::chrono::milliseconds limit) const;
    // Parameters of every accepted PostMessage, in order.
    std::vector<std::string> PostedMessages() const;

    // Called on the server thread after each request is recorded.
    void SetRequestObserver(std::function<void(const RecordedRequest&)> observer);

private:
    void Serve();
    void Handle(int client);
    bool ReadRequest(int client, RecordedRequest* request);
    bool ReadSome(int client, std::string* buffer);
    bool Pause(std::chrono::milliseconds time);
    bool WaitReadable(int fd, int timeoutMs);
    bool SendAll(int client, const std::string& data);
    ScriptedReply Reference(const RecordedRequest& request);
    void Answer(int client, const ScriptedReply& reply);

    int listener_ = -1;
    int wakeFd_ = -1;
    uint16_t port_ = 0;
    bool running_ = false;
    std::atomic<bool> stopping_{false};
    std::thread thread_;

    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::vector<RecordedRequest> requests_;
    std::size_t served_ = 0;
    std::map<std::string, std::vector<ScriptedReply>> scripts_;
    std::set<int> disabledGames_;
    std::map<std::string, std::string> bound_;  // UserId -> Salt
    std::vector<std::string> messages_;
    int64_t loginUserId_ = 4242;
    int sessions_ = 0;
    bool released_ = false;
    std::function<void(const RecordedRequest&)> observer_;
};

// Splits a multipart/form-data body into its named parts, in order.
bool ParseMultipart(const std::string& contentType, const std::string& body,
                    std::vector<std::pair<std::string, std::string>>* fields);

} // namespace relay
