// What the profile tests share: a folder standing for the saved-games folder
// with a settings store over it, file calls that count and fail on demand,
// a logger that keeps its lines, and byte-level file helpers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/files/SettingsStore.h"
#include "tests/core/TempFolder.h"

namespace ProfileTest
{

using namespace TarnEngine;

// File calls that count what they are asked and fail on demand: each of
// `failures` is a step ("create") failing every time, or a step and the
// count of the one call that fails ("rename#2", counted from 1).
class FaultyIo : public SettingsFileIo
{
public:
    std::vector<std::string> failures;
    std::vector<std::string> calls;

    bool fails(const char* step)
    {
        calls.push_back(step);
        const std::string nth = std::string(step) + "#" + std::to_string(Count(step));
        for (const std::string& failure : failures)
            if (failure == step || failure == nth)
                return true;
        return false;
    }
    size_t Count(const std::string& step) const
    {
        size_t count = 0;
        for (const std::string& call : calls)
            count += call == step;
        return count;
    }

    bool ReadAll(const std::wstring& path, std::vector<uint8_t>& out) override
    {
        return !fails("read") && SettingsFileIo::ReadAll(path, out);
    }
    int Create(const std::wstring& path) override
    {
        return fails("create") ? -1 : SettingsFileIo::Create(path);
    }
    bool Write(int file, const uint8_t* data, size_t size) override
    {
        if (fails("write"))
        {
            // A disk that fills up part way: some bytes land, then the error.
            SettingsFileIo::Write(file, data, size / 2);
            return false;
        }
        return SettingsFileIo::Write(file, data, size);
    }
    bool Sync(int file) override { return !fails("sync") && SettingsFileIo::Sync(file); }
    bool Close(int file) override
    {
        const bool closed = SettingsFileIo::Close(file);
        return !fails("close") && closed;
    }
    bool Rename(const std::wstring& from, const std::wstring& to) override
    {
        return !fails("rename") && SettingsFileIo::Rename(from, to);
    }
    bool SyncFolder(const std::wstring& folder) override
    {
        return !fails("syncfolder") && SettingsFileIo::SyncFolder(folder);
    }
    bool Remove(const std::wstring& path) override
    {
        return !fails("remove") && SettingsFileIo::Remove(path);
    }
    bool Link(const std::wstring& existing, const std::wstring& newName) override
    {
        return !fails("link") && SettingsFileIo::Link(existing, newName);
    }
};

// Keeps every line logged while it lives.
class CapturingLogger final : public ILogger
{
public:
    void LogString(uint32_t, const char*, int, std::wstring_view text) override { lines.emplace_back(text); }
    void EnableChannels(uint32_t mask) override { channelMask_ |= mask; }
    void DisableChannels(uint32_t mask) override { channelMask_ &= ~mask; }

    // Lines that contain the text.
    size_t Count(const std::wstring& part) const
    {
        size_t count = 0;
        for (const std::wstring& line : lines)
            count += line.find(part) != std::wstring::npos;
        return count;
    }
    std::string All() const
    {
        std::string text;
        for (const std::wstring& line : lines)
            for (wchar_t c : line)
                text += c < 0x80 ? static_cast<char>(c) : '?';
        return text;
    }

    std::vector<std::wstring> lines;
};

// A settings store whose saved-games folder is the given folder.
inline std::unique_ptr<SettingsStore> MakeStore(const std::filesystem::path& folder,
                                                std::unique_ptr<SettingsFileIo> io = nullptr)
{
    std::wstring engine = folder.wstring() + L"/";
    for (wchar_t& c : engine)
        if (c == L'/')
            c = L'\\';
    auto lookup = [engine](bool) { return engine; };
    return std::make_unique<SettingsStore>(lookup, lookup, std::move(io));
}

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

// The files of the folder whose names begin with the text.
inline std::vector<std::filesystem::path> FilesStartingWith(const std::filesystem::path& folder,
                                                            const std::string& prefix)
{
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            found.push_back(entry.path());
    return found;
}

} // namespace ProfileTest
