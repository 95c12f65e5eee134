// The library as the game loads it: one exported symbol, the version check of
// CreateConnection with its log lines, ownership of the client on failure, and
// objects that outlive the factory.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../LinkwellTestSupport.h"
#include "RelayServer.h"

using linkwell::FBString;
using namespace std::chrono_literals;

namespace {

class FactoryTest : public linkwell_test::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        ASSERT_TRUE(library_.Loaded());
        factory_ = library_.MakeFactory();
        ASSERT_NE(factory_, nullptr);
    }
    void TearDown() override {
        if (factory_ != nullptr) {
            factory_->Destroy(linkwell::kDestroyFree);
        }
        TempFolderTest::TearDown();
    }
    static linkwell::ConnectionParams Params(const char* version, const std::string& url, uint8_t toFile) {
        linkwell::ConnectionParams params;
        params.version.Assign(version);
        params.serverUrl.Assign(url.c_str());
        params.logToFile = toFile;
        return params;
    }

    linkwell_test::LoadedLibrary library_;
    linkwell::IClientFactory* factory_ = nullptr;
};

TEST_F(FactoryTest, OnlyTheFactoryIsExported) {
    std::FILE* pipe = popen("nm -D --defined-only " LINKWELL_LIBRARY, "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> names;
    char line[1024];
    while (std::fgets(line, sizeof(line), pipe) != nullptr) {
        std::istringstream fields(line);
        std::string address, kind, name;
        fields >> address >> kind >> name;
        names.push_back(name);
    }
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_EQ(names, std::vector<std::string>{"MakeKilnFactory"});
}

TEST_F(FactoryTest, VersionTable) {
    struct Case {
        const char* version;
        bool made;
        const char* line;
    };
    const Case cases[] = {
        {"0.1", true, nullptr},
        {"0.2", false, "Wrong version: requested 0.2, dll is  0.1"},
        {"0.1 ", false, "Wrong version: requested 0.1 , dll is  0.1"},
        {"", false, "Wrong version: requested , dll is  0.1"},
    };
    relay::RelayServer relay;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        std::filesystem::remove("linkwelllog.txt");
        linkwell::IHttpClient* client = factory_->CreateHttpClient();
        ASSERT_NE(client, nullptr);
        linkwell::ConnectionParams params = Params(c.version, relay.BaseUrl(), 1);
        linkwell::IConnection* connection = factory_->CreateConnection(client, &params);
        EXPECT_EQ(connection != nullptr, c.made);
        if (connection != nullptr) {
            connection->Destroy(linkwell::kDestroyFree);
            EXPECT_FALSE(std::filesystem::exists("linkwelllog.txt"));
            continue;
        }
        // A refused connection leaves the client with the caller.
        client->Destroy(linkwell::kDestroyFree);
        std::vector<std::string> lines = ReadLines("linkwelllog.txt");
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(" " + std::string(c.line)), std::string::npos) << lines[0];
        EXPECT_EQ(lines[0].substr(lines[0].size() - std::string(c.line).size()), c.line);
    }
    // Without a log flag nothing is written.
    linkwell::IHttpClient* client = factory_->CreateHttpClient();
    linkwell::ConnectionParams quiet = Params("0.2", relay.BaseUrl(), 0);
    std::filesystem::remove("linkwelllog.txt");
    EXPECT_EQ(factory_->CreateConnection(client, &quiet), nullptr);
    EXPECT_FALSE(std::filesystem::exists("linkwelllog.txt"));
    client->Destroy(linkwell::kDestroyFree);
}

TEST_F(FactoryTest, EmptyServerAddressAndMissingArguments) {
    linkwell::IHttpClient* client = factory_->CreateHttpClient();
    linkwell::ConnectionParams params = Params("0.1", "", 1);
    EXPECT_EQ(factory_->CreateConnection(client, &params), nullptr);
    std::vector<std::string> lines = ReadLines("linkwelllog.txt");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(lines[0].find(' ', lines[0].find(' ') + 1) + 1), "No server URL provided!");
    EXPECT_EQ(factory_->CreateConnection(client, nullptr), nullptr);
    linkwell::ConnectionParams good = Params("0.1", "http://127.0.0.1:1", 0);
    EXPECT_EQ(factory_->CreateConnection(nullptr, &good), nullptr);
    client->Destroy(linkwell::kDestroyFree);
    EXPECT_STREQ(factory_->GetVersion(), "0.1");
}

TEST_F(FactoryTest, ObjectsOutliveTheFactory) {
    relay::RelayServer relay;
    linkwell::IHttpClient* client = factory_->CreateHttpClient();
    linkwell::ConnectionParams params = Params("0.1", relay.BaseUrl(), 0);
    linkwell::IConnection* connection = factory_->CreateConnection(client, &params);
    ASSERT_NE(connection, nullptr);
    factory_->Destroy(linkwell::kDestroyFree);
    factory_ = nullptr;
    ASSERT_TRUE(connection->Initialize(3));
    EXPECT_TRUE(linkwell_test::Eventually([&] { return connection->GetState(nullptr) == linkwell::eConnected; }));
    EXPECT_STREQ(connection->StateName(connection->GetState(nullptr)), "eConnected");
    connection->Destroy(linkwell::kDestroyFree);
}

// The game makes its client and connection at start-up; libcurl and what it
// brings are opened by the first transfer, not before.
TEST_F(FactoryTest, NetworkLibraryIsOpenedByTheFirstTransfer) {
    auto curlMapped = [] {
        std::ifstream maps("/proc/self/maps");
        std::string line;
        while (std::getline(maps, line)) {
            if (line.find("libcurl") != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    relay::RelayServer relay;
    linkwell::IHttpClient* client = factory_->CreateHttpClient();
    linkwell::ConnectionParams params = Params("0.1", relay.BaseUrl(), 0);
    linkwell::IConnection* connection = factory_->CreateConnection(client, &params);
    ASSERT_NE(connection, nullptr);
    EXPECT_FALSE(curlMapped());
    EXPECT_FALSE(std::filesystem::exists("cookie.txt"));
    ASSERT_TRUE(connection->Initialize(3));
    EXPECT_TRUE(linkwell_test::Eventually([&] { return connection->GetState(nullptr) == linkwell::eConnected; }));
    EXPECT_TRUE(curlMapped());
    EXPECT_TRUE(std::filesystem::exists("cookie.txt"));
    connection->Destroy(linkwell::kDestroyFree);
}

} // namespace
