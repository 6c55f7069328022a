#pragma once

// The libraries the conversion is built on, as the about box credits them.

#include <string>
#include <vector>

namespace kavenra {

// A library the program is built on, as the about box credits it: its name, the version loaded
// at run time, and its licence as an SPDX expression.
struct LibraryCredit {
    std::string name;
    std::string version;
    std::string licence;
};

// The image libraries: FreeImage, Exiv2, Little CMS, libheif and LibRaw, in that order.
std::vector<LibraryCredit> ImageLibraryCredits();

}  // namespace kavenra
