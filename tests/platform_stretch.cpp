// The linear stretch onto a window of another size: the pixels the SDL library's
// own stretch gave for two small pictures (taken from it once), on both paths,
// and the eight-pixel path equal to the plain one wherever its tails fall.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "platform/stretch.h"

namespace {

constexpr uint32_t Untouched = 0xDEADBEEF;

// Every channel different from its neighbours', alpha included.
uint32_t sourcePixel(int x, int y) {
    return static_cast<uint32_t>((x * 53 + y * 97 + 11) * 0x01030507u) ^
           static_cast<uint32_t>(x * 0x3F000000u);
}

// A canvas with a rectangle in it, two pixels in from the left and one down,
// so that a write past the rectangle shows in the border.
struct Canvas {
    int width, height;
    std::vector<uint32_t> pixels;
    Canvas(int w, int h) : width(w + 5), height(h + 3), pixels(size_t(width) * height, Untouched) {}
    PixelRect inner(int w, int h) {
        return {pixels.data() + width + 2, w, h, width * static_cast<int>(sizeof(uint32_t))};
    }
    uint32_t at(int x, int y) const { return pixels[size_t(y + 1) * width + x + 2]; }
};

Canvas source(int width, int height) {
    Canvas canvas(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            canvas.pixels[size_t(y + 1) * canvas.width + x + 2] = sourcePixel(x, y);
    return canvas;
}

// The inner rectangle of to, row by row, after the stretch; the border must be untouched.
std::vector<uint32_t> stretched(int fromWidth, int fromHeight, int toWidth, int toHeight) {
    Canvas from = source(fromWidth, fromHeight), to(toWidth, toHeight);
    EXPECT_TRUE(stretchLinear(from.inner(fromWidth, fromHeight), to.inner(toWidth, toHeight)));
    std::vector<uint32_t> inside;
    int border = 0;
    for (int y = -1; y < to.height - 1; ++y) {
        for (int x = -2; x < to.width - 2; ++x) {
            const bool in = x >= 0 && y >= 0 && x < toWidth && y < toHeight;
            if (in)
                inside.push_back(to.at(x, y));
            else if (to.at(x, y) != Untouched)
                ++border;
        }
    }
    EXPECT_EQ(border, 0) << fromWidth << "x" << fromHeight << " -> " << toWidth << "x" << toHeight;
    return inside;
}

class Stretch : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { allowWideLanes(GetParam()); }
    void TearDown() override { allowWideLanes(true); }
};

TEST_P(Stretch, GivesTheLibraryStretchsPixels) {
    const std::vector<uint32_t> enlarged = {
        0x0B21374D, 0x1B37385D, 0x4D7C3C8E, 0x7EBF40BF, 0x4C984584, 0x196F4A47, 0x08614C33,
        0x1424345C, 0x233A3669, 0x527F3A90, 0x80C33EB6, 0x549B4386, 0x26724854, 0x16644942,
        0x3B332A9F, 0x46492C9D, 0x6A8E3098, 0x8DD13594, 0x76AA398D, 0x5E813E87, 0x55733F85,
        0x634220E3, 0x6A5822D2, 0x829D26A1, 0x99E02B70, 0x98B92F95, 0x969034BB, 0x958235C9,
        0x6D461EF4, 0x735C1FE0, 0x88A124A3, 0x9CE42868, 0xA0BD2D97, 0xA49431C8, 0xA68633DA,
    };
    EXPECT_EQ(stretched(3, 2, 7, 5), enlarged);
    const std::vector<uint32_t> reduced = {
        0x7FA72B97, 0x8A1C4463, 0x61525C6E, 0x6D58EE8D, 0x75794784, 0x2F991F90,
    };
    EXPECT_EQ(stretched(7, 5, 3, 2), reduced);
}

INSTANTIATE_TEST_SUITE_P(WideAndPlain, Stretch, ::testing::Bool());

// Target widths around multiples of eight and source widths around multiples
// of four, enlarged and reduced, and the game's own full-screen case.
TEST(StretchPaths, WideEqualsPlainWhereverTheTailsFall) {
    struct Size {
        int fromWidth, fromHeight, toWidth, toHeight;
    };
    std::vector<Size> sizes = {{1024, 768, 1440, 1080}, {640, 480, 1000, 900}, {2, 1, 9, 3}};
    for (int fromWidth = 2; fromWidth <= 13; ++fromWidth)
        for (int toWidth = 1; toWidth <= 26; toWidth += 3)
            sizes.push_back({fromWidth, 3 + fromWidth % 3, toWidth, 2 + toWidth % 5});
    for (const Size& s : sizes) {
        allowWideLanes(false);
        const std::vector<uint32_t> plain =
            stretched(s.fromWidth, s.fromHeight, s.toWidth, s.toHeight);
        allowWideLanes(true);
        EXPECT_EQ(stretched(s.fromWidth, s.fromHeight, s.toWidth, s.toHeight), plain)
            << s.fromWidth << "x" << s.fromHeight << " -> " << s.toWidth << "x" << s.toHeight;
    }
}

} // namespace

namespace {

// A band of source rows restretched over a stale target: the rows it reaches
// are the whole stretch's, every other row keeps what it held, and every row
// that the band's pixels change is among those written. Enlarged, reduced,
// and bands at both edges.
TEST(StretchPaths, ABandOfRowsGivesTheWholeStretchsRows) {
    struct Case {
        int fromHeight, toHeight, top, bottom;
    };
    for (const Case& c : {Case{9, 20, 0, 1}, Case{9, 20, 3, 5}, Case{9, 20, 8, 9},
                          Case{20, 7, 4, 6}, Case{20, 7, 19, 20}, Case{20, 7, 0, 20}}) {
        const std::vector<uint32_t> whole = stretched(11, c.fromHeight, 13, c.toHeight);
        Canvas from = source(11, c.fromHeight), to(13, c.toHeight);
        int first = -1, end = -1;
        ASSERT_TRUE(stretchLinearRows(from.inner(11, c.fromHeight), to.inner(13, c.toHeight), c.top,
                                      c.bottom, &first, &end));
        EXPECT_LT(first, end) << c.top << ".." << c.bottom;
        // The whole stretch's rows that change when the band's pixels do.
        Canvas other = source(11, c.fromHeight), changed(13, c.toHeight);
        for (int y = c.top; y < c.bottom; ++y)
            for (int x = 0; x < 11; ++x)
                other.pixels[size_t(y + 1) * other.width + x + 2] ^= 0x80808080u;
        stretchLinear(other.inner(11, c.fromHeight), changed.inner(13, c.toHeight));
        for (int y = 0; y < c.toHeight; ++y) {
            const bool inBand = y >= first && y < end;
            bool reaches = false;
            for (int x = 0; x < 13; ++x) {
                reaches |= changed.at(x, y) != whole[size_t(y) * 13 + x];
                EXPECT_EQ(to.at(x, y), inBand ? whole[size_t(y) * 13 + x] : Untouched)
                    << "row " << y << " of " << c.top << ".." << c.bottom;
            }
            EXPECT_TRUE(inBand || !reaches) << "row " << y << " of " << c.top << ".." << c.bottom;
        }
    }
}

} // namespace
