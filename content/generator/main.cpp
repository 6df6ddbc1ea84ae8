// orv-content: makes the demo's assets and writes the asset archive (and any
// loose files) into a folder. The build runs it; run it by hand as
//
//   orv-content --out DIR [--archive NAME] [--effects DIR] [--fonts DIR] [--kinds LIST]
//
// Exit status 0 on success, 1 with a message on stderr when an asset cannot
// be made or written, 2 for bad arguments.
#include "content/generator/Generator.h"

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

namespace {

int usage()
{
    std::fputs("usage: orv-content --out DIR [--archive NAME] [--effects DIR] [--fonts DIR] [--kinds LIST]\n"
               "  --archive  archive file name in DIR (default marrowlight.zip)\n"
               "  --effects  folder of the .fx files to carry (default content/effects)\n"
               "  --fonts    folder of the DejaVu fonts (default /usr/share/fonts/truetype/dejavu)\n"
               "  --kinds    the kinds to make, comma-separated (default all: images,effects,scenes,soundtrack)\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string outDir, archive = "marrowlight.zip";
    ORV::Content::GeneratorInputs inputs{"content/effects", "/usr/share/fonts/truetype/dejavu"};
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (i + 1 == argc) return usage();
        const char* value = argv[++i];
        if (option == "--out")
            outDir = value;
        else if (option == "--archive")
            archive = value;
        else if (option == "--effects")
            inputs.effectsDir = value;
        else if (option == "--fonts")
            inputs.fontDir = value;
        else if (option == "--kinds")
            for (std::string_view rest = value; !rest.empty();) {
                const std::size_t comma = rest.find(',');
                inputs.kinds.insert(std::string(rest.substr(0, comma)));
                rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
            }
        else
            return usage();
    }
    if (outDir.empty() || archive.empty() || archive.find('/') != std::string::npos) return usage();
    for (const std::string& name : inputs.kinds) {
        bool known = false;
        for (const ORV::Content::AssetKind& kind : ORV::Content::assetKinds()) known = known || name == kind.name;
        if (!known) return usage();
    }
    try {
        ORV::Content::writeAssets(ORV::Content::generateAssets(inputs), outDir, archive);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "orv-content: %s\n", error.what());
        return 1;
    }
    return 0;
}
