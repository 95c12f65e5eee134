// What a test process that shows the log-in window needs in its environment:
// WebKitGTK's own switches for machines without user namespaces or a GPU,
// folders of its own for WebKit's caches and cookies, and leak-checker rules
// for the toolkit's process-lifetime allocations. Set by the test launcher,
// never by the library. Also for tests that start the program and log in.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace WebKitTestEnvironment
{

// No bubblewrap sandbox (the library never asks WebKit for one, so this only
// guards against a default that changes), no accelerated compositing, software
// GL. On a machine with user namespaces and Mesa the window works without them.
inline const std::vector<std::pair<std::string, std::string>>& Switches()
{
    static const std::vector<std::pair<std::string, std::string>> switches = {
        {"WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1"},
        {"WEBKIT_DISABLE_COMPOSITING_MODE", "1"},
        {"LIBGL_ALWAYS_SOFTWARE", "1"},
        // No accessibility bus to look for.
        {"NO_AT_BRIDGE", "1"},
        {"GDK_BACKEND", "x11"},
    };
    return switches;
}

// The variables for a process whose home (and WebKit's data) is the given folder.
inline std::vector<std::pair<std::string, std::string>> Variables(const std::string& home)
{
    std::vector<std::pair<std::string, std::string>> variables = Switches();
    variables.emplace_back("HOME", home);
    variables.emplace_back("XDG_CACHE_HOME", home + "/cache");
    variables.emplace_back("XDG_DATA_HOME", home + "/data");
    variables.emplace_back("XDG_CONFIG_HOME", home + "/config");
    variables.emplace_back("XDG_RUNTIME_DIR", home);
    return variables;
}

// Libraries whose process-lifetime caches the leak checker would report at exit.
inline const std::vector<std::string>& ToolkitLibraries()
{
    static const std::vector<std::string> libraries = {
        "libgtk-3.so",
        "libgdk-3.so",
        "libglib-2.0.so",
        "libgobject-2.0.so",
        "libgio-2.0.so",
        "libfontconfig.so",
        "libwebkit2gtk-4.1.so",
        "libjavascriptcoregtk-4.1.so",
        "libcairo.so",
        "libpango-1.0.so",
        "libpangocairo-1.0.so",
        "libpangoft2-1.0.so",
        "libharfbuzz.so",
        "libdbus-1.so",
        "libX11.so",
        "libepoxy.so",
        "libgdk_pixbuf-2.0.so",
        "libsoup-3.0.so",
        "libatk",
        "libfreetype.so",
        "libxkbcommon.so",
        "libgmodule-2.0.so",
        "librsvg",
    };
    return libraries;
}

// Writes the leak-checker rules to path and answers the LSAN_OPTIONS value
// that adds them to the current one; empty when the file cannot be written.
inline std::string LeakOptions(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr)
        return {};
    for (const std::string& library : ToolkitLibraries())
        std::fprintf(file, "leak:%s\n", library.c_str());
    std::fclose(file);
    const char* current = std::getenv("LSAN_OPTIONS");
    std::string options = current != nullptr && *current != 0 ? std::string(current) + ":" : std::string();
    return options + "suppressions=" + path + ":print_suppressions=0";
}

} // namespace WebKitTestEnvironment
