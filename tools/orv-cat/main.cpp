// orv-cat: writes the bytes that openStream yields for each asset path to
// standard output, with the search list the demo builds when started from the
// current folder; or, with --list, prints that search list.
//
//   orv-cat PATH...   exit status 1 when a path gives a failed stream
//   orv-cat --list
#include "resources/FileSystem.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

using ORV::Demo::fileSystem;
using ORV::Demo::MountPoint;

void printSearchList()
{
    for (const MountPoint& mount : fileSystem().mountPoints()) {
        if (mount.isArchive) {
            const auto& entries = mount.archive.entries();
            std::printf("archive %s (%zu members)\n", mount.archive.path().c_str(), entries.size());
            for (const auto& [key, entry] : entries)
                std::printf("  %s %llu bytes, %s\n", key.c_str(),
                            static_cast<unsigned long long>(entry.uncompressedSize),
                            entry.method == 0 ? "stored" : "deflated");
        } else {
            std::printf("directory %s (%zu files)\n", mount.root.c_str(), mount.files.size());
            for (const std::string& file : mount.files) std::printf("  %s\n", file.c_str());
        }
    }
}

// Copies one asset to standard output; false when its stream failed.
bool copyAsset(const std::string& path)
{
    auto stream = ORV::Demo::openStream(path);
    if (!*stream) return false;
    std::vector<char> buffer(1 << 16);
    while (*stream) {
        stream->read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(stream->gcount());
        if (got != 0 && std::fwrite(buffer.data(), 1, got, stdout) != got) return false;
    }
    return !stream->bad();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: orv-cat PATH...\n       orv-cat --list\n");
        return 2;
    }
    if (argc == 2 && std::string(argv[1]) == "--list") {
        printSearchList();
        return 0;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        if (!copyAsset(argv[i])) {
            std::fflush(stdout);
            std::fprintf(stderr, "orv-cat: '%s' can't be read (no archive member or file gives its bytes)\n", argv[i]);
            status = 1;
        }
    }
    return std::fflush(stdout) == 0 ? status : 1;
}
