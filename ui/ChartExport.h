// A chart taken out of the window: as a PNG picture of what is on screen, as
// an SVG drawing, or as its data, one CSV row per point of every series.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quarvel::ui {

class ChartView;

enum class ChartFormat { png, svg, csv };

// The file-dialog filters of the formats, in the order of ChartFormat.
[[nodiscard]] QStringList chart_format_filters();
// The format a file name's extension names, else the one of `filter`.
[[nodiscard]] ChartFormat chart_format_of(const QString& path, int filter);

// The file content. CSV: "series,x,y", then every point of every series with
// 17 significant digits.
[[nodiscard]] QByteArray chart_file(ChartView* view, ChartFormat format);

}  // namespace quarvel::ui
