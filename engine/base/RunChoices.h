#pragma once

// Every choice the options dialog holds: the ones each conversion acts on, and the run's own,
// which stay with the program and never reach a conversion.

#include "engine/base/ConversionOptions.h"

namespace kavenra {

struct RunChoices {
    ConversionOptions conversion;
    bool keepDates = false;          // each committed output gets its source's modification time
    bool includeSubfolders = false;  // a folder brings the pictures of its subfolders too

    friend bool operator==(const RunChoices& a, const RunChoices& b) {
        return a.conversion == b.conversion && a.keepDates == b.keepDates &&
               a.includeSubfolders == b.includeSubfolders;
    }
    friend bool operator!=(const RunChoices& a, const RunChoices& b) { return !(a == b); }
};

}  // namespace kavenra
