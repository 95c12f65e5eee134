// The help screen: pages through the entries of "help.xml" (title and text each, either may be a
// "|T|" string-table key) with a previous and a next button; any other button closes it. The pages
// are read once, at the screen's first update.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/ui/Screen.h"

#include <cstddef>
#include <string>
#include <vector>

namespace TarnEngine
{
class XmlNode;
}

struct HelpPage
{
    std::wstring title;
    std::wstring text;
};

class DlgHelp final : public TarnEngine::Screen
{
    TARN_RCLASS(DlgHelp)
public:
    static constexpr const wchar_t* DefinitionName = L"dlg_help";
    static constexpr const wchar_t* FileName = L"help.xml";
    // A help file is content: more entries than this are left out.
    static constexpr size_t MaxPages = 1000;

    // The "Entry" children of the root, in document order; an absent attribute is the empty text.
    static void ReadPages(const TarnEngine::XmlNode& root, std::vector<HelpPage>& pages);

    void ShowPage();

    const std::vector<HelpPage>& GetPages() const { return pages; }
    size_t GetCurrentPage() const { return currentPage; }

    // Screen
    void OnScreenLoaded() override;
    void HandleButtonPressed(TarnEngine::Button* button) override;

private:
    TarnEngine::Button* button(const TarnEngine::InstanceHandle& handle) const;

    std::vector<HelpPage> pages;
    size_t currentPage = 0;
    TarnEngine::InstanceHandle titleText;
    TarnEngine::InstanceHandle bodyText;
    TarnEngine::InstanceHandle previousButton;
    TarnEngine::InstanceHandle nextButton;
};
