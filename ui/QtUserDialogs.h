// The user's answers from the real thing: QMessageBox, QFileDialog,
// QInputDialog, a small dialog of its own for a picture's size,
// QDesktopServices.
#pragma once

#include "ui/UserDialogs.h"

namespace quarvel::ui {

class QtUserDialogs final : public UserDialogs {
 public:
  void message(QWidget* parent, const QString& text) override;
  void error(QWidget* parent, const QString& text) override;
  bool ask_yes_no(QWidget* parent, const QString& caption, const QString& text) override;
  std::optional<QString> open_file(QWidget* parent, const QString& folder,
                                   const QStringList& filters = {}) override;
  std::optional<SaveChoice> save_file(QWidget* parent, const QString& folder,
                                      const QString& suggested_name,
                                      const QStringList& filters) override;
  std::optional<ImageSize> choose_image_size(QWidget* parent, const ImageSize& suggested) override;
  std::optional<int> ask_count(QWidget* parent, const QString& title, const QString& label,
                               int suggested, int lowest, int highest) override;
  std::optional<QString> choose_folder(QWidget* parent, const QString& title,
                                       const QString& folder) override;
  void splash_delay(int milliseconds) override;
  void open_url(const QString& address) override;
  [[noreturn]] void end_process(int status) override;
};

}  // namespace quarvel::ui
