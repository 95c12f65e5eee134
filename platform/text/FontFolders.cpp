// System fonts folders through fontconfig; see FontFolders.h.
#include "platform/text/FontFolders.h"

#include <dirent.h>
#include <sys/stat.h>

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <set>
#include <utility>

namespace Platform
{

namespace
{

bool equalsNoCase(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
    {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

bool isRegularFile(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

namespace
{

// Our own configuration rather than the library's global one: that one is
// never fully released, and leak checks would report it. Building it reads
// fontconfig's configuration files and caches (milliseconds), not the fonts.
struct FontConfigurationState
{
    std::once_flag built;
    FcConfig* config = nullptr;

    ~FontConfigurationState()
    {
        if (config)
            FcConfigDestroy(config);
    }
};

FontConfigurationState& fontConfigurationState()
{
    static FontConfigurationState state;
    return state;
}

// The folders fontconfig's stock configuration names: the XDG data folders' "fonts" (the user's
// first) and the older ~/.fonts. A font is looked for there before fontconfig is asked, so that
// finding the game's fonts does not read fontconfig's whole configuration at start-up.
std::vector<std::string> standardFontRoots()
{
    std::vector<std::string> roots;
    const char* home = std::getenv("HOME");
    const bool hasHome = home != nullptr && home[0] == '/';
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/')
        roots.push_back(std::string(dataHome) + "/fonts");
    else if (hasHome)
        roots.push_back(std::string(home) + "/.local/share/fonts");
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    const std::string dirs = dataDirs != nullptr && dataDirs[0] != '\0' ? dataDirs : "/usr/local/share:/usr/share";
    size_t from = 0;
    while (from <= dirs.size())
    {
        size_t end = dirs.find(':', from);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(from, end - from);
        while (dir.size() > 1 && dir.back() == '/')
            dir.pop_back();
        // Relative entries mean nothing here; the XDG rules say to ignore them.
        if (!dir.empty() && dir[0] == '/')
            roots.push_back(dir == "/" ? "/fonts" : dir + "/fonts");
        from = end + 1;
    }
    if (hasHome)
        roots.push_back(std::string(home) + "/.fonts");
    return roots;
}

// Breadth first over the folders and, down to maxDepth, the folders below them, as fontconfig lists
// its folders (every configured folder before the folders below them), matching the name ignoring
// ASCII case. Each folder is read once, even when links reach it twice; the walk is bounded in
// folders read.
std::string findBelow(const std::vector<std::string>& roots, const std::string& fileName, int maxDepth)
{
    constexpr size_t kMaxFolders = 4096;
    std::vector<std::pair<std::string, int>> queue;
    for (const std::string& root : roots)
        queue.emplace_back(root, 0);
    std::set<std::pair<dev_t, ino_t>> seen;
    for (size_t next = 0; next < queue.size() && next < kMaxFolders; ++next)
    {
        const std::string folder = queue[next].first;
        const int depth = queue[next].second;
        struct stat st;
        if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !seen.emplace(st.st_dev, st.st_ino).second)
            continue;
        const std::string exact = folder + "/" + fileName;
        if (isRegularFile(exact))
            return exact;
        DIR* dir = opendir(folder.c_str());
        if (dir == nullptr)
            continue;
        std::string found;
        std::vector<std::string> below;
        while (dirent* entry = readdir(dir))
        {
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            const std::string path = folder + "/" + name;
            const bool maybeFolder = entry->d_type == DT_DIR || entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN;
            if (found.empty() && entry->d_type != DT_DIR && equalsNoCase(fileName, name) && isRegularFile(path))
                found = path;
            else if (maybeFolder && depth < maxDepth)
                below.push_back(path);
        }
        closedir(dir);
        if (!found.empty())
            return found;
        // Directory order is the file system's; sorted, the same tree always gives the same answer.
        std::sort(below.begin(), below.end());
        for (std::string& path : below)
            queue.emplace_back(std::move(path), depth + 1);
    }
    return std::string();
}

} // namespace

FcConfig* SystemFontConfiguration()
{
    FontConfigurationState& state = fontConfigurationState();
    std::call_once(state.built, [&state] { state.config = FcInitLoadConfigAndFonts(); });
    return state.config;
}

const std::vector<std::string>& SystemFontFolders()
{
    static const std::vector<std::string> folders = []
    {
        std::vector<std::string> list;
        FcConfig* config = SystemFontConfiguration();
        if (config == nullptr)
            return list;
        if (FcStrList* dirs = FcConfigGetFontDirs(config))
        {
            while (FcChar8* dir = FcStrListNext(dirs))
            {
                std::string folder(reinterpret_cast<const char*>(dir));
                while (folder.size() > 1 && folder.back() == '/')
                    folder.pop_back();
                list.push_back(folder);
            }
            FcStrListDone(dirs);
        }
        return list;
    }();
    return folders;
}

std::string FindSystemFontFile(const std::string& fileName)
{
    if (fileName.empty() || fileName.find('/') != std::string::npos || fileName == "." || fileName == "..")
        return std::string();
    // Eight levels are far more than any fonts folder has.
    const std::string standard = findBelow(standardFontRoots(), fileName, 8);
    if (!standard.empty())
        return standard;
    // Folders named only in the machine's own fontconfig settings; fontconfig lists the folders
    // below them itself.
    return findBelow(SystemFontFolders(), fileName, 0);
}

} // namespace Platform
