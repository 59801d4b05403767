// The example series that come with the program, for the tests whose build
// names their folder (QUARVEL_EXAMPLES).
#pragma once

#include <filesystem>
#include <string>

namespace quarvel::testing {

inline std::string example(const std::string& name) {
  return (std::filesystem::path(QUARVEL_EXAMPLES) / name).string();
}

}  // namespace quarvel::testing
