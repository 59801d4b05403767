// Texts between the Qt-free front end (std::string, UTF-8) and the widgets.
#pragma once

#include <QString>
#include <string_view>

namespace quarvel::ui {

[[nodiscard]] inline QString to_qstring(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace quarvel::ui
