// The demo's seven scenes, each built from code, and the writer of their scene
// files. Building is deterministic: the same bytes on every run.
#pragma once

#include "scene/SceneFile.h"

#include <filesystem>
#include <span>
#include <string>

namespace ORV::Content {

// A mote drifts through the dark over a field of standing stones.
Demo::SceneDescription intro1Scene();
// The mote falls into a field of ink pillars that rise ring after ring.
Demo::SceneDescription intro2Scene();
// A pencil-hatched tower with a spiral stair the mote climbs; glow rings orbit
// the top.
Demo::SceneDescription scene01Scene();
// A slow machine of gears, a pendulum and pistons; beams switch on as the mote
// passes.
Demo::SceneDescription scene02Scene();
// A city of paper blocks rising in waves; at ten seconds every window and
// street lights at once.
Demo::SceneDescription scene03Scene();
// A flight down a tunnel of rings and arches towards a bright horizon.
Demo::SceneDescription scene04Scene();
// The mote settles in a lantern beside the credits sign.
Demo::SceneDescription outroScene();

struct DemoScene {
    const char* name; // the file is name + ".orv3d"
    Demo::SceneDescription (*build)();
};

// The seven scenes in play order.
std::span<const DemoScene> demoScenes();

// Builds every scene and writes name.orv3d into folder (which must exist).
// Returns false with a message naming the scene or file when one fails.
bool writeDemoScenes(const std::filesystem::path& folder, std::string& error);

} // namespace ORV::Content
