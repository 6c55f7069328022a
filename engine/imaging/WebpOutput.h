#pragma once

// What FreeImage's WebP writer takes: 24-bit colour, or 32-bit colour with alpha, nothing else.
// Any picture a conversion holds (greyscale, a palette, 16 bits a sample) is brought to one of
// them before the save, whatever format it was read from.

#include "engine/imaging/FreeImageBitmap.h"

namespace kavenra {

// Replaces `bitmap` with a copy the WebP writer takes, with its metadata models and resolution;
// 32-bit where the picture has transparency (a palette's transparent entries, an alpha
// channel), 24-bit otherwise. Nothing changes for a 24- or 32-bit picture. False, `bitmap`
// unchanged, when FreeImage makes no copy (no memory, a type it cannot convert).
bool MakeWritableAsWebp(BitmapHandle& bitmap);

}  // namespace kavenra
