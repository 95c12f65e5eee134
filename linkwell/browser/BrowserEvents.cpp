#include "linkwell/browser/BrowserEvents.h"

#include <cstdio>
#include <strings.h>

namespace linkwell
{

const char* const BrowserEvents::kErrorCaption = "Network error";
const char* const BrowserEvents::kErrorText =
    "We are sorry, there is error occurred while connecting!\nWindow will now close.";

ProgressCounter& SharedProgressCounter()
{
    static ProgressCounter counter;
    return counter;
}

BrowserEvents::BrowserEvents(const std::string& firstAddress, const std::string& caption,
                             BrowserNotice& notice, ProgressCounter& counter)
    : notice_(notice), counter_(counter), address_(firstAddress), caption_(caption)
{
}

bool BrowserEvents::IsWebAddress(const std::string& address)
{
    // A host must follow the scheme; "http:" alone or "http:/x" is not a web address.
    return strncasecmp(address.c_str(), "http://", 7) == 0    ? address.size() > 7
           : strncasecmp(address.c_str(), "https://", 8) == 0 ? address.size() > 8
                                                              : false;
}

void BrowserEvents::OnProgress(double fraction)
{
    if (ended_ || !(fraction > 0.0))
        return;
    static const char* const dots[3] = {"Loading.", "Loading..", "Loading..."};
    status_ = dots[counter_.value % 3];
    counter_.value = (counter_.value + 1) % 3;
}

void BrowserEvents::OnTitle(const char* title)
{
    if (ended_)
        return;
    caption_ = title != nullptr ? title : "";
}

void BrowserEvents::OnCommitted(const std::string& address)
{
    if (ended_)
        return;
    status_ = "Loaded";
    if (!address.empty())
        address_ = address;
}

void BrowserEvents::OnFinished()
{
    if (ended_)
        return;
    status_ = "Loaded";
}

void BrowserEvents::OnPageCloseRequest()
{
    end(kEndPageClosed);
}

void BrowserEvents::OnLoadFailed(FailureKind kind, int code)
{
    if (ended_ || kind != FailureKind::Error)
        return;
    std::fprintf(stderr, "Browser error: %d\n", code);
    // Ended before the notice runs its own loop, so that events arriving
    // meanwhile cannot show a second one.
    end(kEndError);
    notice_.Show(kErrorCaption, kErrorText);
}

void BrowserEvents::OnTitleBarClose()
{
    end(kEndTitleBarClose);
}

void BrowserEvents::OnSkinClose()
{
    end(kEndSkinClose);
}

void BrowserEvents::end(int code)
{
    if (ended_)
        return;
    ended_ = true;
    endCode_ = code;
}

} // namespace linkwell
