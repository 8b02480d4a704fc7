// The game window record and its message queue: messages from the window
// system (or injected by a headless caller) wait here in arrival order and are
// handed out one per getMessage. State written only here and by queueMessage's
// callers inside platform/.
#include <cstdio>
#include <cstring>

#include "platform/internal.h"

namespace {

// A burst of input between two frames never comes near this; when it would,
// the newest message is dropped instead of an old one reordered.
constexpr int QueueCapacity = 512;

struct MessageQueue {
    Message entries[QueueCapacity]; // ring buffer
    int first;                      // index of the oldest message
    int count;                      // messages waiting
    bool quitPosted;                // WM_QUIT comes once the queue has emptied
    int quitCode;                   // its code
    bool pressUnseen;               // a button press was handed out and no frame has run since
};

struct GameWindow {
    bool exists;     // between createGameWindow and destroyGameWindow
    WindowProc proc; // where dispatchMessage sends messages
    char title[128]; // shown by the SDL window
    int cursorX;     // last cursor position in game pixels
    int cursorY;
};

MessageQueue queue = {}; // emptied when a window is created
GameWindow window = {};  // the one game window; cleared when destroyed

bool isButtonRelease(uint32_t message) {
    return message == WM_LBUTTONUP || message == WM_RBUTTONUP;
}

// A tap or a quick click delivers its press and release together; the
// release waits until a frame has run, so that the frame sees the press.
bool releaseHeld() {
    return queue.pressUnseen && queue.count > 0 &&
           isButtonRelease(queue.entries[queue.first].message);
}

} // namespace

void queueMessage(const Message& message) {
    // Pointer motion arrives far faster than frames; like the window system,
    // keep only the newest of consecutive moves.
    if (message.message == WM_MOUSEMOVE && queue.count > 0) {
        Message& last = queue.entries[(queue.first + queue.count - 1) % QueueCapacity];
        if (last.message == WM_MOUSEMOVE) {
            last = message;
            return;
        }
    }
    if (queue.count == QueueCapacity) return;
    queue.entries[(queue.first + queue.count) % QueueCapacity] = message;
    ++queue.count;
}

const char* gameWindowTitle() {
    return window.title;
}

void setCursorPosition(int x, int y) {
    window.cursorX = x;
    window.cursorY = y;
}

int createGameWindow(const char* title, int width, int height, WindowProc proc) {
    if (proc == nullptr || width < 0 || height < 0) return PLATFORM_FAILED;
    window = {};
    queue = {};
    window.exists = true;
    window.proc = proc;
    std::snprintf(window.title, sizeof window.title, "%s", title != nullptr ? title : "");
    return PLATFORM_OK;
}

bool windowExists() {
    return window.exists;
}

bool peekMessage() {
    if (currentBackend() == Backend::Sdl) sdlPumpEvents();
    if (releaseHeld()) return false;
    return queue.count > 0 || queue.quitPosted;
}

void waitMessage() {
    // No frame runs while the caller waits, so a held release must not wait for one.
    queue.pressUnseen = false;
    if (currentBackend() != Backend::Sdl) return;
    sdlPumpEvents();
    if (queue.count == 0 && !queue.quitPosted && sdlHasWindow()) sdlWaitEvent();
}

void noteFrameShown() {
    queue.pressUnseen = false;
}

bool getMessage(Message* out, int* quitCode) {
    if (currentBackend() == Backend::Sdl) {
        sdlPumpEvents();
        while (queue.count == 0 && !queue.quitPosted && sdlHasWindow()) sdlWaitEvent();
    }
    if (queue.count > 0) {
        *out = queue.entries[queue.first];
        queue.first = (queue.first + 1) % QueueCapacity;
        --queue.count;
        if (out->message == WM_LBUTTONDOWN || out->message == WM_RBUTTONDOWN)
            queue.pressUnseen = true;
        return true;
    }
    if (queue.quitPosted) {
        queue.quitPosted = false;
        *out = Message{WM_QUIT, static_cast<uint64_t>(queue.quitCode), 0};
        if (quitCode != nullptr) *quitCode = queue.quitCode;
        return false;
    }
    // Nothing can ever arrive (no window, or headless with nothing injected):
    // an empty message keeps the caller's loop going instead of hanging it.
    *out = Message{0, 0, 0};
    return true;
}

int64_t dispatchMessage(const Message& message) {
    if (!window.exists || window.proc == nullptr) return 0;
    return window.proc(message);
}

void postMessage(const Message& message) {
    if (message.message == WM_QUIT) {
        postQuitMessage(static_cast<int>(message.wParam));
        return;
    }
    queueMessage(message);
}

void postQuitMessage(int code) {
    queue.quitPosted = true;
    queue.quitCode = code;
}

int64_t defWindowProc(const Message& message) {
    if (message.message == WM_CLOSE) destroyGameWindow();
    return 0;
}

void destroyGameWindow() {
    if (!window.exists) return;
    const WindowProc proc = window.proc;
    proc(Message{WM_DESTROY, 0, 0});
    window.exists = false;
    window.proc = nullptr;
    // Messages for a window that is gone are never delivered.
    const bool quitPosted = queue.quitPosted;
    const int code = queue.quitCode;
    queue = {};
    queue.quitPosted = quitPosted;
    queue.quitCode = code;
}

void getCursorPos(int* x, int* y) {
    if (x != nullptr) *x = window.cursorX;
    if (y != nullptr) *y = window.cursorY;
}

void hideSystemCursor() {
    if (currentBackend() == Backend::Sdl) sdlHideCursor();
}

void showMessageBox(const char* caption, const char* text) {
    if (currentBackend() == Backend::Sdl) {
        sdlShowMessageBox(caption, text);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", caption, text);
}

void injectMessage(const Message& message) {
    if (message.message == WM_MOUSEMOVE || message.message == WM_LBUTTONDOWN ||
        message.message == WM_LBUTTONUP || message.message == WM_RBUTTONDOWN ||
        message.message == WM_RBUTTONUP)
        setCursorPosition(static_cast<int16_t>(message.lParam & 0xFFFF),
                          static_cast<int16_t>((message.lParam >> 16) & 0xFFFF));
    postMessage(message);
}

void setHeadlessCursor(int x, int y) {
    setCursorPosition(x, y);
}
