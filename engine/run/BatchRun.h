#pragma once

// The batch run's logic that does not need the window: path building, the choice of mode and
// the order of the checks at Start, the creation of the destination folder. Paths use "/" as
// their only separator.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace kavenra {

// How a run sizes its images.
enum class RunMode {
    ExplicitSize,    // width and height fields
    LongestSide,     // the longest-side field, each image keeping its aspect ratio
    KeepDimensions,  // each RAW image keeps its own size
};

// The checks that Start applies: the explicit size when neither box is checked, the longest side
// when only its box is, otherwise (the RAW box checked) those of the kept dimensions.
RunMode StartChecksMode(bool longestSideChecked, bool keepDimensionsChecked);

// The mode of one tick: the longest-side box first, then the RAW box, else the explicit size.
RunMode TickMode(bool longestSideChecked, bool keepDimensionsChecked);

// The texts Start looks at, as the controls hold them.
struct StartFields {
    QString width;        // Edit1
    QString height;       // Edit2
    QString longestSide;  // Edit4
    QString destination;  // Edit3
    QString entryCount;   // Label10, compared with "0" rather than counted
};

// The message key of the first check that fails, in the mode's fixed order ("Texto_advertencia1"
// to "Texto_advertencia8"), or nullptr when Start may go on to the destination folder.
const char* FirstStartWarning(RunMode checks, const StartFields& fields);

// The integer a size field states, read as the window's integer fields are everywhere: optional
// leading blanks and sign, then decimal digits or "$"/"0x" hexadecimal, and nothing else; empty
// for any other text and for a value beyond 32 bits. A field edited during a run into no number
// fails that file rather than the run's loop.
std::optional<std::int32_t> ParseInt32(const QString& text);

// Creates exactly one folder, the destination text as given (relative texts against the working
// directory). False when it exists already, its parent is missing or the name is refused.
bool CreateDestinationFolder(const QString& destinationText);

// Makes `subfolder` (relative, ending in "/") and the folders above it inside the destination
// folder, when the destination is a folder: the mirror of a dropped folder's tree. A destination
// the user chose not to create stays missing, and its files fail as they would.
bool CreateOutputSubfolder(const QString& destinationText, const QByteArray& subfolder);
// The same with the destination folder's path as bytes.
bool CreateOutputSubfolder(const QByteArray& destinationFolder, const QByteArray& subfolder);

// Everything up to and including the last "/"; the empty text when there is none.
QString FolderPart(const QString& path);

// Everything after the last "/"; the whole text when there is none.
QString FileNamePart(const QString& path);

// The destination proposed for a listed or dropped item: its folder followed by "RES/".
QString ProposedDestination(const QString& itemPath);

// The destination field's folder as the run reads it: its path ending in "/"; empty for an empty
// field, which names no folder.
QByteArray DestinationFolderOf(const QString& destinationText);

// The destination text as the start of the paths inside the folder it names, which it always
// does, typed with a final "/" or not ("~/web" and "~/web/" are one folder): the text with one
// "/" after it unless it ends in one already.
QString OutputFolderText(const QString& destinationText);

// The output path of one entry: the entry's file name inside the folder the destination names.
QString DestinationPath(const QString& destinationText, const QString& sourcePath);

}  // namespace kavenra
