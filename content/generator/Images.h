// The demo's textures as the content generator makes them, and how effects
// are meant to look them up. Effect authors: this is the contract.
//
// Shading ramps (256 x 4 JPEG, 4:4:4; v is irrelevant, sample at v = 0.5 with
// clamp addressing so u = 0 and u = 1 hit the end texels). Band edges lie on
// multiples of 8 texels, the JPEG block size, so the bands come out of the
// JPEG flat and each step goes from one texel to the next with nothing
// between (bilinear filtering spreads it over one texel, still crisp):
//
//   cartoon_d.jpg  diffuse cel ramp, u = saturate(dot(N, L)).
//                  Four grey bands: shadow 0.45 (u < 0.25; light enough that
//                  black ink reads on top of it), 0.66 (u < 0.5), 0.86
//                  (u < 0.8125), 1.0 lit. Multiply with the material colour.
//   cartoon_s.jpg  specular ramp, u = the specular term (e.g.
//                  pow(saturate(dot(N, H)), power)). Black, then white from
//                  u = 0.875 up: one hard highlight. Add it.
//   cartoon_g.jpg  rim glow ramp, u = 1 - saturate(dot(N, V)). Black up to
//                  u = 0.55, a smooth rise to white by u = 0.8 (the soft edge
//                  of the band), white to the silhouette. Add it, tinted. (The
//                  demo's own effects leave rim glow out: on a renderer
//                  without a GPU every pixel would pay for it.)
//
// Flat and material textures (JPEG):
//   black.jpg      8 x 8 black.
//   grey33.jpg     8 x 8 uniform grey, 84 of 255 (33 %).
//   specular2.jpg  256 x 256 tileable gloss map: grey around 0.55 with fine
//                  horizontal brushing streaks and soft blotches; multiply the
//                  specular term with it (wrap addressing).
//   light3.jpg     256 x 256 light sprite for additive glows: a white core, a
//                  soft warm halo and eight faint rays, black from the inscribed
//                  circle outwards (corners exactly black). Draw it additively.
//
// Pencil hatching (256 x 256 DDS, X8R8G8B8, full 9-level mipmap chains, wrap
// addressing): three hatching sets, Hatch0.dds .. Hatch2.dds, each a tonal art
// map of three tiles packed in one texture, light in red, medium in green,
// dense (cross-hatched) in blue, so that a shader reads every tone with one
// fetch. The sets differ in the direction of their strokes (Hatch0 rises to
// the right, Hatch1 to the left, Hatch2 lies near level). Each tile is white
// paper (1.0) with graphite strokes; every level down to 8 x 8 is drawn at
// its own resolution with strokes about one texel wide, so strokes stay
// strokes when minified and the mean tone of a tile is the same at every
// level; 4 x 4 to 1 x 1 are box-filtered. Each denser tile holds the strokes
// of the lighter one and adds more. Blend between the channels by light: lit
// areas red, shadow blue.
//
// The credits card (prods.jpg, 512 x 512): dark ink on warm paper, the title
// "Marrowlight" in the upper third with an inked rule under it, the credits
// lines in the middle, the thanks to the libraries near the bottom, inside a
// hand-drawn double frame.
#pragma once

namespace ORV::Content::Images {

constexpr int rampWidth = 256;
constexpr int rampHeight = 4;

// The diffuse ramp's bands: first texel of each band and its grey.
constexpr int diffuseBandStart[] = {0, 64, 128, 208};
constexpr float diffuseBandTone[] = {0.45f, 0.66f, 0.86f, 1.0f};
// First white texel of the specular ramp.
constexpr int specularStart = 224;
// The rim ramp: black up to here, white from glowFull on.
constexpr float glowStart = 0.55f;
constexpr float glowFull = 0.8f;

constexpr int flatSize = 8;
constexpr int grey33Level = 84;
constexpr int materialSize = 256;
constexpr int lightSize = 256;

constexpr int hatchSize = 256;
constexpr int hatchSets = 3;
constexpr int hatchTiles = 3; // per set: red, green, blue
// The mean tone each hatch tile is drawn to, at every mipmap level.
constexpr float hatchTone[hatchTiles] = {0.84f, 0.68f, 0.50f};

constexpr int cardWidth = 512;
constexpr int cardHeight = 512;
// Rows the title's letters occupy (cap height and descender included) and
// the rows of the credits block, in card pixels.
constexpr int cardTitleTop = 70;
constexpr int cardTitleBottom = 160;
constexpr int cardCreditsTop = 215;
constexpr int cardCreditsBottom = 440;

} // namespace ORV::Content::Images
