// "Problem Configuration": the training and validation grids with their load
// and clear buttons, and the run-wide settings. The grids are the window's
// only store of loaded data; nothing here enters the engine before Start.
#pragma once

#include <QWidget>
#include <cstdint>
#include <optional>

#include "data/datafile.h"
#include "runs/settings.h"
#include "ui/SettingsFields.h"

class QPushButton;

namespace quarvel::ui {

class FieldChecker;
class GridModel;
class GridView;

class ProblemTab final : public QWidget {
  Q_OBJECT

 public:
  explicit ProblemTab(FieldChecker& checker, QWidget* parent = nullptr);

  [[nodiscard]] const data::GridColumns& training_cells() const;
  [[nodiscard]] const data::GridColumns& validation_cells() const;
  [[nodiscard]] GridModel* training_model() const;
  [[nodiscard]] GridModel* validation_model() const;
  [[nodiscard]] GridView* training_grid() const noexcept { return training_grid_; }
  // Set by the first load of each series; a clear keeps them.
  [[nodiscard]] bool training_loaded() const noexcept { return training_loaded_; }
  [[nodiscard]] bool validation_loaded() const noexcept { return validation_loaded_; }
  // The validation load is locked until a training series is loaded.
  [[nodiscard]] bool validation_open() const;

  // A loaded training series: the grid, the validation group opened and its
  // cells emptied.
  void show_training_series(data::GridColumns cells);
  // A loaded validation series: the grid, and the overlap written into the
  // overlap field: `overlap` when given (the split of one table knows it),
  // else the one detected against the training cells.
  void show_validation_series(data::GridColumns cells,
                              std::optional<std::int32_t> overlap = std::nullopt);

  // The run-wide settings as typed, and back into the fields.
  void fill_settings(runs::SettingsTexts& settings) const;
  void show_settings(const runs::SettingsTexts& settings);
  [[nodiscard]] QString overlap_text() const;
  // The overlap detected (or given) when the validation series was loaded;
  // nothing while none is loaded.
  [[nodiscard]] std::optional<std::int32_t> detected_overlap() const noexcept {
    return detected_overlap_;
  }

 public slots:
  void clear_training_series();
  void clear_validation_series();

 signals:
  void load_training_requested();
  // A file dropped on the training grid, to load as the training series.
  void training_file_dropped(const QString& path);
  void load_validation_requested();
  void draw_graph_requested();
  void training_cleared();
  void validation_cleared();
  void validation_opened(bool open);
  void overlap_changed();

 private:
  void open_validation(bool open);

  GridView* training_grid_ = nullptr;
  QPushButton* load_training_button_ = nullptr;
  QPushButton* clear_training_button_ = nullptr;
  GridView* validation_grid_ = nullptr;
  QPushButton* load_validation_button_ = nullptr;
  QPushButton* clear_validation_button_ = nullptr;
  SettingsFields settings_;  // the run-wide settings
  QPushButton* draw_graph_button_ = nullptr;
  std::optional<std::int32_t> detected_overlap_;
  bool training_loaded_ = false;
  bool validation_loaded_ = false;
};

}  // namespace quarvel::ui
