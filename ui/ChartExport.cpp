#include "ui/ChartExport.h"

#include <QBuffer>
#include <QChart>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QXYSeries>
#include <cmath>
#include <cstdio>

#include "ui/ChartView.h"
#include "ui/TimeAxis.h"
#include "ui/charts.h"

namespace quarvel::ui {

namespace {

// The size the chart is laid out at for a picture: the picture's pixels at
// the resolution a screen's 96 dots per inch stand for.
QSizeF logical_size(const UserDialogs::ImageSize& size) {
  const double scale = size.dots_per_inch / 96.0;
  return {size.width / scale, size.height / scale};
}

void draw_chart(ChartView* view, QPainter& painter, const QSizeF& logical) {
  const ExportLayout layout(view->chart(), logical);
  painter.setRenderHint(QPainter::Antialiasing);
  view->scene()->render(&painter, QRectF(QPointF(0, 0), logical),
                        view->chart()->sceneBoundingRect());
}

QByteArray png_of(ChartView* view, const UserDialogs::ImageSize& size) {
  QImage image(size.width, size.height, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(size.dots_per_inch / 96.0);
  const int dots_per_metre = static_cast<int>(std::lround(size.dots_per_inch / 0.0254));
  image.setDotsPerMeterX(dots_per_metre);
  image.setDotsPerMeterY(dots_per_metre);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    draw_chart(view, painter, logical_size(size));
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

QByteArray svg_of(ChartView* view, const UserDialogs::ImageSize& size) {
  const QSizeF logical = logical_size(size);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(logical.toSize());
  generator.setViewBox(QRectF(QPointF(0, 0), logical));
  generator.setTitle(view->chart()->title());
  QPainter painter(&generator);
  draw_chart(view, painter, logical);
  painter.end();
  return bytes;
}

// A CSV field: quoted when it holds a comma, a quote or a line end.
QByteArray csv_field(const QString& text) {
  QByteArray field = text.toUtf8();
  if (field.contains(',') || field.contains('"') || field.contains('\n')) {
    field.replace("\"", "\"\"");
    field = '"' + field + '"';
  }
  return field;
}

QByteArray csv_of(const ChartView* view) {
  // A chart on a time axis keeps its x numbers and names each point's time.
  const TimeScale* time = time_scale_of(view);
  QByteArray text = time != nullptr ? "series,x,y,time\n" : "series,x,y\n";
  char numbers[64];
  const auto add_rows = [&](const QString& series_name, const QList<QPointF>& points) {
    const QByteArray name = csv_field(series_name);
    for (const QPointF& point : points) {
      std::snprintf(numbers, sizeof numbers, ",%.17g,%.17g", point.x(), point.y());
      text += name;
      text += numbers;
      if (time != nullptr) {
        text += ',';
        text += csv_field(time->label_at(point.x()));
      }
      text += '\n';
    }
  };
  // The curves first, then the bands (drawn first, under the curves).
  const qsizetype count = view->chart()->series().size();
  for (int index = 0; index < count; ++index) {
    if (view->series(index) != nullptr) {
      add_rows(view->chart()->series().at(index)->name(), view->points(index));
    }
  }
  for (int index = 0; index < count; ++index) {
    if (view->series(index) == nullptr) {
      // A band: its lower edge, then its upper edge.
      const QString name = view->chart()->series().at(index)->name();
      add_rows(name + QStringLiteral(" lower"), view->lower_points(index));
      add_rows(name + QStringLiteral(" upper"), view->points(index));
    }
  }
  return text;
}

}  // namespace

QStringList chart_format_filters() {
  return {QStringLiteral("PNG image (*.png)"), QStringLiteral("SVG drawing (*.svg)"),
          QStringLiteral("CSV data (*.csv)")};
}

ChartFormat chart_format_of(const QString& path, int filter) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QStringLiteral("png")) return ChartFormat::png;
  if (suffix == QStringLiteral("svg")) return ChartFormat::svg;
  if (suffix == QStringLiteral("csv")) return ChartFormat::csv;
  switch (filter) {
    case 1:
      return ChartFormat::svg;
    case 2:
      return ChartFormat::csv;
    default:
      return ChartFormat::png;
  }
}

QByteArray chart_file(ChartView* view, ChartFormat format, const UserDialogs::ImageSize& size) {
  switch (format) {
    case ChartFormat::png:
      return png_of(view, size);
    case ChartFormat::svg:
      return svg_of(view, size);
    case ChartFormat::csv:
      return csv_of(view);
  }
  return {};
}

}  // namespace quarvel::ui
