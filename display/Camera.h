// A camera as a plain value: a projection description (field of view, aspect
// ratio, near and far planes) and a frame (position and three axes), from which
// it builds view and projection matrices. It loads nothing into a device and
// animates nothing; the display and the scenes do that with the matrices.
#pragma once

#include "core/Math.h"

namespace ORV::Demo {

// View space is right-handed and the camera looks along -front. Matrices are
// row-major for row vectors (p' = p * M). A camera owns nothing; copies are
// independent and carry every field.
class Camera {
public:
    Camera() = default;
    Camera(const Camera&) = default;
    Camera& operator=(const Camera&) = default;
    virtual ~Camera() = default;

    // Stores the projection description: fov is the horizontal field of view in
    // radians, aspect is width / height. Selects the finite perspective
    // projection.
    void setPerspective(float fov, float aspect, float nearPlane, float farPlane);

    // Stores the position and axes as passed: they are neither normalised nor
    // made orthogonal, so axes that are not unit length scale the view.
    void setFrame(const Core::Vector3& position, const Core::Vector3& right, const Core::Vector3& up,
                  const Core::Vector3& front);

    // Rebuilds the view matrix from the frame: the axes are the columns of the
    // upper 3 x 3 block, the fourth row is -(position . axis).
    const Core::Matrix& viewMatrix();

    // Rebuilds the projection matrix: view-space z = -near maps to depth 0 and
    // z = -far to depth 1. The vertical half-angle is fov / aspect / 2. aspect 0,
    // near == far or a half-angle at a multiple of pi give infinite elements;
    // callers do not pass those.
    const Core::Matrix& projectionMatrix();

    const Core::Vector3& position() const { return position_; }
    const Core::Vector3& right() const { return right_; }
    const Core::Vector3& up() const { return up_; }
    const Core::Vector3& front() const { return front_; }

    float fov() const { return fov_; }
    float aspect() const { return aspect_; }
    float nearPlane() const { return near_; }
    float farPlane() const { return far_; }
    float orthoWidth() const { return orthoWidth_; }
    float orthoHeight() const { return orthoHeight_; }
    bool infiniteFar() const { return infiniteFar_; }
    bool perspective() const { return perspective_; }

private:
    float fov_ = 45.0f;
    float aspect_ = 4.0f / 3.0f;
    float near_ = 1.0f;
    // Kept and copied with the camera but never set to true: nothing selects a
    // projection without far plane, so projectionMatrix builds only the finite one.
    bool infiniteFar_ = false;
    float far_ = 1000.0f;
    float orthoWidth_ = 8.0f / 3.0f;
    float orthoHeight_ = 2.0f;
    // Likewise never false: there is no orthographic projection to build.
    bool perspective_ = true;
    Core::Vector3 position_;
    Core::Vector3 right_;
    Core::Vector3 up_;
    Core::Vector3 front_;
    Core::Matrix view_;
    Core::Matrix projection_;
    Core::Matrix spare_; // copied with the camera; nothing reads or writes it
};

} // namespace ORV::Demo
