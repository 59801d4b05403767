// --help's and the manual page's words on the files of the list of outputs.
#pragma once

#include <string>

namespace quarvel::cli {

[[nodiscard]] std::string output_folder_description();  // of --output
[[nodiscard]] std::string units_description();          // of --units
[[nodiscard]] std::string export_model_description();   // of --export-model
[[nodiscard]] std::string intervals_description();      // of --intervals
[[nodiscard]] std::string summarize_description();      // of --summarize
[[nodiscard]] std::string streams_description();        // of --streams
[[nodiscard]] std::string output_rule();
[[nodiscard]] std::string sweep_rule();

}  // namespace quarvel::cli
