#pragma once

// The format an output is written in, the name it goes under, and its pixels made fit for that
// format's writer. The options dialog's "Save as" chooses the format; its first choice keeps each
// input's own format where the program writes it.

#include <FreeImage.h>

#include <cstdint>
#include <string>

#include "engine/base/ConversionOptions.h"
#include "engine/formats/FreeImageBitmap.h"
#include "engine/formats/ImageFormat.h"
#include "engine/base/ConversionOptions.h"

namespace kavenra {

// The output format of an input detected as `input` under the "Save as" choice `saveAs`: the
// format it names; for OutputChoice::Original the input's own format where the program writes it
// (of the formats the window lists: BMP, JPEG, PNG, TARGA, TIFF, WebP), else JPEG (camera RAW, and
// any format read without a writer).
ImageFormat OutputFormatFor(ImageFormat input, OutputChoice saveAs);

// True when a picture of `width` x `height` pixels fits the header and the encoder of `format`:
// a JPEG side at most 65,500 pixels (libjpeg's bound, below the 16-bit field's), a WebP side at
// most 16,383, a TARGA side at most 65,535 (its 16-bit fields); any side of the other formats.
bool FitsOutputFormat(ImageFormat format, std::int64_t width, std::int64_t height);

// True when the "Save as" choice names a format rather than keeping the original's.
bool ChoosesFormat(OutputChoice saveAs);

// True for the formats FreeImage has a writer for. (The engine's own callers may also hand it
// formats the window never lists, such as PPM or GIF: those keep their format as before.)
bool WritesFormat(ImageFormat format);

// The usual extension of a written format, with its ".": ".jpg", ".png", ".webp", ".tif",
// ".bmp", ".tga"; empty for any other format.
std::string UsualExtension(ImageFormat format);

// `destination` whose file name's extension (from its last ".") is replaced by `extension`; a
// name without "." gets it appended. A "." in a folder name does not count.
std::string WithExtension(const std::string& destination, const std::string& extension);

// Where the output of a `destination` is written: `destination` itself when the output keeps the
// input's format, whatever its extension says; else the output format's usual extension replaces
// the name's.
std::string OutputPathFor(const std::string& destination, ImageFormat input, ImageFormat output);

// Replaces `bitmap`, loaded from an `input` file, with a copy that `output`'s writer takes, where
// it does not take it as it is:
// - JPEG: 8-bit grey or 24-bit colour. A palette becomes grey or colour, 16 bits per channel
//   become 8, float becomes 8-bit, and transparency is flattened onto white (a 32-bit picture
//   whose alpha is 0 everywhere holds no transparency, only an unused byte).
// - WebP: 24-bit colour, or 32-bit where the picture has transparency.
// - PNG: as it is, but 16-bit colour (5-6-5) becomes 24-bit and float or other samples 8-bit.
// - TIFF, BMP, TARGA: as it is.
// A 32-bit BMP or TARGA picture whose fourth byte is 0 throughout holds no alpha, only padding:
// saved in another format, it becomes 24-bit rather than a picture that cannot be seen.
// The copy keeps the resolution; its colour profile is for the caller to carry. False, `bitmap`
// unchanged, when there is no memory for the copy.
bool FitForWriter(BitmapHandle& bitmap, ImageFormat input, ImageFormat output);

// True when the picture holds transparency its output could keep: a 32-bit or 16-bit-per-channel
// alpha channel that is not 0 everywhere, or a palette with transparent entries.
bool HoldsTransparency(FIBITMAP& bitmap);

// TIFF's JPEG compression takes only 8-bit grey and 24-bit colour: other pictures (transparency,
// 16 bits per channel, a palette) are written with LZW instead, which keeps every sample as it
// is. Other flags and formats come back unchanged.
int TiffFlagsForBitmap(int flags, FIBITMAP& bitmap);

}  // namespace kavenra
