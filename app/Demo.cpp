#include "app/Demo.h"

#include "app/Compositor.h"
#include "app/LoadingScreen.h"
#include "app/Manifest.h"
#include "app/Timeline.h"
#include "display/Display.h"
#include "music/Music.h"
#include "resources/ResourceRegistry.h"
#include "scene/SceneGlobals.h"

#include <cassert>
#include <memory>

namespace ORV::Demo {

namespace {

// The file the sound layer streams from the working folder.
constexpr const char* soundtrackFile = "soundtrk0x01.ogg";

// What startDemo creates and stopDemo destroys.
std::unique_ptr<Compositor> compositor;
std::unique_ptr<Music> music;
// The script and its views outlive stopDemo (they refer to nothing once the
// scenes are released and nothing calls them); a later startDemo in the same
// process builds a fresh one.
std::unique_ptr<Timeline> timeline;

} // namespace

void setDemoRenderStates()
{
    Gfx::Device& device = Display::device();
    device.setRenderState(Gfx::RenderState::ZEnable, Gfx::value(Gfx::ZBufferType::True));
    device.setRenderState(Gfx::RenderState::ZFunc, Gfx::value(Gfx::Cmp::LessEqual));
    device.setRenderState(Gfx::RenderState::ZWriteEnable, 1);
    device.setRenderState(Gfx::RenderState::CullMode, Gfx::value(Gfx::Cull::CCW));
    device.setRenderState(Gfx::RenderState::Lighting, 1);
}

void setDemoChainObserver(ChainObserver* observer)
{
    assert(compositor && "between startDemo and stopDemo");
    compositor->setObserver(observer);
}

void startDemo()
{
    registerSceneGlobals();
    registerManifest();
    showLoadingProgress();
    compositor = std::make_unique<Compositor>();
    compositor->prepare();
    timeline = std::make_unique<Timeline>();
    timeline->buildSegments();
    music = std::make_unique<Music>();
    music->play(soundtrackFile);
}

bool runDemoFrame(float time, float delta)
{
    assert(compositor && timeline && "startDemo runs before the first frame");
    return timeline->runFrame(*compositor, time, delta);
}

void stopDemo()
{
    // Resources hold device objects, and the chain's groups point into the
    // timeline: resources first, then the music, then the chain.
    resourceRegistry().releaseAll();
    music.reset();
    compositor.reset();
}

} // namespace ORV::Demo
