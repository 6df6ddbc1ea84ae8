// The bad-input sweep of the archive reader: an archive as the content
// generator writes it (content/zipwriter), cut at every length, with single
// bytes changed, with size, count and offset fields set to huge values, with
// megabytes of filler before or after it, and nested or with its directory
// twice. Whatever the damage, the reader opens it or says why not, every
// member it lists either reads back at exactly its declared size (and then,
// when its name and CRC-32 are the original's, with exactly the original
// bytes) or gives nothing, and no single allocation grows past what the
// file's bytes can account for.
#include "resources/detail/ZipArchive.h"

#include "content/zipwriter/ZipWriter.h"
#include "tests/support/AllocationWatch.h"
#include "tests/support/Damage.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>

namespace ORV::Demo {
namespace {

using Content::ZipMethod;
using Content::ZipWriter;

constexpr std::size_t MiB = std::size_t{1} << 20;

// The members of the swept archive, by key, as the demo's archive holds such
// things: a scene-like binary, text, an already compressed image stored, an
// empty file and a highly compressible one.
struct Original {
    std::map<std::string, std::string> members; // key -> bytes
    std::map<std::string, std::uint32_t> crcs; // key -> CRC-32
    std::string archive;
};

const Original& original()
{
    static const Original made = [] {
        Original o;
        std::mt19937 random(7);
        std::string scene = "OR3D";
        for (int i = 0; i < 3000; ++i) scene += static_cast<char>(i % 7 == 0 ? random() : i / 13);
        std::string text;
        for (int i = 0; i < 150; ++i) text += "float4 value" + std::to_string(i * 31 % 97) + " : COLOR;\n";
        std::string jpeg = "\xFF\xD8\xFF\xE0";
        for (int i = 0; i < 1500; ++i) jpeg += static_cast<char>(random());
        const std::string flat(20000, 'x');
        const struct {
            const char* name;
            const std::string& bytes;
            ZipMethod method;
        } entries[] = {{"Scenes/Intro1.orv3d", scene, ZipMethod::Deflated},
                       {"cartoon.fx", text, ZipMethod::Deflated},
                       {"light3.jpg", jpeg, ZipMethod::Stored},
                       {"empty.txt", std::string(), ZipMethod::Stored},
                       {"grey33.raw", flat, ZipMethod::Deflated}};
        ZipWriter writer;
        for (const auto& entry : entries) {
            writer.add(entry.name, entry.bytes, entry.method);
            const std::string key = ZipArchive::keyForName(entry.name);
            o.members[key] = entry.bytes;
            o.crcs[key] = Content::zipCrc32(entry.bytes);
        }
        o.archive = writer.finish();
        return o;
    }();
    return made;
}

// Where the fields of the writer's archive lie: it writes no comments, extra
// fields or ZIP64 records, so the end record is the last 22 bytes.
struct Layout {
    std::size_t endRecord = 0;
    std::vector<std::size_t> centralHeaders, localHeaders;
};

Layout layoutOf(const std::string& archive)
{
    Layout layout;
    layout.endRecord = archive.size() - 22;
    EXPECT_EQ(ORV::Test::getLittle32(archive, layout.endRecord), 0x06054b50u);
    std::size_t at = ORV::Test::getLittle32(archive, layout.endRecord + 16);
    for (int i = 0; i < ORV::Test::getLittle16(archive, layout.endRecord + 10); ++i) {
        EXPECT_EQ(ORV::Test::getLittle32(archive, at), 0x02014b50u);
        layout.centralHeaders.push_back(at);
        layout.localHeaders.push_back(ORV::Test::getLittle32(archive, at + 42));
        at += 46 + ORV::Test::getLittle16(archive, at + 28) + ORV::Test::getLittle16(archive, at + 30)
              + ORV::Test::getLittle16(archive, at + 32);
    }
    return layout;
}

// What one damaged archive gave.
struct Outcome {
    bool opened = false;
    std::size_t listed = 0; // members in the directory
    std::size_t read = 0; // members that read
    std::size_t readAsOriginal = 0; // of those, members equal to the original's
    std::size_t padded = 0; // of those, deflate streams that ended early, padded with zeros
    std::string fault;
    std::size_t largestAllocation = 0;
};

// Opens bytes as an archive file and reads every member it lists, checking
// the reader's promises for each. The file is written below dir.
Outcome openAndReadAll(const ORV::Test::TempDir& dir, const std::string& bytes)
{
    const auto path = dir.write("swept.zip", bytes);
    Outcome outcome;
    ORV::Test::AllocationWatch watch;
    ZipArchive archive;
    outcome.opened = archive.open(path.string());
    outcome.fault = archive.directoryFault();
    if (!outcome.opened) {
        EXPECT_TRUE(archive.entries().empty());
        EXPECT_FALSE(outcome.fault.empty()) << "an archive that does not open says why";
    }
    outcome.listed = archive.entries().size();
    for (const auto& [key, entry] : archive.entries()) {
        const auto member = archive.readMember(key);
        if (!member) continue;
        ++outcome.read;
        EXPECT_EQ(member->size(), entry.uncompressedSize) << key;
        EXPECT_LE(member->size(), ZipArchive::maxMemberSize) << key;
        const auto found = original().members.find(key);
        if (found == original().members.end() || entry.crc != original().crcs.at(key)) continue;
        // The same name and CRC-32: a reader that checks the CRC-32 of what
        // it inflated cannot hand back other bytes. The one read it does not
        // check is a deflate stream that ends before the declared size, padded
        // with zeros (ZipArchive::readMember): a changed byte of deflate data
        // can end the stream early, so those reads may differ, and end in zero.
        const std::string bytes(member->begin(), member->end());
        if (bytes == found->second) {
            ++outcome.readAsOriginal;
        } else {
            EXPECT_EQ(entry.method, 8) << key;
            EXPECT_TRUE(!bytes.empty() && bytes.back() == '\0') << key;
            ++outcome.padded;
        }
    }
    outcome.largestAllocation = watch.largest();
    // Whatever the header fields say, one allocation never outgrows what the
    // file could inflate to (deflate's 1032 : 1 at most) plus the reader's own
    // fixed buffers, and never passes 64 MiB for an archive of this size.
    EXPECT_LE(outcome.largestAllocation, std::min(64 * MiB, 1040 * bytes.size() + MiB));
    return outcome;
}

TEST(ArchiveSweep, TheUndamagedArchiveReadsInFull)
{
    ORV::Test::TempDir dir;
    const Outcome outcome = openAndReadAll(dir, original().archive);
    EXPECT_TRUE(outcome.opened);
    EXPECT_EQ(outcome.fault, "");
    EXPECT_EQ(outcome.readAsOriginal, original().members.size());
}

TEST(ArchiveSweep, EveryCutGivesWholeMembersOrNone)
{
    ORV::Test::TempDir dir;
    const std::string& archive = original().archive;
    for (std::size_t length : ORV::Test::cutLengths(archive.size(), 400)) {
        SCOPED_TRACE("cut at " + std::to_string(length) + " of " + std::to_string(archive.size()));
        const Outcome outcome = openAndReadAll(dir, archive.substr(0, length));
        // The end record is the last thing in the file: without it the
        // directory cannot be found at all.
        EXPECT_FALSE(outcome.opened);
        EXPECT_EQ(outcome.listed, 0u);
    }
}

TEST(ArchiveSweep, SingleByteChangesNeverGiveWrongBytes)
{
    ORV::Test::TempDir dir;
    std::mt19937 random(20261209);
    std::size_t intact = 0;
    for (int round = 0; round < 400; ++round) {
        std::string damaged = original().archive;
        SCOPED_TRACE(ORV::Test::damageOneByte(damaged, random, round));
        intact += openAndReadAll(dir, damaged).readAsOriginal;
    }
    // Most changes hit one member's data or header and leave the others.
    EXPECT_GT(intact, 400u);
}

TEST(ArchiveSweep, HugeSizeCountAndOffsetFieldsAreRefusedOrIgnored)
{
    ORV::Test::TempDir dir;
    const std::string& archive = original().archive;
    const Layout layout = layoutOf(archive);
    ASSERT_EQ(layout.centralHeaders.size(), original().members.size());

    // A 32-bit field at every place the format has one that sizes or places
    // something, and the 16-bit lengths and counts.
    struct Field {
        std::size_t at;
        int bytes;
        const char* what;
    };
    std::vector<Field> fields = {{layout.endRecord + 8, 2, "records on disk"},
                                 {layout.endRecord + 10, 2, "records in total"},
                                 {layout.endRecord + 12, 4, "directory size"},
                                 {layout.endRecord + 16, 4, "directory offset"},
                                 {layout.endRecord + 20, 2, "comment length"}};
    for (std::size_t i = 0; i < layout.centralHeaders.size(); ++i) {
        const std::size_t central = layout.centralHeaders[i], local = layout.localHeaders[i];
        fields.push_back({central + 20, 4, "central compressed size"});
        fields.push_back({central + 24, 4, "central uncompressed size"});
        fields.push_back({central + 28, 2, "central name length"});
        fields.push_back({central + 30, 2, "central extra length"});
        fields.push_back({central + 32, 2, "central comment length"});
        fields.push_back({central + 42, 4, "local header offset"});
        fields.push_back({local + 18, 4, "local compressed size"});
        fields.push_back({local + 22, 4, "local uncompressed size"});
        fields.push_back({local + 26, 2, "local name length"});
        fields.push_back({local + 28, 2, "local extra length"});
    }
    for (const Field& field : fields) {
        // Just past the data: the distance from the field to the end of the file.
        const auto pastTheEnd = static_cast<std::uint32_t>(archive.size() - field.at + 1);
        for (std::uint32_t value : {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, pastTheEnd}) {
            std::string damaged = archive;
            if (field.bytes == 4)
                ORV::Test::putLittle32(damaged, field.at, value);
            else
                ORV::Test::putLittle16(damaged, field.at,
                                       static_cast<std::uint16_t>(std::min<std::uint32_t>(value, 0xFFFF)));
            SCOPED_TRACE(std::string(field.what) + " at " + std::to_string(field.at) + " = " + std::to_string(value));
            openAndReadAll(dir, damaged);
        }
    }

    // Both headers agreeing on a huge size: the member is listed, and refused
    // before anything is read or allocated; the others still read.
    for (std::size_t i = 0; i < layout.centralHeaders.size(); ++i)
        for (std::uint32_t value : {0xFFFFFFFEu, 0x7FFFFFFFu, 0x10000001u}) {
            std::string damaged = archive;
            ORV::Test::putLittle32(damaged, layout.centralHeaders[i] + 24, value);
            ORV::Test::putLittle32(damaged, layout.localHeaders[i] + 22, value);
            SCOPED_TRACE("member " + std::to_string(i) + " declares " + std::to_string(value) + " bytes");
            const Outcome outcome = openAndReadAll(dir, damaged);
            EXPECT_EQ(outcome.fault, "");
            EXPECT_EQ(outcome.listed, original().members.size());
            EXPECT_EQ(outcome.read, original().members.size() - 1);
            EXPECT_EQ(outcome.readAsOriginal, original().members.size() - 1);
        }
}

TEST(ArchiveSweep, MegabytesOfFillerAfterTheArchiveHideItAndInFrontAreSkipped)
{
    ORV::Test::TempDir dir;
    const std::string& archive = original().archive;
    // No 'P' in the filler, so no signature can appear in it.
    const std::string filler = ORV::Test::fillerBytes(4 * MiB, 11, 'P');

    const Outcome after = openAndReadAll(dir, archive + filler);
    EXPECT_FALSE(after.opened) << "the end record lies beyond the last 65,557 bytes";
    EXPECT_NE(after.fault.find("end-of-central-directory"), std::string::npos) << after.fault;
    // Only the tail where an end record may lie is read in.
    EXPECT_LE(after.largestAllocation, 128u << 10);

    const Outcome before = openAndReadAll(dir, filler + archive);
    EXPECT_TRUE(before.opened);
    EXPECT_EQ(before.fault, "");
    EXPECT_EQ(before.readAsOriginal, original().members.size());
}

TEST(ArchiveSweep, NestedArchivesAndARepeatedDirectoryReadAsTheirMembers)
{
    ORV::Test::TempDir dir;
    const std::string& archive = original().archive;

    // An archive stored inside another, three deep: each level reads back
    // as the archive put into it, and the innermost as the original.
    std::string nested = archive;
    for (int depth = 0; depth < 3; ++depth) {
        ZipWriter outer;
        outer.add("inner.zip", nested, depth % 2 ? ZipMethod::Deflated : ZipMethod::Stored);
        nested = outer.finish();
    }
    for (int depth = 0; depth < 3; ++depth) {
        ZipArchive outer;
        ASSERT_TRUE(outer.open(dir.write("outer.zip", nested).string()));
        const auto inner = outer.readMember("/inner.zip");
        ASSERT_TRUE(inner.has_value()) << depth;
        nested.assign(inner->begin(), inner->end());
    }
    EXPECT_EQ(nested, archive);
    EXPECT_EQ(openAndReadAll(dir, nested).readAsOriginal, original().members.size());

    // The central directory twice over, the counts and size doubled to match:
    // every header of the second copy replaces its twin, and the archive
    // reads as before.
    const Layout layout = layoutOf(archive);
    const std::size_t directoryStart = layout.centralHeaders.front();
    const std::string directory = archive.substr(directoryStart, layout.endRecord - directoryStart);
    std::string twice = archive.substr(0, layout.endRecord) + directory + archive.substr(layout.endRecord);
    const std::size_t end = twice.size() - 22;
    const auto count = static_cast<std::uint16_t>(2 * layout.centralHeaders.size());
    ORV::Test::putLittle16(twice, end + 8, count);
    ORV::Test::putLittle16(twice, end + 10, count);
    ORV::Test::putLittle32(twice, end + 12, static_cast<std::uint32_t>(2 * directory.size()));
    const Outcome repeated = openAndReadAll(dir, twice);
    EXPECT_EQ(repeated.fault, "");
    EXPECT_EQ(repeated.readAsOriginal, original().members.size());

    // The same directory entry repeated for the whole count: one key, read once.
    std::string same = archive.substr(0, directoryStart);
    const std::string first = directory.substr(0, layout.centralHeaders[1] - directoryStart);
    for (int i = 0; i < 1000; ++i) same += first;
    std::string endRecord = archive.substr(layout.endRecord);
    ORV::Test::putLittle16(endRecord, 8, 1000);
    ORV::Test::putLittle16(endRecord, 10, 1000);
    ORV::Test::putLittle32(endRecord, 12, static_cast<std::uint32_t>(1000 * first.size()));
    const Outcome one = openAndReadAll(dir, same + endRecord);
    EXPECT_EQ(one.fault, "");
    EXPECT_EQ(one.listed, 1u);
    EXPECT_EQ(one.readAsOriginal, 1u);
}

} // namespace
} // namespace ORV::Demo
