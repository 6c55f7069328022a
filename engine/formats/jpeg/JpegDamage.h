#pragma once

// Whether a JPEG file's picture data is damaged. libjpeg takes corrupt entropy-coded data for
// data: it warns (a premature end of a data segment, a bad Huffman code, a marker where a restart
// should be...), decodes what follows as best it can, grey where nothing is left, and FreeImage
// hands over that bitmap as if nothing had happened. FreeImage passes the decoder's first warning
// on to its message handler only, so a load that heard anything is decoded once more here, where
// every warning is seen, to tell damage from a warning that costs no pixel.

#include <string>

#include "engine/base/ConversionJob.h"

namespace kavenra {

// Hears, while it lives, the messages FreeImage's JPEG loader passes on from libjpeg on this
// thread (one watch at a time per thread). It installs the program's FreeImage message handler,
// which no other part of the program replaces.
class JpegMessageWatch {
  public:
    JpegMessageWatch();
    JpegMessageWatch(const JpegMessageWatch&) = delete;
    JpegMessageWatch& operator=(const JpegMessageWatch&) = delete;
    ~JpegMessageWatch();

    // True when a JPEG load since the watch began passed a message on.
    bool heardAny() const;
};

// What decoding the JPEG file at `path` (at 1/8 scale: every coefficient is still decoded, few
// pixels made) tells of its picture data: Damaged when the decoder met data it could not decode
// as it stands (a premature end of a data segment, a bad Huffman or arithmetic code, a marker in
// place of a restart, an inconsistent progression, the file's end, a marker it does not know
// among the picture data, bytes passed over before a restart marker or coded bytes passed over
// after a scan); TooLarge when it had no memory for it; None otherwise. Warnings that cost no
// pixel are no damage: bytes passed over between the headers' segments, an encoder's padding of
// one value repeated after a scan's data, an unknown marker among the headers (FreeImage's loader
// reads on past it), an unknown JFIF version, a thumbnail's size, an ICC segment.
FailureReason CheckJpegPictureData(const std::string& path);

}  // namespace kavenra
