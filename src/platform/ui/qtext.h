// Short conversions between the core's UTF-8 strings and Qt's strings, used
// wherever a window moves text between the two.
#pragma once

#include <QString>

#include <string>

namespace platform::ui {

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

inline std::string S(const QString& text) {
    return text.toStdString();
}

} // namespace platform::ui
