// Factory of the library's objects (see ClientFactory.h).
#include "linkwell/factory/ClientFactory.h"

#include <new>

#include "linkwell/factory/BrowserModule.h"
#include "linkwell/connection/Connection.h"
#include "linkwell/http/HttpClient.h"
#include "linkwell/log/Log.h"

namespace linkwell {

IClientFactory* ClientFactory::Make() {
    return new (std::nothrow) ClientFactory();
}

IHttpClient* ClientFactory::CreateHttpClient() {
    return HttpClient::Make();
}

IConnection* ClientFactory::CreateConnection(IHttpClient* client, const ConnectionParams* params) {
    if (params == nullptr || client == nullptr) {
        return nullptr;
    }
    bool toFile = params->logToFile != 0;
    bool toDebugger = params->logToDebugger != 0;
    if (!params->version.Equals(kInterfaceVersion)) {
        Log(toFile, toDebugger, "Wrong version: requested %s, dll is  %s",
            params->version.Text() != nullptr ? params->version.Text() : "", kInterfaceVersion);
        return nullptr;
    }
    if (params->serverUrl.Length() == 0) {
        Log(toFile, toDebugger, "No server URL provided!");
        return nullptr;
    }
    return Connection::Make(client, *params);
}

IBrowserWindow* ClientFactory::CreateBrowserWindow(const char16_t* caption, const FBString* firstUrl, void* owner) {
    CreateBrowserWindowFn create = LoadBrowserModule(BrowserModulePath());
    return create != nullptr ? create(caption, firstUrl, owner) : nullptr;
}

const char* ClientFactory::GetVersion() {
    return kInterfaceVersion;
}

void ClientFactory::Destroy(uint32_t flags) {
    if (flags & kDestroyFree) {
        delete this;
    } else {
        this->~ClientFactory();
    }
}

} // namespace linkwell
