// The table of many runs (runs.csv): one line per run, written from the runs'
// records and read back by a merge and by the window's runs window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "records/runfigures.h"
#include "records/runrecord.h"

namespace quarvel::records {

// What a line of runs.csv gives of a run: the population that stands for it,
// that population's figures, and the run's seconds.
struct TableFigures {
  std::size_t population = 0;  // 0-based
  PopulationFigures figures;
  double seconds = 0.0;

  friend bool operator==(const TableFigures&, const TableFigures&) = default;
};

// One run of many: its record when it ran to its end, and why it failed when
// it did (then the record, if any, holds figures whose files are missing).
struct RunOutcome {
  std::int32_t stream = 0;
  std::int32_t seed = 0;
  std::optional<RunRecord> record;
  std::optional<std::string> failure;
  // A failed run known only from a line of runs.csv: the figures that line
  // gives, when it gives them.
  std::optional<TableFigures> table_figures;
  // The folder that holds the run's files, when it is known.
  std::string folder{};
};

// A row of a CSV text: its fields.
using CsvRow = std::vector<std::string>;

// The rows of a CSV text as runs.csv writes its fields: a quoted field may
// hold commas, doubled quotes and line ends; a line may end in CR LF. nullopt
// when a quoted field is not closed.
[[nodiscard]] std::optional<std::vector<CsvRow>> csv_rows(std::string_view text);

// runs.csv: a header, then one line per run in the order given.
[[nodiscard]] std::string runs_table(std::span<const RunOutcome> runs);

// Reads runs.csv into one outcome per line, in the order of the lines: each
// with its stream, seed, failure and table_figures (no record); nullopt when
// it is whole, else what is wrong. Columns are found by their heading, so a
// table without some figure's column (of another version) reads, its lines
// then without figures.
[[nodiscard]] std::optional<std::string> parse_runs_table(std::string_view text,
                                                          std::vector<RunOutcome>& runs);

}  // namespace quarvel::records
