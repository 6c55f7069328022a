#include "ui/Form7_acercade.h"

#include "engine/convert/LibraryCredits.h"
#include "engine/formats/ImageLibrary.h"
#include "net/Internet.h"
#include "store/DatabaseAccess.h"
#include "ui/AppServices.h"
#include "ui/DesktopOpener.h"
#include "ui/DialogControls.h"
#include "ui/DialogFrame.h"
#include "ui/Resources.h"

#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QUrl>

TForm7* Form7 = nullptr;

namespace {

using kavenra::dialogs::MakeLabel;
using kavenra::dialogs::Place;

const QString donationPicture = QStringLiteral(":/kavenra/dialogs/donacion.svg");

}  // namespace

ClickablePicture::ClickablePicture(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
}

void ClickablePicture::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void ClickablePicture::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click) emit clicked();
}

CreditsDialog::CreditsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("credits"));
    SetFixedDialogFrame(this, 420, 260, QStringLiteral("Créditos y licencias"));
    introduction = Place(new QLabel(this), "introduction", 12, 10, 396, 44);
    introduction->setWordWrap(true);
    introduction->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    introduction->setText(QString::fromUtf8(
        "Kavenra es software libre bajo la Licencia Pública General de GNU, versión 3 o "
        "posterior. Está hecho con estas bibliotecas:"));
    libraryList = Place(new QPlainTextEdit(this), "libraryList", 12, 58, 396, 158);
    libraryList->setReadOnly(true);
    libraryList->setLineWrapMode(QPlainTextEdit::NoWrap);
    libraryList->setPlainText(LibraryLines().join(QLatin1Char('\n')));
    closeButton =
        Place(new QPushButton(QStringLiteral("Cerrar"), this), "closeButton", 172, 226, 75, 25);
    kavenra::dialogs::ApplyLayoutFont(this);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
}

QStringList CreditsDialog::LibraryLines() {
    std::vector<kavenra::LibraryCredit> libraries = {
        {"Qt", qVersion(), "LGPL-3.0-only OR GPL-2.0-only OR GPL-3.0-only"},
        {"SQLite", DatabaseLibraryVersion(), "blessing (public domain)"},
    };
    for (kavenra::LibraryCredit& library : kavenra::ImageLibraryCredits()) {
        libraries.push_back(std::move(library));
    }
    QStringList lines;
    for (const kavenra::LibraryCredit& library : libraries) {
        lines.append(QStringLiteral("%1 %2: %3")
                         .arg(QString::fromStdString(library.name),
                              QString::fromStdString(library.version),
                              QString::fromStdString(library.licence)));
    }
    return lines;
}

TForm7::TForm7(QWidget* parent) : QDialog(parent) {
    InitialiseKavenraResources();
    setObjectName(QStringLiteral("Form7"));
    SetFixedDialogFrame(this, 309, 331, QStringLiteral("Acerca de ..."));
    createControls();
    createPictures();
    kavenra::dialogs::ApplyLayoutFont(this);

    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label7->setFont(bold);

    connect(Button1, &QPushButton::clicked, this, Guarded([this] { Button1Click(); }));
    connect(Image15, &ClickablePicture::clicked, this, Guarded([this] { Image15Click(); }));
    connect(creditsButton, &QPushButton::clicked, this, Guarded([this] { creditsButtonClick(); }));
    FormCreate();
}

void TForm7::createControls() {
    // Close keeps its size; the credits button goes beside it, the two centred under the licence.
    creditsButton = Place(new QPushButton(QString::fromUtf8("Créditos…"), this), "creditsButton",
                          68, 296, 90, 25);
    Button1 = Place(new QPushButton(QStringLiteral("Button1"), this), "Button1", 166, 296, 75, 25);
    licenceLabel =
        MakeLabel(this, "licenceLabel", QStringLiteral("Software libre: GNU GPL 3.0 o posterior"),
                  16, 274, 277);
    licenceLabel->setAlignment(Qt::AlignCenter);
    credits = new CreditsDialog(this);
    Label1 = MakeLabel(this, "Label1", QStringLiteral("Kavenra v.2.0"), 152, 16, 122);
    Label2 = MakeLabel(this, "Label2", QStringLiteral("Octubre 2015"), 176, 35, 120);
    Label3 = MakeLabel(this, "Label3", QStringLiteral("Teo Varensa"), 176, 54, 120);
    Comments = Place(new QLabel(QStringLiteral("contacto@kavenra.org"), this), "Comments", 176, 89,
                     120, 26);
    Comments->setWordWrap(true);
    Comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Comments->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label4 = MakeLabel(this, "Label4", QString::fromUtf8("Utiliza la librería FreeImage versión"),
                       40, 144, 167);
    Label5 = MakeLabel(this, "Label5", QStringLiteral("version"), 213, 144, 35);
    // As wide as Label7: the layout's 240 pixels cut the longer translations of this line.
    Label6 =
        MakeLabel(this, "Label6", QString::fromUtf8("Proyecto FreeImage: freeimage.sourceforge.io"),
                  40, 160, 260);
    Label7 =
        MakeLabel(this, "Label7", QString::fromUtf8("Si te es útil, ¡invitame a una cerveza! :-)"),
                  40, 192, 260);
}

void TForm7::createPictures() {
    ProgramIcon = Place(new QLabel(this), "ProgramIcon", 1, -3, 121, 124);
    ProgramIcon->setPixmap(
        RenderVectorPicture(kavenra::resource::ProgramIcon, QSize(112, 112), devicePixelRatioF()));
    ProgramIcon->setAlignment(Qt::AlignCenter);
    ProgramIcon->lower();

    Image15 = Place(new ClickablePicture(this), "Image15", 75, 219, 153, 49);
    Image15->setPixmap(RenderVectorPicture(donationPicture, QSize(152, 47), devicePixelRatioF()));
    Image15->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    kavenra::dialogs::SetShownHint(
        Image15, QStringLiteral("Si te gusta el programa y puedes, invitame a una cerveza!"));
}

void TForm7::showEvent(QShowEvent* event) {
    // The translation may have changed the credit since the last showing.
    arrangeVersionLine();
    QDialog::showEvent(event);
}

void TForm7::arrangeVersionLine() {
    constexpr int gap = 6;
    Label4->resize(qMax(167, Label4->sizeHint().width()), Label4->height());
    Label5->move(qMax(213, Label4->x() + Label4->width() + gap), Label5->y());
    Label5->resize(qMax(35, Label5->sizeHint().width()), Label5->height());
}

void TForm7::FormCreate() {
    Label5->setText(QString::fromStdString(kavenra::ImageLibraryVersion()));
    arrangeVersionLine();
}

void TForm7::Button1Click() {
    accept();
}

void TForm7::creditsButtonClick() {
    credits->exec();
}

void TForm7::Image15Click() {
    OpenWithDesktop(QUrl(QString::fromStdString(DonationPageUrl())));
}
