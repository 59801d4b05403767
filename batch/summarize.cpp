#include "batch/summarize.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "batch/outputs.h"
#include "records/runrecord.h"
#include "records/runtable.h"

namespace quarvel::batch {

namespace {

namespace fs = std::filesystem;

// A run record is a few hundred bytes; anything much larger is not one. A
// runs.csv holds a line of about a hundred bytes for each of at most 2^24 runs.
constexpr std::uintmax_t kLargestRecord = 1 << 20;
constexpr std::uintmax_t kLargestTable = std::uintmax_t{1} << 32;

// The reason runs.csv gives for a run of the streams expected that was not found.
std::string not_found_reason() {
  return "its " + std::string(records::listed_output(records::Product::record).name) +
         " was not found in the folders summarized";
}

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

Failure unreadable_folder(const fs::path& folder, const std::string& reason) {
  return {FailureKind::data_problem,
          "--summarize: cannot read the folder " + quoted(folder.string()) + ": " + reason};
}

// The files of runs under the folders named: the record of each run folder,
// and each runs.csv outside run folders, in the order found.
struct FoundFiles {
  std::vector<fs::path> records;
  std::vector<fs::path> tables;
};

// Whether `name` is in `folder`; nullopt when that cannot be told.
std::optional<bool> holds(const fs::path& folder, std::string_view name, std::error_code& error) {
  const fs::file_status status = fs::status(folder / name, error);
  if (error && error != std::errc::no_such_file_or_directory) return std::nullopt;
  error.clear();
  return fs::exists(status);
}

// Searches `folder` to any depth: a folder that holds run.txt is a run folder
// and is not searched further. A folder reached again (by a link) is skipped,
// and so is a link that leads nowhere or round in a loop, with a warning.
std::optional<Failure> search_folder(const fs::path& folder, FoundFiles& found,
                                     std::set<std::pair<dev_t, ino_t>>& searched,
                                     std::vector<Notice>& notices) {
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0) return unreadable_folder(folder, std::strerror(errno));
  if (!searched.emplace(status.st_dev, status.st_ino).second) return std::nullopt;
  std::error_code error;
  for (const records::Product product : {records::Product::record, records::Product::runs_table}) {
    const std::string_view name = listed_output(product).name;
    const std::optional<bool> there = holds(folder, name, error);
    if (!there) return unreadable_folder(folder, error.message());
    if (!*there) continue;
    if (product == records::Product::record) {
      if (found.records.size() == static_cast<std::size_t>(kMaxRuns)) {
        return Failure{FailureKind::data_problem,
                       "--summarize: the folders hold more than " + std::to_string(kMaxRuns) +
                           " runs, the most one merge takes; merge them in parts"};
      }
      found.records.push_back(folder / name);
      return std::nullopt;
    }
    found.tables.push_back(folder / name);
  }
  std::vector<fs::path> subfolders;
  for (auto entry = fs::directory_iterator(folder, error);
       !error && entry != fs::directory_iterator(); entry.increment(error)) {
    std::error_code type_error;
    if (entry->is_directory(type_error)) {
      subfolders.push_back(entry->path());
    } else if (type_error == std::errc::no_such_file_or_directory ||
               type_error == std::errc::too_many_symbolic_link_levels) {
      std::error_code link_error;
      if (entry->is_symlink(link_error)) {
        notices.push_back(
            {Notice::Kind::warning,
             "--summarize: skipped " + quoted(entry->path().string()) + ", a link that leads " +
                 (type_error == std::errc::no_such_file_or_directory ? "nowhere"
                                                                     : "round in a loop")});
      }
    } else if (type_error) {
      return unreadable_folder(entry->path(), type_error.message());
    }
  }
  if (error) return unreadable_folder(folder, error.message());
  std::sort(subfolders.begin(), subfolders.end());
  for (const fs::path& subfolder : subfolders) {
    if (auto failure = search_folder(subfolder, found, searched, notices)) return failure;
  }
  return std::nullopt;
}

// The files of runs in `folder`, named on the command line.
std::optional<Failure> find_runs(const std::string& folder, FoundFiles& found,
                                 std::vector<Notice>& notices) {
  std::error_code error;
  const fs::file_status status = fs::status(folder, error);
  if (!fs::exists(status)) {
    return Failure{FailureKind::data_problem,
                   "--summarize: " + quoted(folder) + " does not exist" +
                       (error && error != std::errc::no_such_file_or_directory
                            ? " or cannot be reached (" + error.message() + ")"
                            : "")};
  }
  if (!fs::is_directory(status)) {
    return Failure{FailureKind::data_problem,
                   "--summarize: " + quoted(folder) + " is not a folder"};
  }
  const std::size_t records_before = found.records.size();
  const std::size_t tables_before = found.tables.size();
  std::set<std::pair<dev_t, ino_t>> searched;
  if (auto failure = search_folder(folder, found, searched, notices)) return failure;
  if (found.records.size() == records_before && found.tables.size() == tables_before) {
    return Failure{FailureKind::data_problem,
                   "--summarize: " + quoted(folder) + " holds no " +
                       std::string(records::listed_output(records::Product::record).name) +
                       ", nor does any folder in it"};
  }
  return std::nullopt;
}

}  // namespace

std::optional<Failure> read_text(const fs::path& path, std::uintmax_t largest,
                                 std::string_view what, std::string& text) {
  const std::string name = quoted(path.string());
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error)
    return Failure{FailureKind::data_problem, "cannot read " + name + ": " + error.message()};
  if (size > largest) {
    return Failure{FailureKind::data_problem, name + " is too large to be " + std::string(what)};
  }
  std::ifstream in(path, std::ios::binary);
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) {
    return Failure{FailureKind::data_problem, "cannot read " + name + ": " + std::strerror(errno)};
  }
  return std::nullopt;
}

namespace {

std::optional<Failure> read_record(const fs::path& path, records::RunRecord& record) {
  std::string text;
  if (auto failure = read_text(path, kLargestRecord, "a run record", text)) return failure;
  if (const auto problem = records::parse_record(text, record)) {
    return Failure{FailureKind::data_problem, quoted(path.string()) + ": " + *problem};
  }
  return std::nullopt;
}

std::optional<Failure> read_table(const fs::path& path, std::vector<records::RunOutcome>& runs) {
  std::string text;
  if (auto failure = read_text(path, kLargestTable, "a table of runs", text)) return failure;
  if (const auto problem = records::parse_runs_table(text, runs)) {
    return Failure{FailureKind::data_problem, quoted(path.string()) + ": " + *problem};
  }
  return std::nullopt;
}

// Why the files of run folder `folder` are not all of the run its record
// names (a file of the record changed or gone, or a file a run writes that
// this one did not); nullopt when they are, or the record is of a version
// that did not name its files.
std::optional<std::string> foreign_files(const fs::path& folder, const records::RunRecord& record) {
  if (record.files.empty()) return std::nullopt;
  const std::string record_name(records::listed_output(records::Product::record).name);
  // The ensemble tells of a member of another run itself.
  const std::string_view member_name =
      records::listed_output(records::Product::ensemble_member).name;
  for (const auto& [name, checksum] : record.files) {
    std::string text;
    if (read_text(folder / name, std::numeric_limits<std::uintmax_t>::max(), "", text)) {
      return "its " + name + " is gone or cannot be read";
    }
    if (records::text_checksum(text) != checksum) {
      std::string why = "its " + name;
      why.append(" is not the file its ").append(record_name);
      return why + " records: the folder holds files of another run";
    }
  }
  for (const std::string& name : once_written_names(OutputFolder::run_folder)) {
    if (name == record_name || name == member_name ||
        std::any_of(record.files.begin(), record.files.end(),
                    [&name](const auto& file) { return file.first == name; })) {
      continue;
    }
    std::error_code error;
    if (fs::exists(folder / name, error)) {
      std::string why = "its " + name;
      why.append(" is not a file of the run its ").append(record_name);
      return why + " records: the folder holds files of another run";
    }
  }
  return std::nullopt;
}

bool listed(std::span<const StreamRange> ranges, std::int32_t stream) {
  return std::any_of(ranges.begin(), ranges.end(), [stream](const StreamRange& range) {
    return range.first <= stream && stream <= range.last;
  });
}

// The runs of the files found: every record, then each failure a table
// records for a run whose record is not among them (the first table's, when
// several do).
std::optional<Failure> collect_runs(const FoundFiles& found,
                                    std::vector<records::RunOutcome>& outcomes,
                                    std::vector<Notice>& notices) {
  std::map<std::pair<std::int32_t, std::int32_t>, fs::path> seen;  // by seed and stream
  for (const fs::path& path : found.records) {
    records::RunRecord record;
    if (auto failure = read_record(path, record)) return failure;
    if (!outcomes.empty()) {
      if (const auto difference = records::settings_difference(*outcomes.front().record, record)) {
        return Failure{FailureKind::data_problem,
                       quoted(found.records.front().string()) + " and " + quoted(path.string()) +
                           " cannot be summarized together: " + *difference};
      }
    }
    const auto [place, added] = seen.emplace(std::pair{record.seed, record.stream}, path);
    if (!added) {
      return Failure{FailureKind::data_problem,
                     quoted(place->second.string()) + " and " + quoted(path.string()) +
                         " record the same run (seed " + std::to_string(record.seed) + ", stream " +
                         std::to_string(record.stream) + ")"};
    }
    std::optional<std::string> failure = foreign_files(path.parent_path(), record);
    if (failure) {
      notices.push_back(
          {Notice::Kind::warning, "--summarize: " + quoted(path.parent_path().string()) + ": " +
                                      *failure + "; its run counts as failed"});
    }
    outcomes.push_back({record.stream, record.seed, std::move(record), std::move(failure),
                        std::nullopt, path.parent_path().string()});
  }
  for (const fs::path& path : found.tables) {
    std::vector<records::RunOutcome> rows;
    if (auto failure = read_table(path, rows)) return failure;
    for (records::RunOutcome& row : rows) {
      if (row.failure && seen.emplace(std::pair{row.seed, row.stream}, path).second) {
        outcomes.push_back(std::move(row));
      }
    }
  }
  return std::nullopt;
}

// With --streams: the runs of other streams left out, and each stream missing
// for a seed found added as a failed run.
void expect_streams(std::span<const StreamRange> ranges, std::vector<records::RunOutcome>& outcomes,
                    std::vector<Notice>& notices) {
  std::set<std::int32_t> seeds;
  std::set<std::pair<std::int32_t, std::int32_t>> present;
  for (const records::RunOutcome& outcome : outcomes) {
    seeds.insert(outcome.seed);
    present.emplace(outcome.seed, outcome.stream);
  }
  const auto left_out = std::stable_partition(
      outcomes.begin(), outcomes.end(),
      [ranges](const records::RunOutcome& outcome) { return listed(ranges, outcome.stream); });
  if (left_out != outcomes.end()) {
    const auto count = static_cast<std::size_t>(outcomes.end() - left_out);
    notices.push_back({Notice::Kind::warning, "--streams leaves out " + std::to_string(count) +
                                                  (count == 1 ? " run" : " runs") +
                                                  " found of streams it does not list"});
    outcomes.erase(left_out, outcomes.end());
  }
  for (const std::int32_t seed : seeds) {
    for (const StreamRange& range : ranges) {
      for (std::int32_t stream = range.first; stream <= range.last; ++stream) {
        if (present.emplace(seed, stream).second) {
          outcomes.push_back({stream, seed, std::nullopt, not_found_reason(), std::nullopt});
        }
      }
    }
  }
}

}  // namespace

std::optional<Failure> merge_run_folders(std::span<const std::string> folders,
                                         std::span<const StreamRange> streams,
                                         std::vector<records::RunOutcome>& outcomes,
                                         std::vector<Notice>& notices) {
  FoundFiles found;
  for (const std::string& folder : folders) {
    if (auto failure = find_runs(folder, found, notices)) return failure;
  }
  outcomes.clear();
  if (auto failure = collect_runs(found, outcomes, notices)) return failure;
  if (!streams.empty()) expect_streams(streams, outcomes, notices);
  if (outcomes.empty()) {
    return Failure{FailureKind::data_problem,
                   "--summarize: no run to summarize: the folders hold no " +
                       std::string(records::listed_output(records::Product::record).name) +
                       " and no " +
                       std::string(records::listed_output(records::Product::runs_table).name) +
                       " that records a failed run"};
  }
  std::sort(outcomes.begin(), outcomes.end(),
            [](const records::RunOutcome& a, const records::RunOutcome& b) {
              return std::pair{a.stream, a.seed} < std::pair{b.stream, b.seed};
            });
  return std::nullopt;
}

}  // namespace quarvel::batch
