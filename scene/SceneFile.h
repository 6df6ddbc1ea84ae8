// Reads a scene file (".orv3d": little-endian fixed-width fields and counted
// lists) into a SceneDescription: plain lists in file order, with the indices
// between records left as numbers and not range-checked. Turning the
// description into a drawable scene is scene assembly's job; writing files is
// the content tools' (content/scenewriter).
#pragma once

#include "core/Math.h"
#include "core/Transform.h"
#include "scene/Animation.h"

#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ORV::Demo {

// One vertex as stored in the file (48 bytes); scene assembly hands it to the
// model as a ModelVertex of the same fields.
struct MeshVertex {
    Core::Vector3 position;
    Core::Vector3 normal;
    float u = 0.0f, v = 0.0f; // texture coordinate
    Core::Vector4 tangent; // xyz and the handedness in w
    friend bool operator==(const MeshVertex&, const MeshVertex&) = default;
};
static_assert(sizeof(MeshVertex) == 48, "MeshVertex is read from files as 48 packed bytes");

struct MeshPart {
    std::int32_t materialSlot = 0; // sub-material of the node's material that draws this part
    std::int32_t vertexCount = 0; // == vertices.size()
    std::int32_t indexCount = 0; // == indices.size(); three per triangle
    std::vector<MeshVertex> vertices;
    std::vector<std::uint32_t> indices; // not checked against vertexCount
    friend bool operator==(const MeshPart&, const MeshPart&) = default;
};

using MeshGroup = std::vector<MeshPart>;

struct NodeRecord {
    std::string name;
    std::int32_t groupIndex = 0; // into meshGroups
    std::int32_t materialIndex = 0; // into materials
    std::int32_t transformAnimation = 0; // into animations
    Core::Transform transform; // not in the file: the identity until scene update
    friend bool operator==(const NodeRecord&, const NodeRecord&) = default;
};

// A multi-material (subMaterialCount != 0) has sub-materials and no effect or
// parameters; a plain material has an effect name and parameters and no list.
struct MaterialRecord {
    std::string name;
    std::int32_t subMaterialCount = 0;
    std::vector<std::int32_t> subMaterials;
    std::string effectName; // path of an effect file
    std::map<std::string, std::string> parameters; // parameter name -> value text, unchanged
    friend bool operator==(const MaterialRecord&, const MaterialRecord&) = default;
};

struct LightRecord {
    std::int32_t positionAnimation = 0; // Vector3 animation
    std::int32_t colourAnimation = 0; // Vector3 animation
    std::int32_t radiusAnimation = 0; // Scalar animation
    friend bool operator==(const LightRecord&, const LightRecord&) = default;
};

struct ObjectRecord {
    std::string name; // quotes removed
    Core::Transform transform; // translation and rotation from the file, rest identity
    std::map<std::string, std::string> properties; // values with quotes removed, keys unchanged
    friend bool operator==(const ObjectRecord&, const ObjectRecord&) = default;
};

struct CameraRecord {
    std::string name;
    std::int32_t transformAnimation = 0; // Transform animation
    std::int32_t fieldOfViewAnimation = 0; // Scalar animation, radians
    friend bool operator==(const CameraRecord&, const CameraRecord&) = default;
};

// Everything one scene file holds. Move-only: it owns the tracks its
// animations point to. Scene assembly copies the animations and takes over
// `tracks` (move the vector) so that the tracks live as long as the copies.
struct SceneDescription {
    std::vector<MeshGroup> meshGroups;
    std::vector<NodeRecord> nodes;
    std::vector<MaterialRecord> materials;
    std::vector<LightRecord> lights;
    std::vector<ObjectRecord> objects;
    std::vector<CameraRecord> cameras;
    std::vector<Core::Animation> animations; // file order; an unknown kind has no track
    std::vector<std::unique_ptr<Core::AnimationTrack>> tracks; // owns what animations point to
};

// The parts of a file, in file order.
enum class SceneSection { Header, MeshGroups, Materials, Nodes, Cameras, Lights, Objects, Animations };
// "header", "meshGroups", "materials", "nodes", "cameras", "lights", "objects", "animations".
const char* sceneSectionName(SceneSection section);

enum class SceneReadStatus {
    Complete, // all seven sections were read
    BadHeader, // short header, wrong magic or version: the description stays empty
    Truncated, // the file ended inside a record
    NegativeCount, // a vertex, index or sub-material count below zero
    UnknownAnimationKind, // a kind other than 0-2 with samples of unknown size
};
const char* sceneReadStatusName(SceneReadStatus status);

// Where and why reading stopped. Reading always stops at the first fault and
// keeps every record that was read whole before it; the record being read is
// dropped. Nothing is logged: callers decide whether to report.
struct SceneReadResult {
    SceneReadStatus status = SceneReadStatus::Complete;
    SceneSection section = SceneSection::Header; // section of the fault
    std::int64_t record = -1; // index of the faulty record in its section; -1: the section count
    std::uint64_t offset = 0; // byte offset (from the first byte of the file) of the faulty field
    std::uint64_t bytesRead = 0; // bytes consumed from the stream
    std::string message; // one line naming the section, record, field and offset

    bool complete() const { return status == SceneReadStatus::Complete; }
};

// Reads one scene file from the stream's current position into description,
// which is cleared first. Only reads exactly n bytes at a time: never seeks,
// never closes the stream, and reads nothing after the animations section.
// Hostile counts cannot make it allocate much more than the bytes the stream
// actually delivers (lists grow as their data arrives).
//
// An animation of a kind other than 0-2 is kept without a track (evaluating it
// leaves the caller's value alone). With a sample count of 0 or less it has no
// sample bytes and reading goes on; with samples, their size is unknown and
// reading stops there with UnknownAnimationKind.
SceneReadResult readScene(std::istream& stream, SceneDescription& description);

// Quote removal of object names and property values: a string that begins with
// '"' loses its first and last bytes (whatever the last one is); one or two
// bytes become empty. Other strings are returned unchanged.
std::string removeQuotes(std::string_view text);

} // namespace ORV::Demo
