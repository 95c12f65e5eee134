// FaceBook with the real liblinkwell.so against the relay stand-in in the test process: from Init
// through the permission check to the first post (the stand-in sees game 3, the player's user id and
// salt, the template and the text with the distribution suffix), then the object goes and takes the
// library's thread and the library with it.
#include "engine/core/xml/XmlNode.h"
#include "game/social/FaceBook.h"
#include "tests/linkwell/LinkwellTestSupport.h"
#include "RelayServer.h"

#include <fstream>

namespace
{

using TarnEngine::XmlNode;

class PathLibrary final : public LinkwellLibrary
{
public:
    explicit PathLibrary(void* handle) : handle(handle) {}
    ~PathLibrary() override { dlclose(handle); }
    void* Symbol(const char* name) override { return dlsym(handle, name); }

private:
    void* handle;
};

// The game around the object: the library by path, the stand-in's address, a profile of the test's.
class RelayHost final : public FaceBookHost
{
public:
    RelayHost(std::string relay, XmlNode* profile) : relay(std::move(relay)), profile(profile) {}
    std::unique_ptr<LinkwellLibrary> LoadLibrary() override
    {
        void* handle = dlopen(LINKWELL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        return handle ? std::make_unique<PathLibrary>(handle) : nullptr;
    }
    std::string RelayAddress() override { return relay; }
    bool IsFullscreen() override { return false; }
    void* OwnerWindow() override { return nullptr; }
    void TakeFocusBack() override {}
    XmlNode* CurrentProfile() override { return profile; }
    bool MessageBoxOnTop() override { return false; }

private:
    std::string relay;
    XmlNode* profile;
};

bool libraryMapped()
{
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find("liblinkwell.so") != std::string::npos)
            return true;
    return false;
}

class FaceBookRelayTest : public linkwell_test::TempFolderTest
{
};

// A real module without the export, and the platform's loader where no liblinkwell.so lies.
class OtherLibraryHost final : public FaceBookHost
{
public:
    explicit OtherLibraryHost(const char* file) : file(file) {}
    std::unique_ptr<LinkwellLibrary> LoadLibrary() override
    {
        if (!file)
            return FaceBookHost::LoadLibrary();
        void* handle = dlopen(file, RTLD_NOW | RTLD_LOCAL);
        return handle ? std::make_unique<PathLibrary>(handle) : nullptr;
    }
    XmlNode* CurrentProfile() override { return nullptr; }

private:
    const char* file;
};

TEST_F(FaceBookRelayTest, AModuleWithoutTheExportOrNoModuleAtAllGivesNoObject)
{
    std::ofstream("lwcache.bin") << "12345\n";
    FaceBook withoutExport(std::make_unique<OtherLibraryHost>("libz.so.1"));
    EXPECT_FALSE(withoutExport.Init(3));
    EXPECT_TRUE(withoutExport.HasLibrary()) << "kept until the object goes";
    FaceBook withoutLibrary(std::make_unique<OtherLibraryHost>(nullptr));
    EXPECT_FALSE(withoutLibrary.Init(3)) << "no liblinkwell.so beside the test program or on the library path";
    EXPECT_FALSE(withoutLibrary.HasLibrary());
}

TEST_F(FaceBookRelayTest, TheRelayAddressIsBuiltInUnlessTheEnvironmentNamesOne)
{
    FaceBookHost host;
    unsetenv("PELLWOOD_RELAY_URL");
    const std::string builtIn = host.RelayAddress();
    EXPECT_FALSE(builtIn.empty());
    setenv("PELLWOOD_RELAY_URL", "http://127.0.0.1:5/", 1);
    EXPECT_EQ(host.RelayAddress(), "http://127.0.0.1:5/");
    setenv("PELLWOOD_RELAY_URL", "", 1);
    EXPECT_EQ(host.RelayAddress(), builtIn) << "an empty variable names nothing";
    unsetenv("PELLWOOD_RELAY_URL");
}

TEST_F(FaceBookRelayTest, FromInitToTheFirstPostAndAway)
{
    relay::RelayServer relay;
    ASSERT_TRUE(relay.Running());
    std::ofstream("lwcache.bin") << "12345\r\n";
    const bool mappedBefore = libraryMapped();
    const int threadsBefore = linkwell_test::ThreadCount();

    // A player the relay knows: bound once through the library as a log-in would.
    const std::wstring salt = L"a1B2c3D4e5F6g7H8";
    {
        linkwell_test::LoadedLibrary library;
        ASSERT_TRUE(library.Loaded());
        linkwell::IClientFactory* factory = library.MakeFactory();
        linkwell::ConnectionParams params;
        params.version.Assign("0.1");
        params.serverUrl.Assign(relay.BaseUrl().c_str());
        linkwell::IConnection* connection = factory->CreateConnection(factory->CreateHttpClient(), &params);
        ASSERT_NE(connection, nullptr);
        connection->SetSalt(4242, "a1B2c3D4e5F6g7H8");
        EXPECT_TRUE(linkwell_test::Eventually([&] { return connection->GetState(nullptr) == linkwell::eConnected; }));
        connection->Destroy(linkwell::kDestroyFree);
        factory->Destroy(linkwell::kDestroyFree);
    }
    XmlNode profile(L"PROFILE");
    auto data = std::make_unique<XmlNode>(L"FACEBOOK_DATA");
    data->SetAttribute(L"UserID", L"4242");
    data->SetAttribute(L"Salt", salt);
    data->SetAttribute(L"Enabled", L"1");
    profile.AppendChild(std::move(data));

    auto social = std::make_unique<FaceBook>(std::make_unique<RelayHost>(relay.BaseUrl(), &profile));
    ASSERT_TRUE(social->Init(3));
    ASSERT_TRUE(social->HasConnection());
    social->LoadProfile();
    EXPECT_FALSE(social->IsFirstOffer());
    social->Restart();
    ASSERT_TRUE(linkwell_test::Eventually([&] {
        social->Update();
        return social->GetStatus() == IFaceBook::StatusReady;
    })) << "status " << social->GetStatus();
    EXPECT_TRUE(social->IsEnabled());

    social->Post(1, L"Chapter one done");
    ASSERT_TRUE(linkwell_test::Eventually([&] { return !relay.PostedMessages().empty(); }));
    EXPECT_TRUE(linkwell_test::Eventually([&] {
        social->Update();
        return social->GetStatus() == IFaceBook::StatusReady;
    }));
    EXPECT_EQ(relay.PostedMessages(), std::vector<std::string>{"Chapter one done,sku:12345"});
    const std::vector<relay::RecordedRequest> requests = relay.Requests();
    ASSERT_FALSE(requests.empty());
    const relay::RecordedRequest& post = requests.back();
    EXPECT_EQ(post.path, "/Connect/Facebook/0.1/PostMessage");
    EXPECT_EQ(post.Field("game"), "3");
    EXPECT_EQ(post.Field("UserId"), "4242");
    EXPECT_EQ(post.Field("Salt"), "a1B2c3D4e5F6g7H8");
    EXPECT_EQ(post.Field("Template"), "1");
    EXPECT_EQ(post.Field("Parameters"), "Chapter one done,sku:12345");
    // The permission check went out with the stored player.
    bool checked = false;
    for (const relay::RecordedRequest& request : requests)
        if (request.path == "/Connect/Facebook/0.1/CheckPermissions")
            checked = request.Field("UserId") == "4242" && request.Field("Salt") == "a1B2c3D4e5F6g7H8";
    EXPECT_TRUE(checked);
    EXPECT_EQ(profile.FindChild(L"FACEBOOK_DATA")->GetBoolAttribute(L"Enabled", false), true);

    social.reset();
    EXPECT_EQ(linkwell_test::ThreadCount(), threadsBefore) << "the connection's worker is gone";
    if (!mappedBefore)
        EXPECT_FALSE(libraryMapped()) << "the library is unloaded";
}

TEST_F(FaceBookRelayTest, AnUnreachableRelayEndsInFailureWithoutAWindow)
{
    std::ofstream("lwcache.bin") << "7\n";
    XmlNode profile(L"PROFILE");
    // A port nothing listens on: the stand-in is started and stopped to find one.
    std::string address;
    {
        relay::RelayServer relay;
        address = relay.BaseUrl();
    }
    FaceBook social(std::make_unique<RelayHost>(address, &profile));
    ASSERT_TRUE(social.Init(3));
    social.LoadProfile();
    EXPECT_TRUE(social.IsFirstOffer());
    social.Restart();
    ASSERT_TRUE(linkwell_test::Eventually([&] {
        social.Update();
        return social.GetStatus() == IFaceBook::StatusFailed;
    }));
    EXPECT_FALSE(social.IsStopped());
    EXPECT_FALSE(social.IsEnabled());
}

} // namespace
