// The main window as a whole: its state at start, the fixed client area between menu bar and
// status bar, controls that fit their parents, the hints on the status bar, the menus and the
// windows they open, and the end of the program when the window closes.

#include "engine/base/ConversionOptions.h"
#include "support/DatabaseFixture.h"
#include "support/DropFiles.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswerer.h"
#include "support/RunTicks.h"
#include "ui/Form2_changelog.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Form4_seleccionlenguaje.h"
#include "ui/Form5_seleccioncarpeta.h"
#include "ui/Form7_acercade.h"
#include "ui/Unit1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <memory>

using kavenra::testing::DropFiles;
using kavenra::testing::MainWindowFixture;
using kavenra::testing::ModalAnswerer;
using kavenra::testing::QueryColumn;
using kavenra::testing::ShippedDataFolder;

namespace {

// The controls a user sees, children of the client area at any depth.
QList<QWidget*> layoutControls() {
    QList<QWidget*> controls;
    for (QWidget* control : Form1->ClientArea->findChildren<QWidget*>()) {
        if (!control->objectName().isEmpty() && !control->objectName().startsWith("qt_"))
            controls << control;
    }
    return controls;
}

// Pairs that share one place on purpose: only one of each is ever shown.
bool sharesPlaceOnPurpose(const QWidget* first, const QWidget* second) {
    const QStringList pair{first->objectName(), second->objectName()};
    for (const QStringList& sharing :
         {QStringList{"Panel1", "Panel2"}, QStringList{"ProgressBar1", "ProgressBar2"},
          QStringList{"Button3", "Button4"}}) {
        if (pair.contains(sharing[0]) && pair.contains(sharing[1])) return true;
    }
    return false;
}

void pointAt(QWidget* control) {
    QTest::mouseMove(control, control->rect().center());
    QCoreApplication::processEvents();
}

// A control's place in its parent as the layout gives it. Labels size themselves to their text,
// and the lock buttons have no size in the layout: for them only the place is given (an empty
// size).
struct DesignedBounds {
    const char* name;
    const char* parent;
    QRect bounds;
};

QRect at(int left, int top) {
    return QRect(left, top, 0, 0);
}

// Where the bounds differ from the layout's, the difference is named: a few controls are wider
// (6-14 px) or a little further left so that their captions fit without Tahoma.
const QList<DesignedBounds>& designedBounds() {
    static const QList<DesignedBounds> bounds{
        {"Label8", "ClientArea", at(20, 233)},
        {"GroupBox1", "ClientArea", QRect(8, 5, 522, 168)},
        // Layout: 40, 94, 169 x 17; six pixels left, in line with CheckBox2, and as much wider.
        {"CheckBox1", "GroupBox1", QRect(34, 94, 175, 17)},
        {"GroupBox2", "GroupBox1", QRect(255, 15, 250, 108)},
        {"Label4", "GroupBox2", at(18, 48)},
        {"Label5", "GroupBox2", at(140, 48)},
        {"RadioButton1", "GroupBox2", QRect(40, 22, 81, 17)},
        {"RadioButton2", "GroupBox2", QRect(40, 41, 81, 17)},
        {"RadioButton3", "GroupBox2", QRect(40, 59, 81, 17)},
        {"RadioButton4", "GroupBox2", QRect(40, 78, 81, 17)},
        // Layout: 65 wide; as wide as RadioButton10 (+14).
        {"RadioButton7", "GroupBox2", QRect(168, 22, 79, 17)},
        {"RadioButton8", "GroupBox2", QRect(168, 40, 79, 17)},
        {"RadioButton9", "GroupBox2", QRect(168, 59, 79, 17)},
        {"RadioButton10", "GroupBox2", QRect(168, 78, 79, 17)},
        {"Panel1", "GroupBox1", QRect(24, 16, 225, 72)},
        {"Label1", "Panel1", at(14, 16)},
        {"Label2", "Panel1", at(14, 47)},
        {"Label7", "Panel1", at(149, 29)},
        {"Edit1", "Panel1", QRect(70, 13, 73, 21)},
        {"Edit2", "Panel1", QRect(70, 40, 73, 21)},
        {"RadioButton5", "Panel1", at(166, 8)},
        {"RadioButton6", "Panel1", at(166, 27)},
        {"RadioButton11", "Panel1", at(167, 46)},
        {"Panel2", "GroupBox1", QRect(38, 23, 211, 65)},
        {"Label6", "Panel2", at(4, 29)},
        {"Edit4", "Panel2", QRect(92, 25, 75, 21)},
        // Layout: 40, 113, 209 x 17; six pixels left and nine wider (+6 beyond the room the
        // layout leaves before the preset group), ending three pixels short of its frame.
        {"CheckBox2", "GroupBox1", QRect(34, 113, 218, 17)},
        {"ProgressBar1", "GroupBox1", QRect(12, 144, 490, 9)},
        {"ProgressBar2", "GroupBox1", QRect(12, 136, 490, 17)},
        {"Panel3", "ClientArea", QRect(17, 179, 519, 52)},
        {"Label3", "Panel3", at(13, 4)},
        {"Label9", "Panel3", at(273, 4)},
        {"Label10", "Panel3", at(413, 4)},
        {"Edit3", "Panel3", QRect(8, 23, 449, 21)},
        {"SpeedButton2", "Panel3", QRect(463, 3, 40, 39)},
        {"ListBox1", "ClientArea", QRect(17, 254, 513, 233)},
        {"Button3", "ClientArea", QRect(234, 494, 75, 25)},
        {"Button4", "ClientArea", QRect(234, 493, 75, 25)},
        {"Button2", "ClientArea", QRect(457, 500, 73, 19)},
    };
    return bounds;
}

// The room a check box's indicator and caption take in its own font and style.
int checkBoxExtent(const QCheckBox* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    const QRect contents = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    return std::max(box->sizeHint().width(),
                    contents.left() + box->fontMetrics().horizontalAdvance(box->text()));
}

// The left edge of a group box's drawn frame, in its parent's coordinates.
int frameLeft(const QGroupBox* group) {
    QStyleOptionGroupBox option;
    option.initFrom(group);
    option.text = group->title();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    option.lineWidth = 1;
    const QRect frame = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                       QStyle::SC_GroupBoxFrame, group);
    return group->x() + frame.left();
}

bool isBlue(const QColor& colour) {
    return colour.hsvHue() >= 200 && colour.hsvHue() <= 250 && colour.hsvSaturation() > 100;
}

}  // namespace

class TestMainWindowLayout : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        fixture_ = std::make_unique<MainWindowFixture>();
        QVERIFY(fixture_->isValid());
    }
    void cleanup() { fixture_.reset(); }

    void initialState();
    void clientAreaSitsBetweenMenuAndStatusBar();
    void controlsFitTheirParentsWithoutOverlap();
    void controlsHaveTheirDesignedBounds_data();
    void controlsHaveTheirDesignedBounds();
    void everyControlHasDesignedBounds();
    void rawCheckBoxStaysClearOfThePresetsFrame_data();
    void rawCheckBoxStaysClearOfThePresetsFrame();
    void fontsAndColours();
    void statusBarShowsTheHintUnderThePointer();
    void menuTreeAsTheTranslationAddressesIt_data();
    void menuTreeAsTheTranslationAddressesIt();
    void modelessWindowsOpenAndComeForward_data();
    void modelessWindowsOpenAndComeForward();
    void languagesItemInvitesTheUser();
    void modalWindowsBlockUntilClosed();
    void closingTheWindowEndsTheProgram_data();
    void closingTheWindowEndsTheProgram();
    void conversionsReadTheLiveRawSwitch();
    void screenshotWithListedFiles();

  private:
    std::unique_ptr<MainWindowFixture> fixture_;
};

void TestMainWindowLayout::initialState() {
    QCOMPARE(Form1->windowTitle(), QStringLiteral("Kavenra"));
    QVERIFY(Form1->Panel1->isVisible());
    QVERIFY(Form1->Panel2->isHidden());
    QCOMPARE(Form1->Edit1->text(), QString());
    QCOMPARE(Form1->Edit2->text(), QString());
    QCOMPARE(Form1->Edit4->text(), QString());
    QVERIFY(Form1->RadioButton11->isChecked());
    for (auto* preset : Form1->GroupBox2->findChildren<QRadioButton*>())
        QVERIFY2(!preset->isChecked(), qPrintable(preset->objectName()));
    QVERIFY(Form1->GroupBox2->isEnabled());
    QVERIFY(!Form1->CheckBox1->isChecked());
    QVERIFY(!Form1->CheckBox2->isChecked());
    QVERIFY(!Form1->CheckBox2->isEnabled());
    QCOMPARE(Form1->DrivingEdit, 0);
    QCOMPARE(Form1->Label10->text(), QStringLiteral("0"));
    QCOMPARE(Form1->Edit3->text(), QString());
    QCOMPARE(Form1->ListBox1->count(), 0);
    QVERIFY(Form1->Button3->isVisible());
    QCOMPARE(Form1->Button3->text(), QStringLiteral("Comenzar"));
    QVERIFY(Form1->Button4->isHidden());
    QVERIFY(Form1->ProgressBar1->isHidden());
    QVERIFY(Form1->ProgressBar2->isHidden());
    QCOMPARE(Form1->StatusBar->currentMessage(), QString());
    for (QTimer* timer : {Form1->Timer1, Form1->Timer2}) {
        QVERIFY(!timer->isActive());
        QCOMPARE(timer->interval(), 1);
    }
    QCOMPARE(Form1->ListBox1->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(Form1->SpeedButton2->focusPolicy(), Qt::NoFocus);
}

void TestMainWindowLayout::clientAreaSitsBetweenMenuAndStatusBar() {
    const QRect client = Form1->ClientArea->geometry();
    QCOMPARE(client.size(), QSize(554, 544));
    QVERIFY(Form1->MainMenu1->isVisible());
    QVERIFY(Form1->MainMenu1->geometry().bottom() < client.top());
    QVERIFY(Form1->StatusBar->isVisible());
    QVERIFY(Form1->StatusBar->geometry().top() > client.bottom());
    QCOMPARE(Form1->width(), 554);
    QCOMPARE(Form1->StatusBar->size(), QSize(554, 19));
    // Fixed size, no maximise box.
    QCOMPARE(Form1->minimumSize(), Form1->size());
    QCOMPARE(Form1->maximumSize(), Form1->size());
    QVERIFY(!(Form1->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(Form1->windowFlags() & Qt::WindowMinimizeButtonHint);
}

// Bounds are fixed pixels: a control outside its parent or on top of a neighbour is cut off or
// hides another, which no other test would notice.
void TestMainWindowLayout::controlsFitTheirParentsWithoutOverlap() {
    for (QWidget* control : layoutControls()) {
        QVERIFY2(control->parentWidget()->rect().contains(control->geometry()),
                 qPrintable(control->objectName()));
        for (QWidget* sibling : control->parentWidget()->findChildren<QWidget*>(
                 QString(), Qt::FindDirectChildrenOnly)) {
            if (sibling == control || sibling->objectName().isEmpty() ||
                sharesPlaceOnPurpose(control, sibling))
                continue;
            QVERIFY2(!control->geometry().intersects(sibling->geometry()),
                     qPrintable(control->objectName() + " / " + sibling->objectName()));
        }
    }
}

void TestMainWindowLayout::controlsHaveTheirDesignedBounds_data() {
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("bounds");
    for (const DesignedBounds& control : designedBounds()) {
        QTest::newRow(control.name) << QString::fromLatin1(control.parent) << control.bounds;
    }
}

// A control moved or resized by accident fails here, also where it still fits its parent.
void TestMainWindowLayout::controlsHaveTheirDesignedBounds() {
    QFETCH(QString, parent);
    QFETCH(QRect, bounds);
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    auto* control = Form1->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), parent);
    if (bounds.size().isEmpty()) {
        QCOMPARE(control->pos(), bounds.topLeft());
    } else {
        QCOMPARE(control->geometry(), bounds);
    }
}

// A control added without a designed place would escape the table above.
void TestMainWindowLayout::everyControlHasDesignedBounds() {
    QStringList designed;
    for (const DesignedBounds& control : designedBounds()) designed << control.name;
    QStringList present;
    for (const QWidget* control : layoutControls()) present << control->objectName();
    designed.sort();
    present.sort();
    QCOMPARE(present, designed);
}

void TestMainWindowLayout::rawCheckBoxStaysClearOfThePresetsFrame_data() {
    QTest::addColumn<QString>("caption");
    QTest::newRow("form description") << QString::fromUtf8("Mantener dimensiones en ficheros RAW");
    const QString settings = QDir(ShippedDataFolder()).filePath(QStringLiteral("KVConfig.db"));
    QStringList languages;
    QString error;
    QVERIFY2(QueryColumn(settings, QStringLiteral("SELECT ruta FROM idiomas ORDER BY id"),
                         &languages, &error),
             qPrintable(error));
    QVERIFY(!languages.isEmpty());
    for (const QString& language : languages) {
        QStringList captions;
        QVERIFY2(QueryColumn(QDir(ShippedDataFolder()).filePath(language),
                             QStringLiteral("SELECT caption FROM traduccion "
                                            "WHERE form = '1' AND object = 'CheckBox2'"),
                             &captions, &error),
                 qPrintable(error));
        QCOMPARE(captions.size(), 1);
        QTest::newRow(qPrintable(language)) << captions.first();
    }
}

// The check box stands beside the preset group, below the group's top: its indicator and caption
// must fit inside its bounds and end before the group's frame, in every shipped language.
void TestMainWindowLayout::rawCheckBoxStaysClearOfThePresetsFrame() {
    QFETCH(QString, caption);
    QCheckBox* box = Form1->CheckBox2;
    box->setText(caption);
    const QRect bounds = box->geometry();

    const int extent = checkBoxExtent(box);
    QVERIFY2(extent <= bounds.width(),
             qPrintable(QStringLiteral("needs %1 px, has %2").arg(extent).arg(bounds.width())));
    const int frame = frameLeft(Form1->GroupBox2);
    QVERIFY2(bounds.left() + extent < frame,
             qPrintable(
                 QStringLiteral("ends at %1, frame at %2").arg(bounds.left() + extent).arg(frame)));
    QVERIFY(bounds.right() < frame);
}

void TestMainWindowLayout::fontsAndColours() {
    QVERIFY(Form1->Label10->font().bold());
    QVERIFY(!Form1->Label9->font().bold());
    QCOMPARE(Form1->Label9->font().pixelSize(), 11);
    QCOMPARE(Form1->RadioButton1->font().pixelSize(), 11);  // inside two group boxes
    for (QLineEdit* edit : {Form1->Edit1, Form1->Edit2, Form1->Edit4}) {
        QVERIFY2(isBlue(edit->palette().color(QPalette::Text)), qPrintable(edit->objectName()));
    }
    QVERIFY(!isBlue(Form1->Edit3->palette().color(QPalette::Text)));
}

// A hint takes the status bar when the pointer comes onto its control; leaving it for a control
// without a hint empties the bar; moving between controls without hints leaves a message alone.
void TestMainWindowLayout::statusBarShowsTheHintUnderThePointer() {
    pointAt(Form1->Label8);
    Form1->StatusBar->showMessage(QStringLiteral("mensaje"));
    pointAt(Form1->Button3);
    QCOMPARE(Form1->StatusBar->currentMessage(), QStringLiteral("mensaje"));

    pointAt(Form1->Button2);
    QCOMPARE(Form1->StatusBar->currentMessage(), QString::fromUtf8("Limpiar la lista de imágenes"));
    QCOMPARE(Form1->Button2->toolTip(), Form1->StatusBar->currentMessage());

    pointAt(Form1->CheckBox2);  // disabled, still hinted
    QCOMPARE(Form1->StatusBar->currentMessage(),
             QString::fromUtf8("Todos los ficheros añadidos deben ser RAW"));

    pointAt(Form1->Label8);
    QCOMPARE(Form1->StatusBar->currentMessage(), QString());

    pointAt(Form1->ListBox1->viewport());
    QCOMPARE(Form1->StatusBar->currentMessage(),
             QString::fromUtf8("Botón derecho para quitar imágenes de la lista"));
    pointAt(Form1->SpeedButton2);
    QCOMPARE(Form1->StatusBar->currentMessage(),
             QStringLiteral("Selecciona una carpeta de destino"));
}

void TestMainWindowLayout::menuTreeAsTheTranslationAddressesIt_data() {
    QTest::addColumn<int>("menu");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    // Every item has an access key of its own within its menu: a word's first letter while one
    // is free.
    QTest::newRow("Archivo") << 0 << -1 << "Archivo1"
                             << "&Archivo";
    QTest::newRow("Añadir imágenes")
        << 0 << 0 << "Anadirimagenes1" << QString::fromUtf8("&Añadir imágenes…");
    QTest::newRow("Añadir carpeta")
        << 0 << 1 << "Anadircarpeta1" << QString::fromUtf8("Añadir &carpeta…");
    QTest::newRow("N3") << 0 << 2 << "N3"
                        << "";
    QTest::newRow("Salir") << 0 << 3 << "Salir1"
                           << "&Salir";
    QTest::newRow("Opciones") << 1 << -1 << "Opciones1"
                              << "&Opciones";
    QTest::newRow("calidad") << 1 << 0 << "Opcionesdecalidadyredimensionado1"
                             << "&Opciones de calidad y redimensionado";
    QTest::newRow("N2") << 1 << 1 << "N2"
                        << "";
    QTest::newRow("Lenguajes") << 1 << 2 << "Lenguajes1"
                               << "&Lenguajes";
    QTest::newRow("Acerca de") << 2 << -1 << "Acercade1"
                               << "Acerca &de ...";
    QTest::newRow("Changelog") << 2 << 0 << "Changelog1"
                               << "&Changelog";
    QTest::newRow("N1") << 2 << 1 << "N1"
                        << "";
    QTest::newRow("Acerca de item") << 2 << 2 << "Acercade2"
                                    << "&Acerca de ...";
}

void TestMainWindowLayout::menuTreeAsTheTranslationAddressesIt() {
    QFETCH(int, menu);
    QFETCH(int, item);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QCOMPARE(Form1->MainMenu1->actions().size(), 3);
    QAction* top = Form1->MainMenu1->actions().at(menu);
    QAction* action = item < 0 ? top : top->menu()->actions().at(item);
    if (item < 0) {
        QCOMPARE(top->menu()->objectName(), name);
    } else {
        QCOMPARE(action->objectName(), name);
        QCOMPARE(action->isSeparator(), text.isEmpty());
    }
    QCOMPARE(action->text(), text);
    // Of the window's pictures only the list's popup item shows one.
    QVERIFY(action->icon().isNull());
}

void TestMainWindowLayout::modelessWindowsOpenAndComeForward_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("window");
    QTest::newRow("options") << "Opcionesdecalidadyredimensionado1"
                             << "Form3";
    QTest::newRow("languages") << "Lenguajes1"
                               << "Form4";
    QTest::newRow("changelog") << "Changelog1"
                               << "Form2";
}

void TestMainWindowLayout::modelessWindowsOpenAndComeForward() {
    QFETCH(QString, item);
    QFETCH(QString, window);
    ModalAnswerer answers;  // a window may report a missing side file
    auto* action = Form1->findChild<QAction*>(item);
    QVERIFY(action);
    QWidget* shown = window == QLatin1String("Form3")   ? static_cast<QWidget*>(Form3)
                     : window == QLatin1String("Form4") ? static_cast<QWidget*>(Form4)
                                                        : static_cast<QWidget*>(Form2);

    action->trigger();

    QVERIFY(shown->isVisible());
    QVERIFY(!shown->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QVERIFY(Form1->isEnabled());

    Form1->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), Form1);
    action->trigger();
    QTRY_COMPARE(QApplication::activeWindow(), shown);
    shown->hide();
}

void TestMainWindowLayout::languagesItemInvitesTheUser() {
    ModalAnswerer answers;
    Form1->Lenguajes1->trigger();
    QCOMPARE(Form4->Label1->text(), MainWindowFixture::Text(4, "Label1_menu"));
    Form4->hide();
}

void TestMainWindowLayout::modalWindowsBlockUntilClosed() {
    ModalAnswerer answers;
    Form1->Edit3->setText(QStringLiteral("/fotos/RES/"));

    Form1->Acercade2->trigger();
    QTest::mouseClick(Form1->SpeedButton2, Qt::LeftButton);

    QCOMPARE(answers.dialogs().size(), 2);
    QCOMPARE(answers.dialogs()[0].className, QStringLiteral("TForm7"));
    QCOMPARE(answers.dialogs()[1].className, QStringLiteral("TForm5"));
    QVERIFY(!Form7->isVisible());
    QVERIFY(!Form5->isVisible());
    // The folder chooser closed without accepting leaves the destination alone.
    QCOMPARE(Form1->Edit3->text(), QStringLiteral("/fotos/RES/"));
}

void TestMainWindowLayout::closingTheWindowEndsTheProgram_data() {
    QTest::addColumn<bool>("byMenu");
    QTest::newRow("Salir") << true;
    QTest::newRow("close box") << false;
}

// Other windows still open must not keep the program alive, as Qt's last-window rule would.
void TestMainWindowLayout::closingTheWindowEndsTheProgram() {
    QFETCH(bool, byMenu);
    ModalAnswerer answers;
    Form1->Opcionesdecalidadyredimensionado1->trigger();
    QVERIFY(Form3->isVisible());
    QTimer safety;
    safety.setSingleShot(true);
    connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    safety.start(10000);

    QTimer::singleShot(0, Form1, [byMenu] {
        if (byMenu) {
            Form1->Salir1->trigger();
        } else {
            Form1->close();
        }
    });
    const int status = QCoreApplication::exec();

    QCOMPARE(status, 0);
    QVERIFY(!Form1->isVisible());
}

void TestMainWindowLayout::conversionsReadTheLiveRawSwitch() {
    QVERIFY(!Form1->ReadRunControls().options.keepDimensions);
    Form1->CheckBox2->setEnabled(true);
    QTest::mouseClick(Form1->CheckBox2, Qt::LeftButton, Qt::NoModifier,
                      Form1->CheckBox2->rect().center());
    QVERIFY(Form1->ReadRunControls().options.keepDimensions);
    Form1->CheckBox2->setChecked(false);
    QVERIFY(!Form1->ReadRunControls().options.keepDimensions);
}

// Renders the window with a few dropped files; set KAVENRA_SCREENSHOT_DIR to keep the picture.
void TestMainWindowLayout::screenshotWithListedFiles() {
    const QString folder = qEnvironmentVariable("KAVENRA_SCREENSHOT_DIR");
    if (folder.isEmpty()) QSKIP("KAVENRA_SCREENSHOT_DIR not set");
    fixture_.reset();
    fixture_ = std::make_unique<MainWindowFixture>(MainWindowFixture::Texts::Shipped);
    QVERIFY(fixture_->isValid());
    QStringList photos;
    for (const char* name : {"IMG_2041.jpg", "IMG_2042.jpg", "playa.png", "atardecer.jpg"}) {
        photos << (QString::fromLatin1(name).endsWith(".png") ? fixture_->writePng(name, 64, 48)
                                                              : fixture_->writeJpeg(name, 64, 48));
    }
    QVERIFY(DropFiles(Form1->ListBox1, photos).dropped);
    QVERIFY(MainWindowFixture::WaitForCountingPass());
    QTest::mouseClick(Form1->RadioButton2, Qt::LeftButton, Qt::NoModifier,
                      Form1->RadioButton2->rect().center());
    Form1->ListBox1->item(1)->setSelected(true);

    QVERIFY(QDir().mkpath(folder));
    QVERIFY(Form1->grab().save(QDir(folder).filePath(QStringLiteral("mainwindow.png"))));
    for (QMenu* menu : {Form1->Opciones1, Form1->Acercade1, Form1->PopupMenu1}) {
        menu->popup(Form1->mapToGlobal(QPoint(40, 40)));
        QTRY_VERIFY(menu->isVisible());
        const QString name = QStringLiteral("mainwindow_%1.png").arg(menu->objectName());
        QVERIFY(menu->grab().save(QDir(folder).filePath(name)));
        menu->hide();
    }

    // Between two files of a run: Cancel in Start's place, the file's name, the progress.
    ModalAnswerer answers;
    QTest::mouseClick(Form1->Button3, Qt::LeftButton);
    Form1->Timer1->stop();
    QVERIFY(kavenra::testing::RunOneTick());
    QVERIFY(Form1->Button4->isVisible());
    QVERIFY(Form1->grab().save(QDir(folder).filePath(QStringLiteral("mainwindow_running.png"))));
    QTest::mouseClick(Form1->Button4, Qt::LeftButton);
}

KAVENRA_WINDOW_TEST_MAIN(TestMainWindowLayout)
#include "test_mainwindow_layout.moc"
