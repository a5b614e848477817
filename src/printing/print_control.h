#pragma once
// What the print engine sees of a window's control: its kind, the container it
// lies in, its geometry in twips (which the engine may change for the time of
// printing and then restores), its print tag, text, font and state. Windows
// wrap their controls in this view; tests build synthetic ones. Any accessor
// may throw (a property the control does not have); the engine skips the step.

#include <string>

namespace printing {

enum class ControlKind { TextBox, Label, ComboBox, OptionButton, CheckBox, Line, Shape, Other };

enum class Alignment { Left = 0, Right = 1, Centre = 2 };

class PrintControl {
  public:
    virtual ~PrintControl() = default;

    virtual ControlKind kind() const = 0;
    // Name of the container and its index in its control array (-1: no array).
    virtual std::string containerName() const = 0;
    virtual int containerIndex() const = 0;

    virtual int left() const = 0;
    virtual int top() const = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual void setLeft(int twips) = 0;
    virtual void setTop(int twips) = 0;
    virtual void setWidth(int twips) = 0;
    virtual void setHeight(int twips) = 0;

    virtual std::string tag() const = 0;
    virtual bool visible() const = 0;
    // Text of text boxes and combo boxes, caption of the others (UTF-8).
    // Line breaks of multi-line text boxes are CR LF.
    virtual std::string text() const = 0;

    virtual std::string fontName() const = 0;
    virtual double fontSize() const = 0; // points
    virtual bool fontBold() const = 0;

    virtual Alignment alignment() const = 0;
    // Text boxes: whether a vertical scroll bar is shown (the text then starts at the top).
    virtual bool hasVerticalScrollBar() const = 0;
    // Option buttons and check boxes.
    virtual bool checked() const = 0;

    // Lines: end points in twips.
    virtual int x1() const = 0;
    virtual int y1() const = 0;
    virtual int x2() const = 0;
    virtual int y2() const = 0;
};

} // namespace printing
