// The game's side of the social-network feature. It loads liblinkwell.so at run time (never linked:
// the game must run without it), keeps one connection to the relay server, follows the connection
// once a frame to drive the log-in and permission flow, keeps the player's user id, salt and
// switch in the current profile ("FACEBOOK_DATA") and posts for the scripts and the dialog.
//
// Objects the library makes are released through their own Destroy slot, so their memory goes
// back to the library; texts cross only as boundary strings. The library never calls back: the
// game polls. Without "lwcache.bin" (the distribution's SKU or address), the library or its export,
// Init fails and the game drops the object.
//
// What lies outside (the library file, the display around the modal log-in window, the current
// profile, the message box) comes through FaceBookHost, so that tests can stand in for it.
#pragma once

#include "game/social/IFaceBook.h"
#include "game/ui/UIMessageBoxListener.h"
#include "linkwell/Linkwell.h"

#include <functional>
#include <memory>
#include <string>

namespace TarnEngine
{
class XmlNode;
}

// A loaded library, unloaded when the object goes.
class LinkwellLibrary
{
public:
    virtual ~LinkwellLibrary() = default;
    // An exported symbol's address, or null.
    virtual void* Symbol(const char* name) = 0;
    // Keeps the library mapped for the rest of the process, whatever the object does later: once
    // its window toolkit has started, its threads and registered types outlive any unloading.
    virtual void KeepLoaded() {}
};

// The defaults reach the running engine and game; each is a seam for the tests.
class FaceBookHost
{
public:
    virtual ~FaceBookHost() = default;
    // "linkwell" through the platform's module loader (beside the program first); null when missing.
    virtual std::unique_ptr<LinkwellLibrary> LoadLibrary();
    // The distribution file "lwcache.bin" of the current directory; false when it cannot be read.
    // At most maxBytes are read: only the first line counts.
    virtual bool ReadDistributionFile(std::string& bytes, size_t maxBytes);
    // The built-in relay address; PELLWOOD_RELAY_URL replaces it when set.
    virtual std::string RelayAddress();
    virtual bool IsFullscreen();
    virtual void SetFullscreen(bool full);
    // Whether the display still shows full screen after the engine left it.
    virtual bool DisplayStillFullscreen();
    // The render device held in a window (true) and given back (false) around the modal window.
    virtual void HoldDeviceWindowed(bool hold);
    // The game window's X11 id as the log-in window's owner; null without one.
    virtual void* OwnerWindow();
    // The game window raised and given the keyboard again once the modal window has gone, as a
    // window manager would: the engine does not run frames while its window lacks the focus.
    virtual void TakeFocusBack();
    virtual TarnEngine::XmlNode* CurrentProfile();
    // Whether a message box is the top-most modal screen.
    virtual bool MessageBoxOnTop();
    // Random bytes from the system's source; false when it gives none.
    virtual bool RandomBytes(uint8_t* out, size_t count);
};

class FaceBook final : public IFaceBook, public UIMessageBoxListener
{
public:
    static constexpr const char* LibraryName = "linkwell";
    static constexpr const char* DistributionFile = "lwcache.bin";
    static constexpr const char16_t* LoginCaption = u"Halcyra Facebook Connect";
    static constexpr size_t SaltLength = 16;
    // The longest first line of "lwcache.bin" that is read; more is cut off.
    static constexpr size_t MaxDistributionLine = 2048;

    explicit FaceBook(std::unique_ptr<FaceBookHost> host = nullptr);
    ~FaceBook() override;
    FaceBook(const FaceBook&) = delete;
    FaceBook& operator=(const FaceBook&) = delete;

    // IFaceBook
    bool Init(int32_t game) override;
    void LoadProfile() override;
    void Update() override;
    bool IsEnabled() const override { return enabled; }
    void Disable() override;
    void Restart() override;
    int32_t GetStatus() override;
    void Post(int32_t templateId, const std::wstring& text) override;
    bool IsFirstOffer() const override { return firstOffer; }
    void ClearFirstOffer() override { firstOffer = false; }

    // UIMessageBoxListener: the log-in on the address kept for it.
    void HandleMsgBox(int32_t id, int32_t result) override;

    // One poll of the connection; Update runs it unless a message box is on top.
    void Poll();
    // The log-in window on the address; true when it ended on a user id.
    bool Login(const std::string& address);
    // A page of the relay in the same window; its last address is not used.
    void ShowPage(const std::string& address);
    // The user id, salt and switch into the current profile's "FACEBOOK_DATA".
    void SaveData();
    // From the current profile's "FACEBOOK_DATA"; false without it, without a readable user id or
    // without a salt.
    bool LoadData();

    // 16 characters from the digits and the ASCII letters, from the system's random source.
    std::wstring MakeSalt();

    // The status for a connection state (the stopped flag aside).
    static int32_t StatusOfState(int32_t state);
    // The SKU read from a first line: decimal, 0x hexadecimal or 0 octal, leading blanks and a
    // sign allowed, up to the first character that does not fit; 0 without digits.
    static int32_t ReadSku(const std::wstring& line);
    // A stored user id: the whole text a number (with its base prefix) that fits 64 bits.
    static bool ParseUserId(const std::wstring& text, int64_t& value);
    // Whether a status text is a page address (http or https) that a window may open.
    static bool IsPageAddress(const std::string& text);

    // State, for the tests.
    int64_t GetUserId() const { return userId; }
    const std::wstring& GetSalt() const { return salt; }
    void SetPendingLoginUrl(const std::string& address) { pendingLoginUrl = address; }
    std::u16string GetSuffix() const;
    bool IsStopped() const { return stopped; }
    bool HasConnection() const { return connection != nullptr; }
    bool HasLibrary() const { return library != nullptr; }

private:
    struct DisplayHold
    {
        bool wasFullscreen = false;
        bool deviceHeld = false;
    };
    DisplayHold leaveFullscreen();
    void restoreDisplay(const DisplayHold& hold);
    // The modal window on the address; its last address (empty without a window).
    std::string showWindow(const std::string& address);
    std::string narrowSalt() const;
    // The library's objects and then the library.
    void release();
    void stopFlow();

    std::unique_ptr<FaceBookHost> host;
    int32_t game = 0;
    std::unique_ptr<LinkwellLibrary> library;
    int32_t lastState = 0;
    int64_t userId = 0;
    std::wstring salt;
    bool enabled = false;
    bool firstOffer = false;
    bool stopped = false;
    linkwell::IConnection* connection = nullptr;
    linkwell::IClientFactory* factory = nullptr;
    bool loginTried = false;
    std::string pendingLoginUrl;
    linkwell::FBWString suffix;
    // Kept between polls, so that reading the status allocates nothing while it does not grow.
    linkwell::FBString statusText;
};

// Makes the game's social-network object at start-up: the real one unless a test installed a
// maker of its own (an empty maker restores the real one).
using FaceBookMaker = std::function<std::unique_ptr<IFaceBook>()>;
void SetFaceBookMaker(FaceBookMaker maker);
std::unique_ptr<IFaceBook> MakeFaceBook();
