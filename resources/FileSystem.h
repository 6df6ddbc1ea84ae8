// The asset file system: a search list of mount points (ZIP archives and
// directory trees) and openStream, which turns an asset path into an input
// stream. It reads; it never writes, caches decoded assets or watches files.
//
// At start-up, before main, the working directory is mounted: every ".zip"
// below it becomes an archive mount, in the order of a depth-first scan, and
// the remaining files form one directory mount that comes last. Paths are
// looked up case-insensitively in archives and byte-wise among loose files;
// a path that no mount knows is opened as a plain file exactly as given.
#pragma once

#include "core/Result.h"
#include "resources/detail/ZipArchive.h"

#include <cstddef>
#include <istream>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ORV::Demo {

struct MountPoint {
    bool isArchive = false;
    ZipArchive archive; // members, when isArchive
    std::set<std::string> files; // loose files: "/" + path below root, case as on disk
    std::string root; // folder the loose files' paths start from
};

class FileSystem {
public:
    // Files whose extension (the text after the last "." of the name) equals
    // extension, compared case-sensitively, are mounted as archives by
    // mountDirectory.
    void addArchiveExtension(const std::string& extension);

    // Scans the tree below root depth first, appending an archive mount for
    // every archive it meets, then appends one directory mount that lists
    // every other regular file of the tree.
    void mountDirectory(const std::string& root);

    // Appends an archive mount; also when the archive can't be read, in which
    // case the mount point has no members. An archive whose directory is not
    // read in full (see ZipArchive::directoryFault) gets a warning line on the
    // debugger output naming it and the fault.
    void mountArchive(const std::string& path);

    // Forgets every mount point and mounts root the way start-up mounts the
    // working directory (with the "zip" extension). For tools and tests.
    void remount(std::string root); // by value: the mounts it may come from are cleared first

    // Always a stream, owned by the caller: an archive member as an in-memory
    // copy, a loose file as a binary file stream. A member that can't be read
    // gives an empty stream in the failed state, and so does a path that
    // exists nowhere.
    std::unique_ptr<std::istream> openStream(const std::string& path) const;

    // openStream without the last resort: null when no mount point has the
    // path. For readers that must stay inside the asset folder.
    std::unique_ptr<std::istream> openMountedStream(const std::string& path) const;

    // The search list, first match wins.
    const std::vector<MountPoint>& mountPoints() const { return mounts_; }

private:
    void scan(const std::string& root, const std::string& relative, MountPoint& directory);

    std::vector<MountPoint> mounts_;
    std::set<std::string> archiveExtensions_;
};

// The process-wide file system, mounted on the working directory before main.
// Only the main thread uses it.
FileSystem& fileSystem();

// openStream of the process-wide file system.
std::unique_ptr<std::istream> openStream(const std::string& path);

// openMountedStream of the process-wide file system.
std::unique_ptr<std::istream> openMountedStream(const std::string& path);

// The most bytes a whole-asset read takes in. The demo's largest file is a few
// megabytes; the bound is there so that a hostile or broken file (a device
// node, a runaway archive member) ends in a message instead of exhausting
// memory.
constexpr std::size_t maxAssetBytes = std::size_t(256) << 20;

// Reads in to its end, in bounded chunks. Fails with a message (no file name;
// callers add it) when the stream is already failed, a read fails (a folder
// opened as a file, an I/O error) or more than maxBytes arrive. Never throws
// for a stream fault: the stream's own exceptions are caught here.
Core::Result<std::string> readWholeStream(std::istream& in, std::size_t maxBytes = maxAssetBytes);

// True for a path that names something inside the asset folder: not empty,
// relative (no leading "/" or "\\", no drive letter) and without a ".."
// segment. Says nothing about whether the asset exists.
bool isAssetPath(std::string_view path);

// The lookup form of a path: A-Z lower-cased, "\" turned into "/", and "/" in
// front unless it starts with one. "." and ".." segments and doubled slashes
// are kept.
std::string normalizePath(std::string path);

} // namespace ORV::Demo
