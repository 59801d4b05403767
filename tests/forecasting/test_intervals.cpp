// Prediction intervals: the formula's one step against the engine's, the
// bands' coverage on an AR(1) series whose one-step predictor is known, the
// written rules (draws, seed, quantiles) repeated by a separate Python
// program, and the seeding of the bands.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/dataset.h"
#include "engine/engine.h"
#include "engine/prediction.h"
#include "forecasting/formulastep.h"
#include "forecasting/intervals.h"
#include "forecasting/modelformula.h"
#include "forecasting/quantiles.h"
#include "support/forecast_fixtures.h"
#include "support/scratch.h"

namespace quarvel::forecasting {
namespace {

bool same_double(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

TEST(FormulaEvaluator, GivesTheEnginesPredictionForEveryEvolvedTree) {
  auto engine = evolved_sunspots_run();
  Engine& e = *engine;
  const std::span<const double> series =
      std::span<const double>(e.data.values).first(static_cast<std::size_t>(e.data.point_count));
  // Three paths that differ: the series, and the series shifted and scaled.
  std::vector<std::vector<double>> paths(3, std::vector<double>(series.begin(), series.end()));
  for (double& v : paths[1]) v = 1.5 * v - 0.2;
  for (double& v : paths[2]) v = 0.5 - v;

  int trees = 0;
  bool one_input_seen = false;
  for (const double limit : {e.data.value_limit, 0.6}) {  // 0.6 clips many terms
    e.data.value_limit = limit;
    for (std::int32_t p = 0; p < 2; ++p) {
      Population& population = e.populations[static_cast<std::size_t>(p)];
      for (Tree& individual : population.individuals) {
        // Describe each individual as the best tree.
        std::swap(population.best_of_gen_tree, individual);
        const ModelFormula formula = describe_best_tree(e, p);
        FormulaEvaluator evaluator(formula);
        for (const NodeEquation& node : formula.nodes) one_input_seen |= node.one_input;
        const TreeNode* tree = population.best_of_gen_tree.get();
        std::vector<const double*> rows(static_cast<std::size_t>(evaluator.largest_lag()));
        std::vector<std::vector<double>> lag_values(rows.size(), std::vector<double>(3));
        double out[3];
        for (std::int64_t t = 0; t < e.data.point_count; t += 7) {
          ASSERT_TRUE(same_double(evaluator.predict(series, t), predict_value(e, series, tree, t)))
              << "tree " << trees << " t " << t << "\n"
              << formula_text(formula);
          for (std::size_t k = 0; k < rows.size(); ++k) {
            for (std::size_t b = 0; b < 3; ++b) {
              const std::int64_t i = t - static_cast<std::int64_t>(k + 1);
              lag_values[k][b] = i < 0 ? 0.0 : paths[b][static_cast<std::size_t>(i)];
            }
            rows[k] = lag_values[k].data();
          }
          evaluator.predict_paths(rows, 3, out);
          for (std::size_t b = 0; b < 3; ++b) {
            ASSERT_TRUE(same_double(out[b], predict_value(e, paths[b], tree, t)))
                << "tree " << trees << " path " << b << " t " << t;
          }
        }
        std::swap(population.best_of_gen_tree, individual);
        ++trees;
      }
    }
  }
  EXPECT_GE(trees, 400);
  EXPECT_TRUE(one_input_seen);
}

// A formula of one node on X1: c0 + c1·X1 + c2·X1².
ModelFormula one_input_formula(double c0, double c1, double c2) {
  ModelFormula formula;
  formula.nodes.push_back({{false, 1}, {false, 1}, true, {c0, c1, c2}});
  formula.output = {true, 1};
  formula.lags = {1};
  formula.value_limit = 100.0;
  return formula;
}

ModelFormula lone_lag(int k) {
  ModelFormula formula;
  formula.output = {false, k};
  formula.lags = {k};
  return formula;
}

TEST(TrainingResiduals, AreTheOneStepErrorsFromTheLargestLagOn) {
  const std::vector<double> values = {0.1, 0.4, 0.2, 0.9, 0.5, 0.7, 0.3};
  const ScaledData data{values, 5, 5, 0.0, 1.0};
  // X2 predicts y_t by y_{t-2}: residuals from t = 2 to the end of the training part.
  const Residuals residuals = training_residuals(lone_lag(2), data);
  EXPECT_TRUE(residuals.reason.empty());
  ASSERT_EQ(residuals.values.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(residuals.values[i], values[i + 2] - values[i]) << i;
  }
  // A node: y_t - (0.1 + 0.5·y_{t-1} + 2·y_{t-1}²).
  const Residuals node = training_residuals(one_input_formula(0.1, 0.5, 2.0), data);
  ASSERT_EQ(node.values.size(), 4u);
  EXPECT_DOUBLE_EQ(node.values[0], 0.4 - (0.1 + 0.05 + 2.0 * 0.01));

  // Too few to draw from: no intervals, and why.
  const Residuals few = training_residuals(lone_lag(4), data);
  EXPECT_EQ(few.values.size(), 1u);
  EXPECT_NE(few.reason.find("fewer than 2"), std::string::npos) << few.reason;
  const PathBands none = simulate_bands(lone_lag(4), values, 5, few.values, 1, {});
  EXPECT_TRUE(none.bands.empty());
  EXPECT_FALSE(none.reason.empty());
}

TEST(Quantiles, InterpolateBetweenOrderStatisticsWithNaNLast) {
  const double nan = std::nan("");
  const double inf = INFINITY;
  struct Case {
    std::vector<double> values;
    double p;
    double expected;
  };
  const Case cases[] = {
      {{4.0, 1.0, 3.0, 2.0}, 0.0, 1.0}, {{4.0, 1.0, 3.0, 2.0}, 0.1, 1.3},  // h = 0.3
      {{4.0, 1.0, 3.0, 2.0}, 0.5, 2.5}, {{4.0, 1.0, 3.0, 2.0}, 1.0, 4.0}, {{7.0}, 0.975, 7.0},
      {{nan, 1.0, 2.0}, 0.25, 1.5},  // NaN sorts after 2
      {{nan, 1.0, 2.0}, 0.75, nan},     {{inf, 1.0}, 0.5, inf},           {{-inf, 1.0}, 0.5, -inf},
  };
  for (const Case& c : cases) {
    std::vector<double> values = c.values;
    sort_for_quantiles(values);
    const double q = sorted_quantile(values, c.p);
    EXPECT_TRUE(q == c.expected || std::abs(q - c.expected) < 1e-12 ||
                (std::isnan(q) && std::isnan(c.expected)))
        << c.p << ": " << q;
  }
  EXPECT_EQ(band_probabilities(80.0).lower, 0.1);
  EXPECT_EQ(band_probabilities(80.0).upper, 0.9);
  EXPECT_EQ(band_probabilities(95.0).lower, 0.025);
}

// The finder's selection through buckets gives the sorted values' quantiles
// on sets that defeat equal-width buckets: clusters far apart, most values
// equal, infinities, NaNs, spreads too wide or too narrow for a double.
TEST(Quantiles, FinderGivesTheQuantilesOfTheSortedValues) {
  const double nan = std::nan("");
  const double inf = INFINITY;
  std::mt19937_64 random(5);
  std::normal_distribution<double> normal(0.0, 1.0);
  const auto sets = [&](std::size_t n) {
    std::vector<std::vector<double>> all(9);
    for (std::size_t i = 0; i < n; ++i) {
      const double z = normal(random);
      all[0].push_back(z);
      // Paths held by the value limit far away, in clusters a millionth as wide.
      all[1].push_back(i % 5 == 0 ? 663.5 + 1e-6 * z : (i % 7 == 0 ? -165.0 + z : 0.3 + 0.1 * z));
      all[2].push_back(i % 3 == 0 ? 0.25 : z);  // many ties
      all[3].push_back(i % 11 == 0 ? inf : (i % 13 == 0 ? -inf : z));
      all[4].push_back(i % 4 == 0 ? nan : z);
      all[5].push_back(i % 2 == 0 ? 1e308 * z : -1e308);  // a spread past the largest double
      all[6].push_back(1.0 + 1e-300 * static_cast<double>(i % 3) * 1e-15);
      all[7].push_back(4e-320 * static_cast<double>(i % 9));  // denormals
      all[8].push_back(std::exp(30.0 * z));                   // a tail over 26 decades
    }
    return all;
  };
  std::vector<double> probabilities = {0.0, 0.025, 0.1, 0.5, 0.9, 0.975, 1.0};
  for (int i = 0; i < kSummaryPointCount; ++i) {
    probabilities.push_back((i + 0.5) / kSummaryPointCount);
  }
  for (const std::size_t n : {1000u, 301u, 40u, 3u}) {
    QuantileFinder finder(n, probabilities);
    std::vector<double> found(probabilities.size());
    int set = 0;
    for (const std::vector<double>& values : sets(n)) {
      std::vector<double> sorted = values;
      sort_for_quantiles(sorted);
      std::vector<double> reordered = values;
      finder.compute(reordered, found.data());
      for (std::size_t q = 0; q < probabilities.size(); ++q) {
        const double expected = sorted_quantile(sorted, probabilities[q]);
        EXPECT_TRUE(same_double(found[q], expected) ||
                    (std::isnan(found[q]) && std::isnan(expected)))
            << "n " << n << " set " << set << " p " << probabilities[q] << ": " << found[q]
            << " for " << expected;
      }
      ++set;
    }
  }
}

// y_t = phi·y_{t-1} + e_t, e_t ~ N(0, sigma²), from y_0 = 0.
std::vector<double> ar1(std::mt19937_64& random, std::size_t n, double phi, double sigma,
                        double start = 0.0) {
  std::normal_distribution<double> noise(0.0, sigma);
  std::vector<double> y;
  double previous = start;
  for (std::size_t i = 0; i < n; ++i) {
    previous = phi * previous + noise(random);
    y.push_back(previous);
  }
  return y;
}

// The true one-step predictor of the AR(1) in scaled units: with
// y = lo + s·w, s_t = phi·s_{t-1} + lo·(phi - 1)/w + e_t/w.
ModelFormula ar1_predictor(const DataSet& data, double phi) {
  const double w = data.scale_high - data.scale_low;
  return one_input_formula(data.scale_low * (phi - 1.0) / w, phi, 0.0);
}

std::vector<double> scaled(const DataSet& data, const std::vector<double>& y) {
  std::vector<double> s;
  s.reserve(y.size());
  for (const double v : y) s.push_back((v - data.scale_low) / (data.scale_high - data.scale_low));
  return s;
}

// Training and validation as the engine holds them, scaled together; the
// forecast starts right after the training part.
DataSet scaled_series(const std::vector<double>& training, const std::vector<double>& validation) {
  DataSet data;
  EXPECT_EQ(set_training_series(data, training), DataSetStatus::ok);
  EXPECT_EQ(set_validation_series(data, validation), DataSetStatus::ok);
  EXPECT_EQ(normalise_series(data), DataSetStatus::ok);
  data.overlap = 0;
  return data;
}

struct Shares {
  double band80 = 0.0;
  double band95 = 0.0;
};

Shares shares_of(const PathBands& bands, std::span<const double> held_out) {
  const std::vector<Coverage> coverage = band_coverage(bands.bands, held_out);
  EXPECT_EQ(coverage.size(), 2u);
  EXPECT_EQ(coverage[0].count, static_cast<std::int32_t>(held_out.size()));
  return {coverage[0].share.value.value_or(-1.0), coverage[1].share.value.value_or(-1.0)};
}

// The bands hold held-out values at their nominal rates: 80 % within ±0.03
// and 95 % within ±0.015 over thousands of steps. A band from the wrong
// quantiles (0.05 and 0.95 for 80 %), from residuals without the prediction
// subtracted, or from the noisier validation part misses these by far.
TEST(PathBands, CoverAnAr1ContinuationAtTheirNominalRates) {
  constexpr double kPhi = 0.6;
  constexpr double kSigma = 1.0;
  std::mt19937_64 random(20240611);
  const std::vector<double> training = ar1(random, 4000, kPhi, kSigma);
  // A short validation part three times as noisy: residuals drawn from it
  // would make the bands far too wide.
  const std::vector<double> validation = ar1(random, 300, kPhi, 3.0 * kSigma, training.back());
  const std::vector<double> continuation = ar1(random, 6000, kPhi, kSigma, validation.back());

  const DataSet data = scaled_series(training, validation);
  const ModelFormula formula = ar1_predictor(data, kPhi);
  const ScaledData view = scaled_data(data);
  const Residuals residuals = training_residuals(formula, view);
  EXPECT_EQ(residuals.values.size(), 3999u);

  const PathBands ahead = bands_past_data(formula, view, 6000, residuals.values,
                                          path_seed(1, 0, 0, PathPurpose::past_data), {});
  const Shares past = shares_of(ahead, scaled(data, continuation));
  std::printf("AR(1) coverage past the data: 80 %% band %.4f, 95 %% band %.4f\n", past.band80,
              past.band95);
  EXPECT_NEAR(past.band80, 0.80, 0.03);
  EXPECT_NEAR(past.band95, 0.95, 0.015);

  // Over the validation part of a run whose validation part is like its
  // training part: the same rates.
  const DataSet like_data =
      scaled_series(training, ar1(random, 6000, kPhi, kSigma, training.back()));
  const ModelFormula same = ar1_predictor(like_data, kPhi);
  const ScaledData like = scaled_data(like_data);
  const PathBands held = validation_bands(same, like, training_residuals(same, like).values,
                                          path_seed(1, 0, 0, PathPurpose::validation), {});
  const Shares part = shares_of(held, like.held_out());
  std::printf("AR(1) coverage over the validation part: 80 %% band %.4f, 95 %% band %.4f\n",
              part.band80, part.band95);
  EXPECT_NEAR(part.band80, 0.80, 0.03);
  EXPECT_NEAR(part.band95, 0.95, 0.015);
}

TEST(PathBands, SameSeedSameBandsAnotherSeedOthers) {
  const std::vector<double> values = {0.5, 0.55, 0.6, 0.52, 0.48, 0.5, 0.57, 0.61, 0.49, 0.5};
  const ModelFormula formula = one_input_formula(0.2, 0.6, 0.0);
  const ScaledData data{values, 10, 10, 0.0, 1.0};
  const Residuals residuals = training_residuals(formula, data);
  PathSettings settings;
  settings.summary_points = kSummaryPointCount;
  const auto seed = path_seed(7, 3, 1, PathPurpose::past_data);
  const PathBands first = bands_past_data(formula, data, 25, residuals.values, seed, settings);
  const PathBands again = bands_past_data(formula, data, 25, residuals.values, seed, settings);
  const PathBands other = bands_past_data(formula, data, 25, residuals.values,
                                          path_seed(7, 4, 1, PathPurpose::past_data), settings);
  ASSERT_EQ(first.bands.size(), 2u);
  EXPECT_EQ(first.bands[0].lower, again.bands[0].lower);
  EXPECT_EQ(first.bands[1].upper, again.bands[1].upper);
  EXPECT_EQ(first.summary.points, again.summary.points);
  EXPECT_NE(first.bands[0].lower, other.bands[0].lower);
  EXPECT_NE(first.summary.points, other.summary.points);
  // Every part of a run's identity moves the seed.
  EXPECT_NE(seed, path_seed(8, 3, 1, PathPurpose::past_data));
  EXPECT_NE(seed, path_seed(7, 3, 0, PathPurpose::past_data));
  EXPECT_NE(seed, path_seed(7, 3, 1, PathPurpose::validation));
}

TEST(PathBands, CoverageCountsHeldOutValuesInsideEachBandEdgesIncluded) {
  const std::vector<Band> bands = {{80.0, {0.1, 0.2, 0.3, 0.4}, {0.5, 0.6, 0.7, 0.8}},
                                   {95.0, {0.0, 0.0, 0.0, 0.0}, {1.0, 1.0, 1.0, 1.0}}};
  const std::vector<double> held_out = {0.1, 0.7, 0.5, 0.81};
  const std::vector<Coverage> coverage = band_coverage(bands, held_out);
  ASSERT_EQ(coverage.size(), 2u);
  EXPECT_EQ(coverage[0].inside, 2);
  EXPECT_EQ(coverage[0].count, 4);
  EXPECT_EQ(coverage[0].share.value, 0.5);
  EXPECT_EQ(coverage[1].share.value, 1.0);
  // Another length: no share, and why.
  const std::vector<Coverage> mismatched = band_coverage(bands, std::vector<double>{0.1});
  EXPECT_FALSE(mismatched[0].share.value.has_value());
  EXPECT_FALSE(mismatched[0].share.reason.empty());
}

// The rules in intervals.h, written again in plain Python from their words:
// the same bands and summary points to the last bit, on a model that stays
// bounded and on one whose paths run off to infinity and NaN.
constexpr const char* kPythonBands = R"(import math, sys
M = (1 << 64) - 1
def step(state):
    state = (state + 0x9E3779B97F4A7C15) & M
    z = state
    z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & M
    z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & M
    return state, z ^ (z >> 31)
words = open(sys.argv[1]).read().split()
def take(n):
    global words
    taken, words = words[:n], words[n:]
    return taken
limit = float(take(1)[0])
nodes = []
for _ in range(int(take(1)[0])):
    first, second, one = take(3)
    nodes.append((first, second, one == "1", [float(c) for c in take(3 if one == "1" else 6)]))
output = take(1)[0]
known = [float(v) for v in take(int(take(1)[0]))]
residuals = [float(v) for v in take(int(take(1)[0]))]
seed, stream, population, purpose, paths, steps, points = (int(v) for v in take(7))
levels = [float(v) for v in take(int(take(1)[0]))]
def lim(x):
    if x > limit: x = limit
    if x < -limit: x = -limit
    return x
def predict(series):
    n = len(series)
    outputs = {}
    def value(name):
        if name[0] == "X":
            k = int(name[1:])
            return series[n - k] if n >= k else 0.0
        return outputs[name]
    for i, (first, second, one, c) in enumerate(nodes):
        a = value(first)
        if one:
            terms = [1.0, a, a * a]
        else:
            b = value(second)
            terms = [lim(1.0), lim(a), lim(b), lim(a * b), lim(a * a), lim(b * b)]
        s = 0.0
        for cj, rj in zip(c, terms):
            s += cj * rj
        outputs["n" + str(i + 1)] = s
    return value(output)
state = 0
for v in (seed, stream, population, purpose):
    state = step(state ^ (v & M))[1]
columns = [[] for _ in range(steps)]
for b in range(paths):
    series = list(known)
    for j in range(steps):
        state, z = step(state)
        v = predict(series) + residuals[z % len(residuals)]
        series.append(v)
        columns[j].append(v)
def quantile(x, p):
    h = (len(x) - 1) * p
    i = int(h)
    f = h - i
    if f == 0 or i + 1 >= len(x):
        return x[i]
    if math.isnan(x[i]) or math.isnan(x[i + 1]):
        return math.nan
    if math.isinf(x[i]):
        return x[i]
    if math.isinf(x[i + 1]):
        return x[i + 1]
    return x[i] + f * (x[i + 1] - x[i])
for column in columns:
    x = sorted(column, key=lambda v: (math.isnan(v), v))
    for level in levels:
        p = (100.0 - level) / 200.0
        print(repr(quantile(x, p)), repr(quantile(x, 1.0 - p)))
    print(" ".join(repr(quantile(x, (i + 0.5) / points)) for i in range(points)))
)";

class PathBandsInPython : public quarvel::testing::ScratchFolderTest {
 protected:
  void expect_python_gives_the_same(const ModelFormula& formula, std::vector<double> known,
                                    std::vector<double> residuals, std::int32_t steps) {
    const std::int32_t paths = 300;  // more than are sorted whole: the buckets are used
    const std::vector<double> levels = {80.0, 95.0, 50.0};
    const std::int64_t seed = -5;  // negative: its two's complement
    const std::int64_t stream = 12;
    std::ostringstream text;
    text.precision(17);
    const auto name = [](const ModelInput& input) {
      return (input.node ? 'n' : 'X') + std::to_string(input.index);
    };
    text << formula.value_limit << ' ' << formula.nodes.size() << '\n';
    for (const NodeEquation& node : formula.nodes) {
      text << name(node.first) << ' ' << name(node.second) << ' ' << node.one_input;
      for (const double c : node.coefficients) text << ' ' << c;
      text << '\n';
    }
    text << name(formula.output) << '\n' << known.size();
    for (const double v : known) text << ' ' << v;
    text << '\n' << residuals.size();
    for (const double v : residuals) text << ' ' << v;
    text << '\n'
         << seed << ' ' << stream << " 1 1 " << paths << ' ' << steps << ' ' << kSummaryPointCount
         << '\n'
         << levels.size();
    for (const double level : levels) text << ' ' << level;
    text << '\n';
    const std::string input = write("model.txt", text.str());
    const std::string script = write("bands.py", kPythonBands);

    std::vector<double> from_python;
    FILE* pipe = ::popen(("python3 " + script + " " + input).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char word[64];
    while (std::fscanf(pipe, "%63s", word) == 1) from_python.push_back(std::strtod(word, nullptr));
    ASSERT_EQ(::pclose(pipe), 0);

    const std::uint64_t start = path_seed(seed, stream, 1, PathPurpose::past_data);
    PathSettings settings;
    settings.paths = paths;
    settings.levels = levels;
    const PathBands bands = simulate_bands(formula, known, steps, residuals, start, settings);
    settings.summary_points = kSummaryPointCount;
    const PathBands with_summary =
        simulate_bands(formula, known, steps, residuals, start, settings);
    const std::size_t per_step = 2 * levels.size() + kSummaryPointCount;
    ASSERT_EQ(from_python.size(), per_step * static_cast<std::size_t>(steps));
    int non_finite = 0;
    for (std::size_t j = 0; j < static_cast<std::size_t>(steps); ++j) {
      const double* expected = from_python.data() + j * per_step;
      for (std::size_t l = 0; l < levels.size(); ++l) {
        for (const PathBands* run : {&bands, &with_summary}) {
          const Band& band = run->bands[l];
          EXPECT_TRUE(same_double(band.lower[j], expected[2 * l]) ||
                      (std::isnan(band.lower[j]) && std::isnan(expected[2 * l])))
              << "step " << j << " level " << levels[l] << ": " << band.lower[j] << " "
              << expected[2 * l];
          EXPECT_TRUE(same_double(band.upper[j], expected[2 * l + 1]) ||
                      (std::isnan(band.upper[j]) && std::isnan(expected[2 * l + 1])))
              << "step " << j << " level " << levels[l] << ": " << band.upper[j] << " "
              << expected[2 * l + 1];
        }
        non_finite += !std::isfinite(expected[2 * l + 1]);
      }
      const std::span<const double> points = with_summary.summary.at(static_cast<std::int32_t>(j));
      for (std::size_t i = 0; i < points.size(); ++i) {
        const double e = expected[2 * levels.size() + i];
        EXPECT_TRUE(same_double(points[i], e) || (std::isnan(points[i]) && std::isnan(e)))
            << "step " << j << " point " << i;
      }
    }
    non_finite_edges_ = non_finite;
  }
  int non_finite_edges_ = 0;
};

TEST_F(PathBandsInPython, BoundedModelWithClippedTerms) {
  // n1 = a two-input node on X1 and X3 whose terms the limit 0.7 clips; n2 =
  // c0 + c1·n1 + c2·n1².
  ModelFormula formula;
  formula.value_limit = 0.7;
  formula.nodes.push_back({{false, 1}, {false, 3}, false, {0.05, 0.9, -0.2, 0.3, 0.1, -0.15}});
  formula.nodes.push_back({{true, 1}, {true, 1}, true, {0.02, 0.95, -0.05}});
  formula.output = {true, 2};
  formula.lags = {1, 3};
  const std::vector<double> known =
      samples(40, [](double t) { return 0.5 + 0.4 * std::sin(0.7 * t); });
  const std::vector<double> residuals =
      samples(37, [](double t) { return 0.08 * std::cos(1.3 * t * t); });
  expect_python_gives_the_same(formula, known, residuals, 30);
}

TEST_F(PathBandsInPython, PathsThatRunOffToInfinityAndNaN) {
  // Above 0.683 the recursion escapes: -X1 and 2.5·X1² grow to -inf and +inf,
  // whose sum is NaN; below it the paths settle near 0.117.
  const ModelFormula formula = one_input_formula(0.2, -1.0, 2.5);
  const std::vector<double> known = {0.3, 0.6, 0.5};
  const std::vector<double> residuals =
      samples(20, [](double t) { return 0.3 * std::sin(2.1 * t); });
  expect_python_gives_the_same(formula, known, residuals, 40);
  EXPECT_GT(non_finite_edges_, 0);
}

}  // namespace
}  // namespace quarvel::forecasting
