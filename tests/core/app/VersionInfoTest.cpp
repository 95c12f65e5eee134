#include <gtest/gtest.h>

#include "engine/core/app/VersionInfo.h"

using namespace TarnEngine;

namespace
{

TEST(VersionInfo, NumberIsThirdAndFourthPartKeptTo16Bits)
{
    struct Case
    {
        uint16_t v[4];
        uint16_t number;
    } cases[] = {
        {{2, 5, 3, 7}, 30007},
        {{1, 0, 0, 1}, 1},
        {{7, 0, 8, 0}, 14464},
        {{0, 0, 0, 0}, 0},
    };
    for (const Case& c : cases)
    {
        VersionInfo info(c.v[0], c.v[1], c.v[2], c.v[3]);
        ASSERT_TRUE(info.IsValid());
        EXPECT_EQ(GetVersionNumber(info.GetFixedInfo()), c.number);
    }
}

TEST(VersionInfo, ProgramVersionCarriesTheFixedSignatureAndPrefix)
{
    VersionInfo info;
    EXPECT_TRUE(info.IsValid());
    EXPECT_EQ(info.GetFixedInfo().signature, 0xFEEF04BDu);
    EXPECT_EQ(info.GetStringInfoPrefix(), L"\\StringFileInfo\\04000000\\");
    EXPECT_EQ(GetProgramVersion().fileVersionMS, info.GetFixedInfo().fileVersionMS);
}

} // namespace
