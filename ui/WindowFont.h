// The face every window uses: the nearest proportional sans-serif at 12 pixels.
#pragma once

#include <QFont>

namespace quarvel::ui {

[[nodiscard]] QFont window_font();

}  // namespace quarvel::ui
