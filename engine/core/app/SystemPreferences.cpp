// System preferences and the display-mode decision; see SystemPreferences.h.
#include "engine/core/app/SystemPreferences.h"

#include "engine/core/app/CommandLine.h"
#include "engine/core/diagnostics/FernlinkClient.h"
#include "engine/core/files/ProtectedXmlFile.h"
#include "engine/core/files/SettingsStore.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "platform/window/VirtualKeys.h"
#include "platform/window/WindowSystem.h"

namespace TarnEngine
{

namespace
{
const wchar_t kPrefsFile[] = L"System.prefs";
const wchar_t kDefaultPrefsFile[] = L"DefaultSystemPreferences.xml";
const uint32_t kPrefsVersion = 2;

HeldKeysSource& heldKeysSource()
{
    static HeldKeysSource source;
    return source;
}

SystemPreferences defaults(bool startFullScreen)
{
    SystemPreferences prefs;
    prefs.fullscreen = startFullScreen ? 1 : 0;
    prefs.audioEnabled = 1;
    prefs.softwareDevice = 0;
    prefs.autoDetectSoftware = 0;
    return prefs;
}

void addFlag(XmlNode& root, const wchar_t* name, uint8_t value)
{
    XmlNode* child = root.AddNewChild(name);
    child->text = value ? L"1" : L"0";
    child->empty = false;
}

// "-windowed" or "-window" on the command line.
bool windowAsked(const CommandLine& commandLine)
{
    return commandLine.HasOption(L"-windowed") || commandLine.HasOption(L"-window");
}

} // namespace

bool ReadPrefs(const XmlNode& root, SystemPreferences& prefs)
{
    if (WStringToInt(root.GetChildText(L"Version")) != kPrefsVersion)
        return false;
    const std::wstring fullscreen = root.GetChildText(L"Fullscreen");
    const std::wstring audio = root.GetChildText(L"AudioEnabled");
    const std::wstring software = root.GetChildText(L"SoftwareDevice");
    if (fullscreen.empty() || audio.empty() || software.empty())
        return false;
    prefs.fullscreen = WStringToInt(fullscreen) != 0;
    prefs.audioEnabled = WStringToInt(audio) != 0;
    prefs.softwareDevice = WStringToInt(software) != 0;
    prefs.autoDetectSoftware = 0;
    const std::wstring detect = root.GetChildText(L"AutoDetectSoftware");
    if (!detect.empty())
        prefs.autoDetectSoftware = WStringToInt(detect) != 0;
    return true;
}

std::unique_ptr<XmlNode> WritePrefs(const SystemPreferences& prefs)
{
    auto root = std::make_unique<XmlNode>(L"Settings");
    XmlNode* version = root->AddNewChild(L"Version");
    version->text = StringPrintf(L"%d", int(kPrefsVersion));
    version->empty = false;
    addFlag(*root, L"Fullscreen", prefs.fullscreen);
    addFlag(*root, L"AudioEnabled", prefs.audioEnabled);
    addFlag(*root, L"SoftwareDevice", prefs.softwareDevice);
    return root;
}

SystemPreferences LoadSystemPreferences(SettingsStore& store, bool startFullScreen)
{
    SystemPreferences prefs;
    if (std::unique_ptr<XmlNode> stored = LoadProtectedXml(store, kPrefsFile, SettingsStore::LocalData))
    {
        if (!ReadPrefs(*stored, prefs))
        {
            DeleteSettingsFile(store, kPrefsFile);
            prefs = defaults(startFullScreen);
        }
        return prefs;
    }
    const XmlNode* shipped = LoadXmlDocument(kDefaultPrefsFile);
    if (!shipped || !ReadPrefs(*shipped, prefs))
        prefs = defaults(startFullScreen);
    return prefs;
}

bool SaveSystemPreferences(SettingsStore& store, const SystemPreferences& prefs)
{
    std::unique_ptr<XmlNode> root = WritePrefs(prefs);
    return SaveProtectedXml(*root, store, kPrefsFile, SettingsStore::LocalData);
}

void DeleteSettingsFile(SettingsStore& store, const std::wstring& fileName)
{
    if (!store.EnsureLocalFolder(false) || !store.EnsureSaveFolder(false))
        return;
    store.Io().Remove(store.localFolder + fileName);
}

void SetHeldKeysSource(HeldKeysSource source)
{
    heldKeysSource() = std::move(source);
}

HeldKeys SampleHeldKeys()
{
    const HeldKeysSource& source = heldKeysSource();
    return source ? source() : HeldKeys();
}

HeldKeysSource HeldKeysOf(const Platform::WindowSystem& windows)
{
    return [&windows]
    {
        HeldKeys keys;
        keys.ctrl = windows.IsKeyHeld(Platform::VirtualKey::Control);
        keys.shift = windows.IsKeyHeld(Platform::VirtualKey::Shift);
        return keys;
    };
}

bool DecideFullscreen(const CommandLine& commandLine, const HeldKeys& keys, bool preference)
{
    if (windowAsked(commandLine) || (keys.shift && !keys.ctrl))
        return false;
    if (commandLine.HasOption(L"-fullscreen") || (keys.shift && keys.ctrl))
        return true;
    return preference;
}

bool DecideFullscreen(const CommandLine& commandLine, const HeldKeysSource& keys, bool preference)
{
    if (windowAsked(commandLine))
        return false;
    return DecideFullscreen(commandLine, keys ? keys() : HeldKeys{}, preference);
}

OptionsReport BuildOptionsReport(bool fullscreen, bool is16Bit)
{
    OptionsReport report;
    report.keys = {L"FullScreen", L"SoftwareMode", L"ForcedSoftware", L"16Bit"};
    report.values = {fullscreen ? L"1" : L"0", L"0", L"0", is16Bit ? L"1" : L"0"};
    return report;
}

void ReportOptions(bool fullscreen, bool is16Bit, double time)
{
    const OptionsReport report = BuildOptionsReport(fullscreen, is16Bit);
    const wchar_t* keys[4];
    const wchar_t* values[4];
    for (size_t i = 0; i < 4; ++i)
    {
        keys[i] = report.keys[i].c_str();
        values[i] = report.values[i].c_str();
    }
    ReportOptionsToFernlink(keys, values, time);
}

} // namespace TarnEngine
