#include "ui/GridModel.h"

#include <QColor>
#include <algorithm>
#include <utility>

namespace quarvel::ui {

GridModel::GridModel(int rows, bool editable, const QStringList& headings, QObject* parent)
    : QAbstractTableModel(parent), editable_(editable), headings_(headings) {
  const auto count = static_cast<std::size_t>(std::max(rows, 1));
  cells_.time.resize(count);
  cells_.value.resize(count);
}

int GridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(cells_.rows());
}

int GridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const bool ahead = first_ahead_row_ >= 0 && index.row() >= first_ahead_row_;
  const bool forecast = first_forecast_row_ >= 0 && index.row() >= first_forecast_row_;
  switch (role) {
    case Qt::DisplayRole:
      return shown_text(index.column(), index.row());
    case Qt::EditRole:
      return cell(index.column(), index.row());
    case Qt::BackgroundRole:
      // Light tints that read on every style's white.
      if (ahead) return QColor(214, 232, 255);
      if (forecast) return QColor(255, 244, 214);
      return {};
    case Qt::ToolTipRole:
      // The index the files and the charts' points number the row by.
      if (index.column() == 0 && has_time_labels()) {
        return QStringLiteral("Index %1").arg(cell(0, index.row()));
      }
      if (ahead) return QStringLiteral("Forecast past the data");
      if (first_forecast_row_ < 0) return {};
      return forecast ? QStringLiteral("Forecast") : QStringLiteral("Known value");
    default:
      return {};
  }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) {
    return section == 0 && has_time_labels() ? time_heading_ : headings_.value(section);
  }
  return section + 1;
}

void GridModel::set_first_ahead_row(int row) {
  if (row == first_ahead_row_) return;
  first_ahead_row_ = row;
  if (rowCount() > 0) {
    emit dataChanged(index(0, 0), index(rowCount() - 1, 1), {Qt::BackgroundRole, Qt::ToolTipRole});
  }
}

void GridModel::set_first_forecast_row(int row) {
  if (row == first_forecast_row_) return;
  first_forecast_row_ = row;
  if (rowCount() > 0) {
    emit dataChanged(index(0, 0), index(rowCount() - 1, 1), {Qt::BackgroundRole, Qt::ToolTipRole});
  }
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) return false;
  set_cell(index.column(), index.row(), value.toString());
  return true;
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
  auto result = QAbstractTableModel::flags(index);
  if (editable_ && !(index.column() == 0 && has_time_labels())) result |= Qt::ItemIsEditable;
  return result;
}

QString GridModel::shown_text(int column, int row) const {
  if (column == 0 && row >= 0 && row < time_labels_.size()) return time_labels_[row];
  return cell(column, row);
}

void GridModel::set_time_labels(QStringList labels, const QString& heading) {
  if (labels.isEmpty() && time_labels_.isEmpty()) return;
  time_labels_ = std::move(labels);
  time_heading_ = heading;
  emit headerDataChanged(Qt::Horizontal, 0, 0);
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 0));
}

QString GridModel::cell(int column, int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= cells_.rows()) return {};
  const auto& texts = column == 0 ? cells_.time : cells_.value;
  return QString::fromStdString(texts[static_cast<std::size_t>(row)]);
}

void GridModel::set_cell(int column, int row, const QString& text) {
  if (row < 0 || static_cast<std::size_t>(row) >= cells_.rows() || column < 0 || column > 1) return;
  auto& texts = column == 0 ? cells_.time : cells_.value;
  texts[static_cast<std::size_t>(row)] = text.toStdString();
  const auto changed = index(row, column);
  emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole});
}

void GridModel::set_row_count(int rows) {
  const int wanted = std::max(rows, 1);
  const int current = rowCount();
  if (wanted > current) {
    beginInsertRows(QModelIndex(), current, wanted - 1);
    cells_.time.resize(static_cast<std::size_t>(wanted));
    cells_.value.resize(static_cast<std::size_t>(wanted));
    endInsertRows();
  } else if (wanted < current) {
    beginRemoveRows(QModelIndex(), wanted, current - 1);
    cells_.time.resize(static_cast<std::size_t>(wanted));
    cells_.value.resize(static_cast<std::size_t>(wanted));
    endRemoveRows();
  }
}

void GridModel::clear_cells() {
  for (auto& text : cells_.time) text.clear();
  for (auto& text : cells_.value) text.clear();
  emit dataChanged(index(0, 0), index(rowCount() - 1, 1), {Qt::DisplayRole, Qt::EditRole});
}

void GridModel::load(data::GridColumns cells) {
  if (cells.rows() == 0) {
    set_row_count(1);
    return;
  }
  beginResetModel();
  cells_ = std::move(cells);
  cells_.time.resize(cells_.rows());  // a time column always matches the value column
  endResetModel();
}

void GridModel::replace_cells(data::GridColumns cells) {
  cells.time.resize(cells.rows());
  if (cells.rows() == 0) cells = data::GridColumns{{std::string()}, {std::string()}};
  if (cells.rows() != cells_.rows()) {
    beginResetModel();
    cells_ = std::move(cells);
    endResetModel();
    return;
  }
  cells_ = std::move(cells);
  emit dataChanged(index(0, 0), index(rowCount() - 1, 1), {Qt::DisplayRole, Qt::EditRole});
}

}  // namespace quarvel::ui
