#pragma once
// Twip form layer: windows whose controls are placed in twips (1/1440 inch),
// carry a Tag, form control arrays addressed by index (elements loaded and
// unloaded at run time), include lines and rectangles as controls, and can be
// walked per container in creation order (the print engine relies on that).
//
// A TwipForm owns one Control record per control; the record holds the twip
// geometry and the properties that the Qt widget cannot hold itself, and the
// widget (a child of the container's widget) shows them. Geometry in twips is
// authoritative: reading Left returns exactly what was set.

#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QPainter;
class QScrollArea;

namespace twip::ui {

enum class ControlKind {
    Label,
    TextBox, // single line (QLineEdit) or multi-line (QPlainTextEdit)
    ComboBox,
    OptionButton,
    CheckBox,
    CommandButton,
    PictureBox, // container with its own painting
    Frame,      // container with a caption and a border
    Line,
    Shape,  // rectangle
    Custom, // any other widget (grids, folder and drive lists), see TwipForm::adopt
};

enum class TextAlign { Left, Right, Center };

struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct TwipLine {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
};

struct FontSpec {
    QString name = QStringLiteral("宋体");
    double size = 9.0; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

// Pixels of the screen's logical dpi; 15 twips are one pixel at 96 dpi.
double TwipsPerPixel();
int TwipsToPixels(int twips);
int PixelsToTwips(int pixels);
// A QFont of the given name, size in points and style.
QFont MakeFont(const FontSpec& wanted);

// The length of a text as a text box's value is stored: in characters (code
// points), a line break (LF alone, or U+2029) as the two characters CR LF.
int StoredTextLength(const QString& text);

class Control;
// The most a multi-line text box takes in by typing, input methods, pasting
// and dropping, counted by StoredTextLength; 0 for no limit. What would go
// beyond it is refused where it is put in, as a one-line box's maximum
// length does: the caret and the undo history stay as they are.
void SetMultiLineLimit(Control& box, int chars);

class TwipForm;

class Control {
  public:
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    ~Control();

    ControlKind kind() const { return kind_; }
    const QString& name() const { return name_; }
    // Index within its control array, or -1 for a control that is no array element.
    int index() const { return index_; }
    bool isArrayElement() const { return index_ >= 0; }
    // The container (picture box or frame); nullptr when it lies on the form itself.
    Control* container() const { return container_; }
    bool isContainer() const;
    TwipForm& form() const { return *form_; }

    QWidget* widget() const { return widget_; }
    template <class W> W* as() const { return qobject_cast<W*>(widget_.data()); }

    // Position and size in twips, relative to the container's client area.
    // For a line these give its bounding box; use line()/setLine() instead.
    int left() const { return rect_.left; }
    int top() const { return rect_.top; }
    int width() const { return rect_.width; }
    int height() const { return rect_.height; }
    TwipRect rect() const { return rect_; }
    void setLeft(int twips);
    void setTop(int twips);
    void setWidth(int twips);
    void setHeight(int twips);
    void setRect(const TwipRect& rect);
    void move(int left, int top) { setRect({left, top, rect_.width, rect_.height}); }

    TwipLine line() const { return line_; }
    void setLine(const TwipLine& line);

    const QString& tag() const { return tag_; }
    void setTag(const QString& tag) { tag_ = tag; }

    // The control's own Visible property (not whether the window is shown).
    bool visible() const { return visible_; }
    void setVisible(bool visible);
    bool enabled() const;
    void setEnabled(bool enabled);
    bool locked() const; // read-only text box or combo
    void setLocked(bool locked);

    // Caption of labels, buttons, option buttons, check boxes and frames; the
    // text of text boxes and combo boxes. A multi-line text box gives its text
    // with CR LF line ends and accepts CR LF or LF. A label gives its caption
    // as set and shows it broken into lines at CR LF, CR alone or LF alone.
    QString text() const;
    void setText(const QString& text);

    FontSpec font() const { return font_; }
    void setFont(const FontSpec& font);
    void setFontName(const QString& name);
    void setFontSize(double points);
    void setFontBold(bool bold);

    QColor foreColor() const { return foreColor_; }
    void setForeColor(const QColor& color);
    // Background; an invalid colour means transparent (labels) or the default.
    QColor backColor() const { return backColor_; }
    void setBackColor(const QColor& color);
    TextAlign alignment() const { return alignment_; }
    void setAlignment(TextAlign alignment);
    // Labels: the size follows the caption (one line unless it holds line breaks).
    bool autoSize() const { return autoSize_; }
    void setAutoSize(bool autoSize);
    // 0 = no border, 1 = fixed single (labels, text boxes, picture boxes).
    int borderStyle() const { return borderStyle_; }
    void setBorderStyle(int style);

    // Lines and shapes.
    QColor borderColor() const { return borderColor_; }
    void setBorderColor(const QColor& color);
    int borderWidth() const { return borderWidth_; } // pixels, as the controls count it
    void setBorderWidth(int pixels);
    // Shapes: an invalid colour leaves the inside transparent.
    QColor fillColor() const { return fillColor_; }
    void setFillColor(const QColor& color);

    // Option buttons and check boxes.
    bool checked() const;
    void setChecked(bool checked);

    // Combo boxes.
    void clearItems();
    void addItem(const QString& item);
    int listCount() const;
    QString listItem(int i) const;
    int listIndex() const; // -1: none
    void setListIndex(int i);
    void setEditable(bool editable); // false: drop-down list only

    // Handlers in the spirit of Name_Click / Name_Paint. A paint handler draws
    // the background of a picture box, frame or form; children draw over it.
    void setOnClick(std::function<void()> handler);
    // Labels that act as links: reachable with Tab (a click does not take the
    // focus away from where it is), shown with a focus frame, and opened with
    // Enter or Space as with a click.
    void setLink(bool link);
    bool isLink() const;
    void setOnPaint(std::function<void(QPainter&)> handler);

    // The controls inside this container, in creation order.
    std::vector<Control*> children() const;

  private:
    friend class TwipForm;
    Control(TwipForm* form, ControlKind kind, QString name, int index, Control* container);
    void applyGeometry();
    void applyColors();
    void copyPropertiesFrom(const Control& other);

    TwipForm* form_;
    ControlKind kind_;
    QString name_;
    int index_;
    Control* container_;
    QPointer<QWidget> widget_;
    TwipRect rect_;
    TwipLine line_;
    QString tag_;
    QString caption_; // labels: the caption as set, line breaks included
    bool visible_ = true;
    FontSpec font_;
    QColor foreColor_ = Qt::black;
    QColor backColor_;
    TextAlign alignment_ = TextAlign::Left;
    int borderStyle_ = 0;
    QColor borderColor_ = Qt::black;
    int borderWidth_ = 1;
    QColor fillColor_;
    bool multiLine_ = false;
    bool autoSize_ = false;
    void fitToText();
};

class TwipForm : public QDialog {
    Q_OBJECT
  public:
    explicit TwipForm(QWidget* parent = nullptr);
    ~TwipForm() override;

    // Creates a control. index >= 0 makes it an element of the control array
    // `name`; a name is either a plain control or an array, never both.
    Control& add(ControlKind kind, const QString& name, const TwipRect& rect,
                 Control* container = nullptr, int index = -1);
    Control& addLine(const QString& name, const TwipLine& line, Control* container = nullptr,
                     int index = -1);
    Control& addMultiLineTextBox(const QString& name, const TwipRect& rect,
                                 Control* container = nullptr, int index = -1);
    // Places a widget of another kind as a control; the form takes it over.
    // Such controls cannot be loaded as copies.
    Control& adopt(QWidget* widget, const QString& name, const TwipRect& rect,
                   Control* container = nullptr, int index = -1);

    // Lookup; control() throws std::out_of_range when there is no such control.
    Control* find(const QString& name, int index = -1) const;
    Control& control(const QString& name, int index = -1) const;
    // Indexes of the loaded elements of an array, ascending.
    std::vector<int> arrayIndexes(const QString& name) const;

    // Loads a new element of an existing array: a copy of its lowest element
    // (same kind, container, geometry, font, colours, caption and Tag), hidden.
    Control& load(const QString& name, int index);
    // Destroys an element of an array loaded earlier.
    void unload(const QString& name, int index);

    // Controls that lie directly on the form (container nullptr) or inside a
    // container, in creation order; all controls of the form in creation order.
    std::vector<Control*> controlsOf(const Control* container) const;
    std::vector<Control*> allControls() const;

    // The form's client area in twips: the area the controls are laid out on.
    // A form shown on a screen too small for it keeps this area and shows it
    // scrolled (see fitToArea), so scaleWidth and scaleHeight stay as designed.
    void setClientSize(int widthTwips, int heightTwips);
    int scaleWidth() const;
    int scaleHeight() const;
    // Fits the window into `available` (logical pixels, the window frame
    // included): a fixed-size form too large for it shows its client area in
    // a scroll area that follows the focus; a resizable form shrinks. Runs
    // whenever the form is shown, with the free area of its screen.
    void fitToArea(const QSize& available);
    // The scroll area around the client area; null while the form fits.
    QScrollArea* fitScroll() const { return scroll_; }
    // Room the window frame takes around the client area, in pixels, as the
    // fitting counts it.
    static QSize FrameAllowance();
    void setResizable(bool resizable);
    void setCaption(const QString& caption) { setWindowTitle(caption); }
    QString caption() const { return windowTitle(); }

    // Places the window: centred on the screen, or centred horizontally at a
    // third of the free height.
    void centreOnScreen();
    void placeUpperThird();

    void setOnPaint(std::function<void(QPainter&)> handler);

    // What Esc does in the form; without an action Esc does nothing (a form
    // is closed with its own buttons). Enter on a focused command button
    // presses it; Ctrl+Tab and Ctrl+Shift+Tab move the focus as Tab does.
    void setEscapeAction(std::function<void()> action) { escapeAction_ = std::move(action); }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    Control& insert(std::unique_ptr<Control> control);
    QWidget* containerWidget(const Control* container);
    void fitToScreen();
    void unwrap();
    void placeWithin(const QRect& available);

    std::vector<std::unique_ptr<Control>> controls_; // creation order
    QWidget* canvas_ = nullptr;     // the client area: parent of the form's own controls
    QScrollArea* scroll_ = nullptr; // holds the canvas while the form does not fit
    QSize clientSize_;              // pixels, as designed
    std::function<void(QPainter&)> onPaint_;
    std::function<void()> escapeAction_;
    bool resizable_ = false;
};

} // namespace twip::ui
