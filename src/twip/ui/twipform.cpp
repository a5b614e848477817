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

namespace {

// Painter whose unit is one twip.
void ScaleToTwips(QPainter& painter) {
    const double scale = 1.0 / TwipsPerPixel();
    painter.scale(scale, scale);
}

// Enter and Return, alone or from the keypad.
bool IsEnterKey(const QKeyEvent& event) {
    return (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) &&
           (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

// A click on a control with a click handler of its own is that control's
// click only: it is not passed on to the container or the form beneath, whose
// own click handlers would otherwise run as well.
bool ReleaseClicks(QWidget& widget, QMouseEvent* event, const std::function<void()>& onClick) {
    if (!onClick)
        return false;
    event->accept();
    return event->button() == Qt::LeftButton && widget.rect().contains(event->position().toPoint());
}

// Widgets of the layer that have no click or paint hook of their own in Qt.
class ClickableLabel final : public QLabel {
  public:
    using QLabel::QLabel;
    std::function<void()> onClick;
    bool link = false;

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        if (ReleaseClicks(*this, event, onClick))
            onClick();
    }

    void keyPressEvent(QKeyEvent* event) override {
        const bool space = event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier;
        if (link && onClick && (IsEnterKey(*event) || space)) {
            event->accept();
            if (!event->isAutoRepeat())
                onClick();
            return;
        }
        QLabel::keyPressEvent(event);
    }

    void paintEvent(QPaintEvent* event) override {
        paintCaption(event);
        if (!link || !hasFocus())
            return;
        QPainter painter(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }

  private:
    // The windows were designed for faces whose line is about one em high.
    // Some faces standing in for them (the Noto CJK ones) add a large line gap
    // above the characters, which would push the text out of a label sized for
    // the original face: such faces are set with the compact line instead.
    void paintCaption(QPaintEvent* event) {
        const QFontMetricsF metrics(font());
        const qreal em = QFontInfo(font()).pixelSize();
        const qreal compactSpacing = std::ceil(em * kCompactLineEms);
        if (text().isEmpty() || metrics.lineSpacing() <= compactSpacing) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        drawFrame(&painter);
        painter.setPen(
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
        const QRectF box = contentsRect();
        const qreal baseline = std::min(metrics.ascent(), em * kCompactAscentEms);
        QTextOption option(alignment() & Qt::AlignHorizontal_Mask);
        option.setWrapMode(wordWrap() ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                      : QTextOption::NoWrap);
        qreal top = box.top();
        for (const QString& paragraph : text().split(QLatin1Char('\n'))) {
            QTextLayout layout(paragraph, font(), this);
            layout.setTextOption(option);
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(box.width());
                line.setPosition(QPointF(0, top + baseline - line.ascent()));
                top += compactSpacing;
            }
            layout.endLayout();
            layout.draw(&painter, QPointF(box.left(), 0));
        }
    }

    static constexpr qreal kCompactLineEms = 1.2;
    static constexpr qreal kCompactAscentEms = 0.95;
};

class PictureBoxWidget final : public QFrame {
  public:
    using QFrame::QFrame;
    std::function<void()> onClick;
    std::function<void(QPainter&)> onPaint;

  protected:
    void paintEvent(QPaintEvent* event) override {
        if (onPaint) {
            QPainter painter(this);
            ScaleToTwips(painter);
            onPaint(painter);
        }
        QFrame::paintEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        QFrame::mouseReleaseEvent(event);
        if (ReleaseClicks(*this, event, onClick))
            onClick();
    }
};

// Command buttons are pressed with Enter as well as with Space, as users of
// such windows expect; Enter presses only the button that has the focus.
class CommandButtonWidget final : public QPushButton {
  public:
    explicit CommandButtonWidget(QWidget* parent) : QPushButton(parent) { setAutoDefault(false); }

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (!IsEnterKey(*event)) {
            QPushButton::keyPressEvent(event);
            return;
        }
        event->accept();
        if (!event->isAutoRepeat())
            click();
    }
};

// The client area of a form: the controls that lie on the form itself are
// its children, and it paints the form's own picture. It is transparent, as
// is the scroll area that may hold it: the form itself is still painted (and
// sees its paint events) beneath.
class FormCanvas final : public QWidget {
  public:
    explicit FormCanvas(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("TwipCanvas"));
    }
    std::function<void(QPainter&)> onPaint;

  protected:
    void paintEvent(QPaintEvent*) override {
        if (!onPaint)
            return;
        QPainter painter(this);
        ScaleToTwips(painter);
        onPaint(painter);
    }
};

class FrameWidget final : public QGroupBox {
  public:
    using QGroupBox::QGroupBox;
    std::function<void(QPainter&)> onPaint;

  protected:
    void paintEvent(QPaintEvent* event) override {
        if (onPaint) {
            QPainter painter(this);
            ScaleToTwips(painter);
            onPaint(painter);
        }
        QGroupBox::paintEvent(event);
    }
};

// Draws a line from `from` to `to` (pixels, widget coordinates).
class LineWidget final : public QWidget {
  public:
    explicit LineWidget(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    QPoint from, to;
    QColor color = Qt::black;
    int penWidth = 1;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(QPen(color, penWidth));
        painter.drawLine(from, to);
    }
};

class ShapeWidget final : public QWidget {
  public:
    explicit ShapeWidget(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    QColor color = Qt::black;
    QColor fill;
    int penWidth = 1;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (fill.isValid())
            painter.fillRect(rect(), fill);
        if (penWidth <= 0)
            return;
        painter.setPen(QPen(color, penWidth));
        const int inset = penWidth / 2;
        painter.drawRect(rect().adjusted(inset, inset, -inset - 1, -inset - 1));
    }
};

// A multi-line text box that keeps a maximum length, as QLineEdit does.
class LimitedPlainTextEdit final : public QPlainTextEdit {
  public:
    using QPlainTextEdit::QPlainTextEdit;
    void setLimit(int chars) { limit_ = chars; }

  protected:
    void keyPressEvent(QKeyEvent* e) override {
        const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
        const QString typed = enter ? QStringLiteral("\n") : e->text();
        const bool inserts =
            !typed.isEmpty() && std::all_of(typed.begin(), typed.end(), [](QChar c) {
                return c.isPrint() || c == QLatin1Char('\n') || c == QLatin1Char('\t');
            });
        if (inserts && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
            fitting(typed).size() < typed.size())
            return; // no room: the key is refused
        QPlainTextEdit::keyPressEvent(e);
    }
    void inputMethodEvent(QInputMethodEvent* e) override {
        if (!e->commitString().isEmpty())
            e->setCommitString(fitting(e->commitString()), e->replacementStart(),
                               e->replacementLength());
        QPlainTextEdit::inputMethodEvent(e);
    }
    // A paste (or a drop) beyond the limit is cut, and the applicant told how
    // many characters were left out.
    void insertFromMimeData(const QMimeData* source) override {
        if (limit_ <= 0 || !source->hasText()) {
            QPlainTextEdit::insertFromMimeData(source);
            return;
        }
        QString text = source->text();
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        const QString fitted = fitting(text);
        insertPlainText(fitted);
        const int left = CharacterCount(text) - CharacterCount(fitted);
        if (left > 0)
            platform::Notify("粘贴的内容超出本栏的长度限制（" + std::to_string(limit_) +
                                 "个字），末尾有" + std::to_string(left) + "个字未粘贴。",
                             "提示", platform::MsgIcon::Information);
    }
    static int CharacterCount(const QString& text) {
        return static_cast<int>(text.toUcs4().size());
    }

  private:
    // The start of `text` that fits in place of the selection.
    QString fitting(QString text) const {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (limit_ <= 0)
            return text;
        const QTextCursor cursor = textCursor();
        int room =
            limit_ - StoredTextLength(toPlainText()) + StoredTextLength(cursor.selectedText());
        qsizetype end = 0;
        while (end < text.size()) {
            const qsizetype width = text[end].isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
            const int length = StoredTextLength(text.mid(end, width));
            if (length > room)
                break;
            room -= length;
            end += width;
        }
        return text.left(end);
    }

    int limit_ = 0;
};

QPlainTextEdit* NewMultiLineEdit(QWidget* parent) {
    auto* edit = new LimitedPlainTextEdit(parent);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setTabChangesFocus(true); // Tab moves on, as in every other control
    return edit;
}

bool IsGraphical(ControlKind kind) {
    return kind == ControlKind::Label || kind == ControlKind::Line || kind == ControlKind::Shape;
}

QWidget* CreateWidget(ControlKind kind, bool multiLine, QWidget* parent) {
    switch (kind) {
    case ControlKind::Label: {
        auto* label = new ClickableLabel(parent);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case ControlKind::TextBox:
        if (multiLine)
            return NewMultiLineEdit(parent);
        return new QLineEdit(parent);
    case ControlKind::ComboBox:
        return new QComboBox(parent);
    case ControlKind::OptionButton:
        return new QRadioButton(parent);
    case ControlKind::CheckBox:
        return new QCheckBox(parent);
    case ControlKind::CommandButton:
        return new CommandButtonWidget(parent);
    case ControlKind::PictureBox:
        return new PictureBoxWidget(parent);
    case ControlKind::Frame:
        return new FrameWidget(parent);
    case ControlKind::Line:
        return new LineWidget(parent);
    case ControlKind::Shape:
        return new ShapeWidget(parent);
    case ControlKind::Custom:
        break;
    }
    return new QWidget(parent);
}

// Graphical controls (labels, lines, shapes) lie beneath the windowed ones.
void Stack(QWidget* widget, ControlKind kind) {
    if (!IsGraphical(kind)) {
        widget->raise();
        return;
    }
    QWidget* parent = widget->parentWidget();
    if (!parent)
        return;
    for (QObject* sibling : parent->children()) {
        auto* other = qobject_cast<QWidget*>(sibling);
        if (other && other != widget && !other->isWindow() &&
            !other->property("quillorGraphical").toBool()) {
            widget->stackUnder(other);
            return;
        }
    }
}

int DefaultBorderStyle(ControlKind kind) {
    return kind == ControlKind::TextBox || kind == ControlKind::PictureBox ? 1 : 0;
}

Qt::Alignment ToQt(TextAlign align) {
    switch (align) {
    case TextAlign::Right:
        return Qt::AlignRight;
    case TextAlign::Center:
        return Qt::AlignHCenter;
    case TextAlign::Left:
        break;
    }
    return Qt::AlignLeft;
}

QString ToCrLf(QString text) {
    return text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

QString FromCrLf(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

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
