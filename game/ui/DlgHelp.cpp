// The help screen; see DlgHelp.h.
#include "game/ui/DlgHelp.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/widgets/Button.h"

using namespace TarnEngine;

// Scripts see the help screen as a Screen.
TARN_IMPLEMENT_RINSTANCECLASS(DlgHelp, Screen, RObjectFactory<DlgHelp>, L"Screen", nullptr)

void DlgHelp::ReadPages(const XmlNode& root, std::vector<HelpPage>& pages)
{
    for (const std::unique_ptr<XmlNode>& child : root.children)
    {
        if (pages.size() >= MaxPages)
            break;
        if (child->GetName() != L"Entry")
            continue;
        HelpPage page;
        child->GetAttribute(L"title", page.title);
        child->GetAttribute(L"text", page.text);
        pages.push_back(std::move(page));
    }
}

Button* DlgHelp::button(const InstanceHandle& handle) const
{
    return RObjectCast<Button>(handle.GetInstance());
}

void DlgHelp::OnScreenLoaded()
{
    currentPage = 0;
    titleText = FindChildByPath(L"lbl_title").AsText();
    bodyText = FindChildByPath(L"lbl_text").AsText();
    previousButton = FindChildByPath(L"btn_prev");
    nextButton = FindChildByPath(L"btn_next");
    std::wstring missing;
    for (const auto& [handle, childName] :
         {std::pair{previousButton, L"btn_prev"}, std::pair{nextButton, L"btn_next"}})
        if (!button(handle))
            missing += std::wstring(missing.empty() ? L"" : L", ") + childName;
    if (!missing.empty())
        if (ILogger* logger = ILogger::Get())
            logger->Log(LogGame, __FILE__, __LINE__, L"help screen \"%s\" lacks %s", definitionName, missing);

    pages.clear();
    const XmlNode* root = LoadXmlDocument(FileName);
    if (!root)
        return;
    ReadPages(*root, pages);
    ShowPage();
}

void DlgHelp::ShowPage()
{
    if (currentPage >= pages.size())
        return;
    const HelpPage& page = pages[currentPage];
    if (auto* text = RObjectCast<Instance_Text>(titleText.GetInstance()))
        text->SetText(page.title);
    if (auto* text = RObjectCast<Instance_Text>(bodyText.GetInstance()))
        text->SetText(page.text);
    if (Button* previous = button(previousButton))
        previous->SetEnabled(currentPage != 0);
    if (Button* next = button(nextButton))
        next->SetEnabled(currentPage + 1 != pages.size());
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"help page %d of %d", int32_t(currentPage + 1),
                    int32_t(pages.size()));
}

void DlgHelp::HandleButtonPressed(Button* pressed)
{
    if (pressed && pressed == button(previousButton) && currentPage > 0)
    {
        --currentPage;
        ShowPage();
        return;
    }
    if (pressed && pressed == button(nextButton) && currentPage + 1 < pages.size())
    {
        ++currentPage;
        ShowPage();
        return;
    }
    Screen::HandleButtonPressed(pressed);
}
