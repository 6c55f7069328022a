// Opening the destination folder at the end of a run: with the desktop's real opener, a machine
// without xdg-open cannot open it, and the user is told so instead of nothing happening.

#include "support/DatabaseFixture.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"

#include "ui/DesktopOpener.h"
#include "ui/Form6_msgbox.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kavenra::testing;

class TestOpenFolder : public QObject {
    Q_OBJECT

  private slots:
    void withoutXdgOpenTheUserIsTold();
};

void TestOpenFolder::withoutXdgOpenTheUserIsTold() {
    DatabaseFolder databases;
    QVERIFY(databases.isValid());
    QVERIFY(databases.writeSettings({{QStringLiteral("Prueba"), QStringLiteral("t.db"), true}}));
    QVERIFY(databases.writeCompleteLanguage(QStringLiteral("t.db"), QStringLiteral("T")));
    TForm6 box;
    Form6 = &box;
    SoundRecorder sounds;

    // A PATH holding every program but xdg-open, and no desktop named for a fallback.
    QTemporaryDir emptyPath;
    QVERIFY(emptyPath.isValid());
    const QByteArray path = qgetenv("PATH");
    const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP");
    qputenv("PATH", emptyPath.path().toLocal8Bit());
    qunsetenv("XDG_CURRENT_DESKTOP");
    kavenra::SetDesktopOpener(nullptr);
    ModalAnswerer answers;
    const bool opened = OpenLocalFolderOrReport(databases.path());
    qputenv("PATH", path);
    if (!desktop.isEmpty()) qputenv("XDG_CURRENT_DESKTOP", desktop);
    Form6 = nullptr;

    QVERIFY(!opened);
    QCOMPARE(answers.msgBoxes().size(), 1);
    QCOMPARE(answers.msgBoxes()[0].caption, QStringLiteral("T1:Caption_Atencion"));
    QCOMPARE(answers.msgBoxes()[0].text,
             QStringLiteral("T1:Texto_abrir_carpeta\n") + databases.path());
    QCOMPARE(answers.msgBoxes()[0].shownKind, static_cast<int>(MessageKind::Error));
}

KAVENRA_WINDOW_TEST_MAIN(TestOpenFolder)
#include "test_open_folder.moc"
