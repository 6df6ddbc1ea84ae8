#include "content/scenes/Scenes.h"

#include "content/scenewriter/SceneWriter.h"

#include <fstream>
#include <sstream>

namespace ORV::Content {

std::span<const DemoScene> demoScenes()
{
    static const DemoScene scenes[] = {{"intro1", intro1Scene},   {"intro2", intro2Scene},   {"scene01", scene01Scene},
                                       {"scene02", scene02Scene}, {"scene03", scene03Scene}, {"scene04", scene04Scene},
                                       {"outro", outroScene}};
    return scenes;
}

bool writeDemoScenes(const std::filesystem::path& folder, std::string& error)
{
    for (const DemoScene& scene : demoScenes()) {
        std::ostringstream bytes;
        if (!writeScene(bytes, scene.build(), error)) {
            error = std::string(scene.name) + ": " + error;
            return false;
        }
        const std::filesystem::path file = folder / (std::string(scene.name) + ".orv3d");
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        const std::string data = bytes.str();
        out.write(data.data(), std::streamsize(data.size()));
        out.close();
        if (!out) {
            error = "cannot write " + file.string();
            return false;
        }
    }
    return true;
}

} // namespace ORV::Content
