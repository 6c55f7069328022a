#pragma once

// Format detection by content, in the image worker (engine/isolation/ImageWorker.h).

#include <FreeImage.h>

#include <string>

namespace kavenra {

// DetectFileFormat(path) in the worker: FreeImage's format, or HEIF's or AVIF's own value
// (engine/formats/heif/HeifImage.h); FIF_UNKNOWN also when the worker gave no answer.
FREE_IMAGE_FORMAT DetectImageFormatIsolated(const std::string& path);

}  // namespace kavenra

// The format recognised in the file's content, as DetectImageFormatIsolated says;
// FIF_UNKNOWN for a file it does not recognise or cannot read.
FREE_IMAGE_FORMAT DetectImageFormat(const std::string& path);
