// Requests of the run pipeline the batch tests share: the quick lynx run of
// the runner's tests (support/examples.h) as a request, and a folder's files
// with the run's seconds, the one thing that differs between equal runs, taken
// out.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "batch/request.h"
#include "runs/settings.h"
#include "support/examples.h"
#include "support/scratch.h"

namespace quarvel::testing {

// quick_lynx_run({"--forecast", "4", "--intervals", "--paths", "50",
// "--export-model", "--runs", runs, "--output", output}) as a request.
inline batch::RunRequest quick_lynx_request(const std::string& output, std::int32_t runs) {
  batch::RunRequest request;
  request.training = example("lynx-training.txt");
  request.validation = example("lynx-validation.txt");
  request.settings.set(runs::Setting::generations, 2);
  request.settings.set(runs::Setting::population_size, 30);
  request.settings.set(runs::Setting::elite, 1);
  request.settings.set(runs::Setting::forecast_ahead, 4);
  request.intervals.emplace();  // the levels 80 and 95
  request.intervals->paths = 50;
  request.export_model = true;
  request.runs = runs;
  request.output = output;
  return request;
}

// The runner's arguments of the same request.
inline std::vector<std::string> quick_lynx_arguments(const std::string& output, std::int32_t runs) {
  return quick_lynx_run({"--forecast", "4", "--intervals", "--paths", "50", "--export-model",
                         "--runs", std::to_string(runs), "--output", output});
}

// A runs.csv with the field of its seconds column, the 8th, made "-" on every
// line but the heading. The fields hold no quoted commas before it.
inline std::string without_seconds_column(const std::string& table) {
  std::string blanked;
  std::size_t field = 0;
  bool heading = true;
  for (const char c : table) {
    if (c == '\n') {
      heading = false;
      field = 0;
    } else if (c == ',') {
      ++field;
    } else if (field == 7 && !heading) {
      if (blanked.back() == ',') blanked += '-';
      continue;
    }
    blanked += c;
  }
  return blanked;
}

// The files under `folder` (snapshot), the seconds of run.txt and of runs.csv
// blanked.
inline std::map<std::string, std::string> files_but_seconds(const fs::path& folder) {
  std::map<std::string, std::string> files = snapshot(folder);
  for (auto& [name, content] : files) {
    if (name.ends_with("run.txt")) {
      const std::size_t at = content.find("\nseconds ");
      if (at != std::string::npos) content.resize(at);
    } else if (name.ends_with("runs.csv")) {
      content = without_seconds_column(content);
    }
  }
  return files;
}

}  // namespace quarvel::testing
