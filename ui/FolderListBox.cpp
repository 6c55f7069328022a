#include "ui/FolderListBox.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

namespace {

constexpr int pathRole = Qt::UserRole;
constexpr int levelRole = Qt::UserRole + 1;
constexpr int indentPerLevel = 8;

// Indents each entry by its depth below the root, as a folder tree reads.
class IndentingDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem indented = option;
        indented.rect.setLeft(option.rect.left() + indentOf(index));
        QStyledItemDelegate::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setWidth(size.width() + indentOf(index));
        return size;
    }

  private:
    static int indentOf(const QModelIndex& index) {
        return index.data(levelRole).toInt() * indentPerLevel;
    }
};

QString absoluteFolder(const QString& base, const QString& path) {
    return QDir::cleanPath(QDir(base).absoluteFilePath(path));
}

}  // namespace

FolderListBox::FolderListBox(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new IndentingDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* entry) { openEntry(entry); });
    SetDirectory(QDir::currentPath());
}

bool FolderListBox::SetDirectory(const QString& path) {
    const QString folder =
        absoluteFolder(directory_.isEmpty() ? QDir::currentPath() : directory_, path);
    if (!QFileInfo(folder).isDir()) return false;
    const bool changed = folder != directory_;
    directory_ = folder;
    rebuild();
    if (changed) emit directoryChanged(directory_);
    return true;
}

void FolderListBox::Update() {
    QString folder = directory_;
    while (!QFileInfo(folder).isDir() && !QDir(folder).isRoot()) {
        folder = QFileInfo(folder).path();
    }
    if (folder != directory_) {
        SetDirectory(folder);
    } else {
        rebuild();
    }
}

QString FolderListBox::EntryPath(int row) const {
    const QListWidgetItem* entry = item(row);
    return entry ? entry->data(pathRole).toString() : QString();
}

int FolderListBox::SubfolderRow(const QString& name) const {
    const QString path = absoluteFolder(directory_, name);
    for (int row = firstSubfolderRow_; row < count(); ++row) {
        if (EntryPath(row) == path) return row;
    }
    return -1;
}

void FolderListBox::keyPressEvent(QKeyEvent* event) {
    // Enter opens the highlighted entry and goes no further: it must not also press the
    // dialog's default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openEntry(currentItem());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void FolderListBox::openEntry(QListWidgetItem* entry) {
    if (!entry) return;
    // A folder removed since the list was read cannot be opened; show what is there now.
    if (!SetDirectory(entry->data(pathRole).toString())) Update();
}

void FolderListBox::rebuild() {
    clear();
    const QDir openFolder(directory_);
    QStringList levels = directory_.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path = QStringLiteral("/");
    addEntry(path, path, 0, true);
    for (int level = 0; level < levels.size(); ++level) {
        path = QDir::cleanPath(path + QLatin1Char('/') + levels[level]);
        addEntry(levels[level], path, level + 1, true);
    }
    setCurrentRow(count() - 1);
    firstSubfolderRow_ = count();

    const int childLevel = static_cast<int>(levels.size()) + 1;
    const QStringList subfolders = openFolder.entryList(
        QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QString& name : subfolders) {
        addEntry(name, openFolder.absoluteFilePath(name), childLevel, false);
    }
    scrollToItem(currentItem());
}

void FolderListBox::addEntry(const QString& caption, const QString& path, int level, bool open) {
    auto* entry = new QListWidgetItem(
        style()->standardIcon(open ? QStyle::SP_DirOpenIcon : QStyle::SP_DirClosedIcon), caption,
        this);
    entry->setData(pathRole, QDir::cleanPath(path));
    entry->setData(levelRole, level);
    entry->setToolTip(QDir::toNativeSeparators(QDir::cleanPath(path)));
}
