#include "engine/formats/ImageLibrary.h"

#include <FreeImage.h>
#include <dlfcn.h>

namespace kavenra {

void InitialiseImageLibrary() {
    static const bool initialised = [] {
        FreeImage_Initialise(FALSE);
        return true;
    }();
    (void)initialised;
}

std::string ImageLibraryVersion() {
    const char* version = FreeImage_GetVersion();
    return version ? version : "";
}

std::string RequiredImageLibraryVersion() {
    return std::to_string(FREEIMAGE_MAJOR_VERSION) + "." + std::to_string(FREEIMAGE_MINOR_VERSION) +
           "." + std::to_string(FREEIMAGE_RELEASE_SERIAL);
}

// The function's address is the library's own only in position-independent code, which reads it
// from the table the loader fills; other code gets a stub inside the program. This unit is built
// as such code (see CMakeLists.txt).
std::string ImageLibraryFile() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&FreeImage_GetVersion), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    return info.dli_fname;
}

}  // namespace kavenra
