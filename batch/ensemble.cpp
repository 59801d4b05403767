#include "batch/ensemble.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <utility>

#include "batch/summarize.h"
#include "data/numbertext.h"
#include "forecasting/ensemble.h"
#include "forecasting/forecastfiles.h"
#include "records/outputlist.h"
#include "records/runsummary.h"

namespace quarvel::batch {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMemberHeading = "quarvel-cli ensemble member";
// A member holds 200 numbers for each of at most 40000 + 2^31 steps; one much
// larger than a data set's steps allow is not one.
constexpr std::uintmax_t kLargestMember = std::uintmax_t{1} << 31;

// The summary points: 9 significant digits (printf's %.9g in the "C" locale,
// whatever the process's) keep the member small, and --runs reads them back
// from the file as --summarize does.
std::string point_text(double value) {
  if (std::isnan(value)) return "nan";
  char text[32];
  const auto written =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 9);
  return {text, written.ptr};
}

// The lines of a text that ends with a line feed.
std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The shape two members must share to be one ensemble.
bool same_steps(const EnsembleMember& a, const EnsembleMember& b) {
  return a.first_index == b.first_index && a.held_out.size() == b.held_out.size() &&
         a.forecast.size() == b.forecast.size();
}

// The runs left out, by reason in the order first met.
class LeftOut {
 public:
  void add(std::int32_t stream, const std::string& reason) {
    const auto [place, added] = streams_.try_emplace(reason);
    if (added) reasons_.push_back(reason);
    place->second.push_back(stream);
  }
  [[nodiscard]] std::string text() const {
    std::string text;
    for (const std::string& reason : reasons_) {
      text += "Left out of the ensemble: " + records::labelled_list("stream", streams_.at(reason)) +
              " (" + reason + ").\n";
    }
    return text;
  }

 private:
  std::vector<std::string> reasons_;
  std::map<std::string, std::vector<std::int32_t>> streams_;
};

// The members of the runs that completed, each read from its folder; those
// that are missing or do not fit the first are left out.
std::vector<EnsembleMember> read_members(std::span<const records::RunOutcome> outcomes,
                                         LeftOut& left_out) {
  const std::string name(records::listed_output(records::Product::ensemble_member).name);
  std::vector<EnsembleMember> members;
  for (const records::RunOutcome& outcome : outcomes) {
    if (outcome.failure || !outcome.record) continue;
    const fs::path path = fs::path(outcome.folder) / name;
    std::error_code error;
    if (outcome.folder.empty() || !fs::exists(path, error)) {
      left_out.add(outcome.stream, "no " + name + " in its folder");
      continue;
    }
    std::string text;
    EnsembleMember member;
    if (const auto failure = read_text(path, kLargestMember, "an ensemble member", text)) {
      left_out.add(outcome.stream, failure->message);
      continue;
    }
    if (const auto problem = parse_member(text, member)) {
      left_out.add(outcome.stream, name + ": " + *problem);
      continue;
    }
    if (member.seed != outcome.seed || member.stream != outcome.stream) {
      left_out.add(outcome.stream, "its " + name + " is of another run");
      continue;
    }
    if (!members.empty() && !same_steps(member, members.front())) {
      left_out.add(outcome.stream, "its " + name + " forecasts other steps than stream " +
                                       std::to_string(members.front().stream) + "'s");
      continue;
    }
    members.push_back(std::move(member));
  }
  return members;
}

// The band levels of the runs' --intervals: the first record's (the runs of
// one summary share their settings).
std::vector<double> ensemble_levels(std::span<const records::RunOutcome> outcomes) {
  for (const records::RunOutcome& outcome : outcomes) {
    if (outcome.record) return records::interval_levels(*outcome.record);
  }
  return {};
}

// The header lines of a member after its heading, each "KEY VALUE" in this
// order, then one line per step.
constexpr std::string_view kMemberKeys[] = {
    "seed",       "stream",      "population",       "scale-low",       "scale-high",
    "mase-scale", "first-index", "validation-steps", "past-data-steps", "summary-points"};
constexpr std::size_t kMemberHead = 1 + std::size(kMemberKeys);
// The optional line after them.
constexpr std::string_view kBenchmarkKey = "benchmark";

// "benchmark seasonal_naive X" into `member`; false when it cannot be read.
bool read_benchmark_line(std::string_view line, EnsembleMember& member) {
  const std::vector<std::string_view> words = forecasting::split_fields(line, ' ');
  if (words.size() != 3 || words[0] != kBenchmarkKey) return false;
  for (const forecasting::Benchmark benchmark : forecasting::kBenchmarks) {
    if (forecasting::benchmark_key(benchmark) != words[1]) continue;
    const std::optional<double> mse = forecasting::read_exact<double>(words[2]);
    if (!mse) return false;
    member.best_benchmark = benchmark;
    member.best_benchmark_mse = *mse;
    return true;
  }
  return false;
}

// The member's header lines into `member`, and the validation part's steps.
std::optional<std::string> read_member_head(std::span<const std::string_view> lines,
                                            EnsembleMember& member,
                                            std::int32_t& validation_steps) {
  // The value of header line `k`, after its key.
  std::vector<std::string_view> values;
  for (std::size_t k = 0; k < std::size(kMemberKeys); ++k) {
    const std::string_view line = lines[k + 1];
    if (!line.starts_with(kMemberKeys[k]) || line.substr(kMemberKeys[k].size(), 1) != " ") {
      return "line " + std::to_string(k + 2) + " is not \"" + std::string(kMemberKeys[k]) + "\"";
    }
    values.push_back(line.substr(kMemberKeys[k].size() + 1));
  }
  const auto bad = [](std::size_t k) {
    std::string problem(1, '"');
    problem += kMemberKeys[k];
    return problem + "\" has a value that cannot be read";
  };
  const auto seed = forecasting::read_exact<std::int32_t>(values[0]);
  const auto stream = forecasting::read_exact<std::int32_t>(values[1]);
  const auto population = forecasting::read_exact<std::int32_t>(values[2]);
  const auto low = forecasting::read_exact<double>(values[3]);
  const auto high = forecasting::read_exact<double>(values[4]);
  const auto first_index = forecasting::read_exact<std::int64_t>(values[6]);
  const auto validation = forecasting::read_exact<std::int32_t>(values[7]);
  const auto past_steps = forecasting::read_exact<std::int32_t>(values[8]);
  const auto points = forecasting::read_exact<std::int32_t>(values[9]);
  if (!seed) return bad(0);
  if (!stream) return bad(1);
  if (!population || *population < 1) return bad(2);
  if (!low) return bad(3);
  if (!high) return bad(4);
  if (!first_index) return bad(6);
  if (!validation || *validation < 0) return bad(7);
  if (!past_steps || *past_steps < 0) return bad(8);
  if (!points || *points < 0) return bad(9);
  member.seed = *seed;
  member.stream = *stream;
  member.population = *population;
  member.low = *low;
  member.high = *high;
  if (values[5].starts_with("none: ")) {
    member.mase_scale.reason = std::string(values[5].substr(6));
  } else {
    member.mase_scale.value = forecasting::read_exact<double>(values[5]);
    if (!member.mase_scale.value) return bad(5);
  }
  member.first_index = *first_index;
  member.past_data_steps = *past_steps;
  member.summary.points_per_step = *points;
  validation_steps = *validation;
  return std::nullopt;
}

// The member's step lines, the validation part's first, into `member`.
std::optional<std::string> read_member_steps(std::span<const std::string_view> lines,
                                             std::size_t validation_steps, EnsembleMember& member) {
  const auto per_step = static_cast<std::size_t>(member.summary.points_per_step);
  member.summary.points.reserve(lines.size() * per_step);
  for (std::size_t j = 0; j < lines.size(); ++j) {
    const std::string where = "step line " + std::to_string(j + 1);
    const std::vector<std::string_view> words = forecasting::split_fields(lines[j], ' ');
    if (words.size() != 3 + per_step) {
      return where + " has " + std::to_string(words.size()) + " numbers, not " +
             std::to_string(3 + per_step);
    }
    if (forecasting::read_exact<std::int64_t>(words[0]) !=
        member.first_index + static_cast<std::int64_t>(j)) {
      return where + ": the index does not follow the line before";
    }
    const bool validation = j < validation_steps;
    const std::optional<double> held_out =
        validation ? forecasting::read_exact<double>(words[1]) : std::nullopt;
    if (validation && !held_out) return where + ": the held-out value cannot be read";
    if (!validation && words[1] != "-") return where + ": a held-out value past the data";
    if (held_out) member.held_out.push_back(*held_out);
    const std::optional<double> forecast = forecasting::read_exact<double>(words[2]);
    if (!forecast) return where + ": the forecast cannot be read";
    member.forecast.push_back(*forecast);
    for (std::size_t i = 0; i < per_step; ++i) {
      const std::optional<double> point = forecasting::read_exact<double>(words[3 + i]);
      if (!point) return where + ": a summary point cannot be read";
      member.summary.points.push_back(*point);
    }
  }
  return std::nullopt;
}

// The coverage of the held-out values by the pooled bands' validation part,
// their first steps.
std::vector<forecasting::Coverage> validation_coverage(const forecasting::PooledBands& pooled,
                                                       const EnsembleMember& first) {
  const std::size_t validation_steps = first.held_out.size();
  const auto first_steps = [validation_steps](const std::vector<double>& values) {
    return std::vector<double>(values.begin(),
                               values.begin() + static_cast<std::ptrdiff_t>(validation_steps));
  };
  std::vector<forecasting::Band> validation_bands;
  for (const forecasting::Band& band : pooled.bands) {
    validation_bands.push_back({band.level, first_steps(band.lower), first_steps(band.upper)});
  }
  return forecasting::band_coverage(validation_bands, first.held_out);
}

// The median of the members' forecasts and the bands pooled from their paths
// into `table` (whose levels are set), scaled; the summary's lines on them.
std::string median_of_members(std::span<const EnsembleMember> members, bool original_units,
                              forecasting::BandTable& table) {
  const EnsembleMember& first = members.front();
  std::vector<std::vector<double>> forecasts;
  std::vector<forecasting::PathSummary> summaries;
  std::vector<std::vector<double>> summarized;  // the forecasts of the members with a summary
  for (const EnsembleMember& member : members) {
    forecasts.push_back(member.forecast);
    if (member.summary.points_per_step > 0) {
      summaries.push_back(member.summary);
      summarized.push_back(member.forecast);
    }
  }
  const forecasting::EnsembleMedian median = forecasting::ensemble_median(forecasts);
  table.first_index = first.first_index;
  table.point = median.values;
  const std::size_t validation_steps = first.held_out.size();
  const std::span<const double> validation =
      std::span<const double>(median.values).first(validation_steps);

  std::string block =
      "Ensemble of " + std::to_string(members.size()) + (members.size() == 1 ? " run" : " runs") +
      " (" + std::string(records::listed_output(records::Product::ensemble_forecast).name) + ", " +
      std::string(forecasting::ensemble_units_words(original_units)) +
      "): per step the median of their best populations' forecasts";
  forecasting::PooledBands pooled;
  if (!table.levels.empty()) {
    pooled = forecasting::pooled_bands(summaries, table.levels, summarized);
    block += pooled.reason.empty()
                 ? ", and bands pooled from the bands of " + std::to_string(summaries.size()) +
                       (summaries.size() == 1 ? " run" : " runs")
                 : "; no bands (" + pooled.reason + ")";
    table.bands = pooled.bands;
  }
  block += ".\n";

  const forecasting::Accuracy accuracy = forecasting::forecast_accuracy(
      first.held_out, validation, first.low, first.high, first.mase_scale);
  if (accuracy.points > 0) {
    block += "Its validation forecast over " + std::to_string(accuracy.points) +
             " held-out points: scaled MSE " + data::format_general(*accuracy.scaled_mse.value) +
             ", " + records::accuracy_words(accuracy) + ".\n";
    if (first.best_benchmark && first.best_benchmark_mse > 0.0) {
      block += "Against the benchmarks on the same points: MSE " +
               data::format_general(*accuracy.scaled_mse.value / first.best_benchmark_mse) +
               " of the " + std::string(forecasting::benchmark_name(*first.best_benchmark)) +
               "'s.\n";
    }
  } else {
    block += "Its validation forecast has no accuracy: " + accuracy.mae.reason + ".\n";
  }
  const std::vector<forecasting::Coverage> coverage = validation_coverage(pooled, first);
  if (!coverage.empty()) {
    block += "Coverage of the held-out values: " + records::coverage_words(coverage) + ".\n";
  }
  const std::span<const double> past =
      std::span<const double>(median.values).subspan(validation_steps);
  for (const auto& [part, values] :
       {std::pair{"validation forecast", validation}, std::pair{"forecast past the data", past}}) {
    if (const std::optional<std::int32_t> step = forecasting::first_divergence(values)) {
      block += std::string("The median's ") + part + " diverged at step " + std::to_string(*step) +
               " (it left [lo - span, hi + span]).\n";
    }
  }
  return block;
}

}  // namespace

EnsembleMember make_member(std::int32_t seed, std::int32_t stream, std::int32_t population,
                           const forecasting::ScaledData& data,
                           const forecasting::ForecastQuality& quality) {
  EnsembleMember member;
  member.seed = seed;
  member.stream = stream;
  member.population = population + 1;
  member.low = data.low;
  member.high = data.high;
  member.mase_scale = forecasting::naive_training_mae(data);
  member.first_index = quality.first_index;
  member.held_out.assign(data.held_out().begin(), data.held_out().end());
  member.forecast = quality.validation;
  member.forecast.insert(member.forecast.end(), quality.past_data.begin(), quality.past_data.end());
  member.past_data_steps = static_cast<std::int32_t>(quality.past_data.size());
  const forecasting::PathSummary& validation = quality.validation_bands.summary;
  const forecasting::PathSummary& past = quality.past_data_bands.summary;
  // Both parts, or none: a part of other steps would not pool.
  if (validation.points_per_step > 0 &&
      validation.steps() == static_cast<std::int32_t>(quality.validation.size()) &&
      past.steps() == member.past_data_steps) {
    member.summary.points_per_step = validation.points_per_step;
    member.summary.points = validation.points;
    member.summary.points.insert(member.summary.points.end(), past.points.begin(),
                                 past.points.end());
  }
  if (const std::optional<forecasting::Benchmark> best = quality.benchmarks.best) {
    member.best_benchmark = best;
    for (const forecasting::BenchmarkScore& score : quality.benchmarks.scores) {
      if (score.benchmark == *best) member.best_benchmark_mse = *score.accuracy.scaled_mse.value;
    }
  }
  return member;
}

std::string member_text(const EnsembleMember& member) {
  using forecasting::exact_text;
  std::string text(kMemberHeading);
  text += "\nseed " + std::to_string(member.seed);
  text += "\nstream " + std::to_string(member.stream);
  text += "\npopulation " + std::to_string(member.population);
  text += "\nscale-low " + exact_text(member.low);
  text += "\nscale-high " + exact_text(member.high);
  text += "\nmase-scale " + (member.mase_scale.value ? exact_text(*member.mase_scale.value)
                                                     : "none: " + member.mase_scale.reason);
  text += "\nfirst-index " + std::to_string(member.first_index);
  text += "\nvalidation-steps " + std::to_string(member.held_out.size());
  text += "\npast-data-steps " + std::to_string(member.past_data_steps);
  text += "\nsummary-points " + std::to_string(member.summary.points_per_step) + "\n";
  if (member.best_benchmark) {
    text += std::string(kBenchmarkKey) + " ";
    text += forecasting::benchmark_key(*member.best_benchmark);
    text += " " + exact_text(member.best_benchmark_mse) + "\n";
  }
  for (std::size_t j = 0; j < member.forecast.size(); ++j) {
    text += std::to_string(member.first_index + static_cast<std::int64_t>(j));
    text += ' ';
    text += j < member.held_out.size() ? exact_text(member.held_out[j]) : std::string("-");
    text += ' ';
    text += exact_text(member.forecast[j]);
    if (member.summary.points_per_step > 0) {
      for (const double point : member.summary.at(static_cast<std::int32_t>(j))) {
        text += ' ';
        text += point_text(point);
      }
    }
    text += '\n';
  }
  return text;
}

std::optional<std::string> parse_member(std::string_view text, EnsembleMember& member) {
  member = EnsembleMember{};
  if (!text.ends_with('\n')) return std::string("the file ends within a line");
  const std::vector<std::string_view> lines = lines_of(text);
  if (lines.size() < kMemberHead || lines[0] != kMemberHeading) {
    return "not an ensemble member (its first line is not \"" + std::string(kMemberHeading) + "\")";
  }
  std::int32_t validation_steps = 0;
  if (auto problem = read_member_head(lines, member, validation_steps)) return problem;
  std::size_t head = kMemberHead;
  if (head < lines.size() && lines[head].starts_with(std::string(kBenchmarkKey) + " ")) {
    if (!read_benchmark_line(lines[head], member)) {
      return "line " + std::to_string(head + 1) + " names no benchmark it can read";
    }
    ++head;
  }
  const std::size_t steps =
      static_cast<std::size_t>(validation_steps) + static_cast<std::size_t>(member.past_data_steps);
  if (lines.size() - head != steps) {
    return "it gives " + std::to_string(lines.size() - head) + " steps for " +
           std::to_string(steps);
  }
  return read_member_steps(std::span(lines).subspan(head),
                           static_cast<std::size_t>(validation_steps), member);
}

std::optional<std::string> ensemble_too_large(std::uint64_t runs, std::uint64_t steps,
                                              bool summary_points) {
  // Per step a held-out value, a forecast and the summary points.
  const std::uint64_t per_step =
      2 + (summary_points ? static_cast<std::uint64_t>(forecasting::kSummaryPointCount) : 0);
  if (runs == 0 || steps <= kLargestEnsemble / per_step / runs) return std::nullopt;
  char numbers[32];
  std::snprintf(
      numbers, sizeof numbers, "%.0f",
      static_cast<double>(runs) * static_cast<double>(steps) * static_cast<double>(per_step));
  return "the ensemble of " + std::to_string(runs) + " runs of up to " + std::to_string(steps) +
         " steps" + (summary_points ? " with --intervals" : "") + " would hold " + numbers +
         " numbers at once, more than its bound of " + std::to_string(kLargestEnsemble) +
         " (1 GiB); make fewer runs or fewer --forecast steps" +
         (summary_points ? ", or leave out --intervals" : "");
}

std::optional<std::string> merged_ensemble_too_large(
    std::span<const records::RunOutcome> outcomes) {
  const records::RunRecord* first = nullptr;
  std::uint64_t runs = 0;
  for (const records::RunOutcome& outcome : outcomes) {
    if (outcome.failure || !outcome.record) continue;
    if (first == nullptr) first = &*outcome.record;
    ++runs;
  }
  if (first == nullptr) return std::nullopt;
  std::uint64_t steps = first->validation.values;
  if (const std::string* forecast = records::recorded_setting(*first, "--forecast")) {
    if (const auto past = data::parse_whole_number(*forecast); past && *past > 0) {
      steps += static_cast<std::uint64_t>(*past);
    }
  }
  return ensemble_too_large(runs, steps, !records::interval_levels(*first).empty());
}

EnsembleOutputs make_ensemble(std::span<const records::RunOutcome> outcomes, bool original_units) {
  LeftOut left_out;
  const std::vector<EnsembleMember> members = read_members(outcomes, left_out);
  forecasting::BandTable table;
  table.point_name = "median";
  table.levels = ensemble_levels(outcomes);
  EnsembleOutputs outputs;
  std::string& block = outputs.summary_block;
  block = "\n";
  if (members.empty()) {
    block += "No ensemble: no run that completed left its " +
             std::string(records::listed_output(records::Product::ensemble_member).name) + ".\n";
  } else {
    block += median_of_members(members, original_units, table);
  }
  block += left_out.text();
  if (original_units && !members.empty()) {
    forecasting::to_original_units(table, members.front().low, members.front().high);
  }
  outputs.forecast_file = forecasting::band_table_text(table);
  return outputs;
}

}  // namespace quarvel::batch
