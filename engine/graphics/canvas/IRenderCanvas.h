// The drawing surface of a display instance: immediate-mode lines, polylines, triangles, rectangles,
// textured rectangles, circles, pies and single lines of text in the instance's own coordinates,
// kept until cleared and drawn by the instance in one of two passes (pass 0 under its children,
// pass 1 over them). The canvas also keeps hit areas with a tag each and tells which area holds a
// point.
//
// Points are SpritePoint (x, y); colours are ARGB words, alpha in the top byte.
#pragma once

#include "engine/core/base/Matrix.h"
#include "engine/core/text/StringFormat.h"
#include "engine/graphics/textures/IResourceTexture.h"
#include "engine/graphics/device/Renderer.h"

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace TarnEngine
{

// Four words given with a hit area; HitTest hands words 0-1 and 2-3 back as two pairs.
struct HitTag
{
    uint32_t words[4] = {0, 0, 0, 0};
};

struct CanvasHitTriangle
{
    HitTag tag;
    SpritePoint points[3];
};

struct CanvasHitRect
{
    HitTag tag;
    SpritePoint topLeft;
    SpritePoint bottomRight;
};

struct CanvasHitCircle
{
    HitTag tag;
    SpritePoint centre;
    float radius = 0.0f;
};

// One slice of a pie: its colour and how many of the pie's 100 steps it covers.
struct PieSlice
{
    uint32_t colour = 0;
    uint32_t steps = 0;
};

class IRenderCanvas
{
public:
    virtual ~IRenderCanvas() = default;

    // Drops every primitive and hit area.
    virtual void Clear() = 0;
    // True when neither pass holds a primitive (hit areas do not count).
    virtual bool IsClear() const = 0;
    virtual bool IsPassEmpty(uint32_t pass) const = 0;
    // With clear-on-render the content is dropped after every Render.
    virtual void SetClearOnRender(bool clear) = 0;
    virtual bool GetClearOnRender() const = 0;
    // The material word of primitives added later.
    virtual void SetMaterial(uint32_t material) = 0;
    virtual uint32_t GetMaterial() const = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool GetVisible() const = 0;
    // The pass of primitives added later: 0 under the instance's children, anything else over them.
    virtual void SetRenderPass(uint32_t pass) = 0;
    virtual uint32_t GetRenderPass() const = 0;

    // Draws one pass with the instance's world matrix.
    virtual void Render(const Matrix3& matrix, uint32_t pass) = 0;

    virtual void DrawLine(const SpritePoint& a, const SpritePoint& b, uint32_t colour) = 0;
    virtual void DrawLine(const SpritePoint& a, const SpritePoint& b, uint32_t colourA, uint32_t colourB) = 0;
    // Connected segments through `count` points, one colour per point.
    virtual void DrawPolyline(uint32_t count, const SpritePoint* points, const uint32_t* colours) = 0;
    virtual void DrawPolyline(uint32_t count, const SpritePoint* points, uint32_t colour) = 0;
    virtual void DrawTriangle(const SpritePoint& p1, const SpritePoint& p2, const SpritePoint& p3,
                              uint32_t colour, bool filled) = 0;
    virtual void DrawRect(float x, float y, float width, float height, uint32_t colour, bool filled) = 0;
    virtual void DrawRect(const SpritePoint& topLeft, const SpritePoint& bottomRight, uint32_t colour,
                          bool filled) = 0;
    // The colour tints the texture; a null rectangle samples the whole texture.
    virtual void DrawTexturedRect(float x, float y, float width, float height, uint32_t colour,
                                  IResourceTexture* texture, const SpriteRect* textureRect) = 0;
    virtual void DrawTexturedRect(const SpritePoint& topLeft, const SpritePoint& bottomRight, uint32_t colour,
                                  IResourceTexture* texture, const SpriteRect* textureRect) = 0;
    virtual void DrawCircle(const SpritePoint& centre, float radius, uint32_t colour, bool filled,
                            uint32_t segments) = 0;
    // A pie of 100 steps; steps left over after the slices are black with the last slice's alpha.
    virtual void DrawPie(const SpritePoint& centre, float radius, const std::vector<PieSlice>& slices) = 0;

    // One line of text in the console font of the given pixel size. The format is a literal checked
    // against its arguments; a text from data or scripts goes in as the argument of "%s".
    template <class... Args>
    void DrawTextLine(const SpritePoint& position, uint32_t size, uint32_t colour,
                      WideFormat<std::type_identity_t<Args>...> format, const Args&... args)
    {
        DrawPlainTextLine(position, size, colour, StringPrintf<Args...>(format, args...));
    }
    // The extent DrawTextLine would cover; the outputs stay untouched when the text is empty or no
    // font can be had.
    template <class... Args>
    void MeasureTextLine(int32_t& width, int32_t& height, uint32_t size,
                         WideFormat<std::type_identity_t<Args>...> format, const Args&... args)
    {
        MeasurePlainTextLine(width, height, size, StringPrintf<Args...>(format, args...));
    }
    // The same with the text taken as it is (never read as a format).
    virtual void DrawPlainTextLine(const SpritePoint& position, uint32_t size, uint32_t colour,
                                   const std::wstring& text) = 0;
    virtual void MeasurePlainTextLine(int32_t& width, int32_t& height, uint32_t size,
                                      const std::wstring& text) = 0;

    virtual void AddHitTriangle(const SpritePoint& p1, const SpritePoint& p2, const SpritePoint& p3,
                                const HitTag& tag) = 0;
    virtual void AddHitRect(const SpritePoint& topLeft, const SpritePoint& bottomRight,
                            const HitTag& tag) = 0;
    virtual void AddHitCircle(const SpritePoint& centre, float radius, const HitTag& tag) = 0;
    // The first area holding the point (triangles, then circles, then rectangles, each in the order
    // added): its tag words 0-1 go to firstPair and 2-3 to secondPair (two words each; either may be
    // null). False, outputs untouched, when no area holds it.
    virtual bool HitTest(const SpritePoint& point, uint32_t* firstPair, uint32_t* secondPair) const = 0;
};

} // namespace TarnEngine
