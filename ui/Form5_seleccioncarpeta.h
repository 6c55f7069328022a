#pragma once

#include <QDialog>
#include <QHash>
#include <QString>

class FolderListBox;
class QComboBox;
class QPushButton;
class QShowEvent;

// The folder chooser: picks the destination of a run and can create a folder in the open one.
// Shown modally; the main window opens it at the destination it already has (OpenAtDestination).
// It never changes the working directory itself.
class TForm5 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm5(QWidget* parent = nullptr);

    QPushButton* Button2;              // create a folder
    QPushButton* Button1;              // accept
    FolderListBox* DirectoryListBox1;  // the open folder and its subfolders
    QComboBox* DriveComboBox1;         // the file system roots

    // Takes the open folder followed by "/RES/" as the chosen destination (ChosenDestination)
    // and closes accepted. At the root that gives "//RES/".
    void Button1Click();
    // Asks for a name and creates that folder, one level, in the open folder; reports the
    // outcome with the message box. The dialog stays open.
    void Button2Click();

    // The open folder: absolute, without a trailing "/" except at the root.
    QString OpenFolder() const;

    // Opens the folder a destination field's text names (see StartFolderOf).
    void OpenAtDestination(const QString& destination);

    // The destination the last acceptance chose; the caller that showed the chooser puts it in
    // its field. Empty from OpenAtDestination until the chooser is accepted.
    QString ChosenDestination() const { return chosenDestination_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void createControls();
    void fillRoots();
    void showRootOf(const QString& folder);
    void openRoot(int index);

    // The folder last open under each root, reopened when that root is chosen again.
    QHash<QString, QString> lastFolderOfRoot_;
    QString chosenDestination_;
};

extern TForm5* Form5;

namespace kavenra {

// Where the folder chooser starts for a destination field's text: the folder it names, or the
// nearest existing folder above it (a relative text is taken from the working directory, as the
// run takes it); the home folder when the field is empty.
QString StartFolderOf(const QString& destination);

}  // namespace kavenra
