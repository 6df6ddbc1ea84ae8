// Mounts the fuzzer's input as an archive and reads every member it lists,
// through the archive and through openStream. A member that reads must have
// exactly its directory size; anything else must fail cleanly.
//
//   mkdir corpus && ./archive_fuzz_seeds corpus
//   ./archive_fuzzer -dict=archive.dict corpus
// Run it from an empty folder: the file system also mounts the working
// directory at start-up, as the demo does. Mounting warns on standard error
// about every archive whose directory is damaged; -close_fd_mask=2 keeps those
// lines off the terminal while libFuzzer's and the sanitizers' reports show.
#include "resources/FileSystem.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

std::string archivePath;

void removeArchive()
{
    if (!archivePath.empty()) std::remove(archivePath.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char name[] = "/tmp/orv-archive-fuzz-XXXXXX";
    const int descriptor = mkstemp(name);
    if (descriptor < 0) std::abort();
    close(descriptor);
    archivePath = name;
    std::atexit(removeArchive);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        std::ofstream out(archivePath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    ORV::Demo::FileSystem files;
    files.mountArchive(archivePath);
    const ORV::Demo::ZipArchive& archive = files.mountPoints().front().archive;
    for (const auto& [key, entry] : archive.entries()) {
        const auto bytes = archive.readMember(key);
        if (bytes && bytes->size() != entry.uncompressedSize) std::abort();
        if (bytes && bytes->size() > ORV::Demo::ZipArchive::maxMemberSize) std::abort();
        // openStream turns backslashes into slashes, so a key holding one is
        // not reachable through it (members are stored with "/").
        if (key.find('\\') != std::string::npos) continue;
        auto stream = files.openStream(key);
        const std::string streamed{std::istreambuf_iterator<char>(*stream), std::istreambuf_iterator<char>()};
        if (bytes && streamed != std::string(bytes->begin(), bytes->end())) std::abort();
        if (!bytes && !streamed.empty()) std::abort();
    }
    return 0;
}
