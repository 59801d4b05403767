// The window's command line: a data file to load as the training series once
// the window is open (a desktop's "Open with" passes one), or --help and
// --version, answered without a window.
#pragma once

#include <QString>
#include <QStringList>

namespace quarvel::ui {

class WindowArguments {
 public:
  enum class Request { window, help, version, refused };

  // `arguments` with the program name first, as QCoreApplication::arguments()
  // gives them once the application object has taken out Qt's own options.
  // --help and --version need no display and may be asked before that.
  explicit WindowArguments(const QStringList& arguments);

  [[nodiscard]] Request request() const noexcept { return request_; }
  // The file to load; empty when none was given.
  [[nodiscard]] const QString& training_file() const noexcept { return training_file_; }
  // What to print for help, version or a refusal.
  [[nodiscard]] const QString& text() const noexcept { return text_; }

 private:
  Request request_ = Request::window;
  QString training_file_;
  QString text_;
};

}  // namespace quarvel::ui
