// Channels, filter, line form and outputs of the logger.
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/core/diagnostics/Console.h"
#include "engine/core/diagnostics/Logger.h"

namespace
{

using namespace TarnEngine;

// A temporary file that collects an output.
class CapturedOutput
{
public:
    CapturedOutput()
    {
        char pattern[] = "/tmp/pellwood-log-XXXXXX";
        fd_ = mkstemp(pattern);
        path_ = pattern;
    }
    ~CapturedOutput()
    {
        close(fd_);
        unlink(path_.c_str());
    }
    int Fd() const { return fd_; }
    const std::string& Path() const { return path_; }
    std::string Read() const { return ReadFile(path_); }
    static std::string ReadFile(const std::string& path)
    {
        std::string content;
        if (FILE* file = std::fopen(path.c_str(), "rb"))
        {
            char buffer[4096];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
                content.append(buffer, n);
            std::fclose(file);
        }
        return content;
    }

private:
    int fd_ = -1;
    std::string path_;
};

TEST(Logger, ChannelNamesIgnoreCase)
{
    const struct
    {
        const wchar_t* name;
        uint32_t mask;
    } cases[] = {
        {L"rendering", 0x8}, {L"resources", 0x10},   {L"time", 0x20},         {L"library", 0x80},
        {L"event", 0x100},   {L"fs", 0x200},         {L"xml", 0x400},         {L"ui", 0x800},
        {L"audio", 0x1000},  {L"Instances", 0x2000}, {L"INSTANCES", 0x2000},  {L"game", 0x4000},
        {L"GAME", 0x4000},   {L"Lua", 0x8000},       {L"engine", 0xFFFFBFB8}, {L"", 0},
        {L"bogus", 0},       {L"game ", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Logger::ChannelFromName(c.name), c.mask) << testing::PrintToString(std::wstring(c.name));
}

TEST(Logger, ConsoleCommandsSwitchChannelsAndFilter)
{
    Logger logger;
    Console console;
    logger.RegisterConsoleCommands(console);
    const struct
    {
        const wchar_t* line;
        uint32_t mask;
        const wchar_t* filter;
    } steps[] = {
        {L"log.disable engine", 0x1 | 0x2 | 0x4 | 0x40 | 0x4000, L""},
        {L"log.disableall", 0, L""},
        {L"log.enable GAME", 0x4000, L""},
        {L"log.enable nothing", 0x4000, L""}, // an unknown name enables nothing
        {L"log.enable lua", 0xC000, L""},
        {L"log.disable game", 0x8000, L""},
        {L"log.enableall", 0xFFFFFFFF, L""},
        {L"log.filteron  two words ", 0xFFFFFFFF, L"two words"},
        {L"log.filteroff", 0xFFFFFFFF, L""},
        {L"log.enableall extra", 0xFFFFFFFF, L""},
    };
    for (const auto& s : steps)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(s.line)));
        console.HandleConsoleFunction(s.line);
        EXPECT_EQ(logger.GetChannelMask(), s.mask);
        EXPECT_EQ(logger.GetFilter(), s.filter);
    }
    // The handler answers only to its own six names.
    logger.ExecuteCommand({L"log.other", L"x"}, InstanceHandle{});
    EXPECT_EQ(logger.GetChannelMask(), 0xFFFFFFFF);
}

TEST(Logger, LineFormAndPrefix)
{
    const std::wstring longText(5000, L'x');
    const struct
    {
        const char* file;
        int line;
        std::wstring text;
        std::wstring expected;
    } cases[] = {
        {"C:\\work\\engine\\Thing", 12, L"loaded", L"Thing(12): loaded\r\n"},
        {"src/engine/Thing.cpp", 0, L"loaded", L"Thing.cpp: loaded\r\n"},
        {"Thing.cpp", 7, L"", L"Thing.cpp(7): \r\n"},
        {nullptr, 12, L"loaded", L"12: loaded\r\n"},
        {nullptr, 0, L"loaded", L"loaded\r\n"},
        {nullptr, 0, L"ends in LF\n", L"ends in LF\n"},
        {nullptr, 0, L"ends in CR LF\r\n", L"ends in CR LF\r\n"},
        {nullptr, 0, longText, std::wstring(4093, L'x') + L"\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Logger::FormatLine(c.file, c.line, c.text), c.expected);
}

TEST(Logger, EnabledChannelsAndFilterDecideWhatIsWritten)
{
    Logger logger;
    CapturedOutput debug;
    logger.SetDebuggerOutput(debug.Fd());
    logger.DisableChannels(LogRendering);
    const struct
    {
        uint32_t channel;
        const wchar_t* filter;
        const wchar_t* text;
        bool written;
    } cases[] = {
        {LogGame, L"", L"plain", true},
        {LogRendering, L"", L"disabled channel", false},
        {LogRendering | LogGame, L"", L"one enabled bit is enough", true},
        {LogGame, L"tex", L"Texture missing", false}, // the filter is case-sensitive
        {LogGame, L"tex", L"texture missing", true},
        {0, L"", L"no channel", false},
    };
    std::string expected;
    for (const auto& c : cases)
    {
        logger.ExecuteCommand({c.filter[0] ? L"log.filteron" : L"log.filteroff", c.filter}, InstanceHandle{});
        logger.LogString(c.channel, nullptr, 0, c.text);
        if (c.written)
            expected += std::string(c.text, c.text + std::wcslen(c.text)) + "\n";
    }
    EXPECT_EQ(debug.Read(), expected);
}

TEST(Logger, UserTextIsAnArgumentNeverAFormat)
{
    Logger logger;
    CapturedOutput debug;
    logger.SetDebuggerOutput(debug.Fd());
    const std::wstring fromScript = L"100%s %n %d";
    logger.Log(LogLua, nullptr, 0, L"script says %s (%d)", fromScript, 3);
    logger.LogString(LogLua, nullptr, 0, fromScript);
    EXPECT_EQ(debug.Read(), "script says 100%s %n %d (3)\n100%s %n %d\n");
}

TEST(Logger, FileOutputIsUtf16LittleEndianWithCrLf)
{
    Logger logger;
    CapturedOutput target;
    ASSERT_TRUE(logger.OpenLogFile(target.Path()));
    logger.Log(LogGame, "game/Board.cpp", 40, L"found %s", std::wstring(L"\u00e9\U0001D11E"));
    logger.CloseLogFile();
    const auto le = [](const std::string& ascii)
    {
        std::string bytes;
        for (char c : ascii)
            bytes += std::string{c, '\0'};
        return bytes;
    };
    const std::string expected =
        "\xFF\xFE" + le("Board.cpp(40): found ") + std::string("\xE9\0\x34\xD8\x1E\xDD", 6) + le("\r\n");
    EXPECT_EQ(target.Read(), expected);
}

TEST(Logger, ConsoleOutputIsColouredByChannel)
{
    Logger logger;
    CapturedOutput console;
    logger.SetConsoleOutput(console.Fd(), true);
    for (uint32_t channel : {0x1u, 0x2u, 0x4u, uint32_t(LogGame), uint32_t(LogLua),
                             uint32_t(LogGame | LogLua), uint32_t(LogAudio)})
        logger.LogString(channel, nullptr, 0, L"m");
    EXPECT_EQ(console.Read(), "\x1b[91mm\x1b[0m\n"
                              "\x1b[33mm\x1b[0m\n"
                              "\x1b[91mm\x1b[0m\n"
                              "\x1b[92mm\x1b[0m\n"
                              "\x1b[96mm\x1b[0m\n"
                              "\x1b[37mm\x1b[0m\n"
                              "\x1b[37mm\x1b[0m\n");
}

TEST(Logger, EnvironmentOpensTheLogFileInTheLogFolder)
{
    char pattern[] = "/tmp/pellwood-logdir-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    const std::string file = folder + "/pellwood.log";
    const char* old = std::getenv("PELLWOOD_LOG");
    const std::string saved = old ? old : "";
    const struct
    {
        const char* value; // null: unset
        uint32_t selector;
        bool opened;
    } cases[] = {
        {nullptr, 2, false},       {"0", 2, false},     {"file", 1, false},
        {"file", 4, false},        {"file", 2, true},   {"1", 2, true},
        {"debug , file", 2, true}, {"debug", 2, false}, {"debug , file", 1, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.value ? c.value : "(unset)");
        if (c.value)
            setenv("PELLWOOD_LOG", c.value, 1);
        else
            unsetenv("PELLWOOD_LOG");
        unlink(file.c_str());
        {
            Logger logger; // no output is open after construction
            logger.SetLogFolder(folder);
            logger.OpenOutputs(c.selector);
            logger.LogString(LogGame, nullptr, 0, L"x");
        }
        EXPECT_EQ(access(file.c_str(), F_OK) == 0, c.opened);
        if (c.opened)
        {
            EXPECT_EQ(CapturedOutput::ReadFile(file), std::string("\xFF\xFEx\0\r\0\n\0", 8));
        }
    }
    if (old)
        setenv("PELLWOOD_LOG", saved.c_str(), 1);
    else
        unsetenv("PELLWOOD_LOG");
    unlink(file.c_str());
    rmdir(folder.c_str());
}

TEST(Logger, PublishesItselfWhileItExists)
{
    EXPECT_EQ(ILogger::Get(), nullptr);
    {
        Logger logger;
        EXPECT_EQ(ILogger::Get(), &logger);
    }
    EXPECT_EQ(ILogger::Get(), nullptr);
}

} // namespace
