// The program's own message box: pictures, buttons, captions and sounds per kind, the answer
// field's rules, the keyboard, the nested loop, a box that grows to show its whole text, and the
// end of the process when a database is missing.

#include "support/DatabaseFixture.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"
#include "support/ShippedMessages.h"
#include "support/TextFit.h"

#include "ui/AppServices.h"
#include "ui/Form6_msgbox.h"

#include <QFontMetrics>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

using kavenra::testing::CaptionRow;
using kavenra::testing::DatabaseFolder;
using kavenra::testing::ModalAnswerer;
using kavenra::testing::MsgBoxAnswer;
using kavenra::testing::MsgBoxRecord;
using kavenra::testing::SoundRecorder;

Q_DECLARE_METATYPE(MsgBoxAnswer)
Q_DECLARE_METATYPE(MessageKind)

namespace {

const char* const childScenarioVariable = "KAVENRA_MSGBOX_CHILD";

const QList<CaptionRow> spanishCaptions = {
    {6, QStringLiteral("Button1"), QStringLiteral("Aceptar")},
    {6, QStringLiteral("Button2"), QStringLiteral("Sí")},
    {6, QStringLiteral("Button3"), QStringLiteral("No")}};
const QList<CaptionRow> englishCaptions = {{6, QStringLiteral("Button1"), QStringLiteral("OK")},
                                           {6, QStringLiteral("Button2"), QStringLiteral("Yes")},
                                           {6, QStringLiteral("Button3"), QStringLiteral("No")}};

QList<QWidget*> pictureAndButtonControls(TForm6* form) {
    return {
        form->Image1_Informacion, form->Image2_Question, form->Image3_Busqueda, form->Image4_Bomba,
        form->Image5_Brujula,     form->Button1,         form->Button2,         form->Button3};
}

// The designed places, while the text fits the label.
constexpr QSize designedClient(417, 104);
constexpr QRect designedLabel(72, 24, 289, 33);
const QList<QRect> designedButtons = {QRect(176, 71, 75, 25), QRect(111, 71, 75, 25),
                                      QRect(238, 71, 75, 25)};

// The height a text needs in the label, measured the way the label draws it: its own font,
// wrapped at word boundaries within its width.
QRect wrappedText(const QFont& font, const QString& text) {
    return QFontMetrics(font).boundingRect(QRect(0, 0, designedLabel.width(), 1 << 20),
                                           Qt::TextWordWrap | Qt::AlignHCenter, text);
}

// Words for generated texts of a given length.
const QStringList fillerWords =
    QStringLiteral(
        "La carpeta de destino ya existe y los ficheros con el mismo nombre se "
        "reemplazarán sin más aviso cuando comience el redimensionado")
        .split(QLatin1Char(' '));

// The longest text of whole words that wraps within the given height and, if asked, the same
// text with one word more, which does not.
QString longestTextWithin(const QFont& font, int height, QString* oneWordMore = nullptr) {
    QString text;
    for (int i = 0;; ++i) {
        const QString longer = (text.isEmpty() ? QString() : text + QLatin1Char(' ')) +
                               fillerWords[i % fillerWords.size()];
        if (wrappedText(font, longer).height() > height) {
            if (oneWordMore) *oneWordMore = longer;
            return text;
        }
        text = longer;
    }
}

// The longest text of whole words that wraps to the given number of lines.
QString textOfLines(const QFont& font, int lines) {
    QStringList breaks;
    for (int i = 0; i < lines; ++i) breaks << QStringLiteral("x");
    return longestTextWithin(font, wrappedText(font, breaks.join(QLatin1Char('\n'))).height());
}

// Where everything was while a message was open.
struct OpenLayout {
    QSize client;
    QRect label;
    QList<QRect> buttons;  // Button1, Button2, Button3
    QFont labelFont;
    int captionBar = 0;
    QRect frame;  // the window with its caption bar, on the screen
    QRect screenArea;
};

// Answers the next message with its first visible button, noting its layout first.
void recordLayoutOfNextMessage(ModalAnswerer& answers, OpenLayout& layout) {
    answers.answerMsgBox([&layout](TForm6* form) {
        layout.client = form->size();
        layout.label = form->Label1->geometry();
        layout.buttons = {form->Button1->geometry(), form->Button2->geometry(),
                          form->Button3->geometry()};
        layout.labelFont = form->Label1->font();
        const int frame = form->frameGeometry().height() - form->height();
        layout.captionBar =
            frame > 0 ? frame : form->style()->pixelMetric(QStyle::PM_TitleBarHeight);
        layout.frame = form->frameGeometry();
        layout.screenArea = form->screen()->availableGeometry();
        ModalAnswerer::Apply(form, MsgBoxAnswer::FirstVisibleButton);
    });
}

// The whole text is inside the label, the label keeps its designed left, top and width and
// grows no more than its text needs, and everything under it moved down by the label's growth.
void verifyWholeTextShown(const OpenLayout& layout, const QString& text) {
    const QRect needed = wrappedText(layout.labelFont, text);
    const int growth = layout.label.height() - designedLabel.height();
    QVERIFY2(layout.label.height() >= needed.height(),
             qPrintable(QStringLiteral("label %1 px, text %2 px")
                            .arg(layout.label.height())
                            .arg(needed.height())));
    QVERIFY2(needed.width() <= layout.label.width(), qPrintable(QString::number(needed.width())));
    QCOMPARE(layout.label.topLeft(), designedLabel.topLeft());
    QCOMPARE(layout.label.width(), designedLabel.width());
    QVERIFY(growth >= 0);
    QVERIFY2(layout.label.height() <
                 std::max(designedLabel.height() + 1,
                          needed.height() + QFontMetrics(layout.labelFont).lineSpacing()),
             "the label grew by more than its text needs");
    QCOMPARE(layout.client, designedClient + QSize(0, growth));
    for (int i = 0; i < designedButtons.size(); ++i) {
        QCOMPARE(layout.buttons[i], designedButtons[i].translated(0, growth));
        QVERIFY(layout.buttons[i].top() > layout.label.bottom());
        QVERIFY(QRect(QPoint(0, 0), layout.client).contains(layout.buttons[i]));
    }
}

}  // namespace

class TestMsgBox : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void designLayout();
    void kinds_data();
    void kinds();
    void namedKinds_data();
    void namedKinds();
    void button1CaptionIsLookedUpForEveryKind();
    void consecutiveMessagesShowNoStaleControls();
    void answers_data();
    void answers();
    void closeBoxAfterAnEarlierYesIsNo();
    void escape_data();
    void escape();
    void namedAnswers_data();
    void namedAnswers();
    void languageChangeShowsOnNextMessage();
    void textFits_data();
    void textFits();
    void shippedMessagesShowWhole_data();
    void shippedMessagesShowWhole();
    void growthIsRecomputedForEveryMessage();
    void tallestTextStaysOnScreen();
    void callBlocksWhileTimersKeepRunning();
    void secondMessageWhileOpenLeavesOpenOneIntact();
    void missingDatabaseEndsProcessAtCaptionLookup_data();
    void missingDatabaseEndsProcessAtCaptionLookup();

  private:
    std::unique_ptr<DatabaseFolder> databases_;
    std::unique_ptr<TForm6> form_;
    std::unique_ptr<SoundRecorder> sounds_;
};

void TestMsgBox::init() {
    databases_ = std::make_unique<DatabaseFolder>();
    QVERIFY(databases_->isValid());
    QVERIFY(
        databases_->writeSettings({{QStringLiteral("Español"), QStringLiteral("es.db"), true},
                                   {QStringLiteral("English"), QStringLiteral("en.db"), false}}));
    QVERIFY(databases_->writeLanguage(QStringLiteral("es.db"), spanishCaptions));
    QVERIFY(databases_->writeLanguage(QStringLiteral("en.db"), englishCaptions));
    form_ = std::make_unique<TForm6>();
    Form6 = form_.get();
    sounds_ = std::make_unique<SoundRecorder>();
}

void TestMsgBox::cleanup() {
    sounds_.reset();
    Form6 = nullptr;
    form_.reset();
    databases_.reset();
}

void TestMsgBox::designLayout() {
    QCOMPARE(Form6->size(), QSize(417, 104));
    QCOMPARE(Form6->minimumSize(), QSize(417, 104));
    QCOMPARE(Form6->maximumSize(), QSize(417, 104));
    QVERIFY(Form6->windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(Form6->windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(Form6->Label1->geometry(), QRect(72, 24, 289, 33));
    QVERIFY(Form6->Label1->wordWrap());
    QCOMPARE(Form6->Label1->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    QCOMPARE(Form6->Button1->geometry(), QRect(176, 71, 75, 25));
    QCOMPARE(Form6->Button2->geometry(), QRect(111, 71, 75, 25));
    QCOMPARE(Form6->Button3->geometry(), QRect(238, 71, 75, 25));
    for (QWidget* control : pictureAndButtonControls(Form6)) QVERIFY(control->isHidden());
    for (QLabel* picture : {Form6->Image1_Informacion, Form6->Image2_Question,
                            Form6->Image3_Busqueda, Form6->Image4_Bomba, Form6->Image5_Brujula}) {
        QCOMPARE(picture->size(), QSize(49, 49));
        // The artwork comes from the compiled-in resources: a missing one leaves no picture.
        QCOMPARE(picture->pixmap().deviceIndependentSize(), QSizeF(48, 48));
    }
    QCOMPARE(Form6->Respuesta, false);
}

void TestMsgBox::kinds_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QList<int>>("sounds");

    const QStringList acknowledge{QStringLiteral("Button1")};
    const QStringList aceptar{QStringLiteral("Aceptar")};
    const QList<int> information{200};
    QTest::newRow("0 information")
        << 0 << "Image1_Informacion" << acknowledge << aceptar << information;
    QTest::newRow("5 information")
        << 5 << "Image1_Informacion" << acknowledge << aceptar << information;
    QTest::newRow("-1 information")
        << -1 << "Image1_Informacion" << acknowledge << aceptar << information;
    QTest::newRow("largest information")
        << 2147483647 << "Image1_Informacion" << acknowledge << aceptar << information;
    QTest::newRow("1 question") << 1 << "Image2_Question"
                                << QStringList{QStringLiteral("Button2"), QStringLiteral("Button3")}
                                << QStringList{QStringLiteral("Sí"), QStringLiteral("No")}
                                << information;
    QTest::newRow("2 search") << 2 << "Image3_Busqueda" << acknowledge << aceptar << QList<int>{};
    QTest::newRow("3 error") << 3 << "Image4_Bomba" << acknowledge << aceptar << QList<int>{100};
    QTest::newRow("4 compass") << 4 << "Image5_Brujula" << acknowledge << aceptar << QList<int>{};
}

// The names stand for the same numbers.
void TestMsgBox::namedKinds_data() {
    QTest::addColumn<MessageKind>("kind");
    QTest::addColumn<int>("number");
    QTest::newRow("Information") << MessageKind::Information << 0;
    QTest::newRow("Question") << MessageKind::Question << 1;
    QTest::newRow("Search") << MessageKind::Search << 2;
    QTest::newRow("Error") << MessageKind::Error << 3;
    QTest::newRow("Compass") << MessageKind::Compass << 4;
}

void TestMsgBox::namedKinds() {
    QFETCH(MessageKind, kind);
    QFETCH(int, number);
    ModalAnswerer answers;
    Form6->MsgBox(QStringLiteral("c"), QStringLiteral("t"), kind);
    const QList<int> namedSounds = sounds_->played();
    sounds_->clear();
    Form6->MsgBox(QStringLiteral("c"), QStringLiteral("t"), number);
    QCOMPARE(answers.msgBoxes().size(), 2);
    QCOMPARE(answers.msgBoxes()[0].shownKind, number);
    QCOMPARE(answers.msgBoxes()[0].pictures, answers.msgBoxes()[1].pictures);
    QCOMPARE(answers.msgBoxes()[0].buttons, answers.msgBoxes()[1].buttons);
    QCOMPARE(namedSounds, sounds_->played());
}

void TestMsgBox::kinds() {
    QFETCH(int, kind);
    QFETCH(QString, picture);
    QFETCH(QStringList, buttons);
    QFETCH(QStringList, captions);
    QFETCH(QList<int>, sounds);

    ModalAnswerer answers;
    Form6->MsgBox(QStringLiteral("Título"), QStringLiteral("Texto del mensaje"), kind);

    QCOMPARE(answers.msgBoxes().size(), 1);
    const MsgBoxRecord& shown = answers.msgBoxes().constFirst();
    QCOMPARE(shown.caption, QStringLiteral("Título"));
    QCOMPARE(shown.text, QStringLiteral("Texto del mensaje"));
    QCOMPARE(shown.pictures, QStringList{picture});
    QCOMPARE(shown.picturePositions, QList<QPoint>{QPoint(8, 8)});
    QCOMPARE(shown.buttons, buttons);
    QCOMPARE(shown.buttonCaptions, captions);
    QCOMPARE(shown.focusedButton, buttons.constFirst());
    QCOMPARE(sounds_->played(), sounds);
    QVERIFY(!Form6->isVisible());
}

void TestMsgBox::button1CaptionIsLookedUpForEveryKind() {
    ModalAnswerer answers;
    Form6->MsgBox(QStringLiteral("c"), QStringLiteral("t"), 1);
    QCOMPARE(answers.msgBoxes().constFirst().button1Caption, QStringLiteral("Aceptar"));
}

void TestMsgBox::consecutiveMessagesShowNoStaleControls() {
    ModalAnswerer answers;
    const QList<int> sequence = {1, 3, 0, 2, 4, 1, 5};
    for (int kind : sequence) {
        Form6->MsgBox(QStringLiteral("c"), QStringLiteral("t"), kind);
        for (QWidget* control : pictureAndButtonControls(Form6)) QVERIFY(control->isHidden());
    }
    QCOMPARE(answers.msgBoxes().size(), sequence.size());
    const QList<int> expectedKinds = {1, 3, 0, 2, 4, 1, 0};
    for (int i = 0; i < sequence.size(); ++i) {
        const MsgBoxRecord& shown = answers.msgBoxes()[i];
        QCOMPARE(shown.shownKind, expectedKinds[i]);
        QCOMPARE(shown.pictures.size(), 1);
        QCOMPARE(shown.buttons.size(), expectedKinds[i] == 1 ? 2 : 1);
    }
}

void TestMsgBox::answers_data() {
    QTest::addColumn<bool>("before");
    QTest::addColumn<int>("kind");
    QTest::addColumn<MsgBoxAnswer>("answer");
    QTest::addColumn<bool>("after");

    QTest::newRow("affirmative button") << false << 1 << MsgBoxAnswer::Button2 << true;
    QTest::newRow("No button") << true << 1 << MsgBoxAnswer::Button3 << false;
    QTest::newRow("Enter at once is yes") << false << 1 << MsgBoxAnswer::Enter << true;
    QTest::newRow("Space at once is yes") << false << 1 << MsgBoxAnswer::Space << true;
    // Every question starts from "No": an earlier Yes never answers the next one.
    QTest::newRow("close box after an earlier yes is no")
        << true << 1 << MsgBoxAnswer::CloseBox << false;
    QTest::newRow("close box is no") << false << 1 << MsgBoxAnswer::CloseBox << false;
    QTest::newRow("acknowledge keeps true") << true << 0 << MsgBoxAnswer::Button1 << true;
    QTest::newRow("acknowledge keeps false") << false << 3 << MsgBoxAnswer::Enter << false;
}

void TestMsgBox::answers() {
    QFETCH(bool, before);
    QFETCH(int, kind);
    QFETCH(MsgBoxAnswer, answer);
    QFETCH(bool, after);

    Form6->Respuesta = before;
    ModalAnswerer answers;
    answers.answerMsgBox(answer);
    Form6->MsgBox(QStringLiteral("c"), QStringLiteral("t"), kind);
    QCOMPARE(answers.msgBoxes().size(), 1);
    QCOMPARE(answers.pendingMsgBoxAnswers(), 0);
    QCOMPARE(answers.stuckAnswers(), 0);
    QCOMPARE(Form6->Respuesta, after);
    QVERIFY(!Form6->isVisible());
}

// A notice keeps the answer of the question before it; the next question does not.
void TestMsgBox::closeBoxAfterAnEarlierYesIsNo() {
    ModalAnswerer answers;
    answers.answerMsgBox(MsgBoxAnswer::Button2);
    answers.answerMsgBox(MsgBoxAnswer::Button1);
    answers.answerMsgBox(MsgBoxAnswer::CloseBox);
    Form6->MsgBox(QStringLiteral("c"), QStringLiteral("first question"), 1);
    QCOMPARE(Form6->Respuesta, true);
    Form6->MsgBox(QStringLiteral("c"), QStringLiteral("a notice in between"), 0);
    QCOMPARE(Form6->Respuesta, true);
    Form6->MsgBox(QStringLiteral("c"), QStringLiteral("second question"), 1);
    QCOMPARE(answers.msgBoxes().size(), 3);
    QCOMPARE(answers.stuckAnswers(), 0);
    QCOMPARE(Form6->Respuesta, false);
}

void TestMsgBox::escape_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("closes");
    QTest::newRow("a notice stays open") << 0 << false;
    QTest::newRow("an error stays open") << 3 << false;
    QTest::newRow("a question is answered no") << 1 << true;
}

// Escape answers a question as its close box does; a notice ends only by its button.
void TestMsgBox::escape() {
    QFETCH(int, kind);
    QFETCH(bool, closes);
    ModalAnswerer answers;
    bool openAfterEscape = false;
    answers.answerMsgBox([&](TForm6* form) {
        QTest::keyClick(form->focusWidget() ? form->focusWidget() : form, Qt::Key_Escape);
        openAfterEscape = form->isVisible();
        if (openAfterEscape) ModalAnswerer::Apply(form, MsgBoxAnswer::FirstVisibleButton);
    });
    Form6->Respuesta = true;
    Form6->MsgBox(QStringLiteral("c"), QStringLiteral("t"), kind);
    QCOMPARE(openAfterEscape, !closes);
    QCOMPARE(answers.stuckAnswers(), 0);
    // A question's Escape is its "No"; a notice leaves the answer alone.
    QCOMPARE(Form6->Respuesta, kind != 1);
}

void TestMsgBox::namedAnswers_data() {
    QTest::addColumn<QString>("affirmative");
    QTest::addColumn<QString>("negative");
    QTest::addColumn<MsgBoxAnswer>("answer");
    QTest::addColumn<bool>("after");
    QTest::newRow("short captions, affirmative") << "Seguir"
                                                 << "Detener" << MsgBoxAnswer::Button2 << true;
    QTest::newRow("short captions, negative") << "Seguir"
                                              << "Detener" << MsgBoxAnswer::Button3 << false;
    QTest::newRow("long captions, close box") << "Anhalten und schließen"
                                              << "Fortfahren" << MsgBoxAnswer::CloseBox << false;
    QTest::newRow("long captions, Enter takes the first")
        << "Interrompi e chiudi"
        << "Continua" << MsgBoxAnswer::Enter << true;
}

// Buttons that say what they do: the given captions on the question's two buttons, each whole
// within its button, the pair centred where the designed pair is and never overlapping.
void TestMsgBox::namedAnswers() {
    QFETCH(QString, affirmative);
    QFETCH(QString, negative);
    QFETCH(MsgBoxAnswer, answer);
    QFETCH(bool, after);
    ModalAnswerer answers;
    QRect affirmativeButton;
    QRect negativeButton;
    QList<kavenra::testing::TextFit> captions;
    answers.answerMsgBox([&](TForm6* form) {
        affirmativeButton = form->Button2->geometry();
        negativeButton = form->Button3->geometry();
        captions = kavenra::testing::MeasureControl(form->Button2, QStringLiteral("Button2")) +
                   kavenra::testing::MeasureControl(form->Button3, QStringLiteral("Button3"));
        ModalAnswerer::Apply(form, answer);
    });
    Form6->Respuesta = !after;
    Form6->MsgBox(QStringLiteral("c"), QStringLiteral("t"), QuestionButtons{affirmative, negative});

    QCOMPARE(answers.msgBoxes().size(), 1);
    const MsgBoxRecord& shown = answers.msgBoxes()[0];
    QCOMPARE(shown.shownKind, 1);
    QCOMPARE(shown.buttons, (QStringList{QStringLiteral("Button2"), QStringLiteral("Button3")}));
    QCOMPARE(shown.buttonCaptions, (QStringList{affirmative, negative}));
    QCOMPARE(Form6->Respuesta, after);
    QCOMPARE(captions.size(), 2);
    for (const kavenra::testing::TextFit& fit : captions)
        QVERIFY2(fit.fits(), qPrintable(fit.describe()));
    QVERIFY(affirmativeButton.width() >= 75);
    QVERIFY(negativeButton.width() >= 75);
    QVERIFY(affirmativeButton.right() < negativeButton.left());
    QVERIFY(affirmativeButton.left() >= 0);
    QVERIFY(negativeButton.right() < designedClient.width());
    const int middle = (affirmativeButton.left() + negativeButton.right() + 1) / 2;
    QVERIFY2(std::abs(middle - 212) <= 1, qPrintable(QString::number(middle)));

    // The next plain question has the designed buttons and captions again.
    Form6->MsgBox(QStringLiteral("c"), QStringLiteral("t"), 1);
    QCOMPARE(answers.msgBoxes()[1].buttonCaptions,
             (QStringList{QStringLiteral("Sí"), QStringLiteral("No")}));
    QCOMPARE(Form6->Button2->geometry(), designedButtons[1]);
    QCOMPARE(Form6->Button3->geometry(), designedButtons[2]);
}

void TestMsgBox::languageChangeShowsOnNextMessage() {
    ModalAnswerer answers;
    Form6->MsgBox(QStringLiteral("c"), QStringLiteral("t"), 1);
    Form6->MsgBox(QStringLiteral("c"), QStringLiteral("t"), 0);
    QCOMPARE(kavenra::testing::RunSql(
                 databases_->filePath(QStringLiteral("KVConfig.db")),
                 QStringLiteral("UPDATE idiomas SET activo = CASE WHEN ruta = 'en.db' THEN '1' "
                                "ELSE '0' END")),
             QString());
    Form6->MsgBox(QStringLiteral("c"), QStringLiteral("t"), 1);
    Form6->MsgBox(QStringLiteral("c"), QStringLiteral("t"), 0);

    const QList<MsgBoxRecord>& shown = answers.msgBoxes();
    QCOMPARE(shown.size(), 4);
    QCOMPARE(shown[0].buttonCaptions, (QStringList{QStringLiteral("Sí"), QStringLiteral("No")}));
    QCOMPARE(shown[1].buttonCaptions, QStringList{QStringLiteral("Aceptar")});
    QCOMPARE(shown[2].buttonCaptions, (QStringList{QStringLiteral("Yes"), QStringLiteral("No")}));
    QCOMPARE(shown[3].buttonCaptions, QStringList{QStringLiteral("OK")});
}

void TestMsgBox::textFits_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("designedSize");

    // Generated in the label's own font, so each row is what its name says on any machine.
    TForm6 measure;
    const QFont font = measure.Label1->font();
    QString tooLong;
    const QString fillsLabel = longestTextWithin(font, designedLabel.height(), &tooLong);
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("short") << QStringLiteral("Texto corto.") << true;
    QTest::newRow("fills the label") << fillsLabel << true;
    QTest::newRow("one word more than fits") << tooLong << false;
    QTest::newRow("three lines") << textOfLines(font, 3) << false;
    QTest::newRow("four lines") << textOfLines(font, 4) << false;
    QTest::newRow("four lines by line breaks")
        << QStringLiteral("Primera línea\nSegunda línea\nTercera línea\nCuarta línea") << false;
}

void TestMsgBox::textFits() {
    QFETCH(QString, text);
    QFETCH(bool, designedSize);
    QCOMPARE(wrappedText(Form6->Label1->font(), text).height() <= designedLabel.height(),
             designedSize);

    ModalAnswerer answers;
    OpenLayout layout;
    recordLayoutOfNextMessage(answers, layout);
    Form6->MsgBox(QStringLiteral("c"), text, MessageKind::Question);
    QCOMPARE(answers.msgBoxes().size(), 1);
    QCOMPARE(answers.msgBoxes().constFirst().text, text);
    verifyWholeTextShown(layout, text);
    if (QTest::currentTestFailed()) return;
    if (designedSize) {
        QCOMPARE(layout.client, designedClient);
        QCOMPARE(layout.label, designedLabel);
    } else {
        QVERIFY(layout.client.height() > designedClient.height());
    }
}

// Every message text of every shipped language, as the program shows it.
void TestMsgBox::shippedMessagesShowWhole_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<MessageKind>("kind");
    QString error;
    const QList<kavenra::testing::ShippedMessage> messages =
        kavenra::testing::ShippedMessages(&error);
    QVERIFY2(!messages.isEmpty(), qPrintable(error));
    for (const kavenra::testing::ShippedMessage& message : messages) {
        QTest::addRow("%s %s", qPrintable(message.language), qPrintable(message.key))
            << message.text << message.kind;
    }
}

void TestMsgBox::shippedMessagesShowWhole() {
    QFETCH(QString, text);
    QFETCH(MessageKind, kind);
    ModalAnswerer answers;
    OpenLayout layout;
    recordLayoutOfNextMessage(answers, layout);
    Form6->MsgBox(QStringLiteral("c"), text, kind);
    QCOMPARE(answers.msgBoxes().size(), 1);
    verifyWholeTextShown(layout, text);
}

// One window serves every message: a short message after a long one has the designed size
// again, and the long one grows the same each time.
void TestMsgBox::growthIsRecomputedForEveryMessage() {
    const QString longText = textOfLines(Form6->Label1->font(), 5);
    const QString shortText = QStringLiteral("Texto corto.");
    ModalAnswerer answers;
    QList<OpenLayout> layouts(4);
    for (OpenLayout& layout : layouts) recordLayoutOfNextMessage(answers, layout);
    Form6->MsgBox(QStringLiteral("c"), longText, MessageKind::Error);
    Form6->MsgBox(QStringLiteral("c"), shortText, MessageKind::Question);
    Form6->MsgBox(QStringLiteral("c"), longText, MessageKind::Question);
    Form6->MsgBox(QStringLiteral("c"), shortText, MessageKind::Information);
    QCOMPARE(answers.msgBoxes().size(), 4);

    QVERIFY(layouts[0].client.height() > designedClient.height());
    verifyWholeTextShown(layouts[0], longText);
    if (QTest::currentTestFailed()) return;
    QCOMPARE(layouts[2].client, layouts[0].client);
    QCOMPARE(layouts[2].label, layouts[0].label);
    for (const OpenLayout& layout : {layouts[1], layouts[3]}) {
        QCOMPARE(layout.client, designedClient);
        QCOMPARE(layout.label, designedLabel);
        QCOMPARE(layout.buttons, designedButtons);
    }
    QCOMPARE(Form6->size(), designedClient);
}

// A text taller than the screen cannot be shown whole; the box still fits on the screen with
// its buttons, so the message can be answered.
void TestMsgBox::tallestTextStaysOnScreen() {
    QStringList lines;
    for (int i = 1; i <= 200; ++i) lines << QStringLiteral("Línea %1").arg(i);
    ModalAnswerer answers;
    OpenLayout layout;
    recordLayoutOfNextMessage(answers, layout);
    Form6->MsgBox(QStringLiteral("c"), lines.join(QLatin1Char('\n')), MessageKind::Error);
    QCOMPARE(answers.msgBoxes().size(), 1);
    QCOMPARE(answers.stuckAnswers(), 0);
    QVERIFY(layout.client.height() > designedClient.height());
    // The whole window, caption bar included, is on the screen and takes most of its height.
    QVERIFY(layout.client.height() + layout.captionBar <= layout.screenArea.height());
    QVERIFY(layout.client.height() > layout.screenArea.height() - 64);
    QVERIFY2(layout.screenArea.contains(layout.frame), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                      .arg(layout.frame.x())
                                                                      .arg(layout.frame.y())
                                                                      .arg(layout.frame.width())
                                                                      .arg(layout.frame.height())));
    const int growth = layout.client.height() - designedClient.height();
    QCOMPARE(layout.label, designedLabel.adjusted(0, 0, 0, growth));
    QCOMPARE(layout.buttons[0], designedButtons[0].translated(0, growth));
    QVERIFY(QRect(QPoint(0, 0), layout.client).contains(layout.buttons[0]));
}

void TestMsgBox::callBlocksWhileTimersKeepRunning() {
    int ticks = 0;
    QTimer timer;
    timer.setInterval(1);
    connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    bool returned = false;
    bool timerTickedWhileOpen = false;
    bool returnedWhileOpen = true;

    ModalAnswerer answers;
    answers.answerMsgBox([&](TForm6* form) {
        const int ticksAtOpen = ticks;
        timerTickedWhileOpen = QTest::qWaitFor([&] { return ticks >= ticksAtOpen + 3; }, 5000);
        returnedWhileOpen = returned;
        ModalAnswerer::Apply(form, MsgBoxAnswer::Button2);
    });
    timer.start();
    Form6->MsgBox(QStringLiteral("c"), QStringLiteral("t"), 1);
    returned = true;
    QVERIFY(timerTickedWhileOpen);
    QVERIFY(!returnedWhileOpen);
    QVERIFY(Form6->Respuesta);
}

// A second message while one is open must not disturb the open one (two pictures, a changed
// text); it is refused with an error instead.
void TestMsgBox::secondMessageWhileOpenLeavesOpenOneIntact() {
    ModalAnswerer answers;
    bool refused = false;
    MsgBoxRecord afterSecondCall;
    answers.answerMsgBox([&](TForm6* form) {
        try {
            form->MsgBox(QStringLiteral("other"), QStringLiteral("other text"), 3);
        } catch (const std::exception&) {
            refused = true;
        }
        afterSecondCall.caption = form->windowTitle();
        afterSecondCall.text = form->Label1->text();
        afterSecondCall.pictures = QStringList{};
        if (!form->Image4_Bomba->isHidden()) afterSecondCall.pictures << QStringLiteral("bomb");
        ModalAnswerer::Apply(form, MsgBoxAnswer::Button2);
    });
    Form6->MsgBox(QStringLiteral("first"), QStringLiteral("first text"), 1);
    QVERIFY(refused);
    QCOMPARE(afterSecondCall.caption, QStringLiteral("first"));
    QCOMPARE(afterSecondCall.text, QStringLiteral("first text"));
    QVERIFY(afterSecondCall.pictures.isEmpty());
    QCOMPARE(sounds_->played(), QList<int>{200});
    QVERIFY(Form6->Respuesta);
}

void TestMsgBox::missingDatabaseEndsProcessAtCaptionLookup_data() {
    QTest::addColumn<bool>("withSettings");
    QTest::newRow("no settings database") << false;
    QTest::newRow("active language database missing") << true;
}

void TestMsgBox::missingDatabaseEndsProcessAtCaptionLookup() {
    QFETCH(bool, withSettings);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    if (withSettings) {
        QCOMPARE(kavenra::testing::RunSql(
                     folder.filePath(QStringLiteral("KVConfig.db")),
                     QStringLiteral("CREATE TABLE idiomas (id INTEGER, idioma TEXT, ruta TEXT, "
                                    "activo TEXT);"
                                    "INSERT INTO idiomas VALUES (1, 'English', 'gone.db', '1');")),
                 QString());
    }
    QProcess child;
    child.setWorkingDirectory(folder.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(childScenarioVariable), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(60000));
    const QStringList lines = QString::fromUtf8(child.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 1);
    QCOMPARE(lines,
             QStringList{QStringLiteral(
                 "MESSAGEBOX|Kavenra|Error al leer de la base de datos, fichero no encontrado")});
}

namespace {

class EchoingSoundPlayer final : public kavenra::SoundPlayer {
  public:
    void play(int resourceId) override {
        std::printf("SOUND|%d\n", resourceId);
        std::fflush(stdout);
    }
};

// Runs in the child process started by missingDatabaseEndsProcessAtCaptionLookup: every box it
// meets and every sound it starts is printed; the process is expected to end inside MsgBox.
int runMissingDatabaseChild() {
    EchoingSoundPlayer sounds;
    kavenra::SetSoundPlayer(&sounds);
    ModalAnswerer answers;
    answers.setEcho(true);
    TForm6 form;
    Form6 = &form;
    Form6->MsgBox(QStringLiteral("Warning"),
                  QStringLiteral("Can't locate KVConfig.db configuration file."), 3);
    std::printf("RETURNED\n");
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    KavenraApplication application(argc, argv);
    kavenra::testing::PrepareWindowTestApplication();
    if (qEnvironmentVariableIsSet(childScenarioVariable)) return runMissingDatabaseChild();
    TestMsgBox test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_msgbox.moc"
