#include "data/numbertext.h"

#include <locale.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>

namespace quarvel::data {

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

// The decimal digits of |value| (finite, non-zero) rounded half away from zero
// to six significant digits, and the exponent E of d.ddddd x 10^E.
struct RoundedDigits {
  std::array<char, kSignificantDigits> digits;
  int exponent;
};

// Rounds up the six digits, carrying into the exponent past 999999.
void round_up(RoundedDigits& rounded) {
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

// The same for magnitudes from 1e-4 to below 1e6 (the fixed notation's range,
// where a run's values lie), in integer arithmetic: the magnitude is m * 2^-j
// exactly, and m * 10^s / 2^j with s the scale that leaves six digits before
// the point fits 128 bits (m < 2^53, s <= 9, j <= 66).
__extension__ using Wide = unsigned __int128;

constexpr std::array<std::uint64_t, 10> kPowersOfTen{
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

bool round_in_fixed_range(double magnitude, RoundedDigits& rounded) {
  if (!(magnitude >= 1e-4 && magnitude < 1e6)) return false;
  // A normal double: m = the significand with its leading 1, magnitude =
  // m * 2^(biased - 1075), and 2^(binary_exponent - 1) <= magnitude.
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const auto biased = static_cast<int>(bits >> 52);
  const Wide m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const int binary_exponent = biased - 1022;
  const int j = 1075 - biased;
  // The decimal exponent from the binary one (log10(2) < 0.30103), which may
  // be one too small: the scale is checked.
  const int decimal_exponent = ((binary_exponent - 1) * 30103) / 100000 - (binary_exponent < 1);
  int scale = std::clamp(5 - decimal_exponent, 0, 9);
  Wide exact = m * kPowersOfTen[static_cast<std::size_t>(scale)];
  if ((exact >> j) >= 1000000 && scale > 0)
    exact = m * kPowersOfTen[static_cast<std::size_t>(--scale)];
  auto whole = static_cast<std::uint64_t>(exact >> j);
  const Wide one = 1;
  const Wide rest = exact & ((one << j) - 1);
  // Half away from zero on the magnitude: up when the rest is half or more.
  if (rest >= (one << (j - 1))) ++whole;
  rounded.exponent = 5 - scale;
  if (whole == 1000000) {
    whole = 100000;
    ++rounded.exponent;
  }
  for (int i = kSignificantDigits - 1; i >= 0; --i) {
    rounded.digits[static_cast<std::size_t>(i)] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  }
  return true;
}

RoundedDigits round_to_six_digits(double magnitude) {
  RoundedDigits rounded{};
  if (round_in_fixed_range(magnitude, rounded)) return rounded;
  // 17 significant digits, correctly rounded, decide the rounding at the
  // sixth: the exact digits after the sixth are at least 5000... when these
  // read more than 50000000000, and less when they read less. Only when they
  // read 50000000000 does the exact expansion (at most 767 significant
  // digits for a double) settle it.
  constexpr int kDecidingDigits = 17;
  std::array<char, 32> text;
  const auto written = std::to_chars(text.data(), text.data() + text.size(), magnitude,
                                     std::chars_format::scientific, kDecidingDigits - 1);
  // "d.dddddddddddddddde[+-]x"
  std::array<char, kDecidingDigits> digits;
  digits[0] = text[0];
  std::copy(text.begin() + 2, text.begin() + 1 + kDecidingDigits, digits.begin() + 1);
  int exponent = 0;
  const char* sign = text.data() + 2 + kDecidingDigits;
  std::from_chars(sign + (*sign == '+' ? 1 : 0), written.ptr, exponent);

  std::copy(digits.begin(), digits.begin() + kSignificantDigits, rounded.digits.begin());
  rounded.exponent = exponent;
  const std::string_view tail(digits.data() + kSignificantDigits,
                              kDecidingDigits - kSignificantDigits);
  bool up = tail.front() >= '5';
  if (tail == "50000000000") {
    std::array<char, 900> exact;
    (void)std::to_chars(exact.data(), exact.data() + exact.size(), magnitude,
                        std::chars_format::scientific, 800);
    // "d.ddd...": the expansion is exact, its seventh digit alone decides.
    up = exact[1 + kSignificantDigits] >= '5';
  }
  if (up) round_up(rounded);
  return rounded;
}

}  // namespace

std::string format_general(double value) {
  std::array<char, kGeneralTextSize> text;
  return {text.data(), write_general(value, text.data())};
}

char* write_general(double value, char* out) {
  const auto put = [&out](std::string_view part) {
    out = std::copy(part.begin(), part.end(), out);
    return out;
  };
  if (std::isnan(value)) return put("NAN");
  if (std::isinf(value)) return put(value > 0 ? "INF" : "-INF");
  if (value == 0.0) return put("0");
  // Whole numbers below a million (the output grid's row numbers) read as
  // they are.
  if (std::fabs(value) < 1e6 && value == std::trunc(value)) {
    return std::to_chars(out, out + kGeneralTextSize, static_cast<std::int32_t>(value)).ptr;
  }

  const RoundedDigits rounded = round_to_six_digits(std::fabs(value));
  std::string_view digits(rounded.digits.data(), rounded.digits.size());
  digits = digits.substr(0, digits.find_last_not_of('0') + 1);
  // e as in 0.d1d2... x 10^e
  const int e = rounded.exponent + 1;

  // At most "-0.000123457" or "-1.23457E-308".
  char* const start = out;
  if (value < 0) *out++ = '-';
  if (e >= -3 && e <= 6) {
    if (e <= 0) {
      put("0.");
      out = std::fill_n(out, -e, '0');
      put(digits);
    } else {
      const auto whole = static_cast<std::size_t>(e);
      put(digits.substr(0, whole));
      if (digits.size() < whole) {
        out = std::fill_n(out, whole - digits.size(), '0');
      } else if (digits.size() > whole) {
        *out++ = '.';
        put(digits.substr(whole));
      }
    }
  } else {
    *out++ = digits[0];
    if (digits.size() > 1) {
      *out++ = '.';
      put(digits.substr(1));
    }
    *out++ = 'E';
    out = std::to_chars(out, start + kGeneralTextSize, e - 1).ptr;
  }
  return out;
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

std::string exact(double value) {
  // printf's %.17g in the "C" locale, whatever the process's locale.
  char text[32];
  const auto written =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 17);
  return {text, written.ptr};
}

}  // namespace quarvel::data
