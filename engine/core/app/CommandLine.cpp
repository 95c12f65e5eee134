// Command-line splitting; see CommandLine.h.
#include "engine/core/app/CommandLine.h"

#include <cwctype>
#include <fstream>
#include <iterator>

#include "engine/core/text/TextHelpers.h"

namespace TarnEngine
{

namespace
{

std::vector<std::wstring> processArguments()
{
    std::vector<std::wstring> argv;
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t start = 0;
    while (start < all.size())
    {
        size_t end = all.find('\0', start);
        if (end == std::string::npos)
            end = all.size();
        argv.push_back(Utf8ToWString(std::string_view(all).substr(start, end - start)));
        start = end + 1;
    }
    return argv;
}

// How one argument is written so that splitting gives it back. Splitting keeps every quotation mark
// but strips one at each end of a token, and white space or "//" is part of a token only inside
// quotation marks; so the only choice is a mark added in front, at the end, or both. The mark in front
// puts the argument's white space and "//" inside quotation marks, the one at the end closes them
// again so the token ends there; an argument that begins or ends with a mark of its own needs an added
// one on that side.
std::wstring quoteArgument(const std::wstring& arg)
{
    // The front mark that puts every white-space character, or every "//", inside quotation marks:
    // -1 when the argument has none, -2 when no one choice does it for all of them.
    int spaceFront = -1;
    int slashFront = -1;
    size_t quotes = 0;
    auto need = [&quotes](int& front)
    {
        const int wanted = quotes % 2 == 0 ? 1 : 0;
        front = front == -1 || front == wanted ? wanted : -2;
    };
    for (size_t i = 0; i < arg.size(); ++i)
    {
        const wchar_t c = arg[i];
        if (std::iswspace(static_cast<wint_t>(c)))
            need(spaceFront);
        else if (c == L'/' && i + 1 < arg.size() && arg[i + 1] == L'/')
            need(slashFront);
        else if (c == L'"')
            ++quotes;
    }
    const bool startsWithMark = !arg.empty() && arg.front() == L'"';
    const bool endsWithMark = !arg.empty() && arg.back() == L'"';
    for (int lead = 0; lead < 2 && spaceFront != -2 && slashFront != -2; ++lead)
    {
        if ((spaceFront >= 0 && spaceFront != lead) || (slashFront >= 0 && slashFront != lead))
            continue;
        if (lead == 0 && (arg.empty() || startsWithMark))
            continue;
        const bool trail = (size_t(lead) + quotes) % 2 != 0;
        if (!trail && (arg.empty() || endsWithMark))
            continue;
        return (lead ? L"\"" : L"") + arg + (trail ? L"\"" : L"");
    }
    // No choice gives the argument back whole (white space both inside and outside its own marks, or
    // an odd mark at each end). A "//" outside marks would end the whole line, so it is kept inside
    // first; the marks are balanced so that the arguments after this one still come through.
    const int lead = slashFront >= 0 ? slashFront : spaceFront >= 0 ? spaceFront : 1;
    const bool trail = (size_t(lead) + quotes) % 2 != 0;
    return (lead ? L"\"" : L"") + arg + (trail ? L"\"" : L"");
}

// Where the option "-lua" starts an argument of its own (outside quotes, at the line's start or
// after blanks, and ending there); npos when there is none. A path that merely contains the letters
// ("/home/ana-luana/game") is an argument like any other.
size_t findLuaOption(const std::wstring& line)
{
    bool quoted = false;
    for (size_t pos = 0; pos < line.size(); ++pos)
    {
        const wchar_t c = line[pos];
        if (c == L'"')
        {
            quoted = !quoted;
            continue;
        }
        if (quoted || c != L'-' || line.compare(pos, 4, L"-lua") != 0)
            continue;
        const bool starts = pos == 0 || std::iswspace(static_cast<wint_t>(line[pos - 1]));
        const size_t after = pos + 4;
        const bool ends = after == line.size() || std::iswspace(static_cast<wint_t>(line[after])) || line[after] == L'"';
        if (starts && ends)
            return pos;
    }
    return std::wstring::npos;
}

} // namespace

CommandLine& CommandLine::Get()
{
    static CommandLine line(JoinArguments(processArguments()));
    return line;
}

std::wstring CommandLine::JoinArguments(const std::vector<std::wstring>& argv)
{
    std::wstring line;
    for (size_t i = 0; i < argv.size(); ++i)
    {
        if (i > 0)
            line += L' ';
        line += quoteArgument(argv[i]);
    }
    return line;
}

CommandLine::CommandLine(const std::wstring& whole)
{
    std::wstring line = whole;
    const size_t lua = findLuaOption(line);
    if (lua != std::wstring::npos)
    {
        m_script = line.substr(lua + 4);
        Trim(m_script);
        line.resize(lua);
    }

    std::vector<std::wstring> tokens;
    size_t pos = 0;
    const size_t size = line.size();
    bool ended = false;
    while (!ended)
    {
        while (pos < size && std::iswspace(static_cast<wint_t>(line[pos])))
            ++pos;
        if (pos >= size)
            break;
        std::wstring token;
        bool quoted = false;
        while (pos < size)
        {
            wchar_t c = line[pos];
            if (!quoted && c == L'/' && pos + 1 < size && line[pos + 1] == L'/')
            {
                // The rest of the line is a comment.
                ended = true;
                break;
            }
            if (!quoted && std::iswspace(static_cast<wint_t>(c)))
                break;
            if (c == L'"')
                quoted = !quoted;
            token += c;
            ++pos;
        }
        if (!token.empty() && token.front() == L'"')
            token.erase(0, 1);
        if (!token.empty() && token.back() == L'"')
            token.pop_back();
        tokens.push_back(token);
    }
    if (!tokens.empty())
        tokens.erase(tokens.begin());
    m_arguments = std::move(tokens);
}

bool CommandLine::HasOption(const wchar_t* name) const
{
    if (!name)
        return false;
    for (const std::wstring& arg : m_arguments)
        if (EqualsNoCase(arg, name))
            return true;
    return false;
}

std::wstring CommandLine::GetDataFolderOption() const
{
    for (size_t i = 0; i < m_arguments.size(); ++i)
    {
        if (m_arguments[i] != L"-data")
            continue;
        if (i + 1 >= m_arguments.size())
            return std::wstring();
        const std::wstring& value = m_arguments[i + 1];
        if (!value.empty() && value.front() == L'-')
            return std::wstring();
        return value;
    }
    return std::wstring();
}

} // namespace TarnEngine
