// The desktop program: one engine and the main window, which owns the rest.
#include <QApplication>

#include "engine/engine.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"
#include "ui/QtUserDialogs.h"
#include "ui/style.h"

int main(int argc, char* argv[]) {
  quarvel::ui::Application application(argc, argv);
  // The application title, caption of every message box. Set as the name, not
  // the display name, which the platform would append to every window caption.
  QApplication::setApplicationName(QStringLiteral("Quarvel ver0.0"));
  QApplication::setFont(quarvel::ui::window_font());

  quarvel::Engine engine;
  quarvel::ui::QtUserDialogs dialogs;
  quarvel::ui::MainWindow window(engine, dialogs);
  window.show();
  return QApplication::exec();
}
