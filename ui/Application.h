// The program's application object. An error that escapes an event handler is
// shown in a box with its text (captioned with the application title) and the
// program goes on, instead of unwinding through the event loop.
#pragma once

#include <QApplication>

namespace quarvel::ui {

class Application final : public QApplication {
 public:
  Application(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace quarvel::ui
