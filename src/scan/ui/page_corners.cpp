#include "scan/ui/page_corners.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTransform>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

namespace scan::ui {
namespace {

constexpr double kGrab = 14; // a press this near a corner takes it (view pixels)
constexpr double kHandle = 7;

} // namespace

CornerEditor::CornerEditor(QImage shown, int photoWidth, int photoHeight, const Corners& corners,
                           int turn, QWidget* parent)
    : QWidget(parent),
      shown_(turn % 360 == 0 ? std::move(shown) : shown.transformed(QTransform().rotate(turn))),
      photoWidth_(std::max(1, photoWidth)), photoHeight_(std::max(1, photoHeight)),
      turn_(((turn % 360) + 360) % 360), corners_(corners) {
    setObjectName(QStringLiteral("cornerEditor"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    setMinimumSize(320, 320);
    setAccessibleName(QStringLiteral("页面四角"));
}

QSize CornerEditor::sizeHint() const {
    QSize s = shown_.size();
    s.scale(800, 640, Qt::KeepAspectRatio);
    return s;
}

QRectF CornerEditor::imageRect() const {
    const bool sideways = turn_ == 90 || turn_ == 270;
    const double w = sideways ? photoHeight_ : photoWidth_,
                 h = sideways ? photoWidth_ : photoHeight_;
    const double scale = std::min((width() - 2 * kHandle) / w, (height() - 2 * kHandle) / h);
    const double dw = w * scale, dh = h * scale;
    return {(width() - dw) / 2, (height() - dh) / 2, dw, dh};
}

QPointF CornerEditor::toView(Point2 p) const {
    double x = p.x, y = p.y;
    const double W = photoWidth_, H = photoHeight_;
    switch (turn_) {
    case 90:
        std::tie(x, y) = std::make_pair(H - p.y, p.x);
        break;
    case 180:
        std::tie(x, y) = std::make_pair(W - p.x, H - p.y);
        break;
    case 270:
        std::tie(x, y) = std::make_pair(p.y, W - p.x);
        break;
    default:
        break;
    }
    const QRectF r = imageRect();
    const bool sideways = turn_ == 90 || turn_ == 270;
    const double scale = r.width() / (sideways ? H : W);
    return {r.left() + x * scale, r.top() + y * scale};
}

Point2 CornerEditor::fromView(QPointF v) const {
    const QRectF r = imageRect();
    const double W = photoWidth_, H = photoHeight_;
    const bool sideways = turn_ == 90 || turn_ == 270;
    const double scale = r.width() / (sideways ? H : W);
    // Within the photo: a corner can lie on its edge, never beyond it.
    const double x = std::clamp((v.x() - r.left()) / scale, 0.0, sideways ? H : W);
    const double y = std::clamp((v.y() - r.top()) / scale, 0.0, sideways ? W : H);
    switch (turn_) {
    case 90:
        return {y, H - x};
    case 180:
        return {W - x, H - y};
    case 270:
        return {W - y, x};
    default:
        return {x, y};
    }
}

QPointF CornerEditor::cornerPosition(int i) const {
    return toView(corners_[static_cast<std::size_t>(i)]);
}

void CornerEditor::moveCorner(int i, QPointF viewPosition) {
    corners_[static_cast<std::size_t>(i)] = fromView(viewPosition);
    update();
}

void CornerEditor::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().window());
    p.drawImage(imageRect(), shown_);
    QPainterPath outline;
    outline.moveTo(cornerPosition(0));
    for (int i = 1; i < 4; ++i)
        outline.lineTo(cornerPosition(i));
    outline.closeSubpath();
    p.setPen(QPen(QColor(0, 160, 255), 2));
    p.drawPath(outline);
    for (int i = 0; i < 4; ++i) {
        const bool current = i == current_ && hasFocus();
        p.setPen(QPen(current ? Qt::red : QColor(0, 160, 255), current ? 3 : 2));
        p.setBrush(QColor(255, 255, 255, 160));
        p.drawEllipse(cornerPosition(i), kHandle, kHandle);
    }
}

void CornerEditor::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    int nearest = -1;
    double best = kGrab;
    for (int i = 0; i < 4; ++i) {
        const QPointF d = cornerPosition(i) - event->position();
        const double distance = std::hypot(d.x(), d.y());
        if (distance <= best) {
            best = distance;
            nearest = i;
        }
    }
    dragging_ = nearest;
    if (nearest >= 0) {
        current_ = nearest;
        update();
    }
}

void CornerEditor::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ >= 0 && (event->buttons() & Qt::LeftButton))
        moveCorner(dragging_, event->position());
}

void CornerEditor::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_ >= 0 && event->button() == Qt::LeftButton) {
        moveCorner(dragging_, event->position());
        dragging_ = -1;
    }
}

void CornerEditor::keyPressEvent(QKeyEvent* event) {
    const double step = (event->modifiers() & Qt::ShiftModifier) ? 10 : 1;
    QPointF d;
    switch (event->key()) {
    case Qt::Key_Left:
        d = {-step, 0};
        break;
    case Qt::Key_Right:
        d = {step, 0};
        break;
    case Qt::Key_Up:
        d = {0, -step};
        break;
    case Qt::Key_Down:
        d = {0, step};
        break;
    default:
        return QWidget::keyPressEvent(event); // Esc and the rest go to the dialog
    }
    moveCorner(current_, cornerPosition(current_) + d);
}

// Tab walks the corners, then leaves; Shift+Tab leaves at once.
bool CornerEditor::focusNextPrevChild(bool next) {
    if (next && current_ < 3) {
        ++current_;
        update();
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void CornerEditor::focusInEvent(QFocusEvent* event) {
    current_ = 0;
    QWidget::focusInEvent(event);
    update();
}

PageCornersDialog::PageCornersDialog(QImage shown, int photoWidth, int photoHeight,
                                     const Corners& corners, int turn, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("PageCornersDialog"));
    setWindowTitle(QStringLiteral("调整页面"));
    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(QStringLiteral("拖动四个角对准页面的四角；也可以按 Tab 选择一个角，"
                                           "用方向键移动（按住 Shift 移动更快）。"),
                            this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    editor_ = new CornerEditor(std::move(shown), photoWidth, photoHeight, corners, turn, this);
    layout->addWidget(editor_, 1);
    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ok"));
    auto* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    editor_->setFocus();
}

} // namespace scan::ui
