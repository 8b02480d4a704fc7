// The small math kit of the 3D pipeline: vectors, affine 4x4 matrices in the
// row-vector convention (translation in the fourth row), integer angles of
// 4096 units to a turn looked up in SineTable, and an object's pose matrix.
// SineTable is filled by resource loading; ViewMatrix is written by the
// camera, CombinedMatrix by whoever projects next (renderer, scene, shadows).
#pragma once

#include <cstdint>

struct Vec3 {
    float x, y, z;
};

// Sixteen floats stored row by row: x' = x*m[0] + y*m[4] + z*m[8] + m[12], ...
struct Matrix4 {
    float m[16];
};

// Where an object stands: every record that begins with a pose (Mesh) can be
// handed to matFromPose and lookAtFrom.
struct Pose {
    float posX, posY, posZ;
    int32_t angleX, angleY, angleZ; // 4096 units a turn, never reduced when stored
};

constexpr int AngleUnits = 4096; // one full turn

extern float SineTable[AngleUnits]; // sin(i * pi / 2048); built at resource loading, never changed
extern Matrix4 ViewMatrix;          // world to view; written only by updateCamera
extern Matrix4 CombinedMatrix;      // what projectVertex applies; set by each caller before use

void buildSineTable();

// size must be a power of two; any integer, negative too, is a valid angle.
inline int wrapAngle(int value, int size) {
    return value & (size - 1);
}
inline float sineOf(int angle) {
    return SineTable[wrapAngle(angle, AngleUnits)];
}
inline float cosineOf(int angle) {
    return SineTable[wrapAngle(angle + 1024, AngleUnits)];
}

float vecLength(float x, float y, float z);
// The zero vector stays zero (a degenerate face has no direction to give).
void vecNormalize(Vec3& v);
// out = a x b; out must be a third vector.
void vecCross(const Vec3& a, const Vec3& b, Vec3& out);
inline float vecDot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 vecSub(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

void matIdentity(Matrix4& m);
// out = a x b for affine matrices (fourth column forced to 0, 0, 0, 1);
// out must be a third matrix.
void matMultiplyAffine(const Matrix4& a, const Matrix4& b, Matrix4& out);
// Model to world: turns about x by -angleX, then y by -angleY, then z by
// -angleZ, then moves to the position.
void matFromPose(const Pose& pose, Matrix4& out);
// Rotates a direction by the upper 3x3 of CombinedMatrix.
void transformDirection(const Vec3& d, Vec3& out);
// A point (row vector) through an affine matrix.
Vec3 transformPoint(const Vec3& p, const Matrix4& m);
