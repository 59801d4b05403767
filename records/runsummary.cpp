#include "records/runsummary.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "data/numbertext.h"
#include "forecasting/forecastfiles.h"
#include "records/outputlist.h"
#include "records/runrecord.h"

namespace quarvel::records {

namespace {

// The value at fraction q of the sorted values, interpolated linearly
// between the two it falls between.
double quantile(std::span<const double> sorted, double q) {
  const double place = static_cast<double>(sorted.size() - 1) * q;
  const auto below = static_cast<std::size_t>(place);
  const double fraction = place - static_cast<double>(below);
  if (fraction == 0.0 || below + 1 >= sorted.size()) return sorted[below];
  const double low = sorted[below];
  const double high = sorted[below + 1];
  if (std::isnan(low) || std::isnan(high)) return std::numeric_limits<double>::quiet_NaN();
  if (std::isinf(low)) return low;
  if (std::isinf(high)) return high;
  return low + fraction * (high - low);
}

// "0-19", "0-3, 7, 9-10".
std::string number_list(std::vector<std::int32_t> numbers) {
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  std::string text;
  for (std::size_t i = 0; i < numbers.size();) {
    std::size_t last = i;
    while (last + 1 < numbers.size() && numbers[last + 1] == numbers[last] + 1) ++last;
    if (!text.empty()) text += ", ";
    text += std::to_string(numbers[i]);
    if (last > i) {
      text += '-';
      text += std::to_string(numbers[last]);
    }
    i = last + 1;
  }
  return text;
}

std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

// The columns of a table of figures.
constexpr std::size_t kNameWidth = 17;
constexpr std::size_t kColumnWidth = 16;

std::string figures_heading() {
  std::string text = padded("figure", kNameWidth);
  for (const std::string_view heading :
       {"min", "lower quartile", "median", "upper quartile", "max"}) {
    text += padded(std::string(heading), kColumnWidth);
  }
  text.erase(text.find_last_not_of(' ') + 1);
  return text + '\n';
}

// A row of the figures table: the name, then the minimum, quartiles, median
// and maximum of `values`.
std::string figure_row(std::string_view name, std::vector<double> values) {
  std::sort(values.begin(), values.end(), figure_less);
  std::string row = padded(std::string(name), kNameWidth);
  for (const double q : {0.0, 0.25, 0.5, 0.75, 1.0}) {
    row += padded(data::format_general(quantile(values, q)), kColumnWidth);
  }
  row.erase(row.find_last_not_of(' ') + 1);
  return row + '\n';
}

// A row for a figure that some runs may lack, and a line for those.
void add_optional_row(std::string& rows, std::string& notes, std::string_view name,
                      std::span<const forecasting::Figure* const> figures) {
  std::vector<double> values;
  std::size_t missing = 0;
  std::string reason;
  for (const forecasting::Figure* figure : figures) {
    if (figure != nullptr && figure->value) {
      values.push_back(*figure->value);
      continue;
    }
    ++missing;
    if (reason.empty() && figure != nullptr) reason = figure->reason;
  }
  // A figure no run's record holds, nor says why, is one its version did
  // not know: nothing to tell.
  if (values.empty() && reason.empty()) return;
  if (!values.empty()) rows += figure_row(name, std::move(values));
  if (missing > 0) {
    notes += std::string(name) + " is not given for " + plural(missing, "run", "runs") +
             (!reason.empty() ? ": " + reason
              : missing == 1  ? std::string(" (not in its record)")
                              : std::string(" (not in their records)")) +
             ".\n";
  }
}

// The block of summary.txt on the runs' validation forecasts, when their
// records hold its figures.
std::string forecast_block(std::span<const PopulationFigures* const> runs,
                           std::span<const std::int32_t> streams) {
  const auto holds_figures = [](const PopulationFigures* run) {
    return std::any_of(std::begin(kAccuracyFigures), std::end(kAccuracyFigures),
                       [run](const AccuracyInfo& info) {
                         const forecasting::Figure& figure = run->*info.member;
                         return figure.value || !figure.reason.empty();
                       });
  };
  if (std::none_of(runs.begin(), runs.end(), holds_figures)) return {};
  std::string rows;
  std::string notes;
  std::vector<const forecasting::Figure*> figures;
  for (const AccuracyInfo& info : kAccuracyFigures) {
    figures.clear();
    for (const PopulationFigures* run : runs) figures.push_back(&(run->*info.member));
    add_optional_row(rows, notes, info.summary_name, figures);
  }
  for (const double level : coverage_levels(runs)) {
    figures.clear();
    for (const PopulationFigures* run : runs) {
      figures.push_back(coverage_of(*run, level));
    }
    add_optional_row(rows, notes, forecasting::level_text(level) + " % coverage", figures);
  }
  std::string text =
      "\nThe validation forecast of each run's best population, in the series' units (coverage: "
      "the share of held-out values inside a band):\n" +
      figures_heading() + rows + notes;
  if (rows.find("\nMSE / benchmark ") != std::string::npos) {
    text +=
        "MSE / benchmark: the validation MSE over the best benchmark's on the same points (below "
        "1, the model beats them all); the benchmarks' MSEs are scaled to [0, 1] as it is.\n";
  }
  std::string counts;
  for (const DivergenceInfo& info : kDivergences) {
    std::size_t recorded = 0;
    std::vector<std::int32_t> diverged;
    for (std::size_t r = 0; r < runs.size(); ++r) {
      const Divergence& divergence = runs[r]->*info.member;
      recorded += divergence.recorded ? 1 : 0;
      if (divergence.step) diverged.push_back(streams[r]);
    }
    if (recorded == 0) continue;
    counts += counts.empty() ? "" : "; ";
    counts += std::string(info.summary_name) + " of " + std::to_string(diverged.size()) + " of " +
              plural(recorded, "run", "runs");
    if (!diverged.empty()) counts += " (" + labelled_list("stream", diverged) + ")";
  }
  if (!counts.empty()) {
    text +=
        "Diverged, leaving [lo - span, hi + span] (lo and hi the data's minimum and maximum, "
        "span = hi - lo): " +
        counts + ".\n";
  }
  return text;
}

}  // namespace

std::string accuracy_words(const forecasting::Accuracy& accuracy) {
  const auto words = [](std::string_view name, const forecasting::Figure& figure) {
    return std::string(name) + " " +
           (figure.value ? data::format_general(*figure.value)
                         : "not given (" + figure.reason + ")");
  };
  return words("MAE", accuracy.mae) + ", " + words("RMSE", accuracy.rmse) + ", " +
         words("MAPE (%)", accuracy.mape) + ", " + words("MASE", accuracy.mase);
}

std::string coverage_words(std::span<const forecasting::Coverage> coverage) {
  std::string text;
  for (const forecasting::Coverage& band : coverage) {
    if (!text.empty()) text += ", ";
    text += forecasting::level_text(band.level) + " % band ";
    text += band.share.value
                ? data::format_general(*band.share.value) + " (" + std::to_string(band.inside) +
                      " of " + std::to_string(band.count) + ")"
                : "not given (" + band.share.reason + ")";
  }
  return text;
}

std::string labelled_list(std::string_view label, std::vector<std::int32_t> numbers) {
  std::sort(numbers.begin(), numbers.end());
  const bool several = numbers.size() > 1 && numbers.front() != numbers.back();
  return std::string(label) + (several ? "s " : " ") + number_list(std::move(numbers));
}

std::string summary_text(std::span<const RunOutcome> runs) {
  std::vector<std::int32_t> seeds;
  std::vector<std::int32_t> streams;
  std::vector<std::int32_t> failed;
  std::vector<const RunRecord*> records;
  for (const RunOutcome& run : runs) {
    seeds.push_back(run.seed);
    streams.push_back(run.stream);
    if (run.failure) {
      failed.push_back(run.stream);
    } else if (run.record && !run.record->populations.empty()) {
      records.push_back(&*run.record);
    }
  }
  std::string text = plural(runs.size(), "run", "runs") + ": " + labelled_list("seed", seeds) +
                     ", " + labelled_list("stream", streams) + "\n";
  if (!failed.empty()) {
    text += plural(failed.size(), "run", "runs") + " failed, " + labelled_list("stream", failed) +
            " (see " + std::string(listed_output(Product::runs_table).name) +
            "); the figures below are of the others\n";
  }
  if (records.empty()) return text + "No run completed.\n";

  const bool by_mse = ranks_by_mse(*records.front());
  text += std::string("Runs are ranked by best ") +
          (by_mse ? "MSE (--rank-by mse)" : "MDL (--rank-by mdl)") +
          ", a run with several populations by its best one.\n";
  std::vector<PopulationFigures> figures;
  const RunRecord* best = nullptr;
  for (const RunRecord* record : records) {
    figures.push_back(record->populations[best_population(*record)]);
    if (best == nullptr ||
        figure_less(ranking_figure(figures.back(), by_mse),
                    ranking_figure(best->populations[best_population(*best)], by_mse))) {
      best = record;
    }
  }
  const std::size_t best_p = best_population(*best);
  const PopulationFigures& top = best->populations[best_p];
  text += "Best run: stream " + std::to_string(best->stream) + ", seed " +
          std::to_string(best->seed) + ", population " + std::to_string(best_p + 1) +
          ": best MSE " + data::format_general(top.best_mse) + ", best MDL " +
          data::format_general(top.best_mdl) + ", validation MSE " +
          data::format_general(top.validation_mse) + ", best tree " +
          data::format_general(top.best_node_count) + " nodes\n\n";

  text += figures_heading();
  for (const FigureInfo& figure : kFigures) {
    std::vector<double> values;
    values.reserve(figures.size());
    for (const PopulationFigures& run : figures) values.push_back(run.*figure.member);
    text += figure_row(figure.summary_name, std::move(values));
  }
  text +=
      "\nQuartiles and median are interpolated linearly between the sorted values; NAN sorts "
      "last.\n";
  std::vector<const PopulationFigures*> shown;
  std::vector<std::int32_t> shown_streams;
  for (std::size_t r = 0; r < records.size(); ++r) {
    shown.push_back(&figures[r]);
    shown_streams.push_back(records[r]->stream);
  }
  return text + forecast_block(shown, shown_streams);
}

}  // namespace quarvel::records
