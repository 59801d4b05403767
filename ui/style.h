// The look every window shares: one font and the population colours.
#pragma once

#include <QColor>
#include <QFont>

namespace quarvel::ui {

namespace colours {
inline const QColor red{255, 0, 0};
inline const QColor blue{0, 0, 255};
inline const QColor green{0, 128, 0};
inline const QColor yellow{255, 255, 0};
// Yellow dark enough to read as a line on white.
inline const QColor dark_yellow{184, 134, 11};
inline const QColor lime{0, 255, 0};
inline const QColor black{0, 0, 0};
inline const QColor fuchsia{255, 0, 255};
inline const QColor orange{255, 128, 64};
// The prediction chart's line where the data end and the forecast past them begins.
inline const QColor data_end{90, 90, 90};
// What a refusal marks: the text that says it, the line and the cell refused,
// a field whose text is refused.
inline const QColor refusal_text{176, 0, 0};
inline const QColor refused_line{255, 232, 232};
inline const QColor refused_cell{255, 190, 190};
}  // namespace colours

// The nearest proportional sans-serif at 12 pixels.
[[nodiscard]] QFont window_font();

// Red, blue, green, yellow for populations 1 to 4 (index 0 to 3); the yellow is
// dark enough to read as a line on white.
[[nodiscard]] QColor population_colour(int population_index);

}  // namespace quarvel::ui
