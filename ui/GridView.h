// A view of a two-column GridModel as every grid of the program shows one: the
// column headings in its own header, the time or index column as wide as five
// digits (or its widest time stamp) and the value column taking the rest (so
// it never scrolls sideways),
// rows of one height. Tab leaves the grid; the arrow keys move between its
// cells. Copy (Ctrl+C) puts the selected range on the clipboard as
// tab-separated text with the column headings, as spreadsheets take it; Select
// All (Ctrl+A) selects every cell.
#pragma once

#include <QTableView>

namespace quarvel::ui {

class GridModel;

class GridView final : public QTableView {
  Q_OBJECT

 public:
  // `model` becomes the view's child.
  // `preferred_rows` rows are shown when the layout gives the grid its preferred size.
  GridView(GridModel* model, const QString& object_name, int preferred_rows,
           QWidget* parent = nullptr);

  [[nodiscard]] GridModel* grid_model() const;
  // Room for `rows` rows below the header, and the value texts of the general
  // number format in both columns.
  [[nodiscard]] QSize size_for_rows(int rows) const;
  [[nodiscard]] QSize sizeHint() const override;
  // The selected range as tab-separated lines, headings first; empty when
  // nothing is selected.
  [[nodiscard]] QString selection_text() const;

 protected:
  // Tab in a cell being edited ends the edit and leaves the grid, as Tab does
  // elsewhere in the grid: the view would otherwise edit the next cell, and
  // the keyboard could never leave.
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The time column as wide as the widest text it shows.
  void fit_time_column();

  int preferred_rows_;
};

}  // namespace quarvel::ui
