// A small stage for judging the demo's effect files: a sphere (and what else
// a caller places) lit by a key and a fill light, drawn through the whole
// post-processing chain off-screen, with stand-in ramp and hatching textures
// made in code so that nothing depends on the painted images. Used by
// orv-look (sample pictures), the effect benchmark and the effect tests.
//
// Main thread only; one Stage at a time, since it mounts the asset file
// system, fills the resource registry and sets the process-wide screen size.
#pragma once

#include "app/Compositor.h"
#include "core/Math.h"
#include "display/Display.h"
#include "scene/SceneEffect.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ORV::Content {

// Uncompressed A8R8G8B8 DDS files (one level; the loader makes the mips).
// A ramp rampWidth texels wide and 4 high whose texel at u holds the grey of
// the first band whose upper end lies above u: bands {{0.5, 0.35}, {1, 1}}
// is 0.35 below u = 0.5 and white above.
struct RampBand {
    float upTo;
    float grey;
};
std::string rampDds(const std::vector<RampBand>& bands, int rampWidth = 64);
// A size x size hatching set on white, its three tiles in red, green and
// blue: red has sparse diagonal strokes, green adds strokes between them,
// blue adds the crossing diagonal. Each tile's strokes include the lighter
// one's (nested tiles).
std::string hatchSetDds(int size = 64);

// The stand-ins' file names in the stage folder, for material parameters.
inline constexpr const char* kRampFile = "standin_ramp.dds"; // 0.35, 0.65, 1
inline constexpr const char* kSpecularFile = "standin_specular.dds"; // black, white above 0.9
inline constexpr const char* kHatchFile = "standin_hatch.dds";

// One object of the stage: a sphere with an effect file and the material
// parameters a scene file would give it (name -> text).
struct StageObject {
    std::string effect; // "cartoon.fx", "HatchCartoon.fx", "Additive.fx"
    std::map<std::string, std::string> parameters;
    Core::Vector3 position{0, 0, 0};
    float radius = 1.0f;
};

// The parameters that light a material of each effect with the stand-ins.
std::map<std::string, std::string> cartoonParameters(const std::string& diffuseColor = "210 105 50");
std::map<std::string, std::string> hatchParameters(const std::string& diffuseColor = "255 255 255");

// The sample stages orv-look draws and the benchmark times: "cartoon" (two
// cel-shaded spheres, one partly in front of the other), "hatch" (the same
// with pencil hatching) and "glow" (a cel-shaded sphere with two small
// additive ones beside it).
struct Sample {
    std::string name;
    std::vector<StageObject> objects;
};
std::vector<Sample> samples();

class Stage {
public:
    // Opens an off-screen display of width x height; check ok() before use.
    Stage(int width, int height);
    ~Stage();
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }

    // Copies the four effect files from effectsFolder and writes the
    // stand-ins and a scene of these objects into workFolder, mounts it, loads
    // the effects and the scene and prepares the chain with the scene as its
    // only child. The camera stands at (0, 0, 5.5) looking down -z; the key
    // light is up right in front, the fill light dimmer and bluish on the
    // left. False with error() set when a file cannot be written or an effect
    // does not compile.
    bool build(const std::filesystem::path& effectsFolder, const std::filesystem::path& workFolder,
               const std::vector<StageObject>& objects);

    // One frame through the chain onto the back buffer; returns it as ARGB,
    // rows top first.
    std::vector<std::uint32_t> frame();
    // What a render target of the chain holds now (after frame()).
    std::vector<std::uint32_t> read(Demo::RenderTarget* target);

    Demo::Compositor& chain() { return *chain_; }
    Demo::PassSceneEffect& scene() { return *scene_; }
    Demo::Display& display() { return display_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Where the camera puts a world point, in pixels.
    Core::Vector3 project(const Core::Vector3& point) const;

private:
    int width_, height_;
    Demo::Display display_;
    bool ok_ = false;
    std::string error_;
    std::unique_ptr<Demo::Resource> sceneResource_;
    Demo::PassSceneEffect* scene_ = nullptr;
    std::unique_ptr<Demo::Compositor> chain_;
};

} // namespace ORV::Content
