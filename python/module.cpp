// quarvel._core: the runner's command line and runs for the Python package
// (quarvel/__init__.py), which builds the command line from a forecaster's
// settings and reads the files back.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "batch/outputs.h"
#include "cli/options.h"
#include "python/inprocess.h"
#include "runs/settings.h"

namespace py = pybind11;

namespace {

using quarvel::batch::Failure;
using quarvel::batch::FailureKind;

[[noreturn]] void raise(const Failure& failure) {
  PyObject* type = PyExc_ValueError;
  switch (failure.kind) {
    case FailureKind::bad_setting:
    case FailureKind::data_problem:
      break;
    case FailureKind::write_failed:
      type = PyExc_OSError;
      break;
    case FailureKind::out_of_memory:
      type = PyExc_MemoryError;
      break;
    case FailureKind::stopped:
      type = PyExc_KeyboardInterrupt;
      break;
    case FailureKind::runs_failed:
      type = PyExc_RuntimeError;
      break;
  }
  PyErr_SetString(type, failure.message.c_str());
  throw py::error_already_set();
}

// The command line parsed and its settings checked as the runner's, and what it runs.
quarvel::cli::Options parsed(const std::vector<std::string>& arguments) {
  const quarvel::cli::CommandLine line = quarvel::cli::parse_command_line(arguments);
  if (line.failure) raise(*line.failure);
  if (line.action != quarvel::cli::Action::run) {
    raise({FailureKind::bad_setting, "only the options of a run are taken here"});
  }
  // What Start would refuse of the settings alone, as a run refuses it before it reads its data.
  if (const auto failure = quarvel::batch::check_settings(line.options.request)) raise(*failure);
  return line.options;
}

// How often a run in progress looks for an interrupt on the Python side.
constexpr std::chrono::milliseconds kSignalPoll{50};

py::dict run(const std::vector<std::string>& arguments) {
  const quarvel::cli::Options options = parsed(arguments);
  if (const auto failure = quarvel::batch::check_output_paths(options.request)) raise(*failure);
  std::atomic<bool> stop{false};
  bool interrupted = false;
  quarvel::python::InProcessRuns runs;
  {
    // The runs go on without the interpreter; this thread takes it back now and
    // then, only to let Python see a Ctrl+C, which stops them. The error it
    // raises stays set for this thread until the runs have ended.
    const py::gil_scoped_release released;
    auto done = std::async(std::launch::async,
                           [&] { return quarvel::python::run_in_process(options, stop); });
    while (done.wait_for(kSignalPoll) != std::future_status::ready) {
      if (interrupted) continue;
      const py::gil_scoped_acquire held;
      if (PyErr_CheckSignals() != 0) {
        interrupted = true;
        stop = true;
      }
    }
    runs = done.get();
  }
  if (interrupted) throw py::error_already_set();
  if (runs.failure && runs.failure->kind != FailureKind::runs_failed) raise(*runs.failure);
  py::list notices;
  for (const quarvel::batch::Notice& notice : runs.notices) {
    notices.append(py::make_tuple(
        notice.kind == quarvel::batch::Notice::Kind::note ? "note" : "warning", notice.text));
  }
  py::dict result;
  result["notices"] = notices;
  result["summary"] = runs.summary;
  result["records"] = runs.records;
  result["members"] = runs.members;
  result["failure"] = runs.failure ? py::object(py::str(runs.failure->message)) : py::none();
  return result;
}

py::list settings() {
  py::list table;
  for (const quarvel::runs::SettingInfo& info : quarvel::runs::settings_table()) {
    py::dict entry;
    entry["option"] = std::string(info.option);
    entry["population"] = info.scope == quarvel::runs::Scope::population;
    entry["default"] = std::string(info.default_text);
    entry["range"] = std::string(info.range);
    entry["description"] = std::string(info.description);
    table.append(entry);
  }
  return table;
}

py::list runner_options() {
  py::list options;
  for (const auto& group : {quarvel::cli::output_options(), quarvel::cli::sweep_options()}) {
    for (const quarvel::cli::RunnerOption& option : group) {
      options.append(py::make_tuple(std::string(option.option), std::string(option.description)));
    }
  }
  return options;
}

}  // namespace

PYBIND11_MODULE(_core, module) {
  module.doc() = "The runner's settings, checks and runs, in this process.";
  module.attr("version") = QUARVEL_VERSION;
  module.def(
      "check", [](const std::vector<std::string>& arguments) { (void)parsed(arguments); },
      "Parses a runner's command line as quarvel-cli does; ValueError with its message "
      "when refused.");
  module.def("run", &run,
             "Runs a runner's command line in this process (the interpreter released), its "
             "files written as quarvel-cli writes them; a Ctrl+C stops it.");
  module.def("settings", &settings, "The settings table: option, scope, default, range.");
  module.def("runner_options", &runner_options,
             "The runner's output and sweep options with their descriptions.");
}
