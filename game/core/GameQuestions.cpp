// Questions to the player; see GameQuestions.h.
#include "game/core/GameQuestions.h"

#include "game/ui/UIMessageBox.h"

namespace
{

MessageBoxPresenter& presenter()
{
    static MessageBoxPresenter installed;
    return installed;
}

const wchar_t* label(const std::optional<std::wstring>& text)
{
    return text ? text->c_str() : nullptr;
}

} // namespace

void SetMessageBoxPresenter(MessageBoxPresenter replacement)
{
    presenter() = std::move(replacement);
}

bool AskPlayer(const MessageBoxRequest& request)
{
    if (presenter())
    {
        presenter()(request);
        return true;
    }
    return ShowMessageBox(request.callback, request.listener, request.id, request.caption.c_str(),
                          request.message.c_str(), label(request.left), label(request.center),
                          label(request.right)) != nullptr;
}
