#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "engine/core/text/TextConversion.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"

using namespace TarnEngine;

namespace
{

std::unique_ptr<XmlNode> parse(const char* text, bool keep = true)
{
    auto node = std::make_unique<XmlNode>();
    if (!ParseXmlText(*node, text, keep))
        return nullptr;
    return node;
}

const char* kDocument = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- a comment -->
<Root kind="test">
    <a id="1"><c/></a>
    <a id="2"><b id="inner"/></a>
    <Entry id="e1"><Text>first</Text></Entry>
    <Entry id="e2"><Text>second</Text></Entry>
    <entry id="lower"/>
</Root>)";

TEST(XmlNode, PathQueries)
{
    auto root = parse(kDocument);
    ASSERT_TRUE(root);
    struct Case
    {
        const wchar_t* path;
        const wchar_t* id; // null: no element; empty: the root itself
    } cases[] = {
        {L"", L""},
        {L"/", L""},
        {L"  ", L""},
        {L"Entry", L"e1"},
        {L"/Entry", L"e1"},
        {L" / Entry ", L"e1"},
        {L"//Entry", L"e1"},
        {L"a", L"1"},
        {L"a/b", nullptr}, // the first "a" has no "b"
        {L"entry", L"lower"},
        {L"ENTRY", nullptr},
        {L"Entry/", nullptr},
        {L"Entry//Text", nullptr},
        {L"missing", nullptr},
    };
    for (const Case& c : cases)
    {
        XmlNode* found = root->GetChild(c.path);
        if (!c.id)
        {
            EXPECT_EQ(found, nullptr) << c.path;
            continue;
        }
        ASSERT_NE(found, nullptr) << c.path;
        if (*c.id == 0)
            EXPECT_EQ(found, root.get()) << c.path;
        else
            EXPECT_EQ(found->GetStringAttribute(L"id", L""), c.id) << c.path;
    }
    EXPECT_EQ(root->GetChildText(L"/Entry/Text"), L"first");
    EXPECT_EQ(root->GetChildText(L"Entry/Nothing"), L"");
    ASSERT_NE(root->FindChild(L"ENTRY"), nullptr);
    EXPECT_EQ(root->FindChild(L"ENTRY")->GetStringAttribute(L"id", L""), L"e1");
    EXPECT_EQ(root->FindChild(L"nothing"), nullptr);
}

TEST(XmlNode, GetChildrenTakesEveryMatchOfTheLastStep)
{
    auto root = parse(kDocument);
    ASSERT_TRUE(root);
    std::vector<XmlNode*> out{root.get()};
    root->GetChildren(L"/Entry", out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0]->GetStringAttribute(L"id", L""), L"e1");
    EXPECT_EQ(out[1]->GetStringAttribute(L"id", L""), L"e2");
    root->GetChildren(L"Entry/Text", out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0]->text, L"first");
    root->GetChildren(L"missing/Text", out);
    EXPECT_TRUE(out.empty());
    root->GetChildren(L"", out);
    EXPECT_TRUE(out.empty());
}

TEST(XmlNode, TypedAttributeReaders)
{
    auto node = parse(R"(<n t1="TRUE" t2="Yes" t3="y" t4="1" f1="no" f2="maybe" f3="" f4="0"
        d1=" 2.5x" d2="abc" d3="-1e3" p1="12,34" p2="12x34" p3=",34" p4="7" p5="-3;-4" p6="99999999999,1"/>)");
    ASSERT_TRUE(node);
    for (const wchar_t* name : {L"t1", L"t2", L"t3", L"t4"})
        EXPECT_TRUE(node->GetBoolAttribute(name, false)) << name;
    for (const wchar_t* name : {L"f1", L"f2", L"f3", L"f4"})
        EXPECT_FALSE(node->GetBoolAttribute(name, true)) << name;
    EXPECT_TRUE(node->GetBoolAttribute(L"absent", true));
    EXPECT_FALSE(node->GetBoolAttribute(L"absent", false));

    struct DoubleCase
    {
        const wchar_t* name;
        double value;
    } doubles[] = {{L"d1", 2.5}, {L"d2", 0.0}, {L"d3", -1000.0}, {L"absent", 7.25}};
    for (const DoubleCase& c : doubles)
    {
        EXPECT_EQ(node->GetDoubleAttribute(c.name, 7.25), c.value) << c.name;
        EXPECT_EQ(node->GetFloatAttribute(c.name, 7.25f), float(c.value)) << c.name;
    }

    struct PairCase
    {
        const wchar_t* name;
        std::pair<int, int> value;
    } pairs[] = {{L"p1", {12, 34}}, {L"p2", {12, 34}},        {L"p3", {0, 34}},   {L"p4", {7, 0}},
                 {L"p5", {-3, -4}}, {L"p6", {2147483647, 1}}, {L"absent", {5, 6}}};
    for (const PairCase& c : pairs)
        EXPECT_EQ(node->GetIntPairAttribute(c.name, 5, 6), c.value) << c.name;

    bool found = true;
    EXPECT_EQ(node->GetStringAttribute(L"absent", L"dflt", &found), L"dflt");
    EXPECT_FALSE(found);
    EXPECT_EQ(node->GetStringAttribute(L"t2", L"dflt", &found), L"Yes");
    EXPECT_TRUE(found);
    std::wstring out = L"old";
    EXPECT_FALSE(node->GetAttribute(L"absent", out));
    EXPECT_EQ(out, L"");
    EXPECT_EQ(node->FindAttribute(L"T1"), nullptr); // names are case-sensitive
}

TEST(XmlNode, NumbersReadTheSameInEveryLocale)
{
    XmlNode node;
    node.SetAttribute(L"alpha", L" 0.75");
    // A locale with a decimal comma, when the machine has one, must not change the reading.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "C"})
    {
        if (std::setlocale(LC_NUMERIC, name) == nullptr)
            continue;
        EXPECT_DOUBLE_EQ(node.GetDoubleAttribute(L"alpha", 1.0), 0.75) << name;
        EXPECT_FLOAT_EQ(node.GetFloatAttribute(L"alpha", 1.0f), 0.75f) << name;
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(XmlNode, ConversionMergesTextAndNamesAreAnsi)
{
    auto node = parse("<r a=\"1\" a2=\"caf\xC3\xA9\">one<![CDATA[<two>]]><!-- x -->three<k/></r>");
    ASSERT_TRUE(node);
    EXPECT_EQ(node->text, L"one<two>three");
    EXPECT_FALSE(node->empty);
    ASSERT_EQ(node->children.size(), 1u);
    EXPECT_TRUE(node->children[0]->empty);
    EXPECT_EQ(node->attributes.at(L"a2"), L"caf\u00E9");

    auto ansi = parse("<n\x80 v=\"x\"/>");
    ASSERT_TRUE(ansi);
    EXPECT_EQ(ansi->name, L"n\u20AC");
}

TEST(XmlNode, EveryAttributeOfAnElementIsKept)
{
    // More attributes than fit one sorting batch, names out of order, names
    // that prefix one another, and a name outside ASCII among plain ones.
    std::string many = "<r";
    std::vector<std::pair<std::wstring, std::wstring>> manyExpected;
    for (int i = 24; i >= 0; --i)
    {
        many += " k" + std::to_string(i) + "=\"v" + std::to_string(i) + "\"";
        manyExpected.emplace_back(L"k" + std::to_wstring(i), L"v" + std::to_wstring(i));
    }
    many += "/>";
    struct Case
    {
        std::string text;
        std::vector<std::pair<std::wstring, std::wstring>> expected;
    } cases[] = {
        {many, manyExpected},
        {"<r zeta='1' alpha='caf\xC3\xA9' mid=''/>",
         {{L"zeta", L"1"}, {L"alpha", L"caf\u00E9"}, {L"mid", L""}}},
        {"<r abc='3' a='1' A='0' ab='2'/>", {{L"abc", L"3"}, {L"a", L"1"}, {L"A", L"0"}, {L"ab", L"2"}}},
        {"<r b='1' n\x80='euro' a='2'/>", {{L"b", L"1"}, {L"n\u20AC", L"euro"}, {L"a", L"2"}}},
    };
    for (const Case& c : cases)
    {
        auto node = parse(c.text.c_str());
        ASSERT_TRUE(node) << c.text;
        EXPECT_EQ(node->attributes.size(), c.expected.size()) << c.text;
        for (const auto& [name, value] : c.expected)
        {
            const std::wstring* found = node->FindAttribute(name);
            ASSERT_NE(found, nullptr) << c.text;
            EXPECT_EQ(*found, value) << c.text;
        }
        // The printer writes them in this order.
        EXPECT_TRUE(std::is_sorted(node->attributes.begin(), node->attributes.end())) << c.text;
    }
}

// Random edits against a map: the block keeps every name once, in order, with
// its latest value, and the strings FindValue hands out hold what they should.
TEST(XmlAttributes, EditsMatchAMapOfTheSameEdits)
{
    std::mt19937 rng(20261211);
    const std::wstring names[] = {L"",   L"a",     L"ab",          L"abc",      L"b",        L"key",
                                  L"keytype", L"value", L"valuetype", L"n\u20AC", L"\U0001F600", L"zz"};
    const std::wstring values[] = {L"", L"1", L"1.000000", L"caf\u00E9 & <x>", std::wstring(300, L'v'),
                                   std::wstring(L"nul\0in", 6)};
    std::uniform_int_distribution<size_t> pickName(0, std::size(names) - 1);
    std::uniform_int_distribution<size_t> pickValue(0, std::size(values) - 1);
    std::uniform_int_distribution<int> pickEdit(0, 3);
    for (int round = 0; round < 200; ++round)
    {
        XmlAttributes attributes;
        std::map<std::wstring, std::wstring> model;
        for (int step = 0; step < 12; ++step)
        {
            const std::wstring& name = names[pickName(rng)];
            const std::wstring& value = values[pickValue(rng)];
            switch (pickEdit(rng))
            {
            case 0:
                if (model.empty() || model.rbegin()->first < name)
                {
                    attributes.AppendInOrder(name, value);
                    model[name] = value;
                }
                break;
            case 1:
                // A value taken from the block itself, which the insertion moves.
                if (!attributes.empty())
                {
                    const auto source = std::next(attributes.begin(), std::ptrdiff_t(step % attributes.size()));
                    model[name] = std::wstring(source->second);
                    attributes.insert_or_assign(name, source->second);
                }
                break;
            default:
                attributes.insert_or_assign(name, value);
                model[name] = value;
                break;
            }
            const std::wstring* looked = attributes.FindValue(name);
            ASSERT_EQ(looked != nullptr, model.count(name) == 1);
            ASSERT_EQ(attributes.size(), model.size());
            auto expected = model.begin();
            for (const auto& [key, held] : attributes)
            {
                EXPECT_EQ(key, expected->first);
                EXPECT_EQ(held, expected->second);
                const std::wstring* found = attributes.FindValue(key);
                ASSERT_NE(found, nullptr);
                EXPECT_EQ(*found, expected->second);
                ++expected;
            }
            // Strings handed out earlier stay put while only lookups follow.
            if (looked)
                EXPECT_EQ(*looked, model[name]);
        }
        const XmlAttributes copy = attributes;
        EXPECT_TRUE(copy == attributes);
        XmlAttributes moved = std::move(attributes);
        EXPECT_TRUE(moved == copy);
        EXPECT_TRUE(attributes.empty());
        EXPECT_EQ(attributes.begin(), attributes.end());
    }
}

TEST(XmlAttributes, LookupsOfAbsentNamesAndClear)
{
    XmlAttributes attributes;
    EXPECT_EQ(attributes.FindValue(L"a"), nullptr);
    EXPECT_THROW((void)attributes.at(L"a"), std::out_of_range);
    attributes.insert_or_assign(L"b", L"2");
    attributes.insert_or_assign(L"a", L"1");
    EXPECT_EQ(attributes.at(L"a"), L"1");
    EXPECT_EQ(attributes.count(L"b"), 1u);
    EXPECT_EQ(attributes.count(L"c"), 0u);
    EXPECT_EQ(attributes.find(L"c"), attributes.end());
    EXPECT_EQ(attributes.find(L"b")->second, L"2");
    attributes.clear();
    EXPECT_TRUE(attributes.empty());
    EXPECT_EQ(attributes.FindValue(L"a"), nullptr);
    attributes.AppendInOrder(L"x", L"after clear");
    EXPECT_EQ(attributes.at(L"x"), L"after clear");
}

TEST(XmlNode, MalformedTextLeavesTargetAlone)
{
    const char* bad[] = {"", "<a>", "<a></b>", "text only", "<a b=\"1></a>", "<a/><b", nullptr};
    for (const char* text : bad)
    {
        XmlNode target(L"keep");
        target.SetAttribute(L"x", L"y");
        EXPECT_FALSE(ParseXmlText(target, text, true)) << (text ? text : "null");
        EXPECT_EQ(target.name, L"keep");
        EXPECT_EQ(target.attributes.size(), 1u);
    }
}

TEST(XmlNode, DocumentTypeDeclarationsAreSkipped)
{
    // Each prolog goes before the same element; the tree is the same as without it.
    const char* const body = "<a x=\"1\">t<b/></a>";
    const char* prologs[] = {
        "<!DOCTYPE a>",
        "<!DOCTYPE a [<!ELEMENT a ANY>]>",
        "<?xml version=\"1.0\"?>\n<!-- made by hand -->\n<!DOCTYPE a [\n  <!ELEMENT a (#PCDATA|b)*>\n]>\n",
        "\xEF\xBB\xBF<!DOCTYPE a[<!ATTLIST a x CDATA '>'>]>",
        "<!DOCTYPE a PUBLIC \"-//Example//DTD A//EN\" \"a>b.dtd\" [<!ENTITY e \"]>\">]  >",
        "<!DOCTYPE a [<!-- ]> ' --><?pi ]> \"?><!ENTITY % p 'x'>%p;]>",
        "<?xml-stylesheet href=\"a.xsl\"?><!DOCTYPE a SYSTEM 'a.dtd'>",
    };
    const auto plain = parse(body);
    ASSERT_TRUE(plain);
    for (const char* prolog : prologs)
    {
        const std::string text = std::string(prolog) + body;
        const auto node = parse(text.c_str());
        ASSERT_TRUE(node) << text;
        EXPECT_EQ(WriteXmlText(*node), WriteXmlText(*plain)) << text;
    }

    // A declaration that never ends leaves no document after it.
    const char* unterminated[] = {
        "<!DOCTYPE a [<!ELEMENT a ANY>",
        "<!DOCTYPE a [<!ENTITY e \"]>\n",
        "<!DOCTYPE a SYSTEM \"a.dtd>",
        "<!DOCTYPE a [<!-- ]>",
    };
    for (const char* prolog : unterminated)
    {
        const std::string text = std::string(prolog) + body;
        EXPECT_FALSE(parse(text.c_str())) << text;
    }
    // After the root it is no prolog: left to the parser, as any other markup there.
    EXPECT_TRUE(parse("<a/><!DOCTYPE a>"));
}

TEST(XmlNode, DeepNestingIsRefused)
{
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a x='>' y=\"/>\">";
    XmlNode target;
    EXPECT_FALSE(ParseXmlText(target, deep.c_str(), true));

    std::string wide = "<r>";
    for (int i = 0; i < 5000; ++i)
        wide += "<a v=\"/\"/><b></b><!-- <c> --><![CDATA[<d>]]>";
    wide += "</r>";
    EXPECT_TRUE(ParseXmlText(target, wide.c_str(), true));
    EXPECT_EQ(target.children.size(), 10000u);
}

TEST(XmlNode, NestingLimitCountsOnlyOpenElements)
{
    // Quoted '>' and "/>", blanks around '=', empty elements and comments
    // between the levels must not move the count; a document within the limit
    // keeps every level, one beyond it is refused whole.
    auto nested = [](int depth)
    {
        std::string text;
        for (int i = 0; i < depth; ++i)
        {
            text += "<a x = '>' y=\"/>\">";
            if (i < depth - 1)
                text += "<e/><!-- <c> -->";
        }
        for (int i = 0; i < depth; ++i)
            text += "</a>";
        return text;
    };
    struct Case
    {
        int depth;
        bool parses;
    } cases[] = {{1, true}, {300, true}, {512, true}, {513, false}};
    for (const Case& c : cases)
    {
        XmlNode target;
        ASSERT_EQ(ParseXmlText(target, nested(c.depth).c_str(), true), c.parses) << c.depth;
        if (!c.parses)
            continue;
        int levels = 1;
        for (const XmlNode* node = &target; (node = node->GetChild(L"a")) != nullptr;)
            ++levels;
        EXPECT_EQ(levels, c.depth);
    }
}

TEST(XmlNode, TextCutInsideACharacterIsNotReadPastItsEnd)
{
    // Each text ends right before an unreadable page: reading one byte past
    // its terminator faults.
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    void* pages = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(static_cast<char*>(pages) + page, page, PROT_NONE), 0);
    const std::string bom = "\xEF\xBB\xBF";
    const std::string cases[] = {
        bom + "<S><Text>caf\xC3",
        bom + "<S><Text>\xE2\x82",
        bom + "<S><Text>\xF0\x9F\x98",
        bom + "<S a=\"\xF0",
        bom + "<S\xE2",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><S>\xC3",
        bom + "<S>\xC3\xA9</S>\xF0",
    };
    for (const std::string& text : cases)
    {
        char* at = static_cast<char*>(pages) + page - (text.size() + 1);
        std::memcpy(at, text.c_str(), text.size() + 1);
        XmlNode target;
        ParseXmlText(target, at, true); // parsed or refused; it must not fault
    }
    munmap(pages, 2 * page);
}

TEST(XmlNode, PrintForms)
{
    XmlNode root(L"Root");
    XmlNode* single = root.AddNewChild(L"Single");
    single->SetAttribute(L"b", L"say \"hi\" & <bye>");
    single->SetAttribute(L"a", L"0");
    single->SetAttribute(L"a", L"1"); // replaces, never adds a second "a"
    XmlNode* text = root.AddNewChild(L"Text");
    text->text = L"line";
    text->empty = false;
    EXPECT_EQ(WriteXmlText(root), L"<Root>\n"
                                  L"    <Single a=\"1\" b=\"say &quot;hi&quot; &amp; &lt;bye&gt;\"/>\n"
                                  L"    <Text>line</Text>\n"
                                  L"</Root>\n");
    XmlNode leaf(L"Leaf");
    EXPECT_EQ(WriteXmlText(leaf), L"<Leaf/>\n");
    leaf.text = L"set without clearing empty";
    EXPECT_EQ(WriteXmlText(leaf), L"<Leaf>set without clearing empty</Leaf>\n");
    EXPECT_TRUE(root.RemoveChild(0));
    EXPECT_FALSE(root.RemoveChild(1));
    EXPECT_EQ(root.children.size(), 1u);
}

TEST(XmlNode, TextOfCharactersTheParserSkipsReadsBack)
{
    for (const std::wstring value : {L"\uFEFF", L" \uFFFE\t", L"\uFFFF", L"\uFEFFx"})
    {
        XmlNode root(L"r");
        XmlNode* child = root.AddNewChild(L"t");
        child->text = value;
        child->empty = false;
        const std::string utf8 = WStringToUtf8(WriteXmlText(root));
        XmlNode back;
        ASSERT_TRUE(ParseXmlText(back, utf8.c_str(), true)) << utf8;
        ASSERT_EQ(back.children.size(), 1u);
        EXPECT_EQ(back.children[0]->text, value) << utf8;
    }
}

// Well-formed UTF-8 is read as UTF-8 whatever the text holds: character
// references above U+007F, the byte-order mark and the two non-characters
// the parser steps over, a declaration naming another encoding, or none of
// these (plain multi-byte text).
TEST(XmlNode, Utf8TextReadsAsUtf8WithOrWithoutReferences)
{
    struct Case
    {
        const char* text;
        const wchar_t* attribute;
        const wchar_t* body;
    };
    const Case cases[] = {
        {"<a v=\"caf\xC3\xA9 \xE2\x82\xAC\">\xF0\x9F\x98\x80 &amp; &lt;x&gt;</a>", L"caf\u00E9 \u20AC",
         L"\U0001F600 & <x>"},
        {"<a v=\"&#233;&#x20AC;\">&#x1F600;</a>", L"\u00E9\u20AC", L"\U0001F600"},
        {"<a v=\"&#65;&#x42;\xC3\xA9\">&#x9;t</a>", L"AB\u00E9", L"\tt"},
        {"<a v=\"\xC3\xA9\"><![CDATA[\xEF\xBB\xBF]]>x\xC3\xA9</a>", L"\u00E9", L"\uFEFFx\u00E9"},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a v=\"\xC3\xA9\">\xC3\xA9</a>", L"\u00E9", L"\u00E9"},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a v=\"&#233;\">\xC3\xA9</a>", L"\u00E9", L"\u00E9"},
    };
    for (const Case& c : cases)
    {
        const std::unique_ptr<XmlNode> node = parse(c.text);
        ASSERT_NE(node, nullptr) << c.text;
        EXPECT_EQ(node->GetStringAttribute(L"v", L"?"), c.attribute) << c.text;
        EXPECT_EQ(node->text, c.body) << c.text;
    }
}

// Random text of every kind the printer must protect: markup characters,
// control characters, white space alone, characters beyond the BMP.
std::wstring randomText(std::mt19937& rng)
{
    static const wchar_t kSpecial[] = {L'&',  L'<',  L'>',  L'"', L'\'',   L';',    L'#',    L'\t', L'\n',
                                       L'\r', L'\v', L'\f', L' ', L'\x01', L'\x1F', L'\x7F', L']'};
    std::uniform_int_distribution<int> length(0, 24);
    std::uniform_int_distribution<int> kind(0, 5);
    std::uniform_int_distribution<int> special(0, sizeof(kSpecial) / sizeof(kSpecial[0]) - 1);
    std::uniform_int_distribution<int> ascii(0x20, 0x7E);
    std::uniform_int_distribution<int> bmp(0xA0, 0xFFFD);
    std::uniform_int_distribution<int> astral(0x10000, 0x10FFFF);
    std::wstring out;
    int n = length(rng);
    for (int i = 0; i < n; ++i)
    {
        switch (kind(rng))
        {
        case 0:
        case 1:
            out += kSpecial[special(rng)];
            break;
        case 2:
            out += wchar_t(ascii(rng));
            break;
        case 3:
        {
            int c = bmp(rng);
            if (c >= 0xD800 && c < 0xE000)
                c = 0x4E2D;
            out += wchar_t(c);
            break;
        }
        default:
            out += wchar_t(astral(rng));
        }
    }
    return out;
}

TEST(XmlNode, AnyTextAndAttributeReadsBackIdentical)
{
    std::mt19937 rng(20261210);
    for (int round = 0; round < 400; ++round)
    {
        XmlNode root(L"Profile");
        std::vector<std::wstring> values;
        for (int i = 0; i < 4; ++i)
        {
            XmlNode* child = root.AddNewChild(L"Item");
            values.push_back(randomText(rng));
            values.push_back(randomText(rng));
            child->SetAttribute(L"value", values[values.size() - 2]);
            child->text = values.back();
            child->empty = child->text.empty();
        }
        const std::string utf8 = WStringToUtf8(WriteXmlText(root));
        XmlNode back;
        ASSERT_TRUE(ParseXmlText(back, utf8.c_str(), true)) << utf8;
        ASSERT_EQ(back.children.size(), 4u);
        for (size_t i = 0; i < 4; ++i)
        {
            EXPECT_EQ(back.children[i]->attributes.at(L"value"), values[2 * i]) << utf8;
            EXPECT_EQ(back.children[i]->text, values[2 * i + 1]) << utf8;
        }
        EXPECT_EQ(WriteXmlText(back), WriteXmlText(root));
    }
}

// Unsigned members are stored as "%d" (so 2^31 and up appear negative, as in
// every stored profile); the readers' unsigned conversion must give them back.
TEST(XmlNode, UnsignedValuesRoundTripThroughStoredText)
{
    const uint32_t values[] = {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xDEADBEEFu, 0xFFFFFFFEu, 0xFFFFFFFFu};
    for (uint32_t value : values)
    {
        std::wstring type;
        XmlNode root(L"ItemState");
        XmlNode* state = root.AddNewChild(L"m_state");
        state->SetAttribute(L"value", SerializeUIntValue(value, type));
        state->SetAttribute(L"type", type);
        const std::string text = WStringToUtf8(WriteXmlText(root));
        XmlNode back;
        ASSERT_TRUE(ParseXmlText(back, text.c_str(), false));
        const XmlNode* read = back.FindChild(L"M_STATE");
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->GetStringAttribute(L"type", L""), L"uint");
        EXPECT_EQ(WStringToInt(read->GetStringAttribute(L"value", L"")), value) << text;
        // A value written in unsigned form by hand reads the same.
        EXPECT_EQ(WStringToInt(std::to_wstring(value)), value);
    }
}

} // namespace
