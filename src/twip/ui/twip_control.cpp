#include "twip/ui/twip_widgets.h"
#include "twip/ui/twipform.h"

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

using namespace widgets;

// ---- Control -------------------------------------------------------------

Control::Control(TwipForm* form, ControlKind kind, QString name, int index, Control* container)
    : form_(form), kind_(kind), name_(std::move(name)), index_(index), container_(container),
      borderStyle_(DefaultBorderStyle(kind)) {}

Control::~Control() {
    if (widget_)
        delete widget_.data();
}

bool Control::isContainer() const {
    return kind_ == ControlKind::PictureBox || kind_ == ControlKind::Frame;
}

void Control::setLeft(int twips) {
    setRect({twips, rect_.top, rect_.width, rect_.height});
}
void Control::setTop(int twips) {
    setRect({rect_.left, twips, rect_.width, rect_.height});
}
void Control::setWidth(int twips) {
    setRect({rect_.left, rect_.top, twips, rect_.height});
}
void Control::setHeight(int twips) {
    setRect({rect_.left, rect_.top, rect_.width, twips});
}

void Control::setRect(const TwipRect& rect) {
    rect_ = rect;
    if (kind_ == ControlKind::Line)
        line_ = {rect.left, rect.top, rect.left + rect.width, rect.top + rect.height};
    applyGeometry();
}

void Control::setLine(const TwipLine& line) {
    line_ = line;
    rect_ = {std::min(line.x1, line.x2), std::min(line.y1, line.y2), std::abs(line.x2 - line.x1),
             std::abs(line.y2 - line.y1)};
    applyGeometry();
}

void Control::applyGeometry() {
    if (!widget_)
        return;
    if (kind_ != ControlKind::Line) {
        widget_->setGeometry(TwipsToPixels(rect_.left), TwipsToPixels(rect_.top),
                             TwipsToPixels(rect_.width), TwipsToPixels(rect_.height));
        return;
    }
    auto* lineWidget = static_cast<LineWidget*>(widget_.data());
    const int pad = std::max(1, borderWidth_);
    const QPoint p1(TwipsToPixels(line_.x1), TwipsToPixels(line_.y1));
    const QPoint p2(TwipsToPixels(line_.x2), TwipsToPixels(line_.y2));
    const QPoint origin(std::min(p1.x(), p2.x()) - pad, std::min(p1.y(), p2.y()) - pad);
    lineWidget->from = p1 - origin;
    lineWidget->to = p2 - origin;
    lineWidget->setGeometry(origin.x(), origin.y(), std::abs(p2.x() - p1.x()) + 2 * pad + 1,
                            std::abs(p2.y() - p1.y()) + 2 * pad + 1);
    lineWidget->update();
}

void Control::setVisible(bool visible) {
    visible_ = visible;
    if (widget_)
        widget_->setVisible(visible);
}

bool Control::enabled() const {
    return widget_ && !widget_->testAttribute(Qt::WA_Disabled);
}

void Control::setEnabled(bool enabled) {
    if (widget_)
        widget_->setEnabled(enabled);
}

bool Control::locked() const {
    if (auto* edit = as<QLineEdit>())
        return edit->isReadOnly();
    if (auto* edit = as<QPlainTextEdit>())
        return edit->isReadOnly();
    return false;
}

void Control::setLocked(bool locked) {
    if (auto* edit = as<QLineEdit>())
        edit->setReadOnly(locked);
    else if (auto* edit = as<QPlainTextEdit>())
        edit->setReadOnly(locked);
}

QString Control::text() const {
    if (auto* label = as<QLabel>())
        return kind_ == ControlKind::Label ? caption_ : label->text();
    if (auto* edit = as<QLineEdit>())
        return edit->text();
    if (auto* edit = as<QPlainTextEdit>())
        return ToCrLf(edit->toPlainText());
    if (auto* combo = as<QComboBox>())
        return combo->currentText();
    if (auto* button = as<QAbstractButton>())
        return button->text();
    if (auto* frame = as<QGroupBox>())
        return frame->title();
    return {};
}

void Control::setText(const QString& text) {
    if (auto* label = as<QLabel>()) {
        // The caption is kept as given; the label shows it broken into lines
        // at CR LF, CR or LF, so that a caption written with carriage returns
        // alone breaks as well.
        caption_ = text;
        const std::string lines = util::JoinCaptionLines(text.toStdString(), "\n");
        label->setText(QString::fromStdString(lines));
        fitToText();
    } else if (auto* edit = as<QLineEdit>())
        edit->setText(text);
    else if (auto* edit = as<QPlainTextEdit>())
        edit->setPlainText(FromCrLf(text));
    else if (auto* combo = as<QComboBox>()) {
        const int found = combo->findText(text);
        if (found >= 0)
            combo->setCurrentIndex(found);
        else if (combo->isEditable())
            combo->setEditText(text);
    } else if (auto* button = as<QAbstractButton>())
        button->setText(text);
    else if (auto* frame = as<QGroupBox>())
        frame->setTitle(text);
}

void Control::setFont(const FontSpec& font) {
    font_ = font;
    if (widget_)
        widget_->setFont(MakeFont(font_));
    fitToText();
}

void Control::setAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    if (auto* label = as<QLabel>())
        label->setWordWrap(!autoSize);
    fitToText();
}

void Control::fitToText() {
    auto* label = as<QLabel>();
    if (!autoSize_ || !label)
        return;
    const QSize size = label->sizeHint();
    setRect({rect_.left, rect_.top, PixelsToTwips(size.width()), PixelsToTwips(size.height())});
}

void Control::setFontName(const QString& name) {
    FontSpec f = font_;
    f.name = name;
    setFont(f);
}

void Control::setFontSize(double points) {
    FontSpec f = font_;
    f.size = points;
    setFont(f);
}

void Control::setFontBold(bool bold) {
    FontSpec f = font_;
    f.bold = bold;
    setFont(f);
}

void Control::setForeColor(const QColor& color) {
    foreColor_ = color;
    applyColors();
}

void Control::setBackColor(const QColor& color) {
    backColor_ = color;
    applyColors();
}

void Control::applyColors() {
    if (!widget_)
        return;
    QPalette palette = widget_->palette();
    // Disabled controls keep the style's grey text so that they look disabled.
    for (auto group : {QPalette::Active, QPalette::Inactive})
        for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            palette.setColor(group, role, foreColor_);
    if (backColor_.isValid()) {
        for (auto role : {QPalette::Window, QPalette::Button, QPalette::Base})
            palette.setColor(role, backColor_);
    }
    widget_->setPalette(palette);
    const bool fills = backColor_.isValid() && kind_ != ControlKind::TextBox &&
                       kind_ != ControlKind::ComboBox && kind_ != ControlKind::CommandButton;
    widget_->setAutoFillBackground(fills);
}

void Control::setAlignment(TextAlign alignment) {
    alignment_ = alignment;
    if (auto* label = as<QLabel>())
        label->setAlignment(ToQt(alignment) | Qt::AlignTop);
    else if (auto* edit = as<QLineEdit>())
        edit->setAlignment(ToQt(alignment) | Qt::AlignVCenter);
}

void Control::setBorderStyle(int style) {
    borderStyle_ = style;
    if (auto* edit = as<QLineEdit>())
        edit->setFrame(style != 0);
    else if (auto* edit = as<QPlainTextEdit>())
        edit->setFrameStyle(style != 0 ? QFrame::StyledPanel | QFrame::Sunken : QFrame::NoFrame);
    else if (kind_ == ControlKind::Label || kind_ == ControlKind::PictureBox) {
        if (auto* frame = as<QFrame>())
            frame->setFrameStyle(style != 0 ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
    }
}

void Control::setBorderColor(const QColor& color) {
    borderColor_ = color;
    if (auto* line = dynamic_cast<LineWidget*>(widget_.data())) {
        line->color = color;
        line->update();
    } else if (auto* shape = dynamic_cast<ShapeWidget*>(widget_.data())) {
        shape->color = color;
        shape->update();
    }
}

void Control::setBorderWidth(int pixels) {
    borderWidth_ = pixels;
    if (auto* line = dynamic_cast<LineWidget*>(widget_.data())) {
        line->penWidth = pixels;
        applyGeometry();
    } else if (auto* shape = dynamic_cast<ShapeWidget*>(widget_.data())) {
        shape->penWidth = pixels;
        shape->update();
    }
}

void Control::setFillColor(const QColor& color) {
    fillColor_ = color;
    if (auto* shape = dynamic_cast<ShapeWidget*>(widget_.data())) {
        shape->fill = color;
        shape->update();
    }
}

bool Control::checked() const {
    auto* button = as<QAbstractButton>();
    return button && button->isCheckable() && button->isChecked();
}

void Control::setChecked(bool checked) {
    if (auto* button = as<QAbstractButton>(); button && button->isCheckable())
        button->setChecked(checked);
}

void Control::clearItems() {
    if (auto* combo = as<QComboBox>())
        combo->clear();
}

void Control::addItem(const QString& item) {
    if (auto* combo = as<QComboBox>())
        combo->addItem(item);
}

int Control::listCount() const {
    auto* combo = as<QComboBox>();
    return combo ? combo->count() : 0;
}

QString Control::listItem(int i) const {
    auto* combo = as<QComboBox>();
    return combo ? combo->itemText(i) : QString();
}

int Control::listIndex() const {
    auto* combo = as<QComboBox>();
    return combo ? combo->currentIndex() : -1;
}

void Control::setListIndex(int i) {
    if (auto* combo = as<QComboBox>())
        combo->setCurrentIndex(i);
}

void Control::setEditable(bool editable) {
    if (auto* combo = as<QComboBox>())
        combo->setEditable(editable);
}

void Control::setOnClick(std::function<void()> handler) {
    if (auto* label = dynamic_cast<ClickableLabel*>(widget_.data()))
        label->onClick = std::move(handler);
    else if (auto* picture = dynamic_cast<PictureBoxWidget*>(widget_.data()))
        picture->onClick = std::move(handler);
    else if (auto* button = as<QAbstractButton>()) {
        QObject::disconnect(button, &QAbstractButton::clicked, nullptr, nullptr);
        if (handler)
            QObject::connect(button, &QAbstractButton::clicked, button,
                             [h = std::move(handler)] { h(); });
    }
}

void Control::setLink(bool link) {
    auto* label = dynamic_cast<ClickableLabel*>(widget_.data());
    if (!label)
        return;
    label->link = link;
    // Tab reaches it; a click does not move the focus, so that a click on a
    // link never counts as a loss of focus of what the link shows.
    label->setFocusPolicy(link ? Qt::TabFocus : Qt::NoFocus);
    if (link)
        label->setCursor(Qt::PointingHandCursor);
    else
        label->unsetCursor();
    label->update();
}

bool Control::isLink() const {
    const auto* label = dynamic_cast<const ClickableLabel*>(widget_.data());
    return label && label->link;
}

void Control::setOnPaint(std::function<void(QPainter&)> handler) {
    if (auto* picture = dynamic_cast<PictureBoxWidget*>(widget_.data()))
        picture->onPaint = std::move(handler);
    else if (auto* frame = dynamic_cast<FrameWidget*>(widget_.data()))
        frame->onPaint = std::move(handler);
    if (widget_)
        widget_->update();
}

std::vector<Control*> Control::children() const {
    return form_->controlsOf(this);
}

void Control::copyPropertiesFrom(const Control& other) {
    tag_ = other.tag_;
    if (kind_ == ControlKind::Line)
        setLine(other.line_);
    else
        setRect(other.rect_);
    setFont(other.font_);
    foreColor_ = other.foreColor_;
    backColor_ = other.backColor_;
    applyColors();
    setAlignment(other.alignment_);
    setAutoSize(other.autoSize_);
    setBorderStyle(other.borderStyle_);
    setBorderColor(other.borderColor_);
    setBorderWidth(other.borderWidth_);
    setFillColor(other.fillColor_);
    setLocked(other.locked());
    setEnabled(other.enabled());
    if (kind_ != ControlKind::TextBox && kind_ != ControlKind::ComboBox)
        setText(other.text());
}

} // namespace twip::ui
