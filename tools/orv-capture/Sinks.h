// Where captured frames go: an H.264 video through the ffmpeg program, a
// folder of numbered PNGs, one still PNG, or a contact sheet of thumbnails.
#pragma once

#include "tools/orv-capture/Capture.h"

#include <memory>
#include <string>
#include <vector>

namespace ORV::Capture {

// The ffmpeg command that encodes frames [range.begin, range.end) read as raw
// BGRA from its standard input into output, with the soundtrack (when its
// path is not empty) cut to the same span of the demo by the same process.
std::vector<std::string> ffmpegArguments(const std::string& output, int width, int height, FrameRate rate,
                                         FrameRange range, const std::string& soundtrack);

// Frames [range.begin, range.end), in order, as raw BGRA on the standard
// input of the program `arguments` names (ffmpeg, for a video), written from
// a thread of the sink's own so that drawing goes on meanwhile. take() fails
// once the program stops reading; finish() waits for it and fails on a
// non-zero exit status. Null with why in error when the program cannot start.
std::unique_ptr<FrameSink> makeProcessSink(const std::vector<std::string>& arguments, int width, int height,
                                           FrameRange range, std::string& error);

// Null with why in error when the sink cannot start (ffmpeg missing, the
// folder cannot be made).
std::unique_ptr<FrameSink> makeVideoSink(const std::string& output, int width, int height, FrameRate rate,
                                         FrameRange range, const std::string& soundtrack, std::string& error);
// frame_NNNNNN.png in folder (made if missing), numbered by demo frame.
std::unique_ptr<FrameSink> makePngSink(const std::string& folder, int width, int height, FrameRange range,
                                       std::string& error);
// The one frame range.begin.
std::unique_ptr<FrameSink> makeStillSink(const std::string& file, int width, int height, FrameRange range);
// The first frame of every whole second in range, scaled to 160 x 120 and
// laid out twelve to a row, left to right, top to bottom.
std::unique_ptr<FrameSink> makeContactSheetSink(const std::string& file, int width, int height, FrameRate rate,
                                                FrameRange range);

constexpr int thumbnailWidth = 160;
constexpr int thumbnailHeight = 120;
constexpr int contactSheetColumns = 12;

// Box-filtered scaling of an ARGB picture to width x height (each channel
// averaged over the source pixels a target pixel covers).
std::vector<std::uint32_t> scalePicture(std::span<const std::uint32_t> argb, int width, int height, int toWidth,
                                        int toHeight);

} // namespace ORV::Capture
