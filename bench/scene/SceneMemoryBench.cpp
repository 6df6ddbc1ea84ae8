// Peak memory of reading a large scene file: writes a file holding only Scalar
// animations (four bytes a sample), then reads it back from disk in the same
// process and prints the process's peak resident memory before and after the
// read beside the file's size. Writing streams field by field, so the peak
// before the read is the program's own baseline.
//
// Usage: scene_memory_bench [megabytes of samples] [tracks] [file]
//        (defaults 80, 1 and a file in the temporary folder, removed afterwards)
#include "content/scenewriter/SceneWriter.h"
#include "platform/ProcessStats.h"
#include "scene/SceneFile.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace ORV;

namespace {

double megabytes(std::uint64_t bytes)
{
    return static_cast<double>(bytes) / 1e6;
}

bool writeFile(const std::filesystem::path& path, std::int64_t samples, int tracks)
{
    std::ofstream out(path, std::ios::binary);
    Content::SceneWriter writer(out);
    writer.writeHeader();
    for (int section = 0; section < 6; ++section) writer.writeInt32(0); // meshes .. objects
    writer.writeInt32(tracks);
    for (int t = 0; t < tracks; ++t) {
        const std::int64_t count = samples / tracks + (t < samples % tracks ? 1 : 0);
        writer.writeInt32(0); // Scalar
        writer.writeInt32(static_cast<std::int32_t>(count));
        for (std::int64_t i = 0; i < count; ++i) writer.writeFloat(static_cast<float>(i % 1000) * 0.5f);
    }
    out.flush();
    return writer.good();
}

} // namespace

int main(int argc, char** argv)
{
    const double sampleMegabytes = argc > 1 ? std::max(0.001, std::atof(argv[1])) : 80.0;
    const int tracks = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    const bool keep = argc > 3;
    const std::filesystem::path path =
        keep ? std::filesystem::path(argv[3])
             : std::filesystem::temp_directory_path()
                   / ("scene_memory_bench."
                      + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".orv3d");
    const auto samples = static_cast<std::int64_t>(sampleMegabytes * 1e6 / 4);
    if (samples / tracks > INT32_MAX) {
        std::fprintf(stderr, "scene_memory_bench: more samples per track than a file can count\n");
        return 1;
    }

    if (!writeFile(path, samples, tracks)) {
        std::fprintf(stderr, "scene_memory_bench: cannot write %s\n", path.c_str());
        return 1;
    }
    const std::uint64_t fileBytes = std::filesystem::file_size(path);
    const std::uint64_t peakBefore = Platform::processCounters().peakResidentBytes;

    std::size_t keys = 0;
    float lastTime = 0.0f;
    Demo::SceneReadResult result;
    double seconds = 0;
    {
        std::ifstream in(path, std::ios::binary);
        Demo::SceneDescription description;
        const auto start = std::chrono::steady_clock::now();
        result = Demo::readScene(in, description);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        for (const auto& track : description.tracks) {
            const auto& sampled = static_cast<const Core::SampledAnimationTrack&>(*track);
            keys += sampled.keyCount();
            float range[2];
            sampled.getTimeRange(range);
            lastTime = std::max(lastTime, range[1]);
        }
    }
    const std::uint64_t peakAfter = Platform::processCounters().peakResidentBytes;
    if (!keep) std::filesystem::remove(path);
    if (!result.complete()) {
        std::fprintf(stderr, "scene_memory_bench: %s\n", result.message.c_str());
        return 1;
    }

    const double grown = static_cast<double>(peakAfter - peakBefore);
    std::printf("file: %.1f MB, %lld Scalar samples in %d track(s)\n", megabytes(fileBytes),
                static_cast<long long>(samples), tracks);
    std::printf("keys after reading: %zu (%lld samples share a time with another), last key at %.2f s\n", keys,
                static_cast<long long>(samples - static_cast<std::int64_t>(keys)), static_cast<double>(lastTime));
    std::printf("read: %.2f s\n", seconds);
    std::printf("peak resident: %.1f MB before reading, %.1f MB after (+%.1f MB, %.2f x the file)\n",
                megabytes(peakBefore), megabytes(peakAfter), grown / 1e6, grown / static_cast<double>(fileBytes));
    std::printf("peak resident / file size: %.2f\n", static_cast<double>(peakAfter) / static_cast<double>(fileBytes));
    return 0;
}
