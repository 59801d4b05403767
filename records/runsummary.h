// What a run folder of --runs records about its run (run.txt), and the table
// and summary of many runs (runs.csv, summary.txt) made from such records,
// whether one call wrote them all or many calls on many machines did: the
// runner writes and reads them, the window reads them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "forecasting/accuracy.h"
#include "forecasting/intervals.h"

namespace quarvel::records {

// A data file as a run read it: the name it was given, its value count, and
// a checksum of the values as the engine received them (their texts), by
// which runs of the same data are known wherever the file lay.
struct DataRecord {
  std::string path;
  std::size_t values = 0;
  std::uint64_t checksum = 0;

  friend bool operator==(const DataRecord&, const DataRecord&) = default;
};

// The table of a --data run: its file, its value and time columns (number
// from 1 and header name) and where it was split (the training values).
struct TableRecord {
  std::string path;
  std::size_t value_column = 0;
  std::string value_name;
  std::size_t time_column = 0;  // 0: none
  std::string time_name;
  std::size_t training_values = 0;

  friend bool operator==(const TableRecord&, const TableRecord&) = default;
};

// The share of held-out values inside a prediction band of one level.
struct BandCoverage {
  double level = 0.0;
  forecasting::Figure share;

  friend bool operator==(const BandCoverage&, const BandCoverage&) = default;
};

// Where a forecast left the data's range widened by its span on each side.
struct Divergence {
  bool recorded = false;             // false in records of earlier versions
  std::optional<std::int32_t> step;  // the first step outside, from 1; none: it stayed inside

  friend bool operator==(const Divergence&, const Divergence&) = default;
};

// A population's figures at the end of a run. Each is listed once, with its
// names in run.txt, runs.csv and summary.txt, in the lists those files are
// written and read from (runsummary.cpp).
struct PopulationFigures {
  double best_mse = 0.0;
  double best_mdl = 0.0;
  double validation_mse = 0.0;  // of the forecast over the validation part
  double best_node_count = 0.0;
  // The accuracy of that forecast in the series' units: a figure that cannot
  // be given is absent with the reason, one that a record of an earlier
  // version does not hold absent without one.
  forecasting::Figure mae{};
  forecasting::Figure rmse{};
  forecasting::Figure mape{};  // in percent
  forecasting::Figure mase{};
  std::vector<BandCoverage> coverage{};  // with --intervals, per level
  Divergence validation_divergence{};
  Divergence forecast_divergence{};  // of the forecast past the data, with --forecast

  friend bool operator==(const PopulationFigures&, const PopulationFigures&) = default;
};

struct RunRecord {
  std::string version;
  std::optional<TableRecord> table;  // a --data run's; its parts are training and validation
  DataRecord training;
  DataRecord validation;
  // Every setting but the seed, as its option and text in the settings
  // table's order; a population setting as one value per population, comma
  // separated. Each value is written as its rule writes it (setting_text);
  // records of earlier versions may hold it as it was typed.
  std::vector<std::pair<std::string, std::string>> settings;
  std::int32_t seed = 0;
  std::int32_t stream = 0;
  std::vector<PopulationFigures> populations;  // after the last generation
  double seconds = 0.0;                        // the run's computing time

  friend bool operator==(const RunRecord&, const RunRecord&) = default;
};

// run.txt: one "key value" line each, numbers that read back exactly.
[[nodiscard]] std::string record_text(const RunRecord& record);

// Reads run.txt into `record`; nullopt when it is whole, else what is wrong.
[[nodiscard]] std::optional<std::string> parse_record(std::string_view text, RunRecord& record);

// nullopt when both are runs of the same data and settings (their seeds and
// streams may differ), else how they differ.
[[nodiscard]] std::optional<std::string> settings_difference(const RunRecord& a,
                                                             const RunRecord& b);

// The population whose figures stand for its run: the lowest best MDL, or best
// MSE with --rank-by mse, as the run ranks its individuals; the first of equals.
[[nodiscard]] std::size_t best_population(const RunRecord& record);

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

// summary.txt: the runs, the best run, and the minimum, quartiles, median and
// maximum of each figure over the runs that did not fail, with the runs whose
// forecasts ran away. It holds no times, so the same runs give the same
// summary however they were run. (The ensemble's block follows it: ensemble.h.)
[[nodiscard]] std::string summary_text(std::span<const RunOutcome> runs);

// A validation forecast's accuracy in words, as the runner and summary.txt
// tell it: "MAE 30.8386, RMSE 42.4818, MAPE (%) 80.3483, MASE 1.90811", each
// figure that cannot be given "not given (why)".
[[nodiscard]] std::string accuracy_words(const forecasting::Accuracy& accuracy);

// The bands' coverage in words: "80 % band 0.691176 (47 of 68), 95 % band ...".
[[nodiscard]] std::string coverage_words(std::span<const forecasting::Coverage> coverage);

// "seed 1", "streams 0-19", "streams 0-3, 7".
[[nodiscard]] std::string labelled_list(std::string_view label, std::vector<std::int32_t> numbers);

// The band levels a record's --intervals names; none without it.
[[nodiscard]] std::vector<double> interval_levels(const RunRecord& record);

// A recorded setting's text, or nullptr.
[[nodiscard]] const std::string* recorded_setting(const RunRecord& record, std::string_view option);

}  // namespace quarvel::records
