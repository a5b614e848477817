#pragma once
// "调整页面...": the photo of a page in a larger view with the four corners
// of the page. A corner is dragged with the mouse, or moved with the arrow
// keys (Shift: ten times as far) after Tab has chosen it; Tab after the
// fourth corner, Shift+Tab and Esc leave the view, so the keyboard is never
// held in it. "确定" takes the corners, "取消" (Esc) leaves them as they were.

#include "scan/photo.h"

#include <QDialog>
#include <QImage>
#include <QWidget>

namespace scan::ui {

// The view with the corners. Corners are in the photo's stored pixels
// (`photoWidth` x `photoHeight`); the view shows the photo turned by `turn`
// (its EXIF turn, clockwise) as the applicant sees it.
class CornerEditor final : public QWidget {
    Q_OBJECT
  public:
    CornerEditor(QImage shown, int photoWidth, int photoHeight, const Corners& corners, int turn,
                 QWidget* parent = nullptr);

    const Corners& corners() const { return corners_; }
    int currentCorner() const { return current_; }
    // Where corner i is drawn, in the view's coordinates.
    QPointF cornerPosition(int i) const;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    QRectF imageRect() const;
    // Stored photo pixels <-> view coordinates.
    QPointF toView(Point2 p) const;
    Point2 fromView(QPointF p) const;
    void moveCorner(int i, QPointF viewPosition);

    QImage shown_;
    int photoWidth_, photoHeight_, turn_;
    Corners corners_;
    int current_ = 0;
    int dragging_ = -1;
};

class PageCornersDialog final : public QDialog {
    Q_OBJECT
  public:
    PageCornersDialog(QImage shown, int photoWidth, int photoHeight, const Corners& corners,
                      int turn, QWidget* parent = nullptr);
    CornerEditor* editor() const { return editor_; }
    const Corners& corners() const { return editor_->corners(); }

  private:
    CornerEditor* editor_ = nullptr;
};

} // namespace scan::ui
