#include "printing/ui/twip_print_controls.h"

#include "printing/print_action.h"
#include "twip/ui/qt_printer.h"
#include "twip/ui/twipform.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QByteArray>

namespace printing::ui {
namespace {

using twip::ui::Control;

std::string ToUtf8(const QString& text) {
    QByteArray bytes = text.toUtf8();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

ControlKind KindOf(twip::ui::ControlKind kind) {
    switch (kind) {
    case twip::ui::ControlKind::TextBox:
        return ControlKind::TextBox;
    case twip::ui::ControlKind::Label:
        return ControlKind::Label;
    case twip::ui::ControlKind::ComboBox:
        return ControlKind::ComboBox;
    case twip::ui::ControlKind::OptionButton:
        return ControlKind::OptionButton;
    case twip::ui::ControlKind::CheckBox:
        return ControlKind::CheckBox;
    case twip::ui::ControlKind::Line:
        return ControlKind::Line;
    case twip::ui::ControlKind::Shape:
        return ControlKind::Shape;
    default:
        return ControlKind::Other;
    }
}

class TwipPrintControl final : public PrintControl {
  public:
    explicit TwipPrintControl(Control& control) : c_(control) {}

    ControlKind kind() const override { return KindOf(c_.kind()); }
    std::string containerName() const override {
        return c_.container() ? ToUtf8(c_.container()->name()) : std::string();
    }
    int containerIndex() const override { return c_.container() ? c_.container()->index() : -1; }

    int left() const override { return c_.left(); }
    int top() const override { return c_.top(); }
    int width() const override { return c_.width(); }
    int height() const override { return c_.height(); }
    void setLeft(int twips) override { c_.setLeft(twips); }
    void setTop(int twips) override { c_.setTop(twips); }
    void setWidth(int twips) override { c_.setWidth(twips); }
    void setHeight(int twips) override { c_.setHeight(twips); }

    std::string tag() const override { return ToUtf8(c_.tag()); }
    bool visible() const override { return c_.visible(); }
    std::string text() const override { return ToUtf8(c_.text()); }

    std::string fontName() const override { return ToUtf8(c_.font().name); }
    double fontSize() const override { return c_.font().size; }
    bool fontBold() const override { return c_.font().bold; }

    Alignment alignment() const override {
        switch (c_.alignment()) {
        case twip::ui::TextAlign::Right:
            return Alignment::Right;
        case twip::ui::TextAlign::Center:
            return Alignment::Centre;
        default:
            return Alignment::Left;
        }
    }
    bool hasVerticalScrollBar() const override {
        auto* area = c_.as<QAbstractScrollArea>();
        return area && area->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
    }
    bool checked() const override { return c_.checked(); }

    int x1() const override { return c_.line().x1; }
    int y1() const override { return c_.line().y1; }
    int x2() const override { return c_.line().x2; }
    int y2() const override { return c_.line().y2; }

  private:
    Control& c_;
};

void ShowBusyPointer(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

} // namespace

TwipPrintControls::TwipPrintControls(const twip::ui::TwipForm& form) {
    for (Control* control : form.allControls()) {
        views_.push_back(std::make_unique<TwipPrintControl>(*control));
        pointers_.push_back(views_.back().get());
    }
}

TwipPrintControls::~TwipPrintControls() = default;

bool PrintTwipForm(const twip::ui::TwipForm& form, int containerIndex, float scaleY,
                   twip::Printer& printer) {
    TwipPrintControls controls(form);
    return PrintForm(printer, controls.controls(), containerIndex, scaleY, ShowBusyPointer);
}

int PrintTwipFormPages(const twip::ui::TwipForm& form, int containerIndex, float scaleY,
                       twip::Printer& printer, int pageCount, const PreparePage& prepare) {
    TwipPrintControls controls(form);
    return PrintFormPages(printer, controls.controls(), containerIndex, scaleY, pageCount, prepare,
                          ShowBusyPointer);
}

int DrawTwipFormPages(const twip::ui::TwipForm& form, int containerIndex, float scaleY,
                      twip::Printer& printer, int pageCount, const PreparePage& prepare) {
    TwipPrintControls controls(form);
    return DrawFormPages(printer, controls.controls(), containerIndex, scaleY, pageCount, prepare,
                         ShowBusyPointer);
}

bool PrintTwipForm(const twip::ui::TwipForm& form, int containerIndex, float scaleY) {
    twip::ui::QtPrinter printer;
    return PrintTwipForm(form, containerIndex, scaleY, printer);
}

} // namespace printing::ui
