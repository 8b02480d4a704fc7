// The fade player: loads or captures a sequence's picture and writes it into
// the back buffer at the brightness of its fade level, one frame per call.
// Writes only the Sequence records it is given and the failure text below.

#include "app/fade.h"

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/data_file.h"
#include "platform/checked_file.h"
#include "platform/platform.h"
#include "render/screen.h"

namespace {

// The last failure text handed to the shell; rewritten by each failed load.
char failureText[320];

// The platform answers STILL_DRAWING while the device is busy with the buffer.
bool lockBackBuffer(LockedSurface* out) {
    int result;
    do {
        result = lockSurface(DDrawSurfaceBack, out);
    } while (result == PLATFORM_STILL_DRAWING);
    return result == PLATFORM_OK && out->memory;
}

// Nearest neighbour: smaller screens drop rows and columns of the 1024 x 768 file.
void scaleToScreen(const std::vector<uint8_t>& rgb, std::vector<uint8_t>* picture) {
    for (int y = 0; y < ScreenHeight; y++) {
        const uint8_t* row =
            rgb.data() + (y * SequenceFileHeight / ScreenHeight) * SequenceFileWidth * 3;
        uint8_t* out = picture->data() + static_cast<size_t>(y) * ScreenWidth * 4;
        for (int x = 0; x < ScreenWidth; x++) {
            const uint8_t* in = row + (x * SequenceFileWidth / ScreenWidth) * 3;
            out[4 * x + 2] = in[0];
            out[4 * x + 1] = in[1];
            out[4 * x] = in[2];
        }
    }
}

// The frame on show decoded in the display's own format, so that the closing
// fade starts from exactly the colours the player saw.
void captureBackBuffer(std::vector<uint8_t>* picture) {
    LockedSurface locked{};
    if (!lockBackBuffer(&locked)) return; // a lost buffer fades out from black
    assert(surfaceWidth(DDrawSurfaceBack) >= ScreenWidth);
    assert(surfaceHeight(DDrawSurfaceBack) >= ScreenHeight);
    bool is565 = screenIs565();
    for (int y = 0; y < ScreenHeight; y++) {
        const uint16_t* row = locked.memory + static_cast<size_t>(y) * (locked.pitch / 2);
        uint8_t* out = picture->data() + static_cast<size_t>(y) * ScreenWidth * 4;
        for (int x = 0; x < ScreenWidth; x++) {
            unsigned p = row[x];
            if (is565) {
                out[4 * x + 2] = static_cast<uint8_t>((p >> 11) << 3);
                out[4 * x + 1] = static_cast<uint8_t>(((p >> 5) << 2) & 255);
            } else {
                out[4 * x + 2] = static_cast<uint8_t>(((p >> 10) & 31) << 3);
                out[4 * x + 1] = static_cast<uint8_t>(((p >> 5) & 31) << 3);
            }
            out[4 * x] = static_cast<uint8_t>((p << 3) & 255);
        }
    }
    unlockSurfaceArea(DDrawSurfaceBack, PixelArea{}); // only read
}

float brightnessAt(float fadeLevel) {
    if (fadeLevel <= 1.0f) return fadeLevel;
    if (fadeLevel <= 2.0f) return 1.0f;
    return 3.0f - fadeLevel;
}

// The per-frame brightness goes through two 256-entry tables instead of a
// multiplication per pixel; at full brightness they give 255 -> 63 and 31.
void buildBrightnessTables(float b, uint8_t six[256], uint8_t five[256]) {
    for (int i = 0; i < 256; i++) {
        float scaled = static_cast<float>(i) * b;
        six[i] = static_cast<uint8_t>(scaled * 0.25);
        five[i] = static_cast<uint8_t>(scaled * 0.125);
    }
}

void writePicture(const Sequence& sequence, const uint8_t six[256], const uint8_t five[256]) {
    LockedSurface locked{};
    if (!lockBackBuffer(&locked)) return; // nothing to draw into; the fade still advances
    assert(surfaceWidth(DDrawSurfaceBack) >= ScreenWidth);
    assert(surfaceHeight(DDrawSurfaceBack) >= ScreenHeight);
    bool is565 = screenIs565();
    for (int y = 0; y < ScreenHeight; y++) {
        uint16_t* row = locked.memory + static_cast<size_t>(y) * (locked.pitch / 2);
        const uint8_t* in = sequence.picture.data() + static_cast<size_t>(y) * ScreenWidth * 4;
        if (is565) {
            for (int x = 0; x < ScreenWidth; x++, in += 4)
                row[x] = static_cast<uint16_t>(five[in[2]] << 11 | six[in[1]] << 5 | five[in[0]]);
        } else {
            for (int x = 0; x < ScreenWidth; x++, in += 4)
                row[x] = static_cast<uint16_t>(five[in[2]] << 10 | five[in[1]] << 5 | five[in[0]]);
        }
    }
    unlockSurface(DDrawSurfaceBack);
}

} // namespace

const char* loadSequenceImage(const char* fileName, std::vector<uint8_t>* rgb) {
    FILE* file = openDataFile(fileName);
    if (!file) {
        // A folder or a pipe is named for what it is, not called missing.
        if (errno == EISDIR)
            std::snprintf(failureText, sizeof failureText, "%s is a folder, not a picture",
                          fileName);
        else if (errno == ENOENT)
            std::snprintf(failureText, sizeof failureText, "Cannot open %s", fileName);
        else
            std::snprintf(failureText, sizeof failureText, "%s cannot be opened: %s", fileName,
                          openFailureText(errno));
        return failureText;
    }
    std::vector<uint8_t> bytes(SequenceFileBytes);
    long got = static_cast<long>(std::fread(bytes.data(), 1, bytes.size(), file));
    const int readError = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (readError != 0) {
        std::snprintf(failureText, sizeof failureText, "%s could not be read: %s", fileName,
                      std::strerror(readError));
        return failureText;
    }
    // Reading on past the end would show stale memory, so a short file is refused.
    if (got < SequenceFileBytes) {
        std::snprintf(failureText, sizeof failureText, "%s is cut short (%ld of %ld bytes)",
                      fileName, got, SequenceFileBytes);
        return failureText;
    }

    constexpr int pixels = SequenceFileWidth * SequenceFileHeight;
    rgb->resize(pixels * 3);
    const uint8_t* in = bytes.data() + 8;
    for (int i = 0; i < pixels; i++) {
        unsigned p = in[2 * i] | in[2 * i + 1] << 8;
        (*rgb)[3 * i] = static_cast<uint8_t>((p >> 11) << 3);
        (*rgb)[3 * i + 1] = static_cast<uint8_t>(((p >> 5) & 63) << 2);
        (*rgb)[3 * i + 2] = static_cast<uint8_t>((p & 31) << 3);
    }
    return nullptr;
}

const char* startSequence(Sequence* sequence, int mode, float speed, const char* fileName,
                          int fromScreen) {
    assert(ScreenWidth > 0 && ScreenHeight > 0);
    sequence->speed = speed;
    sequence->mode = static_cast<uint8_t>(mode);
    sequence->fadeLevel = mode == 2 ? 1.9f : 0.0f;
    sequence->fromScreen = static_cast<uint8_t>(fromScreen);
    sequence->picture.assign(static_cast<size_t>(ScreenWidth) * ScreenHeight * 4, 0);

    if (fromScreen) {
        captureBackBuffer(&sequence->picture);
        return nullptr;
    }
    std::vector<uint8_t> rgb;
    if (const char* text = loadSequenceImage(fileName, &rgb)) return text;
    scaleToScreen(rgb, &sequence->picture);
    return nullptr;
}

int playSequenceFrame(Sequence* sequence) {
    assert(sequence->picture.size() == static_cast<size_t>(ScreenWidth) * ScreenHeight * 4);
    uint8_t six[256], five[256];
    buildBrightnessTables(brightnessAt(sequence->fadeLevel), six, five);
    writePicture(*sequence, six, five);

    // The sum is compared before it is rounded to single precision: that keeps
    // the frame counts (31, 61 and 12 calls) the stage machine is timed by.
    double next = static_cast<double>(sequence->fadeLevel) + static_cast<double>(sequence->speed);
    if (next >= 3.0) {
        sequence->fadeLevel = 3.0f;
        return 1;
    }
    sequence->fadeLevel = static_cast<float>(next);
    return 0;
}
