// The lines a data file holds that the reading rules take only in part or as a
// stand-in, as quarvel-cli reports them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/datafile.h"
#include "data/numbertext.h"

namespace quarvel::data {
namespace {

TEST(DoubtfulLine, FirstLineReadOnlyInPartWithItsNumberAsAnEditorCountsIt) {
  struct Case {
    const char* name;
    std::string text;
    LineProblem problem;
    std::size_t line;
    std::size_t length;
    std::string excerpt;
  };
  const Case cases[] = {
      {"plain numbers, CR LF and trailing text", "1\r\n\r\n -2.5e3 kg\n3", LineProblem::none, 0, 0,
       ""},
      {"nothing", "", LineProblem::none, 0, 0, ""},
      {"empty lines count", "1\n\n\nabc\n", LineProblem::no_number, 4, 3, "abc"},
      {"nan and inf are no numbers", "nan\ninf\n", LineProblem::no_number, 1, 3, "nan"},
      {"blanks", "1\n \t\n", LineProblem::no_number, 2, 2, " \\x09"},
      {"sign without digits", "-.e5\n", LineProblem::no_number, 1, 4, "-.e5"},
      {"NUL before anything else", std::string("abc\0\n", 5), LineProblem::nul_byte, 1, 4,
       "abc\\x00"},
      {"exactly 255 characters", std::string(254, ' ') + "7\n", LineProblem::none, 0, 0, ""},
      {"256 characters", "1\n" + std::string(255, ' ') + "7\n", LineProblem::too_long, 2, 256,
       std::string(24, ' ') + "..."},
      {"lone carriage return", "1\r2\r\n", LineProblem::lone_return, 1, 3, "1\\x0D2"},
      {"carriage return at the very end", "1\n2\r", LineProblem::lone_return, 2, 2, "2\\x0D"},
      {"text after Ctrl-Z is not read",
       std::string("1\n\x1A"
                   "abc\0\n",
                   8),
       LineProblem::none, 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DoubtfulLine doubtful = find_doubtful_line(c.text);
    EXPECT_EQ(doubtful.problem, c.problem);
    EXPECT_EQ(doubtful.line, c.line);
    EXPECT_EQ(doubtful.length, c.length);
    EXPECT_EQ(doubtful.excerpt, c.excerpt);
  }
}

// Lines read as their leading number with the text after it ignored: read as
// ever, counted, and the first one described with what it was read as.
TEST(DoubtfulLine, TextAfterTheNumberIsCountedAndTheFirstSuchLineDescribed) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<double> values;
    std::size_t lines;
    std::string description;  // of the first such line
  };
  const std::string ignored = ", the text after its number ignored";
  const Case cases[] = {
      {"plain number lines", "1\r\n\r\n -2.5e3 \t\n5.\n+.5\n", {1, -2500, 5, 0.5}, 0, ""},
      {"decimal commas",
       "1,5\r\n2,25\r\n3\r\n",
       {1, 2, 3},
       2,
       "line 1 (\"1,5\") was read as 1" + ignored},
      {"hex", "7\n\n0x1A\n", {7, 0}, 1, "line 3 (\"0x1A\") was read as 0" + ignored},
      {"tab-separated columns", "5\t6\n", {5}, 1, "line 1 (\"5\\x096\") was read as 5" + ignored},
      {"two numbers", "1 2\n3 4\n5 6\n", {1, 3, 5}, 3, "line 1 (\"1 2\") was read as 1" + ignored},
      {"a unit",
       "1\n -2.5e3 kg\n",
       {1, -2500},
       1,
       "line 2 (\" -2.5e3 kg\") was read as -2500" + ignored},
      {"lines of the other kinds are not counted",
       "abc\n1x\n" + std::string(300, '1') + "x\n",
       {0, 1, 1.11111e254},
       1,
       "line 2 (\"1x\") was read as 1" + ignored},
      {"nothing after a Ctrl-Z",
       "1\n\x1A"
       "2,5\n",
       {1},
       0,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TrailingText trailing = find_trailing_text(c.text);
    EXPECT_EQ(trailing.lines, c.lines);
    EXPECT_EQ(describe_doubtful_line(trailing.first), c.description);
    const std::vector<double> values = parse_data_text(c.text);
    ASSERT_EQ(values.size(), c.values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      EXPECT_EQ(format_general(values[i]), format_general(c.values[i])) << i;
    }
  }
}

TEST(DoubtfulLine, NumberLinesAreExactlyThoseWithALeadingNumber) {
  for (const char* line : {"0", "+.5", "5.", " 1e-400", "\t-3x", "1e", "2 3"}) {
    EXPECT_TRUE(starts_with_number(line)) << line;
  }
  for (const char* line : {"", ".", "-", "e5", "x1", "inf", "NAN", "$10", "\x01\x31"}) {
    EXPECT_FALSE(starts_with_number(line)) << line;
    EXPECT_EQ(leading_number(line), 0.0) << line;
  }
}

}  // namespace
}  // namespace quarvel::data
