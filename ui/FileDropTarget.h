// Lets a scroll area (a grid) take one local file dropped on it. The drop is
// offered as the file's path and goes no further: the view's own drag and drop
// never sees it.
#pragma once

#include <QObject>
#include <QString>
#include <optional>

class QAbstractScrollArea;
class QMimeData;

namespace quarvel::ui {

class FileDropTarget final : public QObject {
  Q_OBJECT

 public:
  // Watches the viewport of `area`, where a scroll area's drops arrive; owned by `area`.
  explicit FileDropTarget(QAbstractScrollArea* area);

  // The path of what a drag carries when it is one local file, not a folder.
  [[nodiscard]] static std::optional<QString> dropped_file(const QMimeData* data);

 signals:
  void file_dropped(const QString& path);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace quarvel::ui
