// The scene-global effect values: per-draw state that is no matrix (the light
// being drawn, the script's effect values), published to every effect that
// declares the matching semantic. Scenes write the light values as they draw;
// the timeline writes the effect values once a frame.
//
// Threading: main thread only.
#pragma once

#include "core/Math.h"

namespace ORV::Demo {

struct SceneGlobals {
    Core::Vector3 ambientColor; // nothing writes it; it stays black
    Core::Vector3 lightPosition; // world units
    Core::Vector3 lightColor; // linear, 0-1 per channel
    float lightRadius = 0.0f; // world units
    float fxCut = 0.0f;
    float fxDark = 0.0f;
    float fxLight = 0.0f;
};

// The process-wide values, all 0 at start.
SceneGlobals& sceneGlobals();

// Registers the semantics "AMBIENT", "LIGHTPOSITION", "LIGHTCOLOR" (each sent as
// the three values and 1), "LIGHTRADIUS", "FXCUT", "FXDARK" and "FXLIGHT"
// (letter case ignored), so that every shader begun afterwards receives the
// values current at its begin.
void registerSceneGlobals();

} // namespace ORV::Demo
