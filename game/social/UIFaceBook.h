// The social-network dialog ("dlg_facebook"): where the player agrees to sharing, connects,
// disconnects and follows a post. One movie whose frames carry labelled pages ("new_user",
// "enable_connect", "disable_connect", "posting", "posted", "error", "permission"); the dialog moves
// between them by label, follows the social-network object's status each frame, and reads a
// button press by the page on show. Scripts reach it through "srv.FB.OnPost" and
// "srv.FB.IsEnabled"; the options screen opens it to connect. Without the social-network object
// it does nothing.
#pragma once

#include "engine/scene/ui/Screen.h"

#include <cstdint>
#include <string>

class IFaceBook;

class UIFaceBook final : public TarnEngine::Screen
{
    TARN_RCLASS(UIFaceBook)
    TARN_LUA_CLASS("UIFaceBook")
public:
    static constexpr const wchar_t* DefinitionName = L"dlg_facebook";

    // Why the dialog was opened.
    enum Mode : int32_t
    {
        ModeOffer = 0,
        ModeConnect = 1,
        ModeDisconnect = 2,
        ModePost = 3,
        ModeNone = 4,
    };

    struct PostRequest
    {
        std::wstring text;
        int32_t templateId = 0;
    };

    // Opens the dialog (modal); null without the social-network object or when it is no UIFaceBook.
    static UIFaceBook* Open();
    // Opens it for a post: offered (mode 0) or posting (mode 3).
    static void OpenForPost(int32_t templateId, const std::wstring& text, bool firstOffer);
    // The scripts' post: shown to a player who was never offered the feature or who enabled it.
    static void OnPost(int32_t templateId, const std::wstring& text);

    void Setup(int32_t mode, const PostRequest* post = nullptr);
    // False when the movie has no frame of that label.
    bool GotoPage(const std::wstring& label);
    void StartConnect();
    void ShowDisable();
    void StartPosting();

    // Set-up: the "enable" box checked, "l1" greets the player.
    void OnScreenLoaded() override;
    // The screen's step, then the page follows the status.
    void UpdateState() override;
    void HandleButtonPressed(TarnEngine::Button* button) override;
    // The profile's settings again once the dialog has gone.
    void OnRemoved() override;

    int32_t GetMode() const { return mode; }
    int32_t GetLastStatus() const { return lastStatus; }
    bool IsPostingStarted() const { return postingStarted; }
    std::wstring GetPage() { return GetCurrentLabel(); }

    static void RegisterLua(lua_State* state);

private:
    // "l1": the player's name as typed, then the translation of the key.
    void greet(const wchar_t* key);
    void onNewUserPressed();
    void close();

    int32_t lastStatus = 6;
    bool refuseConfirmed = false;
    int32_t mode = ModeNone;
    std::wstring postText;
    int32_t postTemplate = 0;
    bool postingStarted = false;
};

// The dialog's class record and, once, the script functions "srv.FB.OnPost" and "srv.FB.IsEnabled".
// One line in the game's registration list.
void RegisterSocialNetwork();
