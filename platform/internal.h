// What the platform's own files share and nobody else may see: the surface
// record, the video state of the selected backend, and the calls between the
// message queue, the backends and the device. Written only inside platform/.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// An area of a surface written at a time of the write clock.
struct WrittenArea {
    PixelArea area;
    uint64_t at; // 0: no area
};
// A frame writes a dozen areas over the still board: cursor, buttons, text, lines.
constexpr int WrittenAreaSlots = 32;

struct Surface {
    int width;          // pixels
    int height;         // pixels
    PixelFormat format; // fixed at creation
    int pitch;          // bytes per row
    uint16_t* pixels;   // owned; height * pitch bytes
    int lockCount;      // locks not yet unlocked
    uint32_t version;   // bumped at every recorded write: what was drawn from it is stale
    // Where it was written last, for copies that skip what is equal already;
    // times are the write clock's (platform/surface.cpp).
    WrittenArea written[WrittenAreaSlots]; // areas with when they were written; at 0: free
    uint64_t wholeWritten; // the last write that may have been anywhere (or an area forgotten)
    const Surface* copyOf; // the surface it was last copied from whole, or nullptr
    uint64_t copiedAt;     // when: both held the same pixels then
    Surface* depth;        // depth surface attached to this colour surface, or nullptr
    Surface* previous;     // neighbours in the list of live surfaces
    Surface* next;
    uint16_t* texelCache;       // texels with a border for filtering; owned, or nullptr
    uint32_t texelCacheVersion; // the version the cache was made from
    uint32_t texelCacheAddress; // the addressing mode its border follows; 0 before the first
    uint8_t* toneCache;  // the texel cache's footprints as bits, when it has two tones; owned
    bool twoTone;        // every cached texel is 0 or toneColour (as of the texel cache)
    uint16_t toneColour; // the one texel other than 0, when twoTone
};

// The video system of the selected backend. Lives from videoStart to videoStop.
struct VideoState {
    Backend backend;         // chosen by selectBackend; Sdl until then
    HeadlessOptions options; // the headless backend's settings
    bool started;            // videoStart succeeded
    bool windowed;           // setCooperativeLevel asked for a plain window
    int width;               // game pixels, after setDisplayMode
    int height;
    Surface* primary;     // the shown surface of the flipping chain
    Surface* back;        // the surface drawn into
    bool lossPending;     // the next presentFrame answers PLATFORM_SURFACE_LOST
    uint16_t* shownFrame; // headless: copy of the last presented frame, row-major
};

VideoState& videoState();

// The SDL backend (platform/sdl_video.cpp). Each returns PLATFORM_OK or PLATFORM_FAILED.
int sdlVideoStart();
int sdlOpenWindow(const char* title, int width, int height, bool windowed);
// changed: the back buffer differs from the frame presented before, inside
// `area`; an unchanged frame is only paced, unless the window needs its
// picture again, and a changed one sends only the area where it can.
int sdlPresent(const Surface* back, bool changed, const PixelArea& area);
void sdlPumpEvents();
void sdlWaitEvent();
void sdlAllowRest(bool allowed);
void sdlWake(); // from any thread
void sdlVideoStop();
void sdlShowMessageBox(const char* caption, const char* text);
void sdlHideCursor();
int sdlSetWindowed(bool windowed);
bool sdlHasWindow();

// The message queue (platform/messages.cpp).
void queueMessage(const Message& message);
const char* gameWindowTitle();
void setCursorPosition(int x, int y);
// presentFrame tells the queue that a frame has run: a held release may go.
void noteFrameShown();

// Every write to a surface's pixels is recorded, or copies from it would
// skip it: inside an area (cut to the surface), or anywhere.
void noteAreaWritten(Surface* surface, const PixelArea& area);
void noteAllWritten(Surface* surface);
// Makes dst hold src's pixels, as copySurface does (same size and format);
// true when any of them differed, `changed` then holding them all. Parts
// equal already are not copied.
bool updateSurface(Surface* dst, const Surface* src, PixelArea& changed);

// The device (platform/device.cpp) forgets a surface that is being released.
void forgetSurfaceInDevice(const Surface* surface);
