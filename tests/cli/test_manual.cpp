// quarvel-cli's manual page and bash completion against --help: the same
// options, each with its value name and default, and the words of each choice.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "cli/manual.h"
#include "cli/options.h"

namespace quarvel::cli {
namespace {

using runs::SettingInfo;

const ManualFacts kFacts{"9.8.7", "2031-02-03", "/opt/q-data/examples"};

// Every "--name" in `text`; in roff each "-" of it is written "\-".
std::set<std::string> options_in(const std::string& text, const std::string& dash) {
  std::set<std::string> found;
  const std::string start = dash + dash;
  for (std::size_t at = text.find(start); at != std::string::npos;
       at = text.find(start, at + start.size())) {
    std::string name = "--";
    std::size_t end = at + start.size();
    while (end < text.size()) {
      if (std::islower(static_cast<unsigned char>(text[end])) != 0) {
        name += text[end++];
      } else if (text.compare(end, dash.size(), dash) == 0 && name.size() > 2) {
        name += '-';
        end += dash.size();
      } else {
        break;
      }
    }
    if (name.size() > 2) found.insert(name);
  }
  return found;
}

std::string roff(std::string_view text) {
  std::string out;
  for (const char c : text) out += c == '-' ? std::string("\\-") : std::string(1, c);
  return out;
}

// The tag line the page gives an option.
std::string tag(std::string_view option, std::string_view value_name) {
  std::string text = "\n\\fB" + roff(option) + "\\fR";
  if (!value_name.empty()) text += " \\fI" + roff(value_name) + "\\fR";
  return text + "\n";
}

TEST(Manual, ListsWhatHelpLists) {
  const std::string page = manual_page(kFacts);
  const std::string help = usage_text();
  const std::set<std::string> in_help = options_in(help, "-");
  ASSERT_GT(in_help.size(), runs::settings_table().size());
  EXPECT_EQ(options_in(page, "\\-"), in_help);

  for (const SettingInfo& info : runs::settings_table()) {
    const std::size_t at = page.find(tag(info.option, info.value_name));
    ASSERT_NE(at, std::string::npos) << info.option;
    // The default on the option's own entry, as --help shows it.
    const std::string entry = page.substr(at, page.find(".TP", at + 1) - at);
    EXPECT_NE(entry.find("(default " + roff(shown_default(info)) + ")"), std::string::npos)
        << entry;
    EXPECT_NE(help.find(std::string(info.option) + " " + std::string(info.value_name)),
              std::string::npos);
  }
  for (const auto options :
       {input_options(), table_options(), output_options(), information_options()}) {
    for (const RunnerOption& option : options) {
      EXPECT_NE(page.find(tag(option.option, option.value_name)), std::string::npos)
          << option.option;
    }
  }
  for (const ExitStatus& status : exit_statuses()) {
    EXPECT_NE(page.find(".B " + std::to_string(status.status) + "\n" + std::string(status.meaning)),
              std::string::npos);
  }
}

TEST(Manual, TellsTheInstalledProgram) {
  const std::string page = manual_page(kFacts);
  EXPECT_EQ(page.find(".TH QUARVEL\\-CLI 1 2031\\-02\\-03 \"Quarvel 9.8.7\""), page.find(".TH"));
  EXPECT_NE(page.find("\n.I /opt/q\\-data/examples/\n"), std::string::npos);
  EXPECT_NE(page.find("/opt/q\\-data/examples/sunspots\\-training.txt"), std::string::npos);
  // No text line that roff would take for a request.
  std::size_t line_start = 0;
  while (line_start < page.size()) {
    const std::size_t end = page.find('\n', line_start);
    const std::string line = page.substr(line_start, end - line_start);
    if (line.starts_with("'")) ADD_FAILURE() << line;
    if (line.starts_with(".")) {
      const std::string request = line.substr(0, line.find(' '));
      const std::set<std::string> known{".\\\"", ".TH", ".SH", ".B",  ".I",  ".BR", ".TP",
                                        ".PP",   ".RS", ".RE", ".nf", ".fi", ".br"};
      EXPECT_TRUE(known.contains(request)) << line;
    }
    line_start = end + 1;
  }
}

TEST(Completion, OffersWhatHelpLists) {
  const std::string script = bash_completion();
  const std::string help = usage_text();
  // The words offered for an option name: the last word list of the script.
  const std::size_t list = script.rfind("compgen -W '");
  ASSERT_NE(list, std::string::npos);
  const std::size_t first = list + std::string("compgen -W '").size();
  const std::string words = script.substr(first, script.find('\'', first) - first);
  EXPECT_EQ(options_in(words, "-"), options_in(help, "-"));

  for (const SettingInfo& info : runs::settings_table()) {
    const std::string option(info.option);
    const std::size_t branch = script.find("    " + option + ")\n");
    if (info.choices.empty()) {
      // A number: a branch of its own would offer option names in its place.
      EXPECT_EQ(branch, std::string::npos) << option;
      EXPECT_TRUE(script.find(" " + option + " |") != std::string::npos ||
                  script.find(" " + option + ")\n      return\n") != std::string::npos)
          << option;
      continue;
    }
    ASSERT_NE(branch, std::string::npos) << info.option;
    std::string offered;
    for (const runs::Choice& choice : info.choices) {
      if (!offered.empty()) offered += ' ';
      offered += choice.word;
      EXPECT_NE(help.find(choice.word), std::string::npos) << choice.word;
    }
    EXPECT_NE(script.find("compgen -W '" + offered + "'", branch), std::string::npos)
        << info.option;
  }
  EXPECT_NE(script.find("--training | --validation | --data | --history)\n      _filedir\n"),
            std::string::npos);
  // The words of a table option are offered; a column or a split point has none.
  EXPECT_NE(script.find("    --delimiter)\n      COMPREPLY=($(compgen -W 'comma semicolon tab "
                        "whitespace' -- \"$cur\"))"),
            std::string::npos);
  for (const std::string option : {"--column", "--time-column", "--split"}) {
    EXPECT_EQ(script.find(std::string(4, ' ').append(option).append(")\n")), std::string::npos)
        << option;
    EXPECT_NE(script.find(std::string(1, ' ').append(option).append(" |")), std::string::npos)
        << option;
  }
  EXPECT_NE(script.find("    --output | --summarize)\n      _filedir -d\n"), std::string::npos);
}

}  // namespace
}  // namespace quarvel::cli
