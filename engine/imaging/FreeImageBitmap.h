#pragma once

#include <FreeImage.h>

#include <memory>

namespace kavenra {

// Owns one FreeImage bitmap and unloads it when it goes out of scope, whatever the way out.
struct FreeImageBitmapUnloader {
    void operator()(FIBITMAP* bitmap) const noexcept { FreeImage_Unload(bitmap); }
};
using BitmapHandle = std::unique_ptr<FIBITMAP, FreeImageBitmapUnloader>;

}  // namespace kavenra
