#include "ui/GridView.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <algorithm>

#include "ui/GridModel.h"
#include "ui/style.h"

namespace quarvel::ui {

GridView::GridView(GridModel* model, const QString& object_name, int preferred_rows,
                   QWidget* parent)
    : QTableView(parent), preferred_rows_(preferred_rows) {
  setObjectName(object_name);
  // Sizes are measured in the windows' font: the grid may not have its parent's yet.
  setFont(window_font());
  model->setParent(this);
  setModel(model);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  // Times and indices need five digits at most; the values take the rest.
  horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
  fit_time_column();
  horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  horizontalHeader()->setHighlightSections(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setTabKeyNavigation(false);
  setWordWrap(false);
  setMinimumSize(size_for_rows(3));
  connect(model, &GridModel::headerDataChanged, this, &GridView::fit_time_column);
}

void GridView::fit_time_column() {
  // The widest of the texts the column shows: five digits, or its stamps.
  QString widest = QStringLiteral("000000");
  const GridModel* grid = grid_model();
  if (grid->has_time_labels()) {
    for (int row = 0; row < grid->rowCount(); ++row) {
      const QString shown = grid->shown_text(0, row);
      if (shown.size() > widest.size()) widest = shown;
    }
  }
  horizontalHeader()->resizeSection(0, fontMetrics().horizontalAdvance(widest) + 16);
}

QSize GridView::sizeHint() const {
  return size_for_rows(preferred_rows_);
}

void GridView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  const bool tab = hint == QAbstractItemDelegate::EditNextItem;
  const bool backtab = hint == QAbstractItemDelegate::EditPreviousItem;
  if (tabKeyNavigation() || (!tab && !backtab)) {
    QTableView::closeEditor(editor, hint);
    return;
  }
  QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
  focusNextPrevChild(tab);
}

QString GridView::selection_text() const {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  if (selected.isEmpty()) return {};
  int top = selected.front().row();
  int bottom = top;
  int left = selected.front().column();
  int right = left;
  for (const QModelIndex& index : selected) {
    top = std::min(top, index.row());
    bottom = std::max(bottom, index.row());
    left = std::min(left, index.column());
    right = std::max(right, index.column());
  }
  QString text;
  const auto add_line = [&](const auto& cell_text) {
    for (int column = left; column <= right; ++column) {
      if (column > left) text += QLatin1Char('\t');
      text += cell_text(column);
    }
    text += QLatin1Char('\n');
  };
  add_line([this](int column) {
    return model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
  });
  for (int row = top; row <= bottom; ++row) {
    add_line([this, row](int column) { return grid_model()->shown_text(column, row); });
  }
  return text;
}

void GridView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    const QString text = selection_text();
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

GridModel* GridView::grid_model() const {
  return static_cast<GridModel*>(model());
}

QSize GridView::size_for_rows(int rows) const {
  // "-7.77778E-254" is the widest text of the number format.
  const int values = fontMetrics().horizontalAdvance(QStringLiteral("-7.77778E-254")) + 12;
  const int width = horizontalHeader()->sectionSize(0) + values +
                    verticalScrollBar()->sizeHint().width() + 2 * frameWidth();
  const int height = horizontalHeader()->sizeHint().height() +
                     rows * verticalHeader()->defaultSectionSize() + 2 * frameWidth();
  return {width, height};
}

}  // namespace quarvel::ui
