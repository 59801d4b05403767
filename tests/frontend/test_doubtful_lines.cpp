// The lines a data file holds that the reading rules take only in part or as a
// stand-in, as quarvel-cli reports them.
#include <gtest/gtest.h>

#include <string>

#include "frontend/datafile.h"
#include "frontend/numbertext.h"

namespace quarvel::frontend {
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
}  // namespace quarvel::frontend
