// Lets a scroll area (a grid) or a window take one local file dropped on it.
// The drop is offered as the file's path and goes no further: the view's own
// drag and drop never sees it.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QAbstractScrollArea;
class QMimeData;

namespace quarvel::ui {

class FileDropTarget final : public QObject {
  Q_OBJECT

 public:
  // Which of the files dragged over it the target takes.
  using Filter = std::function<bool(const QString& path)>;

  // Watches the viewport of `area`, where a scroll area's drops arrive, and
  // takes any file; owned by `area`.
  explicit FileDropTarget(QAbstractScrollArea* area);
  // Watches `widget` itself (a window: the drops on its parts that take none
  // of their own) and takes the files that `accepts` approves of; owned by
  // `widget`.
  FileDropTarget(QWidget* widget, Filter accepts);

  // The path of what a drag carries when it is one local file, not a folder.
  [[nodiscard]] static std::optional<QString> dropped_file(const QMimeData* data);

 signals:
  void file_dropped(const QString& path);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The file a drag carries when the target takes it.
  [[nodiscard]] std::optional<QString> taken_file(const QMimeData* data) const;

  Filter accepts_;
  bool drag_taken_ = false;  // whether the drag under way carries a file the target takes
};

}  // namespace quarvel::ui
