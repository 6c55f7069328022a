#include "ui/Unit1.h"

#include "engine/formats/Codec.h"
#include "engine/output/ReplacingSaveLeftovers.h"
#include "engine/run/BatchRun.h"
#include "engine/run/ImageFileOperations.h"
#include "engine/run/InputFiles.h"
#include "engine/run/ResizeRun.h"
#include "engine/run/TimeLeft.h"
#include "store/CaptionKeys.h"
#include "store/TranslationLookup.h"
#include "ui/AccessKeys.h"
#include "ui/AppServices.h"
#include "ui/DesktopOpener.h"
#include "ui/DialogControls.h"
#include "ui/EventRules.h"
#include "ui/Form2_changelog.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Form4_seleccionlenguaje.h"
#include "ui/Form5_seleccioncarpeta.h"
#include "ui/Form6_msgbox.h"
#include "ui/Form7_acercade.h"
#include "ui/ListEntries.h"
#include "ui/MainWindowImages.h"
#include "ui/Startup.h"

#include <unistd.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <vector>

TForm1* Form1 = nullptr;

namespace {

constexpr int clientWidth = 554;
constexpr int clientHeight = 544;
constexpr int listEntryHeight = 13;

using kavenra::kFolderChooserForm;
using kavenra::kMainWindowForm;
using kavenra::dialogs::MakeLabel;
using kavenra::dialogs::Place;
using kavenra::dialogs::SetShownHint;

QFrame* makePanel(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* panel = Place(new QFrame(parent), name, left, top, width, height);
    panel->setFrameShape(QFrame::NoFrame);
    return panel;
}

QRadioButton* makeRadio(QWidget* parent, const char* name, const QString& text, int left, int top,
                        int width) {
    return Place(new QRadioButton(text, parent), name, left, top, width, 17);
}

// The entry height of the list, whatever the style would choose.
class FixedHeightEntries final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(listEntryHeight);
        return size;
    }
};

// The popup acts on the selection as it stands. By itself the list would select the entry under a
// right button press, and make it current, before the popup opens, so "Quitar imágen/es" would
// remove that entry instead of the chosen ones. The context menu request comes from the window
// system apart from the press and is not affected.
class RightButtonLeavesSelection final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
                return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
            default:
                return QObject::eventFilter(watched, event);
        }
    }
};

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

void bringForward(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

// The folder as the start of the paths inside it, whether or not it came with a final "/".
QString folderPrefix(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Kavenra"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    createControls();
    createMenus();
    applyWindowFont();
    createTimers();
    arrangeTabOrder();
    makeWholeWindowTheDropTarget();
    connectHandlers();
    // Menu bar and status bar sit outside the client area; the window takes exactly their size.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    run_ = std::make_unique<kavenra::RunDriver>([this] {
        QMetaObject::invokeMethod(
            this, [this] { takeConversionResult(); }, Qt::QueuedConnection);
    });
    RunGuarded([this] { FormCreate(); });
}

TForm1::~TForm1() {
    run_.reset();
}

kavenra::RunControls TForm1::ReadRunControls() const {
    kavenra::RunControls controls;
    // The list is read again only when it changed since: a run reads it at every file, and a
    // long list takes longer to read than a small picture to convert.
    if (listEntriesStale_) {
        listEntries_.clear();
        listSubfolders_.clear();
        listEntries_.reserve(ListBox1->count());
        for (int row = 0; row < ListBox1->count(); ++row) {
            const QListWidgetItem& item = *ListBox1->item(row);
            listEntries_ << kavenra::EntryPath(item);
            const QByteArray subfolder = kavenra::EntrySubfolder(item);
            if (!subfolder.isEmpty()) listSubfolders_.insert(listEntries_.last(), subfolder);
        }
        listEntriesStale_ = false;
    }
    controls.entries = listEntries_;
    controls.outputSubfolders = listSubfolders_;
    controls.longestSide = CheckBox1->isChecked();
    // The fields as numbers at this moment: one edited into no number fails its file.
    controls.width = kavenra::ParseInt32(Edit1->text());
    controls.height = kavenra::ParseInt32(Edit2->text());
    controls.longest = kavenra::ParseInt32(Edit4->text());
    controls.destinationFolder = kavenra::DestinationFolderOf(Edit3->text());
    if (Form3) {
        const kavenra::RunChoices choices = Form3->CurrentChoices();
        controls.options = choices.conversion;
        controls.keepDates = choices.keepDates;
    }
    controls.options.keepDimensions = CheckBox2->isChecked();
    return controls;
}

void TForm1::createControls() {
    ClientArea = new QWidget(this);
    ClientArea->setObjectName(QStringLiteral("ClientArea"));
    ClientArea->setFixedSize(clientWidth, clientHeight);
    setCentralWidget(ClientArea);

    Label8 =
        MakeLabel(ClientArea, "Label8",
                  text("Arrastra las imágenes que quieras hasta este formulario"), 20, 233, 510);
    GroupBox1 = Place(new QGroupBox(QStringLiteral(" Dimensiones "), ClientArea), "GroupBox1", 8, 5,
                      522, 168);
    createDimensionControls();
    createPresetControls();
    createModeControls();
    createDestinationRow();
    createListAndButtons();

    StatusBar = statusBar();
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    StatusBar->setFixedHeight(19);
}

void TForm1::applyWindowFont() {
    kavenra::dialogs::ApplyLayoutFont(this);
    QFont bold = Label10->font();
    bold.setBold(true);
    Label10->setFont(bold);
}

void TForm1::createDimensionControls() {
    // Six pixels left of the layout's place, in line with CheckBox2 below it, and as much wider
    // than the layout's 169 pixels: its right edge stays where the layout has it.
    CheckBox1 = Place(new QCheckBox(text("Mantener Relación de Aspecto"), GroupBox1), "CheckBox1",
                      34, 94, 175, 17);

    Panel1 = makePanel(GroupBox1, "Panel1", 24, 16, 225, 72);
    Label1 = MakeLabel(Panel1, "Label1", QStringLiteral("Ancho"), 14, 16, 54);
    Label2 = MakeLabel(Panel1, "Label2", QStringLiteral("Alto"), 14, 47, 54);
    Label7 = MakeLabel(Panel1, "Label7", QStringLiteral("px"), 149, 29, 16);
    Edit1 = Place(new QLineEdit(Panel1), "Edit1", 70, 13, 73, 21);
    Edit2 = Place(new QLineEdit(Panel1), "Edit2", 70, 40, 73, 21);
    RadioButton5 = makeRadio(Panel1, "RadioButton5", QStringLiteral("4:3"), 166, 8, 58);
    RadioButton6 = makeRadio(Panel1, "RadioButton6", QStringLiteral("16:9"), 166, 27, 58);
    RadioButton11 = makeRadio(Panel1, "RadioButton11", QStringLiteral("Manual"), 167, 46, 57);
    RadioButton11->setChecked(true);

    Panel2 = makePanel(GroupBox1, "Panel2", 38, 23, 211, 65);
    Label6 = MakeLabel(Panel2, "Label6", text("Lado más grande"), 4, 29, 86);
    Edit4 = Place(new QLineEdit(Panel2), "Edit4", 92, 25, 75, 21);
    SetShownHint(Edit4,
                 text("El ancho y el alto de la imágen se ajustará proporcionalmente teniendo "
                      "en cuenta este valor"));
    Panel2->hide();

    QPalette fieldPalette = Edit1->palette();
    fieldPalette.setColor(QPalette::Text, kavenra::dialogs::ReadableBlue(fieldPalette));
    for (QLineEdit* edit : {Edit1, Edit2, Edit4}) edit->setPalette(fieldPalette);
}

void TForm1::createPresetControls() {
    GroupBox2 = Place(new QGroupBox(QStringLiteral(" Por defecto "), GroupBox1), "GroupBox2", 255,
                      15, 250, 108);
    Label4 = MakeLabel(GroupBox2, "Label4", QStringLiteral("4:3"), 18, 48, 22);
    Label5 = MakeLabel(GroupBox2, "Label5", QStringLiteral("16:9"), 140, 48, 28);
    RadioButton1 = makeRadio(GroupBox2, "RadioButton1", QStringLiteral("320 x 240"), 40, 22, 81);
    RadioButton2 = makeRadio(GroupBox2, "RadioButton2", QStringLiteral("640 x 480"), 40, 41, 81);
    RadioButton3 = makeRadio(GroupBox2, "RadioButton3", QStringLiteral("800 x 600"), 40, 59, 81);
    RadioButton4 = makeRadio(GroupBox2, "RadioButton4", QStringLiteral("1024 x 768"), 40, 78, 81);
    // As wide as RadioButton10: the layout's 65 pixels cut these captions short in a font wider
    // than Tahoma.
    RadioButton7 = makeRadio(GroupBox2, "RadioButton7", QStringLiteral("320 x 180"), 168, 22, 79);
    RadioButton8 = makeRadio(GroupBox2, "RadioButton8", QStringLiteral("640 x 360"), 168, 40, 79);
    RadioButton9 = makeRadio(GroupBox2, "RadioButton9", QStringLiteral("800 x 450"), 168, 59, 79);
    RadioButton10 =
        makeRadio(GroupBox2, "RadioButton10", QStringLiteral("1024 x 576"), 168, 78, 79);
}

void TForm1::createModeControls() {
    // Without Tahoma the indicator and the caption take 218 pixels, more than the layout's 209 and
    // more than the room between the layout's left edge and the preset group, whose frame the
    // caption ran into. So the box starts six pixels further left and ends three short of it.
    CheckBox2 = Place(new QCheckBox(text("Mantener dimensiones en ficheros RAW"), GroupBox1),
                      "CheckBox2", 34, 113, 218, 17);
    SetShownHint(CheckBox2, text("Todos los ficheros añadidos deben ser RAW"));
    CheckBox2->setEnabled(false);

    ProgressBar1 = Place(new QProgressBar(GroupBox1), "ProgressBar1", 12, 144, 490, 9);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 0);
    ProgressBar1->setValue(0);
    ProgressBar1->hide();
    ProgressBar2 = Place(new QProgressBar(GroupBox1), "ProgressBar2", 12, 136, 490, 17);
    ProgressBar2->setTextVisible(false);
    ProgressBar2->setRange(0, 0);
    ProgressBar2->setValue(0);
    ProgressBar2->hide();
}

void TForm1::createDestinationRow() {
    Panel3 = makePanel(ClientArea, "Panel3", 17, 179, 519, 52);
    Label3 = MakeLabel(Panel3, "Label3", QStringLiteral("Carpeta de destino"), 13, 4, 258);
    Label9 = MakeLabel(Panel3, "Label9", text("Imágenes a redimensionar"), 273, 4, 138);
    Label10 = MakeLabel(Panel3, "Label10", QStringLiteral("0"), 413, 4, 48);
    Edit3 = Place(new QLineEdit(Panel3), "Edit3", 8, 23, 449, 21);
    SpeedButton2 = Place(new QToolButton(Panel3), "SpeedButton2", 463, 3, 40, 39);
    SpeedButton2->setFocusPolicy(Qt::NoFocus);
    SpeedButton2->setAutoRaise(true);
    SpeedButton2->setIcon(kavenra::mainwindow::FolderPicture());
    SpeedButton2->setIconSize(QSize(24, 24));
    SetShownHint(SpeedButton2, QStringLiteral("Selecciona una carpeta de destino"));
}

void TForm1::createListAndButtons() {
    ListBox1 = Place(new QListWidget(ClientArea), "ListBox1", 17, 254, 513, 233);
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setItemDelegate(new FixedHeightEntries(ListBox1));
    ListBox1->setUniformItemSizes(true);
    ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListBox1->viewport()->installEventFilter(new RightButtonLeavesSelection(ListBox1));
    SetShownHint(ListBox1, text("Botón derecho para quitar imágenes de la lista"));

    Button3 =
        Place(new QPushButton(QStringLiteral("Comenzar"), ClientArea), "Button3", 234, 494, 75, 25);
    Button4 =
        Place(new QPushButton(QStringLiteral("Cancelar"), ClientArea), "Button4", 234, 493, 75, 25);
    Button4->hide();
    Button2 =
        Place(new QPushButton(QStringLiteral("Limpiar"), ClientArea), "Button2", 457, 500, 73, 19);
    SetShownHint(Button2, text("Limpiar la lista de imágenes"));
}

void TForm1::createMenus() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));

    Archivo1 = MainMenu1->addMenu(QStringLiteral("Archivo"));
    Archivo1->setObjectName(QStringLiteral("Archivo1"));
    Anadirimagenes1 = Archivo1->addAction(QString::fromUtf8("Añadir imágenes…"));
    Anadirimagenes1->setObjectName(QStringLiteral("Anadirimagenes1"));
    Anadirimagenes1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    Anadircarpeta1 = Archivo1->addAction(QString::fromUtf8("Añadir carpeta…"));
    Anadircarpeta1->setObjectName(QStringLiteral("Anadircarpeta1"));
    Anadircarpeta1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    N3 = Archivo1->addSeparator();
    N3->setObjectName(QStringLiteral("N3"));
    Salir1 = Archivo1->addAction(QStringLiteral("Salir"));
    Salir1->setObjectName(QStringLiteral("Salir1"));

    Opciones1 = MainMenu1->addMenu(QStringLiteral("Opciones"));
    Opciones1->setObjectName(QStringLiteral("Opciones1"));
    Opcionesdecalidadyredimensionado1 =
        Opciones1->addAction(QStringLiteral("Opciones de calidad y redimensionado"));
    Opcionesdecalidadyredimensionado1->setObjectName(
        QStringLiteral("Opcionesdecalidadyredimensionado1"));
    N2 = Opciones1->addSeparator();
    N2->setObjectName(QStringLiteral("N2"));
    Lenguajes1 = Opciones1->addAction(QStringLiteral("Lenguajes"));
    Lenguajes1->setObjectName(QStringLiteral("Lenguajes1"));

    Acercade1 = MainMenu1->addMenu(QStringLiteral("Acerca de ..."));
    Acercade1->setObjectName(QStringLiteral("Acercade1"));
    Changelog1 = Acercade1->addAction(QStringLiteral("Changelog"));
    Changelog1->setObjectName(QStringLiteral("Changelog1"));
    N1 = Acercade1->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    Acercade2 = Acercade1->addAction(QStringLiteral("Acerca de ..."));
    Acercade2->setObjectName(QStringLiteral("Acercade2"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Eliminarimgen1 = PopupMenu1->addAction(kavenra::mainwindow::RemoveEntriesPicture(),
                                           text("Quitar imágen/es"));
    Eliminarimgen1->setObjectName(QStringLiteral("Eliminarimgen1"));
    // The Delete key removes the selection too, while the list has the focus.
    Eliminarimgen1->setShortcut(QKeySequence::Delete);
    Eliminarimgen1->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    ListBox1->addAction(Eliminarimgen1);
    kavenra::AssignAccessKeys(MainMenu1);
    kavenra::AssignAccessKeys(PopupMenu1);
}

void TForm1::createTimers() {
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1);
}

void TForm1::arrangeTabOrder() {
    QWidget* const order[] = {
        Edit1,        Edit2,         RadioButton5, RadioButton6, RadioButton11, CheckBox1,
        RadioButton1, RadioButton2,  RadioButton3, RadioButton4, RadioButton7,  RadioButton8,
        RadioButton9, RadioButton10, Edit4,        CheckBox2,    ListBox1,      Button3,
        Button2,      Button4,       Edit3};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
}

// Fields and the list would take a dropped file's URL as text or as an item of their own; every
// drop belongs to the window, whatever control is under the pointer.
void TForm1::makeWholeWindowTheDropTarget() {
    for (QWidget* child : findChildren<QWidget*>()) child->setAcceptDrops(false);
    setAcceptDrops(true);
}

void TForm1::connectHandlers() {
    connectDimensionHandlers();
    OnClick(Button3, [this] { Button3Click(); });
    OnClick(Button4, [this] { Button4Click(); });
    OnTimer(Timer1, [this] { Timer1Timer(); });
    OnTimer(Timer2, [this] { Timer2Timer(); });
    OnClick(Button2, [this] { Button2Click(); });
    OnMenuClick(Eliminarimgen1, [this] { Eliminarimgen1Click(); });
    connect(ListBox1, &QWidget::customContextMenuRequested, this,
            Guarded([this](const QPoint& position) { showListContextMenu(position); }));
    watchListChanges();

    OnMenuClick(Anadirimagenes1, [this] { Anadirimagenes1Click(); });
    OnMenuClick(Anadircarpeta1, [this] { Anadircarpeta1Click(); });
    OnMenuClick(Salir1, [this] { Salir1Click(); });
    OnMenuClick(Opcionesdecalidadyredimensionado1,
                [this] { Opcionesdecalidadyredimensionado1Click(); });
    OnMenuClick(Lenguajes1, [this] { Lenguajes1Click(); });
    OnMenuClick(Changelog1, [this] { Changelog1Click(); });
    OnMenuClick(Acercade2, [this] { Acercade2Click(); });
    OnClick(SpeedButton2, [this] { SpeedButton2Click(); });
}

void TForm1::watchListChanges() {
    const QAbstractItemModel* model = ListBox1->model();
    const auto stale = [this] { listEntriesStale_ = true; };
    connect(model, &QAbstractItemModel::rowsInserted, this, stale);
    connect(model, &QAbstractItemModel::rowsRemoved, this, stale);
    connect(model, &QAbstractItemModel::rowsMoved, this, stale);
    connect(model, &QAbstractItemModel::dataChanged, this, stale);
    connect(model, &QAbstractItemModel::modelReset, this, stale);
    connect(model, &QAbstractItemModel::layoutChanged, this, stale);
}

void TForm1::connectDimensionHandlers() {
    OnMousePress(Edit1, [this] { Edit1Click(); });
    OnKeyPress(Edit1, [this](QKeyEvent*) { Edit1KeyPress(); });
    OnEditChange(Edit1, [this] { Edit1Change(); });
    OnMousePress(Edit2, [this] { Edit2Click(); });
    OnKeyPress(Edit2, [this](QKeyEvent*) { Edit2KeyPress(); });
    OnEditChange(Edit2, [this] { Edit2Change(); });
    OnEditChange(Edit4, [this] { Edit4Change(); });

    OnRadioClick(RadioButton1, [this] { RadioButton1Click(); });
    OnRadioClick(RadioButton2, [this] { RadioButton2Click(); });
    OnRadioClick(RadioButton3, [this] { RadioButton3Click(); });
    OnRadioClick(RadioButton4, [this] { RadioButton4Click(); });
    OnRadioClick(RadioButton7, [this] { RadioButton7Click(); });
    OnRadioClick(RadioButton8, [this] { RadioButton8Click(); });
    OnRadioClick(RadioButton9, [this] { RadioButton9Click(); });
    OnRadioClick(RadioButton10, [this] { RadioButton10Click(); });
    OnCheckBoxClick(CheckBox1, [this] { CheckBox1Click(); });
    OnCheckBoxClick(CheckBox2, [this] { CheckBox2Click(); });
}

// ---------------------------------------------------------------------------------------------
// Dimension settings

void TForm1::Edit1Click() {
    DrivingEdit = 1;
}

void TForm1::Edit1KeyPress() {
    DrivingEdit = 1;
}

void TForm1::Edit2Click() {
    DrivingEdit = 2;
}

void TForm1::Edit2KeyPress() {
    DrivingEdit = 2;
}

// Warns about a character other than a digit and leaves the text as typed.
bool TForm1::digitsAccepted(const QLineEdit* edit) {
    if (IsAllDigits(edit->text())) return true;
    Form6->MsgBox(LookupCaption(kFolderChooserForm, "MsgBox_Carpeta2"),
                  LookupCaption(kMainWindowForm, "Texto_caracter_no_valido"), MessageKind::Error);
    return false;
}

// The other field follows the driving one under the 4:3 and 16:9 locks. The derived field's own
// change handler stops at its DrivingEdit test, so nothing bounces back.
void TForm1::applyLock(int drivingNumber, const QLineEdit* driving, QLineEdit* derived,
                       LockRatio by43, LockRatio by169) {
    if (DrivingEdit != drivingNumber) return;
    if (driving->text().isEmpty()) return;
    const int value = StrToInt(driving->text());
    if (value <= 0) {
        ShowMessage(LookupCaption(kMainWindowForm, "Texto_no_puedo"));
        return;
    }
    if (RadioButton5->isChecked()) {
        derived->setText(QString::number(value / by43.divisor * by43.multiplier));
    } else if (RadioButton6->isChecked()) {
        derived->setText(QString::number(value / by169.divisor * by169.multiplier));
    }
}

void TForm1::Edit1Change() {
    if (!digitsAccepted(Edit1)) return;
    applyLock(1, Edit1, Edit2, {4, 3}, {16, 9});
}

void TForm1::Edit2Change() {
    if (!digitsAccepted(Edit2)) return;
    applyLock(2, Edit2, Edit1, {3, 4}, {9, 16});
}

void TForm1::Edit4Change() {
    digitsAccepted(Edit4);
}

void TForm1::applyPreset(QRadioButton* lock, int width, int height) {
    lock->setChecked(true);
    Edit1->setText(QString::number(width));
    Edit2->setText(QString::number(height));
}

void TForm1::RadioButton1Click() {
    applyPreset(RadioButton5, 320, 240);
}

void TForm1::RadioButton2Click() {
    applyPreset(RadioButton5, 640, 480);
}

void TForm1::RadioButton3Click() {
    applyPreset(RadioButton5, 800, 600);
}

void TForm1::RadioButton4Click() {
    applyPreset(RadioButton5, 1024, 768);
}

void TForm1::RadioButton7Click() {
    applyPreset(RadioButton6, 320, 180);
}

void TForm1::RadioButton8Click() {
    applyPreset(RadioButton6, 640, 360);
}

void TForm1::RadioButton9Click() {
    applyPreset(RadioButton6, 800, 450);
}

void TForm1::RadioButton10Click() {
    applyPreset(RadioButton6, 1024, 576);
}

void TForm1::showSinglePanel(bool longestSide) {
    Panel1->setVisible(!longestSide);
    Panel2->setVisible(longestSide);
    GroupBox2->setEnabled(!longestSide);
}

void TForm1::CheckBox1Click() {
    if (CheckBox1->isChecked()) {
        showSinglePanel(true);
        CheckBox2->setChecked(false);
    } else {
        showSinglePanel(false);
    }
}

// Tests CheckBox1, not its own box: the RAW mode prevails over the longest-side mode.
void TForm1::CheckBox2Click() {
    if (CheckBox1->isChecked()) {
        CheckBox1->setChecked(false);
        CheckBox2->setChecked(true);
    } else {
        showSinglePanel(false);
    }
}

// ---------------------------------------------------------------------------------------------
// Image list intake

// A new text leaves behind the details of the one before.
void TForm1::setStatusText(const QString& text) {
    StatusBar->showMessage(text);
    StatusBar->setToolTip(QString());
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasUrls()) return;
    // Copy, never move: the file manager must leave the dropped files where they are.
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
    if (!event->mimeData()->hasUrls()) return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TForm1::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls()) return;
    QByteArrayList items;
    for (const QUrl& url : event->mimeData()->urls()) items << kavenra::DroppedItemPath(url);
    event->setDropAction(Qt::CopyAction);
    event->accept();
    RunGuarded([&] { WMDropFiles(items); });
}

void TForm1::WMDropFiles(const QStringList& droppedItems) {
    QByteArrayList paths;
    for (const QString& item : droppedItems) paths << QFile::encodeName(item);
    WMDropFiles(paths);
}

void TForm1::WMDropFiles(const QByteArrayList& droppedItems) {
    if (droppedItems.isEmpty()) return;
    // An empty name (an unset variable in a script) names no place for the outputs.
    QByteArray last;
    for (const QByteArray& item : droppedItems) {
        if (!item.isEmpty()) last = item;
    }
    // A folder's images get their "RES/" beside them, inside the folder.
    const QString shown = kavenra::ShownPath(last);
    const QString proposed = last.isEmpty()
                                 ? QString()
                                 : kavenra::ProposedDestination(
                                       kavenra::IsFolderPath(last) ? folderPrefix(shown) : shown);
    // A tree's walk leaves out the folders its outputs may go to, old outputs and all.
    QByteArrayList outputFolders{QFile::encodeName(Edit3->text())};
    if (!proposed.isEmpty()) outputFolders.append(QFile::encodeName(proposed));
    for (const QByteArray& item : droppedItems) {
        if (kavenra::IsFolderPath(item)) {
            takeDroppedFolder(item, outputFolders);
        } else {
            takeDroppedFile(item, true);
        }
    }
    if (!proposed.isEmpty()) Edit3->setText(proposed);
    Label10->setText(QString::number(ListBox1->count()));
    ProgressBar1->setMinimum(0);
    Timer2->start();
}

bool TForm1::takeDroppedFile(const QByteArray& path, bool reportRefusal,
                             const QByteArray& subfolder) {
    if (kavenra::EntryRow(*ListBox1, path) >= 0) {
        setStatusText(LookupCaption(kMainWindowForm, "ImagenMsg1") +
                      kavenra::FileNamePart(kavenra::ShownPath(path)));
        return true;
    }
    bool cameraRaw = false;
    const kavenra::InputKind kind = kavenra::ClassifyInputPath(path, &cameraRaw);
    if (kind == kavenra::InputKind::Image) {
        kavenra::AppendEntry(*ListBox1, path, subfolder, cameraRaw);
        setStatusText(LookupCaption(kMainWindowForm, "ImagenMsg2"));
        return true;
    }
    using Why = kavenra::LeftOutItems::Why;
    leftOut_.add(path, kind == kavenra::InputKind::NotFound     ? Why::NotFound
                       : kind == kavenra::InputKind::Unreadable ? Why::Unreadable
                                                                : Why::NotAnImage);
    if (reportRefusal) setStatusText(LookupCaption(kMainWindowForm, "ImagenMsg3"));
    return false;
}

// The user dropped the folder, not each of its files: the files that are no supported image are
// named when the check of the list ends (its own messages would cover them before), and a folder
// that brought nothing is refused.
void TForm1::takeDroppedFolder(const QByteArray& folder, const QByteArrayList& outputFolders) {
    int taken = 0;
    const bool wholeTree = Form3 && Form3->CurrentChoices().includeSubfolders;
    for (const kavenra::TreeFile& file : kavenra::FilesOfFolder(folder, wholeTree, outputFolders)) {
        if (takeDroppedFile(file.path, false, file.subfolder)) ++taken;
    }
    if (taken > 0) return;
    const bool listed = access(folder.constData(), R_OK | X_OK) == 0;
    leftOut_.add(folder, listed ? kavenra::LeftOutItems::Why::NoImageInFolder
                                : kavenra::LeftOutItems::Why::Unreadable);
    setStatusText(LookupCaption(kMainWindowForm, "ImagenMsg3"));
}

void TForm1::Timer2Timer() {
    const int entries = ListBox1->count();
    ProgressBar1->setMaximum(entries);
    ProgressBar1->show();
    ListBox1->setEnabled(false);
    Button2->setEnabled(false);
    Button3->setEnabled(false);
    setStatusText(LookupCaption(kMainWindowForm, "Texto_validar_imagenes"));
    // ">=": a run that ends or is cancelled during a pass enables "Limpiar" again, and a list
    // cleared then must end the pass, not be read past its end.
    if (ValidatedCount >= entries) {
        CheckBox2->setEnabled(RawCount == entries);
        ValidatedCount = 0;
        RawCount = 0;
        ListBox1->setEnabled(true);
        ProgressBar1->setValue(0);
        ProgressBar1->hide();
        Button2->setEnabled(true);
        Button3->setEnabled(true);
        Timer2->stop();
        if (leftOut_.isEmpty()) {
            setStatusText(LookupCaption(kMainWindowForm, "Texto_lista1").arg(entries));
        } else {
            setStatusText(leftOut_.statusText(entries));
            StatusBar->setToolTip(leftOut_.details());
        }
        leftOut_.clear();
        return;
    }
    // The drop recognised its files already; a list file's lines were never looked at.
    const QListWidgetItem& entry = *ListBox1->item(ValidatedCount);
    const std::optional<bool> cameraRaw = kavenra::EntryIsCameraRaw(entry);
    if (cameraRaw ? *cameraRaw : IsRawImage(kavenra::EntryPath(entry).toStdString())) ++RawCount;
    ++ValidatedCount;
    ProgressBar1->setValue(ValidatedCount);
}

void TForm1::Button2Click() {
    ListBox1->clear();
    Edit3->setText(QString());
    Label10->setText(QStringLiteral("0"));
    CheckBox2->setChecked(false);
    CheckBox2->setEnabled(false);
}

void TForm1::Eliminarimgen1Click() {
    int position = 0;
    while (position < ListBox1->count()) {
        if (ListBox1->item(position)->isSelected()) {
            delete ListBox1->takeItem(position);
        } else {
            ++position;
        }
    }
    Label10->setText(QString::number(ListBox1->count()));
    if (ListBox1->count() == 0) Edit3->setText(QString());
}

void TForm1::showListContextMenu(const QPoint& position) {
    PopupMenu1->popup(ListBox1->viewport()->mapToGlobal(position));
}

// ---------------------------------------------------------------------------------------------
// The batch run

void TForm1::warnOfRun(const char* textKey) {
    Form6->MsgBox(LookupCaption(kMainWindowForm, "Caption_Atencion"),
                  LookupCaption(kMainWindowForm, textKey), MessageKind::Error);
}

void TForm1::Button3Click() {
    const kavenra::StartFields fields{Edit1->text(), Edit2->text(), Edit4->text(), Edit3->text(),
                                      Label10->text()};
    const kavenra::RunMode checks =
        kavenra::StartChecksMode(CheckBox1->isChecked(), CheckBox2->isChecked());
    if (const char* warning = kavenra::FirstStartWarning(checks, fields)) {
        warnOfRun(warning);
        return;
    }
    const kavenra::RunControls controls = ReadRunControls();
    if (!kavenra::CreateDestinationFolder(Edit3->text())) {
        Form6->MsgBox(LookupCaption(kMainWindowForm, "Caption_Atencion"),
                      LookupCaption(kMainWindowForm, "Texto_advertencia5"), MessageKind::Question);
        if (!Form6->Respuesta) return;
    }
    kavenra::RemoveAbandonedTemporaryFiles(QFile::encodeName(Edit3->text()).toStdString());
    Button3->hide();
    Button4->show();
    if (run_->Start(controls, kavenra::GoOnPolicy::Ask) != kavenra::RunMode::ExplicitSize) {
        ProgressBar2->show();
    }
    Timer1->start();
}

void TForm1::Timer1Timer() {
    if (run_->FileInHand()) return;
    const kavenra::RunControls controls = ReadRunControls();
    ProgressBar2->setMinimum(0);
    ProgressBar2->setMaximum(controls.entries.size());
    Button2->setEnabled(false);
    Panel3->setEnabled(false);
    ListBox1->setEnabled(false);
    const kavenra::RunDriver::Report report = run_->Tick(controls);
    switch (report.event) {
        case kavenra::RunDriver::Event::Idle:
            return;
        case kavenra::RunDriver::Event::Finished:
            completeRun(report.summary, report.notReached);
            return;
        case kavenra::RunDriver::Event::Converting:
        case kavenra::RunDriver::Event::FileDone:
        case kavenra::RunDriver::Event::Question:
            break;
    }
    ProgressBar2->show();
    setStatusText(LookupCaption(kMainWindowForm, "Texto_redimension5") + QLatin1Char(' ') +
                  kavenra::FileNamePart(kavenra::ShownPath(report.entry)) +
                  QStringLiteral(" \u2014 ") + progressText(report.position, report.entries));
    if (report.event != kavenra::RunDriver::Event::Converting) {
        showOutcome(report);
        return;
    }
    timerPausedForFile_ = Timer1->isActive();
    Timer1->stop();
}

// The rest of the tick, once the entry's result is in. A message box that is open holds it: the
// rest of the tick may show one itself, and there is only the one.
void TForm1::takeConversionResult() {
    if (!run_->FileInHand()) return;
    if (Form6->isVisible()) {
        if (resultWaitsForMessage_) return;
        resultWaitsForMessage_ = true;
        connect(
            Form6, &QDialog::finished, this,
            [this] {
                resultWaitsForMessage_ = false;
                takeConversionResult();
            },
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
        return;
    }
    // Entries dropped since the tick are files the run reads as much as the others.
    const kavenra::RunDriver::Report report = run_->TakeOutcome(ReadRunControls().entries);
    if (report.event != kavenra::RunDriver::Event::Idle) showOutcome(report);
}

// A failure's question is the run's; stopping ends the run where it stands: what was written
// stays, and the summary says what was done, what failed and how many images the run did not
// reach.
void TForm1::showOutcome(const kavenra::RunDriver::Report& report) {
    // The timer stops for each file in hand; a tick driven by hand leaves it off.
    const bool running = timerPausedForFile_ || Timer1->isActive();
    timerPausedForFile_ = false;
    ProgressBar2->setValue(run_->Position());
    if (report.event == kavenra::RunDriver::Event::Question) {
        // Off before the question: its modal loop would deliver further ticks.
        Timer1->stop();
        const bool goOn =
            askToGoOnAfterFailure(kavenra::ShownPath(report.entry), report.outcome.reason);
        const kavenra::RunDriver::Report answered = run_->Answer(goOn, ListBox1->count());
        if (answered.event == kavenra::RunDriver::Event::Finished) {
            completeRun(answered.summary, answered.notReached);
            return;
        }
    }
    if (running) resumeTicks();
}

// The next tick as soon as the events waiting have been served, rather than after the timer's
// interval: with small pictures that wait would take longer than their conversions. The timer
// is off whenever a file is in hand, so it never spins; the run's end gives it its interval back.
void TForm1::resumeTicks() {
    Timer1->start(0);
}

QString TForm1::progressText(int entryIndex, int entries) const {
    QString progress =
        LookupCaption(kMainWindowForm, "Texto_progreso").arg(entryIndex + 1).arg(entries);
    if (const std::optional<qint64> left = run_->SecondsLeft(entryIndex, entries)) {
        progress += QStringLiteral(", ") + LookupCaption(kMainWindowForm, "Texto_linea_restante")
                                               .arg(kavenra::ClockDuration(*left));
    }
    return progress;
}

QString TForm1::failureReasonText(kavenra::FailureReason reason) const {
    const auto index = static_cast<std::size_t>(reason);
    if (index < kavenra::kFailureReasonKeys.size() && kavenra::kFailureReasonKeys[index]) {
        return LookupCaption(kMainWindowForm, kavenra::kFailureReasonKeys[index]);
    }
    return QString();
}

bool TForm1::askToGoOnAfterFailure(const QString& entry, kavenra::FailureReason reason) {
    QString text = LookupCaption(kMainWindowForm, "Texto_fallo1").arg(kavenra::FileNamePart(entry));
    const QString why = failureReasonText(reason);
    if (!why.isEmpty()) text += QLatin1Char('\n') + why;
    text += QStringLiteral("\n\n") + LookupCaption(kMainWindowForm, "Texto_fallo2");
    // The close box and Escape stop: everything written so far stays, so that is the answer
    // that loses nothing.
    Form6->MsgBox(LookupCaption(kMainWindowForm, "Caption_Atencion"), text,
                  QuestionButtons{LookupCaption(kMainWindowForm, "Texto_boton_seguir"),
                                  LookupCaption(kMainWindowForm, "Texto_boton_detener")});
    return Form6->Respuesta;
}

int TForm1::RunPosition() const {
    return run_->Position();
}

bool TForm1::FileInHand() const {
    return run_->FileInHand();
}

void TForm1::SetLookAhead(bool on) {
    run_->SetLookAhead(on);
}

void TForm1::returnToIdle() {
    Timer1->stop();
    Timer1->setInterval(1);
    run_->Abandon();
    timerPausedForFile_ = false;
    ProgressBar2->setValue(0);
    ProgressBar2->hide();
    Button4->hide();
    Button3->show();
    Panel3->setEnabled(true);
    ListBox1->setEnabled(true);
    Button2->setEnabled(true);
}

void TForm1::completeRun(const kavenra::RunSummary& summary, int notReached) {
    returnToIdle();
    setStatusText(LookupCaption(kMainWindowForm,
                                notReached > 0 ? "Texto_redimension3" : "Texto_redimension"));
    selectFailedEntries(summary);
    const QString text = summary.allAsAsked() && notReached == 0
                             ? LookupCaption(kMainWindowForm, "Texto_redimension2")
                             : summaryText(summary, notReached);
    Form6->MsgBox(LookupCaption(kMainWindowForm, "Texto_redimension"), text, MessageKind::Question);
    if (Form6->Respuesta) OpenLocalFolderOrReport(QDir::current().absoluteFilePath(Edit3->text()));
}

// A few names of each kind in the message itself, each failed one with its reason; the failed
// entries stay selected in the list, where every one of them can be seen.
QString TForm1::summaryText(const kavenra::RunSummary& summary, int notReached) const {
    const auto names = [&](const QStringList& all) {
        const kavenra::ShownNames shown = kavenra::NamesToShow(all);
        QString lines;
        for (const QString& name : shown.names) lines += QLatin1Char('\n') + name;
        if (shown.more > 0) {
            lines += QLatin1Char('\n') +
                     LookupCaption(kMainWindowForm, "Texto_resumen4").arg(shown.more);
        }
        return lines;
    };
    QString text = LookupCaption(kMainWindowForm, "Texto_resumen1")
                       .arg(summary.written())
                       .arg(summary.entries + notReached);
    if (!summary.failures.empty()) {
        QStringList failed;
        for (const auto& failure : summary.failures) {
            QString line = kavenra::FileNamePart(kavenra::ShownPath(failure.entry));
            const QString why = failureReasonText(failure.reason);
            if (!why.isEmpty()) line += QStringLiteral(" \u2014 ") + why;
            failed << line;
        }
        text += QStringLiteral("\n\n") +
                LookupCaption(kMainWindowForm, "Texto_resumen2").arg(failed.size()) +
                names(failed) + QLatin1Char('\n') +
                LookupCaption(kMainWindowForm, "Texto_resumen5");
    }
    if (!summary.renamings.empty()) {
        QStringList renamed;
        for (const auto& renaming : summary.renamings) {
            renamed << kavenra::FileNamePart(kavenra::ShownPath(renaming.entry)) +
                           QStringLiteral(" \u2192 ") +
                           kavenra::FileNamePart(QFile::decodeName(renaming.writtenAs.c_str()));
        }
        text += QStringLiteral("\n\n") +
                LookupCaption(kMainWindowForm, "Texto_resumen3").arg(renamed.size()) +
                names(renamed);
    }
    if (!summary.overBudget.empty()) {
        QStringList over;
        for (const QByteArray& entry : summary.overBudget) {
            over << kavenra::FileNamePart(kavenra::ShownPath(entry));
        }
        text += QStringLiteral("\n\n") +
                LookupCaption(kMainWindowForm, "Texto_resumen7").arg(over.size()) + names(over);
    }
    if (notReached > 0) {
        text += QStringLiteral("\n\n") +
                LookupCaption(kMainWindowForm, "Texto_resumen8").arg(notReached);
    }
    return text + QStringLiteral("\n\n") + LookupCaption(kMainWindowForm, "Texto_resumen6");
}

void TForm1::selectFailedEntries(const kavenra::RunSummary& summary) {
    ListBox1->clearSelection();
    for (const auto& failure : summary.failures) {
        for (int row = 0; row < ListBox1->count(); ++row) {
            QListWidgetItem* item = ListBox1->item(row);
            if (kavenra::EntryPath(*item) == failure.entry) item->setSelected(true);
        }
    }
}

// The notice comes first; the window returns to idle once the user has closed it.
void TForm1::Button4Click() {
    Timer1->stop();
    // The file in hand is abandoned at once, before the notice: nothing of it appears later.
    run_->Abandon();
    timerPausedForFile_ = false;
    Form6->MsgBox(LookupCaption(kMainWindowForm, "Caption_Atencion"),
                  LookupCaption(kMainWindowForm, "Texto_redimension4"), MessageKind::Information);
    returnToIdle();
    setStatusText(LookupCaption(kMainWindowForm, "Texto_redimension4"));
}

// ---------------------------------------------------------------------------------------------
// Menus

namespace {

// The extensions of the formats the type test takes (the codecs' registry, and the camera RAW
// kinds the options window lists), for a file dialog's filter. The test itself goes by content;
// the filter only spares the user the files that are certainly no image. File names are
// case-sensitive here, and cameras write upper-case ones.
QString ImageNameFilter(const QString& label) {
    QStringList extensions;
    for (const kavenra::Codec& codec : kavenra::Codecs()) {
        if (!codec.offered) continue;
        for (const char* extension : codec.extensions) extensions << QLatin1String(extension);
    }
    extensions << CameraRawExtensions();
    QStringList patterns;
    for (const QString& extension : extensions) {
        patterns << QStringLiteral("*.") + extension << QStringLiteral("*.") + extension.toUpper();
    }
    patterns.removeDuplicates();
    return label + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

// A menu item's text as a dialog's title: without its access key and its closing ellipsis.
QString DialogTitleOf(const QAction* item) {
    QString title = kavenra::WithoutAccessKey(item->text()).trimmed();
    for (const QString& ellipsis : {QString(QChar(0x2026)), QStringLiteral("...")}) {
        if (title.endsWith(ellipsis)) title.chop(ellipsis.size());
    }
    return title.trimmed();
}

}  // namespace

QString TForm1::addDialogFolder() const {
    if (!lastAddedFrom_.isEmpty() && QFileInfo(lastAddedFrom_).isDir()) return lastAddedFrom_;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
}

void TForm1::Anadirimagenes1Click() {
    const QStringList files = QFileDialog::getOpenFileNames(
        this, DialogTitleOf(Anadirimagenes1), addDialogFolder(),
        ImageNameFilter(LookupCaption(kMainWindowForm, "Texto_filtro_imagenes")));
    if (files.isEmpty()) return;
    lastAddedFrom_ = QFileInfo(files.last()).absolutePath();
    WMDropFiles(files);
}

void TForm1::Anadircarpeta1Click() {
    const QString folder =
        QFileDialog::getExistingDirectory(this, DialogTitleOf(Anadircarpeta1), addDialogFolder());
    if (folder.isEmpty()) return;
    lastAddedFrom_ = QFileInfo(folder).absolutePath();
    WMDropFiles(QStringList{folder});
}

void TForm1::Salir1Click() {
    close();
}

void TForm1::Opcionesdecalidadyredimensionado1Click() {
    bringForward(Form3);
}

void TForm1::Lenguajes1Click() {
    // The language dialog names its invitation label Label1; from the menu it asks without the
    // first run's welcome. With no language to speak, the dialog that puts that right must still
    // open: it then asks in English.
    if (auto* invitation = Form4->findChild<QLabel*>(QStringLiteral("Label1"))) {
        invitation->setText(ActiveLanguageAvailable()
                                ? LookupCaption(kavenra::kLanguageDialogForm, "Label1_menu")
                                : QStringLiteral("Please, select your language"));
    }
    bringForward(Form4);
}

void TForm1::Changelog1Click() {
    bringForward(Form2);
}

void TForm1::Acercade2Click() {
    Form7->exec();
}

void TForm1::SpeedButton2Click() {
    Form5->OpenAtDestination(Edit3->text());
    if (Form5->exec() == QDialog::Accepted) Edit3->setText(Form5->ChosenDestination());
}

// ---------------------------------------------------------------------------------------------
// Window events

// An unreadable list file ends this handler at once; the window is created all the same.
void TForm1::FormCreate() {
    kavenra::startup::InitialiseImageLibrary();
    kavenra::startup::LoadListFiles(*this, kavenra::startup::ListFileArguments());
}

// The command line's images and folders come after the checks: the intake's status texts are
// the active language's, whose database the checks have verified and the first run has chosen.
void TForm1::FormShow() {
    if (StartupChecksRun) return;
    kavenra::startup::RunStartupChecks();
    StartupChecksRun = true;
    WMDropFiles(kavenra::startup::DroppedItemArguments());
}

// The show event comes before the native window is shown at the window's size. A nested event
// loop run from here (a modal window, the update check's request) would let the window system's
// report on the native window, still at its first default size, become the window's size for
// good. So the show handler runs once the showing is complete; shows meanwhile queue no other.
void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!centredOnce_) {
        centredOnce_ = true;
        if (const QScreen* screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    if (showHandlerPending_) return;
    showHandlerPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            const bool firstShowing = !StartupChecksRun;
            RunGuarded([this] { FormShow(); });
            showHandlerPending_ = false;
            if (firstShowing) emit StartupFinished();
        },
        Qt::QueuedConnection);
}

// Ends the program at once, whatever other windows are open. A run that is going is stopped
// first, once the user has agreed: the file in hand is abandoned and nothing of it stays.
void TForm1::closeEvent(QCloseEvent* event) {
    if (RunGoing() && !confirmStopToClose()) {
        event->ignore();
        return;
    }
    Timer1->stop();
    run_->Abandon();
    event->accept();
    QCoreApplication::exit(0);
}

bool TForm1::RunGoing() const {
    return !Button4->isHidden();
}

// The run holds still while the question is open: a tick meanwhile could end the run or fail a
// file, and either would want the message box the question is using.
bool TForm1::confirmStopToClose() {
    // A message already open is the user's to answer first.
    if (Form6->isVisible()) return false;
    const bool ticking = Timer1->isActive();
    Timer1->stop();
    Form6->MsgBox(LookupCaption(kMainWindowForm, "Caption_Atencion"),
                  LookupCaption(kMainWindowForm, "Texto_cerrar_en_curso"),
                  QuestionButtons{LookupCaption(kMainWindowForm, "Texto_boton_cerrar"),
                                  LookupCaption(kMainWindowForm, "Texto_boton_seguir")});
    if (Form6->Respuesta) return true;
    if (ticking) Timer1->start();
    return false;
}
