#include "engine/core/diagnostics/Logger.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "engine/core/diagnostics/Console.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/text/TextHelpers.h"

namespace TarnEngine
{

namespace
{

ILogger* runningLogger = nullptr;

constexpr char logFileName[] = "pellwood.log";

struct NamedChannel
{
    const wchar_t* name;
    uint32_t mask;
};
constexpr NamedChannel channelNames[] = {
    {L"rendering", LogRendering},
    {L"resources", LogResources},
    {L"time", LogTime},
    {L"library", LogLibrary},
    {L"event", LogEvent},
    {L"fs", LogFs},
    {L"xml", LogXml},
    {L"ui", LogUi},
    {L"audio", LogAudio},
    {L"Instances", LogInstances},
    {L"game", LogGame},
    {L"lua", LogLua},
    {L"engine", LogEngine},
};

// The console colours by channel value as a whole; a combination of bits is grey.
const char* colourFor(uint32_t channel)
{
    switch (channel)
    {
    case 0x1:
    case 0x4:
        return "\x1b[91m"; // bright red
    case 0x2:
        return "\x1b[33m"; // dark yellow
    case LogGame:
        return "\x1b[92m"; // bright green
    case LogLua:
        return "\x1b[96m"; // bright cyan
    default:
        return "\x1b[37m"; // grey
    }
}

void writeAll(int fd, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0)
    {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
}

// Terminal outputs end lines with LF alone.
std::string terminalText(std::wstring_view line)
{
    if (line.size() >= 2 && line.substr(line.size() - 2) == L"\r\n")
        line.remove_suffix(2);
    else if (!line.empty() && line.back() == L'\n')
        line.remove_suffix(1);
    return WStringToUtf8(line) + "\n";
}

} // namespace

ILogger::ILogger()
{
    runningLogger = this;
}

ILogger::~ILogger()
{
    if (runningLogger == this)
        runningLogger = nullptr;
}

ILogger* ILogger::Get()
{
    return runningLogger;
}

Logger::~Logger()
{
    CloseOutputs(8);
    CloseOutputs(1);
    CloseOutputs(4);
    CloseLogFile();
}

uint32_t Logger::ChannelFromName(std::wstring_view name)
{
    for (const NamedChannel& channel : channelNames)
    {
        if (EqualsNoCase(name, channel.name))
            return channel.mask;
    }
    return 0;
}

std::wstring Logger::FormatLine(const char* sourceFile, int line, std::wstring_view text)
{
    constexpr size_t capacity = LineBufferSize - 1;
    std::wstring out;
    if (sourceFile)
    {
        std::string_view path(sourceFile);
        const size_t slash = path.find_last_of("\\/");
        if (slash != std::string_view::npos)
            path.remove_prefix(slash + 1);
        out = line != 0 ? StringPrintf(L"%S(%d): ", path, line) : StringPrintf(L"%S: ", path);
    }
    else if (line != 0)
    {
        out = StringPrintf(L"%d: ", line);
    }
    if (out.size() > capacity)
        out.resize(capacity);
    out.append(text.substr(0, capacity - out.size()));
    if (out.empty() || out.back() != L'\n')
    {
        if (out.size() + 2 > capacity)
            out.resize(capacity - 2);
        out += L"\r\n";
    }
    return out;
}

void Logger::LogString(uint32_t channel, const char* sourceFile, int line, std::wstring_view text)
{
    if (!IsEnabled(channel))
        return;
    const std::wstring full = FormatLine(sourceFile, line, text);
    if (!filter_.empty() && full.find(filter_) == std::wstring::npos)
        return;
    if (fileFd_ >= 0)
    {
        const std::vector<uint8_t> bytes = WStringToUtf16Le(full);
        writeAll(fileFd_, bytes.data(), bytes.size());
    }
    if (debuggerFd_ >= 0)
    {
        const std::string narrow = terminalText(full);
        writeAll(debuggerFd_, narrow.data(), narrow.size());
    }
    if (consoleFd_ >= 0)
    {
        std::string narrow = terminalText(full);
        if (consoleColour_)
            narrow = colourFor(channel) + narrow.substr(0, narrow.size() - 1) + "\x1b[0m\n";
        writeAll(consoleFd_, narrow.data(), narrow.size());
    }
    if (printConsole_ && std::this_thread::get_id() == printThread_)
    {
        // The console shows single lines: one per line of the message, line ends dropped.
        size_t start = 0;
        while (start < full.size())
        {
            size_t end = full.find(L'\n', start);
            if (end == std::wstring::npos)
                end = full.size();
            size_t last = end;
            if (last > start && full[last - 1] == L'\r')
                --last;
            printConsole_->Print(full.substr(start, last - start));
            start = end + 1;
        }
    }
}

bool Logger::OpenLogFile(const std::string& path)
{
    CloseLogFile();
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    // The byte-order mark lets editors tell the file is UTF-16LE.
    const uint8_t mark[] = {0xFF, 0xFE};
    writeAll(fd, mark, sizeof mark);
    fileFd_ = fd;
    return true;
}

void Logger::CloseLogFile()
{
    if (fileFd_ >= 0)
    {
        close(fileFd_);
        fileFd_ = -1;
    }
}

void Logger::OpenOutputs(uint32_t selector)
{
    // The terminal outputs open with the first selector, so that a start-up
    // that fails early still says why; the file waits for its folder.
    if (selector != 1 && selector != 2)
        return;
    const char* request = std::getenv("PELLWOOD_LOG");
    if (!request || !*request || std::string_view(request) == "0")
        return;
    const bool terminal = isatty(STDERR_FILENO) == 1;
    for (const std::wstring& token : SplitString(Utf8ToWString(request), L',', true))
    {
        if (token == L"debug")
            SetDebuggerOutput(STDERR_FILENO);
        else if (token == L"console")
            SetConsoleOutput(STDERR_FILENO, terminal);
        else if (selector == 2 && (token == L"file" || token == L"1"))
        {
            if (!logFolder_.empty() && fileFd_ < 0)
                OpenLogFile(logFolder_ + "/" + logFileName);
        }
    }
}

void Logger::CloseOutputs(uint32_t) {}

void Logger::RegisterConsoleCommands(Console& console)
{
    SetPrintConsole(&console);
    console.RegisterFunction(L"log.enable", this, 1);
    console.RegisterFunction(L"log.enableall", this, 0);
    console.RegisterFunction(L"log.disable", this, 1);
    console.RegisterFunction(L"log.disableall", this, 0);
    console.RegisterFunction(L"log.filteron", this, 1);
    console.RegisterFunction(L"log.filteroff", this, 0);
}

void Logger::SetPrintConsole(Console* console)
{
    printConsole_ = console;
    printThread_ = std::this_thread::get_id();
}

void Logger::ForgetConsole(Console& console)
{
    if (printConsole_ == &console)
        printConsole_ = nullptr;
}

void Logger::ExecuteCommand(const std::vector<std::wstring>& arguments, const InstanceHandle&)
{
    if (arguments.empty())
        return;
    const std::wstring& command = arguments[0];
    const bool hasParameter = arguments.size() > 1;
    if (command == L"log.enable" && hasParameter)
        EnableChannels(ChannelFromName(arguments[1]));
    else if (command == L"log.enableall")
        channelMask_ = 0xFFFFFFFF;
    else if (command == L"log.disable" && hasParameter)
        DisableChannels(ChannelFromName(arguments[1]));
    else if (command == L"log.disableall")
        channelMask_ = 0;
    else if (command == L"log.filteron" && hasParameter)
        filter_ = arguments[1];
    else if (command == L"log.filteroff")
        filter_.clear();
}

void ReportProblem(uint32_t channel, const char* sourceFile, int line, std::wstring_view text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(channel, sourceFile, line, L"%s", std::wstring(text));
    const std::string said = std::string(program_invocation_short_name) + ": " + terminalText(text);
    writeAll(STDERR_FILENO, said.data(), said.size());
}

} // namespace TarnEngine
