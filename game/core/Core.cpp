// The game object; see Core.h.
#include "game/core/Core.h"

#include "engine/runtime/EngineManager.h"
#include "engine/core/app/Window.h"
#include "engine/core/base/RandomGenerator.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/core/text/StringFormat.h"
#include "engine/core/text/StringTable.h"
#include "engine/core/time/TimeManager.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/textures/IGIL.h"
#include "engine/scene/effects/ParticleManager.h"
#include "engine/media/sound/ISoundManager.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/ui/Screen.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "game/core/GameQuestions.h"
#include "game/core/GameScript.h"
#include "game/social/FaceBook.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>

using namespace TarnEngine;

const std::pair<const wchar_t*, const wchar_t*> Core::StartupGroups[5] = {
    {L"data", L"input"}, {L"effects", L"effects"}, {L"UI", L"UI"}, {L"Trophie_room", L"Trophie_room"},
    {L"credits", L"credits"}};

namespace
{

Core* g_core = nullptr;

constexpr uint32_t kClearColour = 0xFF000000;
constexpr uint32_t kMaxFrameStepMs = 33;
constexpr int32_t kSlowAlertId = 2;
constexpr uint32_t kEscapeKey = 27;

const wchar_t* const kSettingsKey = L"SETTINGS_KEY";
// The settings element's attributes and the values it is created with.
const std::pair<const wchar_t*, const wchar_t*> kSettingDefaults[] = {
    {L"SETTINGS_MUSIC_VOL", L"50"},   {L"SETTINGS_SOUND_VOL", L"75"},    {L"SETTINGS_VOICE_VOL", L"75"},
    {L"SETTINGS_TUTORIALS_ON", L"1"}, {L"SETTINGS_FX_ON", L"1"},         {L"SETTINGS_CUSTCURSOR_ON", L"0"},
    {L"SETTINGS_PORTRAITS_ON", L"1"}, {L"SETTINGS_SUBS_ON", L"1"},       {L"SETTINGS_VOICEOVERS_ON", L"1"},
    {L"SLOW_DETECTION_ON", L"1"},
};

void logGame(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", text);
}

// A volume in percent from the profile: a missing, unreadable or non-finite value is 0, the rest
// is held to 0..100.
float readVolume(const XmlNode& settings, const wchar_t* name)
{
    const float value = settings.GetFloatAttribute(name, 0.0f);
    if (!std::isfinite(value))
        return 0.0f;
    return std::clamp(value, 0.0f, 100.0f);
}

Instance_Movie* movieOf(const InstanceHandle& handle)
{
    return static_cast<Instance_Movie*>(handle.AsMovie().GetInstance());
}

Instance_Movie* uiRoot()
{
    UserInterface* ui = UserInterface::Get();
    return ui ? ui->GetRoot() : nullptr;
}

// A name that stays a single folder of the content: no separators, drive colons or parent steps.
bool isPlainFolderName(const std::wstring& name)
{
    return !name.empty() && name.find_first_of(L"\\/:") == std::wstring::npos && name.find(L"..") == std::wstring::npos;
}

} // namespace

Core::Core(CoreEnvironment env) : environment(std::move(env)), gameMgr(&profiles)
{
    g_core = this;
    if (environment.today)
        typedCodes.SetDateSource(environment.today);
    if (environment.console)
        typedCodes.SetConsole(environment.console);
    slowDetector.SetAlert([this] { raiseSlowAlert(); });
    profiles.SetProfileChangingHook([this](const std::wstring&) { onProfileChanging(); });
    profiles.SetProfileActivatedHook([this] { OnProfileActivated(); });
    profiles.SetNewProfileScreenHook([this] { openNewProfileScreen(); });
}

Core::~Core()
{
    if (g_core == this)
        g_core = nullptr;
}

Core* Core::Get()
{
    return g_core;
}

bool Core::isForeground() const
{
    if (environment.isForeground)
        return environment.isForeground();
    EngineManager* engine = EngineManager::Get();
    Window* window = engine ? engine->GetWindow() : nullptr;
    return window && window->IsForeground();
}

bool Core::isFullscreen() const
{
    if (environment.isFullscreen)
        return environment.isFullscreen();
    EngineManager* engine = EngineManager::Get();
    return engine && engine->IsFullscreen();
}

bool Core::Initialize()
{
    EngineManager* engine = EngineManager::Get();
    if (!engine)
        return false;
    // 1.
    if (TimeManager* time = TimeManager::Get())
        time->SetMaxDeltaMs(kMaxFrameStepMs);
    // 2.
    if (StringTable* strings = StringTable::GetKeyed())
        strings->LoadTranslator(L"en");
    // 3.
    std::srand(environment.randomSeed ? environment.randomSeed() : unsigned(std::time(nullptr)));
    RefillRandomPool();
    // 4.
    if (IGIL* device = engine->GetDevice())
    {
        device->SetWidescreenMode(true);
        device->SetClearParams(true, kClearColour);
    }
    // 5.
    for (const auto& [group, folder] : StartupGroups)
    {
        if (!engine->LoadLibraries(group, folder, 1, false))
        {
            logGame(StringPrintf(L"the content group %s did not load; the game cannot start", std::wstring(group)));
            return false;
        }
        logGame(StringPrintf(L"content group %s loaded", std::wstring(group)));
    }
    // 6. A failing script is reported by the script layer; the game goes on.
    if (LuaMgr* scripts = LuaMgr::Get())
        scripts->IncludeScript("main.lua");
    // 7.
    sound.Setup();
    sound.SetMusicVolume(0.1f);
    sound.SetSoundVolume(0.4f);
    // 8.
    if (Window* window = engine->GetWindow())
        window->cursors.Load(std::vector<uint32_t>(std::begin(CursorIds), std::end(CursorIds)));
    // 9.
    gameMgr.Setup();
    // 10. Without it the game runs on; every use of it is skipped.
    faceBook = MakeFaceBook();
    if (faceBook && !faceBook->Init(3))
        faceBook.reset();
    // 11.
    if (UserInterface* ui = UserInterface::Get())
    {
        ui->AddEventListener(this);
        listening = true;
    }
    // 12. and 13.
    if (Instance_Movie* root = uiRoot())
    {
        loadingMovie = Instance_Movie::CreateChild(root, L"mov_loading", L"mov_loading", nullptr).AsMovie();
        if (Instance_Movie* shield = movieOf(loadingMovie))
        {
            shield->SetVisible(false);
            shield->SetInputEnabled(true);
        }
        pauseMovie = Instance_Movie::CreateChild(root, L"mov_pause", L"mov_pause", nullptr).AsMovie();
        if (Instance_Movie* pause = movieOf(pauseMovie))
            pause->SetVisible(false);
    }
    // 14.
    profiles.CheckAtStartup();
    return true;
}

void Core::openNewProfileScreen()
{
    logGame(L"no current profile: asking for a new one");
    // Modal, so that Escape does not open the in-game menu over it.
    if (_ScreenMgr* screens = _ScreenMgr::Get())
        screens->OpenScreen(L"dlg_new_profile", L"", true, true);
}

void Core::Shutdown()
{
    // 1.
    hints.Clear();
    // 2.
    gameMgr.Shutdown();
    // 3.
    sound.Shutdown();
    // 4.
    faceBook.reset();
    // 5.
    if (listening)
        if (UserInterface* ui = UserInterface::Get())
            ui->RemoveEventListener(this);
    listening = false;
    // 6.
    if (g_core == this)
        g_core = nullptr;
}

void Core::OnDeactivate()
{
    // Releases made while another window has the keyboard never come here.
    keysHeld.clear();
    keysTakenByModal.clear();
    SetPaused(true);
}

void Core::updateWidescreenBars()
{
    Instance_Movie* root = uiRoot();
    EngineManager* engine = EngineManager::Get();
    IGIL* device = engine ? engine->GetDevice() : nullptr;
    if (!root || !device)
        return;
    struct Bar
    {
        InstanceHandle& handle;
        const wchar_t* name;
        float x;
    };
    Bar bars[] = {{leftBar, L"mov_wide_left", 0.0f}, {rightBar, L"mov_wide_right", 1024.0f}};
    for (Bar& bar : bars)
    {
        if (bar.handle.IsValid())
            continue;
        bar.handle = Instance_Movie::CreateChild(root, bar.name, bar.name, nullptr);
        if (Instance_Base* instance = bar.handle.GetInstance())
        {
            instance->SetPosition(bar.x, 0.0f);
            instance->SetInputEnabled(true);
            const float scale = device->GetViewScale();
            const float width = instance->ComputeWidth(false);
            if (scale > 0.0f && width > 0.0f)
                instance->SetScaleX(float(device->GetViewOffsetX()) / scale / width);
        }
    }
    Instance_Base* left = leftBar.GetInstance();
    Instance_Base* right = rightBar.GetInstance();
    if (left && right)
    {
        left->MoveToFront();
        right->MoveToFront();
    }
}

void Core::Update()
{
    EngineManager* engine = EngineManager::Get();
    TimeManager* time = TimeManager::Get();
    // 1.
    if (engine && isFullscreen())
        if (IGIL* device = engine->GetDevice(); device && device->IsWidescreenMode())
            updateWidescreenBars();
    // 2.
    if (Instance_Movie* shield = movieOf(loadingMovie); shield && shield->playing)
        shield->MoveToFront();
    // 3.
    float gameStep = 0.0f;
    float realStep = 0.0f;
    if (time)
    {
        realStep = float(time->GetClock(0).delta) / 1000.0f;
        gameStep = float(time->GetClock(1).delta) / 1000.0f;
        if (realStep > 0.0f)
            RaiseScriptEvent("TimeTick", {0, realStep});
        if (gameStep > 0.0f)
        {
            RaiseScriptEvent("TimeTick", {1, gameStep});
            const int32_t mode = gameMgr.GetCurrentModeIndex();
            if (mode >= 1 && mode <= 7)
                slowDetector.Update(time->GetRealClock().deltaSeconds);
        }
    }
    // 4.
    if (faceBook)
        faceBook->Update();
    // 5.
    if (busyCountdown > 0.0f)
    {
        if (time && time->GetClock(1).paused)
            applyCursor(0);
        else
        {
            busyCountdown -= gameStep;
            applyCursor(busyCountdown > 0.0f ? BusyCursor : 0);
        }
    }
    // 6.
    sound.GetAmbient().Update(realStep);
    // 7.
    _ScreenMgr* screens = _ScreenMgr::Get();
    const bool modal = screens && screens->GetTopModalScreen();
    const bool foreground = isForeground();
    if (!modal && foreground)
    {
        if (paused)
            SetPaused(false);
    }
    else if (!paused)
        SetPaused(true);
    // 8.
    showPauseMovie(foreground);
}

void Core::showPauseMovie(bool foreground)
{
    if (Instance_Movie* pause = movieOf(pauseMovie))
    {
        pause->SetVisible(!foreground);
        pause->MoveToFront();
    }
}

void Core::OnEvent(const Event_Base& event)
{
    _ScreenMgr* screens = _ScreenMgr::Get();
    const bool modal = screens && screens->GetTopModalScreen();
    if (event.type == Event_Base::KeyDown)
    {
        // Listeners hear a press before the screens' key handlers, so the modal screen that will
        // take it is still on top here. A held key's repeats belong to its first press.
        const uint32_t key = static_cast<const Event_Key&>(event).key;
        if (keysHeld.insert(key).second)
        {
            if (modal)
                keysTakenByModal.insert(key);
            else
                keysTakenByModal.erase(key);
        }
        return;
    }
    if (event.type != Event_Base::KeyUp)
        return;
    const uint32_t key = static_cast<const Event_Key&>(event).key;
    keysHeld.erase(key);
    const bool taken = keysTakenByModal.erase(key) != 0;
    if (modal || taken)
        return;
    if (key == kEscapeKey && gameMgr.GetCurrentModeIndex() != 0 && screens)
        screens->OpenScreen(L"dlg_ingamemenu", L"", true, true);
    typedCodes.OnKeyUp(key);
}

void Core::HandleMsgBox(int32_t id, int32_t result)
{
    if (id == 1 && result == 0)
        if (EngineManager* engine = EngineManager::Get())
            engine->RequestClose();
}

bool Core::EnsureLibraryLoaded(const std::wstring& name)
{
    if (loadedLibraries.count(name))
        return true;
    if (!isPlainFolderName(name))
    {
        logGame(StringPrintf(L"no library can be named \"%s\"", name));
        return false;
    }
    EngineManager* engine = EngineManager::Get();
    if (!engine || !engine->LoadLibraries(name, name, 1, false))
    {
        logGame(StringPrintf(L"the library %s did not load", name));
        return false;
    }
    loadedLibraries.insert(name);
    return true;
}

void Core::ShowLoadingShield()
{
    Instance_Movie* shield = movieOf(loadingMovie);
    if (!shield)
        return;
    shield->SetVisible(true);
    shield->SetInputEnabled(true);
    shield->SetFrame(0);
    shield->MoveToFront();
    shield->SetPlaying(true);
    if (EngineManager* engine = EngineManager::Get())
        engine->DrawFrame();
}

void Core::applyCursor(uint32_t index)
{
    EngineManager* engine = EngineManager::Get();
    if (Window* window = engine ? engine->GetWindow() : nullptr)
    {
        window->cursors.current = index;
        window->cursors.Apply();
    }
}

void Core::SetCursorIdx(int32_t index)
{
    if (busyCountdown > 0.0f || index < 0)
        return;
    applyCursor(uint32_t(index));
}

void Core::StartBusyCursor(float seconds)
{
    if (!(seconds > 0.0f))
        return;
    busyCountdown = seconds;
    applyCursor(BusyCursor);
}

int32_t Core::ShowTooltip(const std::wstring& text)
{
    return hints.AddHint(text.c_str(), 0.0f);
}

void Core::RemoveTooltip(int32_t id)
{
    if (id != -1)
        hints.RemoveHint(id);
}

// ---- Settings and pause.

void Core::onProfileChanging()
{
    const int32_t mode = gameMgr.GetCurrentModeIndex();
    if (mode != 0 && mode != GameMgr::NoMode)
        gameMgr.Save();
}

void Core::OnProfileActivated()
{
    // 1.
    ApplySettings();
    // 2.
    if (faceBook)
        faceBook->LoadProfile();
    // 3.
    gameMgr.GetPlayerState().Load();
    // 4. A level in progress was saved under the outgoing profile before the switch; saving now
    // would write it into this one.
    gameMgr.SwitchMode(0);
    // 5.
    if (XmlNode* profile = profiles.FindCurrentProfile())
        if (XmlNode* settings = profile->FindChild(kSettingsKey))
            ConfigureSlowDetection(settings->GetBoolAttribute(L"SETTINGS_FX_ON", false) &&
                                   settings->GetBoolAttribute(L"SLOW_DETECTION_ON", false));
}

void Core::ApplySettings()
{
    // 1.
    XmlNode* profile = profiles.FindCurrentProfile();
    if (!profile)
        return;
    // 2.
    XmlNode* settings = profile->FindChild(kSettingsKey);
    if (!settings)
    {
        auto created = std::make_unique<XmlNode>(kSettingsKey);
        for (const auto& [name, value] : kSettingDefaults)
            created->SetAttribute(name, value);
        settings = created.get();
        profile->AppendChild(std::move(created));
    }
    // 3.
    const float music = readVolume(*settings, L"SETTINGS_MUSIC_VOL");
    const float effects = readVolume(*settings, L"SETTINGS_SOUND_VOL");
    const float voiceSetting = readVolume(*settings, L"SETTINGS_VOICE_VOL");
    const bool voiceOvers = settings->GetBoolAttribute(L"SETTINGS_VOICEOVERS_ON", false);
    // 4.
    const float voice = voiceOvers ? voiceSetting / 100.0f : 0.0f;
    sound.SetMusicVolume(music / 100.0f);
    sound.SetSoundVolume(effects / 100.0f);
    sound.SetVoiceVolume(voice);
    // 5.
    RaiseScriptEvent("EnableTutorials", {settings->GetBoolAttribute(L"SETTINGS_TUTORIALS_ON", false)});
    // 6.
    for (const wchar_t* option : {L"SETTINGS_PORTRAITS_ON", L"SETTINGS_SUBS_ON", L"SETTINGS_VOICEOVERS_ON"})
        RaiseScriptEvent("SpeechOptionChanged", {std::wstring(option), settings->GetBoolAttribute(option, false)});
    // 7.
    RaiseScriptEvent("VoiceVolumeChanged", {voice});
    // 8.
    const bool effectsOn = settings->GetBoolAttribute(L"SETTINGS_FX_ON", false);
    if (ParticleManager* particles = ParticleManager::Get())
        particles->reducedEffects = !effectsOn;
    // 9.
    ConfigureSlowDetection(effectsOn && settings->GetBoolAttribute(L"SLOW_DETECTION_ON", false));
    // 10.
    if (_ScreenMgr* screens = _ScreenMgr::Get())
        screens->NotifyScreens(L"SETTINGS", L"");
}

void Core::SetPaused(bool pause)
{
    // 1.
    paused = pause;
    logGame(pause ? L"the game pauses" : L"the game goes on");
    if (TimeManager* time = TimeManager::Get())
        time->SetPaused(1, pause);
    // 2.
    if (ISoundManager* sounds = ISoundManager::Get())
    {
        sounds->PauseClass(L"Voice", pause);
        sounds->PauseClass(L"Effects", pause);
    }
    // 3.
    if (_ScreenMgr* screens = _ScreenMgr::Get())
        screens->NotifyScreens(L"PAUSE", pause ? L"1" : L"0");
    // 4.
    if (Instance_Movie* movie = movieOf(pauseMovie))
    {
        const bool foreground = isForeground();
        movie->SetVisible(!foreground);
        if (!foreground)
            movie->MoveToFront();
    }
    // 5.
    if (EngineManager* engine = EngineManager::Get())
        engine->DrawFrame();
}

void Core::ConfigureSlowDetection(bool enabled)
{
    slowDetector.Configure(enabled);
}

void Core::raiseSlowAlert()
{
    MessageBoxRequest request;
    request.caption = L"|T|Slow Detection Header";
    request.message = L"|T|Slow Detection Text";
    request.center = L"|T|OK";
    request.id = kSlowAlertId;
    request.callback = &Core::OnSlowAlertClosed;
    AskPlayer(request);
}

void Core::OnSlowAlertClosed(int32_t id, int32_t)
{
    Core* core = Core::Get();
    if (id != kSlowAlertId || !core)
        return;
    XmlNode* profile = core->profiles.FindCurrentProfile();
    XmlNode* settings = profile ? profile->FindChild(kSettingsKey) : nullptr;
    if (!settings)
        return;
    // Written to the file at the next save.
    settings->SetAttribute(L"SETTINGS_FX_ON", L"0");
    settings->SetAttribute(L"SLOW_DETECTION_ON", L"0");
    core->ApplySettings();
}
