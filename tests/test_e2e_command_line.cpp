// The built program asked for its help or its version from a terminal without any display: it
// answers on standard output and ends with status 0, without trying to open a window. Asked for
// the window there, it says that there is no display, and how to resize without one, instead of
// letting the window system end it; a display of Qt's own (offscreen) is a display.

#include "engine/formats/Codec.h"
#include "support/DatabaseFixture.h"
#include "support/ProgramFolder.h"
#include "support/ProgramRun.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

using namespace kavenra::testing;

class TestCommandLine : public QObject {
    Q_OBJECT

  private slots:
    void answersWithoutADisplay_data();
    void answersWithoutADisplay();
    void helpNamesTheOfferedFormats();
    void theWindowWithoutADisplaySaysSo_data();
    void theWindowWithoutADisplaySaysSo();
    void aDisplayOfQtsOwnOpensTheWindow_data();
    void aDisplayOfQtsOwnOpensTheWindow();
};

void TestCommandLine::answersWithoutADisplay_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expectedStart");
    QTest::newRow("--help") << QStringList{"--help"} << "Usage: kavenra ";
    QTest::newRow("-h") << QStringList{"-h"} << "Usage: kavenra ";
    QTest::newRow("--version") << QStringList{"--version"} << "kavenra " KAVENRA_EXPECTED_VERSION;
    QTest::newRow("--version after an image")
        << QStringList{"photo.jpg", "--version"} << "kavenra " KAVENRA_EXPECTED_VERSION;
    // Qt's own options belong to the window and are no unknown options.
    QTest::newRow("--version after Qt's options")
        << QStringList{"-platform", "offscreen", "--style=fusion", "-reverse", "--version"}
        << "kavenra " KAVENRA_EXPECTED_VERSION;
    QTest::newRow("--resize --help")
        << QStringList{"--resize", "--help"} << "Usage: kavenra --resize ";
}

void TestCommandLine::answersWithoutADisplay() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, expectedStart);
    const QString program = QDir(RuntimeFolder()).filePath(QStringLiteral("kavenra"));
    QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program));

    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(variable));
    }
    environment.insert(QStringLiteral("HOME"), home.path());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(home.path());
    process.start(program, arguments);
    QVERIFY(process.waitForStarted(-1));
    QVERIFY(process.waitForFinished(-1));
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 0, qPrintable(errors));
    QVERIFY2(output.startsWith(expectedStart), qPrintable(output));
    QVERIFY2(errors.isEmpty(), qPrintable(errors));
    // Nothing of a start: no settings made for the user.
    QVERIFY(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

// The help names the formats the program reads, as the codecs' registry offers them.
void TestCommandLine::helpNamesTheOfferedFormats() {
    QStringList names;
    for (const kavenra::Codec& codec : kavenra::Codecs()) {
        if (codec.offered) names << QString::fromUtf8(codec.name);
    }
    const QString list = QLatin1Char('(') + names.join(QStringLiteral(", ")) + QLatin1Char(')');
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QDir(RuntimeFolder()).filePath(QStringLiteral("kavenra")),
                  {QStringLiteral("--help")});
    QVERIFY(process.waitForStarted(-1));
    QVERIFY(process.waitForFinished(-1));
    const QString help = QString::fromUtf8(process.readAllStandardOutput()).simplified();
    QVERIFY2(help.contains(list), qPrintable(list + QStringLiteral(" in: ") + help));
}

void TestCommandLine::theWindowWithoutADisplaySaysSo_data() {
    // The active language and its database; none when no database is at hand.
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("English, no arguments") << "English"
                                           << "English" << QStringList{};
    QTest::newRow("German, with a picture named") << "Deutsch"
                                                  << "Deutsch" << QStringList{"photo.jpg"};
    QTest::newRow("Spanish") << QString::fromUtf8("Español") << "Espanol"
                             << QStringList{"--", "photo.jpg"};
    QTest::newRow("no language database: English") << ""
                                                   << "" << QStringList{};
    // Qt takes no display after "=": this names none.
    QTest::newRow("--platform=offscreen") << "English"
                                          << "English" << QStringList{"--platform=offscreen"};
}

void TestCommandLine::theWindowWithoutADisplaySaysSo() {
    QFETCH(QString, language);
    QFETCH(QString, database);
    QFETCH(QStringList, arguments);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString folder = home.filePath(QStringLiteral("Kavenra"));
    QString error;
    QVERIFY2(CopyRuntimeFolder(folder, &error), qPrintable(error));
    const QString settings = folder + QStringLiteral("/KVConfig.db");
    QString expected;
    if (language.isEmpty()) {
        QVERIFY(QDir(folder + QStringLiteral("/lang")).removeRecursively());
        expected = QStringLiteral("There is no display to open the window on");
    } else {
        QCOMPARE(RunSql(settings, QStringLiteral("UPDATE configuracion SET primera_ejecucion='1';"
                                                 "UPDATE idiomas SET activo = CASE idioma "
                                                 "WHEN '%1' THEN '1' ELSE '0' END")
                                      .arg(language)),
                 QString());
        expected = CaptionIn(folder + QStringLiteral("/lang/") + database + QStringLiteral(".db"),
                             1, QStringLiteral("Texto_sin_pantalla"));
        QVERIFY(!expected.isEmpty());
    }

    const FinishedRun run = RunWithoutDisplay(
        {folder + QStringLiteral("/kavenra"), arguments, home.path(), {{"HOME", home.path()}}});

    const QString errors = QString::fromUtf8(run.standardError);
    // Ended by itself, not aborted by the window system.
    QVERIFY2(run.finished, qPrintable(errors));
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(errors.startsWith(QStringLiteral("kavenra: ") + expected), qPrintable(errors));
    QVERIFY2(errors.contains(QStringLiteral("--resize")), qPrintable(errors));
    QVERIFY2(!errors.contains(QStringLiteral("could not connect to display")), qPrintable(errors));
    QVERIFY(run.standardOutput.isEmpty());
}

void TestCommandLine::aDisplayOfQtsOwnOpensTheWindow_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("platform");  // QT_QPA_PLATFORM
    QTest::newRow("-platform offscreen") << QStringList{"-platform", "offscreen"} << "";
    QTest::newRow("--platform offscreen") << QStringList{"--platform", "offscreen"} << "";
    QTest::newRow("QT_QPA_PLATFORM=offscreen") << QStringList{} << "offscreen";
}

// No X or Wayland display, but one Qt draws on itself: the window starts and closes normally.
void TestCommandLine::aDisplayOfQtsOwnOpensTheWindow() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, platform);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString folder = home.filePath(QStringLiteral("Kavenra"));
    QString error;
    QVERIFY2(CopyRuntimeFolder(folder, &error), qPrintable(error));
    QCOMPARE(RunSql(folder + QStringLiteral("/KVConfig.db"),
                    QStringLiteral("UPDATE configuracion SET primera_ejecucion='1'")),
             QString());
    ProgramRun program;
    QVERIFY2(program.startUntilReady({folder + QStringLiteral("/kavenra"),
                                      arguments,
                                      folder,
                                      {{"DISPLAY", ""},
                                       {"WAYLAND_DISPLAY", ""},
                                       {"QT_QPA_PLATFORM", platform},
                                       {"HOME", home.path()}}},
                                     &error),
             qPrintable(error));
    QCOMPARE(program.closeAndWait(), 0);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_e2e_command_line.moc"
