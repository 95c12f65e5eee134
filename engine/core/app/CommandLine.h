// The process's command line, split into arguments the way start-up expects:
// quoted tokens, "//" comments, and a trailing "-lua" script cut off before
// splitting. On this platform the arguments the process received are joined
// back into one line first, so quoting and comments behave as on the line the
// player typed.
#pragma once

#include <string>
#include <vector>

namespace TarnEngine
{

class CommandLine
{
public:
    // The process's command line, built on the first call.
    static CommandLine& Get();

    // Splits a whole command line (the program path first) as start-up does.
    explicit CommandLine(const std::wstring& line);

    // True when some argument equals the name, ignoring letter case.
    bool HasOption(const wchar_t* name) const;
    // The argument after the first one that is exactly "-data"; empty when
    // missing, last, or itself an option.
    std::wstring GetDataFolderOption() const;

    const std::vector<std::wstring>& GetArguments() const { return m_arguments; }
    const std::wstring& GetScriptText() const { return m_script; }

    // Joins program arguments back into one line, with quotation marks added
    // where needed so that splitting the line gives the same arguments.
    static std::wstring JoinArguments(const std::vector<std::wstring>& argv);

private:
    std::vector<std::wstring> m_arguments;
    std::wstring m_script;
};

} // namespace TarnEngine
