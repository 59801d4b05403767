// The runner's manual page and its bash completion, written from the same
// option lists and settings table as --help, so that none of the three can
// name an option, a value or a default the others do not.
#pragma once

#include <string>
#include <string_view>

namespace quarvel::cli {

// What the page says about the installed program.
struct ManualFacts {
  std::string_view version;        // "0.1.0"
  std::string_view date;           // the release date, "2026-12-10"
  std::string_view examples_path;  // the installed example series
};

// quarvel-cli(1) in roff with the man macros.
[[nodiscard]] std::string manual_page(const ManualFacts& facts);

// A completion for bash-completion: every option, the words of a choice, file
// names after a FILE option and folders after a DIR option.
[[nodiscard]] std::string bash_completion();

}  // namespace quarvel::cli
