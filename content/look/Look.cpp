#include "content/look/Look.h"

#include "app/Settings.h"
#include "content/scenewriter/SceneWriter.h"
#include "content/scenewriter/Shapes.h"
#include "resources/FileSystem.h"
#include "resources/ResourceRegistry.h"
#include "resources/Shader.h"
#include "resources/Texture.h"
#include "scene/SceneGlobals.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <sstream>

namespace ORV::Content {

namespace {

// "DDS ", a 124-byte header for one uncompressed 32-bit level, then the texels
// as B, G, R, A bytes.
std::string dds(int width, int height, const std::vector<std::uint32_t>& argb)
{
    std::string file(128, '\0');
    auto put = [&](std::size_t offset, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) file[offset + std::size_t(i)] = char(v >> (8 * i));
    };
    file.replace(0, 4, "DDS ");
    put(4, 124);
    put(8, 0x100F); // CAPS | HEIGHT | WIDTH | PITCH | PIXELFORMAT
    put(12, std::uint32_t(height));
    put(16, std::uint32_t(width));
    put(20, std::uint32_t(width * 4));
    put(76, 32);
    put(80, 0x41); // RGB | ALPHAPIXELS
    put(88, 32);
    put(92, 0x00FF0000);
    put(96, 0x0000FF00);
    put(100, 0x000000FF);
    put(104, 0xFF000000);
    put(108, 0x1000); // TEXTURE
    for (std::uint32_t texel : argb)
        for (int i = 0; i < 4; ++i) file.push_back(char(texel >> (8 * i)));
    return file;
}

std::uint32_t grey(float value)
{
    const auto g = std::uint32_t(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
    return 0xFF000000u | g << 16 | g << 8 | g;
}

bool writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

const char* const kEffects[] = {"cartoon.fx", "Additive.fx", "HatchCartoon.fx", "ink.fx"};
const char* const kEffectNames[] = {"cartoonShader", "additiveShader", "cartoonShader2", "inkShader"};

} // namespace

std::string rampDds(const std::vector<RampBand>& bands, int rampWidth)
{
    std::vector<std::uint32_t> texels;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < rampWidth; ++x) {
            const float u = (float(x) + 0.5f) / float(rampWidth);
            float value = bands.empty() ? 0.0f : bands.back().grey;
            for (const RampBand& band : bands)
                if (u < band.upTo) {
                    value = band.grey;
                    break;
                }
            texels.push_back(grey(value));
        }
    return dds(rampWidth, 4, texels);
}

std::string hatchSetDds(int size)
{
    std::vector<std::uint32_t> texels;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int down = (x + y) % 8, up = (x - y + size * 8) % 8;
            const bool light = down == 0; // every 8th diagonal
            const bool medium = light || down == 4; // then every 4th
            const bool dense = medium || up == 0 || up == 4; // then crossed
            const auto tone = [](bool stroke) { return std::uint32_t(stroke ? 38 : 255); };
            texels.push_back(0xFF000000u | tone(light) << 16 | tone(medium) << 8 | tone(dense));
        }
    return dds(size, size, texels);
}

std::map<std::string, std::string> cartoonParameters(const std::string& diffuseColor)
{
    return {{"diffuseColor", diffuseColor}, {"rampTex", kRampFile}, {"specularTex", kSpecularFile}};
}

std::map<std::string, std::string> hatchParameters(const std::string& diffuseColor)
{
    return {{"diffuseColor", diffuseColor}, {"hatchTex", kHatchFile}};
}

std::vector<Sample> samples()
{
    std::map<std::string, std::string> glowing = cartoonParameters("90 140 230");
    glowing.insert_or_assign("glowColor", std::string("60 90 160"));
    return {
        {"cartoon",
         {{"cartoon.fx", cartoonParameters(), {0.2f, 0.1f, 0}, 1.0f},
          {"cartoon.fx", cartoonParameters("90 170 110"), {-0.8f, -0.55f, 1.1f}, 0.45f}}},
        {"hatch",
         {{"HatchCartoon.fx", hatchParameters(), {0.2f, 0.1f, 0}, 1.0f},
          {"HatchCartoon.fx", hatchParameters("200 220 255"), {-0.8f, -0.55f, 1.1f}, 0.45f}}},
        {"glow",
         {{"cartoon.fx", glowing, {0, 0, 0}, 1.0f},
          {"Additive.fx", {{"color", "60 200 255"}, {"intensity", "0.7"}}, {1.25f, 0.85f, 0.6f}, 0.22f},
          {"Additive.fx", {{"color", "255 140 30"}, {"intensity", "0.8"}}, {-1.3f, -0.8f, 0.4f}, 0.15f}}},
    };
}

Stage::Stage(int width, int height) : width_(width), height_(height)
{
    if (!display_.createWindow(width, height, false, false, Platform::VideoMode::Offscreen)) {
        error_ = Demo::Display::lastError();
        return;
    }
    Demo::currentDisplay = &display_;
    Demo::screenWidth = width;
    Demo::screenHeight = height;
    ok_ = true;
}

Stage::~Stage()
{
    chain_.reset();
    sceneResource_.reset();
    Demo::resourceRegistry().releaseAll();
    Demo::sceneGlobals() = {};
    if (Demo::currentDisplay == &display_) Demo::currentDisplay = nullptr;
}

bool Stage::build(const std::filesystem::path& effectsFolder, const std::filesystem::path& workFolder,
                  const std::vector<StageObject>& objects)
{
    if (!ok_) return false;
    auto fail = [this](std::string message) {
        error_ = std::move(message);
        return false;
    };
    std::error_code ignored;
    // The asset file system matches loose files under their lower-cased
    // names only (a capitalised loose file is found just through the working
    // directory, which is how the demo, run from its asset folder, finds
    // "Additive.fx"), so the copies take lower-case names.
    for (const char* effect : kEffects) {
        std::string lower = effect;
        for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (!std::filesystem::copy_file(effectsFolder / effect, workFolder / lower,
                                        std::filesystem::copy_options::overwrite_existing, ignored))
            return fail("cannot copy " + (effectsFolder / effect).string() + " to " + workFolder.string());
    }
    const std::pair<const char*, std::string> standIns[] = {
        {kRampFile, rampDds({{0.5f, 0.35f}, {0.75f, 0.65f}, {1.0f, 1.0f}})},
        {kSpecularFile, rampDds({{0.9f, 0.0f}, {1.0f, 1.0f}})},
        {kHatchFile, hatchSetDds()},
    };
    for (const auto& [name, bytes] : standIns)
        if (!writeFile(workFolder / name, bytes)) return fail("cannot write " + (workFolder / name).string());

    // The scene: one sphere mesh shared by every object, each placed by its
    // own still transform.
    Demo::SceneDescription d;
    d.meshGroups = {{sphereMeshPart(32, 48)}};
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const StageObject& object = objects[i];
        Demo::MaterialRecord material;
        material.name = "material" + std::to_string(i);
        material.effectName = object.effect;
        material.parameters = object.parameters;
        d.materials.push_back(material);
        const float r = object.radius;
        const float pose[Core::Transform::floatCount] = {
            object.position.x, object.position.y, object.position.z, 0, 0, 0, 1, 0, 0, 0, 1, r, r, r, 1};
        const std::int32_t track = appendSampledAnimation(d, Core::TrackValueKind::Transform, pose);
        d.nodes.push_back({"object" + std::to_string(i), 0, std::int32_t(i), track, {}});
    }
    const float eye[Core::Transform::floatCount] = {0, 0, 5.5f, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1, 1};
    const float fieldOfView[1] = {0.8f};
    d.cameras = {{"Camera01", appendSampledAnimation(d, Core::TrackValueKind::Transform, eye),
                  appendSampledAnimation(d, Core::TrackValueKind::Scalar, fieldOfView)}};
    auto light = [&d](Core::Vector3 position, Core::Vector3 colour, float radius) {
        const float p[3] = {position.x, position.y, position.z}, c[3] = {colour.x, colour.y, colour.z}, r[1] = {radius};
        return Demo::LightRecord{appendSampledAnimation(d, Core::TrackValueKind::Vector3, p),
                                 appendSampledAnimation(d, Core::TrackValueKind::Vector3, c),
                                 appendSampledAnimation(d, Core::TrackValueKind::Scalar, r)};
    };
    d.lights = {light({4, 3.5f, 4}, {1, 1, 1}, 40), light({-6, -1, 1.5f}, {0.25f, 0.3f, 0.45f}, 40)};
    std::ostringstream sceneFile;
    std::string error;
    if (!writeScene(sceneFile, d, error)) return fail("scene: " + error);
    if (!writeFile(workFolder / "stage.orv3d", sceneFile.str())) return fail("cannot write the scene");

    Demo::fileSystem().remount(workFolder.string());
    Demo::registerSceneGlobals();
    Demo::ResourceRegistry& registry = Demo::resourceRegistry();
    for (std::size_t i = 0; i < std::size(kEffects); ++i)
        registry.addResource(kEffects[i], kEffectNames[i], Demo::loadShader);
    for (const auto& [name, bytes] : standIns) registry.addResource(name, name, Demo::loadTexture);
    while (registry.pendingCount() != 0) registry.loadNext();
    for (const char* effect : kEffects) {
        const auto* shader = dynamic_cast<const Demo::Shader*>(registry.findByPath(effect));
        if (!shader || !shader->effect()) return fail(std::string(effect) + " does not compile (see the log)");
    }

    sceneResource_ = Demo::loadScene("stage.orv3d", "stage");
    scene_ = dynamic_cast<Demo::PassSceneEffect*>(sceneResource_.get());
    if (!scene_) return fail("the scene did not load");
    scene_->update(0, 0);
    chain_ = std::make_unique<Demo::Compositor>();
    chain_->prepare();
    chain_->children = {scene_};
    return true;
}

std::vector<std::uint32_t> Stage::frame()
{
    display_.nextFrame();
    chain_->advance(0.0f, 0.0f);
    chain_->draw(nullptr);
    Gfx::Device& device = Demo::Display::device();
    return device.readPixels(*device.renderTarget());
}

std::vector<std::uint32_t> Stage::read(Demo::RenderTarget* target)
{
    return Demo::Display::device().readPixels(*target->colorSurface());
}

Core::Vector3 Stage::project(const Core::Vector3& point) const
{
    Demo::Camera camera = scene_->cameras().at("Camera01"); // viewMatrix() caches
    const Core::Vector4 clip = Core::transformPoint(point, camera.viewMatrix() * camera.projectionMatrix());
    return {(clip.x / clip.w * 0.5f + 0.5f) * float(width_), (0.5f - clip.y / clip.w * 0.5f) * float(height_),
            clip.z / clip.w};
}

} // namespace ORV::Content
