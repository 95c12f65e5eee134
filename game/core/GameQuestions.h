// How the game's own code puts a question or a notice to the player: one
// request record, shown by the message box. Tests install a presenter of
// their own to see what was asked and to answer at once.
#pragma once

#include "game/ui/MsgBoxCallback.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class UIMessageBoxListener;

struct MessageBoxRequest
{
    std::wstring caption;
    std::wstring message;
    // A missing label has no button.
    std::optional<std::wstring> left;
    std::optional<std::wstring> center;
    std::optional<std::wstring> right;
    MsgBoxCallback callback = nullptr;
    UIMessageBoxListener* listener = nullptr;
    int32_t id = 0;
};

using MessageBoxPresenter = std::function<void(const MessageBoxRequest&)>;

// Tests: shows requests through the given presenter instead of the message box; empty restores it.
void SetMessageBoxPresenter(MessageBoxPresenter presenter);
// Shows the request; false when no box could be opened.
bool AskPlayer(const MessageBoxRequest& request);
