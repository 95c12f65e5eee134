// The game's social-network object; see FaceBook.h.
#include "game/social/FaceBook.h"

#include "engine/core/app/Window.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/core/text/StringFormat.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/textures/IGIL.h"
#include "engine/runtime/EngineManager.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "game/core/Core.h"
#include "game/ui/UIMessageBox.h"
#include "platform/system/Module.h"
#include "platform/window/WindowSystem.h"

#include <SDL2/SDL_syswm.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sys/random.h>

#ifndef PELLWOOD_RELAY_URL
#define PELLWOOD_RELAY_URL "http://relay.pellwood.invalid"
#endif

using namespace TarnEngine;

namespace
{

const wchar_t* const kDataElement = L"FACEBOOK_DATA";
const wchar_t* const kUserId = L"UserID";
const wchar_t* const kSalt = L"Salt";
const wchar_t* const kEnabled = L"Enabled";
const char kSaltCharacters[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr unsigned kSaltAlphabet = 62;

FaceBookMaker& maker()
{
    static FaceBookMaker installed;
    return installed;
}

void logSocial(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", text);
}

class PlatformLibrary final : public LinkwellLibrary
{
public:
    explicit PlatformLibrary(std::unique_ptr<Platform::Module> module) : module(std::move(module)) {}
    void* Symbol(const char* name) override { return module->Symbol(name); }
    // Loading the same library again with the keep flag marks the loaded one as never unloaded.
    void KeepLoaded() override
    {
        if (!kept)
            kept = Platform::Module::Load(FaceBook::LibraryName, true);
    }

private:
    std::unique_ptr<Platform::Module> module;
    std::unique_ptr<Platform::Module> kept;
};

IGIL* device()
{
    EngineManager* engine = EngineManager::Get();
    return engine ? engine->GetDevice() : nullptr;
}

std::string lowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

bool isDigitOf(wchar_t c, int base, int& value)
{
    if (c >= L'0' && c <= L'9')
        value = c - L'0';
    else if (c >= L'a' && c <= L'f')
        value = c - L'a' + 10;
    else if (c >= L'A' && c <= L'F')
        value = c - L'A' + 10;
    else
        return false;
    return value < base;
}

bool isBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

// The sign, the base from the prefix and where the digits start, as strtol reads them.
size_t readPrefix(const std::wstring& text, size_t at, bool& negative, int& base)
{
    negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-'))
        negative = text[at++] == L'-';
    base = 10;
    if (at < text.size() && text[at] == L'0')
    {
        int digit = 0;
        if (at + 2 < text.size() && (text[at + 1] == L'x' || text[at + 1] == L'X') &&
            isDigitOf(text[at + 2], 16, digit))
        {
            base = 16;
            at += 2;
        }
        else
            base = 8;
    }
    return at;
}

} // namespace

// ---- FaceBookHost: the running engine and game.

std::unique_ptr<LinkwellLibrary> FaceBookHost::LoadLibrary()
{
    std::unique_ptr<Platform::Module> module = Platform::Module::Load(FaceBook::LibraryName);
    if (!module)
        return nullptr;
    return std::make_unique<PlatformLibrary>(std::move(module));
}

bool FaceBookHost::ReadDistributionFile(std::string& bytes, size_t maxBytes)
{
    std::FILE* file = std::fopen(FaceBook::DistributionFile, "rb");
    if (!file)
        return false;
    bytes.assign(maxBytes, '\0');
    const size_t read = std::fread(bytes.data(), 1, maxBytes, file);
    std::fclose(file);
    bytes.resize(read);
    return true;
}

std::string FaceBookHost::RelayAddress()
{
    const char* configured = std::getenv("PELLWOOD_RELAY_URL");
    if (configured && *configured)
        return configured;
    return PELLWOOD_RELAY_URL;
}

bool FaceBookHost::IsFullscreen()
{
    EngineManager* engine = EngineManager::Get();
    return engine && engine->IsFullscreen();
}

void FaceBookHost::SetFullscreen(bool full)
{
    if (EngineManager* engine = EngineManager::Get())
        engine->SetFullscreen(full);
}

bool FaceBookHost::DisplayStillFullscreen()
{
    IGIL* gil = device();
    return gil && gil->IsCreated() && !gil->IsWindowed();
}

void FaceBookHost::HoldDeviceWindowed(bool hold)
{
    IGIL* gil = device();
    if (!gil)
        return;
    // While the window is up the device is lost to the game; afterwards it takes the screen back.
    if (hold)
    {
        gil->SetFullscreen(false);
        gil->SetLost(false);
    }
    else
    {
        gil->SetLost(true);
        gil->SetFullscreen(true);
    }
}

namespace
{

SDL_Window* gameWindow()
{
    EngineManager* engine = EngineManager::Get();
    Platform::WindowSystem* windows = engine ? engine->GetWindowSystem() : nullptr;
    TarnEngine::Window* window = engine ? engine->GetWindow() : nullptr;
    return windows && window ? windows->GetSdlWindow(window->GetHandle()) : nullptr;
}

} // namespace

void FaceBookHost::TakeFocusBack()
{
    if (SDL_Window* sdl = gameWindow())
    {
        SDL_RaiseWindow(sdl);
        SDL_SetWindowInputFocus(sdl);
    }
}

void* FaceBookHost::OwnerWindow()
{
    SDL_Window* sdl = gameWindow();
    if (!sdl)
        return nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(sdl, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
        return nullptr;
    return reinterpret_cast<void*>(uintptr_t(info.info.x11.window));
}

XmlNode* FaceBookHost::CurrentProfile()
{
    Core* core = Core::Get();
    return core ? core->GetProfileStore().FindCurrentProfile() : nullptr;
}

bool FaceBookHost::MessageBoxOnTop()
{
    _ScreenMgr* screens = _ScreenMgr::Get();
    TarnEngine::Screen* top = screens ? screens->GetTopModalScreen() : nullptr;
    return top && RObjectCast<UIMessageBox>(top) != nullptr;
}

bool FaceBookHost::RandomBytes(uint8_t* out, size_t count)
{
    size_t filled = 0;
    while (filled < count)
    {
        const ssize_t got = getrandom(out + filled, count - filled, 0);
        if (got < 0)
        {
            if (errno == EINTR)
                continue;
            return false;
        }
        filled += size_t(got);
    }
    return true;
}

// ---- FaceBook.

FaceBook::FaceBook(std::unique_ptr<FaceBookHost> givenHost) : host(std::move(givenHost))
{
    if (!host)
        host = std::make_unique<FaceBookHost>();
}

FaceBook::~FaceBook()
{
    release();
}

void FaceBook::release()
{
    // The factory, then the connection (whose destructor ends its worker thread), then the library.
    if (factory)
        factory->Destroy(linkwell::kDestroyFree);
    factory = nullptr;
    if (connection)
        connection->Destroy(linkwell::kDestroyFree);
    connection = nullptr;
    library.reset();
}

int32_t FaceBook::ReadSku(const std::wstring& line)
{
    size_t at = 0;
    while (at < line.size() && isBlank(line[at]))
        ++at;
    bool negative = false;
    int base = 10;
    at = readPrefix(line, at, negative, base);
    int64_t value = 0;
    int digit = 0;
    for (; at < line.size() && isDigitOf(line[at], base, digit); ++at)
        value = std::min<int64_t>(value * base + digit, int64_t(INT32_MAX) + 1);
    if (negative)
        value = -value;
    // Out of range saturates, as the runtime's reader does.
    return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

bool FaceBook::ParseUserId(const std::wstring& text, int64_t& result)
{
    size_t at = 0;
    while (at < text.size() && isBlank(text[at]))
        ++at;
    bool negative = false;
    int base = 10;
    at = readPrefix(text, at, negative, base);
    uint64_t magnitude = 0;
    int digit = 0;
    size_t digits = 0;
    const uint64_t limit = negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    for (; at < text.size() && isDigitOf(text[at], base, digit); ++at, ++digits)
    {
        if (magnitude > (limit - uint64_t(digit)) / uint64_t(base))
            return false;
        magnitude = magnitude * uint64_t(base) + uint64_t(digit);
    }
    while (at < text.size() && isBlank(text[at]))
        ++at;
    if (digits == 0 || at != text.size())
        return false;
    result = negative ? int64_t(0 - magnitude) : int64_t(magnitude);
    return true;
}

bool FaceBook::IsPageAddress(const std::string& text)
{
    const std::string lower = lowerAscii(text.substr(0, 8));
    return (lower.rfind("http://", 0) == 0 && text.size() > 7) || (lower.rfind("https://", 0) == 0 && text.size() > 8);
}

int32_t FaceBook::StatusOfState(int32_t state)
{
    switch (state)
    {
    case linkwell::eAllowed:
        return StatusReady;
    case linkwell::eConnecting:
    case linkwell::eConnected:
    case linkwell::eCheckingPerm:
    case linkwell::eSettingSalt:
        return StatusWorking;
    case linkwell::ePosting:
        return StatusPosting;
    case linkwell::eConnectFailed:
    case linkwell::eConnectRejected:
        return StatusFailed;
    default:
        return StatusIdle;
    }
}

std::wstring FaceBook::MakeSalt()
{
    std::wstring made;
    made.reserve(SaltLength);
    // Bytes of 248 and above are drawn again, so that every character is equally likely.
    uint8_t bytes[64];
    while (made.size() < SaltLength)
    {
        if (!host->RandomBytes(bytes, sizeof bytes))
        {
            // No system source: the runtime's own device, never the clock.
            std::random_device device;
            for (uint8_t& b : bytes)
                b = uint8_t(device());
        }
        for (uint8_t b : bytes)
            if (b < 248 && made.size() < SaltLength)
                made.push_back(wchar_t(kSaltCharacters[b % kSaltAlphabet]));
    }
    return made;
}

std::u16string FaceBook::GetSuffix() const
{
    return suffix.Text() ? std::u16string(suffix.Text()) : std::u16string();
}

bool FaceBook::Init(int32_t gameNumber)
{
    // 1. and 2.
    std::string bytes;
    if (!host->ReadDistributionFile(bytes, MaxDistributionLine))
    {
        logSocial(L"no \"lwcache.bin\": the game runs without the social network");
        return false;
    }
    const size_t end = bytes.find('\n');
    if (end != std::string::npos)
        bytes.resize(end);
    // A zero byte ends the line too: nothing past it could cross as text.
    if (const size_t zero = bytes.find('\0'); zero != std::string::npos)
        bytes.resize(zero);
    if (bytes.empty())
    {
        logSocial(L"\"lwcache.bin\" has an empty first line: the game runs without the social network");
        return false;
    }
    const std::wstring line = AnsiToWString(bytes);
    // 3. and 4.
    game = gameNumber;
    int32_t sku = -1;
    std::wstring url;
    if (line.rfind(L"http", 0) == 0)
        url = line;
    else
        sku = ReadSku(line);
    // 5.
    loginTried = false;
    lastState = 0;
    userId = 0;
    salt = MakeSalt();
    // 6. A second start lets go of what the first one made before its library goes.
    release();
    library = host->LoadLibrary();
    if (!library)
    {
        logSocial(L"liblinkwell.so did not load: the game runs without the social network");
        return false;
    }
    // 7. The library stays loaded until the destructor.
    auto make = reinterpret_cast<MakeKilnFactoryFn>(library->Symbol("MakeKilnFactory"));
    if (!make)
    {
        logSocial(L"liblinkwell.so has no MakeKilnFactory: the game runs without the social network");
        return false;
    }
    // 8.
    linkwell::ConnectionParams params;
    params.version.Assign(linkwell::kInterfaceVersion);
    params.serverUrl.Assign(host->RelayAddress().c_str());
    params.logToFile = 0;
    params.logToDebugger = 0;
    // 9.
    linkwell::IClientFactory* made = make();
    if (factory)
        factory->Destroy(linkwell::kDestroyFree);
    factory = made;
    if (!factory)
    {
        logSocial(L"the social-network library made no factory");
        return true;
    }
    // 10.
    linkwell::IHttpClient* client = factory->CreateHttpClient();
    if (!client)
    {
        logSocial(L"the social-network library made no HTTP client");
        return true;
    }
    // 11.
    if (!url.empty())
    {
        const std::u16string wide = WStringToUtf16(url);
        linkwell::FBWString in(wide.c_str());
        linkwell::FBString escaped;
        client->EscapeWide(&escaped, &in);
        const std::u16string widened = WStringToUtf16(L",url:" + AnsiToWString(escaped.Text() ? escaped.Text() : ""));
        suffix.Assign(widened.c_str());
    }
    else if (sku != 0)
        suffix.Assign(WStringToUtf16(StringPrintf(L",sku:%d", sku)).c_str());
    // 12. A client the library would not take stays ours to release.
    linkwell::IConnection* connected = factory->CreateConnection(client, &params);
    if (connection)
        connection->Destroy(linkwell::kDestroyFree);
    connection = connected;
    if (!connection)
    {
        client->Destroy(linkwell::kDestroyFree);
        logSocial(L"the social-network library made no connection");
    }
    // 13.
    logSocial(L"social network: on");
    return true;
}

std::string FaceBook::narrowSalt() const
{
    return WStringToAnsi(salt);
}

void FaceBook::LoadProfile()
{
    if (connection)
        connection->Disconnect();
    firstOffer = false;
    stopped = false;
    userId = 0;
    salt = MakeSalt();
    enabled = false;
    if (host->CurrentProfile() && !LoadData())
        firstOffer = true;
}

void FaceBook::Update()
{
    // The message box is modal over everything; the flow waits for it.
    if (host->MessageBoxOnTop())
        return;
    Poll();
}

void FaceBook::Disable()
{
    enabled = false;
    if (connection)
        connection->Disconnect();
    SaveData();
}

void FaceBook::Restart()
{
    loginTried = false;
    firstOffer = false;
    stopped = false;
    if (!connection)
        return;
    connection->Disconnect();
    connection->Initialize(game);
}

int32_t FaceBook::GetStatus()
{
    if (stopped)
        return StatusStopped;
    if (!connection)
        return StatusIdle;
    return StatusOfState(connection->GetState(&statusText));
}

void FaceBook::Post(int32_t templateId, const std::wstring& text)
{
    if (!connection || !enabled)
        return;
    std::u16string units = WStringToUtf16(text);
    units += GetSuffix();
    const linkwell::FBWString message(units.c_str());
    // The connection refuses unless it is ready; the dialog follows the status instead.
    connection->PostMessage(templateId, message);
}

void FaceBook::HandleMsgBox(int32_t, int32_t)
{
    Login(pendingLoginUrl);
}

void FaceBook::stopFlow()
{
    stopped = true;
    enabled = false;
}

void FaceBook::Poll()
{
    // 1.
    if (!connection || stopped)
        return;
    // 2. and 3.
    const int32_t state = connection->GetState(&statusText);
    if (state == lastState)
        return;
    // 4.
    const std::string status = statusText.Text() ? statusText.Text() : "";
    switch (state)
    {
    case linkwell::eConnectFailed:
    case linkwell::eConnectRejected:
        // Only a page of the relay is opened; a failure text leaves the dialog's "error" page.
        if (IsPageAddress(status))
            ShowPage(status);
        break;
    case linkwell::eConnected:
        SaveData();
        connection->CheckPermissions(userId, narrowSalt().c_str());
        break;
    case linkwell::eAllowed:
        if (!enabled)
            logSocial(L"social network: posting allowed");
        enabled = true;
        loginTried = false;
        SaveData();
        break;
    case linkwell::eNotAllowed:
        if (loginTried)
            stopFlow();
        else if (IsPageAddress(status))
        {
            Login(status);
            loginTried = true;
        }
        else
        {
            // No page to log in on: as a log-in that gave no user id.
            logSocial(L"the relay refused without a log-in page: the social network stops");
            stopFlow();
        }
        break;
    default:
        break;
    }
    // 5.
    lastState = state;
}

FaceBook::DisplayHold FaceBook::leaveFullscreen()
{
    DisplayHold hold;
    hold.wasFullscreen = host->IsFullscreen();
    if (hold.wasFullscreen)
    {
        host->SetFullscreen(false);
        if (host->DisplayStillFullscreen())
        {
            host->HoldDeviceWindowed(true);
            hold.deviceHeld = true;
        }
    }
    return hold;
}

void FaceBook::restoreDisplay(const DisplayHold& hold)
{
    if (hold.deviceHeld)
        host->HoldDeviceWindowed(false);
    if (hold.wasFullscreen)
        host->SetFullscreen(true);
}

std::string FaceBook::showWindow(const std::string& address)
{
    if (!factory || !IsPageAddress(address))
        return {};
    const linkwell::FBString first(address.c_str());
    // The window starts the library's toolkit, which cannot be unloaded afterwards.
    if (library)
        library->KeepLoaded();
    linkwell::IBrowserWindow* window = factory->CreateBrowserWindow(LoginCaption, &first, host->OwnerWindow());
    if (!window)
        return {};
    linkwell::FBString last;
    window->Show(&last);
    window->Destroy(linkwell::kDestroyFree);
    host->TakeFocusBack();
    return last.Text() ? last.Text() : "";
}

bool FaceBook::Login(const std::string& address)
{
    if (!connection)
        return false;
    // 1. to 4.
    logSocial(L"social network: log-in window");
    const DisplayHold hold = leaveFullscreen();
    const std::string reached = lowerAscii(showWindow(address));
    // 5. and 6.
    const linkwell::FBString last(reached.c_str());
    int64_t found = userId;
    bool loggedIn = connection->ExtractUserId(last, &found);
    if (!loggedIn)
    {
        logSocial(L"the log-in window closed without a user id: the social network stops");
        stopFlow();
    }
    else
    {
        // 7.
        userId = found;
        SaveData();
        connection->SetSalt(userId, narrowSalt().c_str());
    }
    // 8.
    restoreDisplay(hold);
    return loggedIn;
}

void FaceBook::ShowPage(const std::string& address)
{
    logSocial(L"social network: page window");
    const DisplayHold hold = leaveFullscreen();
    showWindow(address);
    restoreDisplay(hold);
}

void FaceBook::SaveData()
{
    XmlNode* profile = host->CurrentProfile();
    if (!profile)
        return;
    XmlNode* data = profile->FindChild(kDataElement);
    if (!data)
    {
        auto created = std::make_unique<XmlNode>(kDataElement);
        data = created.get();
        profile->AppendChild(std::move(created));
    }
    else
        data->children.clear();
    data->SetAttribute(kUserId, std::to_wstring(userId));
    data->SetAttribute(kSalt, salt);
    data->SetAttribute(kEnabled, enabled ? L"1" : L"0");
}

bool FaceBook::LoadData()
{
    XmlNode* profile = host->CurrentProfile();
    const XmlNode* data = profile ? profile->FindChild(kDataElement) : nullptr;
    if (!data)
        return false;
    const std::wstring* storedId = data->FindAttribute(kUserId);
    int64_t readId = 0;
    // A user id that is no number or does not fit counts as missing, never as another player's.
    if (!storedId || !ParseUserId(*storedId, readId))
        return false;
    userId = readId;
    const std::wstring* storedSalt = data->FindAttribute(kSalt);
    // Without a stored salt the fresh one stays: the player's secret is never empty.
    if (!storedSalt || storedSalt->empty())
        return false;
    salt = *storedSalt;
    enabled = data->GetBoolAttribute(kEnabled, true);
    return true;
}

// ---- The maker.

void SetFaceBookMaker(FaceBookMaker made)
{
    maker() = std::move(made);
}

std::unique_ptr<IFaceBook> MakeFaceBook()
{
    if (maker())
        return maker()();
    return std::make_unique<FaceBook>();
}
