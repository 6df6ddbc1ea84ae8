// Procedural meshes for the demo's scenes: a builder that collects vertices and
// triangles and derives tangents from the texture coordinates, and the shapes a
// generator makes well (blocks, lathes, rings, tubes along curves, extruded
// outlines, ground grids, quads), each returned as one mesh part that can be
// merged with others so that a scene keeps few nodes.
//
// Winding: the builder takes a triangle (a, b, c) as facing the side
// cross(b - a, c - a) points to (counter-clockwise seen from there); the parts
// it makes list every triangle the other way round, clockwise as seen from
// its front, which is what the device keeps under the demo's culling
// (counter-clockwise on screen culled), as the scene writer's sphere does.
// Every shape here faces outwards.
// Texture coordinates have (0, 0) at the top left of an image.
#pragma once

#include "core/Math.h"
#include "core/Transform.h"
#include "scene/SceneFile.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace ORV::Content {

struct Point2 {
    float x = 0.0f, y = 0.0f;
};

class MeshBuilder {
public:
    // Adds a vertex (its tangent is filled in by part()) and returns its index.
    std::uint32_t vertex(Core::Vector3 position, Core::Vector3 normal, float u, float v);
    void triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c);
    // Two triangles (a, b, c) and (a, c, d): a quad listed counter-clockwise
    // as seen from the side it faces.
    void quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d);

    // Appends a finished part with pose applied (scale, then rotation, then
    // translation; the scale must be positive on every axis). Normals follow
    // the inverse transpose, tangents the forward map; handedness is kept.
    void append(const Demo::MeshPart& part, const Core::Transform& pose = Core::Transform::identity());

    std::size_t vertexCount() const { return vertices_.size(); }
    std::size_t triangleCount() const { return indices_.size() / 3; }

    // The part, with every vertex's tangent set from the texture coordinates
    // of the triangles that use it (the direction of increasing u, made
    // orthogonal to the normal; w = +1 when cross(normal, tangent) points
    // along increasing v, -1 otherwise). Vertices whose triangles give no
    // direction get any unit vector orthogonal to their normal. Appended parts
    // keep the tangents they came with.
    Demo::MeshPart part(std::int32_t materialSlot = 0) const;

private:
    std::vector<Demo::MeshVertex> vertices_;
    std::vector<std::uint32_t> indices_;
    std::vector<bool> hasTangent_; // true for vertices of appended parts
};

// An axis-aligned box centred on the origin with the given full size; flat
// faces of their own (24 vertices, 12 triangles), each face's uv 0..1.
Demo::MeshPart boxMesh(Core::Vector3 size);

// The same box with every edge and corner cut off by `bevel` (less than half
// the smallest side): 26 flat faces, 44 triangles. The cut edges give the ink
// outline and the cel ramp a line of their own. uv is planar per face, one
// unit of texture per unit of size.
Demo::MeshPart bevelBoxMesh(Core::Vector3 size, float bevel);

// Revolves a profile of (radius, height) points about +y with `segments`
// steps. The surface faces the right-hand side of the profile as it is walked
// in (radius, height): list an outer wall bottom to top, an inner wall top to
// bottom. Normals are smooth along the profile; repeat a point (once) to get a
// hard crease there. u runs around (seam repeated), v along the profile by arc
// length. Radius 0 closes the shape at the axis. segments >= 3, >= 2 points.
Demo::MeshPart latheMesh(std::span<const Point2> profile, int segments);

// A torus in the xz plane about +y: `major` is the ring radius, `minor` the
// tube radius. majorSegments >= 3, minorSegments >= 3.
Demo::MeshPart torusMesh(float major, float minor, int majorSegments, int minorSegments);

// A round tube of radius radius(s) along curve(s) for s in [0, 1], with
// `steps` + 1 rings of `sides` vertices and frames carried along the curve
// (no twist). Ends are open. steps >= 1, sides >= 3.
Demo::MeshPart tubeMesh(const std::function<Core::Vector3(float)>& curve, const std::function<float(float)>& radius,
                        int steps, int sides);

// Extrudes a closed outline in the xy plane (listed counter-clockwise,
// star-shaped about the origin: every point sees the origin) from z = -depth/2
// to z = +depth/2. Side faces are flat per outline edge (crisp silhouettes);
// the caps are fans about the origin. uv on the caps is the xy position
// scaled by uvScale.
Demo::MeshPart extrudeMesh(std::span<const Point2> outline, float depth, float uvScale = 1.0f);

// A gear outline for extrudeMesh: `teeth` teeth between rootRadius and
// tipRadius, each with flat flanks (4 points per tooth).
std::vector<Point2> gearOutline(int teeth, float rootRadius, float tipRadius);

// A square grid of (cells + 1)^2 vertices in the xz plane, facing +y,
// centred on the origin with side `size`; uv 0..uvRepeat across.
Demo::MeshPart groundMesh(float size, int cells, float uvRepeat = 1.0f);

// A rectangle in the xy plane facing +z, centred on the origin, uv (0, 0) at
// its top-left corner (-width/2, +height/2) and (1, 1) at the bottom right.
Demo::MeshPart quadMesh(float width, float height);

// Three quads of the given size crossed along x, y and z: a sprite that shows
// about the same area from any side, for glows drawn additively.
Demo::MeshPart crossedQuadsMesh(float size);

// Triangles a part draws.
std::size_t triangleCount(const Demo::MeshPart& part);

} // namespace ORV::Content
