#include <gtest/gtest.h>

#include <map>

#include "engine/core/text/StringTable.h"
#include "engine/core/xml/XmlDocumentCache.h"

using namespace TarnEngine;

namespace
{

// The engine's tables and a document cache over in-memory files.
struct Tables
{
    std::map<std::wstring, std::string> files;
    std::map<std::wstring, int> reads;
    XmlDocumentCache cache{[this](const std::wstring& name, std::vector<uint8_t>& out)
                           {
                               ++reads[name];
                               auto it = files.find(name);
                               if (it == files.end())
                                   return false;
                               out.assign(it->second.begin(), it->second.end());
                               return true;
                           }};
    StringTable numbered{StringTable::Numbered};
    StringTable keyed{StringTable::Keyed};
};

TEST(StringTable, NumberedEntriesAreTrimmedLineByLine)
{
    Tables t;
    t.files[L"StringTable.xml"] =
        "<Strings>\r\n"
        "  <Entry id=\"10\"><Text>\r\n      First line  \r\n\tsecond\r\n\r\n  third  \r\n"
        "  </Text></Entry>\r\n"
        "  <Entry id=\"0x0B\"><Text>hex</Text></Entry>\r\n"
        "  <Entry id=\"014\"><Text>octal</Text></Entry>\r\n"
        "  <Entry id=\"13\"><Text>caf\xC3\xA9 &amp; \xF0\x9F\x98\x80</Text></Entry>\r\n"
        "</Strings>";
    ASSERT_TRUE(t.numbered.Load());
    EXPECT_EQ(t.numbered.GetById(10), L"First line\nsecond\n\nthird");
    EXPECT_EQ(t.numbered.GetById(11), L"hex");
    EXPECT_EQ(t.numbered.GetById(12), L"octal");
    EXPECT_EQ(t.numbered.GetById(13), L"caf\u00E9 & \U0001F600");
    EXPECT_EQ(t.numbered.GetById(14), L"");
}

TEST(StringTable, IdFormsAddressTheSameEntry)
{
    for (const char* id : {"10", "0xA", "012"})
    {
        Tables t;
        t.files[L"StringTable.xml"] = std::string("<S><Entry id=\"") + id + "\"><Text>ten</Text></Entry></S>";
        ASSERT_TRUE(t.numbered.Load()) << id;
        EXPECT_EQ(t.numbered.GetById(10), L"ten") << id;
    }
}

TEST(StringTable, BadEntryStopsTheLoadKeepingEarlierOnes)
{
    struct Case
    {
        const char* third;
    } cases[] = {
        {"<Entry id=\"3\"/>"}, {"<Entry id=\"3\"><Text></Text></Entry>"}, {"<Entry><Text>x</Text></Entry>"}};
    for (const Case& c : cases)
    {
        Tables t;
        t.files[L"StringTable.xml"] = std::string("<S><Entry id=\"1\"><Text>one</Text></Entry>"
                                                  "<Entry id=\"2\"><Text>two</Text></Entry>") +
                                      c.third + "<Entry id=\"4\"><Text>four</Text></Entry></S>";
        EXPECT_FALSE(t.numbered.Load()) << c.third;
        EXPECT_EQ(t.numbered.GetById(1), L"one");
        EXPECT_EQ(t.numbered.GetById(2), L"two");
        EXPECT_EQ(t.numbered.GetById(4), L"");
    }
}

TEST(StringTable, MissingFileIsAnEmptyTable)
{
    Tables t;
    EXPECT_TRUE(t.numbered.Load());
    EXPECT_EQ(t.numbered.GetById(1), L"");
}

TEST(StringTable, TranslatorChainsAreReadBreadthFirstAndFirstDefinitionWins)
{
    Tables t;
    t.files[L"translator_en.xml"] =
        "<T><R KEY=\"Hello\" VALUE=\"Hello there\"/>"
        "<R FILE=\"more.xml\"/><R FILE=\"other.xml\"/>"
        "<R KEY=\"HELLO\" VALUE=\"second\"/><R KEY=\"lonely\"/><R VALUE=\"orphan\"/></T>";
    t.files[L"more.xml"] =
        "<T><R KEY=\"Deep\" VALUE=\"from more\" FILE=\"ignored.xml\"/><R FILE=\"deeper.xml\"/></T>";
    t.files[L"other.xml"] =
        "<T><R KEY=\"deep\" VALUE=\"from other\"/><R KEY=\"Exit\" VALUE=\"  Quit  \"/></T>";
    t.files[L"deeper.xml"] = "<T><R KEY=\"exit\" VALUE=\"too late\"/></T>";
    EXPECT_TRUE(t.keyed.LoadTranslator(L"en"));
    EXPECT_EQ(t.keyed.GetText(L"hello"), L"Hello there");
    EXPECT_EQ(t.keyed.GetText(L"HeLLo"), L"Hello there");
    EXPECT_EQ(t.keyed.GetText(L"DEEP"), L"from more");
    EXPECT_EQ(t.keyed.GetText(L"exit"), L"  Quit  ");
    EXPECT_TRUE(t.keyed.HasText(L"EXIT"));
    EXPECT_FALSE(t.keyed.HasText(L"lonely"));
    EXPECT_EQ(t.keyed.GetText(L"Missing_Key"), L"Missing_Key");
    EXPECT_EQ(t.reads.count(L"ignored.xml"), 0u);
}

TEST(StringTable, FileCycleInTranslatorChainsEnds)
{
    Tables t;
    t.files[L"translator_de.xml"] = "<T><R FILE=\"a.xml\"/><R KEY=\"k0\" VALUE=\"v0\"/></T>";
    t.files[L"a.xml"] = "<T><R FILE=\"b.xml\"/><R FILE=\"a.xml\"/><R KEY=\"k1\" VALUE=\"v1\"/></T>";
    t.files[L"b.xml"] =
        "<T><R FILE=\"translator_de.xml\"/><R FILE=\"a.xml\"/><R KEY=\"k2\" VALUE=\"v2\"/></T>";
    EXPECT_TRUE(t.keyed.LoadTranslator(L"de"));
    EXPECT_EQ(t.keyed.GetText(L"k0"), L"v0");
    EXPECT_EQ(t.keyed.GetText(L"k1"), L"v1");
    EXPECT_EQ(t.keyed.GetText(L"k2"), L"v2");
    EXPECT_TRUE(t.keyed.LoadTranslator(L"xx")); // missing files are silent
}

TEST(StringTable, ResolveTextKey)
{
    Tables t;
    t.files[L"translator_en.xml"] = "<T><R KEY=\"Play\" VALUE=\"Play the game\"/></T>";
    t.keyed.LoadTranslator(L"en");
    struct Case
    {
        const wchar_t* text;
        const wchar_t* result;
        bool isKey;
    } cases[] = {
        {L"|T|", L"|T|", false},
        {L"|T|play", L"Play the game", true},
        {L"|T|Not_Here", L"Not_Here", true},
        {L"|t|play", L"|t|play", false},
        {L"plain", L"plain", false},
        {L"", L"", false},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(IsTextKey(c.text), c.isKey) << c.text;
        EXPECT_EQ(ResolveTextKey(c.text), c.result) << c.text;
    }
}

TEST(StringTable, LocalizeText)
{
    Tables t;
    t.files[L"StringTable.xml"] = "<S><Entry id=\"5\"><Text>Five</Text></Entry>"
                                  "<Entry id=\"12\"><Text>Twelve</Text></Entry></S>";
    ASSERT_TRUE(t.numbered.Load());
    struct Case
    {
        const wchar_t* text;
        const wchar_t* result;
    } cases[] = {
        {L"", L""},
        {L"  |5", L"  Five"},
        {L"\r\n\t|12|", L"\r\n\tTwelve"},
        {L"|12", L"Twelve"},
        {L"|0", L"|0"},
        {L"|abc", L"|abc"},
        {L"|99", L"|99"},
        {L"|99999999999", L"|99999999999"},
        {L"| 5", L"Five"},
        {L"|\t+12", L"Twelve"},
        {L"|-5", L"|-5"}, // wraps around to a number the table does not hold
        {L"|+", L"|+"},
        {L"plain text", L"plain text"},
        {L"|S|x|Hello|", L"Hello"},
        {L"  |String|tag|Hi there|", L"  Hi there"},
        {L"  |S|no bar", L"|S|no bar"},
        {L" |S|tag|", L" "},
        {L"|s|x|Hello|", L"|s|x|Hello|"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LocalizeText(c.text), c.result) << c.text;
}

} // namespace
