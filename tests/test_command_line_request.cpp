// The arguments of a run without a window: every option in both spellings, values at and beyond
// their ranges, the one way of stating the size, inputs among and after the options, and the
// stored options the command line replaces.

#include "engine/run/CommandLineRequest.h"

#include "engine/base/OptionsFromCodes.h"

#include <QTest>

#include <variant>

using kavenra::CommandLineRequest;
using kavenra::ConversionOptions;
using kavenra::ReadCommandLineRequest;
using kavenra::ReadCommandLineText;
using kavenra::RunChoices;
using kavenra::UsageError;

namespace {

// A request described in one line, so that a table can state what each row reads: the size,
// the output, the options given as the codes that state them, and the switches.
QString Describe(const CommandLineRequest& request) {
    QStringList parts;
    if (request.size)
        parts
            << QStringLiteral("size %1x%2").arg(request.size->width()).arg(request.size->height());
    if (request.longest) parts << QStringLiteral("longest %1").arg(*request.longest);
    if (request.keepRawSize) parts << QStringLiteral("raw size");
    if (!request.output.isEmpty())
        parts << QStringLiteral("output ") + QString::fromUtf8(request.output);
    const auto code = [&parts](const char* name, const std::optional<int>& value) {
        if (value) parts << QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(*value);
    };
    const auto codeOf = [](const auto& value, auto toCode) {
        return value ? std::optional<int>(toCode(*value)) : std::nullopt;
    };
    code("format", codeOf(request.saveAs, kavenra::CodeOfOutputChoice));
    code("filter", codeOf(request.filter, kavenra::CodeOfFilter));
    code("jpeg", codeOf(request.jpegQuality, kavenra::CodeOfJpegQuality));
    code("png", codeOf(request.pngLevel, kavenra::CodeOfPngLevel));
    code("bmp", codeOf(request.bmpRunLength, kavenra::CodeOfRunLength));
    code("tga", codeOf(request.targaRunLength, kavenra::CodeOfRunLength));
    code("tif", codeOf(request.tiffCompression, kavenra::CodeOfTiffCompression));
    code("webp", request.webpQuality);
    if (request.webpLossless) parts << QStringLiteral("lossless");
    if (request.fast) parts << QStringLiteral("fast");
    if (request.noEnlarge) parts << QStringLiteral("no enlarge");
    if (request.fitWithin) parts << QStringLiteral("fit");
    if (request.keepDates) parts << QStringLiteral("dates");
    if (request.recursive) parts << QStringLiteral("recursive");
    if (request.stripLocation) parts << QStringLiteral("no location");
    code("max kb", request.sizeBudgetBytes
                       ? std::optional<int>(kavenra::KbOfSizeBudget(request.sizeBudgetBytes))
                       : std::nullopt);
    if (request.stopOnFailure) parts << QStringLiteral("stop");
    if (request.json) parts << QStringLiteral("json");
    parts << QStringLiteral("inputs ") + QString::fromUtf8(request.inputs.join('|'));
    return parts.join(QStringLiteral(", "));
}

}  // namespace

class TestCommandLineRequest : public QObject {
    Q_OBJECT

  private slots:
    void argumentsAreRead_data();
    void argumentsAreRead();
    void mistakesAreUsageErrors_data();
    void mistakesAreUsageErrors();
    void givenOptionsReplaceTheStoredOnes();
    void choicesReplaceTheStoredOnes_data();
    void choicesReplaceTheStoredOnes();
    void usageNamesEveryOption();
    void mistypedOptionsNameTheOneMeant_data();
    void mistypedOptionsNameTheOneMeant();
    void namesAreKeptAsBytes();
};

void TestCommandLineRequest::argumentsAreRead_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("read");

    QTest::newRow("longest side") << QStringList{"--longest", "1600", "a.jpg"}
                                  << "longest 1600, inputs a.jpg";
    QTest::newRow("with equals") << QStringList{"--longest=1600", "a.jpg"}
                                 << "longest 1600, inputs a.jpg";
    QTest::newRow("explicit size")
        << QStringList{"a.jpg", "--size", "800x600", "b.png"} << "size 800x600, inputs a.jpg|b.png";
    QTest::newRow("RAW size") << QStringList{"--keep-raw-size", "raws"} << "raw size, inputs raws";
    QTest::newRow("every code")
        << QStringList{"--longest=10",
                       "--format=webp",
                       "--filter",
                       "lanczos",
                       "--jpeg-quality=1",
                       "--png-compression=4",
                       "--bmp-compression=1",
                       "--tga-compression=1",
                       "--tiff-compression=2",
                       "--webp-quality=100",
                       "--webp-lossless",
                       "x"}
        << "longest 10, format 3, filter 6, jpeg 1, png 4, bmp 1, tga 1, tif 2, webp 100, "
           "lossless, inputs x";
    QTest::newRow("the original's format")
        << QStringList{"--longest=10", "--format=same", "x"} << "longest 10, format 0, inputs x";
    QTest::newRow("first filter") << QStringList{"--longest=10", "--filter=box", "x"}
                                  << "longest 10, filter 1, inputs x";
    // Formats by their usual extensions too, and names in any case.
    QTest::newRow("jpg") << QStringList{"--longest=10", "--format", "jpg", "x"}
                         << "longest 10, format 1, inputs x";
    QTest::newRow("JPEG") << QStringList{"--longest=10", "--format=JPEG", "x"}
                          << "longest 10, format 1, inputs x";
    QTest::newRow("tif") << QStringList{"--longest=10", "--format=tif", "x"}
                         << "longest 10, format 4, inputs x";
    QTest::newRow("Tiff") << QStringList{"--longest=10", "--format=Tiff", "x"}
                          << "longest 10, format 4, inputs x";
    QTest::newRow("PNG") << QStringList{"--longest=10", "--format=PNG", "x"}
                         << "longest 10, format 2, inputs x";
    QTest::newRow("Same") << QStringList{"--longest=10", "--format=Same", "x"}
                          << "longest 10, format 0, inputs x";
    QTest::newRow("filter in capitals")
        << QStringList{"--longest=10", "--filter=LANCZOS", "x"} << "longest 10, filter 6, inputs x";
    QTest::newRow("filter in mixed case")
        << QStringList{"--longest=10", "--filter", "Catmull-Rom", "x"}
        << "longest 10, filter 5, inputs x";
    QTest::newRow("switches") << QStringList{"--fast",   "--stop-on-failure", "--json", "--output",
                                             "/tmp/out", "--longest=5",       "x"}
                              << "longest 5, output /tmp/out, fast, stop, json, inputs x";
    QTest::newRow("the choices")
        << QStringList{"--size=40x30", "--no-enlarge",     "--fit",      "--keep-dates",
                       "--recursive",  "--strip-location", "--max-kb=1", "x"}
        << "size 40x30, no enlarge, fit, dates, recursive, no location, max kb 1, inputs x";
    QTest::newRow("largest size budget, value apart")
        << QStringList{"--longest=5", "--max-kb", "1000000", "x"}
        << "longest 5, max kb 1000000, inputs x";
    // After "--" a name that starts with "-" is a file.
    QTest::newRow("after --") << QStringList{"--longest=5", "--", "--fast", "-x.jpg"}
                              << "longest 5, inputs --fast|-x.jpg";
    QTest::newRow("a lone dash is a name")
        << QStringList{"--longest=5", "-"} << "longest 5, inputs -";
}

void TestCommandLineRequest::argumentsAreRead() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, read);
    const auto result = ReadCommandLineText(arguments);
    if (const auto* error = std::get_if<UsageError>(&result)) {
        QFAIL(error->message.c_str());
    }
    QCOMPARE(Describe(std::get<CommandLineRequest>(result)), read);
}

void TestCommandLineRequest::mistakesAreUsageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");  // a part of the message

    QTest::newRow("unknown option")
        << QStringList{"--longest=5", "--colour", "x"} << "unknown option --colour";
    QTest::newRow("unknown short option")
        << QStringList{"--longest=5", "-q", "x"} << "unknown option -q";
    QTest::newRow("no size") << QStringList{"x"} << "no size";
    QTest::newRow("two sizes") << QStringList{"--longest=5", "--size=4x3", "x"}
                               << "exclude each other";
    QTest::newRow("no input") << QStringList{"--longest=5"} << "no image or folder";
    QTest::newRow("value missing") << QStringList{"x", "--longest"} << "--longest needs a value";
    QTest::newRow("zero side") << QStringList{"--longest=0", "x"} << "\"0\" is not";
    QTest::newRow("negative side") << QStringList{"--longest", "-5", "x"} << "\"-5\" is not";
    QTest::newRow("not a number") << QStringList{"--longest=12px", "x"} << "\"12px\" is not";
    QTest::newRow("beyond a size field") << QStringList{"--longest=99999999999", "x"} << "is not";
    QTest::newRow("size without x") << QStringList{"--size=800", "x"} << "\"800\" is not";
    QTest::newRow("size of zero") << QStringList{"--size=0x600", "x"} << "\"0x600\" is not";
    QTest::newRow("size of three") << QStringList{"--size=1x2x3", "x"} << "\"1x2x3\" is not";
    // Which end is which: the options dialog's slider has its lowest quality at 1.
    QTest::newRow("quality beyond") << QStringList{"--longest=5", "--jpeg-quality=6", "x"}
                                    << "--jpeg-quality: \"6\" is not 1 to 5 (1 the smallest "
                                       "files, 5 the best quality)";
    QTest::newRow("quality below")
        << QStringList{"--longest=5", "--jpeg-quality=0", "x"} << "5 the best quality";
    QTest::newRow("webp quality beyond")
        << QStringList{"--longest=5", "--webp-quality=101", "x"} << "--webp-quality";
    QTest::newRow("unknown format") << QStringList{"--longest=5", "--format=gif", "x"}
                                    << "same, jpeg (jpg), png, webp or tiff (tif)";
    QTest::newRow("an extension that is no format's")
        << QStringList{"--longest=5", "--format=jpe", "x"} << "--format: \"jpe\" is not";
    QTest::newRow("unknown filter")
        << QStringList{"--longest=5", "--filter=nearest", "x"} << "catmull-rom";
    QTest::newRow("a switch with a value")
        << QStringList{"--longest=5", "--fast=yes", "x"} << "--fast takes no value";
    QTest::newRow("empty output") << QStringList{"--longest=5", "--output=", "x"} << "--output";
    for (const char* budget : {"0", "1000001", "-1", "50kb", "", "1.5", "99999999999"}) {
        QTest::addRow("size budget '%s'", budget)
            << QStringList{"--longest=5", QStringLiteral("--max-kb=") + budget, "x"}
            << "--max-kb: \"" + QString::fromLatin1(budget) + "\" is not 1 to 1000000";
    }
    QTest::newRow("size budget missing")
        << QStringList{"x", "--longest=5", "--max-kb"} << "--max-kb needs a value";
    QTest::newRow("a choice with a value")
        << QStringList{"--longest=5", "--no-enlarge=1", "x"} << "--no-enlarge takes no value";
}

void TestCommandLineRequest::mistakesAreUsageErrors() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const auto result = ReadCommandLineText(arguments);
    const auto* error = std::get_if<UsageError>(&result);
    QVERIFY2(error, qPrintable(arguments.join(' ')));
    QVERIFY2(QString::fromStdString(error->message).contains(message), error->message.c_str());
}

// The options the command line gives win; every other stays as stored, the lossless switch only
// ever turns lossless on.
void TestCommandLineRequest::givenOptionsReplaceTheStoredOnes() {
    ConversionOptions stored;
    stored.filter = kavenra::ResizeFilter::Bilinear;
    stored.jpegQuality = 50;
    stored.pngLevel = 1;
    stored.saveAs = kavenra::OutputChoice::Png;
    stored.webpQuality = 40;
    stored.webpLossless = true;
    const auto result =
        ReadCommandLineRequest({"--longest=5", "--jpeg-quality=5", "--format=tiff", "x"});
    QVERIFY(std::holds_alternative<CommandLineRequest>(result));

    const ConversionOptions options =
        kavenra::WithRequestedOptions(std::get<CommandLineRequest>(result), stored);

    ConversionOptions expected = stored;
    expected.jpegQuality = 100;
    expected.saveAs = kavenra::OutputChoice::Tiff;
    QVERIFY(options == expected);
}

// Each choice of the command line turns its stored code on; the size budget replaces the stored
// one. Without them every stored choice stays, on or off.
void TestCommandLineRequest::choicesReplaceTheStoredOnes_data() {
    QTest::addColumn<QStringList>("options");
    // no enlarge, fit within, subfolders, no location, keep dates, budget in KB
    QTest::addColumn<QList<int>>("stored");
    QTest::addColumn<QList<int>>("codes");
    const QList<int> off{0, 0, 0, 0, 0, 0};
    QTest::newRow("none given, all off") << QStringList{} << off << off;
    QTest::newRow("none given, all stored on")
        << QStringList{} << QList<int>{1, 1, 1, 1, 1, 300} << QList<int>{1, 1, 1, 1, 1, 300};
    QTest::newRow("--no-enlarge") << QStringList{"--no-enlarge"} << off
                                  << QList<int>{1, 0, 0, 0, 0, 0};
    QTest::newRow("--fit") << QStringList{"--fit"} << off << QList<int>{0, 1, 0, 0, 0, 0};
    QTest::newRow("--recursive") << QStringList{"--recursive"} << off
                                 << QList<int>{0, 0, 1, 0, 0, 0};
    QTest::newRow("--strip-location")
        << QStringList{"--strip-location"} << off << QList<int>{0, 0, 0, 1, 0, 0};
    QTest::newRow("--keep-dates") << QStringList{"--keep-dates"} << off
                                  << QList<int>{0, 0, 0, 0, 1, 0};
    QTest::newRow("--max-kb over a stored budget")
        << QStringList{"--max-kb=70"} << QList<int>{0, 0, 0, 0, 0, 300}
        << QList<int>{0, 0, 0, 0, 0, 70};
}

void TestCommandLineRequest::choicesReplaceTheStoredOnes() {
    QFETCH(QStringList, options);
    QFETCH(QList<int>, stored);
    QFETCH(QList<int>, codes);
    RunChoices inStore;
    inStore.conversion.noEnlarge = stored[0] == 1;
    inStore.conversion.fitWithin = stored[1] == 1;
    inStore.includeSubfolders = stored[2] == 1;
    inStore.conversion.removeLocation = stored[3] == 1;
    inStore.keepDates = stored[4] == 1;
    inStore.conversion.sizeBudgetBytes = kavenra::SizeBudgetOfKb(stored[5]);
    const auto result = ReadCommandLineText(QStringList{"--size=4x3"} + options + QStringList{"x"});
    QVERIFY(std::holds_alternative<CommandLineRequest>(result));
    const RunChoices given =
        kavenra::WithRequestedChoices(std::get<CommandLineRequest>(result), inStore);
    QCOMPARE((QList<int>{given.conversion.noEnlarge, given.conversion.fitWithin,
                         given.includeSubfolders, given.conversion.removeLocation, given.keepDates,
                         kavenra::KbOfSizeBudget(given.conversion.sizeBudgetBytes)}),
             codes);
}

void TestCommandLineRequest::usageNamesEveryOption() {
    const QString usage = QString::fromStdString(kavenra::CommandLineUsage());
    for (const char* option : {"--resize",
                               "--size",
                               "--longest",
                               "--keep-raw-size",
                               "--output",
                               "--format",
                               "--filter",
                               "--jpeg-quality",
                               "--png-compression",
                               "--bmp-compression",
                               "--tga-compression",
                               "--tiff-compression",
                               "--webp-quality",
                               "--webp-lossless",
                               "--fast",
                               "--stop-on-failure",
                               "--json",
                               "--no-enlarge",
                               "--fit",
                               "--keep-dates",
                               "--recursive",
                               "--strip-location",
                               "--max-kb"}) {
        QVERIFY2(usage.contains(QLatin1String(option)), option);
    }
}

void TestCommandLineRequest::mistypedOptionsNameTheOneMeant_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("meant");  // empty: nothing is close enough to say
    QTest::newRow("a letter left out") << "--longst"
                                       << "--longest";
    QTest::newRow("two letters swapped") << "--fats"
                                         << "--fast";
    QTest::newRow("a letter wrong") << "--lpngest"
                                    << "--longest";
    QTest::newRow("two slips in a long name") << "--jpg-qualty"
                                              << "--jpeg-quality";
    QTest::newRow("one dash") << "-longest"
                              << "--longest";
    QTest::newRow("the start of one option") << "--recur"
                                             << "--recursive";
    QTest::newRow("the start of several") << "--s"
                                          << "";
    QTest::newRow("nothing like any") << "--colour"
                                      << "";
    QTest::newRow("two slips in a short name") << "--fxi"
                                               << "";
    QTest::newRow("a short option") << "-q"
                                    << "";
}

// A slip of the keyboard is answered with the option meant, as part of the usage error.
void TestCommandLineRequest::mistypedOptionsNameTheOneMeant() {
    QFETCH(QString, typed);
    QFETCH(QString, meant);
    QCOMPARE(kavenra::NearestOption(typed, kavenra::ResizeOptionNames()), meant);
    const auto result = ReadCommandLineText({"--longest=5", typed + QStringLiteral("=1"), "x"});
    const auto* error = std::get_if<UsageError>(&result);
    QVERIFY(error);
    const QString expected =
        meant.isEmpty() ? QStringLiteral("unknown option %1").arg(typed)
                        : QStringLiteral("unknown option %1; did you mean %2?").arg(typed, meant);
    QCOMPARE(QString::fromStdString(error->message), expected);
}

// A name is the system's bytes: one that is no UTF-8 reaches the run as it was given, and so does
// the output folder.
void TestCommandLineRequest::namesAreKeptAsBytes() {
    const QByteArray latin1("caf\xE9.jpg");
    const QByteArray folder("/tmp/\xE9t\xE9");
    const auto result = ReadCommandLineRequest(
        QByteArrayList{"--longest=5", "--output", folder, latin1, "--", QByteArray("-\xFF")});
    const auto* request = std::get_if<CommandLineRequest>(&result);
    QVERIFY(request);
    QCOMPARE(request->inputs, (QByteArrayList{latin1, QByteArray("-\xFF")}));
    QCOMPARE(request->output, folder);
    const auto equals = ReadCommandLineRequest(
        QByteArrayList{"--longest=5", QByteArray("--output=") + folder, latin1});
    QVERIFY(std::holds_alternative<CommandLineRequest>(equals));
    QCOMPARE(std::get<CommandLineRequest>(equals).output, folder);
}

QTEST_GUILESS_MAIN(TestCommandLineRequest)
#include "test_command_line_request.moc"
