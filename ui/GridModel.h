// The two-column string grid of the data and output grids: time (or index) texts and
// value texts, one pair per row. It keeps the cells as frontend::GridColumns so
// that the data path reads them without a copy per cell and a 40000-row load
// is one model reset.
#pragma once

#include <QAbstractTableModel>

#include "frontend/datafile.h"

namespace quarvel::ui {

class GridModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  GridModel(int rows, bool editable, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  [[nodiscard]] const frontend::GridColumns& columns() const noexcept { return cells_; }
  [[nodiscard]] QString cell(int column, int row) const;
  void set_cell(int column, int row, const QString& text);

  // Row count as the grid knows it: never below 1. New rows are empty, rows
  // that stay keep their texts.
  void set_row_count(int rows);
  // Empties every cell; the row count stays.
  void clear_cells();
  // A load: as many rows as `cells` has (at least 1), the cells written from row 0.
  // An empty `cells` leaves one row whose texts are not rewritten.
  void load(frontend::GridColumns cells);
  // New texts for every cell at once: one change notice when the row count
  // stays (views keep their scroll position), a reset otherwise.
  void replace_cells(frontend::GridColumns cells);

 private:
  frontend::GridColumns cells_;
  bool editable_;
};

}  // namespace quarvel::ui
