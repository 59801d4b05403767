// The model taken out of the program: the exported Python module and C header
// give the program's own predictions and forecasts past the data, for a
// hand-built tree with one-input nodes, coincident inputs, depth and a value
// limit that clips, and for evolved trees of two populations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "data/datafile.h"
#include "engine/engine.h"
#include "engine/fitting.h"
#include "engine/prediction.h"
#include "forecasting/forecast.h"
#include "forecasting/forecastfiles.h"
#include "forecasting/formulastep.h"
#include "forecasting/intervals.h"
#include "records/modelexport.h"
#include "runs/generationstep.h"
#include "runs/startrun.h"
#include "support/data_grids.h"
#include "support/engine_fixtures.h"
#include "support/examples.h"
#include "support/forecast_fixtures.h"
#include "support/forecast_intervals.h"
#include "support/scratch.h"

namespace quarvel::records {
namespace {

using quarvel::testing::function;
using quarvel::testing::terminal;

// Reads a series from `series.txt`, forecasts over the validation part as the
// program does (known values up to `start`, then each value predicted from
// those before it, up to `total`), then `ahead` values past the data, scaled
// and in original units; prints every value with repr (shortest exact form).
constexpr const char* kPythonDriver = R"(import importlib.util, sys
loader_info = importlib.util.spec_from_file_location("model", sys.argv[1])
model = importlib.util.module_from_spec(loader_info)
loader_info.loader.exec_module(model)
series = [float(line) for line in open(sys.argv[2])]
start, total, ahead = int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
prediction = series[:start]
for t in range(start, total):
    prediction.append(model.predict_next(prediction))
for v in prediction:
    print(repr(v))
for v in model.forecast(series[:total], ahead, units="scaled"):
    print(repr(v))
original = [model.LOW + v * (model.HIGH - model.LOW) for v in series[:total]]
for v in model.forecast(original, ahead):
    print(repr(v))
)";

// The same in C, the header included as a user would.
std::string c_driver(int population) {
  const std::string k = std::to_string(population);
  return "#include <stdio.h>\n#include <stdlib.h>\n#include \"model-" + k +
         ".h\"\n"
         "int main(int argc, char** argv) {\n"
         "  if (argc < 5) return 2;\n"
         "  static double s[200000];\n"
         "  size_t count = 0;\n"
         "  FILE* in = fopen(argv[1], \"r\");\n"
         "  while (count < 200000 && fscanf(in, \"%lf\", &s[count]) == 1) ++count;\n"
         "  fclose(in);\n"
         "  size_t start = strtoul(argv[2], 0, 10), total = strtoul(argv[3], 0, 10);\n"
         "  size_t ahead = strtoul(argv[4], 0, 10);\n"
         "  static double p[200000];\n"
         "  for (size_t t = 0; t < start; ++t) p[t] = s[t];\n"
         "  for (size_t t = start; t < total; ++t) p[t] = quarvel_model_" +
         k +
         "_predict_next(p, t);\n"
         "  for (size_t t = 0; t < total; ++t) printf(\"%.17g\\n\", p[t]);\n"
         "  for (size_t t = total; t < total + ahead; ++t) {\n"
         "    s[t] = quarvel_model_" +
         k +
         "_predict_next(s, t);\n"
         "    printf(\"%.17g\\n\", s[t]);\n"
         "  }\n"
         "  return 0;\n"
         "}\n";
}

// What `command` prints; a failure when it does not succeed.
std::string run_and_capture(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return output;
  }
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, n);
  const int status = ::pclose(pipe);
  EXPECT_EQ(status, 0) << command;
  return output;
}

std::vector<double> run_and_read(const std::string& command) {
  std::vector<double> values;
  std::istringstream lines(run_and_capture(command));
  for (std::string line; std::getline(lines, line);)
    values.push_back(std::strtod(line.c_str(), nullptr));
  return values;
}

class ModelExportTest : public quarvel::testing::ScratchFolderTest {
 protected:
  // The exported files of `population` reproduce the engine's prediction over
  // the data and its forecast `ahead` steps past it, in Python and in C.
  // The file names end up in the files' comments: these would end a Python
  // docstring or a C comment and run code, were they not escaped.
  void expect_exported_model_reproduces(Engine& engine, std::int32_t population,
                                        std::int32_t ahead) {
    const forecasting::ModelFormula formula = forecasting::describe_best_tree(engine, population);
    const ModelContext context = model_context(engine, population, runs::RunSettings{},
                                               "t\"\"\"\nimport sys; sys.exit(7)\n\"\"\" \\x.txt",
                                               "v */ int broken = ; /* .txt");
    for (const auto& [name, content] : model_files(formula, context)) write(name, content);

    const DataSet& data = engine.data;
    std::string series;
    char number[40];
    for (std::int32_t t = 0; t < data.point_count; ++t) {
      std::snprintf(number, sizeof number, "%.17g\n", data.values[static_cast<std::size_t>(t)]);
      series += number;
    }
    const std::string series_path = write("series.txt", series);
    const std::int32_t start = forecast_start(data);

    // The program's own values.
    GenerationReport report;
    fill_prediction(engine, report, population);
    std::vector<double> expected(report.prediction.begin(),
                                 report.prediction.begin() + data.point_count);
    std::vector<double> past;
    forecast_past_data(engine, population, ahead, past);
    const std::vector<double> forecast(past.begin() + data.point_count, past.end());
    expected.insert(expected.end(), forecast.begin(), forecast.end());

    const std::string k = std::to_string(population + 1);
    const std::string arguments = std::to_string(start) + " " + std::to_string(data.point_count) +
                                  " " + std::to_string(ahead);
    const std::string python = write("driver.py", kPythonDriver);
    const std::vector<double> from_python =
        run_and_read("python3 " + python + " " + (folder_ / ("model-" + k + ".py")).string() + " " +
                     series_path + " " + arguments);
    const std::string driver = write("driver.c", c_driver(population + 1));
    const std::string binary = (folder_ / "driver").string();
    ASSERT_EQ(std::system(("cc -std=c11 -O2 -ffp-contract=off -Wall -Wextra -Werror -I" +
                           folder_.string() + " " + driver + " -o " + binary)
                              .c_str()),
              0);
    const std::vector<double> from_c = run_and_read(binary + " " + series_path + " " + arguments);

    const auto close = [](double a, double b) {
      return a == b || std::abs(a - b) <= 1e-12 * std::max(std::abs(a), std::abs(b));
    };
    ASSERT_EQ(from_python.size(), expected.size() + forecast.size());
    ASSERT_EQ(from_c.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_TRUE(close(from_python[i], expected[i])) << "python, value " << i;
      EXPECT_TRUE(close(from_c[i], expected[i])) << "C, value " << i;
    }
    // The forecast in original units.
    const std::vector<double> original = forecasting::in_original_units(engine, forecast);
    for (std::size_t i = 0; i < forecast.size(); ++i) {
      EXPECT_TRUE(close(from_python[expected.size() + i], original[i])) << "original " << i;
    }
  }
};

TEST_F(ModelExportTest, HandBuiltTreeWithOneInputNodesAndAClippingLimit) {
  auto engine =
      quarvel::testing::make_engine(quarvel::testing::wave(60), quarvel::testing::wave(25, 1.3));
  Engine& e = *engine;
  e.data.overlap = 5;
  e.data.value_limit = 0.6;  // the scaled values reach 1: terms are clipped
  // Depth 5; X1 beside X1 coincides (a one-input node), and so does a node
  // beside a copy of itself.
  Tree coincident = function(e, terminal(e, 0), terminal(e, 0));
  Tree deep = function(e, function(e, terminal(e, 1), terminal(e, 2)),
                       function(e, terminal(e, 3), function(e, terminal(e, 4), terminal(e, 0))));
  Tree twin = copy_tree(e, deep.get());
  Tree tree = function(e, function(e, std::move(coincident), std::move(deep)),
                       function(e, std::move(twin), terminal(e, 5)));
  (void)evaluate_tree(e, tree.get());
  e.populations[0].best_of_gen_tree = std::move(tree);

  const forecasting::ModelFormula formula = forecasting::describe_best_tree(e, 0);
  EXPECT_TRUE(std::any_of(formula.nodes.begin(), formula.nodes.end(),
                          [](const forecasting::NodeEquation& node) { return node.one_input; }));
  EXPECT_EQ(formula.lags, (std::vector<int>{1, 2, 3, 4, 5, 6}));
  // The copy shares its models: one node, named once.
  EXPECT_EQ(formula.nodes.size(), 8u);

  // The limit changes this model's predictions: the export must clip as the program does.
  GenerationReport clipped;
  fill_prediction(e, clipped, 0);
  e.data.value_limit = 100.0;
  GenerationReport free;
  fill_prediction(e, free, 0);
  e.data.value_limit = 0.6;
  EXPECT_NE(std::vector<double>(clipped.prediction.begin(), clipped.prediction.begin() + 85),
            std::vector<double>(free.prediction.begin(), free.prediction.begin() + 85));

  expect_exported_model_reproduces(e, 0, 30);
}

TEST_F(ModelExportTest, EvolvedTreesOfTwoPopulations) {
  auto engine = forecasting::evolved_sunspots_run();
  for (std::int32_t p = 0; p < 2; ++p) expect_exported_model_reproduces(*engine, p, 20);
}

// Bytes that are not UTF-8 in a file name stand in the module as their
// escapes, so that Python can read it; UTF-8 stays as it is.
TEST_F(ModelExportTest, ModuleImportsWhateverBytesTheFileNamesHold) {
  auto engine =
      quarvel::testing::make_engine(quarvel::testing::wave(40), quarvel::testing::wave(10, 0.4));
  Engine& e = *engine;
  e.populations[0].best_of_gen_tree = terminal(e, 1);
  // A lone byte, a sequence cut short, an overlong form, a surrogate and a
  // code point past U+10FFFF; then two, three and four bytes of UTF-8.
  const std::string training = "a\xff b\xc3 \xe2\x82 \xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80.txt";
  const std::string validation = "\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x98\x80\\.txt";
  const ModelContext context = model_context(e, 0, runs::RunSettings{}, training, validation);
  const std::string python = model_python(forecasting::describe_best_tree(e, 0), context);
  EXPECT_NE(python.find("Training data \\\"a\\xff b\\xc3 \\xe2\\x82 \\xc0\\xaf "
                        "\\xed\\xa0\\x80 \\xf4\\x90\\x80\\x80.txt\\\", validation data "
                        "\\\"\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x98\x80\\\\.txt\\\""),
            std::string::npos)
      << python;

  write("model-1.py", python);
  const std::string script = write("docstring.py", R"(import importlib.util, sys
loader_info = importlib.util.spec_from_file_location("model", sys.argv[1])
model = importlib.util.module_from_spec(loader_info)
loader_info.loader.exec_module(model)
line = [l for l in model.__doc__.splitlines() if l.startswith("Training data")][0]
sys.stdout.buffer.write(line.encode("utf-8"))
print(" ", model.predict_next([0.25, 0.5]))
)");
  // Each escape reads back as the code point of its byte.
  EXPECT_EQ(run_and_capture("python3 " + script + " " + (folder_ / "model-1.py").string()),
            "Training data \"a\xc3\xbf b\xc3\x83 \xc3\xa2\xc2\x82 \xc3\x80\xc2\xaf "
            "\xc3\xad\xc2\xa0\xc2\x80 \xc3\xb4\xc2\x90\xc2\x80\xc2\x80.txt\", validation data "
            "\"\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x98\x80\\.txt\".  0.25\n");
}

class ForecastIntervalsTest : public ModelExportTest {
 protected:
  // The module's forecast_intervals past the data against the program's own
  // bands, as intervals-K.txt writes them: the same texts, row for row. The
  // number of rows with a value that is not finite.
  int expect_python_gives_the_programs_bands(const forecasting::ModelFormula& formula,
                                             const forecasting::ScaledData& data,
                                             std::int32_t steps) {
    const std::uint64_t seed =
        forecasting::path_seed(3, 11, 0, forecasting::PathPurpose::past_data);
    forecasting::PathSettings settings;
    settings.paths = 500;
    settings.levels = {80.0, 95.0, 50.0};
    ModelContext context;
    context.intervals = IntervalExport{data.training_count, seed, settings.levels, settings.paths};
    write("model-1.py", model_python(formula, context));
    std::string series;
    for (const double v : data.values) series += forecasting::exact_text(v) + "\n";
    const std::string series_path = write("series.txt", series);

    // The program's rows: the forecast by the model's recursion and the bands.
    forecasting::BandTable table;
    table.levels = settings.levels;
    forecasting::FormulaEvaluator evaluator(formula);
    std::vector<double> path(data.values.begin(), data.values.end());
    for (std::int32_t j = 0; j < steps; ++j) {
      path.push_back(evaluator.predict(path, static_cast<std::int64_t>(path.size())));
      table.point.push_back(path.back());
    }
    const forecasting::Residuals residuals = training_residuals(formula, data);
    EXPECT_TRUE(residuals.reason.empty()) << residuals.reason;
    table.bands =
        forecasting::bands_past_data(formula, data, steps, residuals.values, seed, settings).bands;
    std::string expected;
    std::istringstream rows(forecasting::band_table_text(table));
    std::string row;
    std::getline(rows, row);  // the heading
    while (std::getline(rows, row)) expected += row.substr(row.find(',') + 1) + "\n";

    const std::string script = write("intervals.py", quarvel::testing::kForecastIntervalsScript);
    const std::string from_python =
        run_and_capture("python3 " + script + " " + (folder_ / "model-1.py").string() + " " +
                        std::to_string(steps) + " scaled " + series_path);
    EXPECT_EQ(from_python, expected);
    int not_finite = 0;
    for (std::istringstream lines(expected); std::getline(lines, row);) {
      not_finite += row.find("inf") != std::string::npos || row.find("nan") != std::string::npos;
    }
    return not_finite;
  }
};

TEST_F(ForecastIntervalsTest, AreTheProgramsBandsForAnEvolvedModel) {
  auto engine = forecasting::evolved_sunspots_run();
  expect_python_gives_the_programs_bands(forecasting::describe_best_tree(*engine, 1),
                                         forecasting::scaled_data(engine->data), 15);
}

TEST_F(ForecastIntervalsTest, AreTheProgramsBandsForPathsThatRunAway) {
  // c0 + c1·X1 + c2·X1² escapes above 0.683: -X1 and 2.5·X1² grow to -inf and
  // +inf, whose sum is NaN.
  forecasting::ModelFormula formula;
  formula.nodes.push_back({{false, 1}, {false, 1}, true, {0.2, -1.0, 2.5}});
  formula.output = {true, 1};
  formula.lags = {1};
  formula.value_limit = 100.0;
  const std::vector<double> values =
      forecasting::samples(30, [](double t) { return 0.5 + 0.4 * std::sin(0.9 * t); });
  const forecasting::ScaledData data{values, 25, 25, 0.0, 1.0};
  EXPECT_GT(expect_python_gives_the_programs_bands(formula, data, 12), 0);
}

// Both forms of the node, the value limit below 1 and at 1, as the text, the
// Python module and the C header write them.
TEST(ModelFormula, TermsOfBothFormsInTheTextAndTheCode) {
  forecasting::ModelFormula formula;
  formula.nodes = {{{false, 1}, {false, 2}, false, {0.5, 1, 2, 3, 4, 5}},
                   {{true, 1}, {}, true, {0.25, 1.5, -2}}};
  formula.output = {true, 2};
  formula.lags = {1, 2};
  formula.value_limit = 0.5;
  EXPECT_EQ(forecasting::formula_text(formula),
            "n1 = c0·lim(1) + c1·lim(X1) + c2·lim(X2) + c3·lim(X1·X2) + c4·lim(X1²) + "
            "c5·lim(X2²)\n"
            "    c0 = 0.5\n    c1 = 1\n    c2 = 2\n    c3 = 3\n    c4 = 4\n    c5 = 5\n"
            "n2 = c0 + c1·n1 + c2·n1²\n"
            "    c0 = 0.25\n    c1 = 1.5\n    c2 = -2\n"
            "prediction = n2\n");
  const ModelContext context;
  const std::string python = model_python(formula, context);
  const std::string c = model_c_header(formula, context);
  const std::string bounded_python =
      "    r = 1.0\n    if r > VALUE_LIMIT:\n        r = VALUE_LIMIT\n"
      "    if r < -VALUE_LIMIT:\n        r = -VALUE_LIMIT\n    s += 0.5 * r\n";
  const std::string bounded_c =
      "  r = (x1 * x2);\n  if (r > limit) r = limit;\n  if (r < -limit) r = -limit;\n"
      "  s += 3 * r;\n";
  EXPECT_NE(python.find(bounded_python), std::string::npos) << python;
  EXPECT_NE(python.find("    r = (x2 * x2)\n"), std::string::npos) << python;
  EXPECT_NE(python.find("    s = 0.0\n    s += 0.25 * 1.0\n    s += 1.5 * n1\n"
                        "    s += -2 * (n1 * n1)\n    n2 = s\n"),
            std::string::npos)
      << python;
  EXPECT_NE(c.find(bounded_c), std::string::npos) << c;
  EXPECT_NE(c.find("  s += 0.25 * 1.0;\n  s += 1.5 * n1;\n  s += -2 * (n1 * n1);\n"),
            std::string::npos)
      << c;

  // At a limit of 1 the bound cannot change the 1: the text leaves it out,
  // the code still bounds it.
  formula.value_limit = 1.0;
  EXPECT_EQ(forecasting::formula_text(formula).rfind("n1 = c0 + c1·lim(X1) + ", 0), 0u);
  EXPECT_NE(model_python(formula, context).find(bounded_python), std::string::npos);
}

TEST(ModelFormula, NamesNodesInEvaluationOrderAndNoSerials) {
  auto engine =
      quarvel::testing::make_engine(quarvel::testing::wave(40), quarvel::testing::wave(10, 0.4));
  Engine& e = *engine;
  Tree tree = function(e, function(e, terminal(e, 1), terminal(e, 0)), terminal(e, 2));
  (void)evaluate_tree(e, tree.get());
  e.populations[0].best_of_gen_tree = std::move(tree);
  const std::string text = forecasting::formula_text(forecasting::describe_best_tree(e, 0));
  EXPECT_EQ(text.find("NODE"), std::string::npos);
  EXPECT_EQ(text.rfind("n1 = c0 + c1·lim(X2) + c2·lim(X1) + c3·lim(X2·X1) + c4·lim(X2²) + "
                       "c5·lim(X1²)\n",
                       0),
            0u)
      << text;
  EXPECT_NE(text.find("n2 = c0 + c1·lim(n1) + c2·lim(X3)"), std::string::npos) << text;
  EXPECT_NE(text.find("\nprediction = n2\n"), std::string::npos) << text;
  // Coefficients at full precision: each reads back as the fitted double.
  const double c0 = e.populations[0].best_of_gen_tree->child(0)->model()->coefficients[0];
  char exact[40];
  std::snprintf(exact, sizeof exact, "    c0 = %.17g\n", c0);
  EXPECT_NE(text.find(exact), std::string::npos) << text;

  // A lone terminal is its own model.
  e.populations[0].best_of_gen_tree = terminal(e, 3);
  EXPECT_EQ(forecasting::formula_text(forecasting::describe_best_tree(e, 0)), "prediction = X4\n");
}

}  // namespace
}  // namespace quarvel::records
