#include "ui/Form5_seleccioncarpeta.h"

#include "store/CaptionKeys.h"
#include "store/TranslationLookup.h"
#include "ui/AppServices.h"
#include "ui/DialogControls.h"
#include "ui/DialogFrame.h"
#include "ui/FolderListBox.h"
#include "ui/Form6_msgbox.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include <sys/stat.h>

TForm5* Form5 = nullptr;

namespace {

using kavenra::dialogs::Place;

QString caption(const char* key) {
    return LookupCaption(kavenra::kFolderChooserForm, key);
}

// The text input box: the typed text, or the default text when cancelled. Its buttons speak
// the active language like the rest of the chooser.
QString inputBox(QWidget* parent, const QString& title, const QString& prompt,
                 const QString& defaultText) {
    QInputDialog input(parent);
    input.setWindowTitle(title);
    input.setLabelText(prompt);
    input.setTextValue(defaultText);
    input.setOkButtonText(caption("Button1"));
    input.setCancelButtonText(caption("InputBox_Cancelar"));
    return input.exec() == QDialog::Accepted ? input.textValue() : defaultText;
}

// One level only: the parent must exist and the folder must not.
bool createSingleFolder(const QString& path) {
    return ::mkdir(QFile::encodeName(path).constData(), 0777) == 0;
}

// The root a folder lies under ("/" on this platform).
QString rootOf(const QString& folder) {
    QString best;
    for (const QFileInfo& root : QDir::drives()) {
        const QString rootPath = root.absoluteFilePath();
        if (folder.startsWith(rootPath) && rootPath.size() > best.size()) best = rootPath;
    }
    return best;
}

}  // namespace

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form5"));
    SetFixedDialogFrame(this, 319, 358, QString::fromUtf8("Selección carpeta"));
    createControls();
    kavenra::dialogs::ApplyLayoutFont(this);
}

void TForm5::createControls() {
    // Created in tab order. Button2 is wider than the layout's 75 pixels, which cut its caption
    // in several languages in a font wider than Tahoma.
    Button2 =
        Place(new QPushButton(QStringLiteral("Crear carpeta"), this), "Button2", 8, 323, 100, 25);
    Button1 = Place(new QPushButton(QStringLiteral("Aceptar"), this), "Button1", 120, 323, 75, 25);
    DirectoryListBox1 = Place(new FolderListBox(this), "DirectoryListBox1", 4, 32, 306, 289);
    DriveComboBox1 = Place(new QComboBox(this), "DriveComboBox1", 4, 7, 306, 19);
    setTabOrder(Button2, Button1);
    setTabOrder(Button1, DirectoryListBox1);
    setTabOrder(DirectoryListBox1, DriveComboBox1);

    fillRoots();
    showRootOf(DirectoryListBox1->Directory());

    connect(Button1, &QPushButton::clicked, this, Guarded([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, Guarded([this] { Button2Click(); }));
    connect(DirectoryListBox1, &FolderListBox::directoryChanged, this,
            [this](const QString& folder) { showRootOf(folder); });
    connect(DriveComboBox1, &QComboBox::activated, this,
            Guarded([this](int index) { openRoot(index); }));
}

void TForm5::fillRoots() {
    for (const QFileInfo& root : QDir::drives()) {
        const QString path = root.absoluteFilePath();
        DriveComboBox1->addItem(QDir::toNativeSeparators(path), path);
    }
}

void TForm5::showRootOf(const QString& folder) {
    const QString root = rootOf(folder);
    lastFolderOfRoot_.insert(root, folder);
    const int index = DriveComboBox1->findData(root);
    if (index >= 0) DriveComboBox1->setCurrentIndex(index);
}

void TForm5::openRoot(int index) {
    const QString root = DriveComboBox1->itemData(index).toString();
    if (rootOf(DirectoryListBox1->Directory()) == root) return;
    if (!DirectoryListBox1->SetDirectory(lastFolderOfRoot_.value(root, root))) {
        DirectoryListBox1->SetDirectory(root);
    }
}

void TForm5::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    // Folders may have come and gone while the dialog was hidden.
    DirectoryListBox1->Update();
    DirectoryListBox1->setFocus();
}

QString TForm5::OpenFolder() const {
    return DirectoryListBox1->Directory();
}

void TForm5::OpenAtDestination(const QString& destination) {
    chosenDestination_.clear();
    DirectoryListBox1->SetDirectory(kavenra::StartFolderOf(destination));
}

namespace kavenra {

QString StartFolderOf(const QString& destination) {
    if (destination.trimmed().isEmpty()) return QDir::homePath();
    QString folder = QDir::cleanPath(QDir::current().absoluteFilePath(destination));
    // Climbs until a folder exists; the root always does.
    while (!QFileInfo(folder).isDir()) {
        const QString above = QFileInfo(folder).path();
        if (above == folder) return QDir::homePath();
        folder = above;
    }
    return folder;
}

}  // namespace kavenra

void TForm5::Button1Click() {
    chosenDestination_ = OpenFolder() + QStringLiteral("/RES/");
    accept();
}

void TForm5::Button2Click() {
    const QString name =
        inputBox(this, caption("InputBox_Carpeta"), caption("InputBox_Carpeta2"), QString());
    if (name.isEmpty()) return;
    if (createSingleFolder(OpenFolder() + QLatin1Char('/') + name)) {
        DirectoryListBox1->Update();
        const int created = DirectoryListBox1->SubfolderRow(name);
        if (created >= 0) DirectoryListBox1->setCurrentRow(created);
        Form6->MsgBox(caption("MsgBox_Carpeta2"), caption("MsgBox_Carpeta"),
                      MessageKind::Information);
    } else {
        Form6->MsgBox(caption("MsgBox_Carpeta2"), caption("MsgBox_Error"), MessageKind::Error);
    }
}
