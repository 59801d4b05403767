// The records of runs (run.txt) and the table and summary of many runs
// (runs.csv, summary.txt) live in the frontend, which the window reads them
// with too; the runner knows them by these names.
#pragma once

#include "frontend/runsummary.h"

namespace quarvel::cli {

using frontend::accuracy_words;
using frontend::BandCoverage;
using frontend::best_population;
using frontend::coverage_words;
using frontend::DataRecord;
using frontend::Divergence;
using frontend::interval_levels;
using frontend::labelled_list;
using frontend::parse_record;
using frontend::parse_runs_table;
using frontend::PopulationFigures;
using frontend::record_text;
using frontend::recorded_setting;
using frontend::RunOutcome;
using frontend::RunRecord;
using frontend::runs_table;
using frontend::settings_difference;
using frontend::summary_text;
using frontend::TableFigures;
using frontend::TableRecord;

}  // namespace quarvel::cli
