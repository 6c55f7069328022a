// The main window as a whole: its state at start, the fixed client area between menu bar and
// status bar, controls that fit their parents, the hints on the status bar, the menus and the
// windows they open, and the end of the program when the window closes.

#include "engine/ConversionSettings.h"
#include "support/DropFiles.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswerer.h"
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
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

using kavenra::testing::DropFiles;
using kavenra::testing::MainWindowFixture;
using kavenra::testing::ModalAnswerer;

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
    QTest::newRow("Archivo") << 0 << -1 << "Archivo1"
                             << "Archivo";
    QTest::newRow("Salir") << 0 << 0 << "Salir1"
                           << "Salir";
    QTest::newRow("Opciones") << 1 << -1 << "Opciones1"
                              << "Opciones";
    QTest::newRow("calidad") << 1 << 0 << "Opcionesdecalidadyredimensionado1"
                             << "Opciones de calidad y redimensionado";
    QTest::newRow("N2") << 1 << 1 << "N2"
                        << "";
    QTest::newRow("Lenguajes") << 1 << 2 << "Lenguajes1"
                               << "Lenguajes";
    QTest::newRow("Acerca de") << 2 << -1 << "Acercade1"
                               << "Acerca de ...";
    QTest::newRow("Changelog") << 2 << 0 << "Changelog1"
                               << "Changelog";
    QTest::newRow("N1") << 2 << 1 << "N1"
                        << "";
    QTest::newRow("Acerca de item") << 2 << 2 << "Acercade2"
                                    << "Acerca de ...";
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
        if (!action->isSeparator()) QVERIFY(!action->icon().isNull());
    }
    QCOMPARE(action->text(), text);
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
    QCOMPARE(Form4->Label1->text(), QStringLiteral("Please, select your language"));
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
    const kavenra::ConversionSettingsSource& settings = kavenra::CurrentConversionSettings();
    QVERIFY(!settings.keepDimensions());
    Form1->CheckBox2->setEnabled(true);
    QTest::mouseClick(Form1->CheckBox2, Qt::LeftButton, Qt::NoModifier,
                      Form1->CheckBox2->rect().center());
    QVERIFY(settings.keepDimensions());
    Form1->CheckBox2->setChecked(false);
    QVERIFY(!settings.keepDimensions());
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
    Form1->Timer1Timer();
    QVERIFY(Form1->Button4->isVisible());
    QVERIFY(Form1->grab().save(QDir(folder).filePath(QStringLiteral("mainwindow_running.png"))));
    QTest::mouseClick(Form1->Button4, Qt::LeftButton);
}

KAVENRA_WINDOW_TEST_MAIN(TestMainWindowLayout)
#include "test_mainwindow_layout.moc"
