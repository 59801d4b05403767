// quarvel-cli --data: one table split in two runs exactly as the two files of
// the same numbers, labels its points and forecast with the table's time
// stamps, records its table, and refuses a bad table with its line and column.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "data/tablefile.h"
#include "records/runrecord.h"
#include "support/examples.h"
#include "support/scratch.h"

namespace {

namespace fs = std::filesystem;

using Result = quarvel::testing::CliResult;
using quarvel::testing::example;
using quarvel::testing::read_file;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

std::string joined(const std::vector<std::string>& lines, std::size_t first, std::size_t last) {
  std::string text;
  for (std::size_t i = first; i < last; ++i) text += lines[i] + "\n";
  return text;
}

// "1949-01" for row 0 of the monthly series.
std::string month_of_row(std::size_t row) {
  char text[16];
  std::snprintf(text, sizeof text, "%zu-%02zu", 1949 + row / 12, row % 12 + 1);
  return text;
}

class TableDataTest : public quarvel::testing::ScratchFolderTest {
 protected:
  Result run(std::vector<std::string> arguments) const {
    // A short run: the files compared depend on the data path, not on its length.
    arguments.insert(arguments.end(), {"--generations", "3", "--population-size", "200"});
    return quarvel::testing::run_program(QUARVEL_CLI, folder_, arguments);
  }

  // AirPassengers as write.csv writes it, split after 1958-12.
  static std::vector<std::string> air_passengers(std::vector<std::string> extra) {
    std::vector<std::string> arguments{"--data",        example("airpassengers.csv"),
                                       "--column",      "passengers",
                                       "--time-column", "month",
                                       "--split",       "120"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
  }

  std::string output(const std::string& run, const std::string& name) const {
    return read_file(folder_ / run / name);
  }
};

// The split gives the training file and a validation file of the last K
// training values and the 24 held out; loaded as two files, the overlap
// detection finds K, and every result is the same byte for byte.
TEST_F(TableDataTest, RunsExactlyAsTheTwoFilesOfTheSameNumbers) {
  const std::vector<std::string> training =
      lines_of(read_file(example("airpassengers-training.txt")));
  const std::vector<std::string> validation =
      lines_of(read_file(example("airpassengers-validation.txt")));
  ASSERT_EQ(training.size(), 120u);
  ASSERT_EQ(validation.size(), 60u);  // the last 36 training values, then 24
  const struct {
    const char* name;
    std::vector<std::string> settings;
    std::size_t overlap;
  } cases[] = {
      {"the largest lag, 25", {"--terminals", "25"}, 25},
      {"the default terminal table", {}, 100},
      {"the given overlap wins", {"--terminals", "25", "--overlap", "30"}, 30},
      {"the example files' overlap", {"--terminals", "25", "--overlap", "36"}, 36},
      {"two populations, the larger table", {"--populations", "2", "--terminals", "12,40"}, 40},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string two_files = write(
        "validation.txt", joined(training, 120 - c.overlap, 120) + joined(validation, 36, 60));
    std::vector<std::string> settings = c.settings;
    settings.insert(settings.end(), {"--forecast", "5", "--quiet", "--output"});
    std::vector<std::string> files{"--training", example("airpassengers-training.txt"),
                                   "--validation", two_files};
    files.insert(files.end(), settings.begin(), settings.end());
    files.push_back((folder_ / "files").string());
    std::vector<std::string> table = air_passengers(settings);
    table.push_back((folder_ / "table").string());

    const Result from_files = run(files);
    ASSERT_EQ(from_files.status, 0) << from_files.err;
    const Result from_table = run(table);
    ASSERT_EQ(from_table.status, 0) << from_table.err;
    EXPECT_EQ(from_table.err, "");
    const int populations = c.settings.size() > 2 && c.settings[0] == "--populations" ? 2 : 1;
    for (int k = 1; k <= populations; ++k) {
      for (const std::string stem : {"prediction-", "tree-", "forecast-"}) {
        const std::string name = stem + std::to_string(k) + ".txt";
        const std::string expected = output("files", name);
        ASSERT_FALSE(expected.empty()) << name;
        EXPECT_EQ(output("table", name), expected) << name;
      }
    }
    // 144 values and the K repeated ones.
    EXPECT_EQ(lines_of(output("table", "prediction-1.txt")).size(), 144 + c.overlap);
  }
}

// Each point of the prediction with the month of its row, the repeated
// training values left out, then the forecast past the data from 1961-01.
TEST_F(TableDataTest, TimedPredictionLabelsThePointsAndTheForecast) {
  const Result result = run(air_passengers({"--terminals", "25", "--forecast", "13", "--units",
                                            "original", "--output", (folder_ / "out").string()}));
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> prediction = lines_of(output("out", "prediction-1.txt"));
  const std::vector<std::string> forecast = lines_of(output("out", "forecast-1.txt"));
  ASSERT_EQ(prediction.size(), 144u + 25u);
  ASSERT_EQ(forecast.size(), 13u);

  std::string expected = "index,time,value\n";
  const auto value_of = [](const std::string& line) { return line.substr(line.find(',') + 1); };
  for (std::size_t point = 0; point < 144 + 25; ++point) {
    if (point >= 120 && point < 145) continue;  // the repeated 1956-12 .. 1958-12
    const std::size_t row = point < 120 ? point : point - 25;
    expected +=
        std::to_string(point) + "," + month_of_row(row) + "," + value_of(prediction[point]) + "\n";
  }
  for (std::size_t step = 0; step < 13; ++step) {
    expected += std::to_string(169 + step) + "," + month_of_row(144 + step) + "," +
                value_of(forecast[step]) + "\n";
  }
  const std::string timed = output("out", "timed-prediction-1.csv");
  EXPECT_EQ(timed, expected);
  EXPECT_NE(timed.find("\n169,1961-01,"), std::string::npos);
  EXPECT_NE(timed.find("\n181,1962-01,"), std::string::npos);

  // Without a time column there is nothing to label; a later run of two
  // files leaves no file of the earlier one.
  const Result untimed =
      run({"--data", example("airpassengers.csv"), "--split", "0.8", "--terminals", "25", "--quiet",
           "--output", (folder_ / "out").string()});
  ASSERT_EQ(untimed.status, 0) << untimed.err;
  EXPECT_FALSE(fs::exists(folder_ / "out" / "timed-prediction-1.csv"));
  EXPECT_TRUE(fs::exists(folder_ / "out" / "prediction-1.txt"));
}

TEST_F(TableDataTest, ABadTableIsRefusedWithItsLineAndColumn) {
  const std::string good = "month,passengers\n1949-01,112\n1949-02,118\n1949-03,132\n1949-04,129\n";
  const std::string years = "year,level\n1700,5\n1701,11\n1702,16\n1703,23\n";
  const struct {
    const char* name;
    std::string table;
    std::vector<std::string> options;
    int status;
    std::string message;  // after `error: data file "PATH"`
  } cases[] = {
      {"text in the value column",
       "month,passengers\n1949-01,112\n1949-02,abc\n1949-03,132\n",
       {},
       3,
       ": line 3, column 2 (\"passengers\"): \"abc\" is not a number"},
      {"a missing value",
       "month,passengers\n1949-01,112\n1949-02,NA\n1949-03,132\n",
       {},
       3,
       ": line 3, column 2 (\"passengers\"): a missing value (\"NA\"); fill the gaps by "
       "interpolation, or remove the row"},
      {"a ragged row",
       "a,b\n1,2\n3\n4,5\n",
       {"--column", "b"},
       3,
       ": line 3, column 2 (\"b\"): the line ends before this column (it holds 1 of the "
       "table's 2 columns)"},
      {"no such column",
       good,
       {"--column", "pax"},
       3,
       ": line 1: the value column \"pax\" is not in the table; its columns are \"month\", "
       "\"passengers\""},
      {"time stamps out of order",
       "month,v\n1949-02,1\n1949-01,2\n1949-03,3\n",
       {"--time-column", "month"},
       3,
       ": line 3, column 1 (\"month\"): \"1949-01\" does not come after \"1949-02\" (line 2); "
       "the rows must be in time order, earliest first"},
      {"a split past the data",
       good,
       {"--split", "4"},
       3,
       ": --split 4: the split leaves no value to validate: the series holds 4 values, and the "
       "training part would take all of them"},
      {"a split at a time stamp not there",
       good,
       {"--time-column", "month", "--split", "1950-01"},
       3,
       ": --split 1950-01: no row has the time stamp \"1950-01\" (the series runs from "
       "\"1949-01\" to \"1949-04\")"},
      {"one column for both uses",
       good,
       {"--column", "1", "--time-column", "month"},
       2,
       ": column 1 (\"month\") cannot be both the value column and the time column"},
      {"thousands separators taken for decimal commas",
       "month\tpassengers\n1949-01\t995\n1949-02\t1,046\n1949-03\t1,102\n1949-04\t987\n",
       {},
       3,
       ": line 3, column 2 (\"passengers\"): \"1,046\" reads as 1.046 with a decimal comma, but as "
       "1046 if its comma separates thousands, and every comma in the column has three digits "
       "after it, as a thousands separator has; say which the comma is: --decimal-comma yes or "
       "--thousands-separator comma"},
      {"a year is a count",
       years,
       {"--time-column", "year", "--split", "1971"},
       3,
       ": --split 1971: the split leaves no value to validate: the series holds 4 values, and the "
       "training part would take 1971; read as a time stamp (@1971), it names no row either: the "
       "series runs from \"1700\" to \"1703\""},
      {"a year not in the table",
       years,
       {"--time-column", "year", "--split", "@1971"},
       3,
       ": --split @1971: no row has the time stamp \"1971\" (the series runs from \"1700\" to "
       "\"1703\")"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = write("table.csv", c.table);
    std::vector<std::string> arguments{"--data", path, "--output", (folder_ / "out").string()};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    if (std::find(c.options.begin(), c.options.end(), "--split") == c.options.end()) {
      arguments.insert(arguments.end(), {"--split", "2", "--terminals", "1"});
    }
    const Result result = run(arguments);
    EXPECT_EQ(result.status, c.status);
    std::string expected = c.status == 2 ? "error: --column, --time-column: " : "error: ";
    expected.append("data file \"").append(path).append("\"").append(c.message).append("\n");
    EXPECT_EQ(result.err, expected);
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(fs::exists(folder_ / "out"));
  }
  // A table is a data file of its run: no output may replace it.
  fs::create_directories(folder_ / "out");
  const std::string series = "1\n5\n2\n7\n3\n";
  const std::string inside = write("out/prediction-1.txt", series);
  const Result replacing = run({"--data", inside, "--split", "3", "--terminals", "1", "--output",
                                (folder_ / "out").string()});
  EXPECT_EQ(replacing.status, 2);
  EXPECT_NE(replacing.err.find("would replace a data file of this run"), std::string::npos)
      << replacing.err;
  EXPECT_EQ(read_file(inside), series);

  const Result missing = run({"--data", (folder_ / "none.csv").string(), "--split", "0.5"});
  EXPECT_EQ(missing.status, 3);
  EXPECT_EQ(missing.err, "error: cannot open data file \"" + (folder_ / "none.csv").string() +
                             "\": No such file or directory\n");
}

// Missing values filled on request, with their count; the note and the split
// on the standard error, and the warnings the user should see.
TEST_F(TableDataTest, TellsHowTheTableWasReadAndWarnsOfWhatFallsShort) {
  std::string table = "t;v\n";
  for (int row = 0; row < 30; ++row) {
    const std::string value = row == 3   ? ""
                              : row == 4 ? "NaN"
                                         : std::to_string(row * 3 % 29) + ",5";
    table += std::to_string(row) + ";" + value + "\n";
  }
  const std::string path = write("gaps.csv", table);
  const std::string name = "data file \"" + path + "\"";
  const Result refused = run({"--data", path, "--split", "20"});
  EXPECT_EQ(refused.status, 3);
  EXPECT_NE(refused.err.find("line 5, column 2 (\"v\"): a missing value (an empty cell)"),
            std::string::npos)
      << refused.err;

  const Result filled = run({"--data", path, "--split", "20", "--missing", "interpolate"});
  ASSERT_EQ(filled.status, 0) << filled.err;
  EXPECT_EQ(filled.err,
            "note: " + name +
                ": semicolon-delimited (detected), a header line (detected), decimal comma "
                "(detected), 2 columns; values from column 2 (\"v\"); the first 20 of 30 values "
                "train, 10 are held out, and the validation part repeats the last 19 values of the "
                "training part\n"
                "note: " +
                name +
                ": 2 missing values filled by linear interpolation between the values around "
                "them, the first on line 5, column 2 (\"v\")\n"
                "warning: " +
                name +
                ": the validation part repeats 19 training values, fewer than the largest "
                "--terminals, 100, as the split leaves room for no more: at the forecast start, "
                "lags past 19 reach into the training part\n");
  // --quiet leaves out the notes, not the warning.
  const Result quiet =
      run({"--data", path, "--split", "20", "--missing", "interpolate", "--quiet"});
  ASSERT_EQ(quiet.status, 0) << quiet.err;
  EXPECT_EQ(quiet.err, filled.err.substr(filled.err.find("warning: ")));
}

// Where detection cannot tell, the table is read as the user says: a comma
// that separates thousands, or a decimal comma, given; a split point by its
// spelling; date-times with a zone, the stamps past the data in that zone.
TEST_F(TableDataTest, ReadsNumbersAndTimeStampsAsTold) {
  std::string plain = "t\tv\n";
  std::string grouped = plain;
  std::string points = plain;
  for (int row = 0; row < 30; ++row) {
    const int value = 900 + row * 37 % 250;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "2020-01-01T00:%02d:00+01:00", row);
    char thousands[8];
    std::snprintf(thousands, sizeof thousands, "%03d", value % 1000);
    const std::string head = std::string(stamp) + "\t";
    plain += head + std::to_string(value) + "\n";
    grouped += head + (value < 1000 ? std::to_string(value) : "1," + std::string(thousands)) + "\n";
    points += head + (value < 1000 ? std::to_string(value) : "1." + std::string(thousands)) + "\n";
  }
  const auto run_on = [&](const std::string& name, const std::string& table,
                          std::vector<std::string> options) {
    const std::string path = write(name + ".tsv", table);
    std::vector<std::string> arguments{
        "--data", path,       "--time-column",          "t", "--terminals", "3", "--forecast",
        "2",      "--output", (folder_ / name).string()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return run(arguments);
  };
  const auto same_results = [&](const std::string& one, const std::string& other) {
    for (const char* file : {"prediction-1.txt", "tree-1.txt", "timed-prediction-1.csv"}) {
      const std::string expected = output(other, file);
      EXPECT_FALSE(expected.empty()) << file;
      EXPECT_EQ(output(one, file), expected) << one << " " << file;
    }
  };
  ASSERT_EQ(run_on("grouped", grouped, {"--split", "20"}).status, 3);

  const Result thousands =
      run_on("thousands", grouped, {"--split", "20", "--thousands-separator", "comma"});
  ASSERT_EQ(thousands.status, 0) << thousands.err;
  EXPECT_NE(thousands.err.find("tab-delimited (detected), a header line (detected), decimal "
                               "point, thousands separated by commas, 2 columns"),
            std::string::npos)
      << thousands.err;
  // The stamp that ends the training part, as a split point, is the count's.
  const Result at_stamp = run_on("plain", plain, {"--split", "2020-01-01T00:19:00+01:00"});
  ASSERT_EQ(at_stamp.status, 0) << at_stamp.err;
  EXPECT_NE(at_stamp.err.find("the first 20 of 30 values train (up to 2020-01-01T00:19:00+01:00)"),
            std::string::npos)
      << at_stamp.err;
  same_results("thousands", "plain");
  const std::string timed = output("plain", "timed-prediction-1.csv");
  EXPECT_NE(timed.find(",2020-01-01T00:29:00+01:00,"), std::string::npos) << timed;
  EXPECT_NE(timed.find(",2020-01-01T00:30:00+01:00,"), std::string::npos) << timed;
  EXPECT_NE(timed.find(",2020-01-01T00:31:00+01:00,"), std::string::npos) << timed;

  ASSERT_EQ(run_on("decimal", grouped, {"--split", "20", "--decimal-comma", "yes"}).status, 0);
  ASSERT_EQ(run_on("points", points, {"--split", "20"}).status, 0);
  same_results("decimal", "points");
}

// The last training value recurs in the validation part: loaded as two files
// the overlap would be detected as 1; the run takes K all the same, and its
// record names the table. Such runs merge as any others.
TEST_F(TableDataTest, TakesItsOverlapWhereTwoFilesWouldDetectAnother) {
  std::string table = "value\n";
  for (int row = 0; row < 40; ++row) {
    table += std::to_string(row == 19 ? 5 : row == 17 ? 5 : (row * 7) % 11) + "\n";
  }
  const std::string path = write("series.csv", table);
  const Result result = run({"--data", path, "--split", "20", "--terminals", "3", "--quiet",
                             "--runs", "2", "--output", (folder_ / "sweep").string()});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "warning: data file \"" + path +
                            "\": two files holding these parts would be loaded with an overlap of "
                            "1, as the last training values occur earlier in the validation part; "
                            "this run takes 3, as --overlap 3 would set it\n");
  const std::string record = output("sweep", "run-0001/run.txt");
  EXPECT_NE(record.find("\ndata " + path + "\ndata-column 1 value\ndata-split 20\ntraining " +
                        path + "\ntraining-values 20\n"),
            std::string::npos)
      << record;
  EXPECT_NE(record.find("\nvalidation-values 23\n"), std::string::npos) << record;
  EXPECT_NE(record.find("\n--overlap 3\n"), std::string::npos) << record;

  const Result merged =
      quarvel::testing::run_program(QUARVEL_CLI, folder_,
                                    {"--summarize", (folder_ / "sweep").string(), "--quiet",
                                     "--output", (folder_ / "merged").string()});
  ASSERT_EQ(merged.status, 0) << merged.err;
  EXPECT_EQ(output("merged", "summary.txt"), output("sweep", "summary.txt"));
}

}  // namespace

namespace {

// A run of a table records every option that decides its numbers, as read,
// given or detected: its record reads the table again to the values the run
// took (by their count and checksum), and its model files name them.
TEST_F(TableDataTest, RecordsHowItReadTheTableSoThatItsRunsReadItAgain) {
  std::string table = "t;v\n";
  for (int row = 0; row < 40; ++row) {
    table +=
        std::to_string(row) + ";" + (row == 5 ? "" : std::to_string(row * 7 % 31) + ",5") + "\n";
  }
  const std::string path = write("gaps.csv", table);
  const fs::path out = folder_ / "out";
  const Result result = run({"--data", path, "--column", "v", "--split", "30", "--missing",
                             "interpolate", "--terminals", "3", "--runs", "1", "--export-model",
                             "--quiet", "--output", out.string()});
  ASSERT_EQ(result.status, 0) << result.err;
  const std::string text = read_file(out / "run-0000" / "run.txt");
  EXPECT_NE(text.find("\n--delimiter semicolon\n--header yes\n--decimal-comma yes\n"
                      "--thousands-separator none\n--missing interpolate\n"),
            std::string::npos)
      << text;
  quarvel::records::RunRecord record;
  ASSERT_EQ(quarvel::records::parse_record(text, record), std::nullopt);
  const quarvel::data::TableResult again =
      quarvel::data::read_table_file(path, quarvel::records::table_reading(record));
  ASSERT_TRUE(again.table.has_value());
  EXPECT_EQ(again.table->values.size(), 40u);
  EXPECT_EQ(again.table->values[5], (4 * 7 % 31 + 6 * 7 % 31 + 1.0) / 2.0);
  // Read by detection alone, as before runs recorded their reading, the gap is refused.
  quarvel::data::TableOptions detected;
  detected.value_column = quarvel::data::ColumnChoice::by_number(2);
  EXPECT_FALSE(quarvel::data::read_table_file(path, detected).table.has_value());

  const std::string model = read_file(out / "run-0000" / "model-1.txt");
  for (const char* setting :
       {"--column 2", "--split 30", "--delimiter semicolon", "--header yes", "--decimal-comma yes",
        "--thousands-separator none", "--missing interpolate"}) {
    EXPECT_NE(model.find(setting), std::string::npos) << setting << "\n" << model;
  }
}

}  // namespace
