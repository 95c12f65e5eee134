// Fuzz target: the options and speech screens' readers of a profile's "SETTINGS_KEY" with arbitrary
// attribute values. Input starting with '<' is a profile document (its first SETTINGS_KEY below a
// PROFILE is read); any other input is split at line ends into the values of the ten settings
// attributes, in order, an attribute being left out when its line is missing. Every volume read
// must be finite and within 0 to 100.
#include "engine/core/text/TextConversion.h"
#include "engine/core/xml/XmlNode.h"
#include "game/ui/SettingsNode.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace
{

const wchar_t* const kNames[] = {
    L"SETTINGS_MUSIC_VOL", L"SETTINGS_SOUND_VOL",     L"SETTINGS_VOICE_VOL", L"SETTINGS_TUTORIALS_ON",
    L"SETTINGS_FX_ON",     L"SETTINGS_CUSTCURSOR_ON", L"SETTINGS_WIDE_FIX",  L"SETTINGS_PORTRAITS_ON",
    L"SETTINGS_SUBS_ON",   L"SETTINGS_VOICEOVERS_ON"};

void check(float volume)
{
    if (!std::isfinite(volume) || volume < 0.0f || volume > 100.0f)
        std::abort();
}

void readBoth(const TarnEngine::XmlNode& settings)
{
    const OptionsSettings options = ReadOptionsSettings(settings);
    check(options.musicVolume);
    check(options.soundVolume);
    check(options.voiceVolume);
    check(ReadSpeechSettings(settings).voiceVolume);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace TarnEngine;
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!text.empty() && text[0] == '<')
    {
        XmlNode root;
        if (!ParseXmlText(root, text.c_str(), false))
            return 0;
        const XmlNode* profile = root.FindChild(L"PROFILE");
        if (const XmlNode* settings = profile ? profile->FindChild(L"SETTINGS_KEY") : nullptr)
            readBoth(*settings);
        return 0;
    }
    XmlNode settings(L"SETTINGS_KEY");
    size_t start = 0;
    for (const wchar_t* name : kNames)
    {
        if (start > text.size())
            break;
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        settings.SetAttribute(name, Utf8ToWString(text.substr(start, end - start)));
        start = end + 1;
    }
    readBoth(settings);
    return 0;
}
