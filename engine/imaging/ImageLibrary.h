#pragma once

// The image library itself: what the start-up checks and the about box show of it.

#include <string>
#include <vector>

namespace kavenra {

// Initialises the library with external plug-ins allowed, once per process; never undone.
void InitialiseImageLibrary();

// The version the loaded library reports, e.g. "3.18.0".
std::string ImageLibraryVersion();

// The version of the headers the program was built with: the only one it accepts.
std::string RequiredImageLibraryVersion();

// The file the dynamic loader loaded the library from; empty when it cannot be told.
std::string ImageLibraryFile();

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
