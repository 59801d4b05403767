// quarvel-cli-docs: writes quarvel-cli's manual page and bash completion at
// build time, from the tables its --help reads.
//   quarvel-cli-docs MANUAL-FILE COMPLETION-FILE VERSION DATE EXAMPLES-PATH
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

#include "cli/manual.h"

namespace {

bool write(const char* path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (out) return true;
  std::fprintf(stderr, "quarvel-cli-docs: cannot write %s\n", path);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fputs("usage: quarvel-cli-docs MANUAL-FILE COMPLETION-FILE VERSION DATE EXAMPLES-PATH\n",
               stderr);
    return 2;
  }
  const quarvel::cli::ManualFacts facts{argv[3], argv[4], argv[5]};
  const bool written = write(argv[1], quarvel::cli::manual_page(facts)) &&
                       write(argv[2], quarvel::cli::bash_completion());
  return written ? 0 : 1;
}
