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
  // The open-file dialog starting in `folder`, offering `filters` ("Tables
  // (*.csv *.tsv *.txt)", the first chosen at first; none: any file); the
  // chosen path, or nothing on cancel.
  virtual std::optional<QString> open_file(QWidget* parent, const QString& folder,
                                           const QStringList& filters = {}) = 0;
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
  // A picture's size in pixels and the resolution it is meant to be printed
  // at, in dots per inch.
  struct ImageSize {
    static constexpr int smallest_side = 100;
    static constexpr int largest_side = 20000;
    static constexpr int lowest_resolution = 48;
    static constexpr int highest_resolution = 2400;

    int width = 1800;
    int height = 1200;
    int dots_per_inch = 300;

    [[nodiscard]] bool within_limits() const {
      return width >= smallest_side && width <= largest_side && height >= smallest_side &&
             height <= largest_side && dots_per_inch >= lowest_resolution &&
             dots_per_inch <= highest_resolution;
    }
    bool operator==(const ImageSize&) const = default;
  };
  // The dialog for the size of a picture to write, filled in with `suggested`;
  // the chosen size, or nothing on cancel.
  virtual std::optional<ImageSize> choose_image_size(QWidget* parent,
                                                     const ImageSize& suggested) = 0;
  // A whole number from `lowest` to `highest`, asked in a small box captioned
  // `title` with `label` beside its field, filled in with `suggested`; the
  // number, or nothing on cancel.
  virtual std::optional<int> ask_count(QWidget* parent, const QString& title, const QString& label,
                                       int suggested, int lowest, int highest) = 0;
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
