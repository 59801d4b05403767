// The "Results" tab of TForm1: the charts, the best-individual text, the
// output grids and the progress display that a run fills generation by
// generation. The TForm1 members that build and drive it live in Gp.cpp.
#pragma once

namespace quarvel::ui {

inline constexpr const char* kNotRunning = "Not running";

// Row count of an output grid before the first run.
inline constexpr int kOutputGridRows = 5;

}  // namespace quarvel::ui
