// The "Results" tab of TForm1: the charts, the best-individual text, the
// output grids and the progress display that a run fills generation by
// generation, and the run driver that feeds them. The TForm1 members that
// build and drive it live in Gp.cpp.
#pragma once

#include <vector>

class QPushButton;

namespace quarvel::ui {

inline constexpr const char* kNotRunning = "Not running";

// Row count of an output grid before the first run.
inline constexpr int kOutputGridRows = 5;

inline constexpr const char* kAbortCaption = "Venko";
inline constexpr const char* kAbortQuestion = "Are you sure you want to abort this GP run?";

// The stock kinds of the Start/Abort and Stop/Resume buttons. A kind gives the
// button its stock glyph and caption; a button of kind OK is pressed by Enter
// and one of kind No by Esc while the "Results" tab has the focus.
enum class ButtonKind { ok, no, abort };

void set_button_kind(QPushButton* button, ButtonKind kind);
[[nodiscard]] ButtonKind button_kind(const QPushButton* button);

// The display store of one run, allocated by the run driver at its start and
// released at its end: per population the best individual's MDL and MSE after
// every generation, its latest predicted series, and the figures of the two
// chart windows (forecast error, best and mean node counts).
struct ResultHistories {
  ResultHistories(int populations, int generations, int points);

  std::vector<std::vector<double>> mdl;
  std::vector<std::vector<double>> mse;
  std::vector<std::vector<double>> predictions;
  std::vector<std::vector<double>> validation_mse;
  std::vector<std::vector<double>> best_nodes;
  std::vector<std::vector<double>> average_nodes;
};

}  // namespace quarvel::ui
