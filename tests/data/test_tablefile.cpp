// Tables: delimiters, headers, quotes, line ends, decimal commas, missing
// values, columns by name and number, time columns, and the refusals that
// name the line and the column and load nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/datafile.h"
#include "data/seriessplit.h"
#include "data/tablefile.h"
#include "support/scratch.h"

namespace quarvel::data {
namespace {

TableOptions with_columns(ColumnChoice value, ColumnChoice time = ColumnChoice::no_column()) {
  TableOptions options;
  options.value_column = std::move(value);
  options.time_column = std::move(time);
  return options;
}

struct ReadCase {
  const char* name;
  std::string text;
  TableOptions options;
  std::vector<double> values;
  std::vector<std::size_t> lines;
  Delimiter delimiter;
  bool header;
  bool decimal_comma;
  std::size_t value_column;
};

TEST(Table, ReadsEveryLayout) {
  const ReadCase cases[] = {
      {"write.csv: quoted header and time stamps",
       "\"month\",\"passengers\"\n\"1949-01\",112\n\"1949-02\",118\n",
       {},
       {112, 118},
       {2, 3},
       Delimiter::comma,
       true,
       false,
       2},
      {"semicolon and decimal comma",
       "month;value\n1949-01;1,5\n1949-02;-2,25E1\n",
       {},
       {1.5, -22.5},
       {2, 3},
       Delimiter::semicolon,
       true,
       true,
       2},
      {"semicolon wins over the decimal comma's comma",
       "1949-01;112,5\n1949-02;118,5\n",
       {},
       {112.5, 118.5},
       {1, 2},
       Delimiter::semicolon,
       false,
       true,
       2},
      {"tab",
       "year\tsunspots\n1700\t5\n1701\t11\n",
       {},
       {5, 11},
       {2, 3},
       Delimiter::tab,
       true,
       false,
       2},
      {"tab with an empty name and blanks in fields",
       "\tsunspots\n1700\t 5 \n1701 \t11\n",
       {},
       {5, 11},
       {2, 3},
       Delimiter::tab,
       true,
       false,
       2},
      {"whitespace runs",
       "  year   value\n 1700  5.0\n1701\t 11 \n",
       {},
       {5, 11},
       {2, 3},
       Delimiter::whitespace,
       true,
       false,
       2},
      {"write.table: blank-delimited and quoted",
       "\"month\" \"passengers\"\n\"1949-01\" 112\n",
       {},
       {112},
       {2},
       Delimiter::whitespace,
       true,
       false,
       2},
      {"write.table with row names: the header one short",
       "\"month\" \"passengers\"\n\"1\" \"1949-01\" 112\n\"2\" \"1949-02\" 118\n",
       {},
       {112, 118},
       {2, 3},
       Delimiter::whitespace,
       true,
       false,
       3},
      {"whitespace with a decimal comma",
       "1700 5,5\n1701 6,25\n",
       {},
       {5.5, 6.25},
       {1, 2},
       Delimiter::whitespace,
       false,
       true,
       2},
      {"one column with a header",
       "passengers\n112\n118\n",
       {},
       {112, 118},
       {2, 3},
       Delimiter::none,
       true,
       false,
       1},
      {"one column without a header, as a data file",
       "112\n\n118\n",
       {},
       {112, 118},
       {1, 3},
       Delimiter::none,
       false,
       false,
       1},
      {"one column with decimal commas: not a short header",
       "value\n1,5\n2,25\n",
       {},
       {1.5, 2.25},
       {2, 3},
       Delimiter::none,
       true,
       true,
       1},
      {"one column with a decimal comma",
       "value\n1,5\n2\n",
       {},
       {1.5, 2},
       {2, 3},
       Delimiter::none,
       true,
       true,
       1},
      {"byte order mark and CR LF",
       "\xEF\xBB\xBFmonth,passengers\r\n1949-01,112\r\n\r\n1949-02,118",
       {},
       {112, 118},
       {2, 4},
       Delimiter::comma,
       true,
       false,
       2},
      {"CR line ends", "a,b\r1,2\r\r3,4\r", {}, {2, 4}, {2, 4}, Delimiter::comma, true, false, 2},
      {"trailing delimiter and blank lines",
       "a,b,\n\n1,2,\n   \n3,4,\n",
       {},
       {2, 4},
       {3, 5},
       Delimiter::comma,
       true,
       false,
       2},
      {"a trailing empty field that some row fills is a column",
       "a,b,\n1,2,\n3,4,5\n",
       with_columns(ColumnChoice::by_number(2)),
       {2, 4},
       {2, 3},
       Delimiter::comma,
       true,
       false,
       2},
      {"a spreadsheet's empty rows",
       "a;b\n1;2\n;\n;;\n3;4\n",
       {},
       {2, 4},
       {2, 5},
       Delimiter::semicolon,
       true,
       false,
       2},
      {"quoted delimiter, doubled quote and line end in a field",
       "\"name, \"\"quoted\"\"\",\"value\"\n\"a\nb\",1\r\n\"c\r\nd\", \"2\" \n",
       {},
       {1, 2},
       {2, 4},
       Delimiter::comma,
       true,
       false,
       2},
      {"a quote inside an unquoted field is a character",
       "size,value\n5\" disk,3\n",
       {},
       {3},
       {2},
       Delimiter::comma,
       true,
       false,
       2},
      {"pandas' index column",
       ",passengers\n0,112\n1,118\n",
       {},
       {112, 118},
       {2, 3},
       Delimiter::comma,
       true,
       false,
       2},
      {"the last column of numbers",
       "x,label,y\n1,a,2\n3,b,4\n",
       {},
       {2, 4},
       {2, 3},
       Delimiter::comma,
       true,
       false,
       3},
      {"value column by number",
       "a,b\n1,2\n3,4\n",
       with_columns(ColumnChoice::by_number(1)),
       {1, 3},
       {2, 3},
       Delimiter::comma,
       true,
       false,
       1},
      {"value column by name",
       "a,b\n1,2\n3,4\n",
       with_columns(ColumnChoice::by_name("a")),
       {1, 3},
       {2, 3},
       Delimiter::comma,
       true,
       false,
       1},
      {"typed digits: a header name first",
       "x,y,1\n10,20,30\n",
       with_columns(ColumnChoice::from_text("1")),
       {30},
       {2},
       Delimiter::comma,
       true,
       false,
       3},
      {"typed digits: else a number",
       "x,y,z\n10,20,30\n",
       with_columns(ColumnChoice::from_text("1")),
       {10},
       {2},
       Delimiter::comma,
       true,
       false,
       1},
      {"numbers in the first line: no header",
       "1,2\n3,4\n",
       {},
       {2, 4},
       {1, 2},
       Delimiter::comma,
       false,
       false,
       2},
      {"signs and exponents",
       "v\n-1.5e2\n+3\n.5\n",
       {},
       {-150, 3, 0.5},
       {2, 3, 4},
       Delimiter::none,
       true,
       false,
       1},
      // Three digits after a decimal comma where no thousands separator writes
      // them: after a 0, after four digits, or beside another decimal.
      {"three decimals after a 0",
       "v\n0,125\n-0,250\n",
       {},
       {0.125, -0.25},
       {2, 3},
       Delimiter::none,
       true,
       true,
       1},
      {"three decimals after four digits",
       "a;b\n1;1234,567\n2;12,5\n",
       {},
       {1234.567, 12.5},
       {2, 3},
       Delimiter::semicolon,
       true,
       true,
       2},
      {"three decimals among others, close to the whole numbers",
       "t\tv\n1\t995\n2\t996,125\n3\t997,5\n",
       {},
       {995, 996.125, 997.5},
       {2, 3, 4},
       Delimiter::tab,
       true,
       true,
       2},
      {"a decimal comma given reads three decimals as told",
       "t\tv\n1\t995\n2\t1,046\n",
       [] {
         TableOptions options;
         options.decimal_comma = true;
         return options;
       }(),
       {995, 1.046},
       {2, 3},
       Delimiter::tab,
       true,
       true,
       2},
  };
  for (const ReadCase& c : cases) {
    const TableResult read = read_table(c.text, c.options);
    ASSERT_TRUE(read.table) << c.name << ": " << read.error.message;
    EXPECT_EQ(read.error.problem, TableProblem::none) << c.name;
    const Table& table = *read.table;
    EXPECT_EQ(table.values, c.values) << c.name;
    EXPECT_EQ(table.lines, c.lines) << c.name;
    EXPECT_EQ(table.layout.delimiter, c.delimiter) << c.name;
    EXPECT_EQ(table.layout.header, c.header) << c.name;
    EXPECT_EQ(table.layout.decimal_comma, c.decimal_comma) << c.name;
    EXPECT_EQ(table.value_column, c.value_column) << c.name;
    EXPECT_FALSE(table.time) << c.name;
    EXPECT_EQ(table.filled, 0u) << c.name;
  }
}

TEST(Table, KeepsHeaderNamesUnquoted) {
  const TableResult named = read_table("\"name, \"\"quoted\"\"\",\"value\",\n\"a\",1,\n");
  ASSERT_TRUE(named.table) << named.error.message;
  EXPECT_EQ(named.table->column_names, (std::vector<std::string>{"name, \"quoted\"", "value"}));
  EXPECT_EQ(named.table->layout.columns, 2u);
}

TEST(Table, AShortHeaderNamesTheColumnsAfterTheFirst) {
  const TableResult read =
      read_table("month\tpassengers\n1\t1949-01\t112\n2\t1949-02\t118\n",
                 with_columns(ColumnChoice::by_name("passengers"), ColumnChoice::by_name("month")));
  ASSERT_TRUE(read.table) << read.error.message;
  EXPECT_EQ(read.table->column_names, (std::vector<std::string>{"", "month", "passengers"}));
  EXPECT_EQ(read.table->values, (std::vector<double>{112, 118}));
  EXPECT_EQ(read.table->time_column, 2u);
  // Without a header the short first line is a ragged row.
  TableOptions options;
  options.header = false;
  const TableResult ragged = read_table("1\t2\n3\t4\t5\n", options);
  EXPECT_EQ(ragged.error.problem, TableProblem::ragged_row);
  EXPECT_EQ(ragged.error.line, 1u);
}

TEST(Table, OptionsOverrideDetection) {
  TableOptions options;
  options.header = false;
  options.delimiter = Delimiter::semicolon;
  options.decimal_comma = false;
  options.value_column = ColumnChoice::by_number(1);
  const TableResult read = read_table("1.5;2,5\n3;4\n", options);
  ASSERT_TRUE(read.table) << read.error.message;
  EXPECT_EQ(read.table->values, (std::vector<double>{1.5, 3}));
  EXPECT_EQ(describe_layout(read.table->layout),
            "semicolon-delimited, no header line, decimal point, 2 columns");

  // A header forced on a table of numbers names its columns.
  options = with_columns(ColumnChoice::by_name("2"));
  options.header = true;
  const TableResult forced = read_table("1,2\n3,4\n", options);
  ASSERT_TRUE(forced.table) << forced.error.message;
  EXPECT_EQ(forced.table->values, std::vector<double>{4});
  EXPECT_EQ(describe_layout(forced.table->layout),
            "comma-delimited (detected), a header line, decimal point (detected), 2 columns");
}

TEST(Table, ReadsTimeColumnsOfEveryKind) {
  struct TimeCase {
    std::string stamps[2];
    TimeKind kind;
    const char* next;
  };
  const TimeCase cases[] = {
      {{"1700", "1701"}, TimeKind::year, "1702"},
      {{"\"1949-01\"", "\"1949-02\""}, TimeKind::year_month, "1949-03"},
      {{"1949-01-31", "1949-02-28"}, TimeKind::date, "1949-03-31"},
      {{"2020-01-01 00:00:00", "2020-01-01 00:15:00"}, TimeKind::date_time, "2020-01-01 00:30:00"},
      {{"0.5", "1"}, TimeKind::number, "1.5"},
  };
  for (const TimeCase& c : cases) {
    const std::string text = "t,v\n" + c.stamps[0] + ",1\n" + c.stamps[1] + ",2\n";
    for (const ColumnChoice& choice : {ColumnChoice::by_name("t"), ColumnChoice::by_number(1)}) {
      const TableResult read = read_table(text, with_columns(ColumnChoice::detected(), choice));
      ASSERT_TRUE(read.table) << text << read.error.message;
      ASSERT_TRUE(read.table->time) << text;
      EXPECT_EQ(read.table->time_column, 1u);
      EXPECT_EQ(read.table->time->format.kind, c.kind) << text;
      EXPECT_EQ(time_stamps_after(*read.table->time, 1).labels, std::vector<std::string>{c.next});
    }
    // Detection takes calendar columns, not plain numbers.
    const TableResult detected =
        read_table(text, with_columns(ColumnChoice::detected(), ColumnChoice::detected()));
    ASSERT_TRUE(detected.table) << detected.error.message;
    EXPECT_EQ(detected.table->time_column, c.kind == TimeKind::number ? 0u : 1u) << text;
  }
}

TEST(Table, FillsInteriorGapsWhenAskedAndCountsThem) {
  TableOptions options;
  options.missing = MissingValues::interpolate;
  const TableResult read =
      read_table("t,v\n1,1\n2,NA\n3,\n4,4\n5,nan\n6,8\n7,n/a\n8,#N/A\n9,11\n", options);
  ASSERT_TRUE(read.table) << read.error.message;
  const std::vector<double> filled{1, 2, 3, 4, 6, 8, 9, 10, 11};
  ASSERT_EQ(read.table->values.size(), filled.size());
  for (std::size_t i = 0; i < filled.size(); ++i) {
    EXPECT_DOUBLE_EQ(read.table->values[i], filled[i]) << i;
  }
  EXPECT_EQ(read.table->filled, 5u);
  EXPECT_EQ(read.table->note,
            "5 missing values filled by linear interpolation between the values around them, the "
            "first on line 3, column 2 (\"v\")");
  const TableResult complete = read_table("v\n1\n2\n", options);
  ASSERT_TRUE(complete.table);
  EXPECT_TRUE(complete.table->note.empty());
}

struct RefusalCase {
  const char* name;
  std::string text;
  TableOptions options;
  TableProblem problem;
  std::size_t line;
  std::size_t column;
  const char* message;  // the whole message
};

// The table is refused with the case's problem, at its line and column, in
// its words (when it gives them).
void expect_refused(const RefusalCase& c) {
  const TableResult read = read_table(c.text, c.options);
  EXPECT_FALSE(read.table) << c.name;
  EXPECT_EQ(read.error.problem, c.problem) << c.name << ": " << read.error.message;
  EXPECT_EQ(read.error.line, c.line) << c.name;
  EXPECT_EQ(read.error.column, c.column) << c.name;
  if (*c.message != '\0') {
    EXPECT_EQ(read.error.message, c.message) << c.name;
  }
}

TableOptions interpolating() {
  TableOptions options;
  options.missing = MissingValues::interpolate;
  return options;
}

TEST(Table, RefusesBadInputNamingLineAndColumn) {
  const std::string months = "month,passengers\n1949-01,112\n1949-02,118\n";
  TableOptions comma_and_decimal_comma;
  comma_and_decimal_comma.delimiter = Delimiter::comma;
  comma_and_decimal_comma.decimal_comma = true;
  const RefusalCase cases[] = {
      {"no column of that name", months, with_columns(ColumnChoice::by_name("pasengers")),
       TableProblem::no_such_column, 1, 0,
       "line 1: the value column \"pasengers\" is not in the table; its columns are \"month\", "
       "\"passengers\""},
      {"no column of that number", months, with_columns(ColumnChoice::by_number(3)),
       TableProblem::no_such_column, 1, 3,
       "line 1: the value column 3 is not in the table, which has 2 columns"},
      {"no time column of that name", months,
       with_columns(ColumnChoice::detected(), ColumnChoice::from_text("time")),
       TableProblem::no_such_column, 1, 0,
       "line 1: the time column \"time\" is not in the table; its columns are \"month\", "
       "\"passengers\""},
      {"a name without a header", "1,2\n3,4\n", with_columns(ColumnChoice::by_name("b")),
       TableProblem::no_such_column, 1, 0,
       "line 1: the table has no header line, so no column is named \"b\"; choose the value "
       "column by its number, 1 to 2"},
      {"two columns of one name", "v,v\n1,2\n", with_columns(ColumnChoice::by_name("v")),
       TableProblem::no_such_column, 1, 0,
       "line 1: columns 1 and 2 are both named \"v\"; choose the value column by its number"},
      {"text in the value column",
       "a,b\n1,2\n3,x y\n",
       {},
       TableProblem::not_a_number,
       3,
       2,
       "line 3, column 2 (\"b\"): \"x y\" is not a number"},
      {"not a decimal comma either",
       "a;b\n1;2\n3;4,5x\n",
       {},
       TableProblem::not_a_number,
       3,
       2,
       "line 3, column 2 (\"b\"): \"4,5x\" is not a number"},
      {"a point in a decimal-comma table",
       "a;b\n1;1,5\n2;1.234\n",
       {},
       TableProblem::not_a_number,
       3,
       2,
       "line 3, column 2 (\"b\"): \"1.234\" holds a point, but the table writes decimal commas "
       "(a point may separate thousands there)"},
      {"a decimal comma refused with a point", "a\tb\n1\t2,5\n",
       [] {
         TableOptions options = with_columns(ColumnChoice::by_name("b"));
         options.decimal_comma = false;
         return options;
       }(),
       TableProblem::not_a_number, 2, 2,
       "line 2, column 2 (\"b\"): \"2,5\" is not a number (a decimal comma is not read here)"},
      {"a field too many",
       "a,b\n1,2\n3,4,5\n",
       {},
       TableProblem::ragged_row,
       3,
       3,
       "line 3, column 3: a field past the table's 2 columns"},
      {"a field too few",
       "a,b\n1,2\n3\n",
       {},
       TableProblem::ragged_row,
       3,
       2,
       "line 3, column 2 (\"b\"): the line ends before this column (it holds 1 of the table's 2 "
       "columns)"},
      {"a missing value",
       "a,b\n1,2\n3,NA\n",
       {},
       TableProblem::missing_value,
       3,
       2,
       "line 3, column 2 (\"b\"): a missing value (\"NA\"); fill the gaps by interpolation, or "
       "remove the row"},
      {"an empty value",
       "a,b\n1,2\n3,\n4,5\n",
       {},
       TableProblem::missing_value,
       3,
       2,
       "line 3, column 2 (\"b\"): a missing value (an empty cell); fill the gaps by "
       "interpolation, or remove the row"},
      {"a missing first value to fill", "v\nNA\n1\n2\n", interpolating(),
       TableProblem::missing_value, 2, 1,
       "line 2, column 1 (\"v\"): a missing value (\"NA\") at the start of the series; only "
       "gaps between two values can be filled"},
      {"a missing last value to fill", "v\n1\n2\nNaN\n", interpolating(),
       TableProblem::missing_value, 4, 1,
       "line 4, column 1 (\"v\"): a missing value (\"NaN\") at the end of the series; only gaps "
       "between two values can be filled"},
      {"an unclosed quote",
       "a,b\n\"1,2\n3,4\n",
       {},
       TableProblem::unclosed_quote,
       2,
       1,
       "line 2, column 1: the quote that opens this field is never closed"},
      {"text after a closing quote",
       "a,b\n1,\"2\"x\n",
       {},
       TableProblem::text_after_quote,
       2,
       2,
       "line 2, column 2: text follows the closing quote of the field"},
      {"a quote left unclosed, closed by the next line's",
       "a,b\n\"1\",2\n\"3,4\n\"5\",6\n",
       {},
       TableProblem::text_after_quote,
       3,
       1,
       "line 3, column 1: the quote that opens this field closes only on line 4, and text "
       "follows it there"},
      {"a decimal comma with the comma as delimiter", months, comma_and_decimal_comma,
       TableProblem::bad_options, 0, 0, "a decimal comma needs another delimiter than the comma"},
      {"one column for values and time", months,
       with_columns(ColumnChoice::by_number(2), ColumnChoice::by_name("passengers")),
       TableProblem::bad_options, 0, 2,
       "column 2 (\"passengers\") cannot be both the value column and the time column"},
      {"a NUL byte",
       std::string("a\n1\n2\0\n", 7),
       {},
       TableProblem::not_text,
       3,
       0,
       "line 3: holds a NUL byte: not a text file"},
      {"UTF-16",
       std::string("\xFF\xFE"
                   "a\0\n\0",
                   6),
       {},
       TableProblem::not_text,
       0,
       0,
       "the file is UTF-16 text; save it as UTF-8"},
      {"a header only",
       "month,passengers\n",
       {},
       TableProblem::no_values,
       0,
       0,
       "the table holds no values"},
      {"nothing", "\n \n", {}, TableProblem::no_values, 0, 0, "the table holds no values"},
      {"no column of numbers",
       "a,b\nx,y\n",
       {},
       TableProblem::no_value_column,
       0,
       0,
       "no column holds numbers in its first rows; choose the value column"},
      {"a bad time stamp", "month,v\n1949-01,1\n1949-13,2\n",
       with_columns(ColumnChoice::detected(), ColumnChoice::by_name("month")),
       TableProblem::bad_time_stamp, 3, 1,
       "line 3, column 1 (\"month\"): \"1949-13\" is not a time stamp (a year such as 1949, a "
       "month 1949-01, a date 1949-01-31, a date and time 1949-01-31T12:00, or a number)"},
      {"time stamps out of order", "month,v\n1949-02,1\n\n1949-01,2\n",
       with_columns(ColumnChoice::detected(), ColumnChoice::by_number(1)),
       TableProblem::bad_time_stamp, 4, 1,
       "line 4, column 1 (\"month\"): \"1949-01\" does not come after \"1949-02\" (line 2); the "
       "rows must be in time order, earliest first"},
      {"a time error before a value error", "t,v\n1949-01,1\nx,2\n1949-03,y\n",
       with_columns(ColumnChoice::by_number(2), ColumnChoice::by_number(1)),
       TableProblem::bad_time_stamp, 3, 1, ""},
      {"a value error before a time error", "t,v\n1949-01,1\n1949-02,y\nx,3\n",
       with_columns(ColumnChoice::by_number(2), ColumnChoice::by_number(1)),
       TableProblem::not_a_number, 3, 2, ""},
      {"a value error and a time error on one line", "t,v\n1949-01,1\nx,y\n",
       with_columns(ColumnChoice::by_number(2), ColumnChoice::by_number(1)),
       TableProblem::not_a_number, 3, 2, ""},
  };
  for (const RefusalCase& c : cases) expect_refused(c);
}

// A comma that may as well separate thousands is not taken for the decimal
// point that detection found: "1,046" could be 1.046 or 1046.
TEST(Table, RefusesADetectedDecimalCommaThatMaySeparateThousands) {
  const RefusalCase cases[] = {
      {"tabs, thousands beside whole numbers",
       "month\tpassengers\n2000-01\t995\n2000-02\t1,046\n2000-03\t1,102\n",
       {},
       TableProblem::ambiguous_comma,
       3,
       2,
       "line 3, column 2 (\"passengers\"): \"1,046\" reads as 1.046 with a decimal comma, but as "
       "1046 if its comma separates thousands, and every comma in the column has three digits "
       "after it, as a thousands separator has; say which the comma is"},
      {"semicolons, every value in thousands",
       "a;b\n1;-1,046\n2;12,250\n",
       {},
       TableProblem::ambiguous_comma,
       2,
       2,
       "line 2, column 2 (\"b\"): \"-1,046\" reads as -1.046 with a decimal comma, but as -1046 "
       "if its comma separates thousands, and every comma in the column has three digits after "
       "it, as a thousands separator has; say which the comma is"},
      {"blanks, the decimal comma detected in another column", "1700 1,5 1,046\n1701 2,5 1,102\n",
       with_columns(ColumnChoice::by_number(3)), TableProblem::ambiguous_comma, 1, 3, ""},
      {"a larger number with two commas among them",
       "v\n1,046\n1,234,567\n",
       {},
       TableProblem::ambiguous_comma,
       2,
       1,
       ""},
      {"one comma that a decimal comma cannot explain beside whole numbers",
       "v\n995\n1,046\n1,5\n",
       {},
       TableProblem::ambiguous_comma,
       3,
       1,
       "line 3, column 1 (\"v\"): \"1,046\" reads as 1.046 with a decimal comma, but as 1046 if "
       "its comma separates thousands, and \"995\" on line 2 lies close to the latter; say which "
       "the comma is"},
      {"after a missing value, the one before it", "v\n1,5\n1,046\nNA\n987\n", interpolating(),
       TableProblem::ambiguous_comma, 3, 1,
       "line 3, column 1 (\"v\"): \"1,046\" reads as 1.046 with a decimal comma, but as 1046 if "
       "its comma separates thousands, and \"987\" on line 5 lies close to the latter; say which "
       "the comma is"},
  };
  for (const RefusalCase& c : cases) expect_refused(c);
}

// A thousands separator given groups the digits by threes and settles the
// decimal separator; a group of another length is refused.
TEST(Table, ReadsThousandsSeparatorsAsGiven) {
  const auto separated = [](ThousandsSeparator separator) {
    TableOptions options;
    options.thousands_separator = separator;
    return options;
  };
  const struct {
    const char* name;
    std::string text;
    ThousandsSeparator separator;
    std::vector<double> values;
    const char* layout;
  } cases[] = {
      {"commas in a tab-delimited table",
       "t\tv\n1\t995\n2\t1,046\n3\t12,345.5\n4\t-1,234,567\n5\t1046\n",
       ThousandsSeparator::comma,
       {995, 1046, 12345.5, -1234567, 1046},
       "tab-delimited (detected), a header line (detected), decimal point, thousands separated "
       "by commas, 2 columns"},
      {"commas in quoted fields of a comma-delimited table",
       "month,passengers\n1949-01,\"1,046\"\n1949-02,995\n",
       ThousandsSeparator::comma,
       {1046, 995},
       "comma-delimited (detected), a header line (detected), decimal point, thousands "
       "separated by commas, 2 columns"},
      {"points, with the decimal comma",
       "a;b\n1;1.046,5\n2;995\n3;12.345.678\n",
       ThousandsSeparator::point,
       {1046.5, 995, 12345678},
       "semicolon-delimited (detected), a header line (detected), decimal comma, thousands "
       "separated by points, 2 columns"},
  };
  for (const auto& c : cases) {
    const TableResult read = read_table(c.text, separated(c.separator));
    ASSERT_TRUE(read.table) << c.name << ": " << read.error.message;
    EXPECT_EQ(read.table->values, c.values) << c.name;
    EXPECT_EQ(describe_layout(read.table->layout), c.layout) << c.name;
  }

  TableOptions point_and_comma_delimiter = separated(ThousandsSeparator::point);
  point_and_comma_delimiter.delimiter = Delimiter::comma;
  TableOptions comma_and_decimal_comma = separated(ThousandsSeparator::comma);
  comma_and_decimal_comma.decimal_comma = true;
  TableOptions point_and_decimal_point = separated(ThousandsSeparator::point);
  point_and_decimal_point.decimal_comma = false;
  const RefusalCase refused[] = {
      {"a comma before fewer than three digits", "v\n1,046\n1,5\n",
       separated(ThousandsSeparator::comma), TableProblem::not_a_number, 3, 1,
       "line 3, column 1 (\"v\"): \"1,5\" is not a number (a comma separates thousands here, in "
       "groups of three digits before the decimal point)"},
      {"a comma before more", "v\n1\n1,0460\n", separated(ThousandsSeparator::comma),
       TableProblem::not_a_number, 3, 1, ""},
      {"a first group of a 0", "v\n1\n0,046\n", separated(ThousandsSeparator::comma),
       TableProblem::not_a_number, 3, 1, ""},
      {"a first group of four digits", "v\n1\n1046,000\n", separated(ThousandsSeparator::comma),
       TableProblem::not_a_number, 3, 1, ""},
      {"a comma after the decimal point", "v\n1\n1.046,5\n", separated(ThousandsSeparator::comma),
       TableProblem::not_a_number, 3, 1, ""},
      {"a point after the decimal comma", "a;b\n1;1\n2;1,046.5\n",
       separated(ThousandsSeparator::point), TableProblem::not_a_number, 3, 2,
       "line 3, column 2 (\"b\"): \"1,046.5\" is not a number (a point separates thousands here, "
       "in groups of three digits before the decimal comma)"},
      {"a point with the comma as delimiter", "a,b\n1,2\n", point_and_comma_delimiter,
       TableProblem::bad_options, 0, 0, "a decimal comma needs another delimiter than the comma"},
      {"a comma for both", "a;b\n1;2\n", comma_and_decimal_comma, TableProblem::bad_options, 0, 0,
       "the comma cannot both separate thousands and stand for the decimal point"},
      {"a point without the decimal comma", "a;b\n1;2\n", point_and_decimal_point,
       TableProblem::bad_options, 0, 0, "a point that separates thousands needs the decimal comma"},
      // Without a separator given, the refusals say what the commas may be.
      {"thousands where no comma is read", "a,b\n1,\"1,046\"\n",
       with_columns(ColumnChoice::by_name("b")), TableProblem::not_a_number, 2, 2,
       "line 2, column 2 (\"b\"): \"1,046\" is not a number (a decimal comma is not read here, "
       "nor a comma that separates thousands)"},
      {"thousands among decimal commas",
       "a;b\n1;1,5\n2;1,234,567\n",
       {},
       TableProblem::not_a_number,
       3,
       2,
       "line 3, column 2 (\"b\"): \"1,234,567\" is not a number (its commas may separate "
       "thousands)"},
  };
  for (const RefusalCase& c : refused) expect_refused(c);
}

TEST(Table, RefusesMoreRowsThanASeriesHolds) {
  std::string text = "v\n";
  for (std::size_t i = 0; i < kMaxTableRows; ++i) text += "1\n";
  const TableResult full = read_table(text);
  ASSERT_TRUE(full.table) << full.error.message;
  EXPECT_EQ(full.table->values.size(), kMaxTableRows);

  const TableResult over = read_table(text + "1\n");
  EXPECT_FALSE(over.table);
  EXPECT_EQ(over.error.problem, TableProblem::too_many_rows);
  EXPECT_EQ(over.error.line, kMaxTableRows + 2);
  EXPECT_EQ(over.error.message,
            "line 40002: more than 40000 rows of values, more than a series "
            "can hold");
}

TEST(TablePreview, ShowsTheFirstRowsWithWhatWasDetected) {
  std::string text = "\"month\",\"passengers\",\n";
  for (int month = 1; month <= 9; ++month) {
    text += "\"1949-0" + std::to_string(month) + "\"," + std::to_string(100 + month) + ",\n";
  }
  const TablePreview preview = preview_table(text, {}, 3);
  EXPECT_EQ(preview.error.problem, TableProblem::none) << preview.error.message;
  EXPECT_EQ(describe_layout(preview.layout),
            "comma-delimited (detected), a header line (detected), decimal point (detected), 2 "
            "columns");
  EXPECT_EQ(preview.column_names, (std::vector<std::string>{"month", "passengers"}));
  EXPECT_EQ(preview.rows, (std::vector<std::vector<std::string>>{
                              {"1949-01", "101"}, {"1949-02", "102"}, {"1949-03", "103"}}));
  EXPECT_EQ(preview.lines, (std::vector<std::size_t>{2, 3, 4}));
  EXPECT_EQ(preview.value_column, 2u);
  EXPECT_EQ(preview.time_column, 1u);
}

TEST(TablePreview, ShowsWhatItCanOfABrokenTable) {
  const TablePreview ragged = preview_table("a,b\n1,2\n3,4,5\n6,7\n");
  EXPECT_EQ(ragged.rows.size(), 3u);
  EXPECT_EQ(ragged.rows[1], (std::vector<std::string>{"3", "4", "5"}));

  const TablePreview unclosed = preview_table("a,b\n1,2\n\"3,4\n");
  EXPECT_EQ(unclosed.error.problem, TableProblem::unclosed_quote);
  EXPECT_EQ(unclosed.rows, (std::vector<std::vector<std::string>>{{"1", "2"}}));

  const TablePreview missing_column =
      preview_table("a,b\n1,2\n", with_columns(ColumnChoice::by_name("c")));
  EXPECT_EQ(missing_column.error.problem, TableProblem::no_such_column);
  EXPECT_EQ(missing_column.rows.size(), 1u);
}

class TableFileTest : public quarvel::testing::ScratchFolderTest {};

TEST_F(TableFileTest, ReadsAFileAndReportsWhatCannotBeRead) {
  const TableResult good = read_table_file(write("series.csv", "a,b\r\n1,2\r\n"));
  ASSERT_TRUE(good.table) << good.error.message;
  EXPECT_EQ(good.table->values, std::vector<double>{2});

  const TableResult missing = read_table_file((folder_ / "missing.csv").string());
  EXPECT_EQ(missing.error.problem, TableProblem::file);
  EXPECT_EQ(missing.error.file_error, DataFileError::cannot_open);
  EXPECT_EQ(missing.error.message, "No such file or directory");

  const TableResult folder = read_table_file(folder_.string());
  EXPECT_EQ(folder.error.file_error, DataFileError::not_a_file);
}

TEST_F(TableFileTest, StopsReadingPastTheLargestTable) {
  const std::string path = (folder_ / "huge.csv").string();
  write("huge.csv", "");
  std::filesystem::resize_file(path, kMaxTableFileBytes + 1);
  const TableText huge = read_table_file_text(path);
  EXPECT_EQ(huge.error, DataFileError::too_large);
  EXPECT_TRUE(huge.text.empty());
  EXPECT_EQ(huge.reason,
            "holds more than 40960000 bytes (40000 rows of 1022 characters and CR LF fill at "
            "most that), so it cannot be a series");

  std::filesystem::resize_file(path, kMaxTableFileBytes);
  const TableText largest = read_table_file_text(path);
  EXPECT_EQ(largest.error, DataFileError::none);
  EXPECT_EQ(largest.text.size(), kMaxTableFileBytes);
}

// Numbers read as the data files read them: every example file, read as a
// one-column table, gives exactly the same doubles.
TEST(ExampleTable, DataFilesReadAsTablesGiveTheSameValues) {
  const std::string examples = QUARVEL_EXAMPLES;
  for (const char* name : {"sunspots", "lynx", "mackey-glass", "airpassengers", "nile"}) {
    for (const char* part : {"-training.txt", "-validation.txt"}) {
      const std::string path = examples + "/" + name + part;
      const TableResult table = read_table_file(path);
      ASSERT_TRUE(table.table) << path << ": " << table.error.message;
      EXPECT_EQ(table.table->layout.delimiter, Delimiter::none) << path;
      EXPECT_FALSE(table.table->layout.header) << path;
      EXPECT_EQ(table.table->values, read_data_file(path).values) << path;
    }
  }
}

// The example table is the two example files' series: split where they split
// it, it gives exactly their values and grid texts.
TEST(ExampleTable, SplitsIntoTheTwoExampleFiles) {
  const std::string examples = QUARVEL_EXAMPLES;
  const TableResult read = read_table_file(
      examples + "/airpassengers.csv",
      with_columns(ColumnChoice::from_text("passengers"), ColumnChoice::from_text("month")));
  ASSERT_TRUE(read.table) << read.error.message;
  const Table& table = *read.table;
  EXPECT_EQ(describe_layout(table.layout),
            "comma-delimited (detected), a header line (detected), decimal point (detected), 2 "
            "columns");
  ASSERT_EQ(table.values.size(), 144u);
  ASSERT_TRUE(table.time);
  EXPECT_EQ(table.time->texts.front(), "1949-01");
  EXPECT_EQ(table.time->texts.back(), "1960-12");
  EXPECT_EQ(describe_step(table.time->step), "monthly");
  EXPECT_EQ(time_stamps_after(*table.time, 2).labels,
            (std::vector<std::string>{"1961-01", "1961-02"}));

  const SplitResult split = split_series(table.values, SplitPoint::at_count(120), 36, &*table.time);
  ASSERT_TRUE(split.split) << split.error;
  const DataFileResult training = read_data_file(examples + "/airpassengers-training.txt");
  const DataFileResult validation = read_data_file(examples + "/airpassengers-validation.txt");
  EXPECT_EQ(split.split->training, training.values);
  EXPECT_EQ(split.split->validation, validation.values);
  EXPECT_EQ(split.split->detected_overlap, 36);
  EXPECT_TRUE(split.split->overlap_warning.empty());
  // The grid texts are the files' lines.
  const auto lines_of = [](const std::string& path) {
    std::vector<std::string> lines;
    const std::string text = quarvel::testing::read_file(path);
    for (std::size_t start = 0; start < text.size();) {
      const std::size_t end = text.find('\n', start);
      lines.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    return lines;
  };
  EXPECT_EQ(make_grid(split.split->training, 0).value,
            lines_of(examples + "/airpassengers-training.txt"));
  EXPECT_EQ(make_grid(split.split->validation, 0).value,
            lines_of(examples + "/airpassengers-validation.txt"));
  EXPECT_EQ(split.split->reading,
            "the first 120 of 144 values train (up to 1958-12), 24 are held out, and the "
            "validation part repeats the last 36 values of the training part");
}

// The lines of a refusal as the reader counts them: LF, CR LF and CR each end one.
TEST(TextLine, CountsLinesAsTheReaderDoes) {
  const std::string_view text = "a,b\r\n1,2\r3,4\n\n5,6";
  EXPECT_EQ(text_line(text, 1), "a,b");
  EXPECT_EQ(text_line(text, 2), "1,2");
  EXPECT_EQ(text_line(text, 3), "3,4");
  EXPECT_EQ(text_line(text, 4), "");
  EXPECT_EQ(text_line(text, 5), "5,6");
  EXPECT_EQ(text_line(text, 6), "");
  EXPECT_EQ(text_line(text, 0), "");
}

}  // namespace
}  // namespace quarvel::data
