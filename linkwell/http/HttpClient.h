// The library's only network code: one libcurl easy handle that posts form
// fields as multipart/form-data to the relay and keeps the text that comes
// back. Transfers are bounded (connect and total time-outs, reply cap, five
// redirects over http/https only), TLS peers and hosts are verified, and a
// stopping connection can abort a transfer from another thread. libcurl is
// opened and the handle made by the first transfer (see CurlLibrary.h).
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "linkwell/Linkwell.h"
#include "linkwell/http/CurlLibrary.h"
#include "linkwell/http/ParameterBlock.h"
#include "linkwell/http/ReplyReceiver.h"

namespace linkwell {

constexpr const char* kUserAgent = "LINKWELL/0.1 (Windows)";
constexpr const char* kCookieFile = "cookie.txt";
constexpr long kConnectTimeoutMs = 10000;
constexpr long kTransferTimeoutMs = 30000;

enum HttpStatus : int32_t { kHttpBusy = 1, kHttpDone = 3, kHttpFailed = 4 };

class HttpClient final : public IHttpClient {
public:
    // A new client, or null when it cannot be allocated.
    static HttpClient* Make();

    void ResetStatus() override;
    int32_t GetStatus() override;
    bool Post(const char* url, const char* params) override;
    bool GetResponse(FBString* out) override;
    FBString* Unescape(FBString* out, const FBString* in) override;
    FBString* EscapeWide(FBString* out, const FBWString* in) override;
    FBString* Escape(FBString* out, const FBString* in) override;
    void Destroy(uint32_t flags) override;

    // Posts the fields in order. Success needs a completed transfer with an
    // HTTP status 200-299 and a body within the cap.
    bool PostFields(const char* url, const std::vector<FormField>& fields);
    // Ends a transfer under way (and every later one) within a moment; any thread.
    void Abort();
    // Time limits of a transfer, in milliseconds (defaults 10 s and 30 s).
    void SetLimits(long connectMs, long totalMs);

    // For tests: the libcurl result of the last post and the bytes held for replies.
    CURLcode LastResult() const { return lastResult_; }
    std::size_t HeldBytes() const;

private:
    HttpClient();
    ~HttpClient();

    static size_t Receive(char* data, size_t size, size_t count, void* self);
    static int Progress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    static curl_socket_t OpenSocket(void* self, curlsocktype purpose, curl_sockaddr* address);
    static int CloseSocket(void* self, curl_socket_t socket);

    // The handle on first use; false when libcurl or the handle cannot be had.
    bool MakeHandle();

    const CurlLibrary* curl_ = nullptr;
    CURL* handle_ = nullptr;
    bool handleTried_ = false;
    long connectMs_ = kConnectTimeoutMs;
    long totalMs_ = kTransferTimeoutMs;
    ReplyReceiver received_;
    FBString reply_;
    int32_t status_ = 0;
    CURLcode lastResult_ = CURLE_OK;
    std::atomic<bool> abort_{false};
    // Guards the open socket so that Abort can shut it down without racing its close.
    std::mutex socketLock_;
    curl_socket_t socket_ = CURL_SOCKET_BAD;
};

} // namespace linkwell
