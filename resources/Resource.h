// The bases of every registry entry: Resource, which only makes deletion
// through the base safe, and Effect, the timed drawable that scenes, scene
// views and the timeline's groups implement. Drawing itself is left to the
// derived classes.
#pragma once

#include <vector>

namespace ORV::Demo {

class Resource {
public:
    Resource() = default;
    virtual ~Resource() = default;
    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;
};

// Owners drive an effect once per frame: advance, then draw. A group effect
// drives its children in list order, passing itself as their parent.
class Effect : public Resource {
public:
    // Brings the effect to demo time `time` (seconds); `elapsed` is the length
    // of the frame in seconds.
    void advance(float elapsed, float time) { update(elapsed, time); }
    // render, then postRender, with the same parent (null at the root).
    void draw(Effect* parent)
    {
        render(parent);
        postRender(parent);
    }

    // Child effects driven by a group effect. Not owned: they live as long as
    // whoever created them keeps them, and destroying this effect leaves them.
    std::vector<Effect*> children;

    virtual void update(float elapsed, float time) = 0;
    virtual void render(Effect* parent) = 0;
    // Second drawing step, always right after render; most effects do nothing.
    virtual void postRender(Effect* parent) = 0;
};

} // namespace ORV::Demo
