#include "ui/RunsTable.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string_view>

#include "ui/qtext.h"

namespace quarvel::ui {

namespace {

// How a column's cells are shown.
enum class Shown {
  as_written,  // whole numbers and words
  figure,      // four significant digits
  share,       // a share of 1 as a percentage, one decimal
};

struct ColumnInfo {
  std::string_view key;  // the heading in runs.csv
  const char* heading;
  Shown shown;
};

// In the order shown; coverage_L columns after MASE, in the file's order.
constexpr std::array<ColumnInfo, 20> kColumns{{
    {"stream", "Stream", Shown::as_written},
    {"mae", "MAE", Shown::figure},
    {"mase", "MASE", Shown::figure},
    {"rmse", "RMSE", Shown::figure},
    {"mape", "MAPE %", Shown::figure},
    {"mse_over_best_benchmark", "MSE / best benchmark", Shown::figure},
    {"validation_mse", "Validation MSE", Shown::figure},
    {"naive_mse", "Naive MSE", Shown::figure},
    {"seasonal_naive_mse", "Seasonal naive MSE", Shown::figure},
    {"drift_mse", "Drift MSE", Shown::figure},
    {"linear_ar_mse", "Linear AR MSE", Shown::figure},
    {"validation_diverged_at_step", "Validation diverged at step", Shown::as_written},
    {"forecast_diverged_at_step", "Forecast diverged at step", Shown::as_written},
    {"best_mse", "Best MSE", Shown::figure},
    {"best_mdl", "Best MDL", Shown::figure},
    {"best_nodes", "Nodes", Shown::as_written},
    {"population", "Population", Shown::as_written},
    {"seed", "Seed", Shown::as_written},
    {"seconds", "Seconds", Shown::figure},
    {"status", "Status", Shown::as_written},
}};
constexpr std::string_view kCoveragePrefix = "coverage_";
constexpr std::size_t kCoverageAfter = 2;  // MASE's place in kColumns

// The file's texts sort and read as numbers where they hold them.
std::optional<double> number_of(const QString& text) {
  bool ok = false;
  const double value = text.toDouble(&ok);
  if (!ok || std::isnan(value)) return std::nullopt;
  return value;
}

// A cell showing a rounded figure, sorting by the file's value; numbers
// before text and empty cells.
class RunCell final : public QTableWidgetItem {
 public:
  RunCell(const QString& full, Shown shown) : QTableWidgetItem(full), full_(full) {
    number_ = number_of(full);
    if (number_ && shown == Shown::figure) {
      setText(QString::number(*number_, 'g', 4));
    } else if (number_ && shown == Shown::share) {
      setText(QString::number(*number_ * 100.0, 'f', 1) + QStringLiteral(" %"));
    }
    if (text() != full_) setToolTip(full_);
    if (number_) setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  [[nodiscard]] const QString& full() const noexcept { return full_; }

  bool operator<(const QTableWidgetItem& other) const override {
    const auto* cell = dynamic_cast<const RunCell*>(&other);
    if (cell == nullptr) return QTableWidgetItem::operator<(other);
    if (number_ && cell->number_) return *number_ < *cell->number_;
    if (number_ || cell->number_) return number_.has_value();
    return full_ < cell->full_;
  }

 private:
  QString full_;
  std::optional<double> number_;
};

const ColumnInfo* info_of(std::string_view key) {
  const auto* found = std::find_if(kColumns.begin(), kColumns.end(),
                                   [key](const ColumnInfo& info) { return info.key == key; });
  return found != kColumns.end() ? found : nullptr;
}

QString heading_of(const std::string& key) {
  if (const ColumnInfo* info = info_of(key)) return QString::fromLatin1(info->heading);
  if (key.starts_with(kCoveragePrefix)) {
    return QStringLiteral("Coverage %1 %").arg(to_qstring(key.substr(kCoveragePrefix.size())));
  }
  return to_qstring(key);  // a column of another version, by its own name
}

Shown shown_of(const std::string& key) {
  if (const ColumnInfo* info = info_of(key)) return info->shown;
  return key.starts_with(kCoveragePrefix) ? Shown::share : Shown::as_written;
}

}  // namespace

RunsTable::RunsTable(QWidget* parent) : QTableWidget(parent) {
  setObjectName(QStringLiteral("runs_table"));
  setAccessibleName(QStringLiteral("Runs"));
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSortingEnabled(true);
  verticalHeader()->hide();
  setToolTip(
      QStringLiteral("Click a column's heading to sort the runs by it; Ctrl+C copies the "
                     "selected runs with every figure in full."));
}

std::vector<std::size_t> RunsTable::shown_order(const std::vector<std::string>& keys) {
  // Rank of each file column: its place in kColumns (coverages just after
  // MASE), unknown columns after all of them, each group in the file's order.
  const auto rank = [](const std::string& key) -> std::size_t {
    if (const ColumnInfo* info = info_of(key)) {
      const auto place = static_cast<std::size_t>(info - kColumns.data());
      return place <= kCoverageAfter ? place : place + 1;
    }
    if (key.starts_with(kCoveragePrefix)) return kCoverageAfter + 1;
    return kColumns.size() + 1;
  };
  std::vector<std::size_t> order(keys.size());
  for (std::size_t c = 0; c < keys.size(); ++c) order[c] = c;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return rank(keys[a]) < rank(keys[b]); });
  return order;
}

void RunsTable::show_runs(const std::vector<std::vector<std::string>>& rows,
                          const std::set<RunKey>& missing) {
  // Filled unsorted, then sorted as the user last chose (by stream at first).
  setSortingEnabled(false);
  clear();
  const std::vector<std::string>& keys = rows.front();
  const std::vector<std::size_t> order = shown_order(keys);
  setColumnCount(static_cast<int>(keys.size()));
  setRowCount(static_cast<int>(rows.size() - 1));
  QStringList headings;
  for (const std::size_t c : order) headings << heading_of(keys[c]);
  setHorizontalHeaderLabels(headings);
  const auto column = [&keys](std::string_view key) -> std::optional<std::size_t> {
    const auto found = std::find(keys.begin(), keys.end(), key);
    if (found == keys.end()) return std::nullopt;
    return static_cast<std::size_t>(found - keys.begin());
  };
  const std::optional<std::size_t> status = column("status");
  const std::optional<std::size_t> seed = column("seed");
  const std::optional<std::size_t> stream = column("stream");
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const std::vector<std::string>& fields = rows[r];
    const auto field = [&fields](std::optional<std::size_t> at) {
      return at && *at < fields.size() ? QString::fromStdString(fields[*at]) : QString();
    };
    const bool failed = status && field(status) != QStringLiteral("ok");
    const bool gone =
        !failed && seed && stream && missing.contains({field(seed).toInt(), field(stream).toInt()});
    for (std::size_t shown = 0; shown < order.size(); ++shown) {
      const std::size_t c = order[shown];
      if (c >= fields.size()) continue;
      auto* cell = new RunCell(QString::fromStdString(fields[c]), shown_of(keys[c]));
      if (failed) {
        // A failed run stands out, with its reason in full on every cell.
        cell->setBackground(QColor(255, 225, 225));
        cell->setToolTip(field(status));
      } else if (gone) {
        cell->setBackground(QColor(228, 228, 228));
        cell->setForeground(QColor(96, 96, 96));
        cell->setToolTip(QStringLiteral("Missing: its run.txt was not found in the folder"));
        if (keys[c] == "status") cell->setText(QStringLiteral("missing"));
      }
      setItem(static_cast<int>(r - 1), static_cast<int>(shown), cell);
    }
  }
  setSortingEnabled(true);
  // With the sort indicator: its room counted in the headings' widths.
  resizeColumnsToContents();
  if (horizontalHeader()->sortIndicatorSection() >= columnCount()) {
    sortByColumn(0, Qt::AscendingOrder);
  }
}

QString RunsTable::selection_text() const {
  QList<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows << index.row();
  if (rows.isEmpty()) return {};
  std::sort(rows.begin(), rows.end());
  QStringList lines;
  QStringList headings;
  for (int c = 0; c < columnCount(); ++c) headings << horizontalHeaderItem(c)->text();
  lines << headings.join(QLatin1Char('\t'));
  for (const int row : rows) {
    QStringList fields;
    for (int c = 0; c < columnCount(); ++c) {
      const auto* cell = dynamic_cast<const RunCell*>(item(row, c));
      fields << (cell != nullptr ? cell->full() : QString());
    }
    lines << fields.join(QLatin1Char('\t'));
  }
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void RunsTable::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    const QString text = selection_text();
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
    event->accept();
    return;
  }
  QTableWidget::keyPressEvent(event);
}

}  // namespace quarvel::ui
