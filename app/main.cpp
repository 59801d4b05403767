// The desktop program: one engine, the main window, its secondary windows.
#include <QApplication>

#include "Application.h"
#include "Graphwindow.h"
#include "Unit1.h"
#include "Unit5.h"
#include "Unit6.h"
#include "UserDialogs.h"
#include "engine.h"

int main(int argc, char* argv[]) {
  quarvel::ui::Application application(argc, argv);
  // The application title, caption of every message box. Set as the name, not
  // the display name, which the platform would append to every window caption.
  QApplication::setApplicationName(QStringLiteral("Quarvel ver0.0"));
  QApplication::setFont(quarvel::ui::window_font());

  quarvel::Engine engine;
  quarvel::ui::QtUserDialogs dialogs;
  quarvel::ui::TForm1 form1(engine, dialogs);

  // Created hidden after the main window; they close with it.
  auto* graph_form = new quarvel::ui::TGraphForm(&form1);
  auto* form5 = new quarvel::ui::TForm5(&form1);
  auto* form6 = new quarvel::ui::TForm6(&form1);
  form1.set_secondary_windows(graph_form, form5, form6);

  form1.show();
  return QApplication::exec();
}
