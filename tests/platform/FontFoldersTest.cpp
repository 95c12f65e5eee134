// Finding a font file by its bare name: the desktop's standard font folders
// first (walked breadth first, names matched ignoring case), then the folders
// only fontconfig's own settings name.
#include "platform/text/FontFolders.h"

#include <gtest/gtest.h>

#include "tests/common/ScopedEnvironment.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace
{

using ScopedVariable = ScopedEnvironmentVariable;

class FontFolders : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("pellwood-font-folders-" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    std::string at(const std::string& relative) const { return (root / relative).string(); }
    void file(const std::string& relative) const
    {
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative) << "font";
    }

    fs::path root;
};

} // namespace

TEST_F(FontFolders, StandardFoldersComeFirstBreadthFirstIgnoringCase)
{
    const std::string dataDirs = at("local") + ":relative/ignored:" + at("share") + "/";
    ScopedVariable home("HOME", at("home").c_str());
    ScopedVariable dataHome("XDG_DATA_HOME", nullptr);
    ScopedVariable dirs("XDG_DATA_DIRS", dataDirs.c_str());
    struct Case
    {
        const char* name;
        std::vector<const char*> files; // made in this order; the first is the one to be found
        const char* asked;
    } cases[] = {
        {"the user's folder before the system's", {"home/.local/share/fonts/A.ttf", "share/fonts/A.ttf"}, "A.ttf"},
        {"any letter case", {"share/fonts/truetype/x/Body.TTF"}, "body.ttf"},
        {"a folder's own files before deeper ones of an earlier folder",
         {"share/fonts/Root.ttf", "home/.local/share/fonts/deep/er/Root.ttf"},
         "Root.ttf"},
        {"the data folders in their order", {"local/fonts/sub/B.ttf", "share/fonts/sub/B.ttf"}, "B.ttf"},
        {"~/.fonts last", {"share/fonts/C.ttf", "home/.fonts/C.ttf"}, "C.ttf"},
        {"~/.fonts when nothing else has it", {"home/.fonts/sub/D.ttf"}, "d.ttf"},
    };
    for (const Case& c : cases)
    {
        fs::remove_all(root);
        for (const char* made : c.files)
            file(made);
        EXPECT_EQ(Platform::FindSystemFontFile(c.asked), at(c.files.front())) << c.name;
    }
}

TEST_F(FontFolders, DataHomeLinksAndNamesThatAreNoFonts)
{
    ScopedVariable home("HOME", at("home").c_str());
    ScopedVariable dataHome("XDG_DATA_HOME", at("data").c_str());
    ScopedVariable dirs("XDG_DATA_DIRS", at("share").c_str());
    // XDG_DATA_HOME replaces ~/.local/share.
    file("home/.local/share/fonts/E.ttf");
    file("share/fonts/E.ttf");
    file("data/fonts/E.ttf");
    EXPECT_EQ(Platform::FindSystemFontFile("E.ttf"), at("data/fonts/E.ttf"));

    // A link back up makes a loop; the walk still ends and still finds what lies further on.
    fs::create_directory_symlink(at("share/fonts"), at("share/fonts/loop"));
    file("share/fonts/z/last/F.ttf");
    EXPECT_EQ(Platform::FindSystemFontFile("F.ttf"), at("share/fonts/z/last/F.ttf"));

    // A folder of the name is not a font; names with a path or none give nothing.
    fs::create_directories(at("data/fonts/G.ttf"));
    for (const char* name : {"G.ttf", "", ".", "..", "fonts/E.ttf", "../fonts/E.ttf"})
        EXPECT_EQ(Platform::FindSystemFontFile(name), "") << '"' << name << '"';
}

TEST_F(FontFolders, FontconfigsFoldersAnswerWhatTheStandardOnesLack)
{
    // Empty standard folders: a font of the machine is still found, through fontconfig.
    ScopedVariable home("HOME", at("home").c_str());
    ScopedVariable dataHome("XDG_DATA_HOME", nullptr);
    ScopedVariable dirs("XDG_DATA_DIRS", at("share").c_str());
    fs::create_directories(at("share/fonts"));
    const std::string found = Platform::FindSystemFontFile("DejaVuSans.ttf");
    if (Platform::SystemFontFolders().empty())
        GTEST_SKIP() << "fontconfig lists no folders here";
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(fs::path(found).filename(), "DejaVuSans.ttf");
    EXPECT_NE(found.rfind(root.string(), 0), 0u) << found;
}
