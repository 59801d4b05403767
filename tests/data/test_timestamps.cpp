// Time stamps: the kinds a cell may be, one kind per column, the step and the
// stamps past the last one, and the chart's x-values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/timestamps.h"

namespace quarvel::data {
namespace {

struct StampCase {
  const char* text;
  TimeKind kind;
  const char* written;  // as the column's format writes it back
  double x;             // chart_x
};

TEST(TimeStamp, ReadsEachKindAndWritesItBack) {
  const StampCase cases[] = {
      {"1949", TimeKind::year, "1949", 1949.0},
      {" 1949-01 ", TimeKind::year_month, "1949-01", 1949.0},
      {"1949-7", TimeKind::year_month, "1949-07", 1949.5},
      {"1949-12", TimeKind::year_month, "1949-12", 1949.0 + 11.0 / 12.0},
      {"1949-01-31", TimeKind::date, "1949-01-31", 1949.0 + 30.0 / 365.0},
      {"2000-2-29", TimeKind::date, "2000-02-29", 2000.0 + 59.0 / 366.0},
      {"1949-01-31T12:00:00", TimeKind::date_time, "1949-01-31T12:00:00", 1949.0 + 30.5 / 365.0},
      {"1949-01-31 06:30", TimeKind::date_time, "1949-01-31 06:30",
       1949.0 + (30.0 + 6.5 / 24.0) / 365.0},
      // Before 1970 the seconds are negative: the time of day still reads right.
      {"1969-12-31T23:59:59", TimeKind::date_time, "1969-12-31T23:59:59",
       1969.0 + (365.0 - 1.0 / 86400.0) / 365.0},
      {"0000-01-01", TimeKind::date, "0000-01-01", 0.0},
      {"0.50", TimeKind::number, "0.50", 0.5},
      {"17", TimeKind::number, "17", 17.0},
      {"-3", TimeKind::number, "-3", -3.0},
      {"19490", TimeKind::number, "19490", 19490.0},
      {"1e3", TimeKind::number, "1000", 1000.0},
      // A zone is kept as written: the stamp holds the clock time there.
      {"2020-01-01T00:00:00Z", TimeKind::date_time, "2020-01-01T00:00:00Z", 2020.0},
      {"2020-07-02 12:00+01:00", TimeKind::date_time, "2020-07-02 12:00+01:00",
       2020.0 + 183.5 / 366.0},
      {"2020-01-01T06:00:00-0500", TimeKind::date_time, "2020-01-01T06:00:00-0500",
       2020.0 + 0.25 / 366.0},
      {"2020-01-01T06:00+05", TimeKind::date_time, "2020-01-01T06:00+05", 2020.0 + 0.25 / 366.0},
  };
  for (const StampCase& c : cases) {
    const auto cell = parse_time_stamp(c.text);
    ASSERT_TRUE(cell) << c.text;
    EXPECT_EQ(cell->format.kind, c.kind) << c.text;
    EXPECT_EQ(format_time_stamp(cell->stamp, cell->format), c.written) << c.text;
    EXPECT_DOUBLE_EQ(chart_x(cell->stamp, c.kind), c.x) << c.text;
  }
}

TEST(TimeStamp, RefusesWhatIsNoStamp) {
  for (const char* text : {"",
                           "  ",
                           "abc",
                           "1949-13",
                           "1949-0",
                           "1949-02-30",
                           "1900-02-29",
                           "1949-01-",
                           "1949-001",
                           "1949/01",
                           "31.01.1949",
                           "12/31/1949",
                           "1949-01-31T24:00",
                           "1949-01-31T12",
                           "1949-01-31T1:00",
                           "1949-01-31T12:60",
                           "1949-01-31T12:00:60",
                           "1949-01-31T12:00z",
                           "1949-01-31T12:00 Z",
                           "1949-01-31T12:00+1:00",
                           "1949-01-31T12:00+01:0",
                           "1949-01-31T12:00+0100x",
                           "1949-01-31T12:00+24:00",
                           "1949-01-31T12:00+01:60",
                           "1949-01-31T12:00+01:00:00",
                           "1949-01-31T12:00Z+01:00",
                           "1949-01-31T12:00+",
                           "1949-01-31Z",
                           "1949-01Z",
                           "1949-01-31X12:00",
                           "inf",
                           "nan",
                           "0x10"}) {
    EXPECT_FALSE(parse_time_stamp(text)) << text;
  }
}

TimeColumn column_of(const std::vector<std::string>& cells) {
  TimeColumnResult read = read_time_column(cells);
  EXPECT_TRUE(read.column) << read.message;
  return read.column ? *read.column : TimeColumn{};
}

TEST(TimeColumn, YearsAmongNumbersReadAsNumbers) {
  const TimeColumn column = column_of({"998", "999", "1000", "1001"});
  EXPECT_EQ(column.format.kind, TimeKind::number);
  EXPECT_EQ(time_stamps_after(column, 1).labels, std::vector<std::string>{"1002"});
  EXPECT_EQ(column.texts.front(), "998");
}

struct RefusedColumn {
  std::vector<std::string> cells;
  std::size_t row;
  const char* message;
};

TEST(TimeColumn, RefusesMixedKindsGapsAndDisorderNamingTheRow) {
  const RefusedColumn cases[] = {
      {{"1949-01", "1949-02-01"},
       1,
       "\"1949-02-01\" is a date, but row 1 holds a month (\"1949-01\"); a time column holds one "
       "kind of time stamp"},
      {{"1949", "1950", "1951-01"}, 2, "\"1951-01\" is a month, but row 1 holds a year (\"1949\")"},
      {{"5", "1949-01"}, 1, "is a month, but row 1 holds a number"},
      {{"1949-01", "", "1949-03"}, 1, "holds no time stamp"},
      {{"1949-01", "March"}, 1, "\"March\" is not a time stamp (a year such as 1949"},
      {{"1949-02", "1949-01"},
       1,
       "\"1949-01\" does not come after \"1949-02\" (row 1); the rows must be in time order"},
      {{"1949", "1949"}, 1, "does not come after"},
      {{"2001-01-01 10:00", "2001-01-01T10:00:00"}, 1, "does not come after"},
  };
  for (const RefusedColumn& c : cases) {
    const TimeColumnResult read = read_time_column(c.cells);
    EXPECT_FALSE(read.column) << c.message;
    EXPECT_EQ(read.row, c.row) << c.message;
    EXPECT_NE(read.message.find(c.message), std::string::npos) << read.message;
  }
  // With the lines of the rows, the other row is named by its line.
  const std::vector<std::string> cells{"1949-02", "1949-01"};
  const std::vector<std::size_t> lines{4, 6};
  EXPECT_NE(read_time_column(cells, lines).message.find("(line 4)"), std::string::npos);
}

struct StepCase {
  std::vector<std::string> cells;
  const char* step;
  std::vector<std::string> next;  // the three stamps past the last; empty: none
};

TEST(TimeColumn, FindsTheStepAndTheStampsPastTheLast) {
  const StepCase cases[] = {
      {{"1960-10", "1960-11", "1960-12"}, "monthly", {"1961-01", "1961-02", "1961-03"}},
      {{"1986", "1987", "1988"}, "yearly", {"1989", "1990", "1991"}},
      {{"1900", "1910", "1920"}, "every 10 years", {"1930", "1940", "1950"}},
      {{"1949-01", "1949-04", "1949-07"}, "quarterly", {"1949-10", "1950-01", "1950-04"}},
      {{"1949-1", "1949-3"}, "every 2 months", {"1949-05", "1949-07", "1949-09"}},
      {{"2000-02-27", "2000-02-28", "2000-02-29"},
       "daily",
       {"2000-03-01", "2000-03-02", "2000-03-03"}},
      {{"2021-12-20", "2021-12-27"}, "weekly", {"2022-01-03", "2022-01-10", "2022-01-17"}},
      {{"1999-11-01", "1999-12-01"}, "monthly", {"2000-01-01", "2000-02-01", "2000-03-01"}},
      {{"1999-01-01", "2000-01-01"}, "yearly", {"2001-01-01", "2002-01-01", "2003-01-01"}},
      {{"1949-01-31", "1949-02-28", "1949-03-31"},
       "monthly, on the last day of the month",
       {"1949-04-30", "1949-05-31", "1949-06-30"}},
      {{"2020-03-01 22:00", "2020-03-01 23:00"},
       "hourly",
       {"2020-03-02 00:00", "2020-03-02 01:00", "2020-03-02 02:00"}},
      {{"2020-01-01T00:00:00", "2020-01-01T00:00:30"},
       "every 30 seconds",
       {"2020-01-01T00:01:00", "2020-01-01T00:01:30", "2020-01-01T00:02:00"}},
      {{"2020-01-01T06:00", "2020-01-02T06:00"},
       "daily",
       {"2020-01-03T06:00", "2020-01-04T06:00", "2020-01-05T06:00"}},
      {{"2020-01-15T06:00", "2020-02-15T06:00"},
       "monthly",
       {"2020-03-15T06:00", "2020-04-15T06:00", "2020-05-15T06:00"}},
      {{"0.5", "1.0", "1.5"}, "a step of 0.5", {"2.0", "2.5", "3.0"}},
      // Steps that binary doubles round still count as constant.
      {{"0.1", "0.2", "0.3"}, "a step of 0.1", {"0.4", "0.5", "0.6"}},
      {{"-1.5", "-1", "-0.5"}, "a step of 0.5", {"0.0", "0.5", "1.0"}},
      {{"1", "2", "4"}, "irregular (no constant step)", {}},
      {{"1949", "1950", "1952"}, "irregular (no constant step)", {}},
      {{"1949-01-15", "1949-02-15", "1949-04-15"}, "irregular (no constant step)", {}},
      {{"1949-01-30", "1949-03-02"}, "every 31 days", {"1949-04-02", "1949-05-03", "1949-06-03"}},
      {{"1949"}, "one time stamp (no step)", {}},
      {{"9998", "9999"}, "yearly", {}},
      {{"9999-10", "9999-11"}, "monthly", {}},
  };
  for (const StepCase& c : cases) {
    const TimeColumn column = column_of(c.cells);
    EXPECT_EQ(describe_step(column.step), c.step) << c.cells.front();
    const StampsAhead ahead = time_stamps_after(column, 3);
    EXPECT_EQ(ahead.labels, c.next) << c.cells.front();
    EXPECT_EQ(ahead.stamps.size(), c.next.size()) << c.cells.front();
    EXPECT_EQ(ahead.problem.empty(), !c.next.empty()) << c.cells.front() << ": " << ahead.problem;
  }
}

TEST(TimeColumn, StampsPastAYearColumnKeepTheirYearNumber) {
  const StampsAhead ahead = time_stamps_after(column_of({"1987", "1988"}), 2);
  ASSERT_EQ(ahead.stamps.size(), 2u);
  EXPECT_EQ(ahead.stamps[0].number, 1989.0);
  EXPECT_EQ(chart_x(ahead.stamps[1], TimeKind::year), 1990.0);
}

TEST(TimeColumn, FindsTheRowOfAStamp) {
  const TimeColumn months = column_of({"1958-11", "1958-12", "1959-01"});
  EXPECT_EQ(find_time_stamp(months, "1958-12"), 1u);
  EXPECT_EQ(find_time_stamp(months, " 1959-1"), 2u);
  EXPECT_FALSE(find_time_stamp(months, "1958-12-01"));  // a date is not a month
  EXPECT_FALSE(find_time_stamp(months, "1960-01"));
  EXPECT_FALSE(find_time_stamp(months, "1958"));

  const TimeColumn numbers = column_of({"998", "999", "1000"});
  EXPECT_EQ(find_time_stamp(numbers, "1000"), 2u);
  EXPECT_EQ(find_time_stamp(numbers, "999.0"), 1u);
  EXPECT_FALSE(find_time_stamp(numbers, "999.5"));

  const TimeColumn times = column_of({"2001-01-01T10:00", "2001-01-01T11:00"});
  EXPECT_EQ(find_time_stamp(times, "2001-01-01 11:00:00"), 1u);
}

// Zoned stamps are taken to the first stamp's zone: where the offset changes
// (summer time ends) they still count the real time between them, and the
// stamps past the data are written in that zone.
TEST(TimeColumn, ZonedStampsCountTheRealTimeBetweenThem) {
  const StepCase cases[] = {
      {{"2020-10-25T01:00:00+02:00", "2020-10-25T02:00:00+02:00", "2020-10-25T02:00:00+01:00",
        "2020-10-25T03:00:00+01:00"},
       "hourly",
       {"2020-10-25T05:00:00+02:00", "2020-10-25T06:00:00+02:00", "2020-10-25T07:00:00+02:00"}},
      {{"2020-01-01T00:00Z", "2020-01-01T00:30Z"},
       "every 30 minutes",
       {"2020-01-01T01:00Z", "2020-01-01T01:30Z", "2020-01-01T02:00Z"}},
      {{"2020-01-01 06:00:00-0500", "2020-01-02 13:00:00+0200"},
       "daily",
       {"2020-01-03 06:00:00-0500", "2020-01-04 06:00:00-0500", "2020-01-05 06:00:00-0500"}},
      // By months where the zone stays, on the clock as written.
      {{"2020-01-01T00:00+01:00", "2020-02-01T00:00+01:00", "2020-03-01T00:00+01:00"},
       "monthly",
       {"2020-04-01T00:00+01:00", "2020-05-01T00:00+01:00", "2020-06-01T00:00+01:00"}},
  };
  for (const StepCase& c : cases) {
    const TimeColumn column = column_of(c.cells);
    EXPECT_EQ(column.texts, c.cells);
    EXPECT_EQ(describe_step(column.step), c.step) << c.cells.front();
    EXPECT_EQ(time_stamps_after(column, 3).labels, c.next) << c.cells.front();
  }

  const RefusedColumn refused[] = {
      {{"2020-01-01T00:00Z", "2020-01-01T01:00"},
       1,
       "\"2020-01-01T01:00\" names no time zone, but row 1 names one (\"2020-01-01T00:00Z\"); a "
       "time column's date-times name a zone all or none"},
      {{"2020-01-01T00:00", "2020-01-01T01:00+01:00"},
       1,
       "names a time zone, but row 1 names none"},
      {{"2020-01-01T01:00+01:00", "2020-01-01T00:00Z"}, 1, "does not come after"},
      {{"9999-12-31T12:00Z", "9999-12-31T23:00-05:00"},
       1,
       "\"9999-12-31T23:00-05:00\" lies outside the years 0000 to 9999 in the time zone of row 1 "
       "(Z)"},
  };
  for (const RefusedColumn& c : refused) {
    const TimeColumnResult read = read_time_column(c.cells);
    EXPECT_FALSE(read.column) << c.message;
    EXPECT_EQ(read.row, c.row) << c.message;
    EXPECT_NE(read.message.find(c.message), std::string::npos) << read.message;
  }

  // A stamp is found in any zone, by its instant; not without one.
  const TimeColumn zoned = column_of({"2020-01-01T00:00Z", "2020-01-01T01:00Z"});
  EXPECT_EQ(find_time_stamp(zoned, "2020-01-01T01:00Z"), 1u);
  EXPECT_EQ(find_time_stamp(zoned, "2020-01-01T02:00:00+01:00"), 1u);
  EXPECT_EQ(find_time_stamp(zoned, "2019-12-31T19:00-0500"), 0u);
  EXPECT_FALSE(find_time_stamp(zoned, "2020-01-01T01:00"));
  EXPECT_FALSE(find_time_stamp(zoned, "2020-01-01T01:30Z"));
}

TEST(QuotedCell, ShowsControlCharactersAndCutsLongTexts) {
  EXPECT_EQ(quoted_cell("a\tb"), "\"a\\x09b\"");
  EXPECT_EQ(quoted_cell(std::string(50, 'x')), "\"" + std::string(40, 'x') + "...\"");
  // Not inside a UTF-8 sequence: "é" is two bytes, the 40th and 41st.
  EXPECT_EQ(quoted_cell(std::string(39, 'x') + "\xC3\xA9"), "\"" + std::string(39, 'x') + "...\"");
}

}  // namespace
}  // namespace quarvel::data
