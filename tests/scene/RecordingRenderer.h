// What the scene suites draw into instead of the software device: a renderer that records every quad
// it is handed (material, texture, matrix or corner points, texture coordinates, colour), a device
// that records material invalidations and answers a settable view transform and back-buffer size,
// and a canvas that records every call in order. Install a RecordingCanvasScope to give display
// instances recording canvases; RecordingCanvas::Last() is the one made most recently.
#pragma once

#include "engine/graphics/canvas/IRenderCanvas.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/scene/display/node/Instance_Base.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace SceneTest
{

using namespace TarnEngine;

// A device that draws nothing. Its dynamic buffers are plain memory.
class RecordingDevice final : public IGIL
{
public:
    bool Init(IRenderWindow*, bool) override { return true; }
    void Shutdown() override {}
    std::unique_ptr<IDynamicVertexBuffer> CreateDynamicVertexBuffer(IBufferFiller*, uint32_t count,
                                                                    uint32_t stride, uint32_t, bool) override;
    std::unique_ptr<IDynamicIndexBuffer> CreateDynamicIndexBuffer(IBufferFiller*, uint32_t count,
                                                                  bool) override;
    RefPtr<IResourceTexture> CreateDynamicTexture(Recreater*, uint32_t) override { return {}; }
    RefPtr<IResourceTexture> CreateTexture(const std::wstring&, uint32_t) override { return {}; }
    RefPtr<IRenderTarget> CreateRenderTarget(IRenderTargetListener*, ImageSize) override { return {}; }
    bool BeginFrame() override { return true; }
    void EndFrame() override {}
    void Present() override {}
    void DrawIndexed(const DrawCall&, IDynamicVertexBuffer*, IDynamicIndexBuffer*) override {}
    void Invalidate() override { ++invalidations; }
    bool Clear(bool, bool, uint32_t) override { return true; }
    bool Is16Bit() override { return false; }
    bool IsRunning() override { return true; }
    bool IsLost() override { return false; }
    bool IsWindowed() override { return true; }
    bool IsChangingMode() override { return false; }
    bool RequiresSquareTextures() override { return false; }
    bool IsCreated() override { return true; }
    bool CanRender() override { return true; }
    void SetLost(bool) override {}
    bool SetFullscreen(bool) override { return true; }
    bool SetBackBufferSize(uint32_t width, uint32_t height) override
    {
        backBufferWidth = width;
        backBufferHeight = height;
        return true;
    }
    bool SetLockableBackBuffer(bool) override { return true; }
    void SetClearParams(bool, uint32_t) override {}
    void CheckMonitor() override {}
    void SetTransforms(const Matrix4*, const Matrix4*, const Matrix4*) override {}
    uint32_t GetAvailableTextureMemory() override { return 256u << 20; }
    void GetBackBufferSize(uint32_t* width, uint32_t* height) override
    {
        *width = backBufferWidth;
        *height = backBufferHeight;
    }
    void GetDesktopSize(uint32_t* width, uint32_t* height) override { GetBackBufferSize(width, height); }
    void SetWidescreenMode(bool) override {}
    bool IsWidescreenMode() override { return false; }
    int32_t GetViewOffsetX() override { return viewOffsetX; }
    int32_t GetViewOffsetY() override { return viewOffsetY; }
    float GetViewScale() override { return viewScale; }

    int invalidations = 0;
    uint32_t backBufferWidth = 1024;
    uint32_t backBufferHeight = 768;
    int32_t viewOffsetX = 0;
    int32_t viewOffsetY = 0;
    float viewScale = 1.0f;
};

// One quad as the renderer was handed it. DrawQuad fills matrix and source; a quad of four points
// fills points and uvs.
struct RecordedQuad
{
    bool fromMatrix = true;
    uint32_t material = 0;
    IResourceTexture* texture = nullptr;
    bool filtering = false;
    Matrix3 matrix;
    SpriteRect source;
    SpritePoint points[4];
    SpritePoint uvs[4];
    uint32_t colour = 0;
    bool halfPixel = false;
};

// Publishes itself as the renderer (as the real one does) over a RecordingDevice.
class RecordingRenderer final : public Renderer
{
public:
    RecordingRenderer();

    void DrawQuad(const SpriteMaterial& material, const Matrix3& matrix, const SpriteRect& source,
                  uint32_t colour, bool halfPixel) override;
    void SelectBatch(const SpriteMaterial& material, const SpritePoint positions[4], const SpritePoint uvs[4],
                     uint32_t colour, bool halfPixel) override;

    RecordingDevice& Device() { return *static_cast<RecordingDevice*>(GetDevice()); }

    std::vector<RecordedQuad> quads;
};

// One canvas call: its name ("Line", "Triangle", "Rect", "Circle", "Text", "Render", "Clear", ...),
// its points, numbers and text.
struct CanvasCall
{
    explicit CanvasCall(std::string callName, std::vector<SpritePoint> callPoints = {},
                        uint32_t callColour = 0, bool callFilled = false)
        : name(std::move(callName)), points(std::move(callPoints)), colour(callColour), filled(callFilled)
    {
    }

    std::string name;
    std::vector<SpritePoint> points;
    uint32_t colour = 0;
    bool filled = false;
    std::vector<float> numbers;
    std::wstring text;
    Matrix3 matrix;
};

class RecordingCanvas final : public IRenderCanvas
{
public:
    RecordingCanvas();
    ~RecordingCanvas() override;

    // The canvas made most recently and still alive, or null.
    static RecordingCanvas* Last();

    void Clear() override;
    bool IsClear() const override { return primitives[0] == 0 && primitives[1] == 0; }
    bool IsPassEmpty(uint32_t pass) const override { return primitives[pass == 0 ? 0 : 1] == 0; }
    void SetClearOnRender(bool clear) override { clearOnRender = clear; }
    bool GetClearOnRender() const override { return clearOnRender; }
    void SetMaterial(uint32_t word) override { material = word; }
    uint32_t GetMaterial() const override { return material; }
    void SetVisible(bool show) override { visible = show; }
    bool GetVisible() const override { return visible; }
    void SetRenderPass(uint32_t pass) override { renderPass = pass; }
    uint32_t GetRenderPass() const override { return renderPass; }
    void Render(const Matrix3& matrix, uint32_t pass) override;

    void DrawLine(const SpritePoint& a, const SpritePoint& b, uint32_t colour) override;
    void DrawLine(const SpritePoint& a, const SpritePoint& b, uint32_t colourA, uint32_t colourB) override;
    void DrawPolyline(uint32_t count, const SpritePoint* points, const uint32_t* colours) override;
    void DrawPolyline(uint32_t count, const SpritePoint* points, uint32_t colour) override;
    void DrawTriangle(const SpritePoint& p1, const SpritePoint& p2, const SpritePoint& p3, uint32_t colour,
                      bool filled) override;
    void DrawRect(float x, float y, float width, float height, uint32_t colour, bool filled) override;
    void DrawRect(const SpritePoint& topLeft, const SpritePoint& bottomRight, uint32_t colour,
                  bool filled) override;
    void DrawTexturedRect(float x, float y, float width, float height, uint32_t colour,
                          IResourceTexture* texture, const SpriteRect* textureRect) override;
    void DrawTexturedRect(const SpritePoint& topLeft, const SpritePoint& bottomRight, uint32_t colour,
                          IResourceTexture* texture, const SpriteRect* textureRect) override;
    void DrawCircle(const SpritePoint& centre, float radius, uint32_t colour, bool filled,
                    uint32_t segments) override;
    void DrawPie(const SpritePoint& centre, float radius, const std::vector<PieSlice>& slices) override;
    void DrawPlainTextLine(const SpritePoint& position, uint32_t size, uint32_t colour,
                           const std::wstring& text) override;
    void MeasurePlainTextLine(int32_t& width, int32_t& height, uint32_t size,
                              const std::wstring& text) override;

    void AddHitTriangle(const SpritePoint&, const SpritePoint&, const SpritePoint&, const HitTag&) override {}
    void AddHitRect(const SpritePoint&, const SpritePoint&, const HitTag&) override {}
    void AddHitCircle(const SpritePoint&, float, const HitTag&) override {}
    bool HitTest(const SpritePoint&, uint32_t*, uint32_t*) const override { return false; }

    std::vector<CanvasCall> calls;

private:
    void record(CanvasCall call, bool primitive);

    uint32_t primitives[2] = {0, 0};
    uint32_t material = 1;
    uint32_t renderPass = 1;
    bool clearOnRender = false;
    bool visible = true;
};

// While it lives, display instances get recording canvases.
class RecordingCanvasScope
{
public:
    RecordingCanvasScope();
    ~RecordingCanvasScope();
    RecordingCanvasScope(const RecordingCanvasScope&) = delete;
    RecordingCanvasScope& operator=(const RecordingCanvasScope&) = delete;

private:
    Instance_Base::CanvasFactory previous;
};

} // namespace SceneTest
