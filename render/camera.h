// The orbiting camera that always looks at the board's centre, the look-at
// builder used for the light's views, and the CPU perspective projection.
// The three angles are written by the window procedure and the game
// controller; the constants by resource loading (setCameraConstants); the
// far plane also by the controller at the start of every frame.
#pragma once

#include "render/math.h"
#include "render/screen.h"

extern int CameraAzimuth;   // turn around the board, 10/4096 of a turn a unit; never reset
extern int CameraElevation; // eye elevation in the same unit, kept in -185..-20 by the controller
extern int CameraRoll; // roll about the viewing axis, 4096ths of a turn; 0 at each texture reload
extern int CameraDistance; // orbit radius before the 1.2 scale; 3500 from resource loading on
extern Vec3 CameraEye;     // eye in world space; placed by orbitCamera every frame
extern Vec3 CameraTarget;  // point looked at; always the origin

extern float NearDistance;   // = FocalLength: the near plane sits at the focal length
extern float NearReciprocal; // 1 / NearDistance
extern float FarDistance;    // 10000 during play (the controller sets it every frame)
extern float FarReciprocal;  // 1 / FarDistance
extern float ScreenCentreX;  // ScreenWidth / 2, set at resource loading
extern float ScreenCentreY;  // ScreenHeight / 2, set at resource loading

constexpr int CameraElevationHighest = -20; // lowest eye the player may choose
constexpr int CameraElevationLowest = -185; // past the vertical, from the far side

// Running maxima of projectExtent, measured from ExtentOrigin (light space);
// reset by the shadow pass before each piece.
extern Vec3 ExtentOrigin;
extern float MaxExtentDistance;
extern float MaxExtentRadius;

// Camera constants of a freshly loaded display: distance, centre, near and far.
void setCameraConstants();
// Places CameraEye from the three angles (the elevation is already clamped).
void orbitCamera();
// Rebuilds ViewMatrix from the eye, the target and CameraRoll.
void updateCamera();
// World-to-view matrix of an eye looking at target's position (no roll).
void lookAtFrom(const Vec3& eye, const Pose& target, Matrix4& out);

// The projection results that follow a record's position (x, y, z).
struct Projection {
    float viewX, viewY, viewZ; // position in view space
    float rhw;                 // 1 / viewZ
    float depth;               // 0 at the near plane, 1 at the far plane
    float screenX, screenY;    // pixels
};

Projection projectPosition(float x, float y, float z, const Matrix4& m);

// Records handed to the projection have x, y, z and the Projection fields by
// name (MeshVertex and the scene's own vertices).
template <class Record> inline void storeProjection(Record& v, const Projection& p) {
    v.viewX = p.viewX;
    v.viewY = p.viewY;
    v.viewZ = p.viewZ;
    v.rhw = p.rhw;
    v.depth = p.depth;
    v.screenX = p.screenX;
    v.screenY = p.screenY;
}
template <class Record> inline void projectPoint(Record& v, const Matrix4& m) {
    storeProjection(v, projectPosition(v.x, v.y, v.z, m));
}
template <class Record> inline void projectVertex(Record& v) {
    projectPoint(v, CombinedMatrix);
}

// Light-space projection for fitting a shadow: screen fields hold X/Z and Y/Z
// (no focal length, no centre), depth is left alone, and the maxima grow.
Projection projectExtentPosition(float x, float y, float z);
template <class Record> inline void projectExtent(Record& v) {
    const Projection p = projectExtentPosition(v.x, v.y, v.z);
    const float depth = v.depth;
    storeProjection(v, p);
    v.depth = depth;
}
