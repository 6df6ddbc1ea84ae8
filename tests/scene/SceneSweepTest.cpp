// The bad-input sweep of the scene reader: a scene file as the content tools
// write it (content/scenewriter: a sphere mesh, both material forms, nodes,
// cameras, lights, objects and animations of every kind), cut at every
// length, with single bytes changed, with every count and string length set
// to huge or negative values, and with more bytes after it. Whatever the
// damage, reading ends with a status and, unless complete, a message naming
// where it stopped; it never claims more bytes than it was given, every
// animation it made evaluates, and no allocation outgrows the bytes that
// arrived.
#include "content/scenewriter/SceneWriter.h"
#include "content/scenewriter/Shapes.h"
#include "scene/SceneFile.h"
#include "tests/support/AllocationWatch.h"
#include "tests/support/Damage.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace ORV::Demo {
namespace {

using Core::TrackValueKind;

SceneDescription makeScene()
{
    SceneDescription d;
    d.meshGroups.push_back({Content::sphereMeshPart(6, 8, 1.0f, 0), Content::sphereMeshPart(3, 4, 0.5f, 1)});
    d.meshGroups.push_back({Content::sphereMeshPart(2, 3, 2.0f, 0)});

    MaterialRecord toon;
    toon.name = "stone";
    toon.effectName = "cartoon.fx";
    toon.parameters = {{"RampTexture", "cartoon_d.jpg"}, {"Shininess", "24"}, {"Colour", "200 180 150"}};
    MaterialRecord multi;
    multi.name = "tower";
    multi.subMaterialCount = 2;
    multi.subMaterials = {0, 2};
    MaterialRecord hatch;
    hatch.name = "stair";
    hatch.effectName = "HatchCartoon.fx";
    hatch.parameters = {{"HatchTexture", "Hatch1.dds"}};
    d.materials = {toon, multi, hatch};

    std::vector<float> position, scalar, transforms;
    for (int i = 0; i < 30; ++i) {
        const float f = static_cast<float>(i) * 0.1f;
        position.insert(position.end(), {f, 2.0f - f, f * f});
        scalar.push_back(0.8f + 0.01f * f);
    }
    for (int i = 0; i < 10; ++i) {
        Core::Transform t;
        t.translation = {static_cast<float>(i), 1.0f, -2.0f};
        t.rotation = {0.0f, 0.38268343f, 0.0f, 0.92387953f};
        float floats[15];
        t.toFloats(floats);
        transforms.insert(transforms.end(), floats, floats + 15);
    }
    const auto node = Content::appendSampledAnimation(d, TrackValueKind::Transform, transforms);
    const auto fov = Content::appendSampledAnimation(d, TrackValueKind::Scalar, scalar);
    const auto where = Content::appendSampledAnimation(d, TrackValueKind::Vector3, position);
    d.nodes.push_back({"Tower", 0, 1, node, Core::Transform::identity()});
    d.nodes.push_back({"Stair", 1, 2, node, Core::Transform::identity()});
    d.cameras.push_back({"Camera01", node, fov});
    d.lights.push_back({where, where, fov});
    ObjectRecord sign;
    sign.name = "\"credits sign\"";
    sign.transform.translation = {0.0f, 3.0f, 1.0f};
    sign.properties = {{"text", "\"Marrowlight\""}, {"glow", "1"}};
    d.objects.push_back(sign);
    return d;
}

const std::string& sceneBytes()
{
    static const std::string bytes = [] {
        std::ostringstream out;
        std::string error;
        EXPECT_TRUE(Content::writeScene(out, makeScene(), error)) << error;
        return out.str();
    }();
    return bytes;
}

// The positions of every count and string length in a file laid out as the
// writer lays it out, found by walking the valid file.
std::vector<std::size_t> countFields(const std::string& bytes)
{
    std::vector<std::size_t> fields;
    std::size_t at = 8;
    const auto count = [&] {
        fields.push_back(at);
        const auto value = static_cast<std::int32_t>(ORV::Test::getLittle32(bytes, at));
        at += 4;
        return value;
    };
    const auto string = [&] { at += static_cast<std::size_t>(count()); };
    for (std::int32_t g = count(); g > 0; --g)
        for (std::int32_t p = count(); p > 0; --p) {
            at += 4; // material slot
            const std::int32_t vertices = count();
            const std::int32_t indices = count();
            at += 48 * static_cast<std::size_t>(vertices) + 4 * static_cast<std::size_t>(indices);
        }
    for (std::int32_t m = count(); m > 0; --m) {
        string();
        if (const std::int32_t subs = count(); subs != 0) {
            at += 4 * static_cast<std::size_t>(subs);
            continue;
        }
        string();
        for (std::int32_t k = count(); k > 0; --k) string(), string();
    }
    for (std::int32_t n = count(); n > 0; --n) string(), at += 12;
    for (std::int32_t c = count(); c > 0; --c) string(), at += 8;
    for (std::int32_t l = count(); l > 0; --l) at += 12;
    for (std::int32_t o = count(); o > 0; --o) {
        string();
        at += 28;
        for (std::int32_t k = count(); k > 0; --k) string(), string();
    }
    for (std::int32_t a = count(); a > 0; --a) {
        const std::int32_t kind = static_cast<std::int32_t>(ORV::Test::getLittle32(bytes, at));
        at += 4;
        const std::int32_t samples = count();
        at += 4 * static_cast<std::size_t>(samples) * (kind == 0 ? 1 : kind == 1 ? 3 : 15);
    }
    EXPECT_EQ(at, bytes.size()) << "the walk covers the whole file";
    return fields;
}

struct Outcome {
    SceneReadResult result;
    std::size_t records = 0; // records of every section kept
    std::size_t largestAllocation = 0;
};

// Reads bytes as a scene file and checks what the reader promises whatever
// the bytes.
Outcome readAndCheck(const std::string& bytes)
{
    Outcome outcome;
    SceneDescription description;
    std::istringstream in(bytes);
    {
        ORV::Test::AllocationWatch watch;
        outcome.result = readScene(in, description);
        outcome.largestAllocation = watch.largest();
    }
    outcome.records = description.meshGroups.size() + description.materials.size() + description.nodes.size()
                      + description.cameras.size() + description.lights.size() + description.objects.size()
                      + description.animations.size();
    const SceneReadResult& result = outcome.result;
    EXPECT_LE(result.bytesRead, bytes.size());
    EXPECT_LE(result.offset, result.bytesRead);
    EXPECT_EQ(result.complete(), result.message.empty());
    if (!result.complete()) {
        EXPECT_NE(result.message.find(sceneSectionName(result.section)), std::string::npos) << result.message;
    }
    if (result.status == SceneReadStatus::BadHeader) {
        EXPECT_EQ(outcome.records, 0u);
    }
    // Lists grow only with the bytes that arrive: twice them at most, or
    // one 64 KiB piece, and the reader's own small buffers.
    EXPECT_LE(outcome.largestAllocation, 2 * bytes.size() + (256u << 10));
    for (const Core::Animation& animation : description.animations)
        for (float t : {-1.0f, 0.0f, 0.35f, 1e9f, std::numeric_limits<float>::quiet_NaN()}) {
            float out[15] = {};
            animation.evaluateAt(t, out);
        }
    return outcome;
}

TEST(SceneSweep, TheUndamagedFileReadsInFull)
{
    const Outcome outcome = readAndCheck(sceneBytes());
    EXPECT_TRUE(outcome.result.complete()) << outcome.result.message;
    EXPECT_EQ(outcome.result.bytesRead, sceneBytes().size());
    EXPECT_EQ(outcome.records, 2u + 3u + 2u + 1u + 1u + 1u + 3u);
}

TEST(SceneSweep, EveryCutStopsWhereTheFileEnds)
{
    const std::string& bytes = sceneBytes();
    std::size_t previousRecords = 0;
    for (std::size_t length : ORV::Test::cutLengths(bytes.size(), bytes.size())) {
        SCOPED_TRACE("cut at " + std::to_string(length));
        const Outcome outcome = readAndCheck(bytes.substr(0, length));
        EXPECT_EQ(outcome.result.status, length < 8 ? SceneReadStatus::BadHeader : SceneReadStatus::Truncated);
        EXPECT_EQ(outcome.result.bytesRead, length);
        // A longer prefix never keeps fewer records.
        EXPECT_GE(outcome.records, previousRecords);
        previousRecords = outcome.records;
    }
}

TEST(SceneSweep, SingleByteChangesEndWithAStatus)
{
    std::mt19937 random(20261209);
    for (int round = 0; round < 400; ++round) {
        std::string damaged = sceneBytes();
        SCOPED_TRACE(ORV::Test::damageOneByte(damaged, random, round));
        readAndCheck(damaged);
    }
}

TEST(SceneSweep, HugeAndNegativeCountsAndLengthsStopOrMeanNone)
{
    const std::string& bytes = sceneBytes();
    const std::vector<std::size_t> fields = countFields(bytes);
    ASSERT_GT(fields.size(), 40u);
    for (std::size_t at : fields) {
        // More elements than bytes after the field: the data cannot be there.
        const auto pastTheEnd = static_cast<std::uint32_t>(bytes.size() - at);
        for (std::uint32_t value : {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, pastTheEnd}) {
            std::string damaged = bytes;
            ORV::Test::putLittle32(damaged, at, value);
            SCOPED_TRACE("field at " + std::to_string(at) + " = " + std::to_string(value));
            const Outcome outcome = readAndCheck(damaged);
            if (value == 0x7FFFFFFFu || value == pastTheEnd) {
                EXPECT_FALSE(outcome.result.complete());
            }
        }
    }
}

TEST(SceneSweep, BytesAfterTheFileAreNeverRead)
{
    const std::string& bytes = sceneBytes();
    for (const std::string& after : {ORV::Test::fillerBytes(std::size_t{4} << 20, 5, '\0'), bytes}) {
        const Outcome outcome = readAndCheck(bytes + after);
        EXPECT_TRUE(outcome.result.complete()) << outcome.result.message;
        EXPECT_EQ(outcome.result.bytesRead, bytes.size());
        EXPECT_LE(outcome.largestAllocation, 2 * bytes.size() + (256u << 10));
    }
}

} // namespace
} // namespace ORV::Demo
