// The settings element and its checked reads; see SettingsNode.h.
#include "game/ui/SettingsNode.h"

#include "engine/core/xml/XmlNode.h"
#include "game/core/Core.h"
#include "game/core/ProfileStore.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>

using namespace TarnEngine;

const wchar_t* const kSettingsNodeName = L"SETTINGS_KEY";

namespace
{

const ProfileStore* storeOr(const ProfileStore* store)
{
    if (store)
        return store;
    Core* core = Core::Get();
    return core ? &core->GetProfileStore() : nullptr;
}

} // namespace

XmlNode* FindSettingsNode(const ProfileStore* store)
{
    const ProfileStore* profiles = storeOr(store);
    XmlNode* profile = profiles ? profiles->FindCurrentProfile() : nullptr;
    return profile ? profile->FindChild(kSettingsNodeName) : nullptr;
}

XmlNode* GetOrCreateSettingsNode(ProfileStore* store)
{
    const ProfileStore* profiles = storeOr(store);
    XmlNode* profile = profiles ? profiles->FindCurrentProfile() : nullptr;
    if (!profile)
        return nullptr;
    if (XmlNode* found = profile->FindChild(kSettingsNodeName))
        return found;
    return profile->AddNewChild(kSettingsNodeName);
}

float ReadVolumeSetting(const XmlNode& settings, const std::wstring& name, float fallback)
{
    const std::wstring* text = settings.FindAttribute(name);
    if (!text)
        return fallback;
    const wchar_t* start = text->c_str();
    wchar_t* end = nullptr;
    const double value = std::wcstod(start, &end);
    // No number at all, "nan" and "inf" read as the fallback; anything else is kept in range.
    if (end == start || !std::isfinite(value))
        return fallback;
    return float(std::clamp(value, 0.0, 100.0));
}

std::wstring FormatVolumeSetting(float volume)
{
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"%f", double(volume));
    return buffer;
}

OptionsSettings ReadOptionsSettings(const XmlNode& settings)
{
    OptionsSettings read;
    read.musicVolume = ReadVolumeSetting(settings, L"SETTINGS_MUSIC_VOL", 0.0f);
    read.soundVolume = ReadVolumeSetting(settings, L"SETTINGS_SOUND_VOL", 0.0f);
    read.voiceVolume = ReadVolumeSetting(settings, L"SETTINGS_VOICE_VOL", 0.0f);
    read.tutorials = settings.GetBoolAttribute(L"SETTINGS_TUTORIALS_ON", false);
    read.effects = settings.GetBoolAttribute(L"SETTINGS_FX_ON", false);
    read.customCursor = settings.GetBoolAttribute(L"SETTINGS_CUSTCURSOR_ON", false);
    read.voiceOvers = settings.GetBoolAttribute(L"SETTINGS_VOICEOVERS_ON", true);
    return read;
}

SpeechSettings ReadSpeechSettings(const XmlNode& settings)
{
    SpeechSettings read;
    read.portraits = settings.GetBoolAttribute(L"SETTINGS_PORTRAITS_ON", true);
    read.subtitles = settings.GetBoolAttribute(L"SETTINGS_SUBS_ON", true);
    read.voiceOvers = settings.GetBoolAttribute(L"SETTINGS_VOICEOVERS_ON", true);
    read.voiceVolume = ReadVolumeSetting(settings, L"SETTINGS_VOICE_VOL", 0.0f);
    return read;
}
