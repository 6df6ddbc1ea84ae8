// Builds an archive with one large deflated member (64 MiB of text-like data:
// compressible, but not trivially) in a temporary folder, then prints how fast
// openStream hands its bytes to a reader, next to unzip -p on the same file.
//
//   archive_bench [MiB]     (default 64)
#include "bench/support/ArchiveRead.h"
#include "bench/support/Figures.h"
#include "resources/FileSystem.h"

#include "tests/resources/ZipBuilder.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace ORV::Bench;

namespace {

std::string makeText(std::size_t size)
{
    static const char* const words[] = {"mesh",  "vertex", "shade", "light", "glow",   "ink",   "camera", "scene",
                                        "track", "key",    "blend", "pass",  "target", "depth", "frame",  "time"};
    std::mt19937 random(1);
    std::string text;
    text.reserve(size + 64);
    while (text.size() < size) {
        text += words[random() % 16];
        text += ' ';
        text += std::to_string(random() % 100000);
        text += random() % 8 ? ' ' : '\n';
    }
    text.resize(size);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t mebibytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
    const std::size_t size = mebibytes << 20;
    ORV::Test::TempDir dir;

    auto start = Clock::now();
    const std::string data = makeText(size);
    ORV::Test::ZipBuilder zip;
    zip.add("big.txt", data);
    const std::string archive = zip.build();
    dir.write("big.zip", archive);
    std::printf("member: %zu MiB of text deflated to %.1f MiB (%.2f:1), archive built in %.1f s\n", mebibytes,
                archive.size() / 1048576.0, static_cast<double>(size) / archive.size(), secondsSince(start));

    ORV::Demo::FileSystem files;
    files.remount(dir.path().string());

    constexpr int runs = 3;
    double best = 1e9;
    for (int run = 0; run < runs; ++run) {
        start = Clock::now();
        auto stream = files.openStream("big.txt");
        const double opened = secondsSince(start);
        const std::size_t total = readToEnd(*stream);
        const double seconds = secondsSince(start);
        if (total != size) {
            std::fprintf(stderr, "openStream gave %zu bytes, expected %zu\n", total, size);
            return 1;
        }
        std::printf("openStream run %d: %.3f s (%.3f s to open, decompress and check), %.0f MiB/s\n", run + 1, seconds,
                    opened, mebibytes / seconds);
        best = std::min(best, seconds);
    }

    const std::string command = "unzip -p " + shellQuoted((dir.path() / "big.zip").string()) + " big.txt > /dev/null";
    double bestUnzip = 1e9;
    if (haveProgram("unzip")) {
        for (int run = 0; run < runs; ++run) {
            const double seconds = timeShellCommand(command);
            if (seconds < 0) {
                std::fprintf(stderr, "unzip -p failed\n");
                return 1;
            }
            std::printf("unzip -p   run %d: %.3f s, %.0f MiB/s\n", run + 1, seconds, mebibytes / seconds);
            bestUnzip = std::min(bestUnzip, seconds);
        }
    }

    std::printf("\nbest of %d, %zu MiB member:\n", runs, mebibytes);
    std::printf("  openStream  %7.0f MiB/s\n", mebibytes / best);
    if (bestUnzip < 1e9)
        std::printf("  unzip -p    %7.0f MiB/s\n", mebibytes / bestUnzip);
    else
        std::printf("  unzip -p    not installed\n");
    return 0;
}
