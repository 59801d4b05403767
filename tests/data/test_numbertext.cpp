#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "data/numbertext.h"
#include "support/locale.h"

namespace quarvel::data {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

struct FormatCase {
  double value;
  const char* text;
};

TEST(GeneralNumberFormat, WritesSixSignificantDigits) {
  const FormatCase cases[] = {
      {2.5, "2.5"},
      {100, "100"},
      {-2.5, "-2.5"},
      {0.05, "0.05"},
      {1234567, "1.23457E6"},
      {1000000, "1E6"},
      {999999, "999999"},
      {5e-5, "5E-5"},
      {0.0001, "0.0001"},
      {0.000999999, "0.000999999"},
      {1e-6, "1E-6"},
      {3.14159265, "3.14159"},  // eight decimals keep six digits
      {12.3456789, "12.3457"},
      {0.1 + 0.2, "0.3"},
      {1.5e300, "1.5E300"},
      {1e-300, "1E-300"},
      {std::numeric_limits<double>::max(), "1.79769E308"},
      {std::numeric_limits<double>::denorm_min(), "4.94066E-324"},
      {0.0, "0"},
      {-0.0, "0"},
      {kInf, "INF"},
      {-kInf, "-INF"},
      {kNan, "NAN"},
  };
  for (const FormatCase& c : cases) EXPECT_EQ(format_general(c.value), c.text) << c.value;
}

TEST(GeneralNumberFormat, RoundsHalfAwayFromZeroOnTheExactBinaryValue) {
  const FormatCase cases[] = {
      {1234565, "1.23457E6"},  // an exact half rounds away from zero
      {-1234565, "-1.23457E6"},
      {123456.5, "123457"},
      {999999.5, "1E6"},        // the carry moves the exponent into scientific notation
      {9.999995e-4, "0.001"},   // 0.00099999950000000006...: above the half
      {1.000005, "1.00001"},    // 1.00000500000000003...: above the half
      {0.1234565, "0.123456"},  // 0.12345649999999999...: below the half
      {2.000005, "2"},          // 2.00000499999999981...: below, zeros dropped
      {-12.34565, "-12.3456"},  // -12.3456499999999991...
      // At the ends of the fixed notation's range, where the digits are
      // worked out in integers.
      {0.00012345650000000001, "0.000123457"},
      {0.00012345649999999999, "0.000123456"},
      {std::nextafter(1e-4, 0.0), "0.0001"},
      {std::nextafter(1e6, 0.0), "1E6"},
      {999999.49999999988, "999999"},
      {39718, "39718"},
      {-7, "-7"},
  };
  for (const FormatCase& c : cases) EXPECT_EQ(format_general(c.value), c.text) << c.value;
}

TEST(GeneralNumberFormat, IgnoresTheUserLocale) {
  const quarvel::testing::CommaDecimalLocale locale;
  if (!locale.set()) GTEST_SKIP() << "no locale with a comma decimal separator is installed";
  EXPECT_EQ(format_general(2.5), "2.5");
  EXPECT_EQ(exact(2.5), "2.5");
  EXPECT_EQ(exact(-0.1), "-0.10000000000000001");
  EXPECT_EQ(parse_number("2.5"), 2.5);
  EXPECT_EQ(parse_number("2,5"), std::nullopt);
  EXPECT_EQ(leading_number("2.5"), 2.5);
}

// Every double at 17 digits exactly as printf's %.17g writes it in the "C"
// locale, the form the files of runs have always had.
TEST(ExactNumber, IsPrintfsSeventeenDigits) {
  const double values[] = {0.0,
                           -0.0,
                           0.1 + 0.2,
                           1.0 / 3.0,
                           -2.5,
                           123456789012345678.0,
                           1e17,
                           1e-5,
                           4.9406564584124654e-324,
                           std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN(),
                           -std::numeric_limits<double>::quiet_NaN()};
  for (const double value : values) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.17g", value);
    EXPECT_EQ(exact(value), expected);
  }
}

TEST(WholeNumberRule, AcceptsDecimalAndHexWithinInt32) {
  const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
      {"50", 50},
      {"  7", 7},
      {"+3", 3},
      {"-4", -4},
      {"0", 0},
      {"$1F", 31},
      {"x10", 16},
      {"0x10", 16},
      {"0X1f", 31},
      {"-$10", -16},
      {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {"2147483648", std::nullopt},
      {"$80000000", std::nullopt},
      {"7 ", std::nullopt},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"1.0", std::nullopt},
      {"abc", std::nullopt},
      {"0x", std::nullopt},
      {"$", std::nullopt},
      {"+-1", std::nullopt},
      {"\t5", std::nullopt},
      {"1e3", std::nullopt},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(parse_whole_number(text), expected) << '"' << text << '"';
}

TEST(NumberRule, AcceptsDecimalTextsWithFiniteValues) {
  const std::pair<const char*, std::optional<double>> cases[] = {
      {"0.0005", 0.0005},
      {" 2.5 ", 2.5},
      {"-1e3", -1000.0},
      {"+.5", 0.5},
      {"5.", 5.0},
      {"1E-6", 1e-6},
      {"1.79769E308", 1.79769e308},
      {"1e-400", 0.0},  // too small for a double: reads as zero
      {"1e400", std::nullopt},
      {"-1e400", std::nullopt},
      {".", std::nullopt},
      {"", std::nullopt},
      {" ", std::nullopt},
      {"INF", std::nullopt},
      {"-INF", std::nullopt},
      {"NAN", std::nullopt},
      {"inf", std::nullopt},
      {"0x10", std::nullopt},
      {"1,5", std::nullopt},
      {"1e", std::nullopt},
      {"1e+", std::nullopt},
      {"E5", std::nullopt},
      {"1 2", std::nullopt},
      {"1.2.3", std::nullopt},
      {"\t1", std::nullopt},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(parse_number(text), expected) << '"' << text << '"';
}

TEST(NumberRule, ReadsBackEveryFormattedFiniteValue) {
  for (const double x : {2.5, -1234567.0, 5e-5, 1e-300, 1.7976931348623157e308, 0.0}) {
    const std::optional<double> back = parse_number(format_general(x));
    ASSERT_TRUE(back.has_value()) << x;
    EXPECT_EQ(format_general(*back), format_general(x));
  }
}

TEST(LeadingNumber, ReadsTheDecimalPrefixOnly) {
  const std::pair<const char*, double> cases[] = {
      {"  3.5abc", 3.5},
      {"abc", 0.0},
      {"   ", 0.0},
      {"1 2", 1.0},
      {"\t-7", -7.0},
      {".5", 0.5},
      {"-.5e1", -5.0},
      {"1.5e+2x", 150.0},
      {"2e", 2.0},
      {"2e+", 2.0},
      {"-", 0.0},
      {".", 0.0},
      {"inf", 0.0},
      {"nan", 0.0},
      {"0x10", 0.0},  // hexadecimal is not part of the
                      // grammar: "0" then text
      {"1e400", kInf},
      {"-1e400", -kInf},
  };
  for (const auto& [line, expected] : cases)
    EXPECT_EQ(leading_number(line), expected) << '"' << line << '"';
}

}  // namespace
}  // namespace quarvel::data
