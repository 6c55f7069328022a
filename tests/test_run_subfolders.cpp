// A folder brought with its subfolders: the walk of its tree (hidden folders and links to folders
// left out, so no tree can hold itself), and a run that writes each image into the mirror of its
// folder under the destination, making the folders as it goes.

#include "engine/run/FolderFiles.h"
#include "engine/run/HeadlessRun.h"
#include "support/ImageFactory.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace kavenra;

namespace {

bool WriteImage(const QByteArray& path, int width = 40, int height = 30) {
    kavenra::test::InitialiseFreeImageOnce();
    QDir().mkpath(QFileInfo(QFile::decodeName(path)).path());
    return kavenra::test::WriteImageFile(path.toStdString(), FIF_JPEG, width, height);
}

// "subfolder|file name" for every file of a walk, relative to `top`.
QStringList Walked(const std::vector<TreeFile>& files, const QByteArray& top) {
    QStringList walked;
    for (const TreeFile& file : files) {
        walked << QString::fromUtf8(file.subfolder) + QLatin1Char('|') +
                      QString::fromUtf8(file.path.mid(top.size() + 1));
    }
    return walked;
}

QStringList FilesUnder(const QString& folder) {
    QStringList files;
    QDirIterator walk(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (walk.hasNext()) files << QDir(folder).relativeFilePath(walk.next());
    files.sort();
    return files;
}

}  // namespace

class TestRunSubfolders : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void walksTheTreeOnce();
    void linksAndHiddenFoldersAreLeftOut();
    void outputFoldersAreLeftOut_data();
    void outputFoldersAreLeftOut();
    void gatheringLeavesOutTheRunsOutputFolder();
    void runMirrorsTheTree();
    void aMissingDestinationIsNotMade();

  private:
    QByteArray at(const char* relative) const {
        return QFile::encodeName(folder_->path()) + '/' + relative;
    }
    std::unique_ptr<QTemporaryDir> folder_;
};

void TestRunSubfolders::init() {
    folder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid());
    for (const char* image : {"DCIM/b.jpg", "DCIM/a.jpg", "DCIM/2024/june/c.jpg",
                              "DCIM/2024/may/d.jpg", "DCIM/2023/a.jpg", "DCIM/.thumbnails/t.jpg"}) {
        QVERIFY(WriteImage(at(image)));
    }
}

// Each folder's own files first, then its subfolders in byte order, however deep.
void TestRunSubfolders::walksTheTreeOnce() {
    QCOMPARE(Walked(FilesInTree(at("DCIM")), at("DCIM")),
             (QStringList{"|a.jpg", "|b.jpg", "2023/|2023/a.jpg", "2024/june/|2024/june/c.jpg",
                          "2024/may/|2024/may/d.jpg"}));
    // A folder named with a final "/" is the same tree.
    QCOMPARE(Walked(FilesInTree(at("DCIM/")), at("DCIM")).size(), 5);
}

void TestRunSubfolders::linksAndHiddenFoldersAreLeftOut() {
    // A link back to the top would make the tree endless; a link to another folder would bring
    // files from outside it.
    QVERIFY(symlink("..", at("DCIM/2024/up").constData()) == 0);
    QVERIFY(WriteImage(at("elsewhere/e.jpg")));
    QVERIFY(symlink(at("elsewhere").constData(), at("DCIM/linked").constData()) == 0);
    // A link to a file is a file of its folder, as in a folder dropped without its subfolders.
    QVERIFY(symlink(at("elsewhere/e.jpg").constData(), at("DCIM/2023/e-link.jpg").constData()) ==
            0);
    const QStringList walked = Walked(FilesInTree(at("DCIM")), at("DCIM"));
    QCOMPARE(walked, (QStringList{"|a.jpg", "|b.jpg", "2023/|2023/a.jpg", "2023/|2023/e-link.jpg",
                                  "2024/june/|2024/june/c.jpg", "2024/may/|2024/may/d.jpg"}));
}

void TestRunSubfolders::outputFoldersAreLeftOut_data() {
    QTest::addColumn<QStringList>("outputFolders");  // relative to the temporary folder
    QTest::addColumn<QStringList>("walked");
    const QStringList own{"|a.jpg",
                          "|b.jpg",
                          "2023/|2023/a.jpg",
                          "2024/RES/|2024/RES/e.jpg",
                          "2024/june/|2024/june/c.jpg",
                          "2024/may/|2024/may/d.jpg"};
    const QStringList all = own + QStringList{"RES/|RES/a.jpg"};
    QTest::newRow("none") << QStringList{} << all;
    QTest::newRow("RES inside the tree") << QStringList{"DCIM/RES/"} << own;
    QTest::newRow("RES named through a link") << QStringList{"res-link"} << own;
    QTest::newRow("RES spelled with ..") << QStringList{"DCIM/2024/../RES"} << own;
    QTest::newRow("a folder with folders below it")
        << QStringList{"DCIM/2024"}
        << QStringList{"|a.jpg", "|b.jpg", "2023/|2023/a.jpg", "RES/|RES/a.jpg"};
    QTest::newRow("the top itself, which is walked all the same") << QStringList{"DCIM"} << all;
    QTest::newRow("a folder that is not there") << QStringList{"DCIM/none/"} << all;
    QTest::newRow("an empty name and a file") << QStringList{"", "DCIM/a.jpg"} << all;
}

// A run's destination inside the tree is left out with everything below it, however it is
// spelled; a folder of the same name elsewhere in the tree is another folder.
void TestRunSubfolders::outputFoldersAreLeftOut() {
    QFETCH(QStringList, outputFolders);
    QFETCH(QStringList, walked);
    QVERIFY(WriteImage(at("DCIM/RES/a.jpg")));
    QVERIFY(WriteImage(at("DCIM/2024/RES/e.jpg")));
    QVERIFY(symlink(at("DCIM/RES").constData(), at("res-link").constData()) == 0);
    QByteArrayList leftOut;
    for (const QString& folder : outputFolders) {
        leftOut << (folder.isEmpty() ? QByteArray() : at(folder.toUtf8().constData()));
    }
    QCOMPARE(Walked(FilesInTree(at("DCIM"), leftOut), at("DCIM")), walked);
}

// The command line leaves out the output folder it is given, else the RES folder it proposes.
void TestRunSubfolders::gatheringLeavesOutTheRunsOutputFolder() {
    QVERIFY(WriteImage(at("DCIM/RES/2024/june/c.jpg")));
    const QString workingDirectory = folder_->path();
    const auto listed = [&](const QString& outputFolder) {
        const GatheredInputs inputs = GatherInputs({QStringLiteral("DCIM")}, workingDirectory,
                                                   /*includeSubfolders=*/true, outputFolder);
        QStringList names;
        for (const QByteArray& entry : inputs.entries) names << entry.mid(at("DCIM").size() + 1);
        return names;
    };
    QCOMPARE(listed(QString()),
             (QStringList{"a.jpg", "b.jpg", "2023/a.jpg", "2024/june/c.jpg", "2024/may/d.jpg"}));
    QCOMPARE(listed(QStringLiteral("DCIM/2024")),
             (QStringList{"a.jpg", "b.jpg", "2023/a.jpg", "RES/2024/june/c.jpg"}));
    QCOMPARE(listed(folder_->filePath(QStringLiteral("DCIM/2023/"))),
             (QStringList{"a.jpg", "b.jpg", "2024/june/c.jpg", "2024/may/d.jpg",
                          "RES/2024/june/c.jpg"}));
}

// The same name in two folders of the tree is two outputs in two folders: no numbered name.
void TestRunSubfolders::runMirrorsTheTree() {
    const QString workingDirectory = folder_->path();
    const GatheredInputs inputs =
        GatherInputs({QStringLiteral("DCIM")}, workingDirectory, /*includeSubfolders=*/true);
    QCOMPARE(inputs.entries.size(), 5);
    QCOMPARE(inputs.proposedDestination,
             QFile::encodeName(folder_->path() + QStringLiteral("/DCIM/RES/")));
    CommandLineRequest request;
    request.longest = 20;
    const QString destination = folder_->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(destination));
    HeadlessRun run(
        ControlsForRequest(request, inputs, QFile::encodeName(destination), RunChoices{}));
    const std::atomic<bool> stop{false};
    int written = 0;
    for (HeadlessRun::Result result = run.Next(stop); result.step == HeadlessRun::Step::File;
         result = run.Next(stop)) {
        QVERIFY2(result.outcome.committed, result.entry.constData());
        QVERIFY(result.outcome.renamedTo.empty());
        ++written;
    }
    QCOMPARE(written, 5);
    QCOMPARE(FilesUnder(destination),
             (QStringList{"2023/a.jpg", "2024/june/c.jpg", "2024/may/d.jpg", "a.jpg", "b.jpg"}));
    const BitmapHandle deep = kavenra::test::LoadImageFile(
        QFile::encodeName(destination + QStringLiteral("/2024/june/c.jpg")).toStdString());
    QVERIFY(deep);
    QCOMPARE(FreeImage_GetWidth(deep.get()), 20u);
}

// The window's Start may go on with a destination it could not make: its files fail, and the run
// does not make it behind the user's back through a subfolder.
void TestRunSubfolders::aMissingDestinationIsNotMade() {
    const QString missing = folder_->filePath(QStringLiteral("not/there/"));
    QVERIFY(!CreateOutputSubfolder(missing, "2024/june/"));
    QVERIFY(!QFileInfo::exists(missing));
    const QString present = folder_->filePath(QStringLiteral("RES"));
    QVERIFY(QDir().mkdir(present));
    // Names need not be UTF-8: the mirror has the same bytes.
    const QByteArray latin1Name("f\xE9vrier/", 8);
    QVERIFY(CreateOutputSubfolder(present, "2024/" + latin1Name));
    struct stat status {};
    QVERIFY(stat((QFile::encodeName(present) + "/2024/" + latin1Name).constData(), &status) == 0 &&
            S_ISDIR(status.st_mode));
    // Made already: still fine.
    QVERIFY(CreateOutputSubfolder(present + QLatin1Char('/'), "2024/"));
}

QTEST_GUILESS_MAIN(TestRunSubfolders)
#include "test_run_subfolders.moc"
