#pragma once

// What a conversion takes from the windows besides its paths and sizes: the options dialog's
// codes and the main window's RAW switch. The run reads them with the other controls at each
// file's tick and sends them with the file, so a change made in the options dialog or to the
// switch while a file converts applies from the next file on.

namespace kavenra {

// The format the options dialog's "Save as" asks for, numbered like its stored code.
enum class SaveAs : int {
    Original = 0,  // the input's own format where the program writes it, else JPEG
    Jpeg = 1,
    Png = 2,
    Webp = 3,
    Tiff = 4,
};
constexpr int kLastSaveAs = static_cast<int>(SaveAs::Tiff);

// The largest size budget of a JPEG or WebP output, in KB.
constexpr int kLargestSizeBudgetKb = 1000000;

// The options dialog's codes, named like the columns of `configuracion`.
struct FormatOptions {
    int filtro_redimension = 5;  // 1..6
    int jpeg = 5;                // 1..5
    int png = 3;                 // 1..4
    int bmp = 2;                 // 1..2
    int tga = 2;                 // 1..2
    int tif = 4;                 // 1..4
    int guardar_como = 0;        // SaveAs, 0..4
    int webp = 80;               // WebP quality, 1..100
    int webp_sin_perdida = 0;    // 1: WebP without loss (the quality is then not read)
    // 1: a JPEG shrunk to at most half its size is decoded at 1/2, 1/4 or 1/8 scale; anything
    // else decodes every pixel.
    int decodificacion_rapida = 0;
    // The choices of the options dialog's last group. The two size choices reach the sizing
    // through the request (ConversionRequest::noEnlarge and fitWithin).
    int no_ampliar = 0;        // 1: a picture already within the target keeps its size
    int ajustar_dentro = 0;    // 1: width x height is a box the picture fits in, in proportion
    int conservar_fechas = 0;  // 1: each committed output gets its source's modification time
    // Carried with every file, but nothing acts on them yet.
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
