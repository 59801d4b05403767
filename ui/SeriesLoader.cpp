#include "ui/SeriesLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <array>
#include <utility>

#include "data/numbertext.h"
#include "data/tablefile.h"
#include "runs/startrun.h"
#include "ui/ChartView.h"
#include "ui/DataPlotWindow.h"
#include "ui/GridModel.h"
#include "ui/ImportTableDialog.h"
#include "ui/MainWindow.h"
#include "ui/OutputController.h"
#include "ui/ProblemTab.h"
#include "ui/TimeAxis.h"
#include "ui/UserDialogs.h"

namespace quarvel::ui {

SeriesLoader::SeriesLoader(UserDialogs& dialogs, ProblemTab& problem_tab, DataPlotWindow& data_plot,
                           WindowFiles& files, std::function<std::int32_t()> largest_lag,
                           QWidget* window)
    : QObject(window),
      dialogs_(dialogs),
      problem_tab_(problem_tab),
      data_plot_(data_plot),
      files_(files),
      largest_lag_(std::move(largest_lag)),
      window_(window) {
  connect(&problem_tab_, &ProblemTab::load_training_requested, this,
          &SeriesLoader::load_training_series);
  connect(&problem_tab_, &ProblemTab::training_file_dropped, this,
          &SeriesLoader::open_dropped_file);
  connect(&problem_tab_, &ProblemTab::load_validation_requested, this,
          &SeriesLoader::load_validation_series);
  connect(&problem_tab_, &ProblemTab::draw_graph_requested, this, &SeriesLoader::draw_data_plot);
  connect(&problem_tab_, &ProblemTab::training_cleared, this, [this] {
    data_plot_.clear_series(DataPlotWindow::training);
    files_.training.clear();
    forget_table();
    emit data_changed();
  });
  // Also at every training load, which empties the validation grid.
  connect(&problem_tab_, &ProblemTab::validation_cleared, this, [this] {
    data_plot_.clear_series(DataPlotWindow::validation);
    files_.validation.clear();
    forget_table();
    emit data_changed();
  });
  connect(&problem_tab_, &ProblemTab::overlap_changed, this, &SeriesLoader::data_changed);
}

std::optional<QString> SeriesLoader::choose_file(const QStringList& filters) {
  auto path = dialogs_.open_file(window_, files_.folder, filters);
  if (path && !path->isEmpty()) {
    files_.folder = QDir::toNativeSeparators(QFileInfo(*path).absolutePath());
    return path;
  }
  return std::nullopt;
}

void SeriesLoader::load_training_series() {
  const auto path = choose_file();
  if (!path) return;
  load_training_file(*path);
}

void SeriesLoader::load_training_file(const QString& path) {
  // The next dialog opens in this file's folder, as after a choice in the dialog.
  files_.folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
  const auto file = read_series(path);
  if (!file) return;
  problem_tab_.show_training_series(data::make_grid(file->values, 0));
  files_.training = QFileInfo(path).canonicalFilePath();
  emit data_changed();
  warn_about_doubtful_file(path, *file);
}

void SeriesLoader::load_validation_series() {
  if (!problem_tab_.validation_open()) return;  // locked until a training series is loaded
  const auto path = choose_file();
  if (!path) return;
  const auto file = read_series(*path);
  if (!file) return;
  const std::size_t training_rows = problem_tab_.training_cells().rows();
  // Refused before the overlap is looked for, which takes time with the count.
  if (const auto refused = runs::check_value_count(training_rows, file->values.size())) {
    dialogs_.message(
        window_, QStringLiteral("\"%1\" was not loaded: %2")
                     .arg(QFileInfo(*path).fileName(), QString::fromStdString(refused->message)));
    return;
  }
  problem_tab_.show_validation_series(
      data::make_grid(file->values, static_cast<std::int64_t>(training_rows)));
  files_.validation = QFileInfo(*path).canonicalFilePath();
  forget_table();
  emit data_changed();
  warn_about_doubtful_file(*path, *file);
}

void SeriesLoader::import_table() {
  const auto path =
      choose_file({QStringLiteral("Tables (*.csv *.tsv *.txt)"), QStringLiteral("All files (*)")});
  if (!path) return;
  open_table_file(*path);
}

void SeriesLoader::open_dropped_file(const QString& path) {
  if (ImportTableDialog::is_table_file(path)) {
    open_table_file(path);
  } else {
    load_training_file(path);
  }
}

void SeriesLoader::open_table_file(const QString& path) {
  files_.folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
  data::TableText text = data::read_table_file_text(QFile::encodeName(path).toStdString());
  if (tell_unreadable(path, text.error, text.reason)) return;
  // Window-modal and shown without waiting: OK loads the parts.
  auto* dialog = new ImportTableDialog(path, std::move(text.text),
                                       static_cast<std::size_t>(largest_lag_()), window_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, [this, dialog] {
    if (dialog->imported()) load_imported_table(*dialog->imported());
  });
  dialog->open();
}

void SeriesLoader::load_imported_table(const ImportedTable& table) {
  const data::SeriesSplit& split = table.split;
  problem_tab_.show_training_series(data::make_grid(split.training, 0));
  problem_tab_.show_validation_series(
      data::make_grid(split.validation, static_cast<std::int64_t>(split.training_count)),
      static_cast<std::int32_t>(split.overlap));
  // Both parts came from the table: it is the loaded data, never written over.
  files_.training = QFileInfo(table.path).canonicalFilePath();
  files_.validation = files_.training;
  table_options_ = table.runner_options();
  data_table_ = table.data_table();
  if (table.time) {
    table_time_ = std::make_shared<const TimeScale>(*table.time, split.training_count,
                                                    split.overlap, table.time_name);
    // The grids show the stamps of their rows (their cells keep the indices
    // a load of two files gives).
    problem_tab_.training_model()->set_time_labels(
        table_time_->point_stamps(0, split.training.size()), table_time_->title());
    problem_tab_.validation_model()->set_time_labels(
        table_time_->point_stamps(split.training_count, split.validation.size()),
        table_time_->title());
  }
  emit data_changed();
}

void SeriesLoader::forget_table() {
  table_options_.clear();
  data_table_.reset();
  if (!table_time_) return;
  table_time_.reset();
  problem_tab_.training_model()->clear_time_labels();
  problem_tab_.validation_model()->clear_time_labels();
  show_time_axis(data_plot_.chart_view(), nullptr);
}

bool SeriesLoader::tell_unreadable(const QString& path, data::DataFileError error,
                                   const std::string& reason) {
  if (error == data::DataFileError::too_large) {
    dialogs_.message(window_, QStringLiteral("\"%1\" %2. Nothing was loaded.")
                                  .arg(QFileInfo(path).fileName(), QString::fromStdString(reason)));
    return true;
  }
  if (error != data::DataFileError::none) {
    // The box's words, then which file and why: a file named on the command
    // line or dropped was never seen in a dialog.
    dialogs_.message(
        window_, QStringLiteral("%1\n\"%2\": %3")
                     .arg(QString::fromLatin1(kFileCannotBeOpened), QDir::toNativeSeparators(path),
                          QString::fromStdString(reason)));
    return true;
  }
  return false;
}

std::optional<data::DataFileResult> SeriesLoader::read_series(const QString& path) {
  auto file = data::read_data_file(QFile::encodeName(path).toStdString());
  if (tell_unreadable(path, file.error, file.reason)) return std::nullopt;
  // A binary file is no series: nothing of it is loaded.
  if (file.doubtful.problem == data::LineProblem::nul_byte) {
    dialogs_.message(window_,
                     QStringLiteral("\"%1\" is not a text file: %2. Nothing was loaded.")
                         .arg(QFileInfo(path).fileName(),
                              QString::fromStdString(data::describe_doubtful_line(file.doubtful))));
    return std::nullopt;
  }
  return file;
}

// A file the format reads only in part is loaded as the format reads it, and
// the user is told which line was not a plain value.
void SeriesLoader::warn_about_doubtful_file(const QString& path, const data::DataFileResult& file) {
  const QString name = QFileInfo(path).fileName();
  if (file.values.empty()) {
    dialogs_.message(window_, QStringLiteral("\"%1\" holds no values.").arg(name));
    return;
  }
  QStringList warnings;
  const char* consequence = nullptr;
  switch (file.doubtful.problem) {
    case data::LineProblem::too_long:
      consequence = "Only its first 255 characters were read.";
      break;
    case data::LineProblem::lone_return:
      consequence = "The text around it was read as one line.";
      break;
    case data::LineProblem::no_number:
      consequence = "It was read as 0.";
      break;
    case data::LineProblem::nul_byte:
    case data::LineProblem::trailing_text:  // the doubtful line is never of this kind
    case data::LineProblem::none:
      break;
  }
  if (consequence != nullptr) {
    warnings << QStringLiteral("%1. %2").arg(
        QString::fromStdString(data::describe_doubtful_line(file.doubtful)),
        QString::fromLatin1(consequence));
  }
  // Text after a line's number (a decimal comma: "1,5" reads as 1), once for
  // the file, with the count, as the runner warns.
  if (const data::TrailingText& trailing = file.trailing_text; trailing.lines > 0) {
    warnings << QStringLiteral("%1; %2.").arg(
        QString::fromStdString(data::describe_doubtful_line(trailing.first)),
        trailing.lines == 1
            ? QStringLiteral("1 line holds text after its number")
            : QStringLiteral("%1 lines hold text after their number").arg(trailing.lines));
  }
  if (!warnings.isEmpty()) {
    dialogs_.message(window_,
                     QStringLiteral("\"%1\": %2").arg(name, warnings.join(QLatin1Char(' '))));
  }
}

void SeriesLoader::draw_data_plot() {
  data_plot_.clear_series(DataPlotWindow::training);
  data_plot_.clear_series(DataPlotWindow::validation);
  const std::array<const data::GridColumns*, 2> grids{&problem_tab_.training_cells(),
                                                      &problem_tab_.validation_cells()};
  // The grids' times are the points' indices: on the table's time axis while
  // the grids hold its parts.
  const TimeScale* time = table_time_ && table_time_->fits(grids[0]->rows(), grids[1]->rows())
                              ? table_time_.get()
                              : nullptr;
  show_time_axis(data_plot_.chart_view(), time != nullptr ? table_time_ : nullptr);
  for (int series = 0; series < 2; ++series) {
    const data::GridColumns& cells = *grids[static_cast<std::size_t>(series)];
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(cells.rows()));
    for (std::size_t row = 0; row < cells.rows(); ++row) {
      const std::string& time_text = cells.time[row];
      const std::string& value_text = cells.value[row];
      if (time_text.empty() || value_text.empty()) continue;
      const auto at = data::parse_number(time_text);
      const auto value = data::parse_number(value_text);
      if (!at || !value) {
        // The rows before the bad one stay plotted; the window is not shown.
        data_plot_.set_points(series, points);
        const std::string& bad = at ? value_text : time_text;
        dialogs_.error(window_, QStringLiteral("'%1' is not a floating point number.")
                                    .arg(QString::fromStdString(bad)));
        return;
      }
      points.append(QPointF(time != nullptr ? time->x_of_point(*at) : *at, *value));
    }
    data_plot_.set_points(series, points);
  }
  data_plot_.show_plot();
}

}  // namespace quarvel::ui
