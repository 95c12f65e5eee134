// The factory handed out by MakeKilnFactory: creates the HTTP client, the
// connection and the browser window (the last from its own module, opened on
// the first window: see BrowserModule.h). It keeps no state.
#pragma once

#include "linkwell/Linkwell.h"

namespace linkwell {

class ClientFactory final : public IClientFactory {
public:
    // A new factory, or null when it cannot be allocated.
    static IClientFactory* Make();

    IHttpClient* CreateHttpClient() override;
    IConnection* CreateConnection(IHttpClient* client, const ConnectionParams* params) override;
    IBrowserWindow* CreateBrowserWindow(const char16_t* caption, const FBString* firstUrl, void* owner) override;
    const char* GetVersion() override;
    void Destroy(uint32_t flags) override;

private:
    ClientFactory() = default;
    ~ClientFactory() = default;
};

} // namespace linkwell
