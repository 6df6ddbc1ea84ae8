#include "resources/FileSystem.h"

#include "core/Ascii.h"
#include "platform/DebugOutput.h"
#include "resources/detail/MemoryStream.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace ORV::Demo {

namespace {

// root + relative, without doubling the slash when root already ends in one.
std::string joinPath(const std::string& root, const std::string& relative)
{
    if (!root.empty() && root.back() == '/' && !relative.empty() && relative.front() == '/')
        return root + relative.substr(1);
    return root + relative;
}

std::unique_ptr<std::istream> failedMemoryStream()
{
    auto stream = std::make_unique<detail::MemoryStream>(std::vector<char>{});
    stream->setstate(std::ios::failbit);
    return stream;
}

} // namespace

std::string normalizePath(std::string path)
{
    for (char& c : path) {
        c = c == '\\' ? '/' : Core::toLowerAscii(c);
    }
    if (path.empty() || path.front() != '/') path.insert(path.begin(), '/');
    return path;
}

void FileSystem::addArchiveExtension(const std::string& extension)
{
    archiveExtensions_.insert(extension);
}

void FileSystem::mountArchive(const std::string& path)
{
    MountPoint mount;
    mount.isArchive = true;
    mount.archive.open(path);
    // An archive read in part still serves the members it lists, but a user
    // missing the others must learn why.
    if (!mount.archive.directoryFault().empty())
        Platform::debugOutput("Archive " + path + ": " + mount.archive.directoryFault() + "\n");
    mounts_.push_back(std::move(mount));
}

void FileSystem::mountDirectory(const std::string& root)
{
    MountPoint directory;
    directory.isArchive = false;
    // An empty root is the working directory; kept as "." so that joined
    // paths stay relative.
    directory.root = root.empty() ? std::string(".") : root;
    scan(directory.root, "", directory);
    mounts_.push_back(std::move(directory));
}

void FileSystem::remount(std::string root)
{
    mounts_.clear();
    addArchiveExtension("zip");
    mountDirectory(std::move(root));
}

// The entries of each folder are taken in byte-wise order of their names, so
// that the order of archives in the search list, which decides which of two
// archives with the same member wins, is the same on every machine and file
// system (directory enumeration itself has no defined order).
//
// Only regular files and real subfolders take part. Symbolic links to files
// count as files; links to folders are not followed, so a link cycle can't
// make the scan endless. Folders that can't be read are skipped, and nothing
// here throws.
void FileSystem::scan(const std::string& root, const std::string& relative, MountPoint& directory)
{
    namespace fs = std::filesystem;
    struct Item {
        std::string name;
        bool isDirectory;
    };
    std::vector<Item> items;
    std::error_code error;
    const std::string folder = relative.empty() ? root : joinPath(root, relative);
    fs::directory_iterator iterator(folder, error);
    for (const fs::directory_iterator end; !error && iterator != end; iterator.increment(error)) {
        const fs::directory_entry& entry = *iterator;
        std::error_code statusError;
        const fs::file_status link = entry.symlink_status(statusError);
        if (statusError) continue;
        if (fs::is_directory(link)) {
            items.push_back({entry.path().filename().string(), true});
            continue;
        }
        const fs::file_status target = entry.status(statusError);
        if (!statusError && fs::is_regular_file(target)) items.push_back({entry.path().filename().string(), false});
    }
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.name < b.name; });

    for (const Item& item : items) {
        const std::string path = relative + "/" + item.name;
        if (item.isDirectory) {
            scan(root, path, directory);
            continue;
        }
        // The extension is the text after the last "."; a name without one
        // has none, so that a file named just "zip" stays a loose file instead
        // of becoming an archive mount with no members.
        const std::size_t dot = item.name.rfind('.');
        if (dot != std::string::npos && archiveExtensions_.count(item.name.substr(dot + 1)) != 0)
            mountArchive(joinPath(root, path));
        else
            directory.files.insert(path);
    }
}

std::unique_ptr<std::istream> FileSystem::openStream(const std::string& path) const
{
    if (auto mounted = openMountedStream(path)) return mounted;
    // Not known to any mount: the path exactly as the caller wrote it.
    return std::make_unique<std::ifstream>(path, std::ios::binary);
}

std::unique_ptr<std::istream> FileSystem::openMountedStream(const std::string& path) const
{
    const std::string key = normalizePath(path);
    for (const MountPoint& mount : mounts_) {
        if (mount.isArchive) {
            if (!mount.archive.contains(key)) continue;
            auto bytes = mount.archive.readMember(key);
            if (!bytes) return failedMemoryStream();
            return std::make_unique<detail::MemoryStream>(std::move(*bytes));
        }
        if (mount.files.count(key) != 0)
            return std::make_unique<std::ifstream>(joinPath(mount.root, key), std::ios::binary);
    }
    return nullptr;
}

FileSystem& fileSystem()
{
    static FileSystem instance;
    return instance;
}

std::unique_ptr<std::istream> openStream(const std::string& path)
{
    return fileSystem().openStream(path);
}

std::unique_ptr<std::istream> openMountedStream(const std::string& path)
{
    return fileSystem().openMountedStream(path);
}

Core::Result<std::string> readWholeStream(std::istream& in, std::size_t maxBytes)
{
    if (!in) return Core::Result<std::string>::failure("cannot be opened");
    std::string bytes;
    constexpr std::size_t chunk = std::size_t(1) << 16;
    // istream::read turns a failing buffer (reading a folder, an I/O error) into
    // badbit rather than an exception, unless the caller asked for exceptions.
    in.exceptions(std::ios::goodbit);
    while (true) {
        const std::size_t used = bytes.size();
        const std::size_t want = std::min(chunk, maxBytes - used + 1); // one past the bound tells "too large"
        try {
            bytes.resize(used + want);
        } catch (const std::exception&) {
            return Core::Result<std::string>::failure("is too large to read into memory");
        }
        in.read(bytes.data() + used, std::streamsize(want));
        bytes.resize(used + std::size_t(in.gcount()));
        if (in.bad()) return Core::Result<std::string>::failure("cannot be read");
        if (bytes.size() > maxBytes)
            return Core::Result<std::string>::failure("is larger than " + std::to_string(maxBytes) + " bytes");
        if (in.eof()) return bytes;
    }
}

bool isAssetPath(std::string_view path)
{
    if (path.empty() || path.front() == '/' || path.front() == '\\') return false;
    if (path.size() >= 2 && path[1] == ':') return false; // a drive letter
    std::size_t begin = 0;
    while (begin <= path.size()) {
        const std::size_t end = std::min(path.find_first_of("/\\", begin), path.size());
        if (path.substr(begin, end - begin) == "..") return false;
        begin = end + 1;
    }
    return true;
}

namespace {

// Mounts the working directory during static initialisation, so that every
// later static object and main itself can open assets.
struct StartupMount {
    StartupMount()
    {
        FileSystem& files = fileSystem();
        files.addArchiveExtension("zip");
        files.mountDirectory("./");
    }
} startupMount;

} // namespace

} // namespace ORV::Demo
