// File > "Import table...": one table file (CSV, TSV and the like) read as the
// user sees fit and split into the training and the validation part. The
// delimiter, the header line and the decimal comma are detected and may be
// overridden, and a thousands separator picked; the value and time columns are
// picked by their header names;
// missing values are refused or filled; the split point is typed (a fraction,
// a count or a time stamp) or picked on a slider, with a live count of the
// two parts and the overlap the populations' largest terminal table needs.
// A table the reader refuses shows why (line and column) instead of loading.
#pragma once

#include <QDialog>
#include <QString>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "batch/request.h"
#include "data/seriessplit.h"
#include "data/tablefile.h"
#include "data/timestamps.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QSlider;
class QTableWidget;

namespace quarvel::ui {

// What OK loads: the two parts and the time stamps of the series' rows, and
// how the table was read and split.
struct ImportedTable {
  QString path;
  data::SeriesSplit split;
  std::optional<data::TimeColumn> time;
  QString time_name;  // the time column's header name, else "Time"
  data::TableLayout layout;
  std::vector<std::string> column_names;  // the header's; empty without one
  std::size_t value_column = 0;           // 1-based
  std::size_t time_column = 0;            // 1-based; 0: none
  data::MissingValues missing = data::MissingValues::refuse;

  // The runner's options that read and split the table as the dialog did,
  // each with its value: --data (where its path is one word), --column,
  // --time-column, --split (the last training row's stamp, or the training
  // count where a stamp would not be one word or there is none), --delimiter,
  // --header, --decimal-comma, --missing. A column is named by its header
  // name where that is one plain word, else by its number.
  [[nodiscard]] std::vector<std::pair<std::string, std::string>> runner_options() const;
  // The table as a request of the run pipeline reads it: read with the
  // layout, columns and missing values the dialog settled on, split after
  // the same training row.
  [[nodiscard]] batch::DataTable data_table() const;
};

class ImportTableDialog final : public QDialog {
  Q_OBJECT

 public:
  // `text`: the file's text (data::read_table_file_text); `largest_lag`:
  // the largest terminal table size of the populations now set, the number of
  // training values the validation part repeats where the split has room.
  ImportTableDialog(const QString& path, std::string text, std::size_t largest_lag,
                    QWidget* parent = nullptr);

  // The parts as the dialog now reads and splits the table; nothing while
  // it refuses them (OK is disabled then).
  [[nodiscard]] const std::optional<ImportedTable>& imported() const noexcept { return imported_; }

  // Whether the file at `path` is plainly a table rather than a data file: a
  // .csv or .tsv name, or a first line that reads as a header of two or more
  // columns.
  [[nodiscard]] static bool is_table_file(const QString& path);

 private:
  // The dialog's fields, their places and what each change does.
  void build_fields();
  void lay_out();
  void connect_fields();
  // The options as the user has set them: detection for what is not set.
  [[nodiscard]] data::TableOptions chosen_options() const;
  // Reads the table again after a change of the options: the preview, the
  // detected options, the column pickers, then the split.
  void read_table_again();
  void show_preview(const data::TablePreview& preview);
  // The refused line shown in the preview (the rows around it after the
  // first rows, or its text where the reader could not split it), marked,
  // its refused cell current and scrolled to.
  void point_at(const data::TableError& error, const data::TablePreview& preview,
                const data::TableOptions& options);
  // The preview's row of a file's line; -1 when it shows none.
  [[nodiscard]] static int row_of_line(const data::TablePreview& preview, std::size_t line);
  // The first rows of `first`, then the rows around `line` read with `options`.
  [[nodiscard]] data::TablePreview preview_around(std::size_t line, const data::TablePreview& first,
                                                  const data::TableOptions& options) const;
  void fill_column_boxes(const data::TablePreview& preview, std::size_t value_column,
                         std::size_t time_column);
  // Splits the table read again after a change of the split point.
  void split_again();
  // What the user should know of a split before loading it, for the
  // message line.
  [[nodiscard]] QString split_notes(const data::SeriesSplit& split, std::size_t overlap) const;
  // The split, the table's time stamps and how it was read, for OK to load.
  void keep_import(data::SeriesSplit split);
  void pick_split_on_slider(int training_count);
  // The split point refused for the reason `why`, and marked.
  void refuse_split(const QString& why);
  // The split field and the slider marked as naming no row for the reason
  // `why`; empty: as naming one.
  void mark_split(const QString& why);
  void refuse(const QString& message);

  QString path_;
  std::string text_;
  std::size_t largest_lag_;
  data::Delimiter detected_delimiter_ = data::Delimiter::none;

  // What the user set; nullopt: as detected.
  std::optional<data::Delimiter> delimiter_choice_;
  std::optional<bool> header_choice_;
  std::optional<bool> decimal_comma_choice_;
  data::ThousandsSeparator thousands_choice_ = data::ThousandsSeparator::none;
  data::ColumnChoice value_choice_ = data::ColumnChoice::detected();
  data::ColumnChoice time_choice_ = data::ColumnChoice::detected();

  std::vector<std::string> column_names_;  // the header's, as the table is read now
  std::optional<data::Table> table_;
  std::optional<ImportedTable> imported_;

  QLabel* file_label_ = nullptr;
  QTableWidget* preview_table_ = nullptr;
  QLabel* layout_label_ = nullptr;
  QComboBox* delimiter_box_ = nullptr;
  QCheckBox* header_check_ = nullptr;
  QCheckBox* decimal_comma_check_ = nullptr;
  QComboBox* thousands_box_ = nullptr;
  QComboBox* value_column_box_ = nullptr;
  QComboBox* time_column_box_ = nullptr;
  QCheckBox* fill_missing_check_ = nullptr;
  QLineEdit* split_edit_ = nullptr;
  QSlider* split_slider_ = nullptr;
  QLabel* counts_label_ = nullptr;
  QLabel* reading_label_ = nullptr;
  QLabel* message_label_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace quarvel::ui
