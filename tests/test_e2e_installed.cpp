// The program as a user has it after installing it, started from a folder of the user's that has
// nothing to do with the program: it keeps its settings in the user's configuration folder, made
// from the shipped ones at the first start (answered on a real display), finds its texts and its
// image worker in the installed tree and lists the photos and folders it is opened with.

#include "support/DatabaseFixture.h"
#include "support/HeifFiles.h"
#include "support/ImageFactory.h"
#include "support/ProgramFolder.h"
#include "support/ProgramRun.h"
#include "support/XDisplay.h"

#include "store/CaptionKeys.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace kavenra::testing;

namespace {

constexpr int kTimeoutMs = 60000;
constexpr quint32 kKeyTab = 0xff09;
constexpr quint32 kKeyReturn = 0xff0d;

QByteArray Digest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QString Setting(const QString& settings, const QString& sql) {
    QStringList values;
    QueryColumn(settings, sql, &values);
    return values.value(0);
}

QString WriteImage(const QString& path, FREE_IMAGE_FORMAT format) {
    kavenra::test::InitialiseFreeImageOnce();
    QDir().mkpath(QFileInfo(path).path());
    return kavenra::test::WriteImageFile(QFile::encodeName(path).toStdString(), format, 64, 48)
               ? path
               : QString();
}

QString WriteHeic(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    const kavenra::test::Bytes file = kavenra::test::MakeHeifFile({});
    return !file.empty() &&
                   kavenra::test::WriteFileBytes(QFile::encodeName(path).toStdString(), file)
               ? path
               : QString();
}

}  // namespace

class TestE2eInstalled : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void firstStartMakesTheUsersSettingsAndARestartKeepsThem();
    void opensPhotosFoldersAndListFilesFromAnyFolder();
    void settingsOfAnEarlierVersionKeepTheirOptions();
    void resizesFromAScriptWithTheUsersSettings_data();
    void resizesFromAScriptWithTheUsersSettings();

  private:
    // The shipped settings as a user's own, writable file at `path`.
    bool copyShippedSettings(const QString& path) const {
        return QDir().mkpath(QFileInfo(path).path()) && QFile::copy(shippedSettings(), path) &&
               QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }
    QString program() const { return prefix_.filePath(QStringLiteral("bin/kavenra")); }
    QString shippedSettings() const {
        return prefix_.filePath(QStringLiteral("share/kavenra/KVConfig.db"));
    }

    QTemporaryDir prefix_;
    QByteArray shippedDigest_;
};

void TestE2eInstalled::initTestCase() {
    QVERIFY(prefix_.isValid());
    QString error;
    QVERIFY2(InstallBuildInto(prefix_.path(), &error), qPrintable(error));
    QVERIFY(QFileInfo(program()).isExecutable());
    shippedDigest_ = Digest(shippedSettings());
    // The program's own settings, not a developer's: the freshly built database.
    QCOMPARE(shippedDigest_,
             Digest(QStringLiteral(KAVENRA_BUILT_DATA_DIR) + QStringLiteral("/KVConfig.db")));
}

// The first start asks for the language, on a display, as it does for every new user; the answer
// goes into the user's settings, and the next start, which asks nothing, is in that language.
void TestE2eInstalled::firstStartMakesTheUsersSettingsAndARestartKeepsThem() {
    if (!XvfbServer::Available())
        QSKIP("Xvfb is not installed (scripts/install-deps.sh installs it)");
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString userSettings = home.filePath(QStringLiteral(".config/kavenra/KVConfig.db"));
    const QString elsewhere = home.filePath(QStringLiteral("Documents"));
    QVERIFY(QDir().mkpath(elsewhere));
    const QMap<QString, QString> user = {{QStringLiteral("HOME"), home.path()},
                                         {QStringLiteral("XDG_CONFIG_HOME"), QString()}};

    XvfbServer server;
    QString error;
    QVERIFY2(server.start(QSize(1280, 1024), &error), qPrintable(error));
    XConnection x(server.display());
    QVERIFY(x.isValid());
    ProgramStart firstStart{program(), {}, elsewhere, user};
    firstStart.environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    firstStart.environment.insert(QStringLiteral("DISPLAY"), server.display());
    {
        ProgramRun first;
        // The language question comes before the window is ready: answer it from the keyboard
        // (Tab to OK, Return), which keeps the entry the dialog offers, English. By then the
        // user's settings are the shipped ones, unchanged.
        bool asked = false;
        QByteArray settingsWhenAsked;
        QTimer answer;
        answer.setInterval(50);
        QObject::connect(&answer, &QTimer::timeout, [&] {
            for (const XWindowInfo& window : x.topLevelWindows()) {
                if (!asked && window.viewable && window.transient &&
                    window.instance == QLatin1String("kavenra")) {
                    asked = true;
                    answer.stop();
                    settingsWhenAsked = Digest(userSettings);
                    x.typeKeys(window.id, {kKeyTab, kKeyReturn});
                }
            }
        });
        answer.start();
        const bool ready = first.startUntilReady(firstStart, &error);
        answer.stop();
        QVERIFY2(ready, qPrintable(error));
        QVERIFY2(asked, "the language was never asked");
        QCOMPARE(settingsWhenAsked, shippedDigest_);
        QCOMPARE(first.closeAndWait(), 0);
    }
    QCOMPARE(Setting(userSettings, QStringLiteral("SELECT primera_ejecucion FROM configuracion")),
             QStringLiteral("1"));
    QCOMPARE(Setting(userSettings, QStringLiteral("SELECT idioma FROM idiomas WHERE activo='1'")),
             QStringLiteral("English"));

    ProgramRun second;
    QVERIFY2(second.startUntilReady({program(), {}, elsewhere, user}, &error), qPrintable(error));
    const QString english = prefix_.filePath(QStringLiteral("share/kavenra/lang/English.db"));
    const QJsonObject texts = second.state().value(QStringLiteral("texts")).toObject();
    QCOMPARE(texts.value(QStringLiteral("Button3")).toString(),
             CaptionIn(english, kavenra::kMainWindowForm, QStringLiteral("Button3")));
    QCOMPARE(texts.value(QStringLiteral("Form7Caption")).toString(),
             CaptionIn(english, kavenra::kAboutBoxForm, QStringLiteral("Caption")));
    QCOMPARE(second.closeAndWait(), 0);

    QCOMPARE(Digest(shippedSettings()), shippedDigest_);
    QVERIFY(QDir(elsewhere).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

// Started as a file manager's "Open with" or a terminal starts it: relative and absolute photo
// paths, a list file and a folder, from a folder of the user's. The settings folder comes from
// XDG_CONFIG_HOME, where a first run was already answered.
void TestE2eInstalled::opensPhotosFoldersAndListFilesFromAnyFolder() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString configuration = home.filePath(QStringLiteral("config"));
    const QString userSettings = configuration + QStringLiteral("/kavenra/KVConfig.db");
    QVERIFY(copyShippedSettings(userSettings));
    QCOMPARE(RunSql(userSettings, QStringLiteral("UPDATE configuracion SET primera_ejecucion='1'")),
             QString());

    const QString photos = home.filePath(QStringLiteral("Photos"));
    const QString listed = WriteImage(home.filePath(QStringLiteral("old/listed.jpg")), FIF_JPEG);
    const QString relative = WriteImage(photos + QStringLiteral("/beach.jpg"), FIF_JPEG);
    const QString absolute = WriteImage(home.filePath(QStringLiteral("hills.png")), FIF_PNG);
    const QString inFolderA = WriteImage(home.filePath(QStringLiteral("trip/a.tif")), FIF_TIFF);
    const QString inFolderB = WriteImage(home.filePath(QStringLiteral("trip/b.bmp")), FIF_BMP);
    // Read by the installed worker with the libraries the package depends on.
    const QString inFolderC = WriteHeic(home.filePath(QStringLiteral("trip/c.heic")));
    const QString inFolderD = WriteImage(home.filePath(QStringLiteral("trip/d.webp")), FIF_WEBP);
    for (const QString& image :
         {listed, relative, absolute, inFolderA, inFolderB, inFolderC, inFolderD}) {
        QVERIFY(!image.isEmpty());
    }
    const QString listFile = home.filePath(QStringLiteral("list.txt"));
    {
        QFile list(listFile);
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(listed.toUtf8() + "\n");
    }

    ProgramRun run;
    QString error;
    const ProgramStart start{
        program(),
        {QStringLiteral("beach.jpg"), absolute, listFile, home.filePath(QStringLiteral("trip"))},
        photos,
        {{QStringLiteral("HOME"), home.path()},
         {QStringLiteral("XDG_CONFIG_HOME"), configuration}}};
    QVERIFY2(run.startUntilReady(start, &error), qPrintable(error));
    const QJsonObject state = run.state();
    QCOMPARE(JsonStrings(state.value(QStringLiteral("list"))),
             (QStringList{listed, relative, absolute, inFolderA, inFolderB, inFolderC, inFolderD}));
    QCOMPARE(state.value(QStringLiteral("count")).toString(), QStringLiteral("7"));
    QCOMPARE(state.value(QStringLiteral("destination")).toString(),
             home.filePath(QStringLiteral("trip/RES/")));

    // The photos were tested by the installed image worker, not one of the build's.
    const QStringList workers = run.childExecutables();
    QVERIFY2(!workers.isEmpty(), "no image worker was started");
    for (const QString& worker : workers) {
        QCOMPARE(worker, prefix_.filePath(QStringLiteral("libexec/kavenra/kavenra-imageworker")));
    }
    QCOMPARE(run.closeAndWait(), 0);
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral(".config"))));
}

// A user's settings written by a version from before "Save as" existed: the installed program
// adds the new options with their initial values at its start and keeps every choice stored.
void TestE2eInstalled::settingsOfAnEarlierVersionKeepTheirOptions() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString configuration = home.filePath(QStringLiteral("config"));
    const QString userSettings = configuration + QStringLiteral("/kavenra/KVConfig.db");
    QVERIFY(copyShippedSettings(userSettings));
    QCOMPARE(RunSql(userSettings,
                    QStringLiteral(
                        "DROP TABLE configuracion;"
                        "CREATE TABLE configuracion (filtro_redimension TEXT, jpeg TEXT, png TEXT,"
                        " bmp TEXT, tga TEXT, tif TEXT, primera_ejecucion TEXT);"
                        "INSERT INTO configuracion VALUES ('2', '3', '1', '1', '1', '2', '1');"
                        "UPDATE idiomas SET activo = CASE id WHEN 3 THEN '1' ELSE '0' END;")),
             QString());

    ProgramRun run;
    QString error;
    const ProgramStart start{program(),
                             {},
                             home.path(),
                             {{QStringLiteral("HOME"), home.path()},
                              {QStringLiteral("XDG_CONFIG_HOME"), configuration}}};
    QVERIFY2(run.startUntilReady(start, &error), qPrintable(error));
    // No language question: the stored first start and language hold.
    const QString german = prefix_.filePath(QStringLiteral("share/kavenra/lang/Deutsch.db"));
    QCOMPARE(run.state().value(QStringLiteral("texts")).toObject().value("Button3").toString(),
             CaptionIn(german, kavenra::kMainWindowForm, QStringLiteral("Button3")));
    QCOMPARE(run.closeAndWait(), 0);

    QCOMPARE(Setting(userSettings,
                     QStringLiteral("SELECT filtro_redimension || jpeg || png || bmp || tga || tif"
                                    " || primera_ejecucion FROM configuracion")),
             QStringLiteral("2311121"));
    QCOMPARE(Setting(userSettings, QStringLiteral("SELECT guardar_como || '/' || webp || '/' ||"
                                                  " webp_sin_perdida FROM configuracion")),
             Setting(shippedSettings(), QStringLiteral("SELECT guardar_como || '/' || webp || '/'"
                                                       " || webp_sin_perdida FROM configuracion")));
    QCOMPARE(Setting(userSettings, QStringLiteral("SELECT idioma FROM idiomas WHERE activo='1'")),
             QStringLiteral("Deutsch"));
}

void TestE2eInstalled::resizesFromAScriptWithTheUsersSettings_data() {
    QTest::addColumn<QString>("stored");  // empty: the user never started the program
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("failureLine");

    QTest::newRow("the user's choices: PNG, in German")
        << QStringLiteral(
               "UPDATE configuracion SET guardar_como='2', primera_ejecucion='1'; "
               "UPDATE idiomas SET activo=(id=3)")
        << "beach.png"
        << "Grund: die Datei oder der Ordner existiert nicht.";
    QTest::newRow("never started: the shipped options, the locale's language")
        << QString() << "beach.jpg"
        << "Motivo: el archivo o la carpeta no existe.";
}

// A script or a file manager's action runs the installed program with no display: it finds its
// worker and texts in the installed tree, takes the options from the user's settings, and leaves
// the settings, or their absence, exactly as they were.
void TestE2eInstalled::resizesFromAScriptWithTheUsersSettings() {
    QFETCH(QString, stored);
    QFETCH(QString, output);
    QFETCH(QString, failureLine);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString configuration = home.filePath(QStringLiteral("config"));
    const QString userSettings = configuration + QStringLiteral("/kavenra/KVConfig.db");
    if (!stored.isEmpty()) {
        QVERIFY(copyShippedSettings(userSettings));
        QCOMPARE(RunSql(userSettings, stored), QString());
    }
    const QByteArray settingsBefore = Digest(userSettings);
    const QString photos = home.filePath(QStringLiteral("Photos"));
    QVERIFY(!WriteImage(photos + QStringLiteral("/beach.jpg"), FIF_JPEG).isEmpty());

    const FinishedRun run =
        RunWithoutDisplay({program(),
                           {"--resize", "--longest", "32", "beach.jpg", "gone.jpg"},
                           photos,
                           {{QStringLiteral("HOME"), home.path()},
                            {QStringLiteral("XDG_CONFIG_HOME"), configuration},
                            {QStringLiteral("LANG"), QStringLiteral("es_ES.UTF-8")},
                            {QStringLiteral("LC_ALL"), QString()},
                            {QStringLiteral("LC_MESSAGES"), QString()}}});
    const QString errors = QString::fromUtf8(run.standardError);
    QVERIFY2(run.finished && run.exitCode == 1, qPrintable(errors));
    QVERIFY2(errors.contains(QStringLiteral("gone.jpg: ") + failureLine), qPrintable(errors));
    QCOMPARE(QDir(photos + QStringLiteral("/RES")).entryList(QDir::Files), QStringList{output});

    QCOMPARE(Digest(userSettings), settingsBefore);
    QCOMPARE(QFileInfo::exists(configuration), !stored.isEmpty());
    QCOMPARE(Digest(shippedSettings()), shippedDigest_);
}

QTEST_GUILESS_MAIN(TestE2eInstalled)

#include "test_e2e_installed.moc"
