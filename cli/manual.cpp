#include "cli/manual.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <span>

#include "cli/options.h"
#include "cli/outputhelp.h"
#include "records/outputlist.h"
#include "runs/settings.h"

namespace quarvel::cli {

namespace {

using runs::Scope;
using runs::Setting;
using runs::SettingInfo;

// Prose for a roff text line: backslashes kept, and every "-" of an option (a
// word that starts with "-") written as a minus, which man pages need for an
// option to be found and pasted as typed; a hyphen inside another word stays a
// hyphen. Every line that would start with a control character is protected.
std::string roff_text(std::string_view text) {
  std::string out;
  bool line_start = true;
  bool in_option = false;
  char before = ' ';
  for (const char c : text) {
    if (line_start && (c == '.' || c == '\'')) out += "\\&";
    if (c == '-' && (before == ' ' || before == '\n' || before == '(')) in_option = true;
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-' && in_option) {
      out += "\\-";
    } else {
      out += c;
    }
    if (c != '-' && std::isalnum(static_cast<unsigned char>(c)) == 0) in_option = false;
    line_start = c == '\n';
    before = c;
  }
  return out;
}

// A command, path or option as typed: every "-" is a minus.
std::string roff_literal(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '-') {
      out += "\\-";
    } else if (c == '\\') {
      out += "\\e";
    } else {
      out += c;
    }
  }
  return out;
}

// The tag line of an option: "--name VALUE" in bold and italics.
std::string option_tag(std::string_view option, std::string_view value_name) {
  std::string tag = "\\fB" + roff_literal(option) + "\\fR";
  if (!value_name.empty()) tag += " \\fI" + roff_literal(value_name) + "\\fR";
  return tag;
}

void add_options(std::string& page, std::span<const RunnerOption> options) {
  for (const RunnerOption& option : options) {
    page += ".TP\n" + option_tag(option.option, option.value_name) + "\n" +
            roff_text(option.description) + "\n";
  }
}

void add_settings(std::string& page, Scope scope) {
  for (const SettingInfo& info : runs::settings_table()) {
    if (info.scope != scope) continue;
    page += ".TP\n" + option_tag(info.option, info.value_name) + "\n" +
            roff_text(info.description) + " (default " + roff_literal(shown_default(info)) + ")\n";
  }
}

std::string_view option_of(Setting id) {
  return runs::setting_info(id).option;
}

// A command line of the examples, one option and its value per line.
std::string example_command(std::initializer_list<std::string_view> arguments) {
  std::string text = "quarvel\\-cli";
  bool first = true;
  for (const std::string_view argument : arguments) {
    text += argument.starts_with("--") && !first ? " \\e\n    " : " ";
    text += roff_literal(argument);
    first = false;
  }
  return text + "\n";
}

// The words of a shell list: "'mdl mse'".
std::string quoted_words(std::span<const runs::Choice> choices) {
  std::string words = "'";
  for (const runs::Choice& choice : choices) {
    if (words.size() > 1) words += ' ';
    words += choice.word;
  }
  return words + "'";
}

// The page's comment and title lines, NAME and SYNOPSIS.
std::string page_head(const ManualFacts& facts) {
  const RunnerOption& training = input_options()[0];
  const RunnerOption& validation = input_options()[1];
  const RunnerOption& data = table_options()[0];
  const RunnerOption& split = table_options()[3];
  const RunnerOption& output = output_options()[1];
  const RunnerOption& summarize = sweep_options()[3];
  const RunnerOption& streams = sweep_options()[4];
  const RunnerOption& help = information_options()[0];
  const RunnerOption& version = information_options()[1];
  std::string page =
      ".\\\" quarvel-cli(1), written by quarvel-cli-docs from the runner's option lists and\n"
      ".\\\" settings table, which --help reads too: edit those, not this page.\n";
  page += ".TH QUARVEL\\-CLI 1 " + roff_literal(facts.date) + " \"Quarvel " +
          std::string(facts.version) + "\" \"User Commands\"\n";
  page +=
      ".SH NAME\n"
      "quarvel\\-cli \\- model a time series by genetic programming, without a window\n"
      ".SH SYNOPSIS\n"
      ".B quarvel\\-cli\n" +
      option_tag(training.option, training.value_name) + " " +
      option_tag(validation.option, validation.value_name) +
      " [\\fIoptions\\fR]\n"
      ".br\n"
      ".B quarvel\\-cli\n" +
      option_tag(data.option, data.value_name) + " " + option_tag(split.option, split.value_name) +
      " [\\fIoptions\\fR]\n"
      ".br\n"
      ".B quarvel\\-cli\n" +
      option_tag(summarize.option, summarize.value_name) + " " +
      option_tag(output.option, output.value_name) + " [" +
      option_tag(streams.option, streams.value_name) +
      "]\n"
      ".br\n"
      ".B quarvel\\-cli\n" +
      option_tag(help.option, "") + " | " + option_tag(version.option, "") + "\n";
  return page;
}

// DESCRIPTION to EXIT STATUS: the lists and rules --help shows, section by
// section.
std::string page_sections() {
  std::string page = ".SH DESCRIPTION\n" + roff_text(kRunnerSummary) + "\n";
  page +=
      ".PP\n"
      "Each generation it prints the best mean squared error and MDL of every population; "
      "after the run it writes, when asked, the run's history and each population's "
      "predictions and best tree.\n"
      "All values of a run are scaled together to [0, 1] by the minimum and maximum of both "
      "series, and the predictions are written on that scale.\n";
  page += ".SH INPUTS\nTwo plain text files, one value per line:\n";
  add_options(page, input_options());
  page += ".PP\n" + roff_text(kInputRule) + "\n";
  page += ".PP\nOr one table that holds the whole series, split in two:\n";
  add_options(page, table_options());
  page += ".PP\n" + roff_text(kTableRule) + "\n";
  page += ".SH OUTPUTS\n";
  add_options(page, output_options());
  page += ".PP\n" + roff_text(output_rule()) + "\n";
  page += ".SH MANY RUNS\n";
  add_options(page, sweep_options());
  page += ".PP\n" + roff_text(sweep_rule()) + "\n";
  page += ".SH RUN SETTINGS\nThe defaults are those of the window, \\fBquarvel\\fR(1).\n";
  add_settings(page, Scope::run);
  const SettingInfo& populations = runs::setting_info(Setting::populations);
  page += ".SH POPULATION SETTINGS\nEach takes " + roff_text(kPopulationListRule) + ", where \\fI" +
          roff_literal(populations.value_name) + "\\fR is the value of " +
          option_tag(populations.option, "") + ".\n";
  add_settings(page, Scope::population);
  page += ".SH OTHER OPTIONS\n";
  add_options(page, information_options());
  page += ".SH EXIT STATUS\n";
  for (const ExitStatus& status : exit_statuses()) {
    page += ".TP\n.B " + std::to_string(status.status) + "\n" + roff_text(status.meaning) + "\n";
  }
  return page;
}

// EXAMPLES: commands on the series installed in `examples` (a folder, with
// its "/").
std::string page_examples(const std::string& examples) {
  const RunnerOption& training = input_options()[0];
  const RunnerOption& validation = input_options()[1];
  const RunnerOption& data = table_options()[0];
  const RunnerOption& column = table_options()[1];
  const RunnerOption& time_column = table_options()[2];
  const RunnerOption& split = table_options()[3];
  const RunnerOption& history = output_options()[0];
  const RunnerOption& output = output_options()[1];
  const RunnerOption& stream = sweep_options()[0];
  const RunnerOption& runs = sweep_options()[1];
  const RunnerOption& summarize = sweep_options()[3];
  const RunnerOption& streams = sweep_options()[4];
  const std::string sunspots_training = examples + "sunspots-training.txt";
  const std::string sunspots_validation = examples + "sunspots-validation.txt";
  return ".SH EXAMPLES\n"
         "The yearly sunspot numbers at the window's default settings, with the run's history "
         "and its results:\n"
         ".PP\n.RS\n.nf\n" +
         example_command({training.option, sunspots_training, validation.option,
                          sunspots_validation, history.option, "sunspots-history.csv",
                          output.option, "sunspots-results"}) +
         ".fi\n.RE\n"
         ".PP\n"
         "The monthly airline passengers from a CSV table with a time column, trained on the "
         "values up to 1958-12 and forecast three years past the data, the forecast labelled "
         "1961-01 on in " +
         std::string(records::listed_output(records::Product::timed_prediction).name) +
         ":\n"
         ".PP\n.RS\n.nf\n" +
         example_command({data.option, examples + "airpassengers.csv", column.option, "passengers",
                          time_column.option, "month", split.option, "1958-12",
                          option_of(Setting::terminals), "25", option_of(Setting::forecast_ahead),
                          "36", output.option, "airpassengers-results"}) +
         ".fi\n.RE\n"
         ".PP\n"
         "Two populations of their own sizes and selection methods, 200 generations:\n"
         ".PP\n.RS\n.nf\n" +
         example_command({training.option, sunspots_training, validation.option,
                          sunspots_validation, option_of(Setting::populations), "2",
                          option_of(Setting::population_size), "1000,500",
                          option_of(Setting::selection), "tournament,fitness",
                          option_of(Setting::generations), "200"}) +
         ".fi\n.RE\n"
         ".PP\n"
         "Twenty runs of the sunspot model, streams 0 to 19, as many at once as there are "
         "cores; twenty more, streams 20 to 39, written by another call (on another machine, "
         "say); and " +
         std::string(records::listed_output(records::Product::runs_table).name) + " and " +
         std::string(records::listed_output(records::Product::summary).name) +
         " of all forty, a run missing among them told as a failed run:\n"
         ".PP\n.RS\n.nf\n" +
         example_command({training.option, sunspots_training, validation.option,
                          sunspots_validation, runs.option, "20", output.option, "sweep-a"}) +
         example_command({training.option, sunspots_training, validation.option,
                          sunspots_validation, stream.option, "20", runs.option, "20",
                          output.option, "sweep-b"}) +
         example_command({summarize.option, "sweep-a", "sweep-b", streams.option, "0-39",
                          output.option, "sweep"}) +
         ".fi\n.RE\n";
}

}  // namespace

std::string manual_page(const ManualFacts& facts) {
  const std::string examples = std::string(facts.examples_path) + "/";
  return page_head(facts) + page_sections() + page_examples(examples) + ".SH FILES\n.TP\n.I " +
         roff_literal(examples) +
         "\n"
         "sample series, each as a training and a validation file; README.md there tells "
         "their sources and the overlap and terminal table size that suit each.\n"
         ".SH SEE ALSO\n"
         ".BR quarvel (1)\n";
}

std::string bash_completion() {
  std::string script =
      "# bash completion for quarvel-cli, written by quarvel-cli-docs from the runner's\n"
      "# option lists and settings table, which --help reads too.\n"
      "_quarvel_cli() {\n"
      "  local cur prev words cword split\n"
      "  _init_completion -s || return\n"
      "  case $prev in\n";
  std::string files;
  std::string folders;
  std::string values;
  std::string every_option;
  // Appends `word` to a list with its separator.
  const auto append = [](std::string& list, std::string_view separator, std::string_view word) {
    if (!list.empty()) list += separator;
    list += word;
  };
  const auto add_option = [&](std::string_view option, std::string_view value_name) {
    append(every_option, " ", option);
    if (value_name == "FILE") append(files, " | ", option);
    if (value_name.starts_with("DIR")) append(folders, " | ", option);
  };
  for (const auto options : {input_options(), table_options(), output_options(), sweep_options(),
                             information_options()}) {
    for (const RunnerOption& option : options) {
      add_option(option.option, option.value_name);
      const std::string_view value = option.value_name;
      const bool placeholder =
          std::any_of(value.begin(), value.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
      // A number, a list, a column or a split point: nothing to offer.
      if (placeholder && value != "FILE" && !value.starts_with("DIR")) {
        append(values, " | ", option.option);
      }
      // A value named by its words ("scaled|original") offers them.
      if (!placeholder && value.find('|') != std::string_view::npos) {
        std::string words(option.value_name);
        std::replace(words.begin(), words.end(), '|', ' ');
        script += "    " + std::string(option.option) + ")\n      COMPREPLY=($(compgen -W '" +
                  words + "' -- \"$cur\"))\n      return\n      ;;\n";
      }
    }
  }
  for (const SettingInfo& info : runs::settings_table()) {
    add_option(info.option, info.value_name);
    if (!info.choices.empty()) {
      script += "    " + std::string(info.option) + ")\n      COMPREPLY=($(compgen -W " +
                quoted_words(info.choices) + " -- \"$cur\"))\n      return\n      ;;\n";
    } else {
      // A number: nothing to offer, and no option names in its place.
      append(values, " | ", info.option);
    }
  }
  script += "    " + files + ")\n      _filedir\n      return\n      ;;\n";
  script += "    " + folders + ")\n      _filedir -d\n      return\n      ;;\n";
  script += "    " + values + ")\n      return\n      ;;\n";
  script +=
      "  esac\n"
      "  $split && return\n"
      "  COMPREPLY=($(compgen -W '" +
      every_option +
      "' -- \"$cur\"))\n"
      "}\n"
      "complete -F _quarvel_cli quarvel-cli\n";
  return script;
}

}  // namespace quarvel::cli
