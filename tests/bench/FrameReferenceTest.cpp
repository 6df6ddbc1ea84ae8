// The benchmark's frame through the graphics layer against the same frame in
// hand-written GL: the pictures agree, and both show the lit sphere where its
// lights put it.
#include "bench/render/EngineFrame.h"
#include "bench/render/PlainGlFrame.h"
#include "tests/support/AllocationWatch.h"
#include "tests/support/OffscreenDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace ORV;
using namespace ORV::Bench;
using namespace ORV::Test;

namespace {

constexpr FrameSize kSize{160, 120};
constexpr int kTriangles = 20000;

struct Picture {
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[size_t(y * kSize.width + x)]; }
    int brightness(int x, int y) const { return red(at(x, y)) + green(at(x, y)) + blue(at(x, y)); }
};

Picture engineFrame(Gfx::Device& device, EngineFrame& frame)
{
    frame.draw();
    return {device.readPixels(*device.backBuffer())};
}

Picture plainFrame(PlainGlOptions options = {})
{
    GlStateKeeper keep;
    std::string error;
    auto frame = PlainGlFrame::create(kSize, kTriangles, options, &error);
    EXPECT_TRUE(frame) << error;
    if (!frame) return {};
    frame->draw();
    return {frame->readBackBuffer()};
}

int largestChannelDifference(uint32_t a, uint32_t b)
{
    return std::max({std::abs(red(a) - red(b)), std::abs(green(a) - green(b)), std::abs(blue(a) - blue(b)),
                     std::abs(alpha(a) - alpha(b))});
}

// Where the frame should be lit: the sphere (radius 3, 8 in front of the
// camera) covers about 0.7 of the half-height around the centre; its lights
// stand to the upper right, so that quarter is lit and the lower left one
// sees the ambient colour only; the corners show the black clear.
void expectLitWhereTheLightsAre(const Picture& picture)
{
    ASSERT_EQ(picture.pixels.size(), size_t(kSize.width * kSize.height));
    const int cx = kSize.width / 2, cy = kSize.height / 2, r = int(0.7f * float(cy));
    const int litX = cx + r / 2, litY = cy - r / 2, shadeX = cx - r / 2, shadeY = cy + r / 2;
    for (auto [x, y] :
         {std::pair{1, 1}, {kSize.width - 2, 1}, {1, kSize.height - 2}, {kSize.width - 2, kSize.height - 2}})
        EXPECT_LT(picture.brightness(x, y), 6) << "corner " << x << "," << y;
    // Ambient (0.1, 0.1, 0.15) alone, a little blurred.
    const uint32_t shaded = picture.at(shadeX, shadeY);
    EXPECT_NEAR(red(shaded), 26, 6);
    EXPECT_NEAR(blue(shaded), 38, 8);
    EXPECT_GT(blue(shaded), red(shaded));
    // All four lights add about 0.75 to the ambient colour.
    const uint32_t lit = picture.at(litX, litY);
    EXPECT_GT(red(lit), 150);
    EXPECT_GT(green(lit), 150);
    EXPECT_GT(blue(lit), 150);
    // The picture is upright: the top of the sphere is lit, the bottom not.
    EXPECT_GT(picture.brightness(cx, cy - r + 4), 2 * picture.brightness(cx, cy + r - 4));
}

} // namespace

TEST(FrameReference, EngineAndHandWrittenGlDrawTheSamePicture)
{
    OffscreenDevice gpu(kSize.width, kSize.height);
    std::string error;
    auto frame = EngineFrame::create(gpu.device(), kSize, kTriangles, &error);
    ASSERT_TRUE(frame) << error;
    const Picture engine = engineFrame(gpu.device(), *frame);
    const Picture plain = plainFrame();
    ASSERT_EQ(engine.pixels.size(), plain.pixels.size());

    expectLitWhereTheLightsAre(engine);
    expectLitWhereTheLightsAre(plain);
    int largest = 0;
    size_t differing = 0;
    for (size_t i = 0; i < engine.pixels.size(); ++i) {
        const int d = largestChannelDifference(engine.pixels[i], plain.pixels[i]);
        largest = std::max(largest, d);
        differing += d > 0;
    }
    EXPECT_LE(largest, 2) << differing << " pixels differ";
}

TEST(FrameReference, TheEngineFindsItsStateAgainAfterHandWrittenDrawing)
{
    OffscreenDevice gpu(kSize.width, kSize.height);
    std::string error;
    auto frame = EngineFrame::create(gpu.device(), kSize, kTriangles, &error);
    ASSERT_TRUE(frame) << error;
    const Picture before = engineFrame(gpu.device(), *frame);
    plainFrame(); // changes blending, culling, depth, bindings and clip control on the same context
    const Picture after = engineFrame(gpu.device(), *frame);
    EXPECT_EQ(before.pixels, after.pixels);
}

TEST(FrameReference, AFrameThroughTheEngineAllocatesNothingOnceWarm)
{
    OffscreenDevice gpu(kSize.width, kSize.height);
    std::string error;
    auto frame = EngineFrame::create(gpu.device(), kSize, 5000, &error);
    ASSERT_TRUE(frame) << error;
    for (int i = 0; i < 2; ++i) { // the driver compiles shader variants on first use
        frame->draw();
        gpu.device().present();
    }
    AllocationWatch watch;
    for (int i = 0; i < 3; ++i) {
        frame->draw();
        gpu.device().present();
    }
    EXPECT_EQ(watch.largest(), 0u);
}

TEST(FrameReference, TheAlphaTestTailLeftOffChangesNoPixel)
{
    OffscreenDevice gpu(kSize.width, kSize.height);
    const Picture plain = plainFrame();
    const Picture tail = plainFrame({.alphaTestEpilogue = true});
    EXPECT_EQ(plain.pixels, tail.pixels);
}

TEST(FrameReference, AlphaTestTailWrapsTheShadersMain)
{
    const std::string source = withAlphaTestEpilogue(frameGlsl().fragment[1]);
    EXPECT_NE(source.find("void shadeMain()"), std::string::npos);
    EXPECT_NE(source.find("discard;"), std::string::npos);
    // One main only: the new one, after the shader's own.
    EXPECT_EQ(source.find("void main()"), source.rfind("void main()"));
    EXPECT_GT(source.find("void main()"), source.find("void shadeMain()"));
}

TEST(FrameReference, SphereHasAboutTheTrianglesAskedForAndIndicesInRange)
{
    for (int asked : {8, 5000, 20000, 320000}) {
        const MeshData mesh = sphereMesh(asked);
        EXPECT_NEAR(double(mesh.triangles()), double(asked), asked * 0.05 + 4) << asked;
        for (uint32_t index : mesh.indices) ASSERT_LT(index, mesh.vertices.size());
        for (const MeshVertex& v : mesh.vertices) {
            const float length = std::sqrt(v.position[0] * v.position[0] + v.position[1] * v.position[1]
                                           + v.position[2] * v.position[2]);
            ASSERT_NEAR(length, 3.0f, 1e-4f);
        }
    }
}
