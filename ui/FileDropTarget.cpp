#include "ui/FileDropTarget.h"

#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace quarvel::ui {

FileDropTarget::FileDropTarget(QAbstractScrollArea* area) : QObject(area) {
  area->viewport()->setAcceptDrops(true);
  area->viewport()->installEventFilter(this);
}

FileDropTarget::FileDropTarget(QWidget* widget, Filter accepts)
    : QObject(widget), accepts_(std::move(accepts)) {
  widget->setAcceptDrops(true);
  widget->installEventFilter(this);
}

std::optional<QString> FileDropTarget::dropped_file(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return std::nullopt;
  const QList<QUrl> urls = data->urls();
  // Several files would each be a training series: which one the user meant
  // cannot be told, so none is taken.
  if (urls.size() != 1 || !urls.constFirst().isLocalFile()) return std::nullopt;
  QString path = urls.constFirst().toLocalFile();
  if (QFileInfo(path).isDir()) return std::nullopt;
  return path;
}

std::optional<QString> FileDropTarget::taken_file(const QMimeData* data) const {
  std::optional<QString> path = dropped_file(data);
  if (path && accepts_ && !accepts_(*path)) return std::nullopt;
  return path;
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      // The filter may read the file: once as the drag enters, not at every move.
      if (event->type() == QEvent::DragEnter)
        drag_taken_ = taken_file(drag->mimeData()).has_value();
      if (drag_taken_) {
        drag->acceptProposedAction();
      } else {
        drag->ignore();
      }
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const std::optional<QString> path = taken_file(drop->mimeData());
      if (!path) {
        drop->ignore();
        return true;
      }
      drop->acceptProposedAction();
      // Loaded once the drop has ended: a message about the file must not hold
      // the drag source waiting inside its drop.
      QMetaObject::invokeMethod(
          this, [this, dropped = *path] { emit file_dropped(dropped); }, Qt::QueuedConnection);
      return true;
    }
    default:
      return QObject::eventFilter(watched, event);
  }
}

}  // namespace quarvel::ui
