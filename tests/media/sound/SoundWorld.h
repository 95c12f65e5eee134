// What the sound classes need around them in a test: the resource cache, a file system whose one
// source serves files written by the test from memory, the XML document cache, the user interface's
// console, and a sound manager on the manual output (8000 Hz, so a millisecond is 8 frames) or on
// the no-sound output with a fake clock.
#pragma once

#include "engine/core/base/ResourceManager.h"
#include "engine/core/diagnostics/Console.h"
#include "engine/core/files/FileSystem.h"
#include "engine/core/files/MemorySource.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/media/sound/FMODManager.h"
#include "platform/system/Clock.h"
#include "tests/common/SoundFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace SoundTest
{

using namespace TarnEngine;
using SoundFiles::Bytes;

constexpr uint32_t kRate = 8000;

class MemoryFiles : public IFSSource
{
public:
    bool Mount() override { return true; }
    bool Unmount() override { return true; }
    bool IsMounted() override { return true; }
    RefPtr<StreamSourceCounted> OpenFile(const std::wstring& name) override
    {
        ++opens[name];
        const auto found = files.find(name);
        if (found == files.end())
            return nullptr;
        ByteBlock block = AllocateBlock(found->second.size());
        if (!found->second.empty())
            std::memcpy(block.get(), found->second.data(), found->second.size());
        return new MemorySource(std::move(block), uint32_t(found->second.size()), name, this);
    }
    std::wstring GetPath() override { return L""; }
    bool FileExists(const std::wstring& name) override { return files.count(name) != 0; }
    std::wstring GetName() override { return L"test"; }
    uint32_t FindFiles(const std::wstring&, std::vector<std::wstring>*, std::vector<std::wstring>*) override
    {
        return 0;
    }

    std::map<std::wstring, Bytes> files;
    std::map<std::wstring, int> opens;
};

// A mono float WAV at 8000 Hz of frames of one value.
inline Bytes Level(uint32_t frames, float value = 1.0f)
{
    return SoundFiles::MakeWav({SoundFiles::kFloat, 32, 1, kRate, false}, std::vector<float>(frames, value));
}

struct CountingHandler : IAudioCallbackHandler
{
    void OnSoundFinished(WeakPtr<ISound> sound) override
    {
        ++calls;
        if (ISound* live = sound.Get())
            names.push_back(live->GetName());
    }
    int calls = 0;
    std::vector<std::wstring> names;
};

class SoundWorld : public ::testing::Test
{
protected:
    SoundWorld()
    {
        // The manager's commands go to the console the user interface would show.
        shownConsole() = &console;
        SetMainConsoleLookup([] { return shownConsole(); });
        files = new MemoryFiles;
        fileSystem.AddSource(std::unique_ptr<IFSSource>(files));
    }

    void Write(const std::wstring& name, const Bytes& bytes) { files->files[name] = bytes; }
    void WriteText(const std::wstring& name, const std::string& text)
    {
        files->files[name] = Bytes(text.begin(), text.end());
        UnloadXmlDocument(name);
    }
    void WriteAudioXml(const std::string& body)
    {
        WriteText(L"Audio\\Audio.xml", "<?xml version=\"1.0\"?>\n<Audio>\n" + body + "</Audio>\n");
    }

    // A manager on the manual output (or the options given), initialised.
    FMODManager& Start(int32_t channels = 16, Audio::SystemOptions options = manualOptions())
    {
        manager.reset();
        manager = std::make_unique<FMODManager>(options);
        EXPECT_TRUE(manager->Init(channels));
        return *manager;
    }
    static Audio::SystemOptions manualOptions()
    {
        Audio::SystemOptions options;
        options.output = Audio::OutputType::Manual;
        options.rate = kRate;
        return options;
    }

    // The next frames of the mix, interleaved stereo.
    std::vector<float> Mix(uint32_t frames)
    {
        std::vector<float> out(size_t(frames) * 2, 99.0f);
        Audio::System* system = manager->GetSystem();
        EXPECT_NE(system, nullptr);
        if (system)
        {
            EXPECT_EQ(system->ReadMixed(out.data(), frames), Audio::Result::Ok);
        }
        return out;
    }
    ~SoundWorld() override
    {
        manager.reset();
        shownConsole() = nullptr;
    }

    static Console*& shownConsole()
    {
        static Console* shown = nullptr;
        return shown;
    }

    std::vector<std::wstring> Printed() const { return console.GetLines(); }
    void Command(const std::wstring& line) { console.HandleConsoleFunction(line); }

    ResourceManager resources;
    FileSystem fileSystem;
    XmlDocumentCache xml;
    Console console;
    MemoryFiles* files = nullptr; // owned by the file system
    // Handlers outlive the manager, whose shutdown still tells them of the sounds it stops.
    CountingHandler handler;
    CountingHandler other;
    // The no-sound output's clock, when a test asks for it.
    Platform::FakeCounter clock{1000};
    std::unique_ptr<FMODManager> manager;
};

} // namespace SoundTest
