// The about box: the designed texts, the image library's version, the pictures from the
// compiled-in artwork, and the donation picture that hands the donation page to the desktop
// while the box stays open.

#include "support/FileContents.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"
#include "support/ScreenshotPixels.h"

#include "net/Internet.h"
#include "ui/AppServices.h"
#include "ui/Form7_acercade.h"
#include "ui/Unit1.h"

#include <FreeImage.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <memory>

using kavenra::testing::DesktopOpenerRecorder;
using kavenra::testing::FileContents;
using kavenra::testing::ModalAnswerer;

namespace {

// Share of the picture's pixels that are not fully transparent: zero when the artwork was not
// found and nothing was drawn.
double paintedShare(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) return 0;
    int painted = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0) ++painted;
        }
    }
    return static_cast<double>(painted) / (image.width() * image.height());
}

}  // namespace

class TestAbout : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void layoutAndTexts();
    void libraryVersionAtCreation();
    void versionFollowsALongerCredit();
    void creditsNameEveryLibraryWithItsLicence();
    void pictures();
    void donationPictureOpensDonationPageAndBoxStaysOpen();
    void onlyAFullLeftClickCounts();
    void screenshot();

  private:
    std::unique_ptr<TForm1> mainWindow_;
    std::unique_ptr<TForm7> form_;
    std::unique_ptr<DesktopOpenerRecorder> opener_;
    QByteArray savedHost_;
};

void TestAbout::initTestCase() {
    savedHost_ = qgetenv("KAVENRA_WEB_HOST");
    mainWindow_ = std::make_unique<TForm1>();
    Form1 = mainWindow_.get();
}

void TestAbout::cleanupTestCase() {
    Form1 = nullptr;
    mainWindow_.reset();
    if (savedHost_.isNull()) {
        qunsetenv("KAVENRA_WEB_HOST");
    } else {
        qputenv("KAVENRA_WEB_HOST", savedHost_);
    }
}

void TestAbout::init() {
    form_ = std::make_unique<TForm7>();
    Form7 = form_.get();
    opener_ = std::make_unique<DesktopOpenerRecorder>();
}

void TestAbout::cleanup() {
    opener_.reset();
    Form7 = nullptr;
    form_.reset();
}

void TestAbout::layoutAndTexts() {
    QCOMPARE(Form7->size(), QSize(309, 331));
    QCOMPARE(Form7->minimumSize(), Form7->maximumSize());
    QCOMPARE(Form7->windowTitle(), QStringLiteral("Acerca de ..."));
    QCOMPARE(Form7->Button1->geometry(), QRect(166, 296, 75, 25));
    QCOMPARE(Form7->creditsButton->geometry(), QRect(68, 296, 90, 25));
    QCOMPARE(Form7->licenceLabel->pos(), QPoint(16, 274));
    QVERIFY(Form7->licenceLabel->text().contains(QLatin1String("GPL 3.0")));
    QCOMPARE(Form7->ProgramIcon->geometry(), QRect(1, -3, 121, 124));
    QCOMPARE(Form7->Image15->geometry(), QRect(75, 219, 153, 49));
    QCOMPARE(Form7->Label1->pos(), QPoint(152, 16));
    QCOMPARE(Form7->Label2->pos(), QPoint(176, 35));
    QCOMPARE(Form7->Label3->pos(), QPoint(176, 54));
    QCOMPARE(Form7->Comments->pos(), QPoint(176, 89));
    QCOMPARE(Form7->Label4->pos(), QPoint(40, 144));
    QCOMPARE(Form7->Label5->y(), 144);
    QVERIFY(Form7->Label5->x() >= 213);
    QCOMPARE(Form7->Label6->geometry(), QRect(40, 160, 260, 13));
    QCOMPARE(Form7->Label7->pos(), QPoint(40, 192));

    QCOMPARE(Form7->Label1->text(), QStringLiteral("Kavenra v.2.0"));
    QCOMPARE(Form7->Label2->text(), QStringLiteral("Octubre 2015"));
    QCOMPARE(Form7->Label4->text(), QString::fromUtf8("Utiliza la librería FreeImage versión"));
    QCOMPARE(Form7->Label7->text(),
             QString::fromUtf8("Si te es útil, ¡invitame a una cerveza! :-)"));
    QVERIFY(Form7->Label7->font().bold());
    QVERIFY(!Form7->Label3->text().isEmpty());
    QVERIFY(Form7->Comments->text().contains(QLatin1Char('@')));
    QVERIFY(Form7->Comments->wordWrap());
    QCOMPARE(Form7->Image15->toolTip(),
             QStringLiteral("Si te gusta el programa y puedes, invitame a una cerveza!"));
    QCOMPARE(Form7->Image15->cursor().shape(), Qt::PointingHandCursor);
}

void TestAbout::libraryVersionAtCreation() {
    QCOMPARE(Form7->Label5->text(), QString::fromLatin1(FreeImage_GetVersion()));
    // The whole version shows, not cut by the label's bounds, after the whole credit.
    QVERIFY(Form7->Label5->width() >= Form7->Label5->sizeHint().width());
    QVERIFY(Form7->Label4->width() >= Form7->Label4->sizeHint().width());
    QVERIFY(Form7->Label5->x() > Form7->Label4->geometry().right());
}

void TestAbout::versionFollowsALongerCredit() {
    const QRect before = Form7->Label5->geometry();
    Form7->Label4->setText(QStringLiteral("Uses the FreeImage image library, version"));
    Form7->show();
    QVERIFY(Form7->Label4->width() >= Form7->Label4->sizeHint().width());
    QVERIFY(Form7->Label5->x() > Form7->Label4->geometry().right());
    QVERIFY(Form7->Label5->x() > before.x());
    QCOMPARE(Form7->Label5->y(), before.y());
    Form7->close();
}

// The credits list each library with the version running and its licence, the same licences the
// package's copyright file states, and leave the about box open behind them.
void TestAbout::creditsNameEveryLibraryWithItsLicence() {
    ModalAnswerer answers;
    QString title;
    QStringList lines;
    bool aboutBoxOpenBehind = false;
    answers.answerDialog([&](QDialog*) {
        // A timer does not fire again inside its own handler: the credits, opened from this
        // answer, are answered by an answerer of their own.
        ModalAnswerer creditsAnswers;
        creditsAnswers.answerDialog([&](QDialog* dialog) {
            title = dialog == Form7->credits ? dialog->windowTitle() : QString();
            lines = Form7->credits->libraryList->toPlainText().split(QLatin1Char('\n'));
            aboutBoxOpenBehind = Form7->isVisible();
            QTest::mouseClick(Form7->credits->closeButton, Qt::LeftButton);
        });
        QTest::mouseClick(Form7->creditsButton, Qt::LeftButton);
        QTest::mouseClick(Form7->Button1, Qt::LeftButton);
    });
    Form1->Acercade2Click();

    QVERIFY(aboutBoxOpenBehind);
    QVERIFY(!title.isEmpty());
    QVERIFY(Form7->credits->introduction->text().contains(QLatin1String("GNU")));
    const QString copyright =
        QString::fromUtf8(FileContents(QStringLiteral(KAVENRA_SOURCE_DIR "/cmake/copyright")))
            .simplified();
    const QList<std::pair<QString, QString>> running = {
        {QStringLiteral("Qt"), QString::fromLatin1(qVersion())},
        {QStringLiteral("FreeImage"), QString::fromLatin1(FreeImage_GetVersion())},
        {QStringLiteral("Exiv2"), QString()},
        {QStringLiteral("Little CMS"), QString()},
        {QStringLiteral("libheif"), QString()},
        {QStringLiteral("LibRaw"), QString()},
        {QStringLiteral("SQLite"), QString()},
    };
    QCOMPARE(lines.size(), running.size());
    for (const auto& [name, version] : running) {
        const QStringList named = lines.filter(QRegularExpression(
            QStringLiteral("^%1 [0-9][^ ]*: .+").arg(QRegularExpression::escape(name))));
        QVERIFY2(named.size() == 1, qPrintable(name + " in " + lines.join(" | ")));
        const QString line = named.first();
        if (!version.isEmpty())
            QVERIFY2(line.startsWith(name + ' ' + version + ':'), qPrintable(line));
        // "SQLite 3.40.1: blessing (public domain)" stands as "SQLite (blessing: public domain)".
        const QString licence =
            line.section(QStringLiteral(": "), 1).section(QLatin1Char(' '), 0, 0);
        QVERIFY2(copyright.contains(name + " (" + licence),
                 qPrintable(line + " not in the copyright file"));
    }
}

void TestAbout::pictures() {
    QVERIFY(paintedShare(Form7->ProgramIcon->pixmap()) > 0.3);
    const QPixmap donation = Form7->Image15->pixmap();
    QCOMPARE(donation.deviceIndependentSize(), QSizeF(152, 47));
    QVERIFY(paintedShare(donation) > 0.8);
}

void TestAbout::donationPictureOpensDonationPageAndBoxStaysOpen() {
    // The site's host is read when the picture is clicked.
    qputenv("KAVENRA_WEB_HOST", "127.0.0.1:8123");

    ModalAnswerer answers;
    bool modal = false;
    bool openAfterClick = false;
    answers.answerDialog([&](QDialog* dialog) {
        modal = dialog == Form7 && dialog->isModal();
        QTest::mouseClick(Form7->Image15, Qt::LeftButton);
        openAfterClick = Form7->isVisible();
        QTest::mouseClick(Form7->Button1, Qt::LeftButton);
    });
    Form1->Acercade2Click();

    QVERIFY(modal);
    QVERIFY(openAfterClick);
    QVERIFY(!Form7->isVisible());
    QCOMPARE(opener_->opened(), QList<QUrl>{QUrl("http://127.0.0.1:8123/donaciones.html")});
    QCOMPARE(opener_->opened().first(), QUrl(QString::fromStdString(DonationPageUrl())));
}

void TestAbout::onlyAFullLeftClickCounts() {
    ModalAnswerer answers;
    Form7->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form7));
    QTest::mouseClick(Form7->Image15, Qt::RightButton);
    // Pressed on the picture, released beside it.
    QTest::mousePress(Form7->Image15, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QTest::mouseRelease(Form7->Image15, Qt::LeftButton, Qt::NoModifier, QPoint(-20, 10));
    QCOMPARE(opener_->opened().size(), 0);

    opener_->setResult(false);
    QTest::mouseClick(Form7->Image15, Qt::LeftButton);
    // A browser that cannot be started is not reported.
    QCOMPARE(opener_->opened().size(), 1);
    QCOMPARE(answers.messageBoxes().size() + answers.msgBoxes().size(), 0);
    QVERIFY(Form7->isVisible());
    Form7->close();
}

void TestAbout::screenshot() {
    Form7->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form7));
    const QString folder = kavenra::testing::ScreenshotFolder();
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(Form7->grab().toImage().save(QDir(folder).filePath(QStringLiteral("about.png"))));
    Form7->credits->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form7->credits));
    QVERIFY(Form7->credits->grab().toImage().save(
        QDir(folder).filePath(QStringLiteral("about-credits.png"))));
    Form7->credits->close();
    Form7->close();
}

KAVENRA_WINDOW_TEST_MAIN(TestAbout)

#include "test_about.moc"
