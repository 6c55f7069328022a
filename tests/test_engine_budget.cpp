// Encoding a JPEG or WebP output within a size: the highest quality that fits, found in a bounded
// number of encodes, and the lowest quality, said to be over, when nothing fits.

#include <QtTest>

#include "engine/output/SizeBudget.h"
#include "support/ImageFactory.h"

using namespace kavenra;
using namespace kavenra::test;

Q_DECLARE_METATYPE(FREE_IMAGE_FORMAT)

namespace {

// Pixels no encoder can predict: every quality stays large.
BitmapHandle MakeNoiseBitmap(int width, int height) {
    BitmapHandle bitmap(FreeImage_Allocate(width, height, 24));
    std::uint32_t state = 0x9E3779B9u;
    for (int y = 0; bitmap && y < height; ++y) {
        BYTE* pixel = FreeImage_GetScanLine(bitmap.get(), y);
        for (int x = 0; x < width * 3; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            pixel[x] = static_cast<BYTE>(state);
        }
    }
    return bitmap;
}

std::size_t SizeAt(FIBITMAP& bitmap, FREE_IMAGE_FORMAT format, int quality) {
    return EncodeImage(bitmap, format, BudgetQualityFlags(format, quality, 0)).size();
}

enum class Budget { Generous, AtQuality, Impossible };

}  // namespace

Q_DECLARE_METATYPE(Budget)

class EngineBudgetTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { InitialiseFreeImageOnce(); }

    // A generous budget takes the top quality in one encode; a budget set at the size of some
    // quality's encoding finds a quality whose file fits and whose next does not; an impossible
    // one gives the lowest quality, over. Never more than eight encodes, and the bytes decode to
    // the picture's size.
    void findsTheHighestFittingQuality_data() {
        QTest::addColumn<FREE_IMAGE_FORMAT>("format");
        QTest::addColumn<bool>("noise");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<Budget>("budget");
        QTest::addColumn<int>("quality");  // whose size sets an AtQuality budget
        QTest::addColumn<int>("reserved");
        const std::pair<const char*, FREE_IMAGE_FORMAT> formats[] = {{"JPEG", FIF_JPEG},
                                                                     {"WebP", FIF_WEBP}};
        for (const auto& [name, format] : formats) {
            QTest::addRow("%s generous", name)
                << format << false << 320 << 240 << Budget::Generous << 0 << 0;
            QTest::addRow("%s at quality 70", name)
                << format << false << 320 << 240 << Budget::AtQuality << 70 << 0;
            QTest::addRow("%s at quality 95", name)
                << format << false << 320 << 240 << Budget::AtQuality << 95 << 0;
            QTest::addRow("%s at quality 2", name)
                << format << false << 320 << 240 << Budget::AtQuality << 2 << 0;
            QTest::addRow("%s at quality 1", name)
                << format << false << 320 << 240 << Budget::AtQuality << 1 << 0;
            QTest::addRow("%s at quality 60, 3 KB reserved", name)
                << format << false << 320 << 240 << Budget::AtQuality << 60 << 3000;
            QTest::addRow("%s 1 KB for 2000x1500 noise", name)
                << format << true << 2000 << 1500 << Budget::Impossible << 0 << 0;
        }
    }
    void findsTheHighestFittingQuality() {
        QFETCH(FREE_IMAGE_FORMAT, format);
        QFETCH(bool, noise);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(Budget, budget);
        QFETCH(int, quality);
        QFETCH(int, reserved);
        const BitmapHandle bitmap =
            noise ? MakeNoiseBitmap(width, height) : MakeNaturalBitmap(width, height, 5);
        QVERIFY(bitmap);
        std::size_t maxBytes = 1024;
        if (budget == Budget::Generous) maxBytes = 100u << 20;
        if (budget == Budget::AtQuality) maxBytes = SizeAt(*bitmap, format, quality) + reserved;
        const auto room = maxBytes - std::size_t(reserved);

        const BudgetedEncoding encoding =
            EncodeWithinBudget(*bitmap, format, maxBytes, 0, std::size_t(reserved));
        QVERIFY(encoding.encodes >= 1);
        QVERIFY(encoding.encodes <= kMostBudgetEncodes);
        const BitmapHandle decoded = DecodeImage(encoding.bytes);
        QVERIFY(decoded);
        QCOMPARE(int(FreeImage_GetWidth(decoded.get())), width);
        QCOMPARE(int(FreeImage_GetHeight(decoded.get())), height);
        // The bytes are the chosen quality's encoding, not another's.
        QCOMPARE(encoding.bytes,
                 EncodeImage(*bitmap, format, BudgetQualityFlags(format, encoding.quality, 0)));
        switch (budget) {
            case Budget::Generous:
                QCOMPARE(int(encoding.outcome), int(BudgetOutcome::Fits));
                QCOMPARE(encoding.quality, 100);
                QCOMPARE(encoding.encodes, 1);
                break;
            case Budget::AtQuality:
                QCOMPARE(int(encoding.outcome), int(BudgetOutcome::Fits));
                QVERIFY(encoding.bytes.size() <= room);
                QVERIFY(encoding.quality >= quality);
                QVERIFY(encoding.quality < 100);
                QVERIFY(SizeAt(*bitmap, format, encoding.quality + 1) > room);
                break;
            case Budget::Impossible:
                QCOMPARE(int(encoding.outcome), int(BudgetOutcome::OverBudget));
                QVERIFY(encoding.overBudget());
                QCOMPARE(encoding.quality, kLowestBudgetQuality);
                QVERIFY(encoding.bytes.size() > maxBytes);
                break;
        }
    }

    // Lossless and other formats have no quality to lower; a writer that refuses the picture
    // leaves nothing to save.
    void refusesWhatHasNoQuality_data() {
        QTest::addColumn<FREE_IMAGE_FORMAT>("format");
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("bitsPerPixel");
        QTest::addColumn<int>("outcome");
        QTest::newRow("PNG") << FIF_PNG << 0 << 24 << int(BudgetOutcome::Unsupported);
        QTest::newRow("lossless WebP")
            << FIF_WEBP << int(WEBP_LOSSLESS) << 24 << int(BudgetOutcome::Unsupported);
        QTest::newRow("JPEG of 16-bit colour")
            << FIF_JPEG << 0 << 48 << int(BudgetOutcome::NotEncoded);
    }
    void refusesWhatHasNoQuality() {
        QFETCH(FREE_IMAGE_FORMAT, format);
        QFETCH(int, flags);
        QFETCH(int, bitsPerPixel);
        QFETCH(int, outcome);
        const BitmapHandle natural = MakeNaturalBitmap(64, 48, 2);
        const BitmapHandle bitmap = bitsPerPixel == 48 ? WithSixteenBitSamples(*natural, FIT_RGB16)
                                                       : MakeNaturalBitmap(64, 48, 2);
        QVERIFY(bitmap);
        const BudgetedEncoding encoding = EncodeWithinBudget(*bitmap, format, 1 << 20, flags);
        QCOMPARE(int(encoding.outcome), outcome);
        QVERIFY(encoding.bytes.empty());
        QVERIFY(!encoding.overBudget());
    }

    // The quality replaces whatever quality the flags carried; JPEG's colour is full from 90 up
    // and halved below, whatever subsampling was asked; other flags stay.
    void qualityFlags_data() {
        QTest::addColumn<FREE_IMAGE_FORMAT>("format");
        QTest::addColumn<int>("quality");
        QTest::addColumn<int>("other");
        QTest::addColumn<int>("expected");
        QTest::newRow("JPEG 95 from superb 4:4:4")
            << FIF_JPEG << 95 << int(JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_444)
            << int(95 | JPEG_SUBSAMPLING_444);
        QTest::newRow("JPEG 90, progressive") << FIF_JPEG << 90 << int(JPEG_PROGRESSIVE)
                                              << int(90 | JPEG_PROGRESSIVE | JPEG_SUBSAMPLING_444);
        QTest::newRow("JPEG 89 from superb 4:4:4")
            << FIF_JPEG << 89 << int(JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_444) << 89;
        QTest::newRow("JPEG 40 from a numeric 75, optimised")
            << FIF_JPEG << 40 << int(75 | JPEG_OPTIMIZE) << int(40 | JPEG_OPTIMIZE);
        QTest::newRow("WebP 50 from 80") << FIF_WEBP << 50 << 80 << 50;
    }
    void qualityFlags() {
        QFETCH(FREE_IMAGE_FORMAT, format);
        QFETCH(int, quality);
        QFETCH(int, other);
        QFETCH(int, expected);
        QCOMPARE(BudgetQualityFlags(format, quality, other), expected);
    }
};

QTEST_GUILESS_MAIN(EngineBudgetTest)
#include "test_engine_budget.moc"
