#pragma once

// The columns of `configuracion` that later versions added. A user's settings database made from
// an older shipped file lacks them; the start-up adds them, each holding its initial value, and
// every value stored before stays as it was.

#include <optional>
#include <string>

namespace kavenra {

struct AddedSettingsColumn {
    const char* name;
    // The text the column gets in an older file: what that user's runs did before it existed.
    // A new file's own values are those of the shipped one (data/KVConfig.sql).
    const char* initial;
};

inline constexpr AddedSettingsColumn kAddedSettingsColumns[] = {
    {"guardar_como", "0"},      // "Save as": 0 the original's format, 1 JPEG, 2 PNG, 3 WebP, 4 TIFF
    {"webp", "80"},             // WebP quality, 1..100
    {"webp_sin_perdida", "0"},  // 1: WebP without loss
    {"decodificacion_rapida", "0"},  // 1: JPEG decoded at a reduced scale when shrunk enough
    {"no_ampliar", "0"},             // 1: a picture within the target keeps its size
    {"ajustar_dentro", "0"},         // 1: width x height is a box the picture fits in
    {"incluir_subcarpetas", "0"},    // 1: folders are listed with their subfolders
    {"quitar_ubicacion", "0"},       // 1: outputs carry no GPS position
    {"conservar_fechas", "0"},       // 1: outputs get their source's modification time
    {"limite_kb", "0"},              // JPEG and WebP size budget in KB, 1..1000000; 0: none
};

// Adds every column of kAddedSettingsColumns that `configuracion` lacks, all in one transaction.
// A database that cannot be read or cannot take them (read-only, locked, damaged, no database at
// all, missing) is left exactly as it was and the failure is reported with the library's message,
// as every database error is (MessageDisplay.h); one without the table is left alone unreported,
// for the reads that need the table report it. True when every column is there afterwards. Never
// creates the file.
bool AddMissingSettingsColumns(const std::string& databaseFile);

// The text `column` of `configuracion` holds; nothing, and no report, when the file, the table,
// the column or the row is missing or cannot be read. NULL reads as "".
std::optional<std::string> StoredSettingText(const std::string& databaseFile,
                                             const std::string& column);

// `text` as a decimal integer within first..last (digits alone, an optional "-" first); else
// `fallback`: an unknown or damaged stored value means the initial one.
int SettingCodeOr(const std::optional<std::string>& text, int first, int last, int fallback);

}  // namespace kavenra
