// The built program asked for its help or its version from a terminal without any display: it
// answers on standard output and ends with status 0, without trying to open a window.

#include "support/DatabaseFixture.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

using kavenra::testing::RuntimeFolder;

class TestCommandLine : public QObject {
    Q_OBJECT

  private slots:
    void answersWithoutADisplay_data();
    void answersWithoutADisplay();
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

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_e2e_command_line.moc"
