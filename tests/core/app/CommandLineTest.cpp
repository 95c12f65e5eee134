#include <gtest/gtest.h>

#include "engine/core/app/CommandLine.h"

using namespace TarnEngine;

namespace
{

struct SplitCase
{
    const wchar_t* line;
    std::vector<std::wstring> arguments;
    const wchar_t* script;
};

TEST(CommandLine, SplitsLikeStartUpExpects)
{
    const SplitCase cases[] = {
        {L"prog.exe -data \"My Folder\" -windowed", {L"-data", L"My Folder", L"-windowed"}, L""},
        {L"prog a//b c", {L"a"}, L""},
        {L"prog a // b c", {L"a", L""}, L""},
        {L"prog -x -lua  print(1)\r\n", {L"-x"}, L"print(1)"},
        // "-lua" is the option only where it starts an argument.
        {L"\"C:\\some -lua path\\prog.exe\" -x", {L"-x"}, L""},
        {L"prog -data /home/ana-luana/game -windowed", {L"-data", L"/home/ana-luana/game", L"-windowed"}, L""},
        {L"/opt/x-lua/prog -windowed", {L"-windowed"}, L""},
        {L"prog a-lua -luax b", {L"a-lua", L"-luax", L"b"}, L""},
        {L"prog -lua", {}, L""},
        {L"prog\t-lua\tx = \"-lua\"", {}, L"x = \"-lua\""},
        {L"prog -x \"-lua\" y", {L"-x", L"-lua", L"y"}, L""},
        {L"prog \"ab\"cd\"", {L"ab\"cd"}, L""},
        {L"prog \"", {L""}, L""},
        {L"prog \"a // b\" c", {L"a // b", L"c"}, L""},
        {L"   prog\t\tone\vtwo\fthree   ", {L"one", L"two", L"three"}, L""},
        {L"//nothing", {}, L""},
        {L"", {}, L""},
        {L"prog", {}, L""},
    };
    for (const SplitCase& c : cases)
    {
        CommandLine line(c.line);
        EXPECT_EQ(line.GetArguments(), c.arguments) << c.line;
        EXPECT_EQ(line.GetScriptText(), c.script) << c.line;
    }
}

TEST(CommandLine, OptionsIgnoreCaseButDataValueDoesNot)
{
    struct Case
    {
        const wchar_t* line;
        bool windowed;
        const wchar_t* data;
    } cases[] = {
        {L"p -WINDOWED", true, L""},       {L"p -data folder", false, L"folder"},
        {L"p -DATA folder", false, L""},   {L"p -data", false, L""},
        {L"p -data -windowed", true, L""}, {L"p -data \"a b\" -data c", false, L"a b"},
        {L"p -windowedx", false, L""},
    };
    for (const Case& c : cases)
    {
        CommandLine line(c.line);
        EXPECT_EQ(line.HasOption(L"-windowed"), c.windowed) << c.line;
        EXPECT_EQ(line.GetDataFolderOption(), c.data) << c.line;
    }
    EXPECT_TRUE(CommandLine(L"p -DATA x").HasOption(L"-data"));
}

TEST(CommandLine, JoinedArgumentsSplitBackIntoTheSameArguments)
{
    std::vector<std::wstring> argv = {L"/usr/bin/pellwood", L"-data",  L"My Games/x", L"",
                                      L"//server/share//x", L"-window"};
    CommandLine line(CommandLine::JoinArguments(argv));
    EXPECT_EQ(line.GetArguments(), std::vector<std::wstring>(argv.begin() + 1, argv.end()));

    // Arguments holding quotation marks of their own, each followed by another argument that must
    // stay separate.
    const std::wstring marked[] = {
        L"5\" floppy", L"\"quoted\"",     L"a\"b", L"end\"",           L"\"start",
        L"x\"//\"y",   L"say \"hi\" now", L"\"\"", L"tab\there \"x\"", L"\"both\" ends",
    };
    for (const std::wstring& arg : marked)
    {
        const std::vector<std::wstring> args = {L"prog", arg, L"next"};
        EXPECT_EQ(CommandLine(CommandLine::JoinArguments(args)).GetArguments(),
                  std::vector<std::wstring>(args.begin() + 1, args.end()))
            << CommandLine::JoinArguments(args);
    }

    // Some arguments cannot be written so that they split back whole (white space both inside and
    // outside their own marks, or an odd mark at each end); the arguments after them still come through,
    // so a "//" in them must not end the line.
    for (const wchar_t* arg : {L"a \"b c\" d", L"\" x", L"\"", L"\"both\" ends \"", L"\"//"})
    {
        const std::vector<std::wstring> args = {L"prog", arg, L"-windowed"};
        const CommandLine back(CommandLine::JoinArguments(args));
        ASSERT_FALSE(back.GetArguments().empty()) << arg;
        EXPECT_EQ(back.GetArguments().back(), L"-windowed") << CommandLine::JoinArguments(args);
    }
}

} // namespace
