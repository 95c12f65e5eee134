// The stand-in game object; see SampleGame.h.
#include "app/SampleGame.h"

#include "app/SampleOptions.h"
#include "engine/core/app/EngineManager.h"
#include "engine/core/app/Window.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/ui/UserInterface.h"
#include "game/ui/HintManager.h"
#include "game/ui/UIMessageBox.h"

using namespace TarnEngine;

namespace
{

constexpr uint32_t kClearColour = 0xFF000000;
// The particle effect that trails the pointer ("effects\trail.xml"); each one is short, and the user
// interface makes the next where the pointer is when the last has ended.
constexpr const wchar_t* kCursorEffect = L"trail";

void logGame(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", text);
}

} // namespace

SampleGame::SampleGame() = default;
SampleGame::~SampleGame() = default;

void SampleGame::RegisterClasses()
{
    SampleOptions::StaticClass();
    RegisterMessageBoxScript();
    RegisterHintScript();
}

bool SampleGame::Initialize()
{
    EngineManager* engine = EngineManager::Get();
    Renderer* renderer = engine ? engine->GetRenderer() : nullptr;
    if (!renderer || !renderer->GetDevice())
        return false;
    renderer->GetDevice()->SetClearParams(true, kClearColour);

    // The cursor set the game registers, by resource id, in the game's order;
    // the first is the default pointer.
    if (Window* window = engine->GetWindow())
    {
        window->cursors.Load({106, 103, 107, 104, 105, 108, 102, 109});
        window->cursors.current = 0;
        window->cursors.Apply();
    }

    // As the game does at start-up: the base content group, its definition libraries and its sound
    // definitions ("Audio\Audio.xml"); a library that does not load ends the start-up.
    if (!engine->LoadLibraries(L"data", L"input", 0, false))
        return false;
    sound.Setup();

    // Without its first script the sample would show nothing at all.
    LuaMgr* scripts = LuaMgr::Get();
    if (!scripts || !scripts->IncludeScript("main.lua"))
    {
        logGame(L"main.lua did not run");
        sound.Teardown();
        return false;
    }
    return true;
}

void SampleGame::Shutdown()
{
    hints.Clear();
    sound.Teardown();
}

void SampleGame::Update()
{
    UserInterface* ui = UserInterface::Get();
    if (!ui)
        return;
    // The pointer's place is known once it has moved over the window.
    UserInterface::CursorEffect& effect = ui->cursorEffect;
    if (!effect.enabled && ui->mouseX == 0 && ui->mouseY == 0)
        return;
    effect.enabled = true;
    effect.name = kCursorEffect;
    effect.x = effect.targetX = float(ui->mouseX);
    effect.y = effect.targetY = float(ui->mouseY);
}
