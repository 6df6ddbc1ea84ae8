// Vector, rotation and easing helpers for animating the demo's scenes, and the
// camera pose helper: an eye, a target and an up direction turned into the
// Transform that the scene player's camera convention needs.
#pragma once

#include "core/Math.h"
#include "core/Transform.h"

#include <span>
#include <vector>

namespace ORV::Content {

float length(Core::Vector3 v);
// v / |v|; v unchanged when its length is 0.
Core::Vector3 normalized(Core::Vector3 v);
Core::Vector3 lerp(Core::Vector3 a, Core::Vector3 b, float f);
float lerp(float a, float b, float f);

// The rotation by `angle` radians about `axis` (any length but 0), the
// right-handed way round (counter-clockwise looking down the axis).
Core::Quaternion axisAngle(Core::Vector3 axis, float angle);
// a then b: rotating by the result equals rotating by a, then by b.
Core::Quaternion thenRotate(const Core::Quaternion& a, const Core::Quaternion& b);
// v rotated by the unit quaternion q.
Core::Vector3 rotate(const Core::Quaternion& q, Core::Vector3 v);
// The unit quaternion whose rotation maps x, y and z onto the orthonormal,
// right-handed axes given.
Core::Quaternion basisRotation(Core::Vector3 x, Core::Vector3 y, Core::Vector3 z);

// A pose of translation, rotation and scale (scale orientation identity).
Core::Transform pose(Core::Vector3 translation, Core::Quaternion rotation = {},
                     Core::Vector3 scale = {1.0f, 1.0f, 1.0f});

// The Transform a scene camera must hold to stand at eye and look at target
// with up as near the given up as can be. The player builds the camera's axes
// from the inverse of the rotation it evaluates and looks along -front, so the
// rotation stored here is the inverse of the one that maps (x, y, z) onto
// (right, up, front) with front = eye - target. eye != target, and up not along
// the view direction.
Core::Transform lookAtPose(Core::Vector3 eye, Core::Vector3 target, Core::Vector3 up = {0.0f, 1.0f, 0.0f});

// The rotation that turns a quad facing +z (quadMesh) at position to face eye,
// its top towards up: a sprite or card that faces one camera. position != eye.
Core::Quaternion facing(Core::Vector3 position, Core::Vector3 eye, Core::Vector3 up = {0.0f, 1.0f, 0.0f});

// Easing of f in [0, 1] (clamped outside): smoothstep, quintic smootherstep,
// ease-out with a small overshoot (for things that pop up), and a step that
// runs from 0 at `from` to 1 at `to` with smoothstep.
float smooth(float f);
float smoother(float f);
float easeOutBack(float f);
float ramp(float t, float from, float to);
// A pulse that jumps to 1 at t = at and decays with the given half-life;
// 0 before.
float pulse(float t, float at, float halfLife);

// A Catmull-Rom spline through points (at least 2), parameter s in [0, 1]
// spread evenly over the segments; clamped at the ends. Smooth paths for
// cameras and flying things.
class Spline {
public:
    explicit Spline(std::vector<Core::Vector3> points);
    Core::Vector3 at(float s) const;

private:
    std::vector<Core::Vector3> points_;
};

// A small deterministic hash of an integer to [0, 1), for placing things the
// same way every run.
float hash01(unsigned int n);

} // namespace ORV::Content
