#include "engine/imaging/ImageLibrary.h"

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

// Asked by name rather than through the function's address: in a program built without
// position-independent code that address is a stub inside the program itself.
std::string ImageLibraryFile() {
    void* symbol = dlsym(RTLD_DEFAULT, "FreeImage_GetVersion");
    if (!symbol) symbol = reinterpret_cast<void*>(&FreeImage_GetVersion);
    Dl_info info{};
    if (dladdr(symbol, &info) == 0 || info.dli_fname == nullptr) return {};
    return info.dli_fname;
}

}  // namespace kavenra
