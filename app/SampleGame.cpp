// The stand-in game object; see SampleGame.h.
#include "app/SampleGame.h"

#include "engine/core/app/EngineManager.h"
#include "engine/core/app/Window.h"
#include "engine/core/text/StringTable.h"
#include "engine/core/time/TimeManager.h"
#include "engine/graphics/canvas/CRenderCanvas.h"
#include "engine/graphics/text/FontDesc.h"
#include "engine/graphics/textures/IGIL.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/ui/UserInterface.h"

#include <cmath>
#include <string>
#include <vector>

using namespace TarnEngine;

namespace
{

constexpr uint32_t kClearColour = 0xFF203048;
constexpr int32_t kScreenWidth = 1024;
constexpr int32_t kScreenHeight = 768;
constexpr uint32_t kTitleId = 1000;
constexpr uint32_t kMessageId = 1001;
constexpr uint32_t kNoteId = 1002;
constexpr uint32_t kShapesSide = 256;
constexpr float kPi = 3.14159265f;

// A quad of a text texture at its rendered size.
void drawText(Renderer& renderer, const TextTexture& text, int32_t x, int32_t y, uint32_t width,
              uint32_t height, uint32_t colour)
{
    if (!text.texture)
        return;
    const SpriteMaterial material{eMaterialAlpha, text.texture, false};
    renderer.DrawQuad(material, Renderer::MakeRectMatrix(x, y, width, height),
                      SpriteRect{text.leftU, text.topV, text.rightU, text.bottomV}, colour, true);
}

// The unit square scaled to width by height, turned by angle (radians) and centred on (x, y).
Matrix3 turnedRect(float x, float y, float width, float height, float angle)
{
    Matrix3 m;
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    m.m[0][0] = width * c;
    m.m[0][1] = width * s;
    m.m[1][0] = -height * s;
    m.m[1][1] = height * c;
    m.m[2][0] = x;
    m.m[2][1] = y;
    return m;
}

// The part of a picture's texture that the picture covers (textures are padded to powers of two).
SpriteRect pictureRect(IResourceTexture* texture)
{
    uint32_t width = 0, height = 0, textureWidth = 0, textureHeight = 0;
    if (texture)
    {
        texture->GetImageSize(&width, &height);
        texture->GetTextureSize(&textureWidth, &textureHeight);
    }
    if (textureWidth == 0 || textureHeight == 0)
        return SpriteRect();
    return SpriteRect{0.0f, 0.0f, float(width) / float(textureWidth), float(height) / float(textureHeight)};
}

std::wstring numberedText(uint32_t id)
{
    const StringTable* table = StringTable::GetNumbered();
    return table ? table->GetById(id) : std::wstring();
}

} // namespace

SampleGame::SampleGame() = default;
SampleGame::~SampleGame() = default;

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
    if (const UserInterface* ui = engine->GetUserInterface())
        definitionNames = uint32_t(ui->GetDefinitionMap()->GetDefinitions().size());
    // A chime to greet the player, asked for as a console command line, run by the next tick.
    engine->QueueConsoleCommand(L"audio.playsound chime");

    backdrop = renderer->CreateTexture(L"images\\backdrop.jpg");
    stone = renderer->CreateTexture(L"images\\stone.png");
    // Only the pack holds this one.
    badge = renderer->CreateTexture(L"images\\badge.png");

    title = TextTexture::Build(
        FontDesc(L"Title", 56, false, false),
        TextRenderParams(numberedText(kTitleId), 800, 80,
                         eTextFormatCenter | eTextFormatVCenter | eTextFormatSingleLine, 0, 0));
    message = TextTexture::Build(
        FontDesc(L"Body", 22, false, false),
        TextRenderParams(numberedText(kMessageId), 720, 132, eTextFormatCenter | eTextFormatWordBreak, 0, 0));
    note = TextTexture::Build(
        FontDesc(L"Note", 20, false, false),
        TextRenderParams(numberedText(kNoteId), 480, 32, eTextFormatRight | eTextFormatSingleLine, 0, 0));

    status.LoadFont(L"pixel.fnt");
    status.Instance().colour = 0x00FFE8A0;

    canvas = CRenderCanvas::Create();
    shapes = renderer->CreateRenderTarget(ImageSize{kShapesSide, kShapesSide});
    return true;
}

void SampleGame::Shutdown()
{
    shapes = nullptr;
    canvas.reset();
    title = TextTexture();
    message = TextTexture();
    note = TextTexture();
    backdrop = nullptr;
    stone = nullptr;
    badge = nullptr;
}

void SampleGame::drawShapes(Renderer& renderer, float seconds)
{
    IGIL* device = renderer.GetDevice();
    if (!canvas || !shapes || !device)
        return;
    canvas->Clear();
    const float side = float(kShapesSide);
    canvas->DrawRect(2.0f, 2.0f, side - 4.0f, side - 4.0f, 0xC0182030, true);
    canvas->DrawRect(2.0f, 2.0f, side - 4.0f, side - 4.0f, 0xFFE0C070, false);
    // A pie whose slices grow and shrink in turn.
    const uint32_t first = 10 + uint32_t(30.0f * (1.0f + std::sin(seconds)));
    canvas->DrawPie(
        SpritePoint{side * 0.5f, side * 0.42f}, 70.0f,
        {PieSlice{0xFFD86040, first}, PieSlice{0xFF60B060, 70 - first}, PieSlice{0xFF4080D0, 30}});
    canvas->DrawCircle(SpritePoint{side * 0.5f, side * 0.42f}, 78.0f, 0xFFFFFFFF, false, 48);
    canvas->DrawTriangle(SpritePoint{24.0f, side - 24.0f}, SpritePoint{64.0f, side - 24.0f},
                         SpritePoint{44.0f, side - 60.0f}, 0xFFF0D040, true);
    // A hand that sweeps once every six seconds.
    const float angle = seconds * (2.0f * kPi / 6.0f);
    canvas->DrawLine(
        SpritePoint{side * 0.5f, side * 0.42f},
        SpritePoint{side * 0.5f + 90.0f * std::sin(angle), side * 0.42f - 90.0f * std::cos(angle)},
        0xFFFFFFFF, 0x00FFFFFF);
    canvas->DrawPlainTextLine(SpritePoint{92.0f, side - 40.0f}, 14, 0xFFE0E0E0, L"render canvas");

    if (!device->BeginFrame())
        return;
    if (shapes->BeginRender())
    {
        device->Clear(true, true, 0x00000000);
        canvas->Render(Matrix3(), canvas->GetRenderPass());
    }
    shapes->EndRender();
    device->EndFrame();
}

void SampleGame::Update()
{
    EngineManager* engine = EngineManager::Get();
    Renderer* renderer = engine ? engine->GetRenderer() : nullptr;
    TimeManager* time = TimeManager::Get();
    if (!renderer || !time)
        return;
    ++frames;
    const float seconds = float(time->GetClock(0).now) / 1000.0f;

    drawShapes(*renderer, seconds);

    renderer->DrawQuad(SpriteMaterial{eMaterialNoBlend, backdrop, true},
                       Renderer::MakeRectMatrix(0, 0, kScreenWidth, kScreenHeight),
                       pictureRect(backdrop.Get()), 0xFFFFFFFF, true);
    for (int32_t x = 0; x < kScreenWidth; x += 64)
        renderer->DrawQuad(SpriteMaterial{eMaterialNoBlend, stone, false},
                           Renderer::MakeRectMatrix(x, kScreenHeight - 64, 64, 64), pictureRect(stone.Get()),
                           0xFFFFFFFF, true);

    drawText(*renderer, title, 112, 36, 800, 80, 0xFFFFF4D8);
    // The message breathes: its opacity follows a slow sine.
    const uint32_t alpha = uint32_t(170.0f + 85.0f * std::sin(seconds * 1.5f));
    drawText(*renderer, message, 152, 124, 720, 132, (alpha << 24) | 0x00FFFFFF);
    drawText(*renderer, note, kScreenWidth - 504, kScreenHeight - 108, 480, 32, 0xFFFFFFFF);

    if (shapes)
        renderer->DrawQuad(SpriteMaterial{eMaterialAlpha, RefPtr<IResourceTexture>(shapes.Get()), false},
                           Renderer::MakeRectMatrix(48, 300, kShapesSide, kShapesSide), SpriteRect(),
                           0xFFFFFFFF, true);

    // The badge drifts along a gentle arc and turns slowly.
    const float t = seconds * 0.25f;
    const float x = 560.0f + 280.0f * std::sin(t);
    const float y = 420.0f - 60.0f * std::cos(2.0f * t);
    renderer->DrawQuad(SpriteMaterial{eMaterialAlpha, badge, true}, turnedRect(x, y, 96.0f, 96.0f, t * 2.0f),
                       pictureRect(badge.Get()), 0xFFFFFFFF, false);

    status.SetText(L"FRAME " + std::to_wstring(frames) + L"   TIME " + std::to_wstring(int(seconds)) +
                   L" S   DEFINITIONS " + std::to_wstring(definitionNames));
    Matrix3 place;
    place.m[2][0] = 24.0f;
    place.m[2][1] = 16.0f;
    status.Draw(place, 1.0f);
}
