// Models: one triangle mesh on the display's device with an optional material.
// Scenes build one per mesh part of a scene file, the post-processing chain a
// full-screen quad; both draw through draw().
#pragma once

#include "platform/gfx/Mesh.h"

#include <memory>
#include <string>

namespace ORV::Demo {

class Material;
struct MeshPart;

class Model {
public:
    virtual ~Model() = default;

    // Builds the mesh from a scene mesh part: 48-byte vertices (position,
    // normal, texture coordinate 0, tangent) and the part's whole triangles,
    // reordered for the vertex cache. Triangles that name a vertex the part
    // does not have are dropped. A part of more than 65535 vertices is kept
    // whole with 32-bit indices, not left undrawn. A part with no drawable
    // triangle leaves the model without a mesh, and draw() then does nothing.
    void buildFromMesh(const MeshPart& part);
    // A quad covering the whole target in clip space, texture coordinate
    // (0, 0) at the top-left, for full-screen passes.
    void buildQuad();

    // Without a material: draws the mesh once (with the effect pass in
    // progress, if any). With one: selects the material's pass for the
    // display's current render pass and draws once per pass begun.
    void draw();

    std::string name;           // not set by the demo
    Material* material = nullptr; // not owned; set before each draw by scene drawing

    const Gfx::Mesh* mesh() const { return mesh_.get(); }

private:
    std::unique_ptr<Gfx::Mesh> mesh_;
};

} // namespace ORV::Demo
