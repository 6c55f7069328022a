// Renders the main window, started with a list file, in Spanish and in English, and the language
// dialog, offscreen, and saves them as PNG files so the look can be judged:
// <build>/screenshots/main-window-es.png, main-window-en.png and language-dialog.png (or the
// folder named by KAVENRA_SCREENSHOT_DIR); and the first start under a French and a German
// locale, the question over the window behind it: first-start-fr.png, first-start-de.png. Uses the
// databases the build ships.

#include "support/DatabaseFixture.h"
#include "support/ModalAnswerer.h"
#include "support/ScreenshotPixels.h"

#include "ui/Form4_seleccionlenguaje.h"
#include "ui/Forms.h"
#include "ui/Startup.h"
#include "ui/TranslateAllForms.h"
#include "ui/Unit1.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace kavenra::testing;

namespace {

bool save(const QImage& shot, const QString& name) {
    const QString path = QDir(kavenra::testing::ScreenshotFolder()).absoluteFilePath(name);
    if (!shot.save(path)) return false;
    qInfo("saved %s", qPrintable(path));
    return true;
}

}  // namespace

class TestStartupScreenshots : public QObject {
    Q_OBJECT

  private slots:
    void mainWindowAndLanguageDialog();
    void firstStartInTheLocaleLanguage_data();
    void firstStartInTheLocaleLanguage();
};

void TestStartupScreenshots::mainWindowAndLanguageDialog() {
    qputenv("KAVENRA_ASSUME_ONLINE", "0");
    DatabaseFolder databases;
    QString error;
    QVERIFY2(databases.copyShippedDatabases(&error), qPrintable(error));
    const QString settings = databases.filePath(QStringLiteral("KVConfig.db"));
    QCOMPARE(RunSql(settings, QStringLiteral("UPDATE configuracion SET primera_ejecucion='1'")),
             QString());
    QVERIFY(QDir().mkpath(kavenra::testing::ScreenshotFolder()));

    QTemporaryDir files;
    QVERIFY(files.isValid());
    const QString list = files.filePath(QStringLiteral("list.txt"));
    {
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "/home/ana/Fotos/2015/playa-001.jpg\n/home/ana/Fotos/2015/playa-002.jpg\n"
            "/home/ana/Fotos/2015/faro.png\n/home/ana/Fotos/2015/DSC_0042.NEF\n");
    }
    kavenra::startup::SetListFileArguments({QFile::encodeName(list)});
    ModalAnswerer answers;
    StartupChecksRun = false;
    CreateAllForms();
    Form1->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
    QVERIFY(StartupChecksRun);

    const QImage spanish = Form1->grab().toImage();
    QVERIFY(save(spanish, QStringLiteral("main-window-es.png")));
    QCOMPARE(Form1->Button3->text(), QStringLiteral("Comenzar"));

    QCOMPARE(RunSql(settings, QStringLiteral("UPDATE idiomas SET activo = CASE idioma WHEN "
                                             "'English' THEN '1' ELSE '0' END")),
             QString());
    TranslateAllForms();
    QCOMPARE(Form1->Button3->text(), QStringLiteral("Start"));
    const QImage english = Form1->grab().toImage();
    QVERIFY(save(english, QStringLiteral("main-window-en.png")));
    QCOMPARE(english.size(), spanish.size());
    QVERIFY(english != spanish);

    Form4->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form4));
    QCOMPARE(Form4->ComboBox1->count(), 6);
    const QImage dialog = Form4->grab().toImage();
    QVERIFY(save(dialog, QStringLiteral("language-dialog.png")));
    const QColor background = Form4->palette().color(QPalette::Window);
    // The globe fills the middle of its picture; the corner beside the label stays plain.
    QVERIFY(kavenra::testing::DrawnShare(dialog, QRect(371, 33, 40, 40), background) > 0.8);
    QVERIFY(kavenra::testing::DrawnShare(dialog, QRect(20, 120, 60, 40), background) < 0.05);
    Form4->hide();

    QVERIFY(answers.messageBoxes().isEmpty());
    QVERIFY(answers.dialogs().isEmpty());
    DestroyAllForms();
    kavenra::startup::SetListFileArguments({});
}

void TestStartupScreenshots::firstStartInTheLocaleLanguage_data() {
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("start");  // the main window's Start button in that language
    QTest::newRow("French") << QByteArray("fr_FR.UTF-8") << "first-start-fr.png"
                            << QString::fromUtf8("Démarrer");
    QTest::newRow("German") << QByteArray("de_DE.UTF-8") << "first-start-de.png"
                            << QStringLiteral("Starten");
}

// The first start as a new user has it: the question in the locale's language over the window,
// which speaks it too. The picture puts the question where the desktop would, over the window's
// middle.
void TestStartupScreenshots::firstStartInTheLocaleLanguage() {
    QFETCH(QByteArray, locale);
    QFETCH(QString, file);
    QFETCH(QString, start);
    qputenv("KAVENRA_ASSUME_ONLINE", "0");
    const QByteArray previous = qgetenv("LC_ALL");
    qputenv("LC_ALL", locale);
    DatabaseFolder databases;
    QString error;
    QVERIFY2(databases.copyShippedDatabases(&error), qPrintable(error));
    QVERIFY(QDir().mkpath(kavenra::testing::ScreenshotFolder()));
    ModalAnswerer answers;
    QImage window;
    QImage question;
    QString startWhileAsked;
    answers.answerDialog([&](QDialog* dialog) {
        window = Form1->grab().toImage();
        question = dialog->grab().toImage();
        startWhileAsked = Form1->Button3->text();
        Form4->Button1->click();
    });
    StartupChecksRun = false;
    CreateAllForms();
    Form1->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
    QTRY_VERIFY(StartupChecksRun);
    QCOMPARE(answers.dialogs().size(), 1);
    QCOMPARE(startWhileAsked, start);
    QVERIFY(!window.isNull() && !question.isNull());

    QImage picture = window.convertToFormat(QImage::Format_ARGB32);
    {
        QPainter painter(&picture);
        const QSize size = question.size() / question.devicePixelRatio();
        const QSize area = picture.size() / picture.devicePixelRatio();
        const QPoint middle((area.width() - size.width()) / 2, (area.height() - size.height()) / 2);
        painter.fillRect(QRect(middle, size).adjusted(-2, -2, 2, 2), Qt::black);
        painter.drawImage(QRect(middle, size), question);
    }
    QVERIFY(save(picture, file));
    QVERIFY(answers.messageBoxes().isEmpty());
    DestroyAllForms();
    if (previous.isNull()) {
        qunsetenv("LC_ALL");
    } else {
        qputenv("LC_ALL", previous);
    }
}

KAVENRA_WINDOW_TEST_MAIN(TestStartupScreenshots)

#include "test_startup_screenshots.moc"
