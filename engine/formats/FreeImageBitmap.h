#pragma once

#include <FreeImage.h>

#include <memory>

namespace kavenra {

// FreeImage's load flag for the header alone: the bitmap states its size and type, no pixels.
constexpr int kHeaderOnlyLoad = FIF_LOAD_NOPIXELS;

// Owns one FreeImage bitmap and unloads it when it goes out of scope, whatever the way out.
struct FreeImageBitmapUnloader {
    void operator()(FIBITMAP* bitmap) const noexcept { FreeImage_Unload(bitmap); }
};
using BitmapHandle = std::unique_ptr<FIBITMAP, FreeImageBitmapUnloader>;

// Removes one tag from a metadata model, and the model with its last tag: FreeImage's search of
// a model left empty hands out a tag from beyond its end, which its writers then read.
inline void RemoveMetadataTag(FIBITMAP& bitmap, FREE_IMAGE_MDMODEL model, const char* key) {
    FreeImage_SetMetadata(model, &bitmap, key, nullptr);
    if (FreeImage_GetMetadataCount(model, &bitmap) == 0) {
        FreeImage_SetMetadata(model, &bitmap, nullptr, nullptr);
    }
}

}  // namespace kavenra
