#include "content/scenes/SceneKit.h"

#include "content/scenes/Motion.h"
#include "content/scenewriter/SceneWriter.h"
#include "scene/SceneFormat.h"

#include <cassert>
#include <vector>

namespace ORV::Content {

namespace {

// Calls sample(t) at each sample time covering [0, length], in order.
template <typename F> void forEachSampleTime(float length, F&& sample)
{
    assert(length >= 0.0f);
    float t = 0.0f;
    for (std::size_t i = 0, n = samplesCovering(length); i < n; ++i) {
        sample(t);
        t = Demo::nextSceneSampleTime(t);
    }
}

} // namespace

std::size_t samplesCovering(float length)
{
    std::size_t n = 1;
    for (float t = 0.0f; t < length; t = Demo::nextSceneSampleTime(t)) ++n;
    return n;
}

std::int32_t sampleTransform(Demo::SceneDescription& d, float length, const TransformAt& f)
{
    std::vector<float> values;
    Core::Quaternion previous;
    forEachSampleTime(length, [&](float t) {
        Core::Transform pose = f(t);
        Core::Quaternion& q = pose.rotation;
        if (q.x * previous.x + q.y * previous.y + q.z * previous.z + q.w * previous.w < 0.0f)
            q = {-q.x, -q.y, -q.z, -q.w};
        previous = q;
        float flat[Core::Transform::floatCount];
        pose.toFloats(flat);
        values.insert(values.end(), flat, flat + Core::Transform::floatCount);
    });
    return appendSampledAnimation(d, Core::TrackValueKind::Transform, values);
}

std::int32_t sampleVector3(Demo::SceneDescription& d, float length, const Vector3At& f)
{
    std::vector<float> values;
    forEachSampleTime(length, [&](float t) {
        const Core::Vector3 v = f(t);
        values.insert(values.end(), {v.x, v.y, v.z});
    });
    return appendSampledAnimation(d, Core::TrackValueKind::Vector3, values);
}

std::int32_t sampleScalar(Demo::SceneDescription& d, float length, const ScalarAt& f)
{
    std::vector<float> values;
    forEachSampleTime(length, [&](float t) { values.push_back(f(t)); });
    return appendSampledAnimation(d, Core::TrackValueKind::Scalar, values);
}

SceneBuilder::SceneBuilder(float length) : length_(length) {}

std::int32_t SceneBuilder::mesh(Demo::MeshPart part)
{
    d_.meshGroups.push_back({std::move(part)});
    return std::int32_t(d_.meshGroups.size() - 1);
}

std::int32_t SceneBuilder::material(const Demo::MaterialRecord& record)
{
    const auto found = materialIndex_.find(record.name);
    if (found != materialIndex_.end()) {
        assert(d_.materials[std::size_t(found->second)] == record && "two materials share a name");
        return found->second;
    }
    d_.materials.push_back(record);
    const auto index = std::int32_t(d_.materials.size() - 1);
    materialIndex_.emplace(record.name, index);
    return index;
}

void SceneBuilder::node(const std::string& name, std::int32_t mesh, std::int32_t material, const TransformAt& pose)
{
    assert(mesh >= 0 && std::size_t(mesh) < d_.meshGroups.size());
    assert(material >= 0 && std::size_t(material) < d_.materials.size());
    d_.nodes.push_back({name, mesh, material, sampleTransform(d_, length_, pose), {}});
}

void SceneBuilder::node(const std::string& name, std::int32_t mesh, std::int32_t material, const Core::Transform& still)
{
    // One sample: a track holds its only key for all time.
    assert(mesh >= 0 && std::size_t(mesh) < d_.meshGroups.size());
    assert(material >= 0 && std::size_t(material) < d_.materials.size());
    d_.nodes.push_back({name, mesh, material, sampleTransform(d_, 0.0f, [&](float) { return still; }), {}});
}

void SceneBuilder::light(const Vector3At& position, const Vector3At& colour, const ScalarAt& radius)
{
    d_.lights.push_back(
        {sampleVector3(d_, length_, position), sampleVector3(d_, length_, colour), sampleScalar(d_, length_, radius)});
}

void SceneBuilder::camera(const std::string& name, const std::function<CameraShot(float)>& shot)
{
    const std::int32_t transform = sampleTransform(d_, length_, [&](float t) {
        const CameraShot s = shot(t);
        return lookAtPose(s.eye, s.target, s.up);
    });
    const std::int32_t fov = sampleScalar(d_, length_, [&](float t) { return shot(t).fov; });
    d_.cameras.push_back({name, transform, fov});
}

Demo::SceneDescription SceneBuilder::finish()
{
    materialIndex_.clear();
    return std::move(d_);
}

} // namespace ORV::Content
