#include "engine/formats/Codecs.h"

namespace kavenra {

// Camera RAW files, each camera maker's own kind; FreeImage reads their embedded preview (or
// develops the sensor's data where there is none) through LibRaw. Written as JPEG. The file
// name extensions are the options window's list of camera formats, which names each maker's.
Codec RawCodec() {
    Codec codec;
    codec.format = ImageFormat::Raw;
    codec.name = "camera RAW";
    codec.freeImage = FIF_RAW;
    codec.offered = true;
    codec.mimeTypes = {"image/x-dcraw",        "image/x-adobe-dng",   "image/x-canon-cr2",
                       "image/x-canon-crw",    "image/x-canon-cr3",   "image/x-nikon-nef",
                       "image/x-nikon-nrw",    "image/x-sony-arw",    "image/x-sony-sr2",
                       "image/x-sony-srf",     "image/x-olympus-orf", "image/x-panasonic-rw2",
                       "image/x-panasonic-rw", "image/x-pentax-pef",  "image/x-fuji-raf",
                       "image/x-minolta-mrw",  "image/x-kodak-dcr",   "image/x-kodak-k25",
                       "image/x-kodak-kdc"};
    codec.loadFlags = RAW_PREVIEW;
    return codec;
}

}  // namespace kavenra
