#pragma once

#include "engine/run/RunDriver.h"
#include "ui/LeftOutItems.h"

#include <QByteArrayList>
#include <QHash>
#include <QMainWindow>
#include <QStringList>

#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QCloseEvent;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QShowEvent;
class QStatusBar;
class QTimer;
class QToolButton;

// The main window: the dimension settings, the image list fed by drag and drop, the destination
// row, Start and Cancel, the menus. Its controls are public because the other windows and the
// translation pass address them by name.
class TForm1 : public QMainWindow {
    Q_OBJECT
  public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The client area: every control placed "on the window" is a child of it.
    QWidget* ClientArea;

    QLabel* Label8;
    QGroupBox* GroupBox1;
    QCheckBox* CheckBox1;
    QGroupBox* GroupBox2;
    QLabel* Label4;
    QLabel* Label5;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QRadioButton* RadioButton3;
    QRadioButton* RadioButton4;
    QRadioButton* RadioButton7;
    QRadioButton* RadioButton8;
    QRadioButton* RadioButton9;
    QRadioButton* RadioButton10;
    QFrame* Panel1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label7;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QRadioButton* RadioButton5;
    QRadioButton* RadioButton6;
    QRadioButton* RadioButton11;
    QFrame* Panel2;
    QLabel* Label6;
    QLineEdit* Edit4;
    QCheckBox* CheckBox2;
    QProgressBar* ProgressBar1;
    QProgressBar* ProgressBar2;
    QFrame* Panel3;
    QLabel* Label3;
    QLabel* Label9;
    QLabel* Label10;
    QLineEdit* Edit3;
    QToolButton* SpeedButton2;
    QListWidget* ListBox1;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* Button2;
    QStatusBar* StatusBar;

    QMenuBar* MainMenu1;
    QMenu* Archivo1;
    QAction* Anadirimagenes1;
    QAction* Anadircarpeta1;
    QAction* N3;
    QAction* Salir1;
    QMenu* Opciones1;
    QAction* Opcionesdecalidadyredimensionado1;
    QAction* N2;
    QAction* Lenguajes1;
    QMenu* Acercade1;
    QAction* Changelog1;
    QAction* N1;
    QAction* Acercade2;
    QMenu* PopupMenu1;
    QAction* Eliminarimgen1;

    QTimer* Timer1;
    QTimer* Timer2;

    // The dimension field the user last clicked or typed in: 1 Edit1, 2 Edit2, 0 neither yet.
    int DrivingEdit = 0;

    // The counting pass: the next entry it examines and the RAW entries found so far.
    int ValidatedCount = 0;
    int RawCount = 0;
    // What drops left out since the last check of the list ended, named at its end.
    kavenra::LeftOutItems leftOut_;
    // The folder the last file dialog added from, where the next one opens.
    QString lastAddedFrom_;

    // The run: the list position of the next entry to convert; 0 whenever no run is going.
    int RunPosition() const;

    // What the controls a run reads say now: the list, the boxes and fields, the destination and
    // the options dialog's selection. Start and every tick hand it to the run.
    kavenra::RunControls ReadRunControls() const;

    // Creation (the image library and the command-line list files) and the first showing (the
    // start-up checks, then the command line's images and folders as one drop); the work itself
    // is the start-up unit's.
    void FormCreate();
    void FormShow();

  signals:
    // The first showing's handler has ended (normally after its start-up checks): from here on
    // the window is the user's.
    void StartupFinished();

  public:
    // Dimension settings.
    void Edit1Click();
    void Edit1KeyPress();
    void Edit1Change();
    void Edit2Click();
    void Edit2KeyPress();
    void Edit2Change();
    void Edit4Change();
    void RadioButton1Click();
    void RadioButton2Click();
    void RadioButton3Click();
    void RadioButton4Click();
    void RadioButton7Click();
    void RadioButton8Click();
    void RadioButton9Click();
    void RadioButton10Click();
    void CheckBox1Click();
    void CheckBox2Click();

    // Image list intake. `droppedItems` are the full paths of one drop, in the order delivered;
    // a folder among them brings the files directly inside it. Paths given as text name the
    // bytes they encode to.
    void WMDropFiles(const QByteArrayList& droppedItems);
    void WMDropFiles(const QStringList& droppedItems);
    void Timer2Timer();
    void Button2Click();
    void Eliminarimgen1Click();

    // The batch run: Start, one entry per tick of Timer1, Cancel. Each reads the controls and
    // hands them to the run (engine/run/RunDriver.h), which decides; they show what comes back.
    // A tick hands its entry to the image worker and returns; the rest of the tick runs when the
    // result arrives, and Timer1 pauses meanwhile, so the next tick comes only after that.
    void Button3Click();
    void Timer1Timer();
    void Button4Click();

    // True from a tick that handed over its entry until that entry's result has been handled.
    bool FileInHand() const;
    // True from Start until the run has ended, been cancelled or been stopped.
    bool RunGoing() const;
    // Off, every entry converts at its own tick only; on (the default), the next entry is
    // prepared while one converts. Exists for tests and the benchmark.
    void SetLookAhead(bool on);
    const kavenra::RunConversions& RunConversionsInUse() const { return run_->Conversions(); }

    // Menus and the folder button. Adding images or a folder through a file dialog takes what
    // was chosen exactly as a drop of it.
    void Anadirimagenes1Click();
    void Anadircarpeta1Click();
    void Salir1Click();
    void Opcionesdecalidadyredimensionado1Click();
    void Lenguajes1Click();
    void Changelog1Click();
    void Acercade2Click();
    void SpeedButton2Click();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void createControls();
    void applyWindowFont();
    void createDimensionControls();
    void createPresetControls();
    void createModeControls();
    void createDestinationRow();
    void createListAndButtons();
    void createMenus();
    void createTimers();
    void arrangeTabOrder();
    void makeWholeWindowTheDropTarget();
    QString addDialogFolder() const;
    void connectHandlers();
    void watchListChanges();
    void connectDimensionHandlers();

    // A lock turns the driving value v into (v div divisor) x multiplier.
    struct LockRatio {
        int divisor;
        int multiplier;
    };
    void applyPreset(QRadioButton* lock, int width, int height);
    bool digitsAccepted(const QLineEdit* edit);
    void applyLock(int drivingNumber, const QLineEdit* driving, QLineEdit* derived, LockRatio by43,
                   LockRatio by169);
    void showSinglePanel(bool longestSide);
    void warnOfRun(const char* textKey);
    void takeConversionResult();
    void showOutcome(const kavenra::RunDriver::Report& report);
    void resumeTicks();
    void returnToIdle();
    // The completion summary; `notReached` counts the entries a stopped run left undone.
    void completeRun(const kavenra::RunSummary& summary, int notReached = 0);
    QString summaryText(const kavenra::RunSummary& summary, int notReached) const;
    // "3 of 24, about 0:12 left" for the entry at `entryIndex`; the time only once a file is done.
    QString progressText(int entryIndex, int entries) const;
    // Asks whether to stop the run that is going and close; true for "stop and close".
    bool confirmStopToClose();
    void selectFailedEntries(const kavenra::RunSummary& summary);
    QString failureReasonText(kavenra::FailureReason reason) const;
    // The failure of `entry` and its reason, with the question whether to go on; true for "Go on".
    bool askToGoOnAfterFailure(const QString& entry, kavenra::FailureReason reason);
    void setStatusText(const QString& text);
    // One file of a drop through the duplicate and type tests; false when it was refused, which
    // is reported only with `reportRefusal`.
    bool takeDroppedFile(const QByteArray& path, bool reportRefusal,
                         const QByteArray& subfolder = {});
    // `outputFolders`: where this drop's outputs may go, left out of a tree's walk.
    void takeDroppedFolder(const QByteArray& folder, const QByteArrayList& outputFolders);
    void showListContextMenu(const QPoint& position);

    bool centredOnce_ = false;
    bool showHandlerPending_ = false;
    std::unique_ptr<kavenra::RunDriver> run_;
    bool timerPausedForFile_ = false;
    bool resultWaitsForMessage_ = false;
    // The list's entries and their mirrored subfolders as last read, and whether the list has
    // changed since.
    mutable bool listEntriesStale_ = true;
    mutable QByteArrayList listEntries_;
    mutable QHash<QByteArray, QByteArray> listSubfolders_;
};

extern TForm1* Form1;
