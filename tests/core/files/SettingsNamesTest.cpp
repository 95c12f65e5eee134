// Settings files stay inside their folder: names that would leave it, or
// reach into a sub-folder, are refused for reading and writing.
#include "engine/core/base/ByteBuffer.h"
#include "engine/core/files/SettingsStore.h"

#include "tests/core/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace
{

using namespace TarnEngine;

TEST(SettingsNames, OnlyPlainNamesReachTheFolder)
{
    TempFolder temp;
    std::filesystem::create_directories(temp.path / "store" / "sub");
    std::ofstream(temp.path / "outside.xml") << "x";
    std::ofstream(temp.path / "store" / "sub" / "inner.xml") << "x";
    std::ofstream(temp.path / "store" / "plain.xml") << "x";
    const std::wstring folder = temp.EnginePath() + L"store\\";
    SettingsStore store([&](bool) { return folder; }, [&](bool) { return folder; });

    const struct
    {
        const wchar_t* name;
        bool allowed;
    } cases[] = {
        {L"plain.xml", true},        {L"..\\outside.xml", false}, {L"sub\\..\\..\\outside.xml", false},
        {L"sub/inner.xml", false},   {L"sub\\inner.xml", false},  {L"", false},
        {L"C:\\outside.xml", false}, {L".hidden", false},
    };
    ByteBuffer bytes;
    ASSERT_TRUE(bytes.Write(reinterpret_cast<const uint8_t*>("data"), 4));
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
        ByteBuffer read;
        EXPECT_EQ(store.ReadFile(SettingsStore::LocalData, c.name, read), c.allowed);
        EXPECT_EQ(WriteFileViaTemp(store, c.name, SettingsStore::LocalData, bytes), c.allowed);
    }
    std::ifstream outside(temp.path / "outside.xml");
    std::string text;
    outside >> text;
    EXPECT_EQ(text, "x") << "a file outside the folder is never written";
}

} // namespace
