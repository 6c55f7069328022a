#pragma once

// FreeImage's RLE8 writer ends an absolute run of odd length with a pad byte that keeps the codes
// on 16-bit boundaries, but skips over that byte in its buffer without writing it: the file holds
// whatever the buffer held there, so two saves of one picture differ.

#include <sys/types.h>

namespace kavenra {

// Sets to zero every pad byte of the RLE8 codes that run from `from` to `to` in the file open as
// `fd`, up to the end-of-picture code. False when a read or write fails.
bool ZeroRunPadding(int fd, off_t from, off_t to);

}  // namespace kavenra
