#pragma once

// JPEG files as storage and transfers damage them, and with the oddities of sound files that
// cost no pixel, made from a sound file byte by byte.

#include <string>

#include "support/ImageFactory.h"

namespace kavenra::test {

// `jpeg` changed as `kind` says:
// - "marker in the data": 0xFF 0x37 a third into the first scan's data, where the decoder stops
//   (a premature end of the data segment) and meets a marker it does not know;
// - "zeroed sector": 512 bytes of zeros a third into the first scan's data;
// - "restarts out of order": the second restart marker numbered as the fifth;
// - "bytes before a restart": 16 bytes of 0x55 before the second restart marker;
// - "mixed bytes before the end": 16 bytes of several values before the end marker;
// - "padding before the end": 16 zero bytes before the end marker;
// - "bytes between headers": 3 bytes that are no marker before the frame header;
// - "unknown marker among headers": a JPG0 segment (0xFF 0xF0) before the frame header.
// Empty when `jpeg` lacks what the change needs (a scan, restart markers, a frame header).
Bytes DamagedJpeg(const Bytes& jpeg, const std::string& kind);

}  // namespace kavenra::test
