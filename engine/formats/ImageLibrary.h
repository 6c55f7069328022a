#pragma once

// The image library itself: what the start-up checks and the about box show of it (the
// credits of every library are in engine/convert/LibraryCredits.h).

#include <string>

namespace kavenra {

// Initialises the library with external plug-ins allowed, once per process; never undone.
void InitialiseImageLibrary();

// The version the loaded library reports, e.g. "3.18.0".
std::string ImageLibraryVersion();

// The version of the headers the program was built with: the only one it accepts.
std::string RequiredImageLibraryVersion();

// The file the dynamic loader loaded the library from; empty when it cannot be told.
std::string ImageLibraryFile();

}  // namespace kavenra
