#pragma once

// A folder list: the path from the file system root down to the open folder, one entry per
// level, followed by the open folder's subfolders. Highlighting an entry only highlights it;
// double-clicking it or pressing Enter on it opens it. Opening changes this list only, never the
// process's working directory.

#include <QListWidget>
#include <QString>

class QKeyEvent;

class FolderListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit FolderListBox(QWidget* parent = nullptr);

    // The open folder: absolute, without a trailing "/" except at the root.
    QString Directory() const { return directory_; }

    // Opens a folder (a relative path is taken from the open folder). False, and nothing
    // changes, when it is no existing folder.
    bool SetDirectory(const QString& path);

    // Reads the open folder's subfolders again; the open folder stays. When it no longer
    // exists, its nearest existing ancestor is opened instead.
    void Update();

    // The folder an entry stands for.
    QString EntryPath(int row) const;
    // The row of the open folder's subfolder of that name, or -1.
    int SubfolderRow(const QString& name) const;

  signals:
    void directoryChanged(const QString& directory);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void openEntry(QListWidgetItem* entry);
    void rebuild();
    void addEntry(const QString& caption, const QString& path, int level, bool open);

    QString directory_;
    int firstSubfolderRow_ = 0;
};
