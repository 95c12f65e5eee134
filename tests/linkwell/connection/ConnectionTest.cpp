// The connection's state machine against the relay stand-in, over real
// libcurl on loopback: the game's paths, retries of a post, replaced
// requests, field contents, refused operations and the reply table.
#include <gtest/gtest.h>

#include <string>

#include "ConnectionTestSupport.h"

using linkwell::FBString;
using linkwell::FBWString;
using linkwell_test::RelayPath;
using relay::ScriptedReply;
using namespace std::chrono_literals;

namespace {

class ConnectionStateTest : public linkwell_test::ConnectionTest {};

TEST_F(ConnectionStateTest, KnownPlayerConnectsChecksAndPosts) {
    Bind(77, "s");
    ASSERT_NE(Connect(), nullptr);
    EXPECT_EQ(State(), linkwell::eNotConected);
    ASSERT_TRUE(connection_->Initialize(3));
    ASSERT_TRUE(WaitState(linkwell::eConnected));
    ASSERT_TRUE(connection_->CheckPermissions(77, "s"));
    ASSERT_TRUE(WaitState(linkwell::eAllowed));
    ASSERT_TRUE(connection_->PostMessage(12, FBWString(u"Found the key,sku:5")));
    ASSERT_TRUE(connection_->WaitForTransfers(3, linkwell_test::kLimit));
    ASSERT_TRUE(WaitState(linkwell::eAllowed));

    std::vector<relay::RecordedRequest> requests = relay_.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[1].path, RelayPath("Initialize"));
    EXPECT_EQ(requests[2].path, RelayPath("CheckPermissions"));
    EXPECT_EQ(requests[3].path, RelayPath("PostMessage"));
    using Fields = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(requests[1].fields, (Fields{{"game", "3"}}));
    EXPECT_EQ(requests[2].fields, (Fields{{"game", "3"}, {"UserId", "77"}, {"Salt", "s"}}));
    EXPECT_EQ(requests[3].fields, (Fields{{"game", "3"},
                                          {"UserId", "77"},
                                          {"Salt", "s"},
                                          {"Template", "12"},
                                          {"Parameters", "Found the key,sku:5"}}));
    EXPECT_EQ(relay_.PostedMessages(), std::vector<std::string>{"Found the key,sku:5"});
    // The states in the order they were taken.
    std::vector<std::string> changes;
    for (const std::string& line : ReadLines("linkwelllog.txt")) {
        std::size_t at = line.find("Set st");
        if (at != std::string::npos) {
            changes.push_back(line.substr(at));
        }
    }
    const std::vector<std::string> expected = {
        "Set state eConnecting",   "Set status eConnected, ", "Set state eCheckingPerm",
        "Set status eAllowed, ",   "Set state ePosting",      "Set status eAllowed, ",
    };
    EXPECT_EQ(changes, expected);
}

TEST_F(ConnectionStateTest, UnknownPlayerLogsInAndIsAllowed) {
    ASSERT_NE(Connect(), nullptr);
    ReachConnected();
    ASSERT_TRUE(connection_->CheckPermissions(0, "salt1"));
    ASSERT_TRUE(WaitState(linkwell::eNotAllowed));
    std::string status;
    EXPECT_EQ(State(&status), linkwell::eNotAllowed);
    EXPECT_EQ(status, relay_.BaseUrl() + "/login");

    int64_t userId = 0;
    EXPECT_TRUE(connection_->ExtractUserId(FBString("/done?userid=4242&x=1"), &userId));
    EXPECT_EQ(userId, 4242);
    ASSERT_TRUE(connection_->SetSalt(userId, "salt1"));
    ASSERT_TRUE(WaitState(linkwell::eConnected));
    EXPECT_EQ(State(&status), linkwell::eConnected);
    EXPECT_EQ(status, "");
    ASSERT_TRUE(connection_->CheckPermissions(userId, "salt1"));
    ASSERT_TRUE(WaitState(linkwell::eAllowed));
}

TEST_F(ConnectionStateTest, ErrorRepliesToAPostAreSentAgainASecondApart) {
    struct Case {
        const char* name;
        std::vector<ScriptedReply> replies;
        int32_t state;
        std::size_t sends;
    };
    const Case cases[] = {
        {"three errors",
         {ScriptedReply::Text("error"), ScriptedReply::Text("error"), ScriptedReply::Text("error")},
         linkwell::eConnectFailed, 3},
        {"two errors then ok",
         {ScriptedReply::Text("error"), ScriptedReply::Text("ERROR;navigateurl=x"), ScriptedReply::Text("ok")},
         linkwell::eAllowed, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        relay_.ClearScripts();
        ASSERT_NE(Connect(), nullptr);
        ReachAllowed();
        relay_.Script(RelayPath("PostMessage"), c.replies);
        std::size_t before = relay_.RequestCount();
        ASSERT_TRUE(connection_->PostMessage(1, FBWString(u"text")));
        ASSERT_TRUE(connection_->WaitForTransfers(2 + c.sends, linkwell_test::kLimit));
        EXPECT_EQ(State(), c.state);
        std::vector<relay::RecordedRequest> requests = relay_.Requests();
        ASSERT_EQ(requests.size(), before + c.sends);
        for (std::size_t i = before + 1; i < requests.size(); ++i) {
            EXPECT_EQ(requests[i].fields, requests[before].fields);
            double gap = std::chrono::duration<double>(requests[i].arrival - requests[i - 1].arrival).count();
            EXPECT_NEAR(gap, 1.0, 0.3);
        }
        EXPECT_EQ(LogLinesWith("Error returned in ePosting, retries so far: 1"), 1);
        connection_->Destroy(linkwell::kDestroyFree);
        connection_ = nullptr;
        std::filesystem::remove("linkwelllog.txt");
    }
}

TEST_F(ConnectionStateTest, DestroyEndsTheRetryPause) {
    ASSERT_NE(Connect(), nullptr);
    ReachAllowed();
    relay_.Script(RelayPath("PostMessage"), {ScriptedReply::Text("error")});
    ASSERT_TRUE(connection_->PostMessage(1, FBWString(u"text")));
    ASSERT_TRUE(connection_->WaitForTransfers(3, linkwell_test::kLimit));
    EXPECT_EQ(State(), linkwell::ePosting);
    auto start = std::chrono::steady_clock::now();
    connection_->Destroy(linkwell::kDestroyFree);
    connection_ = nullptr;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms) << "the pause waits for nobody";
    EXPECT_EQ(relay_.RequestCount(), 4u);
}

TEST_F(ConnectionStateTest, OnlyTheLastOfQueuedRequestsIsSent) {
    ASSERT_NE(Connect(), nullptr);
    ScriptedReply held = ScriptedReply::Text("enabled=true");
    held.mode = ScriptedReply::Mode::kHold;
    relay_.Script(RelayPath("Initialize"), {held});
    ASSERT_TRUE(connection_->Initialize(3));
    ASSERT_TRUE(relay_.WaitForRequests(1, linkwell_test::kLimit));
    ASSERT_TRUE(connection_->SetSalt(1, "first"));
    ASSERT_TRUE(connection_->SetSalt(2, "second"));
    relay_.ReleaseHeld();
    ASSERT_TRUE(connection_->WaitForTransfers(2, linkwell_test::kLimit));
    ASSERT_TRUE(WaitState(linkwell::eConnected));
    std::vector<relay::RecordedRequest> requests = relay_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].path, RelayPath("SetSalt"));
    EXPECT_EQ(requests[1].Field("UserId"), "2");
    EXPECT_EQ(requests[1].Field("Salt"), "second");
}

TEST_F(ConnectionStateTest, ReplyToAReplacedRequestIsDropped) {
    ASSERT_NE(Connect(), nullptr);
    ReachConnected();
    ScriptedReply held = ScriptedReply::Text("error");
    held.mode = ScriptedReply::Mode::kHold;
    relay_.Script(RelayPath("CheckPermissions"), {held});
    ASSERT_TRUE(connection_->CheckPermissions(5, "x"));
    ASSERT_TRUE(relay_.WaitForRequests(2, linkwell_test::kLimit));
    connection_->Disconnect();
    EXPECT_EQ(State(), linkwell::eNotConected);
    ASSERT_TRUE(connection_->Initialize(3));
    relay_.ReleaseHeld();
    ASSERT_TRUE(connection_->WaitForTransfers(3, linkwell_test::kLimit));
    ASSERT_TRUE(WaitState(linkwell::eConnected));
    EXPECT_EQ(LogLinesWith("eConnectFailed"), 0);
    EXPECT_EQ(LogLinesWith("dropped"), 1);
    EXPECT_EQ(LogLinesWith("Disconnect called"), 1);

    // A reply after Disconnect alone leaves the state at 0.
    relay_.Script(RelayPath("CheckPermissions"), {ScriptedReply::Text("haspermissions=true")});
    ASSERT_TRUE(connection_->CheckPermissions(5, "x"));
    connection_->Disconnect();
    ASSERT_TRUE(connection_->WaitForTransfers(4, linkwell_test::kLimit));
    EXPECT_EQ(State(), linkwell::eNotConected);
}

TEST_F(ConnectionStateTest, MessageTextStaysInItsField) {
    ASSERT_NE(Connect(), nullptr);
    ReachAllowed();
    const char16_t withSeparator[] = u"a##UserId=1=b";
    const char16_t withWideUnit[] = {u'x', 0x0100, u'y', 0x00E9, 0xD83D, 0xDE00, 0};
    ASSERT_TRUE(connection_->PostMessage(1, FBWString(withSeparator)));
    ASSERT_TRUE(connection_->WaitForTransfers(3, linkwell_test::kLimit));
    ASSERT_TRUE(connection_->PostMessage(2, FBWString(withWideUnit)));
    ASSERT_TRUE(connection_->WaitForTransfers(4, linkwell_test::kLimit));
    std::vector<relay::RecordedRequest> requests = relay_.Requests();
    ASSERT_EQ(requests.size(), 5u);
    for (std::size_t i : {3u, 4u}) {
        EXPECT_EQ(requests[i].fields.size(), 5u);
        EXPECT_EQ(requests[i].Field("UserId"), "77");
    }
    EXPECT_EQ(requests[3].Field("Parameters"), "a##UserId=1=b");
    EXPECT_EQ(requests[4].Field("Parameters"), "x?y\xe9??");
}

TEST_F(ConnectionStateTest, OversizedParametersAreRefusedNotCut) {
    ASSERT_NE(Connect(), nullptr);
    ReachAllowed();
    std::size_t before = relay_.RequestCount();
    std::u16string longText(3000, u'a');
    EXPECT_FALSE(connection_->PostMessage(1, FBWString(longText.c_str())));
    EXPECT_EQ(State(), linkwell::eAllowed);
    // Just inside the 2048-byte block is still sent.
    std::string fixed = "game=3##UserId=77##Salt=s##Template=1##Parameters=";
    std::u16string fitting(2047 - fixed.size(), u'b');
    EXPECT_FALSE(connection_->PostMessage(1, FBWString((fitting + u"b").c_str())));
    ASSERT_TRUE(connection_->PostMessage(1, FBWString(fitting.c_str())));
    ASSERT_TRUE(connection_->WaitForTransfers(3, linkwell_test::kLimit));
    EXPECT_EQ(relay_.RequestCount(), before + 1);
    EXPECT_EQ(relay_.Requests().back().Field("Parameters").size(), fitting.size());

    std::string longSalt(600, 's');
    EXPECT_FALSE(connection_->SetSalt(77, longSalt.c_str()));
    EXPECT_EQ(State(), linkwell::eAllowed);
    EXPECT_EQ(LogLinesWith("request refused"), 3);
}

TEST_F(ConnectionStateTest, ReplyWordsIgnoreCaseOnly) {
    struct Case {
        const char* name;
        const char* path;
        const char* reply;
        int32_t state;
    };
    const Case cases[] = {
        {"OK while posting", "PostMessage", "OK", linkwell::eAllowed},
        {"enabled=TRUE", "Initialize", "enabled=TRUE", linkwell::eConnected},
        {"enabled=1", "Initialize", "enabled=1", linkwell::eConnectFailed},
        {"enabled=false", "Initialize", " Enabled = False ", linkwell::eConnectRejected},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(Connect(), nullptr);
        relay_.ClearScripts();
        uint64_t transfers = 1;
        if (std::string(c.path) == "PostMessage") {
            ReachAllowed();
            transfers = 3;
        }
        relay_.Script(RelayPath(c.path), {ScriptedReply::Text(c.reply)});
        if (std::string(c.path) == "PostMessage") {
            ASSERT_TRUE(connection_->PostMessage(1, FBWString(u"t")));
        } else {
            ASSERT_TRUE(connection_->Initialize(3));
        }
        ASSERT_TRUE(connection_->WaitForTransfers(transfers, linkwell_test::kLimit));
        EXPECT_EQ(State(), c.state);
        connection_->Destroy(linkwell::kDestroyFree);
        connection_ = nullptr;
    }
}

TEST_F(ConnectionStateTest, InitializeIsRefusedOutsideIdleAndNotAllowed) {
    ASSERT_NE(Connect(), nullptr);
    ReachConnected();
    EXPECT_FALSE(connection_->Initialize(3));
    EXPECT_EQ(State(), linkwell::eConnected);
    EXPECT_EQ(LogLinesWith("Unexpected operation for current state: eNotConected needed, eConnected current"), 1);
    EXPECT_EQ(LogLinesWith("Unexpected operation for current state: eNotAllowed needed, eConnected current"), 1);
    EXPECT_FALSE(connection_->PostMessage(1, FBWString(u"t")));
    EXPECT_EQ(State(), linkwell::eConnected);

    ASSERT_TRUE(connection_->CheckPermissions(0, nullptr));
    ASSERT_TRUE(WaitState(linkwell::eNotAllowed));
    EXPECT_EQ(relay_.Requests().back().Field("Salt"), "");
    std::filesystem::remove("linkwelllog.txt");
    relay_.Script(RelayPath("Initialize"), {ScriptedReply::Text("enabled=false")});
    ASSERT_TRUE(connection_->Initialize(3));
    EXPECT_EQ(LogLinesWith("Unexpected operation"), 1);
    EXPECT_EQ(LogLinesWith("Set state eConnecting"), 1);
    ASSERT_TRUE(WaitState(linkwell::eConnectRejected));
}

TEST(ConnectionNamesTest, StateNames) {
    const char* const names[] = {"eNotConected", "eConnecting", "eConnectFailed", "eConnectRejected", "eConnected",
                                 "eCheckingPerm", "eAllowed",   "eNotAllowed",    "eSettingSalt",     "ePosting"};
    for (int32_t i = 0; i < 10; ++i) {
        EXPECT_STREQ(linkwell::Connection::NameOf(i), names[i]);
    }
    for (int32_t invalid : {10, -1, 1000, INT32_MIN}) {
        EXPECT_STREQ(linkwell::Connection::NameOf(invalid), "eInvalid");
    }
}

TEST_F(ConnectionStateTest, ExtractUserIdTable) {
    ASSERT_NE(Connect(), nullptr);
    struct Case {
        const char* text;
        bool found;
        int64_t userId;
    };
    const Case cases[] = {
        {"userid=12345&x=1", true, 12345},
        {"USERID=5", true, 5},
        {"%75serid=7", true, 7},
        {"http://relay/done?x=1&userid=4242#_=_", true, 4242},
        {"/done?userid=%34%32", true, 42},
        {"userid=9223372036854775807", true, INT64_MAX},
        {"foo_userid=5", false, -9},
        {"userid=99999999999999999999", false, -9},
        {"userid=9223372036854775808", false, -9},
        {"userid=", false, -9},
        {"userid=12a", false, -9},
        {"userid=-5", false, -9},
        {"x=1%26userid%3D5", false, -9},
        {"/done?x=1", false, -9},
        {"", false, -9},
    };
    for (const Case& c : cases) {
        int64_t userId = -9;
        EXPECT_EQ(connection_->ExtractUserId(linkwell::FBString(c.text), &userId), c.found) << c.text;
        EXPECT_EQ(userId, c.userId) << c.text;
    }
}

} // namespace
