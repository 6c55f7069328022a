#pragma once

// What a conversion will hold in memory, known before it starts: the image worker's client
// reserves that much of the memory all conversions share (engine/isolation/ImageWorker.h) and
// only then sends the conversion.

#include <cstdint>
#include <optional>

#include "engine/base/ConversionJob.h"

namespace kavenra {

// ConversionFootprint of the picture the job's source declares, read from its header as
// AdmitForLoading reads it: 0 for a file the conversion refuses before loading a pixel (no
// picture it reads, or one that fails the structural checks, or no regular file); empty when
// the header tells nothing, so that only the full load would. A JPEG that fast decoding loads
// at a reduced scale holds less than this full-size figure, which still bounds it.
std::optional<std::uint64_t> EstimateConversionMemory(const ConversionJob& job);

}  // namespace kavenra
