#include "ui/ImportTableDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <utility>

#include "ui/qtext.h"
#include "ui/style.h"

namespace quarvel::ui {

namespace {

using data::ColumnChoice;
using data::Delimiter;

// Rows the preview shows, and those it shows before and after a refused line
// further down.
constexpr std::size_t kPreviewRows = 20;
constexpr std::size_t kRowsAroundRefusal = 2;
constexpr std::size_t kColumnsSharingWidth = 6;
// Bytes of a file looked at to tell a table from a data file: detection's
// lines, as long as tables' lines usually are.
constexpr qint64 kTableHeadBytes = qint64{64} * 1024;

constexpr std::array<Delimiter, 5> kDelimiters{
    Delimiter::comma, Delimiter::semicolon, Delimiter::tab, Delimiter::whitespace, Delimiter::none};
constexpr std::array<std::pair<data::ThousandsSeparator, const char*>, 3> kThousandsSeparators{{
    {data::ThousandsSeparator::none, "None"},
    {data::ThousandsSeparator::comma, "Comma, as in 1,046.5"},
    {data::ThousandsSeparator::point, "Point, as in 1.046,5"},
}};

QString capitalised(std::string_view text) {
  QString words = to_qstring(text);
  if (!words.isEmpty()) words[0] = words[0].toUpper();
  return words;
}

// "passengers (column 2)", or "Column 2" without a header.
QString column_caption(const std::vector<std::string>& names, std::size_t column) {
  if (column > names.size() || names[column - 1].empty()) {
    return QStringLiteral("Column %1").arg(column);
  }
  return QStringLiteral("%1 (column %2)").arg(to_qstring(names[column - 1])).arg(column);
}

// The column a choice names among `columns` columns with these header names:
// 0 when it names none of them (detection then picks one).
std::size_t chosen_column(const ColumnChoice& choice, const std::vector<std::string>& names,
                          std::size_t columns) {
  if (choice.kind == ColumnChoice::Kind::name) {
    const auto found = std::find(names.begin(), names.end(), choice.name);
    return found != names.end() ? static_cast<std::size_t>(found - names.begin()) + 1 : 0;
  }
  if (choice.kind == ColumnChoice::Kind::number && choice.number <= columns) return choice.number;
  return 0;
}

// Whether `text` stays one plain word on a settings line of the model files
// (and in their Python docstring and C comment): no blank, no quote, no
// backslash, no comment end, no control character.
bool plain_word(std::string_view text) {
  if (text.empty() || text.find("*/") != std::string_view::npos) return false;
  return std::none_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '\'' || c == '\\' || c == 0x7f;
  });
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ImportedTable::runner_options() const {
  std::vector<std::pair<std::string, std::string>> options;
  const std::string file = QFile::encodeName(QFileInfo(path).canonicalFilePath()).toStdString();
  if (plain_word(file)) options.emplace_back("--data", file);
  const auto column = [this](std::size_t number) {
    const std::string& name = number <= column_names.size() ? column_names[number - 1] : "";
    return plain_word(name) ? name : std::to_string(number);
  };
  options.emplace_back("--column", column(value_column));
  std::string split_point = std::to_string(split.training_count);
  if (time_column != 0) {
    options.emplace_back("--time-column", column(time_column));
    // A stamp that reads as a number is marked, as the dialog's field shows it.
    std::string stamp = data::split_text(split.training_count, time ? &*time : nullptr);
    if (plain_word(stamp)) split_point = std::move(stamp);
  }
  options.emplace_back("--split", split_point);
  if (layout.delimiter != data::Delimiter::none) {
    options.emplace_back("--delimiter", std::string(data::delimiter_name(layout.delimiter)));
  }
  options.emplace_back("--header", layout.header ? "yes" : "no");
  options.emplace_back("--decimal-comma", layout.decimal_comma ? "yes" : "no");
  if (layout.thousands_separator != data::ThousandsSeparator::none) {
    options.emplace_back("--thousands-separator",
                         std::string(data::thousands_separator_name(layout.thousands_separator)));
  }
  options.emplace_back("--missing",
                       missing == data::MissingValues::interpolate ? "interpolate" : "refuse");
  return options;
}

batch::DataTable ImportedTable::data_table() const {
  batch::DataTable table;
  table.path = QFile::encodeName(QFileInfo(path).canonicalFilePath()).toStdString();
  data::TableOptions& reading = table.reading;
  if (layout.delimiter != data::Delimiter::none) reading.delimiter = layout.delimiter;
  reading.header = layout.header;
  reading.decimal_comma = layout.decimal_comma;
  reading.thousands_separator = layout.thousands_separator;
  reading.value_column = ColumnChoice::by_number(value_column);
  reading.time_column =
      time_column != 0 ? ColumnChoice::by_number(time_column) : ColumnChoice::no_column();
  reading.missing = missing;
  table.split = data::split_text(split.training_count, time ? &*time : nullptr);
  return table;
}

ImportTableDialog::ImportTableDialog(const QString& path, std::string text, std::size_t largest_lag,
                                     QWidget* parent)
    : QDialog(parent), path_(path), text_(std::move(text)), largest_lag_(largest_lag) {
  setObjectName(QStringLiteral("import_table_dialog"));
  setWindowTitle(QStringLiteral("Import table"));
  setFont(window_font());
  detected_delimiter_ = data::preview_table(text_, {}, 0).layout.delimiter;

  build_fields();
  lay_out();
  connect_fields();
  read_table_again();
}

void ImportTableDialog::build_fields() {
  file_label_ = new QLabel(QStringLiteral("File: %1").arg(QDir::toNativeSeparators(path_)));
  file_label_->setObjectName(QStringLiteral("file_label"));
  file_label_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  preview_table_ = new QTableWidget();
  preview_table_->setObjectName(QStringLiteral("preview_table"));
  preview_table_->setAccessibleName(QStringLiteral("The first rows of the table"));
  preview_table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  preview_table_->setMinimumHeight(150);
  layout_label_ = new QLabel();
  layout_label_->setObjectName(QStringLiteral("layout_label"));
  layout_label_->setWordWrap(true);

  delimiter_box_ = new QComboBox();
  delimiter_box_->setObjectName(QStringLiteral("delimiter_box"));
  for (const Delimiter delimiter : kDelimiters) {
    QString caption = capitalised(data::delimiter_name(delimiter));
    if (delimiter == detected_delimiter_) caption += QStringLiteral(" (detected)");
    delimiter_box_->addItem(caption, static_cast<int>(delimiter));
  }
  header_check_ = new QCheckBox(QStringLiteral("First line names the columns (&H)"));
  header_check_->setObjectName(QStringLiteral("header_check"));
  decimal_comma_check_ = new QCheckBox(QStringLiteral("Decimal comma, as in 1,5 (&C)"));
  decimal_comma_check_->setObjectName(QStringLiteral("decimal_comma_check"));
  thousands_box_ = new QComboBox();
  thousands_box_->setObjectName(QStringLiteral("thousands_box"));
  for (const auto& [separator, caption] : kThousandsSeparators) {
    thousands_box_->addItem(QString::fromLatin1(caption), static_cast<int>(separator));
  }
  value_column_box_ = new QComboBox();
  value_column_box_->setObjectName(QStringLiteral("value_column_box"));
  time_column_box_ = new QComboBox();
  time_column_box_->setObjectName(QStringLiteral("time_column_box"));
  fill_missing_check_ =
      new QCheckBox(QStringLiteral("Fill missing values (empty, NA, NaN) on the straight line "
                                   "between their neighbours (&F)"));
  fill_missing_check_->setObjectName(QStringLiteral("fill_missing_check"));

  split_edit_ = new QLineEdit(QStringLiteral("0.8"));
  split_edit_->setObjectName(QStringLiteral("split_edit"));
  split_edit_->setPlaceholderText(QStringLiteral("0.8, 120 or 1958-12"));
  split_edit_->setToolTip(
      QStringLiteral("Where the training part ends: a fraction of the rows, a count of rows, or "
                     "the time stamp of its last row, after @ where it reads as a number "
                     "(@1958)."));
  split_slider_ = new QSlider(Qt::Horizontal);
  split_slider_->setObjectName(QStringLiteral("split_slider"));
  split_slider_->setAccessibleName(QStringLiteral("Training rows"));
  counts_label_ = new QLabel();
  counts_label_->setObjectName(QStringLiteral("counts_label"));
  reading_label_ = new QLabel();
  reading_label_->setObjectName(QStringLiteral("reading_label"));
  reading_label_->setWordWrap(true);
  message_label_ = new QLabel();
  message_label_->setObjectName(QStringLiteral("message_label"));
  message_label_->setWordWrap(true);
  message_label_->setTextFormat(Qt::PlainText);

  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons_->setObjectName(QStringLiteral("button_box"));
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void ImportTableDialog::lay_out() {
  // How the table is read, then where it is split.
  auto* reading = new QGridLayout();
  const auto add_row = [reading](int row, const QString& caption, QWidget* field, QWidget* buddy) {
    auto* label = new QLabel(caption);
    label->setBuddy(buddy);
    reading->addWidget(label, row, 0);
    reading->addWidget(field, row, 1);
  };
  add_row(0, QStringLiteral("&Delimiter:"), delimiter_box_, delimiter_box_);
  reading->addWidget(header_check_, 0, 2);
  reading->addWidget(decimal_comma_check_, 0, 3);
  add_row(1, QStringLiteral("&Values:"), value_column_box_, value_column_box_);
  auto* time_label = new QLabel(QStringLiteral("&Time stamps:"));
  time_label->setBuddy(time_column_box_);
  reading->addWidget(time_label, 1, 2, Qt::AlignRight);
  reading->addWidget(time_column_box_, 1, 3);
  add_row(2, QStringLiteral("Thousands &separator:"), thousands_box_, thousands_box_);
  reading->addWidget(fill_missing_check_, 3, 0, 1, 4);
  reading->setColumnStretch(1, 1);
  reading->setColumnStretch(3, 1);

  auto* split = new QHBoxLayout();
  auto* split_label = new QLabel(QStringLiteral("Training part &ends at:"));
  split_label->setBuddy(split_edit_);
  split->addWidget(split_label);
  split->addWidget(split_edit_);
  split->addWidget(split_slider_, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(file_label_);
  layout->addWidget(preview_table_, 1);
  layout->addWidget(layout_label_);
  layout->addLayout(reading);
  layout->addLayout(split);
  layout->addWidget(counts_label_);
  layout->addWidget(reading_label_);
  layout->addWidget(message_label_);
  layout->addWidget(buttons_);
  resize(640, 560);
}

void ImportTableDialog::connect_fields() {
  // What the user sets is kept, whatever is detected after it.
  connect(delimiter_box_, &QComboBox::currentIndexChanged, this, [this](int index) {
    delimiter_choice_ = static_cast<Delimiter>(delimiter_box_->itemData(index).toInt());
    read_table_again();
  });
  connect(header_check_, &QCheckBox::toggled, this, [this](bool header) {
    header_choice_ = header;
    read_table_again();
  });
  connect(decimal_comma_check_, &QCheckBox::toggled, this, [this](bool decimal_comma) {
    decimal_comma_choice_ = decimal_comma;
    read_table_again();
  });
  connect(thousands_box_, &QComboBox::currentIndexChanged, this, [this](int index) {
    thousands_choice_ =
        static_cast<data::ThousandsSeparator>(thousands_box_->itemData(index).toInt());
    read_table_again();
  });
  // A column picked is kept by its header name where the header names it
  // once, so that it stays picked when the delimiter or header changes.
  const auto picked = [this](QComboBox* box, int index) {
    const auto column = static_cast<std::size_t>(box->itemData(index).toInt());
    if (column == 0) return ColumnChoice::no_column();
    const std::string& name = column <= column_names_.size() ? column_names_[column - 1] : "";
    if (!name.empty() && std::count(column_names_.begin(), column_names_.end(), name) == 1) {
      return ColumnChoice::by_name(name);
    }
    return ColumnChoice::by_number(column);
  };
  // One column cannot serve both uses: the other use goes back to detection,
  // which passes over the column just picked.
  connect(value_column_box_, &QComboBox::currentIndexChanged, this, [this, picked](int index) {
    value_choice_ = picked(value_column_box_, index);
    if (time_column_box_->currentData() == value_column_box_->itemData(index)) {
      time_choice_ = ColumnChoice::detected();
    }
    read_table_again();
  });
  connect(time_column_box_, &QComboBox::currentIndexChanged, this, [this, picked](int index) {
    time_choice_ = picked(time_column_box_, index);
    if (value_column_box_->currentData() == time_column_box_->itemData(index)) {
      value_choice_ = ColumnChoice::detected();
    }
    read_table_again();
  });
  connect(fill_missing_check_, &QCheckBox::toggled, this, &ImportTableDialog::read_table_again);
  connect(split_edit_, &QLineEdit::textChanged, this, &ImportTableDialog::split_again);
  connect(split_slider_, &QSlider::valueChanged, this, &ImportTableDialog::pick_split_on_slider);
}

bool ImportTableDialog::is_table_file(const QString& path) {
  const QFileInfo info(path);
  const QString suffix = info.suffix().toLower();
  if (suffix == QStringLiteral("csv") || suffix == QStringLiteral("tsv")) return true;
  // Not a device or a pipe, whose reading could wait for ever.
  if (!info.isFile()) return false;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  QByteArray head = file.read(kTableHeadBytes);
  // The lines read whole: a line cut short could read as another kind.
  if (!file.atEnd()) head.truncate(static_cast<qsizetype>(head.lastIndexOf('\n')) + 1);
  const data::TablePreview preview = data::preview_table(
      std::string_view(head.constData(), static_cast<std::size_t>(head.size())), {}, 0);
  return preview.error.problem != data::TableProblem::not_text && preview.layout.header &&
         preview.layout.columns >= 2;
}

data::TableOptions ImportTableDialog::chosen_options() const {
  data::TableOptions options;
  options.delimiter = delimiter_choice_;
  options.header = header_choice_;
  // A decimal comma is no choice where the comma delimits the fields, nor
  // where a thousands separator settles it.
  options.thousands_separator = thousands_choice_;
  if (delimiter_choice_.value_or(detected_delimiter_) != Delimiter::comma &&
      thousands_choice_ == data::ThousandsSeparator::none) {
    options.decimal_comma = decimal_comma_choice_;
  }
  options.missing = fill_missing_check_->isChecked() ? data::MissingValues::interpolate
                                                     : data::MissingValues::refuse;
  options.value_column = ColumnChoice::detected();
  options.time_column = ColumnChoice::detected();
  return options;
}

void ImportTableDialog::read_table_again() {
  table_.reset();
  mark_split({});  // a table refused has no split to judge
  data::TableOptions options = chosen_options();
  // The columns there are under these options, to find the picked ones among.
  const data::TablePreview columns = data::preview_table(text_, options, 0);
  column_names_ = columns.column_names;
  if (time_choice_.kind == ColumnChoice::Kind::none) {
    options.time_column = ColumnChoice::no_column();
  } else if (const std::size_t time =
                 chosen_column(time_choice_, column_names_, columns.layout.columns)) {
    options.time_column = ColumnChoice::by_number(time);
  }
  if (const std::size_t value =
          chosen_column(value_choice_, column_names_, columns.layout.columns)) {
    options.value_column = ColumnChoice::by_number(value);
  }
  const data::TablePreview preview = data::preview_table(text_, options, kPreviewRows);
  column_names_ = preview.column_names;
  // Detection's suggestion stands beside the picker, not in it, when the
  // user wants no time column.
  const std::size_t time =
      options.time_column.kind == ColumnChoice::Kind::none ? 0 : preview.time_column;
  show_preview(preview);
  fill_column_boxes(preview, preview.value_column, time);
  if (preview.error.problem != data::TableProblem::none) {
    refuse(to_qstring(preview.error.message));
    point_at(preview.error, preview, options);
    return;
  }

  options.value_column = ColumnChoice::by_number(preview.value_column);
  options.time_column = time != 0 ? ColumnChoice::by_number(time) : ColumnChoice::no_column();
  data::TableResult result = data::read_table(text_, options);
  if (!result.table) {
    QString message = to_qstring(result.error.message);
    if (result.error.problem == data::TableProblem::ambiguous_comma) {
      // Undecided, not ticked: ticking it decides.
      const QSignalBlocker blocker(decimal_comma_check_);
      decimal_comma_check_->setChecked(false);
      message +=
          QStringLiteral(": tick \"Decimal comma\", or pick the comma as thousands separator");
    }
    refuse(message);
    point_at(result.error, preview, options);
    return;
  }
  table_ = std::move(result.table);
  split_again();
}

void ImportTableDialog::show_preview(const data::TablePreview& preview) {
  const data::TableLayout& layout = preview.layout;
  {
    const QSignalBlocker delimiter(delimiter_box_);
    const QSignalBlocker header(header_check_);
    const QSignalBlocker decimal_comma(decimal_comma_check_);
    delimiter_box_->setCurrentIndex(delimiter_box_->findData(static_cast<int>(layout.delimiter)));
    header_check_->setChecked(layout.header);
    decimal_comma_check_->setChecked(layout.decimal_comma);
    decimal_comma_check_->setEnabled(layout.delimiter != Delimiter::comma &&
                                     layout.thousands_separator == data::ThousandsSeparator::none);
  }
  layout_label_->setText(capitalised(data::describe_layout(layout)) + QLatin1Char('.'));

  std::size_t columns = layout.columns;
  for (const auto& row : preview.rows) columns = std::max(columns, row.size());
  preview_table_->clear();
  preview_table_->setColumnCount(static_cast<int>(columns));
  preview_table_->setRowCount(static_cast<int>(preview.rows.size()));
  QStringList headings;
  for (std::size_t column = 1; column <= columns; ++column) {
    QString heading = column <= preview.column_names.size()
                          ? to_qstring(preview.column_names[column - 1])
                          : QStringLiteral("Column %1").arg(column);
    if (column == preview.value_column) heading += QStringLiteral("\n(values)");
    if (column == preview.time_column) heading += QStringLiteral("\n(time)");
    headings << heading;
  }
  preview_table_->setHorizontalHeaderLabels(headings);
  // Rows by the file's line numbers, as the messages name them.
  QStringList lines;
  for (std::size_t row = 0; row < preview.rows.size(); ++row) {
    lines << QString::number(preview.lines[row]);
    for (std::size_t column = 0; column < preview.rows[row].size(); ++column) {
      preview_table_->setItem(static_cast<int>(row), static_cast<int>(column),
                              new QTableWidgetItem(to_qstring(preview.rows[row][column])));
    }
  }
  preview_table_->setVerticalHeaderLabels(lines);
  // A few columns share the width; more keep theirs and scroll.
  preview_table_->horizontalHeader()->setSectionResizeMode(
      columns <= kColumnsSharingWidth ? QHeaderView::Stretch : QHeaderView::Interactive);
}

void ImportTableDialog::point_at(const data::TableError& error, const data::TablePreview& preview,
                                 const data::TableOptions& options) {
  if (error.line == 0) return;
  int row = row_of_line(preview, error.line);
  if (row < 0) {
    // A line past the first rows: the preview shows them, then the rows
    // around it.
    const data::TablePreview around = preview_around(error.line, preview, options);
    show_preview(around);
    row = row_of_line(around, error.line);
  }
  if (row < 0) {
    // A line the reader could not split into fields (a quote that does not
    // close): its text as it stands, across the columns.
    row = preview_table_->rowCount();
    preview_table_->insertRow(row);
    preview_table_->setVerticalHeaderItem(row, new QTableWidgetItem(QString::number(error.line)));
    preview_table_->setItem(row, 0,
                            new QTableWidgetItem(to_qstring(data::text_line(text_, error.line))));
    if (preview_table_->columnCount() > 1) {
      preview_table_->setSpan(row, 0, 1, preview_table_->columnCount());
    }
  }
  // The faulty line stands out, the refused cell the most, with the reason
  // as its tip.
  const int column =
      error.column >= 1 && static_cast<int>(error.column) <= preview_table_->columnCount()
          ? static_cast<int>(error.column) - 1
          : 0;
  for (int c = 0; c < preview_table_->columnCount(); ++c) {
    QTableWidgetItem* cell = preview_table_->item(row, c);
    if (cell == nullptr) {
      cell = new QTableWidgetItem();
      preview_table_->setItem(row, c, cell);
    }
    cell->setBackground(c == column ? colours::refused_cell : colours::refused_line);
    cell->setToolTip(to_qstring(error.message));
  }
  preview_table_->verticalHeaderItem(row)->setForeground(colours::refusal_text);
  preview_table_->setCurrentCell(row, column);
  preview_table_->scrollTo(preview_table_->currentIndex(), QAbstractItemView::PositionAtCenter);
}

int ImportTableDialog::row_of_line(const data::TablePreview& preview, std::size_t line) {
  const auto found = std::find(preview.lines.begin(), preview.lines.end(), line);
  return found == preview.lines.end() ? -1 : static_cast<int>(found - preview.lines.begin());
}

data::TablePreview ImportTableDialog::preview_around(std::size_t line,
                                                     const data::TablePreview& first,
                                                     const data::TableOptions& options) const {
  // No more rows than lines come before the line's end.
  data::TablePreview around = data::preview_table(text_, options, line);
  data::TablePreview shown = first;
  for (std::size_t k = 0; k < around.rows.size(); ++k) {
    const std::size_t at = around.lines[k];
    if (at + kRowsAroundRefusal >= line && at <= line + kRowsAroundRefusal &&
        row_of_line(first, at) < 0) {
      shown.rows.push_back(around.rows[k]);
      shown.lines.push_back(at);
    }
  }
  return shown;
}

void ImportTableDialog::fill_column_boxes(const data::TablePreview& preview,
                                          std::size_t value_column, std::size_t time_column) {
  const QSignalBlocker value(value_column_box_);
  const QSignalBlocker time(time_column_box_);
  value_column_box_->clear();
  time_column_box_->clear();
  time_column_box_->addItem(QStringLiteral("(none)"), 0);
  for (std::size_t column = 1; column <= preview.layout.columns; ++column) {
    const QString caption = column_caption(preview.column_names, column);
    value_column_box_->addItem(caption, static_cast<int>(column));
    time_column_box_->addItem(caption, static_cast<int>(column));
  }
  value_column_box_->setCurrentIndex(static_cast<int>(value_column) - 1);
  time_column_box_->setCurrentIndex(static_cast<int>(time_column));
}

void ImportTableDialog::split_again() {
  imported_.reset();
  if (!table_) return;
  const std::vector<double>& values = table_->values;
  const data::TimeColumn* time = table_->time ? &*table_->time : nullptr;
  const std::size_t rows = values.size();
  {
    const QSignalBlocker blocker(split_slider_);
    split_slider_->setRange(1, static_cast<int>(std::max<std::size_t>(rows, 2) - 1));
    split_slider_->setEnabled(rows >= 2);
  }
  const data::SplitPoint point = data::SplitPoint::from_text(split_edit_->text().toStdString());
  const data::SplitCount count = data::split_training_count(rows, point, time);
  if (!count.error.empty()) {
    refuse_split(to_qstring(count.error));
    return;
  }
  const std::size_t overlap = data::split_overlap(rows, count.training_count, largest_lag_);
  data::SplitResult result = data::split_series(values, point, overlap, time);
  if (!result.split) {
    refuse_split(to_qstring(result.error));
    return;
  }
  mark_split({});
  data::SeriesSplit& split = *result.split;
  {
    const QSignalBlocker blocker(split_slider_);
    split_slider_->setValue(static_cast<int>(split.training_count));
  }
  counts_label_->setText(
      QStringLiteral("Training: %1 points, validation: %2 points (%3 held out), overlap: %4")
          .arg(split.training.size())
          .arg(split.validation.size())
          .arg(rows - split.training_count)
          .arg(overlap));
  QString reading = capitalised(split.reading) + QLatin1Char('.');
  if (!table_->note.empty())
    reading += QLatin1Char(' ') + capitalised(table_->note) + QLatin1Char('.');
  reading_label_->setText(reading);

  message_label_->setStyleSheet(QString());
  message_label_->setText(split_notes(split, overlap));

  keep_import(std::move(split));
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(true);
}

QString ImportTableDialog::split_notes(const data::SeriesSplit& split, std::size_t overlap) const {
  // What the user should know before loading: fewer repeated values than
  // the largest lag, and an overlap the grids would not detect by themselves.
  QStringList notes;
  if (overlap < largest_lag_) {
    notes << QStringLiteral(
                 "The validation part repeats %1 training values, fewer than the largest terminal "
                 "table size, %2, as the split leaves room for no more: at the forecast start, "
                 "lags past %1 reach into the training part.")
                 .arg(overlap)
                 .arg(largest_lag_);
  }
  if (!split.overlap_warning.empty()) {
    notes << QStringLiteral(
                 "Two files holding these parts would be loaded with an overlap of %1, as the "
                 "last training values occur earlier in the validation part; the import sets "
                 "the overlap to %2.")
                 .arg(split.detected_overlap)
                 .arg(overlap);
  }
  return notes.join(QLatin1Char(' '));
}

void ImportTableDialog::keep_import(data::SeriesSplit split) {
  ImportedTable& imported = imported_.emplace();
  imported.path = path_;
  imported.split = std::move(split);
  imported.time = table_->time;
  imported.layout = table_->layout;
  imported.column_names = table_->column_names;
  imported.value_column = table_->value_column;
  imported.time_column = table_->time_column;
  imported.missing = fill_missing_check_->isChecked() ? data::MissingValues::interpolate
                                                      : data::MissingValues::refuse;
  const std::size_t time_column = table_->time_column;
  imported.time_name = time_column >= 1 && time_column <= table_->column_names.size() &&
                               !table_->column_names[time_column - 1].empty()
                           ? to_qstring(table_->column_names[time_column - 1])
                           : QStringLiteral("Time");
}

void ImportTableDialog::pick_split_on_slider(int training_count) {
  if (!table_ || training_count < 1) return;
  const auto count = static_cast<std::size_t>(training_count);
  // The time stamp of the last training row where there is one: what a
  // user would type.
  split_edit_->setText(
      to_qstring(data::split_text(count, table_->time ? &*table_->time : nullptr)));
}

void ImportTableDialog::refuse_split(const QString& why) {
  refuse(QStringLiteral("The split point: %1").arg(why));
  mark_split(why);
}

void ImportTableDialog::mark_split(const QString& why) {
  // The typed point in red, and the slider's filled part: it still stands
  // where the last point that named a row put it.
  QPalette edit = palette();
  QPalette slider = palette();
  if (!why.isEmpty()) {
    edit.setColor(QPalette::Base, colours::refused_line);
    slider.setColor(QPalette::Highlight, colours::refusal_text);
  }
  split_edit_->setPalette(edit);
  split_slider_->setPalette(slider);
  split_edit_->setAccessibleDescription(why.isEmpty() ? QString()
                                                      : QStringLiteral("Invalid: %1").arg(why));
  split_slider_->setAccessibleDescription(
      why.isEmpty() ? QString()
                    : QStringLiteral("Not at the typed split point, which names no row"));
}

void ImportTableDialog::refuse(const QString& message) {
  imported_.reset();
  counts_label_->clear();
  reading_label_->clear();
  message_label_->setStyleSheet(QStringLiteral("color: %1;").arg(colours::refusal_text.name()));
  message_label_->setText(QStringLiteral("Nothing can be loaded: %1").arg(message));
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(false);
}

}  // namespace quarvel::ui
