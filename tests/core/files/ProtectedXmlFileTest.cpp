#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <zlib.h>

#include "engine/core/base/ByteBuffer.h"
#include "engine/core/files/ProtectedXmlFile.h"
#include "engine/core/files/SettingsStore.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/files/Xxtea.h"
#include "tests/core/FileTestSupport.h"

using namespace TarnEngine;

namespace
{

std::unique_ptr<XmlNode> profile(const std::wstring& playerName)
{
    auto root = std::make_unique<XmlNode>(L"Profile");
    XmlNode* player = root->AddNewChild(L"Player");
    player->SetAttribute(L"name", playerName);
    player->SetAttribute(L"score", L"4294967295");
    XmlNode* note = root->AddNewChild(L"Note");
    note->text = L"  two lines\nof \"notes\" & <marks>  ";
    note->empty = false;
    return root;
}

std::vector<uint8_t> imageOf(const XmlNode& root)
{
    ByteBuffer out;
    EXPECT_TRUE(BuildProtectedXml(root, out));
    return std::vector<uint8_t>(out.GetData(), out.GetData() + out.GetSize());
}

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

struct StoreInFolder
{
    FileTest::TempFolder folder;
    SettingsStore store;
    StoreInFolder()
        : store([this](bool) { return TarnEngine::FromOsPath(folder.Os() + "/"); },
                [this](bool) { return TarnEngine::FromOsPath(folder.Os() + "/"); })
    {
    }
};

TEST(ProtectedXmlFile, SaveAndLoadRoundTripIncludingNonAscii)
{
    StoreInFolder fixture;
    for (const std::wstring name : {L"Ren\u00E9e", L"\u5F20\u4F1F \U0001F600", L"a&b<c>\"d\"", L""})
    {
        auto root = profile(name);
        ASSERT_TRUE(SaveProtectedXml(*root, fixture.store, L"brq.xml", SettingsStore::SavedGames));
        auto back = LoadProtectedXml(fixture.store, L"brq.xml", SettingsStore::SavedGames);
        ASSERT_TRUE(back);
        EXPECT_EQ(WriteXmlText(*back), WriteXmlText(*root));
        EXPECT_EQ(back->GetChild(L"Player")->attributes.at(L"name"), name);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(fixture.folder.Os("brq.xml.tmp"))));
}

TEST(ProtectedXmlFile, LayoutIsChecksumThenEncipheredMarkTextAndPadding)
{
    // "<A/>\n" is 5 code units (odd: no padding); "<AB/>\n" is 6 (even: two zero bytes).
    struct Case
    {
        const wchar_t* name;
        size_t units;
        size_t padding;
    } cases[] = {{L"A", 5, 0}, {L"AB", 6, 2}};
    for (const Case& c : cases)
    {
        XmlNode root(c.name);
        std::vector<uint8_t> image = imageOf(root);
        ASSERT_EQ(image.size(), 4 + 2 + 2 * c.units + c.padding) << c.name;
        EXPECT_EQ(image.size() % 4, 0u);
        uint32_t stored = image[0] | image[1] << 8 | image[2] << 16 | uint32_t(image[3]) << 24;
        EXPECT_EQ(stored, uint32_t(crc32(crc32(0, Z_NULL, 0), image.data() + 4, uInt(image.size() - 4))));

        std::vector<uint32_t> words((image.size() - 4) / 4);
        for (size_t i = 0; i < words.size(); ++i)
            words[i] = image[4 + 4 * i] | image[5 + 4 * i] << 8 | image[6 + 4 * i] << 16 |
                       uint32_t(image[7 + 4 * i]) << 24;
        const auto key = BuildSettingsKey();
        XxteaDecipher(uint32_t(words.size()), words.data(), key.data());
        std::vector<uint8_t> plain;
        for (uint32_t w : words)
            for (int b = 0; b < 4; ++b)
                plain.push_back(uint8_t(w >> (8 * b)));
        EXPECT_EQ(plain[0], 0xFF);
        EXPECT_EQ(plain[1], 0xFE);
        EXPECT_EQ(Utf16LeToWString(plain.data() + 2, 2 * c.units), WriteXmlText(root));
        for (size_t i = 0; i < c.padding; ++i)
            EXPECT_EQ(plain[2 + 2 * c.units + i], 0);
    }
}

TEST(ProtectedXmlFile, KeyAndFormatStayTheSameAcrossVersions)
{
    // Files written by earlier runs must stay readable: this image is what a
    // settings file with this content has always been.
    XmlNode root(L"Settings");
    XmlNode* version = root.AddNewChild(L"Version");
    version->text = L"2";
    version->empty = false;
    std::vector<uint8_t> image = imageOf(root);
    EXPECT_EQ(BuildSettingsKey(), BuildSettingsKey());
    EXPECT_NE(BuildSettingsKey(L"another text"), BuildSettingsKey());
    uint32_t stored = image[0] | image[1] << 8 | image[2] << 16 | uint32_t(image[3]) << 24;
    EXPECT_EQ(stored, 0xB7CF3456u) << "checksum of the reference image: 0x" << std::hex << stored;
}

TEST(ProtectedXmlFile, AnyFlippedByteFailsTheLoadCleanly)
{
    std::vector<uint8_t> image = imageOf(*profile(L"Ren\u00E9e"));
    ASSERT_TRUE(ReadProtectedXml(image.data(), image.size()));
    for (size_t i = 0; i < image.size(); ++i)
    {
        for (uint8_t mask : {uint8_t(0x01), uint8_t(0x80), uint8_t(0xFF)})
        {
            std::vector<uint8_t> damaged = image;
            damaged[i] ^= mask;
            EXPECT_EQ(ReadProtectedXml(damaged.data(), damaged.size()), nullptr) << "byte " << i;
        }
    }
    for (size_t cut = 0; cut < image.size(); ++cut)
        EXPECT_EQ(ReadProtectedXml(image.data(), cut), nullptr) << "cut at " << cut;
}

TEST(ProtectedXmlFile, PlainXmlInPlaceOfAProtectedFileIsRead)
{
    StoreInFolder fixture;
    std::string utf8 = "<Settings><Version>2</Version><Name>Ren\xC3\xA9"
                       "e</Name></Settings>";
    std::vector<uint8_t> utf16 = {0xFF, 0xFE};
    for (wchar_t c :
         std::wstring(L"<Settings><Version>2</Version><Name>Ren\u00E9e \U0001F600</Name></Settings>"))
    {
        for (char16_t u : WStringToUtf16(std::wstring(1, c)))
        {
            utf16.push_back(uint8_t(u));
            utf16.push_back(uint8_t(u >> 8));
        }
    }
    struct Case
    {
        const char* what;
        std::vector<uint8_t> bytes;
        const wchar_t* name;
    } cases[] = {
        {"utf-8", std::vector<uint8_t>(utf8.begin(), utf8.end()), L"Ren\u00E9e"},
        {"utf-16", utf16, L"Ren\u00E9e \U0001F600"},
    };
    for (const Case& c : cases)
    {
        writeFile(std::filesystem::path(fixture.folder.Os("System.prefs")), c.bytes);
        auto root = LoadProtectedXml(fixture.store, L"System.prefs", SettingsStore::LocalData);
        ASSERT_TRUE(root) << c.what;
        EXPECT_EQ(root->GetChildText(L"Name"), c.name) << c.what;
    }
}

TEST(ProtectedXmlFile, ShortMissingAndForeignFilesGiveNothing)
{
    StoreInFolder fixture;
    struct Case
    {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"four bytes", {'<', 'a', '/', '>'}},
        {"binary", {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}},
        {"text", {'h', 'e', 'l', 'l', 'o'}},
    };
    for (const Case& c : cases)
    {
        writeFile(std::filesystem::path(fixture.folder.Os("f.xml")), c.bytes);
        EXPECT_EQ(LoadProtectedXml(fixture.store, L"f.xml", SettingsStore::LocalData), nullptr) << c.what;
    }
    EXPECT_EQ(LoadProtectedXml(fixture.store, L"missing.xml", SettingsStore::LocalData), nullptr);
}

TEST(ProtectedXmlFile, NamesOutsideTheFolderAreRefused)
{
    StoreInFolder fixture;
    auto root = profile(L"x");
    writeFile(std::filesystem::path(fixture.folder.Os(".hidden")), imageOf(*root));
    for (const wchar_t* name : {L".hidden", L"..\\x.xml", L"/etc/x.xml", L"\\x.xml", L"c:x.xml", L"a:b"})
    {
        EXPECT_FALSE(SaveProtectedXml(*root, fixture.store, name, SettingsStore::LocalData)) << name;
        EXPECT_EQ(LoadProtectedXml(fixture.store, name, SettingsStore::LocalData), nullptr) << name;
    }
    EXPECT_TRUE(SaveProtectedXml(*root, fixture.store, L"System.prefs", SettingsStore::LocalData));
}

} // namespace
