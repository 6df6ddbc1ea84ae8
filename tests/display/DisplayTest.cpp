// The display's frame protocol, target and pass stacks, on an off-screen device.
#include "display/Display.h"
#include "display/Camera.h"
#include "display/RenderTargetSurfaces.h"
#include "platform/gfx/Texture.h"
#include "tests/support/OffscreenDevice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

using namespace ORV;
using namespace ORV::Demo;
using ORV::Test::red;

namespace {

// A colour texture's level 0 and a depth-stencil surface, made on the device
// as a render target makes them; a format of Format::Unknown leaves that part
// out.
class TestTarget final : public RenderTargetSurfaces {
public:
    bool create(int width, int height, Gfx::Format colorFormat, Gfx::Format depthFormat)
    {
        Gfx::Device& device = Display::device();
        if (colorFormat != Gfx::Format::Unknown) {
            texture_ = device.createTexture(width, height, 1, Gfx::Usage::RenderTarget, colorFormat);
            if (!texture_ || !texture_->surfaceLevel(0)) return false;
        }
        if (depthFormat != Gfx::Format::Unknown) {
            depth_ = device.createDepthStencilSurface(width, height, depthFormat);
            if (!depth_) return false;
        }
        return true;
    }
    Gfx::Surface* colorSurface() const override { return texture_ ? texture_->surfaceLevel(0) : nullptr; }
    Gfx::Surface* depthSurface() const override { return depth_.get(); }

private:
    std::unique_ptr<Gfx::Texture> texture_;
    std::unique_ptr<Gfx::Surface> depth_;
};

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.createWindow(32, 24, false, false, Platform::VideoMode::Offscreen)) << Display::lastError();
    }
    std::vector<uint32_t> backBuffer() { return Display::device().readPixels(*Display::device().backBuffer()); }
    void post(Platform::WindowMessage message, uint32_t key = 0) { Display::window().postMessage({message, key}); }

    Display display;
};

} // namespace

TEST_F(DisplayTest, IsTheInstanceAndStartsWithNoPass)
{
    EXPECT_EQ(Display::instance(), &display);
    EXPECT_EQ(display.currentPass(), 0u);
    Display second; // does not take over
    EXPECT_EQ(Display::instance(), &display);
    EXPECT_TRUE(display.createWindow(64, 64, false, false, Platform::VideoMode::Offscreen)); // already open: no-op
    EXPECT_EQ(Display::device().backBuffer()->width(), 32);
}

TEST_F(DisplayTest, FirstFramePresentsNothingAndEachFrameIsClearedDarkBlue)
{
    Gfx::Device& device = Display::device();
    ASSERT_TRUE(display.nextFrame());
    EXPECT_EQ(device.presentCount(), 0u);
    for (uint32_t p : backBuffer()) ASSERT_EQ(p, frameClearColor);

    device.clear(Gfx::ClearFlag::Target, 0xFFFFFFFF, 1.0f, 0); // the frame's drawing
    ASSERT_TRUE(display.nextFrame());
    EXPECT_EQ(device.presentCount(), 1u);
    for (uint32_t p : backBuffer()) ASSERT_EQ(p, 0xFF00007Fu);
}

TEST_F(DisplayTest, EachFrameStartsWithTheDepthBufferAtTheFarPlane)
{
    // A full-screen rectangle just in front of the far plane passes a
    // LessEqual depth test in every new frame, whatever the last one drew.
    struct Vertex {
        float x, y, z, rhw;
        uint32_t color;
    };
    const auto drawRect = [](float z, uint32_t color) {
        const Vertex v[6] = {{0, 0, z, 1, color}, {32, 24, z, 1, color}, {0, 24, z, 1, color},
                             {0, 0, z, 1, color}, {32, 0, z, 1, color},  {32, 24, z, 1, color}};
        Display::device().setFVF(Gfx::FVF::XYZRHW | Gfx::FVF::Diffuse);
        Display::device().drawPrimitiveUP(Gfx::PrimitiveType::TriangleList, 2, v, sizeof(Vertex));
    };
    Gfx::Device& device = Display::device();
    device.setRenderState(Gfx::RenderState::ZEnable, Gfx::value(Gfx::ZBufferType::True));
    for (int frame = 0; frame < 2; ++frame) {
        ASSERT_TRUE(display.nextFrame());
        drawRect(0.99f, 0xFFFFFFFF);
        EXPECT_EQ(backBuffer()[0], 0xFFFFFFFFu) << "frame " << frame;
        drawRect(0.1f, 0xFF00FF00); // near: the next frame's clear must undo it
    }
}

TEST_F(DisplayTest, EscapeEndsTheRunAfterTheFrameInProgressIsPresented)
{
    Gfx::Device& device = Display::device();
    ASSERT_TRUE(display.nextFrame());
    post(Platform::WindowMessage::KeyDown, 'a'); // other keys are swallowed
    ASSERT_TRUE(display.nextFrame());
    post(Platform::WindowMessage::KeyDown, Platform::VirtualKeyEscape);
    // Escape is seen during this call, which still begins a frame.
    EXPECT_TRUE(display.nextFrame());
    EXPECT_EQ(device.presentCount(), 2u);
    // The next call presents that frame and ends the run.
    EXPECT_FALSE(display.nextFrame());
    EXPECT_EQ(device.presentCount(), 3u);
    // Later calls return at once, presenting nothing.
    EXPECT_FALSE(display.nextFrame());
    EXPECT_FALSE(display.nextFrame());
    EXPECT_EQ(device.presentCount(), 3u);
}

TEST_F(DisplayTest, CloseRequestEndsTheRunLikeEscape)
{
    ASSERT_TRUE(display.nextFrame());
    post(Platform::WindowMessage::Close);
    EXPECT_TRUE(display.nextFrame());
    EXPECT_FALSE(display.nextFrame());
}

TEST_F(DisplayTest, NestedTargetsWithoutDepthKeepTheOuterDepthAndPopBackToTheBackBuffer)
{
    Gfx::Device& device = Display::device();
    TestTarget outer, inner;
    ASSERT_TRUE(outer.create(16, 16, Gfx::Format::A8R8G8B8, Gfx::Format::D24S8));
    ASSERT_TRUE(inner.create(16, 16, Gfx::Format::A8R8G8B8, Gfx::Format::Unknown));
    EXPECT_EQ(inner.depthSurface(), nullptr);
    ASSERT_TRUE(display.nextFrame());

    display.pushRenderTarget(&outer);
    EXPECT_EQ(device.renderTarget(), outer.colorSurface());
    EXPECT_EQ(device.depthStencilSurface(), outer.depthSurface());
    display.pushRenderTarget(&inner);
    EXPECT_EQ(device.renderTarget(), inner.colorSurface());
    EXPECT_EQ(device.depthStencilSurface(), outer.depthSurface());
    EXPECT_EQ(display.currentDepthSurface(), outer.depthSurface());
    device.clear(Gfx::ClearFlag::Target, 0xFFFF0000, 1.0f, 0);

    EXPECT_EQ(display.popRenderTarget(), &inner);
    EXPECT_EQ(device.renderTarget(), outer.colorSurface());
    EXPECT_EQ(display.popRenderTarget(), &outer);
    EXPECT_EQ(device.renderTarget(), device.backBuffer());
    EXPECT_EQ(device.depthStencilSurface(), device.defaultDepthStencil());

    // The clear reached the inner target only; the back buffer is bound again.
    EXPECT_EQ(red(device.readPixels(*inner.colorSurface())[0]), 255);
    device.clear(Gfx::ClearFlag::Target, 0xFF00FF00, 1.0f, 0);
    EXPECT_EQ(backBuffer()[0], 0xFF00FF00u);
    EXPECT_EQ(red(device.readPixels(*inner.colorSurface())[0]), 255);
}

TEST_F(DisplayTest, EachPopBindsTheTargetPushedBeforeIt)
{
    TestTarget targets[3];
    for (TestTarget& target : targets) ASSERT_TRUE(target.create(16, 16, Gfx::Format::A8R8G8B8, Gfx::Format::D24S8));
    Gfx::Device& device = Display::device();
    for (TestTarget& target : targets) display.pushRenderTarget(&target);
    for (int top = 2; top >= 0; --top) {
        EXPECT_EQ(display.currentColorSurface(), targets[top].colorSurface()) << top;
        EXPECT_EQ(display.currentDepthSurface(), targets[top].depthSurface()) << top;
        EXPECT_EQ(display.popRenderTarget(), &targets[top]);
        Gfx::Surface* below = top > 0 ? targets[top - 1].colorSurface() : device.backBuffer();
        EXPECT_EQ(device.renderTarget(), below) << "after popping " << top;
        EXPECT_EQ(display.currentColorSurface(), below) << "after popping " << top;
    }
}

TEST_F(DisplayTest, TargetWithoutColourKeepsTheColourSurfaceBound)
{
    TestTarget depthOnly;
    ASSERT_TRUE(depthOnly.create(32, 24, Gfx::Format::Unknown, Gfx::Format::D16));
    display.pushRenderTarget(&depthOnly);
    EXPECT_EQ(Display::device().renderTarget(), Display::device().backBuffer());
    EXPECT_EQ(Display::device().depthStencilSurface(), depthOnly.depthSurface());
    display.popRenderTarget();
}

TEST_F(DisplayTest, PassStackIsIndependentOfTargets)
{
    display.pushPass(shadePass);
    display.pushPass(ambientPass);
    EXPECT_EQ(display.currentPass(), ambientPass);
    EXPECT_EQ(display.popPass(), ambientPass);
    EXPECT_EQ(display.popPass(), shadePass);
    EXPECT_EQ(display.currentPass(), 0u);
}

TEST_F(DisplayTest, WorldCopyFollowsIndexZeroOnly)
{
    Core::Matrix m;
    m.m[3][1] = 4.0f;
    display.setWorld(m, 1);
    EXPECT_EQ(display.world(), Core::Matrix::identity());
    EXPECT_EQ(Display::device().transform(Gfx::worldMatrix(1)), m);
    display.setWorld(m, 0);
    EXPECT_EQ(display.world(), m);
}

TEST_F(DisplayTest, SetCameraCopiesMatricesAndVectors)
{
    Camera camera;
    camera.setPerspective(1.0f, 1.333f, 1.0f, 100.0f);
    camera.setFrame({1, 2, 3}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
    display.setCamera(camera);
    EXPECT_EQ(display.view(), camera.viewMatrix());
    EXPECT_EQ(display.projection(), camera.projectionMatrix());
    EXPECT_EQ(Display::device().transform(Gfx::TransformView), camera.viewMatrix());
    EXPECT_EQ(display.cameraPosition(), (Core::Vector3{1, 2, 3}));
    EXPECT_EQ(display.cameraFront(), (Core::Vector3{0, 0, 1}));
}

TEST(PassId, FourDistinctPassesDrawnFromOne)
{
    EXPECT_EQ(ambientPass, 1u);
    EXPECT_EQ(shadePass, 2u);
    EXPECT_EQ(emissivePass, 3u);
    EXPECT_EQ(depthDistPass, 4u);
    const PassId a = newPassId(), b = newPassId();
    EXPECT_NE(a, 0u);
    EXPECT_EQ(b, a + 1);
}

TEST(DisplayWithoutScreen, DesktopWindowFailsWithOneLineInsteadOfRunningInvisibly)
{
    // No display server, and the offscreen driver named as the tests run: the
    // demo's desktop window must refuse it rather than play where nobody sees.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    Display display;
    EXPECT_FALSE(display.createWindow(64, 48, true, false, Platform::VideoMode::Desktop));
    EXPECT_FALSE(Display::hasDevice());
    const std::string reason = Display::lastError();
    EXPECT_EQ(reason, "no display available");
    EXPECT_FALSE(display.nextFrame());
}

TEST(DisplayDeviceFailure, TheDevicesOwnReasonReachesLastErrorOnOneLine)
{
    // The window opens (SDL makes a window at least 1 x 1) but the device can
    // make no back buffer of no size: the reason is the device's, not a
    // generic line.
    Display display;
    EXPECT_FALSE(display.createWindow(0, 0, false, false, Platform::VideoMode::Offscreen));
    EXPECT_FALSE(Display::hasDevice());
    const std::string reason = Display::lastError();
    EXPECT_EQ(reason.rfind("cannot create the graphics device on ", 0), 0u) << reason;
    EXPECT_NE(reason.find(": no back buffer of 0 x 0"), std::string::npos) << reason;
    EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
    // A later attempt that succeeds leaves no stale reason behind.
    EXPECT_TRUE(display.createWindow(8, 8, false, false, Platform::VideoMode::Offscreen)) << Display::lastError();
    EXPECT_STREQ(Display::lastError(), "");
}
