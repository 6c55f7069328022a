// The built program, started as a user starts it: its own process, its own folder (a copy of the
// runtime folder) as the working directory, a list file of real images, or images and folders,
// as its arguments. It must reach the ready main window with the list filled and every window in
// the active language, and end with status 0 when its window is closed (by the system's SIGTERM,
// which the program turns into closing its main window). What it shows is read from the state
// report it writes when KAVENRA_DUMP_STATE names a file.

#include "support/DatabaseFixture.h"
#include "support/ImageFactory.h"
#include "support/ProgramFolder.h"
#include "support/ProgramRun.h"
#include "ui/AccessKeys.h"

#include "store/CaptionKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <memory>

using namespace kavenra::testing;

namespace {

bool writeImage(const QString& path, FREE_IMAGE_FORMAT format) {
    kavenra::test::InitialiseFreeImageOnce();
    return QDir().mkpath(QFileInfo(path).absolutePath()) &&
           kavenra::test::WriteImageFile(QFile::encodeName(path).toStdString(), format, 160, 120);
}

bool writeList(const QString& path, const QStringList& lines) {
    QFile list(path);
    const QByteArray content = lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
    return list.open(QIODevice::WriteOnly) && list.write(content) == content.size();
}

// The user's copy of the program's folder, English chosen at an earlier first run, from which
// the program is started with that folder as its working directory.
struct PortableCopy {
    QTemporaryDir home;
    QString folder;
    QString settings;

    // Ends the test case at its first failure; check QTest::currentTestFailed().
    void prepare();
    ProgramStart start(const QStringList& arguments) const {
        return {folder + QStringLiteral("/kavenra"), arguments, folder, {}};
    }
};

void PortableCopy::prepare() {
    QVERIFY(home.isValid());
    folder = home.filePath(QStringLiteral("Kavenra"));
    QString error;
    QVERIFY2(CopyRuntimeFolder(folder, &error), qPrintable(error));
    settings = folder + QStringLiteral("/KVConfig.db");
    QCOMPARE(RunSql(settings, QStringLiteral("UPDATE configuracion SET primera_ejecucion='1';"
                                             "UPDATE idiomas SET activo = CASE idioma "
                                             "WHEN 'English' THEN '1' ELSE '0' END")),
             QString());
}

}  // namespace

class TestE2eProgram : public QObject {
    Q_OBJECT

  private slots:
    void startsReadyListsTranslatesAndClosesCleanly();
    void imagesAndFoldersOnTheCommandLineFollowTheListFile();
    void startedFromAnyFolder();
    void namesThatBringNothingAreSaidInTheWindow();
    void aNameThatIsNoUtf8IsListed();
};

void TestE2eProgram::startsReadyListsTranslatesAndClosesCleanly() {
    PortableCopy run;
    run.prepare();
    if (QTest::currentTestFailed()) return;
    const QString settings = run.settings;
    const QString language = ActiveLanguageDatabase(settings);
    QVERIFY(QFileInfo(language).isFile());
    QCOMPARE(QFileInfo(language).fileName(), QStringLiteral("English.db"));

    // Real images in a folder with a blank in its name, and the list file naming them.
    const QString pictures = run.home.filePath(QStringLiteral("my pictures"));
    QStringList images;
    const QList<QPair<QString, FREE_IMAGE_FORMAT>> files = {{QStringLiteral("beach.jpg"), FIF_JPEG},
                                                            {QStringLiteral("hills.png"), FIF_PNG},
                                                            {QStringLiteral("lake.jpg"), FIF_JPEG}};
    for (const auto& [name, format] : files) {
        const QString path = pictures + QLatin1Char('/') + name;
        QVERIFY(writeImage(path, format));
        images << path;
    }
    const QString listFile = run.home.filePath(QStringLiteral("holiday list.txt"));
    QVERIFY(writeList(listFile, images));

    ProgramRun program;
    QString error;
    QVERIFY2(program.startUntilReady(run.start({listFile}), &error), qPrintable(error));

    const QJsonObject state = program.state();
    QCOMPARE(state.value(QStringLiteral("title")).toString(), QStringLiteral("Kavenra"));
    QVERIFY(state.value(QStringLiteral("visible")).toBool());
    QVERIFY(state.value(QStringLiteral("startupChecksRun")).toBool());
    QCOMPARE(JsonStrings(state.value(QStringLiteral("list"))), images);
    QCOMPARE(state.value(QStringLiteral("count")).toString(), QStringLiteral("3"));
    QCOMPARE(state.value(QStringLiteral("destination")).toString(),
             pictures + QStringLiteral("/RES/"));

    // Every text of the selection is the English database's, not the layout's Spanish.
    const QJsonObject texts = state.value(QStringLiteral("texts")).toObject();
    const QList<std::tuple<QString, int, QString>> expected = {
        {QStringLiteral("GroupBox1"), kavenra::kMainWindowForm, QStringLiteral("GroupBox1")},
        {QStringLiteral("Label3"), kavenra::kMainWindowForm, QStringLiteral("Label3")},
        {QStringLiteral("Label9"), kavenra::kMainWindowForm, QStringLiteral("Label9")},
        {QStringLiteral("Button3"), kavenra::kMainWindowForm, QStringLiteral("Button3")},
        {QStringLiteral("ListBox1Hint"), kavenra::kMainWindowForm, QStringLiteral("ListBox1Hint")},
        {QStringLiteral("Form3Caption"), kavenra::kOptionsDialogForm,
         QStringLiteral("Form_Caption")},
        {QStringLiteral("Form5Caption"), kavenra::kFolderChooserForm, QStringLiteral("Caption")},
        {QStringLiteral("Form7Caption"), kavenra::kAboutBoxForm, QStringLiteral("Caption")}};
    for (const auto& [shown, form, key] : expected) {
        const QString text = CaptionIn(language, form, key);
        QVERIFY2(!text.isEmpty(), qPrintable(key));
        QCOMPARE(texts.value(shown).toString(), text);
    }
    QCOMPARE(texts.value(QStringLiteral("Button3")).toString(), QStringLiteral("Start"));
    const QJsonArray menus = state.value(QStringLiteral("menus")).toArray();
    QCOMPARE(menus.size(), 3);
    QCOMPARE(
        kavenra::WithoutAccessKey(menus[0].toObject().value(QStringLiteral("text")).toString()),
        CaptionIn(language, kavenra::kMainWindowForm, QStringLiteral("MainMenu1")));
    QStringList optionItems = JsonStrings(menus[1].toObject().value(QStringLiteral("items")));
    for (QString& item : optionItems) item = kavenra::WithoutAccessKey(item);
    QCOMPARE(optionItems,
             (QStringList{
                 CaptionIn(language, kavenra::kMainWindowForm, QStringLiteral("MainMenu2Sub1")),
                 QString(),
                 CaptionIn(language, kavenra::kMainWindowForm, QStringLiteral("MainMenu2Sub2"))}));

    // Closed by the system as by the user: a normal end with status 0.
    QCOMPARE(program.closeAndWait(), 0);
    QStringList firstRun;
    QVERIFY(QueryColumn(settings, QStringLiteral("SELECT primera_ejecucion FROM configuracion"),
                        &firstRun));
    QCOMPARE(firstRun, QStringList{QStringLiteral("1")});
}

// Images and a folder named on the command line, relative ones included, are listed after the
// list file's lines, in the order given, whatever their place among the arguments; the folder
// brings its images in code-point order of their names.
void TestE2eProgram::imagesAndFoldersOnTheCommandLineFollowTheListFile() {
    PortableCopy run;
    run.prepare();
    if (QTest::currentTestFailed()) return;
    const QString home = run.home.path();
    const QStringList lines{home + QStringLiteral("/old/one.jpg"),
                            home + QStringLiteral("/old/two.jpg")};
    QVERIFY(writeList(home + QStringLiteral("/holiday list.txt"), lines));
    const QString beach = home + QStringLiteral("/my pictures/beach.jpg");
    const QString sunset = home + QStringLiteral("/more/sunset.picture");  // a PNG by content
    QVERIFY(writeImage(beach, FIF_JPEG));
    QVERIFY(writeImage(sunset, FIF_PNG));
    const QString album = home + QStringLiteral("/album");
    QStringList albumImages;
    for (const char* name : {"B.png", "a10.png", "a9.png", "b.jpg"}) {
        albumImages << album + QLatin1Char('/') + QLatin1String(name);
        QVERIFY(
            writeImage(albumImages.last(), QByteArray(name).endsWith(".png") ? FIF_PNG : FIF_JPEG));
    }
    QVERIFY(writeList(album + QStringLiteral("/notes.txt"), {QStringLiteral("not an image")}));

    // The working directory is the program's folder, inside the home folder.
    ProgramRun program;
    QString error;
    QVERIFY2(program.startUntilReady(
                 run.start({beach, QStringLiteral("../holiday list.txt"),
                            QStringLiteral("../more/sunset.picture"), QStringLiteral("../album/")}),
                 &error),
             qPrintable(error));

    const QJsonObject state = program.state();
    const QStringList expected = lines + QStringList{beach, sunset} + albumImages;
    QCOMPARE(JsonStrings(state.value(QStringLiteral("list"))), expected);
    QCOMPARE(state.value(QStringLiteral("count")).toString(), QString::number(expected.size()));
    QCOMPARE(state.value(QStringLiteral("destination")).toString(),
             album + QStringLiteral("/RES/"));

    QCOMPARE(program.closeAndWait(), 0);
}

// A terminal or a menu starts the program in a folder of the user's: the copy still finds its
// settings, texts and image worker beside itself, and writes nothing into the home folder.
void TestE2eProgram::startedFromAnyFolder() {
    PortableCopy run;
    run.prepare();
    if (QTest::currentTestFailed()) return;
    QCOMPARE(RunSql(run.settings, QStringLiteral("UPDATE idiomas SET activo = CASE idioma "
                                                 "WHEN 'Deutsch' THEN '1' ELSE '0' END")),
             QString());
    const QString elsewhere = run.home.filePath(QStringLiteral("elsewhere"));
    const QString photo = elsewhere + QStringLiteral("/photo.jpg");
    QVERIFY(writeImage(photo, FIF_JPEG));

    ProgramStart start = run.start({QStringLiteral("photo.jpg")});
    start.workingDirectory = elsewhere;
    start.environment.insert(QStringLiteral("HOME"), run.home.path());
    ProgramRun program;
    QString error;
    QVERIFY2(program.startUntilReady(start, &error), qPrintable(error));
    const QJsonObject texts = program.state().value(QStringLiteral("texts")).toObject();
    QCOMPARE(texts.value(QStringLiteral("Button3")).toString(),
             CaptionIn(run.folder + QStringLiteral("/lang/Deutsch.db"), kavenra::kMainWindowForm,
                       QStringLiteral("Button3")));
    QCOMPARE(JsonStrings(program.state().value(QStringLiteral("list"))), QStringList{photo});
    const QStringList workers = program.childExecutables();
    QVERIFY2(!workers.isEmpty(), "no image worker was started");
    for (const QString& worker : workers) {
        QCOMPARE(worker, run.folder + QStringLiteral("/kavenra-imageworker"));
    }
    QCOMPARE(program.closeAndWait(), 0);
    QVERIFY(!QFileInfo::exists(run.home.filePath(QStringLiteral(".config/kavenra"))));
}

// What "Open with" or a script hands over that brings no picture (a missing file, an unset
// variable's empty name, a text or random bytes under a picture's name) is named in the window's
// status bar once the list is checked, each with its reason in the tooltip; none is read as a
// list of names, and no box stops the start.
void TestE2eProgram::namesThatBringNothingAreSaidInTheWindow() {
    PortableCopy run;
    run.prepare();
    if (QTest::currentTestFailed()) return;
    const QString home = run.home.path();
    const QString beach = home + QStringLiteral("/shots/beach.jpg");
    QVERIFY(writeImage(beach, FIF_JPEG));
    QFile text(home + QStringLiteral("/shots/notes.jpg"));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write("this is not a photo\n") > 0);
    text.close();
    QFile noise(home + QStringLiteral("/shots/noise.bin"));
    QByteArray bytes;
    for (int i = 0; i < 3000; ++i) bytes.append(char((i * 7919 + 13) % 251));
    QVERIFY(noise.open(QIODevice::WriteOnly) && noise.write(bytes) == bytes.size());
    noise.close();

    ProgramStart start = run.start({beach, home + QStringLiteral("/shots/gone.jpg"),
                                    home + QStringLiteral("/shots/notes.jpg"),
                                    home + QStringLiteral("/shots/noise.bin"), QString()});
    ProgramRun program;
    QString error;
    QVERIFY2(program.startUntilReady(start, &error), qPrintable(error));

    const QJsonObject state = program.state();
    QCOMPARE(JsonStrings(state.value(QStringLiteral("list"))), QStringList{beach});
    QCOMPARE(state.value(QStringLiteral("destination")).toString(),
             home + QStringLiteral("/shots/RES/"));
    QCOMPARE(state.value(QStringLiteral("status")).toString(),
             QStringLiteral("Images in the list: 1. Left out: not found: gone.jpg, \"\"; not a "
                            "supported image: notes.jpg, noise.bin"));
    QCOMPARE(state.value(QStringLiteral("statusDetails")).toString().split(QLatin1Char('\n')),
             (QStringList{home + "/shots/gone.jpg: Reason: the file or folder does not exist.",
                          home + "/shots/notes.jpg: Reason: not a supported picture, or a damaged "
                                 "one.",
                          home + "/shots/noise.bin: Reason: not a supported picture, or a damaged "
                                 "one.",
                          "\"\": Reason: the file or folder does not exist."}));
    QCOMPARE(program.closeAndWait(), 0);
}

// Arguments are bytes: a picture whose name is no UTF-8 is listed under its very name.
void TestE2eProgram::aNameThatIsNoUtf8IsListed() {
    PortableCopy run;
    run.prepare();
    if (QTest::currentTestFailed()) return;
    const QByteArray photo = QFile::encodeName(run.home.path()) + "/caf\xE9.jpg";
    // Qt cannot name the file to remove it with its folder.
    const std::unique_ptr<const QByteArray, void (*)(const QByteArray*)> removal(
        &photo, [](const QByteArray* path) { ::unlink(path->constData()); });
    kavenra::test::InitialiseFreeImageOnce();
    QVERIFY(kavenra::test::WriteImageFile(photo.toStdString(), FIF_JPEG, 160, 120));

    ProgramRun program;
    QString error;
    QVERIFY2(program.startUntilReady(WithByteArguments(run.start({}), {photo}), &error),
             qPrintable(error));

    const QJsonObject state = program.state();
    const QStringList paths = JsonStrings(state.value(QStringLiteral("listPaths")));
    QCOMPARE(paths.size(), 1);
    QCOMPARE(QByteArray::fromBase64(paths.first().toLatin1()), photo);
    QCOMPARE(state.value(QStringLiteral("count")).toString(), QStringLiteral("1"));
    QCOMPARE(program.closeAndWait(), 0);
}

QTEST_GUILESS_MAIN(TestE2eProgram)

#include "test_e2e_program.moc"
