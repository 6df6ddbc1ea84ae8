// Effects are written by hand in content/effects/; the generator only carries
// them into the archive under their file names, so the demo's manifest paths
// ("cartoon.fx", ...) are the file names there.
#include "content/generator/detail/Kinds.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace ORV::Content::detail {

void copyEffects(const GeneratorInputs& inputs, AssetList& out)
{
    std::error_code error;
    if (!std::filesystem::is_directory(inputs.effectsDir, error)) return;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(inputs.effectsDir, error))
        if (entry.is_regular_file(error) && entry.path().extension() == ".fx") files.push_back(entry.path());
    if (error) throw std::runtime_error("cannot list " + inputs.effectsDir.string());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in) throw std::runtime_error("cannot open " + file.string());
        std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in.bad()) throw std::runtime_error("cannot read " + file.string());
        out.push_back({file.filename().string(), std::move(bytes), Asset::Place::Archive, true});
    }
}

} // namespace ORV::Content::detail
