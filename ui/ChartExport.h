// A chart taken out of the window: as a PNG picture or an SVG drawing of a
// chosen size, laid out for that size, or as its data, one CSV row per point
// of every series.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "ui/UserDialogs.h"

namespace quarvel::ui {

class ChartView;

enum class ChartFormat { png, svg, csv };

// The file-dialog filters of the formats, in the order of ChartFormat.
[[nodiscard]] QStringList chart_format_filters();
// The format a file name's extension names, else the one of `filter`.
[[nodiscard]] ChartFormat chart_format_of(const QString& path, int filter);

// Whether the format is a picture, whose size is chosen.
[[nodiscard]] constexpr bool has_image_size(ChartFormat format) {
  return format != ChartFormat::csv;
}

// The file content. PNG and SVG: the chart drawn at `size`, its texts at the
// size they have on screen when printed at the size's resolution (a PNG
// records the resolution). CSV: "series,x,y", then every point of every
// series with 17 significant digits; on a time axis (TimeAxis.h) a fourth
// column, "time", with the stamp of each point's x (empty where none is).
[[nodiscard]] QByteArray chart_file(ChartView* view, ChartFormat format,
                                    const UserDialogs::ImageSize& size = {});

}  // namespace quarvel::ui
