#pragma once

// What one conversion is asked to do and what it leaves for the program to commit, as plain
// values: the window builds them and the worker's messages carry them, without anything of the
// image library.

#include <cstdint>
#include <string>

#include "engine/base/ConversionOptions.h"

namespace kavenra {

// How the target size is stated.
enum class SizingMode : std::uint8_t {
    ExplicitSize,  // width x height as given
    LongestSide,   // the longer side becomes L, the other follows the picture's aspect ratio
};

struct ConversionRequest {
    std::string source;  // path of the input, 8-bit text handed to FreeImage as it is
    // Path of the output; an output in another format than the input's is written beside it under
    // that format's extension (a RAW input as ".jpg").
    std::string destination;
    SizingMode mode = SizingMode::ExplicitSize;
    std::int32_t width = 0;        // explicit size only
    std::int32_t height = 0;       // explicit size only
    std::int32_t longestSide = 0;  // longest side only

    friend bool operator==(const ConversionRequest& a, const ConversionRequest& b) {
        return a.source == b.source && a.destination == b.destination && a.mode == b.mode &&
               a.width == b.width && a.height == b.height && a.longestSide == b.longestSide;
    }
};

// Why a conversion failed, as far as the step that failed can tell; None when it cannot.
enum class FailureReason : std::uint8_t {
    None,
    Unsupported,           // not a picture the program reads, or a damaged one
    TooLarge,              // needs more memory than the conversion may use
    TookTooLong,           // stopped at its time limit
    NotWritable,           // the output may not be written where it goes
    DiskFull,              // no room for the output, or beyond the file-size limit
    SourceGone,            // the input was removed or replaced since it was listed
    Incomplete,            // the file's data ends before the picture it declares
    Unreadable,            // the input exists but may not be read (permission)
    DestinationNotFolder,  // the destination names something that is not a folder
    OutputNameTaken,    // the output name is held by a folder, a device or a FIFO, or a link to one
    ReplacesSource,     // the output would be written over a file that is an input of the same run
    Damaged,            // the picture's data is corrupt: its decoder reported an error mid-way
    TooLargeForFormat,  // the output's size is beyond what its format can hold
    PathTooLong,        // the output's path or one of its names is longer than the system allows
};
constexpr std::uint8_t kLastFailureReason = static_cast<std::uint8_t>(FailureReason::PathTooLong);

// The reason a failed file operation's errno stands for: permissions and read-only file systems,
// a full disk or quota or a file-size limit, a missing file; None for anything else.
FailureReason FailureReasonForErrno(int error);

// Everything one conversion depends on, taken at once.
struct ConversionJob {
    ConversionRequest request;
    ConversionOptions options;

    friend bool operator==(const ConversionJob& a, const ConversionJob& b) {
        return a.request == b.request && a.options == b.options;
    }
    friend bool operator!=(const ConversionJob& a, const ConversionJob& b) { return !(a == b); }
};

// The options the job converts with, in real units: the one way the engine reads a choice.
inline const ConversionOptions& OptionsOf(const ConversionJob& job) {
    return job.options;
}

// A saved picture, complete and verified under a hidden temporary name in the folder of the file
// it is to replace or become; CommitPreparedOutput gives it that file's name. Until then nothing
// under a final name has changed.
struct PreparedOutput {
    std::string temporaryPath;
    std::string destination;  // the path the save was asked for
    std::string targetPath;   // the name the output is committed under: `destination`, a link not
                              // followed, unless the run gives it another (a numbered name)
    // A size budget even the lowest quality could not meet: written at that quality all the same.
    bool overBudget = false;
    // Its content is on the disk already (FlushPreparedOutput): the commit need not wait for it.
    bool flushed = false;
};

}  // namespace kavenra
