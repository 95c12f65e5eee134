// Sound manager; see FMODManager.h.
#include "engine/media/sound/FMODManager.h"

namespace TarnEngine
{

bool FMODManager::Init(uint32_t channels)
{
    channelCount = channels;
    return true;
}

void FMODManager::PlaySound(RefPtr<ISound>& out, const std::wstring&, uint32_t)
{
    out = nullptr;
}

} // namespace TarnEngine
