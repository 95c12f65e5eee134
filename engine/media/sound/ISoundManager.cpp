// Sound service base; see ISoundManager.h.
#include "engine/media/sound/ISoundManager.h"

#include "engine/core/text/TextHelpers.h"
#include "engine/scene/ui/UserInterface.h"

namespace TarnEngine
{

namespace
{
ISoundManager* g_soundManager = nullptr;
}

ISoundManager::ISoundManager()
{
    g_soundManager = this;
    UserInterface* ui = UserInterface::Get();
    if (Console* console = ui ? ui->GetConsole() : nullptr)
    {
        console->RegisterFunction(L"audio.SetGroupVolume", this, 2);
        console->RegisterFunction(L"audio.getclassvolume", this, 1);
        console->RegisterFunction(L"audio.playsound", this, 1);
        console->RegisterFunction(L"audio.setenabled", this, 1);
        console->RegisterFunction(L"audio.setoutputlogenabled", this, 1);
    }
}

ISoundManager::~ISoundManager()
{
    if (g_soundManager == this)
        g_soundManager = nullptr;
}

ISoundManager* ISoundManager::Get()
{
    return g_soundManager;
}

void ISoundManager::ExecuteCommand(const std::vector<std::wstring>& arguments, const InstanceHandle&)
{
    if (arguments.size() < 2)
        return;
    if (arguments[0] == L"audio.setenabled")
        SetEnabled(WStringToInt(arguments[1]) != 0);
    else if (arguments[0] == L"audio.playsound")
    {
        RefPtr<ISound> sound;
        PlaySound(sound, arguments[1], 0);
    }
}

} // namespace TarnEngine
