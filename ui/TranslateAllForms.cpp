#include "ui/TranslateAllForms.h"

#include "store/CaptionKeys.h"
#include "store/TranslationLookup.h"
#include "ui/AccessKeys.h"
#include "ui/DialogControls.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Form4_seleccionlenguaje.h"
#include "ui/Form5_seleccioncarpeta.h"
#include "ui/Form7_acercade.h"
#include "ui/Unit1.h"
#include "ui/ValueListEditor.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <string>

namespace {

using kavenra::kAboutBoxForm;
using kavenra::kFolderChooserForm;
using kavenra::kLanguageDialogForm;
using kavenra::kMainWindowForm;
using kavenra::kOptionsDialogForm;
using kavenra::dialogs::SetShownHint;

void setCaption(QLabel* label, const QString& text) {
    label->setText(text);
}

void setCaption(QAbstractButton* button, const QString& text) {
    button->setText(text);
}

void setCaption(QGroupBox* group, const QString& text) {
    group->setTitle(text);
}

// The item at a position of the menu tree: the first number counts the items of the menu bar
// or popup menu, each further one the items of the submenu reached so far. Separators count.
// nullptr when the tree has no such position.
QAction* menuItem(const QWidget* menu, std::initializer_list<int> positions) {
    QAction* item = nullptr;
    for (const int position : positions) {
        if (item) {
            if (!item->menu()) return nullptr;
            menu = item->menu();
        }
        item = menu->actions().value(position);
        if (!item) return nullptr;
    }
    return item;
}

// The menu's access keys follow its texts: each new text may take or free a letter.
void setMenuText(QWidget* menu, std::initializer_list<int> positions, const QString& text) {
    if (QAction* item = menuItem(menu, positions)) item->setText(text);
    kavenra::AssignAccessKeys(menu);
}

void setMainMenuText(std::initializer_list<int> positions, const QString& text) {
    setMenuText(Form1->menuBar(), positions, text);
}

struct TranslationTarget {
    int form;
    std::string_view key;
    void (*set)(const QString& text);
};

// Where each key's text goes, row for row in the order of the key list (checked below, so a key
// added to one and not the other does not build). The windows are reached through their global
// pointers at the moment a text is set, so the table holds for every set of windows the program
// creates.
constexpr TranslationTarget kTargets[] = {
    {kOptionsDialogForm, "Form_Caption", [](const QString& t) { Form3->setWindowTitle(t); }},
    {kOptionsDialogForm, "Label8", [](const QString& t) { setCaption(Form3->Label8, t); }},
    {kOptionsDialogForm, "GroupBox2", [](const QString& t) { setCaption(Form3->GroupBox2, t); }},
    {kOptionsDialogForm, "Button1", [](const QString& t) { setCaption(Form3->Button1, t); }},
    {kOptionsDialogForm, "Label7", [](const QString& t) { setCaption(Form3->Label7, t); }},
    {kOptionsDialogForm, "RadioButton6",
     [](const QString& t) { setCaption(Form3->RadioButton6, t); }},
    {kOptionsDialogForm, "RadioButton7",
     [](const QString& t) { setCaption(Form3->RadioButton7, t); }},
    {kOptionsDialogForm, "RadioButton9",
     [](const QString& t) { setCaption(Form3->RadioButton9, t); }},
    {kOptionsDialogForm, "RadioButton10",
     [](const QString& t) { setCaption(Form3->RadioButton10, t); }},
    {kOptionsDialogForm, "RadioButton11",
     [](const QString& t) { setCaption(Form3->RadioButton11, t); }},
    {kOptionsDialogForm, "RadioButton12",
     [](const QString& t) { setCaption(Form3->RadioButton12, t); }},
    {kOptionsDialogForm, "RadioButton13",
     [](const QString& t) { setCaption(Form3->RadioButton13, t); }},
    {kOptionsDialogForm, "RadioButton14",
     [](const QString& t) { setCaption(Form3->RadioButton14, t); }},
    {kOptionsDialogForm, "RadioButton15",
     [](const QString& t) { setCaption(Form3->RadioButton15, t); }},
    {kOptionsDialogForm, "RadioButton16",
     [](const QString& t) { setCaption(Form3->RadioButton16, t); }},
    {kOptionsDialogForm, "RadioButton17",
     [](const QString& t) { setCaption(Form3->RadioButton17, t); }},
    {kOptionsDialogForm, "RadioButton18",
     [](const QString& t) { setCaption(Form3->RadioButton18, t); }},
    {kOptionsDialogForm, "ValueListEditor1",
     [](const QString& t) {
         Form3->ValueListEditor1->SetTitleCaptions(kavenra::CommaTextItems(t));
     }},
    // The quality slider's hint shows on the status bar only.
    {kOptionsDialogForm, "TrackBar1Hint",
     [](const QString& t) { Form3->TrackBar1->setStatusTip(t); }},
    {kOptionsDialogForm, "RadioButton18Hint",
     [](const QString& t) { SetShownHint(Form3->RadioButton18, t); }},
    {kOptionsDialogForm, "saveAsGroup",
     [](const QString& t) { setCaption(Form3->saveAsGroup, t); }},
    {kOptionsDialogForm, "saveAsOriginalButton",
     [](const QString& t) { setCaption(Form3->saveAsOriginalButton, t); }},
    {kOptionsDialogForm, "webpQualityLabel",
     [](const QString& t) { setCaption(Form3->webpQualityLabel, t); }},
    {kOptionsDialogForm, "webpLosslessBox",
     [](const QString& t) { setCaption(Form3->webpLosslessBox, t); }},
    {kOptionsDialogForm, "fastJpegDecodingBox",
     [](const QString& t) { setCaption(Form3->fastJpegDecodingBox, t); }},
    {kOptionsDialogForm, "saveAsGroupHint",
     [](const QString& t) { SetShownHint(Form3->saveAsGroup, t); }},
    {kOptionsDialogForm, "moreChoicesGroup",
     [](const QString& t) { setCaption(Form3->moreChoicesGroup, t); }},
    {kOptionsDialogForm, "noEnlargeBox",
     [](const QString& t) { setCaption(Form3->noEnlargeBox, t); }},
    {kOptionsDialogForm, "fitWithinBox",
     [](const QString& t) { setCaption(Form3->fitWithinBox, t); }},
    {kOptionsDialogForm, "keepDatesBox",
     [](const QString& t) { setCaption(Form3->keepDatesBox, t); }},
    {kOptionsDialogForm, "subfoldersBox",
     [](const QString& t) { setCaption(Form3->subfoldersBox, t); }},
    {kOptionsDialogForm, "removeLocationBox",
     [](const QString& t) { setCaption(Form3->removeLocationBox, t); }},
    {kOptionsDialogForm, "sizeBudgetBox",
     [](const QString& t) { setCaption(Form3->sizeBudgetBox, t); }},

    {kMainWindowForm, "MainMenu1", [](const QString& t) { setMainMenuText({0}, t); }},
    {kMainWindowForm, "MainMenu1Sub1",
     [](const QString& t) {
         setMainMenuText({0, 3}, t);
     }},
    {kMainWindowForm, "MainMenu1Sub2",
     [](const QString& t) {
         setMainMenuText({0, 0}, t);
     }},
    {kMainWindowForm, "MainMenu1Sub3",
     [](const QString& t) {
         setMainMenuText({0, 1}, t);
     }},
    {kMainWindowForm, "MainMenu2", [](const QString& t) { setMainMenuText({1}, t); }},
    {kMainWindowForm, "MainMenu2Sub1",
     [](const QString& t) {
         setMainMenuText({1, 0}, t);
     }},
    {kMainWindowForm, "MainMenu2Sub2",
     [](const QString& t) {
         setMainMenuText({1, 2}, t);
     }},
    {kMainWindowForm, "MainMenu3", [](const QString& t) { setMainMenuText({2}, t); }},
    {kMainWindowForm, "MainMenu3Sub1",
     [](const QString& t) {
         setMainMenuText({2, 0}, t);
     }},
    {kMainWindowForm, "MainMenu3Sub2",
     [](const QString& t) {
         setMainMenuText({2, 2}, t);
     }},
    {kMainWindowForm, "PopupMenu1Sub1",
     [](const QString& t) { setMenuText(Form1->PopupMenu1, {0}, t); }},
    {kMainWindowForm, "GroupBox1", [](const QString& t) { setCaption(Form1->GroupBox1, t); }},
    {kMainWindowForm, "GroupBox2", [](const QString& t) { setCaption(Form1->GroupBox2, t); }},
    {kMainWindowForm, "Label1", [](const QString& t) { setCaption(Form1->Label1, t); }},
    {kMainWindowForm, "Label2", [](const QString& t) { setCaption(Form1->Label2, t); }},
    {kMainWindowForm, "Label6", [](const QString& t) { setCaption(Form1->Label6, t); }},
    {kMainWindowForm, "Label3", [](const QString& t) { setCaption(Form1->Label3, t); }},
    {kMainWindowForm, "Label9", [](const QString& t) { setCaption(Form1->Label9, t); }},
    {kMainWindowForm, "Label8", [](const QString& t) { setCaption(Form1->Label8, t); }},
    {kMainWindowForm, "CheckBox1", [](const QString& t) { setCaption(Form1->CheckBox1, t); }},
    {kMainWindowForm, "CheckBox2", [](const QString& t) { setCaption(Form1->CheckBox2, t); }},
    {kMainWindowForm, "Button2", [](const QString& t) { setCaption(Form1->Button2, t); }},
    {kMainWindowForm, "Button4", [](const QString& t) { setCaption(Form1->Button4, t); }},
    {kMainWindowForm, "Button3", [](const QString& t) { setCaption(Form1->Button3, t); }},
    {kMainWindowForm, "ListBox1Hint", [](const QString& t) { SetShownHint(Form1->ListBox1, t); }},
    {kMainWindowForm, "CheckBox2Hint", [](const QString& t) { SetShownHint(Form1->CheckBox2, t); }},
    {kMainWindowForm, "SpeedButton2Hint",
     [](const QString& t) { SetShownHint(Form1->SpeedButton2, t); }},
    {kMainWindowForm, "Button2Hint", [](const QString& t) { SetShownHint(Form1->Button2, t); }},
    {kMainWindowForm, "Edit4Hint", [](const QString& t) { SetShownHint(Form1->Edit4, t); }},
    {kMainWindowForm, "RadioButton11",
     [](const QString& t) { setCaption(Form1->RadioButton11, t); }},

    {kFolderChooserForm, "Caption", [](const QString& t) { Form5->setWindowTitle(t); }},
    {kFolderChooserForm, "Button1", [](const QString& t) { setCaption(Form5->Button1, t); }},
    {kFolderChooserForm, "Button2", [](const QString& t) { setCaption(Form5->Button2, t); }},

    {kAboutBoxForm, "Caption", [](const QString& t) { Form7->setWindowTitle(t); }},
    {kAboutBoxForm, "Button1",
     [](const QString& t) {
         setCaption(Form7->Button1, t);
         setCaption(Form7->credits->closeButton, t);
     }},
    {kAboutBoxForm, "Label2", [](const QString& t) { setCaption(Form7->Label2, t); }},
    {kAboutBoxForm, "Label4", [](const QString& t) { setCaption(Form7->Label4, t); }},
    {kAboutBoxForm, "Label6", [](const QString& t) { setCaption(Form7->Label6, t); }},
    {kAboutBoxForm, "Label7", [](const QString& t) { setCaption(Form7->Label7, t); }},
    {kAboutBoxForm, "Image15Hint", [](const QString& t) { SetShownHint(Form7->Image15, t); }},
    {kAboutBoxForm, "licenceLabel", [](const QString& t) { setCaption(Form7->licenceLabel, t); }},
    {kAboutBoxForm, "creditsButton", [](const QString& t) { setCaption(Form7->creditsButton, t); }},
    {kAboutBoxForm, "creditsCaption", [](const QString& t) { Form7->credits->setWindowTitle(t); }},
    {kAboutBoxForm, "creditsIntroduction",
     [](const QString& t) { setCaption(Form7->credits->introduction, t); }},

    {kOptionsDialogForm, "CancelButton",
     [](const QString& t) { setCaption(Form3->CancelButton, t); }},
    {kOptionsDialogForm, "FormatsPage",
     [](const QString& t) {
         Form3->OptionPages->setTabText(Form3->OptionPages->indexOf(Form3->FormatsPage), t);
     }},
    {kOptionsDialogForm, "MoreOptionsPage",
     [](const QString& t) {
         Form3->OptionPages->setTabText(Form3->OptionPages->indexOf(Form3->MoreOptionsPage), t);
     }},
    {kLanguageDialogForm, "Caption", [](const QString& t) { Form4->setWindowTitle(t); }},
    {kLanguageDialogForm, "Button1", [](const QString& t) { setCaption(Form4->Button1, t); }},
};

constexpr bool targetsFollowKeyList() {
    if (std::size(kTargets) != kavenra::kWindowTranslationKeys.size()) return false;
    for (std::size_t row = 0; row < std::size(kTargets); ++row) {
        const kavenra::CaptionKey target{kTargets[row].form, kTargets[row].key};
        if (!(target == kavenra::kWindowTranslationKeys[row])) return false;
    }
    return true;
}

static_assert(std::size(kTargets) == kavenra::kWindowTranslationKeys.size(),
              "every key of the window translation needs exactly one target");
static_assert(targetsFollowKeyList(),
              "the targets must name the keys of the window translation in the same order");

const TranslationTarget* findTarget(int form, std::string_view key) {
    for (const TranslationTarget& target : kTargets) {
        if (target.form == form && target.key == key) return &target;
    }
    return nullptr;
}

// Blanks, as a comma text counts them: every character up to the space except the zero.
bool isBlank(QChar c) {
    return c.unicode() >= 1 && c.unicode() <= u' ';
}

// From an opening quote to the closing one, "" read as one quote; an item without a closing
// quote runs to the end of the text.
QString quotedItem(const QString& text, qsizetype& position) {
    QString item;
    ++position;
    while (position < text.size()) {
        const QChar c = text[position];
        if (c == QLatin1Char('"')) {
            if (position + 1 < text.size() && text[position + 1] == QLatin1Char('"')) {
                item += c;
                position += 2;
                continue;
            }
            ++position;
            break;
        }
        item += c;
        ++position;
    }
    return item;
}

QString plainItem(const QString& text, qsizetype& position) {
    const qsizetype start = position;
    while (position < text.size() && !isBlank(text[position]) &&
           text[position] != QLatin1Char(',')) {
        ++position;
    }
    return text.mid(start, position - start);
}

}  // namespace

namespace kavenra {

bool SetTranslationTarget(int form, std::string_view key, const QString& text) {
    const TranslationTarget* target = findTarget(form, key);
    if (!target) return false;
    target->set(text);
    return true;
}

QStringList CommaTextItems(const QString& text) {
    QStringList items;
    qsizetype position = 0;
    const auto skipBlanks = [&] {
        while (position < text.size() && isBlank(text[position])) ++position;
    };
    skipBlanks();
    while (position < text.size()) {
        items << (text[position] == QLatin1Char('"') ? quotedItem(text, position)
                                                     : plainItem(text, position));
        skipBlanks();
        if (position < text.size() && text[position] == QLatin1Char(',')) {
            if (position + 1 == text.size()) items << QString();
            ++position;
            skipBlanks();
        }
    }
    return items;
}

}  // namespace kavenra

void TranslateAllForms() {
    for (const TranslationTarget& target : kTargets) {
        target.set(LookupCaption(target.form, std::string(target.key)));
    }
}
