#pragma once

#include "store/StoredOptions.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QShowEvent;
class QSpinBox;
class QSlider;
class QTabWidget;
class ValueListEditor;

// The options dialog: the resampling filter, the format outputs are saved in and the save options
// of each output format on its first page, the further choices on the second. Its current
// selection is what every conversion reads, at the moment it needs each value: from its creation
// it holds the stored options, every showing reloads them, and while it is open a change acts at
// once. Save stores the selection; Cancel, Escape and the close box put back the selection the
// showing began with and store nothing. Shown without blocking the main window.
class TForm3 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm3(QWidget* parent = nullptr);
    ~TForm3() override;

    QGroupBox* GroupBox2;  // filter
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QRadioButton* RadioButton3;
    QRadioButton* RadioButton4;
    QRadioButton* RadioButton5;
    QRadioButton* RadioButton8;
    QGroupBox* GroupBox1;  // JPEG
    QLabel* Label7;
    QSlider* TrackBar1;
    QLabel* Label6;
    QLabel* Label5;
    QLabel* Label4;
    QLabel* Label3;
    QLabel* Label2;
    QLabel* Label1;
    QGroupBox* GroupBox3;  // BMP
    QRadioButton* RadioButton6;
    QRadioButton* RadioButton7;
    QGroupBox* GroupBox6;  // TARGA
    QRadioButton* RadioButton13;
    QRadioButton* RadioButton14;
    QGroupBox* GroupBox5;  // TIFF
    QRadioButton* RadioButton15;
    QRadioButton* RadioButton16;
    QRadioButton* RadioButton17;
    QRadioButton* RadioButton18;
    QGroupBox* GroupBox4;  // PNG
    QRadioButton* RadioButton9;
    QRadioButton* RadioButton10;
    QRadioButton* RadioButton11;
    QRadioButton* RadioButton12;
    QLabel* Label8;
    QGroupBox* saveAsGroup;              // save as
    QRadioButton* saveAsOriginalButton;  // the original's format
    QRadioButton* saveAsJpegButton;      // JPEG
    QRadioButton* saveAsPngButton;       // PNG
    QRadioButton* saveAsWebpButton;      // WebP
    QRadioButton* saveAsTiffButton;      // TIFF
    QGroupBox* webpGroup;                // WebP
    QLabel* webpQualityLabel;            // quality caption
    QLabel* webpQualityValue;            // the quality's value
    QSlider* webpQualitySlider;          // quality 1..100
    QCheckBox* webpLosslessBox;          // without loss
    QCheckBox* fastJpegDecodingBox;      // fast JPEG decoding
    QGroupBox* moreChoicesGroup;         // more choices
    QCheckBox* noEnlargeBox;             // don't enlarge
    QCheckBox* fitWithinBox;             // fit within width x height
    QCheckBox* keepDatesBox;             // keep the sources' dates
    QCheckBox* subfoldersBox;            // include subfolders
    QCheckBox* removeLocationBox;        // remove the location
    QCheckBox* sizeBudgetBox;            // size budget for JPEG and WebP
    QSpinBox* sizeBudgetKbEdit;          // the budget in KB, 1..1000000
    // The camera RAW formats FreeImage reads; titles set with SetTitleCaptions.
    ValueListEditor* ValueListEditor1;
    QPushButton* Button1;  // save

    // The two pages, and the button that closes without saving.
    QTabWidget* OptionPages;
    QWidget* FormatsPage;
    QWidget* MoreOptionsPage;
    QPushButton* CancelButton;

    void FormCreate();
    // Every showing from hidden: the ratio label, then the stored options. An error escaping it
    // (a stored value that is no integer) ends it; the dialog is shown all the same.
    void FormShow();
    void TrackBar1Change();
    // The value beside the WebP quality; the quality is not read while "without loss" is checked.
    void webpQualitySliderChange();
    void webpLosslessBoxClick();
    // The budget is only edited while its box is checked.
    void sizeBudgetBoxClick();
    // Saves, reports a failure with the error box, and closes in both cases; the selection stays
    // in force even when it could not be stored.
    void Button1Click();
    // Closes without saving: the selection is the one the showing began with again.
    void CancelButtonClick();

    // Shows the given codes, as they would be stored: the selection conversions then read.
    void ShowFormatOptions(const kavenra::FormatOptions& codes);

    // Reads the stored options into the controls, in column order. Throws EConvertError for a
    // stored text of the first six columns that is no integer; the columns after it keep their
    // selection. The columns added later (save as, WebP quality, without loss, fast decoding and
    // the last group's) take their initial value for a text that is no integer in their range,
    // and when the column is missing (a database the start-up could not bring up to date).
    void LoadFormatOptions();
    // Writes the selections in column order; false at the first statement that fails, the ones
    // before it staying written.
    bool SaveFormatOptions();
    void UpdateRatioLabel();

    // The current selection: in each group the code of the first selected button in code order,
    // else the group's last code; the JPEG code is the track bar's position.
    int FilterCode() const;
    int JpegCode() const;
    int PngCode() const;
    int BmpCode() const;
    int TgaCode() const;
    int TifCode() const;
    // The "Save as" code (kavenra::OutputChoice), the WebP quality and 1 for WebP without loss.
    int SaveAsCode() const;
    int WebpQuality() const;
    int WebpLosslessCode() const;
    // 1 for JPEG inputs decoded at a reduced scale when shrunk to half their size or less.
    int FastDecodingCode() const;
    // The last group: 1 for each checked box; the size budget in KB, 0 while its box is clear.
    int NoEnlargeCode() const;
    int FitWithinCode() const;
    int KeepDatesCode() const;
    int SubfoldersCode() const;
    int StripLocationCode() const;
    int SizeBudgetKb() const;
    // The selection as it stands; until the first showing that is the layout's selection, the
    // same as the built-in defaults. Conversions take it at each file's tick.
    kavenra::FormatOptions CurrentFormatOptions() const;
    // The same in real units (kavenra::ChoicesFromCodes).
    kavenra::RunChoices CurrentChoices() const;

  protected:
    void showEvent(QShowEvent* event) override;
    // Escape and the close box come here too.
    void reject() override;

  private:
    void createFilterGroup();
    void createJpegGroup();
    void createBmpGroup();
    void createTargaGroup();
    void createTiffGroup();
    void createPngGroup();
    void createRawList();
    void createSaveAsGroup();
    void createWebpGroup();
    void createChoicesGroup();
    void createPages();
    void arrangePagesAndButtons();
    void arrangeTabOrder();
    void connectHandlers();

    // The selection when the dialog was last shown, put back when it closes without saving.
    kavenra::FormatOptions shownSelection_;
};

extern TForm3* Form3;

// The file name extensions of the camera RAW formats the dialog lists, in lower case.
QStringList CameraRawExtensions();
