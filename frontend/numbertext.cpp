#include "frontend/numbertext.h"

#include <locale.h>

#include <array>
#include <charconv>
#include <cmath>

namespace quarvel::frontend {

namespace {

constexpr int kSignificantDigits = 6;

bool is_digit(char c) noexcept {
  return c >= '0' && c <= '9';
}

// strtod of an already validated decimal text, always with "." as the
// separator whatever locale the program runs in.
double c_locale_strtod(const std::string& text) {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return strtod_l(text.c_str(), nullptr, c_locale);
}

// Length of the decimal number at the start of `text` (sign, digits, "."
// fraction with at least one digit in all, optional exponent), 0 when there is none.
std::size_t decimal_number_length(std::string_view text) noexcept {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < text.size() && is_digit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && is_digit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  // The exponent belongs to the number only when digits follow the "E" and its sign.
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && is_digit(text[j])) {
      while (j < text.size() && is_digit(text[j])) ++j;
      i = j;
    }
  }
  return i;
}

// The white space strtod skips.
bool is_white_space(char c) noexcept {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view skip_white_space(std::string_view text) noexcept {
  std::size_t first = 0;
  while (first < text.size() && is_white_space(text[first])) ++first;
  return text.substr(first);
}

// Reads "d.ddd...e[+-]x" as to_chars writes it: the digit string and the exponent.
int split_scientific(const char* first, const char* last, std::string& digits) {
  digits.clear();
  const char* p = first;
  for (; p != last && *p != 'e'; ++p) {
    if (is_digit(*p)) digits.push_back(*p);
  }
  int exponent = 0;
  if (p != last) {
    ++p;
    if (*p == '+') ++p;
    std::from_chars(p, last, exponent);
  }
  return exponent;
}

// The decimal digits of |value| (finite, non-zero) rounded half away from zero
// to six significant digits, and the exponent E of d.ddddd x 10^E.
struct RoundedDigits {
  std::array<char, kSignificantDigits> digits;
  int exponent;
};

RoundedDigits round_to_six_digits(double magnitude) {
  // 40 significant digits decide the rounding unless the digits after the
  // sixth read exactly 5000... or 4999...; then the exact expansion (at most
  // 767 significant digits for a double) settles it.
  std::array<char, 900> buffer;
  std::string digits;
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                              std::chars_format::scientific, 39);
  int exponent = split_scientific(buffer.data(), result.ptr, digits);
  const std::string_view tail = std::string_view(digits).substr(kSignificantDigits);
  const bool near_half =
      (tail.front() == '5' && tail.find_first_not_of('0', 1) == std::string_view::npos) ||
      (tail.front() == '4' && tail.find_first_not_of('9', 1) == std::string_view::npos);
  if (near_half) {
    result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                           std::chars_format::scientific, 800);
    exponent = split_scientific(buffer.data(), result.ptr, digits);
  }

  RoundedDigits rounded{};
  for (int i = 0; i < kSignificantDigits; ++i)
    rounded.digits[i] = digits[static_cast<std::size_t>(i)];
  rounded.exponent = exponent;
  // Half away from zero on the magnitude: the seventh digit alone decides,
  // since the expansion is exact here.
  if (digits[kSignificantDigits] >= '5') {
    int i = kSignificantDigits - 1;
    while (i >= 0 && rounded.digits[static_cast<std::size_t>(i)] == '9') {
      rounded.digits[static_cast<std::size_t>(i)] = '0';
      --i;
    }
    if (i >= 0) {
      ++rounded.digits[static_cast<std::size_t>(i)];
    } else {
      rounded.digits.fill('0');
      rounded.digits[0] = '1';
      ++rounded.exponent;
    }
  }
  return rounded;
}

}  // namespace

std::string format_general(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0.0) return "0";

  const RoundedDigits rounded = round_to_six_digits(std::fabs(value));
  std::string_view digits(rounded.digits.data(), rounded.digits.size());
  digits = digits.substr(0, digits.find_last_not_of('0') + 1);
  // e as in 0.d1d2... x 10^e
  const int e = rounded.exponent + 1;

  std::string text;
  if (value < 0) text.push_back('-');
  if (e >= -3 && e <= 6) {
    if (e <= 0) {
      text += "0.";
      text.append(static_cast<std::size_t>(-e), '0');
      text += digits;
    } else {
      const auto whole = static_cast<std::size_t>(e);
      text += digits.substr(0, whole);
      if (digits.size() < whole) {
        text.append(whole - digits.size(), '0');
      } else if (digits.size() > whole) {
        text.push_back('.');
        text += digits.substr(whole);
      }
    }
  } else {
    text.push_back(digits[0]);
    if (digits.size() > 1) {
      text.push_back('.');
      text += digits.substr(1);
    }
    text.push_back('E');
    text += std::to_string(e - 1);
  }
  return text;
}

std::optional<std::int32_t> parse_whole_number(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

  int base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  const std::string_view digits = text.substr(i);
  if (digits.empty() || digits.front() == '+' || digits.front() == '-') return std::nullopt;

  // Magnitude up to 2^31 so that -2147483648 is accepted.
  std::uint64_t magnitude = 0;
  const auto result =
      std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
  if (result.ec != std::errc{} || result.ptr != digits.data() + digits.size()) return std::nullopt;
  const std::uint64_t limit = negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
  if (magnitude > limit) return std::nullopt;
  const auto signed_value = static_cast<std::int64_t>(magnitude);
  return static_cast<std::int32_t>(negative ? -signed_value : signed_value);
}

std::optional<double> parse_number(std::string_view text) {
  std::size_t first = 0;
  while (first < text.size() && text[first] == ' ') ++first;
  std::size_t last = text.size();
  while (last > first && text[last - 1] == ' ') --last;
  const std::string_view body = text.substr(first, last - first);
  if (body.empty() || decimal_number_length(body) != body.size()) return std::nullopt;
  // A value beyond the double range is not a number; one too small to hold
  // reads as 0 or a denormal, as the conversion gives it.
  const double value = c_locale_strtod(std::string(body));
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

double leading_number(std::string_view line) {
  const std::string_view rest = skip_white_space(line);
  const std::size_t length = decimal_number_length(rest);
  if (length == 0) return 0.0;
  return c_locale_strtod(std::string(rest.substr(0, length)));
}

bool starts_with_number(std::string_view line) {
  return decimal_number_length(skip_white_space(line)) != 0;
}

std::string_view text_after_number(std::string_view line) {
  const std::string_view rest = skip_white_space(line);
  std::string_view after = rest.substr(decimal_number_length(rest));
  while (!after.empty() && is_white_space(after.back())) after.remove_suffix(1);
  return after;
}

}  // namespace quarvel::frontend
