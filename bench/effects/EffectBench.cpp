// effect_bench [FILE.fx | FOLDER]...
//
// Compiles each effect file several times as the demo does (its two defines,
// includes from the file's folder) and prints the median milliseconds of each
// step: preprocess, front end (effect parser and glslang HLSL to SPIR-V) and
// cross-compile (SPIRV-Cross to GLSL with reflection), and the GL link of
// every pass on an off-screen context. The first compilation of the run also
// pays for glslang's process initialisation and is reported apart.
#include "bench/support/EffectTiming.h"
#include "bench/support/Figures.h"
#include "platform/DeviceWindow.h"
#include "platform/gfx/CompiledEffect.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace ORV::Gfx;
using ORV::Bench::median;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

class FolderIncludes final : public EffectIncludeHandler {
public:
    explicit FolderIncludes(fs::path folder) : folder_(std::move(folder)) {}
    ORV::Core::Result<std::string> open(const std::string& name) override
    {
        if (!fs::is_regular_file(folder_ / name))
            return ORV::Core::Result<std::string>::failure("cannot open include file");
        return readFile(folder_ / name);
    }

private:
    fs::path folder_;
};

} // namespace

int main(int argc, char** argv)
{
    std::vector<fs::path> files;
    std::vector<fs::path> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    if (arguments.empty()) arguments.emplace_back(ORV_EFFECT_SAMPLES_DIR);
    for (const fs::path& argument : arguments) {
        if (fs::is_directory(argument)) {
            for (const fs::directory_entry& entry : fs::directory_iterator(argument))
                if (entry.path().extension() == ".fx") files.push_back(entry.path());
        } else {
            files.push_back(argument);
        }
    }
    std::sort(files.begin(), files.end());

    auto opened = ORV::Platform::DeviceWindow::openOffscreen(16, 16);
    if (!opened) {
        std::fprintf(stderr, "effect_bench: %s\n", opened.messages().c_str());
        return 1;
    }
    auto window = std::move(opened).value();

    const int repetitions = 9;
    bool first = true;
    std::printf("%-16s %7s %6s %11s %10s %10s %10s %8s\n", "effect", "passes", "bytes", "preprocess", "front end",
                "cross", "GL link", "total");
    for (const fs::path& path : files) {
        std::string source = readFile(path);
        FolderIncludes includes(path.parent_path());
        std::vector<double> preprocess, frontEnd, cross, link, total;
        size_t passes = 0;
        for (int r = 0; r < repetitions; ++r) {
            const ORV::Bench::EffectTime time =
                ORV::Bench::compileAndLink(window->device(), source, path.filename().string(), includes);
            if (!time.ok) {
                std::printf("%s: does not compile or link\n%s\n", path.string().c_str(), time.messages.c_str());
                return 1;
            }
            if (first) {
                std::printf("%-16s first compilation of the run, with glslang start-up: %.2f ms\n",
                            path.filename().string().c_str(), time.total);
                first = false;
                continue;
            }
            passes = time.passes;
            preprocess.push_back(time.preprocess);
            frontEnd.push_back(time.frontEnd);
            cross.push_back(time.crossCompile);
            link.push_back(time.link);
            total.push_back(time.total);
        }
        std::printf("%-16s %7zu %6zu %8.2f ms %7.2f ms %7.2f ms %7.2f ms %5.2f ms\n", path.filename().string().c_str(),
                    passes, source.size(), median(preprocess), median(frontEnd), median(cross), median(link),
                    median(total));
    }
    return 0;
}
