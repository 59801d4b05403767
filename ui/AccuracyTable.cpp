#include "ui/AccuracyTable.h"

#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>
#include <cstddef>

namespace quarvel::ui {

namespace {

enum Column { points, scaled_mse, mae, rmse, mape, mase, cover_80, cover_95, diverged, columns };

// A figure to four significant digits, or a dash with the reason as its tip.
QTableWidgetItem* figure_item(const forecasting::Figure& figure, const QString& suffix = {}) {
  auto* item = new QTableWidgetItem();
  if (figure.value) {
    item->setText(QString::number(*figure.value, 'g', 4) + suffix);
  } else {
    item->setText(QStringLiteral("\u2014"));
    item->setToolTip(QString::fromStdString(figure.reason));
  }
  return item;
}

QTableWidgetItem* coverage_item(const forecasting::ForecastQuality& quality, double level) {
  for (const forecasting::Coverage& coverage : quality.coverage) {
    if (coverage.level != level) continue;
    QTableWidgetItem* item =
        coverage.share.value
            ? new QTableWidgetItem(QString::number(*coverage.share.value * 100.0, 'f', 1) +
                                   QStringLiteral(" %"))
            : figure_item(coverage.share);
    if (coverage.share.value) {
      item->setToolTip(QStringLiteral("%1 of %2 held-out values inside the %3 % band")
                           .arg(coverage.inside)
                           .arg(coverage.count)
                           .arg(level));
    }
    return item;
  }
  auto* item = new QTableWidgetItem(QStringLiteral("\u2014"));
  item->setToolTip(QString::fromStdString(quality.interval_reason));
  return item;
}

// The figures every forecast has, of a population or a benchmark.
void set_accuracy_cells(QTableWidget& table, int row, const forecasting::Accuracy& accuracy) {
  table.setItem(row, points, new QTableWidgetItem(QString::number(accuracy.points)));
  table.setItem(row, scaled_mse, figure_item(accuracy.scaled_mse));
  table.setItem(row, mae, figure_item(accuracy.mae));
  table.setItem(row, rmse, figure_item(accuracy.rmse));
  table.setItem(row, mape, figure_item(accuracy.mape, QStringLiteral(" %")));
  table.setItem(row, mase, figure_item(accuracy.mase));
}

// "Seasonal naive": a benchmark's name as a row heading.
// "Seasonal naive" short, so that the table keeps its width: "S. naive".
QString benchmark_heading(forecasting::Benchmark benchmark) {
  if (benchmark == forecasting::Benchmark::seasonal_naive) return QStringLiteral("S. naive");
  QString name = QString::fromUtf8(forecasting::benchmark_name(benchmark));
  name[0] = name[0].toUpper();
  return name;
}

}  // namespace

QString divergence_text(const forecasting::ForecastQuality& quality) {
  const auto& validation = quality.validation_divergence;
  const auto& past = quality.past_data_divergence;
  if (validation && past) {
    return QStringLiteral("diverged at step %1 (ahead: step %2)").arg(*validation).arg(*past);
  }
  if (validation) return QStringLiteral("diverged at step %1").arg(*validation);
  if (past) return QStringLiteral("diverged at step %1 ahead").arg(*past);
  return {};
}

AccuracyTable::AccuracyTable(QWidget* parent) : QTableWidget(0, columns, parent) {
  setObjectName(QStringLiteral("accuracy_table"));
  setAccessibleName(QStringLiteral("Accuracy of the validation forecasts"));
  setHorizontalHeaderLabels({QStringLiteral("Points"), QStringLiteral("MSE (scaled)"),
                             QStringLiteral("MAE"), QStringLiteral("RMSE"), QStringLiteral("MAPE"),
                             QStringLiteral("MASE"), QStringLiteral("80 % band"),
                             QStringLiteral("95 % band"), QStringLiteral("Diverged")});
  horizontalHeaderItem(scaled_mse)
      ->setToolTip(QStringLiteral(
          "Mean squared error of the scaled validation forecast; the benchmarks' rows below give "
          "theirs on the same points, and a population's tip says how it compares with the best"));
  horizontalHeaderItem(mase)->setToolTip(QStringLiteral(
      "MAE over the in-sample MAE of the one-step naive forecast on the training data"));
  horizontalHeaderItem(cover_80)->setToolTip(
      QStringLiteral("Share of the held-out values inside the 80 % prediction band"));
  horizontalHeaderItem(cover_95)->setToolTip(
      QStringLiteral("Share of the held-out values inside the 95 % prediction band"));
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::NoSelection);
  setFocusPolicy(Qt::NoFocus);
  QFont small = font();
  small.setPixelSize(10);
  setFont(small);
  horizontalHeader()->setFont(small);
  verticalHeader()->setFont(small);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  horizontalHeader()->setStretchLastSection(true);
  // The table asks for the room of all its rows and columns: nothing scrolls
  // out of sight.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  fit_size();
}

void AccuracyTable::clear_figures() {
  setRowCount(0);
  fit_size();
}

void AccuracyTable::show_quality(const std::vector<forecasting::ForecastQuality>& quality,
                                 bool bands) {
  // The benchmarks forecast the same points for every population: their
  // rows follow the populations' once.
  const std::vector<forecasting::BenchmarkScore> no_scores;
  const std::vector<forecasting::BenchmarkScore>& scores =
      quality.empty() ? no_scores : quality.front().benchmarks.scores;
  setRowCount(static_cast<int>(quality.size() + scores.size()));
  QStringList rows;
  for (std::size_t p = 0; p < quality.size(); ++p) {
    const auto row = static_cast<int>(p);
    const forecasting::ForecastQuality& figures = quality[p];
    rows << QStringLiteral("No%1").arg(row + 1);
    set_accuracy_cells(*this, row, figures.accuracy);
    // "MSE 0.62 of the seasonal naive's": the model against the best benchmark.
    if (!figures.benchmarks.scores.empty()) {
      item(row, scaled_mse)
          ->setToolTip(QString::fromStdString(forecasting::relative_words(figures.benchmarks)));
    }
    setItem(row, cover_80, coverage_item(figures, 80.0));
    setItem(row, cover_95, coverage_item(figures, 95.0));
    const QString diverged_text = divergence_text(figures);
    auto* diverged_item = new QTableWidgetItem(
        diverged_text.isEmpty() ? QStringLiteral("no")
                                : diverged_text.mid(QStringLiteral("diverged ").size()));
    if (!diverged_text.isEmpty()) {
      diverged_item->setForeground(QColor(0xC0, 0x00, 0x00));
      diverged_item->setToolTip(QStringLiteral(
          "The forecast left the loaded data's range widened by its span on each side: over the "
          "validation part at the step given, or past the data (\"ahead\")."));
    }
    setItem(row, diverged, diverged_item);
  }
  const QBrush benchmark_text(QColor(0x55, 0x55, 0x55));
  for (std::size_t b = 0; b < scores.size(); ++b) {
    const auto row = static_cast<int>(quality.size() + b);
    rows << benchmark_heading(scores[b].benchmark);
    set_accuracy_cells(*this, row, scores[b].accuracy);
    for (const int column : {cover_80, cover_95, diverged}) {
      setItem(row, column, new QTableWidgetItem());
    }
    for (int column = 0; column < columns; ++column)
      item(row, column)->setForeground(benchmark_text);
  }
  setVerticalHeaderLabels(rows);
  for (std::size_t b = 0; b < scores.size(); ++b) {
    verticalHeaderItem(static_cast<int>(quality.size() + b))
        ->setToolTip(QStringLiteral("The %1 forecast of the same held-out points")
                         .arg(QString::fromUtf8(forecasting::benchmark_name(scores[b].benchmark))));
  }
  setColumnHidden(cover_80, !bands);
  setColumnHidden(cover_95, !bands);
  fit_size();
}

QString AccuracyTable::cell_text(int row, int column) const {
  const QTableWidgetItem* found = item(row, column);
  return found != nullptr ? found->text() : QString();
}

QString AccuracyTable::cell_tip(int row, int column) const {
  const QTableWidgetItem* found = item(row, column);
  return found != nullptr ? found->toolTip() : QString();
}

void AccuracyTable::fit_size() {
  // Every row shown: at most four populations.
  int height = horizontalHeader()->sizeHint().height() + 2 * frameWidth();
  for (int row = 0; row < std::max(rowCount(), 1); ++row) {
    height += row < rowCount() ? rowHeight(row) : verticalHeader()->defaultSectionSize();
  }
  setFixedHeight(height);
  // Every column shown, as wide as its heading and its figures need.
  int width = verticalHeader()->sizeHint().width() + 2 * frameWidth();
  for (int column = 0; column < columnCount(); ++column) {
    if (isColumnHidden(column)) continue;
    width += std::max(horizontalHeader()->sectionSizeHint(column), sizeHintForColumn(column));
  }
  setMinimumWidth(width);
}

}  // namespace quarvel::ui
