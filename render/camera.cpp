// Camera state and projection. The angles are written by the window
// procedure and the game controller between frames; the eye by orbitCamera
// every frame; the constants by setCameraConstants at each resource load.
#include "render/camera.h"

#include <cmath>

int CameraAzimuth = 0;
int CameraElevation = -50;
int CameraRoll = 0;
int CameraDistance = 3500;
Vec3 CameraEye = {0.0f, 0.0f, 1000.0f};
Vec3 CameraTarget = {0.0f, 0.0f, 0.0f};

float NearDistance = 0.0f;
float NearReciprocal = 0.0f;
float FarDistance = 10000.0f;
float FarReciprocal = 0.0001f;
float ScreenCentreX = 0.0f;
float ScreenCentreY = 0.0f;

Vec3 ExtentOrigin = {0.0f, 0.0f, 0.0f};
float MaxExtentDistance = 0.0f;
float MaxExtentRadius = 0.0f;

// Scratch of the view construction; nothing reads them but the construction
// that has just written them.
static Vec3 CameraForward, CameraRight, CameraUp;
static Matrix4 CameraTranslation, CameraLookAt, CameraRollMatrix, CameraBaseView;

void setCameraConstants() {
    CameraDistance = 3500;
    ScreenCentreX = static_cast<float>(ScreenWidth) * 0.5f;
    ScreenCentreY = static_cast<float>(ScreenHeight) * 0.5f;
    CameraEye = {0.0f, 0.0f, 1000.0f};
    CameraTarget = {0.0f, 0.0f, 0.0f};
    NearDistance = FocalLength;
    NearReciprocal = 1.0f / FocalLength;
    FarDistance = FocalLength + 10000.0f;
    FarReciprocal = 1.0f / FarDistance;
}

void orbitCamera() {
    const int a = 10 * CameraAzimuth;
    const int e = 10 * CameraElevation;
    const float radius = static_cast<float>(CameraDistance) * 1.2f;
    CameraEye.x = sineOf(a) * cosineOf(e) * radius;
    CameraEye.y = sineOf(e) * radius;
    CameraEye.z = cosineOf(a) * cosineOf(e) * radius;
    CameraTarget = {0.0f, 0.0f, 0.0f};
}

// Right, up and forward of a view along `forward` (not yet normalised), as
// the columns of CameraLookAt, behind the translation to the eye.
static void buildBaseView(const Vec3& eye, const Vec3& towards) {
    matIdentity(CameraTranslation);
    CameraTranslation.m[12] = -eye.x;
    CameraTranslation.m[13] = -eye.y;
    CameraTranslation.m[14] = -eye.z;

    CameraForward = towards;
    vecNormalize(CameraForward);
    if (CameraForward.x == 0.0f && CameraForward.z == 0.0f) {
        // Straight along the y axis the reference up gives no right vector.
        CameraRight = {CameraForward.y <= 0.0f ? 1.0f : -1.0f, 0.0f, 0.0f};
    } else {
        const Vec3 referenceUp = {0.0f, -1.0f, 0.0f};
        vecCross(referenceUp, CameraForward, CameraRight);
    }
    vecNormalize(CameraRight);
    vecCross(CameraForward, CameraRight, CameraUp);
    vecNormalize(CameraUp);

    matIdentity(CameraLookAt);
    CameraLookAt.m[0] = CameraRight.x;
    CameraLookAt.m[4] = CameraRight.y;
    CameraLookAt.m[8] = CameraRight.z;
    CameraLookAt.m[1] = CameraUp.x;
    CameraLookAt.m[5] = CameraUp.y;
    CameraLookAt.m[9] = CameraUp.z;
    CameraLookAt.m[2] = CameraForward.x;
    CameraLookAt.m[6] = CameraForward.y;
    CameraLookAt.m[10] = CameraForward.z;
    matMultiplyAffine(CameraTranslation, CameraLookAt, CameraBaseView);
}

void updateCamera() {
    // With no roll this is a half turn about the viewing axis, which puts
    // world up (-y) at the top of the screen.
    matIdentity(CameraRollMatrix);
    CameraRollMatrix.m[0] = -cosineOf(CameraRoll);
    CameraRollMatrix.m[1] = -sineOf(CameraRoll);
    CameraRollMatrix.m[4] = sineOf(CameraRoll);
    CameraRollMatrix.m[5] = -cosineOf(CameraRoll);
    buildBaseView(CameraEye, vecSub(CameraTarget, CameraEye));
    matMultiplyAffine(CameraBaseView, CameraRollMatrix, ViewMatrix);
}

void lookAtFrom(const Vec3& eye, const Pose& target, Matrix4& out) {
    buildBaseView(eye, vecSub({target.posX, target.posY, target.posZ}, eye));
    out = CameraBaseView;
}

// The view-space position and its reciprocal depth.
static Projection viewOf(float x, float y, float z, const Matrix4& matrix) {
    const Vec3 view = transformPoint({x, y, z}, matrix);
    Projection p;
    p.viewX = view.x;
    p.viewY = view.y;
    p.viewZ = view.z;
    p.rhw = 1.0f / view.z;
    return p;
}

Projection projectPosition(float x, float y, float z, const Matrix4& matrix) {
    Projection p = viewOf(x, y, z, matrix);
    p.screenX = p.rhw * p.viewX * FocalLength + ScreenCentreX;
    p.screenY = p.rhw * p.viewY * FocalLength + ScreenCentreY;
    p.depth = (p.rhw - NearReciprocal) / (FarReciprocal - NearReciprocal);
    return p;
}

Projection projectExtentPosition(float x, float y, float z) {
    Projection p = viewOf(x, y, z, CombinedMatrix);
    p.depth = 0.0f;
    p.screenX = p.rhw * p.viewX;
    p.screenY = p.rhw * p.viewY;
    if (p.viewZ > 0.0f) {
        const float distance =
            vecLength(p.viewX - ExtentOrigin.x, p.viewY - ExtentOrigin.y, p.viewZ - ExtentOrigin.z);
        if (distance > MaxExtentDistance) MaxExtentDistance = distance;
        const float radius = std::sqrt(p.screenX * p.screenX + p.screenY * p.screenY);
        if (radius > MaxExtentRadius) MaxExtentRadius = radius;
    }
    return p;
}
