#pragma once

// The request of a run started from the command line, `kavenra --resize ...`: the files and
// folders to convert, the size, where the outputs go and the options that differ from the user's
// stored ones. Read from the arguments alone, before anything is opened, so that a mistake in
// them is told at once and nothing has been converted.

#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <variant>

#include "engine/base/ConversionSettings.h"

namespace kavenra {

// The option that selects a run without a window.
inline constexpr char kResizeOption[] = "--resize";

struct CommandLineRequest {
    QStringList inputs;  // files and folders, as given

    // Exactly one way to state the size.
    std::optional<QSize> size;   // --size WxH
    std::optional<int> longest;  // --longest N
    bool keepRawSize = false;    // --keep-raw-size

    QString output;  // --output DIR; empty: the "RES" folder the window would propose

    // The options dialog's codes given on the command line; the others are the stored ones.
    std::optional<int> saveAs;          // --format same|jpeg|png|webp|tiff
    std::optional<int> filter;          // --filter box|bilinear|bspline|bicubic|catmull-rom|lanczos
    std::optional<int> jpegQuality;     // --jpeg-quality 1-5
    std::optional<int> pngCompression;  // --png-compression 1-4
    std::optional<int> bmpCompression;  // --bmp-compression 1-2
    std::optional<int> targaCompression;  // --tga-compression 1-2
    std::optional<int> tiffCompression;   // --tiff-compression 1-4
    std::optional<int> webpQuality;       // --webp-quality 1-100
    bool webpLossless = false;            // --webp-lossless
    bool noEnlarge = false;               // --no-enlarge
    bool fitWithin = false;               // --fit
    bool keepDates = false;               // --keep-dates
    bool recursive = false;               // --recursive
    bool stripLocation = false;           // --strip-location
    std::optional<int> sizeBudgetKb;      // --max-kb 1-1000000

    bool fast = false;           // --fast
    bool stopOnFailure = false;  // --stop-on-failure
    bool json = false;           // --json
    bool notify = false;         // --notify: the outcome also in a desktop notification
};

// Why the arguments ask for nothing that can run, in words for the user.
struct UsageError {
    std::string message;
};

// Reads the arguments that follow --resize. Options come as "--name value" or "--name=value", in
// any order among the inputs; "--" ends them, so that a file whose name starts with "-" can be
// named. An unknown option, a value out of range, no size or two ways of stating it, and no input
// are usage errors.
std::variant<CommandLineRequest, UsageError> ReadCommandLineRequest(const QStringList& arguments);

// The stored options with the ones the command line states put in their place.
FormatOptions WithRequestedOptions(const CommandLineRequest& request, FormatOptions stored);

// The usage text: every option, its values and what it does.
std::string CommandLineUsage();

}  // namespace kavenra
