#include "engine/imaging/ConversionEstimate.h"

#include <algorithm>
#include <memory>

#include "engine/imaging/ExtendedBmp.h"
#include "engine/imaging/ImageAdmission.h"
#include "engine/imaging/ImageConversion.h"
#include "engine/imaging/SourceFile.h"
#include "engine/imaging/TiffPages.h"

namespace kavenra {

std::optional<std::uint64_t> EstimateConversionMemory(const ConversionJob& job) {
    const std::optional<SourceFile> source = SourceFile::Open(job.request.source);
    if (!source) return 0;
    const FREE_IMAGE_FORMAT format = DetectOpenedFileFormat(*source);
    if (format == FIF_UNKNOWN || !PassesStructuralChecks(format, source->path())) return 0;
    std::optional<DeclaredImage> declared = ReadDeclaredImage(format, source->path());
    // The BMP headers FreeImage's own header read refuses, as the conversion reads them.
    if (!declared && format == FIF_BMP) declared = ReadExtendedBmpDeclaration(*source);
    if (!declared) return std::nullopt;
    ConversionJob opened = job;
    opened.request.source = source->path();
    const std::uint64_t picture = ConversionFootprint(format, *declared, opened);
    // A multi-page TIFF holds its first page beside each further one.
    if (format == FIF_TIFF) {
        if (const std::unique_ptr<TiffPages> pages = TiffPages::Open(*source)) {
            return std::max(picture, pages->footprint(opened));
        }
    }
    return picture;
}

}  // namespace kavenra
