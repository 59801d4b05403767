#include "ui/Application.h"

#include <QMessageBox>
#include <exception>
#include <new>

namespace quarvel::ui {

namespace {

void report(const QString& text) {
  QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), text,
                  QMessageBox::Ok);
  box.exec();
}

}  // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::bad_alloc&) {
    report(QStringLiteral("Out of memory."));
  } catch (const std::exception& error) {
    report(QString::fromLocal8Bit(error.what()));
  }
  return false;
}

}  // namespace quarvel::ui
