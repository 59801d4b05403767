// The few places where the windows talk to the user or the desktop through
// modal boxes, the file dialog, the splash wait, the browser and process end.
// The main window takes an implementation in its constructor, so tests can answer for
// the user and read the exact texts shown.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace quarvel::ui {

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;

  // A modal box with the text, an OK button and the application title as caption.
  virtual void message(QWidget* parent, const QString& text) = 0;
  // The same box with an error icon, for a conversion the user's input failed.
  virtual void error(QWidget* parent, const QString& text) = 0;
  // A modal Yes/No question; true when the user answers Yes.
  virtual bool ask_yes_no(QWidget* parent, const QString& caption, const QString& text) = 0;
  // The open-file dialog starting in `folder`; the chosen path, or nothing on cancel.
  virtual std::optional<QString> open_file(QWidget* parent, const QString& folder) = 0;
  // The file dialog for a file to write, starting in `folder` with
  // `suggested_name`, offering `filters` ("PNG image (*.png)"; none: any file).
  // A new name may be typed; the caller asks before an existing file is
  // replaced. The chosen path and the index of the chosen filter, or nothing on
  // cancel.
  struct SaveChoice {
    QString path;
    int filter = 0;
  };
  virtual std::optional<SaveChoice> save_file(QWidget* parent, const QString& folder,
                                              const QString& suggested_name = {},
                                              const QStringList& filters = {}) = 0;
  // The dialog for a folder, captioned `title`, starting in `folder`; the
  // chosen folder, or nothing on cancel.
  virtual std::optional<QString> choose_folder(QWidget* parent, const QString& title,
                                               const QString& folder) = 0;
  // Keeps the window messages flowing for `milliseconds` (the start-up splash).
  virtual void splash_delay(int milliseconds) = 0;
  // Hands a web address to the desktop's browser; the outcome is not examined.
  virtual void open_url(const QString& address) = 0;
  // Ends the process at once with `status`.
  virtual void end_process(int status) = 0;
};

}  // namespace quarvel::ui
