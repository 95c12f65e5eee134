// The default screen services; see ScreenServices.h.
#include "game/hiddenobject/ScreenServices.h"

#include "game/core/Core.h"
#include "game/media/LevelReport.h"

namespace
{

class DefaultScreenServices final : public ScreenServices
{
public:
    TarnEngine::XmlNode* GetCurrentProfile() override
    {
        Core* core = Core::Get();
        return core ? core->GetProfileStore().FindCurrentProfile() : nullptr;
    }
    std::wstring GetCurrentLevelName() override
    {
        Core* core = Core::Get();
        return core ? core->GetGameMgr().GetCurrentLevelName() : std::wstring();
    }
    void PlayAmbientScene(const std::wstring& fileName) override
    {
        Core* core = Core::Get();
        if (!core)
            return;
        TarnEngine::AmbientSoundScene& ambient = core->GetSound().GetAmbient();
        if (ambient.Load(fileName))
            ambient.Play();
    }
    void ReportPowerUpUsed(const std::wstring& name, const std::wstring& value) override
    {
        ::ReportPowerUpUsed(name, value);
    }
};

ScreenServices* installed = nullptr;

} // namespace

ScreenServices& ScreenServices::Get()
{
    static DefaultScreenServices fallback;
    return installed ? *installed : fallback;
}

ScreenServices* ScreenServices::Install(ScreenServices* services)
{
    ScreenServices* previous = installed;
    installed = services;
    return previous;
}
