#pragma once

// Whether a run-length coded TARGA file holds every pixel its header declares. FreeImage's
// loader decodes the packets from a buffer of the file's bytes without looking where it ends: a
// file cut short makes it read past the buffer and fill the rest of the picture with whatever
// memory held there, a different picture at every run.

#include <string>

namespace kavenra {

enum class TargaRuns {
    NotCoded,  // no run-length coding (or no header to read): nothing to walk
    Complete,  // the packets cover the whole picture within the file
    CutShort,  // the file ends before the packets cover the picture
};

// Walks the packets of the TARGA file at `path` over its own bytes, from the pixel data on
// (after the identification field and the colour map), counting pixels until they cover width
// times height.
TargaRuns WalkTargaRuns(const std::string& path);

}  // namespace kavenra
