#include "forecasting/forecastfiles.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "data/numbertext.h"
#include "engine/dataset.h"

namespace quarvel::forecasting {

namespace {

void scale_to_units(std::vector<double>& values, double low, double high) {
  for (double& v : values) v = original_units(low, high, v);
}

}  // namespace

std::vector<std::string_view> split_fields(std::string_view line, char separator) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t end = line.find(separator, start);
    fields.push_back(line.substr(start, end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

std::string level_text(double level) {
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, level);
  return error == std::errc{} ? std::string(text, end) : std::string("?");
}

std::string exact_text(double value) {
  return std::isnan(value) ? "nan" : data::exact(value);
}

std::string band_table_text(const BandTable& table) {
  std::string text = "index," + table.point_name;
  for (const double level : table.levels) {
    const std::string name = level_text(level);
    text.append(",lower_").append(name).append(",upper_").append(name);
  }
  text += '\n';
  for (std::size_t j = 0; j < table.point.size(); ++j) {
    text += std::to_string(table.first_index + static_cast<std::int64_t>(j));
    text += ',';
    text += exact_text(table.point[j]);
    for (std::size_t l = 0; l < table.levels.size(); ++l) {
      if (table.bands.empty()) {
        text += ",,";
        continue;
      }
      text += ',';
      text += exact_text(table.bands[l].lower[j]);
      text += ',';
      text += exact_text(table.bands[l].upper[j]);
    }
    text += '\n';
  }
  return text;
}

std::optional<std::string> parse_band_table(std::string_view text, BandTable& table) {
  table = BandTable{};
  if (!text.empty() && !text.ends_with('\n')) return std::string("the file ends within a line");
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (lines.empty()) return std::string("it is empty");
  const std::vector<std::string_view> heading = split_fields(lines.front(), ',');
  if (heading.size() < 2 || heading.size() % 2 != 0 || heading[0] != "index") {
    return std::string("its heading is not \"index,NAME\" and two columns per band");
  }
  table.point_name = std::string(heading[1]);
  for (std::size_t c = 2; c < heading.size(); c += 2) {
    const std::string_view lower = heading[c];
    const std::string_view upper = heading[c + 1];
    const std::optional<double> level =
        lower.starts_with("lower_") ? read_exact<double>(lower.substr(6)) : std::nullopt;
    if (!level || upper != "upper_" + level_text(*level) || !valid_band_level(*level)) {
      return "its heading names no band in columns " + std::to_string(c + 1) + " and " +
             std::to_string(c + 2);
    }
    table.levels.push_back(*level);
  }
  const std::size_t levels = table.levels.size();
  bool bands = true;
  for (std::size_t r = 1; r < lines.size(); ++r) {
    const std::string where = "row " + std::to_string(r + 1);
    const std::vector<std::string_view> fields = split_fields(lines[r], ',');
    if (fields.size() != heading.size()) {
      return where + " has " + std::to_string(fields.size()) + " fields, the heading " +
             std::to_string(heading.size());
    }
    const std::optional<std::int64_t> index = read_exact<std::int64_t>(fields[0]);
    if (r == 1 && index) table.first_index = *index;
    if (!index || *index != table.first_index + static_cast<std::int64_t>(r - 1)) {
      return where + ": the index does not follow the row before";
    }
    const std::optional<double> point = read_exact<double>(fields[1]);
    if (!point) return where + ": the point forecast cannot be read";
    table.point.push_back(*point);
    const bool empty = levels > 0 && fields[2].empty();
    if (r == 1) {
      bands = !empty;
      if (bands) table.bands.assign(levels, Band{});
      for (std::size_t l = 0; l < table.bands.size(); ++l) table.bands[l].level = table.levels[l];
    }
    for (std::size_t l = 0; l < levels; ++l) {
      for (std::size_t side = 0; side < 2; ++side) {
        const std::string_view field = fields[2 + 2 * l + side];
        if (!bands) {
          if (!field.empty()) return where + ": a band edge where the first row has none";
          continue;
        }
        const std::optional<double> edge = read_exact<double>(field);
        if (!edge) return where + ": a band edge cannot be read";
        (side == 0 ? table.bands[l].lower : table.bands[l].upper).push_back(*edge);
      }
    }
  }
  return std::nullopt;
}

void to_original_units(BandTable& table, double low, double high) {
  scale_to_units(table.point, low, high);
  for (Band& band : table.bands) {
    scale_to_units(band.lower, low, high);
    scale_to_units(band.upper, low, high);
  }
}

}  // namespace quarvel::forecasting
