#include "ui/ChartExport.h"

#include <QBuffer>
#include <QChart>
#include <QFileInfo>
#include <QPainter>
#include <QSvgGenerator>
#include <QXYSeries>
#include <cstdio>

#include "ui/ChartView.h"

namespace quarvel::ui {

namespace {

QByteArray png_of(ChartView* view) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  view->grab().save(&buffer, "PNG");
  return bytes;
}

QByteArray svg_of(ChartView* view) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(view->size());
  generator.setViewBox(QRect(QPoint(0, 0), view->size()));
  generator.setTitle(view->chart()->title());
  QPainter painter(&generator);
  view->render(&painter);
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
  QByteArray text = "series,x,y\n";
  char numbers[64];
  for (int index = 0; index < view->chart()->series().size(); ++index) {
    const QByteArray name = csv_field(view->series(index)->name());
    for (const QPointF& point : view->points(index)) {
      std::snprintf(numbers, sizeof numbers, ",%.17g,%.17g\n", point.x(), point.y());
      text += name;
      text += numbers;
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

QByteArray chart_file(ChartView* view, ChartFormat format) {
  switch (format) {
    case ChartFormat::png:
      return png_of(view);
    case ChartFormat::svg:
      return svg_of(view);
    case ChartFormat::csv:
      return csv_of(view);
  }
  return {};
}

}  // namespace quarvel::ui
