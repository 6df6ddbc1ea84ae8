// Plays the demo off-screen through the same code as the demo's own run
// (display, render states, start-up with its loading screen, timeline and
// chain) at a fixed step, and hands chosen frames to a sink.
//
// Time: frame n is drawn at T = n / rate, computed from n in double precision
// and rounded once to float, with delta = 1 / rate for every frame but the
// first (0). The demo's own loop sums its deltas in float instead, which
// drifts by milliseconds over the script; here frame n of the file and the
// soundtrack's cut at n / rate are the same instant by construction.
//
// The display state is process-wide: one capture at a time, main thread only.
#pragma once

#include "tools/orv-capture/Options.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace ORV::Capture {

// Receives frames as ARGB words (0xAARRGGBB), top row first.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    // Whether frame n is wanted; frames that are not are drawn but not read.
    virtual bool wants(std::int64_t frame) const = 0;
    // False stops the capture; error() then says why.
    virtual bool take(std::int64_t frame, std::span<const std::uint32_t> argb) = 0;
    // After the last frame: flushes and closes the output. False on failure.
    virtual bool finish() = 0;
    virtual std::string error() const = 0;
};

// Seconds spent in each stage, for the progress line and the benchmark.
struct StageTimes {
    double render = 0; // runDemoFrame: the frame's update and drawing
    double present = 0; // nextFrame: present, clear and begin the next frame
    double readBack = 0; // back buffer to memory (waits for the renderer)
    double encode = 0; // the sink: writing to ffmpeg or a PNG, and its finish
};

struct CaptureReport {
    bool ok = false;
    std::string error;
    std::int64_t framesDrawn = 0;
    std::int64_t framesTaken = 0;
    StageTimes times;
};

// Called after each frame drawn: frames done and to do (from frame 0 to the
// last), times so far.
using ProgressFunction = std::function<void(std::int64_t done, std::int64_t total, const StageTimes& times)>;

// Draws frames 0 .. range.end - 1 of the demo at width x height, mounting
// assetFolder as the asset root, and gives the sink the frames it wants.
// Nothing waits on the wall clock.
CaptureReport runCapture(const std::string& assetFolder, int width, int height, FrameRate rate, std::int64_t endFrame,
                         FrameSink& sink, const ProgressFunction& progress = {});

} // namespace ORV::Capture
