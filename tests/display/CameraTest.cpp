#include "display/Camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using ORV::Core::Matrix;
using ORV::Core::Vector3;
using ORV::Core::Vector4;
using ORV::Demo::Camera;

namespace {

void expectOnlyTheseNonZero(const Matrix& m, std::initializer_list<std::pair<int, int>> allowed)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            bool listed = false;
            for (auto [ar, ac] : allowed) listed = listed || (ar == r && ac == c);
            if (!listed) {
                EXPECT_EQ(m.m[r][c], 0.0f) << "element _" << r + 1 << c + 1;
            }
        }
}

Vector3 normalised(Vector3 v)
{
    return v * (1.0f / std::sqrt(ORV::Core::dot(v, v)));
}

} // namespace

TEST(CameraDefaults, MatchTheDocumentedValues)
{
    Camera camera;
    EXPECT_EQ(camera.fov(), 45.0f);
    EXPECT_EQ(camera.aspect(), 1.3333334f);
    EXPECT_EQ(camera.nearPlane(), 1.0f);
    EXPECT_EQ(camera.farPlane(), 1000.0f);
    EXPECT_EQ(camera.orthoWidth(), 2.6666667f);
    EXPECT_EQ(camera.orthoHeight(), 2.0f);
    EXPECT_FALSE(camera.infiniteFar());
    EXPECT_TRUE(camera.perspective());
    EXPECT_EQ(camera.position(), Vector3{});
    EXPECT_EQ(camera.right(), Vector3{});
    EXPECT_EQ(camera.up(), Vector3{});
    EXPECT_EQ(camera.front(), Vector3{});
}

TEST(CameraProjection, RightAngleSquareView)
{
    Camera camera;
    camera.setPerspective(ORV::Core::halfPi, 1.0f, 1.0f, 10000.0f);
    const Matrix& p = camera.projectionMatrix();
    EXPECT_NEAR(p.m[0][0], 1.0f, 1e-6f);
    EXPECT_NEAR(p.m[1][1], 1.0f, 1e-6f);
    EXPECT_FLOAT_EQ(p.m[2][2], -1.00010001f);
    EXPECT_FLOAT_EQ(p.m[3][2], -1.00010001f);
    EXPECT_EQ(p.m[2][3], -1.0f);
    EXPECT_EQ(p.m[3][3], 0.0f);
    expectOnlyTheseNonZero(p, {{0, 0}, {1, 1}, {2, 2}, {2, 3}, {3, 2}});
}

TEST(CameraProjection, FieldOfViewIsDividedByTheAspect)
{
    Camera camera;
    camera.setPerspective(1.0f, 2.0f, 1.0f, 100.0f);
    const Matrix& p = camera.projectionMatrix();
    // h = 1 / 2 * 0.5 = 0.25; cot(0.25) = 3.9163.
    EXPECT_NEAR(p.m[1][1], 3.9163f, 1e-4f);
    EXPECT_NEAR(p.m[0][0], 1.9582f, 1e-4f);
    EXPECT_FLOAT_EQ(p.m[2][2], 100.0f / -99.0f);
    EXPECT_FLOAT_EQ(p.m[3][2], 100.0f / -99.0f);
    expectOnlyTheseNonZero(p, {{0, 0}, {1, 1}, {2, 2}, {2, 3}, {3, 2}});
}

TEST(CameraProjection, NearPlaneMapsToDepthZeroAndFarPlaneToOne)
{
    Camera camera;
    camera.setPerspective(1.2f, 1.333f, 1.0f, 10000.0f);
    const Matrix& p = camera.projectionMatrix();
    const Vector4 nearPoint = ORV::Core::transformPoint({0, 0, -1.0f}, p);
    const Vector4 farPoint = ORV::Core::transformPoint({0, 0, -10000.0f}, p);
    const Vector4 behind = ORV::Core::transformPoint({0, 0, 5.0f}, p);
    EXPECT_NEAR(nearPoint.z / nearPoint.w, 0.0f, 1e-6f);
    EXPECT_NEAR(farPoint.z / farPoint.w, 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(nearPoint.w, 1.0f);
    EXPECT_LT(behind.w, 0.0f); // behind the camera: clipped away
}

TEST(CameraProjection, CotangentMatchesReferenceOverRandomViews)
{
    std::mt19937 random(77);
    // Half-angles from 0.02 to about 1.4 radians: the useful range of a camera.
    std::uniform_real_distribution<float> fovs(0.1f, 2.5f);
    std::uniform_real_distribution<float> aspects(0.9f, 2.5f);
    for (int i = 0; i < 500; ++i) {
        const float fov = fovs(random);
        const float aspect = aspects(random);
        Camera camera;
        camera.setPerspective(fov, aspect, 0.5f, 500.0f);
        const Matrix& p = camera.projectionMatrix();
        const double h = double{fov / aspect * 0.5f};
        const double cot = 1.0 / std::tan(h);
        EXPECT_NEAR(p.m[1][1], cot, std::abs(cot) * 1e-4) << "fov " << fov << " aspect " << aspect;
        EXPECT_NEAR(p.m[0][0], cot / aspect, std::abs(cot / aspect) * 1e-4);
    }
}

TEST(CameraView, AxisAlignedCameraOnZ)
{
    Camera camera;
    camera.setFrame({0, 0, 10}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
    Matrix expected;
    expected.m[3][2] = -10.0f;
    EXPECT_EQ(camera.viewMatrix(), expected);
    // The origin lies in front of the camera, which looks along -front.
    EXPECT_EQ(ORV::Core::transformPoint({0, 0, 0}, camera.viewMatrix()).z, -10.0f);
}

TEST(CameraView, AxesAreStoredAndUsedUncorrected)
{
    Camera camera;
    const Vector3 right{2, 0, 0}, up{0, 3, 0}, front{0, 0.5f, 4};
    camera.setFrame({1, 1, 1}, right, up, front);
    EXPECT_EQ(camera.right(), right);
    EXPECT_EQ(camera.up(), up);
    EXPECT_EQ(camera.front(), front);
    EXPECT_EQ(camera.position(), (Vector3{1, 1, 1}));

    const Matrix& v = camera.viewMatrix();
    EXPECT_EQ(v.m[0][0], 2.0f);
    EXPECT_EQ(v.m[1][1], 3.0f);
    EXPECT_EQ(v.m[1][2], 0.5f);
    EXPECT_EQ(v.m[2][2], 4.0f);
    EXPECT_EQ(v.m[3][0], -2.0f);
    EXPECT_EQ(v.m[3][1], -3.0f);
    EXPECT_EQ(v.m[3][2], -4.5f);
    EXPECT_EQ(v.m[3][3], 1.0f);
    EXPECT_EQ(v.m[0][3], 0.0f);
    // (2, 1, 1) is one unit along x from the camera: scaled by the right axis' length 2.
    EXPECT_EQ(ORV::Core::transformPoint({2, 1, 1}, v).x, 2.0f);
}

TEST(CameraView, PointsExpressedInTheFrameComeBackAsTheirCoordinates)
{
    std::mt19937 random(5);
    std::uniform_real_distribution<float> any(-10.0f, 10.0f);
    for (int i = 0; i < 200; ++i) {
        const Vector3 position{any(random), any(random), any(random)};
        const Vector3 front = normalised({any(random), any(random), any(random)});
        const Vector3 right = normalised(ORV::Core::cross({0.3f, 1, 0.2f}, front));
        const Vector3 up = ORV::Core::cross(front, right);
        Camera camera;
        camera.setFrame(position, right, up, front);
        const float a = any(random), b = any(random), c = any(random);
        const Vector3 point = position + right * a + up * b + front * c;
        const Vector4 viewed = ORV::Core::transformPoint(point, camera.viewMatrix());
        EXPECT_NEAR(viewed.x, a, 1e-3f);
        EXPECT_NEAR(viewed.y, b, 1e-3f);
        EXPECT_NEAR(viewed.z, c, 1e-3f);
        EXPECT_EQ(viewed.w, 1.0f);
    }
}

TEST(CameraView, MatricesAreRebuiltOnEveryRequest)
{
    Camera camera;
    camera.setFrame({0, 0, 10}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
    const Matrix* stored = &camera.viewMatrix();
    camera.setFrame({0, 0, 3}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
    EXPECT_EQ(&camera.viewMatrix(), stored);
    EXPECT_EQ(stored->m[3][2], -3.0f);

    camera.setPerspective(ORV::Core::halfPi, 1.0f, 1.0f, 100.0f);
    const float before = camera.projectionMatrix().m[2][2];
    camera.setPerspective(ORV::Core::halfPi, 1.0f, 1.0f, 10.0f);
    EXPECT_NE(camera.projectionMatrix().m[2][2], before);
}

TEST(CameraCopy, CopyGivesIdenticalMatricesAndStaysIndependent)
{
    Camera original;
    original.setPerspective(0.9f, 1.333f, 1.0f, 10000.0f);
    original.setFrame({1, 2, 3}, {0, 0, -1}, {0, 1, 0}, {1, 0, 0});
    const Matrix originalView = original.viewMatrix();
    const Matrix originalProjection = original.projectionMatrix();

    Camera copy(original);
    EXPECT_EQ(copy.viewMatrix(), originalView);
    EXPECT_EQ(copy.projectionMatrix(), originalProjection);

    copy.setPerspective(0.3f, 2.0f, 5.0f, 50.0f);
    copy.setFrame({9, 9, 9}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
    copy.viewMatrix();
    copy.projectionMatrix();
    EXPECT_EQ(original.viewMatrix(), originalView);
    EXPECT_EQ(original.projectionMatrix(), originalProjection);
    EXPECT_EQ(original.position(), (Vector3{1, 2, 3}));

    Camera assigned;
    assigned = original;
    EXPECT_EQ(assigned.viewMatrix(), originalView);
    EXPECT_EQ(assigned.projectionMatrix(), originalProjection);
    assigned.setFrame({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
    EXPECT_EQ(original.viewMatrix(), originalView);
}
