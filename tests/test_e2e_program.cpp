// The built program, started as a user starts it: its own process, its own folder (a copy of the
// runtime folder) as the working directory, a list file of real images, or images and folders, as
// its arguments. It must
// reach the ready main window with the list filled and every window in the active language, and
// end with status 0 when its window is closed (by the system's SIGTERM, which the program turns
// into closing its main window). What it shows is read from the state report it writes when
// KAVENRA_DUMP_STATE names a file.

#include "support/DatabaseFixture.h"
#include "support/ImageFactory.h"
#include "support/LoopbackHttpServer.h"
#include "support/ProgramFolder.h"

#include "store/CaptionKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace kavenra::testing;

namespace {

constexpr int kStartTimeoutMs = 60000;

QStringList strings(const QJsonValue& value) {
    QStringList texts;
    for (const QJsonValue& item : value.toArray()) texts << item.toString();
    return texts;
}

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

// The user's copy of the program's folder, English chosen at an earlier first run, and the
// program started from it, its working directory that folder, with the state report asked for.
class ProgramRun {
  public:
    QTemporaryDir home;
    QString folder;
    QString settings;
    QProcess program;

    // Each of these ends the test case at its first failure; check QTest::currentTestFailed().
    void prepare();
    void start(const QStringList& arguments);
    QJsonObject state();

  private:
    QString stateFile_;
};

void ProgramRun::prepare() {
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

void ProgramRun::start(const QStringList& arguments) {
    stateFile_ = home.filePath(QStringLiteral("state.json"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("KAVENRA_TEST_PROBE"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("KAVENRA_ASSUME_ONLINE"), QStringLiteral("0"));
    // Should the online test ever be asked, nothing listens there.
    environment.insert(QStringLiteral("KAVENRA_WEB_HOST"),
                       QStringLiteral("127.0.0.1:%1").arg(LoopbackHttpServer::unusedPort()));
    environment.insert(QStringLiteral("KAVENRA_DUMP_STATE"), stateFile_);

    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(folder);
    program.start(folder + QStringLiteral("/kavenra"), arguments);
    QVERIFY2(program.waitForStarted(kStartTimeoutMs), qPrintable(program.errorString()));
    const bool ready = QTest::qWaitFor(
        [&] { return QFileInfo::exists(stateFile_) || program.state() == QProcess::NotRunning; },
        kStartTimeoutMs);
    QVERIFY2(ready && QFileInfo::exists(stateFile_),
             qPrintable(QStringLiteral("no state report; exit code %1, stderr: %2")
                            .arg(program.exitCode())
                            .arg(QString::fromUtf8(program.readAllStandardError()))));
    QCOMPARE(program.state(), QProcess::Running);
}

QJsonObject ProgramRun::state() {
    QFile report(stateFile_);
    if (!report.open(QIODevice::ReadOnly)) return {};
    return QJsonDocument::fromJson(report.readAll()).object();
}

}  // namespace

class TestE2eProgram : public QObject {
    Q_OBJECT

  private slots:
    void startsReadyListsTranslatesAndClosesCleanly();
    void imagesAndFoldersOnTheCommandLineFollowTheListFile();
};

void TestE2eProgram::startsReadyListsTranslatesAndClosesCleanly() {
    ProgramRun run;
    run.prepare();
    if (QTest::currentTestFailed()) return;
    QProcess& program = run.program;
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

    run.start({listFile});
    if (QTest::currentTestFailed()) return;

    const QJsonObject state = run.state();
    QCOMPARE(state.value(QStringLiteral("title")).toString(), QStringLiteral("Kavenra"));
    QVERIFY(state.value(QStringLiteral("visible")).toBool());
    QVERIFY(state.value(QStringLiteral("startupChecksRun")).toBool());
    QCOMPARE(strings(state.value(QStringLiteral("list"))), images);
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
    QCOMPARE(menus[0].toObject().value(QStringLiteral("text")).toString(),
             CaptionIn(language, kavenra::kMainWindowForm, QStringLiteral("MainMenu1")));
    QCOMPARE(strings(menus[1].toObject().value(QStringLiteral("items"))),
             (QStringList{
                 CaptionIn(language, kavenra::kMainWindowForm, QStringLiteral("MainMenu2Sub1")),
                 QString(),
                 CaptionIn(language, kavenra::kMainWindowForm, QStringLiteral("MainMenu2Sub2"))}));

    // Closed by the system as by the user: a normal end with status 0.
    program.terminate();
    QVERIFY(program.waitForFinished(kStartTimeoutMs));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QStringList firstRun;
    QVERIFY(QueryColumn(settings, QStringLiteral("SELECT primera_ejecucion FROM configuracion"),
                        &firstRun));
    QCOMPARE(firstRun, QStringList{QStringLiteral("1")});
}

// Images and a folder named on the command line, relative ones included, are listed after the
// list file's lines, in the order given, whatever their place among the arguments; the folder
// brings its images in code-point order of their names.
void TestE2eProgram::imagesAndFoldersOnTheCommandLineFollowTheListFile() {
    ProgramRun run;
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
    run.start({beach, QStringLiteral("../holiday list.txt"),
               QStringLiteral("../more/sunset.picture"), QStringLiteral("../album/")});
    if (QTest::currentTestFailed()) return;

    const QJsonObject state = run.state();
    const QStringList expected = lines + QStringList{beach, sunset} + albumImages;
    QCOMPARE(strings(state.value(QStringLiteral("list"))), expected);
    QCOMPARE(state.value(QStringLiteral("count")).toString(), QString::number(expected.size()));
    QCOMPARE(state.value(QStringLiteral("destination")).toString(),
             album + QStringLiteral("/RES/"));

    run.program.terminate();
    QVERIFY(run.program.waitForFinished(kStartTimeoutMs));
    QCOMPARE(run.program.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestE2eProgram)

#include "test_e2e_program.moc"
