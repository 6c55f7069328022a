#pragma once

// The codecs' rows, each made in its own folder; only the registry (Codec.cpp) lists them.

#include <vector>

#include "engine/formats/Codec.h"

namespace kavenra {

Codec BmpCodec();
Codec JpegCodec();
Codec PngCodec();
Codec TargaCodec();
Codec TiffCodec();
Codec WebpCodec();
Codec HeifCodec();
Codec AvifCodec();
Codec RawCodec();
std::vector<Codec> OtherCodecs();

}  // namespace kavenra
