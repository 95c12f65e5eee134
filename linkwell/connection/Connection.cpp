// Connection to the relay and its worker (see Connection.h).
#include "linkwell/connection/Connection.h"

#include <new>

#include "linkwell/connection/ReplyReader.h"
#include "linkwell/connection/UserIdQuery.h"
#include "linkwell/http/HttpClient.h"
#include "linkwell/http/UrlEscape.h"
#include "linkwell/log/Log.h"

namespace linkwell {

namespace {

constexpr const char* kInitializePath = "/Connect/Facebook/0.1/Initialize";
constexpr const char* kCheckPermissionsPath = "/Connect/Facebook/0.1/CheckPermissions";
constexpr const char* kSetSaltPath = "/Connect/Facebook/0.1/SetSalt";
constexpr const char* kPostMessagePath = "/Connect/Facebook/0.1/PostMessage";

constexpr int32_t kAnyState = -1;

const char* const kStateNames[] = {"eNotConected",  "eConnecting", "eConnectFailed", "eConnectRejected",
                                   "eConnected",    "eCheckingPerm", "eAllowed",     "eNotAllowed",
                                   "eSettingSalt",  "ePosting"};

} // namespace

const char* Connection::NameOf(int32_t state) {
    if (state < 0 || state >= static_cast<int32_t>(sizeof(kStateNames) / sizeof(kStateNames[0]))) {
        return "eInvalid";
    }
    return kStateNames[state];
}

Connection* Connection::Make(IHttpClient* client, const ConnectionParams& params) {
    Connection* connection = nullptr;
    try {
        connection = new Connection(client, params);
        connection->thread_ = std::thread(&Connection::Run, connection);
        return connection;
    } catch (...) {
        if (connection != nullptr) {
            // Not ours yet: the caller keeps the client.
            connection->client_ = nullptr;
            delete connection;
        }
        return nullptr;
    }
}

Connection::Connection(IHttpClient* client, const ConnectionParams& params)
    : client_(client),
      ownClient_(dynamic_cast<HttpClient*>(client)),
      params_(params),
      logToFile_(params.logToFile != 0),
      logToDebugger_(params.logToDebugger != 0) {}

Connection::~Connection() {
    Stop();
    if (client_ != nullptr) {
        client_->Destroy(kDestroyFree);
    }
}

void Connection::Destroy(uint32_t flags) {
    if (flags & kDestroyFree) {
        delete this;
    } else {
        this->~Connection();
    }
}

void Connection::Stop() {
    stop_.store(true);
    if (ownClient_ != nullptr && client_ != nullptr) {
        ownClient_->Abort();
    }
    wake_.Signal();
    std::lock_guard<std::mutex> hold(joinLock_);
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}

bool Connection::WaitForState(const std::function<bool(int32_t)>& done, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> hold(lock_);
    return settled_.wait_for(hold, limit, [&] { return done(state_); });
}

bool Connection::WaitForTransfers(uint64_t count, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> hold(lock_);
    return settled_.wait_for(hold, limit, [&] { return transfers_ >= count; });
}

void Connection::SetStateLocked(int32_t state) {
    state_ = state;
    settled_.notify_all();
    linkwell::Log(logToFile_, logToDebugger_, "Set state %s", NameOf(state));
}

void Connection::SetStatusLocked(int32_t state, const std::string& status) {
    state_ = state;
    settled_.notify_all();
    statusText_.Assign(status.c_str());
    linkwell::Log(logToFile_, logToDebugger_, "Set status %s, %s", NameOf(state), statusText_.Text());
}

void Connection::LogUnexpectedLocked(int32_t needed) {
    linkwell::Log(logToFile_, logToDebugger_, "Unexpected operation for current state: %s needed, %s current",
                  NameOf(needed), NameOf(state_));
}

bool Connection::Fits(const std::vector<FormField>& fields, std::size_t block) {
    std::string text = JoinParameterBlock(fields);
    if (text.size() + 1 <= block) {
        return true;
    }
    linkwell::Log(logToFile_, logToDebugger_, "Parameters of %zu bytes do not fit the %zu-byte block; request refused",
                  text.size(), block);
    return false;
}

void Connection::Queue(const char* path, std::vector<FormField> fields) {
    ++serial_;
    pending_.path = path;
    pending_.fields = std::move(fields);
    pending_.serial = serial_;
    pendingValid_ = true;
    wake_.Signal();
}

bool Connection::Initialize(int32_t game) {
    try {
        std::lock_guard<std::mutex> hold(lock_);
        if (state_ != eNotConected) {
            LogUnexpectedLocked(eNotConected);
            if (state_ != eNotAllowed) {
                LogUnexpectedLocked(eNotAllowed);
                return false;
            }
        }
        std::vector<FormField> fields{{"game", std::to_string(game)}};
        if (!Fits(fields, kParamsBlock)) {
            return false;
        }
        game_ = game;
        SetStateLocked(eConnecting);
        Queue(kInitializePath, std::move(fields));
        return true;
    } catch (...) {
        return false;
    }
}

void Connection::Disconnect() {
    std::lock_guard<std::mutex> hold(lock_);
    linkwell::Log(logToFile_, logToDebugger_, "Disconnect called");
    // A request already queued or under way is still sent, but its reply no
    // longer decides the state.
    ++serial_;
    SetStateLocked(eNotConected);
}

bool Connection::SendFields(int32_t needed, int32_t next, const char* path, std::vector<FormField> fields,
                            std::size_t block) {
    if (needed != kAnyState && state_ != needed) {
        LogUnexpectedLocked(needed);
        return false;
    }
    if (!Fits(fields, block)) {
        return false;
    }
    if (next == eSettingSalt) {
        SetStatusLocked(next, std::string());
    } else {
        SetStateLocked(next);
    }
    Queue(path, std::move(fields));
    return true;
}

bool Connection::CheckPermissions(int64_t userId, const char* salt) {
    try {
        std::lock_guard<std::mutex> hold(lock_);
        std::string saltText = salt != nullptr ? salt : "";
        std::vector<FormField> fields{
            {"game", std::to_string(game_)}, {"UserId", std::to_string(userId)}, {"Salt", saltText}};
        if (!SendFields(eConnected, eCheckingPerm, kCheckPermissionsPath, std::move(fields), kParamsBlock)) {
            return false;
        }
        userId_ = userId;
        salt_ = saltText;
        return true;
    } catch (...) {
        return false;
    }
}

bool Connection::SetSalt(int64_t userId, const char* salt) {
    try {
        std::lock_guard<std::mutex> hold(lock_);
        std::string saltText = salt != nullptr ? salt : "";
        std::vector<FormField> fields{
            {"game", std::to_string(game_)}, {"UserId", std::to_string(userId)}, {"Salt", saltText}};
        if (!SendFields(kAnyState, eSettingSalt, kSetSaltPath, std::move(fields), kParamsBlock)) {
            return false;
        }
        userId_ = userId;
        salt_ = saltText;
        return true;
    } catch (...) {
        return false;
    }
}

bool Connection::PostMessage(int32_t templateId, const FBWString& text) {
    try {
        std::lock_guard<std::mutex> hold(lock_);
        std::vector<FormField> fields{{"game", std::to_string(game_)},
                                      {"UserId", std::to_string(userId_)},
                                      {"Salt", salt_},
                                      {"Template", std::to_string(templateId)},
                                      {"Parameters", NarrowUnits(text.Text())}};
        return SendFields(eAllowed, ePosting, kPostMessagePath, std::move(fields), kPostParamsBlock);
    } catch (...) {
        return false;
    }
}

int32_t Connection::GetState(FBString* statusText) {
    std::lock_guard<std::mutex> hold(lock_);
    if (statusText != nullptr) {
        *statusText = statusText_;
    }
    return state_;
}

bool Connection::ExtractUserId(const FBString& text, int64_t* userId) {
    if (userId == nullptr || text.Text() == nullptr) {
        return false;
    }
    try {
        return ReadUserId(text.Text(), userId);
    } catch (...) {
        return false;
    }
}

const char* Connection::StateName(int32_t state) {
    return NameOf(state);
}

void Connection::Run() {
    try {
        while (true) {
            wake_.Wait();
            if (stop_.load()) {
                return;
            }
            Request request;
            {
                std::lock_guard<std::mutex> hold(lock_);
                if (!pendingValid_) {
                    continue;
                }
                request = pending_;
                pendingValid_ = false;
            }
            Serve(std::move(request));
            if (stop_.load()) {
                return;
            }
        }
    } catch (...) {
        linkwell::Log(logToFile_, logToDebugger_, "Worker ended by an unexpected failure");
    }
}

bool Connection::Transfer(const Request& request, FBString* reply) {
    std::string url = std::string(params_.serverUrl.Text()) + request.path;
    linkwell::Log(logToFile_, logToDebugger_, "Post url:%s params:%s", url.c_str(),
                  JoinParameterBlock(request.fields).c_str());
    bool sent = ownClient_ != nullptr ? ownClient_->PostFields(url.c_str(), request.fields)
                                      : client_->Post(url.c_str(), JoinParameterBlock(request.fields).c_str());
    if (!sent || client_->GetStatus() == kHttpFailed) {
        return false;
    }
    // A completed transfer with an empty body carries no reply either.
    return client_->GetResponse(reply);
}

void Connection::Serve(Request request) {
    int32_t retries = 0;
    while (true) {
        FBString reply;
        bool received = Transfer(request, &reply);
        if (stop_.load()) {
            return;
        }
        if (received) {
            linkwell::Log(logToFile_, logToDebugger_, "Response %s", reply.Text());
        }
        {
            std::lock_guard<std::mutex> hold(lock_);
            ++transfers_;
            settled_.notify_all();
            if (request.serial != serial_) {
                linkwell::Log(logToFile_, logToDebugger_, "Reply to %s dropped: a newer request replaced it",
                              request.path.c_str());
                return;
            }
            if (!received) {
                SetStatusLocked(eConnectFailed, kFailedRequest);
                return;
            }
            ReplyDecision decision = DecideReply(state_, reply.Text(), retries);
            if (decision.unexpected) {
                linkwell::Log(logToFile_, logToDebugger_, "Received message in state %s which does not expect messages",
                              NameOf(state_));
                return;
            }
            if (decision.checkError) {
                linkwell::Log(logToFile_, logToDebugger_, "Error returned in eCheckingPerm");
            }
            if (decision.postError) {
                linkwell::Log(logToFile_, logToDebugger_, "Error returned in ePosting, retries so far: %d", retries);
                ++retries;
            }
            SetStatusLocked(decision.next, decision.status);
            if (!decision.retry) {
                return;
            }
        }
        // The pause ends early for Stop or a newer request; that request is
        // then served by the main loop and this post is given up.
        if (wake_.WaitFor(kRetryPause)) {
            if (!stop_.load()) {
                wake_.Signal();
            }
            return;
        }
        std::lock_guard<std::mutex> hold(lock_);
        if (request.serial != serial_ || state_ != ePosting) {
            return;
        }
    }
}

} // namespace linkwell
