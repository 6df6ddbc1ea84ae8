// orv-scene --render: one render pass of one scene, drawn off-screen the way
// the demo draws it and written to a PNG, for authors checking their files.
#pragma once

#include <string>

namespace ORV::Tools {

struct RenderRequest {
    std::string scenePath;
    std::string camera; // empty: the scene's first camera
    float time = 0.0f; // seconds of scene time
    std::string pass = "ambient"; // ambient, shade, depthdist or emissive
    std::string output; // PNG path
    int width = 640;
    int height = 480;
};

// Loads the effects the scene's materials name (from the current folder's
// mounts, as the demo does), builds the scene, draws the pass and writes the
// PNG. Returns the exit status: 0 written, 1 for a fault of the request or
// the files (a message on standard error lists the cameras or passes there
// are when one named is unknown), 2 when no off-screen device can be had.
int renderScene(const RenderRequest& request);

} // namespace ORV::Tools
