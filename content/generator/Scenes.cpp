// The seven scene files, built from code (content/scenes) and written by the
// scene writer into the archive.
#include "content/scenes/Scenes.h"
#include "content/generator/detail/Kinds.h"
#include "content/scenewriter/SceneWriter.h"

#include <sstream>
#include <stdexcept>

namespace ORV::Content::detail {

void makeScenes(const GeneratorInputs&, AssetList& out)
{
    for (const DemoScene& scene : demoScenes()) {
        std::ostringstream bytes;
        std::string error;
        if (!writeScene(bytes, scene.build(), error)) throw std::runtime_error(std::string(scene.name) + ": " + error);
        out.push_back({std::string(scene.name) + ".orv3d", bytes.str(), Asset::Place::Archive, true});
    }
}

} // namespace ORV::Content::detail
