// What puts a series into the data grids of "Problem Configuration": a data
// file chosen in the open dialog, named on the command line or dropped on the
// training grid, and a table read and split in the import dialog. It keeps
// the names of the loaded files (never to be written over) and, while the
// grids hold the parts of a table with a time column, its time stamps; the
// data plot draws what the grids hold.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "batch/request.h"
#include "data/datafile.h"

class QWidget;

namespace quarvel::ui {

class DataPlotWindow;
class ProblemTab;
class TimeScale;
class UserDialogs;
struct ImportedTable;
struct WindowFiles;

inline constexpr const char* kFileCannotBeOpened = "File cannot be opend.";

class SeriesLoader final : public QObject {
  Q_OBJECT

 public:
  // `window` parents the boxes and dialogs; `largest_lag` tells the largest
  // terminal table size of the populations now set (the overlap a table's
  // split repeats). The tab, the plot and `files` outlive the loader.
  SeriesLoader(UserDialogs& dialogs, ProblemTab& problem_tab, DataPlotWindow& data_plot,
               WindowFiles& files, std::function<std::int32_t()> largest_lag, QWidget* window);

  // The time stamps of the table whose parts the grids hold; null when they
  // hold data files (or nothing).
  [[nodiscard]] const std::shared_ptr<const TimeScale>& table_time() const noexcept {
    return table_time_;
  }
  // The runner's options that read and split the table whose parts the grids
  // hold (ImportedTable::runner_options); empty when they hold data files.
  [[nodiscard]] const std::vector<std::pair<std::string, std::string>>& table_options()
      const noexcept {
    return table_options_;
  }
  // The table whose parts the grids hold, as a request of many runs reads it
  // (ImportedTable::data_table); nothing when they hold data files.
  [[nodiscard]] const std::optional<batch::DataTable>& data_table() const noexcept {
    return data_table_;
  }

 public slots:
  void load_training_series();
  // Loads `path` as the training series as if it had been chosen in the load
  // dialog: a file given on the command line or dropped on the training grid.
  void load_training_file(const QString& path);
  void load_validation_series();
  // File > "Import table...": a table file chosen, read and split in the
  // import dialog, whose OK loads the two parts into the grids.
  void import_table();
  // The import dialog for the table at `path` (window-modal; it loads on OK).
  void open_table_file(const QString& path);
  // A file dropped on the training grid: a table opens the import dialog,
  // a data file loads as the training series.
  void open_dropped_file(const QString& path);
  // The data plot of what the grids hold.
  void draw_data_plot();

 signals:
  // The grids hold other data, or none.
  void data_changed();

 private:
  // The open dialog offering `filters` (none: any file).
  [[nodiscard]] std::optional<QString> choose_file(const QStringList& filters = {});
  // Reads a data file for a load; nothing (after telling the user) when it
  // cannot be opened or is not a text file.
  [[nodiscard]] std::optional<data::DataFileResult> read_series(const QString& path);
  // Tells the user why the file at `path` cannot be read; false when it can.
  bool tell_unreadable(const QString& path, data::DataFileError error, const std::string& reason);
  void warn_about_doubtful_file(const QString& path, const data::DataFileResult& file);
  // The two parts of an imported table into the grids, as loading them from
  // two files would, the overlap the split's; its time stamps kept for the charts.
  void load_imported_table(const ImportedTable& table);
  // A grid was emptied or loaded from a file: the grids no longer hold the
  // parts of an imported table.
  void forget_table();

  UserDialogs& dialogs_;
  ProblemTab& problem_tab_;
  DataPlotWindow& data_plot_;
  WindowFiles& files_;
  std::function<std::int32_t()> largest_lag_;
  QWidget* window_;
  std::shared_ptr<const TimeScale> table_time_;
  std::vector<std::pair<std::string, std::string>> table_options_;
  std::optional<batch::DataTable> data_table_;
};

}  // namespace quarvel::ui
