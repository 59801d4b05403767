// The example series that come with the program, for the tests whose build
// names their folder (QUARVEL_EXAMPLES).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quarvel::testing {

inline std::string example(const std::string& name) {
  return (std::filesystem::path(QUARVEL_EXAMPLES) / name).string();
}

// The runner's arguments of a quick run on the lynx example, then `extra`.
inline std::vector<std::string> quick_lynx_run(const std::vector<std::string>& extra) {
  std::vector<std::string> arguments{"--training",
                                     example("lynx-training.txt"),
                                     "--validation",
                                     example("lynx-validation.txt"),
                                     "--generations",
                                     "2",
                                     "--population-size",
                                     "30",
                                     "--elite",
                                     "1",
                                     "--quiet"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return arguments;
}

}  // namespace quarvel::testing
