// HTTP client of the relay protocol (see HttpClient.h).
#include "linkwell/http/HttpClient.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "linkwell/http/UrlEscape.h"

namespace linkwell {

namespace {

// libcurl's global set-up runs once while any client of this module lives and
// its clean-up only after the last one is gone.
std::mutex& globalLock() {
    static std::mutex lock;
    return lock;
}
int liveClients = 0;

void acquireCurl() {
    std::lock_guard<std::mutex> hold(globalLock());
    if (liveClients++ == 0) {
        curl_global_init(CURL_GLOBAL_ALL);
    }
}

void releaseCurl() {
    std::lock_guard<std::mutex> hold(globalLock());
    if (--liveClients == 0) {
        curl_global_cleanup();
    }
}

// The cookie file holds the relay's session: readable by its owner only.
void protectCookieFile() {
    int fd = open(kCookieFile, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        fchmod(fd, 0600);
        close(fd);
    }
}

constexpr long kConnectTimeoutMs = 10000;
constexpr long kTransferTimeoutMs = 30000;
constexpr long kMaxRedirects = 5;

} // namespace

HttpClient* HttpClient::Make() {
    return new (std::nothrow) HttpClient();
}

HttpClient::HttpClient() {
    acquireCurl();
    handle_ = curl_easy_init();
    if (handle_ == nullptr) {
        return;
    }
    curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle_, CURLOPT_XFERINFOFUNCTION, &HttpClient::Progress);
    curl_easy_setopt(handle_, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(handle_, CURLOPT_OPENSOCKETFUNCTION, &HttpClient::OpenSocket);
    curl_easy_setopt(handle_, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(handle_, CURLOPT_CLOSESOCKETFUNCTION, &HttpClient::CloseSocket);
    curl_easy_setopt(handle_, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &HttpClient::Receive);
    curl_easy_setopt(handle_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(handle_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle_, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(handle_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle_, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(handle_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle_, CURLOPT_SSL_VERIFYHOST, 2L);
    SetLimits(kConnectTimeoutMs, kTransferTimeoutMs);
    protectCookieFile();
    if (curl_easy_setopt(handle_, CURLOPT_COOKIEFILE, kCookieFile) == CURLE_OK) {
        curl_easy_setopt(handle_, CURLOPT_COOKIEJAR, kCookieFile);
    }
}

HttpClient::~HttpClient() {
    if (handle_ != nullptr) {
        // Writes the cookie jar.
        curl_easy_cleanup(handle_);
        chmod(kCookieFile, 0600);
    }
    releaseCurl();
}

void HttpClient::SetLimits(long connectMs, long totalMs) {
    if (handle_ != nullptr) {
        curl_easy_setopt(handle_, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
        curl_easy_setopt(handle_, CURLOPT_TIMEOUT_MS, totalMs);
    }
}

void HttpClient::ResetStatus() {
    status_ = kHttpBusy;
}

int32_t HttpClient::GetStatus() {
    return status_;
}

bool HttpClient::Post(const char* url, const char* params) {
    try {
        std::vector<FormField> fields;
        if (!SplitParameterBlock(params, &fields)) {
            reply_.Reserve(1);
            status_ = kHttpFailed;
            return false;
        }
        return PostFields(url, fields);
    } catch (...) {
        status_ = kHttpFailed;
        return false;
    }
}

bool HttpClient::PostFields(const char* url, const std::vector<FormField>& fields) {
    reply_.Reserve(1);
    received_.Reset();
    lastResult_ = CURLE_FAILED_INIT;
    if (handle_ == nullptr || url == nullptr || fields.empty() || abort_.load()) {
        status_ = kHttpFailed;
        return false;
    }
    curl_mime* form = curl_mime_init(handle_);
    bool built = form != nullptr;
    for (const FormField& field : fields) {
        curl_mimepart* part = built ? curl_mime_addpart(form) : nullptr;
        if (part == nullptr || curl_mime_name(part, field.name.c_str()) != CURLE_OK ||
            curl_mime_data(part, field.value.data(), field.value.size()) != CURLE_OK) {
            built = false;
            break;
        }
    }
    bool ok = false;
    if (built) {
        curl_easy_setopt(handle_, CURLOPT_URL, url);
        curl_easy_setopt(handle_, CURLOPT_MIMEPOST, form);
        curl_easy_setopt(handle_, CURLOPT_WRITEDATA, this);
        lastResult_ = curl_easy_perform(handle_);
        long code = 0;
        curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &code);
        // An error page is not a reply of the relay.
        ok = lastResult_ == CURLE_OK && code >= 200 && code <= 299;
        curl_easy_setopt(handle_, CURLOPT_MIMEPOST, nullptr);
    }
    curl_mime_free(form);
    if (ok) {
        reply_ = received_.Text();
    }
    received_.Reset();
    status_ = ok ? kHttpDone : kHttpFailed;
    return ok;
}

bool HttpClient::GetResponse(FBString* out) {
    if (out == nullptr || reply_.Length() == 0) {
        return false;
    }
    *out = reply_;
    reply_.Reserve(1);
    return true;
}

FBString* HttpClient::Unescape(FBString* out, const FBString* in) {
    if (out == nullptr) {
        return out;
    }
    out->Reserve(1);
    if (in != nullptr && in->Text() != nullptr) {
        try {
            std::string text = UnescapeBytes(in->Text());
            out->Assign(text.c_str());
        } catch (...) {
            out->Reserve(1);
        }
    }
    return out;
}

FBString* HttpClient::EscapeWide(FBString* out, const FBWString* in) {
    if (out == nullptr) {
        return out;
    }
    out->Reserve(1);
    if (in != nullptr) {
        try {
            std::string text = EscapeBytes(NarrowUnits(in->Text()));
            out->Assign(text.c_str());
        } catch (...) {
            out->Reserve(1);
        }
    }
    return out;
}

FBString* HttpClient::Escape(FBString* out, const FBString* in) {
    if (out == nullptr) {
        return out;
    }
    out->Reserve(1);
    if (in != nullptr && in->Text() != nullptr) {
        try {
            std::string text = EscapeBytes(in->Text());
            out->Assign(text.c_str());
        } catch (...) {
            out->Reserve(1);
        }
    }
    return out;
}

void HttpClient::Destroy(uint32_t flags) {
    if (flags & kDestroyFree) {
        delete this;
    } else {
        this->~HttpClient();
    }
}

void HttpClient::Abort() {
    abort_.store(true);
    std::lock_guard<std::mutex> hold(socketLock_);
    if (socket_ != CURL_SOCKET_BAD) {
        shutdown(socket_, SHUT_RDWR);
    }
}

std::size_t HttpClient::HeldBytes() const {
    return (static_cast<std::size_t>(received_.Text().Capacity()) + reply_.Capacity());
}

size_t HttpClient::Receive(char* data, size_t size, size_t count, void* self) {
    auto* client = static_cast<HttpClient*>(self);
    size_t bytes = size * count;
    if (client->abort_.load() || !client->received_.Accept(data, bytes)) {
        return CURL_WRITEFUNC_ERROR;
    }
    return bytes;
}

int HttpClient::Progress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<HttpClient*>(self)->abort_.load() ? 1 : 0;
}

curl_socket_t HttpClient::OpenSocket(void* self, curlsocktype, curl_sockaddr* address) {
    auto* client = static_cast<HttpClient*>(self);
    std::lock_guard<std::mutex> hold(client->socketLock_);
    if (client->abort_.load()) {
        return CURL_SOCKET_BAD;
    }
    curl_socket_t s = socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    // One transfer at a time uses one socket; a second open (a redirect to
    // another host) replaces the one Abort would shut down.
    if (s != CURL_SOCKET_BAD) {
        client->socket_ = s;
    }
    return s;
}

int HttpClient::CloseSocket(void* self, curl_socket_t socket) {
    auto* client = static_cast<HttpClient*>(self);
    std::lock_guard<std::mutex> hold(client->socketLock_);
    if (client->socket_ == socket) {
        client->socket_ = CURL_SOCKET_BAD;
    }
    return close(socket);
}

} // namespace linkwell
