// Command-line splitting; see CommandLine.h.
#include "engine/core/CommandLine.h"

#include <cwctype>
#include <fstream>
#include <iterator>

namespace TarnEngine
{

namespace
{

bool isBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v';
}

std::wstring trimBlanks(const std::wstring& text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::wstring lowered(const std::wstring& text)
{
    std::wstring out(text);
    for (wchar_t& c : out)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return out;
}

// Decodes UTF-8 leniently: a byte that does not start a valid sequence stands
// for itself (Windows-1252 is the likely origin of such bytes on a command line).
std::wstring widenArgument(const std::string& bytes)
{
    std::wstring out;
    size_t i = 0;
    while (i < bytes.size())
    {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        int extra = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : 0;
        if (c >= 0xF5)
            extra = 0;
        char32_t cp = extra == 3 ? (c & 0x07) : extra == 2 ? (c & 0x0F) : (c & 0x1F);
        bool ok = extra > 0 && i + static_cast<size_t>(extra) < bytes.size();
        for (int k = 1; ok && k <= extra; ++k)
        {
            unsigned char cc = static_cast<unsigned char>(bytes[i + k]);
            if ((cc & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (cc & 0x3F);
        }
        if (ok && (cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000) || (extra == 2 && cp < 0x800) ||
                   (extra == 3 && cp < 0x10000)))
            ok = false;
        if (ok)
        {
            out.push_back(static_cast<wchar_t>(cp));
            i += static_cast<size_t>(extra) + 1;
        }
        else
        {
            out.push_back(static_cast<wchar_t>(c));
            ++i;
        }
    }
    return out;
}

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
        argv.push_back(widenArgument(all.substr(start, end - start)));
        start = end + 1;
    }
    return argv;
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
        const std::wstring& arg = argv[i];
        bool quote = arg.empty();
        for (wchar_t c : arg)
            if (std::iswspace(static_cast<wint_t>(c)))
                quote = true;
        if (quote)
            line += L'"' + arg + L'"';
        else
            line += arg;
    }
    return line;
}

CommandLine::CommandLine(const std::wstring& whole)
{
    std::wstring line = whole;
    size_t lua = line.find(L"-lua");
    if (lua != std::wstring::npos)
    {
        m_script = trimBlanks(line.substr(lua + 4));
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
    const std::wstring wanted = lowered(name);
    for (const std::wstring& arg : m_arguments)
        if (lowered(arg) == wanted)
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
