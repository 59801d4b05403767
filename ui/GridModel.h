// The two-column string grid of the data and output grids: time (or index) texts and
// value texts, one pair per row. It keeps the cells as data::GridColumns so
// that the data path reads them without a copy per cell and a 40000-row load
// is one model reset.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include "data/datafile.h"

namespace quarvel::ui {

class GridModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  // `headings` names the two columns in the grid's header.
  GridModel(int rows, bool editable, const QStringList& headings, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  [[nodiscard]] const data::GridColumns& columns() const noexcept { return cells_; }
  [[nodiscard]] QString cell(int column, int row) const;
  void set_cell(int column, int row, const QString& text);

  // Row count as the grid knows it: never below 1. New rows are empty, rows
  // that stay keep their texts.
  void set_row_count(int rows);
  // Empties every cell; the row count stays.
  void clear_cells();
  // A load: as many rows as `cells` has (at least 1), the cells written from row 0.
  // An empty `cells` leaves one row whose texts are not rewritten.
  void load(data::GridColumns cells);
  // New texts for every cell at once: one change notice when the row count
  // stays (views keep their scroll position), a reset otherwise.
  void replace_cells(data::GridColumns cells);

  // Rows from `row` on are forecasts, the rows before it known values: the
  // grid sets them apart. -1: no row is a forecast.
  void set_first_forecast_row(int row);
  [[nodiscard]] int first_forecast_row() const noexcept { return first_forecast_row_; }
  // Texts shown, and copied, in the time column instead of its cells, one a
  // row from the first (a table's time stamps), under `heading`; the cells
  // keep the points' indices, and the column cannot be edited meanwhile.
  // No labels: the cells again, under the column's own heading.
  void set_time_labels(QStringList labels, const QString& heading);
  void clear_time_labels() { set_time_labels({}, {}); }
  [[nodiscard]] bool has_time_labels() const noexcept { return !time_labels_.isEmpty(); }
  // The text the grid shows in a cell: a time label where there is one.
  [[nodiscard]] QString shown_text(int column, int row) const;

  // Rows from `row` on forecast past the loaded data, set apart again. -1: none.
  void set_first_ahead_row(int row);
  [[nodiscard]] int first_ahead_row() const noexcept { return first_ahead_row_; }

 private:
  data::GridColumns cells_;
  bool editable_;
  QStringList headings_;
  QStringList time_labels_;
  QString time_heading_;
  int first_forecast_row_ = -1;
  int first_ahead_row_ = -1;
};

}  // namespace quarvel::ui
