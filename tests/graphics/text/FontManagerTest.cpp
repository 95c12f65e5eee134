// The font manager over a "fonts" folder of DejaVu files under made-up names:
// the scan, "file" elements with fallbacks, aliases, render rules and their
// options, bitmap aliases, system fonts and the GPOS reader of OpenType faces.
#include "engine/graphics/text/FontManager.h"
#include "engine/core/app/AppPaths.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileSystem.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "tests/graphics/font_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace TarnEngine;
namespace fs = std::filesystem;

namespace
{

class FontManagerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_root = fs::temp_directory_path() / ("font_manager_" + std::to_string(getpid()) + "_" +
                                              testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root / "fonts");
        // Regular and bold DejaVu Sans, and Serif under a name the scan skips.
        copy("DejaVuSans.ttf", "Sans.TTF");
        copy("DejaVuSans-Bold.ttf", "sansbold.ttf");
        copy("DejaVuSerif.ttf", "serif.ttc");
        copy("DejaVuSerif-Bold.ttf", "serifbold.dat");
    }
    void TearDown() override
    {
        m_manager.reset();
        m_xml.reset();
        m_files.reset();
        fs::remove_all(m_root);
    }

    void copy(const char* from, const std::string& to)
    {
        fs::copy_file(std::string(font_fixture::kDejaVuFolder) + from, m_root / "fonts" / to);
    }
    void write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(m_root / "fonts" / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    void writeXml(const std::string& text) { std::ofstream(m_root / "fonts" / "fonts.xml") << text; }

    // The engine's file system over the test folder, the XML cache reading
    // through it, and the manager on top.
    FontManager& start()
    {
        m_files = std::make_unique<FileSystem>();
        EXPECT_TRUE(
            m_files->AddSource(std::make_unique<FSLooseFiles>(FromOsPath(m_root.string() + "/"), L"Test")));
        m_xml = std::make_unique<XmlDocumentCache>(
            [](const std::wstring& name, std::vector<uint8_t>& bytes)
            {
                Stream stream = FileSystem::Get()->OpenStream(name);
                if (!stream.IsValid())
                    return false;
                bytes.resize(stream.GetSize());
                return stream.Read(bytes.data(), uint32_t(bytes.size()));
            });
        m_manager = std::make_unique<FontManager>();
        return *m_manager;
    }

    std::vector<std::wstring> fileNames() const
    {
        std::vector<std::wstring> names;
        for (size_t i = 0; i < m_manager->GetFaceCount(); ++i)
            names.push_back(m_manager->GetFaceFileName(i));
        return names;
    }

    // "family b i" of the face found for a style, or "none".
    std::string found(const wchar_t* name, int size, bool bold, bool italic = false) const
    {
        const FT_Face face = m_manager->FindFace(FontDesc(name, size, bold, italic)).face;
        if (face == nullptr)
            return "none";
        std::string out = face->family_name;
        if (face->style_flags & FT_STYLE_FLAG_BOLD)
            out += " b";
        if (face->style_flags & FT_STYLE_FLAG_ITALIC)
            out += " i";
        return out;
    }

    fs::path m_root;
    std::unique_ptr<FileSystem> m_files;
    std::unique_ptr<XmlDocumentCache> m_xml;
    std::unique_ptr<FontManager> m_manager;
};

} // namespace

TEST_F(FontManagerTest, ScanWithoutFontsXmlKeepsTheDefaults)
{
    FontManager& manager = start();
    EXPECT_EQ(FontManager::Get(), &manager);
    // Upper-case TTF is scanned; .ttc and other names are not.
    EXPECT_EQ(fileNames(), (std::vector<std::wstring>{L"sans.ttf", L"sansbold.ttf"}));
    EXPECT_EQ(manager.GetFaceStyle(0).name, L"DejaVu Sans");
    EXPECT_FALSE(manager.GetFaceStyle(0).bold);
    EXPECT_TRUE(manager.GetFaceStyle(1).bold);

    const FontRenderOptions& defaults = manager.GetDefaultOptions();
    EXPECT_EQ(defaults.loadFlags, 0u); // embedded bitmaps allowed
    EXPECT_DOUBLE_EQ(defaults.gamma, 1.1);
    EXPECT_DOUBLE_EQ(defaults.heightMultiplier, 1.07);
    EXPECT_EQ(defaults.offsetLeftAlign.x, 2);
    EXPECT_EQ(defaults.offsetLeftAlign.y, -3);
    EXPECT_EQ(defaults.offsetCenterAlign.x, 0);
    EXPECT_EQ(defaults.offsetCenterAlign.y, -3);
    EXPECT_EQ(defaults.offsetRightAlign.x, -3);
    EXPECT_EQ(defaults.offsetRightAlign.y, -3);

    // A style finds the face of its own flags only; options are the defaults.
    EXPECT_EQ(found(L"dejavu sans", 20, false), "DejaVu Sans");
    EXPECT_EQ(found(L"DejaVu Sans", 20, true), "DejaVu Sans b");
    EXPECT_EQ(found(L"DejaVu Sans", 20, false, true), "none");
    EXPECT_EQ(found(L"Arial", 20, false), "none");
    EXPECT_EQ(manager.FindFace(FontDesc(L"DejaVu Sans", 20, false, false)).options.gamma, 1.1);
    EXPECT_EQ(manager.FindFace(FontDesc(L"Arial", 20, false, false)).options.gamma, 0);

    m_manager.reset();
    EXPECT_EQ(FontManager::Get(), nullptr);
}

TEST_F(FontManagerTest, FileElementsAndFallbacks)
{
    writeXml(R"(<fonts>
  <file src="serif.ttc"/>
  <file src="SANS.ttf">
    <fallback src="serifbold.dat"><alias><from name="Never"/><to name="DejaVu Serif"/></alias></fallback>
  </file>
  <file src="missing.ttf">
    <fallback src="gone.ttf"><alias><from name="First"/><to name="DejaVu Serif"/></alias></fallback>
    <fallback src="serifbold.dat"><alias><FROM name="Second"/><To name="DejaVu Serif" bold="yes"/></alias></fallback>
    <fallback src="sansbold.ttf"><alias><from name="Third"/><to name="DejaVu Sans"/></alias></fallback>
  </file>
  <File src="ignored.ttf"/>
</fonts>)");
    start();
    // The scan first, then the .ttc through its element; the already-loaded
    // SANS.ttf counts as loaded; of the fallbacks only the first that loads.
    EXPECT_EQ(fileNames(),
              (std::vector<std::wstring>{L"sans.ttf", L"sansbold.ttf", L"serif.ttc", L"serifbold.dat"}));
    EXPECT_EQ(found(L"Never", 20, false), "none");
    EXPECT_EQ(found(L"First", 20, false), "none");
    EXPECT_EQ(found(L"Second", 20, false), "DejaVu Serif b");
    EXPECT_EQ(found(L"Third", 20, false), "none");
}

TEST_F(FontManagerTest, AliasRules)
{
    writeXml(R"(<fonts>
  <alias><from name="Title"/><to name="DejaVu Sans" bold="true"/></alias>
  <alias><from name="Title"/><to name="DejaVu Serif"/></alias>
  <alias><from name="Body" italic="1"/><to name="DejaVu Sans"/></alias>
  <alias><from name="Chain"/><to name="Title"/></alias>
  <alias><from name=""/><to name="DejaVu Sans"/></alias>
  <alias><from name="NoTo"/></alias>
</fonts>)");
    start();
    const struct
    {
        const wchar_t* name;
        bool bold, italic;
        const char* face;
    } cases[] = {
        {L"tITLE", false, false, "DejaVu Sans b"}, // the first matching alias wins
        {L"Title", true, false, "none"},           // a bold request finds no alias
        {L"Body", false, true, "DejaVu Sans"},
        {L"Body", false, false, "none"},
        {L"Chain", false, false, "none"}, // one alias step only
        {L"", false, false, "none"},
        {L"NoTo", false, false, "none"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(found(c.name, 20, c.bold, c.italic), c.face)
            << testing::PrintToString(std::wstring(c.name));
}

TEST_F(FontManagerTest, RenderRulesAndOptions)
{
    writeXml(R"(<fonts>
  <options antialias="light" disableHinting="1" gamma="1.8" offsetLeftAlign="5, 6"/>
  <render name="dejavu sans" size="20" gamma="2.5"/>
  <render name="DejaVu Sans" size="0x10" antialias="none" disableHinting="no" offsetRightAlign="-1, -2"/>
  <render name="DejaVu Sans" antialias="normal" forceAutoHinting="y" heightMultiplier="1.5"/>
  <render name="DejaVu Sans" bold="1" size="30" disableAutoHinting="true"/>
</fonts>)");
    FontManager& manager = start();
    const FontRenderOptions& defaults = manager.GetDefaultOptions();
    EXPECT_EQ(defaults.loadFlags, 0x10000u | 0x2 | 0x8);
    EXPECT_DOUBLE_EQ(defaults.gamma, 1.8);
    EXPECT_DOUBLE_EQ(defaults.heightMultiplier, 1.07);
    EXPECT_EQ(defaults.offsetLeftAlign.x, 5);
    EXPECT_EQ(defaults.offsetLeftAlign.y, 6);
    EXPECT_EQ(defaults.offsetCenterAlign.y, -3);

    const struct
    {
        int size;
        bool bold;
        uint32_t flags;
        double gamma, heightMultiplier;
    } cases[] = {
        // The first rule: antialias absent keeps only the light bit of the
        // defaults; disableHinting absent inherits theirs.
        {20, false, 0x10000 | 0x2 | 0x8, 2.5, 1.07},
        // Size 16 written in hexadecimal.
        {16, false, 0x20000 | 0x8, 1.8, 1.07},
        // Size 0 in a rule applies to every size.
        {31, false, 0x2 | 0x20 | 0x8, 1.8, 1.5},
        // A request of size 0 matches the first rule of its style.
        {0, false, 0x10000 | 0x2 | 0x8, 2.5, 1.07},
        {30, true, 0x10000 | 0x2 | 0x8000 | 0x8, 1.8, 1.07},
        // No rule for bold at 20: the defaults.
        {20, true, 0x10000 | 0x2 | 0x8, 1.8, 1.07},
    };
    for (const auto& c : cases)
    {
        const FontFaceInfo info = manager.FindFace(FontDesc(L"DejaVu Sans", c.size, c.bold, false));
        ASSERT_NE(info.face, nullptr);
        EXPECT_EQ(info.options.loadFlags, c.flags) << c.size << (c.bold ? " bold" : "");
        EXPECT_DOUBLE_EQ(info.options.gamma, c.gamma) << c.size;
        EXPECT_DOUBLE_EQ(info.options.heightMultiplier, c.heightMultiplier) << c.size;
    }
    const FontFaceInfo right = manager.FindFace(FontDesc(L"DejaVu Sans", 16, false, false));
    EXPECT_EQ(right.options.offsetRightAlign.x, -1);
    EXPECT_EQ(right.options.offsetRightAlign.y, -2);
    EXPECT_EQ(right.options.offsetLeftAlign.x, 5);
}

TEST_F(FontManagerTest, RulesWithoutOptionsElementCarryNoBitmaps)
{
    writeXml(R"(<fonts><render name="DejaVu Sans"/></fonts>)");
    FontManager& manager = start();
    EXPECT_EQ(manager.GetDefaultOptions().loadFlags, 0u);
    EXPECT_EQ(manager.FindFace(FontDesc(L"DejaVu Sans", 12, false, false)).options.loadFlags, 0x8u);
}

TEST_F(FontManagerTest, BitmapAliases)
{
    writeXml(R"(<fonts>
  <bitmapalias src="Score" dest="score_old.fnt"/>
  <bitmapalias src="Score" dest="score.fnt"/>
  <bitmapalias src="Title" dest="DejaVu Sans"/>
  <bitmapalias src="" dest="empty.fnt"/>
  <bitmapalias src="Nothing" dest=""/>
</fonts>)");
    FontManager& manager = start();
    const struct
    {
        const wchar_t* name;
        const wchar_t* resolved;
    } cases[] = {
        {L"Score", L"score.fnt"}, // a later element replaces the value
        {L"score", L"score"},     // keys are exact
        {L"Title", L"DejaVu Sans"}, {L"", L""}, {L"Nothing", L"Nothing"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(manager.ResolveBitmapAlias(c.name), c.resolved);
}

TEST_F(FontManagerTest, SystemFonts)
{
    writeXml(R"(<fonts>
  <file src="DEJAVUSANSMONO.TTF" system="true"/>
  <file src="DejaVuSerif.ttf" system="true"/>
  <file src="DejaVuSans-Bold.fon" system="true"/>
  <file src="nosuchfont.ttf" system="1"><fallback src="DejaVuSerif-Bold.ttf" system="1"/></file>
</fonts>)");
    start();
    // Names found ignoring case in fontconfig's folders; a name the system
    // flag does not allow is not looked up.
    EXPECT_EQ(fileNames(), (std::vector<std::wstring>{L"sans.ttf", L"sansbold.ttf", L"DEJAVUSANSMONO.TTF",
                                                      L"DejaVuSerif.ttf", L"DejaVuSerif-Bold.ttf"}));
    EXPECT_EQ(found(L"DejaVu Sans Mono", 20, false), "DejaVu Sans Mono");
    EXPECT_EQ(found(L"DejaVu Serif", 20, true), "DejaVu Serif b");
}

TEST_F(FontManagerTest, OpenTypeFacesWithoutKernTableGetTheGposReader)
{
    std::vector<uint8_t> noKern =
        font_fixture::readFile(std::string(font_fixture::kDejaVuFolder) + "DejaVuSans.ttf");
    font_fixture::renameTable(noKern, "kern", "xern");
    write("plain.otf", noKern);
    write("plain.ttf", noKern);
    copy("DejaVuSans.ttf", "kerned.otf");
    copy("DejaVuSansMono.ttf", "mono.otf");
    writeXml(R"(<fonts><file src="plain.ttf"/></fonts>)");
    FontManager& manager = start();
    std::map<std::wstring, bool> readers;
    for (size_t i = 0; i < manager.GetFaceCount(); ++i)
    {
        const FT_Face face = manager.LoadFontFile(manager.GetFaceFileName(i));
        readers[manager.GetFaceFileName(i)] = face->generic.data != nullptr;
    }
    EXPECT_EQ(readers, (std::map<std::wstring, bool>{{L"sans.ttf", false},
                                                     {L"kerned.otf", false},
                                                     {L"mono.otf", false},
                                                     {L"plain.otf", true},
                                                     {L"plain.ttf", false},
                                                     {L"sansbold.ttf", false}}));
}

TEST_F(FontManagerTest, LoadingTwiceReturnsTheSameFace)
{
    writeXml("<fonts/>");
    FontManager& manager = start();
    const FT_Face face = manager.LoadFontFile(L"sans.ttf");
    EXPECT_NE(face, nullptr);
    EXPECT_EQ(manager.LoadFontFile(L"SANS.TTF"), face);
    EXPECT_EQ(manager.LoadSystemFontFile(L"Sans.ttf"), face);
    EXPECT_EQ(manager.LoadFontFile(L"nothing.ttf"), nullptr);
    EXPECT_EQ(manager.LoadFontFile(L"fonts.xml"), nullptr); // not a font
    EXPECT_EQ(manager.GetFaceCount(), 2u);
}
