// A stand-in for the user: records every box, question and request, and
// answers the file dialog from a queue.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "ui/UserDialogs.h"
#include "ui/style.h"

namespace quarvel::ui::testing {

class FakeDialogs final : public UserDialogs {
 public:
  void message(QWidget*, const QString& text) override {
    messages.append(text);
    if (while_box_open) while_box_open();
  }
  void error(QWidget*, const QString& text) override {
    errors.append(text);
    if (while_box_open) while_box_open();
  }
  bool ask_yes_no(QWidget*, const QString& caption, const QString& text) override {
    questions.append(caption + QLatin1Char('|') + text);
    if (while_box_open) while_box_open();
    return answer_yes;
  }
  std::optional<QString> open_file(QWidget*, const QString& folder,
                                   const QStringList& filters) override {
    dialog_folders.append(folder);
    open_dialog_filters.append(filters);
    return next_file_answer();
  }
  // Answered from the same queue, the filter from its own (0 when empty);
  // recorded apart so a test can tell the dialogs.
  std::optional<SaveChoice> save_file(QWidget*, const QString& folder,
                                      const QString& suggested_name,
                                      const QStringList& filters) override {
    save_dialog_folders.append(folder);
    save_dialog_names.append(suggested_name);
    save_dialog_filters.append(filters);
    const auto path = next_file_answer();
    if (!path) return std::nullopt;
    int filter = 0;
    if (!filter_answers.empty()) {
      filter = filter_answers.front();
      filter_answers.pop_front();
    }
    return SaveChoice{*path, filter};
  }
  std::optional<QString> next_file_answer() {
    if (file_answers.empty()) return std::nullopt;
    const bool cancelled = !file_answers.front().has_value();
    QString path = file_answers.front().value_or(QString());
    file_answers.pop_front();
    if (cancelled) return std::nullopt;
    return path;
  }
  // Answered from its own queue; with none left, the suggested size is taken.
  std::optional<ImageSize> choose_image_size(QWidget*, const ImageSize& suggested) override {
    suggested_image_sizes.push_back(suggested);
    if (image_size_answers.empty()) return suggested;
    const std::optional<ImageSize> answer = image_size_answers.front();
    image_size_answers.pop_front();
    return answer;
  }
  // Answered from its own queue; with none left, the user cancels.
  std::optional<int> ask_count(QWidget*, const QString& title, const QString& label, int suggested,
                               int lowest, int highest) override {
    count_questions.append(QStringLiteral("%1|%2|%3 (%4..%5)")
                               .arg(title, label)
                               .arg(suggested)
                               .arg(lowest)
                               .arg(highest));
    if (count_answers.empty()) return std::nullopt;
    const int answer = count_answers.front();
    count_answers.pop_front();
    return answer;
  }
  // Answered from the file queue too.
  std::optional<QString> choose_folder(QWidget*, const QString& title,
                                       const QString& folder) override {
    folder_dialog_titles.append(title);
    folder_dialog_folders.append(folder);
    return next_file_answer();
  }
  void splash_delay(int milliseconds) override { splash_delays.push_back(milliseconds); }
  void open_url(const QString& address) override { urls.append(address); }
  void end_process(int status) override { end_statuses.push_back(status); }

  QStringList messages;
  QStringList errors;
  QStringList questions;
  QStringList dialog_folders;
  QStringList save_dialog_folders;
  QStringList folder_dialog_folders;
  QStringList folder_dialog_titles;
  QStringList save_dialog_names;
  QList<QStringList> save_dialog_filters;
  QList<QStringList> open_dialog_filters;
  std::deque<int> filter_answers;
  QStringList count_questions;  // "title|label|suggested (lowest..highest)"
  std::deque<int> count_answers;
  std::vector<ImageSize> suggested_image_sizes;
  std::deque<std::optional<ImageSize>> image_size_answers;  // nullopt: the user cancels
  QStringList urls;
  std::vector<int> splash_delays;
  std::vector<int> end_statuses;
  std::deque<std::optional<QString>> file_answers;  // nullopt: the user cancels
  bool answer_yes = false;
  // What the user's reading time does while a box or question is open: a
  // test runs the box's own message loop here, as a modal box would.
  std::function<void()> while_box_open;
};

// Settings store and application title for a test program; call once first.
inline void prepare_application(const QTemporaryDir& settings_folder) {
  QCoreApplication::setApplicationName(QStringLiteral("Quarvel ver0.0"));
  QApplication::setFont(window_font());
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_folder.path());
}

// Writes `content` to `name` in `folder` and returns the path.
inline QString write_file(const QTemporaryDir& folder, const QString& name,
                          const QByteArray& content) {
  QString path = folder.filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return {};
  file.write(content);
  return path;
}

// The whole content of the file at `path`, or "(missing)" when it cannot be read.
inline QByteArray read_all(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "(missing)";
  return file.readAll();
}

}  // namespace quarvel::ui::testing
