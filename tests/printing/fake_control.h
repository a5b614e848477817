#pragma once
// Synthetic controls for the print engine tests: plain fields behind the
// PrintControl view, with switches that make single properties fail.

#include "printing/print_control.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace printing::testing {

struct FakeControl : PrintControl {
    ControlKind kindValue = ControlKind::Label;
    std::string container = "Pic2";
    int index = 0;
    int l = 0, t = 0, w = 0, h = 0;
    std::string tagText;
    bool shown = true;
    std::string content;
    std::string font = "宋体";
    double size = 10.5;
    bool bold = false;
    Alignment align = Alignment::Left;
    bool scrollBar = false;
    bool on = false;
    int lx1 = 0, ly1 = 0, lx2 = 0, ly2 = 0;
    bool failText = false;  // text() throws
    bool failFont = false;  // fontName() throws
    int geometryWrites = 0; // setter calls

    ControlKind kind() const override { return kindValue; }
    std::string containerName() const override { return container; }
    int containerIndex() const override { return index; }
    int left() const override { return l; }
    int top() const override { return t; }
    int width() const override { return w; }
    int height() const override { return h; }
    void setLeft(int v) override { l = v, ++geometryWrites; }
    void setTop(int v) override { t = v, ++geometryWrites; }
    void setWidth(int v) override { w = v, ++geometryWrites; }
    void setHeight(int v) override { h = v, ++geometryWrites; }
    std::string tag() const override { return tagText; }
    bool visible() const override { return shown; }
    std::string text() const override {
        if (failText)
            throw std::runtime_error("no text");
        return content;
    }
    std::string fontName() const override {
        if (failFont)
            throw std::runtime_error("no font");
        return font;
    }
    double fontSize() const override { return size; }
    bool fontBold() const override { return bold; }
    Alignment alignment() const override { return align; }
    bool hasVerticalScrollBar() const override { return scrollBar; }
    bool checked() const override { return on; }
    int x1() const override { return lx1; }
    int y1() const override { return ly1; }
    int x2() const override { return lx2; }
    int y2() const override { return ly2; }
};

// A window's control collection in creation order.
class FakeWindow {
  public:
    FakeControl& add(ControlKind kind, int left, int top, int width, int height,
                     const std::string& content = {}, const std::string& tag = {}) {
        auto c = std::make_unique<FakeControl>();
        c->kindValue = kind;
        c->l = left, c->t = top, c->w = width, c->h = height;
        c->content = content;
        c->tagText = tag;
        controls_.push_back(std::move(c));
        return *controls_.back();
    }
    FakeControl& addLine(int x1, int y1, int x2, int y2) {
        auto& c = add(ControlKind::Line, 0, 0, 0, 0);
        c.lx1 = x1, c.ly1 = y1, c.lx2 = x2, c.ly2 = y2;
        return c;
    }
    std::vector<PrintControl*> controls() const {
        std::vector<PrintControl*> out;
        for (const auto& c : controls_)
            out.push_back(c.get());
        return out;
    }

  private:
    std::vector<std::unique_ptr<FakeControl>> controls_;
};

} // namespace printing::testing
