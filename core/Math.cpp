#include "core/Math.h"

#include <cmath>

namespace ORV::Core {

const float pi = std::acos(-1.0f);
const float halfPi = pi * 0.5f;
const float twoPi = pi + pi;

Matrix operator*(const Matrix& a, const Matrix& b)
{
    Matrix r = Matrix::zero();
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

Matrix transpose(const Matrix& a)
{
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = a.m[j][i];
    return r;
}

Vector4 transformPoint(Vector3 p, const Matrix& m)
{
    const float in[4] = {p.x, p.y, p.z, 1.0f};
    float out[4] = {0, 0, 0, 0};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) out[c] += in[r] * m.m[r][c];
    return {out[0], out[1], out[2], out[3]};
}

} // namespace ORV::Core
