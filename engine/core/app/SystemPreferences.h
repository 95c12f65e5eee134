// The four machine-wide preferences kept between runs in "System.prefs"
// (full screen, audio, two software-rendering flags): reading them at start
// with the shipped defaults as fall-backs, the display-mode decision that the
// command line and the keys held at start can override, writing them at exit,
// and the "Options" settings report.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/core/xml/XmlNode.h"

namespace Platform
{
class WindowSystem;
}

namespace TarnEngine
{

class CommandLine;
class SettingsStore;

struct SystemPreferences
{
    uint8_t fullscreen = 1;
    uint8_t audioEnabled = 1;
    uint8_t softwareDevice = 0;
    uint8_t autoDetectSoftware = 0;
};

// Reads the "Settings" tree; false when it is outdated or lacks a key.
bool ReadPrefs(const XmlNode& root, SystemPreferences& prefs);
// Builds the "Settings" tree (version 2; AutoDetectSoftware is never written).
std::unique_ptr<XmlNode> WritePrefs(const SystemPreferences& prefs);

// "System.prefs" of the local-data folder, else "DefaultSystemPreferences.xml",
// else the built-in defaults. A "System.prefs" that cannot be used is deleted.
SystemPreferences LoadSystemPreferences(SettingsStore& store, bool startFullScreen);
// Writes the preferences at exit as "System.prefs".
bool SaveSystemPreferences(SettingsStore& store, const SystemPreferences& prefs);
// Deletes a file of the local-data folder when both folders exist.
void DeleteSettingsFile(SettingsStore& store, const std::wstring& fileName);

// The modifier keys held when the program starts.
struct HeldKeys
{
    bool ctrl = false;
    bool shift = false;
};
using HeldKeysSource = std::function<HeldKeys()>;
// The window layer installs the real source; without one no key is held.
void SetHeldKeysSource(HeldKeysSource source);
HeldKeys SampleHeldKeys();
// Ctrl and Shift as the window system holds them (works before any window).
HeldKeysSource HeldKeysOf(const Platform::WindowSystem& windows);

// Full screen or not: "-windowed"/"-window" or Shift alone give windowed;
// "-fullscreen" or Shift with Ctrl give full screen; else the preference.
bool DecideFullscreen(const CommandLine& commandLine, const HeldKeys& keys, bool preference);
// The same, asking the keys only when they can change the answer: with "-windowed" they cannot,
// and asking them costs a connection to the display server at start-up.
bool DecideFullscreen(const CommandLine& commandLine, const HeldKeysSource& keys, bool preference);

// The "Options" report: keys "FullScreen", "SoftwareMode", "ForcedSoftware",
// "16Bit" with "1" or "0".
struct OptionsReport
{
    std::array<std::wstring, 4> keys;
    std::array<std::wstring, 4> values;
};
OptionsReport BuildOptionsReport(bool fullscreen, bool is16Bit);
// Sends the report to the reporting module, at the given scheduled time.
void ReportOptions(bool fullscreen, bool is16Bit, double time);

} // namespace TarnEngine
