// orv-scenes FOLDER: writes the demo's seven scene files into FOLDER (created
// when missing). Exit status 0 when all were written, 1 otherwise.
#include "content/scenes/Scenes.h"

#include <filesystem>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: orv-scenes FOLDER\n";
        return 1;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code code;
    std::filesystem::create_directories(folder, code);
    if (code) {
        std::cerr << "orv-scenes: cannot create " << folder.string() << ": " << code.message() << "\n";
        return 1;
    }
    std::string error;
    if (!ORV::Content::writeDemoScenes(folder, error)) {
        std::cerr << "orv-scenes: " << error << "\n";
        return 1;
    }
    return 0;
}
