// Renders each kind of message box offscreen and saves it as a PNG, so the look can be judged:
// <build>/screenshots/msgbox-kind<N>.png (or the folder named by KAVENRA_SCREENSHOT_DIR), and the
// tallest message the program ships, in its language, as msgbox-longest.png. Also checks in the
// rendered pixels that the picture sits in the top-left corner and the buttons under the text.

#include "support/DatabaseFixture.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"
#include "support/ScreenshotPixels.h"
#include "support/ShippedMessages.h"

#include "ui/AppServices.h"
#include "ui/Form6_msgbox.h"

#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <memory>

using kavenra::testing::DatabaseFolder;
using kavenra::testing::ModalAnswerer;
using kavenra::testing::MsgBoxAnswer;

class TestMsgBoxScreenshots : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void kinds_data();
    void kinds();
    void longestShippedMessage();
    void runMessages_data();
    void runMessages();
    void plainBoxes();

  private:
    void showGrown(const kavenra::testing::ShippedMessage& message, const QString& fileName);

    std::unique_ptr<DatabaseFolder> databases_;
    std::unique_ptr<TForm6> form_;
    std::unique_ptr<kavenra::testing::SoundRecorder> sounds_;
};

void TestMsgBoxScreenshots::initTestCase() {
    databases_ = std::make_unique<DatabaseFolder>();
    QVERIFY(
        databases_->writeSettings({{QStringLiteral("English"), QStringLiteral("en.db"), true}}));
    QVERIFY(databases_->writeLanguage(QStringLiteral("en.db"),
                                      {{6, QStringLiteral("Button1"), QStringLiteral("OK")},
                                       {6, QStringLiteral("Button2"), QStringLiteral("Yes")},
                                       {6, QStringLiteral("Button3"), QStringLiteral("No")}}));
    QVERIFY(QDir().mkpath(kavenra::testing::ScreenshotFolder()));
    form_ = std::make_unique<TForm6>();
    Form6 = form_.get();
    sounds_ = std::make_unique<kavenra::testing::SoundRecorder>();
}

void TestMsgBoxScreenshots::cleanupTestCase() {
    sounds_.reset();
    Form6 = nullptr;
    form_.reset();
    databases_.reset();
}

void TestMsgBoxScreenshots::kinds_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "Attention"
                       << "The conversion was cancelled.";
    QTest::newRow("1") << 1 << "New version"
                       << "A new version of Kavenra is available. Do you want to open the "
                          "download page now?";
    QTest::newRow("2") << 2 << "Search"
                       << "No images were found in the folder.";
    QTest::newRow("3") << 3 << "Warning"
                       << "Can't locate KVConfig.db configuration file.";
    QTest::newRow("4") << 4 << "Destination"
                       << "Choose where the resized images go.";
}

void TestMsgBoxScreenshots::kinds() {
    QFETCH(int, kind);
    QFETCH(QString, caption);
    QFETCH(QString, text);

    QImage shot;
    QColor background;
    ModalAnswerer answers;
    answers.answerMsgBox([&](TForm6* form) {
        shot = form->grab().toImage();
        background = form->palette().color(QPalette::Window);
        ModalAnswerer::Apply(form, MsgBoxAnswer::FirstVisibleButton);
    });
    Form6->MsgBox(caption, text, kind);
    QVERIFY(!shot.isNull());
    const qreal ratio = shot.devicePixelRatio();
    QCOMPARE(shot.size(), (QSize(417, 104) * ratio));
    const QString path = QDir(kavenra::testing::ScreenshotFolder())
                             .absoluteFilePath(QStringLiteral("msgbox-kind%1.png").arg(kind));
    QVERIFY2(shot.save(path), qPrintable(path));
    qInfo("saved %s", qPrintable(path));

    auto scaled = [ratio](const QRect& r) {
        return QRect((r.topLeft() * ratio), (r.size() * ratio));
    };
    // The picture is drawn in the top-left corner, not where the design once placed it.
    QVERIFY(kavenra::testing::DrawnShare(shot, scaled(QRect(8, 8, 48, 48)), background) > 0.15);
    QVERIFY(kavenra::testing::DrawnShare(shot, scaled(QRect(58, 60, 12, 10)), background) < 0.05);
    QVERIFY(kavenra::testing::DrawnShare(shot, scaled(QRect(272, 58, 40, 12)), background) < 0.05);
    // The text is drawn in the label's area.
    QVERIFY(kavenra::testing::DrawnShare(shot, scaled(QRect(72, 24, 289, 33)), background) > 0.02);
    // One button in the middle, or the pair left and right of it.
    const double middle =
        kavenra::testing::DrawnShare(shot, scaled(QRect(190, 75, 48, 17)), background);
    const double left =
        kavenra::testing::DrawnShare(shot, scaled(QRect(115, 75, 50, 17)), background);
    const double right =
        kavenra::testing::DrawnShare(shot, scaled(QRect(260, 75, 50, 17)), background);
    qInfo("drawn shares: middle %.2f, left %.2f, right %.2f", middle, left, right);
    if (kind == 1) {
        QVERIFY(left > 0.3);
        QVERIFY(right > 0.3);
    } else {
        QVERIFY(middle > 0.3);
        QVERIFY(left < 0.05);
        QVERIFY(right < 0.05);
    }
}

// The box grown for the tallest shipped text: the last line drawn above the buttons, which sit
// under the text where the growth moved them.
void TestMsgBoxScreenshots::longestShippedMessage() {
    QString error;
    const QList<kavenra::testing::ShippedMessage> messages =
        kavenra::testing::ShippedMessages(&error);
    QVERIFY2(!messages.isEmpty(), qPrintable(error));
    const QFontMetrics metrics(Form6->Label1->font());
    const auto wrappedHeight = [&metrics](const QString& text) {
        return metrics.boundingRect(QRect(0, 0, 289, 1 << 20), Qt::TextWordWrap, text).height();
    };
    const kavenra::testing::ShippedMessage& longest =
        *std::max_element(messages.begin(), messages.end(), [&](const auto& a, const auto& b) {
            return wrappedHeight(a.text) < wrappedHeight(b.text);
        });
    qInfo("longest: %s %s, %d px", qPrintable(longest.language), qPrintable(longest.key),
          wrappedHeight(longest.text));
    showGrown(longest, QStringLiteral("msgbox-longest.png"));
}

void TestMsgBoxScreenshots::runMessages_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("key");
    for (const char* language : {"English", "Español", "Deutsch"}) {
        QTest::addRow("failure question, %s", language)
            << QString::fromUtf8(language) << QStringLiteral("Texto_fallo1+Texto_motivo6");
        QTest::addRow("completion summary, %s", language)
            << QString::fromUtf8(language) << QStringLiteral("Texto_resumen1");
    }
}

// The run's own messages as shipped, each list at its longest: the whole text above the buttons.
void TestMsgBoxScreenshots::runMessages() {
    QFETCH(QString, language);
    QFETCH(QString, key);
    QString error;
    const QList<kavenra::testing::ShippedMessage> messages =
        kavenra::testing::ShippedMessages(&error);
    QVERIFY2(!messages.isEmpty(), qPrintable(error));
    const auto message = std::find_if(messages.begin(), messages.end(), [&](const auto& shipped) {
        return shipped.language == language && shipped.key == key;
    });
    QVERIFY(message != messages.end());
    const QString ascii = QString(language).replace(QStringLiteral("ñ"), QStringLiteral("n"));
    showGrown(*message,
              QStringLiteral("msgbox-%1-%2.png").arg(key.section(QLatin1Char('+'), 0, 0), ascii));
}

// Shows `message` and checks the box grown for it: the last line drawn above the buttons, which
// sit under the text where the growth moved them. Saved as `fileName`.
void TestMsgBoxScreenshots::showGrown(const kavenra::testing::ShippedMessage& message,
                                      const QString& fileName) {
    const QFontMetrics metrics(Form6->Label1->font());
    const auto wrappedHeight = [&metrics](const QString& text) {
        return metrics.boundingRect(QRect(0, 0, 289, 1 << 20), Qt::TextWordWrap, text).height();
    };
    QImage shot;
    QColor background;
    QRect label;
    QList<QRect> buttons;
    ModalAnswerer answers;
    answers.answerMsgBox([&](TForm6* form) {
        shot = form->grab().toImage();
        background = form->palette().color(QPalette::Window);
        label = form->Label1->geometry();
        for (QPushButton* button : {form->Button1, form->Button2, form->Button3}) {
            if (!button->isHidden()) buttons << button->geometry();
        }
        ModalAnswerer::Apply(form, MsgBoxAnswer::FirstVisibleButton);
    });
    Form6->MsgBox(QStringLiteral("Caption"), message.text, message.kind);
    QVERIFY(!shot.isNull());
    const QString path = QDir(kavenra::testing::ScreenshotFolder()).absoluteFilePath(fileName);
    QVERIFY2(shot.save(path), qPrintable(path));
    qInfo("saved %s", qPrintable(path));

    const qreal ratio = shot.devicePixelRatio();
    auto scaled = [ratio](const QRect& r) {
        return QRect((r.topLeft() * ratio), (r.size() * ratio));
    };
    const int textHeight = wrappedHeight(message.text);
    QVERIFY(textHeight > 33);
    QVERIFY(label.height() >= textHeight);
    QCOMPARE(shot.size(), QSize(417, label.bottom() + 1 + 47) * ratio);
    // The last line of the text is drawn, in the part of the label that the growth added.
    const QRect lastLine(label.left(), label.top() + textHeight - metrics.height(), label.width(),
                         metrics.height());
    QVERIFY(lastLine.top() > 24 + 33 - metrics.height());
    QVERIFY(kavenra::testing::DrawnShare(shot, scaled(lastLine), background) > 0.02);
    QVERIFY(!buttons.isEmpty());
    for (const QRect& button : buttons) {
        QVERIFY(button.top() > label.bottom());
        QVERIFY(kavenra::testing::DrawnShare(shot, scaled(button.adjusted(4, 4, -4, -4)),
                                             background) > 0.3);
    }
}

// The platform's plain message display and the error box, for comparison.
void TestMsgBoxScreenshots::plainBoxes() {
    ModalAnswerer answers;
    QList<QImage> shots;
    for (int i = 0; i < 2; ++i) {
        answers.answerMessageBox([&](QMessageBox* box) {
            shots.append(box->grab().toImage());
            box->accept();
        });
    }
    ShowMessage(QStringLiteral("Error al leer de la base de datos, fichero no encontrado"));
    ApplicationMessageBox(QStringLiteral("Fail Writing BDD Configuration"),
                          QString::fromUtf8("Atención"));
    QCOMPARE(shots.size(), 2);
    QVERIFY(shots[0].save(QDir(kavenra::testing::ScreenshotFolder())
                              .absoluteFilePath(QStringLiteral("showmessage.png"))));
    QVERIFY(shots[1].save(QDir(kavenra::testing::ScreenshotFolder())
                              .absoluteFilePath(QStringLiteral("errorbox.png"))));
    QCOMPARE(answers.messageBoxes().size(), 2);
    QCOMPARE(answers.messageBoxes()[0].title, QStringLiteral("Kavenra"));
    QCOMPARE(answers.messageBoxes()[1].title, QString::fromUtf8("Atención"));
    QCOMPARE(answers.messageBoxes()[1].icon, QMessageBox::Critical);
}

KAVENRA_WINDOW_TEST_MAIN(TestMsgBoxScreenshots)

#include "test_msgbox_screenshots.moc"
