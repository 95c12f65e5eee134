// The canvas of a display instance (see IRenderCanvas.h). Primitives become sprite vertices and
// 16-bit indices, grouped into batches of one primitive type, material and texture, each drawn with
// one indexed device call through the renderer. Each pass keeps its own vertex and index arrays, so
// that a pass is uploaded and drawn from the start of the canvas's device buffers whatever the
// other pass holds. A primitive that would take a pass past the device buffers is refused whole.
//
// The canvas holds video memory (its two dynamic buffers) and is cleared when the device is lost:
// scripts draw again once it is back. Text lines take the text renderer's console fonts.
#pragma once

#include "engine/graphics/device/DrawCall.h"
#include "engine/graphics/device/DynamicBuffers.h"
#include "engine/graphics/textures/IGIL.h"
#include "engine/graphics/canvas/IRenderCanvas.h"
#include "engine/graphics/device/Renderer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace TarnEngine
{

class Font;

class CRenderCanvas final : public IRenderCanvas, public RenderEventSubscriber
{
public:
    static constexpr uint32_t BufferCount = 16384;
    static constexpr uint32_t PieSteps = 100;
    static constexpr size_t TextLineLimit = 1022;
    static constexpr float DepthMask = 0.4f;
    static constexpr float DepthDefault = 0.51f;

    // Where text lines find the console font of a pixel size; null when there is none.
    using ConsoleFontLookup = std::function<Font*(uint32_t size)>;

    // A new canvas on the renderer's device; null without a renderer or when either device buffer
    // is refused.
    static std::unique_ptr<CRenderCanvas> Create();
    ~CRenderCanvas() override;
    CRenderCanvas(const CRenderCanvas&) = delete;
    CRenderCanvas& operator=(const CRenderCanvas&) = delete;

    void Clear() override;
    bool IsClear() const override;
    bool IsPassEmpty(uint32_t pass) const override;
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

    void AddHitTriangle(const SpritePoint& p1, const SpritePoint& p2, const SpritePoint& p3,
                        const HitTag& tag) override;
    void AddHitRect(const SpritePoint& topLeft, const SpritePoint& bottomRight, const HitTag& tag) override;
    void AddHitCircle(const SpritePoint& centre, float radius, const HitTag& tag) override;
    bool HitTest(const SpritePoint& point, uint32_t* firstPair, uint32_t* secondPair) const override;

    void OnDeviceLost() override { Clear(); }
    bool OnDeviceReset() override { return true; }
    void OnDeviceDestroyed() override
    {
        Clear();
        device = nullptr;
    }

    // Replaces where text lines find their fonts (the text renderer's console fonts by default;
    // null finds none).
    void SetConsoleFontLookup(ConsoleFontLookup lookup) { consoleFonts = std::move(lookup); }

    // What a pass holds, for inspection.
    const std::vector<DrawCall>& GetBatches(uint32_t pass) const { return Storage(pass).batches; }
    const std::vector<SpriteVertex>& GetVertices(uint32_t pass) const { return Storage(pass).vertices; }
    const std::vector<uint16_t>& GetIndices(uint32_t pass) const { return Storage(pass).indices; }

private:
    struct Pass
    {
        std::vector<DrawCall> batches;
        std::vector<SpriteVertex> vertices;
        std::vector<uint16_t> indices;
    };

    explicit CRenderCanvas(IGIL* device);
    bool CreateBuffers(Renderer& renderer);

    Pass& Storage(uint32_t pass) { return passes[pass == 0 ? 0 : 1]; }
    const Pass& Storage(uint32_t pass) const { return passes[pass == 0 ? 0 : 1]; }

    // Picks the batch of the current pass for a primitive of the given size and returns the
    // vertex position its indices start from; false (nothing changed) when it does not fit.
    bool SelectBatch(Raster::PrimitiveType type, IResourceTexture* texture, uint64_t vertexCount,
                     uint64_t indexCount, uint16_t& base);
    // Adds the counts of the primitive just appended to the current pass's last batch.
    void Commit(uint32_t primitives, uint32_t vertexCount, uint32_t indexCount);
    void AddVertex(float x, float y, uint32_t colour, float u = 0.0f, float v = 0.0f);
    void AddQuad(const SpritePoint& topLeft, const SpritePoint& bottomRight, uint32_t colour,
                 IResourceTexture* texture, const SpriteRect& uv);
    Font* ConsoleFont(uint32_t size);

    bool UploadVertices(const Pass& pass, const Matrix3& matrix);
    bool UploadIndices(const Pass& pass);

    IGIL* device;
    std::unique_ptr<IDynamicVertexBuffer> vertexBuffer;
    std::unique_ptr<IDynamicIndexBuffer> indexBuffer;
    Pass passes[2];
    std::vector<CanvasHitTriangle> hitTriangles;
    std::vector<CanvasHitRect> hitRects;
    std::vector<CanvasHitCircle> hitCircles;
    uint32_t material = eMaterialAlpha;
    bool clearOnRender = false;
    bool visible = true;
    uint32_t renderPass = 1;
    uint32_t vertexLimit = 0;
    uint32_t indexLimit = 0;
    bool reportedFull = false; // one log line per filling, not one per refused primitive
    ConsoleFontLookup consoleFonts;
};

} // namespace TarnEngine
