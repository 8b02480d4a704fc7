// The vector and matrix kit and the globals it owns: SineTable (built at
// resource loading), ViewMatrix (the camera's) and CombinedMatrix (whoever
// projects next).
#include "render/math.h"

#include <cmath>

float SineTable[AngleUnits];
Matrix4 ViewMatrix;
Matrix4 CombinedMatrix;

void buildSineTable() {
    // The angle is summed step by step in extended precision, so the table
    // matches the one the pictures were tuned with to the last bit.
    long double angle = 0.0L;
    const long double step = 3.14159265358979323846264338327950288L / 2048.0L;
    for (int i = 0; i < AngleUnits; ++i) {
        SineTable[i] = static_cast<float>(std::sin(angle));
        angle += step;
    }
}

float vecLength(float x, float y, float z) {
    return std::sqrt(x * x + y * y + z * z);
}

void vecNormalize(Vec3& v) {
    const float lengthSquared = v.x * v.x + v.y * v.y + v.z * v.z;
    if (!(lengthSquared > 0.0f)) return; // zero (or NaN) has no direction: leave it as it is
    const float r = 1.0f / std::sqrt(lengthSquared);
    v.x *= r;
    v.y *= r;
    v.z *= r;
}

void vecCross(const Vec3& a, const Vec3& b, Vec3& out) {
    out.x = a.y * b.z - a.z * b.y;
    out.y = a.z * b.x - a.x * b.z;
    out.z = a.x * b.y - a.y * b.x;
}

void matIdentity(Matrix4& m) {
    for (float& value : m.m) value = 0.0f;
    m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1.0f;
}

void matMultiplyAffine(const Matrix4& a, const Matrix4& b, Matrix4& out) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            out.m[4 * r + c] = a.m[4 * r] * b.m[c] + a.m[4 * r + 1] * b.m[4 + c] +
                               a.m[4 * r + 2] * b.m[8 + c] + a.m[4 * r + 3] * b.m[12 + c];
        }
    }
    out.m[3] = out.m[7] = out.m[11] = 0.0f;
    out.m[15] = 1.0f;
}

void matFromPose(const Pose& pose, Matrix4& out) {
    const float sA = sineOf(pose.angleX), cA = cosineOf(pose.angleX);
    const float sB = sineOf(pose.angleY), cB = cosineOf(pose.angleY);
    const float sC = sineOf(pose.angleZ), cC = cosineOf(pose.angleZ);
    out.m[0] = cB * cC;
    out.m[1] = -cB * sC;
    out.m[2] = sB;
    out.m[3] = 0.0f;
    out.m[4] = cA * sC + sA * sB * cC;
    out.m[5] = cA * cC - sA * sB * sC;
    out.m[6] = -sA * cB;
    out.m[7] = 0.0f;
    out.m[8] = sA * sC - cA * sB * cC;
    out.m[9] = sA * cC + cA * sB * sC;
    out.m[10] = cA * cB;
    out.m[11] = 0.0f;
    out.m[12] = pose.posX;
    out.m[13] = pose.posY;
    out.m[14] = pose.posZ;
    out.m[15] = 1.0f;
}

void transformDirection(const Vec3& d, Vec3& out) {
    const float* m = CombinedMatrix.m;
    out.x = d.x * m[0] + d.y * m[4] + d.z * m[8];
    out.y = d.x * m[1] + d.y * m[5] + d.z * m[9];
    out.z = d.x * m[2] + d.y * m[6] + d.z * m[10];
}

Vec3 transformPoint(const Vec3& p, const Matrix4& matrix) {
    const float* m = matrix.m;
    return {p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12],
            p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
            p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]};
}
