#include "materials/ui/flexgrid.h"

#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>

#include <algorithm>

namespace materials::ui {
namespace {

using twip::ui::PixelsToTwips;
using twip::ui::TextAlign;
using twip::ui::TwipsToPixels;

Qt::Alignment ToQt(TextAlign alignment) {
    switch (alignment) {
    case TextAlign::Center:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case TextAlign::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case TextAlign::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

} // namespace

FlexGrid::FlexGrid(QWidget* parent) : QTableWidget(parent) {
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    QFont bold = horizontalHeader()->font();
    bold.setBold(true);
    horizontalHeader()->setFont(bold);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // The arrow keys move between the cells; Tab and Shift+Tab leave the grid
    // for the next or previous control of the window.
    setTabKeyNavigation(false);
    setWordWrap(false);
    connect(this, &QTableWidget::currentCellChanged, this,
            [this](int row, int col, int, int) { onCurrentCellChanged(row, col); });
    connect(this, &QTableWidget::cellClicked, this, [this](int row, int col) {
        row_ = row + 1;
        col_ = colSel_ = col;
        emit clicked();
    });
    connect(this, &QTableWidget::cellDoubleClicked, this, [this] { emit doubleClicked(); });
}

void FlexGrid::setRows(int rows) {
    settingCurrent_ = true;
    setRowCount(std::max(rows, 1) - 1);
    settingCurrent_ = false;
    row_ = std::min(row_, rowCount());
    showCurrent();
}

void FlexGrid::setCols(int cols) {
    setColumnCount(cols);
    widths_.resize(static_cast<std::size_t>(cols), PixelsToTwips(100));
    alignments_.resize(static_cast<std::size_t>(cols), TextAlign::Left);
    for (int c = 0; c < cols; ++c)
        if (!horizontalHeaderItem(c))
            setHorizontalHeaderItem(c, new QTableWidgetItem());
    col_ = std::min(col_, std::max(cols - 1, 0));
    colSel_ = std::min(colSel_, std::max(cols - 1, 0));
}

QTableWidgetItem* FlexGrid::cell(int row, int col) const {
    if (col < 0 || col >= columnCount() || row < 0 || row > rowCount())
        return nullptr;
    return row == 0 ? horizontalHeaderItem(col) : item(row - 1, col);
}

QTableWidgetItem* FlexGrid::makeCell(int row, int col) {
    if (QTableWidgetItem* existing = cell(row, col))
        return existing;
    if (row <= 0 || col < 0 || col >= columnCount() || row > rowCount())
        return nullptr;
    auto* created = new QTableWidgetItem();
    created->setTextAlignment(ToQt(alignments_[static_cast<std::size_t>(col)]));
    setItem(row - 1, col, created);
    return created;
}

QString FlexGrid::textMatrix(int row, int col) const {
    const QTableWidgetItem* found = cell(row, col);
    return found ? found->text() : QString();
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text) {
    if (QTableWidgetItem* target = makeCell(row, col))
        target->setText(text);
}

int FlexGrid::colWidth(int col) const {
    return col >= 0 && col < columnCount() ? widths_[static_cast<std::size_t>(col)] : 0;
}

void FlexGrid::setColWidth(int col, int twips) {
    if (col < 0 || col >= columnCount())
        return;
    widths_[static_cast<std::size_t>(col)] = twips;
    setColumnHidden(col, twips <= 0);
    if (twips > 0)
        setColumnWidth(col, TwipsToPixels(twips));
}

void FlexGrid::setColAlignment(int col, TextAlign alignment) {
    if (col < 0 || col >= columnCount())
        return;
    alignments_[static_cast<std::size_t>(col)] = alignment;
    for (int r = 0; r < rowCount(); ++r)
        if (QTableWidgetItem* target = item(r, col))
            target->setTextAlignment(ToQt(alignment));
}

int FlexGrid::rowHeight(int row) const {
    if (row == 0)
        return headerHeight_;
    return row > 0 && row <= rowCount() ? PixelsToTwips(QTableWidget::rowHeight(row - 1)) : 0;
}

void FlexGrid::setRowHeight(int row, int twips) {
    if (row == 0) {
        headerHeight_ = twips;
        horizontalHeader()->setFixedHeight(TwipsToPixels(twips));
    } else if (row > 0 && row <= rowCount()) {
        QTableWidget::setRowHeight(row - 1, TwipsToPixels(twips));
    }
}

int FlexGrid::colPos(int col) const {
    return PixelsToTwips(frameWidth() + columnViewportPosition(col));
}

int FlexGrid::rowPos(int row) const {
    const int top = frameWidth();
    if (row <= 0)
        return PixelsToTwips(top);
    return PixelsToTwips(top + horizontalHeader()->height() + rowViewportPosition(row - 1));
}

void FlexGrid::setRow(int row) {
    row_ = std::clamp(row, 0, rowCount());
    showCurrent();
}

void FlexGrid::setCol(int col) {
    col_ = std::clamp(col, 0, std::max(columnCount() - 1, 0));
    colSel_ = col_;
    showCurrent();
}

void FlexGrid::setColSel(int col) {
    colSel_ = std::clamp(col, 0, std::max(columnCount() - 1, 0));
    showCurrent();
}

QColor FlexGrid::cellBackColor(int row, int col) const {
    const QTableWidgetItem* found = cell(row, col);
    if (!found || row == 0)
        return QColor();
    const QVariant background = found->data(Qt::BackgroundRole);
    return background.isValid() ? background.value<QBrush>().color() : QColor();
}

void FlexGrid::setCellBackColor(int row, int col, const QColor& color) {
    QTableWidgetItem* target = makeCell(row, col);
    if (!target)
        return;
    if (color.isValid())
        target->setBackground(color);
    else
        target->setData(Qt::BackgroundRole, QVariant());
}

void FlexGrid::showCurrent() {
    settingCurrent_ = true;
    if (row_ >= 1 && col_ < columnCount()) {
        setCurrentCell(row_ - 1, col_, QItemSelectionModel::NoUpdate);
        const int first = std::min(col_, colSel_), last = std::max(col_, colSel_);
        selectionModel()->select(
            QItemSelection(model()->index(row_ - 1, first), model()->index(row_ - 1, last)),
            QItemSelectionModel::ClearAndSelect);
    } else {
        clearSelection();
    }
    settingCurrent_ = false;
}

void FlexGrid::onCurrentCellChanged(int row, int col) {
    if (settingCurrent_ || row < 0 || col < 0 || (row + 1 == row_ && col == col_))
        return;
    row_ = row + 1;
    col_ = colSel_ = col;
    emit enterCell();
}

void FlexGrid::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit keyPressed(13);
        return;
    }
    // Space on the current cell is a click on it, for those who use the keyboard.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        if (row_ >= 1 && !event->isAutoRepeat())
            emit clicked();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

} // namespace materials::ui
