// The relay stand-in itself: raw HTTP details the library never sends
// (Expect: 100-continue, a multipart body written by hand), prompt shutdown in
// every waiting state, and the relay_standin program's line protocol.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "../LinkwellTestSupport.h"
#include "RelayServer.h"
#include "linkwell/http/HttpClient.h"

using relay::ScriptedReply;
using namespace std::chrono_literals;

extern char** environ;

namespace {

int connectTo(uint16_t port) {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        close(s);
        return -1;
    }
    return s;
}

// Reads until the peer closes or `until` appears (10 s at most).
std::string readFrom(int fd, const std::string& until = std::string()) {
    std::string text;
    auto end = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < end) {
        if (!until.empty() && text.find(until) != std::string::npos) {
            break;
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) {
            continue;
        }
        char chunk[4096];
        ssize_t n = read(fd, chunk, sizeof(chunk));
        if (n <= 0) {
            break;
        }
        text.append(chunk, static_cast<std::size_t>(n));
    }
    return text;
}

const char kBody[] =
    "--XyZ\r\nContent-Disposition: form-data; name=\"game\"\r\n\r\n3\r\n"
    "--XyZ\r\nContent-Disposition: form-data; name=\"Salt\"\r\n\r\n\r\n"
    "--XyZ\r\nContent-Disposition: form-data; name=\"Salt\"\r\n\r\na=b##c\xc3\xa9\r\n"
    "--XyZ--\r\n";

TEST(RelayStandInTest, ExpectContinueAndHandWrittenMultipart) {
    relay::RelayServer relay;
    int s = connectTo(relay.Port());
    ASSERT_GE(s, 0);
    std::string body(kBody);
    std::string head = "POST /Connect/Facebook/0.1/Initialize?x=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                       "User-Agent: hand\r\nCookie: relay_session=9\r\nExpect: 100-continue\r\n"
                       "Content-Type: multipart/form-data; boundary=XyZ\r\nContent-Length: " +
                       std::to_string(body.size()) + "\r\n\r\n";
    ASSERT_EQ(write(s, head.data(), head.size()), static_cast<ssize_t>(head.size()));
    EXPECT_EQ(readFrom(s, "\r\n\r\n"), "HTTP/1.1 100 Continue\r\n\r\n");
    ASSERT_EQ(write(s, body.data(), body.size()), static_cast<ssize_t>(body.size()));
    std::string reply = readFrom(s);
    close(s);
    EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << reply;
    EXPECT_NE(reply.find("Connection: close\r\n"), std::string::npos);
    EXPECT_NE(reply.find("Set-Cookie: relay_session=1; Path=/\r\n"), std::string::npos);
    EXPECT_EQ(reply.substr(reply.size() - 12), "enabled=true");

    ASSERT_EQ(relay.RequestCount(), 1u);
    relay::RecordedRequest request = relay.Requests()[0];
    EXPECT_EQ(request.path, "/Connect/Facebook/0.1/Initialize");
    EXPECT_EQ(request.target, "/Connect/Facebook/0.1/Initialize?x=1");
    EXPECT_EQ(request.userAgent, "hand");
    EXPECT_EQ(request.cookie, "relay_session=9");
    using Fields = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(request.fields, (Fields{{"game", "3"}, {"Salt", ""}, {"Salt", "a=b##c\xc3\xa9"}}));
}

TEST(RelayStandInTest, LoginPagesAndDisabledGame) {
    relay::RelayServer relay;
    relay.DisableGame(3);
    relay.SetLoginUserId(99);
    struct Case {
        std::string request;
        std::string expected;
    };
    const Case cases[] = {
        {"GET /login HTTP/1.1\r\nHost: x\r\n\r\n", "Location: /done?userid=99\r\n"},
        {"GET /done?userid=99 HTTP/1.1\r\nHost: x\r\n\r\n", "window.close()"},
        {"GET /elsewhere HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 404"},
        {"POST /Connect/Facebook/0.1/Initialize HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=XyZ\r\n"
         "Content-Length: " + std::to_string(sizeof(kBody) - 1) + "\r\n\r\n" + kBody,
         "enabled=false"},
    };
    for (const Case& c : cases) {
        int s = connectTo(relay.Port());
        ASSERT_GE(s, 0);
        ASSERT_EQ(write(s, c.request.data(), c.request.size()), static_cast<ssize_t>(c.request.size()));
        EXPECT_NE(readFrom(s).find(c.expected), std::string::npos) << c.request;
        close(s);
    }
}

TEST(RelayStandInTest, StopsPromptlyWhileWaiting) {
    ScriptedReply held = ScriptedReply::Text("x");
    held.mode = ScriptedReply::Mode::kHold;
    ScriptedReply drip = ScriptedReply::Text("slow reply");
    drip.mode = ScriptedReply::Mode::kDrip;
    ScriptedReply delayed = ScriptedReply::Text("late");
    delayed.delay = 30000ms;
    struct Case {
        const char* name;
        std::vector<ScriptedReply> replies;
        const char* request;  // nullptr: a client that connects and says nothing
    };
    const Case cases[] = {
        {"idle", {}, ""},
        {"silent client", {}, nullptr},
        {"half a request", {}, "POST /x HTTP/1.1\r\nContent-Length: 50\r\n\r\nabc"},
        {"held", {held}, "GET /x HTTP/1.1\r\n\r\n"},
        {"dripping", {drip}, "GET /x HTTP/1.1\r\n\r\n"},
        {"delayed", {delayed}, "GET /x HTTP/1.1\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto relay = std::make_unique<relay::RelayServer>();
        relay->Script("/x", c.replies);
        int s = -1;
        if (c.request == nullptr || c.request[0] != 0) {
            s = connectTo(relay->Port());
            if (c.request != nullptr) {
                ASSERT_GT(write(s, c.request, std::strlen(c.request)), 0);
            }
            if (!c.replies.empty()) {
                ASSERT_TRUE(relay->WaitForRequests(1, 10000ms));
            }
        }
        auto start = std::chrono::steady_clock::now();
        relay.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
        if (s >= 0) {
            close(s);
        }
    }
}

class RelayProgramTest : public linkwell_test::TempFolderTest {};

TEST_F(RelayProgramTest, PrintsPortLogsRequestsAndEndsWithItsInput) {
    int input[2];
    int output[2];
    ASSERT_EQ(pipe2(input, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(output, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    char program[] = RELAY_STANDIN_PROGRAM;
    char option[] = "--login-userid";
    char value[] = "31";
    char* argv[] = {program, option, value, nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program, &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    close(output[1]);

    std::string first = readFrom(output[0], "\n");
    int port = std::atoi(first.c_str());
    ASSERT_GT(port, 0) << first;
    ASSERT_EQ(first, std::to_string(port) + "\n");

    linkwell::HttpClient* client = linkwell::HttpClient::Make();
    std::string base = "http://127.0.0.1:" + std::to_string(port);
    EXPECT_TRUE(client->Post((base + "/Connect/Facebook/0.1/SetSalt").c_str(), "game=3##UserId=31##Salt=q"));
    linkwell::FBString reply;
    EXPECT_TRUE(client->GetResponse(&reply));
    EXPECT_STREQ(reply.Text(), "ok");
    client->Destroy(linkwell::kDestroyFree);
    EXPECT_EQ(readFrom(output[0], "\n"), "POST /Connect/Facebook/0.1/SetSalt game=3 UserId=31 Salt=q\n");

    close(input[1]);
    int status = -1;
    bool ended = linkwell_test::Eventually([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10000ms);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    EXPECT_TRUE(ended);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    close(output[0]);
}

} // namespace
