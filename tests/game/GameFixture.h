// The game started headless on the small content of tests/data/game: the
// real engine on a scripted window system, a raster device with a null
// presenter and a fake clock, and the real game object with its
// environment set by the test (window focus, full screen, date, random seed,
// console). Each test gets a copy of the content in a temporary folder, so it
// may change any file (main.luc, a level library) before Start, and its own
// saved-games folder (XDG_DATA_HOME), where the profile file goes. Message
// boxes are recorded instead of shown unless a test asks for the real ones.
//
// Used by the game's test files of every area: derive a fixture from it or
// use it as it is (TEST_F(GameFixture, ...)).
#pragma once

#include "engine/core/app/CommandLine.h"
#include "engine/runtime/EngineManager.h"
#include "engine/core/app/Window.h"
#include "engine/core/files/SettingsStore.h"
#include "engine/core/time/TimeManager.h"
#include "engine/graphics/textures/IGIL.h"
#include "game/core/Core.h"
#include "game/core/GameQuestions.h"
#include "platform/system/Clock.h"
#include "platform/window/ScriptedWindowSystem.h"
#include "tests/core/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class GameFixture : public ::testing::Test
{
public:
    static constexpr int64_t kFrequency = 600000; // 10000 ticks a frame of 1/60 s

    void SetUp() override;
    void TearDown() override;

    // Runs the game's registration list and starts the engine with the game; true when it started.
    bool Start();
    // Exit as the program does after its loop: the engine's Exit (which shuts the game down), then
    // the game object, then the engine.
    void Stop();

    // One engine tick after `milliseconds` of clock (a frame is due after 1/60 s).
    void Frame(int64_t milliseconds = 17);
    void Frames(int count);

    // Real input through the window: the key's press or release, handed to the window at once.
    void PressKey(SDL_Keycode key, SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN);
    void ReleaseKey(SDL_Keycode key, SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN);
    void TypeKey(SDL_Keycode key, SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN);
    // Hands every waiting window message to its window.
    void Pump();

    // The content folder of this test and a file in it.
    std::filesystem::path Content(const std::string& relative = "") const { return content / relative; }
    void WriteContent(const std::string& relative, const std::string& text) const;
    // The profile file "brq.xml" in the saved-games folder, and whether it exists.
    std::filesystem::path ProfileFile() const;
    bool ProfileFileExists() const;
    // The profile file's document as XML text (read as the profile store reads it); empty when it
    // does not read.
    std::wstring ProfileFileText();
    // How many times the profile file was written (replaced) since Start.
    int ProfileWrites() const { return profileWrites; }
    // Writes a profile file with the given profiles ("name" -> inner XML of its "PROFILE"), the
    // first being current, as the profile store's plain-XML form.
    void WriteProfileFile(const std::string& currentName, const std::string& profilesXml) const;

    // Script helpers on the running game's state.
    bool Lua(const std::string& text);
    double LuaNumber(const std::string& expression);
    std::string LuaString(const std::string& expression);
    bool LuaBool(const std::string& expression);
    // The script events recorded by the fixture's main.lua, as "name arg1 arg2 ..." lines.
    std::vector<std::string> ScriptEvents(const std::string& name = "");
    void ClearScriptEvents();

    Core& Game() { return *core; }
    TarnEngine::EngineManager& Engine() { return *engine; }

    TempFolder temp;
    std::filesystem::path content;
    Platform::ScriptedWindowSystem windows;
    Platform::FakeCounter counter{kFrequency, 1000000};
    std::unique_ptr<TarnEngine::CommandLine> commandLine;
    std::unique_ptr<TarnEngine::EngineManager> engine;
    std::unique_ptr<Core> core;
    bool started = false;

    // Start full screen ("-fullscreen") instead of in a window, on the scripted 1920 x 1080 monitor.
    bool startFullscreen = false;
    // The environment the game sees.
    bool foreground = true;
    bool fullscreen = false;
    CalendarDate today{2011, 1, 1};
    std::vector<std::wstring> consoleLines;
    // A close signal (SIGTERM, SIGINT, SIGHUP) for the engine to take at its next look, as if the
    // process had received it.
    int pendingCloseSignal = 0;
    // Recorded message boxes (unless realMessageBoxes is set before Start).
    std::vector<MessageBoxRequest> boxes;
    bool realMessageBoxes = false;

private:
    std::string originalFolder;
    int profileWrites = 0;
    // The saved-games folder of the profile store, with its file writes counted.
    std::unique_ptr<TarnEngine::SettingsStore> profileFiles;
};
