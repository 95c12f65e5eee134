// HTTP client against the relay stand-in: the parameter block, the multipart
// fields as the relay sees them, cookies kept between clients, replies and
// their limits, escaping, refused ports and TLS verification.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "../LinkwellTestSupport.h"
#include "RelayServer.h"
#include "linkwell/http/HttpClient.h"
#include "linkwell/http/ParameterBlock.h"
#include "linkwell/http/ReplyReceiver.h"

using linkwell::FBString;
using linkwell::FBWString;
using linkwell::HttpClient;
using relay::ScriptedReply;
using Fields = std::vector<std::pair<std::string, std::string>>;

namespace {

struct ClientDeleter {
    void operator()(HttpClient* client) const { client->Destroy(linkwell::kDestroyFree); }
};
using ClientPtr = std::unique_ptr<HttpClient, ClientDeleter>;

class HttpClientTest : public linkwell_test::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        ASSERT_TRUE(relay_.Running());
        client_.reset(HttpClient::Make());
        ASSERT_NE(client_, nullptr);
        relay_.Script("/echo", {ScriptedReply::Text("ok")});
    }
    std::string Url(const std::string& path) const { return relay_.BaseUrl() + path; }

    relay::RelayServer relay_;
    ClientPtr client_;
};

TEST_F(HttpClientTest, ParameterBlockTable) {
    struct Case {
        const char* block;
        bool sent;
        Fields fields;
    };
    const Case cases[] = {
        {"game=3", true, {{"game", "3"}}},
        {"a=1##b=x=y", true, {{"a", "1"}, {"b", "x=y"}}},
        {"game=3##UserId=5##Salt=", true, {{"game", "3"}, {"UserId", "5"}, {"Salt", ""}}},
        {"a=1##b", false, {}},
        {"", false, {}},
        {"a=1##", false, {}},
    };
    std::size_t arrived = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.block);
        client_->ResetStatus();
        EXPECT_EQ(client_->Post(Url("/echo").c_str(), c.block), c.sent);
        EXPECT_EQ(client_->GetStatus(), c.sent ? linkwell::kHttpDone : linkwell::kHttpFailed);
        if (c.sent) {
            ++arrived;
            ASSERT_EQ(relay_.RequestCount(), arrived);
            EXPECT_EQ(relay_.Requests().back().fields, c.fields);
        } else {
            EXPECT_EQ(relay_.RequestCount(), arrived) << "a malformed block must send nothing";
        }
    }
}

TEST_F(HttpClientTest, FieldsArriveInOrderWithTheProtocolsUserAgent) {
    std::vector<linkwell::FormField> fields = {
        {"game", "3"},        {"UserId", "-12"},       {"Salt", ""},
        {"Salt", "again"},    {"Template", "a=b=c"},   {"Parameters", "x##UserId=1"},
        {"High", "caf\xe9\xff"}, {"Multi", "line\r\none"},
    };
    ASSERT_TRUE(client_->PostFields(Url("/echo").c_str(), fields));
    ASSERT_EQ(relay_.RequestCount(), 1u);
    relay::RecordedRequest request = relay_.Requests()[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/echo");
    EXPECT_EQ(request.userAgent, "LINKWELL/0.1 (Windows)");
    ASSERT_EQ(request.fields.size(), fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(request.fields[i].first, fields[i].name);
        EXPECT_EQ(request.fields[i].second, fields[i].value);
    }
}

TEST_F(HttpClientTest, CookieOfTheRelayComesBackFromALaterClient) {
    ASSERT_TRUE(client_->Post(Url("/Connect/Facebook/0.1/Initialize").c_str(), "game=3"));
    client_.reset();
    struct stat info {};
    ASSERT_EQ(stat("cookie.txt", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_NE(ReadFile("cookie.txt").find("relay_session"), std::string::npos);

    ClientPtr later(HttpClient::Make());
    ASSERT_TRUE(later->Post(Url("/echo").c_str(), "game=3"));
    ASSERT_EQ(relay_.RequestCount(), 2u);
    EXPECT_EQ(relay_.Requests()[0].cookie, "");
    EXPECT_EQ(relay_.Requests()[1].cookie, "relay_session=1");
}

TEST_F(HttpClientTest, ResponseIsTakenOnce) {
    ASSERT_TRUE(client_->Post(Url("/echo").c_str(), "game=3"));
    FBString reply("left as it was");
    EXPECT_TRUE(client_->GetResponse(&reply));
    EXPECT_STREQ(reply.Text(), "ok");
    EXPECT_FALSE(client_->GetResponse(&reply));
    EXPECT_STREQ(reply.Text(), "ok");

    relay_.Script("/empty", {ScriptedReply::Text("")});
    EXPECT_TRUE(client_->Post(Url("/empty").c_str(), "game=3"));
    FBString untouched("untouched");
    EXPECT_FALSE(client_->GetResponse(&untouched));
    EXPECT_STREQ(untouched.Text(), "untouched");
}

TEST_F(HttpClientTest, RepliesOutsideTheCapOrSuccessFail) {
    struct Case {
        const char* name;
        ScriptedReply reply;
        bool ok;
    };
    const Case cases[] = {
        {"exactly the cap", ScriptedReply::Text(std::string(linkwell::kReplyCap, 'a')), true},
        {"one byte over the cap", ScriptedReply::Text(std::string(linkwell::kReplyCap + 1, 'a')), false},
        {"status 500", ScriptedReply::Text("haspermissions=true", 500), false},
        {"status 404", ScriptedReply::Text("enabled=true", 404), false},
        {"status 204", ScriptedReply::Text("", 204), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        relay_.Script("/case", {c.reply});
        EXPECT_EQ(client_->Post(Url("/case").c_str(), "game=3"), c.ok);
        EXPECT_LE(client_->HeldBytes(), 2 * linkwell::kReplyCap + 2);
    }
}

TEST_F(HttpClientTest, RedirectsAreBoundedToFiveOverHttp) {
    for (int i = 1; i <= 6; ++i) {
        relay_.Script("/hop" + std::to_string(i), {ScriptedReply::Redirect("/hop" + std::to_string(i + 1))});
    }
    relay_.Script("/hop7", {ScriptedReply::Text("ok")});
    EXPECT_TRUE(client_->Post(Url("/hop2").c_str(), "game=3"));  // five redirects
    EXPECT_FALSE(client_->Post(Url("/hop1").c_str(), "game=3"));  // six
    EXPECT_EQ(client_->LastResult(), CURLE_TOO_MANY_REDIRECTS);
    for (const char* target : {"file:///etc/passwd", "ftp://127.0.0.1/x"}) {
        SCOPED_TRACE(target);
        relay_.Script("/away", {ScriptedReply::Redirect(target)});
        EXPECT_FALSE(client_->Post(Url("/away").c_str(), "game=3"));
    }
    EXPECT_FALSE(client_->Post("file:///etc/passwd", "game=3"));
}

TEST_F(HttpClientTest, EscapeAndUnescapeTables) {
    struct EscapeCase {
        std::u16string in;
        const char* out;
    };
    const EscapeCase escapes[] = {
        {u"-._~ Zz9", "%2D%2E%5F%7E%20Zz9"},
        {u"\u00e9", "%E9"},
        {u"\u0100", "%3F"},
        {u"a\u0141b", "a%3Fb"},
        {u"##=&", "%23%23%3D%26"},
        {u"", ""},
    };
    for (const EscapeCase& c : escapes) {
        FBWString in(c.in.c_str());
        FBString out("old");
        EXPECT_EQ(client_->EscapeWide(&out, &in), &out);
        EXPECT_STREQ(out.Text(), c.out);
    }
    FBString narrow("http://h/?a=1&b=\xff");
    FBString escaped;
    client_->Escape(&escaped, &narrow);
    EXPECT_STREQ(escaped.Text(), "http%3A%2F%2Fh%2F%3Fa%3D1%26b%3D%FF");

    struct UnescapeCase {
        const char* in;
        const char* out;
    };
    const UnescapeCase unescapes[] = {
        {"%41%2f", "A/"}, {"%", "%"},      {"%G1", "%G1"}, {"100%", "100%"},
        {"%4", "%4"},     {"a+b", "a+b"}, {"%e9", "\xe9"}, {"%%41", "%A"},
    };
    for (const UnescapeCase& c : unescapes) {
        FBString in(c.in);
        FBString out("old");
        EXPECT_EQ(client_->Unescape(&out, &in), &out);
        EXPECT_STREQ(out.Text(), c.out) << c.in;
    }
}

TEST_F(HttpClientTest, RefusedPortFails) {
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size), 0);
    close(probe);
    std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x";
    EXPECT_FALSE(client_->Post(url.c_str(), "game=3"));
    EXPECT_EQ(client_->GetStatus(), linkwell::kHttpFailed);
    FBString reply;
    EXPECT_FALSE(client_->GetResponse(&reply));
}

// One TLS handshake on a loopback port with a certificate made for this test.
class TlsServer {
public:
    TlsServer(const std::string& cert, const std::string& key) {
        context_ = SSL_CTX_new(TLS_server_method());
        ok_ = context_ != nullptr && SSL_CTX_use_certificate_file(context_, cert.c_str(), SSL_FILETYPE_PEM) == 1 &&
              SSL_CTX_use_PrivateKey_file(context_, key.c_str(), SSL_FILETYPE_PEM) == 1;
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(address);
        ok_ = ok_ && bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
              listen(listener_, 4) == 0 &&
              getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0;
        port_ = ntohs(address.sin_port);
        if (ok_) {
            thread_ = std::thread([this] {
                pollfd fd{listener_, POLLIN, 0};
                if (poll(&fd, 1, 20000) != 1) {
                    return;
                }
                int client = accept(listener_, nullptr, nullptr);
                SSL* ssl = SSL_new(context_);
                SSL_set_fd(ssl, client);
                handshakeStarted_ = true;
                SSL_accept(ssl);
                SSL_free(ssl);
                close(client);
            });
        }
    }
    ~TlsServer() {
        if (thread_.joinable()) {
            thread_.join();
        }
        close(listener_);
        SSL_CTX_free(context_);
    }
    bool Ok() const { return ok_; }
    uint16_t Port() const { return port_; }
    bool HandshakeStarted() const { return handshakeStarted_; }

private:
    SSL_CTX* context_ = nullptr;
    int listener_ = -1;
    uint16_t port_ = 0;
    bool ok_ = false;
    std::atomic<bool> handshakeStarted_{false};
    std::thread thread_;
};

TEST_F(HttpClientTest, SelfSignedCertificateFailsVerification) {
    int made = std::system(
        "openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 "
        "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 >/dev/null 2>&1");
    ASSERT_EQ(made, 0) << "the openssl program makes the test's certificate";
    TlsServer server("cert.pem", "key.pem");
    ASSERT_TRUE(server.Ok());
    std::string url = "https://127.0.0.1:" + std::to_string(server.Port()) + "/Connect/Facebook/0.1/Initialize";
    EXPECT_FALSE(client_->Post(url.c_str(), "game=3"));
    EXPECT_EQ(client_->GetStatus(), linkwell::kHttpFailed);
    EXPECT_EQ(client_->LastResult(), CURLE_PEER_FAILED_VERIFICATION);
}

} // namespace
