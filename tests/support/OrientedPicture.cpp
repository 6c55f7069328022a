#include "support/OrientedPicture.h"

#include <cstdlib>

namespace kavenra::test {
namespace {

struct Colour {
    int red;
    int green;
    int blue;
};

// Top left, top right, bottom left, bottom right.
constexpr Colour kQuadrants[4] = {{220, 30, 30}, {30, 200, 30}, {30, 30, 220}, {230, 220, 30}};
constexpr const char* kQuadrantNames[4] = {"top left", "top right", "bottom left", "bottom right"};

// FreeImage counts scan lines from the bottom; these helpers count rows from the top.
RGBQUAD PixelAt(FIBITMAP& bitmap, unsigned x, unsigned y) {
    RGBQUAD colour{};
    FreeImage_GetPixelColor(&bitmap, x, FreeImage_GetHeight(&bitmap) - 1 - y, &colour);
    return colour;
}

void SetPixel(FIBITMAP& bitmap, unsigned x, unsigned y, RGBQUAD colour) {
    FreeImage_SetPixelColor(&bitmap, x, FreeImage_GetHeight(&bitmap) - 1 - y, &colour);
}

struct Shown {
    unsigned x;
    unsigned y;
};

// Where the stored pixel (x, y) of a `width` x `height` stored picture is shown.
Shown ShownAt(int orientation, unsigned x, unsigned y, unsigned width, unsigned height) {
    switch (orientation) {
        case 2:
            return {width - 1 - x, y};
        case 3:
            return {width - 1 - x, height - 1 - y};
        case 4:
            return {x, height - 1 - y};
        case 5:  // rows become columns from the left, columns rows from the top
            return {y, x};
        case 6:  // rows become columns from the right, columns rows from the top
            return {height - 1 - y, x};
        case 7:  // rows become columns from the right, columns rows from the bottom
            return {height - 1 - y, width - 1 - x};
        case 8:  // rows become columns from the left, columns rows from the bottom
            return {y, width - 1 - x};
        default:
            return {x, y};
    }
}

}  // namespace

BitmapHandle MakeQuadrantBitmap(int width, int height) {
    BitmapHandle bitmap(FreeImage_Allocate(width, height, 24));
    if (!bitmap) return bitmap;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Colour& colour = kQuadrants[(y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)];
            SetPixel(*bitmap, unsigned(x), unsigned(y),
                     RGBQUAD{BYTE(colour.blue), BYTE(colour.green), BYTE(colour.red), 0});
        }
    }
    return bitmap;
}

BitmapHandle StoredForOrientation(FIBITMAP& upright, int orientation) {
    const unsigned uprightWidth = FreeImage_GetWidth(&upright);
    const unsigned uprightHeight = FreeImage_GetHeight(&upright);
    const bool swapped = orientation >= 5;
    const unsigned width = swapped ? uprightHeight : uprightWidth;
    const unsigned height = swapped ? uprightWidth : uprightHeight;
    BitmapHandle stored(FreeImage_Allocate(int(width), int(height), 24));
    if (!stored) return stored;
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            const Shown shown = ShownAt(orientation, x, y, width, height);
            SetPixel(*stored, x, y, PixelAt(upright, shown.x, shown.y));
        }
    }
    return stored;
}

QString QuadrantMismatch(FIBITMAP& picture) {
    const unsigned width = FreeImage_GetWidth(&picture);
    const unsigned height = FreeImage_GetHeight(&picture);
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
        const unsigned x = quadrant % 2 == 0 ? width / 4 : width * 3 / 4;
        const unsigned y = quadrant < 2 ? height / 4 : height * 3 / 4;
        const RGBQUAD found = PixelAt(picture, x, y);
        const Colour& wanted = kQuadrants[quadrant];
        constexpr int kTolerance = 48;
        if (std::abs(found.rgbRed - wanted.red) > kTolerance ||
            std::abs(found.rgbGreen - wanted.green) > kTolerance ||
            std::abs(found.rgbBlue - wanted.blue) > kTolerance) {
            return QString("%1 is %2,%3,%4 instead of %5,%6,%7")
                .arg(kQuadrantNames[quadrant])
                .arg(found.rgbRed)
                .arg(found.rgbGreen)
                .arg(found.rgbBlue)
                .arg(wanted.red)
                .arg(wanted.green)
                .arg(wanted.blue);
        }
    }
    return {};
}

}  // namespace kavenra::test
