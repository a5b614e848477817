#include "util/ui/qt_adapters.h"

#include <QComboBox>

namespace util::ui {

void PainterFillTarget::FillBox(double x1, double y1, double x2, double y2, std::uint32_t rgb) {
    const QColor color((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    painter_.fillRect(QRectF(QPointF(x1, y1), QPointF(x2, y2)), color);
}

void ComboListControl::Clear() {
    combo_.clear();
}

void ComboListControl::AddItem(const std::string& text) {
    combo_.addItem(QString::fromStdString(text));
}

} // namespace util::ui
