#include "content/scenewriter/SceneWriter.h"

#include "core/ByteOrder.h"
#include "scene/SceneFormat.h"

#include <bit>
#include <cstring>
#include <ostream>
#include <vector>

namespace ORV::Content {

namespace {

using Core::TrackValueKind;

// The file's animation kind for a track kind, or -1 when the format has none.
std::int32_t fileKindOf(TrackValueKind kind)
{
    switch (kind) {
    case TrackValueKind::Scalar: return 0;
    case TrackValueKind::Vector3: return 1;
    case TrackValueKind::Transform: return 2;
    default: return -1;
    }
}

// Undoes the reader's quote removal: a string that begins with '"' gets an
// extra pair around it; anything else is stored as it is.
std::string quoteForFile(const std::string& text)
{
    if (text.empty() || text.front() != '"') return text;
    return '"' + text + '"';
}

std::string where(const char* section, std::size_t index)
{
    return std::string(section) + " record " + std::to_string(index) + ": ";
}

} // namespace

float sceneSampleTime(std::size_t index)
{
    float t = 0.0f;
    for (std::size_t i = 0; i < index; ++i) t = Demo::nextSceneSampleTime(t);
    return t;
}

std::int32_t appendSampledAnimation(Demo::SceneDescription& description, TrackValueKind kind,
                                    std::span<const float> samples)
{
    const std::size_t floats = Core::trackValueFloats(kind);
    const std::size_t count = floats == 0 ? 0 : samples.size() / floats;
    std::vector<float> times(count);
    float t = 0.0f;
    for (float& time : times) {
        time = t;
        t = Demo::nextSceneSampleTime(t);
    }
    auto track = std::make_unique<Core::SampledAnimationTrack>(
        kind, std::move(times), std::vector<float>(samples.begin(), samples.begin() + count * floats));
    track->setMarker("start", 0.0f);
    track->setMarker("end", t);
    Core::Animation animation;
    animation.setTrack(track.get());
    animation.setMode(1);
    animation.setStartFromMarker("start");
    animation.setEndFromMarker("end");
    description.animations.push_back(animation);
    description.tracks.push_back(std::move(track));
    return static_cast<std::int32_t>(description.animations.size() - 1);
}

std::string checkScene(const Demo::SceneDescription& d)
{
    std::string problems;
    for (std::size_t g = 0; g < d.meshGroups.size(); ++g) {
        for (std::size_t p = 0; p < d.meshGroups[g].size(); ++p) {
            const Demo::MeshPart& part = d.meshGroups[g][p];
            if (part.vertexCount < 0 || static_cast<std::size_t>(part.vertexCount) != part.vertices.size())
                problems += where("meshGroups", g) + "part " + std::to_string(p)
                            + ": vertexCount does not match the vertex list\n";
            if (part.indexCount < 0 || static_cast<std::size_t>(part.indexCount) != part.indices.size())
                problems += where("meshGroups", g) + "part " + std::to_string(p)
                            + ": indexCount does not match the index list\n";
        }
    }
    for (std::size_t m = 0; m < d.materials.size(); ++m) {
        const Demo::MaterialRecord& material = d.materials[m];
        if (material.subMaterialCount < 0
            || static_cast<std::size_t>(material.subMaterialCount) != material.subMaterials.size())
            problems += where("materials", m) + "subMaterialCount does not match the sub-material list\n";
        if (material.subMaterialCount != 0 && (!material.effectName.empty() || !material.parameters.empty()))
            problems += where("materials", m) + "a multi-material cannot have an effect or parameters\n";
    }
    for (std::size_t a = 0; a < d.animations.size(); ++a) {
        const Core::AnimationTrack* track = d.animations[a].track();
        if (!track) continue;
        const auto* sampled = dynamic_cast<const Core::SampledAnimationTrack*>(track);
        if (!sampled || fileKindOf(sampled->getValueKind()) < 0) {
            problems += where("animations", a) + "only sampled Scalar, Vector3 and Transform tracks can be stored\n";
            continue;
        }
        float expected = 0.0f;
        for (const float time : sampled->keyTimes()) {
            if (time != expected) {
                problems += where("animations", a) + "key at " + std::to_string(time) + " is not at the sample time "
                            + std::to_string(expected) + "\n";
                break;
            }
            expected = Demo::nextSceneSampleTime(expected);
        }
    }
    return problems;
}

bool writeScene(std::ostream& out, const Demo::SceneDescription& d, std::string& error)
{
    error = checkScene(d);
    if (!error.empty()) return false;

    SceneWriter writer(out);
    writer.writeHeader();
    writer.writeInt32(static_cast<std::int32_t>(d.meshGroups.size()));
    for (const auto& group : d.meshGroups) writer.writeMeshGroup(group);
    writer.writeInt32(static_cast<std::int32_t>(d.materials.size()));
    for (const auto& material : d.materials) writer.writeMaterial(material);
    writer.writeInt32(static_cast<std::int32_t>(d.nodes.size()));
    for (const auto& node : d.nodes) writer.writeNode(node);
    writer.writeInt32(static_cast<std::int32_t>(d.cameras.size()));
    for (const auto& camera : d.cameras) writer.writeCamera(camera);
    writer.writeInt32(static_cast<std::int32_t>(d.lights.size()));
    for (const auto& light : d.lights) writer.writeLight(light);
    writer.writeInt32(static_cast<std::int32_t>(d.objects.size()));
    for (const auto& object : d.objects) writer.writeObject(object);
    writer.writeInt32(static_cast<std::int32_t>(d.animations.size()));
    for (const auto& animation : d.animations) writer.writeAnimation(animation);
    if (!writer.good()) {
        error = "the output stream failed";
        return false;
    }
    return true;
}

void SceneWriter::writeBytes(const void* data, std::size_t size)
{
    out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void SceneWriter::writeInt32(std::int32_t value)
{
    const std::uint32_t stored = Core::fromLittleEndian(static_cast<std::uint32_t>(value));
    writeBytes(&stored, 4);
}

void SceneWriter::writeFloat(float value)
{
    writeInt32(std::bit_cast<std::int32_t>(value));
}

void SceneWriter::writeString(std::string_view text)
{
    writeInt32(static_cast<std::int32_t>(static_cast<std::uint32_t>(text.size())));
    writeBytes(text.data(), text.size());
}

void SceneWriter::writeHeader()
{
    writeBytes(Demo::sceneMagic, 4);
    writeInt32(Demo::sceneVersion);
}

namespace {

// Writes trivially copyable records made of 32-bit words as little-endian words.
template <typename T> void writeWords(SceneWriter& writer, const std::vector<T>& list)
{
    static_assert(sizeof(T) % 4 == 0);
    if constexpr (std::endian::native == std::endian::little) {
        writer.writeBytes(list.data(), list.size() * sizeof(T));
    } else {
        const auto* bytes = reinterpret_cast<const unsigned char*>(list.data());
        for (std::size_t i = 0; i < list.size() * sizeof(T); i += 4) {
            std::int32_t word;
            std::memcpy(&word, bytes + i, 4);
            writer.writeInt32(word);
        }
    }
}

} // namespace

void SceneWriter::writeMeshGroup(const Demo::MeshGroup& group)
{
    writeInt32(static_cast<std::int32_t>(group.size()));
    for (const Demo::MeshPart& part : group) {
        writeInt32(part.materialSlot);
        writeInt32(part.vertexCount);
        writeInt32(part.indexCount);
        writeWords(*this, part.vertices);
        writeWords(*this, part.indices);
    }
}

void SceneWriter::writeMaterial(const Demo::MaterialRecord& material)
{
    writeString(material.name);
    writeInt32(material.subMaterialCount);
    if (material.subMaterialCount != 0) {
        writeWords(*this, material.subMaterials);
        return;
    }
    writeString(material.effectName);
    writeInt32(static_cast<std::int32_t>(material.parameters.size()));
    for (const auto& [key, value] : material.parameters) {
        writeString(key);
        writeString(value);
    }
}

void SceneWriter::writeNode(const Demo::NodeRecord& node)
{
    writeString(node.name);
    writeInt32(node.groupIndex);
    writeInt32(node.materialIndex);
    writeInt32(node.transformAnimation);
}

void SceneWriter::writeCamera(const Demo::CameraRecord& camera)
{
    writeString(camera.name);
    writeInt32(camera.transformAnimation);
    writeInt32(camera.fieldOfViewAnimation);
}

void SceneWriter::writeLight(const Demo::LightRecord& light)
{
    writeInt32(light.positionAnimation);
    writeInt32(light.colourAnimation);
    writeInt32(light.radiusAnimation);
}

void SceneWriter::writeObject(const Demo::ObjectRecord& object)
{
    writeString(quoteForFile(object.name));
    const Core::Transform& pose = object.transform;
    for (float f : {pose.translation.x, pose.translation.y, pose.translation.z, pose.rotation.x, pose.rotation.y,
                    pose.rotation.z, pose.rotation.w})
        writeFloat(f);
    writeInt32(static_cast<std::int32_t>(object.properties.size()));
    for (const auto& [key, value] : object.properties) {
        writeString(key);
        writeString(quoteForFile(value));
    }
}

void SceneWriter::writeAnimation(const Core::Animation& animation)
{
    const auto* track = dynamic_cast<const Core::SampledAnimationTrack*>(animation.track());
    const std::int32_t kind = track ? fileKindOf(track->getValueKind()) : -1;
    if (kind < 0) {
        writeInt32(-1);
        writeInt32(0);
        return;
    }
    writeInt32(kind);
    writeInt32(static_cast<std::int32_t>(track->keyCount()));
    for (const float value : track->keyValues()) writeFloat(value);
}

bool SceneWriter::good() const
{
    return out_.good();
}

} // namespace ORV::Content
