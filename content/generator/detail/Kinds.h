// The makers of the kinds of asset the generator knows, one source file each;
// Generator.cpp lists them. See Generator.h for what a maker promises.
#pragma once

#include "content/generator/Generator.h"

namespace ORV::Content::detail {

// Images.cpp: the manifest's textures (ramps, maps, sprites, hatching, the
// credits card), JPEG and DDS.
void makeImages(const GeneratorInputs& inputs, AssetList& out);

// Effects.cpp: every *.fx file of the effects folder, copied as it is, in
// byte-wise name order.
void copyEffects(const GeneratorInputs& inputs, AssetList& out);

// Scenes.cpp: the seven scene files, in play order.
void makeScenes(const GeneratorInputs& inputs, AssetList& out);

// Soundtrack.cpp: "soundtrk0x01.ogg", a loose file (several seconds: the
// whole piece is synthesised and encoded).
void makeSoundtrack(const GeneratorInputs& inputs, AssetList& out);

} // namespace ORV::Content::detail
