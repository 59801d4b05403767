// The runs table of the runs window: a row a run of runs.csv, its columns
// headed in words ("Validation MSE", "Coverage 80 %"), the forecaster's
// columns (MAE, MASE, the coverages) first, figures rounded to four digits
// (the file's full text in the tooltip and in what Ctrl+C copies), sortable
// by any column. Failed runs and runs whose folder is missing stand apart.
#pragma once

#include <QString>
#include <QTableWidget>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quarvel::ui {

class RunsTable final : public QTableWidget {
  Q_OBJECT

 public:
  // A run by its seed and stream.
  using RunKey = std::pair<std::int32_t, std::int32_t>;

  explicit RunsTable(QWidget* parent = nullptr);

  // The rows of runs.csv, its heading first; `missing` names the runs the
  // table lists as done whose run.txt was not found.
  void show_runs(const std::vector<std::vector<std::string>>& rows,
                 const std::set<RunKey>& missing);
  // The selected rows, headings first, tab-separated, every figure as the
  // file gives it; empty when nothing is selected.
  [[nodiscard]] QString selection_text() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The file's columns in the order shown: the forecaster's first.
  [[nodiscard]] static std::vector<std::size_t> shown_order(const std::vector<std::string>& keys);
};

}  // namespace quarvel::ui
