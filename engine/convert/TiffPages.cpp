#include "engine/convert/TiffPages.h"

#include "engine/metadata/Location.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "engine/base/Sizing.h"
#include "engine/convert/ResampleFilter.h"
#include "engine/formats/FreeImageBitmap.h"
#include "engine/metadata/Metadata.h"

namespace kavenra {
namespace {

unsigned ReadFrom(void* buffer, unsigned size, unsigned count, fi_handle handle) {
    return static_cast<unsigned>(std::fread(buffer, size, count, static_cast<std::FILE*>(handle)));
}
unsigned WriteNothing(void*, unsigned, unsigned, fi_handle) {
    return 0;
}
int SeekIn(fi_handle handle, long offset, int origin) {
    return std::fseek(static_cast<std::FILE*>(handle), offset, origin);
}
long TellIn(fi_handle handle) {
    return std::ftell(static_cast<std::FILE*>(handle));
}

FreeImageIO ReadingIo() {
    return FreeImageIO{ReadFrom, WriteNothing, SeekIn, TellIn};
}

// A page locked out of a multi-page bitmap, unlocked unchanged when it goes out of scope.
class LockedPage {
  public:
    LockedPage(FIMULTIBITMAP* pages, int page)
        : pages_(pages), bitmap_(FreeImage_LockPage(pages, page)) {}
    LockedPage(const LockedPage&) = delete;
    LockedPage& operator=(const LockedPage&) = delete;
    ~LockedPage() {
        if (bitmap_ != nullptr) FreeImage_UnlockPage(pages_, bitmap_, FALSE);
    }
    FIBITMAP* get() const { return bitmap_; }

  private:
    FIMULTIBITMAP* pages_;
    FIBITMAP* bitmap_;
};

struct MultiBitmapCloser {
    void operator()(FIMULTIBITMAP* pages) const noexcept { FreeImage_CloseMultiBitmap(pages, 0); }
};
using MultiBitmap = std::unique_ptr<FIMULTIBITMAP, MultiBitmapCloser>;

MultiBitmap OpenPages(std::FILE* file, int flags) {
    FreeImageIO io = ReadingIo();
    if (std::fseek(file, 0, SEEK_SET) != 0) return nullptr;
    return MultiBitmap(FreeImage_OpenMultiBitmapFromHandle(FreeImageFormatOf(ImageFormat::Tiff),
                                                           &io, file, flags));
}

// The page's size under the job's rule, as the first page's: the loaded size where the job keeps
// it, else the target the request gives the page's own shape.
std::optional<TargetSize> PageTarget(FIBITMAP& page, const ConversionJob& job) {
    const int width = static_cast<int>(FreeImage_GetWidth(&page));
    const int height = static_cast<int>(FreeImage_GetHeight(&page));
    if (OptionsOf(job).keepDimensions) return TargetSize{width, height};
    return TargetSizeFor(job, SourceSize{width, height});
}

}  // namespace

int TiffPageCount(const std::vector<unsigned char>& file) {
    FIMEMORY* memory = FreeImage_OpenMemory(const_cast<unsigned char*>(file.data()),
                                            static_cast<DWORD>(file.size()));
    if (memory == nullptr) return 0;
    int count = 0;
    if (FIMULTIBITMAP* pages =
            FreeImage_LoadMultiBitmapFromMemory(FreeImageFormatOf(ImageFormat::Tiff), memory, 0)) {
        count = FreeImage_GetPageCount(pages);
        FreeImage_CloseMultiBitmap(pages, 0);
    }
    FreeImage_CloseMemory(memory);
    return count;
}

TiffPages::TiffPages(std::FILE* file, int count) : file_(file), count_(count) {}

TiffPages::~TiffPages() {
    std::fclose(file_);
}

std::unique_ptr<TiffPages> TiffPages::Open(const SourceFile& source) {
    std::FILE* file = std::fopen(source.path().c_str(), "rb");
    if (file == nullptr) return nullptr;
    const int count = [file] {
        const MultiBitmap pages = OpenPages(file, 0);
        return pages ? FreeImage_GetPageCount(pages.get()) : 0;
    }();
    if (count <= 1) {
        std::fclose(file);
        return nullptr;
    }
    return std::unique_ptr<TiffPages>(new TiffPages(file, count));
}

std::uint64_t TiffPages::footprint(const ConversionJob& job) const {
    const MultiBitmap headers = OpenPages(file_, kHeaderOnlyLoad);
    if (!headers) return 0;
    std::uint64_t first = 0;
    std::uint64_t most = 0;
    for (int page = 0; page < count_; ++page) {
        const LockedPage header(headers.get(), page);
        if (header.get() == nullptr) continue;
        const DeclaredImage declared{
            FreeImage_GetWidth(header.get()), FreeImage_GetHeight(header.get()),
            FreeImage_GetBPP(header.get()), FreeImage_GetImageType(header.get())};
        const std::uint64_t footprint = ConversionFootprint(ImageFormat::Tiff, declared, job);
        if (page == 0) first = footprint;
        const std::uint64_t held = page == 0 ? footprint : first + footprint;
        // Beyond 64 bits is beyond any limit.
        if (held < footprint) return UINT64_MAX;
        most = std::max(most, held);
    }
    return most;
}

Admission TiffPages::admit(const ConversionJob& job, const ConversionLimits& limits) const {
    if (limits.memoryBytes == 0) return Admission::Admitted;
    return footprint(job) > limits.memoryBytes ? Admission::TooLarge : Admission::Admitted;
}

bool TiffPages::write(FIBITMAP& first, const ConversionJob& job, FreeImageIO& io, fi_handle handle,
                      int flags) {
    failure_ = FailureReason::None;
    const MultiBitmap pages = OpenPages(file_, 0);
    if (!pages || FreeImage_GetPageCount(pages.get()) != count_) return false;
    // The converted pages go after the file's own, which are then taken out: FreeImage keeps the
    // appended ones in memory, compressed, and decodes them one at a time as it writes.
    FreeImage_AppendPage(pages.get(), &first);
    const FREE_IMAGE_FILTER filter = FreeImageFilterOf(OptionsOf(job).filter);
    for (int page = 1; page < count_; ++page) {
        BitmapHandle rescaled;
        {
            const LockedPage loaded(pages.get(), page);
            if (loaded.get() == nullptr) {
                failure_ = FailureReason::Unsupported;
                return false;
            }
            const std::optional<TargetSize> size = PageTarget(*loaded.get(), job);
            if (!size) {
                failure_ = FailureReason::Unsupported;
                return false;
            }
            rescaled.reset(FreeImage_Rescale(loaded.get(), size->width, size->height, filter));
            if (!rescaled) {
                const bool sized = size->width > 0 && size->height > 0;
                failure_ = sized ? FailureReason::TooLarge : FailureReason::Unsupported;
                return false;
            }
        }
        // The rescale carries the page's own metadata, which the file's writer saves with it.
        DropMalformedMetadata(*rescaled);
        if (OptionsOf(job).removeLocation) DropLocation(*rescaled);
        FreeImage_AppendPage(pages.get(), rescaled.get());
    }
    for (int page = 0; page < count_; ++page) FreeImage_DeletePage(pages.get(), 0);
    if (FreeImage_GetPageCount(pages.get()) != count_) return false;
    return FreeImage_SaveMultiBitmapToHandle(FreeImageFormatOf(ImageFormat::Tiff), pages.get(), &io,
                                             handle, flags) == TRUE;
}

}  // namespace kavenra
