// The engine's diagnostic log. A line is written only when its channel is
// enabled and it contains the optional filter text; it then goes to whichever
// outputs are open: a log file (UTF-16LE, CR LF), the debugger output
// (stderr), a console (stderr, coloured by channel) and the engine's own
// console, whose "Log" page shows what is printed into it. No output is open
// after construction; the engine's console becomes one once it exists
// (RegisterConsoleCommands). OpenOutputs opens what the environment variable
// PELLWOOD_LOG asks for: "debug" the debugger output and "console" the
// coloured console with selector 1 (at the start of start-up) or 2, "file"
// (or "1") the file "pellwood.log" in the folder given by SetLogFolder with
// selector 2 (once the services exist); several may be given, separated by
// commas. The console functions "log.enable",
// "log.enableall", "log.disable", "log.disableall", "log.filteron" and
// "log.filteroff" switch channels and the filter at run time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/core/diagnostics/IConsoleHandler.h"
#include "engine/core/text/StringFormat.h"

namespace TarnEngine
{

class Console;

enum LogChannel : uint32_t
{
    LogRendering = 0x8,
    LogResources = 0x10,
    LogTime = 0x20,
    LogLibrary = 0x80,
    LogEvent = 0x100,
    LogFs = 0x200,
    LogXml = 0x400,
    LogUi = 0x800,
    LogAudio = 0x1000,
    LogInstances = 0x2000,
    LogGame = 0x4000,
    LogLua = 0x8000,
    LogEngine = 0xFFFFBFB8, // every bit but 0x1, 0x2, 0x4, 0x40 and "game"
};

class ILogger
{
public:
    ILogger();
    virtual ~ILogger();
    ILogger(const ILogger&) = delete;
    ILogger& operator=(const ILogger&) = delete;

    // The one logger while it exists, else null.
    static ILogger* Get();

    virtual void StartupComplete() {}
    // Plain text: taken as it is, never read as a format.
    virtual void LogString(uint32_t channel, const char* sourceFile, int line, std::wstring_view text) = 0;
    virtual void EnableChannels(uint32_t mask) = 0;
    virtual void DisableChannels(uint32_t mask) = 0;
    virtual void OpenOutputs(uint32_t) {}
    virtual void CloseOutputs(uint32_t) {}
    virtual void RegisterConsoleCommands(Console&) {}
    // The console is going: nothing may print into it any more.
    virtual void ForgetConsole(Console&) {}

    bool IsEnabled(uint32_t channel) const { return (channel & channelMask_) != 0; }

    // A literal format checked against its arguments at compile time; a text
    // from data is passed as an argument of "%s", never as the format. A
    // disabled channel costs one test and formats nothing.
    template <class... Args>
    void Log(uint32_t channel, const char* sourceFile, int line,
             WideFormat<std::type_identity_t<Args>...> format, const Args&... args)
    {
        if (!IsEnabled(channel))
            return;
        LogString(channel, sourceFile, line, StringPrintf<Args...>(format, args...));
    }

protected:
    uint32_t channelMask_ = 0xFFFFFFFF;
};

class Logger final : public ILogger, public IConsoleHandler
{
public:
    static constexpr size_t LineBufferSize = 4096; // wide characters, terminator included

    Logger() = default;
    ~Logger() override;

    static uint32_t ChannelFromName(std::wstring_view name);
    // The whole line as the outputs get it: prefix, message, CR LF, cut to
    // the line buffer.
    static std::wstring FormatLine(const char* sourceFile, int line, std::wstring_view text);

    void LogString(uint32_t channel, const char* sourceFile, int line, std::wstring_view text) override;
    void EnableChannels(uint32_t mask) override { channelMask_ |= mask; }
    void DisableChannels(uint32_t mask) override { channelMask_ &= ~mask; }
    void OpenOutputs(uint32_t selector) override;
    void CloseOutputs(uint32_t selector) override;
    // Also makes the console an output: each written line is printed into it (without its line
    // end, one console line per line of the message), so that its "Log" page shows the log.
    void RegisterConsoleCommands(Console& console) override;
    void ForgetConsole(Console& console) override;
    void ExecuteCommand(const std::vector<std::wstring>& arguments, const InstanceHandle& instance) override;

    uint32_t GetChannelMask() const { return channelMask_; }
    const std::wstring& GetFilter() const { return filter_; }

    // The outputs, opened directly (the tests and OpenOutputs use these).
    void SetLogFolder(const std::string& folder) { logFolder_ = folder; } // operating-system path
    bool OpenLogFile(const std::string& path);
    void CloseLogFile();
    void SetDebuggerOutput(int fd) { debuggerFd_ = fd; } // -1: off
    void SetConsoleOutput(int fd, bool colour)
    {
        consoleFd_ = fd;
        consoleColour_ = colour;
    }
    // The engine's console as an output, or null; fed only from the thread that set it, since the
    // console belongs to the main thread.
    void SetPrintConsole(Console* console);

private:
    int fileFd_ = -1;
    std::wstring filter_;
    int debuggerFd_ = -1;
    int consoleFd_ = -1;
    bool consoleColour_ = false;
    Console* printConsole_ = nullptr;
    std::thread::id printThread_;
    std::string logFolder_;
};

// A problem the player has to hear of even when no log output is open (a
// start-up that fails, settings that cannot be saved): it is logged on the
// channel like any line and always written to standard error as
// "<program>: <text>".
void ReportProblem(uint32_t channel, const char* sourceFile, int line, std::wstring_view text);

} // namespace TarnEngine
