// Feeds arbitrary bytes to the scene reader. Besides not crashing, leaking or
// reading out of bounds, it checks that the reader never claims more bytes than
// it was given, that every animation it made can be evaluated, and that what
// it read, written back and read again, is the same description.
#include "content/scenewriter/SceneWriter.h"
#include "scene/SceneFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <span>
#include <sstream>
#include <string>

using namespace ORV;

namespace {

void check(bool condition)
{
    if (!condition) std::abort();
}

bool sameSamples(const Core::Animation& a, const Core::Animation& b)
{
    const auto* ta = dynamic_cast<const Core::SampledAnimationTrack*>(a.track());
    const auto* tb = dynamic_cast<const Core::SampledAnimationTrack*>(b.track());
    if (!ta || !tb) return !ta && !tb;
    if (ta->getValueKind() != tb->getValueKind() || ta->keyCount() != tb->keyCount()) return false;
    if (!std::equal(ta->keyTimes().begin(), ta->keyTimes().end(), tb->keyTimes().begin())) return false;
    // Compare bits: samples may be NaN.
    const std::span<const float> va = ta->keyValues(), vb = tb->keyValues();
    return va.size() == vb.size() && (va.empty() || std::memcmp(va.data(), vb.data(), va.size_bytes()) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    Demo::SceneDescription description;
    const Demo::SceneReadResult result = Demo::readScene(in, description);
    check(result.bytesRead <= size);
    check(result.offset <= result.bytesRead);
    check(result.complete() == result.message.empty());

    for (const Core::Animation& animation : description.animations) {
        for (float t : {-1.0f, 0.0f, 0.05f, 0.1f, 1.0f, 1e9f, std::numeric_limits<float>::quiet_NaN()}) {
            float out[15] = {};
            animation.evaluateAt(t, out);
        }
    }

    // Meshes, materials and the rest compare by value; NaN floats in vertices
    // or poses would make == fail, so compare the bytes the writer produces.
    std::ostringstream first;
    std::string error;
    if (!Content::writeScene(first, description, error)) return 0;
    std::istringstream again(first.str());
    Demo::SceneDescription reread;
    check(Demo::readScene(again, reread).complete());
    check(reread.animations.size() == description.animations.size());
    for (std::size_t i = 0; i < description.animations.size(); ++i)
        check(sameSamples(description.animations[i], reread.animations[i]));
    std::ostringstream second;
    check(Content::writeScene(second, reread, error));
    check(first.str() == second.str());
    return 0;
}
