// Writes a SceneDescription as a scene file (".orv3d") that reads back to an
// equal description. For the content generator, tests and benchmarks; the demo
// never writes scene files. The low-level field writers also let tests build
// damaged files on purpose.
#pragma once

#include "scene/Animation.h"
#include "scene/SceneFile.h"

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace ORV::Content {

// The time of sample i as the reader assigns it: i steps of
// Demo::nextSceneSampleTime from 0 (0.1 added i times in single precision,
// for all but enormous tracks). Tracks that go into a file must have their
// keys exactly there.
float sceneSampleTime(std::size_t index);

// Appends an animation like the reader makes it (a new track owned by the
// description, keys at sceneSampleTime(i), markers "start" and "end", mode 1)
// from flat samples: trackValueFloats(kind) floats per sample. kind must be
// Scalar, Vector3 or Transform. Returns the animation's index.
std::int32_t appendSampledAnimation(Demo::SceneDescription& description, Core::TrackValueKind kind,
                                    std::span<const float> samples);

// What the file format cannot hold exactly, as one message per line naming the
// section and record; empty when the description can be written. Checked:
// vertex, index and sub-material counts that disagree with their lists (or are
// negative), multi-materials with an effect or parameters, tracks that are not
// sampled tracks of the Scalar, Vector3 or Transform kind, and keys away from
// sceneSampleTime. Not stored and not checked: node Transforms, object scale
// orientation, scale and sign, track markers and the Animation's start, end,
// time and mode (the reader derives or resets them).
std::string checkScene(const Demo::SceneDescription& description);

// Writes the whole file when checkScene finds nothing; otherwise writes nothing
// and returns false with the message in error. Also false when the stream fails.
// Object names and property values that begin with '"' are written inside an
// extra pair of quotes, so that the reader's quote removal gives them back. An
// animation without a track is written as kind -1 with no samples, which reads
// back as an animation without a track.
bool writeScene(std::ostream& out, const Demo::SceneDescription& description, std::string& error);

// Field and record writers in the file's encoding (little-endian), without
// checks: a test can write counts that do not match what follows.
class SceneWriter {
public:
    explicit SceneWriter(std::ostream& out) : out_(out) {}

    void writeBytes(const void* data, std::size_t size);
    void writeInt32(std::int32_t value);
    void writeFloat(float value);
    void writeString(std::string_view text); // uint32 byte count, then the bytes
    void writeHeader(); // "OR3D" and version 170

    void writeMeshGroup(const Demo::MeshGroup& group);
    void writeMaterial(const Demo::MaterialRecord& material);
    void writeNode(const Demo::NodeRecord& node);
    void writeCamera(const Demo::CameraRecord& camera);
    void writeLight(const Demo::LightRecord& light);
    void writeObject(const Demo::ObjectRecord& object);
    void writeAnimation(const Core::Animation& animation);

    bool good() const;

private:
    std::ostream& out_;
};

} // namespace ORV::Content
