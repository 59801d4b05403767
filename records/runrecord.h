// What a run folder of many runs records about its run (run.txt): written by
// the run, read back by a merge and by the window's runs window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/tablefile.h"
#include "records/runfigures.h"

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
  // The transforms the run modelled its series through, in words
  // (forecasting::transform_words); "none" where a record does not say.
  std::string transform = "none";
  std::vector<PopulationFigures> populations;  // after the last generation
  double seconds = 0.0;                        // the run's computing time
  // The run folder's files but the record and the ensemble member, by name,
  // with a checksum of each
  // (text_checksum), so that a merge knows a folder whose files are not all
  // of this run; none in records of earlier versions.
  std::vector<std::pair<std::string, std::uint64_t>> files;

  friend bool operator==(const RunRecord&, const RunRecord&) = default;
};

// A file's checksum as run.txt gives it: FNV-1a of its bytes.
[[nodiscard]] std::uint64_t text_checksum(std::string_view text);

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

// Whether the record's runs rank their individuals by MSE (--rank-by mse)
// rather than by MDL.
[[nodiscard]] bool ranks_by_mse(const RunRecord& record);

// The band levels a record's --intervals names; none without it.
[[nodiscard]] std::vector<double> interval_levels(const RunRecord& record);

// How to read the table of a --data run again as the run read it: its value
// and time columns, and the reading its record gives (--delimiter, --header,
// --decimal-comma, --thousands-separator, --missing), detected as before
// where a record of an earlier version does not say. Needs record.table.
[[nodiscard]] data::TableOptions table_reading(const RunRecord& record);

// A recorded setting's text, or nullptr.
[[nodiscard]] const std::string* recorded_setting(const RunRecord& record, std::string_view option);

}  // namespace quarvel::records
