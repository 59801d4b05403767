// The output file: one line per output-grid row, "index,value" and CR LF.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quarvel::frontend {

// The exact file content for the rows (column 0 texts, column 1 texts).
[[nodiscard]] std::string output_file_text(std::span<const std::string> index_cells,
                                           std::span<const std::string> value_cells);

// Writes `content` completely or not at all: to a temporary file beside `path`,
// flushed and closed, then renamed over it. nullopt on success, else the reason.
[[nodiscard]] std::optional<std::string> write_file_atomically(const std::string& path,
                                                               std::string_view content);

// Output-grid cells of a prediction: index texts 0..n-1 and value texts.
struct OutputCells {
  std::vector<std::string> index;
  std::vector<std::string> value;
};
[[nodiscard]] OutputCells output_cells(std::span<const double> prediction);

}  // namespace quarvel::frontend
