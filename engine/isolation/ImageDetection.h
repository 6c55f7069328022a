#pragma once

// Format detection by content, in the image worker (engine/isolation/ImageWorker.h).

#include <FreeImage.h>

#include <string>

#include "engine/formats/ImageFormat.h"

namespace kavenra {

// DetectFileFormat(path) in the worker; ImageFormat::Unknown also when the worker gave no answer.
ImageFormat DetectImageFormatIsolated(const std::string& path);

}  // namespace kavenra

// The format recognised in the file's content, as DetectImageFormatIsolated says;
// ImageFormat::Unknown for a file it does not recognise or cannot read.
kavenra::ImageFormat DetectImageFormat(const std::string& path);
