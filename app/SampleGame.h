// The game object that stands in for the game until it exists: it shows
// what the engine can draw on the sample content, through the engine's
// public classes only. Pictures come from the file system by name (loose
// files and the "data.dat" pack), texts from the string table rendered by the
// outline text renderer, a status line from a bitmap font, and shapes from a
// render canvas. Everything is queued with the renderer in the game's update
// step; the engine's frame draws the queue. It registers the game's cursor
// set, as the game will. At start it loads the base content group as the game
// does (its definition libraries and its sound definitions) and plays the
// sample's chime through the console command "audio.playsound".
#pragma once

#include "engine/core/app/ITarnGame.h"
#include "engine/core/base/RefPtr.h"
#include "engine/graphics/text/BitmapText.h"
#include "engine/graphics/textures/IResourceTexture.h"
#include "engine/graphics/text/TextTexture.h"

#include <cstdint>
#include <memory>

namespace TarnEngine
{
class CRenderCanvas;
class Renderer;
} // namespace TarnEngine

class SampleGame final : public TarnEngine::ITarnGame
{
public:
    SampleGame();
    ~SampleGame();
    SampleGame(const SampleGame&) = delete;
    SampleGame& operator=(const SampleGame&) = delete;

    bool Initialize() override;
    bool CanClose() override { return true; }
    void OnActivate() override {}
    void OnDeactivate() override {}
    void Reserved(uintptr_t, uintptr_t) override {}
    void Shutdown() override;
    void Update() override;

private:
    // Draws the canvas into its render target; without a display tree there
    // is no pass inside the engine's frame where a canvas could draw itself.
    void drawShapes(TarnEngine::Renderer& renderer, float seconds);

    TarnEngine::RefPtr<TarnEngine::IResourceTexture> backdrop;
    TarnEngine::RefPtr<TarnEngine::IResourceTexture> stone;
    TarnEngine::RefPtr<TarnEngine::IResourceTexture> badge;
    TarnEngine::TextTexture title;
    TarnEngine::TextTexture message;
    TarnEngine::TextTexture note;
    TarnEngine::BitmapText status;
    std::unique_ptr<TarnEngine::CRenderCanvas> canvas;
    TarnEngine::RefPtr<TarnEngine::IRenderTarget> shapes;
    uint32_t frames = 0;
    uint32_t definitionNames = 0;
};
