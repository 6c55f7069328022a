// Removing where a picture was taken from the metadata of an output: every copy of it is gone,
// whoever wrote it into the file (FreeImage's writers or Exiv2), and what else the metadata says
// stays.

#include <QTemporaryDir>
#include <QtTest>

#include "engine/metadata/Location.h"
#include "engine/metadata/Metadata.h"
#include "engine/output/ReplacingSave.h"
#include "support/ImageFactory.h"
#include "support/ImageMetadata.h"

using namespace kavenra;
using namespace kavenra::test;

Q_DECLARE_METATYPE(FREE_IMAGE_FORMAT)

namespace {

// Any key naming a place, judged by its words rather than by the list the engine uses.
bool NamesPlace(const std::string& key) {
    for (const char* word : {"GPS", "City", "Country", "State", "Location"}) {
        if (key.find(word) != std::string::npos) return true;
    }
    return false;
}

QStringList PlaceKeys(const std::vector<std::string>& keys) {
    QStringList found;
    for (const std::string& key : keys) {
        if (NamesPlace(key)) found << QString::fromStdString(key);
    }
    return found;
}

bool Holds(const std::vector<std::string>& keys, const char* key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

bool ContainsText(const Bytes& file, const char* text) {
    const std::string needle(text);
    return std::search(file.begin(), file.end(), needle.begin(), needle.end()) != file.end();
}

const char* Extension(FREE_IMAGE_FORMAT format) {
    switch (format) {
        case FIF_PNG:
            return ".png";
        case FIF_TIFF:
            return ".tif";
        case FIF_WEBP:
            return ".webp";
        default:
            return ".jpg";
    }
}

}  // namespace

class EngineLocationTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    Bytes profile_;

    std::string pathOf(const QString& name) const { return dir_.filePath(name).toStdString(); }

    // A photo in `format` with a colour profile and its location in every place.
    std::string makeLocatedPhoto(FREE_IMAGE_FORMAT format) {
        const std::string path = pathOf(QStringLiteral("located") + Extension(format));
        const BitmapHandle bitmap = MakeNaturalBitmap(96, 64, 7);
        if (!bitmap) return {};
        FreeImage_CreateICCProfile(bitmap.get(), profile_.data(),
                                   static_cast<long>(profile_.size()));
        if (!SaveBitmapFile(*bitmap, format, path) || !WriteLocatedPhotoMetadata(path)) return {};
        return path;
    }

    // The output FreeImage's writer makes of `source`, with the metadata copies it keeps.
    static Bytes WrittenByFreeImage(const std::string& source, FREE_IMAGE_FORMAT format) {
        const BitmapHandle loaded = LoadImageFile(source);
        return loaded ? EncodeImage(*loaded, format) : Bytes();
    }

  private slots:
    void initTestCase() {
        InitialiseFreeImageOnce();
        QVERIFY(dir_.isValid());
        profile_ = MakeIccProfile("RGB ", 0x5A);
    }

    // The output as a conversion makes it: FreeImage's writer, then Exiv2 carrying the input's
    // metadata, or the writer alone (its copies are the only ones). Location is gone from
    // Exiv2's reading and from FreeImage's, the place's name from the bytes; the rest stays.
    void removesEveryCopy_data() {
        QTest::addColumn<FREE_IMAGE_FORMAT>("format");
        QTest::addColumn<bool>("carried");
        const std::pair<const char*, FREE_IMAGE_FORMAT> formats[] = {
            {"JPEG", FIF_JPEG}, {"PNG", FIF_PNG}, {"TIFF", FIF_TIFF}, {"WebP", FIF_WEBP}};
        for (const auto& [name, format] : formats) {
            QTest::addRow("%s, metadata carried", name) << format << true;
            QTest::addRow("%s, writer's copies alone", name) << format << false;
        }
    }
    void removesEveryCopy() {
        QFETCH(FREE_IMAGE_FORMAT, format);
        QFETCH(bool, carried);
        const std::string source = makeLocatedPhoto(FIF_JPEG);
        QVERIFY(!source.empty());
        const std::optional<std::vector<std::string>> sourceKeys = MetadataKeysOf(source);
        QVERIFY(sourceKeys);
        QVERIFY(PlaceKeys(*sourceKeys).size() >= 8);

        Bytes output = WrittenByFreeImage(source, format);
        QVERIFY(!output.empty());
        if (carried) {
            MetadataWrite write =
                InputMetadata::Read(source, FIF_JPEG).WriteInto(output, format, 96, 64);
            QCOMPARE(int(write.outcome), int(MetadataOutcome::Written));
            output = std::move(write.file);
        }
        const LocationRemoval removal = RemoveLocation(output, format);
        QCOMPARE(int(removal.outcome), int(LocationOutcome::Removed));
        const std::string path = pathOf(QStringLiteral("out") + Extension(format));
        QVERIFY(WriteFileBytes(path, removal.file));

        const std::optional<std::vector<std::string>> keys = MetadataKeysOf(path);
        QVERIFY(keys);
        QVERIFY2(PlaceKeys(*keys).isEmpty(), qPrintable(PlaceKeys(*keys).join(' ')));
        QVERIFY(!ContainsText(removal.file, kLocatedCity));
        const BitmapHandle reloaded = LoadImageFile(path);
        QVERIFY(reloaded);
        QCOMPARE(FreeImage_GetMetadataCount(FIMD_EXIF_GPS, reloaded.get()), 0u);
        QCOMPARE(FreeImage_GetWidth(reloaded.get()), 96u);

        QVERIFY(Holds(*keys, "Xmp.dc.title"));
        QCOMPARE(IccProfileOf(path), profile_);
        if (carried) {
            for (const char* kept : {"Exif.Image.Make", "Exif.Image.Model",
                                     "Exif.Image.Orientation", "Exif.Photo.DateTimeOriginal"}) {
                QVERIFY2(Holds(*keys, kept), kept);
            }
            // A WebP file holds no IPTC.
            if (format != FIF_WEBP) QVERIFY(Holds(*keys, "Iptc.Application2.Keywords"));
        }
    }

    // Before the writer runs: its copies hold no location, whatever it writes, while the EXIF
    // block it copies keeps the camera. A PNG input's metadata comes in text chunks FreeImage
    // keeps as comments and writes back as they are.
    void dropsTheWritersCopies_data() {
        QTest::addColumn<FREE_IMAGE_FORMAT>("input");
        QTest::addColumn<FREE_IMAGE_FORMAT>("output");
        QTest::addColumn<bool>("exifWritten");
        QTest::newRow("JPEG to JPEG") << FIF_JPEG << FIF_JPEG << true;
        QTest::newRow("JPEG to PNG") << FIF_JPEG << FIF_PNG << false;
        QTest::newRow("JPEG to TIFF") << FIF_JPEG << FIF_TIFF << false;
        QTest::newRow("JPEG to WebP") << FIF_JPEG << FIF_WEBP << true;
        QTest::newRow("PNG to PNG") << FIF_PNG << FIF_PNG << false;
        QTest::newRow("TIFF to TIFF") << FIF_TIFF << FIF_TIFF << false;
    }
    void dropsTheWritersCopies() {
        QFETCH(FREE_IMAGE_FORMAT, input);
        QFETCH(FREE_IMAGE_FORMAT, output);
        QFETCH(bool, exifWritten);
        const std::string source = makeLocatedPhoto(input);
        QVERIFY(!source.empty());
        const BitmapHandle loaded = LoadImageFile(source);
        QVERIFY(loaded);
        DropLocation(*loaded);
        const std::string path = pathOf(QStringLiteral("dropped") + Extension(output));
        QVERIFY(WriteFileBytes(path, EncodeImage(*loaded, output)));

        const std::optional<std::vector<std::string>> keys = MetadataKeysOf(path);
        QVERIFY(keys);
        QVERIFY2(PlaceKeys(*keys).isEmpty(), qPrintable(PlaceKeys(*keys).join(' ')));
        QVERIFY(!ContainsText(ReadFileBytes(path), kLocatedCity));
        QVERIFY(Holds(*keys, "Xmp.dc.title"));
        if (exifWritten) QVERIFY(Holds(*keys, "Exif.Image.Make"));
    }

    // Through the save a conversion makes: FreeImage's copies emptied before its writer, the
    // input's metadata carried in after it, then the location taken out. Where what the carrying
    // made cannot be read, the file as written goes, with no location either.
    void removesThroughTheSave_data() {
        QTest::addColumn<FREE_IMAGE_FORMAT>("format");
        QTest::addColumn<bool>("carryReadable");
        const std::pair<const char*, FREE_IMAGE_FORMAT> formats[] = {
            {"JPEG", FIF_JPEG}, {"PNG", FIF_PNG}, {"TIFF", FIF_TIFF}, {"WebP", FIF_WEBP}};
        for (const auto& [name, format] : formats) {
            QTest::addRow("%s", name) << format << true;
            QTest::addRow("%s, carried content unreadable", name) << format << false;
        }
    }
    void removesThroughTheSave() {
        QFETCH(FREE_IMAGE_FORMAT, format);
        QFETCH(bool, carryReadable);
        const std::string source = makeLocatedPhoto(FIF_JPEG);
        QVERIFY(!source.empty());
        const BitmapHandle bitmap = LoadImageFile(source);
        QVERIFY(bitmap);
        DropLocation(*bitmap);
        const InputMetadata metadata = InputMetadata::Read(source, FIF_JPEG);
        const WrittenFileChange carry = [&metadata, format, carryReadable](const Bytes& written) {
            MetadataWrite carried = metadata.WriteInto(written, format, 96, 64);
            if (carried.outcome != MetadataOutcome::Written) return std::optional<Bytes>();
            if (!carryReadable) carried.file.assign(carried.file.size(), 0);
            return std::optional<Bytes>(std::move(carried.file));
        };
        const std::string path = pathOf(QStringLiteral("saved") + Extension(format));
        const std::optional<PreparedOutput> saved =
            SaveToTemporaryFile(format, *bitmap, path, 0, RemovingLocation(carry, format));
        QVERIFY(saved);
        QVERIFY(CommitPreparedOutput(*saved));

        const std::optional<std::vector<std::string>> keys = MetadataKeysOf(path);
        QVERIFY(keys);
        QVERIFY2(PlaceKeys(*keys).isEmpty(), qPrintable(PlaceKeys(*keys).join(' ')));
        QVERIFY(!ContainsText(ReadFileBytes(path), kLocatedCity));
        QVERIFY(Holds(*keys, "Xmp.dc.title"));
        QCOMPARE(IccProfileOf(path), profile_);
        if (carryReadable) {
            QVERIFY(Holds(*keys, "Exif.Image.Make"));
            QVERIFY(Holds(*keys, "Exif.Photo.DateTimeOriginal"));
        }
    }

    // XMP that held nothing but the place goes whole, in every format: no packet is left to say
    // where, and the EXIF beside it stays.
    void xmpOfThePlaceAloneGoesWhole_data() {
        QTest::addColumn<FREE_IMAGE_FORMAT>("format");
        QTest::newRow("JPEG") << FIF_JPEG;
        QTest::newRow("PNG") << FIF_PNG;
        QTest::newRow("TIFF") << FIF_TIFF;
        QTest::newRow("WebP") << FIF_WEBP;
    }
    void xmpOfThePlaceAloneGoesWhole() {
        QFETCH(FREE_IMAGE_FORMAT, format);
        const std::string source = pathOf("place-alone.jpg");
        const BitmapHandle bitmap = MakeNaturalBitmap(96, 64, 5);
        QVERIFY(SaveBitmapFile(*bitmap, FIF_JPEG, source));
        QVERIFY(WriteLocationBeside(source, true, false));
        // As the save hands it over: the writer's copies, and Exiv2's where they were not all.
        Bytes output = WrittenByFreeImage(source, format);
        MetadataWrite write =
            InputMetadata::Read(source, FIF_JPEG).WriteInto(output, format, 96, 64);
        if (write.outcome == MetadataOutcome::Written) output = std::move(write.file);
        QVERIFY(ContainsText(output, kLocatedCity));

        const LocationRemoval removal = RemoveLocation(output, format);

        QCOMPARE(int(removal.outcome), int(LocationOutcome::Removed));
        QVERIFY(!ContainsText(removal.file, kLocatedCity));
        QVERIFY(!ContainsText(removal.file, "x:xmpmeta"));
        const std::string path = pathOf(QStringLiteral("place-alone-out") + Extension(format));
        QVERIFY(WriteFileBytes(path, removal.file));
        const std::optional<std::vector<std::string>> keys = MetadataKeysOf(path);
        QVERIFY(keys);
        QVERIFY2(PlaceKeys(*keys).isEmpty(), qPrintable(PlaceKeys(*keys).join(' ')));
        QVERIFY(Holds(*keys, "Exif.Image.Make"));
        const BitmapHandle reloaded = LoadImageFile(path);
        QVERIFY(reloaded);
        QCOMPARE(FreeImage_GetWidth(reloaded.get()), 96u);
    }

    // What cannot be read is refused, and a file without location is left as it is.
    void refusesOrLeaves_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<FREE_IMAGE_FORMAT>("format");
        QTest::addColumn<int>("outcome");
        QTest::newRow("damaged JPEG") << "damaged" << FIF_JPEG << int(LocationOutcome::Unreadable);
        QTest::newRow("empty") << "empty" << FIF_PNG << int(LocationOutcome::Unreadable);
        QTest::newRow("BMP") << "plain" << FIF_BMP << int(LocationOutcome::Unreadable);
        QTest::newRow("JPEG without location")
            << "plain" << FIF_JPEG << int(LocationOutcome::NoneFound);
        QTest::newRow("WebP without location")
            << "plain" << FIF_WEBP << int(LocationOutcome::NoneFound);
    }
    void refusesOrLeaves() {
        QFETCH(QString, kind);
        QFETCH(FREE_IMAGE_FORMAT, format);
        QFETCH(int, outcome);
        const BitmapHandle bitmap = MakeNaturalBitmap(32, 24, 3);
        Bytes file;
        if (kind == "plain") file = EncodeImage(*bitmap, format);
        if (kind == "damaged") file = Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x40, 'E', 'x'};
        const LocationRemoval removal = RemoveLocation(file, format);
        QCOMPARE(int(removal.outcome), outcome);
        QVERIFY(removal.file.empty());
    }

    // The keys of the place, and the keys beside them that name no place.
    void tellsLocationKeys_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("location");
        QTest::newRow("GPS latitude") << "Exif.GPSInfo.GPSLatitude" << true;
        QTest::newRow("GPS pointer") << "Exif.Image.GPSTag" << true;
        QTest::newRow("XMP GPS") << "Xmp.exif.GPSLongitude" << true;
        QTest::newRow("XMP city") << "Xmp.photoshop.City" << true;
        QTest::newRow("XMP location part")
            << "Xmp.iptcExt.LocationCreated[1]/Iptc4xmpExt:CountryName" << true;
        QTest::newRow("XMP sub-location") << "Xmp.iptc.Location" << true;
        QTest::newRow("XMP country code") << "Xmp.iptc.CountryCode" << true;
        QTest::newRow("IPTC city") << "Iptc.Application2.City" << true;
        QTest::newRow("IPTC sub-location") << "Iptc.Application2.SubLocation" << true;
        QTest::newRow("IPTC province") << "Iptc.Application2.ProvinceState" << true;
        QTest::newRow("IPTC country") << "Iptc.Application2.CountryName" << true;
        QTest::newRow("date") << "Exif.Photo.DateTimeOriginal" << false;
        QTest::newRow("XMP date") << "Xmp.exif.DateTimeOriginal" << false;
        QTest::newRow("XMP credit") << "Xmp.photoshop.Credit" << false;
        QTest::newRow("XMP creator's city")
            << "Xmp.iptc.CreatorContactInfo/Iptc4xmpCore:CiAdrCity" << false;
        QTest::newRow("IPTC keywords") << "Iptc.Application2.Keywords" << false;
        QTest::newRow("IPTC envelope") << "Iptc.Envelope.Destination" << false;
    }
    void tellsLocationKeys() {
        QFETCH(QString, key);
        QFETCH(bool, location);
        QCOMPARE(IsLocationKey(key.toStdString()), location);
    }
};

QTEST_GUILESS_MAIN(EngineLocationTest)
#include "test_engine_location.moc"
