#pragma once

// The one mapping between the row of `configuracion` that the options dialog stores and the
// choices a run makes with it. The columns and their codes stay as users' files have them; each
// column's range and initial value are stated once here, for the dialog and the command line
// alike.

#include <sqlite3.h>

#include <string>

#include "engine/base/OptionsFromCodes.h"
#include "engine/base/RunChoices.h"

namespace kavenra {

// The options dialog's codes, named like the columns of `configuracion`.
struct FormatOptions {
    int filtro_redimension = 5;  // 1..6
    int jpeg = 5;                // 1..5
    int png = 3;                 // 1..4
    int bmp = 2;                 // 1..2
    int tga = 2;                 // 1..2
    int tif = 4;                 // 1..4
    int guardar_como = 0;        // "Save as", 0..4
    int webp = 80;               // WebP quality, 1..100
    int webp_sin_perdida = 0;    // 1: WebP without loss (the quality is then not read)
    // 1: a JPEG shrunk to at most half its size is decoded at 1/2, 1/4 or 1/8 scale; anything
    // else decodes every pixel.
    int decodificacion_rapida = 0;
    int no_ampliar = 0;           // 1: a picture already within the target keeps its size
    int ajustar_dentro = 0;       // 1: width x height is a box the picture fits in, in proportion
    int conservar_fechas = 0;     // 1: each committed output gets its source's modification time
    int incluir_subcarpetas = 0;  // 1: folders are listed with their subfolders
    int quitar_ubicacion = 0;     // 1: the output carries no GPS position
    int limite_kb = 0;            // a JPEG or WebP output's size budget in KB; 0: none

    friend bool operator==(const FormatOptions& a, const FormatOptions& b) {
        return a.filtro_redimension == b.filtro_redimension && a.jpeg == b.jpeg && a.png == b.png &&
               a.bmp == b.bmp && a.tga == b.tga && a.tif == b.tif &&
               a.guardar_como == b.guardar_como && a.webp == b.webp &&
               a.webp_sin_perdida == b.webp_sin_perdida &&
               a.decodificacion_rapida == b.decodificacion_rapida && a.no_ampliar == b.no_ampliar &&
               a.ajustar_dentro == b.ajustar_dentro &&
               a.incluir_subcarpetas == b.incluir_subcarpetas &&
               a.quitar_ubicacion == b.quitar_ubicacion &&
               a.conservar_fechas == b.conservar_fechas && a.limite_kb == b.limite_kb;
    }
    friend bool operator!=(const FormatOptions& a, const FormatOptions& b) { return !(a == b); }
};

// One column of the dialog's row: the codes it takes and the one it stands for otherwise.
struct StoredColumn {
    const char* name;
    int first;
    int last;
    int initial;
    // A number beyond the range is held at its nearest end instead of meaning the initial code
    // (the quality slider takes any number).
    bool heldAtEnds;
    int FormatOptions::*code;
};

// Every column the dialog stores, in the order the design reads them.
extern const StoredColumn kStoredColumns[16];
// The first columns of the design; later versions added the others (kAddedSettingsColumns).
constexpr int kDesignColumnCount = 6;

// The code a number stored in `column` stands for: the number within the range; else, beyond it,
// the nearest end or the initial code.
int CodeWithin(const StoredColumn& column, long long stored);

// The codes the row holds, read through one read-only connection in one query, as the dialog
// shows them: the design's columns read with the platform's integer conversion (IntegerText.h),
// the added ones as plain digits. A value that is no integer, is out of range or is missing (no
// file, no table, no row, no column) reads as the dialog's initial selection, where the dialog
// would stop at a design column's text that is no integer. Never writes or creates the file.
FormatOptions ReadStoredCodes(const std::string& settingsDatabase);
// The same through a connection already open.
FormatOptions ReadStoredCodes(sqlite3* connection);

// What the codes choose, in real units. The keep-RAW-dimensions switch is the main window's and
// stays off here.
RunChoices ChoicesFromCodes(const FormatOptions& codes);

// The codes that show `choices` in the dialog: ChoicesFromCodes(CodesFromChoices(c)) == c for
// every choice the codes can state.
FormatOptions CodesFromChoices(const RunChoices& choices);

}  // namespace kavenra
