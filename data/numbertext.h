// Text <-> number rules shared by the window and the command-line runner.
// The decimal separator is always ".", whatever the user's locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarvel::data {

// The general number format of every grid cell: 6 significant digits (rounded
// half away from zero on the exact binary value), trailing zeros dropped, fixed
// notation for decimal exponents -3..6, else scientific ("1.23457E6", "5E-5");
// "0", "INF", "-INF", "NAN".
[[nodiscard]] std::string format_general(double value);

// Every double at full precision (17 significant digits): it reads back as
// the same double.
[[nodiscard]] std::string exact(double value);

// The same text written to `out` (room for kGeneralTextSize characters); the
// end of what was written.
inline constexpr std::size_t kGeneralTextSize = 24;
char* write_general(double value, char* out);

// Whole number: optional leading blanks, optional sign, decimal digits (or hex
// digits after "$", "x" or "0x"), nothing after the digits, within int32.
[[nodiscard]] std::optional<std::int32_t> parse_whole_number(std::string_view text);

// Number: optional blanks, optional sign, digits with an optional "." fraction
// (at least one digit), optional exponent, optional trailing blanks, and a
// finite double value. Empty text, "INF", "NAN" and hex are not numbers.
[[nodiscard]] std::optional<double> parse_number(std::string_view text);

// The leading decimal number of a data-file line: blanks, sign, digits, "."
// fraction, exponent; the rest of the line is ignored. 0.0 when the line does
// not start with such a number (so "inf", "nan" and hex give 0.0); an infinite
// value beyond the double range.
[[nodiscard]] double leading_number(std::string_view line);

// Whether the line starts, after white space, with a decimal number that
// leading_number reads (so that its 0.0 is a value and not a stand-in).
[[nodiscard]] bool starts_with_number(std::string_view line);

// What follows the leading number of a line that starts with one, trailing
// white space dropped: empty for "1.5" and " 2 \t", ",5" for "1,5", "x1A" for
// "0x1A", "\t6" for "5\t6". leading_number ignores this text.
[[nodiscard]] std::string_view text_after_number(std::string_view line);

}  // namespace quarvel::data
