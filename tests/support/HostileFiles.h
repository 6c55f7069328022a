#pragma once

// The regression set of corrupt and hostile image files: the test images of Debian's
// gdk-pixbuf-tests (fail/ and randomly-modified/), the reproducers of our own mutation fuzzing
// kept in tests/data/hostile, and files crafted here.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kavenra::testing {

// The folders of gdk-pixbuf-tests' corrupt images that exist on this machine.
QStringList GdkPixbufHostileFolders();

// Every file of those folders, sorted; empty when the package is not installed.
QStringList GdkPixbufHostileFiles();

// The fuzzing reproducers kept in the repository, sorted.
QStringList CommittedHostileFiles();

// True for the files of the set known to crash, corrupt the memory of, or hang FreeImage's
// loaders, by file name: they must never come out as converted.
bool KnownToHarmTheLibrary(const QString& fileName);

// An RLE TARGA of 69 bytes whose header declares 22627 x 26435 pixels of 32 bits: FreeImage's
// loader fills a 2.4 GB bitmap from nothing for minutes.
QByteArray OversizedTarga();

// A small JPEG whose frame declares 9 colour components: FreeImage allocates one byte per pixel
// and the decoder writes nine.
QByteArray ManyComponentJpeg();

// Random bytes from a fixed seed, after `prefix` (a format's signature, or nothing).
QByteArray RandomBytes(quint32 seed, int size, const QByteArray& prefix = {});

// Writes the crafted files into `folder` and returns their paths: the two above and random byte
// blocks, bare and behind the signatures of the six accepted formats.
QStringList WriteCraftedHostileFiles(const QString& folder);

}  // namespace kavenra::testing
