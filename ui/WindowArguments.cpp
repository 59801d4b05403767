#include "ui/WindowArguments.h"

namespace quarvel::ui {

namespace {

bool is_help(const QString& argument) {
  return argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

bool is_version(const QString& argument) {
  return argument == QLatin1String("--version");
}

QString usage_text() {
  return QStringLiteral(
      "Usage: quarvel [Qt options] [FILE]\n"
      "       quarvel --help | --version\n"
      "Models a time series by genetic programming, in a window.\n"
      "FILE, a data file, is loaded as the training series once the window is open,\n"
      "as if chosen with the training \"Load\" button.\n"
      "\n"
      "  -h, --help   print this usage and exit\n"
      "  --version    print the version and exit\n"
      "\n"
      "Qt's own options (-platform NAME, -style NAME, -display DISPLAY, ...) are taken too.\n"
      "quarvel-cli runs the same models without a window; see quarvel(1) and quarvel-cli(1).\n");
}

}  // namespace

WindowArguments::WindowArguments(const QStringList& arguments) {
  // --help and --version win over anything else on the line, as they are
  // answered before the rest is looked at.
  for (qsizetype i = 1; i < arguments.size() && arguments[i] != QLatin1String("--"); ++i) {
    if (is_help(arguments[i])) {
      request_ = Request::help;
      text_ = usage_text();
      return;
    }
    if (is_version(arguments[i])) {
      request_ = Request::version;
      text_ = QStringLiteral("quarvel %1\n").arg(QStringLiteral(QUARVEL_VERSION));
      return;
    }
  }
  bool options_ended = false;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (!options_ended && argument == QLatin1String("--")) {
      options_ended = true;
      continue;
    }
    // "-" alone is a file name like any other; it is not standard input here.
    if (!options_ended && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
      request_ = Request::refused;
      text_ = QStringLiteral("quarvel: unknown option %1 (see --help)\n").arg(argument);
      return;
    }
    if (!training_file_.isEmpty()) {
      request_ = Request::refused;
      text_ = QStringLiteral("quarvel: give one data file, not \"%1\" and \"%2\" (see --help)\n")
                  .arg(training_file_, argument);
      training_file_.clear();  // a refused line loads nothing
      return;
    }
    training_file_ = argument;
  }
}

}  // namespace quarvel::ui
