// A temporary folder for tests that touch files, removed with its contents.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

struct TempFolder
{
    std::filesystem::path path;

    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "pellwood-test-XXXXXX").string();
        if (char* made = mkdtemp(pattern.data()))
            path = made;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path, ignored);
    }
    // The folder as the engine writes folders: backslashes, one at the end.
    std::wstring EnginePath() const
    {
        std::wstring text = path.wstring() + L"/";
        for (wchar_t& c : text)
            if (c == L'/')
                c = L'\\';
        return text;
    }
};
