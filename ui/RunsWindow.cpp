#include "ui/RunsWindow.h"

#include <QAreaSeries>
#include <QChart>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QShortcut>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "data/datafile.h"
#include "data/tablefile.h"
#include "forecasting/ensemble.h"
#include "forecasting/forecastfiles.h"
#include "records/outputlist.h"
#include "records/runrecord.h"
#include "records/runsummary.h"
#include "records/runtable.h"
#include "ui/ChartView.h"
#include "ui/RunsTable.h"
#include "ui/TimeAxis.h"
#include "ui/charts.h"
#include "ui/qtext.h"
#include "ui/style.h"

namespace quarvel::ui {

namespace {

// A file of a folder of runs, as the list of outputs names it.
QString listed_name(records::Product product) {
  const std::string_view name = records::listed_output(product).name;
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

// A folder's files are read whole; none of these is anywhere near this size.
constexpr qint64 kMostBytes = qint64{1} << 30;

// The whole of a file, or why it could not be read.
struct FileText {
  std::optional<QByteArray> bytes;
  QString reason;
};

FileText read_text(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {std::nullopt, file.errorString()};
  if (file.size() > kMostBytes) return {std::nullopt, QStringLiteral("it is too large")};
  return {file.readAll(), {}};
}

std::string_view view_of(const QByteArray& bytes) {
  return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// The data a run's record names, training then validation, as the run indexed
// its points; or why they cannot be drawn. A path the record gives relative to
// where the runner ran is looked for from the folder and the one above it.
struct RunData {
  std::vector<double> values;
  QString problem;
  // The time stamps of a table's rows, when the runs read a time column.
  std::shared_ptr<const TimeScale> time{};
};

// Where a file the record names may be: as given, and a relative path also
// from the folders above the run folder.
QStringList places_of(const std::string& path, const QString& record_path) {
  const QString given = QString::fromStdString(path);
  QStringList places{given};
  if (QFileInfo(given).isRelative()) {
    QDir up = QFileInfo(record_path).dir();
    for (int level = 0; level < 3 && up.cdUp(); ++level) places << up.filePath(given);
  }
  return places;
}

// The series of a --data run: the table's column the run read, its training
// part then its validation part (the last values, the overlap repeated).
RunData data_of_table(const records::RunRecord& record, const QString& record_path) {
  const records::TableRecord& table = *record.table;
  // As the runs read it: a record of an earlier version leaves the layout to detection.
  const data::TableOptions options = records::table_reading(record);
  for (const QString& path : places_of(table.path, record_path)) {
    const data::TableResult read =
        data::read_table_file(QFile::encodeName(path).toStdString(), options);
    if (!read.table) continue;
    const std::vector<double>& values = read.table->values;
    const std::size_t training = record.training.values;
    const std::size_t validation = record.validation.values;
    // The table the run read, by its value counts.
    if (training != table.training_values || values.size() < std::max(training, validation)) {
      continue;
    }
    RunData data;
    data.values.assign(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(training));
    data.values.insert(data.values.end(), values.end() - static_cast<std::ptrdiff_t>(validation),
                       values.end());
    if (read.table->time) {
      const std::size_t overlap = training + validation - values.size();
      data.time = std::make_shared<const TimeScale>(*read.table->time, training, overlap,
                                                    QString::fromStdString(table.time_name));
    }
    return data;
  }
  return {{},
          QStringLiteral("\"%1\" was not found as the runs read it")
              .arg(QString::fromStdString(table.path))};
}

RunData data_of_record(const QString& record_path) {
  const FileText text = read_text(record_path);
  records::RunRecord record;
  if (!text.bytes) return {{}, text.reason};
  if (const auto wrong = records::parse_record(view_of(*text.bytes), record)) {
    return {{}, QString::fromStdString(*wrong)};
  }
  if (record.table) return data_of_table(record, record_path);
  RunData data;
  for (const records::DataRecord* file : {&record.training, &record.validation}) {
    std::optional<std::vector<double>> values;
    for (const QString& path : places_of(file->path, record_path)) {
      data::DataFileResult read = data::read_data_file(QFile::encodeName(path).toStdString());
      // The file the run read, by its value count: another file of that name is not it.
      if (read.error == data::DataFileError::none && read.values.size() == file->values) {
        values = std::move(read.values);
        break;
      }
    }
    if (!values) {
      return {{},
              QStringLiteral("\"%1\" was not found as the runs read it")
                  .arg(QString::fromStdString(file->path))};
    }
    data.values.insert(data.values.end(), values->begin(), values->end());
  }
  return data;
}

// The seeds and streams of the run records under `folder`, to any depth.
std::set<RunsTable::RunKey> recorded_runs(const QString& folder) {
  std::set<RunsTable::RunKey> found;
  QDirIterator records(folder, {listed_name(records::Product::record)}, QDir::Files,
                       QDirIterator::Subdirectories);
  while (records.hasNext()) {
    const FileText text = read_text(records.next());
    records::RunRecord record;
    if (text.bytes && !records::parse_record(view_of(*text.bytes), record)) {
      found.insert({record.seed, record.stream});
    }
  }
  return found;
}

// The first run record under `folder` (a run folder of --runs, or deeper
// where --summarize gathered them), in name order.
QString first_record(const QString& folder) {
  QStringList found;
  QDirIterator records(folder, {listed_name(records::Product::record)}, QDir::Files,
                       QDirIterator::Subdirectories);
  while (records.hasNext()) found << records.next();
  found.sort();
  return found.isEmpty() ? QString() : found.constFirst();
}

// Whether the table's values are in the series' units rather than scaled to
// [0, 1] (the runner writes either, with or without --units original), for a
// folder whose summary does not say (an earlier version's): the reading under
// which the median lies closer to the held-out values.
bool closer_in_original_units(const forecasting::BandTable& table, const std::vector<double>& data,
                              double low, double high) {
  double scaled_error = 0.0;
  double original_error = 0.0;
  for (std::size_t k = 0; k < table.point.size(); ++k) {
    const auto at = static_cast<std::size_t>(table.first_index) + k;
    if (at >= data.size() || !std::isfinite(table.point[k])) continue;
    const double actual = data[at];
    const double as_scaled = low + table.point[k] * (high - low);
    scaled_error += (as_scaled - actual) * (as_scaled - actual);
    original_error += (table.point[k] - actual) * (table.point[k] - actual);
  }
  return original_error < scaled_error;
}

QList<QPointF> step_points(const std::vector<double>& values, std::int64_t first) {
  QList<QPointF> points;
  for (std::size_t k = 0; k < values.size(); ++k) {
    if (std::isfinite(values[k])) {
      points.append(QPointF(static_cast<double>(first) + static_cast<double>(k), values[k]));
    }
  }
  return points;
}

// The stamps of the fan chart's points: the rows of the table the runs read,
// and the steps after them; null when the runs read no time column.
std::shared_ptr<const TimeScale> fan_time(const RunData& data,
                                          const forecasting::BandTable& table) {
  if (!data.time) return nullptr;
  const auto points = static_cast<std::ptrdiff_t>(data.values.size());
  const std::ptrdiff_t ahead =
      static_cast<std::ptrdiff_t>(table.first_index +
                                  static_cast<std::int64_t>(table.point.size())) -
      points;
  return std::make_shared<const TimeScale>(
      data.time->with_steps_ahead(static_cast<std::size_t>(std::max<std::ptrdiff_t>(ahead, 0))));
}

}  // namespace

// The table's and the chart's first heights are 2 and 3 of these.
constexpr int kSplitUnit = 110;

RunsWindow::RunsWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("runs_window"));
  setWindowTitle(QStringLiteral("Runs"));
  setFont(window_font());
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
          &QWidget::close);
  resize(760, 560);

  runs_table_ = new RunsTable();

  notes_label_ = new QLabel();
  notes_label_->setObjectName(QStringLiteral("runs_notes"));
  notes_label_->setTextFormat(Qt::PlainText);
  notes_label_->setWordWrap(true);

  fan_chart_ = new ChartView();
  fan_chart_->setObjectName(QStringLiteral("fan_chart"));
  fan_chart_->setMinimumSize(320, 220);
  QChart* chart = fan_chart_->chart();
  chart->setTitle(QStringLiteral("Ensemble forecast"));
  // The bands first, so that the curves are drawn over them.
  QColor band = colours::blue;
  band.setAlpha(45);
  add_band_series(chart, QStringLiteral("95 % band"), band);
  band.setAlpha(90);
  add_band_series(chart, QStringLiteral("80 % band"), band);
  for (QAreaSeries* series : {static_cast<QAreaSeries*>(chart->series().at(band_95)),
                              static_cast<QAreaSeries*>(chart->series().at(band_80))}) {
    for (QLegendMarker* marker : chart->legend()->markers(series)) marker->setVisible(true);
  }
  add_line_series(chart, QStringLiteral("Data"), colours::black, Qt::SolidLine, 1, true);
  add_line_series(chart, QStringLiteral("Median"), QColor(0, 0, 160), Qt::SolidLine, 2, true);
  // The legend says what the vertical line marks.
  add_line_series(chart, QStringLiteral("Forecast start"), colours::fuchsia, Qt::SolidLine, 2,
                  true);
  attach_axes(chart, QStringLiteral("Point"), QStringLiteral("Value"));
  use_small_axis_fonts(chart);

  auto* top = new QWidget();
  auto* top_layout = new QVBoxLayout(top);
  top_layout->setContentsMargins(0, 0, 0, 0);
  top_layout->addWidget(runs_table_);
  top_layout->addWidget(notes_label_);
  auto* splitter = new QSplitter(Qt::Vertical);
  splitter->addWidget(top);
  splitter->addWidget(fan_chart_);
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 3);
  // The stretch shares out only what is left over the parts' size hints, of
  // which the chart's is the larger: the table would start a few rows high.
  splitter->setSizes({2 * kSplitUnit, 3 * kSplitUnit});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(splitter);
}

QString RunsWindow::notes() const {
  return notes_label_->text();
}

void RunsWindow::show_window() {
  show();
  raise();
  activateWindow();
}

std::optional<QString> RunsWindow::open_folder(const QString& folder) {
  const QString shown_folder = QDir::toNativeSeparators(folder);
  const QString table_path = QDir(folder).filePath(listed_name(records::Product::runs_table));
  if (!QFileInfo::exists(table_path)) {
    return QStringLiteral(
               "\"%1\" holds no %2: choose a folder that quarvel-cli --runs or "
               "--summarize wrote.")
        .arg(shown_folder, listed_name(records::Product::runs_table));
  }
  const FileText text = read_text(table_path);
  if (!text.bytes) {
    return QStringLiteral("\"%1\" cannot be read: %2")
        .arg(QDir::toNativeSeparators(table_path), text.reason);
  }
  // The runner's own reader says whether this is a runs table; the window
  // shows every column it holds, also those of other versions.
  std::vector<records::RunOutcome> runs;
  if (const auto wrong = records::parse_runs_table(view_of(*text.bytes), runs)) {
    return QStringLiteral("\"%1\" is not a runs table that can be read: %2")
        .arg(QDir::toNativeSeparators(table_path), QString::fromStdString(*wrong));
  }
  const auto rows = records::csv_rows(view_of(*text.bytes));
  if (!rows || rows->empty()) {
    return QStringLiteral("\"%1\" holds no runs.").arg(QDir::toNativeSeparators(table_path));
  }
  // A run the table lists as done whose folder is gone: named as the merge
  // names a stream it does not find.
  const std::set<RunsTable::RunKey> found = recorded_runs(folder);
  std::set<RunsTable::RunKey> missing;
  std::vector<std::int32_t> missing_streams;
  for (const records::RunOutcome& run : runs) {
    if (!run.failure && !found.contains({run.seed, run.stream})) {
      missing.insert({run.seed, run.stream});
      missing_streams.push_back(run.stream);
    }
  }
  runs_table_->show_runs(*rows, missing);
  const auto failed = std::count_if(runs.begin(), runs.end(),
                                    [](const records::RunOutcome& run) { return run.failure; });
  QStringList notes;
  notes << QStringLiteral("%1 runs in \"%2\"").arg(runs.size()).arg(shown_folder) +
               (failed > 0 ? QStringLiteral(", %1 failed").arg(failed) : QString()) +
               QStringLiteral(".");
  if (!missing_streams.empty()) {
    notes << QStringLiteral("%1 missing: %2 (%3).")
                 .arg(missing_streams.size() == 1
                          ? QStringLiteral("1 run")
                          : QStringLiteral("%1 runs").arg(missing_streams.size()))
                 .arg(to_qstring(records::labelled_list("stream", missing_streams)))
                 .arg(missing_streams.size() == 1
                          ? QStringLiteral("its %1 was not found in the folder")
                          : QStringLiteral("their %1 was not found in the folder"))
                 .arg(listed_name(records::Product::record));
  }
  notes << show_fan_chart(folder);
  notes_label_->setText(notes.join(QLatin1Char(' ')));
  setWindowTitle(QStringLiteral("Runs \u2014 %1").arg(shown_folder));
  return std::nullopt;
}

QStringList RunsWindow::show_fan_chart(const QString& folder) {
  show_time_axis(fan_chart_, nullptr);
  fan_chart_->clear_points();
  QStringList notes;
  const QString table_path =
      QDir(folder).filePath(listed_name(records::Product::ensemble_forecast));
  forecasting::BandTable table;
  const FileText text = read_text(table_path);
  if (!text.bytes) {
    notes << QStringLiteral("No ensemble forecast: %1 cannot be read (%2).")
                 .arg(listed_name(records::Product::ensemble_forecast), text.reason);
    return notes;
  }
  if (const auto wrong = forecasting::parse_band_table(view_of(*text.bytes), table)) {
    notes << QStringLiteral("No ensemble forecast: %1 %2.")
                 .arg(listed_name(records::Product::ensemble_forecast),
                      QString::fromStdString(*wrong));
    return notes;
  }

  // The data under the fan, in the series' units; without them, the fan as
  // the file gives it.
  const QString record = first_record(folder);
  const RunData data = record.isEmpty() ? RunData{{},
                                                  QStringLiteral("no run folder with %1 was found")
                                                      .arg(listed_name(records::Product::record))}
                                        : data_of_record(record);
  const std::shared_ptr<const TimeScale> time = fan_time(data, table);
  if (time) show_time_axis(fan_chart_, time);
  const auto on_time = [&time](const QList<QPointF>& points) {
    return time ? time->on_time(points, false) : points;
  };
  QString y_title = QStringLiteral("Value");
  if (!data.values.empty()) {
    const auto [low, high] = std::minmax_element(data.values.begin(), data.values.end());
    // The summary names the table's units; an earlier version's did not.
    const FileText summary =
        read_text(QDir(folder).filePath(listed_name(records::Product::summary)));
    const std::optional<bool> said =
        summary.bytes ? forecasting::ensemble_in_original_units(view_of(*summary.bytes))
                      : std::nullopt;
    if (!said.value_or(closer_in_original_units(table, data.values, *low, *high))) {
      forecasting::to_original_units(table, *low, *high);
    }
    fan_chart_->set_points(Series::data, on_time(step_points(data.values, 0)));
  } else {
    notes << QStringLiteral("The data are not drawn: %1.").arg(data.problem);
    y_title = QStringLiteral("Value as the file gives it");
  }
  fan_chart_->chart()->axes(Qt::Vertical).constFirst()->setTitleText(y_title);

  fan_chart_->set_points(Series::median, on_time(step_points(table.point, table.first_index)));
  draw_bands(table, data.values, on_time);
  if (table.bands.empty()) {
    notes << QStringLiteral("The runs were made without --intervals: no bands.");
  }
  mark_forecast_start(table, time.get());
  fit_axes(fan_chart_->chart());
  return notes;
}

void RunsWindow::draw_bands(const forecasting::BandTable& table, const std::vector<double>& data,
                            const std::function<QList<QPointF>(const QList<QPointF>&)>& on_time) {
  // The bands drawn no further than the range a forecast diverges beyond (the
  // data's range widened by its span on each side; the median's without the
  // data), or the median's where it reaches further: paths that ran away would
  // stretch the chart until the data were a flat line.
  const auto finite_range = [](const std::vector<double>& values) {
    std::pair<double, double> range{std::numeric_limits<double>::infinity(),
                                    -std::numeric_limits<double>::infinity()};
    for (const double value : values) {
      if (!std::isfinite(value)) continue;
      range.first = std::min(range.first, value);
      range.second = std::max(range.second, value);
    }
    return range;
  };
  const auto median_range = finite_range(table.point);
  const auto [low, high] = data.empty() ? median_range : finite_range(data);
  const double span = high - low;
  const double bottom = std::min(low - span, median_range.first);
  const double top = std::max(high + span, median_range.second);
  const auto held = [&](double value) {
    return bottom <= top ? std::clamp(value, bottom, top) : value;
  };
  const std::array<std::pair<Series, double>, 2> bands{std::pair{Series::band_95, 95.0},
                                                       std::pair{Series::band_80, 80.0}};
  for (const auto& [series, level] : bands) {
    const auto found = std::find(table.levels.begin(), table.levels.end(), level);
    if (found == table.levels.end() || table.bands.empty()) continue;
    const forecasting::Band& band =
        table.bands[static_cast<std::size_t>(found - table.levels.begin())];
    QList<QPointF> lower;
    QList<QPointF> upper;
    for (std::size_t k = 0; k < band.lower.size() && k < band.upper.size(); ++k) {
      if (!std::isfinite(band.lower[k]) || !std::isfinite(band.upper[k])) continue;
      const double x = static_cast<double>(table.first_index) + static_cast<double>(k);
      lower.append(QPointF(x, held(band.lower[k])));
      upper.append(QPointF(x, held(band.upper[k])));
    }
    fan_chart_->set_band(series, on_time(lower), on_time(upper));
  }
}

void RunsWindow::mark_forecast_start(const forecasting::BandTable& table, const TimeScale* time) {
  // Across the curves.
  double lowest = std::numeric_limits<double>::infinity();
  double highest = -lowest;
  for (int series = 0; series < forecast_start; ++series) {
    for (const QPointF& point : fan_chart_->points(series) + fan_chart_->lower_points(series)) {
      lowest = std::min(lowest, point.y());
      highest = std::max(highest, point.y());
    }
  }
  if (lowest <= highest) {
    const auto first = static_cast<double>(table.first_index);
    const double x = time != nullptr ? time->x_of_point(first) : first;
    fan_chart_->set_points(Series::forecast_start, {QPointF(x, lowest), QPointF(x, highest)});
  }
}

}  // namespace quarvel::ui
