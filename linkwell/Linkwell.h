// Public face of liblinkwell.so: the interfaces the game reaches through the
// one exported function MakeKilnFactory. Everything handed out is an abstract
// interface released through its Destroy slot (the deleting destructor), so its
// memory always returns to the module that allocated it. No exception leaves
// any of these calls; they report through bool results, null pointers and
// state numbers. Slot order is part of the contract: do not reorder.
#pragma once

#include <cstdint>

#include "linkwell/boundary/FBString.h"

namespace linkwell {

// Bit 0 of a Destroy flags argument: free the object's memory after destroying it.
constexpr uint32_t kDestroyFree = 1;

// Interface version a caller must ask for in ConnectionParams::version.
constexpr const char* kInterfaceVersion = "0.1";

enum ConnectionState : int32_t {
    eNotConected = 0,
    eConnecting = 1,
    eConnectFailed = 2,
    eConnectRejected = 3,
    eConnected = 4,
    eCheckingPerm = 5,
    eAllowed = 6,
    eNotAllowed = 7,
    eSettingSalt = 8,
    ePosting = 9,
};

// Built by the caller, read by CreateConnection, copied by the connection.
struct ConnectionParams {
    FBString version;    // must be "0.1"
    FBString serverUrl;  // base address of the relay server; paths are appended
    uint8_t logToFile = 0;      // 1: log lines go to "linkwelllog.txt"
    uint8_t logToDebugger = 0;  // 1: log lines go to standard error
};

// Multipart-form poster over one libcurl handle plus URL escaping.
class IHttpClient {
public:
    // Sets the status to 1 (busy).
    virtual void ResetStatus() = 0;
    // 1 busy, 3 done, 4 failed.
    virtual int32_t GetStatus() = 0;
    // Posts the "name=value##name=value" block as a multipart form to url.
    virtual bool Post(const char* url, const char* params) = 0;
    // Moves a held non-empty reply into out; false (out untouched) when none.
    virtual bool GetResponse(FBString* out) = 0;
    virtual FBString* Unescape(FBString* out, const FBString* in) = 0;
    // Units up to 0xFF keep their byte, others become "?", then Escape.
    virtual FBString* EscapeWide(FBString* out, const FBWString* in) = 0;
    // Every byte but an ASCII letter or digit becomes "%XX" (upper case).
    virtual FBString* Escape(FBString* out, const FBString* in) = 0;
    virtual void Destroy(uint32_t flags) = 0;

protected:
    ~IHttpClient() = default;
};

// One player's link to the relay server, with its own worker thread. The
// caller starts operations and polls GetState once per frame.
class IConnection {
public:
    virtual bool Initialize(int32_t game) = 0;
    virtual void Disconnect() = 0;
    virtual bool CheckPermissions(int64_t userId, const char* salt) = 0;
    virtual bool SetSalt(int64_t userId, const char* salt) = 0;
    virtual bool PostMessage(int32_t templateId, const FBWString& text) = 0;
    // Copies the status text into statusText (when not null) and returns the state.
    virtual int32_t GetState(FBString* statusText) = 0;
    // Stops and joins the worker thread.
    virtual void Stop() = 0;
    virtual void Destroy(uint32_t flags) = 0;
    // Reads the decimal "userid" of an address's query into *userId.
    virtual bool ExtractUserId(const FBString& text, int64_t* userId) = 0;
    // "eNotConected" .. "ePosting"; "eInvalid" for any other value.
    virtual const char* StateName(int32_t state) = 0;

protected:
    ~IConnection() = default;
};

// Modal log-in / page window run on the caller's thread.
class IBrowserWindow {
public:
    // Runs the window modally; when it has closed, copies the last address into out.
    virtual bool Show(FBString* out) = 0;
    virtual void Destroy(uint32_t flags) = 0;

protected:
    ~IBrowserWindow() = default;
};

class IClientFactory {
public:
    virtual IHttpClient* CreateHttpClient() = 0;
    // Takes ownership of client only when it returns a connection; on null the
    // client stays with the caller, who releases it.
    virtual IConnection* CreateConnection(IHttpClient* client, const ConnectionParams* params) = 0;
    // caption: zero-terminated UTF-16; firstUrl: page to open; owner: owner
    // window (may be null). The window is not shown yet.
    virtual IBrowserWindow* CreateBrowserWindow(const char16_t* caption, const FBString* firstUrl,
                                                void* owner) = 0;
    virtual const char* GetVersion() = 0;
    virtual void Destroy(uint32_t flags) = 0;

protected:
    ~IClientFactory() = default;
};

} // namespace linkwell

// The library's only export: a new factory, or null when it cannot be made.
extern "C" linkwell::IClientFactory* MakeKilnFactory();

// Type of MakeKilnFactory as looked up with dlsym.
using MakeKilnFactoryFn = linkwell::IClientFactory* (*)();
