#pragma once

// Whether a JPEG file holds its whole picture. libjpeg takes a file that ends early for one that
// goes on with grey: it only warns, and FreeImage hands over a bitmap whose lower part (or, for a
// progressive file, whose detail) was never in the file.

#include <string>

namespace kavenra {

// True when the file ends before its end-of-image marker, its marker segments and entropy-coded
// scans walked as the decoder reads them: a file cut anywhere, in its headers too. Whatever
// follows that marker (a camera's padding, another picture) does not count, and a marker libjpeg
// reads no segment of (one that damaged picture data holds) is passed over to the next, as the
// load does. False for a file that does not start as a JPEG, cannot be read or declares a
// segment no decoder takes: its load decides.
bool JpegEndsEarly(const std::string& path);

}  // namespace kavenra
