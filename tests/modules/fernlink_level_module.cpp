// A stand-in reporting module that records the level events of a running program: entering and
// leaving levels, good and bad actions, power-ups, statistics and the parameters set before them.
// The game's end-to-end test puts it on the program's library path as libFernlink.so; each report
// becomes one UTF-8 line of the file named by PELLWOOD_LEVEL_REPORTS (nothing is written without it).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{

std::string narrow(const wchar_t* text)
{
    std::string out;
    for (; text != nullptr && *text != 0; ++text)
    {
        const uint32_t c = static_cast<uint32_t>(*text);
        if (c < 0x80)
            out += char(c);
        else if (c < 0x800)
            out += {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
        else if (c < 0x10000)
            out += {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
        else
            out += {char(0xF0 | (c >> 18)), char(0x80 | ((c >> 12) & 0x3F)), char(0x80 | ((c >> 6) & 0x3F)),
                    char(0x80 | (c & 0x3F))};
    }
    return out;
}

// The parameters set for the next report (ordinal 22), written with it.
std::string pending;

void record(const std::string& line)
{
    const char* path = std::getenv("PELLWOOD_LEVEL_REPORTS");
    if (path == nullptr || *path == 0)
        return;
    if (FILE* file = std::fopen(path, "a"))
    {
        std::fprintf(file, "%s%s\n", line.c_str(), pending.c_str());
        std::fclose(file);
    }
    pending.clear();
}

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

void action(const char* kind, const wchar_t* fixed, const wchar_t* name, const wchar_t* value, int32_t last)
{
    record(std::string(kind) + " " + narrow(name) + " " + narrow(value) + " (" + narrow(fixed) + " " +
           std::to_string(last) + ")");
}

} // namespace

extern "C"
{

    __attribute__((visibility("default"))) int ordinal_1(const void*)
    {
        return 1;
    }

    __attribute__((visibility("default"))) void ordinal_7(double, const wchar_t* level, const wchar_t* name)
    {
        record("enter " + narrow(level) + " " + narrow(name));
    }

    __attribute__((visibility("default"))) void ordinal_8(double, const wchar_t* level, const wchar_t* name,
                                                          double score, const wchar_t* reason)
    {
        record("exit " + narrow(level) + " " + narrow(name) + " " + number(score) + " " + narrow(reason));
    }

    __attribute__((visibility("default"))) void ordinal_13(double, const wchar_t* fixed, const wchar_t* name,
                                                           const wchar_t* value, int32_t last)
    {
        action("good", fixed, name, value, last);
    }

    __attribute__((visibility("default"))) void ordinal_14(double, const wchar_t* fixed, const wchar_t* name,
                                                           const wchar_t* value, int32_t last)
    {
        action("bad", fixed, name, value, last);
    }

    __attribute__((visibility("default"))) void ordinal_16(double, const wchar_t* fixed, const wchar_t* name,
                                                           const wchar_t* value, int32_t last)
    {
        action("powerup", fixed, name, value, last);
    }

    __attribute__((visibility("default"))) void ordinal_17(double, const wchar_t* fixed, const wchar_t* name,
                                                           double value, int32_t last)
    {
        record("stat " + narrow(name) + " " + number(value) + " (" + narrow(fixed) + " " + std::to_string(last) +
               ")");
    }

    __attribute__((visibility("default"))) void ordinal_22(const wchar_t* const* keys, const wchar_t* const* values,
                                                           int32_t count)
    {
        pending.clear();
        for (int32_t i = 0; i < count && keys != nullptr && values != nullptr; ++i)
            pending += " [" + narrow(keys[i]) + "=" + narrow(values[i]) + "]";
    }
}
