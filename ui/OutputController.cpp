#include "ui/OutputController.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <string>
#include <vector>

#include "forecasting/forecast.h"
#include "forecasting/intervals.h"
#include "records/modelexport.h"
#include "records/outputfile.h"
#include "ui/ChartExport.h"
#include "ui/GridModel.h"
#include "ui/ResultsView.h"
#include "ui/RunResults.h"

namespace quarvel::ui {

OutputController::OutputController(UserDialogs& dialogs, const ResultsView& results_view,
                                   const RunResults& run, WindowFiles& files, QWidget* window)
    : QObject(window),
      dialogs_(dialogs),
      results_view_(results_view),
      run_(run),
      files_(files),
      window_(window) {}

bool OutputController::is_loaded_data(const QString& path) const {
  const QString canonical = QFileInfo(path).canonicalFilePath();
  return !canonical.isEmpty() && (canonical == files_.training || canonical == files_.validation);
}

std::optional<UserDialogs::SaveChoice> OutputController::choose_file_to_write(
    const QString& suggested_name, const QStringList& filters) {
  auto choice = dialogs_.save_file(window_, files_.folder, suggested_name, filters);
  if (!choice || choice->path.isEmpty()) return std::nullopt;
  files_.folder = QDir::toNativeSeparators(QFileInfo(choice->path).absolutePath());
  return choice;
}

void OutputController::write_chosen_file(const QString& path, const QByteArray& content) {
  const QString name = QDir::toNativeSeparators(path);
  const QFileInfo target(path);
  std::optional<std::string> problem;
  if (target.isDir()) {
    problem = "it is a folder";
  } else if (is_loaded_data(path)) {
    // It may be the only copy of the series.
    problem = target.canonicalFilePath() == files_.training ? "it holds the loaded training data"
                                                            : "it holds the loaded validation data";
  } else if (target.exists() && !target.isWritable()) {
    problem = "the file is write-protected";  // replacing it would defeat the protection
  } else if (target.exists() &&
             !dialogs_.ask_yes_no(
                 window_, QApplication::applicationName(),
                 QStringLiteral("\"%1\" already exists.\nDo you want to replace it?")
                     .arg(target.fileName()))) {
    return;
  } else {
    problem = records::write_file_atomically(
        QFile::encodeName(path).toStdString(),
        std::string_view(content.constData(), static_cast<std::size_t>(content.size())));
  }
  if (problem) {
    dialogs_.message(window_, QStringLiteral("The output could not be saved to \"%1\": %2.")
                                  .arg(name, QString::fromStdString(*problem)));
  }
}

void OutputController::save_output(int population) {
  const auto p = static_cast<std::size_t>(population);
  const auto& shown = run_.last.results.populations;
  if (p >= shown.size()) {
    QString why;
    if (run_.number == 0) {
      why = QStringLiteral("There is no run yet: start a run, then save its predictions.");
    } else if (shown.empty()) {
      why = QStringLiteral(
                "Run %1 has not shown a generation yet: there are no predictions to "
                "save.")
                .arg(run_.number);
    } else {
      why = QStringLiteral(
                "Population %1 was not in the last run (run %2 of %3 population(s)): "
                "it has no predictions to save.")
                .arg(population + 1)
                .arg(run_.number)
                .arg(shown.size());
    }
    dialogs_.message(window_, why);
    return;
  }
  // The name says which run and population the file comes from.
  const auto choice = choose_file_to_write(
      QStringLiteral("run-%1-population-%2.txt").arg(run_.number).arg(population + 1),
      {QStringLiteral("Scaled values, as shown (*)"), QStringLiteral("Original units (*)")});
  if (!choice) return;
  std::string text;
  if (choice->filter == 1) {
    // From the values themselves, not from their six-digit texts.
    const records::OutputCells known = records::output_cells(
        forecasting::in_original_units(run_.scale.low, run_.scale.high, shown[p].prediction));
    text = records::output_file_text(known.index, known.value);
    if (p < run_.forecasts.size()) {
      const records::OutputCells ahead = records::output_cells(
          forecasting::in_original_units(run_.scale.low, run_.scale.high, run_.forecasts[p]),
          static_cast<std::int64_t>(known.index.size()));
      text += records::output_file_text(ahead.index, ahead.value);
    }
  } else {
    const auto& cells = results_view_.output_model(population)->columns();
    text = records::output_file_text(cells.time, cells.value);
  }
  write_chosen_file(choice->path, QByteArray::fromStdString(text));
}

void OutputController::export_models(bool running, bool with_bands) {
  if (running) {
    dialogs_.message(window_, QStringLiteral("The models can be exported once the run has ended."));
    return;
  }
  if (run_.last.models.empty()) {
    dialogs_.message(window_,
                     QStringLiteral("There is no run yet: the models are those of the last run's "
                                    "best trees. Start a run first."));
    return;
  }
  const auto folder = dialogs_.choose_folder(
      window_, QStringLiteral("Export the models of run %1 into a folder").arg(run_.number),
      files_.folder);
  if (!folder || folder->isEmpty()) return;
  files_.folder = QDir::toNativeSeparators(*folder);
  std::vector<records::OutputFile> files;
  QStringList existing;
  const auto& figures = run_.last.results.populations;
  for (std::size_t p = 0; p < run_.last.models.size(); ++p) {
    const auto population = static_cast<std::int32_t>(p);
    auto context =
        records::model_context(population, run_.settings, figures[p].best_mse, figures[p].best_mdl,
                               QFile::encodeName(run_.training_file).toStdString(),
                               QFile::encodeName(run_.validation_file).toStdString());
    // A series modelled through transforms: the files take it through them and back.
    if (run_.transformed) {
      context.transform = records::TransformExport{run_.transformed->choice.transform,
                                                   run_.transformed->low, run_.transformed->high};
    }
    // A run of a table's parts: how the runner reads and splits it the same way.
    context.settings.insert(context.settings.end(), run_.table_options.begin(),
                            run_.table_options.end());
    // The bands past the data as the window draws them.
    if (const auto& intervals = run_.forecast.intervals; with_bands && intervals) {
      context.intervals = records::IntervalExport{
          run_.training_count,
          forecasting::path_seed(run_.forecast.run.seed, run_.forecast.run.stream, population,
                                 forecasting::PathPurpose::past_data),
          intervals->levels, intervals->paths, intervals->method};
    }
    for (auto& [name, content] : records::model_files(run_.last.models[p], context)) {
      const QString path = QDir(*folder).filePath(QString::fromStdString(name));
      if (is_loaded_data(path)) {
        dialogs_.message(window_, QStringLiteral("The models were not exported: \"%1\" holds the "
                                                 "loaded data.")
                                      .arg(QDir::toNativeSeparators(path)));
        return;
      }
      if (QFileInfo::exists(path)) existing << QString::fromStdString(name);
      files.push_back({QFile::encodeName(path).toStdString(), std::move(content)});
    }
  }
  if (!existing.isEmpty() &&
      !dialogs_.ask_yes_no(
          window_, QApplication::applicationName(),
          QStringLiteral("%1 already in \"%2\".\nDo you want to replace %3?")
              .arg(existing.join(QStringLiteral(", ")), QDir::toNativeSeparators(*folder),
                   existing.size() == 1 ? QStringLiteral("it") : QStringLiteral("them")))) {
    return;
  }
  if (const auto problem = records::write_files_atomically(files)) {
    dialogs_.message(window_,
                     QStringLiteral("The models could not be exported to \"%1\": %2.")
                         .arg(QDir::toNativeSeparators(*folder), QString::fromStdString(*problem)));
    return;
  }
  const auto models = run_.last.models.size();
  emit exported(
      QStringLiteral("Exported the %1 of run %2 to \"%3\": %4 files.")
          .arg(models == 1 ? QStringLiteral("model") : QStringLiteral("%1 models").arg(models))
          .arg(run_.number)
          .arg(QDir::toNativeSeparators(*folder))
          .arg(files.size()));
}

void OutputController::export_chart(ChartView* view, const QString& suggested_name) {
  const QStringList filters = chart_format_filters();
  const auto choice = choose_file_to_write(suggested_name, filters);
  if (!choice) return;
  const ChartFormat format = chart_format_of(choice->path, choice->filter);
  QString path = choice->path;
  if (QFileInfo(path).suffix().isEmpty()) {
    static constexpr const char* kSuffixes[] = {".png", ".svg", ".csv"};
    path += QString::fromLatin1(kSuffixes[static_cast<int>(format)]);
  }
  if (has_image_size(format)) {
    const auto size = dialogs_.choose_image_size(window_, image_size_);
    if (!size) return;
    image_size_ = *size;
  }
  write_chosen_file(path, chart_file(view, format, image_size_));
}

}  // namespace quarvel::ui
