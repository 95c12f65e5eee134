// One player's link to the relay: turns the game's calls into requests, sends
// them one at a time on a worker thread of its own, reads the short replies and
// moves through the connection states. The caller never waits on the network:
// operations queue a request and return; the caller polls GetState.
//
// Threads: one lock guards the state, the status text and the pending request;
// every state test and change happens under one taking of it. Each queued
// request carries its own copy of everything it sends and a serial number: a
// reply to a request that a newer one (or Disconnect) has replaced is dropped.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "linkwell/Linkwell.h"
#include "linkwell/connection/WakeEvent.h"
#include "linkwell/http/ParameterBlock.h"

namespace linkwell {

class HttpClient;

// Block sizes of the parameter text, terminator included; a request that does
// not fit is refused, never cut.
constexpr std::size_t kParamsBlock = 512;
constexpr std::size_t kPostParamsBlock = 2048;
// Pause before a post's error reply is answered by a re-send.
constexpr std::chrono::milliseconds kRetryPause{1000};

class Connection final : public IConnection {
public:
    // A new connection owning client, with its worker running; null (client
    // left with the caller) when it cannot be allocated or its thread cannot start.
    static Connection* Make(IHttpClient* client, const ConnectionParams& params);

    bool Initialize(int32_t game) override;
    void Disconnect() override;
    bool CheckPermissions(int64_t userId, const char* salt) override;
    bool SetSalt(int64_t userId, const char* salt) override;
    bool PostMessage(int32_t templateId, const FBWString& text) override;
    int32_t GetState(FBString* statusText) override;
    void Stop() override;
    void Destroy(uint32_t flags) override;
    bool ExtractUserId(const FBString& text, int64_t* userId) override;
    const char* StateName(int32_t state) override;

    static const char* NameOf(int32_t state);

    // For tests: wait (at most limit) until the state satisfies done, or until
    // the worker has finished handling count transfers (replies dropped included).
    bool WaitForState(const std::function<bool(int32_t)>& done, std::chrono::milliseconds limit);
    bool WaitForTransfers(uint64_t count, std::chrono::milliseconds limit);

private:
    struct Request {
        std::string path;
        std::vector<FormField> fields;
        uint64_t serial = 0;
    };

    Connection(IHttpClient* client, const ConnectionParams& params);
    ~Connection();

    void Run();
    void Serve(Request request);
    bool Transfer(const Request& request, FBString* reply);
    bool Fits(const std::vector<FormField>& fields, std::size_t block);
    bool SendFields(int32_t needed, int32_t next, const char* path, std::vector<FormField> fields,
                    std::size_t block);
    void Queue(const char* path, std::vector<FormField> fields);
    void SetStateLocked(int32_t state);
    void SetStatusLocked(int32_t state, const std::string& status);
    void LogUnexpectedLocked(int32_t needed);

    IHttpClient* client_;
    HttpClient* ownClient_;
    ConnectionParams params_;
    bool logToFile_;
    bool logToDebugger_;

    std::mutex lock_;
    int32_t state_ = eNotConected;
    FBString statusText_;
    Request pending_;
    bool pendingValid_ = false;
    uint64_t serial_ = 0;
    int32_t game_ = 0;
    int64_t userId_ = 0;
    std::string salt_;
    uint64_t transfers_ = 0;
    std::condition_variable settled_;

    std::atomic<bool> stop_{false};
    WakeEvent wake_;
    std::mutex joinLock_;
    std::thread thread_;
};

} // namespace linkwell
