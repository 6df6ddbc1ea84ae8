#include "content/generator/Generator.h"

#include "content/generator/detail/Kinds.h"
#include "content/zipwriter/ZipWriter.h"

#include <fstream>
#include <set>
#include <stdexcept>

namespace ORV::Content {

namespace {

// One line per kind of asset.
const AssetKind kinds[] = {
    {"images", detail::makeImages},
    {"effects", detail::copyEffects},
    {"scenes", detail::makeScenes},
    {"soundtrack", detail::makeSoundtrack},
};

void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::filesystem::path temporary = path;
    temporary += ".partial";
    bool written = false;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        written = !out.fail();
    }
    std::error_code error;
    if (!written) {
        std::filesystem::remove(temporary, error);
        throw std::runtime_error("cannot write " + temporary.string());
    }
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        throw std::runtime_error("cannot move the new file into place as " + path.string());
    }
}

} // namespace

std::span<const AssetKind> assetKinds()
{
    return kinds;
}

AssetList generateAssets(const GeneratorInputs& inputs)
{
    AssetList assets;
    std::set<std::string> paths;
    for (const AssetKind& kind : kinds) {
        if (!inputs.kinds.empty() && inputs.kinds.count(kind.name) == 0) continue;
        const std::size_t first = assets.size();
        try {
            kind.make(inputs, assets);
        } catch (const std::exception& error) {
            throw std::runtime_error(std::string(kind.name) + ": " + error.what());
        }
        for (std::size_t i = first; i < assets.size(); ++i)
            if (!paths.insert(assets[i].path).second)
                throw std::runtime_error(std::string(kind.name) + ": a second asset named " + assets[i].path);
    }
    return assets;
}

std::string buildArchive(const AssetList& assets)
{
    ZipWriter zip;
    for (const Asset& asset : assets)
        if (asset.place == Asset::Place::Archive)
            zip.add(asset.path, asset.bytes, asset.compress ? ZipMethod::Deflated : ZipMethod::Stored);
    return zip.finish();
}

void writeAssets(const AssetList& assets, const std::filesystem::path& outDir, const std::string& archiveName)
{
    std::error_code error;
    std::filesystem::create_directories(outDir, error);
    if (error) throw std::runtime_error("cannot create the folder " + outDir.string());
    for (const Asset& asset : assets)
        if (asset.place == Asset::Place::LooseFile) writeFile(outDir / asset.path, asset.bytes);
    writeFile(outDir / archiveName, buildArchive(assets));
}

} // namespace ORV::Content
