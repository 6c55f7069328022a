#include "store/StoredOptions.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <optional>

#include "engine/base/IntegerText.h"
#include "store/SettingsColumns.h"
#include "store/SqliteHandles.h"

namespace kavenra {

const StoredColumn kStoredColumns[16] = {
    {"filtro_redimension", 1, 6, 5, false, &FormatOptions::filtro_redimension},
    {"jpeg", 1, 5, 5, true, &FormatOptions::jpeg},
    {"png", 1, 4, 3, false, &FormatOptions::png},
    {"bmp", 1, 2, 2, false, &FormatOptions::bmp},
    {"tga", 1, 2, 2, false, &FormatOptions::tga},
    {"tif", 1, 4, 4, false, &FormatOptions::tif},
    {"guardar_como", 0, kLastSaveAsCode, 0, false, &FormatOptions::guardar_como},
    {"webp", 1, 100, 80, false, &FormatOptions::webp},
    {"webp_sin_perdida", 0, 1, 0, false, &FormatOptions::webp_sin_perdida},
    {"decodificacion_rapida", 0, 1, 0, false, &FormatOptions::decodificacion_rapida},
    {"no_ampliar", 0, 1, 0, false, &FormatOptions::no_ampliar},
    {"ajustar_dentro", 0, 1, 0, false, &FormatOptions::ajustar_dentro},
    {"incluir_subcarpetas", 0, 1, 0, false, &FormatOptions::incluir_subcarpetas},
    {"quitar_ubicacion", 0, 1, 0, false, &FormatOptions::quitar_ubicacion},
    {"conservar_fechas", 0, 1, 0, false, &FormatOptions::conservar_fechas},
    {"limite_kb", 0, kLargestSizeBudgetKb, 0, false, &FormatOptions::limite_kb},
};

namespace {

bool IsFile(const std::string& path) {
    struct stat status {};
    return !path.empty() && stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

sqlite::Connection OpenReadOnly(const std::string& databaseFile) {
    if (!IsFile(databaseFile)) return {};
    sqlite3* opened = nullptr;
    const int result =
        sqlite3_open_v2(databaseFile.c_str(), &opened, SQLITE_OPEN_READONLY, nullptr);
    sqlite::Connection connection(opened);
    if (result != SQLITE_OK) connection.reset();
    return connection;
}

bool IsDesignColumn(const StoredColumn& column) {
    return &column < kStoredColumns + kDesignColumnCount;
}

// The integer a stored text holds: the design's columns as the dialog reads them, with the
// platform's integer conversion; the added ones as the settings store writes them (at most nine
// digits, so never INT_MIN). None for any other text.
std::optional<int> StoredInteger(const StoredColumn& column, const std::string& text) {
    if (IsDesignColumn(column)) return IntegerOfText(text);
    constexpr int none = INT_MIN;
    const int value = SettingCodeOr(text, INT_MIN + 1, INT_MAX, none);
    if (value == none) return std::nullopt;
    return value;
}

int CodeOfText(const StoredColumn& column, const std::string& text) {
    const std::optional<int> stored = StoredInteger(column, text);
    return stored ? CodeWithin(column, *stored) : column.initial;
}

}  // namespace

int CodeWithin(const StoredColumn& column, long long stored) {
    if (stored >= column.first && stored <= column.last) return static_cast<int>(stored);
    if (!column.heldAtEnds) return column.initial;
    return static_cast<int>(std::clamp<long long>(stored, column.first, column.last));
}

FormatOptions ReadStoredCodes(sqlite3* connection) {
    FormatOptions codes;
    for (const StoredColumn& column : kStoredColumns) codes.*column.code = column.initial;
    if (connection == nullptr) return codes;
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(connection, "SELECT * FROM configuracion", -1, &prepared, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(prepared);
        return codes;
    }
    const sqlite::Statement statement(prepared);
    if (sqlite3_step(statement.get()) != SQLITE_ROW) return codes;
    const int count = sqlite3_column_count(statement.get());
    for (const StoredColumn& column : kStoredColumns) {
        for (int at = 0; at < count; ++at) {
            const char* name = sqlite3_column_name(statement.get(), at);
            if (name == nullptr || sqlite3_stricmp(name, column.name) != 0) continue;
            const unsigned char* text = sqlite3_column_text(statement.get(), at);
            const std::string value =
                text == nullptr
                    ? std::string()
                    : std::string(
                          reinterpret_cast<const char*>(text),
                          static_cast<std::size_t>(sqlite3_column_bytes(statement.get(), at)));
            codes.*column.code = CodeOfText(column, value);
            break;
        }
    }
    return codes;
}

FormatOptions ReadStoredCodes(const std::string& settingsDatabase) {
    const sqlite::Connection connection = OpenReadOnly(settingsDatabase);
    return ReadStoredCodes(connection.get());
}

RunChoices ChoicesFromCodes(const FormatOptions& codes) {
    RunChoices choices;
    ConversionOptions& options = choices.conversion;
    options.filter = FilterOfCode(codes.filtro_redimension);
    options.saveAs = OutputChoiceOfCode(codes.guardar_como);
    options.jpegQuality = JpegQualityOfCode(codes.jpeg);
    options.pngLevel = PngLevelOfCode(codes.png);
    options.bmpRunLength = RunLengthOfCode(codes.bmp);
    options.targaRunLength = RunLengthOfCode(codes.tga);
    options.tiffCompression = TiffCompressionOfCode(codes.tif);
    options.webpQuality = WebpQualityOfCode(codes.webp);
    options.webpLossless = codes.webp_sin_perdida == 1;
    options.fastDecoding = codes.decodificacion_rapida == 1;
    options.noEnlarge = codes.no_ampliar == 1;
    options.fitWithin = codes.ajustar_dentro == 1;
    options.removeLocation = codes.quitar_ubicacion == 1;
    options.sizeBudgetBytes = SizeBudgetOfKb(codes.limite_kb);
    choices.keepDates = codes.conservar_fechas == 1;
    choices.includeSubfolders = codes.incluir_subcarpetas == 1;
    return choices;
}

FormatOptions CodesFromChoices(const RunChoices& choices) {
    const ConversionOptions& options = choices.conversion;
    FormatOptions codes;
    codes.filtro_redimension = CodeOfFilter(options.filter);
    codes.guardar_como = CodeOfOutputChoice(options.saveAs);
    codes.jpeg = CodeOfJpegQuality(options.jpegQuality);
    codes.png = CodeOfPngLevel(options.pngLevel);
    codes.bmp = CodeOfRunLength(options.bmpRunLength);
    codes.tga = CodeOfRunLength(options.targaRunLength);
    codes.tif = CodeOfTiffCompression(options.tiffCompression);
    codes.webp = WebpQualityOfCode(options.webpQuality);
    codes.webp_sin_perdida = options.webpLossless ? 1 : 0;
    codes.decodificacion_rapida = options.fastDecoding ? 1 : 0;
    codes.no_ampliar = options.noEnlarge ? 1 : 0;
    codes.ajustar_dentro = options.fitWithin ? 1 : 0;
    codes.quitar_ubicacion = options.removeLocation ? 1 : 0;
    codes.limite_kb = KbOfSizeBudget(options.sizeBudgetBytes);
    codes.conservar_fechas = choices.keepDates ? 1 : 0;
    codes.incluir_subcarpetas = choices.includeSubfolders ? 1 : 0;
    return codes;
}

}  // namespace kavenra
