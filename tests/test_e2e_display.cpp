// The built program's start on a real X server (an Xvfb of this test's own, without a window
// manager): from a copy of its runtime folder, with the first run pending and/or a newer version
// published on a loopback web server. The windows that open during the start are answered with
// keys typed through the server, and then the main window, as the X server has it, must have the
// layout's size with Start and Limpiar inside it and clear of the status bar. On the offscreen
// platform no window system reports back on the native window, so only a real one shows whether
// the start-up leaves the window at the size the program gave it. A picture of the screen after
// each start is saved as <build>/screenshots/display-start-*.png (or in KAVENRA_SCREENSHOT_DIR).

#include "support/DatabaseFixture.h"
#include "support/LoopbackHttpServer.h"
#include "support/ProgramFolder.h"
#include "support/ScreenshotPixels.h"
#include "support/XDisplay.h"

#include "net/Internet.h"
#include "store/CaptionKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace kavenra::testing;

namespace {

constexpr int kStartTimeoutMs = 60000;
constexpr quint32 kKeyTab = 0xff09;
constexpr quint32 kKeyReturn = 0xff0d;
const QSize kScreen(1280, 1024);
// The layout's client area; menu bar and status bar come on top of it.
const QSize kClientArea(554, 544);

QRect rectangle(const QJsonValue& value) {
    const QJsonObject object = value.toObject();
    return QRect(object.value(QStringLiteral("x")).toInt(),
                 object.value(QStringLiteral("y")).toInt(),
                 object.value(QStringLiteral("width")).toInt(),
                 object.value(QStringLiteral("height")).toInt());
}

// The program's windows on the server: its main window has no owner, its dialogs have one.
QList<XWindowInfo> programWindows(const XConnection& x, bool dialogs) {
    QList<XWindowInfo> found;
    for (const XWindowInfo& window : x.topLevelWindows()) {
        if (window.viewable && window.instance == QLatin1String("kavenra") &&
            window.transient == dialogs) {
            found << window;
        }
    }
    return found;
}

// Ends the program if a failed check leaves it running.
struct ProgramGuard {
    QProcess& program;
    ~ProgramGuard() {
        if (program.state() == QProcess::NotRunning) return;
        program.kill();
        program.waitForFinished(kStartTimeoutMs);
    }
};

}  // namespace

class TestE2eDisplay : public QObject {
    Q_OBJECT

  private slots:
    void startShowsTheWholeMainWindow_data();
    void startShowsTheWholeMainWindow();
};

void TestE2eDisplay::startShowsTheWholeMainWindow_data() {
    QTest::addColumn<bool>("firstRun");
    QTest::addColumn<bool>("newerVersion");
    QTest::newRow("first run") << true << false;
    QTest::newRow("update prompt") << false << true;
    QTest::newRow("first run and update prompt") << true << true;
    QTest::newRow("neither") << false << false;
}

void TestE2eDisplay::startShowsTheWholeMainWindow() {
    QFETCH(bool, firstRun);
    QFETCH(bool, newerVersion);
    if (!XvfbServer::Available())
        QSKIP("Xvfb is not installed (scripts/install-deps.sh installs it)");

    XvfbServer server;
    QString error;
    QVERIFY2(server.start(kScreen, &error), qPrintable(error));
    XConnection x(server.display());
    QVERIFY(x.isValid());
    QCOMPARE(x.screenSize(), kScreen);

    // The user's copy of the program's folder, in Spanish as shipped.
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString folder = home.filePath(QStringLiteral("Kavenra"));
    QVERIFY2(CopyRuntimeFolder(folder, &error), qPrintable(error));
    const QString settings = folder + QStringLiteral("/KVConfig.db");
    QCOMPARE(RunSql(settings, QStringLiteral("UPDATE configuracion SET primera_ejecucion='%1'")
                                  .arg(firstRun ? 0 : 1)),
             QString());

    LoopbackHttpServer web;
    QVERIFY(web.start());
    web.serve("/versiones/version_actual.txt", 200,
              newerVersion ? QByteArray("9.9") : QByteArray(kProgramVersion));
    // Whatever the program would open on the desktop is recorded here instead.
    const QString tools = home.filePath(QStringLiteral("bin"));
    const QString opened = home.filePath(QStringLiteral("opened.txt"));
    QVERIFY(QDir().mkpath(tools));
    {
        QFile opener(tools + QStringLiteral("/xdg-open"));
        QVERIFY(opener.open(QIODevice::WriteOnly));
        opener.write("#!/bin/sh\necho \"$@\" >> '" + QFile::encodeName(opened) + "'\n");
        QVERIFY(opener.setPermissions(opener.permissions() | QFileDevice::ExeOwner));
    }

    const QString stateFile = home.filePath(QStringLiteral("state.json"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("KAVENRA_TEST_PROBE"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), server.display());
    environment.insert(QStringLiteral("PATH"),
                       tools + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
    environment.insert(QStringLiteral("KAVENRA_ASSUME_ONLINE"), QStringLiteral("1"));
    environment.insert(QStringLiteral("KAVENRA_WEB_HOST"), QString::fromLatin1(web.hostAndPort()));
    environment.insert(QStringLiteral("KAVENRA_DUMP_STATE"), stateFile);

    QProcess program;
    ProgramGuard guard{program};
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(folder);
    program.start(folder + QStringLiteral("/kavenra"));
    QVERIFY2(program.waitForStarted(kStartTimeoutMs), qPrintable(program.errorString()));
    const auto failure = [&](const char* what) {
        return QStringLiteral("%1; program %2, exit code %3, stderr: %4")
            .arg(QLatin1String(what))
            .arg(program.state() == QProcess::Running ? "running" : "ended")
            .arg(program.exitCode())
            .arg(QString::fromLocal8Bit(program.readAllStandardError()));
    };

    // The windows of the start come one after the other, each answered from the keyboard with
    // Tab to the button and Return: the language dialog's OK (after the language entry) and the
    // update prompt's "No" (after the affirmative button).
    QList<QList<quint32>> answers;
    if (firstRun) answers << QList<quint32>{kKeyTab, kKeyReturn};
    if (newerVersion) answers << QList<quint32>{kKeyTab, kKeyReturn};
    QStringList titles;
    for (const QList<quint32>& keys : answers) {
        QList<XWindowInfo> dialogs;
        const bool shown = QTest::qWaitFor(
            [&] {
                dialogs = programWindows(x, true);
                return !dialogs.isEmpty() || program.state() == QProcess::NotRunning;
            },
            kStartTimeoutMs);
        QVERIFY2(shown && dialogs.size() == 1, qPrintable(failure("no start-up window")));
        // The window is not the user's while the start still asks.
        QVERIFY2(!QFileInfo::exists(stateFile), "ready reported while a start-up window is open");
        const XWindowInfo dialog = dialogs.first();
        titles << dialog.title;
        QVERIFY(x.typeKeys(dialog.id, keys));
        const bool answered = QTest::qWaitFor(
            [&] {
                for (const XWindowInfo& window : programWindows(x, true))
                    if (window.id == dialog.id) return false;
                return true;
            },
            kStartTimeoutMs);
        QVERIFY2(answered, qPrintable(QStringLiteral("\"%1\" not answered").arg(dialog.title)));
    }

    const bool ready = QTest::qWaitFor(
        [&] { return QFileInfo::exists(stateFile) || program.state() == QProcess::NotRunning; },
        kStartTimeoutMs);
    QVERIFY2(ready && QFileInfo::exists(stateFile), qPrintable(failure("no state report")));
    QCOMPARE(program.state(), QProcess::Running);
    QVERIFY2(programWindows(x, true).isEmpty(), "a start-up window is left open");
    QFile report(stateFile);
    QVERIFY(report.open(QIODevice::ReadOnly));
    const QJsonObject state = QJsonDocument::fromJson(report.readAll()).object();
    QVERIFY(state.value(QStringLiteral("startupChecksRun")).toBool());

    // The main window as the X server has it. It may still be on its way to the screen.
    QList<XWindowInfo> mains;
    QVERIFY2(QTest::qWaitFor([&] { return !(mains = programWindows(x, false)).isEmpty(); },
                             kStartTimeoutMs),
             "no main window on the screen");
    QCOMPARE(mains.size(), 1);
    const XWindowInfo main = mains.first();
    QCOMPARE(main.title, QStringLiteral("Kavenra"));
    // Painted once its area is no longer the empty screen's black. The picture is saved before the
    // checks, so that a failed start leaves one too.
    QImage shot;
    const bool painted = QTest::qWaitFor(
        [&] {
            shot = x.grabScreen();
            return !shot.isNull() && DrawnShare(shot, main.geometry, Qt::black) > 0.5;
        },
        kStartTimeoutMs);
    QVERIFY(!shot.isNull());
    QVERIFY(QDir().mkpath(kavenra::testing::ScreenshotFolder()));
    const QString name = QStringLiteral("display-start-%1.png")
                             .arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'));
    QVERIFY(shot.save(QDir(kavenra::testing::ScreenshotFolder()).absoluteFilePath(name)));
    QVERIFY2(painted, "the main window is not painted");

    const QJsonObject geometry = state.value(QStringLiteral("geometry")).toObject();
    const QJsonObject fixed = geometry.value(QStringLiteral("fixedSize")).toObject();
    const QSize designed(fixed.value(QStringLiteral("width")).toInt(),
                         fixed.value(QStringLiteral("height")).toInt());
    const QRect clientArea = rectangle(geometry.value(QStringLiteral("ClientArea")));
    const QRect statusBar = rectangle(geometry.value(QStringLiteral("StatusBar")));
    QCOMPARE(clientArea.size(), kClientArea);
    // Menu bar above the client area, status bar below it: the window's fixed height.
    QVERIFY2(designed.width() == kClientArea.width() &&
                 designed.height() > kClientArea.height() + statusBar.height(),
             qPrintable(QStringLiteral("%1x%2").arg(designed.width()).arg(designed.height())));
    QCOMPARE(main.geometry.size(), designed);
    QCOMPARE(rectangle(geometry.value(QStringLiteral("window"))).size(), designed);
    const QRect inside(QPoint(0, 0), main.geometry.size());
    QVERIFY(inside.contains(clientArea));
    QVERIFY(inside.contains(statusBar));
    QVERIFY(statusBar.top() > clientArea.bottom());
    const QRect screen(QPoint(0, 0), x.screenSize());
    QVERIFY(screen.contains(main.geometry));
    for (const char* controlName : {"ListBox1", "Button2", "Button3", "Button4"}) {
        const QRect control = rectangle(geometry.value(QLatin1String(controlName)));
        QVERIFY2(
            !control.isEmpty() && clientArea.contains(control) && !control.intersects(statusBar),
            controlName);
    }

    // Start is drawn where the layout has it: its caption shows on its face.
    const QRect start =
        rectangle(geometry.value(QStringLiteral("Button3"))).translated(main.geometry.topLeft());
    const QColor face = shot.pixelColor(start.left() + 3, start.top() + 3);
    QVERIFY(DrawnShare(shot, start.adjusted(4, 4, -4, -4), face) > 0.02);

    // What the start did: the chosen language everywhere, the prompt in that language, nothing
    // opened on the "No".
    const QString language = ActiveLanguageDatabase(settings);
    QVERIFY(QFileInfo(language).isFile());
    const QJsonObject texts = state.value(QStringLiteral("texts")).toObject();
    QCOMPARE(texts.value(QStringLiteral("Button3")).toString(),
             CaptionIn(language, kavenra::kMainWindowForm, QStringLiteral("Button3")));
    if (newerVersion) {
        QCOMPARE(titles.last(), CaptionIn(language, kavenra::kMainWindowForm,
                                          QStringLiteral("ActualizacionCaption")));
    }
    QCOMPARE(web.requests().size(), 1);
    QVERIFY(!QFileInfo::exists(opened));

    program.terminate();
    QVERIFY(program.waitForFinished(kStartTimeoutMs));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QStringList flag;
    QVERIFY(QueryColumn(settings, QStringLiteral("SELECT primera_ejecucion FROM configuracion"),
                        &flag));
    QCOMPARE(flag, QStringList{QStringLiteral("1")});
}

QTEST_GUILESS_MAIN(TestE2eDisplay)

#include "test_e2e_display.moc"
