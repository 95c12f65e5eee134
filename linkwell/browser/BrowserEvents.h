// What the log-in window does with the web view's events, kept apart from the
// toolkit so that it runs without a display: events in; status text, caption,
// current address and end code out. The WebKit binding only feeds it, and
// shows what it says.
#pragma once

#include <string>

namespace linkwell
{

// The modal notice of a failed load. The window shows a real dialog; tests
// put a recorder in its place.
class BrowserNotice
{
public:
    virtual ~BrowserNotice() = default;
    virtual void Show(const std::string& caption, const std::string& text) = 0;
};

// The "Loading." dots advance once per progress event of any window.
struct ProgressCounter
{
    unsigned value = 0;
};
ProgressCounter& SharedProgressCounter();

class BrowserEvents
{
public:
    // Ways a window ends, as the game reads them.
    static constexpr int kEndPageClosed = 0;
    static constexpr int kEndTitleBarClose = 2;
    static constexpr int kEndError = -1;
    static constexpr int kEndSkinClose = -1;

    // Why a load failed, as far as this logic cares.
    enum class FailureKind
    {
        Error,       // the network or the server failed
        Cancelled,   // a new load replaced it, or it was stopped
        PolicyIgnore // our own navigation policy interrupted it
    };

    BrowserEvents(const std::string& firstAddress, const std::string& caption, BrowserNotice& notice,
                  ProgressCounter& counter = SharedProgressCounter());

    // Only http and https addresses are opened or navigated to: the first
    // address comes from relay replies, which are not to be trusted.
    static bool IsWebAddress(const std::string& address);

    void OnProgress(double fraction);
    // Null when the page has no title.
    void OnTitle(const char* title);
    void OnCommitted(const std::string& address);
    void OnFinished();
    void OnPageCloseRequest();
    void OnLoadFailed(FailureKind kind, int code);
    void OnTitleBarClose();
    // The skinned frame's close button.
    void OnSkinClose();

    const std::string& StatusText() const { return status_; }
    const std::string& Caption() const { return caption_; }
    const std::string& CurrentAddress() const { return address_; }
    bool Ended() const { return ended_; }
    int EndCode() const { return endCode_; }

    static const char* const kErrorCaption;
    static const char* const kErrorText;

private:
    // The first end wins; later events of a closing window change nothing.
    void end(int code);

    BrowserNotice& notice_;
    ProgressCounter& counter_;
    std::string address_;
    std::string caption_;
    std::string status_;
    bool ended_ = false;
    int endCode_ = 0;
};

} // namespace linkwell
