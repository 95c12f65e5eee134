// The help screen over a table of "help.xml" files, paged with its buttons through the user
// interface's input: the pages, the enabled buttons at either end, files it cannot use, UTF-16,
// string-table keys, and a definition without a previous button.
#include "engine/core/text/StringTable.h"
#include "engine/core/text/TextConversion.h"
#include "engine/scene/widgets/Button.h"
#include "game/ui/DlgHelp.h"
#include "tests/game/ui/DialogFixture.h"

namespace GameUiTest
{
namespace
{

std::string utf16WithMark(const std::string& utf8)
{
    std::wstring wide;
    // The fixtures are ASCII apart from the characters tested, which lie in the BMP.
    for (size_t i = 0; i < utf8.size();)
    {
        const unsigned char c = utf8[i];
        if (c < 0x80)
        {
            wide += wchar_t(c);
            i += 1;
        }
        else if ((c & 0xE0) == 0xC0)
        {
            wide += wchar_t(((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F));
            i += 2;
        }
        else
        {
            wide += wchar_t(((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F));
            i += 3;
        }
    }
    std::string bytes = "\xFF\xFE";
    for (wchar_t ch : wide)
    {
        bytes += char(ch & 0xFF);
        bytes += char((ch >> 8) & 0xFF);
    }
    return bytes;
}

const std::string kThree = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Help>\n"
                           "  <Entry title=\"Moving\" text=\"Click where you want to go.\"/>\n"
                           "  <Other title=\"not a page\"/>\n"
                           "  <Entry title=\"|T|HelpFind\" text=\"Look for the items in the list.\"/>\n"
                           "  <Entry title=\"Hints ✓\" text=\"Ask the owl — it knows.\"/>\n"
                           "</Help>\n";

class HelpTest : public DialogFixture
{
protected:
    void SetUp() override
    {
        DialogFixture::SetUp();
        keys = std::make_unique<StringTable>(StringTable::Keyed);
        files->files[L"translator_en.xml"] = "<t><r KEY=\"HelpFind\" VALUE=\"Finding things\"/></t>";
        ASSERT_TRUE(keys->LoadTranslator(L"en"));
    }

    void TearDown() override
    {
        UnloadXmlDocument(DlgHelp::FileName);
        DialogFixture::TearDown();
        keys.reset();
    }

    // Opens the help screen on this "help.xml" (none when null) and waits until it takes input.
    DlgHelp* Open(const std::string* file)
    {
        UnloadXmlDocument(DlgHelp::FileName);
        files->files.erase(DlgHelp::FileName);
        if (file)
            files->files[DlgHelp::FileName] = *file;
        auto* help =
            RObjectCast<DlgHelp>(screens->OpenScreen(DlgHelp::DefinitionName, L"", true, true).GetInstance());
        EXPECT_NE(help, nullptr);
        for (int i = 0; help && i < 100 && help->GetScreenState() != Screen::StateOpen; ++i)
            Tick();
        return help;
    }

    void CloseAndWait(DlgHelp* help)
    {
        help->Close(false);
        TickUntilGone(help);
    }

    // "title | text | prev next", the buttons as + (enabled) or - (disabled).
    std::string Shown(DlgHelp* help)
    {
        auto text = [&](const wchar_t* name)
        {
            auto* instance = Child<Instance_Text>(help, name);
            return instance ? WStringToUtf8(instance->text) : std::string("<none>");
        };
        auto state = [&](const wchar_t* name)
        {
            auto* button = Child<Button>(help, name);
            return std::string(!button ? "x" : button->enabled ? "+" : "-");
        };
        return text(L"lbl_title") + " | " + text(L"lbl_text") + " | " + state(L"btn_prev") +
               state(L"btn_next");
    }

    std::unique_ptr<StringTable> keys;
};

TEST_F(HelpTest, PagesForwardAndBackWithTheEndsDisabled)
{
    for (const bool wide : {false, true})
    {
        SCOPED_TRACE(wide ? "UTF-16LE with its mark" : "UTF-8");
        const std::string file = wide ? utf16WithMark(kThree) : kThree;
        DlgHelp* help = Open(&file);
        ASSERT_NE(help, nullptr);
        ASSERT_EQ(help->GetPages().size(), 3u);
        EXPECT_EQ(Shown(help), "Moving | Click where you want to go. | -+");
        ClickOn(Child<Button>(help, L"btn_prev"));
        EXPECT_EQ(help->GetCurrentPage(), 0u) << "disabled on the first page";
        ClickOn(Child<Button>(help, L"btn_next"));
        EXPECT_EQ(Shown(help), "Finding things | Look for the items in the list. | ++");
        ClickOn(Child<Button>(help, L"btn_next"));
        EXPECT_EQ(Shown(help), "Hints ✓ | Ask the owl — it knows. | +-");
        ClickOn(Child<Button>(help, L"btn_next"));
        EXPECT_EQ(help->GetCurrentPage(), 2u);
        EXPECT_EQ(help->GetScreenState(), Screen::StateOpen) << "a disabled button does not close it";
        ClickOn(Child<Button>(help, L"btn_prev"));
        EXPECT_EQ(Shown(help), "Finding things | Look for the items in the list. | ++");
        // Any other button closes the screen.
        ClickOn(Child<Button>(help, L"btn_close"));
        EXPECT_EQ(help->GetScreenState(), Screen::StateFadingOut);
        EXPECT_GT(TickUntilGone(help), 0);
    }
}

TEST_F(HelpTest, FilesWithOneOrNoPages)
{
    struct Case
    {
        const char* name;
        const char* file; // null: no file
        const char* shown;
    };
    const Case cases[] = {
        {"one entry", "<Help><Entry title=\"Only\" text=\"One page.\"/></Help>", "Only | One page. | --"},
        {"no entry", "<Help><Page title=\"x\"/></Help>", "definition title | definition text | ++"},
        {"empty root", "<Help/>", "definition title | definition text | ++"},
        {"missing", nullptr, "definition title | definition text | ++"},
        {"malformed", "<Help><Entry title=\"x\"></Help>", "definition title | definition text | ++"},
        {"not XML", "\x01\x02 help", "definition title | definition text | ++"},
        {"no attributes", "<Help><Entry/><Entry text=\"second\"/></Help>", " |  | -+"},
        {"any root name", "<Pages><Entry title=\"A\" text=\"B\"/></Pages>", "A | B | --"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string file = c.file ? c.file : "";
        DlgHelp* help = Open(c.file ? &file : nullptr);
        ASSERT_NE(help, nullptr);
        EXPECT_EQ(Shown(help), c.shown);
        CloseAndWait(help);
    }
}

TEST_F(HelpTest, ADefinitionWithoutThePreviousButtonStillPagesForward)
{
    std::string text = ReadGameTestFile("dialogs.xml");
    const size_t at = text.find("instancename=\"btn_prev\"");
    ASSERT_NE(at, std::string::npos);
    const size_t start = text.rfind("<Instance", at);
    const size_t end = text.find("</Instance>", at) + std::string("</Instance>").size();
    text.erase(start, end - start);
    LoadDialogs(text);
    DlgHelp* help = Open(&kThree);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(LogLines(L"lacks btn_prev"), 1u);
    EXPECT_EQ(Shown(help), "Moving | Click where you want to go. | x+");
    ClickOn(Child<Button>(help, L"btn_next"));
    ClickOn(Child<Button>(help, L"btn_next"));
    EXPECT_EQ(Shown(help), "Hints ✓ | Ask the owl — it knows. | x-");
}

TEST(HelpPages, ReadingStopsAtTheLimit)
{
    std::string file = "<Help>";
    for (size_t i = 0; i < DlgHelp::MaxPages + 5; ++i)
        file += "<Entry title=\"t\"/>";
    file += "</Help>";
    std::unique_ptr<XmlNode> root =
        ParseXmlFileBytes(reinterpret_cast<const uint8_t*>(file.data()), file.size(), false);
    ASSERT_NE(root, nullptr);
    std::vector<HelpPage> pages;
    DlgHelp::ReadPages(*root, pages);
    EXPECT_EQ(pages.size(), DlgHelp::MaxPages);
}

} // namespace
} // namespace GameUiTest
