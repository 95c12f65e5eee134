#include <gtest/gtest.h>

#include <map>

#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileSystem.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "tests/core/FileTestSupport.h"

using namespace TarnEngine;

namespace
{

std::vector<uint8_t> bytesOf(const std::string& s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::vector<uint8_t> utf16Le(const std::u16string& s, bool mark = true)
{
    std::vector<uint8_t> out;
    if (mark)
        out = {0xFF, 0xFE};
    for (char16_t c : s)
    {
        out.push_back(uint8_t(c & 0xFF));
        out.push_back(uint8_t(c >> 8));
    }
    return out;
}

// A small in-memory file set that counts reads.
struct Files
{
    std::map<std::wstring, std::vector<uint8_t>> content;
    int reads = 0;
    XmlDocumentCache::FileReader Reader()
    {
        return [this](const std::wstring& name, std::vector<uint8_t>& out)
        {
            ++reads;
            auto it = content.find(name);
            if (it == content.end())
                return false;
            out = it->second;
            return true;
        };
    }
};

const char16_t kUtf16Doc[] =
    u"<Strings lang=\"fr\"><Entry id=\"1\"><Text>caf\u00E9 \U0001F600</Text></Entry></Strings>";
const char kUtf8Doc[] =
    "<Strings lang=\"fr\"><Entry id=\"1\"><Text>caf\xC3\xA9 \xF0\x9F\x98\x80</Text></Entry></Strings>";

TEST(XmlDocumentCache, Utf16AndUtf8FilesGiveTheSameTree)
{
    std::vector<uint8_t> withMark = bytesOf(std::string("\xEF\xBB\xBF") + kUtf8Doc);
    auto fromUtf8 = ParseXmlFileBytes(withMark.data(), withMark.size(), true);
    std::vector<uint8_t> plain = bytesOf(kUtf8Doc);
    auto fromPlain = ParseXmlFileBytes(plain.data(), plain.size(), true);
    std::vector<uint8_t> wide = utf16Le(kUtf16Doc);
    auto fromUtf16 = ParseXmlFileBytes(wide.data(), wide.size(), true);
    ASSERT_TRUE(fromUtf8 && fromPlain && fromUtf16);
    EXPECT_EQ(WriteXmlText(*fromUtf8), WriteXmlText(*fromUtf16));
    EXPECT_EQ(WriteXmlText(*fromPlain), WriteXmlText(*fromUtf16));
    EXPECT_EQ(fromUtf16->GetChildText(L"Entry/Text"), L"caf\u00E9 \U0001F600");
}

TEST(XmlDocumentCache, CharacterReferencesReadTheSameInEveryEncoding)
{
    // References above U+007F, up to one outside the Basic Multilingual Plane, in text and values.
    const std::string body = "<r v=\"&#233;&#x20AC;\">&#169; caf&#233; &#8364; &#x1F600;&#128512;</r>";
    const std::u16string wideBody = u"<r v=\"&#233;&#x20AC;\">&#169; caf&#233; &#8364; &#x1F600;&#128512;</r>";
    struct Case
    {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"utf-8, nothing said", bytesOf(body)},
        {"utf-8 with a mark", bytesOf("\xEF\xBB\xBF" + body)},
        {"utf-8 declared", bytesOf("<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + body)},
        {"declared without an encoding", bytesOf("<?xml version=\"1.0\"?>" + body)},
        {"declared Latin-1, plain ASCII", bytesOf("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + body)},
        {"utf-16", utf16Le(wideBody)},
        {"utf-16 declared", utf16Le(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n" + wideBody)},
    };
    for (const Case& c : cases)
    {
        auto root = ParseXmlFileBytes(c.bytes.data(), c.bytes.size(), false);
        ASSERT_TRUE(root) << c.what;
        EXPECT_EQ(root->text, L"\u00A9 caf\u00E9 \u20AC \U0001F600\U0001F600") << c.what;
        EXPECT_EQ(root->GetStringAttribute(L"v", L""), L"\u00E9\u20AC") << c.what;
    }
}

TEST(XmlDocumentCache, TextThatIsNotUtf8StillLoads)
{
    // A Windows-1252 byte, undeclared: read byte by byte, so the markup after it is kept.
    const std::vector<uint8_t> bytes = bytesOf("<r v=\"\xE9t\">caf\xE9</r>");
    auto root = ParseXmlFileBytes(bytes.data(), bytes.size(), false);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->text, L"caf\uFFFD");
    EXPECT_EQ(root->GetStringAttribute(L"v", L""), L"\uFFFDt");
}

TEST(XmlDocumentCache, FilesThatGiveNoDocument)
{
    struct Case
    {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"two bytes", bytesOf("<a")},
        {"mark only", {0xFF, 0xFE, 0x00}},
        {"big-endian", {0xFE, 0xFF, 0x00, '<', 0x00, 'a', 0x00, '/', 0x00, '>'}},
        {"malformed", bytesOf("<a><b></a>")},
        {"utf-16 without mark", utf16Le(u"<a/>", false)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseXmlFileBytes(c.bytes.data(), c.bytes.size(), false), nullptr) << c.what;
}

TEST(XmlDocumentCache, LoadsOnceAndAgainAfterUnload)
{
    Files files;
    files.content[L"a.xml"] = bytesOf("<A v=\"1\"/>");
    files.content[L"b.xml"] = bytesOf("<B/>");
    XmlDocumentCache cache(files.Reader());
    ASSERT_EQ(XmlDocumentCache::Get(), &cache);

    XmlNode* a = LoadXmlDocument(L"a.xml");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->sourceName, L"a.xml");
    EXPECT_TRUE(a->shared);
    EXPECT_EQ(LoadXmlDocument(L"a.xml"), a);
    EXPECT_EQ(files.reads, 1);
    EXPECT_EQ(LoadXmlDocument(L"A.xml"), nullptr); // names are exact
    ASSERT_NE(LoadXmlDocument(L"b.xml"), nullptr);

    files.content[L"a.xml"] = bytesOf("<A v=\"2\"/>");
    UnloadXmlDocument(L"a.xml");
    XmlNode* again = LoadXmlDocument(L"a.xml");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->GetStringAttribute(L"v", L""), L"2");
    EXPECT_EQ(LoadXmlDocument(L"b.xml")->name, L"B");
}

TEST(XmlDocumentCache, MalformedFileIsNotCached)
{
    Files files;
    files.content[L"bad.xml"] = bytesOf("<A><B></A>");
    XmlDocumentCache cache(files.Reader());
    EXPECT_EQ(LoadXmlDocument(L"bad.xml"), nullptr);
    EXPECT_EQ(LoadXmlDocument(L"bad.xml"), nullptr);
    EXPECT_EQ(files.reads, 2);
    files.content[L"bad.xml"] = bytesOf("<A><B/></A>");
    EXPECT_NE(LoadXmlDocument(L"bad.xml"), nullptr);
}

TEST(XmlDocumentCache, GlobalPointerEndsWithTheCache)
{
    {
        XmlDocumentCache cache;
        EXPECT_EQ(XmlDocumentCache::Get(), &cache);
    }
    EXPECT_EQ(XmlDocumentCache::Get(), nullptr);
    EXPECT_EQ(LoadXmlDocument(L"any.xml"), nullptr);
}

TEST(XmlDocumentCache, ReadsThroughTheEngineFileSystem)
{
    FileTest::TempFolder temp;
    const std::vector<uint8_t> wide = utf16Le(kUtf16Doc);
    temp.Write("input/wide.xml", std::string(wide.begin(), wide.end()));
    temp.Write("input/narrow.xml", kUtf8Doc);
    temp.Write("input/tiny.xml", "<a");
    temp.Write("input/bad.xml", "<a><b></a>");
    FileSystem files;
    ASSERT_TRUE(files.AddSource(std::make_unique<FSLooseFiles>(temp.Engine("input/"), L"System")));
    XmlDocumentCache cache;

    XmlNode* fromWide = LoadXmlDocument(L"wide.xml", true);
    XmlNode* fromNarrow = LoadXmlDocument(L"narrow.xml", true);
    ASSERT_TRUE(fromWide && fromNarrow);
    EXPECT_EQ(WriteXmlText(*fromWide), WriteXmlText(*fromNarrow));
    EXPECT_EQ(fromWide->GetChildText(L"Entry/Text"), L"caf\u00E9 \U0001F600");
    EXPECT_EQ(LoadXmlDocument(L"tiny.xml"), nullptr);
    EXPECT_EQ(LoadXmlDocument(L"bad.xml"), nullptr);
    EXPECT_EQ(LoadXmlDocument(L"missing.xml"), nullptr);

    // A fixed file is read again: nothing was cached for it.
    temp.Write("input/bad.xml", "<a><b/></a>");
    EXPECT_NE(LoadXmlDocument(L"bad.xml"), nullptr);
    // A cached document is served from memory until it is unloaded.
    temp.Write("input/narrow.xml", "<Other/>");
    EXPECT_EQ(LoadXmlDocument(L"narrow.xml"), fromNarrow);
    UnloadXmlDocument(L"narrow.xml");
    EXPECT_EQ(LoadXmlDocument(L"narrow.xml")->name, L"Other");
}

} // namespace
