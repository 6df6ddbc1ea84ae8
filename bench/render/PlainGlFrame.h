// The benchmark's frame (FrameScene.h) in hand-written GL 4.5, the reference
// the graphics layer is measured against. The header names no GL type, so
// that the benchmark and its tests include it like any other.
#pragma once

#include "bench/render/FrameScene.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ORV::Bench {

struct PlainGlOptions {
    // Every fragment shader carries the graphics layer's alpha-test epilogue
    // (left off), to measure what it costs.
    bool alphaTestEpilogue = false;
    // The final pass draws straight into the window's framebuffer (right way
    // up) instead of into an off-screen back buffer that is then copied.
    bool finalPassToWindow = false;
};

// Draws on the GL context current on this thread, which may be the graphics
// device's: wrap drawing in a GlStateKeeper then, so that the device finds
// the state it left.
class PlainGlFrame {
public:
    // Null when a shader does not compile or link, with the log in *error.
    static std::unique_ptr<PlainGlFrame> create(FrameSize size, int triangles, PlainGlOptions options,
                                                std::string* error);
    ~PlainGlFrame();
    PlainGlFrame(const PlainGlFrame&) = delete;
    PlainGlFrame& operator=(const PlainGlFrame&) = delete;

    void draw();
    // Copies the back buffer to the window's framebuffer of the frame's size,
    // flipped (the window's first row is its bottom one), as present does.
    // Nothing to do when the final pass went to the window.
    void copyToWindow();
    // The back buffer as ARGB words, top row first, alpha opaque.
    std::vector<uint32_t> readBackBuffer();
    uint32_t triangles() const;

private:
    PlainGlFrame();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Saves the GL state the hand-written frame changes and puts it back when it
// goes out of scope.
class GlStateKeeper {
public:
    GlStateKeeper();
    ~GlStateKeeper();
    GlStateKeeper(const GlStateKeeper&) = delete;
    GlStateKeeper& operator=(const GlStateKeeper&) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

// Waits until the GL context has finished all the work it was given.
void finishGl();

} // namespace ORV::Bench
