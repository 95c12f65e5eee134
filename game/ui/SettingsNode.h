// The player's settings: the "SETTINGS_KEY" element of the current profile in the profile file,
// which the options and speech screens read and write. Stored volumes come from a file the player
// can edit, so they are read through one checked reader before they reach a slider or a sound
// class.
#pragma once

#include <string>

namespace TarnEngine
{
class XmlNode;
}

class ProfileStore;

// The name of the element.
extern const wchar_t* const kSettingsNodeName;

// The settings element of the current profile, or null without a current profile or element.
// The store defaults to the game object's.
TarnEngine::XmlNode* FindSettingsNode(const ProfileStore* store = nullptr);
// The same, appending an empty element when the profile has none; null only without a current
// profile.
TarnEngine::XmlNode* GetOrCreateSettingsNode(ProfileStore* store = nullptr);

// A stored volume: the fallback when the attribute is missing or is not a finite number, else the
// number clamped to 0 to 100.
float ReadVolumeSetting(const TarnEngine::XmlNode& settings, const std::wstring& name, float fallback);
// A stored volume as it is written: "%f", six decimals.
std::wstring FormatVolumeSetting(float volume);

// What the options screen reads from the element, with its defaults for missing attributes.
struct OptionsSettings
{
    float musicVolume = 0.0f;
    float soundVolume = 0.0f;
    float voiceVolume = 0.0f;
    bool tutorials = false;
    bool effects = false;
    bool customCursor = false;
    bool voiceOvers = true;
};
OptionsSettings ReadOptionsSettings(const TarnEngine::XmlNode& settings);

// What the speech screen reads from the element.
struct SpeechSettings
{
    bool portraits = true;
    bool subtitles = true;
    bool voiceOvers = true;
    float voiceVolume = 0.0f;
};
SpeechSettings ReadSpeechSettings(const TarnEngine::XmlNode& settings);
