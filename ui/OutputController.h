// What the window writes of a run: a population's predictions (Save), the
// models of its best trees (File > Export models) and any chart (File >
// Export chart). Everything comes from the run's own results, never from the
// engine or the window's current settings, and no file is written over a
// loaded data file or replaced without asking.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

#include "ui/UserDialogs.h"

class QWidget;

namespace quarvel::ui {

class ChartView;
class ResultsView;
struct RunResults;

// The files the window's dialogs deal with: the folder they open in (that of
// the file chosen last) and the loaded data files, never to be written over.
struct WindowFiles {
  QString folder;
  QString training;  // canonical paths; empty when nothing is loaded
  QString validation;
};

class OutputController final : public QObject {
  Q_OBJECT

 public:
  // `run` is the window's last run, `files` its files; both outlive this.
  OutputController(UserDialogs& dialogs, const ResultsView& results_view, const RunResults& run,
                   WindowFiles& files, QWidget* window);

  // The predictions of `population` (0-based) as its output grid shows them,
  // or in the series' own units from the values themselves.
  void save_output(int population);
  // The model files of every population of the last run into a chosen folder,
  // the Python module with forecast_intervals when `with_bands`.
  // `running`: a run is in progress, whose models are not final.
  void export_models(bool running, bool with_bands);
  // A chart as a file; a picture at the size the user chooses, offered the
  // size chosen last.
  void export_chart(ChartView* view, const QString& suggested_name);
  [[nodiscard]] const UserDialogs::ImageSize& image_size() const noexcept { return image_size_; }
  void set_image_size(const UserDialogs::ImageSize& size) { image_size_ = size; }

 signals:
  // What was written where, for the status bar.
  void exported(const QString& confirmation);

 private:
  // The save dialog for a file to write; nothing when the user cancels.
  [[nodiscard]] std::optional<UserDialogs::SaveChoice> choose_file_to_write(
      const QString& suggested_name, const QStringList& filters);
  // Writes `content` to `path` completely or not at all; tells the user why not.
  void write_chosen_file(const QString& path, const QByteArray& content);
  [[nodiscard]] bool is_loaded_data(const QString& path) const;

  UserDialogs& dialogs_;
  const ResultsView& results_view_;
  const RunResults& run_;
  WindowFiles& files_;
  QWidget* window_;
  UserDialogs::ImageSize image_size_;
};

}  // namespace quarvel::ui
