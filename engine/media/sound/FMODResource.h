// The sound resource of the audio layer: the file's bytes, read once through the engine file system
// (packs and protected files included), and the audio layer's sound made from them. Streamed sounds
// read those bytes while they play, so the bytes stay for as long as the sound exists. Loaded at the
// first play; the sound manager releases streams again when nothing plays them.
#pragma once

#include "engine/core/base/MemoryRegion.h"
#include "engine/core/base/RefPtr.h"
#include "engine/media/sound/ResourceSound.h"

#include <memory>
#include <string>

namespace Audio
{
class Sound;
}

namespace TarnEngine
{

class FMODManager;

class FMODResource final : public ResourceSound
{
public:
    // name: the source path in the engine file system.
    FMODResource(const std::wstring& name, bool streaming, FMODManager* manager);
    ~FMODResource() override;

    bool IsReloadable() override { return true; }
    bool IsLoaded() override;
    bool Load() override;

    // The sound, loading it first when needed; null when the file cannot be read or decoded.
    Audio::Sound* GetSound();
    // Drops the sound and the file's bytes; the next GetSound loads them again.
    void ReleaseSound();
    bool IsStreaming() const { return streaming; }

private:
    bool streaming;
    FMODManager* manager; // not owned
    std::unique_ptr<Audio::Sound> sound;
    RefPtr<MemoryRegionCounted> data;
};

// Opens the file by name through the engine file system and makes the audio layer's sound of its
// whole contents (streamed or decoded whole); gives the memory that holds the file, which must
// outlive the sound, or null.
RefPtr<MemoryRegionCounted> CreateFmodSound(FMODManager* manager, const std::wstring& name, bool streaming,
                                            std::unique_ptr<Audio::Sound>& out);

} // namespace TarnEngine
