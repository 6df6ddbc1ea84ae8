#include "tools/orv-scene/Render.h"

#include "display/Display.h"
#include "platform/image/Png.h"
#include "resources/FileSystem.h"
#include "resources/ResourceRegistry.h"
#include "resources/Shader.h"
#include "scene/SceneEffect.h"
#include "scene/SceneFile.h"
#include "scene/SceneGlobals.h"

#include <iostream>
#include <set>
#include <utility>

namespace ORV::Tools {

namespace {

const std::pair<const char*, const Demo::PassId*> passes[] = {
    {"ambient", &Demo::ambientPass},
    {"shade", &Demo::shadePass},
    {"depthdist", &Demo::depthDistPass},
    {"emissive", &Demo::emissivePass},
};

std::string listed(const std::set<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text.empty() ? "none" : text;
}

} // namespace

int renderScene(const RenderRequest& request)
{
    const Demo::PassId* pass = nullptr;
    std::set<std::string> passNames;
    for (const auto& [name, id] : passes) {
        passNames.insert(name);
        if (request.pass == name) pass = id;
    }
    if (!pass) {
        std::cerr << "orv-scene: no render pass \"" << request.pass << "\"; the passes are " << listed(passNames)
                  << "\n";
        return 1;
    }

    // The effects the materials name are loaded ahead, as the demo's manifest
    // loads them, so that the materials find them.
    Demo::SceneDescription description;
    {
        auto stream = Demo::openStream(request.scenePath);
        const Demo::SceneReadResult read = Demo::readScene(*stream, description);
        if (read.status == Demo::SceneReadStatus::BadHeader) {
            std::cerr << "orv-scene: " << request.scenePath << ": " << read.message << "\n";
            return 1;
        }
    }
    Demo::Display display;
    if (!display.createWindow(request.width, request.height, false, false, Platform::VideoMode::Offscreen)) {
        std::cerr << "orv-scene: no off-screen device: " << Demo::Display::lastError() << "\n";
        return 2;
    }
    Demo::registerSceneGlobals();
    Demo::ResourceRegistry& registry = Demo::resourceRegistry();
    std::set<std::string> effects;
    for (const Demo::MaterialRecord& material : description.materials)
        if (!material.effectName.empty() && effects.insert(material.effectName).second)
            registry.addResource(material.effectName, material.effectName, Demo::loadShader);
    while (registry.pendingCount() != 0) registry.loadNext();

    int status = 0;
    {
        std::unique_ptr<Demo::Resource> resource = Demo::loadScene(request.scenePath, "scene");
        auto& scene = static_cast<Demo::PassSceneEffect&>(*resource);
        std::set<std::string> cameraNames;
        for (const auto& [name, binding] : scene.cameraBindings()) cameraNames.insert(name);
        const std::string camera = request.camera.empty() ? scene.currentCamera() : request.camera;
        if (cameraNames.count(camera) == 0) {
            std::cerr << "orv-scene: no camera \"" << camera << "\" in " << request.scenePath << "; the cameras are "
                      << listed(cameraNames) << "\n";
            status = 1;
        } else {
            scene.selectCamera(camera);
            scene.update(0.0f, request.time);
            Gfx::Device& device = Demo::Display::device();
            device.clear(Gfx::ClearFlag::Target | Gfx::ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
            device.beginScene();
            display.pushPass(*pass);
            scene.render(nullptr);
            display.popPass();
            device.endScene();
            const std::vector<std::uint32_t> pixels = device.readPixels(*device.backBuffer());
            const Core::Result<bool> written = Gfx::writePng(request.output, request.width, request.height, pixels);
            if (!written) {
                std::cerr << "orv-scene: " << written.messages() << "\n";
                status = 1;
            }
        }
    }
    // Effects and textures belong to this display's device.
    registry.releaseAll();
    return status;
}

} // namespace ORV::Tools
