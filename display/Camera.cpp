#include "display/Camera.h"

#include <cmath>

namespace ORV::Demo {

void Camera::setPerspective(float fov, float aspect, float nearPlane, float farPlane)
{
    fov_ = fov;
    aspect_ = aspect;
    near_ = nearPlane;
    far_ = farPlane;
    infiniteFar_ = false;
    perspective_ = true;
}

void Camera::setFrame(const Core::Vector3& position, const Core::Vector3& right, const Core::Vector3& up,
                      const Core::Vector3& front)
{
    position_ = position;
    right_ = right;
    up_ = up;
    front_ = front;
}

const Core::Matrix& Camera::viewMatrix()
{
    auto& m = view_.m;
    m[0][0] = right_.x;
    m[0][1] = up_.x;
    m[0][2] = front_.x;
    m[0][3] = 0.0f;
    m[1][0] = right_.y;
    m[1][1] = up_.y;
    m[1][2] = front_.y;
    m[1][3] = 0.0f;
    m[2][0] = right_.z;
    m[2][1] = up_.z;
    m[2][2] = front_.z;
    m[2][3] = 0.0f;
    m[3][0] = -Core::dot(position_, right_);
    m[3][1] = -Core::dot(position_, up_);
    m[3][2] = -Core::dot(position_, front_);
    m[3][3] = 1.0f;
    return view_;
}

const Core::Matrix& Camera::projectionMatrix()
{
    const float halfAngle = fov_ / aspect_ * 0.5f;
    // cot(h) as -tan(h + pi/2), in single precision with the engine's halfPi.
    const float c = -std::tan(halfAngle + Core::halfPi);
    projection_ = Core::Matrix::zero();
    auto& m = projection_.m;
    m[0][0] = c / aspect_;
    m[1][1] = c;
    m[2][2] = far_ / (near_ - far_);
    m[2][3] = -1.0f;
    m[3][2] = near_ * far_ / (near_ - far_);
    m[3][3] = 0.0f;
    return projection_;
}

} // namespace ORV::Demo
