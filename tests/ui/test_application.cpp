// An error escaping an event handler is shown in a box and the program goes on.
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <stdexcept>

#include "ui/Application.h"

namespace {

class ThrowingObject final : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) throw std::runtime_error("disk on fire");
    return QObject::event(event);
  }
};

}  // namespace

class ApplicationTest : public QObject {
  Q_OBJECT

 private slots:
  void an_escaped_error_is_shown_and_the_program_goes_on() {
    QString shown_text;
    QString shown_caption;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      shown_text = box->text();
      shown_caption = box->windowTitle();
      box->accept();
    });
    ThrowingObject target;
    QEvent event(QEvent::User);
    QVERIFY(!QCoreApplication::sendEvent(&target, &event));
    QCOMPARE(shown_text, QStringLiteral("disk on fire"));
    QCOMPARE(shown_caption, QStringLiteral("Quarvel ver0.0"));

    // Still dispatching events afterwards.
    bool delivered = false;
    QTimer::singleShot(0, [&] { delivered = true; });
    QTRY_VERIFY(delivered);
  }
};

int main(int argc, char* argv[]) {
  quarvel::ui::Application application(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Quarvel ver0.0"));
  ApplicationTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_application.moc"
