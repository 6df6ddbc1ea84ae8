// orv-look OUTDIR [--effects DIR] [--size WxH]: draws each sample stage (cel
// shading, pencil hatching, additive glow; all inked and glowing through the
// chain) off-screen and writes OUTDIR/<sample>.png. The effect files come
// from the source tree unless --effects names another folder; the textures
// are the stand-ins made in code.
#include "content/look/Look.h"
#include "platform/image/Png.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

namespace fs = std::filesystem;

namespace {

int usage()
{
    std::cerr << "usage: orv-look OUTDIR [--effects DIR] [--size WxH]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    fs::path output, effects = ORV_EFFECTS_DIR;
    int width = 640, height = 480;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--effects" && i + 1 < argc) {
            effects = argv[++i];
        } else if (arg == "--size" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 16 || height < 16 || width > 4096
                || height > 4096)
                return usage();
        } else if (!arg.empty() && arg[0] != '-' && output.empty()) {
            output = arg;
        } else {
            return usage();
        }
    }
    if (output.empty()) return usage();
    std::error_code error;
    fs::create_directories(output, error);

    // Stand-ins and the scene go to a folder of our own, removed at the end.
    const fs::path work = fs::temp_directory_path()
                          / ("orv-look-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    if (!fs::create_directories(work, error)) {
        std::cerr << "orv-look: cannot make " << work << ": " << error.message() << "\n";
        return 1;
    }
    int status = 0;
    for (const ORV::Content::Sample& sample : ORV::Content::samples()) {
        ORV::Content::Stage stage(width, height);
        if (!stage.build(effects, work, sample.objects)) {
            std::cerr << "orv-look: " << sample.name << ": " << stage.error() << "\n";
            status = 1;
            break;
        }
        const std::vector<std::uint32_t> pixels = stage.frame();
        const fs::path file = output / (sample.name + ".png");
        const ORV::Core::Result<bool> written = ORV::Gfx::writePng(file.string(), width, height, pixels);
        if (!written) {
            std::cerr << "orv-look: " << written.messages() << "\n";
            status = 1;
            break;
        }
        std::cout << file.string() << "\n";
    }
    fs::remove_all(work, error);
    return status;
}
