// The engine's sprite renderer. Callers hand it textured, coloured quads (a material, a 3x3
// transform of the unit square, a source rectangle and a colour); it queues their vertices in one
// array, groups consecutive quads of equal material, texture and filtering into batches, and sends
// the queue with one vertex upload and one indexed draw per batch. It also renders display
// instances into render targets, keeps dynamic textures alive for a while after they were drawn,
// and owns the device after start-up.
//
// Display instances belong to the scene model; the renderer reaches them only through the two
// calls in InstanceServices, which the scene installs.
#pragma once

#include "engine/core/base/HandleTable.h"
#include "engine/core/base/Matrix.h"
#include "engine/core/base/RefPtr.h"
#include "engine/graphics/device/DrawCall.h"
#include "engine/graphics/textures/IGIL.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace TarnEngine
{

class IDynamicVertexBuffer;
class IDynamicIndexBuffer;
class TextRenderer;

// Pre-transformed position with rhw, diffuse colour, one texture coordinate set (format 0x144).
struct SpriteVertex
{
    float x, y, z, rhw;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(SpriteVertex) == 28);

struct SpriteMaterial
{
    uint32_t material = eMaterialAlpha;
    RefPtr<IResourceTexture> texture;
    bool filtering = false;
};

struct SpriteBatch
{
    uint32_t material = 0;
    RefPtr<IResourceTexture> texture;
    bool filtering = false;
    uint32_t triangles = 0;
};

struct SpritePoint
{
    float x = 0.0f;
    float y = 0.0f;
};

// Source rectangle in texture coordinates.
struct SpriteRect
{
    float left = 0.0f;
    float top = 0.0f;
    float right = 1.0f;
    float bottom = 1.0f;
};

// Keeps drawn dynamic textures referenced until `keepCount` presents have passed without them, and
// holds at most `keepBytes` of them: a text that changes every frame makes a new texture each
// frame, and 300 frames of a large text box would hold hundreds of megabytes. Over the limit the
// textures drawn longest ago go first; those drawn since the last present always stay.
class TextureKeeper
{
public:
    explicit TextureKeeper(uint32_t keep = 300, uint64_t bytes = 64ull * 1024 * 1024)
        : keepCount(keep), keepBytes(bytes)
    {
    }
    // Dynamic textures (named "dynamic_texture...") are kept; others are ignored.
    void Use(IResourceTexture* texture);
    // One present has passed.
    void Age();
    size_t GetCount() const { return entries.size(); }
    // The storage of the textures held.
    uint64_t GetHeldBytes() const;

private:
    struct Entry
    {
        RefPtr<IResourceTexture> texture;
        uint32_t lastUsed = 0;
    };
    // Oldest use first.
    std::vector<Entry> entries;
    uint32_t keepCount;
    uint64_t keepBytes;
    uint32_t frame = 0;
};

struct InstanceServices
{
    // The instance of the handle draws itself with the matrix and opacity; false when it cannot.
    std::function<bool(const InstanceHandle& instance, const Matrix3& matrix, float opacity)> draw;
    // The texture of an image instance, or null.
    std::function<RefPtr<IResourceTexture>(const InstanceHandle& instance)> imageTexture;
};

class Renderer : public RenderEventSubscriber
{
public:
    static constexpr uint32_t VertexCapacity = 8000;
    static constexpr uint32_t QuadCapacity = 2000;
    static constexpr uint32_t IndexCount = QuadCapacity * 6;
    static constexpr uint32_t CanvasVertexCount = 16384;
    static constexpr uint32_t KeepPresents = 300;
    static constexpr uint64_t KeepBytes = 64ull * 1024 * 1024;
    static constexpr float DepthSprite = 0.51f;
    static constexpr float DepthMask = 0.4f;
    static constexpr uint32_t ColourMissingTexture = 0xFFFF00FF;
    static constexpr uint32_t ClearRenderToTarget = 0xFFFFFFFF;
    static constexpr uint32_t ClearItemsToTarget = 0xFFFF00AA;

    // Publishes itself as the renderer until destroyed.
    Renderer();
    ~Renderer() override;
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    static Renderer* Get();

    // Takes the device over (it is deleted with the renderer).
    bool Init(std::unique_ptr<IGIL> device, IRenderWindow* window);
    bool IsReady() const;
    bool CanRender() const;

    // Virtual so that tests of the drawing code can record the quads instead of rasterizing them.
    virtual void DrawQuad(const SpriteMaterial& material, const Matrix3& matrix, const SpriteRect& source,
                          uint32_t colour, bool halfPixel);
    // A quad whose corners are already transformed.
    virtual void SelectBatch(const SpriteMaterial& material, const SpritePoint positions[4],
                             const SpritePoint uvs[4], uint32_t colour, bool halfPixel);
    void Flush();
    void Present();
    void DrawItem(const DrawCall& call, IDynamicVertexBuffer* vertices, IDynamicIndexBuffer* indices);

    // False when the instance handle is stale, the device cannot render, no frame can be opened or
    // the instance cannot draw itself.
    bool RenderToTarget(IRenderTarget* target, const InstanceHandle& instance, const Matrix3* matrix);
    // Copies the target's pixels into the texture of an image instance; true when copied.
    bool DrawInstanceToTexture(IRenderTarget* target, const InstanceHandle& instance);
    void RenderItemsToTarget(const Matrix4* world, const Matrix4* view, const Matrix4* projection,
                             RefPtr<IRenderTarget> target, const std::vector<DrawCall>& items,
                             IDynamicVertexBuffer* vertices, IDynamicIndexBuffer* indices);

    RefPtr<IResourceTexture> CreateDynamicTexture(Recreater* recreater);
    RefPtr<IResourceTexture> CreateTexture(const std::wstring& name);
    RefPtr<IRenderTarget> CreateRenderTarget(ImageSize size);
    std::unique_ptr<IDynamicVertexBuffer> CreateCanvasVertexBuffer();

    static SpritePoint TransformPoint(SpritePoint point, const Matrix3& matrix);
    static Matrix3 MakeRectMatrix(int32_t x, int32_t y, uint32_t width, uint32_t height);

    void OnDeviceLost() override {}
    bool OnDeviceReset() override;

    // Set and cleared by the frame step around the device's frame.
    void SetInFrame(bool open) { inFrame = open; }
    bool IsInFrame() const { return inFrame; }
    void SetInstanceServices(InstanceServices services) { instances = std::move(services); }

    IGIL* GetDevice() const { return device.get(); }
    TextRenderer* GetTextRenderer() const { return textRenderer.get(); }
    IRenderWindow* GetWindow() const { return window; }
    size_t GetQueuedVertexCount() const { return vertices.size(); }
    const std::vector<SpriteBatch>& GetBatches() const { return batches; }
    const TextureKeeper* GetTextureKeeper() const { return textureKeeper.get(); }

private:
    bool FillIndexBuffer();
    void DropQueue();
    void Keep(IResourceTexture* texture);
    void QueueQuad(uint32_t material, IResourceTexture* texture, bool filtering,
                   const SpritePoint positions[4], const SpritePoint uvs[4], uint32_t colour, bool halfPixel);

    std::unique_ptr<IGIL> device;
    IRenderWindow* window = nullptr;
    std::unique_ptr<TextRenderer> textRenderer;
    std::unique_ptr<IDynamicVertexBuffer> vertexBuffer;
    std::unique_ptr<IDynamicIndexBuffer> indexBuffer;
    std::vector<SpriteVertex> vertices;
    std::vector<SpriteBatch> batches;
    bool inFrame = false;
    // The index buffer holds the quad pattern (false after a refill failed).
    bool indicesFilled = false;
    std::unique_ptr<TextureKeeper> textureKeeper;
    InstanceServices instances;
};

} // namespace TarnEngine
