// Stand-ins for liblinkwell.so's objects and for the game around FaceBook: a factory, HTTP client,
// connection and browser window that record what the game asks of them and answer from a shared
// record the test scripts, and a FaceBookHost with a profile, a display and a distribution file of
// the test's own. The objects free themselves through Destroy, as the library's do, so the record
// outlives them. Used by the FaceBook tests and the Update benchmark.
#pragma once

#include "engine/core/xml/XmlNode.h"
#include "game/social/FaceBook.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace FakeLinkwell
{

struct Record
{
    // What the connection reports.
    int32_t state = 0;
    std::string status;
    // What the objects were asked, in order: "Initialize 3", "Disconnect", "CheckPermissions 7 salt", ...
    std::vector<std::string> calls;
    std::vector<std::u16string> posts;
    // Log-in and page windows: first address and owner of each; what Show reports as the last
    // address (empty: the first one), and what runs while a window is shown.
    std::vector<std::string> windows;
    std::vector<void*> owners;
    std::string lastAddress;
    std::function<void()> duringShow;
    // What the factory makes.
    bool makeFactory = true;
    bool makeClient = true;
    bool makeConnection = true;
    // Seen by CreateConnection.
    std::string version;
    std::string serverUrl;
    int32_t logFlags = -1;
    int factoriesDestroyed = 0;
    int clientsDestroyed = 0;
    int connectionsDestroyed = 0;
    int windowsDestroyed = 0;
    bool keptLoaded = false;

    size_t Count(const std::string& prefix) const
    {
        size_t n = 0;
        for (const std::string& call : calls)
            if (call.rfind(prefix, 0) == 0)
                ++n;
        return n;
    }
};

inline Record* g_record = nullptr;

inline std::string narrow(const linkwell::FBString& text)
{
    return text.Text() ? text.Text() : "";
}

class Client final : public linkwell::IHttpClient
{
public:
    void ResetStatus() override {}
    int32_t GetStatus() override { return 3; }
    bool Post(const char*, const char*) override { return false; }
    bool GetResponse(linkwell::FBString*) override { return false; }
    linkwell::FBString* Unescape(linkwell::FBString* out, const linkwell::FBString* in) override
    {
        out->Assign(in->Text());
        return out;
    }
    // As the library escapes: low byte of each unit, every byte but an ASCII letter or digit as %XX.
    linkwell::FBString* EscapeWide(linkwell::FBString* out, const linkwell::FBWString* in) override
    {
        std::string escaped;
        static const char hex[] = "0123456789ABCDEF";
        for (const char16_t* p = in->Text(); p && *p; ++p)
        {
            const unsigned char c = static_cast<unsigned char>(*p <= 0xFF ? *p : '?');
            if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
                escaped += char(c);
            else
                escaped += {'%', hex[c >> 4], hex[c & 15]};
        }
        out->Assign(escaped.c_str());
        return out;
    }
    linkwell::FBString* Escape(linkwell::FBString* out, const linkwell::FBString* in) override
    {
        out->Assign(in->Text());
        return out;
    }
    void Destroy(uint32_t) override
    {
        if (g_record)
            ++g_record->clientsDestroyed;
        delete this;
    }
};

class Connection final : public linkwell::IConnection
{
public:
    explicit Connection(linkwell::IHttpClient* client) : client(client) {}
    bool Initialize(int32_t game) override { return note("Initialize " + std::to_string(game)); }
    void Disconnect() override { note("Disconnect"); }
    bool CheckPermissions(int64_t userId, const char* salt) override
    {
        return note("CheckPermissions " + std::to_string(userId) + " " + salt);
    }
    bool SetSalt(int64_t userId, const char* salt) override
    {
        return note("SetSalt " + std::to_string(userId) + " " + salt);
    }
    bool PostMessage(int32_t templateId, const linkwell::FBWString& text) override
    {
        g_record->posts.push_back(text.Text() ? text.Text() : u"");
        return note("PostMessage " + std::to_string(templateId));
    }
    // As the library does: the status copied under the lock into the caller's string.
    int32_t GetState(linkwell::FBString* statusText) override
    {
        std::lock_guard<std::mutex> hold(lock);
        if (shown != g_record->status)
        {
            shown = g_record->status;
            held.Assign(shown.c_str());
        }
        if (statusText)
            *statusText = held;
        return g_record->state;
    }
    void Stop() override {}
    void Destroy(uint32_t) override
    {
        ++g_record->connectionsDestroyed;
        client->Destroy(linkwell::kDestroyFree);
        delete this;
    }
    bool ExtractUserId(const linkwell::FBString& text, int64_t* userId) override
    {
        const std::string address = narrow(text);
        const size_t at = address.find("userid");
        if (at == std::string::npos)
            return false;
        *userId = std::strtoll(address.c_str() + at + 7, nullptr, 10);
        return true;
    }
    const char* StateName(int32_t) override { return "eInvalid"; }

private:
    bool note(const std::string& call)
    {
        g_record->calls.push_back(call);
        return true;
    }
    linkwell::IHttpClient* client;
    std::mutex lock;
    std::string shown;
    linkwell::FBString held;
};

class BrowserWindow final : public linkwell::IBrowserWindow
{
public:
    explicit BrowserWindow(std::string first) : first(std::move(first)) {}
    bool Show(linkwell::FBString* out) override
    {
        if (g_record->duringShow)
            g_record->duringShow();
        out->Assign(g_record->lastAddress.empty() ? first.c_str() : g_record->lastAddress.c_str());
        return true;
    }
    void Destroy(uint32_t) override
    {
        ++g_record->windowsDestroyed;
        delete this;
    }

private:
    std::string first;
};

class Factory final : public linkwell::IClientFactory
{
public:
    linkwell::IHttpClient* CreateHttpClient() override { return g_record->makeClient ? new Client : nullptr; }
    linkwell::IConnection* CreateConnection(linkwell::IHttpClient* client, const linkwell::ConnectionParams* params) override
    {
        g_record->version = narrow(params->version);
        g_record->serverUrl = narrow(params->serverUrl);
        g_record->logFlags = params->logToFile * 2 + params->logToDebugger;
        return g_record->makeConnection ? new Connection(client) : nullptr;
    }
    linkwell::IBrowserWindow* CreateBrowserWindow(const char16_t* caption, const linkwell::FBString* first,
                                                  void* owner) override
    {
        g_record->windows.push_back(narrow(*first));
        g_record->owners.push_back(owner);
        g_record->calls.push_back("Window " + std::string(caption == std::u16string(FaceBook::LoginCaption) ? "caption" : "?"));
        return new BrowserWindow(narrow(*first));
    }
    const char* GetVersion() override { return "0.1"; }
    void Destroy(uint32_t) override
    {
        ++g_record->factoriesDestroyed;
        delete this;
    }
};

inline linkwell::IClientFactory* makeFactory()
{
    return g_record->makeFactory ? new Factory : nullptr;
}

class Library final : public LinkwellLibrary
{
public:
    explicit Library(bool exports) : exports(exports) {}
    void* Symbol(const char* name) override
    {
        return exports && std::strcmp(name, "MakeKilnFactory") == 0 ? reinterpret_cast<void*>(&makeFactory)
                                                                     : nullptr;
    }
    void KeepLoaded() override { g_record->keptLoaded = true; }

private:
    bool exports;
};

// The game around the object: all of it held by the test.
struct World
{
    bool libraryPresent = true;
    bool libraryExports = true;
    bool distributionPresent = true;
    std::string distribution = "12345\n";
    bool fullscreen = false;
    bool displayStaysFullscreen = false;
    std::vector<std::string> display; // "fullscreen 0", "device held", "device released", ...
    bool messageBoxOnTop = false;
    std::unique_ptr<TarnEngine::XmlNode> profile = std::make_unique<TarnEngine::XmlNode>(L"PROFILE");
    bool hasProfile = true;
    std::function<bool(uint8_t*, size_t)> random;
};

class Host final : public FaceBookHost
{
public:
    explicit Host(World& world) : world(world) {}
    std::unique_ptr<LinkwellLibrary> LoadLibrary() override
    {
        if (!world.libraryPresent)
            return nullptr;
        return std::make_unique<Library>(world.libraryExports);
    }
    bool ReadDistributionFile(std::string& bytes, size_t maxBytes) override
    {
        if (!world.distributionPresent)
            return false;
        bytes = world.distribution.substr(0, maxBytes);
        return true;
    }
    std::string RelayAddress() override { return "http://relay.test"; }
    bool IsFullscreen() override { return world.fullscreen; }
    void SetFullscreen(bool full) override
    {
        world.fullscreen = full;
        world.display.push_back(full ? "fullscreen 1" : "fullscreen 0");
    }
    bool DisplayStillFullscreen() override { return world.displayStaysFullscreen; }
    void HoldDeviceWindowed(bool hold) override { world.display.push_back(hold ? "device held" : "device released"); }
    void* OwnerWindow() override { return reinterpret_cast<void*>(uintptr_t(0x4c00007)); }
    void TakeFocusBack() override { world.display.push_back("focus back"); }
    TarnEngine::XmlNode* CurrentProfile() override { return world.hasProfile ? world.profile.get() : nullptr; }
    bool MessageBoxOnTop() override { return world.messageBoxOnTop; }
    bool RandomBytes(uint8_t* out, size_t count) override
    {
        return world.random ? world.random(out, count) : FaceBookHost::RandomBytes(out, count);
    }

private:
    World& world;
};

} // namespace FakeLinkwell
