// The content generator: makes every asset the demo ships from the sources in
// content/ and writes them where the demo finds them. Each kind of asset
// (images, effects, scenes, the soundtrack) is one module with one
// maker function; assetKinds() lists them, so adding a kind is one line there
// and one source file.
//
// Everything is deterministic: fixed seeds, fixed order, no time stamps, so
// the same inputs give the same bytes on every build.
#pragma once

#include <filesystem>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace ORV::Content {

// What the makers read. Paths are used as given.
struct GeneratorInputs {
    // Folder of the hand-written effect files (*.fx); it may be empty or
    // missing, and then the archive has no effects.
    std::filesystem::path effectsDir;
    // Folder of the DejaVu fonts (fonts-dejavu-core) the credits card is set in.
    std::filesystem::path fontDir;
    // The kinds to make, by name; empty for all of them.
    std::set<std::string> kinds;
};

// One finished asset.
struct Asset {
    enum class Place {
        Archive, // a member of the asset archive, under path
        LooseFile // a file of its own next to the archive (the soundtrack)
    };
    std::string path; // archive member name or file name; "/" separated, relative
    std::string bytes;
    Place place = Place::Archive;
    bool compress = true; // deflate in the archive; false for already compressed data (JPEG, Ogg)
};

using AssetList = std::vector<Asset>;

// One kind of asset: its name (for messages) and its maker, which appends its
// assets to the list in a fixed order. Makers throw std::runtime_error with a
// message for the author (a missing font, an unreadable source file).
struct AssetKind {
    const char* name;
    void (*make)(const GeneratorInputs& inputs, AssetList& out);
};

// The kinds, in the order their assets go into the archive.
std::span<const AssetKind> assetKinds();

// Runs every maker. Throws std::runtime_error (prefixed with the kind's name)
// on the first failure, or when two assets share a path.
AssetList generateAssets(const GeneratorInputs& inputs);

// The archive of every Archive asset, in list order, JPEG and other
// compressed data stored, the rest deflated.
std::string buildArchive(const AssetList& assets);

// Writes the archive as outDir/archiveName and each loose file as
// outDir/path, creating outDir. Each file is written to a temporary name and
// renamed into place, so a reader (or an interrupted build) never sees half a
// file. Throws std::runtime_error naming the file on failure.
void writeAssets(const AssetList& assets, const std::filesystem::path& outDir, const std::string& archiveName);

} // namespace ORV::Content
