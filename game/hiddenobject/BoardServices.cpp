// The default board services; see BoardServices.h.
#include "game/hiddenobject/BoardServices.h"

#include "engine/media/sound/ISoundManager.h"

namespace
{

class DefaultBoardServices final : public BoardServices
{
public:
    float GetBusyCountdown() override { return countdown; }
    void StartBusyCursor(float seconds) override
    {
        countdown = seconds;
        cursor = CF_FREEZE;
    }
    void SetCursorIdx(int32_t index) override
    {
        if (!(countdown > 0.0f))
            cursor = index;
    }
    void PlaySound(const std::wstring& soundName, float pan) override
    {
        TarnEngine::ISoundManager* sounds = TarnEngine::ISoundManager::Get();
        if (!sounds)
            return;
        if (TarnEngine::ISound* sound = sounds->PlaySoundWithParams(soundName, false, false).Get())
            sound->SetPan(pan);
    }
    const TarnEngine::XmlNode* GetCurrentProfile() override { return nullptr; }

private:
    float countdown = 0.0f;
    int32_t cursor = CF_DEFAULT;
};

BoardServices* installed = nullptr;

} // namespace

BoardServices& BoardServices::Get()
{
    static DefaultBoardServices fallback;
    return installed ? *installed : fallback;
}

BoardServices* BoardServices::Install(BoardServices* services)
{
    BoardServices* previous = installed;
    installed = services;
    return previous;
}
