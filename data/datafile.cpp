#include "data/datafile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "data/numbertext.h"

namespace quarvel::data {

namespace {

constexpr char kEndOfText = '\x1A';

// Closes the descriptor when the reader leaves, whichever way.
struct FileDescriptor {
  explicit FileDescriptor(int descriptor) : fd(descriptor) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd >= 0) ::close(fd);
  }
  int fd;
};

// Calls visit(number, line) for every non-empty line of the text up to a
// Ctrl-Z, `number` counting from 1 with the empty lines; stops early when
// visit returns false.
template <typename Visit>
void for_each_line(std::string_view text, Visit visit) {
  if (const std::size_t end = text.find(kEndOfText); end != std::string_view::npos) {
    text = text.substr(0, end);
  }
  std::size_t number = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    ++number;
    std::size_t end = text.find('\n', start);
    const bool has_line_feed = end != std::string_view::npos;
    if (!has_line_feed) end = text.size();
    std::string_view line = text.substr(start, end - start);
    // CR LF reads as one line feed; a carriage return elsewhere is part of the line.
    if (has_line_feed && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = end + 1;
    if (!line.empty() && !visit(number, line)) return;
  }
}

std::string printable_excerpt(std::string_view line) {
  constexpr std::size_t kExcerptLength = 24;
  std::string excerpt;
  for (const char c : line.substr(0, kExcerptLength)) {
    if (c >= ' ' && c <= '~') {
      excerpt.push_back(c);
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      const auto byte = static_cast<unsigned char>(c);
      excerpt += "\\x";
      excerpt.push_back(kHex[byte >> 4]);
      excerpt.push_back(kHex[byte & 0xF]);
    }
  }
  if (line.size() > kExcerptLength) excerpt += "...";
  return excerpt;
}

LineProblem line_problem(std::string_view line) {
  if (line.find('\0') != std::string_view::npos) return LineProblem::nul_byte;
  if (line.size() > kMaxLineLength) return LineProblem::too_long;
  if (line.find('\r') != std::string_view::npos) return LineProblem::lone_return;
  if (!starts_with_number(line)) return LineProblem::no_number;
  if (!text_after_number(line).empty()) return LineProblem::trailing_text;
  return LineProblem::none;
}

double line_value(std::string_view line) {
  return leading_number(line.substr(0, kMaxLineLength));
}

DoubtfulLine doubtful_line(LineProblem problem, std::size_t number, std::string_view line) {
  return DoubtfulLine{problem, number, line.size(), printable_excerpt(line), line_value(line)};
}

}  // namespace

std::vector<double> parse_data_text(std::string_view text) {
  std::vector<double> values;
  for_each_line(text, [&](std::size_t, std::string_view line) {
    values.push_back(line_value(line));
    return true;
  });
  return values;
}

DoubtfulLine find_doubtful_line(std::string_view text) {
  DoubtfulLine doubtful;
  for_each_line(text, [&](std::size_t number, std::string_view line) {
    const LineProblem problem = line_problem(line);
    if (problem == LineProblem::none || problem == LineProblem::trailing_text) return true;
    doubtful = doubtful_line(problem, number, line);
    return false;
  });
  return doubtful;
}

TrailingText find_trailing_text(std::string_view text) {
  TrailingText trailing;
  for_each_line(text, [&](std::size_t number, std::string_view line) {
    if (line_problem(line) != LineProblem::trailing_text) return true;
    if (trailing.lines++ == 0)
      trailing.first = doubtful_line(LineProblem::trailing_text, number, line);
    return true;
  });
  return trailing;
}

std::string describe_doubtful_line(const DoubtfulLine& doubtful) {
  const std::string line = "line " + std::to_string(doubtful.line);
  const std::string shown = " (\"" + doubtful.excerpt + "\")";
  switch (doubtful.problem) {
    case LineProblem::nul_byte:
      return line + " holds a NUL byte" + shown;
    case LineProblem::too_long:
      return line + " holds " + std::to_string(doubtful.length) + " characters, more than the " +
             std::to_string(kMaxLineLength) + " a line may hold; give one value per line" + shown;
    case LineProblem::lone_return:
      return line + " holds a carriage return that does not end it; save the file with LF or CR " +
             "LF line ends" + shown;
    case LineProblem::no_number:
      return line + " does not start with a decimal number" + shown;
    case LineProblem::trailing_text:
      return line + shown + " was read as " + format_general(doubtful.value) +
             ", the text after its number ignored";
    case LineProblem::none:
      break;
  }
  return {};
}

FileText read_file_text(const std::string& path, const TextBound& bound,
                        std::optional<char> end_mark) {
  const std::size_t max_bytes = bound.bytes();
  FileText result;
  const auto failure = [&result](DataFileError error, int error_number) {
    result.error = error;
    result.reason = std::strerror(error_number);
    result.text.clear();
    return result;
  };
  const FileDescriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) return failure(DataFileError::cannot_open, errno);

  struct stat status {};
  if (::fstat(file.fd, &status) != 0) return failure(DataFileError::read_error, errno);
  if (S_ISDIR(status.st_mode)) return failure(DataFileError::not_a_file, EISDIR);

  // One byte more than the bound tells a file too large.
  std::string& text = result.text;
  if (S_ISREG(status.st_mode)) {
    text.reserve(std::min(static_cast<std::size_t>(status.st_size), max_bytes + 1));
  }
  std::array<char, 65536> chunk{};
  while (text.size() <= max_bytes) {
    const std::size_t wanted = std::min(chunk.size(), max_bytes + 1 - text.size());
    const ssize_t n = ::read(file.fd, chunk.data(), wanted);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return failure(DataFileError::read_error, errno);
    }
    const std::string_view got(chunk.data(), static_cast<std::size_t>(n));
    text.append(got);
    if (end_mark && got.find(*end_mark) != std::string_view::npos) break;
  }
  if (text.size() > max_bytes && (!end_mark || text.find(*end_mark) == std::string::npos)) {
    result.error = DataFileError::too_large;
    result.reason = "holds more than " + std::to_string(max_bytes) + " bytes (" +
                    std::to_string(bound.lines) + " " + std::string(bound.line_word) + " of " +
                    std::to_string(bound.line_length) +
                    " characters and CR LF fill at most that), so it cannot be a series";
    text.clear();
  }
  return result;
}

DataFileResult read_data_file(const std::string& path) {
  constexpr TextBound kBound{static_cast<std::size_t>(kDataSetCapacity), kMaxLineLength};
  static_assert(kBound.bytes() == kMaxDataFileBytes);
  FileText file = read_file_text(path, kBound, kEndOfText);
  if (file.error != DataFileError::none) {
    DataFileResult result;
    result.error = file.error;
    result.reason = std::move(file.reason);
    return result;
  }
  const std::string& text = file.text;
  DataFileResult result;
  result.values = parse_data_text(text);
  result.size = text.size();
  result.doubtful = find_doubtful_line(text);
  result.trailing_text = find_trailing_text(text);
  return result;
}

GridColumns make_grid(std::span<const double> values, std::int64_t first_time) {
  GridColumns grid;
  grid.time.reserve(values.size());
  grid.value.reserve(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    grid.time.push_back(
        format_general(static_cast<double>(first_time + static_cast<std::int64_t>(i))));
    grid.value.push_back(format_general(values[i]));
  }
  return grid;
}

std::vector<double> grid_values(const GridColumns& grid) {
  std::vector<double> values;
  values.reserve(grid.rows());
  for (const std::string& cell : grid.value) values.push_back(parse_number(cell).value_or(0.0));
  return values;
}

bool check_grid_values(const GridColumns& grid) {
  for (const std::string& cell : grid.time) {
    if (!parse_number(cell)) return false;
  }
  for (const std::string& cell : grid.value) {
    if (!parse_number(cell)) return false;
  }
  return true;
}

std::int32_t detect_overlap(std::span<const std::string> training_values,
                            std::span<const std::string> validation_values) {
  if (training_values.empty() || validation_values.empty()) return 0;
  // The first validation row may itself be the last training row (overlap 1).
  if (validation_values.front() == training_values.back()) return 1;
  // Otherwise the overlap is 1 + the length L of the shortest run of
  // validation rows 1..L that repeats the last L training rows: a prefix of
  // the validation rows after the first that is also a suffix of the training
  // rows. The borders of the longest such prefix are all the others, so one
  // pass over each series finds it (Knuth-Morris-Pratt), where comparing at
  // every start would take the product of the lengths.
  const std::span<const std::string> rest = validation_values.subspan(1);
  if (rest.empty()) return 0;
  std::vector<std::size_t> border(rest.size(), 0);  // of each prefix of `rest`
  for (std::size_t i = 1, length = 0; i < rest.size(); ++i) {
    while (length > 0 && rest[i] != rest[length]) length = border[length - 1];
    if (rest[i] == rest[length]) ++length;
    border[i] = length;
  }
  std::size_t matched = 0;  // the longest prefix of `rest` ending at the training row
  for (const std::string& value : training_values) {
    if (matched == rest.size()) matched = border[matched - 1];
    while (matched > 0 && value != rest[matched]) matched = border[matched - 1];
    if (value == rest[matched]) ++matched;
  }
  if (matched == 0) return 0;
  while (border[matched - 1] > 0) matched = border[matched - 1];
  return static_cast<std::int32_t>(matched + 1);
}

}  // namespace quarvel::data
