// Mesh build time per 100k triangles: a scene mesh part (48-byte vertices,
// shuffled triangle order as exporters often leave it) built into a model on
// the off-screen device, with the vertex-cache figures before and after.
#include "display/Display.h"
#include "resources/Model.h"
#include "scene/SceneAssembly.h"
#include "scene/SceneFile.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

using namespace ORV;
using namespace ORV::Demo;
using Clock = std::chrono::steady_clock;

namespace {

// A grid of (side + 1)^2 vertices and 2 * side^2 triangles, triangles shuffled.
MeshPart gridPart(int side, std::mt19937& random)
{
    MeshPart part;
    for (int y = 0; y <= side; ++y)
        for (int x = 0; x <= side; ++x) {
            MeshVertex v;
            v.position = {float(x), float(y), std::sin(x * 0.1f) * std::cos(y * 0.1f)};
            v.normal = {0, 0, 1};
            v.u = float(x) / side;
            v.v = float(y) / side;
            v.tangent = {1, 0, 0, 1};
            part.vertices.push_back(v);
        }
    std::vector<std::array<uint32_t, 3>> triangles;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const uint32_t a = uint32_t(y * (side + 1) + x), b = a + 1, c = a + uint32_t(side + 1), d = c + 1;
            triangles.push_back({a, c, b});
            triangles.push_back({b, c, d});
        }
    std::shuffle(triangles.begin(), triangles.end(), random);
    for (const auto& t : triangles) part.indices.insert(part.indices.end(), t.begin(), t.end());
    part.vertexCount = int32_t(part.vertices.size());
    part.indexCount = int32_t(part.indices.size());
    return part;
}

} // namespace

int main()
{
    Display display;
    if (!display.createWindow(64, 64, false, false, Platform::VideoMode::Offscreen)) {
        std::fprintf(stderr, "bench_model: %s\n", Display::lastError());
        return 1;
    }
    std::mt19937 random(1);
    for (int side : {100, 224, 400}) { // 20k, 100k and 320k triangles
        const MeshPart part = gridPart(side, random);
        const size_t triangles = part.indices.size() / 3;
        const auto before =
            meshopt_analyzeVertexCache(part.indices.data(), part.indices.size(), part.vertices.size(), 16, 0, 0);
        const int runs = 5;
        double best = 1e9;
        for (int run = 0; run < runs; ++run) {
            Model model;
            const auto start = Clock::now();
            buildFromMesh(model, part);
            best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            if (!model.mesh()) return 1;
        }
        // The optimiser's result, measured the same way for the figure.
        std::vector<uint32_t> optimised(part.indices);
        meshopt_optimizeVertexCache(optimised.data(), optimised.data(), optimised.size(), part.vertices.size());
        const auto after =
            meshopt_analyzeVertexCache(optimised.data(), optimised.size(), part.vertices.size(), 16, 0, 0);
        std::printf("%7zu triangles, %7zu vertices: build %.2f ms (%.2f ms per 100k triangles); "
                    "ACMR %.2f -> %.2f\n",
                    triangles, part.vertices.size(), best, best * 100000.0 / double(triangles), before.acmr,
                    after.acmr);
    }
    return 0;
}
