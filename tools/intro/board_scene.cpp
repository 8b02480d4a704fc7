// The title card's ray tracer. Everything is analytic (a box, a plane and
// upright cylinders) so that the picture renders in seconds at build time.

#include "board_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

struct V3 {
    float x, y, z;
};
V3 operator+(V3 a, V3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
V3 operator-(V3 a, V3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
V3 operator*(V3 a, float k) {
    return {a.x * k, a.y * k, a.z * k};
}
float dot(V3 a, V3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
V3 cross(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
V3 normalise(V3 a) {
    return a * (1.0f / std::sqrt(dot(a, a)));
}
V3 reflect(V3 d, V3 n) {
    return d - n * (2.0f * dot(d, n));
}

constexpr float SquareHalf = 4.0f; // the playing area: 8 squares of 1 unit
constexpr float FrameHalf = 4.6f;  // with the frame around it
constexpr float TableY = -0.34f;   // the board's underside rests on the table
constexpr float PieceRadius = 0.4f;
constexpr float PieceHeight = 0.15f;

struct Piece {
    float x, z;
    int side; // 0 crimson, 1 ivory
    bool king;
};

// A middle game: the crimson side far from the viewer, ivory near, a king each.
// Columns count from the viewer's right, so that every piece stands on a dark square.
constexpr int PieceCount = 17;
const Piece* pieces() {
    static Piece list[PieceCount];
    static bool made = false;
    if (made) return list;
    const int layout[PieceCount][4] = {
        {0, 0, 0, 0}, {2, 0, 0, 0}, {6, 0, 0, 0}, {1, 1, 0, 0}, {5, 1, 0, 0}, {7, 1, 0, 0},
        {2, 2, 0, 0}, {4, 2, 0, 0}, {3, 3, 0, 0}, {6, 4, 0, 1}, {1, 5, 1, 0}, {5, 5, 1, 0},
        {0, 6, 1, 0}, {4, 6, 1, 0}, {1, 7, 1, 0}, {7, 7, 1, 0}, {3, 5, 1, 1}};
    for (int i = 0; i < PieceCount; i++)
        list[i] = {3.5f - layout[i][0], layout[i][1] - 3.5f, layout[i][2], layout[i][3] != 0};
    made = true;
    return list;
}

float pieceTop(const Piece& p) {
    return p.king ? 2.0f * PieceHeight : PieceHeight;
}

// ---- Noise for wood grain and felt ----
float hash(int x, int y) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<float>((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}

float valueNoise(float x, float y) {
    int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    float fx = x - ix, fy = y - iy;
    fx = fx * fx * (3 - 2 * fx), fy = fy * fy * (3 - 2 * fy);
    float a = hash(ix, iy), b = hash(ix + 1, iy), c = hash(ix, iy + 1), d = hash(ix + 1, iy + 1);
    return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

// Long grain along one axis, each square cut from a different part of the plank.
float woodGrain(float along, float across, int plank) {
    float warp = valueNoise(along * 0.6f + plank * 7.1f, across * 2.0f) * 2.5f;
    float rings = std::sin((across * 7.0f + warp + plank * 3.3f) * 3.14159f);
    float fibre = valueNoise(along * 22.0f, across * 140.0f + plank * 11.0f);
    return 0.5f + 0.18f * rings + 0.3f * (fibre - 0.5f);
}

// ---- Intersections ----
enum class Surface { None, Board, BoardSide, Table, PieceTop, PieceSide };

struct Hit {
    float t = 1e30f;
    Surface surface = Surface::None;
    V3 point{}, normal{};
    int piece = -1;
};

void hitPieces(V3 o, V3 d, Hit* hit) {
    const Piece* list = pieces();
    for (int i = 0; i < PieceCount; i++) {
        const Piece& p = list[i];
        float top = pieceTop(p);
        float ox = o.x - p.x, oz = o.z - p.z;
        float a = d.x * d.x + d.z * d.z;
        float b = 2.0f * (ox * d.x + oz * d.z);
        float c = ox * ox + oz * oz - PieceRadius * PieceRadius;
        float disc = b * b - 4 * a * c;
        if (disc < 0 || a < 1e-9f) continue;
        float t = (-b - std::sqrt(disc)) / (2 * a);
        float y = o.y + d.y * t;
        if (t > 1e-4f && t < hit->t && y >= 0 && y <= top) {
            V3 q = o + d * t;
            *hit = {t, Surface::PieceSide, q, normalise({q.x - p.x, 0, q.z - p.z}), i};
        }
        if (std::fabs(d.y) > 1e-6f) {
            float tc = (top - o.y) / d.y;
            V3 q = o + d * tc;
            float rx = q.x - p.x, rz = q.z - p.z;
            if (tc > 1e-4f && tc < hit->t && rx * rx + rz * rz <= PieceRadius * PieceRadius)
                *hit = {tc, Surface::PieceTop, q, {0, 1, 0}, i};
        }
    }
}

void hitBoardBox(V3 o, V3 d, Hit* hit) {
    float lo[3] = {-FrameHalf, TableY, -FrameHalf}, hi[3] = {FrameHalf, 0.0f, FrameHalf};
    float od[3] = {o.x, o.y, o.z}, dd[3] = {d.x, d.y, d.z};
    float tNear = -1e30f, tFar = 1e30f;
    int axis = -1;
    for (int k = 0; k < 3; k++) {
        if (std::fabs(dd[k]) < 1e-9f) {
            if (od[k] < lo[k] || od[k] > hi[k]) return;
            continue;
        }
        float t1 = (lo[k] - od[k]) / dd[k], t2 = (hi[k] - od[k]) / dd[k];
        if (t1 > t2) std::swap(t1, t2);
        if (t1 > tNear) tNear = t1, axis = k;
        tFar = std::min(tFar, t2);
    }
    if (tNear > tFar || tNear < 1e-4f || tNear >= hit->t) return;
    V3 n{0, 0, 0};
    if (axis == 0) n.x = d.x > 0 ? -1.0f : 1.0f;
    if (axis == 1) n.y = d.y > 0 ? -1.0f : 1.0f;
    if (axis == 2) n.z = d.z > 0 ? -1.0f : 1.0f;
    *hit = {tNear, axis == 1 ? Surface::Board : Surface::BoardSide, o + d * tNear, n, -1};
}

Hit trace(V3 o, V3 d) {
    Hit hit;
    if (d.y < 0) {
        float t = (TableY - o.y) / d.y;
        if (t > 1e-4f) hit = {t, Surface::Table, o + d * t, {0, 1, 0}, -1};
    }
    hitBoardBox(o, d, &hit);
    hitPieces(o, d, &hit);
    return hit;
}

bool occluded(V3 o, V3 d, float maxT) {
    Hit hit;
    hit.t = maxT;
    hitBoardBox(o, d, &hit);
    hitPieces(o, d, &hit);
    return hit.surface != Surface::None;
}

// ---- Lights ----
const V3 LampCentre{-4.0f, 11.0f, 4.5f};
constexpr float LampRadius = 1.6f;
const Rgb LampColour{1.25f, 1.12f, 0.92f};
const V3 RimDirection = normalise({0.3f, 0.55f, -1.0f}); // from behind, outlining the pieces
const Rgb RimColour{0.22f, 0.26f, 0.36f};

// Soft shadows: points spread over the lamp's disc, in a pattern turned per ray.
float lampVisibility(V3 p, V3 n, int samples, float turn) {
    V3 toLamp = normalise(LampCentre - p);
    V3 u = normalise(cross(toLamp, {0, 0, 1}));
    V3 v = cross(toLamp, u);
    int visible = 0;
    for (int i = 0; i < samples; i++) {
        float r = LampRadius * std::sqrt((i + 0.5f) / samples);
        float a = turn + i * 2.39996f;
        V3 target = LampCentre + u * (r * std::cos(a)) + v * (r * std::sin(a));
        V3 dir = target - p;
        float dist = std::sqrt(dot(dir, dir));
        if (!occluded(p + n * 1e-3f, dir * (1.0f / dist), dist)) visible++;
    }
    return static_cast<float>(visible) / samples;
}

// The lamp's pool of light: bright on the board, fading over the table.
float lampPool(V3 p) {
    float d = std::sqrt((p.x + 0.6f) * (p.x + 0.6f) + (p.z - 0.3f) * (p.z - 0.3f));
    return 1.0f - 0.93f * smoothstep(4.0f, 12.0f, d);
}

// Contact darkening where the pieces meet the board.
float contactOcclusion(V3 p) {
    float occlusion = 1.0f;
    const Piece* list = pieces();
    for (int i = 0; i < PieceCount; i++) {
        float dx = p.x - list[i].x, dz = p.z - list[i].z;
        float gap = std::sqrt(dx * dx + dz * dz) - PieceRadius;
        if (gap < 0.5f) occlusion *= 1.0f - 0.55f * std::exp(-std::max(gap, 0.0f) / 0.07f);
    }
    return occlusion;
}

float fresnel(float cosine, float f0) {
    return f0 + (1 - f0) * std::pow(1 - cosine, 5.0f);
}

struct Material {
    Rgb albedo;
    float specular, shininess, reflectance;
    V3 normal;
};

Material squareMaterial(V3 p) {
    int col = static_cast<int>(std::floor(p.x + SquareHalf));
    int row = static_cast<int>(std::floor(p.z + SquareHalf));
    bool dark = (col + row) % 2 == 1; // the near left corner is dark
    bool alongX = row % 2 == 0;
    float g = woodGrain(alongX ? p.x : p.z, alongX ? p.z : p.x, col * 8 + row);
    Rgb light = mix(Rgb{0.62f, 0.45f, 0.26f}, Rgb{0.80f, 0.64f, 0.42f}, g);
    Rgb walnut = mix(Rgb{0.10f, 0.045f, 0.022f}, Rgb{0.22f, 0.11f, 0.05f}, g);
    return {dark ? walnut : light, 0.35f, 90.0f, 0.05f, {0, 1, 0}};
}

Material frameMaterial(V3 p, V3 n) {
    float along = std::fabs(n.x) > 0.5f || std::fabs(p.x) > std::fabs(p.z) ? p.z : p.x;
    float across = std::fabs(p.x) > std::fabs(p.z) ? p.x : p.z;
    float g = woodGrain(along, across * 3.0f + p.y * 4.0f, 99);
    Rgb mahogany = mix(Rgb{0.14f, 0.035f, 0.02f}, Rgb{0.30f, 0.09f, 0.045f}, g);
    // A thin brass inlay rings the playing area.
    float edge = std::max(std::fabs(p.x), std::fabs(p.z));
    if (n.y > 0.5f && edge > SquareHalf + 0.1f && edge < SquareHalf + 0.14f)
        return {{0.75f, 0.55f, 0.22f}, 0.9f, 120.0f, 0.2f, n};
    return {mahogany, 0.3f, 70.0f, 0.04f, n};
}

Material tableMaterial(V3 p) {
    float felt =
        0.8f + 0.2f * valueNoise(p.x * 40.0f, p.z * 40.0f) + 0.08f * valueNoise(p.x * 3, p.z * 3);
    return {Rgb{0.035f, 0.075f, 0.06f} * felt, 0.02f, 8.0f, 0.0f, {0, 1, 0}};
}

Material pieceMaterial(const Hit& hit) {
    const Piece& p = pieces()[hit.piece];
    Rgb colour = p.side == 0 ? Rgb{0.34f, 0.018f, 0.014f} : Rgb{0.86f, 0.80f, 0.66f};
    float top = pieceTop(p);
    V3 n = hit.normal;
    float rx = hit.point.x - p.x, rz = hit.point.z - p.z;
    float r = std::sqrt(rx * rx + rz * rz);
    V3 radial = r > 1e-5f ? V3{rx / r, 0, rz / r} : V3{1, 0, 0};
    constexpr float Bevel = 0.06f;
    if (hit.surface == Surface::PieceTop) {
        // Rounded rim, then the turned rings of the top face.
        float edge = std::clamp((r - (PieceRadius - Bevel)) / Bevel, 0.0f, 1.0f);
        float ringZone = smoothstep(0.08f, 0.12f, r) * (1.0f - smoothstep(0.27f, 0.31f, r));
        float ring = std::sin(r * 95.0f) * 0.12f * ringZone;
        n = normalise(V3{0, 1, 0} + radial * (edge * 1.4f + ring));
        if (p.king && r < 0.14f) colour = colour * 1.12f;
    } else {
        float edge = std::clamp((hit.point.y - (top - Bevel)) / Bevel, 0.0f, 1.0f);
        float angle = std::atan2(rz, rx);
        V3 tangent{-radial.z, 0, radial.x};
        float ribs = std::sin(angle * 90.0f) * 0.18f;
        n = normalise(radial + V3{0, edge * 1.4f, 0} + tangent * ribs);
        // The seam between a king's two stacked men.
        if (p.king && std::fabs(hit.point.y - PieceHeight) < 0.008f) colour = colour * 0.35f;
    }
    return {colour, 0.6f, 160.0f, 0.06f, n};
}

Material materialAt(const Hit& hit) {
    switch (hit.surface) {
    case Surface::Board:
        if (std::fabs(hit.point.x) < SquareHalf && std::fabs(hit.point.z) < SquareHalf)
            return squareMaterial(hit.point);
        return frameMaterial(hit.point, hit.normal);
    case Surface::BoardSide:
        return frameMaterial(hit.point, hit.normal);
    case Surface::Table:
        return tableMaterial(hit.point);
    default:
        return pieceMaterial(hit);
    }
}

Rgb environment(V3 d) {
    float up = std::max(0.0f, d.y);
    return Rgb{0.012f, 0.014f, 0.02f} + Rgb{0.03f, 0.035f, 0.05f} * up;
}

Rgb shade(V3 origin, V3 d, int depth, int shadowSamples, float turn) {
    Hit hit = trace(origin, d);
    if (hit.surface == Surface::None) return environment(d);
    Material m = materialAt(hit);
    V3 p = hit.point, n = m.normal;
    V3 toLamp = normalise(LampCentre - p);
    V3 view = d * -1.0f;
    float pool = lampPool(p);
    float visibility = lampVisibility(p, hit.normal, shadowSamples, turn);
    float diffuse = std::max(0.0f, dot(n, toLamp)) * visibility * pool;
    V3 half = normalise(toLamp + view);
    float highlight = std::pow(std::max(0.0f, dot(n, half)), m.shininess) * visibility * pool;
    float occlusion = 1.0f;
    if (hit.surface == Surface::Board || hit.surface == Surface::Table)
        occlusion = contactOcclusion(p);
    if (hit.surface == Surface::PieceSide) occlusion = 0.55f + 0.45f * smoothstep(0.0f, 0.08f, p.y);
    if (hit.surface == Surface::Table) {
        float dx = std::max(0.0f, std::fabs(p.x) - FrameHalf),
              dz = std::max(0.0f, std::fabs(p.z) - FrameHalf);
        occlusion *= 1.0f - 0.6f * std::exp(-std::sqrt(dx * dx + dz * dz) / 0.25f);
    }
    Rgb ambient = Rgb{0.05f, 0.055f, 0.07f} * occlusion * (0.4f + 0.6f * pool);
    Rgb colour = m.albedo * (LampColour * diffuse + ambient) + LampColour * (m.specular * highlight);
    if (hit.surface == Surface::PieceSide) {
        float rim = std::pow(std::max(0.0f, dot(reflect(d, n), RimDirection)), 12.0f);
        colour = colour + RimColour * rim;
    }
    if (depth > 0 && m.reflectance > 0) {
        float f = fresnel(std::max(0.0f, dot(view, n)), m.reflectance);
        Rgb mirrored = shade(p + hit.normal * 1e-3f, normalise(reflect(d, n)), depth - 1, 1, turn);
        colour = mix(colour, mirrored, std::min(0.6f, f));
    }
    return colour;
}

} // namespace

void renderBoardScene(Image* image, int samplesPerSide) {
    const V3 eye{0.0f, 8.6f, 12.6f};
    const V3 target{0.0f, 0.2f, -1.0f};
    V3 forward = normalise(target - eye);
    V3 right = normalise(cross(forward, {0, 1, 0}));
    V3 up = cross(right, forward);
    float tanHalf = std::tan(36.0f * 3.14159f / 360.0f);
    float aspect = static_cast<float>(image->width) / image->height;
    int n = samplesPerSide;
    for (int y = 0; y < image->height; y++) {
        for (int x = 0; x < image->width; x++) {
            Rgb sum{0, 0, 0};
            for (int s = 0; s < n * n; s++) {
                float jx = (s % n + 0.5f) / n, jy = (s / n + 0.5f) / n;
                float u = (2.0f * (x + jx) / image->width - 1.0f) * tanHalf * aspect;
                float v = (1.0f - 2.0f * (y + jy) / image->height) * tanHalf;
                V3 d = normalise(forward + right * u + up * v);
                float turn = hash(x * n + s, y) * 6.2832f;
                sum = sum + shade(eye, d, 1, 3, turn);
            }
            at(*image, x, y) = sum * (1.0f / (n * n));
        }
    }
}
