#pragma once

#include <QDialog>
#include <QList>
#include <QString>

#include "store/LanguageChoice.h"

class QComboBox;
class QLabel;
class QPushButton;
class QShowEvent;

// The language dialog: lists the interface languages of the settings database, makes the chosen
// one the active language, marks the first run as done and translates every window again. Shown
// modally at the first run and without blocking the main window from the menu. Its title,
// invitation and OK speak the active language like every window; at the first run that is the
// language the dialog preselects (ui/Startup), so the question is readable before any choice.
// Its messages are the program's message boxes in the active language.
class TForm4 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm4(QWidget* parent = nullptr);

    QLabel* Label1;  // the invitation
    QLabel* Image1;  // the globe
    QComboBox* ComboBox1;
    QPushButton* Button1;  // OK

    // Every showing from hidden: rebuilds the list and preselects the entry a reflex OK should
    // keep (see PreselectedLanguage); a failed listing is reported with an error box.
    void FormShow();
    // Stores the selected entry as the active language and the first run as done, translates
    // the windows and closes. With no entry selected nothing is stored: the dialog says so and
    // stays open.
    void Button1Click();

    // Fills ComboBox1 with the `idioma` of every row of `idiomas`, in the order the rows come,
    // and selects the preselected entry. Reads KVConfig.db itself, without the existence test of
    // the other database calls; false after a failure has been reported.
    bool ListLanguages();

    // The index of the entry the user has chosen: the selected entry while the entry field shows
    // its text, else the entry whose text the field holds exactly, else -1.
    int SelectedLanguageIndex() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void createControls();
};

extern TForm4* Form4;
