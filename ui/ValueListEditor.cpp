#include "ui/ValueListEditor.h"

#include <QHeaderView>
#include <QTableWidgetItem>

namespace {

constexpr int entryHeight = 18;

QTableWidgetItem* readOnlyItem(const QString& text, const QString& tooltip) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    item->setToolTip(tooltip);
    return item;
}

}  // namespace

ValueListEditor::ValueListEditor(QWidget* parent) : QTableWidget(0, 2, parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(entryHeight);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setFixedHeight(entryHeight + 2);
    SetTitleCaptions({});
}

void ValueListEditor::AppendRow(const QString& key, const QString& value) {
    const int row = rowCount();
    insertRow(row);
    const QString tooltip = key + QStringLiteral(": ") + value;
    setItem(row, 0, readOnlyItem(key, tooltip));
    setItem(row, 1, readOnlyItem(value, tooltip));
}

QString ValueListEditor::Key(int row) const {
    return cellText(row, 0);
}

QString ValueListEditor::Value(int row) const {
    return cellText(row, 1);
}

void ValueListEditor::SetTitleCaptions(const QStringList& titles) {
    setHorizontalHeaderLabels({titles.value(0), titles.value(1)});
}

QStringList ValueListEditor::TitleCaptions() const {
    QStringList titles;
    for (int column = 0; column < 2; ++column) {
        const QTableWidgetItem* title = horizontalHeaderItem(column);
        titles << (title ? title->text() : QString());
    }
    return titles;
}

QString ValueListEditor::cellText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}
