#include "ui/Form6_msgbox.h"

#include "store/CaptionKeys.h"
#include "store/TranslationLookup.h"
#include "ui/DialogFrame.h"
#include "ui/Resources.h"
#include "ui/Sounds.h"

#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRect>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>
#include <limits>
#include <stdexcept>

TForm6* Form6 = nullptr;

namespace {

constexpr int pictureSize = 48;

// The designed client area, and where the text and the buttons sit in it while the text fits.
constexpr int clientWidth = 417;
constexpr int clientHeight = 104;
constexpr QRect designedLabel(72, 24, 289, 33);
constexpr int buttonTop = 71;
constexpr int designedButtonWidth = 75;
constexpr int designedAffirmativeLeft = 111;
constexpr int designedNegativeLeft = 238;

// The designed width, or more when the caption needs it: the style draws the caption inside its
// frame and keeps its own button margin free around it.
int widthForCaption(const QPushButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.features = QStyleOptionButton::AutoDefaultButton;
    option.rect = QRect(0, 0, designedButtonWidth, button->height());
    const QStyle* style = button->style();
    const int frame = designedButtonWidth -
                      style->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
    const int caption =
        QFontMetrics(button->font()).size(Qt::TextShowMnemonic, button->text()).width();
    return std::max(designedButtonWidth, caption + margin + frame);
}

}  // namespace

MessageKind MessageKindOf(int kind) {
    switch (kind) {
        case static_cast<int>(MessageKind::Question):
        case static_cast<int>(MessageKind::Search):
        case static_cast<int>(MessageKind::Error):
        case static_cast<int>(MessageKind::Compass):
            return static_cast<MessageKind>(kind);
        default:
            return MessageKind::Information;
    }
}

TForm6::TForm6(QWidget* parent) : QDialog(parent) {
    InitialiseKavenraResources();
    setObjectName(QStringLiteral("Form6"));
    SetFixedDialogFrame(this, clientWidth, clientHeight, QStringLiteral("MsgBox"));
    QFont designFont;
    designFont.setPointSize(8);
    setFont(designFont);
    createControls();
}

void TForm6::createControls() {
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(designedLabel);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setWordWrap(true);
    Label1->setTextFormat(Qt::PlainText);

    Image1_Informacion = createPicture(kavenra::resource::InformationPicture, 8, 8);
    Image1_Informacion->setObjectName(QStringLiteral("Image1_Informacion"));
    Image2_Question = createPicture(kavenra::resource::QuestionPicture, 56, 47);
    Image2_Question->setObjectName(QStringLiteral("Image2_Question"));
    Image3_Busqueda = createPicture(kavenra::resource::SearchPicture, 104, 47);
    Image3_Busqueda->setObjectName(QStringLiteral("Image3_Busqueda"));
    Image4_Bomba = createPicture(kavenra::resource::BombPicture, 272, 47);
    Image4_Bomba->setObjectName(QStringLiteral("Image4_Bomba"));
    Image5_Brujula = createPicture(kavenra::resource::CompassPicture, 327, 47);
    Image5_Brujula->setObjectName(QStringLiteral("Image5_Brujula"));

    // Created in tab order: Button1, Button2, Button3.
    Button1 = createButton(176, buttonTop);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setText(QStringLiteral("Button1"));
    Button2 = createButton(designedAffirmativeLeft, buttonTop);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setText(QStringLiteral("Button2"));
    Button3 = createButton(designedNegativeLeft, buttonTop);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setText(QStringLiteral("Button3"));
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Button3);

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
}

QLabel* TForm6::createPicture(const QString& resource, int left, int top) {
    auto* picture = new QLabel(this);
    picture->setGeometry(left, top, 49, 49);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setPixmap(
        RenderVectorPicture(resource, QSize(pictureSize, pictureSize), devicePixelRatioF()));
    picture->hide();
    return picture;
}

QPushButton* TForm6::createButton(int left, int top) {
    auto* button = new QPushButton(this);
    button->setGeometry(left, top, designedButtonWidth, 25);
    // No fixed default button: Enter, like Space, presses whichever button has the focus.
    button->setAutoDefault(true);
    button->hide();
    return button;
}

void TForm6::MsgBox(const QString& caption, const QString& text, int kind) {
    MsgBox(caption, text, MessageKindOf(kind));
}

void TForm6::MsgBox(const QString& caption, const QString& text, MessageKind kind) {
    present(caption, text, kind, nullptr);
}

void TForm6::MsgBox(const QString& caption, const QString& text, const QuestionButtons& buttons) {
    present(caption, text, MessageKind::Question, &buttons);
}

void TForm6::present(const QString& caption, const QString& text, MessageKind kind,
                     const QuestionButtons* buttons) {
    // A message box that is already open cannot be opened a second time; refusing before
    // anything changes keeps the open message intact.
    if (isVisible()) throw std::logic_error("Cannot make a visible window modal");

    setWindowTitle(caption);
    Label1->setText(text);
    Button1->setText(LookupCaption(kavenra::kMessageBoxForm, "Button1"));

    switch (MessageKindOf(static_cast<int>(kind))) {
        case MessageKind::Question:
            // An answer left from an earlier question must never answer this one.
            Respuesta = false;
            Image2_Question->show();
            Button2->show();
            Button3->show();
            Button2->setText(buttons ? buttons->affirmative
                                     : LookupCaption(kavenra::kMessageBoxForm, "Button2"));
            Button3->setText(buttons ? buttons->negative
                                     : LookupCaption(kavenra::kMessageBoxForm, "Button3"));
            PlayResourceSound(kavenra::InformationSoundId);
            break;
        case MessageKind::Search:
            Image3_Busqueda->show();
            Button1->show();
            break;
        case MessageKind::Error:
            Image4_Bomba->show();
            Button1->show();
            PlayResourceSound(kavenra::ErrorSoundId);
            break;
        case MessageKind::Compass:
            Image5_Brujula->show();
            Button1->show();
            break;
        case MessageKind::Information:
            Image1_Informacion->show();
            Button1->show();
            PlayResourceSound(kavenra::InformationSoundId);
            break;
    }
    arrangeQuestionButtons();
    fitToText();
    exec();
}

// A caption that says what its button does may be longer than the designed 75 pixels hold: the
// buttons widen to their captions and the pair stays centred on the designed pair's middle, with
// the designed gap between them. Captions that fit keep the designed places.
void TForm6::arrangeQuestionButtons() {
    const int middle = (designedAffirmativeLeft + designedNegativeLeft + designedButtonWidth) / 2;
    const int gap = designedNegativeLeft - designedAffirmativeLeft - designedButtonWidth;
    const int affirmative = widthForCaption(Button2);
    const int negative = widthForCaption(Button3);
    const int left = std::max(0, middle - (affirmative + gap + negative) / 2);
    Button2->setGeometry(left, Button2->y(), affirmative, Button2->height());
    Button3->setGeometry(left + affirmative + gap, Button3->y(), negative, Button3->height());
}

// A warning cut in half is worse than a tall box: the label grows to the wrapped text's height
// and everything under it moves down by as much. Measured anew for every message, so a short one
// after a long one gets the designed size back.
void TForm6::fitToText() {
    const int wanted = Label1->heightForWidth(designedLabel.width()) - designedLabel.height();
    const int growth = std::clamp(wanted, 0, largestGrowth());
    Label1->setGeometry(designedLabel.adjusted(0, 0, 0, growth));
    for (QPushButton* button : {Button1, Button2, Button3}) {
        button->move(button->x(), buttonTop + growth);
    }
    setFixedSize(clientWidth, clientHeight + growth);
}

// The window, caption bar included, stays within the screen's free height; a text taller than
// that is cut at the label's bottom rather than pushing the buttons off the screen. Until the
// window manager has framed the window, the style's caption bar height stands in for its own.
int TForm6::largestGrowth() const {
    const QScreen* shownOn = screen();
    if (!shownOn) return std::numeric_limits<int>::max();
    const int frame = frameGeometry().height() - height();
    const int captionBar = frame > 0 ? frame : style()->pixelMetric(QStyle::PM_TitleBarHeight);
    return std::max(0, shownOn->availableGeometry().height() - captionBar - clientHeight);
}

void TForm6::FormShow() {
    for (QLabel* picture :
         {Image1_Informacion, Image2_Question, Image3_Busqueda, Image4_Bomba, Image5_Brujula}) {
        picture->move(8, 8);
    }
}

void TForm6::FormClose() {
    for (QWidget* control :
         {static_cast<QWidget*>(Image1_Informacion), static_cast<QWidget*>(Image2_Question),
          static_cast<QWidget*>(Image3_Busqueda), static_cast<QWidget*>(Image4_Bomba),
          static_cast<QWidget*>(Image5_Brujula), static_cast<QWidget*>(Button1),
          static_cast<QWidget*>(Button2), static_cast<QWidget*>(Button3)}) {
        control->hide();
    }
}

void TForm6::Button1Click() {
    close();
}

void TForm6::Button2Click() {
    Respuesta = true;
    close();
}

void TForm6::Button3Click() {
    Respuesta = false;
    close();
}

QPushButton* TForm6::firstVisibleButton() const {
    for (QPushButton* button : {Button1, Button2, Button3}) {
        if (!button->isHidden()) return button;
    }
    return nullptr;
}

void TForm6::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    FormShow();
    if (QPushButton* button = firstVisibleButton()) button->setFocus(Qt::ActiveWindowFocusReason);
}

bool TForm6::asksQuestion() const {
    return !Button3->isHidden();
}

void TForm6::keyPressEvent(QKeyEvent* event) {
    // Esc answers a question as its close box does, with the answer that changes nothing: the
    // negative one. A notice is ended only by its button, the close box or the close keystroke.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        if (asksQuestion()) Button3Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm6::done(int result) {
    FormClose();
    QDialog::done(result);
}
