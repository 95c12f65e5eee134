// Shared libraries loaded by name at run time (the reporting module, linkwell).
// A name "x" means the file "libx.so"; the program's own folder is searched
// before the system's library search path, so a module shipped beside the
// program wins over one installed elsewhere.
#pragma once

#include <memory>
#include <string>

namespace Platform
{

class Module
{
public:
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // Null when no such library can be loaded. With keepLoaded the library
    // stays mapped for the rest of the process even after this object goes.
    static std::unique_ptr<Module> Load(const std::string& name, bool keepLoaded = false);
    static std::string FileName(const std::string& name) { return "lib" + name + ".so"; }

    // Address of an exported symbol, or null.
    void* Symbol(const char* symbol) const;

private:
    explicit Module(void* handle) : handle_(handle) {}
    void* handle_;
};

} // namespace Platform
