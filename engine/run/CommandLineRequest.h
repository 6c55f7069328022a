#pragma once

// The request of a run started from the command line, `kavenra --resize ...`: the files and
// folders to convert, the size, where the outputs go and the options that differ from the user's
// stored ones. Read from the arguments alone, before anything is opened, so that a mistake in
// them is told at once and nothing has been converted.

#include <QByteArray>
#include <QByteArrayList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <variant>

#include "engine/base/ConversionOptions.h"
#include "engine/base/RunChoices.h"

namespace kavenra {

// The option that selects a run without a window.
inline constexpr char kResizeOption[] = "--resize";

struct CommandLineRequest {
    QByteArrayList inputs;  // files and folders, as given: bytes, as the system passed them

    // Exactly one way to state the size.
    std::optional<QSize> size;   // --size WxH
    std::optional<int> longest;  // --longest N
    bool keepRawSize = false;    // --keep-raw-size

    QByteArray output;  // --output DIR; empty: the "RES" folder the window would propose

    // The options given on the command line, in real units; the others are the stored ones.
    std::optional<OutputChoice> saveAs;  // --format same|jpeg|png|webp|tiff (or jpg, tif)
    std::optional<ResizeFilter>
        filter;                        // --filter box|bilinear|bspline|bicubic|catmull-rom|lanczos
    std::optional<int> jpegQuality;    // --jpeg-quality 1-5: 10, 25, 50, 75 or 100
    std::optional<int> pngLevel;       // --png-compression 1-4: zlib level 1, 6, 9 or 0
    std::optional<bool> bmpRunLength;  // --bmp-compression 1-2: 2 run-length encoded
    std::optional<bool> targaRunLength;              // --tga-compression 1-2: 2 run-length encoded
    std::optional<TiffCompression> tiffCompression;  // --tiff-compression 1-4
    std::optional<int> webpQuality;                  // --webp-quality 1-100
    bool webpLossless = false;                       // --webp-lossless
    bool noEnlarge = false;                          // --no-enlarge
    bool fitWithin = false;                          // --fit
    bool keepDates = false;                          // --keep-dates
    bool recursive = false;                          // --recursive
    bool stripLocation = false;                      // --strip-location
    std::optional<std::uint64_t> sizeBudgetBytes;    // --max-kb 1-1000000, in bytes

    bool fast = false;           // --fast
    bool stopOnFailure = false;  // --stop-on-failure
    bool json = false;           // --json
    bool notify = false;         // --notify: the outcome also in a desktop notification
};

// Why the arguments ask for nothing that can run, in words for the user.
struct UsageError {
    std::string message;
};

// Reads the arguments that follow --resize, as the system passed them. Options come as
// "--name value" or "--name=value", in any order among the inputs; "--" ends them, so that a file
// whose name starts with "-" can be named. Names of formats and filters are read in any case. An
// unknown option (with the option meant, when it looks like a mistyped one), a value out of range,
// no size or two ways of stating it, and no input are usage errors.
std::variant<CommandLineRequest, UsageError> ReadCommandLineRequest(
    const QByteArrayList& arguments);

// The same with arguments given as text, each taken as its UTF-8 bytes.
std::variant<CommandLineRequest, UsageError> ReadCommandLineText(const QStringList& arguments);

// The options ReadCommandLineRequest knows, "--size" to "--notify" and "--".
QStringList ResizeOptionNames();

// The option among `known` that `typed` (its name alone, without "=value") most likely meant: a
// slip of one or two letters, or the start of exactly one of them; empty when none is close.
QString NearestOption(const QString& typed, const QStringList& known);

// The stored conversion options with the ones the command line states put in their place; the
// camera RAW size switch as the request gives it.
ConversionOptions WithRequestedOptions(const CommandLineRequest& request, ConversionOptions stored);

// Every stored choice with the request's in place: its options, and its --keep-dates and
// --recursive switched on over the stored ones.
RunChoices WithRequestedChoices(const CommandLineRequest& request, RunChoices stored);

// The line that follows every usage error, instead of the whole usage.
inline constexpr char kResizeHelpHint[] = "Try 'kavenra --resize --help' for more information.";

// The usage text: every option, its values and what it does.
std::string CommandLineUsage();

}  // namespace kavenra
