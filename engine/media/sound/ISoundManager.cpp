// Sound service base; see ISoundManager.h.
#include "engine/media/sound/ISoundManager.h"

#include "engine/core/diagnostics/Console.h"
#include "engine/media/sound/SoundFader.h"

namespace TarnEngine
{

namespace
{
ISoundManager* g_soundManager = nullptr;
}

ISoundManager::ISoundManager()
{
    g_soundManager = this;
    if (Console* console = GetMainConsole())
    {
        const std::pair<const wchar_t*, int32_t> commands[] = {
            {L"audio.SetGroupVolume", 2}, {L"audio.getclassvolume", 1},     {L"audio.playsound", 1},
            {L"audio.setenabled", 1},     {L"audio.setoutputlogenabled", 1},
        };
        for (const auto& [name, parameters] : commands)
            if (console->RegisterFunction(name, this, parameters))
                registeredCommands.push_back(name);
    }
}

ISoundManager::~ISoundManager()
{
    // The console usually goes first; when it is still there it must not call a manager that is gone.
    if (Console* console = GetMainConsole())
        for (const std::wstring& name : registeredCommands)
            console->UnregisterFunction(name);
    if (g_soundManager == this)
        g_soundManager = nullptr;
}

ISoundManager* ISoundManager::Get()
{
    return g_soundManager;
}

void ISoundManager::FadeInSound(const std::wstring& name, float duration, float from, float to, bool rewind)
{
    if (fader)
        fader->FadeInByName(name, duration, from, to, rewind);
}

void ISoundManager::FadeSound(const std::wstring& name, float duration, float from, float to)
{
    if (fader)
        fader->FadeOutByName(name, duration, from, to);
}

} // namespace TarnEngine
