#include "ui/Form6_msgbox.h"

#include "store/Sqlitetraductor.h"
#include "ui/DialogFrame.h"
#include "ui/Resources.h"
#include "ui/Sounds.h"

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>

#include <stdexcept>

TForm6* Form6 = nullptr;

namespace {

constexpr int pictureSize = 48;

}  // namespace

TForm6::TForm6(QWidget* parent) : QDialog(parent) {
    InitialiseKavenraResources();
    setObjectName(QStringLiteral("Form6"));
    SetFixedDialogFrame(this, 417, 104, QStringLiteral("MsgBox"));
    QFont designFont;
    designFont.setPointSize(8);
    setFont(designFont);
    createControls();
}

void TForm6::createControls() {
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(72, 24, 289, 33);
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
    Button1 = createButton(176, 71);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setText(QStringLiteral("Button1"));
    Button2 = createButton(111, 71);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setText(QStringLiteral("Button2"));
    Button3 = createButton(238, 71);
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
    button->setGeometry(left, top, 75, 25);
    // No fixed default button: Enter, like Space, presses whichever button has the focus.
    button->setAutoDefault(true);
    button->hide();
    return button;
}

void TForm6::MsgBox(const QString& caption, const QString& text, int kind) {
    // A message box that is already open cannot be opened a second time; refusing before
    // anything changes keeps the open message intact.
    if (isVisible()) throw std::logic_error("Cannot make a visible window modal");

    setWindowTitle(caption);
    Label1->setText(text);
    Button1->setText(LookupCaption(6, "Button1"));

    switch (kind) {
        case 1:
            Image2_Question->show();
            Button2->show();
            Button3->show();
            Button2->setText(LookupCaption(6, "Button2"));
            Button3->setText(QStringLiteral("No"));
            PlayResourceSound(kavenra::InformationSoundId);
            break;
        case 2:
            Image3_Busqueda->show();
            Button1->show();
            break;
        case 3:
            Image4_Bomba->show();
            Button1->show();
            PlayResourceSound(kavenra::ErrorSoundId);
            break;
        case 4:
            Image5_Brujula->show();
            Button1->show();
            break;
        default:
            Image1_Informacion->show();
            Button1->show();
            PlayResourceSound(kavenra::InformationSoundId);
            break;
    }
    exec();
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

void TForm6::keyPressEvent(QKeyEvent* event) {
    // Esc does nothing here: only a button, the close box or the close keystroke ends a message.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm6::done(int result) {
    FormClose();
    QDialog::done(result);
}
