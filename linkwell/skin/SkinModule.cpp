#include "linkwell/skin/SkinModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

namespace linkwell
{

namespace
{
std::string programFolder()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0)
        return {};
    const std::string program(path, static_cast<size_t>(length));
    const size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash);
}
} // namespace

SkinModule::SkinModule(const std::string& fileName)
{
    if (fileName.empty())
        return;
    if (fileName.find('/') == std::string::npos)
    {
        const std::string folder = programFolder();
        if (!folder.empty())
            handle_ = dlopen((folder + "/" + fileName).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (handle_ == nullptr)
        handle_ = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr)
    {
        std::fprintf(stderr, "linkwell: no skin module %s; the plain frame is kept\n", fileName.c_str());
        return;
    }
    bitmap_ = reinterpret_cast<BitmapFn>(dlsym(handle_, kExport));
    if (bitmap_ == nullptr)
        std::fprintf(stderr, "linkwell: the skin module %s has no %s; the plain frame is kept\n",
                     fileName.c_str(), kExport);
}

SkinModule::~SkinModule()
{
    if (handle_ != nullptr)
        dlclose(handle_);
}

SkinBitmapSource SkinModule::Source() const
{
    if (bitmap_ == nullptr)
        return {};
    BitmapFn bitmap = bitmap_;
    return [bitmap](uint32_t id, uint32_t* byteCount) { return bitmap(id, byteCount); };
}

} // namespace linkwell
