#pragma once

// A JPEG file's markers walked as libjpeg reads them: between segments it passes over stray bytes
// and any number of 0xFF fill bytes before a marker.

#include <string>

namespace kavenra {

// Whether a JPEG file holds its whole picture. libjpeg takes a file that ends early for one that
// goes on with grey: it only warns, and FreeImage hands over a bitmap whose lower part (or, for a
// progressive file, whose detail) was never in the file.
// True when the file ends before its end-of-image marker, its marker segments and entropy-coded
// scans walked as the decoder reads them: a file cut anywhere, in its headers too. Whatever
// follows that marker (a camera's padding, another picture) does not count, and a marker libjpeg
// reads no segment of (one that damaged picture data holds) is passed over to the next, as the
// load does. False for a file that does not start as a JPEG, cannot be read or declares a
// segment no decoder takes: its load decides.
bool JpegEndsEarly(const std::string& path);

// True when an APP14 segment before the first scan starts with "Adobe": the file's CMYK or YCCK
// samples are then stored inverted, as Adobe's programs write them. False for a file that does
// not start as a JPEG or cannot be read.
bool JpegHasAdobeSegment(const std::string& path);

}  // namespace kavenra
