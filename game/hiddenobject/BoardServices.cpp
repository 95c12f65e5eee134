// The default board services; see BoardServices.h.
#include "game/hiddenobject/BoardServices.h"

#include "engine/media/sound/ISoundManager.h"
#include "game/core/Core.h"

namespace
{

// The running game object's services; without one (a board driven on its own) the countdown and
// cursor are kept here and sounds go straight to the engine's sound manager.
class DefaultBoardServices final : public BoardServices
{
public:
    float GetBusyCountdown() override
    {
        const Core* core = Core::Get();
        return core ? core->GetBusyCountdown() : countdown;
    }
    void StartBusyCursor(float seconds) override
    {
        if (Core* core = Core::Get())
            return core->StartBusyCursor(seconds);
        countdown = seconds;
        cursor = CF_FREEZE;
    }
    void SetCursorIdx(int32_t index) override
    {
        if (Core* core = Core::Get())
            return core->SetCursorIdx(index);
        if (!(countdown > 0.0f))
            cursor = index;
    }
    void PlaySound(const std::wstring& soundName, float pan) override
    {
        if (Core* core = Core::Get())
            return core->GetSound().PlaySound(soundName, pan, false);
        TarnEngine::ISoundManager* sounds = TarnEngine::ISoundManager::Get();
        if (!sounds)
            return;
        if (TarnEngine::ISound* sound = sounds->PlaySoundWithParams(soundName, false, false).Get())
            sound->SetPan(pan);
    }
    const TarnEngine::XmlNode* GetCurrentProfile() override
    {
        Core* core = Core::Get();
        return core ? core->GetProfileStore().FindCurrentProfile() : nullptr;
    }

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
