#include "engine/formats/jpeg/JpegDamage.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <memory>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

namespace kavenra {
namespace {

constexpr std::size_t kBlockBytes = 64 * 1024;
const JOCTET kEndOfImage[] = {0xFF, JPEG_EOI};

// The file handed to libjpeg a block at a time, knowing where in the file each byte lies.
struct FileSource {
    jpeg_source_mgr pub{};
    int descriptor = -1;
    std::uint64_t loadedEnd = 0;  // the file offset just past the bytes read so far
    std::array<JOCTET, kBlockBytes> block{};

    // The file offset of the next byte libjpeg takes.
    std::uint64_t position() const { return loadedEnd - pub.bytes_in_buffer; }
};

FileSource& SourceOf(j_decompress_ptr decoder) {
    return *reinterpret_cast<FileSource*>(decoder->src);
}

void StartReading(j_decompress_ptr) {}
void StopReading(j_decompress_ptr) {}

boolean FillBlock(j_decompress_ptr decoder) {
    FileSource& source = SourceOf(decoder);
    ssize_t got = 0;
    do {
        got = read(source.descriptor, source.block.data(), source.block.size());
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        // As libjpeg's own sources do: the file's end warned of, and an end marker to stop at.
        WARNMS(decoder, JWRN_JPEG_EOF);
        source.pub.next_input_byte = kEndOfImage;
        source.pub.bytes_in_buffer = sizeof kEndOfImage;
        return TRUE;
    }
    source.loadedEnd += static_cast<std::uint64_t>(got);
    source.pub.next_input_byte = source.block.data();
    source.pub.bytes_in_buffer = static_cast<std::size_t>(got);
    return TRUE;
}

void SkipBytes(j_decompress_ptr decoder, long count) {
    if (count <= 0) return;
    FileSource& source = SourceOf(decoder);
    auto remaining = static_cast<std::size_t>(count);
    while (remaining > source.pub.bytes_in_buffer) {
        remaining -= source.pub.bytes_in_buffer;
        FillBlock(decoder);
    }
    source.pub.next_input_byte += remaining;
    source.pub.bytes_in_buffer -= remaining;
}

// True when the `count` bytes before `end` in the file are all one value: what encoders pad a
// scan's data with, where coded bytes the decoder lost its place in vary.
bool IsPadding(int descriptor, std::uint64_t end, std::uint64_t count) {
    if (count == 0 || count > end) return false;
    std::array<unsigned char, 4096> bytes{};
    std::uint64_t at = end - count;
    int value = -1;
    while (at < end) {
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), end - at));
        ssize_t got = 0;
        do {
            got = pread(descriptor, bytes.data(), wanted, static_cast<off_t>(at));
        } while (got < 0 && errno == EINTR);
        if (got <= 0) return false;
        for (ssize_t i = 0; i < got; ++i) {
            if (value < 0) value = bytes[static_cast<std::size_t>(i)];
            if (bytes[static_cast<std::size_t>(i)] != value) return false;
        }
        at += static_cast<std::uint64_t>(got);
    }
    return true;
}

bool IsRestartMarker(int marker) {
    return marker >= JPEG_RST0 && marker <= JPEG_RST0 + 7;
}

struct Verdict {
    jpeg_error_mgr pub{};
    std::jmp_buf leave{};
    FileSource* source = nullptr;
    bool inPictureData = false;  // the headers before the first scan are read
    FailureReason found = FailureReason::None;
};

Verdict& VerdictOf(j_common_ptr decoder) {
    return *reinterpret_cast<Verdict*>(decoder->err);
}

bool CostsPixels(const Verdict& verdict, int code, const int* parameters) {
    switch (code) {
        case JWRN_HIT_MARKER:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_ARITH_BAD_CODE:
        case JWRN_MUST_RESYNC:
        case JWRN_BOGUS_PROGRESSION:
        case JWRN_JPEG_EOF:
            return true;
        case JWRN_EXTRANEOUS_DATA:
            // The decoder stopped short of the bytes before a marker: nothing of the picture
            // between the headers' segments; within the picture data, coded bytes it lost its
            // place in, unless an encoder padded there. A restart interval holds no padding.
            // libjpeg counts them back from where it stands, at the marker's first byte.
            if (!verdict.inPictureData) return false;
            return IsRestartMarker(parameters[1]) ||
                   !IsPadding(verdict.source->descriptor, verdict.source->position(),
                              static_cast<unsigned>(parameters[0]));
        default:
            return false;
    }
}

void HearWarning(j_common_ptr decoder, int level) {
    if (level >= 0) return;  // a trace message
    Verdict& verdict = VerdictOf(decoder);
    if (!CostsPixels(verdict, decoder->err->msg_code, decoder->err->msg_parm.i)) return;
    verdict.found = FailureReason::Damaged;
    std::longjmp(verdict.leave, 1);
}

void HearError(j_common_ptr decoder) {
    Verdict& verdict = VerdictOf(decoder);
    const int code = decoder->err->msg_code;
    // FreeImage's loader reads on past a marker it does not know; among the headers it holds no
    // part of the picture.
    if (code == JERR_UNKNOWN_MARKER && !verdict.inPictureData) return;
    verdict.found = code == JERR_OUT_OF_MEMORY ? FailureReason::TooLarge : FailureReason::Damaged;
    std::longjmp(verdict.leave, 1);
}

void SayNothing(j_common_ptr) {}

// Everything one check holds, with libjpeg's state, in one block that a jump out of libjpeg
// leaves as it is.
struct DamageCheck {
    jpeg_decompress_struct decoder{};
    Verdict verdict;
    FileSource source;
};

FailureReason Decode(DamageCheck& check) {
    jpeg_decompress_struct& decoder = check.decoder;
    decoder.err = jpeg_std_error(&check.verdict.pub);
    check.verdict.pub.emit_message = HearWarning;
    check.verdict.pub.error_exit = HearError;
    check.verdict.pub.output_message = SayNothing;
    check.verdict.source = &check.source;
    if (setjmp(check.verdict.leave) != 0) {
        jpeg_destroy_decompress(&decoder);
        return check.verdict.found;
    }
    jpeg_create_decompress(&decoder);
    check.source.pub.init_source = StartReading;
    check.source.pub.fill_input_buffer = FillBlock;
    check.source.pub.skip_input_data = SkipBytes;
    check.source.pub.resync_to_restart = jpeg_resync_to_restart;
    check.source.pub.term_source = StopReading;
    decoder.src = &check.source.pub;
    jpeg_read_header(&decoder, TRUE);
    check.verdict.inPictureData = true;
    // Every coefficient is decoded whatever the scale; at 1/8 each block makes one pixel, and a
    // colour picture's grey is its luma alone.
    decoder.scale_num = 1;
    decoder.scale_denom = 8;
    decoder.dct_method = JDCT_IFAST;
    decoder.do_fancy_upsampling = FALSE;
    decoder.do_block_smoothing = FALSE;
    if (decoder.jpeg_color_space == JCS_YCbCr || decoder.jpeg_color_space == JCS_GRAYSCALE) {
        decoder.out_color_space = JCS_GRAYSCALE;
    }
    jpeg_start_decompress(&decoder);
    const JSAMPARRAY row = (*decoder.mem->alloc_sarray)(
        reinterpret_cast<j_common_ptr>(&decoder), JPOOL_IMAGE,
        decoder.output_width * static_cast<JDIMENSION>(decoder.output_components), 1);
    while (decoder.output_scanline < decoder.output_height) {
        jpeg_read_scanlines(&decoder, row, 1);
    }
    // On to the end marker: a scan's leftover bytes show only there.
    jpeg_finish_decompress(&decoder);
    jpeg_destroy_decompress(&decoder);
    return FailureReason::None;
}

struct DescriptorCloser {
    int descriptor;
    ~DescriptorCloser() {
        if (descriptor >= 0) close(descriptor);
    }
};

}  // namespace

FailureReason CheckJpegPictureData(const std::string& path) {
    const DescriptorCloser file{open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY)};
    // The file loaded a moment ago; gone now, it tells nothing of its data.
    if (file.descriptor < 0) return FailureReason::None;
    const auto check = std::make_unique<DamageCheck>();
    check->source.descriptor = file.descriptor;
    return Decode(*check);
}

}  // namespace kavenra
