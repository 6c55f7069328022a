// A multi-page TIFF file converts page by page: every page resized under the same rule from its
// own shape and saved into the one output, in this process and in the image worker, each page
// within the memory the conversion may take; a single-page file converts as before.

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/base/OptionsFromCodes.h"
#include "engine/convert/ImageConversion.h"
#include "engine/convert/ResampleFilter.h"
#include "engine/run/ImageFileOperations.h"
#include "support/ConversionWorkspace.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"
#include "support/ImageMetadata.h"

using namespace kavenra;
using namespace kavenra::test;

namespace {

QByteArray ToQt(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}

// A flat grey picture: large in memory, small as an LZW-compressed page.
BitmapHandle MakeFlatGrey(int width, int height) {
    BitmapHandle grey(FreeImage_Allocate(width, height, 8));
    if (!grey) return grey;
    RGBQUAD* palette = FreeImage_GetPalette(grey.get());
    for (int i = 0; i < 256; ++i) palette[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    for (int y = 0; y < height; ++y) {
        std::fill_n(FreeImage_GetScanLine(grey.get(), y), width, BYTE(90));
    }
    return grey;
}

// An XMP packet naming the place a page was taken in, as FreeImage carries it with the page.
bool SetPlaceXmp(FIBITMAP& page) {
    const std::string packet =
        std::string(
            "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
            "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
            "rdf:about=\"\" xmlns:photoshop=\"http://ns.adobe.com/photoshop/1.0/\" "
            "photoshop:City=\"") +
        kLocatedCity + "\"/></rdf:RDF></x:xmpmeta>";
    FITAG* xmp = FreeImage_CreateTag();
    const bool set = FreeImage_SetTagKey(xmp, "XMLPacket") &&
                     FreeImage_SetTagType(xmp, FIDT_ASCII) &&
                     FreeImage_SetTagCount(xmp, DWORD(packet.size() + 1)) &&
                     FreeImage_SetTagLength(xmp, DWORD(packet.size() + 1)) &&
                     FreeImage_SetTagValue(xmp, packet.c_str()) &&
                     FreeImage_SetMetadata(FIMD_XMP, &page, "XMLPacket", xmp);
    FreeImage_DeleteTag(xmp);
    return set;
}

}  // namespace

class TiffPagesTest : public QObject, public ConversionWorkspace {
    Q_OBJECT

  private slots:
    void initTestCase() { InitialiseFreeImageOnce(); }
    void init() {
        QVERIFY(openWorkspace());
        options.tiffCompression =
            TiffCompressionOfCode(2);  // LZW: the pages come back exactly as rescaled
    }
    void cleanup() { closeWorkspace(); }

    void everyPageIsConverted_data() {
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("inWorker");
        QTest::addColumn<bool>("withMetadata");
        QTest::newRow("3 pages") << 3 << false << false;
        QTest::newRow("3 pages, in the worker") << 3 << true << false;
        QTest::newRow("3 pages with EXIF, IPTC and XMP, in the worker") << 3 << true << true;
        QTest::newRow("6 pages with XMP, more than Exiv2 writes back") << 6 << false << true;
        QTest::newRow("1 page") << 1 << false << false;
        QTest::newRow("1 page, in the worker") << 1 << true << false;
    }

    // Pages of three shapes and kinds in turn (colour, grey, palette) each come out at
    // the longest side of 40 for their own shape, with the pixels the rescale gives them; the
    // first page keeps its colour profile (and the file's metadata) as a single page does.
    // Every page of a scan can name its place: removing the location removes it from each.
    void locationGoesFromEveryPage_data() {
        QTest::addColumn<bool>("strip");
        QTest::newRow("kept") << false;
        QTest::newRow("removed") << true;
    }
    void locationGoesFromEveryPage() {
        QFETCH(bool, strip);
        std::vector<BitmapHandle> input;
        for (int page = 0; page < 3; ++page) {
            input.push_back(MakeNaturalBitmap(120, 80, std::uint32_t(page + 3)));
            QVERIFY(SetPlaceXmp(*input.back()));
        }
        std::vector<FIBITMAP*> written;
        for (const BitmapHandle& page : input) written.push_back(page.get());
        const QString source = in("scan.tif");
        QVERIFY(WriteTiffPages(NativePath(source), written, TIFF_LZW));
        options.removeLocation = strip;
        QVERIFY(convertInWorker(source, out("scan.tif"), 1, 0, 40).committed);
        QCOMPARE(int(LoadTiffPages(NativePath(out("scan.tif"))).size()), 3);
        const Bytes bytes = ReadFileBytes(NativePath(out("scan.tif")));
        const std::string content(bytes.begin(), bytes.end());
        QCOMPARE(content.find(kLocatedCity) == std::string::npos, strip);
    }

    void everyPageIsConverted() {
        QFETCH(int, pages);
        QFETCH(bool, inWorker);
        QFETCH(bool, withMetadata);
        PhotoMetadata metadata;
        metadata.artist = "Page Setter";
        metadata.keyword = "pages";
        metadata.creatorTool = "Scanner";
        std::vector<BitmapHandle> input;
        for (int page = 0; page < pages; ++page) {
            const auto seed = std::uint32_t(page + 3);
            input.push_back(page % 3 == 0   ? MakeNaturalBitmap(120, 80, seed)
                            : page % 3 == 1 ? MakeGreyBitmap(60, 90, seed)
                                            : MakePaletteBitmap(200, 50, seed));
        }
        Bytes profile = MakeIccProfile("RGB ", 0x4C);
        QVERIFY(FreeImage_CreateICCProfile(input[0].get(), profile.data(), long(profile.size())));
        // Exiv2 keeps four pages of a TIFF file it writes: a longer file gets an XMP packet
        // from FreeImage, whose stated width the conversion would have Exiv2 correct, and keeps
        // its pages and the packet as FreeImage carries it instead.
        if (withMetadata && pages > 4) {
            const std::string packet =
                "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
                "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
                "rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" "
                "xmlns:tiff=\"http://ns.adobe.com/tiff/1.0/\" tiff:ImageWidth=\"120\" "
                "xmp:CreatorTool=\"" +
                metadata.creatorTool + "\"/></rdf:RDF></x:xmpmeta>";
            FITAG* xmp = FreeImage_CreateTag();
            QVERIFY(FreeImage_SetTagKey(xmp, "XMLPacket") &&
                    FreeImage_SetTagType(xmp, FIDT_ASCII) &&
                    FreeImage_SetTagCount(xmp, DWORD(packet.size() + 1)) &&
                    FreeImage_SetTagLength(xmp, DWORD(packet.size() + 1)) &&
                    FreeImage_SetTagValue(xmp, packet.c_str()));
            QVERIFY(FreeImage_SetMetadata(FIMD_XMP, input[0].get(), "XMLPacket", xmp));
            FreeImage_DeleteTag(xmp);
        }
        std::vector<FIBITMAP*> written;
        for (const BitmapHandle& page : input) written.push_back(page.get());
        const QString source = in("scan.tif");
        QVERIFY(WriteTiffPages(NativePath(source), written, TIFF_LZW));
        if (withMetadata && pages <= 4) QVERIFY(WritePhotoMetadata(NativePath(source), metadata));
        if (withMetadata) {
            QCOMPARE(PhotoMetadataOf(NativePath(source)).value_or(PhotoMetadata()).creatorTool,
                     metadata.creatorTool);
        }

        QCOMPARE(int(LoadTiffPages(NativePath(source)).size()), pages);

        const bool converted = inWorker
                                   ? convertInWorker(source, out("scan.tif"), 1, 0, 40).committed
                                   : convert(source, out("scan.tif"), 1, 0, 40);
        QVERIFY(converted);

        QCOMPARE(
            QDir(outFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"scan.tif"});
        const std::vector<BitmapHandle> output = LoadTiffPages(NativePath(out("scan.tif")));
        QCOMPARE(int(output.size()), pages);
        const QSize sizes[] = {{40, 27}, {27, 40}, {40, 10}};
        const FREE_IMAGE_FILTER filter = FreeImageFilterOf(options.filter);
        for (std::size_t page = 0; page < output.size(); ++page) {
            QVERIFY(output[page]);
            const QSize size = sizes[page % 3];
            const BitmapHandle expected(
                FreeImage_Rescale(input[page].get(), size.width(), size.height(), filter));
            QCOMPARE(QSize(int(FreeImage_GetWidth(output[page].get())),
                           int(FreeImage_GetHeight(output[page].get()))),
                     size);
            QVERIFY2(SamePixels(*output[page], *expected), qPrintable(QString::number(page)));
        }
        QCOMPARE(ToQt(IccProfileOf(NativePath(out("scan.tif")))), ToQt(profile));
        if (withMetadata) {
            const std::optional<PhotoMetadata> carried =
                PhotoMetadataOf(NativePath(out("scan.tif")));
            QVERIFY(carried);
            QCOMPARE(carried->creatorTool, metadata.creatorTool);
            if (pages > 4) return;
            QCOMPARE(carried->artist, metadata.artist);
            QCOMPARE(carried->keyword, metadata.keyword);
        }
    }

    void everyPageCountsAgainstTheMemory_data() {
        QTest::addColumn<bool>("largePage");
        QTest::addColumn<bool>("converted");
        QTest::newRow("a small first page and a 2500 x 2500 second page") << true << false;
        QTest::newRow("the small first page alone") << false << true;
    }

    // Each page is judged before any is decoded: one too large for the conversion's memory
    // fails the file, though its first page fits.
    void everyPageCountsAgainstTheMemory() {
        QFETCH(bool, largePage);
        QFETCH(bool, converted);
        const BitmapHandle small = MakeNaturalBitmap(100, 100);
        const BitmapHandle large = MakeFlatGrey(2500, 2500);
        std::vector<FIBITMAP*> written{small.get()};
        if (largePage) written.push_back(large.get());
        const QString source = in("scan.tif");
        QVERIFY(WriteTiffPages(NativePath(source), written, TIFF_LZW));

        const Preparation prepared =
            PrepareImageFile(job(source, out("scan.tif"), 1, 0, 40), ConversionLimits{8u << 20});
        QCOMPARE(bool(prepared.prepared), converted);
        if (prepared.prepared) DiscardPreparedOutput(*prepared.prepared);
        if (!converted) QCOMPARE(prepared.failure, FailureReason::TooLarge);
        QVERIFY(QDir(outFolder()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }
};

QTEST_GUILESS_MAIN(TiffPagesTest)
#include "test_tiff_pages.moc"
