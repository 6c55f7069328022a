#include "support/HostileFiles.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

namespace kavenra::testing {
namespace {

QStringList FilesIn(const QString& folder) {
    QStringList paths;
    const QDir directory(folder);
    for (const QString& name : directory.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        paths << directory.filePath(name);
    }
    return paths;
}

void AppendLittleEndian16(QByteArray& bytes, int value) {
    bytes.append(char(value & 0xFF));
    bytes.append(char((value >> 8) & 0xFF));
}

QByteArray Hex(const char* text) {
    return QByteArray::fromHex(text);
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

}  // namespace

QStringList GdkPixbufHostileFolders() {
    const QString root = QStringLiteral("/usr/libexec/installed-tests/gdk-pixbuf/test-images/");
    QStringList folders;
    for (const char* name : {"fail", "randomly-modified"}) {
        if (QDir(root + name).exists()) folders << root + name;
    }
    return folders;
}

QStringList GdkPixbufHostileFiles() {
    QStringList paths;
    for (const QString& folder : GdkPixbufHostileFolders()) paths << FilesIn(folder);
    return paths;
}

QStringList CommittedHostileFiles() {
    QStringList files = FilesIn(QStringLiteral(KAVENRA_SOURCE_DIR "/tests/data/hostile"));
    files.removeIf([](const QString& path) { return path.endsWith(QLatin1String(".md")); });
    return files;
}

bool KnownToHarmTheLibrary(const QString& fileName) {
    static const QStringList names = {
        // gdk-pixbuf-tests
        "CVE-2017-2862.jpg",  // the decoder writes past the bitmap
        "overflow.tga",       // 69 bytes declaring 22627 x 26435: minutes of decoding
        "bug780269.tif",      // 1073741824 x 32: seconds of decoding into gigabytes
        "bug775232.pnm",      // 10 x 2072745076
        // crafted here
        "declares-22627x26435.tga",  // as overflow.tga
        "nine-components.jpg",       // as CVE-2017-2862.jpg
        // fuzzing reproducers
        "jpeg-progressive-declares-39984x55602.jpg",  // gigabytes zeroed before decoding
        "bmp24-truncated-declares-8323120x32.bmp",    // a bitmap of stale memory
    };
    return names.contains(fileName);
}

QByteArray OversizedTarga() {
    QByteArray bytes;
    bytes.append(char(0));   // no image id
    bytes.append(char(0));   // no colour map
    bytes.append(char(10));  // run-length coded true colour
    bytes.append(5, char(0));
    AppendLittleEndian16(bytes, 0);  // origin
    AppendLittleEndian16(bytes, 0);
    AppendLittleEndian16(bytes, 22627);
    AppendLittleEndian16(bytes, 26435);
    bytes.append(char(32));    // bits per pixel
    bytes.append(char(0x28));  // top-left origin, 8 alpha bits
    bytes.append(RandomBytes(69, 51));
    return bytes;
}

QByteArray ManyComponentJpeg() {
    QByteArray bytes = Hex("ffd8");
    bytes += Hex("ffdb004300") + QByteArray(64, char(1));  // one quantisation table of ones
    QByteArray frame =
        Hex("ffc0002308"
            "0001"
            "002f"
            "09");  // 47 x 1, 9 components
    for (int component = 1; component <= 9; ++component) {
        frame.append(char(component));
        frame += Hex("1100");
    }
    bytes += frame;
    // One code of length 1 for the symbol 0, as DC and as AC table.
    bytes +=
        Hex("ffc4001400"
            "01000000000000000000000000000000"
            "00");
    bytes +=
        Hex("ffc4001410"
            "01000000000000000000000000000000"
            "00");
    bytes +=
        Hex("ffda000801"
            "0100"
            "003f00");  // a scan of the first component
    bytes += Hex("0000ffd9");
    return bytes;
}

QByteArray RandomBytes(quint32 seed, int size, const QByteArray& prefix) {
    QRandomGenerator random(seed);
    QByteArray bytes = prefix;
    while (bytes.size() < size) bytes.append(char(random.bounded(256)));
    return bytes;
}

QStringList WriteCraftedHostileFiles(const QString& folder) {
    struct Crafted {
        const char* name;
        QByteArray bytes;
    };
    const Crafted crafted[] = {
        {"declares-22627x26435.tga", OversizedTarga()},
        {"nine-components.jpg", ManyComponentJpeg()},
        {"random-16.bin", RandomBytes(1, 16)},
        {"random-700.bin", RandomBytes(2, 700)},
        {"random-9000.bin", RandomBytes(3, 9000)},
        {"random-after-bmp.bmp", RandomBytes(4, 600, "BM")},
        {"random-after-jpeg.jpg", RandomBytes(5, 600, Hex("ffd8ffe0"))},
        {"random-after-png.png", RandomBytes(6, 600, Hex("89504e470d0a1a0a"))},
        {"random-after-tiff.tif", RandomBytes(7, 600, QByteArray("II*\0", 4))},
        {"random-after-big-endian-tiff.dng", RandomBytes(8, 600, QByteArray("MM\0*", 4))},
        {"random-after-targa.tga", RandomBytes(9, 600, Hex("00000a0000000000000000"))},
    };
    QStringList paths;
    for (const Crafted& file : crafted) {
        const QString path = QDir(folder).filePath(QString::fromLatin1(file.name));
        if (Write(path, file.bytes)) paths << path;
    }
    return paths;
}

}  // namespace kavenra::testing
