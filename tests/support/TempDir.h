// A fresh temporary folder for one test, removed with everything in it when the
// object goes out of scope.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace ORV::Test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes bytes to a file below the folder, creating subfolders as needed.
    std::filesystem::path write(const std::string& relative, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

// Reads a whole file; empty when it cannot be read.
std::string readFile(const std::filesystem::path& file);

} // namespace ORV::Test
