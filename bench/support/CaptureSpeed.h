// A capture of the demo to a video, timed, as the capture tool makes one:
// every frame of the range read back and piped to ffmpeg (H.264 and the
// soundtrack) into a temporary file that is deleted afterwards.
#pragma once

#include "tools/orv-capture/Capture.h"
#include "tools/orv-capture/Options.h"

#include <string>

namespace ORV::Bench {

struct CaptureSpeed {
    Capture::CaptureReport report; // report.ok false: report.error says why
    double wallSeconds = 0; // the whole capture, start-up and loading included
    double frameSeconds = 0; // the frame loop alone: drawing, present, read-back, encoding
    double framesPerSecond() const { return frameSeconds > 0 ? double(report.framesDrawn) / frameSeconds : 0; }
};

// The options' size, rate and range; the assets (and the soundtrack beside
// them) from assetFolder.
CaptureSpeed captureToVideo(const std::string& assetFolder, const Capture::Options& options);

} // namespace ORV::Bench
