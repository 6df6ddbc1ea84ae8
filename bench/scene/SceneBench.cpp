// Generates a scene of the size the demo's scenes have (tens of thousands of
// vertices, a Transform animation per node at ten samples a second, animated
// cameras and lights) with the scene writer, then reads it repeatedly from
// memory and prints the reader's speed, and the cost of evaluating every
// animation once per frame as scene update does.
//
// Usage: scene_bench [nodes] [seconds of animation]   (defaults 60 and 60)
#include "content/scenewriter/SceneWriter.h"
#include "scene/SceneFile.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using namespace ORV;
using Clock = std::chrono::steady_clock;

namespace {

Demo::SceneDescription makeScene(int nodeCount, int seconds)
{
    Demo::SceneDescription d;
    const int samples = seconds * 10;
    const int verticesPerPart = 1000;
    for (int n = 0; n < nodeCount; ++n) {
        Demo::MeshPart part;
        part.materialSlot = n % 3;
        for (int v = 0; v < verticesPerPart; ++v) {
            const float a = static_cast<float>(v) * 0.01f;
            part.vertices.push_back({{std::cos(a), std::sin(a), a}, {0, 0, 1}, a, 1 - a, {1, 0, 0, 1}});
        }
        for (int t = 0; t + 2 < verticesPerPart; ++t)
            for (int k = 0; k < 3; ++k) part.indices.push_back(static_cast<std::uint32_t>(t + k));
        part.vertexCount = static_cast<std::int32_t>(part.vertices.size());
        part.indexCount = static_cast<std::int32_t>(part.indices.size());
        d.meshGroups.push_back({part});

        Demo::MaterialRecord material;
        material.name = "material" + std::to_string(n);
        material.effectName = "fx/toon.fx";
        material.parameters = {{"DiffuseTexture", "tex/wood.jpg"}, {"Color", "0.8 0.6 0.2 1"}};
        d.materials.push_back(material);

        std::vector<float> poses;
        for (int s = 0; s < samples; ++s) {
            Core::Transform pose;
            const float angle = static_cast<float>(s) * 0.05f;
            pose.translation = {static_cast<float>(n), std::sin(angle), 0};
            pose.rotation = {0, std::sin(angle * 0.5f), 0, std::cos(angle * 0.5f)};
            float flat[15];
            pose.toFloats(flat);
            poses.insert(poses.end(), flat, flat + 15);
        }
        const std::int32_t animation = Content::appendSampledAnimation(d, Core::TrackValueKind::Transform, poses);
        d.nodes.push_back({"node" + std::to_string(n), n, n, animation, {}});
    }
    for (int c = 0; c < 4; ++c) {
        std::vector<float> poses, fov;
        for (int s = 0; s < samples; ++s) {
            float flat[15];
            Core::Transform pose;
            pose.translation = {0, 2, 10.0f + static_cast<float>(s) * 0.01f};
            pose.toFloats(flat);
            poses.insert(poses.end(), flat, flat + 15);
            fov.push_back(0.8f + 0.001f * static_cast<float>(s));
        }
        const std::int32_t transform = Content::appendSampledAnimation(d, Core::TrackValueKind::Transform, poses);
        const std::int32_t field = Content::appendSampledAnimation(d, Core::TrackValueKind::Scalar, fov);
        d.cameras.push_back({"Camera0" + std::to_string(c + 1), transform, field});
    }
    for (int l = 0; l < 4; ++l) {
        std::vector<float> position, colour, radius;
        for (int s = 0; s < samples; ++s) {
            position.insert(position.end(), {static_cast<float>(s) * 0.1f, 5, 0});
            colour.insert(colour.end(), {1, 0.9f, 0.8f});
            radius.push_back(20);
        }
        const std::int32_t p = Content::appendSampledAnimation(d, Core::TrackValueKind::Vector3, position);
        const std::int32_t c = Content::appendSampledAnimation(d, Core::TrackValueKind::Vector3, colour);
        const std::int32_t r = Content::appendSampledAnimation(d, Core::TrackValueKind::Scalar, radius);
        d.lights.push_back({p, c, r});
    }
    return d;
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int nodes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const int animationSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;

    const Demo::SceneDescription scene = makeScene(nodes, animationSeconds);
    std::size_t vertices = 0, indices = 0, samples = 0;
    for (const auto& group : scene.meshGroups)
        for (const auto& part : group) {
            vertices += part.vertices.size();
            indices += part.indices.size();
        }
    for (const auto& track : scene.tracks)
        samples += static_cast<const Core::SampledAnimationTrack&>(*track).keyCount();

    std::ostringstream out;
    std::string error;
    const auto writeStart = Clock::now();
    if (!Content::writeScene(out, scene, error)) {
        std::fprintf(stderr, "scene_bench: %s\n", error.c_str());
        return 1;
    }
    const double writeTime = seconds(Clock::now() - writeStart);
    const std::string bytes = out.str();
    const double megabytes = static_cast<double>(bytes.size()) / 1e6;

    std::printf("scene: %d nodes, %zu vertices, %zu indices, %zu animations, %zu samples, %.2f MB\n", nodes, vertices,
                indices, scene.animations.size(), samples, megabytes);
    std::printf("write: %.1f ms (%.0f MB/s)\n", writeTime * 1e3, megabytes / writeTime);

    // Best of several reads from memory: the reader's own cost, not the disk's.
    double best = 1e9;
    std::size_t readSamples = 0;
    for (int run = 0; run < 7; ++run) {
        std::istringstream in(bytes);
        Demo::SceneDescription d;
        const auto start = Clock::now();
        const Demo::SceneReadResult result = Demo::readScene(in, d);
        const double t = seconds(Clock::now() - start);
        if (!result.complete()) {
            std::fprintf(stderr, "scene_bench: %s\n", result.message.c_str());
            return 1;
        }
        readSamples = 0;
        for (const auto& track : d.tracks)
            readSamples += static_cast<const Core::SampledAnimationTrack&>(*track).keyCount();
        best = std::min(best, t);
    }
    if (readSamples != samples) {
        std::fprintf(stderr, "scene_bench: read %zu samples, wrote %zu\n", readSamples, samples);
        return 1;
    }
    std::printf("read:  %.1f ms best of 7 (%.0f MB/s, %.2f M samples/s)\n", best * 1e3, megabytes / best,
                static_cast<double>(samples) / best / 1e6);

    // One scene update's worth of evaluation per frame, over the whole timeline
    // (the key search is a binary search over the track's times).
    const int frames = animationSeconds * 60;
    float sink = 0.0f;
    const auto evalStart = Clock::now();
    for (int frame = 0; frame < frames; ++frame) {
        const float t = static_cast<float>(frame) / 60.0f;
        for (const Core::Animation& animation : scene.animations) {
            float value[15] = {};
            animation.evaluateAt(t, value);
            sink += value[0];
        }
    }
    const double evalTime = seconds(Clock::now() - evalStart);
    const double evaluations = static_cast<double>(frames) * static_cast<double>(scene.animations.size());
    std::printf("evaluate: %.0f ns per animation on average, %.3f ms per frame for %zu animations (checksum %g)\n",
                evalTime / evaluations * 1e9, evalTime / frames * 1e3, scene.animations.size(),
                static_cast<double>(sink));
    return 0;
}
