// Writes small scene files of every shape the reader knows into a folder, with
// the content tools' writer: the scene fuzzer's starting corpus. Each stays
// under libFuzzer's default input length of 4096 bytes.
#include "content/scenewriter/SceneWriter.h"
#include "content/scenewriter/Shapes.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using namespace ORV;

namespace {

bool write(const std::string& folder, const std::string& name, const Demo::SceneDescription& scene)
{
    std::ofstream out(folder + "/" + name, std::ios::binary);
    std::string error;
    if (!Content::writeScene(out, scene, error)) {
        std::fprintf(stderr, "scene_fuzz_seeds: %s: %s\n", name.c_str(), error.c_str());
        return false;
    }
    return bool(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: scene_fuzz_seeds FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = write(folder, "empty.orv3d", Demo::SceneDescription{});

    // A mesh in two parts and a plain and a multi-material naming each other.
    Demo::SceneDescription meshes;
    meshes.meshGroups.push_back({Content::sphereMeshPart(2, 3, 1.0f, 0), Content::sphereMeshPart(2, 4, 0.5f, 1)});
    Demo::MaterialRecord plain;
    plain.name = "stone";
    plain.effectName = "cartoon.fx";
    plain.parameters = {{"rampTex", "cartoon_d.jpg"}, {"shininess", "24"}, {"diffuseColor", "200 180 150"}};
    Demo::MaterialRecord multi;
    multi.name = "tower";
    multi.subMaterialCount = 2;
    multi.subMaterials = {0, 0};
    meshes.materials = {plain, multi};
    meshes.nodes.push_back({"Tower", 0, 1, -1, Core::Transform::identity()});
    ok = ok && write(folder, "meshes.orv3d", meshes);

    // Every kind of animation, with the cameras, lights, nodes and objects that use them.
    Demo::SceneDescription animated;
    const std::vector<float> scalars{0.8f, 0.9f, 1.0f};
    const std::vector<float> vectors{0, 1, 2, 3, 4, 5};
    std::vector<float> transforms;
    for (int i = 0; i < 2; ++i) {
        Core::Transform t;
        t.translation = {static_cast<float>(i), 1.0f, -2.0f};
        float floats[15];
        t.toFloats(floats);
        transforms.insert(transforms.end(), floats, floats + 15);
    }
    const auto pose = Content::appendSampledAnimation(animated, Core::TrackValueKind::Transform, transforms);
    const auto fov = Content::appendSampledAnimation(animated, Core::TrackValueKind::Scalar, scalars);
    const auto where = Content::appendSampledAnimation(animated, Core::TrackValueKind::Vector3, vectors);
    animated.animations.emplace_back(); // no track
    animated.nodes.push_back({"Mote", 0, 0, pose, Core::Transform::identity()});
    animated.cameras.push_back({"Camera01", pose, fov});
    animated.lights.push_back({where, where, fov});
    Demo::ObjectRecord sign;
    sign.name = "\"credits sign\"";
    sign.transform.translation = {0.0f, 3.0f, 1.0f};
    sign.properties = {{"text", "\"Marrowlight\""}, {"glow", "1"}};
    animated.objects.push_back(sign);
    ok = ok && write(folder, "animated.orv3d", animated);
    return ok ? 0 : 1;
}
