#include "content/scenes/Mesh.h"

#include "content/scenes/Motion.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <numbers>

namespace ORV::Content {

namespace {

constexpr float twoPi = 2.0f * std::numbers::pi_v<float>;

// Any unit vector orthogonal to n.
Core::Vector3 anyOrthogonal(Core::Vector3 n)
{
    const Core::Vector3 axis = std::fabs(n.x) < 0.9f ? Core::Vector3{1, 0, 0} : Core::Vector3{0, 1, 0};
    return normalized(Core::cross(Core::cross(n, axis), n));
}

} // namespace

std::uint32_t MeshBuilder::vertex(Core::Vector3 position, Core::Vector3 normal, float u, float v)
{
    Demo::MeshVertex vertex;
    vertex.position = position;
    vertex.normal = normalized(normal);
    vertex.u = u;
    vertex.v = v;
    vertices_.push_back(vertex);
    hasTangent_.push_back(false);
    return std::uint32_t(vertices_.size() - 1);
}

void MeshBuilder::triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c)
{
    assert(a < vertices_.size() && b < vertices_.size() && c < vertices_.size());
    indices_.insert(indices_.end(), {a, b, c});
}

void MeshBuilder::quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d)
{
    triangle(a, b, c);
    triangle(a, c, d);
}

void MeshBuilder::append(const Demo::MeshPart& part, const Core::Transform& t)
{
    assert(t.scale.x > 0.0f && t.scale.y > 0.0f && t.scale.z > 0.0f);
    const auto base = std::uint32_t(vertices_.size());
    const Core::Vector3 s = t.scale;
    for (Demo::MeshVertex v : part.vertices) {
        const Core::Vector3 p = v.position;
        v.position = rotate(t.rotation, {p.x * s.x, p.y * s.y, p.z * s.z}) + t.translation;
        const Core::Vector3 n = v.normal;
        v.normal = normalized(rotate(t.rotation, {n.x / s.x, n.y / s.y, n.z / s.z}));
        const Core::Vector3 g = rotate(t.rotation, {v.tangent.x * s.x, v.tangent.y * s.y, v.tangent.z * s.z});
        // Keep the tangent orthogonal to the new normal under uneven scale.
        const Core::Vector3 tangent = normalized(g - v.normal * Core::dot(v.normal, g));
        v.tangent = {tangent.x, tangent.y, tangent.z, v.tangent.w};
        vertices_.push_back(v);
        hasTangent_.push_back(true);
    }
    // The part lists its triangles in the device's order; the builder keeps
    // them counter-clockwise until part() turns them.
    for (std::size_t i = 0; i + 2 < part.indices.size(); i += 3)
        indices_.insert(indices_.end(),
                        {base + part.indices[i], base + part.indices[i + 2], base + part.indices[i + 1]});
}

Demo::MeshPart MeshBuilder::part(std::int32_t materialSlot) const
{
    // Per-vertex sums of the triangles' u and v directions.
    std::vector<Core::Vector3> tangents(vertices_.size()), bitangents(vertices_.size());
    for (std::size_t i = 0; i + 2 < indices_.size(); i += 3) {
        const Demo::MeshVertex& a = vertices_[indices_[i]];
        const Demo::MeshVertex& b = vertices_[indices_[i + 1]];
        const Demo::MeshVertex& c = vertices_[indices_[i + 2]];
        const Core::Vector3 e1 = b.position - a.position, e2 = c.position - a.position;
        const float du1 = b.u - a.u, dv1 = b.v - a.v, du2 = c.u - a.u, dv2 = c.v - a.v;
        const float det = du1 * dv2 - du2 * dv1;
        if (std::fabs(det) < 1e-12f) continue;
        const float r = 1.0f / det;
        const Core::Vector3 sdir = (e1 * dv2 - e2 * dv1) * r;
        const Core::Vector3 tdir = (e2 * du1 - e1 * du2) * r;
        for (std::size_t k = 0; k < 3; ++k) {
            tangents[indices_[i + k]] = tangents[indices_[i + k]] + sdir;
            bitangents[indices_[i + k]] = bitangents[indices_[i + k]] + tdir;
        }
    }
    Demo::MeshPart part;
    part.materialSlot = materialSlot;
    part.vertices = vertices_;
    // Clockwise as seen from the side each triangle faces: the device's
    // front faces under the culling the demo sets (counter-clockwise culled).
    part.indices.reserve(indices_.size());
    for (std::size_t i = 0; i + 2 < indices_.size(); i += 3)
        part.indices.insert(part.indices.end(), {indices_[i], indices_[i + 2], indices_[i + 1]});
    for (std::size_t i = 0; i < part.vertices.size(); ++i) {
        if (hasTangent_[i]) continue;
        Demo::MeshVertex& v = part.vertices[i];
        Core::Vector3 t = tangents[i] - v.normal * Core::dot(v.normal, tangents[i]);
        if (length(t) < 1e-6f) t = anyOrthogonal(v.normal);
        t = normalized(t);
        const float w = Core::dot(Core::cross(v.normal, t), bitangents[i]) < 0.0f ? -1.0f : 1.0f;
        v.tangent = {t.x, t.y, t.z, w};
    }
    part.vertexCount = std::int32_t(part.vertices.size());
    part.indexCount = std::int32_t(part.indices.size());
    return part;
}

Demo::MeshPart boxMesh(Core::Vector3 size)
{
    MeshBuilder b;
    const Core::Vector3 h = size * 0.5f;
    // Each face: its normal and two in-face axes (right, up) with
    // cross(right, up) == normal, so that the corners below wind outwards.
    struct Face {
        Core::Vector3 n, r, u;
    };
    const Face faces[6] = {{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
                           {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
                           {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}}};
    for (const Face& f : faces) {
        auto corner = [&](float sr, float su) {
            const Core::Vector3 local = f.n + f.r * sr + f.u * su;
            return Core::Vector3{local.x * h.x, local.y * h.y, local.z * h.z};
        };
        const std::uint32_t a = b.vertex(corner(-1, -1), f.n, 0, 1);
        const std::uint32_t c = b.vertex(corner(1, -1), f.n, 1, 1);
        const std::uint32_t d = b.vertex(corner(1, 1), f.n, 1, 0);
        const std::uint32_t e = b.vertex(corner(-1, 1), f.n, 0, 0);
        b.quad(a, c, d, e);
    }
    return b.part();
}

Demo::MeshPart bevelBoxMesh(Core::Vector3 size, float bevel)
{
    const Core::Vector3 h = size * 0.5f;
    assert(bevel > 0.0f && bevel < std::min({h.x, h.y, h.z}));
    const float half[3] = {h.x, h.y, h.z};
    MeshBuilder b;
    // One face per direction d in {-1, 0, 1}^3: a main face (one axis), an
    // edge cut (two) or a corner cut (three). Its corners: along the axes d
    // points on, the box's face or the cut back from it; along the others,
    // both ends of the shortened edge.
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            for (int dz = -1; dz <= 1; ++dz) {
                const int d[3] = {dx, dy, dz};
                const int axes = (dx != 0) + (dy != 0) + (dz != 0);
                if (axes == 0) continue;
                std::vector<Core::Vector3> corners;
                if (axes == 3) {
                    // One corner on each of the three cuts' meeting lines.
                    for (int a = 0; a < 3; ++a) {
                        float p[3];
                        for (int i = 0; i < 3; ++i) p[i] = float(d[i]) * (i == a ? half[i] : half[i] - bevel);
                        corners.push_back({p[0], p[1], p[2]});
                    }
                } else {
                    // The free axes run to +-(half - bevel); on an edge cut the
                    // two set axes take (face, cut) and (cut, face).
                    for (int variant = 0; variant < (axes == 2 ? 2 : 1); ++variant)
                        for (int s1 = -1; s1 <= 1; s1 += 2)
                            for (int s2 = -1; s2 <= 1; s2 += 2) {
                                float p[3];
                                int freeIndex = 0, setIndex = 0;
                                for (int i = 0; i < 3; ++i) {
                                    if (d[i] == 0) {
                                        p[i] = float(freeIndex++ == 0 ? s1 : s2) * (half[i] - bevel);
                                    } else {
                                        const bool onFace = axes == 1 || (setIndex++ == 0) == (variant == 0);
                                        p[i] = float(d[i]) * (onFace ? half[i] : half[i] - bevel);
                                    }
                                }
                                if (axes == 2 && s2 != -1) continue; // one free axis: s1 only
                                corners.push_back({p[0], p[1], p[2]});
                            }
                }
                const Core::Vector3 n = normalized({float(dx), float(dy), float(dz)});
                // Order the corners counter-clockwise about n, in a basis of
                // the face's plane, and fan them.
                const Core::Vector3 t1 = anyOrthogonal(n), t2 = Core::cross(n, t1);
                Core::Vector3 centre;
                for (const Core::Vector3& c : corners) centre = centre + c * (1.0f / float(corners.size()));
                std::sort(corners.begin(), corners.end(), [&](Core::Vector3 a, Core::Vector3 c) {
                    return std::atan2(Core::dot(a - centre, t2), Core::dot(a - centre, t1))
                           < std::atan2(Core::dot(c - centre, t2), Core::dot(c - centre, t1));
                });
                std::vector<std::uint32_t> ids;
                for (const Core::Vector3& c : corners)
                    ids.push_back(b.vertex(c, n, Core::dot(c, t1) + 0.5f, 0.5f - Core::dot(c, t2)));
                for (std::size_t i = 1; i + 1 < ids.size(); ++i) b.triangle(ids[0], ids[i], ids[i + 1]);
            }
    return b.part();
}

Demo::MeshPart latheMesh(std::span<const Point2> profile, int segments)
{
    assert(segments >= 3 && profile.size() >= 2);
    MeshBuilder b;
    const std::size_t n = profile.size();
    // Arc length along the profile for v.
    std::vector<float> arc(n, 0.0f);
    for (std::size_t i = 1; i < n; ++i)
        arc[i] = arc[i - 1] + std::hypot(profile[i].x - profile[i - 1].x, profile[i].y - profile[i - 1].y);
    const float total = arc.back() > 0.0f ? arc.back() : 1.0f;
    std::vector<std::uint32_t> first(n);
    for (std::size_t i = 0; i < n; ++i) {
        // The profile's direction here, from the neighbours that differ from
        // this point: a repeated point takes one side only (a crease).
        auto same = [&](std::size_t j) { return profile[j].x == profile[i].x && profile[j].y == profile[i].y; };
        float dx = 0.0f, dy = 0.0f;
        if (i > 0 && !same(i - 1)) {
            dx += profile[i].x - profile[i - 1].x;
            dy += profile[i].y - profile[i - 1].y;
        }
        if (i + 1 < n && !same(i + 1)) {
            dx += profile[i + 1].x - profile[i].x;
            dy += profile[i + 1].y - profile[i].y;
        }
        // The outward normal of a profile rising with height is (dy, -dx):
        // for a profile going up (dy > 0) at constant radius it points out.
        const float nr = dy, ny = -dx;
        first[i] = std::uint32_t(b.vertexCount());
        for (int s = 0; s <= segments; ++s) {
            const float phi = twoPi * float(s) / float(segments);
            const float c = std::cos(phi), sn = std::sin(phi);
            b.vertex({profile[i].x * c, profile[i].y, -profile[i].x * sn}, {nr * c, ny, -nr * sn},
                     float(s) / float(segments), arc[i] / total);
        }
    }
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (profile[i].x == profile[i + 1].x && profile[i].y == profile[i + 1].y) continue;
        for (int s = 0; s < segments; ++s) {
            const std::uint32_t a = first[i] + std::uint32_t(s), c = first[i + 1] + std::uint32_t(s);
            b.quad(a, a + 1, c + 1, c);
        }
    }
    return b.part();
}

Demo::MeshPart torusMesh(float major, float minor, int majorSegments, int minorSegments)
{
    assert(majorSegments >= 3 && minorSegments >= 3);
    MeshBuilder b;
    for (int i = 0; i <= majorSegments; ++i) {
        const float phi = twoPi * float(i) / float(majorSegments);
        const Core::Vector3 out{std::cos(phi), 0.0f, -std::sin(phi)};
        for (int j = 0; j <= minorSegments; ++j) {
            const float theta = twoPi * float(j) / float(minorSegments);
            const Core::Vector3 n = out * std::cos(theta) + Core::Vector3{0, std::sin(theta), 0};
            b.vertex(out * major + n * minor, n, float(i) / float(majorSegments), float(j) / float(minorSegments));
        }
    }
    const auto row = std::uint32_t(minorSegments + 1);
    for (int i = 0; i < majorSegments; ++i)
        for (int j = 0; j < minorSegments; ++j) {
            const std::uint32_t a = std::uint32_t(i) * row + std::uint32_t(j);
            b.quad(a, a + row, a + row + 1, a + 1);
        }
    return b.part();
}

Demo::MeshPart tubeMesh(const std::function<Core::Vector3(float)>& curve, const std::function<float(float)>& radius,
                        int steps, int sides)
{
    assert(steps >= 1 && sides >= 3);
    MeshBuilder b;
    auto direction = [&](int i) {
        const float s0 = float(std::max(i - 1, 0)) / float(steps), s1 = float(std::min(i + 1, steps)) / float(steps);
        return normalized(curve(s1) - curve(s0));
    };
    Core::Vector3 tangent = direction(0);
    Core::Vector3 normal = anyOrthogonal(tangent);
    for (int i = 0; i <= steps; ++i) {
        const float s = float(i) / float(steps);
        const Core::Vector3 next = direction(i);
        // Parallel transport: the frame's normal loses its component along the
        // new tangent, so the frame turns with the curve and never twists.
        normal = normal - next * Core::dot(normal, next);
        if (length(normal) < 1e-5f) normal = anyOrthogonal(next);
        normal = normalized(normal);
        tangent = next;
        const Core::Vector3 binormal = Core::cross(tangent, normal);
        const Core::Vector3 centre = curve(s);
        const float r = radius(s);
        for (int j = 0; j <= sides; ++j) {
            const float a = twoPi * float(j) / float(sides);
            const Core::Vector3 n = normal * std::cos(a) + binormal * std::sin(a);
            b.vertex(centre + n * r, n, s, float(j) / float(sides));
        }
    }
    const auto row = std::uint32_t(sides + 1);
    for (int i = 0; i < steps; ++i)
        for (int j = 0; j < sides; ++j) {
            const std::uint32_t a = std::uint32_t(i) * row + std::uint32_t(j);
            b.quad(a, a + 1, a + row + 1, a + row);
        }
    return b.part();
}

Demo::MeshPart extrudeMesh(std::span<const Point2> outline, float depth, float uvScale)
{
    assert(outline.size() >= 3);
    MeshBuilder b;
    const float h = depth * 0.5f;
    const std::size_t n = outline.size();
    // Caps: a fan about the origin on each face.
    for (const float side : {1.0f, -1.0f}) {
        const Core::Vector3 normal{0, 0, side};
        const std::uint32_t centre = b.vertex({0, 0, side * h}, normal, 0.5f, 0.5f);
        const auto first = std::uint32_t(b.vertexCount());
        for (const Point2& p : outline)
            b.vertex({p.x, p.y, side * h}, normal, 0.5f + p.x * uvScale, 0.5f - p.y * uvScale);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t a = first + std::uint32_t(i), c = first + std::uint32_t((i + 1) % n);
            if (side > 0)
                b.triangle(centre, a, c);
            else
                b.triangle(centre, c, a);
        }
    }
    // Sides: one flat quad per outline edge.
    float along = 0.0f;
    for (std::size_t i = 0; i < n; ++i) {
        const Point2 p = outline[i], q = outline[(i + 1) % n];
        const float len = std::hypot(q.x - p.x, q.y - p.y);
        const Core::Vector3 normal = normalized({q.y - p.y, -(q.x - p.x), 0.0f});
        const float u0 = along * uvScale, u1 = (along + len) * uvScale;
        along += len;
        const std::uint32_t a = b.vertex({p.x, p.y, -h}, normal, u0, 1);
        const std::uint32_t c = b.vertex({q.x, q.y, -h}, normal, u1, 1);
        const std::uint32_t d = b.vertex({q.x, q.y, h}, normal, u1, 0);
        const std::uint32_t e = b.vertex({p.x, p.y, h}, normal, u0, 0);
        b.quad(a, c, d, e);
    }
    return b.part();
}

std::vector<Point2> gearOutline(int teeth, float rootRadius, float tipRadius)
{
    assert(teeth >= 3 && tipRadius > rootRadius && rootRadius > 0.0f);
    std::vector<Point2> points;
    const float step = twoPi / float(teeth);
    // Fractions of one tooth's angle: root to the flank foot, flank, top land.
    const float corners[4] = {0.0f, 0.15f, 0.45f, 0.6f};
    const float radii[4] = {rootRadius, tipRadius, tipRadius, rootRadius};
    for (int t = 0; t < teeth; ++t)
        for (int k = 0; k < 4; ++k) {
            const float a = step * (float(t) + corners[k]);
            points.push_back({radii[k] * std::cos(a), radii[k] * std::sin(a)});
        }
    return points;
}

Demo::MeshPart groundMesh(float size, int cells, float uvRepeat)
{
    assert(cells >= 1);
    MeshBuilder b;
    const auto row = std::uint32_t(cells + 1);
    for (int z = 0; z <= cells; ++z)
        for (int x = 0; x <= cells; ++x) {
            const float fx = float(x) / float(cells), fz = float(z) / float(cells);
            b.vertex({(fx - 0.5f) * size, 0.0f, (fz - 0.5f) * size}, {0, 1, 0}, fx * uvRepeat, fz * uvRepeat);
        }
    for (int z = 0; z < cells; ++z)
        for (int x = 0; x < cells; ++x) {
            const std::uint32_t a = std::uint32_t(z) * row + std::uint32_t(x);
            b.quad(a, a + row, a + row + 1, a + 1);
        }
    return b.part();
}

Demo::MeshPart quadMesh(float width, float height)
{
    MeshBuilder b;
    const float w = width * 0.5f, h = height * 0.5f;
    const std::uint32_t a = b.vertex({-w, -h, 0}, {0, 0, 1}, 0, 1);
    const std::uint32_t c = b.vertex({w, -h, 0}, {0, 0, 1}, 1, 1);
    const std::uint32_t d = b.vertex({w, h, 0}, {0, 0, 1}, 1, 0);
    const std::uint32_t e = b.vertex({-w, h, 0}, {0, 0, 1}, 0, 0);
    b.quad(a, c, d, e);
    return b.part();
}

Demo::MeshPart crossedQuadsMesh(float size)
{
    MeshBuilder b;
    const Demo::MeshPart quad = quadMesh(size, size);
    const float quarter = std::numbers::pi_v<float> * 0.5f;
    b.append(quad);
    b.append(quad, pose({}, axisAngle({0, 1, 0}, quarter)));
    b.append(quad, pose({}, axisAngle({1, 0, 0}, quarter)));
    return b.part();
}

std::size_t triangleCount(const Demo::MeshPart& part)
{
    return part.indices.size() / 3;
}

} // namespace ORV::Content
