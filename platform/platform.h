// The platform layer: the only code that talks to SDL. It gives the game a
// window with a message queue, 16-bit surfaces that lock to a pointer and a
// pitch, a software 3D device that draws pre-transformed triangles, and text.
// All state lives in platform/*.cpp and is written only through these calls.
// Two backends sit behind the same calls: SDL (a real window) and headless
// (no window; messages injected by the caller, presented frames read back).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// ---- Results -----------------------------------------------------------------
// Calls return 0 on success and a negative code on failure.
constexpr int PLATFORM_OK = 0;
constexpr int PLATFORM_FAILED = -1;
constexpr int PLATFORM_SURFACE_LOST = static_cast<int>(0x887601C2u);
constexpr int PLATFORM_STILL_DRAWING = static_cast<int>(0x8876021Cu);

// ---- Backend and video system -------------------------------------------------
enum class Backend { Sdl, Headless };

struct HeadlessOptions {
    bool format555 = false;      // back buffer in 5-5-5 instead of 5-6-5
    int maxTextureWidth = 2048;  // what the device reports as its largest texture (0 allowed)
    bool failVideoStart = false; // makes videoStart fail, for failure-path tests
};

void selectBackend(Backend backend, const HeadlessOptions& options = {});
Backend currentBackend();

// Starts the video system ("DirectDrawCreateEx" when it fails).
int videoStart();
// Full screen (the desktop's mode, picture scaled with its aspect kept) or a plain window.
int setCooperativeLevel(bool windowed);
// Whether setDisplayMode can make surfaces of that size at all.
bool isDisplayableSize(int width, int height);
// Creates the window of that game size with 16-bit surfaces behind it. A zero or
// unsupported size fails.
int setDisplayMode(int width, int height);
// Switches the open game window between full screen and a plain window, the
// game's size and picture kept (the window's own size is the window system's).
int changeWindowMode(bool windowed);
// Where the game's picture lies in a window of the given size: as large as fits
// with its shape kept, centred between black bars.
struct PictureRect {
    int x, y, width, height;
};
PictureRect pictureRect(int windowWidth, int windowHeight, int gameWidth, int gameHeight);
// The game pixel shown at a window pixel of that window: the one under the
// window pixel's centre. Outside the picture (in a bar) it is off the game's edges.
void windowToGame(int windowX, int windowY, int windowWidth, int windowHeight, int gameWidth,
                  int gameHeight, int* gameX, int* gameY);
// Tears down everything the video system made; safe to call at any point.
void videoStop();

// ---- Window messages ------------------------------------------------------------
// The message numbers and key codes of the window system the game was drawn for,
// so that the window procedure reads as its table does.
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_SETCURSOR = 0x0020;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_SYSKEYDOWN = 0x0104; // a key pressed with Alt held
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_MOUSELEAVE = 0x02A3; // the pointer left the window

constexpr uint32_t WA_INACTIVE = 0;
constexpr uint32_t WA_ACTIVE = 1;

constexpr uint32_t VK_BACK = 0x08;
constexpr uint32_t VK_RETURN = 0x0D;
constexpr uint32_t VK_ESCAPE = 0x1B;
constexpr uint32_t VK_LEFT = 0x25;
constexpr uint32_t VK_UP = 0x26;
constexpr uint32_t VK_RIGHT = 0x27;
constexpr uint32_t VK_DOWN = 0x28;
constexpr uint32_t VK_H = 0x48; // letters are their capitals' codes
constexpr uint32_t VK_F1 = 0x70;
constexpr uint32_t VK_F2 = 0x71;
constexpr uint32_t VK_F3 = 0x72;
constexpr uint32_t VK_F4 = 0x73;
constexpr uint32_t VK_F11 = 0x7A;
constexpr uint32_t VK_F12 = 0x7B;

struct Message {
    uint32_t message; // WM_*
    uint64_t wParam;  // WM_ACTIVATE: high word 1 when minimised; WM_(SYS)KEYDOWN: VK_*
    int64_t lParam;
};

using WindowProc = int64_t (*)(const Message& message);

// Creates the one game window record ("Korvath"); nothing is shown before
// setDisplayMode. Messages are dispatched to the given procedure.
int createGameWindow(const char* title, int width, int height, WindowProc proc);
bool windowExists();
// Reads pending window-system events into the queue; true when a message waits.
// A button release that directly follows its press (a quick click) is held back
// until a frame has been presented (or waitMessage is called), so that the
// press reaches a frame.
bool peekMessage();
// Sleeps until the window system has something for the queue (a while at
// most); returns at once when a message waits or on the headless backend.
void waitMessage();
// Takes the next message (waiting for one if needed); false for WM_QUIT, whose
// code is then in *quitCode.
bool getMessage(Message* out, int* quitCode);
int64_t dispatchMessage(const Message& message);
void postMessage(const Message& message);
void postQuitMessage(int code);
// What the window system does with a message the game does not handle: WM_CLOSE
// destroys the window, which sends WM_DESTROY to the procedure.
int64_t defWindowProc(const Message& message);
void destroyGameWindow();
// The cursor in game pixels (mapped back through the full-screen scaling).
void getCursorPos(int* x, int* y);
void hideSystemCursor();
// A modal box with an OK button; on standard error when there is no display.
void showMessageBox(const char* caption, const char* text);

// Headless only: a message as if the window system had sent it (mouse moves
// also place the cursor at the given game pixel, in lParam as x | y << 16).
void injectMessage(const Message& message);
void setHeadlessCursor(int x, int y);
// The next presentFrame answers PLATFORM_SURFACE_LOST.
void injectSurfaceLoss();

// ---- Surfaces ---------------------------------------------------------------------
enum class PixelFormat : uint8_t {
    Rgb565,   // red 0xF800, green 0x07E0, blue 0x001F
    Rgb555,   // red 0x7C00, green 0x03E0, blue 0x001F, top bit unused
    Bgr565,   // blue 0xF800, green 0x07E0, red 0x001F
    Argb4444, // alpha 0xF000, red 0x0F00, green 0x00F0, blue 0x000F
    Argb1555, // alpha 0x8000, red 0x7C00, green 0x03E0, blue 0x001F
    Depth16,  // depth 0..0xFFFF
};

struct Surface; // owned by the platform; reached only through these calls

// Makes a width x height surface, or nullptr when the size is 0 or too large.
Surface* createSurface(int width, int height, PixelFormat format);
void releaseSurface(Surface* surface);
int surfaceWidth(const Surface* surface);
int surfaceHeight(const Surface* surface);
PixelFormat surfaceFormat(const Surface* surface);

struct LockedSurface {
    uint16_t* memory; // row y starts at memory + y * pitch / 2
    int pitch;        // bytes per row
};
// A rectangle of a surface's pixels: columns [left, right), rows [top, bottom).
struct PixelArea {
    int left, top, right, bottom;
};
int lockSurface(Surface* surface, LockedSurface* out);
// Ends a lock that may have written anywhere.
int unlockSurface(Surface* surface);
// Ends a lock whose writes all fell inside `written` (cut to the surface; an
// empty area for a lock that only read): copies and presents pass over the rest.
int unlockSurfaceArea(Surface* surface, const PixelArea& written);
// Fills the whole surface with one 16-bit value (a colour, or a depth).
int fillSurface(Surface* surface, uint16_t value);
// Copies src over the whole of dst; both of the same size and format. When dst
// was last copied from src, only the parts that either has had written since
// are copied: the rest is equal already.
int copySurface(Surface* dst, const Surface* src);
// Off, copies and presents take whole surfaces, as a check on the written
// areas; for the tests and the scripted runner.
void allowWrittenAreas(bool allowed);

// The flipping chain made by setDisplayMode: the back buffer is drawn into,
// the primary shows it. Both belong to the platform until videoStop.
Surface* primarySurface();
Surface* backBuffer();
// Green mask of the display's format: 0x07E0 (5-6-5) or 0x03E0 (5-5-5).
uint32_t displayGreenMask();
// Shows the back buffer and waits for the display's refresh (or paces to about
// 60 frames a second); a picture equal to the one on screen is only paced,
// not sent again. PLATFORM_SURFACE_LOST after a renderer reset.
int presentFrame();
// Whether the frames to come can only repeat the last one until the player
// acts or wakeFrameLoop is called: a still picture may then wait for those
// instead of being presented at full pace. Off until said; the shell says it
// before each present.
void allowFrameRest(bool allowed);
// Ends such a wait at once; callable from any thread (the search's worker).
void wakeFrameLoop();
// Gives lost surfaces their memory back (their contents are undefined).
int restoreAllSurfaces();
// Headless: the last presented frame, row-major in the display's format.
const uint16_t* lastPresentedFrame(int* width, int* height);
// Writes all size bytes to fd, through short writes and interrupted calls;
// false with errno set when the file takes no more (a full disk, a size limit).
bool writeAllBytes(int fd, const void* bytes, size_t size);
// Writes pixels of the given format as a PNG (8 bits a channel), replacing
// fileName. PLATFORM_FAILED, with errno set, unless every byte reached the
// file; a cut-off file is removed.
int savePng(const char* fileName, const uint16_t* pixels, int width, int height, int pitchBytes,
            PixelFormat format);
// The PNG file's bytes of width x height pixels of three bytes red, green, blue,
// rows top down; false when it could not be encoded.
bool encodeRgbPng(const uint8_t* rgb, int width, int height, std::vector<uint8_t>* png);
// A PNG file's pixels as three bytes red, green, blue, rows top down; false when
// it cannot be read or decoded.
bool readPngRgb(const char* fileName, std::vector<uint8_t>* rgb, int* width, int* height);
// The software device draws with its eight-pixel passes where the processor has
// them (the default) or with its plain loops only; both give the same pictures.
void allowWideLanes(bool allowed);

// ---- The 3D device ------------------------------------------------------------------
// A pre-transformed vertex: screen position in pixels (pixel centres on integer
// coordinates), depth 0..1, reciprocal w, diffuse 0xAARRGGBB, one texture coordinate pair.
struct TLVertex {
    float sx, sy, sz, rhw;
    uint32_t diffuse;
    float tu, tv;
};

enum RenderState : uint32_t {
    RS_TEXTUREPERSPECTIVE = 4,
    RS_ZENABLE = 7,
    RS_ZWRITEENABLE = 14,
    RS_SRCBLEND = 19,
    RS_DESTBLEND = 20,
    RS_CULLMODE = 22,
    RS_ALPHABLENDENABLE = 27,
    RS_ZBIAS = 47,
};
enum TextureStageState : uint32_t {
    TSS_COLOROP = 1,
    TSS_COLORARG1 = 2,
    TSS_COLORARG2 = 3,
    TSS_ALPHAOP = 4,
    TSS_ALPHAARG1 = 5,
    TSS_ALPHAARG2 = 6,
    TSS_ADDRESS = 12,
    TSS_MAGFILTER = 16,
    TSS_MINFILTER = 17,
};
// Stage operations: DISABLE passes the diffuse value through; the others combine the stage's
// two arguments (MODULATE2X and 4X double and quadruple the product, ADDSIGNED adds and
// subtracts the middle of the range; results saturate).
constexpr uint32_t TOP_DISABLE = 1, TOP_SELECTARG1 = 2, TOP_SELECTARG2 = 3, TOP_MODULATE = 4,
                   TOP_MODULATE2X = 5, TOP_MODULATE4X = 6, TOP_ADD = 7, TOP_ADDSIGNED = 8,
                   TOP_SUBTRACT = 10;
// Stage arguments: one source in the low bits, optionally with modifier flags.
constexpr uint32_t TA_DIFFUSE = 0, TA_CURRENT = 1, TA_TEXTURE = 2;
constexpr uint32_t TA_SELECTMASK = 0x0F;     // the source
constexpr uint32_t TA_COMPLEMENT = 0x10;     // 1 - the value
constexpr uint32_t TA_ALPHAREPLICATE = 0x20; // the source's alpha in every channel
constexpr uint32_t BLEND_ZERO = 1, BLEND_ONE = 2, BLEND_SRCALPHA = 5, BLEND_INVSRCALPHA = 6;
constexpr uint32_t TADDRESS_WRAP = 1, TADDRESS_MIRROR = 2, TADDRESS_CLAMP = 3;
constexpr uint32_t TFILTER_POINT = 1, TFILTER_LINEAR = 2;
constexpr uint32_t CULL_NONE = 1, CULL_CW = 2, CULL_CCW = 3;
constexpr uint32_t ZBIAS_MAX = 16;     // RS_ZBIAS takes 0..ZBIAS_MAX
constexpr int TEXTURE_STAGE_COUNT = 8; // stages 0..7; only stage 0 takes part in drawing

struct DeviceCaps {
    int maxTextureWidth; // 0 when the device does not say
};

// deviceType 0 or 1 (both the software device); anything else fails.
int createDevice(int deviceType, Surface* renderTarget);
void releaseDevice();
int getDeviceCaps(DeviceCaps* out);
int setRenderTarget(Surface* colour);
int attachDepthSurface(Surface* colour, Surface* depth);
Surface* getRenderTarget();
int setViewport(int x, int y, int width, int height, float minZ, float maxZ);
int beginScene();
int endScene();
int setRenderState(RenderState state, uint32_t value);
int setTextureStageState(int stage, TextureStageState type, uint32_t value);
// nullptr binds no texture: the stage then sees a texel of opaque white.
int setTexture(int stage, Surface* texture);
// Copies a staging surface into a texture of the same size and format.
int loadTexture(Surface* texture, const Surface* staging);
// Draws a triangle list of count vertices (a multiple of 3).
int drawPrimitive(const TLVertex* vertices, int count);
// Draws a triangle fan: vertex 0 with each following pair (count >= 3).
int drawTriangleFan(const TLVertex* vertices, int count);

// ---- Text ------------------------------------------------------------------------
// Draws text with its top-left at (x, y) on a 16-bit surface, anti-aliased, with
// a transparent background; characters are 8 pixels wide.
int drawText(Surface* target, int x, int y, const char* text, uint8_t red, uint8_t green,
             uint8_t blue);
