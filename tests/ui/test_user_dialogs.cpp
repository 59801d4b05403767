// The real boxes behind UserDialogs, answered by the test as a user would.
#include <QAccessible>
#include <QApplication>
#include <QInputDialog>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>
#include <optional>

#include "ui/QtUserDialogs.h"

class UserDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  // The count box: its field named by its label for a screen reader, bounded
  // as asked, the typed number back on OK and nothing on Cancel.
  void a_count_is_asked_in_a_named_field_data() {
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<std::optional<int>>("answer");
    QTest::newRow("OK") << true << std::optional<int>(7);
    QTest::newRow("Cancel") << false << std::optional<int>();
  }
  void a_count_is_asked_in_a_named_field() {
    QFETCH(bool, accepted);
    QFETCH(std::optional<int>, answer);
    QString name;
    int highest = 0;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      auto* field = box->findChild<QSpinBox*>();
      QVERIFY(field != nullptr);
      name = QAccessible::queryAccessibleInterface(field)->text(QAccessible::Name);
      highest = field->maximum();
      field->setValue(7);
      if (accepted) {
        box->accept();
      } else {
        box->reject();
      }
    });
    quarvel::ui::QtUserDialogs dialogs;
    const std::optional<int> count = dialogs.ask_count(
        nullptr, QStringLiteral("Start many runs"), QStringLiteral("Number of runs:"), 10, 1, 500);
    QCOMPARE(name, QStringLiteral("Number of runs:"));
    QCOMPARE(highest, 500);
    QCOMPARE(count, answer);
  }
};

QTEST_MAIN(UserDialogsTest)
#include "test_user_dialogs.moc"
