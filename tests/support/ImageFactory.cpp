#include "support/ImageFactory.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

namespace kavenra::test {
namespace {

// Small, fast and reproducible: the pictures only need to look natural, not be random.
class Xorshift {
  public:
    explicit Xorshift(std::uint32_t seed) : state_(seed * 2654435761u + 0x9e3779b9u) {
        if (state_ == 0) state_ = 1;
    }
    std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    float unit() { return static_cast<float>(next() >> 8) / 16777216.0f; }  // [0, 1)

  private:
    std::uint32_t state_;
};

// Smoothly interpolated random values on a coarse grid: one octave of cloud-like texture.
class ValueNoise {
  public:
    ValueNoise(int width, int height, int cell, Xorshift& random)
        : cell_(std::max(cell, 1)), columns_(width / cell_ + 2), rows_(height / cell_ + 2) {
        values_.resize(static_cast<std::size_t>(columns_) * rows_);
        for (float& v : values_) v = random.unit() * 2.0f - 1.0f;
    }
    // Interpolation weights along y, computed once per row.
    void selectRow(int y) {
        row_ = y / cell_;
        fy_ = Smooth(static_cast<float>(y % cell_) / cell_);
    }
    float at(int x) const {
        const int column = x / cell_;
        const float fx = Smooth(static_cast<float>(x % cell_) / cell_);
        const float* top = &values_[static_cast<std::size_t>(row_) * columns_ + column];
        const float* bottom = top + columns_;
        const float upper = top[0] + (top[1] - top[0]) * fx;
        const float lower = bottom[0] + (bottom[1] - bottom[0]) * fx;
        return upper + (lower - upper) * fy_;
    }

  private:
    static float Smooth(float t) { return t * t * (3.0f - 2.0f * t); }
    int cell_, columns_, rows_;
    int row_ = 0;
    float fy_ = 0.0f;
    std::vector<float> values_;
};

struct Disc {
    float cx, cy, radius;
    float r, g, b;
};

BYTE ToByte(float value) {
    return static_cast<BYTE>(std::clamp(value, 0.0f, 255.0f));
}

void PaintLandscape(FIBITMAP& bitmap, Xorshift& random) {
    const int width = static_cast<int>(FreeImage_GetWidth(&bitmap));
    const int height = static_cast<int>(FreeImage_GetHeight(&bitmap));
    const int scale = std::max(std::min(width, height), 8);
    ValueNoise broad(width, height, scale / 3, random);
    ValueNoise middle(width, height, scale / 12, random);
    ValueNoise fine(width, height, scale / 48, random);
    const float phase = random.unit() * 6.28f;
    const float tint = random.unit() * 40.0f - 20.0f;
    for (int y = 0; y < height; ++y) {
        broad.selectRow(y);
        middle.selectRow(y);
        fine.selectRow(y);
        // FreeImage keeps rows bottom-up; paint top-down so that the sky is on top.
        BYTE* line = FreeImage_GetScanLine(&bitmap, height - 1 - y);
        const float v = static_cast<float>(y) / height;
        for (int x = 0; x < width; ++x) {
            const float u = static_cast<float>(x) / width;
            const float horizon = 0.55f + 0.06f * std::sin(u * 9.0f + phase) + 0.03f * broad.at(x);
            const float texture = 40.0f * broad.at(x) + 22.0f * middle.at(x) + 10.0f * fine.at(x);
            float r, g, b;
            if (v < horizon) {  // sky: deep blue above, paler near the horizon, soft clouds
                const float t = v / horizon;
                const float cloud = std::max(0.0f, texture) * 1.4f;
                r = 70 + 120 * t + cloud + tint;
                g = 110 + 100 * t + cloud;
                b = 190 + 50 * t + cloud - tint;
            } else {  // ground: warm browns and greens, darker towards the viewer
                const float t = (v - horizon) / (1.0f - horizon);
                r = 120 - 50 * t + texture + tint;
                g = 130 - 40 * t + texture * 1.2f;
                b = 70 - 30 * t + texture * 0.6f;
            }
            const float grain = static_cast<float>(static_cast<int>(random.next() % 13) - 6);
            line[3 * x + FI_RGBA_GREEN] = ToByte(g + grain);
            line[3 * x + FI_RGBA_BLUE] = ToByte(b + grain);
            line[3 * x + FI_RGBA_RED] = ToByte(r + grain);
        }
    }
}

// Round objects with a lit side and a soft rim, painted over the landscape.
void PaintDiscs(FIBITMAP& bitmap, Xorshift& random) {
    const int width = static_cast<int>(FreeImage_GetWidth(&bitmap));
    const int height = static_cast<int>(FreeImage_GetHeight(&bitmap));
    const float scale = static_cast<float>(std::min(width, height));
    for (int n = 0; n < 9; ++n) {
        const Disc disc{random.unit() * width,
                        (0.35f + 0.6f * random.unit()) * height,
                        (0.03f + 0.12f * random.unit()) * scale,
                        40 + 180 * random.unit(),
                        40 + 180 * random.unit(),
                        40 + 160 * random.unit()};
        const int top = std::max(0, static_cast<int>(disc.cy - disc.radius));
        const int bottom = std::min(height - 1, static_cast<int>(disc.cy + disc.radius));
        for (int y = top; y <= bottom; ++y) {
            BYTE* line = FreeImage_GetScanLine(&bitmap, height - 1 - y);
            const float dy = (y - disc.cy) / disc.radius;
            const int left = std::max(0, static_cast<int>(disc.cx - disc.radius));
            const int right = std::min(width - 1, static_cast<int>(disc.cx + disc.radius));
            for (int x = left; x <= right; ++x) {
                const float dx = (x - disc.cx) / disc.radius;
                const float d2 = dx * dx + dy * dy;
                if (d2 > 1.0f) continue;
                const float light = 0.55f + 0.45f * (-dx * 0.6f - dy * 0.8f) * (1.0f - d2);
                const float cover = std::min(1.0f, (1.0f - d2) * 8.0f);
                BYTE* p = line + 3 * x;
                p[FI_RGBA_RED] = ToByte(p[FI_RGBA_RED] * (1 - cover) + disc.r * light * cover);
                p[FI_RGBA_GREEN] = ToByte(p[FI_RGBA_GREEN] * (1 - cover) + disc.g * light * cover);
                p[FI_RGBA_BLUE] = ToByte(p[FI_RGBA_BLUE] * (1 - cover) + disc.b * light * cover);
            }
        }
    }
}

}  // namespace

void InitialiseFreeImageOnce() {
    static std::once_flag once;
    std::call_once(once, [] { FreeImage_Initialise(FALSE); });
}

BitmapHandle MakeNaturalBitmap(int width, int height, std::uint32_t seed) {
    BitmapHandle bitmap(FreeImage_Allocate(width, height, 24));
    if (!bitmap) return bitmap;
    Xorshift random(seed);
    PaintLandscape(*bitmap, random);
    PaintDiscs(*bitmap, random);
    return bitmap;
}

BitmapHandle MakeGreyBitmap(int width, int height, std::uint32_t seed) {
    const BitmapHandle colour = MakeNaturalBitmap(width, height, seed);
    return BitmapHandle(colour ? FreeImage_ConvertToGreyscale(colour.get()) : nullptr);
}

BitmapHandle MakePaletteBitmap(int width, int height, std::uint32_t seed) {
    const BitmapHandle colour = MakeNaturalBitmap(width, height, seed);
    return BitmapHandle(colour ? FreeImage_ColorQuantize(colour.get(), FIQ_WUQUANT) : nullptr);
}

BitmapHandle MakeHalfTransparentBitmap(int width, int height) {
    BitmapHandle bitmap(FreeImage_Allocate(width, height, 32));
    if (!bitmap) return bitmap;
    for (int y = 0; y < height; ++y) {
        BYTE* pixel = FreeImage_GetScanLine(bitmap.get(), y);
        for (int x = 0; x < width; ++x, pixel += 4) {
            const bool seeThrough = x < width / 2;
            pixel[FI_RGBA_RED] = seeThrough ? 0xFF : 0;
            pixel[FI_RGBA_GREEN] = 0;
            pixel[FI_RGBA_BLUE] = seeThrough ? 0 : 0xFF;
            pixel[FI_RGBA_ALPHA] = seeThrough ? 0 : 0xFF;
        }
    }
    return bitmap;
}

BitmapHandle WithSixteenBitSamples(FIBITMAP& bitmap, FREE_IMAGE_TYPE type) {
    switch (type) {
        case FIT_UINT16:
            return BitmapHandle(FreeImage_ConvertToUINT16(&bitmap));
        case FIT_RGB16:
            return BitmapHandle(FreeImage_ConvertToRGB16(&bitmap));
        case FIT_RGBA16:
            return BitmapHandle(FreeImage_ConvertToRGBA16(&bitmap));
        default:
            return nullptr;
    }
}

bool SaveBitmapFile(FIBITMAP& bitmap, FREE_IMAGE_FORMAT format, const std::string& path,
                    int flags) {
    return FreeImage_Save(format, &bitmap, path.c_str(), flags) == TRUE;
}

bool WriteImageFile(const std::string& path, FREE_IMAGE_FORMAT format, int width, int height,
                    std::uint32_t seed, int flags) {
    const BitmapHandle bitmap = format == FIF_GIF ? MakePaletteBitmap(width, height, seed)
                                                  : MakeNaturalBitmap(width, height, seed);
    return bitmap && SaveBitmapFile(*bitmap, format, path, flags);
}

BitmapHandle LoadImageFile(const std::string& path, int flags) {
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
    if (format == FIF_UNKNOWN) return nullptr;
    return BitmapHandle(FreeImage_Load(format, path.c_str(), flags));
}

Bytes EncodeImage(FIBITMAP& bitmap, FREE_IMAGE_FORMAT format, int flags) {
    FIMEMORY* memory = FreeImage_OpenMemory();
    Bytes data;
    if (FreeImage_SaveToMemory(format, &bitmap, memory, flags)) {
        BYTE* bytes = nullptr;
        DWORD size = 0;
        FreeImage_AcquireMemory(memory, &bytes, &size);
        data.assign(bytes, bytes + size);
    }
    FreeImage_CloseMemory(memory);
    return data;
}

BitmapHandle DecodeImage(const Bytes& data, int flags) {
    FIMEMORY* memory =
        FreeImage_OpenMemory(const_cast<BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromMemory(memory, 0);
    BitmapHandle bitmap(format == FIF_UNKNOWN ? nullptr
                                              : FreeImage_LoadFromMemory(format, memory, flags));
    FreeImage_CloseMemory(memory);
    return bitmap;
}

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out);
}

bool SamePixels(FIBITMAP& first, FIBITMAP& second) {
    const unsigned width = FreeImage_GetWidth(&first);
    const unsigned height = FreeImage_GetHeight(&first);
    if (width != FreeImage_GetWidth(&second) || height != FreeImage_GetHeight(&second) ||
        FreeImage_GetImageType(&first) != FreeImage_GetImageType(&second) ||
        FreeImage_GetBPP(&first) != FreeImage_GetBPP(&second)) {
        return false;
    }
    const unsigned rowBytes = FreeImage_GetLine(&first);
    for (unsigned y = 0; y < height; ++y) {
        if (std::memcmp(FreeImage_GetScanLine(&first, y), FreeImage_GetScanLine(&second, y),
                        rowBytes) != 0) {
            return false;
        }
    }
    return true;
}

bool WriteTiffPages(const std::string& path, const std::vector<FIBITMAP*>& pages, int flags) {
    // Kept in memory until the close writes the file (by way of a spool file beside it).
    FIMULTIBITMAP* file = FreeImage_OpenMultiBitmap(FIF_TIFF, path.c_str(), TRUE, FALSE, TRUE, 0);
    if (file == nullptr) return false;
    for (FIBITMAP* page : pages) FreeImage_AppendPage(file, page);
    const bool all = FreeImage_GetPageCount(file) == static_cast<int>(pages.size());
    return FreeImage_CloseMultiBitmap(file, flags) == TRUE && all;
}

std::vector<BitmapHandle> LoadTiffPages(const std::string& path) {
    std::vector<BitmapHandle> pages;
    FIMULTIBITMAP* file = FreeImage_OpenMultiBitmap(FIF_TIFF, path.c_str(), FALSE, TRUE, TRUE, 0);
    if (file == nullptr) return pages;
    for (int page = 0; page < FreeImage_GetPageCount(file); ++page) {
        FIBITMAP* locked = FreeImage_LockPage(file, page);
        pages.emplace_back(locked ? FreeImage_Clone(locked) : nullptr);
        FreeImage_UnlockPage(file, locked, FALSE);
    }
    FreeImage_CloseMultiBitmap(file, 0);
    return pages;
}

double PeakSignalToNoise(FIBITMAP& first, FIBITMAP& second) {
    const BitmapHandle a(FreeImage_ConvertTo24Bits(&first));
    const BitmapHandle b(FreeImage_ConvertTo24Bits(&second));
    if (!a || !b) return 0;
    const unsigned width = FreeImage_GetWidth(a.get());
    const unsigned height = FreeImage_GetHeight(a.get());
    if (width != FreeImage_GetWidth(b.get()) || height != FreeImage_GetHeight(b.get())) return 0;
    double squares = 0;
    for (unsigned y = 0; y < height; ++y) {
        const BYTE* rowA = FreeImage_GetScanLine(a.get(), static_cast<int>(y));
        const BYTE* rowB = FreeImage_GetScanLine(b.get(), static_cast<int>(y));
        for (unsigned x = 0; x < width * 3; ++x) {
            const double difference = double(rowA[x]) - double(rowB[x]);
            squares += difference * difference;
        }
    }
    const double mean = squares / (double(width) * height * 3);
    return mean == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mean);
}

}  // namespace kavenra::test
