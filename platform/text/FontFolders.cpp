// System fonts folders through fontconfig; see FontFolders.h.
#include "platform/text/FontFolders.h"

#include <dirent.h>
#include <sys/stat.h>

#include <fontconfig/fontconfig.h>

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

std::vector<std::string> SystemFontFolders()
{
    std::vector<std::string> folders;
    FcConfig* config = FcInitLoadConfig();
    if (config == nullptr)
        return folders;
    // The font directories are known only once the configuration has been
    // scanned; building it reads fontconfig's cache, not the fonts.
    if (FcConfigBuildFonts(config))
    {
        if (FcStrList* list = FcConfigGetFontDirs(config))
        {
            while (FcChar8* dir = FcStrListNext(list))
            {
                std::string folder(reinterpret_cast<const char*>(dir));
                while (folder.size() > 1 && folder.back() == '/')
                    folder.pop_back();
                folders.push_back(folder);
            }
            FcStrListDone(list);
        }
    }
    FcConfigDestroy(config);
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
