#pragma once
// A grid in the manner of the windows' flex grids: rows counted with the fixed
// header row as row 0, per-cell text and background, column widths and row
// heights in twips (width 0 hides a column), a current cell with a selection
// that may reach further right, a tooltip and suspended redrawing.
//
// The arrow keys move the current cell; Tab leaves the grid.
//
// Setting the current cell from code raises no event; the user's actions do:
// enterCell when the current cell changes, clicked (also by Space on the
// current cell), doubleClicked and keyPressed (with the character code: 13
// for Enter).

#include "twip/ui/twipform.h"

#include <QColor>
#include <QTableWidget>

namespace materials::ui {

class FlexGrid final : public QTableWidget {
    Q_OBJECT
  public:
    explicit FlexGrid(QWidget* parent = nullptr);

    int rows() const { return rowCount() + 1; }
    void setRows(int rows);
    int cols() const { return columnCount(); }
    void setCols(int cols);

    QString textMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);

    int colWidth(int col) const;
    void setColWidth(int col, int twips);
    void setColAlignment(int col, twip::ui::TextAlign alignment);
    int rowHeight(int row) const;
    void setRowHeight(int row, int twips);
    // Left edge of a column and top edge of a row in twips, relative to the grid.
    int colPos(int col) const;
    int rowPos(int row) const;

    int row() const { return row_; }
    int col() const { return col_; }
    int colSel() const { return colSel_; }
    void setRow(int row);
    void setCol(int col);
    void setColSel(int col);

    QColor cellBackColor(int row, int col) const; // invalid: the grid's own background
    void setCellBackColor(int row, int col, const QColor& color);

    void setRedraw(bool redraw) { setUpdatesEnabled(redraw); }

  signals:
    void enterCell();
    void clicked();
    void doubleClicked();
    void keyPressed(int code);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QTableWidgetItem* cell(int row, int col) const;
    QTableWidgetItem* makeCell(int row, int col);
    void showCurrent();
    void onCurrentCellChanged(int row, int col);

    int row_ = 0;
    int col_ = 0;
    int colSel_ = 0;
    bool settingCurrent_ = false;
    std::vector<int> widths_;
    std::vector<twip::ui::TextAlign> alignments_;
    int headerHeight_ = 0;
};

} // namespace materials::ui
