// A relay that misbehaves: oversized, truncated, slow, silent, wrong-status
// and wrong-format replies and bad redirects. Each case must end in the state
// shown, hold the reply memory under the cap, and let the connection be
// destroyed within 2 s after the case and in the middle of it. Through dlopen,
// no thread of the library survives the connection and the library unloads.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ConnectionTestSupport.h"
#include "linkwell/connection/ReplyReader.h"
#include "linkwell/http/ReplyReceiver.h"

using linkwell::FBString;
using linkwell::FBWString;
using linkwell_test::RelayPath;
using relay::ScriptedReply;
using namespace std::chrono_literals;

namespace {

enum class Stage { kInitialize, kCheck, kPost };

struct HostileCase {
    std::string name;
    Stage stage = Stage::kInitialize;
    std::vector<ScriptedReply> replies;
    int hops = 0;  // /hop1../hopN redirect onwards, /hop<N+1> answers
    bool refusedPort = false;
    long totalMs = 30000;
    bool completes = true;
    int32_t state = linkwell::eConnectFailed;
    const char* status = nullptr;  // checked when set
};

const char* pathOf(Stage stage) {
    switch (stage) {
    case Stage::kCheck: return "CheckPermissions";
    case Stage::kPost: return "PostMessage";
    default: return "Initialize";
    }
}

std::vector<HostileCase> hostileCases() {
    std::vector<HostileCase> cases;
    auto add = [&](std::string name, Stage stage, ScriptedReply reply, int32_t state, const char* status = nullptr) {
        HostileCase c;
        c.name = std::move(name);
        c.stage = stage;
        c.replies = {std::move(reply)};
        c.state = state;
        c.status = status;
        cases.push_back(std::move(c));
        return &cases.back();
    };
    add("a 1 MiB body", Stage::kInitialize, ScriptedReply::Text(std::string(1 << 20, 'x')), linkwell::eConnectFailed);
    add("ok and zero bytes to a post", Stage::kPost, ScriptedReply::Text(std::string("ok") + std::string(4000, '\0')),
        linkwell::eAllowed);
    ScriptedReply shortBody = ScriptedReply::Text("enabled=tr");
    shortBody.mode = ScriptedReply::Mode::kShortBody;
    shortBody.declaredLength = 100;
    add("Content-Length 100 and 10 bytes", Stage::kInitialize, shortBody, linkwell::eConnectFailed,
        linkwell::kFailedRequest);
    ScriptedReply drip = ScriptedReply::Text("enabled=true");
    drip.mode = ScriptedReply::Mode::kDrip;
    drip.dripInterval = 1000ms;
    add("one byte a second", Stage::kInitialize, drip, linkwell::eConnectFailed, linkwell::kFailedRequest)->totalMs =
        2000;
    ScriptedReply silent = ScriptedReply::Text("enabled=true");
    silent.delay = 30000ms;
    add("held open 30 s", Stage::kInitialize, silent, linkwell::eConnecting)->completes = false;
    ScriptedReply closing;
    closing.mode = ScriptedReply::Mode::kCloseWithoutReply;
    add("close without a reply", Stage::kInitialize, closing, linkwell::eConnectFailed, linkwell::kFailedRequest);
    add("a refused port", Stage::kInitialize, ScriptedReply::Text("enabled=true"), linkwell::eConnectFailed,
        linkwell::kFailedRequest)
        ->refusedPort = true;
    add("status 500 with haspermissions=true", Stage::kCheck, ScriptedReply::Text("haspermissions=true", 500),
        linkwell::eConnectFailed, linkwell::kFailedRequest);
    add("an empty body", Stage::kInitialize, ScriptedReply::Text(""), linkwell::eConnectFailed,
        linkwell::kFailedRequest);
    add("a JSON body", Stage::kInitialize, ScriptedReply::Text("{\"enabled\": true}"), linkwell::eConnectFailed,
        linkwell::kFailedRequest);
    add("an XML body", Stage::kCheck, ScriptedReply::Text("<reply><haspermissions>true</haspermissions></reply>"),
        linkwell::eConnectFailed, linkwell::kFailedRequest);
    add("10000 semicolons", Stage::kInitialize, ScriptedReply::Text(std::string(10000, ';')), linkwell::eConnectFailed,
        linkwell::kFailedRequest);
    add("a JSON body to a post", Stage::kPost, ScriptedReply::Text("{\"ok\": true}"), linkwell::eConnectFailed,
        linkwell::kFailedRequest);
    add("an error page holding enabled=true", Stage::kInitialize,
        ScriptedReply::Text("error;navigateurl=http://x/?enabled=true"), linkwell::eConnectFailed,
        "http://x/?enabled=true");
    add("a login address with a case-sensitive token", Stage::kCheck,
        ScriptedReply::Text("haspermissions=false;navigateurl=http://h/Login?Token=AbC"), linkwell::eNotAllowed,
        "http://h/Login?Token=AbC");
    add("six redirects", Stage::kInitialize, ScriptedReply::Redirect("/hop1"), linkwell::eConnectFailed,
        linkwell::kFailedRequest)
        ->hops = 5;
    add("five redirects", Stage::kInitialize, ScriptedReply::Redirect("/hop1"), linkwell::eConnected)->hops = 4;
    add("a redirect to file:", Stage::kInitialize, ScriptedReply::Redirect("file:///etc/hostname"),
        linkwell::eConnectFailed, linkwell::kFailedRequest);
    add("a redirect to ftp:", Stage::kInitialize, ScriptedReply::Redirect("ftp://127.0.0.1:1/x"),
        linkwell::eConnectFailed, linkwell::kFailedRequest);
    return cases;
}

std::string refusedBaseUrl() {
    // A port that was free a moment ago and has no listener now.
    relay::RelayServer probe;
    return probe.BaseUrl();
}

class HostileRelayTest : public linkwell_test::TempFolderTest {
protected:
    void Prepare(relay::RelayServer& relay, const HostileCase& c) {
        relay.Script(RelayPath(pathOf(c.stage)), c.replies);
        for (int i = 1; i <= c.hops; ++i) {
            relay.Script("/hop" + std::to_string(i), {ScriptedReply::Redirect("/hop" + std::to_string(i + 1))});
        }
        relay.Script("/hop" + std::to_string(c.hops + 1), {ScriptedReply::Text("enabled=true")});
        if (c.stage == Stage::kPost) {
            linkwell::HttpClient* helper = linkwell::HttpClient::Make();
            EXPECT_TRUE(helper->Post((relay.BaseUrl() + RelayPath("SetSalt")).c_str(), "game=3##UserId=77##Salt=s"));
            helper->Destroy(linkwell::kDestroyFree);
        }
    }

    static int32_t StateOf(linkwell::IConnection* connection, std::string* status = nullptr) {
        FBString text;
        int32_t state = connection->GetState(&text);
        if (status != nullptr) {
            *status = text.Text();
        }
        return state;
    }
    static bool WaitFor(linkwell::IConnection* connection, int32_t state) {
        return linkwell_test::Eventually([&] { return StateOf(connection) == state; }, 15000ms);
    }

    // Runs the case's stage up to the operation under test.
    static void Start(linkwell::IConnection* connection, const HostileCase& c) {
        if (c.stage != Stage::kInitialize) {
            ASSERT_TRUE(connection->Initialize(3));
            ASSERT_TRUE(WaitFor(connection, linkwell::eConnected));
        }
        if (c.stage == Stage::kPost) {
            ASSERT_TRUE(connection->CheckPermissions(77, "s"));
            ASSERT_TRUE(WaitFor(connection, linkwell::eAllowed));
            ASSERT_TRUE(connection->PostMessage(1, FBWString(u"text")));
        } else if (c.stage == Stage::kCheck) {
            ASSERT_TRUE(connection->CheckPermissions(77, "s"));
        } else {
            ASSERT_TRUE(connection->Initialize(3));
        }
    }

    // The request under test has reached the relay (or, on a refused port, was tried).
    static void WaitUntilUnderWay(relay::RelayServer& relay, const HostileCase& c) {
        if (c.refusedPort) {
            return;
        }
        std::string path = RelayPath(pathOf(c.stage));
        ASSERT_TRUE(linkwell_test::Eventually([&] {
            for (const relay::RecordedRequest& request : relay.Requests()) {
                if (request.path == path) {
                    return true;
                }
            }
            return false;
        }));
    }

    static double SecondsToDestroy(linkwell::IConnection* connection) {
        auto start = std::chrono::steady_clock::now();
        connection->Destroy(linkwell::kDestroyFree);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

TEST_F(HostileRelayTest, EachCaseEndsInItsStateAndDestroysPromptly) {
    for (const HostileCase& c : hostileCases()) {
        SCOPED_TRACE(c.name);
        relay::RelayServer relay;
        ASSERT_TRUE(relay.Running());
        Prepare(relay, c);
        linkwell::HttpClient* client = linkwell::HttpClient::Make();
        client->SetLimits(c.totalMs < 10000 ? c.totalMs : 10000, c.totalMs);
        linkwell::ConnectionParams params;
        params.version.Assign("0.1");
        params.serverUrl.Assign(c.refusedPort ? refusedBaseUrl().c_str() : relay.BaseUrl().c_str());
        linkwell::Connection* connection = linkwell::Connection::Make(client, params);
        ASSERT_NE(connection, nullptr);
        Start(connection, c);
        if (c.completes) {
            uint64_t transfers = c.stage == Stage::kInitialize ? 1 : c.stage == Stage::kCheck ? 2 : 3;
            EXPECT_TRUE(connection->WaitForTransfers(transfers, 15000ms));
            std::string status;
            EXPECT_EQ(StateOf(connection, &status), c.state);
            if (c.status != nullptr) {
                EXPECT_EQ(status, c.status);
            }
        } else {
            WaitUntilUnderWay(relay, c);
            EXPECT_EQ(StateOf(connection), c.state);
        }
        EXPECT_LE(client->HeldBytes(), 2 * (linkwell::kReplyCap + 1));
        EXPECT_LT(SecondsToDestroy(connection), 2.0);
    }
}

TEST_F(HostileRelayTest, DestroyedInTheMiddleOfEachCase) {
    for (const HostileCase& c : hostileCases()) {
        SCOPED_TRACE(c.name);
        relay::RelayServer relay;
        Prepare(relay, c);
        linkwell::ConnectionParams params;
        params.version.Assign("0.1");
        params.serverUrl.Assign(c.refusedPort ? refusedBaseUrl().c_str() : relay.BaseUrl().c_str());
        linkwell::Connection* connection = linkwell::Connection::Make(linkwell::HttpClient::Make(), params);
        ASSERT_NE(connection, nullptr);
        Start(connection, c);
        WaitUntilUnderWay(relay, c);
        int32_t state = StateOf(connection);
        EXPECT_GE(state, linkwell::eNotConected);
        EXPECT_LE(state, linkwell::ePosting);
        EXPECT_LT(SecondsToDestroy(connection), 2.0);
    }
}

TEST_F(HostileRelayTest, LoadedLibraryLeavesNoThreadAndUnloads) {
    {
        linkwell_test::LoadedLibrary library;
        ASSERT_TRUE(library.Loaded());
        linkwell::IClientFactory* factory = library.MakeFactory();
        ASSERT_NE(factory, nullptr);
        for (const HostileCase& c : hostileCases()) {
            SCOPED_TRACE(c.name);
            relay::RelayServer relay;
            Prepare(relay, c);
            std::string base = c.refusedPort ? refusedBaseUrl() : relay.BaseUrl();
            int threadsBefore = linkwell_test::ThreadCount();
            linkwell::ConnectionParams params;
            params.version.Assign("0.1");
            params.serverUrl.Assign(base.c_str());
            linkwell::IHttpClient* client = factory->CreateHttpClient();
            ASSERT_NE(client, nullptr);
            linkwell::IConnection* connection = factory->CreateConnection(client, &params);
            ASSERT_NE(connection, nullptr);
            Start(connection, c);
            WaitUntilUnderWay(relay, c);
            EXPECT_LT(SecondsToDestroy(connection), 2.0);
            EXPECT_EQ(linkwell_test::ThreadCount(), threadsBefore);
        }
        factory->Destroy(linkwell::kDestroyFree);
        EXPECT_TRUE(library.Close());
    }
    EXPECT_EQ(dlopen(LINKWELL_LIBRARY, RTLD_NOW | RTLD_NOLOAD), nullptr) << "liblinkwell.so is still loaded";
}

} // namespace
