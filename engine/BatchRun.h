#pragma once

// The batch run's logic that does not need the window: path building and, for the run, the
// choice of mode and the order of the checks at Start. Paths use "/" as their only separator.

#include <QString>

namespace kavenra {

// Everything up to and including the last "/"; the empty text when there is none.
QString FolderPart(const QString& path);

// Everything after the last "/"; the whole text when there is none.
QString FileNamePart(const QString& path);

// The destination proposed for a listed or dropped item: its folder followed by "RES/".
QString ProposedDestination(const QString& itemPath);

// The output path of one entry: the destination text immediately followed by the entry's file
// name. No separator is inserted, so a destination without a final "/" names files beside the
// folder rather than in it.
QString DestinationPath(const QString& destinationText, const QString& sourcePath);

}  // namespace kavenra
