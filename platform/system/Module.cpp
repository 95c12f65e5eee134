#include "platform/system/Module.h"

#include <dlfcn.h>

#include "platform/system/Paths.h"

namespace Platform
{

Module::~Module()
{
    if (handle_)
        dlclose(handle_);
}

std::unique_ptr<Module> Module::Load(const std::string& name, bool keepLoaded)
{
    if (name.empty())
        return nullptr;
    const int flags = RTLD_NOW | RTLD_LOCAL | (keepLoaded ? RTLD_NODELETE : 0);
    const std::string file = FileName(name);
    void* handle = nullptr;
    const std::string folder = ProgramFolder();
    if (!folder.empty())
        handle = dlopen((folder + "/" + file).c_str(), flags);
    if (!handle)
        handle = dlopen(file.c_str(), flags);
    if (!handle)
        return nullptr;
    return std::unique_ptr<Module>(new Module(handle));
}

void* Module::Symbol(const char* symbol) const
{
    if (!symbol)
        return nullptr;
    return dlsym(handle_, symbol);
}

} // namespace Platform
