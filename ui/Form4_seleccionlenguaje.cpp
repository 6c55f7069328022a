#include "ui/Form4_seleccionlenguaje.h"

#include "store/CaptionKeys.h"
#include "store/DatabaseAccess.h"
#include "store/SideFiles.h"
#include "store/TranslationLookup.h"
#include "ui/AppServices.h"
#include "ui/DialogControls.h"
#include "ui/DialogFrame.h"
#include "ui/Form6_msgbox.h"
#include "ui/Resources.h"
#include "ui/TranslateAllForms.h"

#include <sqlite3.h>

#include "store/SqliteHandles.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>

#include <cstdio>
#include <memory>
#include <string>

TForm4* Form4 = nullptr;

namespace {

using kavenra::dialogs::MakeLabel;
using kavenra::dialogs::Place;

const QString globePicture = QStringLiteral(":/kavenra/language/globo.svg");

using Connection = kavenra::sqlite::Connection;
using SqliteText = kavenra::sqlite::Text;

QString caution() {
    return QString::fromUtf8("Atención");
}

// Every column of every row becomes one entry; a NULL value an empty one.
int appendLanguage(void* comboBox, int columns, char** values, char**) {
    auto* list = static_cast<QComboBox*>(comboBox);
    for (int column = 0; column < columns; ++column) {
        list->addItem(QString::fromUtf8(values[column]));
    }
    return 0;
}

void reportIfFailed(bool succeeded) {
    if (!succeeded) {
        ApplicationMessageBox(QStringLiteral("Se ha producido un error al acceder a la BDD"),
                              caution());
    }
}

}  // namespace

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
    InitialiseKavenraResources();
    setObjectName(QStringLiteral("Form4"));
    SetFixedDialogFrame(this, 464, 174, QString::fromUtf8("Language selection"));
    createControls();
    kavenra::dialogs::ApplyLayoutFont(this);
    connect(Button1, &QPushButton::clicked, this, Guarded([this] { Button1Click(); }));
}

void TForm4::createControls() {
    // Up to the globe, on up to three lines: in a font wider than Tahoma, and in the longer
    // languages, the invitation does not fit the layout's 293 pixels.
    Label1 =
        MakeLabel(this, "Label1",
                  QStringLiteral("Welcome, please select your language, only this first time use"),
                  24, 20, 318);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->resize(318, 48);

    Image1 = Place(new QLabel(this), "Image1", 346, 8, 90, 89);
    Image1->setPixmap(RenderVectorPicture(globePicture, Image1->size(), devicePixelRatioF()));
    Image1->setAlignment(Qt::AlignCenter);

    ComboBox1 = Place(new QComboBox(this), "ComboBox1", 112, 76, 145, 21);
    ComboBox1->setEditable(true);
    // Typed text selects an entry at most; it never becomes a language of its own.
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);

    Button1 = Place(new QPushButton(QStringLiteral("OK"), this), "Button1", 182, 128, 75, 25);
    // Return in the list takes the preselected language at once. The editable list keeps
    // Return for itself, so its field passes it on, after the list has matched a typed name.
    Button1->setDefault(true);
    connect(ComboBox1->lineEdit(), &QLineEdit::returnPressed, Button1, &QPushButton::click);
    setTabOrder(ComboBox1, Button1);
}

void TForm4::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    ComboBox1->setFocus(Qt::ActiveWindowFocusReason);
    RunGuarded([this] { FormShow(); });
}

void TForm4::FormShow() {
    if (!ListLanguages()) {
        ApplicationMessageBox(QStringLiteral("Error SQL listando idiomas de la base de datos"),
                              caution());
    }
}

bool TForm4::ListLanguages() {
    ComboBox1->clear();

    sqlite3* opened = nullptr;
    int result = sqlite3_open(kavenra::SettingsDatabaseFile().c_str(), &opened);
    Connection connection(opened);
    if (result != SQLITE_OK) {
        const std::string error = sqlite3_errmsg(connection.get());
        std::fprintf(stderr, "No se puede abrir base de datos: %s\n", error.c_str());
        std::fflush(stderr);
        ApplicationMessageBox(QStringLiteral("Error al abrir base de datos"), caution());
        ShowMessage(QString::fromStdString(error));
        return false;
    }

    char* failure = nullptr;
    result = sqlite3_exec(connection.get(), "SELECT idioma FROM idiomas", appendLanguage, ComboBox1,
                          &failure);
    const SqliteText errorText(failure);
    const int preselected =
        result == SQLITE_OK
            ? kavenra::PreselectedLanguage(kavenra::ReadListedLanguages(connection.get()),
                                           kavenra::IsFirstRun(connection.get()),
                                           kavenra::LocaleLanguageCode())
            : -1;
    connection.reset();
    if (result != SQLITE_OK) {
        const std::string error = errorText ? errorText.get() : sqlite3_errstr(result);
        std::fprintf(stderr, "SQL error: %s\n", error.c_str());
        std::fflush(stderr);
        // The list keeps the rows read before the failure, none of them chosen.
        ComboBox1->setCurrentIndex(-1);
        ApplicationMessageBox(QStringLiteral("Error SQL"), caution());
        return false;
    }

    ComboBox1->setCurrentIndex(preselected < ComboBox1->count() ? preselected : -1);
    return true;
}

int TForm4::SelectedLanguageIndex() const {
    const int current = ComboBox1->currentIndex();
    const QString shown = ComboBox1->currentText();
    if (current >= 0 && ComboBox1->itemText(current) == shown) return current;
    if (shown.isEmpty()) return -1;
    return ComboBox1->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

// Without a chosen entry the statement that activates a language would match no row and leave
// the program without an active language, which every text lookup needs: the choice is refused.
void TForm4::Button1Click() {
    const int index = SelectedLanguageIndex();
    if (index < 0) {
        Form6->MsgBox(LookupCaption(kavenra::kMainWindowForm, "Caption_Atencion"),
                      LookupCaption(kavenra::kLanguageDialogForm, "MsgBox_Idioma"),
                      MessageKind::Error);
        return;
    }
    reportIfFailed(
        ExecuteStatement(kavenra::SettingsDatabaseFile(), "UPDATE idiomas SET activo='0'"));
    reportIfFailed(
        ExecuteStatement(kavenra::SettingsDatabaseFile(),
                         "UPDATE idiomas SET activo='1' WHERE id='" + std::to_string(index) + "'"));
    reportIfFailed(ExecuteStatement(kavenra::SettingsDatabaseFile(),
                                    "UPDATE configuracion SET primera_ejecucion='1'"));
    // The chosen language speaks from here on, in place of the one the first-run question spoke.
    SpeakUntilChosen({});
    TranslateAllForms();
    accept();
}
