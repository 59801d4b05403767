#include "ui/QtUserDialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFormLayout>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>
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

std::optional<QString> QtUserDialogs::open_file(QWidget* parent, const QString& folder,
                                                const QStringList& filters) {
  // No default extension and no title of its own, and for a data file no
  // filter; a name that does not exist yet may be typed. The output save has
  // its own variant below.
  // A remembered folder that no longer exists (or the first start's default on a
  // system without drive letters) is not offered: the dialog would take it for a file name.
  QFileDialog dialog(parent, QString(), QDir(folder).exists() ? folder : QString());
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
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

std::optional<UserDialogs::ImageSize> QtUserDialogs::choose_image_size(QWidget* parent,
                                                                       const ImageSize& suggested) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QStringLiteral("Picture size"));
  const auto add_box = [&dialog](int value, int lowest, int highest, const QString& suffix) {
    auto* box = new QSpinBox(&dialog);
    box->setRange(lowest, highest);
    box->setValue(std::clamp(value, lowest, highest));
    box->setSuffix(suffix);
    box->setAccelerated(true);
    return box;
  };
  QSpinBox* width = add_box(suggested.width, ImageSize::smallest_side, ImageSize::largest_side,
                            QStringLiteral(" px"));
  QSpinBox* height = add_box(suggested.height, ImageSize::smallest_side, ImageSize::largest_side,
                             QStringLiteral(" px"));
  QSpinBox* resolution = add_box(suggested.dots_per_inch, ImageSize::lowest_resolution,
                                 ImageSize::highest_resolution, QStringLiteral(" dpi"));
  // What the numbers mean on paper: the texts keep their size on screen
  // relative to the printed picture.
  auto* printed = new QLabel(&dialog);
  const auto show_printed_size = [=] {
    const double inches_wide = width->value() / static_cast<double>(resolution->value());
    const double inches_high = height->value() / static_cast<double>(resolution->value());
    printed->setText(QStringLiteral("Printed at this resolution: %1 \u00D7 %2 cm")
                         .arg(inches_wide * 2.54, 0, 'f', 1)
                         .arg(inches_high * 2.54, 0, 'f', 1));
  };
  show_printed_size();
  for (QSpinBox* box : {width, height, resolution}) {
    QObject::connect(box, &QSpinBox::valueChanged, &dialog, show_printed_size);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* form = new QFormLayout(&dialog);
  form->addRow(QStringLiteral("&Width:"), width);
  form->addRow(QStringLiteral("&Height:"), height);
  form->addRow(QStringLiteral("&Resolution:"), resolution);
  form->addRow(printed);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return ImageSize{width->value(), height->value(), resolution->value()};
}

std::optional<int> QtUserDialogs::ask_count(QWidget* parent, const QString& title,
                                            const QString& label, int suggested, int lowest,
                                            int highest) {
  bool accepted = false;
  const int count =
      QInputDialog::getInt(parent, title, label, suggested, lowest, highest, 1, &accepted);
  if (!accepted) return std::nullopt;
  return count;
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
