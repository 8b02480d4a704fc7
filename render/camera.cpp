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

namespace {

// Scratch of the view construction; nothing reads them but the construction
// that has just written them.
Vec3 cameraForward, cameraRight, cameraUp;
Matrix4 cameraTranslation, cameraLookAt, cameraRollMatrix, cameraBaseView;

// Right, up and forward of a view along `forward` (not yet normalised), as
// the columns of cameraLookAt, behind the translation to the eye.
void buildBaseView(const Vec3& eye, const Vec3& towards) {
    matIdentity(cameraTranslation);
    cameraTranslation.m[12] = -eye.x;
    cameraTranslation.m[13] = -eye.y;
    cameraTranslation.m[14] = -eye.z;

    cameraForward = towards;
    vecNormalize(cameraForward);
    if (cameraForward.x == 0.0f && cameraForward.z == 0.0f) {
        // Straight along the y axis the reference up gives no right vector.
        cameraRight = {cameraForward.y <= 0.0f ? 1.0f : -1.0f, 0.0f, 0.0f};
    } else {
        const Vec3 referenceUp = {0.0f, -1.0f, 0.0f};
        vecCross(referenceUp, cameraForward, cameraRight);
    }
    vecNormalize(cameraRight);
    vecCross(cameraForward, cameraRight, cameraUp);
    vecNormalize(cameraUp);

    matIdentity(cameraLookAt);
    cameraLookAt.m[0] = cameraRight.x;
    cameraLookAt.m[4] = cameraRight.y;
    cameraLookAt.m[8] = cameraRight.z;
    cameraLookAt.m[1] = cameraUp.x;
    cameraLookAt.m[5] = cameraUp.y;
    cameraLookAt.m[9] = cameraUp.z;
    cameraLookAt.m[2] = cameraForward.x;
    cameraLookAt.m[6] = cameraForward.y;
    cameraLookAt.m[10] = cameraForward.z;
    matMultiplyAffine(cameraTranslation, cameraLookAt, cameraBaseView);
}

// The view-space position and its reciprocal depth.
Projection viewOf(float x, float y, float z, const Matrix4& matrix) {
    const Vec3 view = transformPoint({x, y, z}, matrix);
    Projection p;
    p.viewX = view.x;
    p.viewY = view.y;
    p.viewZ = view.z;
    p.rhw = 1.0f / view.z;
    return p;
}

} // namespace

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

void updateCamera() {
    // With no roll this is a half turn about the viewing axis, which puts
    // world up (-y) at the top of the screen.
    matIdentity(cameraRollMatrix);
    cameraRollMatrix.m[0] = -cosineOf(CameraRoll);
    cameraRollMatrix.m[1] = -sineOf(CameraRoll);
    cameraRollMatrix.m[4] = sineOf(CameraRoll);
    cameraRollMatrix.m[5] = -cosineOf(CameraRoll);
    buildBaseView(CameraEye, vecSub(CameraTarget, CameraEye));
    matMultiplyAffine(cameraBaseView, cameraRollMatrix, ViewMatrix);
}

void lookAtFrom(const Vec3& eye, const Pose& target, Matrix4& out) {
    buildBaseView(eye, vecSub({target.posX, target.posY, target.posZ}, eye));
    out = cameraBaseView;
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
