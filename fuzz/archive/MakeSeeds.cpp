// Writes small archives of every shape the reader knows into a folder: the
// archive fuzzer's starting corpus.
#include "tests/resources/ZipBuilder.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

using ORV::Test::ZipBuilder;

namespace {

void write(const std::string& folder, const std::string& name, const ZipBuilder& zip)
{
    const std::string bytes = zip.build();
    std::ofstream(folder + "/" + name, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: archive_fuzz_seeds FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::string text;
    for (int i = 0; i < 200; ++i) text += "line " + std::to_string(i * 37 % 101) + "\n";

    write(folder, "stored.zip", ZipBuilder().add("a.txt", "stored bytes", 0).add("B/C.fx", "float4 x;", 0));
    write(folder, "deflated.zip", ZipBuilder().add("text.txt", text).add("empty", ""));

    ZipBuilder descriptor;
    descriptor.add("streamed", text).add("after", "after", 0);
    descriptor.members[0].dataDescriptor = true;
    write(folder, "descriptor.zip", descriptor);

    ZipBuilder framed;
    framed.add("m", text.substr(0, 300));
    framed.prefix = "#!/bin/sh\nexit 0\n";
    framed.comment = "an archive comment";
    framed.members[0].extra = std::string("\x55\x54\x05\x00\x01\x00\x00\x00\x00", 9);
    framed.members[0].comment = "member comment";
    write(folder, "framed.zip", framed);

    ZipBuilder zip64;
    zip64.add("z", text.substr(0, 500));
    zip64.members[0].localZip64Sizes = true;
    zip64.zip64EndRecords = true;
    write(folder, "zip64.zip", zip64);

    // Only ZIP64 markers in the end record and the member's fields: the values
    // come from the ZIP64 end record (with extensible data) and extra field.
    ZipBuilder markers;
    markers.add("s", "stored", 0).add("d", text.substr(0, 200));
    markers.members[0].compressedSize = markers.members[0].uncompressedSize = 0xffffffffu;
    markers.members[0].localHeaderOffset = 0xffffffffu;
    std::string extra;
    ZipBuilder::put16(extra, 1);
    ZipBuilder::put16(extra, 24);
    for (std::uint64_t value : {6, 6, 0}) ZipBuilder::put64(extra, value);
    markers.members[0].extra = extra;
    markers.zip64EndRecords = true;
    markers.zip64ExtensibleData = "extensible";
    markers.recordsOnDisk = markers.recordsTotal = 0xffff;
    markers.directorySize = markers.directoryOffset = 0xffffffffu;
    write(folder, "zip64-markers.zip", markers);
    return 0;
}
