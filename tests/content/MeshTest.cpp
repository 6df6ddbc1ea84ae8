// The procedural shapes: whole index lists, unit normals that agree with the
// winding, tangents that follow the texture coordinates with the right
// handedness, closed shapes that face outwards, and poses applied on append.
#include "content/scenes/Mesh.h"
#include "content/scenes/Motion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

using namespace ORV;
using namespace ORV::Content;

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

Core::Vector3 tangentOf(const Demo::MeshVertex& v)
{
    return {v.tangent.x, v.tangent.y, v.tangent.z};
}

// Six times the signed volume a closed mesh encloses: positive when its
// triangles face outwards, each listed clockwise as seen from its front (the
// device's front faces under the demo's counter-clockwise culling).
float signedVolume(const Demo::MeshPart& part)
{
    float volume = 0.0f;
    for (std::size_t i = 0; i < part.indices.size(); i += 3) {
        const Core::Vector3 a = part.vertices[part.indices[i]].position;
        const Core::Vector3 b = part.vertices[part.indices[i + 1]].position;
        const Core::Vector3 c = part.vertices[part.indices[i + 2]].position;
        volume += Core::dot(a, Core::cross(c, b));
    }
    return volume;
}

// What every part must satisfy; the checks stop at the first bad vertex or
// triangle so that one fault gives one message.
void expectWellFormed(const Demo::MeshPart& part, const std::string& what)
{
    SCOPED_TRACE(what);
    ASSERT_EQ(std::size_t(part.vertexCount), part.vertices.size());
    ASSERT_EQ(std::size_t(part.indexCount), part.indices.size());
    ASSERT_GT(part.indices.size(), 0u);
    ASSERT_EQ(part.indices.size() % 3, 0u);
    for (const std::uint32_t index : part.indices) ASSERT_LT(index, part.vertices.size());
    for (std::size_t i = 0; i < part.vertices.size(); ++i) {
        const Demo::MeshVertex& v = part.vertices[i];
        ASSERT_NEAR(length(v.normal), 1.0f, 1e-4f) << "normal of vertex " << i;
        ASSERT_NEAR(length(tangentOf(v)), 1.0f, 1e-4f) << "tangent of vertex " << i;
        ASSERT_NEAR(Core::dot(v.normal, tangentOf(v)), 0.0f, 1e-3f) << "tangent off the surface at vertex " << i;
        ASSERT_TRUE(v.tangent.w == 1.0f || v.tangent.w == -1.0f) << "handedness of vertex " << i;
    }
    for (std::size_t i = 0; i < part.indices.size(); i += 3) {
        const Demo::MeshVertex& a = part.vertices[part.indices[i]];
        const Demo::MeshVertex& b = part.vertices[part.indices[i + 1]];
        const Demo::MeshVertex& c = part.vertices[part.indices[i + 2]];
        const Core::Vector3 e1 = b.position - a.position, e2 = c.position - a.position;
        const Core::Vector3 face = Core::cross(e2, e1); // clockwise from the front
        if (length(face) < 1e-6f) continue; // a sliver at a pole says nothing
        const Core::Vector3 n = normalized(face);
        const Core::Vector3 smooth = normalized(a.normal + b.normal + c.normal);
        ASSERT_GT(Core::dot(n, smooth), 0.2f) << "triangle " << i / 3 << " is wound against its normals";
        // The tangent frame against the texture coordinates' own directions.
        const float du1 = b.u - a.u, dv1 = b.v - a.v, du2 = c.u - a.u, dv2 = c.v - a.v;
        const float det = du1 * dv2 - du2 * dv1;
        if (std::fabs(det) < 1e-6f) continue;
        const Core::Vector3 dPdu = (e1 * dv2 - e2 * dv1) * (1.0f / det);
        const Core::Vector3 dPdv = (e2 * du1 - e1 * du2) * (1.0f / det);
        for (const Demo::MeshVertex* v : {&a, &b, &c}) {
            ASSERT_GT(Core::dot(tangentOf(*v), dPdu), 0.0f) << "tangent against u in triangle " << i / 3;
            const Core::Vector3 bitangent = Core::cross(v->normal, tangentOf(*v)) * v->tangent.w;
            ASSERT_GT(Core::dot(bitangent, dPdv), 0.0f) << "handedness against v in triangle " << i / 3;
        }
    }
}

TEST(Shapes, EveryShapeIsWellFormed)
{
    const Point2 vase[] = {{0, 0}, {1, 0}, {1, 0}, {1.2f, 1}, {0.6f, 2}, {0.6f, 2}, {0, 2}};
    const std::vector<Point2> gear = gearOutline(12, 1.0f, 1.3f);
    expectWellFormed(boxMesh({1, 2, 3}), "box");
    expectWellFormed(bevelBoxMesh({1, 2, 3}, 0.2f), "bevelled box");
    expectWellFormed(latheMesh(vase, 12), "lathe");
    expectWellFormed(torusMesh(2.0f, 0.3f, 24, 8), "torus");
    expectWellFormed(tubeMesh(
                         [](float s) {
                             return Core::Vector3{std::cos(4 * s), s * 3, std::sin(4 * s)};
                         },
                         [](float) { return 0.2f; }, 30, 6),
                     "tube along a helix");
    expectWellFormed(extrudeMesh(gear, 0.5f, 0.2f), "extruded gear");
    expectWellFormed(groundMesh(10, 4, 2), "ground");
    expectWellFormed(quadMesh(2, 1), "quad");
    expectWellFormed(crossedQuadsMesh(1), "crossed quads");
}

TEST(Shapes, ClosedShapesFaceOutwardsAndEncloseTheirVolume)
{
    // Box: 6 * volume.
    EXPECT_NEAR(signedVolume(boxMesh({1, 2, 3})), 36.0f, 1e-3f);
    // Torus: 2 pi^2 R r^2, less a little for the polygons.
    const float torus = signedVolume(torusMesh(2.0f, 0.5f, 64, 32)) / 6.0f;
    EXPECT_NEAR(torus, 2 * kPi * kPi * 2.0f * 0.25f, 0.2f);
    // A lathed cylinder closed at both ends: pi r^2 h.
    const Point2 can[] = {{0, 0}, {1, 0}, {1, 0}, {1, 2}, {1, 2}, {0, 2}};
    EXPECT_NEAR(signedVolume(latheMesh(can, 64)) / 6.0f, kPi * 2.0f, 0.05f);
    // An extruded square (as a four-point outline): area * depth.
    const Point2 square[] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
    EXPECT_NEAR(signedVolume(extrudeMesh(square, 0.5f)) / 6.0f, 2.0f, 1e-4f);
}

TEST(Shapes, BevelledBoxesAreConvexWithEveryCutInPlace)
{
    const Core::Vector3 size{2, 3, 4};
    const float bevel = 0.3f;
    const Demo::MeshPart box = bevelBoxMesh(size, bevel);
    EXPECT_EQ(triangleCount(box), 44u);
    // Convex and outward: every vertex lies on or behind every face's plane.
    for (std::size_t i = 0; i < box.indices.size(); i += 3) {
        const Demo::MeshVertex& a = box.vertices[box.indices[i]];
        for (const Demo::MeshVertex& v : box.vertices)
            ASSERT_LE(Core::dot(v.position - a.position, a.normal), 1e-5f) << "triangle " << i / 3;
    }
    // The volume: the box less twelve edge prisms, (b^2 / 2) (edge - 2b)
    // each, and of each corner's cube of side b all but a b^3 / 6 tetrahedron.
    const float edges = 4 * (size.x + size.y + size.z - 6 * bevel) * bevel * bevel * 0.5f;
    const float corners = 8 * bevel * bevel * bevel * 5.0f / 6.0f;
    EXPECT_NEAR(signedVolume(box) / 6.0f, size.x * size.y * size.z - edges - corners, 1e-3f);
    // Still as wide as the box across its main faces.
    float maxX = 0.0f;
    for (const Demo::MeshVertex& v : box.vertices) maxX = std::max(maxX, v.position.x);
    EXPECT_FLOAT_EQ(maxX, 1.0f);
}

TEST(Shapes, RepeatedProfilePointsMakeCreases)
{
    // A can: the side's normals are horizontal, the lid's point straight up,
    // even where they share a position.
    const Point2 can[] = {{1, 0}, {1, 2}, {1, 2}, {0, 2}};
    const Demo::MeshPart part = latheMesh(can, 8);
    int side = 0, lid = 0;
    for (const Demo::MeshVertex& v : part.vertices) {
        if (v.position.y < 2.0f - 1e-4f || std::hypot(v.position.x, v.position.z) > 0.999f) {
            if (std::fabs(v.normal.y) < 1e-5f) ++side;
            if (v.normal.y > 0.99999f) ++lid;
        } else {
            EXPECT_GT(v.normal.y, 0.99999f) << "a vertex inside the lid";
        }
    }
    EXPECT_EQ(side, 2 * 9) << "both rings of the side, seam repeated";
    EXPECT_EQ(lid, 9) << "the lid's rim ring";
}

TEST(Shapes, GearOutlinesTurnCounterClockwiseBetweenRootAndTip)
{
    const std::vector<Point2> gear = gearOutline(10, 2.0f, 2.5f);
    ASSERT_EQ(gear.size(), 40u);
    float twiceArea = 0.0f;
    for (std::size_t i = 0; i < gear.size(); ++i) {
        const Point2 p = gear[i], q = gear[(i + 1) % gear.size()];
        twiceArea += p.x * q.y - q.x * p.y;
        const float r = std::hypot(p.x, p.y);
        EXPECT_TRUE(std::fabs(r - 2.0f) < 1e-4f || std::fabs(r - 2.5f) < 1e-4f) << "point " << i;
    }
    EXPECT_GT(twiceArea, 2 * kPi * 4.0f) << "counter-clockwise, larger than the root circle";
    EXPECT_LT(twiceArea, 2 * kPi * 6.25f);
}

TEST(Shapes, QuadsPutTheImagesTopLeftAtTheirTopLeft)
{
    const Demo::MeshPart quad = quadMesh(4, 2);
    for (const Demo::MeshVertex& v : quad.vertices) {
        EXPECT_EQ(v.u, v.position.x < 0 ? 0.0f : 1.0f);
        EXPECT_EQ(v.v, v.position.y > 0 ? 0.0f : 1.0f);
        EXPECT_EQ(v.normal.z, 1.0f);
    }
    EXPECT_EQ(triangleCount(quad), 2u);
}

TEST(Shapes, TubesFollowTheirCurveAtTheirRadius)
{
    auto curve = [](float s) { return Core::Vector3{5 * std::cos(kPi * s), 5 * std::sin(kPi * s), 2 * s}; };
    const Demo::MeshPart tube = tubeMesh(
        curve, [](float s) { return 0.1f + 0.2f * s; }, 40, 8);
    for (int i = 0; i <= 40; ++i) {
        const float s = float(i) / 40.0f;
        for (int j = 0; j <= 8; ++j) {
            const Demo::MeshVertex& v = tube.vertices[std::size_t(i * 9 + j)];
            const Core::Vector3 offset = v.position - curve(s);
            EXPECT_NEAR(length(offset), 0.1f + 0.2f * s, 1e-4f);
            EXPECT_NEAR(Core::dot(normalized(offset), v.normal), 1.0f, 1e-4f) << "normals point away from the curve";
        }
    }
}

TEST(MeshBuilder, AppendedPartsTakeTheirPoseAndKeepTheirFrames)
{
    // A box squashed, stretched and turned: still closed, outward, with
    // normals perpendicular to its faces, and its volume scaled.
    const Core::Transform t = pose({3, -1, 2}, axisAngle({1, 1, 0}, 0.7f), {0.5f, 4.0f, 2.0f});
    MeshBuilder b;
    b.append(boxMesh({1, 1, 1}), t);
    b.append(quadMesh(1, 1), pose({10, 0, 0}));
    const Demo::MeshPart part = b.part();
    expectWellFormed(part, "posed box and quad");
    EXPECT_EQ(part.vertices.size(), 28u);
    EXPECT_EQ(part.indices[36], 24u) << "the second part's indices move past the first part's vertices";
    Demo::MeshPart box = part;
    box.vertices.resize(24);
    box.indices.resize(36);
    EXPECT_NEAR(signedVolume(box) / 6.0f, 4.0f, 1e-3f);
    // The corner (+, +, +) lands where the pose sends it.
    const Core::Vector3 corner = rotate(t.rotation, {0.25f, 2.0f, 1.0f}) + t.translation;
    bool found = false;
    for (const Demo::MeshVertex& v : box.vertices) found = found || length(v.position - corner) < 1e-4f;
    EXPECT_TRUE(found);
}

TEST(MeshBuilder, TangentsComeFromTheTextureCoordinates)
{
    // A quad whose u runs down and v runs right: the tangent points down, and
    // cross(normal, tangent) points right, the way v grows: w = +1.
    MeshBuilder b;
    const std::uint32_t a = b.vertex({0, 0, 0}, {0, 0, 1}, 1, 0);
    const std::uint32_t c = b.vertex({1, 0, 0}, {0, 0, 1}, 1, 1);
    const std::uint32_t d = b.vertex({1, 1, 0}, {0, 0, 1}, 0, 1);
    const std::uint32_t e = b.vertex({0, 1, 0}, {0, 0, 1}, 0, 0);
    b.quad(a, c, d, e);
    const Demo::MeshPart part = b.part();
    for (const Demo::MeshVertex& v : part.vertices) {
        EXPECT_NEAR(v.tangent.y, -1.0f, 1e-5f);
        EXPECT_EQ(v.tangent.w, 1.0f);
    }
    // Mirrored texture (v runs left): the same tangent, the other hand.
    MeshBuilder m;
    const std::uint32_t ma = m.vertex({0, 0, 0}, {0, 0, 1}, 1, 1);
    const std::uint32_t mc = m.vertex({1, 0, 0}, {0, 0, 1}, 1, 0);
    const std::uint32_t md = m.vertex({1, 1, 0}, {0, 0, 1}, 0, 0);
    const std::uint32_t me = m.vertex({0, 1, 0}, {0, 0, 1}, 0, 1);
    m.quad(ma, mc, md, me);
    for (const Demo::MeshVertex& v : m.part().vertices) {
        EXPECT_NEAR(v.tangent.y, -1.0f, 1e-5f);
        EXPECT_EQ(v.tangent.w, -1.0f);
    }
}

} // namespace
