// Sound resource; see FMODResource.h.
#include "engine/media/sound/FMODResource.h"

#include "engine/core/files/FileSystem.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/media/sound/FMODManager.h"
#include "platform/audio/AudioSystem.h"

namespace TarnEngine
{

RefPtr<MemoryRegionCounted> CreateFmodSound(FMODManager* manager, const std::wstring& name, bool streaming,
                                            std::unique_ptr<Audio::Sound>& out)
{
    out.reset();
    FileSystem* files = FileSystem::Get();
    Audio::System* system = manager ? manager->GetSystem() : nullptr;
    if (files == nullptr || system == nullptr)
        return nullptr;
    RefPtr<StreamSourceCounted> file = files->Open(name);
    if (!file || !file->IsValid())
        return nullptr;
    Audio::CreateSoundInfo info;
    if (EndsWith(name, L".ogg"))
        info.suggestedType = Audio::SoundType::OggVorbis;
    RefPtr<MemoryRegionCounted> region = file->GetMemoryRegion();
    if (!region || region->GetData() == nullptr)
        return nullptr;
    uint32_t mode = Audio::ModeLoopNormal;
    if (streaming)
        mode |= Audio::ModeCreateStream;
    if (system->CreateSound(region->GetData(), region->GetSize(), mode, &info, out) != Audio::Result::Ok)
        return nullptr;
    return region;
}

FMODResource::FMODResource(const std::wstring& name, bool streaming, FMODManager* manager)
    : ResourceSound(name), streaming(streaming), manager(manager)
{
}

FMODResource::~FMODResource()
{
    ReleaseSound();
}

bool FMODResource::IsLoaded()
{
    return sound && data;
}

bool FMODResource::Load()
{
    data = CreateFmodSound(manager, GetName(), streaming, sound);
    if (!data)
        sound.reset();
    return IsLoaded();
}

Audio::Sound* FMODResource::GetSound()
{
    // Made by a system that sound was switched off or on since: made again by the running one.
    Audio::System* system = manager ? manager->GetSystem() : nullptr;
    if (IsLoaded() && (system == nullptr || !system->Owns(sound.get())))
        ReleaseSound();
    if (IsLoaded() || Load())
        return sound.get();
    return nullptr;
}

void FMODResource::ReleaseSound()
{
    // The sound reads the bytes while it lives: it goes first.
    sound.reset();
    data.Release();
}

} // namespace TarnEngine
