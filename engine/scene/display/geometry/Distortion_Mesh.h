// A grid of textured vertices through which an image is drawn instead of a single quad, and the
// handler that moves its vertices before every draw (the slice scalers, the water wave, the game's
// page turner). The grid lives in the unit square centred at the origin, the space that the image's
// matrix maps onto its picture, so the same mesh serves any image size; every draw only rewrites
// vertex positions or texture coordinates in place and queues one quad per cell.
#pragma once

#include "engine/core/base/Matrix.h"
#include "engine/graphics/device/Renderer.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace TarnEngine
{

class Distortion_Mesh
{
public:
    // Moves the vertices of the mesh it is attached to; called once per draw of the image.
    class IDistortionHandle
    {
    public:
        virtual void Update(Distortion_Mesh& mesh) = 0;
        virtual ~IDistortionHandle() = default;
    };

    struct Vertex
    {
        float x = 0.0f;
        float y = 0.0f;
        float u = 0.0f;
        float v = 0.0f;
    };

    // Vertex counts per side. Two are needed for a step between them; more than 256 is no longer a
    // distortion but a very slow way to draw an image, and would let a script ask for gigabytes.
    static constexpr uint32_t MinSide = 2;
    static constexpr uint32_t MaxSide = 256;

    // The rest grid over the texture rectangle (uMin, vMin, uMax, vMax), cut at equal fractions.
    // Null when a side is outside [MinSide, MaxSide].
    static std::unique_ptr<Distortion_Mesh> Create(const float (&texRect)[4], uint32_t columns, uint32_t rows);

    // The vertex at its rest position plus the offset (in units of the image's size); u and v stay.
    // Vertices outside the grid are ignored.
    void SetVertexOffset(uint32_t row, uint32_t column, float dx, float dy);
    // The texture coordinates of the vertex in column 1 of the row: the rest coordinates plus the
    // offsets, in proportion of the texture rectangle. Ignored outside the grid.
    void SetTexCoordOffset(uint32_t row, float du, float dv);

    // Runs the handler, if there is one.
    void UpdateHandler();
    // Queues one quad per cell, its corners transformed by the matrix.
    void Draw(const SpriteMaterial& binding, const Matrix3& matrix, uint32_t colour, bool halfPixel) const;

    // Replaces (and deletes) the handler.
    void SetHandler(std::unique_ptr<IDistortionHandle> newHandler) { handler = std::move(newHandler); }
    IDistortionHandle* GetHandler() const { return handler.get(); }

    uint32_t GetRows() const { return rows; }
    uint32_t GetColumns() const { return columns; }
    const Vertex& GetVertex(uint32_t row, uint32_t column) const { return vertices[size_t(row) * columns + column]; }

private:
    Distortion_Mesh(const float (&texRect)[4], uint32_t columns, uint32_t rows);

    uint32_t rows = 0;
    uint32_t columns = 0;
    float stepX = 0.0f;
    float stepY = 0.0f;
    float texRect[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    std::vector<Vertex> vertices;
    std::unique_ptr<IDistortionHandle> handler;
};

} // namespace TarnEngine
