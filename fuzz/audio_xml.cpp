// Fuzz target: any bytes as "Audio\Audio.xml" and as an ambient sound scene file. The sound manager
// loads what it can (two sound files exist: "a.wav" and "b.ogg"), plays every sound it defined,
// mixes, updates, fades and stops; the scene plays through a few seconds of steps. Nothing may crash.
#include "engine/core/base/RandomGenerator.h"
#include "engine/core/base/ResourceManager.h"
#include "engine/core/files/FileSystem.h"
#include "engine/core/files/MemorySource.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/media/sound/AmbientSoundScene.h"
#include "engine/media/sound/FMODManager.h"
#include "engine/scene/ui/UserInterface.h"
#include "tests/common/SoundFiles.h"

#include <cstring>
#include <map>
#include <vector>

using namespace TarnEngine;

namespace
{

class Files : public IFSSource
{
public:
    bool Mount() override { return true; }
    bool Unmount() override { return true; }
    bool IsMounted() override { return true; }
    RefPtr<StreamSourceCounted> OpenFile(const std::wstring& name) override
    {
        const auto found = files.find(name);
        if (found == files.end() || found->second.empty())
            return nullptr;
        ByteBlock block = AllocateBlock(found->second.size());
        std::memcpy(block.get(), found->second.data(), found->second.size());
        return new MemorySource(std::move(block), uint32_t(found->second.size()), name, this);
    }
    std::wstring GetPath() override { return L""; }
    bool FileExists(const std::wstring& name) override { return files.count(name) != 0; }
    std::wstring GetName() override { return L"Fuzz"; }
    uint32_t FindFiles(const std::wstring&, std::vector<std::wstring>*, std::vector<std::wstring>*) override
    {
        return 0;
    }
    std::map<std::wstring, std::vector<uint8_t>> files;
};

struct World
{
    World() : ui(nullptr, nullptr)
    {
        ui.Init();
        files = new Files;
        files->files[L"a.wav"] = SoundFiles::MakeWav({SoundFiles::kPcm, 16, 1, 8000, false},
                                                    SoundFiles::Sine(400, 8000, 440, 1, 0.5));
        files->files[L"b.ogg"] = SoundFiles::EncodeVorbis(SoundFiles::Sine(2000, 8000, 300, 2, 0.5), 2, 8000);
        fileSystem.AddSource(std::unique_ptr<IFSSource>(files));
    }
    ResourceManager resources;
    FileSystem fileSystem;
    XmlDocumentCache xml;
    UserInterface ui;
    Files* files = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static World world;
    world.files->files[L"Audio\\Audio.xml"].assign(data, data + size);
    world.files->files[L"scene.xml"].assign(data, data + size);
    UnloadXmlDocument(L"Audio\\Audio.xml");
    UnloadXmlDocument(L"scene.xml");

    Audio::SystemOptions options;
    options.output = Audio::OutputType::Manual;
    FMODManager manager(options);
    manager.Init(8);
    manager.LoadAudioXml();
    std::vector<std::wstring> names;
    for (const auto& [name, definition] : manager.GetDefinitions())
        names.push_back(name);
    std::vector<float> mixed(2 * 1024);
    for (size_t i = 0; i < names.size() && i < 32; ++i)
    {
        manager.PlaySoundWithParams(names[i], i % 2 == 0, i % 3 == 0);
        manager.FadeInSound(names[i], 0.1f, 0.0f, 1.0f, i % 2 == 1);
        if (Audio::System* system = manager.GetSystem())
            system->ReadMixed(mixed.data(), 1024);
        manager.Update();
    }
    manager.SetClassVolume(L"default", 0.5f);
    manager.PauseAll(true);
    manager.PauseAll(false);
    for (const std::wstring& name : names)
        manager.FadeSound(name, 0.0f, -1.0f, 0.0f);
    manager.Update();

    RandomGenerator::ForThread().Seed(uint32_t(size));
    AmbientSoundScene scene;
    if (scene.Load(L"scene.xml"))
    {
        scene.Play();
        for (int step = 0; step < 40; ++step)
        {
            if (Audio::System* system = manager.GetSystem())
                system->ReadMixed(mixed.data(), 1000);
            manager.Update();
            scene.Update(0.125f);
        }
        scene.Stop();
    }
    manager.StopAll();
    return 0;
}
