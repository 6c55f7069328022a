#pragma once

// Image files for tests and benchmarks, made with FreeImage itself.

#include <FreeImage.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/formats/FreeImageBitmap.h"

namespace kavenra::test {

using Bytes = std::vector<unsigned char>;

// Debian's FreeImage does not initialise itself; the program does it at start-up, tests here.
void InitialiseFreeImageOnce();

// A photo-like 24-bit picture: sky and ground gradients, a wavy horizon, shaded round shapes,
// clouds of several scales and sensor grain. The same seed gives the same picture.
BitmapHandle MakeNaturalBitmap(int width, int height, std::uint32_t seed = 1);

// The same picture as 8-bit greyscale.
BitmapHandle MakeGreyBitmap(int width, int height, std::uint32_t seed = 1);

// An 8-bit picture with a coloured palette (what GIF files hold).
BitmapHandle MakePaletteBitmap(int width, int height, std::uint32_t seed = 1);

// A 32-bit picture whose left half is see-through (alpha 0) over pure red and whose right half is
// opaque blue: a writer that drops the alpha shows red where nothing was to be seen.
BitmapHandle MakeHalfTransparentBitmap(int width, int height);

// `bitmap` (24- or 32-bit) with 16 bits per sample: FIT_UINT16 (grey), FIT_RGB16 or FIT_RGBA16.
BitmapHandle WithSixteenBitSamples(FIBITMAP& bitmap, FREE_IMAGE_TYPE type);

bool SaveBitmapFile(FIBITMAP& bitmap, FREE_IMAGE_FORMAT format, const std::string& path,
                    int flags = 0);

// A natural 24-bit picture saved in `format` (8-bit palette for GIF).
bool WriteImageFile(const std::string& path, FREE_IMAGE_FORMAT format, int width, int height,
                    std::uint32_t seed = 1, int flags = 0);

// Loads a file in the format its content says, or returns nothing.
BitmapHandle LoadImageFile(const std::string& path, int flags = 0);

Bytes EncodeImage(FIBITMAP& bitmap, FREE_IMAGE_FORMAT format, int flags = 0);
BitmapHandle DecodeImage(const Bytes& data, int flags = 0);

Bytes ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const Bytes& data);

// A TIFF file of the pages in order, each saved with `flags`.
bool WriteTiffPages(const std::string& path, const std::vector<FIBITMAP*>& pages, int flags = 0);

// Every page of the TIFF file at `path`, in order; empty when FreeImage cannot open it as pages.
std::vector<BitmapHandle> LoadTiffPages(const std::string& path);

// Same size, type, depth and pixel bytes.
bool SamePixels(FIBITMAP& first, FIBITMAP& second);

// Peak signal-to-noise ratio of two pictures of one size over their colour samples (each brought
// to 24-bit colour), in dB; 99 for equal pictures, 0 for pictures of different sizes.
double PeakSignalToNoise(FIBITMAP& first, FIBITMAP& second);

}  // namespace kavenra::test
