// The conversion job as the worker's messages carry it: every option in real units crosses
// unchanged, and a message whose option bytes no option can have, or that ends early, is refused
// rather than read as some other choice.

#include "engine/isolation/ImageWorkerProtocol.h"

#include <QTest>

#include <cstddef>

using kavenra::ConversionJob;
using kavenra::ConversionOptions;
using kavenra::OutputChoice;
using kavenra::ResizeFilter;
using kavenra::SizingMode;
using kavenra::TiffCompression;
using kavenra::worker::MessageKind;
using kavenra::worker::MessageReader;
using kavenra::worker::MessageWriter;

Q_DECLARE_METATYPE(ConversionOptions)

namespace {

ConversionJob JobWith(const ConversionOptions& options) {
    ConversionJob job;
    job.request.source = "/in/caf\xE9.jpg";
    job.request.destination = "/out/RES/caf\xE9.jpg";
    job.request.mode = SizingMode::ExplicitSize;
    job.request.width = 640;
    job.request.height = 480;
    job.options = options;
    return job;
}

std::vector<unsigned char> ConvertMessage(const ConversionJob& job) {
    return MessageWriter(MessageKind::ConvertJob).job(job).bytes();
}

// Where the options begin in a convert message: after the kind, the two paths with their
// lengths, the mode and the three sizes.
std::size_t OptionsOffset(const ConversionJob& job) {
    return 1 + 4 + job.request.source.size() + 4 + job.request.destination.size() + 1 + 3 * 4;
}

}  // namespace

class TestWorkerProtocol : public QObject {
    Q_OBJECT

  private slots:
    void jobCrossesUnchanged_data();
    void jobCrossesUnchanged();
    void impossibleOptionBytesAreRefused_data();
    void impossibleOptionBytesAreRefused();
    void messageEndingEarlyIsRefused();
};

void TestWorkerProtocol::jobCrossesUnchanged_data() {
    QTest::addColumn<ConversionOptions>("options");
    QTest::newRow("initial") << ConversionOptions{};
    ConversionOptions each;
    each.filter = ResizeFilter::Box;
    QTest::newRow("filter box") << each;
    each = {};
    each.filter = ResizeFilter::Lanczos3;
    each.saveAs = OutputChoice::Tiff;
    QTest::newRow("lanczos, as TIFF") << each;
    each = {};
    each.saveAs = OutputChoice::Webp;
    each.webpQuality = 7;
    each.webpLossless = true;
    QTest::newRow("WebP 7 without loss") << each;
    each = {};
    each.jpegQuality = 25;
    each.pngLevel = 0;
    each.bmpRunLength = false;
    each.targaRunLength = false;
    each.tiffCompression = TiffCompression::Deflate;
    QTest::newRow("every format's own setting") << each;
    each = {};
    each.fastDecoding = true;
    each.noEnlarge = true;
    QTest::newRow("fast decoding, no enlarging") << each;
    each = {};
    each.keepDimensions = true;
    each.fitWithin = true;
    each.removeLocation = true;
    QTest::newRow("kept size, fit within, no location") << each;
    each = {};
    each.sizeBudgetBytes = 300 * 1024;
    QTest::newRow("budget of 300 KB") << each;
    each = {};
    each.sizeBudgetBytes = 0;
    QTest::newRow("budget of nothing, not none") << each;
    each = {};
    each.sizeBudgetBytes = kavenra::kLargestSizeBudgetBytes;
    QTest::newRow("largest budget") << each;
}

void TestWorkerProtocol::jobCrossesUnchanged() {
    QFETCH(ConversionOptions, options);
    const ConversionJob job = JobWith(options);

    MessageReader reader(ConvertMessage(job));
    QVERIFY(reader.kind() == MessageKind::ConvertJob);
    const std::optional<ConversionJob> read = reader.job();
    QVERIFY(read);
    QVERIFY(reader.complete());
    QVERIFY(read->request == job.request);
    QVERIFY(read->options == options);
}

void TestWorkerProtocol::impossibleOptionBytesAreRefused_data() {
    QTest::addColumn<int>("at");  // the byte's place among the options
    QTest::addColumn<int>("value");
    QTest::newRow("filter past Lanczos") << 0 << 6;
    QTest::newRow("format past TIFF") << 1 << 5;
    QTest::newRow("BMP switch neither on nor off") << 10 << 2;
    QTest::newRow("TIFF compression past JPEG") << 12 << 4;
    QTest::newRow("location switch neither on nor off") << 22 << 255;
    QTest::newRow("budget flag neither on nor off") << 23 << 2;
}

void TestWorkerProtocol::impossibleOptionBytesAreRefused() {
    QFETCH(int, at);
    QFETCH(int, value);
    const ConversionJob job = JobWith({});
    std::vector<unsigned char> bytes = ConvertMessage(job);
    const std::size_t place = OptionsOffset(job) + std::size_t(at);
    QVERIFY(place < bytes.size());
    // The byte holds a valid value before it is changed: the test reaches the field it means.
    QVERIFY(bytes[place] <= 4);
    bytes[place] = static_cast<unsigned char>(value);

    MessageReader reader(bytes);
    QVERIFY(!reader.job());
}

void TestWorkerProtocol::messageEndingEarlyIsRefused() {
    const ConversionJob job = JobWith({});
    const std::vector<unsigned char> whole = ConvertMessage(job);
    for (std::size_t length = OptionsOffset(job); length < whole.size(); ++length) {
        MessageReader reader(std::vector<unsigned char>(whole.begin(), whole.begin() + length));
        QVERIFY2(!reader.job(), qPrintable(QString::number(length)));
    }
}

QTEST_GUILESS_MAIN(TestWorkerProtocol)
#include "test_worker_protocol.moc"
