#pragma once

// What a conversion takes from the windows besides its paths and sizes: the options dialog's six
// codes and the main window's RAW switch. The run reads them with the other controls at each
// file's tick and sends them with the file, so a change made in the options dialog or to the
// switch while a file converts applies from the next file on.

namespace kavenra {

// The options dialog's six codes, named like the columns of `configuracion`.
struct FormatOptions {
    int filtro_redimension = 5;  // 1..6
    int jpeg = 5;                // 1..5
    int png = 3;                 // 1..4
    int bmp = 2;                 // 1..2
    int tga = 2;                 // 1..2
    int tif = 4;                 // 1..4

    friend bool operator==(const FormatOptions& a, const FormatOptions& b) {
        return a.filtro_redimension == b.filtro_redimension && a.jpeg == b.jpeg && a.png == b.png &&
               a.bmp == b.bmp && a.tga == b.tga && a.tif == b.tif;
    }
    friend bool operator!=(const FormatOptions& a, const FormatOptions& b) { return !(a == b); }
};

struct ConversionSettings {
    FormatOptions codes;
    // The main window's "keep RAW dimensions" check box: every bitmap keeps its loaded size.
    bool keepDimensions = false;

    friend bool operator==(const ConversionSettings& a, const ConversionSettings& b) {
        return a.codes == b.codes && a.keepDimensions == b.keepDimensions;
    }
    friend bool operator!=(const ConversionSettings& a, const ConversionSettings& b) {
        return !(a == b);
    }
};

}  // namespace kavenra
