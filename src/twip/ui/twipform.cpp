#include "twip/ui/twipform.h"
#include "twip/ui/twip_widgets.h"

#include "platform/prompter.h"
#include "util/line_breaks.h"
#include "util/ui/fonts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace twip::ui {

int StoredTextLength(const QString& text) {
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++count) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i] == QChar::ParagraphSeparator ||
                 (text[i] == QLatin1Char('\n') && (i == 0 || text[i - 1] != QLatin1Char('\r'))))
            ++count;
    }
    return count;
}

double TwipsPerPixel() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

int TwipsToPixels(int twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixel()));
}

int PixelsToTwips(int pixels) {
    return static_cast<int>(std::lround(pixels * TwipsPerPixel()));
}

QFont MakeFont(const FontSpec& wanted) {
    QFont font(util::ui::InstalledFamily(wanted.name));
    font.setPointSizeF(wanted.size > 0 ? wanted.size : 9.0);
    font.setBold(wanted.bold);
    font.setItalic(wanted.italic);
    font.setUnderline(wanted.underline);
    return font;
}

using namespace widgets;

// ---- TwipForm ------------------------------------------------------------

TwipForm::TwipForm(QWidget* parent) : QDialog(parent), canvas_(new FormCanvas(this)) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(MakeFont(FontSpec{}));
}

TwipForm::~TwipForm() {
    while (!controls_.empty())
        controls_.pop_back();
}

QWidget* TwipForm::containerWidget(const Control* container) {
    return container ? container->widget() : canvas_;
}

Control& TwipForm::insert(std::unique_ptr<Control> control) {
    const bool isArray = control->index_ >= 0;
    for (const auto& existing : controls_) {
        if (existing->name_ != control->name_)
            continue;
        if (existing->isArrayElement() != isArray || existing->index_ == control->index_)
            throw std::invalid_argument("control exists: " + control->name_.toStdString());
    }
    controls_.push_back(std::move(control));
    return *controls_.back();
}

Control& TwipForm::add(ControlKind kind, const QString& name, const TwipRect& rect,
                       Control* container, int index) {
    if (container && !container->isContainer())
        throw std::invalid_argument("not a container: " + container->name().toStdString());
    Control& control =
        insert(std::unique_ptr<Control>(new Control(this, kind, name, index, container)));
    QWidget* widget = CreateWidget(kind, control.multiLine_, containerWidget(container));
    widget->setObjectName(index >= 0 ? name + QLatin1Char('_') + QString::number(index) : name);
    widget->setProperty("quillorGraphical", IsGraphical(kind));
    widget->setFont(MakeFont(control.font_));
    control.widget_ = widget;
    control.setBorderStyle(control.borderStyle_);
    control.applyColors();
    if (kind == ControlKind::Line)
        control.setLine({rect.left, rect.top, rect.left + rect.width, rect.top + rect.height});
    else
        control.setRect(rect);
    Stack(widget, kind);
    widget->setVisible(true);
    return control;
}

Control& TwipForm::addLine(const QString& name, const TwipLine& line, Control* container,
                           int index) {
    Control& control = add(ControlKind::Line, name, {}, container, index);
    control.setLine(line);
    return control;
}

Control& TwipForm::addMultiLineTextBox(const QString& name, const TwipRect& rect,
                                       Control* container, int index) {
    if (container && !container->isContainer())
        throw std::invalid_argument("not a container: " + container->name().toStdString());
    Control& control = insert(
        std::unique_ptr<Control>(new Control(this, ControlKind::TextBox, name, index, container)));
    control.multiLine_ = true;
    auto* edit = NewMultiLineEdit(containerWidget(container));
    edit->setObjectName(index >= 0 ? name + QLatin1Char('_') + QString::number(index) : name);
    edit->setFont(MakeFont(control.font_));
    control.widget_ = edit;
    control.applyColors();
    control.setRect(rect);
    Stack(edit, ControlKind::TextBox);
    edit->setVisible(true);
    return control;
}

Control& TwipForm::adopt(QWidget* widget, const QString& name, const TwipRect& rect,
                         Control* container, int index) {
    if (container && !container->isContainer())
        throw std::invalid_argument("not a container: " + container->name().toStdString());
    Control& control = insert(
        std::unique_ptr<Control>(new Control(this, ControlKind::Custom, name, index, container)));
    widget->setParent(containerWidget(container));
    widget->setObjectName(index >= 0 ? name + QLatin1Char('_') + QString::number(index) : name);
    widget->setFont(MakeFont(control.font_));
    control.widget_ = widget;
    control.setRect(rect);
    Stack(widget, ControlKind::Custom);
    widget->setVisible(true);
    return control;
}

Control* TwipForm::find(const QString& name, int index) const {
    for (const auto& control : controls_)
        if (control->name_ == name && control->index_ == index)
            return control.get();
    return nullptr;
}

Control& TwipForm::control(const QString& name, int index) const {
    if (Control* found = find(name, index))
        return *found;
    throw std::out_of_range("no control " + name.toStdString() + "(" + std::to_string(index) + ")");
}

std::vector<int> TwipForm::arrayIndexes(const QString& name) const {
    std::vector<int> indexes;
    for (const auto& control : controls_)
        if (control->name_ == name && control->index_ >= 0)
            indexes.push_back(control->index_);
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

Control& TwipForm::load(const QString& name, int index) {
    const std::vector<int> indexes = arrayIndexes(name);
    if (indexes.empty())
        throw std::invalid_argument("no control array " + name.toStdString());
    if (index < 0 || std::binary_search(indexes.begin(), indexes.end(), index))
        throw std::invalid_argument("element already loaded: " + name.toStdString());
    const Control& model = control(name, indexes.front());
    if (model.kind_ == ControlKind::Custom)
        throw std::invalid_argument("cannot copy " + name.toStdString());
    Control& element = model.multiLine_
                           ? addMultiLineTextBox(name, model.rect_, model.container_, index)
                           : add(model.kind_, name, model.rect_, model.container_, index);
    element.copyPropertiesFrom(model);
    element.setVisible(false);
    return element;
}

void TwipForm::unload(const QString& name, int index) {
    Control* target = find(name, index);
    if (!target || index < 0)
        throw std::invalid_argument("no loaded element " + name.toStdString());
    // Controls inside an unloaded container go with it.
    std::vector<const Control*> doomed{target};
    for (const auto& control : controls_)
        if (std::any_of(doomed.begin(), doomed.end(),
                        [&](const Control* d) { return control->container_ == d; }))
            doomed.push_back(control.get());
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it)
        std::erase_if(controls_, [&](const auto& c) { return c.get() == *it; });
}

std::vector<Control*> TwipForm::controlsOf(const Control* container) const {
    std::vector<Control*> result;
    for (const auto& control : controls_)
        if (control->container_ == container)
            result.push_back(control.get());
    return result;
}

std::vector<Control*> TwipForm::allControls() const {
    std::vector<Control*> result;
    for (const auto& control : controls_)
        result.push_back(control.get());
    return result;
}

void TwipForm::setClientSize(int widthTwips, int heightTwips) {
    const QSize size(TwipsToPixels(widthTwips), TwipsToPixels(heightTwips));
    clientSize_ = size;
    unwrap(); // laid out afresh: the fitting decides again whether it scrolls
    canvas_->resize(size);
    if (resizable_) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        resize(size);
    } else {
        setFixedSize(size);
    }
    if (isVisible())
        fitToScreen();
}

int TwipForm::scaleWidth() const {
    return PixelsToTwips(canvas_->width());
}
int TwipForm::scaleHeight() const {
    return PixelsToTwips(canvas_->height());
}

void TwipForm::setResizable(bool resizable) {
    resizable_ = resizable;
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowMaximizeButtonHint, resizable);
    setWindowFlags(flags);
    setClientSize(scaleWidth(), scaleHeight());
}

void TwipForm::setOnPaint(std::function<void(QPainter&)> handler) {
    static_cast<FormCanvas*>(canvas_)->onPaint = std::move(handler);
    canvas_->update();
}

QSize TwipForm::FrameAllowance() {
    // A title bar and the borders of a common window frame.
    return {TwipsToPixels(120), TwipsToPixels(420)};
}

void TwipForm::fitToArea(const QSize& available) {
    const QSize frame = FrameAllowance();
    const QSize room(std::max(1, available.width() - frame.width()),
                     std::max(1, available.height() - frame.height()));
    if (resizable_) {
        if (width() > room.width() || height() > room.height()) {
            resize(std::min(width(), room.width()), std::min(height(), room.height()));
            canvas_->resize(size()); // at once, also while the form is hidden
        }
        return;
    }
    const QSize design = clientSize_.isValid() ? clientSize_ : canvas_->size();
    if (design.width() <= room.width() && design.height() <= room.height()) {
        if (scroll_) {
            unwrap();
            setFixedSize(design);
        }
        return;
    }
    if (!scroll_) {
        scroll_ = new QScrollArea(this);
        scroll_->setObjectName(QStringLiteral("TwipScroll"));
        scroll_->setFrameShape(QFrame::NoFrame);
        scroll_->setFocusPolicy(Qt::NoFocus);
        scroll_->setWidgetResizable(false);
        scroll_->viewport()->setAutoFillBackground(false);
        scroll_->setWidget(canvas_); // the canvas keeps its designed size
        canvas_->setAutoFillBackground(false);
        scroll_->show();
        // Whatever gets the focus, by Tab, by a form's own keys or by the
        // program, is scrolled into view.
        connect(qApp, &QApplication::focusChanged, scroll_, [this](QWidget*, QWidget* now) {
            if (scroll_ && now && canvas_->isAncestorOf(now))
                scroll_->ensureWidgetVisible(now, 8, 8);
        });
    }
    const int bar = scroll_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_);
    bool vertical = design.height() > room.height();
    const bool horizontal = design.width() + (vertical ? bar : 0) > room.width();
    vertical = vertical || design.height() + (horizontal ? bar : 0) > room.height();
    const QSize size(std::min(room.width(), design.width() + (vertical ? bar : 0)),
                     std::min(room.height(), design.height() + (horizontal ? bar : 0)));
    setFixedSize(size);
    scroll_->setGeometry(rect());
}

void TwipForm::unwrap() {
    if (!scroll_)
        return;
    scroll_->takeWidget();
    canvas_->setParent(this);
    canvas_->move(0, 0);
    canvas_->resize(clientSize_);
    canvas_->show();
    delete scroll_;
    scroll_ = nullptr;
}

void TwipForm::fitToScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    fitToArea(available.size());
    placeWithin(available);
}

// Keeps the whole window, frame included, inside the free area of the screen.
void TwipForm::placeWithin(const QRect& available) {
    const QSize outer = size() + FrameAllowance();
    const auto clamp = [](int at, int low, int extent, int room) {
        return extent >= room ? low : std::clamp(at, low, low + room - extent);
    };
    const QPoint at(clamp(x(), available.x(), outer.width(), available.width()),
                    clamp(y(), available.y(), outer.height(), available.height()));
    if (at != pos())
        move(at);
}

void TwipForm::centreOnScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void TwipForm::placeUpperThird() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 3);
}

void TwipForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (scroll_)
        scroll_->setGeometry(rect());
    else
        canvas_->resize(size());
}

void TwipForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    fitToScreen();
}

void TwipForm::keyPressEvent(QKeyEvent* event) {
    // Escape closes a form only where the form says what it means there;
    // Enter presses no button by itself (the focused button takes it).
    if (event->key() == Qt::Key_Escape) {
        if (escapeAction_ && event->modifiers() == Qt::NoModifier) {
            event->accept();
            escapeAction_();
        } else {
            event->ignore();
        }
        return;
    }
    // Controls that keep Tab for themselves leave with Ctrl+Tab.
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && (event->modifiers() & Qt::ControlModifier)) {
        event->accept();
        focusNextPrevChild(event->key() == Qt::Key_Tab &&
                           !(event->modifiers() & Qt::ShiftModifier));
        return;
    }
    QDialog::keyPressEvent(event);
}

void SetMultiLineLimit(Control& box, int chars) {
    if (auto* edit = dynamic_cast<LimitedPlainTextEdit*>(box.widget()))
        edit->setLimit(chars);
}

} // namespace twip::ui
