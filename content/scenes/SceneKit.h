// Assembles a SceneDescription from meshes, materials and functions of scene
// time: every animated value is sampled at the scene file's sample times
// (sceneSampleTime(i), ten a second from 0) until the scene's length is
// covered, so the player's linear blend between samples retraces the function.
#pragma once

#include "core/Math.h"
#include "core/Transform.h"
#include "scene/SceneFile.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace ORV::Content {

using TransformAt = std::function<Core::Transform(float)>;
using Vector3At = std::function<Core::Vector3(float)>;
using ScalarAt = std::function<float(float)>;

// Number of samples that cover scene times [0, length]: the last one lies at or
// just past length. length >= 0.
std::size_t samplesCovering(float length);

// Appends an animation of f sampled at the file's times over [0, length]
// and returns its index. Consecutive rotations are kept in the same
// hemisphere, so the player's blend turns the short way between samples.
std::int32_t sampleTransform(Demo::SceneDescription& d, float length, const TransformAt& f);
std::int32_t sampleVector3(Demo::SceneDescription& d, float length, const Vector3At& f);
std::int32_t sampleScalar(Demo::SceneDescription& d, float length, const ScalarAt& f);

// Where a scene camera stands and looks at one moment; fov is the horizontal
// field of view in radians.
struct CameraShot {
    Core::Vector3 eye;
    Core::Vector3 target;
    float fov = 1.0f;
    Core::Vector3 up{0.0f, 1.0f, 0.0f};
};

class SceneBuilder {
public:
    // length: the scene time (seconds) every track must cover.
    explicit SceneBuilder(float length);

    float length() const { return length_; }

    // A mesh group of one part (or several); returns its index.
    std::int32_t mesh(Demo::MeshPart part);
    // A material, shared by name: a second record with a name already added
    // must be the same record, and gives the same index.
    std::int32_t material(const Demo::MaterialRecord& record);

    void node(const std::string& name, std::int32_t mesh, std::int32_t material, const TransformAt& pose);
    void node(const std::string& name, std::int32_t mesh, std::int32_t material, const Core::Transform& pose);

    // colour in light units (1 = full); radius in world units.
    void light(const Vector3At& position, const Vector3At& colour, const ScalarAt& radius);

    void camera(const std::string& name, const std::function<CameraShot(float)>& shot);

    // The finished description; the builder is left empty.
    Demo::SceneDescription finish();

private:
    float length_;
    Demo::SceneDescription d_;
    std::map<std::string, std::int32_t> materialIndex_;
};

} // namespace ORV::Content
