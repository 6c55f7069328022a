#pragma once

// The pages of a multi-page TIFF file. FreeImage's plain load reads the first page alone, and a
// save of that page leaves every other behind without a word; these are read one at a time
// through FreeImage's multi-page interface, each rescaled under the same size rule as the first
// (from its own shape), and written after the first into one output file.

#include <FreeImage.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/base/ConversionJob.h"
#include "engine/convert/ImageAdmission.h"
#include "engine/formats/SourceFile.h"

namespace kavenra {

// The pages of a TIFF file held in memory; 0 when FreeImage cannot open it as pages.
int TiffPageCount(const std::vector<unsigned char>& file);

class TiffPages {
  public:
    // The TIFF file's pages when it has more than one; empty for a single page and for a file
    // FreeImage cannot open as pages (the plain load decides about it).
    static std::unique_ptr<TiffPages> Open(const SourceFile& source);

    TiffPages(const TiffPages&) = delete;
    TiffPages& operator=(const TiffPages&) = delete;
    ~TiffPages();

    int count() const { return count_; }

    // Every page's declared size against the limits, as AdmitForLoading judges one picture,
    // each page beside the first, which stays loaded while the others are converted. A page
    // whose header cannot be read is left to its load.
    Admission admit(const ConversionJob& job, const ConversionLimits& limits) const;

    // The most the conversion holds at once by the pages' headers: the first page's footprint
    // beside the largest of any further page's (ConversionFootprint); what a conversion reserves
    // of the memory conversions share before it starts.
    std::uint64_t footprint(const ConversionJob& job) const;

    // Writes `first`, the first page as converted, then every further page, loaded and rescaled
    // one at a time as `job` says, into one TIFF file with `flags` through `io`. False when a
    // page fails to load or rescale (failure() tells why) or FreeImage's writer fails. A further
    // page carries no colour profile or metadata: FreeImage reads those of the first page alone.
    bool write(FIBITMAP& first, const ConversionJob& job, FreeImageIO& io, fi_handle handle,
               int flags);

    FailureReason failure() const { return failure_; }

  private:
    TiffPages(std::FILE* file, int count);

    std::FILE* file_;
    int count_;
    FailureReason failure_ = FailureReason::None;
};

}  // namespace kavenra
