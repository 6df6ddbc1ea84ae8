#include "resources/Model.h"

#include "display/Display.h"
#include "resources/Material.h"

#include <meshoptimizer.h>

#include <vector>

namespace ORV::Demo {

namespace {

const std::vector<Gfx::VertexElement>& meshVertexDeclaration()
{
    static const std::vector<Gfx::VertexElement> declaration{
        {0, 3, Gfx::VertexUsage::Position, 0},
        {12, 3, Gfx::VertexUsage::Normal, 0},
        {24, 2, Gfx::VertexUsage::TexCoord, 0},
        {32, 4, Gfx::VertexUsage::Tangent, 0},
    };
    return declaration;
}

struct QuadVertex {
    float x, y, z, u, v;
};

} // namespace

void Model::buildMesh(std::span<const ModelVertex> sourceVertices, std::span<const std::uint32_t> sourceIndices)
{
    mesh_.reset();
    const auto vertexCount = static_cast<uint32_t>(sourceVertices.size());
    // Whole triangles only, and only those whose three vertices exist: the
    // indices come from files and are not trusted.
    std::vector<uint32_t> indices;
    indices.reserve(sourceIndices.size() - sourceIndices.size() % 3);
    for (size_t i = 0; i + 2 < sourceIndices.size(); i += 3) {
        const uint32_t a = sourceIndices[i], b = sourceIndices[i + 1], c = sourceIndices[i + 2];
        if (a < vertexCount && b < vertexCount && c < vertexCount) indices.insert(indices.end(), {a, b, c});
    }
    if (indices.empty()) return;

    // Faces reordered for the vertex cache, then vertices for fetch order,
    // which also drops vertices no triangle uses.
    meshopt_optimizeVertexCache(indices.data(), indices.data(), indices.size(), vertexCount);
    std::vector<ModelVertex> vertices(vertexCount);
    const size_t used = meshopt_optimizeVertexFetch(vertices.data(), indices.data(), indices.size(),
                                                    sourceVertices.data(), vertexCount, sizeof(ModelVertex));
    mesh_ = Display::device().createMesh(meshVertexDeclaration(), sizeof(ModelVertex), vertices.data(), uint32_t(used),
                                         indices.data(), uint32_t(indices.size()));
}

void Model::buildQuad()
{
    static const std::vector<Gfx::VertexElement> declaration{
        {0, 3, Gfx::VertexUsage::Position, 0},
        {12, 2, Gfx::VertexUsage::TexCoord, 0},
    };
    const QuadVertex vertices[4] = {{-1, -1, 0, 0, 1}, {-1, 1, 0, 0, 0}, {1, 1, 0, 1, 0}, {1, -1, 0, 1, 1}};
    const uint32_t indices[6] = {0, 1, 2, 0, 2, 3};
    mesh_ = Display::device().createMesh(declaration, sizeof(QuadVertex), vertices, 4, indices, 6);
}

void Model::draw()
{
    if (!mesh_) return;
    Gfx::Device& device = Display::device();
    if (!material) {
        device.drawMesh(*mesh_);
        return;
    }
    material->selectForCurrentPass();
    while (material->beginNextPass()) device.drawMesh(*mesh_);
    material->endPasses();
}

} // namespace ORV::Demo
