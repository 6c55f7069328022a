#pragma once

// A minimal camera RAW file: a DNG (a TIFF with the DNG version tag) whose first directory holds
// a JPEG preview and whose sub-directory holds a small uncompressed Bayer sensor image. FreeImage
// (through LibRaw) detects it as FIF_RAW and, with RAW_PREVIEW, loads the preview.

#include <cstdint>
#include <string>

#include "support/ImageFactory.h"

namespace kavenra::test {

struct CameraRawSpec {
    int previewWidth = 160;  // the embedded JPEG preview
    int previewHeight = 120;
    int sensorWidth = 128;  // the Bayer data
    int sensorHeight = 96;
    std::uint32_t seed = 7;
    // The first directory's Orientation tag; 0 for none.
    std::uint16_t orientation = 0;
    // The JPEG to embed as it is, in place of one made of a picture of the preview's size (which
    // the directory still states).
    Bytes previewJpeg;
};

// The JPEG preview that MakeMinimalDng embeds for `camera`.
Bytes MakeDngPreview(const CameraRawSpec& camera);

Bytes MakeMinimalDng(const CameraRawSpec& camera = {});
bool WriteMinimalDng(const std::string& path, const CameraRawSpec& camera = {});

}  // namespace kavenra::test
