#pragma once
// The Qt widgets behind the twip controls, and how a control's widget is
// made, stacked and read. Private to twip/ui: the controls (twip_control.cpp)
// and the form (twipform.cpp) share them; nothing else includes this.

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

#include "platform/prompter.h"
#include "twip/ui/twipform.h"
#include "util/line_breaks.h"
#include "util/ui/fonts.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace twip::ui::widgets {

// Painter whose unit is one twip.
inline void ScaleToTwips(QPainter& painter) {
    const double scale = 1.0 / TwipsPerPixel();
    painter.scale(scale, scale);
}

// Enter and Return, alone or from the keypad.
inline bool IsEnterKey(const QKeyEvent& event) {
    return (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) &&
           (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

// A click on a control with a click handler of its own is that control's
// click only: it is not passed on to the container or the form beneath, whose
// own click handlers would otherwise run as well.
inline bool ReleaseClicks(QWidget& widget, QMouseEvent* event,
                          const std::function<void()>& onClick) {
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

inline QPlainTextEdit* NewMultiLineEdit(QWidget* parent) {
    auto* edit = new LimitedPlainTextEdit(parent);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setTabChangesFocus(true); // Tab moves on, as in every other control
    return edit;
}

inline bool IsGraphical(ControlKind kind) {
    return kind == ControlKind::Label || kind == ControlKind::Line || kind == ControlKind::Shape;
}

inline QWidget* CreateWidget(ControlKind kind, bool multiLine, QWidget* parent) {
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
inline void Stack(QWidget* widget, ControlKind kind) {
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

inline int DefaultBorderStyle(ControlKind kind) {
    return kind == ControlKind::TextBox || kind == ControlKind::PictureBox ? 1 : 0;
}

inline Qt::Alignment ToQt(TextAlign align) {
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

inline QString ToCrLf(QString text) {
    return text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

inline QString FromCrLf(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace twip::ui::widgets
