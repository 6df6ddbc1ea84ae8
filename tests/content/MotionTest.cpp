// Rotations, easing and splines, sampling functions of scene time into tracks,
// and the camera helper proved through the scene player's own camera
// evaluation: what a camera looks at lands at the middle of the picture.
#include "content/scenes/Motion.h"
#include "content/scenes/SceneKit.h"

#include "content/scenewriter/SceneWriter.h"
#include "scene/SceneEffect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

using namespace ORV;
using namespace ORV::Content;

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void expectNear(Core::Vector3 a, Core::Vector3 b, float tolerance)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

// The description written and read back, then built into a scene player and
// updated at time: the cameras exactly as the demo evaluates them.
std::map<std::string, Demo::Camera> playerCameras(Demo::SceneDescription d, float time)
{
    std::stringstream file;
    std::string error;
    EXPECT_TRUE(writeScene(file, d, error)) << error;
    Demo::SceneEffect scene;
    scene.build(file, nullptr);
    scene.update(0.0f, time);
    return scene.cameras();
}

// Where a world point lands, in normalised device x and y (-1..1, y up), and
// whether it is in front of the camera.
struct Projected {
    float x, y;
    bool inFront;
};

Projected project(Demo::Camera camera, Core::Vector3 p)
{
    const Core::Vector4 clip = Core::transformPoint(p, camera.viewMatrix() * camera.projectionMatrix());
    return {clip.x / clip.w, clip.y / clip.w, clip.w > 0.0f};
}

TEST(Rotations, BasisRotationsMapTheAxesInEveryBranch)
{
    // Bases that exercise each branch of the conversion: a small turn
    // (positive trace) and half turns about x, y and z (each axis largest).
    const Core::Quaternion turns[] = {axisAngle({1, 2, 3}, 0.4f), axisAngle({1, 0.1f, 0.1f}, 3.0f),
                                      axisAngle({0.1f, 1, 0.1f}, 3.0f), axisAngle({0.1f, 0.2f, 1}, 3.1f),
                                      axisAngle({-1, 1, 1}, -2.5f)};
    for (const Core::Quaternion& q : turns) {
        const Core::Vector3 x = rotate(q, {1, 0, 0}), y = rotate(q, {0, 1, 0}), z = rotate(q, {0, 0, 1});
        const Core::Quaternion back = basisRotation(x, y, z);
        expectNear(rotate(back, {1, 0, 0}), x, 1e-5f);
        expectNear(rotate(back, {0, 1, 0}), y, 1e-5f);
        expectNear(rotate(back, {0, 0, 1}), z, 1e-5f);
    }
}

TEST(Rotations, AxisAngleTurnsRightHandedAndThenRotateComposesInOrder)
{
    expectNear(rotate(axisAngle({0, 0, 1}, kPi / 2), {1, 0, 0}), {0, 1, 0}, 1e-6f);
    expectNear(rotate(axisAngle({0, 2, 0}, kPi / 2), {0, 0, 1}), {1, 0, 0}, 1e-6f);
    const Core::Quaternion a = axisAngle({0, 0, 1}, kPi / 2), b = axisAngle({1, 0, 0}, kPi / 2);
    // x -> y (a), then y -> z (b).
    expectNear(rotate(thenRotate(a, b), {1, 0, 0}), {0, 0, 1}, 1e-6f);
    expectNear(rotate(thenRotate(b, a), {1, 0, 0}), {0, 1, 0}, 1e-6f);
}

TEST(Rotations, FacingTurnsAQuadTowardsTheEyeUpright)
{
    const Core::Vector3 at{1, 2, 3};
    for (const Core::Vector3 eye : {Core::Vector3{1, 2, 10}, Core::Vector3{-7, 4, -2}, Core::Vector3{5, 9, 3.5f}}) {
        const Core::Quaternion q = facing(at, eye);
        expectNear(rotate(q, {0, 0, 1}), normalized(eye - at), 1e-5f);
        EXPECT_NEAR(rotate(q, {1, 0, 0}).y, 0.0f, 1e-5f) << "the quad's edges stay level";
        EXPECT_GT(rotate(q, {0, 1, 0}).y, 0.0f) << "and its top up";
    }
}

TEST(Easing, CurvesRunFromZeroToOne)
{
    for (float (*ease)(float) : {smooth, smoother, easeOutBack}) {
        EXPECT_EQ(ease(-1.0f), 0.0f);
        EXPECT_NEAR(ease(0.0f), 0.0f, 1e-6f);
        EXPECT_NEAR(ease(1.0f), 1.0f, 1e-6f);
        EXPECT_NEAR(ease(2.0f), 1.0f, 1e-6f);
    }
    EXPECT_NEAR(smooth(0.5f), 0.5f, 1e-6f);
    EXPECT_GT(easeOutBack(0.7f), 1.0f) << "things that pop up overshoot a little";
    EXPECT_LT(easeOutBack(0.7f), 1.2f);
    EXPECT_EQ(ramp(3.0f, 4.0f, 6.0f), 0.0f);
    EXPECT_NEAR(ramp(5.0f, 4.0f, 6.0f), 0.5f, 1e-6f);
    EXPECT_EQ(pulse(0.9f, 1.0f, 0.5f), 0.0f);
    EXPECT_EQ(pulse(1.0f, 1.0f, 0.5f), 1.0f);
    EXPECT_NEAR(pulse(1.5f, 1.0f, 0.5f), 0.5f, 1e-6f);
}

TEST(Splines, PassThroughTheirPointsAndHoldAtTheEnds)
{
    const Spline spline({{0, 0, 0}, {4, 2, 0}, {8, 0, 3}, {10, 5, 5}});
    expectNear(spline.at(0.0f), {0, 0, 0}, 1e-5f);
    expectNear(spline.at(1.0f / 3.0f), {4, 2, 0}, 1e-5f);
    expectNear(spline.at(2.0f / 3.0f), {8, 0, 3}, 1e-5f);
    expectNear(spline.at(1.0f), {10, 5, 5}, 1e-5f);
    expectNear(spline.at(-0.5f), {0, 0, 0}, 1e-5f);
    expectNear(spline.at(1.5f), {10, 5, 5}, 1e-5f);
    // Smooth: no jump where segments meet.
    expectNear(spline.at(1.0f / 3.0f - 1e-4f), spline.at(1.0f / 3.0f + 1e-4f), 1e-2f);
}

TEST(Sampling, TracksCoverTheirLengthWithKeysAtTheFilesTimes)
{
    EXPECT_EQ(samplesCovering(0.0f), 1u);
    EXPECT_EQ(samplesCovering(0.05f), 2u);
    EXPECT_EQ(samplesCovering(1.0f), 11u) << "ten steps of 0.1 reach 1.0000001";
    EXPECT_EQ(samplesCovering(25.0f), 251u);

    Demo::SceneDescription d;
    const std::int32_t index = sampleScalar(d, 4.0f, [](float t) { return t * t; });
    const auto* track = dynamic_cast<const Core::SampledAnimationTrack*>(d.animations[std::size_t(index)].track());
    ASSERT_NE(track, nullptr);
    ASSERT_EQ(track->keyCount(), samplesCovering(4.0f));
    EXPECT_GE(track->keyTimes().back(), 4.0f);
    for (std::size_t i = 0; i < track->keyCount(); ++i) {
        EXPECT_EQ(track->keyTimes()[i], sceneSampleTime(i));
        EXPECT_EQ(track->keyValues()[i], sceneSampleTime(i) * sceneSampleTime(i)) << "the function at the key's time";
    }
    EXPECT_EQ(checkScene(d), "");
}

TEST(Sampling, SpinsTurnTheShortWayBetweenSamples)
{
    // A full turn a second about y: between samples the player's blend must
    // land half-way, which only works if neighbouring keys share a hemisphere.
    Demo::SceneDescription d;
    const std::int32_t index = sampleTransform(d, 2.0f, [](float t) {
        return pose({}, axisAngle({0, 1, 0}, 2.0f * kPi * t));
    });
    const Core::Animation& animation = d.animations[std::size_t(index)];
    for (int i = 0; i < 20; ++i) {
        const float t = (sceneSampleTime(std::size_t(i)) + sceneSampleTime(std::size_t(i + 1))) * 0.5f;
        Core::Transform between;
        animation.evaluateAt(t, between);
        expectNear(rotate(between.rotation, {1, 0, 0}), rotate(axisAngle({0, 1, 0}, 2.0f * kPi * t), {1, 0, 0}), 1e-3f);
    }
}

TEST(CameraHelper, ThePlayerLooksFromTheEyeAtTheTarget)
{
    struct Shot {
        Core::Vector3 eye, target, up;
    };
    const Shot shots[] = {
        {{0, 0, 10}, {0, 0, 0}, {0, 1, 0}}, // down -z, the identity frame
        {{3, 4, -12}, {-2, 1, 5}, {0, 1, 0}}, // looking towards +z
        {{10, 30, 10}, {0, 0, 0}, {0, 1, 0}}, // steeply down
        {{-5, 2, 1}, {7, 3, -4}, {0.3f, 1, 0}}, // banked
        {{0, -8, 0.5f}, {0, 6, 0}, {0, 0, -1}}, // straight up with z as up
    };
    SceneBuilder builder(1.0f);
    for (std::size_t i = 0; i < std::size(shots); ++i)
        builder.camera("shot" + std::to_string(i), [s = shots[i]](float) {
            return CameraShot{s.eye, s.target, 0.9f, s.up};
        });
    const std::map<std::string, Demo::Camera> cameras = playerCameras(builder.finish(), 0.5f);
    ASSERT_EQ(cameras.size(), std::size(shots));
    for (std::size_t i = 0; i < std::size(shots); ++i) {
        SCOPED_TRACE("shot " + std::to_string(i));
        const Shot& s = shots[i];
        const Demo::Camera& camera = cameras.at("shot" + std::to_string(i));
        expectNear(camera.position(), s.eye, 1e-4f);
        EXPECT_NEAR(camera.fov(), 0.9f, 1e-6f);
        const Projected centre = project(camera, s.target);
        EXPECT_TRUE(centre.inFront);
        EXPECT_NEAR(centre.x, 0.0f, 1e-4f);
        EXPECT_NEAR(centre.y, 0.0f, 1e-4f);
        // Up in the world is up on the screen; right of the view is right.
        const Core::Vector3 view = normalized(s.target - s.eye);
        const Core::Vector3 right = normalized(Core::cross(view, s.up));
        const Core::Vector3 up = Core::cross(right, view);
        const Projected above = project(camera, s.target + up);
        EXPECT_NEAR(above.x, 0.0f, 1e-4f);
        EXPECT_GT(above.y, 0.01f);
        const Projected beside = project(camera, s.target + right);
        EXPECT_GT(beside.x, 0.01f);
        EXPECT_NEAR(beside.y, 0.0f, 1e-4f);
        // What is behind the eye is behind the camera.
        EXPECT_FALSE(project(camera, s.eye - view * 5.0f).inFront);
    }
}

TEST(CameraHelper, AMovingCameraKeepsItsTargetCentredBetweenSamples)
{
    // An orbit about a point: at times between the samples the blend of two
    // look-at poses still looks close to the point.
    const auto orbit = [] {
        SceneBuilder builder(3.0f);
        builder.camera("orbit", [](float t) {
            return CameraShot{{20 * std::cos(t), 5, 20 * std::sin(t)}, {0, 1, 0}, 1.0f};
        });
        return builder.finish();
    };
    for (const float t : {0.05f, 1.23f, 2.87f}) {
        const Projected centre = project(playerCameras(orbit(), t).at("orbit"), {0, 1, 0});
        EXPECT_NEAR(centre.x, 0.0f, 0.01f) << "at " << t;
        EXPECT_NEAR(centre.y, 0.0f, 0.01f) << "at " << t;
    }
}

} // namespace
