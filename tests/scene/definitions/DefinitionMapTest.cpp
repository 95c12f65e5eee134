// The definition map and the library loaders: names and their lists, all-or-nothing files, the
// library list with its validation pass, the meta files, and the splash screens' images.
#include "tests/scene/definitions/DefinitionTestSupport.h"

#include "engine/scene/definitions/nuggets/RMaterialNugget.h"

namespace DefinitionTest
{
namespace
{

std::string image(const std::string& name, const std::string& src)
{
    return "<Definition type=\"image\" name=\"" + name + "\" src=\"" + src + "\"/>";
}

std::string file(const std::string& definitions)
{
    return "<Definitions>" + definitions + "</Definitions>";
}

std::wstring sourceOf(const Definition_Base* definition)
{
    const auto* picture = dynamic_cast<const Definition_Image*>(definition);
    return picture ? picture->source : L"<none>";
}

TEST(DefinitionMap, ALaterFileOverridesANameAndKeepsTheEarlierReachable)
{
    DefinitionMap map;
    std::unique_ptr<XmlNode> first = Parse(file(image("btn", "old.png") + image("bg", "bg.png")));
    std::unique_ptr<XmlNode> second = Parse(file(image("btn", "new.png")));
    uint32_t added = 0, appended = 0;
    ASSERT_TRUE(LoadDefinitionFile(*first, map, added, appended));
    ASSERT_TRUE(LoadDefinitionFile(*second, map, added, appended));
    EXPECT_EQ(added, 2u);
    EXPECT_EQ(appended, 1u);

    EXPECT_EQ(sourceOf(map.FindDefinition(L"btn", -1)), L"new.png");
    EXPECT_EQ(sourceOf(map.FindDefinition(L"btn", 0)), L"old.png");
    EXPECT_EQ(sourceOf(map.FindDefinition(L"btn", 1)), L"new.png");
    EXPECT_EQ(map.FindDefinition(L"btn", 1)->listIndex, 1u);
    EXPECT_EQ(map.FindDefinition(L"btn", 0)->listIndex, 0u);
    EXPECT_EQ(map.FindDefinition(L"btn", 5), nullptr);
    EXPECT_EQ(map.FindDefinition(L"btn", -2), nullptr);
    EXPECT_EQ(map.FindDefinition(L"", -1), nullptr);
    EXPECT_EQ(map.FindDefinition(L"nothing", -1), nullptr);
    EXPECT_EQ(map.FindDefinition(L"bg", -1)->ownerMap, &map);
}

TEST(DefinitionMap, ANameTwiceInOneFileKeepsTheSecond)
{
    DefinitionMap map;
    // The first is freed (the leak check of the sanitizer build would report it otherwise).
    ASSERT_TRUE(LoadFile(map, file(image("twice", "first.png") + image("twice", "second.png"))));
    ASSERT_EQ(map.GetDefinitions().at(L"twice").size(), 1u);
    EXPECT_EQ(sourceOf(map.FindDefinition(L"twice", 0)), L"second.png");
}

TEST(DefinitionMap, TypesIgnoreCaseAndNamesDoNot)
{
    DefinitionMap map;
    ASSERT_TRUE(LoadFile(map, file("<Definition type=\"MOVIE\" name=\"Menu\" length=\"0\" fps=\"30\"/>"
                                   "<Definition type=\"Image\" name=\"menu\" src=\"menu.png\"/>")));
    ASSERT_NE(map.FindDefinition(L"Menu"), nullptr);
    EXPECT_EQ(map.FindDefinition(L"Menu")->isMovie, 1u);
    ASSERT_NE(map.FindDefinition(L"menu"), nullptr);
    EXPECT_EQ(map.FindDefinition(L"menu")->isMovie, 0u);
    EXPECT_EQ(map.FindDefinition(L"MENU"), nullptr);
}

TEST(DefinitionMap, AFileWithABadDefinitionAddsNothing)
{
    const std::string bad[] = {
        "<Definition type=\"sprite\" name=\"b\" src=\"b.png\"/>",
        "<Definition name=\"b\" src=\"b.png\"/>",
        "<Definition type=\"image\" src=\"b.png\"/>",
        "<Definition type=\"image\" name=\"b\"/>",
    };
    for (const std::string& definition : bad)
    {
        DefinitionMap map;
        ASSERT_TRUE(LoadFile(map, file(image("kept", "k.png"))));
        EXPECT_FALSE(LoadFile(map, file(image("a", "a.png") + definition + image("c", "c.png")))) << definition;
        EXPECT_EQ(map.GetDefinitions().size(), 1u) << definition;
        EXPECT_EQ(map.FindDefinition(L"a"), nullptr);
    }
}

TEST(DefinitionMap, SplashImagesAreAddedAndRemovedByName)
{
    DefinitionMap map;
    EXPECT_FALSE(map.AddImageDefinition(L"", L"x.png"));
    EXPECT_TRUE(map.GetDefinitions().empty());
    ASSERT_TRUE(LoadFile(map, file(image("logo", "loaded.png"))));
    EXPECT_TRUE(map.AddImageDefinition(L"logo", L"splash.png"));
    EXPECT_EQ(sourceOf(map.FindDefinition(L"logo", -1)), L"splash.png");
    // Its list index is its place, so that its instances find it and not the older one.
    EXPECT_EQ(map.FindDefinition(L"logo", -1)->listIndex, 1u);
    EXPECT_TRUE(map.AddImageDefinition(L"studio", L"studio.png"));
    EXPECT_EQ(map.FindDefinition(L"studio")->listIndex, 0u);

    map.RemoveDefinitions(L"logo");
    EXPECT_EQ(map.FindDefinition(L"logo", 0), nullptr);
    EXPECT_FALSE(map.HasName(L"logo"));
    map.RemoveDefinitions(L"");
    map.RemoveDefinitions(L"unknown");
    EXPECT_NE(map.FindDefinition(L"studio"), nullptr);
}

class LibraryList : public ::testing::Test
{
protected:
    bool Load(bool validate, const XmlNode* meta = nullptr)
    {
        const XmlNode* list = LoadXmlDocument(L"libraries.xml");
        EXPECT_NE(list, nullptr);
        return LoadLibraryXml(list, map, nullptr, meta, validate);
    }

    MemoryFiles memory;
    DefinitionMap map;
};

TEST_F(LibraryList, StopsAtTheFirstFailingLibrary)
{
    memory.files[L"a.xml"] = file(image("a", "a.png"));
    memory.files[L"b.xml"] = file(image("b1", "b.png") + "<Definition type=\"font\" name=\"b2\"/>" + image("b3", "b.png"));
    memory.files[L"c.xml"] = file(image("c", "c.png"));
    memory.files[L"broken.xml"] = "<Definitions><Definition";
    struct Case
    {
        const char* list;
        const char* why;
    };
    const Case cases[] = {
        {"<L><library file=\"a.xml\"/><library file=\"b.xml\"/><library file=\"c.xml\"/></L>", "a bad definition"},
        {"<L><library file=\"a.xml\"/><library/><library file=\"c.xml\"/></L>", "no file"},
        {"<L><library file=\"a.xml\"/><library file=\"gone.xml\"/><library file=\"c.xml\"/></L>", "missing"},
        {"<L><library file=\"a.xml\"/><library file=\"broken.xml\"/><library file=\"c.xml\"/></L>", "unparsable"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.why);
        DefinitionMap fresh;
        memory.files[L"libraries.xml"] = c.list;
        UnloadXmlDocument(L"libraries.xml");
        EXPECT_FALSE(LoadLibraryXml(LoadXmlDocument(L"libraries.xml"), fresh, nullptr, nullptr, false));
        EXPECT_NE(fresh.FindDefinition(L"a"), nullptr) << "earlier files stay";
        EXPECT_EQ(fresh.FindDefinition(L"b1"), nullptr);
        EXPECT_EQ(fresh.FindDefinition(L"c"), nullptr) << "later files are not read";
    }
}

// An image and a movie share one name table: the one loaded later hides the other for every
// lookup by name, as any later definition does. Content authors learn of it from the log (file and
// name); a later definition of the same kind is an ordinary override and is not reported.
TEST_F(LibraryList, AnImageAndAMovieOfOneNameAreReportedAndTheLaterOneWins)
{
    const std::string movie = "<Definition type=\"movie\" name=\"door\" length=\"0\" fps=\"30\"/>";
    memory.files[L"first.xml"] = file(image("door", "door.png") + image("wall", "wall.png"));
    memory.files[L"second.xml"] = file(movie + image("wall", "wall2.png"));
    memory.files[L"third.xml"] = file(image("door", "door3.png"));
    memory.files[L"both.xml"] = file(image("gate", "gate.png") +
                                     "<Definition type=\"movie\" name=\"gate\" length=\"0\" fps=\"30\"/>");
    memory.files[L"libraries.xml"] = "<L><library file=\"first.xml\"/><library file=\"second.xml\"/>"
                                     "<library file=\"third.xml\"/><library file=\"both.xml\"/></L>";
    CapturingLogger logger;
    ASSERT_TRUE(Load(false));

    EXPECT_EQ(map.FindDefinition(L"door", 1)->isMovie, 1u);
    EXPECT_EQ(sourceOf(map.FindDefinition(L"door", -1)), L"door3.png") << "the later one wins, whatever its kind";
    EXPECT_EQ(sourceOf(map.FindDefinition(L"door", 0)), L"door.png");
    EXPECT_EQ(map.FindDefinition(L"gate", -1)->isMovie, 1u) << "in one file too";
    EXPECT_EQ(map.GetDefinitions().at(L"gate").size(), 1u);

    std::vector<std::wstring> collisions;
    for (const std::wstring& line : logger.lines)
        if (line.find(L"door") != std::wstring::npos || line.find(L"gate") != std::wstring::npos ||
            line.find(L"wall") != std::wstring::npos)
            collisions.push_back(line);
    ASSERT_EQ(collisions.size(), 3u) << "the same kind again (wall) is no collision";
    const std::pair<const wchar_t*, const wchar_t*> expected[] = {
        {L"second.xml", L"\"door\""}, {L"third.xml", L"\"door\""}, {L"both.xml", L"\"gate\""}};
    for (size_t i = 0; i < collisions.size(); ++i)
    {
        SCOPED_TRACE(std::string(collisions[i].begin(), collisions[i].end()));
        EXPECT_NE(collisions[i].find(expected[i].first), std::wstring::npos);
        EXPECT_NE(collisions[i].find(expected[i].second), std::wstring::npos);
    }
}

TEST_F(LibraryList, EachFileIsReadAfreshAndNotKept)
{
    memory.files[L"libraries.xml"] = "<L><library file=\"a.xml\"/><other file=\"c.xml\"/></L>";
    memory.files[L"a.xml"] = file(image("a", "first.png"));
    ASSERT_NE(LoadXmlDocument(L"a.xml"), nullptr); // an old copy in the cache
    memory.files[L"a.xml"] = file(image("a", "second.png"));
    ASSERT_TRUE(Load(false));
    EXPECT_EQ(sourceOf(map.FindDefinition(L"a")), L"second.png");
    EXPECT_EQ(map.FindDefinition(L"c"), nullptr) << "only library elements name files";
    const int reads = memory.reads[L"a.xml"];
    ASSERT_NE(LoadXmlDocument(L"a.xml"), nullptr);
    EXPECT_EQ(memory.reads[L"a.xml"], reads + 1) << "the loaded tree was dropped";
}

TEST_F(LibraryList, ALibraryNamingTheListOrTheMetaFileUsesTheTreeInHand)
{
    memory.files[L"libraries.xml"] =
        "<L><library file=\"libraries.xml\"/><library file=\"libraries_meta.xml\"/><library file=\"a.xml\"/></L>";
    // A meta file that is a definition file as well.
    memory.files[L"libraries_meta.xml"] =
        "<M><Definition type=\"image\" name=\"a\" src=\"meta.png\"><Nuggets><MaterialNugget/></Nuggets>"
        "</Definition></M>";
    memory.files[L"a.xml"] = file(image("a", "a.png"));
    const XmlNode* meta = LoadXmlDocument(L"libraries_meta.xml");
    ASSERT_TRUE(Load(false, meta));
    EXPECT_EQ(sourceOf(map.FindDefinition(L"a", 0)), L"meta.png");
    ASSERT_EQ(sourceOf(map.FindDefinition(L"a", 1)), L"a.png");
    EXPECT_EQ(map.FindDefinition(L"a", 1)->nuggets.nuggets.size(), 1u) << "the meta file is still whole";
}

TEST_F(LibraryList, ValidationFindsMoviesNamingMissingDefinitions)
{
    auto movie = [](const std::string& name, const std::string& target)
    {
        return "<Definition type=\"movie\" name=\"" + name + "\" length=\"0\" fps=\"30\">"
               "<Instance type=\"library\" instancename=\"x\" definition=\"" + target + "\" depth=\"0\" "
               "create=\"0\" death=\"1\" regx=\"0\" regy=\"0\"/>"
               "<Instance type=\"text\" instancename=\"t\" text=\"hi\" face=\"Sans\" size=\"12\" color=\"0\" "
               "align=\"left\" width=\"10\" height=\"10\" depth=\"0\" create=\"0\" death=\"1\" regx=\"0\" "
               "regy=\"0\"/></Definition>";
    };
    std::unique_ptr<XmlNode> meta =
        Parse("<M><Definition name=\"bg\"><Nuggets><MaterialNugget/></Nuggets></Definition></M>");
    struct Case
    {
        std::string first;
        std::string second;
        bool valid;
        const char* why;
    };
    const Case cases[] = {
        {file(movie("menu", "bg")), file(image("bg", "bg.png")), true, "the reference is in a later file"},
        {file(movie("menu", "BG")), file(image("bg", "bg.png")), false, "names are exact"},
        {file(movie("menu", "gone")), file(movie("menu", "bg") + image("bg", "bg.png")), true,
         "only the last definition of a name counts"},
        {file(movie("menu", "bg")), file(movie("bg", "gone")), false, "a referenced movie is checked as well"},
    };
    memory.files[L"libraries.xml"] = "<L><library file=\"a.xml\"/><library file=\"b.xml\"/></L>";
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.why);
        memory.files[L"a.xml"] = c.first;
        memory.files[L"b.xml"] = c.second;
        DefinitionMap checked;
        EXPECT_EQ(LoadLibraryXml(LoadXmlDocument(L"libraries.xml"), checked, nullptr, meta.get(), true), c.valid);
        ASSERT_NE(checked.FindDefinition(L"menu"), nullptr) << "the definitions stay";
        ASSERT_NE(checked.FindDefinition(L"bg"), nullptr);
        EXPECT_EQ(checked.FindDefinition(L"bg")->nuggets.nuggets.size(), c.valid ? 1u : 0u)
            << "meta data only after success";
        EXPECT_EQ(ValidateReferences(checked), c.valid);

        DefinitionMap unchecked;
        EXPECT_TRUE(LoadLibraryXml(LoadXmlDocument(L"libraries.xml"), unchecked, nullptr, nullptr, false));
    }
}

TEST_F(LibraryList, WithoutAListOnlyTheMetaFileIsApplied)
{
    ASSERT_TRUE(LoadFile(map, file(image("a", "a.png"))));
    std::unique_ptr<XmlNode> meta =
        Parse("<M><Definition name=\"a\"><Nuggets><MaterialNugget/></Nuggets></Definition></M>");
    EXPECT_TRUE(LoadLibraryXml(nullptr, map, nullptr, meta.get(), true));
    EXPECT_EQ(map.FindDefinition(L"a")->nuggets.nuggets.size(), 1u);
}

TEST(SampleContent, ItsLibrariesLoadAndNameOnlyWhatTheyHold)
{
    // The loose files of the sample's base group, read through the document cache.
    RegisterEngineStatics();
    XmlDocumentCache cache(
        [](const std::wstring& name, std::vector<uint8_t>& bytes)
        {
            std::string path = std::string(PELLWOOD_SOURCE_DIR) + "/sample/input/";
            for (wchar_t c : name)
                path += c == L'\\' ? '/' : char(c);
            FILE* in = std::fopen(path.c_str(), "rb");
            if (!in)
                return false;
            int c = 0;
            while ((c = std::fgetc(in)) != EOF)
                bytes.push_back(uint8_t(c));
            std::fclose(in);
            return true;
        });
    DefinitionMap map;
    ASSERT_TRUE(LoadLibraryXml(LoadXmlDocument(L"libraries.xml"), map, nullptr, LoadXmlDocument(L"libraries_meta.xml"),
                               true));
    const auto* card = dynamic_cast<const Definition_Movie*>(map.FindDefinition(L"title_card"));
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->entries.size(), 3u);
    EXPECT_EQ(card->entries[1].nuggets.nuggets.size(), 1u);
    EXPECT_EQ(map.FindDefinition(L"stone")->nuggets.nuggets.size(), 1u);
}

class MetaFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterEngineStatics();
        ASSERT_TRUE(LoadFile(map, file(image("pic", "old.png") +
                                       "<Definition type=\"movie\" name=\"menu\" length=\"1\" fps=\"30\">"
                                       "<Instance type=\"library\" instancename=\"Play_Button\" definition=\"pic\" "
                                       "depth=\"0\" create=\"0\" death=\"1\" regx=\"0\" regy=\"0\"><Frame/></Instance>"
                                       "<Instance type=\"library\" instancename=\"play_button\" definition=\"pic\" "
                                       "depth=\"0\" create=\"0\" death=\"1\" regx=\"0\" regy=\"0\"><Frame/></Instance>"
                                       "</Definition>")));
        ASSERT_TRUE(LoadFile(map, file(image("pic", "new.png"))));
        menu = static_cast<Definition_Movie*>(map.FindDefinition(L"menu"));
    }

    static uint32_t materialOf(const NuggetList& list, size_t index)
    {
        const auto* material = RObjectCast<RMaterialNugget>(list.nuggets.at(index).get());
        return material ? material->flags : 0;
    }

    DefinitionMap map;
    Definition_Movie* menu = nullptr;
};

TEST_F(MetaFile, NuggetsGoToTheLastDefinitionAndToEntriesByNameIgnoringCase)
{
    std::unique_ptr<XmlNode> meta = Parse(
        "<M>"
        "<Definition name=\"pic\"><Nuggets><MaterialNugget><Material>Additive</Material></MaterialNugget>"
        "</Nuggets></Definition>"
        "<Definition name=\"menu\">"
        "<Instance name=\"PLAY_BUTTON\"><Nuggets><MaterialNugget><Material>NoBlend</Material></MaterialNugget>"
        "</Nuggets></Instance>"
        "<Instance name=\"nobody\"><Nuggets><MaterialNugget/></Nuggets></Instance>"
        "<Instance><Nuggets><MaterialNugget/></Nuggets></Instance>"
        "</Definition>"
        "<Definition name=\"unknown\"><Nuggets><MaterialNugget/></Nuggets></Definition>"
        "<Definition><Nuggets><MaterialNugget/></Nuggets></Definition>"
        "</M>");
    LoadDefinitionsXml(*meta, map);
    EXPECT_TRUE(map.FindDefinition(L"pic", 0)->nuggets.nuggets.empty());
    ASSERT_EQ(map.FindDefinition(L"pic", 1)->nuggets.nuggets.size(), 1u);
    EXPECT_EQ(materialOf(map.FindDefinition(L"pic", 1)->nuggets, 0), 0x80002u);
    ASSERT_EQ(menu->entries[0].nuggets.nuggets.size(), 1u) << "the first entry of that name";
    EXPECT_EQ(materialOf(menu->entries[0].nuggets, 0), 0x80000u);
    EXPECT_TRUE(menu->entries[1].nuggets.nuggets.empty());
    EXPECT_TRUE(menu->nuggets.nuggets.empty());
}

TEST_F(MetaFile, ApplyingItTwiceAppendsTwiceAndClearingEmpties)
{
    std::unique_ptr<XmlNode> meta = Parse("<M><Definition name=\"menu\"><Nuggets><MaterialNugget/></Nuggets>"
                                          "<Instance name=\"play_button\"><Nuggets><MaterialNugget/></Nuggets>"
                                          "</Instance></Definition></M>");
    LoadDefinitionsXml(*meta, map);
    LoadDefinitionsXml(*meta, map);
    EXPECT_EQ(menu->nuggets.nuggets.size(), 2u);
    EXPECT_EQ(menu->entries[0].nuggets.nuggets.size(), 2u);
    menu->ClearNuggets();
    EXPECT_TRUE(menu->nuggets.nuggets.empty());
    EXPECT_TRUE(menu->entries[0].nuggets.nuggets.empty());
}

} // namespace
} // namespace DefinitionTest
