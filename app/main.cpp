// The desktop program: one engine and the main window, which owns the rest.
#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "engine/engine.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"
#include "ui/QtUserDialogs.h"
#include "ui/WindowArguments.h"
#include "ui/style.h"

using quarvel::ui::WindowArguments;

int main(int argc, char* argv[]) {
  // --help and --version need no display: answered before the application
  // object, which would look for one.
  QStringList raw_arguments;
  for (int i = 0; i < argc; ++i) raw_arguments << QString::fromLocal8Bit(argv[i]);
  if (const WindowArguments early(raw_arguments);
      early.request() == WindowArguments::Request::help ||
      early.request() == WindowArguments::Request::version) {
    std::fputs(early.text().toLocal8Bit().constData(), stdout);
    return 0;
  }

  quarvel::ui::Application application(argc, argv);
  const WindowArguments arguments(QCoreApplication::arguments());
  if (arguments.request() == WindowArguments::Request::refused) {
    std::fputs(arguments.text().toLocal8Bit().constData(), stderr);
    return 2;
  }
  // The application title, caption of every message box. Set as the name, not
  // the display name, which the platform would append to every window caption.
  QApplication::setApplicationName(QStringLiteral("Quarvel ver0.0"));
  QApplication::setFont(quarvel::ui::window_font());
  // The installed desktop entry and icon: the desktop matches the window to them.
  QGuiApplication::setDesktopFileName(QStringLiteral(QUARVEL_APP_ID));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(QUARVEL_APP_ID)));

  quarvel::Engine engine;
  quarvel::ui::QtUserDialogs dialogs;
  quarvel::ui::MainWindow window(engine, dialogs);
  window.show();
  if (!arguments.training_file().isEmpty()) window.load_training_file(arguments.training_file());
  return QApplication::exec();
}
