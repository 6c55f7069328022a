#pragma once

// A two-column list of key = value rows under two column titles, for reading only: the rows can
// be selected and scrolled, not edited. A value too long for its column shows whole in the
// row's tooltip.

#include <QString>
#include <QStringList>
#include <QTableWidget>

class ValueListEditor : public QTableWidget {
    Q_OBJECT
  public:
    explicit ValueListEditor(QWidget* parent = nullptr);

    // Appends one row.
    void AppendRow(const QString& key, const QString& value);
    QString Key(int row) const;
    QString Value(int row) const;

    // The first item titles the key column, the second the value column; a missing item leaves
    // its title empty and further items are ignored.
    void SetTitleCaptions(const QStringList& titles);
    QStringList TitleCaptions() const;

  private:
    QString cellText(int row, int column) const;
};
