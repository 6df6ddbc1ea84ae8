#include "resources/FileSystem.h"

#include "tests/resources/ZipBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <random>

namespace ORV::Demo {
namespace {

using Test::TempDir;
using Test::ZipBuilder;
using Test::ZipMember;

std::string readAll(std::istream& in)
{
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Reads a path through a file system and reports whether the stream was good.
struct Read {
    bool good = false;
    std::string bytes;
};

Read readPath(const FileSystem& files, const std::string& path)
{
    auto stream = files.openStream(path);
    EXPECT_NE(stream, nullptr);
    Read result;
    result.good = static_cast<bool>(*stream);
    if (result.good) result.bytes = readAll(*stream);
    return result;
}

ZipArchive openArchive(const TempDir& dir, const std::string& bytes)
{
    const auto file = dir.write("a.zip", bytes);
    ZipArchive archive;
    archive.open(file.string());
    return archive;
}

std::string member(const ZipArchive& archive, const std::string& key)
{
    auto bytes = archive.readMember(key);
    EXPECT_TRUE(bytes.has_value()) << key;
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

bool mentions(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A ZIP64 extended-information extra field holding values, each 8 bytes.
std::string zip64Extra(std::initializer_list<std::uint64_t> values)
{
    std::string extra;
    ZipBuilder::put16(extra, 0x0001);
    ZipBuilder::put16(extra, static_cast<std::uint16_t>(8 * values.size()));
    for (std::uint64_t value : values) ZipBuilder::put64(extra, value);
    return extra;
}

// ---------------------------------------------------------------- paths

TEST(NormalizePath, LowersLettersTurnsBackslashesAndAddsLeadingSlash)
{
    EXPECT_EQ(normalizePath("Textures\\Wood.JPG"), "/textures/wood.jpg");
    EXPECT_EQ(normalizePath("/Textures/Wood.jpg"), "/textures/wood.jpg");
    EXPECT_EQ(normalizePath("\\a"), "/a");
    EXPECT_EQ(normalizePath(""), "/");
    EXPECT_EQ(normalizePath("/"), "/");
}

TEST(NormalizePath, KeepsDotSegmentsDoubledSlashesAndOtherBytes)
{
    EXPECT_EQ(normalizePath("./A/../B//c"), "/./a/../b//c");
    EXPECT_EQ(normalizePath("\xC4Z@[`{"), "/\xC4z@[`{");
}

// ---------------------------------------------------------------- lookups

TEST(ArchiveLookup, AnySpellingOfAPathFindsTheMember)
{
    TempDir dir;
    dir.write("pack.zip", ZipBuilder().add("textures/wood.jpg", "WOOD").add("readme.txt", "stored", 0).build());
    FileSystem files;
    files.remount(dir.path().string());
    for (const char* path : {"Textures\\Wood.JPG", "textures/wood.jpg", "/textures/wood.jpg"}) {
        const Read read = readPath(files, path);
        EXPECT_TRUE(read.good) << path;
        EXPECT_EQ(read.bytes, "WOOD") << path;
    }
    EXPECT_EQ(readPath(files, "README.TXT").bytes, "stored");
}

TEST(ArchiveLookup, MemberNamesInMixedCaseAreFoundInAnyCase)
{
    TempDir dir;
    dir.write("pack.zip", ZipBuilder().add("Textures/Wood.jpg", "W").build());
    FileSystem files;
    files.remount(dir.path().string());
    EXPECT_EQ(readPath(files, "textures/wood.jpg").bytes, "W");
    EXPECT_EQ(readPath(files, "TEXTURES/WOOD.JPG").bytes, "W");
}

TEST(ArchiveLookup, ArchivesInSubfoldersServeTheirMembersAtTheTop)
{
    TempDir dir;
    dir.write("sub/pack.zip", ZipBuilder().add("a.jpg", "A").build());
    FileSystem files;
    files.remount(dir.path().string());
    EXPECT_EQ(readPath(files, "a.jpg").bytes, "A");
    EXPECT_FALSE(readPath(files, "sub/a.jpg").good);
    // The archive itself is not a loose file.
    EXPECT_FALSE(readPath(files, "sub/pack.zip").good);
}

TEST(ArchiveLookup, FirstArchiveOfTheDepthFirstScanWins)
{
    TempDir dir;
    dir.write("b.zip", ZipBuilder().add("x", "from b").add("y", "y from b").build());
    dir.write("a/z.zip", ZipBuilder().add("x", "from a/z").build());
    dir.write("c.zip", ZipBuilder().add("x", "from c").add("y", "y from c").add("w", "w").build());
    FileSystem files;
    files.remount(dir.path().string());
    ASSERT_EQ(files.mountPoints().size(), 4u);
    EXPECT_EQ(files.mountPoints()[0].archive.path(), (dir.path() / "a/z.zip").string());
    EXPECT_EQ(files.mountPoints()[1].archive.path(), (dir.path() / "b.zip").string());
    EXPECT_EQ(files.mountPoints()[2].archive.path(), (dir.path() / "c.zip").string());
    EXPECT_FALSE(files.mountPoints()[3].isArchive);
    EXPECT_EQ(readPath(files, "x").bytes, "from a/z");
    EXPECT_EQ(readPath(files, "y").bytes, "y from b");
    EXPECT_EQ(readPath(files, "w").bytes, "w");
}

TEST(ArchiveLookup, ArchiveMemberWinsOverLooseFile)
{
    TempDir dir;
    dir.write("data/readme.txt", "loose");
    dir.write("z.zip", ZipBuilder().add("data/readme.txt", "member").build());
    FileSystem files;
    files.remount(dir.path().string());
    EXPECT_EQ(readPath(files, "data/readme.txt").bytes, "member");
}

TEST(ArchiveLookup, LaterHeaderWithTheSameKeyReplacesTheEarlier)
{
    TempDir dir;
    const ZipArchive archive = openArchive(dir, ZipBuilder().add("Same", "first").add("same", "second").build());
    EXPECT_EQ(archive.entries().size(), 1u);
    EXPECT_EQ(member(archive, "/same"), "second");
}

TEST(LooseFiles, OnlyLowerCaseNamesMatchTheDirectoryMount)
{
    TempDir dir;
    dir.write("data/readme.txt", "lower");
    dir.write("Other/ReadMe.txt", "mixed");
    FileSystem files;
    files.remount(dir.path().string());
    ASSERT_EQ(files.mountPoints().size(), 1u);
    EXPECT_EQ(files.mountPoints()[0].files, (std::set<std::string>{"/Other/ReadMe.txt", "/data/readme.txt"}));
    EXPECT_EQ(readPath(files, "Data\\README.txt").bytes, "lower");

    // Other/ReadMe.txt is not matched by the mount (the test runs elsewhere,
    // so the relative path is not found either); the plain-file fallback
    // opens exactly what the caller wrote.
    EXPECT_FALSE(readPath(files, "Other/ReadMe.txt").good);
    EXPECT_FALSE(readPath(files, "other/readme.txt").good);
    const std::string mixed = (dir.path() / "Other/ReadMe.txt").string();
    EXPECT_EQ(readPath(files, mixed).bytes, "mixed");
}

TEST(LooseFiles, StreamIsBinaryAndComplete)
{
    TempDir dir;
    const std::string bytes("a\r\nb\0\x1a\xff", 7);
    dir.write("bin/blob.dat", bytes);
    FileSystem files;
    files.remount(dir.path().string());
    EXPECT_EQ(readPath(files, "BIN/blob.dat").bytes, bytes);
}

TEST(LooseFiles, ExtensionIsTheTextAfterTheLastDotCaseSensitive)
{
    TempDir dir;
    dir.write("zip", "no extension");
    dir.write("upper.ZIP", "upper case");
    dir.write("x.tar.zip", ZipBuilder().add("inner", "I").build());
    FileSystem files;
    files.remount(dir.path().string());
    ASSERT_EQ(files.mountPoints().size(), 2u);
    EXPECT_EQ(readPath(files, "zip").bytes, "no extension");
    EXPECT_EQ(readPath(files, "upper.zip").good, false); // loose, but not lower case on disk
    EXPECT_EQ(files.mountPoints()[1].files.count("/upper.ZIP"), 1u);
    EXPECT_EQ(readPath(files, "inner").bytes, "I");
}

TEST(LooseFiles, LinkCyclesDoNotMakeTheScanEndless)
{
    TempDir dir;
    dir.write("sub/file.txt", "f");
    std::error_code error;
    std::filesystem::create_directory_symlink(dir.path(), dir.path() / "sub/loop", error);
    if (error) GTEST_SKIP() << "no symbolic links here";
    FileSystem files;
    files.remount(dir.path().string());
    EXPECT_EQ(files.mountPoints().back().files, std::set<std::string>{"/sub/file.txt"});
}

TEST(OpenStream, EmptyPathLooksUpRootAndFails)
{
    TempDir dir;
    dir.write("pack.zip", ZipBuilder().add("a", "A").build());
    FileSystem files;
    files.remount(dir.path().string());
    EXPECT_FALSE(readPath(files, "").good);
}

TEST(OpenStream, MissingPathGivesFailedStreamThatReadsNothing)
{
    FileSystem files;
    auto stream = files.openStream("/definitely/not/here.fx");
    EXPECT_TRUE(stream->fail());
    EXPECT_EQ(stream->get(), std::char_traits<char>::eof());
}

TEST(OpenStream, MemberStreamSeeksAndReadsToTheEnd)
{
    TempDir dir;
    dir.write("pack.zip", ZipBuilder().add("m", "0123456789").build());
    FileSystem files;
    files.remount(dir.path().string());
    auto stream = files.openStream("m");
    stream->seekg(0, std::ios::end);
    EXPECT_EQ(stream->tellg(), 10);
    stream->seekg(4);
    char buffer[3];
    stream->read(buffer, 3);
    EXPECT_EQ(std::string(buffer, 3), "456");
    stream->seekg(-2, std::ios::cur);
    EXPECT_EQ(stream->get(), '5');
    stream->seekg(11);
    EXPECT_TRUE(stream->fail());
}

TEST(OpenStream, ProcessWideFileSystemCanBeRemounted)
{
    TempDir dir;
    dir.write("pack.zip", ZipBuilder().add("global.txt", "G").build());
    fileSystem().remount(dir.path().string());
    auto stream = ORV::Demo::openStream("GLOBAL.TXT");
    EXPECT_EQ(readAll(*stream), "G");
}

// ---------------------------------------------------------------- directory

TEST(ArchiveDirectory, CommentsOfAnyLengthAreSkipped)
{
    for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{21}, std::size_t{65535}}) {
        TempDir dir;
        ZipBuilder zip;
        zip.add("a", "A");
        zip.comment = std::string(length, 'c');
        const ZipArchive archive = openArchive(dir, zip.build());
        EXPECT_TRUE(archive.contains("/a")) << length;
    }
}

TEST(ArchiveDirectory, EndRecordMustBeFoundInTheLast65557Bytes)
{
    // A comment longer than the format allows, as if bytes were appended.
    TempDir dir;
    ZipBuilder zip;
    zip.add("a", "A");
    zip.comment = std::string(65536, 'c');
    zip.commentLength = 0xffff;
    EXPECT_TRUE(openArchive(dir, zip.build()).entries().empty());
}

TEST(ArchiveDirectory, EndRecordAtFilePositionZeroMeansNoMembers)
{
    // An end record first in the file, followed by a directory it points to.
    TempDir dir;
    ZipBuilder shifted;
    shifted.add("a", "A", 0);
    // Room for the end record in front; the offsets count it.
    shifted.prefix = std::string(22, '\0');
    shifted.offsetsIncludePrefix = true;
    const std::string shiftedBytes = shifted.build();
    const std::string end = shiftedBytes.substr(shiftedBytes.size() - 22);
    const std::string bytes = end + shiftedBytes.substr(22, shiftedBytes.size() - 44);
    const ZipArchive archive = openArchive(dir, bytes);
    EXPECT_TRUE(archive.entries().empty());
}

TEST(ArchiveDirectory, BytesInFrontAreSkippedThroughTheBaseOffset)
{
    TempDir dir;
    ZipBuilder zip;
    zip.add("a", "alpha").add("b", "beta", 0);
    zip.prefix = std::string(1000, '\x7f') + "PK\x03\x04";
    const ZipArchive archive = openArchive(dir, zip.build());
    EXPECT_EQ(archive.baseOffset(), 1004);
    EXPECT_EQ(member(archive, "/a"), "alpha");
    EXPECT_EQ(member(archive, "/b"), "beta");
}

TEST(ArchiveDirectory, OffsetsAlreadyCountingTheBytesInFrontNeedNoBase)
{
    TempDir dir;
    ZipBuilder zip;
    zip.add("a", "alpha");
    zip.prefix = std::string(300, 'x');
    zip.offsetsIncludePrefix = true;
    const ZipArchive archive = openArchive(dir, zip.build());
    EXPECT_EQ(archive.baseOffset(), 0);
    EXPECT_EQ(member(archive, "/a"), "alpha");
}

TEST(ArchiveDirectory, LocalHeaderDisagreeingWithCentralEndsTheDirectory)
{
    for (int fault = 0; fault < 5; ++fault) {
        ZipBuilder zip;
        zip.add("first", "1").add("bad", "2").add("third", "3");
        ZipMember& bad = zip.members[1];
        switch (fault) {
        case 0: bad.localCrc = 0x1234; break;
        case 1: bad.localMethod = 0; break;
        case 2: bad.localNameLength = 4; break;
        case 3: bad.localSignature = 0x04034b51; break;
        case 4: bad.localHeaderOffset = 0xfffffff0u; break;
        }
        TempDir dir;
        const ZipArchive archive = openArchive(dir, zip.build());
        EXPECT_TRUE(archive.contains("/first")) << fault;
        EXPECT_FALSE(archive.contains("/bad")) << fault;
        EXPECT_FALSE(archive.contains("/third")) << fault;
        EXPECT_EQ(member(archive, "/first"), "1");
    }
}

TEST(ArchiveDirectory, UnsupportedMethodHidesItselfAndEveryLaterMember)
{
    ZipBuilder zip;
    zip.add("first", "1").add("imploded", "2", 6).add("third", "3");
    TempDir dir;
    const ZipArchive archive = openArchive(dir, zip.build());
    EXPECT_EQ(archive.entries().size(), 1u);
    EXPECT_TRUE(archive.contains("/FIRST"));
}

TEST(ArchiveDirectory, DataDescriptorMembersAreAcceptedWithZeroLocalValues)
{
    ZipBuilder zip;
    zip.add("streamed", std::string(5000, 's')).add("after", "after");
    zip.members[0].dataDescriptor = true;
    TempDir dir;
    const ZipArchive archive = openArchive(dir, zip.build());
    EXPECT_EQ(member(archive, "/streamed"), std::string(5000, 's'));
    EXPECT_EQ(member(archive, "/after"), "after");
}

TEST(ArchiveDirectory, Zip64SizeMarkersAndEndRecordsOfStreamedArchivesAreRead)
{
    for (bool withPrefix : {false, true}) {
        ZipBuilder zip;
        zip.add("streamed", std::string(3000, 'z')).add("next", "N", 0);
        zip.members[0].localZip64Sizes = true;
        zip.members[0].extra = std::string("\x01\x00\x10\x00", 4) + std::string(16, '\0');
        zip.zip64EndRecords = true;
        if (withPrefix) zip.prefix = "stub";
        TempDir dir;
        const ZipArchive archive = openArchive(dir, zip.build());
        EXPECT_EQ(archive.baseOffset(), withPrefix ? 4 : 0);
        EXPECT_EQ(member(archive, "/streamed"), std::string(3000, 'z'));
        EXPECT_EQ(member(archive, "/next"), "N");
    }
}

TEST(ArchiveDirectory, ExtraFieldsAndCommentsMoveTheOffsets)
{
    ZipBuilder zip;
    zip.add("a", "A").add("b", "B");
    zip.members[0].extra = std::string("\x55\x54\x05\x00\x01\x00\x00\x00\x00", 9);
    zip.members[0].comment = "member comment";
    zip.members[1].extra = std::string(40, '\0');
    TempDir dir;
    const ZipArchive archive = openArchive(dir, zip.build());
    EXPECT_EQ(member(archive, "/a"), "A");
    EXPECT_EQ(member(archive, "/b"), "B");
}

TEST(ArchiveDirectory, LocalAndCentralExtraFieldsOfDifferentLengthsEachMoveTheirOwnHeader)
{
    // Writers put other extra fields in the local header than in the central
    // one (Info-ZIP's time stamp holds three times locally, one centrally):
    // the data follows the local header's extra field, the next central
    // header follows the central one's. Each member has the longer field in
    // a different header, so that either length taken for the other moves
    // the data or the next header.
    const auto field = [](std::uint16_t id, std::size_t dataBytes) {
        std::string extra;
        ZipBuilder::put16(extra, id);
        ZipBuilder::put16(extra, static_cast<std::uint16_t>(dataBytes));
        return extra + std::string(dataBytes, '\x5a');
    };
    ZipBuilder zip;
    zip.add("first", "first member's data").add("second", "second member's data", 0).add("third", "third", 0);
    zip.members[0].extra = field(0x5455, 5);
    zip.members[0].localExtra = field(0x5455, 13);
    zip.members[1].extra = field(0x7875, 36);
    zip.members[1].localExtra = std::string();
    zip.members[2].localExtra = field(0xCAFE, 2);
    TempDir dir;
    const ZipArchive archive = openArchive(dir, zip.build());
    EXPECT_EQ(archive.directoryFault(), "");
    EXPECT_EQ(member(archive, "/first"), "first member's data");
    EXPECT_EQ(member(archive, "/second"), "second member's data");
    EXPECT_EQ(member(archive, "/third"), "third");
}

TEST(ArchiveLookup, EveryCapitalLetterFoldsInMemberNames)
{
    // One member per letter, named by the capital: each is found by its small
    // letter and keeps its own data.
    ZipBuilder zip;
    for (char c = 'A'; c <= 'Z'; ++c) zip.add(std::string("Dir/") + c, std::string(1, c));
    zip.add("ABCDEFGHIJKLMNOPQRSTUVWXYZ.TXT", "alphabet");
    TempDir dir;
    const ZipArchive archive = openArchive(dir, zip.build());
    for (char c = 'A'; c <= 'Z'; ++c) {
        const std::string key = std::string("/dir/") + char(c - 'A' + 'a');
        EXPECT_TRUE(archive.contains(key)) << key;
        const auto bytes = archive.readMember(key);
        EXPECT_EQ(bytes ? std::string(bytes->begin(), bytes->end()) : "(none)", std::string(1, c)) << key;
    }
    EXPECT_EQ(ZipArchive::keyForName("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), "/abcdefghijklmnopqrstuvwxyz");
    FileSystem files;
    files.remount(dir.path().string());
    for (const char* path :
         {"abcdefghijklmnopqrstuvwxyz.txt", "ABCDEFGHIJKLMNOPQRSTUVWXYZ.TXT", "aBcDeFgHiJkLmNoPqRsTuVwXyZ.tXt"})
        EXPECT_EQ(readPath(files, path).bytes, "alphabet") << path;
}

TEST(ArchiveDirectory, LongNamesAreKnownByTheirFirst256Bytes)
{
    const std::string name = std::string(256, 'n') + "TAIL";
    TempDir dir;
    dir.write("pack.zip", ZipBuilder().add(name, "long").add("next", "N").build());
    FileSystem files;
    files.remount(dir.path().string());
    EXPECT_EQ(readPath(files, std::string(256, 'N')).bytes, "long");
    EXPECT_FALSE(readPath(files, name).good);
    EXPECT_EQ(readPath(files, "next").bytes, "N");
    EXPECT_EQ(ZipArchive::keyForName(std::string("cut\0here", 8)), "/cut");
}

TEST(ArchiveDirectory, ZeroNameLengthEndsTheDirectory)
{
    ZipBuilder zip;
    zip.add("a", "A").add("", "B").add("c", "C");
    TempDir dir;
    const ZipArchive archive = openArchive(dir, zip.build());
    EXPECT_EQ(archive.entries().size(), 1u);
}

TEST(ArchiveDirectory, MoreThan32767MembersAreAllRead)
{
    ZipBuilder zip;
    for (int i = 0; i < 33000; ++i) zip.add(std::to_string(i), std::to_string(i * 7), 0);
    TempDir dir;
    const ZipArchive archive = openArchive(dir, zip.build());
    EXPECT_EQ(archive.entries().size(), 33000u);
    EXPECT_EQ(member(archive, "/32999"), std::to_string(32999 * 7));
}

TEST(ArchiveDirectory, MultiVolumeEndRecordSetsNoBaseOffset)
{
    ZipBuilder zip;
    zip.add("a", "A");
    zip.prefix = "junk";
    zip.thisDisk = 1;
    TempDir dir;
    const ZipArchive archive = openArchive(dir, zip.build());
    EXPECT_EQ(archive.baseOffset(), 0);
    EXPECT_TRUE(archive.entries().empty());
}

TEST(ArchiveDirectory, UnreadableArchiveStillTakesItsPlaceInTheSearchList)
{
    TempDir dir;
    dir.write("a/empty.zip", "");
    dir.write("b/notzip.zip", "just text, no end record");
    dir.write("c/good.zip", ZipBuilder().add("a", "A").build());
    FileSystem files;
    files.remount(dir.path().string());
    files.mountArchive((dir.path() / "missing.zip").string());
    ASSERT_EQ(files.mountPoints().size(), 5u);
    EXPECT_TRUE(files.mountPoints()[0].archive.entries().empty());
    EXPECT_TRUE(files.mountPoints()[1].archive.entries().empty());
    EXPECT_TRUE(files.mountPoints()[4].isArchive);
    EXPECT_EQ(readPath(files, "a").bytes, "A");
}

// ---------------------------------------------------------------- members

TEST(ArchiveMember, ZeroLengthMembersGiveEmptyGoodStreams)
{
    TempDir dir;
    dir.write("pack.zip", ZipBuilder().add("stored", "", 0).add("deflated", "", 8).build());
    FileSystem files;
    files.remount(dir.path().string());
    for (const char* path : {"stored", "deflated"}) {
        auto stream = files.openStream(path);
        EXPECT_FALSE(stream->fail()) << path;
        EXPECT_EQ(stream->get(), std::char_traits<char>::eof());
    }
}

TEST(ArchiveMember, UnknownKeyGivesNothing)
{
    TempDir dir;
    const ZipArchive archive = openArchive(dir, ZipBuilder().add("a", "A").build());
    EXPECT_FALSE(archive.readMember("/b").has_value());
    EXPECT_EQ(archive.memberSize("/b"), 0u);
    EXPECT_EQ(archive.memberSize("/A"), 1u);
}

TEST(ArchiveMember, LargeMembersCrossManyInputChunks)
{
    std::mt19937 random(7);
    std::string text;
    while (text.size() < 300000) text += "word" + std::to_string(random() % 1000) + (random() % 9 ? " " : "\n");
    std::string noise(70000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    TempDir dir;
    const ZipArchive archive =
        openArchive(dir, ZipBuilder().add("text", text).add("noise", noise).add("raw", noise, 0).build());
    EXPECT_EQ(member(archive, "/text"), text);
    EXPECT_EQ(member(archive, "/noise"), noise);
    EXPECT_EQ(member(archive, "/raw"), noise);
}

TEST(ArchiveMember, DeflateStreamEndingEarlyIsPaddedWithZeros)
{
    ZipBuilder zip;
    zip.add("short", std::string(40, 'q'));
    zip.members[0].uncompressedSize = 100;
    TempDir dir;
    const ZipArchive archive = openArchive(dir, zip.build());
    EXPECT_EQ(archive.memberSize("/short"), 100u);
    EXPECT_EQ(member(archive, "/short"), std::string(40, 'q') + std::string(60, '\0'));
}

TEST(ArchiveMember, DeflateStreamEndingWithoutOutputFails)
{
    ZipBuilder zip;
    zip.add("nothing", "");
    zip.members[0].uncompressedSize = 10;
    TempDir dir;
    EXPECT_FALSE(openArchive(dir, zip.build()).readMember("/nothing").has_value());
}

TEST(ArchiveMember, TruncatedDeflateInputFails)
{
    std::string data;
    for (int i = 0; i < 5000; ++i) data += std::to_string(i * i);
    ZipBuilder zip;
    zip.add("cut", data);
    const std::string full = ORV::Test::deflateRaw(data);
    zip.members[0].payload = full.substr(0, full.size() / 2);
    TempDir dir;
    EXPECT_FALSE(openArchive(dir, zip.build()).readMember("/cut").has_value());
}

TEST(ArchiveMember, CorruptDeflateStreamFails)
{
    ZipBuilder zip;
    zip.add("corrupt", std::string(1000, 'x'));
    zip.members[0].payload = std::string("\xff\xff\xff\xff\xff\xff\xff\xff", 8);
    TempDir dir;
    dir.write("pack.zip", zip.build());
    FileSystem files;
    files.remount(dir.path().string());
    auto stream = files.openStream("corrupt");
    EXPECT_TRUE(stream->fail());
    EXPECT_EQ(readAll(*stream), "");
}

TEST(ArchiveMember, CrcMismatchFails)
{
    for (std::uint16_t method : {0, 8}) {
        ZipBuilder zip;
        zip.add("bad", "payload", method);
        zip.members[0].crc = ORV::Test::crcOf("payload") ^ 1;
        TempDir dir;
        EXPECT_FALSE(openArchive(dir, zip.build()).readMember("/bad").has_value()) << method;
    }
}

TEST(ArchiveMember, StoredMemberShorterThanItsSizeFails)
{
    ZipBuilder zip;
    zip.add("short", "abc", 0);
    zip.members[0].uncompressedSize = 4;
    TempDir dir;
    EXPECT_FALSE(openArchive(dir, zip.build()).readMember("/short").has_value());
}

// ---------------------------------------------------------------- hostile input

TEST(HostileArchive, HugeDeclaredSizeOverSmallDataIsRefusedBeforeAllocating)
{
    ZipBuilder zip;
    zip.add("bomb", "tiny");
    zip.members[0].uncompressedSize = 0xffffffffu;
    zip.add("stored", "tiny", 0);
    zip.members[1].uncompressedSize = 0xffffffffu;
    zip.members[1].compressedSize = 0xffffffffu;
    TempDir dir;
    const ZipArchive archive = openArchive(dir, zip.build());
    EXPECT_EQ(archive.memberSize("/bomb"), 0xffffffffu);
    EXPECT_FALSE(archive.readMember("/bomb").has_value());
    EXPECT_FALSE(archive.readMember("/stored").has_value());
}

TEST(HostileArchive, DeclaredSizeIsBoundedByWhatDeflateCanProduce)
{
    // A stream that ends early is padded up to the declared size, but only up
    // to 1032 bytes per compressed byte plus 1024: no deflate stream yields more.
    const std::string payload = ORV::Test::deflateRaw("abc");
    const auto limit = static_cast<std::uint32_t>(payload.size() * 1032 + 1024);
    for (std::uint32_t declared : {limit, limit + 1}) {
        ZipBuilder zip;
        zip.add("m", "abc");
        zip.members[0].uncompressedSize = declared;
        TempDir dir;
        const auto bytes = openArchive(dir, zip.build()).readMember("/m");
        ASSERT_EQ(bytes.has_value(), declared == limit) << declared;
        if (bytes) {
            EXPECT_EQ(bytes->size(), declared);
            EXPECT_EQ(std::string(bytes->begin(), bytes->begin() + 3), "abc");
            EXPECT_EQ(std::count(bytes->begin(), bytes->end(), '\0'), static_cast<std::ptrdiff_t>(declared - 3));
        }
    }
}

// Declared sizes over the limit: the read fails before anything is allocated
// or inflated (a 4 GiB allocation would abort the sanitizer build), and the
// archive's other members still read. Just over the limit, the data is a
// good deflate stream that ends early, which would otherwise be padded with
// zeros up to the declared size.
TEST(HostileArchive, MembersOverTheSizeLimitFailWithoutBeingRead)
{
    constexpr std::uint64_t limit = ZipArchive::maxMemberSize;
    std::mt19937 random(11);
    std::string noise(300 << 10, '\0'); // deflated, enough data to produce the limit
    for (char& c : noise) c = static_cast<char>(random());
    const std::string zeros(4 << 20, '\0'); // as much data as 4 GiB of zeros deflate to
    struct Case {
        std::uint64_t declared;
        std::string payload;
    };
    for (const Case& c : {Case{limit + 1, ORV::Test::deflateRaw(noise)}, Case{0xffffffffu, zeros},
                          Case{std::uint64_t{1} << 40, zeros}}) {
        ZipBuilder zip;
        zip.add("huge", "").add("fine", "fine");
        ZipMember& huge = zip.members[0];
        huge.payload = c.payload;
        if (c.declared > 0xffffffffu) {
            huge.uncompressedSize = 0xffffffffu;
            huge.extra = zip64Extra({c.declared});
        } else {
            huge.uncompressedSize = static_cast<std::uint32_t>(c.declared);
        }
        TempDir dir;
        dir.write("pack.zip", zip.build());
        ZipArchive archive;
        archive.open((dir.path() / "pack.zip").string());
        EXPECT_EQ(archive.memberSize("/huge"), c.declared);
        EXPECT_FALSE(archive.readMember("/huge").has_value()) << c.declared;

        FileSystem files;
        files.remount(dir.path().string());
        auto stream = files.openStream("huge");
        EXPECT_TRUE(stream->fail()) << c.declared;
        EXPECT_EQ(stream->get(), std::char_traits<char>::eof());
        EXPECT_EQ(readPath(files, "fine").bytes, "fine");
    }
}

// Data that goes on past the declared size is refused, even when the CRC-32
// in the directory is that of the bytes up to the declared size: inflation
// stops one byte past it, so a small declared size over a bomb costs nothing.
TEST(HostileArchive, DataLongerThanTheDeclaredSizeIsRefused)
{
    std::string text;
    for (int i = 0; i < 200; ++i) text += std::to_string(i * 7919);
    const std::string zeros(8 << 20, '\0'); // deflates to about 8 KiB
    struct Case {
        std::string data;
        std::size_t declared;
        std::uint16_t method;
    };
    for (const Case& c : {Case{text, text.size() - 1, 8}, Case{text, 0, 8}, Case{zeros, 100, 8}, Case{"abcd", 3, 0}}) {
        ZipBuilder zip;
        zip.add("long", c.data, c.method);
        zip.members[0].uncompressedSize = static_cast<std::uint32_t>(c.declared);
        zip.members[0].crc = ORV::Test::crcOf(std::string_view(c.data).substr(0, c.declared));
        TempDir dir;
        const ZipArchive archive = openArchive(dir, zip.build());
        EXPECT_FALSE(archive.readMember("/long").has_value()) << c.declared << " of " << c.data.size();
    }
}

TEST(HostileArchive, EndRecordPointingOutsideTheFileGivesNoMembers)
{
    for (int fault = 0; fault < 3; ++fault) {
        ZipBuilder zip;
        zip.add("a", "A");
        if (fault == 0) zip.directoryOffset = 0xfffffff0u;
        if (fault == 1) {
            // Too large a size hides the bytes in front, so the offsets land wrong.
            zip.directorySize = 0xfffffff0u;
            zip.prefix = "junk";
        }
        if (fault == 2) zip.recordsOnDisk = zip.recordsTotal = 0xffff;
        TempDir dir;
        const ZipArchive archive = openArchive(dir, zip.build());
        if (fault == 2) {
            EXPECT_TRUE(archive.contains("/a")); // the members that are there stay usable
        } else {
            EXPECT_TRUE(archive.entries().empty()) << fault;
        }
    }
}

TEST(HostileArchive, NameLengthRunningPastTheEndOfTheFileEndsTheDirectory)
{
    ZipBuilder zip;
    zip.add("a", "A").add("b", "B");
    zip.members[1].centralNameLength = 0xffff;
    zip.members[1].localNameLength = 0xffff;
    TempDir dir;
    const ZipArchive archive = openArchive(dir, zip.build());
    EXPECT_TRUE(archive.contains("/a"));
    EXPECT_EQ(archive.entries().size(), 1u);
}

TEST(HostileArchive, DataRunningPastTheEndOfTheFileFails)
{
    ZipBuilder zip;
    zip.add("a", std::string(100, 'a'), 0);
    zip.members[0].compressedSize = 1u << 30;
    TempDir dir;
    EXPECT_FALSE(openArchive(dir, zip.build()).readMember("/a").has_value());
}

TEST(HostileArchive, ArchiveChangedOnDiskAfterMountingFailsCleanly)
{
    TempDir dir;
    const auto file = dir.write("a.zip", ZipBuilder().add("a", std::string(5000, 'z')).build());
    ZipArchive archive;
    archive.open(file.string());
    std::filesystem::resize_file(file, 40);
    EXPECT_FALSE(archive.readMember("/a").has_value());
    std::filesystem::remove(file);
    EXPECT_FALSE(archive.readMember("/a").has_value());
}

// ---------------------------------------------------------------- ZIP64

TEST(ArchiveZip64, SeventyThousandMembersAreAllListedAndTheLastOneReads)
{
    ZipBuilder zip;
    for (int i = 0; i < 70000; ++i) zip.add(std::to_string(i), "", 0);
    zip.members.back().data = "last";
    zip.zip64EndRecords = true;
    zip.prefix = "bytes in front";
    TempDir dir;
    const ZipArchive archive = openArchive(dir, zip.build());
    EXPECT_EQ(archive.directoryFault(), "");
    EXPECT_EQ(archive.entries().size(), 70000u);
    EXPECT_EQ(archive.baseOffset(), 14);
    EXPECT_EQ(member(archive, "/69999"), "last");
    EXPECT_EQ(member(archive, "/65536"), "");
}

// The end record holds only markers; the ZIP64 end record, found through its
// locator although extensible data follows its fixed part, and a member's
// ZIP64 extra field give the real values.
TEST(ArchiveZip64, SixtyFourBitFieldsComeFromTheEndRecordAndExtraFields)
{
    ZipBuilder zip;
    zip.add("first", "stored data", 0).add("second", std::string(500, 's'));
    ZipMember& first = zip.members[0];
    first.compressedSize = first.uncompressedSize = 0xffffffffu;
    first.localHeaderOffset = 0xffffffffu;
    first.extra = zip64Extra({11, 11, 0});
    zip.zip64EndRecords = true;
    zip.zip64ExtensibleData = std::string(30, 'e');
    zip.recordsOnDisk = zip.recordsTotal = 0xffff;
    zip.directorySize = zip.directoryOffset = 0xffffffffu;
    TempDir dir;
    const ZipArchive archive = openArchive(dir, zip.build());
    EXPECT_EQ(archive.directoryFault(), "");
    EXPECT_EQ(archive.memberSize("/first"), 11u);
    EXPECT_EQ(member(archive, "/first"), "stored data");
    EXPECT_EQ(member(archive, "/second"), std::string(500, 's'));
}

TEST(ArchiveZip64, ExtraFieldGivesTheUncompressedSizeBeforeTheCompressedOne)
{
    // A deflated member, so that the two sizes differ.
    const std::string text(500, 's');
    ZipBuilder zip;
    zip.add("packed", text);
    ZipMember& packed = zip.members[0];
    packed.compressedSize = packed.uncompressedSize = 0xffffffffu;
    packed.extra = zip64Extra({text.size(), ORV::Test::deflateRaw(text).size()});
    TempDir dir;
    const ZipArchive archive = openArchive(dir, zip.build());
    EXPECT_EQ(archive.directoryFault(), "");
    EXPECT_EQ(archive.memberSize("/packed"), text.size());
    EXPECT_EQ(member(archive, "/packed"), text);
}

// Counts that cut the directory short, promise more members than there are,
// or disagree between the two end records: the members that are there stay
// usable, and the fault is said, on the archive and as a warning on mounting.
TEST(ArchiveZip64, UntrustworthyCountsAndCutDirectoriesAreReported)
{
    struct Case {
        std::size_t listed;
        std::string said;
    };
    for (int fault = 0; fault < 5; ++fault) {
        ZipBuilder zip;
        zip.add("a", "A").add("b", "B", 0).add("c", "C");
        Case expected{3, ""};
        switch (fault) {
        case 0: // A 16-bit count cut short, as for 70,000 members without ZIP64 records.
            zip.recordsOnDisk = zip.recordsTotal = 2;
            expected = {2, "2 members fill"};
            break;
        case 1:
            zip.zip64EndRecords = true;
            zip.zip64RecordsOnDisk = zip.zip64RecordsTotal = 4;
            expected = {3, "3 of the 4 members"};
            break;
        case 2: // Nothing may be reserved from such a count.
            zip.zip64EndRecords = true;
            zip.zip64RecordsOnDisk = zip.zip64RecordsTotal = ~std::uint64_t{0};
            expected = {3, "3 of the 18446744073709551615 members"};
            break;
        case 3:
            zip.zip64EndRecords = true;
            zip.zip64RecordsOnDisk = zip.zip64RecordsTotal = 2;
            expected = {2, "disagree"};
            break;
        case 4: // The end record's count is the marker, and the ZIP64 record is gone.
            zip.zip64EndRecords = true;
            zip.recordsOnDisk = zip.recordsTotal = 0xffff;
            expected = {3, "member count is not known"};
            break;
        }
        std::string bytes = zip.build();
        if (fault == 4) bytes.replace(bytes.find(std::string("PK\x06\x06", 4)), 4, "PK\x06\x07");
        TempDir dir;
        const ZipArchive archive = openArchive(dir, bytes);
        EXPECT_EQ(archive.entries().size(), expected.listed) << fault;
        EXPECT_TRUE(mentions(archive.directoryFault(), expected.said)) << fault << ": " << archive.directoryFault();
        EXPECT_EQ(member(archive, "/a"), "A");

        dir.write("sub/good.zip", ZipBuilder().add("g", "G").build());
        FileSystem files;
        testing::internal::CaptureStderr();
        files.remount(dir.path().string());
        const std::string warnings = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(mentions(warnings, "a.zip: " + archive.directoryFault() + "\n")) << warnings;
        EXPECT_FALSE(mentions(warnings, "good.zip")) << warnings;
        EXPECT_EQ(readPath(files, "g").bytes, "G");
    }
}

// Every prefix of a good archive: mounting never fails hard, and any member
// that is still listed reads either exactly or not at all.
TEST(HostileArchive, EveryTruncationReadsExactlyOrNotAtAll)
{
    ZipBuilder zip;
    zip.add("one", std::string(300, '1')).add("two", "second member", 0).add("three", std::string(2000, '3'));
    zip.comment = "comment";
    const std::string bytes = zip.build();
    TempDir dir;
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        const ZipArchive archive = openArchive(dir, bytes.substr(0, length));
        for (const ZipMember& m : zip.members) {
            const auto read = archive.readMember("/" + m.name);
            if (read) {
                EXPECT_EQ(std::string(read->begin(), read->end()), m.data) << length;
            }
        }
        if (length == bytes.size()) {
            EXPECT_EQ(archive.entries().size(), 3u);
        }
    }
}

// Random archives read back exactly; the same archives with random bytes
// changed never crash, and whatever they still give has the declared size.
TEST(HostileArchive, RandomArchivesAndRandomDamage)
{
    std::mt19937 random(20261208);
    TempDir dir;
    for (int round = 0; round < 40; ++round) {
        ZipBuilder zip;
        const int count = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < count; ++i) {
            std::string data(random() % 3000, '\0');
            const unsigned alphabet = 1 + random() % 255;
            for (char& c : data) c = static_cast<char>(random() % alphabet);
            // Appended rather than "m" + to_string(i): GCC 12 at -O2 warns
            // wrongly (-Wrestrict) on a literal prepended to a temporary string.
            zip.add(std::string("m").append(std::to_string(i)), data, random() % 2 ? 8 : 0);
            zip.members.back().dataDescriptor = random() % 4 == 0;
        }
        if (random() % 3 == 0) zip.prefix = std::string(random() % 200, 'p');
        if (random() % 3 == 0) zip.comment = std::string(random() % 100, 'c');
        const std::string bytes = zip.build();

        const ZipArchive good = openArchive(dir, bytes);
        ASSERT_EQ(good.entries().size(), static_cast<std::size_t>(count));
        for (const ZipMember& m : zip.members) EXPECT_EQ(member(good, "/" + m.name), m.data);

        for (int damage = 0; damage < 12; ++damage) {
            std::string broken = bytes;
            const int flips = 1 + static_cast<int>(random() % 4);
            for (int f = 0; f < flips; ++f) broken[random() % broken.size()] = static_cast<char>(random());
            const ZipArchive archive = openArchive(dir, broken);
            for (const auto& [key, entry] : archive.entries()) {
                const auto read = archive.readMember(key);
                if (read) {
                    EXPECT_EQ(read->size(), entry.uncompressedSize);
                }
            }
        }
    }
}

} // namespace
} // namespace ORV::Demo
