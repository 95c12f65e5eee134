// Implementation of AppPaths.h over POSIX calls, the XDG folders of platform/system and the font folders of platform/text.
#include "engine/core/app/AppPaths.h"

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

#include "engine/core/text/TextHelpers.h"
#include "platform/system/Paths.h"
#include "platform/text/FontFolders.h"

namespace TarnEngine
{

namespace
{

ApplicationNameProvider g_applicationName = nullptr;

// The longest path the system takes, in bytes without the terminating zero.
constexpr size_t kLongestOsPath = PATH_MAX - 1;

bool isSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

std::wstring applicationName()
{
    return g_applicationName != nullptr ? g_applicationName() : std::wstring();
}

bool isFolder(const std::string& osPath)
{
    struct stat st;
    return !osPath.empty() && stat(osPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The entry of folder whose name equals name ignoring case; the smallest such name when there are
// several, so the choice does not depend on the order the folder lists them in. Empty when none.
std::string findEntryIgnoringCase(const std::string& folder, const std::string& name)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return {};
    const std::wstring wanted = ToLower(Utf8ToWString(name));
    std::string best;
    while (const dirent* entry = readdir(dir))
    {
        const std::string candidate = entry->d_name;
        const std::wstring wide = Utf8ToWString(candidate);
        if (wide.size() == wanted.size() && ToLower(wide) == wanted && (best.empty() || candidate < best))
            best = candidate;
    }
    closedir(dir);
    return best;
}

// Walks the path component by component, replacing each one that does not exist by an entry of the
// same name ignoring case.
std::string resolveCase(const std::string& path)
{
    std::string done;
    size_t i = 0;
    const size_t n = path.size();
    while (i < n && path[i] == '/')
        ++i;
    done = path.substr(0, i);
    while (i < n)
    {
        size_t end = path.find('/', i);
        if (end == std::string::npos)
            end = n;
        size_t next = end;
        while (next < n && path[next] == '/')
            ++next;
        const std::string component = path.substr(i, end - i);
        const std::string separators = path.substr(end, next - end);
        std::string candidate = done + component;
        struct stat st;
        if (component != "." && component != ".." && lstat(candidate.c_str(), &st) != 0)
        {
            const std::string found = findEntryIgnoringCase(done, component);
            if (found.empty())
                return done + path.substr(i);
            candidate = done + found;
        }
        done = candidate + separators;
        i = next;
    }
    return done;
}

std::wstring fontsFolder()
{
    // The list fontconfig gives is built once for the whole program.
    for (const std::string& path : Platform::SystemFontFolders())
        if (isFolder(path))
            return FromOsPath(path);
    return {};
}

} // namespace

void SetApplicationNameProvider(ApplicationNameProvider provider)
{
    g_applicationName = provider;
}

std::string ToOsPath(const std::wstring& path)
{
    std::string os = WStringToUtf8(path);
    for (char& c : os)
        if (c == '\\')
            c = '/';
    struct stat st;
    if (os.empty() || lstat(os.c_str(), &st) == 0)
        return os;
    return resolveCase(os);
}

std::wstring FromOsPath(const std::string& path)
{
    std::wstring out = Utf8ToWString(path);
    ReplaceChar(out, L'/', L'\\');
    return out;
}

std::wstring GetCurrentFolder()
{
    return FromOsPath(Platform::CurrentFolder());
}

std::wstring GetModulePath()
{
    return FromOsPath(Platform::ProgramPath());
}

bool HasColon(const std::wstring& path)
{
    return path.find(L':') != std::wstring::npos;
}

bool IsAbsolutePath(const std::wstring& path)
{
    return HasColon(path) || (!path.empty() && isSeparator(path[0]));
}

bool IsPlainRelativeName(const std::wstring& name)
{
    if (name.empty() || name[0] == L'.')
        return false;
    if (name.find_first_of(std::wstring(L":\\/\0", 4)) != std::wstring::npos)
        return false;
    return name.find(L"..") == std::wstring::npos;
}

size_t FindFileNamePart(const std::wstring& path)
{
    const size_t n = path.size();
    size_t pos = 0;
    // A network name: the server and the share are not components.
    while (n - pos >= 2 && path[pos] == L'\\' && path[pos + 1] == L'\\')
    {
        pos += 2;
        while (pos < n && !isSeparator(path[pos]))
            ++pos;
        while (pos < n && isSeparator(path[pos]))
            ++pos;
        while (pos < n && !isSeparator(path[pos]))
            ++pos;
    }
    for (;;)
    {
        const size_t next = path.find_first_of(L"\\/:", pos);
        if (next == std::wstring::npos)
            break;
        pos = next;
        while (pos < n && (isSeparator(path[pos]) || path[pos] == L':'))
            ++pos;
        if (pos >= n)
            break;
    }
    const std::wstring_view component(path.data() + pos, n - pos);
    if (component.empty() || component == L"." || component == L"..")
        return std::wstring::npos;
    return pos;
}

std::wstring GetFolderPart(const std::wstring& path)
{
    const size_t pos = FindFileNamePart(path);
    return pos == std::wstring::npos ? path : path.substr(0, pos);
}

std::wstring RemoveExtension(const std::wstring& fileName)
{
    const size_t dot = fileName.rfind(L'.');
    return dot == std::wstring::npos ? fileName : fileName.substr(0, dot);
}

void RemoveLastPathPart(std::wstring& path)
{
    ReplaceChar(path, L'/', L'\\');
    const bool trailing = !path.empty() && path.back() == L'\\';
    if (trailing)
        path.pop_back();
    const size_t last = path.rfind(L'\\');
    if (last != std::wstring::npos)
        path.resize(last);
    if (trailing)
        path += L'\\';
}

void AppendPathPart(std::wstring& path, const std::wstring& part)
{
    std::wstring tail = part;
    ReplaceChar(tail, L'/', L'\\');
    const bool pathEnds = !path.empty() && path.back() == L'\\';
    const bool partBegins = !tail.empty() && tail[0] == L'\\';
    if (!pathEnds && !partBegins)
        path += L'\\';
    path += tail;
}

std::wstring ResolvePath(const std::wstring& base, const std::wstring& relative)
{
    std::wstring result = base;
    ReplaceChar(result, L'/', L'\\');
    std::wstring rel = relative;
    ReplaceChar(rel, L'/', L'\\');
    for (const std::wstring& part : SplitString(rel, L'\\', true, -1))
    {
        if (part.empty() || part == L".")
            continue;
        if (part == L"..")
            RemoveLastPathPart(result);
        else
            AppendPathPart(result, part);
    }
    return result;
}

std::wstring ResolveFromCurrentFolder(const std::wstring& relative)
{
    return ResolvePath(GetCurrentFolder(), relative);
}

bool CreateFolderChain(const std::wstring& path)
{
    for (size_t i = 0; i < path.size(); ++i)
    {
        // A prefix of 0 characters is the root of an absolute path, which is always there.
        if (!isSeparator(path[i]) || i == 0)
            continue;
        const std::string os = ToOsPath(path.substr(0, i));
        if (os.size() > kLongestOsPath)
            return false;
        struct stat st;
        if (stat(os.c_str(), &st) != 0)
        {
            if (errno != ENOENT || mkdir(os.c_str(), 0755) != 0)
                return false;
        }
        else if (!S_ISDIR(st.st_mode))
            return false;
    }
    return true;
}

bool EnsureFolder(const std::wstring& folder, bool create)
{
    if (create)
        return CreateFolderChain(folder);
    return isFolder(ToOsPath(folder));
}

std::wstring GetSpecialFolder(int shellFolder, bool create)
{
    std::wstring folder;
    switch (shellFolder)
    {
    case kShellFolderLocalAppData:
        folder = FromOsPath(Platform::LocalAppDataFolder());
        break;
    case kShellFolderProfile:
        folder = FromOsPath(Platform::UserProfileFolder());
        break;
    case kShellFolderFonts:
        folder = fontsFolder();
        break;
    default:
        return {};
    }
    if (folder.empty() || !EnsureFolder(folder + L'\\', create))
        return {};
    return folder;
}

std::wstring GetUserFolder(bool create, int shellFolder, const std::wstring& subPath,
                           const std::wstring& fallback)
{
    const std::wstring special = GetSpecialFolder(shellFolder, true);
    std::wstring folder;
    if (!special.empty())
    {
        const std::wstring name = applicationName();
        if (name.empty())
            return {};
        folder = special + subPath + name + L'\\';
    }
    else
        folder = fallback;
    return EnsureFolder(folder, create) ? folder : std::wstring();
}

std::wstring GetSavedGamesFolder(bool create)
{
    // The known saved-games folder is made when missing, as the shell does for it.
    const std::wstring known = FromOsPath(Platform::SavedGamesFolder());
    const std::wstring name = applicationName();
    if (!known.empty() && !name.empty() && CreateFolderChain(known + L'\\'))
    {
        const std::wstring folder = known + L"\\Halcyra Games\\" + name + L'\\';
        if (EnsureFolder(folder, create))
            return folder;
    }
    return GetUserFolder(create, kShellFolderProfile, L"\\Saved Games\\Halcyra Games\\", L".\\Saved Games\\");
}

std::wstring GetLocalDataFolder(bool create)
{
    return GetUserFolder(create, kShellFolderLocalAppData, L"\\Halcyra Games\\", L".\\Local Data\\");
}

std::wstring GetFontsFolder()
{
    return GetSpecialFolder(kShellFolderFonts, false);
}

bool WildcardMatch(const std::wstring& text, const std::wstring& pattern, bool caseSensitive)
{
    if (pattern.empty())
        return true;
    const std::wstring t = caseSensitive ? text : ToLower(text);
    const std::wstring p = caseSensitive ? pattern : ToLower(pattern);
    // Greedy matching that, on a mismatch, lets the most recent '*' take one more character. Earlier
    // stars never need to be revisited, so the time stays bounded by text length times pattern length.
    size_t ti = 0, pi = 0;
    size_t starPattern = std::wstring::npos, starText = 0;
    while (ti < t.size())
    {
        if (pi < p.size() && p[pi] == L'*')
        {
            starPattern = ++pi;
            starText = ti;
        }
        else if (pi < p.size() && (p[pi] == L'?' || p[pi] == t[ti]))
        {
            ++pi;
            ++ti;
        }
        else if (starPattern != std::wstring::npos)
        {
            pi = starPattern;
            ti = ++starText;
        }
        else
            return false;
    }
    while (pi < p.size() && p[pi] == L'*')
        ++pi;
    return pi == p.size();
}

} // namespace TarnEngine
