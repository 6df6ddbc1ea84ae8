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

namespace {
// The determinant of the 3 x 3 matrix left when row `row` and column `column`
// are removed.
float minor3(const Matrix& m, int row, int column)
{
    float a[3][3];
    for (int r = 0, i = 0; r < 4; ++r) {
        if (r == row) continue;
        for (int c = 0, j = 0; c < 4; ++c) {
            if (c == column) continue;
            a[i][j++] = m.m[r][c];
        }
        ++i;
    }
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0])
           + a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
}
} // namespace

bool invertMatrix(Matrix& m)
{
    float det = 0.0f;
    for (int j = 0; j < 4; ++j) det += m.m[0][j] * ((j % 2) ? -1.0f : 1.0f) * minor3(m, 0, j);
    if (std::fabs(det) < 0.0005f) return false;
    Matrix result;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) result.m[j][i] = (((i + j) % 2) ? -1.0f : 1.0f) * minor3(m, i, j) / det;
    m = result;
    return true;
}

} // namespace ORV::Core
