// The distortion mesh; see Distortion_Mesh.h.
#include "engine/scene/display/geometry/Distortion_Mesh.h"

namespace TarnEngine
{

std::unique_ptr<Distortion_Mesh> Distortion_Mesh::Create(const float (&texRect)[4], uint32_t columns, uint32_t rows)
{
    if (columns < MinSide || rows < MinSide || columns > MaxSide || rows > MaxSide)
        return nullptr;
    return std::unique_ptr<Distortion_Mesh>(new Distortion_Mesh(texRect, columns, rows));
}

Distortion_Mesh::Distortion_Mesh(const float (&rect)[4], uint32_t meshColumns, uint32_t meshRows)
    : rows(meshRows), columns(meshColumns), stepX(1.0f / float(meshColumns - 1)), stepY(1.0f / float(meshRows - 1))
{
    for (int i = 0; i < 4; ++i)
        texRect[i] = rect[i];
    vertices.resize(size_t(rows) * columns);
    const float uSpan = texRect[2] - texRect[0];
    const float vSpan = texRect[3] - texRect[1];
    for (uint32_t r = 0; r < rows; ++r)
        for (uint32_t c = 0; c < columns; ++c)
        {
            Vertex& vertex = vertices[size_t(r) * columns + c];
            vertex.x = stepX * float(c) - 0.5f;
            vertex.y = stepY * float(r) - 0.5f;
            vertex.u = stepX * float(c) * uSpan + texRect[0];
            vertex.v = stepY * float(r) * vSpan + texRect[1];
        }
}

void Distortion_Mesh::SetVertexOffset(uint32_t row, uint32_t column, float dx, float dy)
{
    if (row >= rows || column >= columns)
        return;
    Vertex& vertex = vertices[size_t(row) * columns + column];
    vertex.x = stepX * float(column) + dx - 0.5f;
    vertex.y = stepY * float(row) + dy - 0.5f;
}

void Distortion_Mesh::SetTexCoordOffset(uint32_t row, float du, float dv)
{
    if (row >= rows)
        return;
    Vertex& vertex = vertices[size_t(row) * columns + 1];
    vertex.u = (texRect[2] - texRect[0]) * (stepX + du) + texRect[0];
    vertex.v = (stepY * float(row) + dv) * (texRect[3] - texRect[1]) + texRect[1];
}

void Distortion_Mesh::UpdateHandler()
{
    if (handler)
        handler->Update(*this);
}

void Distortion_Mesh::Draw(const SpriteMaterial& binding, const Matrix3& matrix, uint32_t colour,
                           bool halfPixel) const
{
    Renderer* renderer = Renderer::Get();
    if (!renderer)
        return;
    for (uint32_t r = 1; r < rows; ++r)
        for (uint32_t c = 1; c < columns; ++c)
        {
            const Vertex* corners[4] = {&GetVertex(r - 1, c - 1), &GetVertex(r - 1, c), &GetVertex(r, c),
                                        &GetVertex(r, c - 1)};
            SpritePoint positions[4];
            SpritePoint uvs[4];
            for (int k = 0; k < 4; ++k)
            {
                positions[k] = Renderer::TransformPoint({corners[k]->x, corners[k]->y}, matrix);
                uvs[k] = {corners[k]->u, corners[k]->v};
            }
            renderer->SelectBatch(binding, positions, uvs, colour, halfPixel);
        }
}

} // namespace TarnEngine
