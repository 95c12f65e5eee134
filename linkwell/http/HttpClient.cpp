// HTTP client of the relay protocol (see HttpClient.h).
#include "linkwell/http/HttpClient.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "linkwell/http/CurlLibrary.h"
#include "linkwell/http/UrlEscape.h"

namespace linkwell {

namespace {

// libcurl's global set-up runs once while any client of this module holds a
// handle and its clean-up only after the last one is gone.
std::mutex& globalLock() {
    static std::mutex lock;
    return lock;
}
int liveClients = 0;

void acquireCurl(const CurlLibrary& curl) {
    std::lock_guard<std::mutex> hold(globalLock());
    if (liveClients++ == 0) {
        curl.globalInit(CURL_GLOBAL_ALL);
    }
}

void releaseCurl(const CurlLibrary& curl) {
    std::lock_guard<std::mutex> hold(globalLock());
    if (--liveClients == 0) {
        curl.globalCleanup();
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

constexpr long kMaxRedirects = 5;

} // namespace

HttpClient* HttpClient::Make() {
    return new (std::nothrow) HttpClient();
}

HttpClient::HttpClient() = default;

bool HttpClient::MakeHandle() {
    if (handle_ != nullptr) {
        return true;
    }
    if (handleTried_) {
        return false;
    }
    handleTried_ = true;
    curl_ = Curl();
    if (curl_ == nullptr) {
        return false;
    }
    acquireCurl(*curl_);
    handle_ = curl_->easyInit();
    if (handle_ == nullptr) {
        return false;
    }
    curl_->easySetopt(handle_, CURLOPT_NOSIGNAL, 1L);
    curl_->easySetopt(handle_, CURLOPT_NOPROGRESS, 0L);
    curl_->easySetopt(handle_, CURLOPT_XFERINFOFUNCTION, &HttpClient::Progress);
    curl_->easySetopt(handle_, CURLOPT_XFERINFODATA, this);
    curl_->easySetopt(handle_, CURLOPT_OPENSOCKETFUNCTION, &HttpClient::OpenSocket);
    curl_->easySetopt(handle_, CURLOPT_OPENSOCKETDATA, this);
    curl_->easySetopt(handle_, CURLOPT_CLOSESOCKETFUNCTION, &HttpClient::CloseSocket);
    curl_->easySetopt(handle_, CURLOPT_CLOSESOCKETDATA, this);
    curl_->easySetopt(handle_, CURLOPT_WRITEFUNCTION, &HttpClient::Receive);
    curl_->easySetopt(handle_, CURLOPT_WRITEDATA, this);
    curl_->easySetopt(handle_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_->easySetopt(handle_, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_->easySetopt(handle_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_->easySetopt(handle_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_->easySetopt(handle_, CURLOPT_USERAGENT, kUserAgent);
    curl_->easySetopt(handle_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_->easySetopt(handle_, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_->easySetopt(handle_, CURLOPT_CONNECTTIMEOUT_MS, connectMs_);
    curl_->easySetopt(handle_, CURLOPT_TIMEOUT_MS, totalMs_);
    protectCookieFile();
    if (curl_->easySetopt(handle_, CURLOPT_COOKIEFILE, kCookieFile) == CURLE_OK) {
        curl_->easySetopt(handle_, CURLOPT_COOKIEJAR, kCookieFile);
    }
    return true;
}

HttpClient::~HttpClient() {
    if (handle_ != nullptr) {
        // Writes the cookie jar.
        curl_->easyCleanup(handle_);
        chmod(kCookieFile, 0600);
    }
    if (curl_ != nullptr) {
        releaseCurl(*curl_);
    }
}

void HttpClient::SetLimits(long connectMs, long totalMs) {
    connectMs_ = connectMs;
    totalMs_ = totalMs;
    if (handle_ != nullptr) {
        curl_->easySetopt(handle_, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
        curl_->easySetopt(handle_, CURLOPT_TIMEOUT_MS, totalMs);
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
    if (url == nullptr || fields.empty() || abort_.load() || !MakeHandle()) {
        status_ = kHttpFailed;
        return false;
    }
    curl_mime* form = curl_->mimeInit(handle_);
    bool built = form != nullptr;
    for (const FormField& field : fields) {
        curl_mimepart* part = built ? curl_->mimeAddpart(form) : nullptr;
        if (part == nullptr || curl_->mimeName(part, field.name.c_str()) != CURLE_OK ||
            curl_->mimeData(part, field.value.data(), field.value.size()) != CURLE_OK) {
            built = false;
            break;
        }
    }
    bool ok = false;
    if (built) {
        curl_->easySetopt(handle_, CURLOPT_URL, url);
        curl_->easySetopt(handle_, CURLOPT_MIMEPOST, form);
        curl_->easySetopt(handle_, CURLOPT_WRITEDATA, this);
        lastResult_ = curl_->easyPerform(handle_);
        long code = 0;
        curl_->easyGetinfo(handle_, CURLINFO_RESPONSE_CODE, &code);
        // An error page is not a reply of the relay.
        ok = lastResult_ == CURLE_OK && code >= 200 && code <= 299;
        curl_->easySetopt(handle_, CURLOPT_MIMEPOST, nullptr);
    }
    curl_->mimeFree(form);
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
