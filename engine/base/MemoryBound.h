#pragma once

// How much memory the program's conversions may hold, shared by the image worker (its address
// space) and its client (the budget every conversion reserves its share of before it starts).

#include <cstdint>

namespace kavenra {

// The bound for a machine (or cgroup) of `memoryBytes`: half of it, at least 512 MiB and at most
// 8 GiB. Every conversion that runs at a time together stays within it, so the program never
// claims more than half the machine for pictures however many lanes convert; 8 GiB holds a
// picture of about a thousand million pixels with its rescale, and keeps a picture whose header
// declares more (a few megabytes of PNG can declare 40000 x 40000) from taking most of a large
// machine.
std::uint64_t ConversionMemoryBoundFor(std::uint64_t memoryBytes);

// The bound for this machine: its memory or its cgroup's limit, whichever is lower, and no more
// than KAVENRA_IMAGE_WORKER_MEMORY_MB allows (the environment can only tighten it).
std::uint64_t ConversionMemoryBound();

}  // namespace kavenra
