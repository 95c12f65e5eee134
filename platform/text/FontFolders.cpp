// System fonts folders through fontconfig; see FontFolders.h.
#include "platform/text/FontFolders.h"

#include <dirent.h>
#include <sys/stat.h>

#include <fontconfig/fontconfig.h>

#include <future>
#include <mutex>

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
// fontconfig's caches, not the fonts. A load started ahead is waited for
// before the configuration is destroyed.
struct FontConfigurationState
{
    std::once_flag started;
    std::once_flag taken;
    std::future<FcConfig*> loading;
    FcConfig* config = nullptr;

    ~FontConfigurationState()
    {
        if (loading.valid())
            config = loading.get();
        if (config)
            FcConfigDestroy(config);
    }
};

FontConfigurationState& fontConfigurationState()
{
    static FontConfigurationState state;
    return state;
}

} // namespace

void StartLoadingSystemFonts()
{
    FontConfigurationState& state = fontConfigurationState();
    std::call_once(state.started,
                   [&state] { state.loading = std::async(std::launch::async, &FcInitLoadConfigAndFonts); });
}

FcConfig* SystemFontConfiguration()
{
    FontConfigurationState& state = fontConfigurationState();
    // Not started ahead: loaded here, on the caller's thread.
    std::call_once(state.started,
                   [&state] { state.loading = std::async(std::launch::deferred, &FcInitLoadConfigAndFonts); });
    std::call_once(state.taken, [&state] { state.config = state.loading.get(); });
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
    if (fileName.empty() || fileName.find('/') != std::string::npos)
        return std::string();
    for (const std::string& folder : SystemFontFolders())
    {
        const std::string exact = folder + "/" + fileName;
        if (isRegularFile(exact))
            return exact;
        DIR* dir = opendir(folder.c_str());
        if (dir == nullptr)
            continue;
        std::string found;
        while (dirent* entry = readdir(dir))
        {
            if (equalsNoCase(fileName, entry->d_name) && isRegularFile(folder + "/" + entry->d_name))
            {
                found = folder + "/" + entry->d_name;
                break;
            }
        }
        closedir(dir);
        if (!found.empty())
            return found;
    }
    return std::string();
}

} // namespace Platform
