#include "engine/convert/ConversionEstimate.h"

#include <algorithm>
#include <memory>

#include "engine/convert/ImageAdmission.h"
#include "engine/convert/ImageConversion.h"
#include "engine/convert/TiffPages.h"
#include "engine/formats/SourceFile.h"
#include "engine/formats/bmp/ExtendedBmp.h"

namespace kavenra {

std::optional<std::uint64_t> EstimateConversionMemory(const ConversionJob& job) {
    const std::optional<SourceFile> source = SourceFile::Open(job.request.source);
    if (!source) return 0;
    const ImageFormat format = DetectOpenedFileFormat(*source);
    if (format == ImageFormat::Unknown || !PassesStructuralChecks(format, source->path())) return 0;
    std::optional<DeclaredImage> declared = ReadDeclaredImage(format, source->path());
    // The BMP headers FreeImage's own header read refuses, as the conversion reads them.
    if (!declared && format == ImageFormat::Bmp) declared = ReadExtendedBmpDeclaration(*source);
    if (!declared) return std::nullopt;
    ConversionJob opened = job;
    opened.request.source = source->path();
    const std::uint64_t picture = ConversionFootprint(format, *declared, opened);
    // A multi-page TIFF holds its first page beside each further one.
    if (format == ImageFormat::Tiff) {
        if (const std::unique_ptr<TiffPages> pages = TiffPages::Open(*source)) {
            return std::max(picture, pages->footprint(opened));
        }
    }
    return picture;
}

}  // namespace kavenra
