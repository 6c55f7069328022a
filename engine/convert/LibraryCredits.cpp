// Apart from ImageLibrary.cpp: LibRaw's header and FreeImage's declare the same integer types
// differently, so no unit can include both.
#include "engine/convert/LibraryCredits.h"

#include "engine/formats/ImageLibrary.h"

#include <lcms2.h>
#include <libheif/heif.h>
#include <libraw/libraw.h>

#include <exiv2/version.hpp>

namespace kavenra {

namespace {

// Little CMS encodes its version as major * 1000 + minor * 10, e.g. 2140 for 2.14.
std::string LittleCmsVersion() {
    const int encoded = cmsGetEncodedCMMversion();
    return std::to_string(encoded / 1000) + "." + std::to_string(encoded % 1000 / 10);
}

std::string Text(const char* text) {
    return text ? text : "";
}

}  // namespace

std::vector<LibraryCredit> ImageLibraryCredits() {
    return {
        {"FreeImage", ImageLibraryVersion(), "GPL-2.0-only OR GPL-3.0-only OR FreeImage"},
        {"Exiv2", Exiv2::versionString(), "GPL-2.0-or-later"},
        {"Little CMS", LittleCmsVersion(), "MIT"},
        {"libheif", Text(heif_get_version()), "LGPL-3.0-or-later"},
        {"LibRaw", Text(libraw_version()), "LGPL-2.1-only OR CDDL-1.0"},
    };
}

}  // namespace kavenra
