#include "scene/SceneFile.h"

#include "core/ByteOrder.h"
#include "scene/SceneFormat.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <istream>
#include <type_traits>

namespace ORV::Demo {

namespace {

using Core::AnimationTrack;
using Core::SampledAnimationTrack;
using Core::TrackValueKind;

// Lists and strings are read this many bytes at a time, and their room grows
// only with the data that has actually arrived (at most to twice that, or one
// piece), so a count in a damaged file cannot size an allocation.
constexpr std::size_t readChunkBytes = std::size_t{64} << 10;

// Thrown inside the reader only, to unwind from the faulty field to readScene
// with the record being read dropped; it never leaves this file.
struct StopReading {};

class SceneReader {
public:
    SceneReader(std::istream& stream, SceneReadResult& result) : stream_(stream), result_(result) {}

    void enter(SceneSection section)
    {
        section_ = section;
        record_ = -1;
    }
    void setRecord(std::int64_t record) { record_ = record; }

    // Reads exactly size bytes or stops reading with Truncated. field names
    // what was being read, for the message.
    void readBytes(void* buffer, std::size_t size, const char* field)
    {
        const std::uint64_t start = position_;
        const std::size_t got = readSome(buffer, size);
        if (got != size) {
            fail(SceneReadStatus::Truncated, start,
                 std::string(field) + " needs " + std::to_string(size) + " bytes, the file ends after "
                     + std::to_string(got));
        }
    }

    std::int32_t readInt32(const char* field)
    {
        std::uint32_t raw;
        readBytes(&raw, 4, field);
        return static_cast<std::int32_t>(Core::fromLittleEndian(raw));
    }

    float readFloat(const char* field)
    {
        const std::uint32_t bits = static_cast<std::uint32_t>(readInt32(field));
        return std::bit_cast<float>(bits);
    }

    // A count of list entries; zero or negative means none.
    std::int32_t readRecordCount(const char* field) { return std::max(readInt32(field), 0); }

    // A count that sizes a block read in one piece; negative is a damaged file.
    std::int32_t readBlockCount(const char* field)
    {
        const std::uint64_t start = position_;
        const std::int32_t count = readInt32(field);
        if (count < 0)
            fail(SceneReadStatus::NegativeCount, start,
                 std::string(field) + " is negative (" + std::to_string(count) + ")");
        return count;
    }

    std::string readString(const char* field)
    {
        const std::uint32_t size = static_cast<std::uint32_t>(readInt32(field));
        std::string text;
        readGrowing(text, size, field);
        return text;
    }

    // count elements of T read as consecutive little-endian words; the list
    // grows chunk by chunk as the bytes arrive.
    template <typename T> void readArray(std::vector<T>& out, std::size_t count, const char* field)
    {
        readGrowing(out, count, field);
        Core::swapLittleEndianWords(out.data(), out.size());
    }

    [[noreturn]] void fail(SceneReadStatus status, std::uint64_t offset, const std::string& what)
    {
        result_.status = status;
        result_.section = section_;
        result_.record = record_;
        result_.offset = offset;
        std::string where = sceneSectionName(section_);
        if (record_ >= 0) where += " record " + std::to_string(record_);
        result_.message = std::string(sceneReadStatusName(status)) + ": " + where + ": " + what + " (at byte "
                          + std::to_string(offset) + ")";
        throw StopReading{};
    }

    std::uint64_t position() const { return position_; }

    // Reads up to size bytes and returns how many arrived (the header check).
    std::size_t readUpTo(void* buffer, std::size_t size) { return readSome(buffer, size); }

private:
    std::size_t readSome(void* buffer, std::size_t size)
    {
        std::size_t got = 0;
        try {
            stream_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
            got = static_cast<std::size_t>(stream_.gcount());
        } catch (const std::ios_base::failure&) {
            // A stream with exceptions enabled: its gcount still says how far it got.
            got = static_cast<std::size_t>(stream_.gcount());
        }
        position_ += got;
        return got;
    }

    template <typename Container> void readGrowing(Container& out, std::size_t count, const char* field)
    {
        using T = typename Container::value_type;
        const std::uint64_t start = position_;
        const std::size_t chunk = std::max<std::size_t>(1, readChunkBytes / sizeof(T));
        out.clear();
        std::size_t done = 0;
        while (done < count) {
            const std::size_t n = std::min(count - done, chunk);
            // Capacity doubles (bounded by what has arrived, as push_back's
            // would be) but never passes count, so a list read whole holds no
            // slack.
            if (out.capacity() < done + n) out.reserve(std::min(count, std::max(done + n, 2 * out.capacity())));
            out.resize(done + n);
            const std::size_t want = n * sizeof(T);
            const std::size_t got = readSome(reinterpret_cast<char*>(out.data() + done), want);
            if (got != want) {
                fail(SceneReadStatus::Truncated, start,
                     std::string(field) + " needs " + std::to_string(count * sizeof(T)) + " bytes, the file ends after "
                         + std::to_string(done * sizeof(T) + got));
            }
            done += n;
        }
    }

    std::istream& stream_;
    SceneReadResult& result_;
    std::uint64_t position_ = 0;
    SceneSection section_ = SceneSection::Header;
    std::int64_t record_ = -1;
};

MeshGroup readMeshGroup(SceneReader& in)
{
    MeshGroup group;
    const std::int32_t partCount = in.readRecordCount("part count");
    for (std::int32_t p = 0; p < partCount; ++p) {
        MeshPart part;
        part.materialSlot = in.readInt32("materialSlot");
        part.vertexCount = in.readBlockCount("vertexCount");
        part.indexCount = in.readBlockCount("indexCount");
        in.readArray(part.vertices, static_cast<std::size_t>(part.vertexCount), "vertices");
        in.readArray(part.indices, static_cast<std::size_t>(part.indexCount), "indices");
        group.push_back(std::move(part));
    }
    return group;
}

MaterialRecord readMaterial(SceneReader& in)
{
    MaterialRecord material;
    material.name = in.readString("name");
    material.subMaterialCount = in.readBlockCount("subMaterialCount");
    if (material.subMaterialCount != 0) {
        in.readArray(material.subMaterials, static_cast<std::size_t>(material.subMaterialCount), "subMaterials");
        return material;
    }
    material.effectName = in.readString("effectName");
    const std::int32_t parameterCount = in.readRecordCount("parameterCount");
    for (std::int32_t i = 0; i < parameterCount; ++i) {
        std::string key = in.readString("parameter key");
        std::string value = in.readString("parameter value");
        material.parameters.insert_or_assign(std::move(key), std::move(value)); // last one wins
    }
    return material;
}

NodeRecord readNode(SceneReader& in)
{
    NodeRecord node;
    node.name = in.readString("name");
    node.groupIndex = in.readInt32("groupIndex");
    node.materialIndex = in.readInt32("materialIndex");
    node.transformAnimation = in.readInt32("transformAnimation");
    return node;
}

CameraRecord readCamera(SceneReader& in)
{
    CameraRecord camera;
    camera.name = in.readString("name");
    camera.transformAnimation = in.readInt32("transformAnimation");
    camera.fieldOfViewAnimation = in.readInt32("fieldOfViewAnimation");
    return camera;
}

LightRecord readLight(SceneReader& in)
{
    LightRecord light;
    light.positionAnimation = in.readInt32("positionAnimation");
    light.colourAnimation = in.readInt32("colourAnimation");
    light.radiusAnimation = in.readInt32("radiusAnimation");
    return light;
}

ObjectRecord readObject(SceneReader& in)
{
    ObjectRecord object;
    object.name = removeQuotes(in.readString("name"));
    Core::Transform& pose = object.transform; // scale orientation, scale and sign stay identity
    pose.translation.x = in.readFloat("translation");
    pose.translation.y = in.readFloat("translation");
    pose.translation.z = in.readFloat("translation");
    pose.rotation.x = in.readFloat("rotation");
    pose.rotation.y = in.readFloat("rotation");
    pose.rotation.z = in.readFloat("rotation");
    pose.rotation.w = in.readFloat("rotation");
    const std::int32_t propertyCount = in.readRecordCount("propertyCount");
    for (std::int32_t i = 0; i < propertyCount; ++i) {
        std::string key = in.readString("property key"); // keys keep their quotes
        std::string value = removeQuotes(in.readString("property value"));
        object.properties.insert_or_assign(std::move(key), std::move(value));
    }
    return object;
}

// Reads one animation record into description. The track is owned by the
// description only once the record is whole.
void readAnimation(SceneReader& in, SceneDescription& description)
{
    const std::uint64_t start = in.position();
    const std::int32_t fileKind = in.readInt32("kind");
    const std::int32_t sampleCount = in.readRecordCount("sampleCount");

    TrackValueKind kind;
    switch (fileKind) {
    case 0: kind = TrackValueKind::Scalar; break;
    case 1: kind = TrackValueKind::Vector3; break;
    case 2: kind = TrackValueKind::Transform; break;
    default:
        // No track: evaluating it leaves the caller's value alone. Without
        // samples the record is complete and the next one follows; with samples
        // nobody knows where the next record starts.
        description.animations.emplace_back();
        if (sampleCount > 0) {
            in.fail(SceneReadStatus::UnknownAnimationKind, start,
                    "kind " + std::to_string(fileKind) + " with " + std::to_string(sampleCount)
                        + " samples of unknown size");
        }
        return;
    }

    // The samples are the track's packed values exactly as stored, so they are
    // read straight into its value list, which grows only as the data arrives.
    // Only then is the count known to be real and the time list sized by it.
    const std::size_t sampleFloats = Core::trackValueFloats(kind);
    const auto samples = static_cast<std::size_t>(sampleCount);
    std::vector<float> values;
    in.readArray(values, samples * sampleFloats, "samples");
    std::vector<float> times(samples);
    float t = 0.0f;
    for (float& time : times) {
        time = t;
        t = nextSceneSampleTime(t);
    }
    auto track = std::make_unique<SampledAnimationTrack>(kind, std::move(times), std::move(values));
    Core::Animation animation;
    animation.setTrack(track.get());
    animation.setMode(1);

    track->setMarker("start", 0.0f);
    track->setMarker("end", t); // one step past the last sample
    animation.setStartFromMarker("start");
    animation.setEndFromMarker("end");
    description.animations.push_back(animation);
    description.tracks.push_back(std::move(track));
}

// Reads the section count, then each record with read(), appending only
// records that were read whole.
template <typename Read> void readSection(SceneReader& in, SceneSection section, Read read)
{
    in.enter(section);
    const std::int32_t count = in.readRecordCount("count");
    for (std::int32_t i = 0; i < count; ++i) {
        in.setRecord(i);
        read();
    }
}

} // namespace

const char* sceneSectionName(SceneSection section)
{
    switch (section) {
    case SceneSection::Header: return "header";
    case SceneSection::MeshGroups: return "meshGroups";
    case SceneSection::Materials: return "materials";
    case SceneSection::Nodes: return "nodes";
    case SceneSection::Cameras: return "cameras";
    case SceneSection::Lights: return "lights";
    case SceneSection::Objects: return "objects";
    case SceneSection::Animations: return "animations";
    }
    return "unknown";
}

const char* sceneReadStatusName(SceneReadStatus status)
{
    switch (status) {
    case SceneReadStatus::Complete: return "complete";
    case SceneReadStatus::BadHeader: return "bad header";
    case SceneReadStatus::Truncated: return "truncated";
    case SceneReadStatus::NegativeCount: return "negative count";
    case SceneReadStatus::UnknownAnimationKind: return "unknown animation kind";
    }
    return "unknown";
}

std::string removeQuotes(std::string_view text)
{
    if (text.empty() || text.front() != '"') return std::string(text);
    if (text.size() <= 2) return {};
    return std::string(text.substr(1, text.size() - 2));
}

SceneReadResult readScene(std::istream& stream, SceneDescription& description)
{
    description = SceneDescription{};
    SceneReadResult result;
    SceneReader in(stream, result);
    try {
        in.enter(SceneSection::Header);
        char header[8] = {};
        const std::size_t got = in.readUpTo(header, sizeof header);
        if (got != sizeof header) {
            in.fail(SceneReadStatus::BadHeader, 0,
                    "the file ends after " + std::to_string(got) + " of the 8 header bytes");
        }
        std::uint32_t version;
        std::memcpy(&version, header + 4, 4);
        version = Core::fromLittleEndian(version);
        if (std::memcmp(header, sceneMagic, 4) != 0) in.fail(SceneReadStatus::BadHeader, 0, "magic is not \"OR3D\"");
        if (static_cast<std::int32_t>(version) != sceneVersion)
            in.fail(SceneReadStatus::BadHeader, 4,
                    "version " + std::to_string(static_cast<std::int32_t>(version)) + " is not "
                        + std::to_string(sceneVersion));

        readSection(in, SceneSection::MeshGroups, [&] { description.meshGroups.push_back(readMeshGroup(in)); });
        readSection(in, SceneSection::Materials, [&] { description.materials.push_back(readMaterial(in)); });
        readSection(in, SceneSection::Nodes, [&] { description.nodes.push_back(readNode(in)); });
        readSection(in, SceneSection::Cameras, [&] { description.cameras.push_back(readCamera(in)); });
        readSection(in, SceneSection::Lights, [&] { description.lights.push_back(readLight(in)); });
        readSection(in, SceneSection::Objects, [&] { description.objects.push_back(readObject(in)); });
        readSection(in, SceneSection::Animations, [&] { readAnimation(in, description); });
    } catch (const StopReading&) {
        // result holds the fault; the record being read was not appended.
    }
    result.bytesRead = in.position();
    return result;
}

} // namespace ORV::Demo
