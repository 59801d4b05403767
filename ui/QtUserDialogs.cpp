#include "ui/QtUserDialogs.h"

#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdlib>

namespace quarvel::ui {

namespace {

void show_box(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace

void QtUserDialogs::message(QWidget* parent, const QString& text) {
  show_box(parent, QMessageBox::NoIcon, text);
}

void QtUserDialogs::error(QWidget* parent, const QString& text) {
  show_box(parent, QMessageBox::Critical, text);
}

bool QtUserDialogs::ask_yes_no(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
  return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtUserDialogs::open_file(QWidget* parent, const QString& folder) {
  // No filter, no default extension and no title of its own; a name that does
  // not exist yet may be typed. The output save has its own variant below.
  // A remembered folder that no longer exists (or the first start's default on a
  // system without drive letters) is not offered: the dialog would take it for a file name.
  QFileDialog dialog(parent, QString(), QDir(folder).exists() ? folder : QString());
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

std::optional<UserDialogs::SaveChoice> QtUserDialogs::save_file(QWidget* parent,
                                                                const QString& folder,
                                                                const QString& suggested_name,
                                                                const QStringList& filters) {
  QFileDialog dialog(parent, QString(), QDir(folder).exists() ? folder : QString());
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // The window asks before it replaces a file, after its own checks.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  if (!suggested_name.isEmpty()) dialog.selectFile(suggested_name);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return SaveChoice{
      dialog.selectedFiles().constFirst(),
      std::max<int>(0, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())))};
}

std::optional<QString> QtUserDialogs::choose_folder(QWidget* parent, const QString& title,
                                                    const QString& folder) {
  const QString chosen =
      QFileDialog::getExistingDirectory(parent, title, QDir(folder).exists() ? folder : QString());
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
}

void QtUserDialogs::splash_delay(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

void QtUserDialogs::open_url(const QString& address) {
  QDesktopServices::openUrl(QUrl(address));
}

void QtUserDialogs::end_process(int status) {
  std::exit(status);
}

}  // namespace quarvel::ui
