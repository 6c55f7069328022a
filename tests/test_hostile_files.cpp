// The regression set of corrupt and hostile files through the type test and the conversion:
// gdk-pixbuf-tests' fail/ and randomly-modified/ images, the reproducers of our mutation fuzzing
// (tests/data/hostile) and files crafted here. Each call returns, with an answer or as a failed
// file; nothing is left in the output folder but a complete output; the worker keeps serving;
// and the files known to crash, corrupt or hang FreeImage are never reported as converted.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "engine/base/OptionsFromCodes.h"
#include "engine/isolation/ImageWorker.h"
#include "engine/run/ImageFileOperations.h"
#include "support/ConversionWorkspace.h"
#include "support/HostileFiles.h"
#include "support/ImageFactory.h"
#include "support/ImageFiles.h"

using namespace kavenra;
using namespace kavenra::test;

namespace {

QStringList Listing(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

const char* Describe(ImageJobEnd end) {
    switch (end) {
        case ImageJobEnd::Answered:
            return "answered";
        case ImageJobEnd::Crashed:
            return "crashed";
        case ImageJobEnd::TimedOut:
            return "timed out";
        case ImageJobEnd::Unavailable:
            return "no worker";
        case ImageJobEnd::Cancelled:
            return "cancelled";
    }
    return "?";
}

}  // namespace

class HostileFilesTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir crafted;
    std::unique_ptr<QTemporaryDir> work;
    QString control;
    QMap<QString, int> outcomes;

    void addRows(const QStringList& paths) {
        QTest::addColumn<QString>("path");
        for (const QString& path : paths) {
            const QString folder = QFileInfo(QFileInfo(path).path()).fileName();
            QTest::newRow(qPrintable(folder + "/" + QFileInfo(path).fileName())) << path;
        }
    }

    // One file through the type test and the conversion, then a good file to show the worker
    // still serves.
    void runThrough(const QString& path) {
        const QString name = QFileInfo(path).fileName();
        const QString output = work->filePath("out/" + name);

        const IsolatedDetection detected = DetectIsolated(NativePath(path));
        const bool supported = IsSupportedImage(NativePath(path));
        const ImageJobEnd detection = detected.report.end;
        QVERIFY(detection != ImageJobEnd::Unavailable);
        const WorkerConversion converting = ConvertInWorker(path, output, 1, 0, 64);
        const bool converted = converting.committed;
        const ImageJobEnd conversion = converting.report.end;
        QVERIFY(conversion != ImageJobEnd::Unavailable);
        ++outcomes[QString("detection %1, %2")
                       .arg(Describe(detection), supported ? "accepted" : "refused")];
        ++outcomes[QString("conversion %1, %2")
                       .arg(Describe(conversion), converted ? "converted" : "failed")];

        if (kavenra::testing::KnownToHarmTheLibrary(name)) QVERIFY(!converted);
        const QStringList written = Listing(work->filePath("out"));
        if (converted) {
            const QString jpegName = QFileInfo(name).completeBaseName() + ".jpg";
            QVERIFY2(written == QStringList{name} || written == QStringList{jpegName},
                     qPrintable(written.join(", ")));
        } else {
            QCOMPARE(written, QStringList{});
        }

        QVERIFY(
            ConvertImage(NativePath(control), NativePath(work->filePath("control.png")), 1, 0, 20));
    }

  private slots:
    void initTestCase() {
        InitialiseFreeImageOnce();
        QVERIFY(crafted.isValid());
        QVERIFY(!kavenra::testing::WriteCraftedHostileFiles(crafted.path()).isEmpty());
    }

    void init() {
        work = std::make_unique<QTemporaryDir>();
        QVERIFY(work->isValid());
        QVERIFY(QDir(work->path()).mkpath("out"));
        control = work->filePath("control-input.png");
        QVERIFY(WriteImageFile(NativePath(control), FIF_PNG, 40, 30));
    }

    void cleanup() { work.reset(); }

    void cleanupTestCase() {
        for (auto outcome = outcomes.cbegin(); outcome != outcomes.cend(); ++outcome) {
            qInfo("%s: %d", qPrintable(outcome.key()), outcome.value());
        }
    }

    void gdkPixbufTestImages_data() {
        const QStringList files = kavenra::testing::GdkPixbufHostileFiles();
        if (files.isEmpty()) QSKIP("gdk-pixbuf-tests is not installed");
        addRows(files);
    }
    void gdkPixbufTestImages() {
        QFETCH(QString, path);
        runThrough(path);
    }

    void fuzzingReproducers_data() {
        const QStringList files = kavenra::testing::CommittedHostileFiles();
        QVERIFY(!files.isEmpty());
        addRows(files);
    }
    void fuzzingReproducers() {
        QFETCH(QString, path);
        runThrough(path);
    }

    void craftedFiles_data() {
        QStringList paths;
        for (const QString& name : QDir(crafted.path()).entryList(QDir::Files, QDir::Name)) {
            paths << crafted.filePath(name);
        }
        addRows(paths);
    }
    void craftedFiles() {
        QFETCH(QString, path);
        runThrough(path);
    }
};

QTEST_GUILESS_MAIN(HostileFilesTest)
#include "test_hostile_files.moc"
