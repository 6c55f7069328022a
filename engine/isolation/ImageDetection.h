#pragma once

// Format detection by content, in the image worker (engine/isolation/ImageWorker.h).

#include <FreeImage.h>

#include <string>

namespace kavenra {

// FreeImage_GetFileType(path, 0) in the worker; FIF_UNKNOWN also when the worker gave no answer.
FREE_IMAGE_FORMAT DetectImageFormatIsolated(const std::string& path);

}  // namespace kavenra

// The format FreeImage recognises in the file's content (FreeImage_GetFileType(path, 0));
// FIF_UNKNOWN for a file it does not recognise or cannot read.
FREE_IMAGE_FORMAT DetectImageFormat(const std::string& path);
