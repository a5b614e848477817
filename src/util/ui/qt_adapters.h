#pragma once
// Qt stand-ins for the drawing target and list control that the shared
// utilities work on.

#include "util/frmutil.h"

#include <QPainter>

class QComboBox;

namespace util::ui {

// Fills boxes with a painter; sizes and boxes are in the painter's units
// (twips for the paint handlers of the twip forms).
class PainterFillTarget final : public util::FillTarget {
  public:
    PainterFillTarget(QPainter& painter, double innerWidth, double innerHeight)
        : painter_(painter), width_(innerWidth), height_(innerHeight) {}
    double InnerWidth() const override { return width_; }
    double InnerHeight() const override { return height_; }
    void FillBox(double x1, double y1, double x2, double y2, std::uint32_t rgb) override;

  private:
    QPainter& painter_;
    double width_;
    double height_;
};

class ComboListControl final : public util::ListControl {
  public:
    explicit ComboListControl(QComboBox& combo) : combo_(combo) {}
    void Clear() override;
    void AddItem(const std::string& text) override;

  private:
    QComboBox& combo_;
};

} // namespace util::ui
