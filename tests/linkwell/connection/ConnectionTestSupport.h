// A connection of the static library wired to a relay stand-in, with helpers
// that bring it into the states the tests start from.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "../LinkwellTestSupport.h"
#include "RelayServer.h"
#include "linkwell/connection/Connection.h"
#include "linkwell/http/HttpClient.h"

namespace linkwell_test {

constexpr std::chrono::milliseconds kLimit{15000};
constexpr const char* kPrefix = "/Connect/Facebook/0.1/";

inline std::string RelayPath(const char* name) {
    return std::string(kPrefix) + name;
}

class ConnectionTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        ASSERT_TRUE(relay_.Running());
    }
    void TearDown() override {
        if (connection_ != nullptr) {
            connection_->Destroy(linkwell::kDestroyFree);
            connection_ = nullptr;
        }
        TempFolderTest::TearDown();
    }

    // limits: the client's connect and whole-transfer time-outs.
    linkwell::Connection* Connect(const std::string& serverUrl, long totalMs = 30000) {
        linkwell::HttpClient* client = linkwell::HttpClient::Make();
        client->SetLimits(totalMs < 10000 ? totalMs : 10000, totalMs);
        client_ = client;
        linkwell::ConnectionParams params;
        params.version.Assign("0.1");
        params.serverUrl.Assign(serverUrl.c_str());
        params.logToFile = 1;
        connection_ = linkwell::Connection::Make(client, params);
        return connection_;
    }
    linkwell::Connection* Connect() { return Connect(relay_.BaseUrl()); }

    bool WaitState(int32_t state) {
        return connection_->WaitForState([state](int32_t s) { return s == state; }, kLimit);
    }
    int32_t State(std::string* status = nullptr) {
        linkwell::FBString text("previous");
        int32_t state = connection_->GetState(&text);
        if (status != nullptr) {
            *status = text.Text();
        }
        return state;
    }
    // Binds (userId, salt) at the relay without the connection.
    void Bind(int64_t userId, const char* salt) {
        linkwell::HttpClient* helper = linkwell::HttpClient::Make();
        std::string block = "game=3##UserId=" + std::to_string(userId) + "##Salt=" + salt;
        EXPECT_TRUE(helper->Post((relay_.BaseUrl() + RelayPath("SetSalt")).c_str(), block.c_str()));
        helper->Destroy(linkwell::kDestroyFree);
    }
    void ReachConnected() {
        ASSERT_TRUE(connection_->Initialize(3));
        ASSERT_TRUE(WaitState(linkwell::eConnected));
    }
    void ReachAllowed() {
        Bind(77, "s");
        ReachConnected();
        ASSERT_TRUE(connection_->CheckPermissions(77, "s"));
        ASSERT_TRUE(WaitState(linkwell::eAllowed));
    }
    int LogLinesWith(const std::string& text) {
        int count = 0;
        for (const std::string& line : ReadLines("linkwelllog.txt")) {
            count += line.find(text) != std::string::npos ? 1 : 0;
        }
        return count;
    }

    relay::RelayServer relay_;
    linkwell::Connection* connection_ = nullptr;
    linkwell::HttpClient* client_ = nullptr;  // owned by connection_
};

} // namespace linkwell_test
