#include "batch/sweep.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

#include "batch/ensemble.h"
#include "batch/run.h"
#include "batch/summarize.h"
#include "engine/engine.h"
#include "forecasting/forecastfiles.h"
#include "records/outputlist.h"
#include "records/runsummary.h"

namespace quarvel::batch {

namespace {

namespace fs = std::filesystem;
using runs::Setting;

// The bands' levels and paths as the record lists them (--intervals and
// --paths), after the table's settings: runs with other bands are not summarized together.
void add_interval_settings(const RunRequest& request, records::RunRecord& record) {
  if (!request.intervals) return;
  std::string levels;
  for (const double level : request.intervals->levels) {
    if (!levels.empty()) levels += ',';
    levels += forecasting::level_text(level);
  }
  record.settings.emplace_back("--intervals", std::move(levels));
  record.settings.emplace_back(
      "--band-method",
      request.intervals->method == forecasting::BandMethod::errors ? "errors" : "paths");
  record.settings.emplace_back("--paths", std::to_string(request.intervals->paths));
}

// What a population's forecasts are worth, as its record gives it.
void add_forecast_figures(const forecasting::ForecastQuality& quality, bool past_data,
                          records::PopulationFigures& figures) {
  figures.mae = quality.accuracy.mae;
  figures.rmse = quality.accuracy.rmse;
  figures.mape = quality.accuracy.mape;
  figures.mase = quality.accuracy.mase;
  figures.mse_over_benchmark = quality.benchmarks.relative_mse;
  for (const forecasting::BenchmarkScore& score : quality.benchmarks.scores) {
    figures.*records::benchmark_member(score.benchmark) = score.accuracy.scaled_mse;
  }
  if (quality.with_intervals) {
    for (const forecasting::Coverage& band : quality.coverage) {
      figures.coverage.push_back({band.level, band.share});
    }
  }
  figures.validation_divergence = {true, quality.validation_divergence};
  if (past_data) figures.forecast_divergence = {true, quality.past_data_divergence};
}

// FNV-1a over the value texts, each ended by a line feed.
std::uint64_t values_checksum(const data::GridColumns& grid) {
  std::uint64_t hash = 14695981039346656037u;
  const auto add = [&hash](char c) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211u;
  };
  for (const std::string& cell : grid.value) {
    for (const char c : cell) add(c);
    add('\n');
  }
  return hash;
}

records::RunRecord make_record(const RunData& data,
                               const std::vector<runs::PopulationReport>& reports) {
  const RunRequest& request = data.request;
  records::RunRecord record;
  record.version = QUARVEL_VERSION;
  if (data.table && request.data) {
    const SplitTable& table = *data.table;
    record.table =
        records::TableRecord{request.data->path, table.value_column, table.value_name,
                             table.time_column,  table.time_name,    table.split.training_count};
  }
  record.training = {data_path(request, "training"), data.training.rows(),
                     values_checksum(data.training)};
  record.validation = {data_path(request, "validation"), data.validation.rows(),
                       values_checksum(data.validation)};
  // Each value as its rule writes it, so that runs of the same settings
  // record them alike however they were typed ("+2", "0x2", "2").
  const int populations = request.settings.population_count();
  for (const runs::SettingInfo& info : runs::settings_table()) {
    if (info.id == Setting::seed) continue;
    std::string text = runs::setting_text(request.settings, info.id, 0);
    if (info.scope == runs::Scope::population) {
      for (int k = 1; k < populations; ++k) {
        text += ',';
        text += runs::setting_text(request.settings, info.id, k);
      }
    }
    record.settings.emplace_back(info.option, std::move(text));
  }
  add_interval_settings(request, record);
  if (data.table) {
    for (auto& setting : table_reading_settings(*data.table)) {
      record.settings.push_back(std::move(setting));
    }
  }
  record.seed = request.settings.whole(Setting::seed);
  record.stream = request.stream;
  for (const runs::PopulationReport& report : reports) {
    record.populations.push_back(
        {report.best_mse, report.best_mdl, report.validation_mse, report.best_node_count});
  }
  return record;
}

// The run of `data` (whose request is the stream's) from a fresh engine to
// the files of its folder.
std::optional<Failure> run_in_engine(const RunData& data, const RunControl& control,
                                     StreamRun& run) {
  const auto started = std::chrono::steady_clock::now();
  const auto engine = std::make_unique<Engine>();
  if (auto failure = start_engine(data, control.fit_threads, *engine)) return failure;
  runs::GenerationResults results;
  std::optional<std::string> history =
      run_with_history(*engine, results, control.after, control.stop);
  if (!history) {
    return Failure{FailureKind::stopped,
                   "stopped after " + std::to_string(results.generation + 1) + " of " +
                       std::to_string(engine->parameters.number_of_generations) + " generations"};
  }
  records::RunRecord record = make_record(data, results.populations);
  const std::size_t best = records::best_population(record);
  const RunForecasts forecasts = run_forecasts(data, *engine, results, best);
  const bool past_data = data.request.settings.whole(Setting::forecast_ahead) > 0;
  for (std::size_t p = 0; p < forecasts.quality.size(); ++p) {
    add_forecast_figures(forecasts.quality[p], past_data, record.populations[p]);
    // Through a transform, the engine's validation MSE is of the transformed
    // values: the record gives the series' own.
    if (data.transformed) {
      record.populations[p].validation_mse =
          forecasts.quality[p].accuracy.scaled_mse.value.value_or(
              std::numeric_limits<double>::quiet_NaN());
    }
  }
  if (data.transformed) {
    record.transform = forecasting::transform_words(data.transformed->choice.transform);
  }
  std::string member =
      member_text(make_member(record.seed, data.request.stream, static_cast<std::int32_t>(best),
                              series_view(data, *engine), forecasts.quality[best]));
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
  record.seconds = seconds.count();
  run.files = folder_files(data, OutputFolder::run_folder, *engine, results, forecasts,
                           std::move(*history), "", std::move(member));
  // The member is left to the ensemble, which knows one of another run itself.
  const std::string_view record_name = records::listed_output(records::Product::record).name;
  const std::string_view member_name =
      records::listed_output(records::Product::ensemble_member).name;
  for (const auto& [name, content] : run.files) {
    if (name != record_name && name != member_name) {
      record.files.emplace_back(name, records::text_checksum(content));
    }
  }
  run.record_text = records::record_text(record);
  for (auto& [name, content] : run.files) {
    if (name == record_name) content = run.record_text;
  }
  run.record = std::move(record);
  return std::nullopt;
}

}  // namespace

RunRequest stream_request(const RunRequest& request, std::int32_t stream) {
  RunRequest run = request;
  run.output = (fs::path(*request.output) / run_folder_name(stream)).string();
  run.history.reset();
  run.stream = stream;
  run.runs = 0;
  return run;
}

std::optional<Failure> run_stream(const RunData& data, std::int32_t stream,
                                  const RunControl& control, StreamRun& run) {
  run = StreamRun{};
  try {
    RunData stream_data = data;
    stream_data.request = stream_request(data.request, stream);
    run.request = stream_data.request;
    return run_in_engine(stream_data, control, run);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  run = StreamRun{};
  return Failure{FailureKind::out_of_memory,
                 "not enough memory for this run; try smaller populations or series"};
}

std::optional<Failure> write_run_folder(const StreamRun& run, records::FileCalls& calls,
                                        const std::function<bool()>& interrupted) {
  return write_outputs(run.request, OutputFolder::run_folder, "", run.files, calls, interrupted);
}

std::optional<Failure> remove_other_run_folders(const RunRequest& request,
                                                std::vector<Notice>& notices,
                                                records::FileCalls& calls) {
  const std::vector<std::string> names = once_written_names(OutputFolder::run_folder);
  const std::string_view record_name = records::listed_output(records::Product::record).name;
  std::vector<fs::path> folders;
  std::error_code error;
  for (auto entry = fs::directory_iterator(*request.output, error);
       !error && entry != fs::directory_iterator(); entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    std::int32_t stream = -1;
    const char* digits = name.c_str() + std::min<std::size_t>(name.size(), 4);
    const auto [end, problem] = std::from_chars(digits, name.c_str() + name.size(), stream);
    if (problem != std::errc{} || end != name.c_str() + name.size() ||
        run_folder_name(stream) != name ||
        (stream >= request.stream && stream - request.stream < request.runs)) {
      continue;
    }
    std::error_code type_error;
    if (entry->is_symlink(type_error) || !entry->is_directory(type_error)) continue;
    std::string text;
    records::RunRecord record;
    if (read_text(entry->path() / record_name, std::uintmax_t{1} << 20, "a run record", text) ||
        records::parse_record(text, record) || record.stream != stream) {
      continue;
    }
    folders.push_back(entry->path());
  }
  std::sort(folders.begin(), folders.end());
  std::string removed;
  for (const fs::path& folder : folders) {
    for (const std::string& name : names) {
      const std::string path = (folder / name).string();
      if (calls.unlink(path.c_str()) != 0 && errno != ENOENT) {
        return Failure{FailureKind::write_failed, "cannot remove \"" + path +
                                                      "\", a file of a run folder of an earlier "
                                                      "call that this one does not write: " +
                                                      std::strerror(errno)};
      }
    }
    (void)calls.rmdir(folder.c_str());
    removed += (removed.empty() ? "" : ", ") + folder.filename().string();
  }
  if (!folders.empty()) {
    notices.push_back(
        {Notice::Kind::note, "removed the run folders of an earlier call of other streams (" +
                                 removed + "), so that the folder holds this call's runs alone"});
  }
  return std::nullopt;
}

records::RunOutcome run_outcome(const RunRequest& request, std::int32_t stream,
                                const std::optional<std::string>& failure,
                                std::string_view record_text) {
  records::RunOutcome outcome;
  outcome.stream = stream;
  outcome.seed = request.settings.whole(Setting::seed);
  outcome.folder = *stream_request(request, stream).output;
  outcome.failure = failure;
  if (record_text.empty()) return outcome;
  records::RunRecord parsed;
  if (const auto problem = records::parse_record(record_text, parsed)) {
    outcome.failure = "its record could not be read back: " + *problem;
    return outcome;
  }
  outcome.record = std::move(parsed);
  return outcome;
}

std::optional<Failure> write_runs_files(const RunRequest& request,
                                        std::span<const records::RunOutcome> outcomes,
                                        std::string& summary, records::FileCalls& calls,
                                        const std::function<bool()>& interrupted) {
  const EnsembleOutputs ensemble = make_ensemble(outcomes, request.original_units);
  summary = records::summary_text(outcomes) + ensemble.summary_block;
  std::vector<records::OutputFile> files;
  for (const PlannedOutput& planned : planned_outputs(request, OutputFolder::sweep)) {
    std::string content;
    if (planned.product == records::Product::runs_table) {
      content = records::runs_table(outcomes);
    } else if (planned.product == records::Product::summary) {
      content = summary;
    } else if (planned.product == records::Product::ensemble_forecast) {
      content = ensemble.forecast_file;
    }
    files.push_back({(fs::path(*request.output) / planned.name).string(), std::move(content)});
  }
  return write_output_files(files, request.output, calls, interrupted);
}

std::optional<Failure> failed_runs(std::span<const records::RunOutcome> outcomes) {
  std::vector<std::int32_t> failed;
  for (const records::RunOutcome& outcome : outcomes) {
    if (outcome.failure) failed.push_back(outcome.stream);
  }
  if (failed.empty()) return std::nullopt;
  std::string streams;
  for (const std::int32_t stream : failed) {
    streams += (streams.empty() ? "" : ", ") + std::to_string(stream);
  }
  return Failure{FailureKind::runs_failed,
                 std::to_string(failed.size()) + " of " + std::to_string(outcomes.size()) +
                     " runs failed (stream" + (failed.size() > 1 ? "s " : " ") + streams +
                     "); see " +
                     std::string(records::listed_output(records::Product::runs_table).name)};
}

}  // namespace quarvel::batch
