// Movie and image definitions as the loader reads them: labels, frame actions, library and text
// entries, key entries spread over the frames, the atlas information of images, and a corpus of
// malformed definitions, each of which must fail whole without leaking.
#include "tests/scene/definitions/DefinitionTestSupport.h"

#include <cmath>

namespace DefinitionTest
{
namespace
{

const char* const kLibraryEntry = "type=\"library\" definition=\"pic\" depth=\"0\" create=\"0\" death=\"1\" "
                                  "regx=\"0\" regy=\"0\"";
const char* const kTextEntry = "type=\"text\" text=\"hi\" face=\"Sans\" size=\"12\" color=\"0\" align=\"left\" "
                               "width=\"10\" height=\"10\" depth=\"0\" create=\"0\" death=\"1\" regx=\"0\" regy=\"0\"";

std::string movie(const std::string& attributes, const std::string& children)
{
    return "<Definition type=\"movie\" name=\"m\" " + attributes + ">" + children + "</Definition>";
}

std::unique_ptr<Definition_Movie> loadMovie(DefinitionMap& map, const std::string& text)
{
    std::unique_ptr<Definition_Base> made = MakeDefinition(map, text);
    return std::unique_ptr<Definition_Movie>(dynamic_cast<Definition_Movie*>(made.release()));
}

TEST(MovieDefinition, LabelsAndFrameActions)
{
    DefinitionMap map;
    std::unique_ptr<Definition_Movie> m = loadMovie(
        map, movie("length=\"010\" fps=\"0x1e\"",
                   "<Label name=\"intro\" frame=\"2\"/><Label name=\"loop\" frame=\"5\"/>"
                   "<Label name=\"again\" frame=\"5\"/><Label name=\"intro\" frame=\"7\"/>"
                   "<Event frame=\"1\" type=\"stop\"/>"
                   "<Event frame=\"1\" type=\"play\"/>"
                   "<Event frame=\"3\" type=\"gotoAndPlay\" targetframe=\"6\"/>"
                   "<Event frame=\"4\" type=\"gotoLabelAndStop\" targetframe=\"intro\"/>"
                   "<Event frame=\"6\" type=\"gotoLabelAndPlay\" targetframe=\"nowhere\"/>"
                   "<Event frame=\"7\" type=\"deleteSelf\" targetframe=\"3\"/>"));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->length, 8u);
    EXPECT_EQ(m->fps, 30u);
    EXPECT_EQ(m->labels, (std::map<uint32_t, std::wstring>{{2, L"intro"}, {5, L"again"}, {7, L"intro"}}));
    ASSERT_EQ(m->frameActions.size(), 4u) << "the jump to a missing label is dropped";
    EXPECT_EQ(m->frameActions[1].action, uint32_t(eFramePlay)) << "the later event of a frame acts";
    EXPECT_EQ(m->frameActions[3].action, uint32_t(eFrameGotoAndPlay));
    EXPECT_EQ(m->frameActions[3].target, 6u);
    EXPECT_EQ(m->frameActions[4].action, uint32_t(eFrameGotoAndStop));
    EXPECT_EQ(m->frameActions[4].target, 2u) << "the first label of that name in frame order";
    EXPECT_EQ(m->frameActions.count(6), 0u);
    EXPECT_EQ(m->frameActions[7].action, uint32_t(eFrameDeleteSelf));
    EXPECT_EQ(m->frameActions[7].target, 0u);
}

TEST(MovieDefinition, LibraryAndTextEntries)
{
    DefinitionMap map;
    std::unique_ptr<Definition_Movie> m = loadMovie(
        map, movie("length=\"1\" fps=\"30\"",
                   "<Instance type=\"Library\" instancename=\"bg\" definition=\"pic\" depth=\"-1\" create=\"010\" "
                   "death=\"0x10\" regx=\"1.5\" regy=\"-2\" userdata=\"door=3\" unknown=\"x\"><Frame/><Note/></Instance>"
                   "<Instance type=\"TEXT\" instancename=\"caption\" text=\"Hello.  World\\n\" face=\"Serif\" "
                   "size=\"14\" color=\"0xFFFFFFFF\" bold=\"2\" align=\"center\" valign=\"bottom\" width=\"99\" "
                   "height=\"19\" interlinespace=\"0.25\" gamma=\"1.8\" depth=\"3\" create=\"0\" death=\"1\" "
                   "regx=\"\" regy=\"\"><Frame/></Instance>"));
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->entries.size(), 2u);
    const InstanceEntry& library = m->entries[0];
    EXPECT_EQ(library.kind, uint32_t(eEntryLibrary));
    EXPECT_EQ(library.source, L"pic");
    EXPECT_EQ(library.instanceName, L"bg");
    EXPECT_EQ(library.depth, 0xFFFFFFFFu);
    EXPECT_EQ(library.create, 8u);
    EXPECT_EQ(library.death, 16u);
    EXPECT_FLOAT_EQ(library.regX, 1.5f);
    EXPECT_FLOAT_EQ(library.regY, -2.0f);
    EXPECT_EQ(library.userData, L"door=3");
    EXPECT_EQ(library.elementIndex, 0u);

    const InstanceEntry& text = m->entries[1];
    EXPECT_EQ(text.kind, uint32_t(eEntryText));
    EXPECT_EQ(text.source, L"Hello. World\n");
    EXPECT_EQ(text.face, L"Serif");
    EXPECT_EQ(text.fontSize, 14u);
    EXPECT_EQ(text.textColor, 0xFFFFFFFFu) << "a text colour keeps all 32 bits";
    EXPECT_EQ(text.bold, 1);
    EXPECT_EQ(text.textFormat, 0x10u | 0x1u | 0x8u);
    EXPECT_EQ(text.boxWidth, 100u);
    EXPECT_EQ(text.boxHeight, 20u);
    EXPECT_DOUBLE_EQ(text.lineSpacing, 1.25);
    EXPECT_DOUBLE_EQ(text.gamma, 1.8);
    EXPECT_FLOAT_EQ(text.regX, 0.0f);
    EXPECT_EQ(text.elementIndex, 1u);
}

TEST(MovieDefinition, TextLayoutAttributes)
{
    struct Case
    {
        const char* extra;
        uint32_t format;
        double lineSpacing;
    };
    const Case cases[] = {
        {"align=\"left\"", 0x10, 1.0},
        {"align=\"right\" valign=\"top\"", 0x12, 1.0},
        {"align=\"center\" valign=\"center\"", 0x15, 1.0},
        {"align=\"left\" interlinespace=\"-0.5\"", 0x10, 1.0},
        {"align=\"left\" interlinespace=\"3\"", 0x10, 2.0},
    };
    for (const Case& c : cases)
    {
        DefinitionMap map;
        std::unique_ptr<Definition_Movie> m =
            loadMovie(map, movie("length=\"0\" fps=\"30\"",
                                 std::string("<Instance type=\"text\" instancename=\"t\" text=\"x\" face=\"f\" "
                                             "size=\"1\" color=\"0\" width=\"1\" height=\"1\" depth=\"0\" "
                                             "create=\"0\" death=\"1\" regx=\"0\" regy=\"0\" ") +
                                     c.extra + "/>"));
        ASSERT_NE(m, nullptr) << c.extra;
        EXPECT_EQ(m->entries[0].textFormat, c.format) << c.extra;
        EXPECT_DOUBLE_EQ(m->entries[0].lineSpacing, c.lineSpacing) << c.extra;
        EXPECT_EQ(m->entries[0].bold, 0);
    }
}

TEST(MovieDefinition, FrameRunsFillOneKeyPerFrameOfTheMovie)
{
    DefinitionMap map;
    std::unique_ptr<Definition_Movie> m = loadMovie(
        map, movie("length=\"8\" fps=\"30\"",
                   std::string("<Instance instancename=\"runs\" ") + kLibraryEntry +
                       "><Frame length=\"3\" transform=\"1,0,0,1,1,0\" alpha=\"50\" color=\"0xFFFFFFFF\"/>"
                       "<Frame length=\"2\" transform=\"1,0,0,1,2,0\" color=\"-1\" isTween=\"1\"/></Instance>"
                       "<Instance instancename=\"zero\" " + kLibraryEntry +
                       "><Frame length=\"0\" transform=\"1,0,0,1,7,0\"/><Frame transform=\"1,0,0,1,9,0\"/></Instance>"
                       "<Instance instancename=\"extra\" " + kLibraryEntry +
                       "><Frame length=\"6\"/><Frame length=\"6\" transform=\"1,0,0,1,4,0\"/>"
                       "<Frame transform=\"1,0,0,1,5,0\"/></Instance>"
                       "<Instance instancename=\"words\" " + kTextEntry +
                       "><Frame transform=\"1,0,0,1,10,20\"/></Instance>"));
    ASSERT_NE(m, nullptr);
    auto xs = [&](size_t entry)
    {
        std::vector<float> values;
        for (const KeyEntry& key : m->entries[entry].keys)
            values.push_back(key.x);
        return values;
    };
    EXPECT_EQ(xs(0), (std::vector<float>{1, 1, 1, 2, 2, 2, 2, 2})) << "the last frame repeats";
    EXPECT_EQ(xs(1), (std::vector<float>{7, 7, 7, 7, 7, 7, 7, 7})) << "a run of 0 is never left";
    EXPECT_EQ(xs(2), (std::vector<float>{0, 0, 0, 0, 0, 0, 4, 4})) << "frames beyond the movie are ignored";
    EXPECT_EQ(xs(3), (std::vector<float>(8, 8.0f))) << "text entries sit 2 pixels up and left";
    EXPECT_FLOAT_EQ(m->entries[3].keys[0].y, 18.0f);

    const KeyEntry& first = m->entries[0].keys[0];
    EXPECT_FLOAT_EQ(first.alpha, 0.5f);
    EXPECT_EQ(first.color, 0xFFFFFFFFu) << "a colour written 0xFFFFFFFF is opaque white";
    EXPECT_EQ(first.tween, 0u);
    const KeyEntry& later = m->entries[0].keys[4];
    EXPECT_FLOAT_EQ(later.alpha, 0.0f) << "no alpha is transparent";
    EXPECT_EQ(later.color, 0xFFFFFFFFu);
    EXPECT_EQ(later.tween, 1u);
    EXPECT_EQ(m->entries[2].keys[0].color, 0xFFFFFFFFu) << "no colour attribute";
}

TEST(MovieDefinition, KeyColoursAreReadAsUnsignedThirtyTwoBits)
{
    struct Case
    {
        const char* written;
        uint32_t colour;
    };
    const Case cases[] = {
        {"0xFF800000", 0xFF800000u}, // opaque dark red: the alpha byte set keeps its tint
        {"0x80FF0000", 0x80FF0000u}, {"0x7F00FF00", 0x7F00FF00u}, {"0xFFFFFFFF", 0xFFFFFFFFu},
        {"0x00000000", 0x00000000u}, {"4286578688", 0xFF800000u}, // decimal that fits in 32 bits
        {"16711680", 0x00FF0000u},   {"-1", 0xFFFFFFFFu},         {"-16777216", 0xFF000000u},
    };
    for (const Case& c : cases)
    {
        DefinitionMap map;
        std::unique_ptr<Definition_Movie> m =
            loadMovie(map, movie("length=\"1\" fps=\"30\"",
                                 std::string("<Instance instancename=\"tinted\" ") + kLibraryEntry +
                                     "><Frame transform=\"1,0,0,1,0,0\" color=\"" + c.written + "\"/></Instance>"));
        ASSERT_NE(m, nullptr) << c.written;
        ASSERT_FALSE(m->entries.empty() || m->entries[0].keys.empty()) << c.written;
        EXPECT_EQ(m->entries[0].keys[0].color, c.colour) << c.written;
    }
}

TEST(MovieDefinition, AMovieOfNoFramesNeedsNoFrameElements)
{
    DefinitionMap map;
    std::unique_ptr<Definition_Movie> m =
        loadMovie(map, movie("length=\"0\" fps=\"30\"", std::string("<Instance instancename=\"a\" ") +
                                                            kLibraryEntry + "/>"));
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->entries.size(), 1u);
    EXPECT_TRUE(m->entries[0].keys.empty());
}

// One definition per failure the loader knows; each must make CreateDefinition give null, and with
// it the file that holds it fail, without anything left behind.
TEST(MovieDefinition, MalformedDefinitionsFailWhole)
{
    const std::string frames = "<Frame/>";
    auto entry = [&](const std::string& attributes) { return "<Instance " + attributes + ">" + frames + "</Instance>"; };
    auto without = [](std::string attributes, const std::string& name)
    {
        const size_t at = attributes.find(name + "=\"");
        attributes.erase(at, attributes.find('"', at + name.size() + 2) + 2 - at);
        return attributes;
    };
    const std::string library = std::string("instancename=\"a\" ") + kLibraryEntry;
    const std::string text = std::string("instancename=\"a\" ") + kTextEntry;
    const std::string good = "length=\"1\" fps=\"30\"";
    std::vector<std::pair<std::string, std::string>> corpus = {
        {"no length", movie("fps=\"30\"", "")},
        {"no fps", movie("length=\"1\"", "")},
        {"label without name", movie(good, "<Label frame=\"1\"/>")},
        {"label with empty name", movie(good, "<Label name=\"\" frame=\"1\"/>")},
        {"label without frame", movie(good, "<Label name=\"x\"/>")},
        {"event without frame", movie(good, "<Event type=\"stop\"/>")},
        {"event with empty type", movie(good, "<Event frame=\"1\" type=\"\"/>")},
        {"event of an unknown type", movie(good, "<Event frame=\"1\" type=\"Stop\"/>")},
        {"goto without target", movie(good, "<Event frame=\"1\" type=\"gotoAndStop\"/>")},
        {"label goto with empty target", movie(good, "<Event frame=\"1\" type=\"gotoLabelAndPlay\" targetframe=\"\"/>")},
        {"entry of an unknown type", movie(good, entry("type=\"sprite\" " + without(library, "type")))},
        {"entry without type", movie(good, entry(without(library, "type")))},
        {"entry without frames", movie(good, "<Instance " + library + "/>")},
        {"library entry without definition", movie(good, entry(without(library, "definition")))},
        {"align written Center", movie(good, entry("align=\"Center\" " + without(text, "align")))},
        {"unknown valign", movie(good, entry("valign=\"middle\" " + text))},
        {"image without src", "<Definition type=\"image\" name=\"i\"/>"},
        {"atlas of seven numbers", "<Definition type=\"image\" name=\"i\" src=\"\" bi=\"1 1 1 1 0 0 0\"/>"},
        {"atlas of nine numbers", "<Definition type=\"image\" name=\"i\" src=\"\" bi=\"1 1 1 1 0 0 0 0 0\"/>"},
        {"atlas with a double space", "<Definition type=\"image\" name=\"i\" src=\"\" bi=\"1 1 1 1  0 0 0 0\"/>"},
        // Atlas numbers that would have the image read outside its pictures.
        {"stored rectangle beyond the image", "<Definition type=\"image\" name=\"i\" src=\"\" bi=\"10 10 8 8 0 0 4 0\"/>"},
        {"offset wrapping round", "<Definition type=\"image\" name=\"i\" src=\"\" bi=\"10 10 8 8 0 0 4294967295 0\"/>"},
        {"logical image larger than any picture",
         "<Definition type=\"image\" name=\"i\" src=\"\" bi=\"65536 65536 8 8 0 0 0 0\"/>"},
        // A frame count that would allocate far beyond any content.
        {"too many keys", movie("length=\"4000000000\" fps=\"30\"", entry(library))},
    };
    for (const char* attribute : {"instancename", "depth", "create", "death", "regx", "regy"})
        corpus.push_back({std::string("library entry without ") + attribute, movie(good, entry(without(library, attribute)))});
    for (const char* attribute : {"text", "face", "size", "color", "align", "width", "height", "regy"})
        corpus.push_back({std::string("text entry without ") + attribute, movie(good, entry(without(text, attribute)))});
    for (const auto& [why, definition] : corpus)
    {
        SCOPED_TRACE(why);
        DefinitionMap map;
        EXPECT_EQ(MakeDefinition(map, definition), nullptr) << definition;
        // Movies again after a good entry, so that a partly read movie is freed as well.
        if (definition.find("</Definition>") != std::string::npos)
        {
            const std::string withGood = std::string(definition).insert(definition.find('>') + 1, entry(library));
            EXPECT_EQ(MakeDefinition(map, withGood), nullptr) << withGood;
        }
        EXPECT_FALSE(LoadFile(map, "<D><Definition type=\"image\" name=\"ok\" src=\"\"/>" + definition + "</D>"));
        EXPECT_TRUE(map.GetDefinitions().empty());
    }
}

TEST(MovieDefinition, UnknownAttributesAndChildrenAreNoFailure)
{
    DefinitionMap map;
    EXPECT_NE(MakeDefinition(map, movie("length=\"1\" fps=\"30\" colour=\"red\"",
                                        "<Label name=\"x\" frame=\"0\" extra=\"1\"/><Sound/>"
                                        "<Event frame=\"0\" type=\"stop\" targetframe=\"\"/>")),
              nullptr);
}

TEST(ImageDefinition, AtlasInformation)
{
    struct Case
    {
        const char* bi;
        uint32_t logicalWidth, logicalHeight, storedWidth, storedHeight, atlasX, atlasY, offsetX, offsetY;
    };
    const Case cases[] = {
        {nullptr, 0, 0, 0, 0, 0, 0, 0, 0},
        {"100 80 50 40 10 20 30 35", 100, 80, 50, 40, 10, 20, 30, 35},
        {"0x64 0120 100 80 0 0 0 0", 100, 80, 100, 80, 0, 0, 0, 0},
        // No logical size: no atlas information at all.
        {"0 80 50 40 10 20 30 35", 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases)
    {
        DefinitionMap map;
        const std::string text = std::string("<Definition type=\"image\" name=\"i\" src=\"pics\\a.png\"") +
                                 (c.bi ? std::string(" bi=\"") + c.bi + "\"" : "") + "/>";
        std::unique_ptr<Definition_Base> made = MakeDefinition(map, text);
        auto* picture = dynamic_cast<Definition_Image*>(made.get());
        ASSERT_NE(picture, nullptr) << text;
        EXPECT_EQ(picture->source, L"pics\\a.png");
        EXPECT_EQ(picture->HasAtlasInfo(), c.logicalWidth != 0);
        EXPECT_EQ(picture->logicalWidth, c.logicalWidth);
        EXPECT_EQ(picture->logicalHeight, c.logicalHeight);
        EXPECT_EQ(picture->storedWidth, c.storedWidth);
        EXPECT_EQ(picture->storedHeight, c.storedHeight);
        EXPECT_EQ(picture->atlasX, c.atlasX);
        EXPECT_EQ(picture->atlasY, c.atlasY);
        EXPECT_EQ(picture->offsetX, c.offsetX);
        EXPECT_EQ(picture->offsetY, c.offsetY);
    }
}

} // namespace
} // namespace DefinitionTest
