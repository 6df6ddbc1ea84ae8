// Models: one triangle mesh on the display's device with an optional material.
// Scenes build one per mesh part of a scene file (scene/SceneAssembly.h), the
// post-processing chain a full-screen quad; both draw through draw().
#pragma once

#include "core/Math.h"
#include "platform/gfx/Mesh.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace ORV::Demo {

class Material;

// One vertex of a model's mesh (48 bytes, in this order on the device).
struct ModelVertex {
    Core::Vector3 position;
    Core::Vector3 normal;
    float u = 0.0f, v = 0.0f; // texture coordinate
    Core::Vector4 tangent; // xyz and the handedness in w
};
static_assert(sizeof(ModelVertex) == 48, "the mesh declaration expects 48-byte vertices");

class Model {
public:
    virtual ~Model() = default;

    // Builds the mesh from the vertices and the whole triangles of the index
    // list, reordered for the vertex cache. Triangles that name a vertex the
    // list does not have are dropped. More than 65535 vertices are kept whole
    // with 32-bit indices, not left undrawn. With no drawable triangle the
    // model has no mesh, and draw() then does nothing.
    void buildMesh(std::span<const ModelVertex> vertices, std::span<const std::uint32_t> indices);
    // A quad covering the whole target in clip space, texture coordinate
    // (0, 0) at the top-left, for full-screen passes.
    void buildQuad();

    // Without a material: draws the mesh once (with the effect pass in
    // progress, if any). With one: selects the material's pass for the
    // display's current render pass and draws once per pass begun.
    void draw();

    std::string name; // not set by the demo
    Material* material = nullptr; // not owned; set before each draw by scene drawing

    const Gfx::Mesh* mesh() const { return mesh_.get(); }

private:
    std::unique_ptr<Gfx::Mesh> mesh_;
};

} // namespace ORV::Demo
