// A data file opened without the load dialog: named on the window's command
// line or dropped on the training grid, it is loaded as the training series
// exactly as the dialog's choice would be, messages and remembered folder included.
#include <QDir>
#include <QMimeData>
#include <QRegularExpression>
#include <QTableView>
#include <QUrl>
#include <QtTest>
#include <memory>

#include "support/TestWindow.h"
#include "ui/GridModel.h"
#include "ui/WindowArguments.h"

using quarvel::ui::GridModel;
using quarvel::ui::WindowArguments;
using quarvel::ui::testing::column;
using quarvel::ui::testing::TestWindow;
using quarvel::ui::testing::write_file;

namespace {

enum class Way { dialog, command_line, drop };

// Drags `data` onto the training grid and drops it there; whether the grid
// took the drag.
bool drop_on_training_grid(const TestWindow& w, const QMimeData& data) {
  return quarvel::ui::testing::drop_on(w.training_grid()->viewport(), data);
}

QMimeData* files(const QList<QUrl>& urls) {
  auto* data = new QMimeData;
  data->setUrls(urls);
  return data;
}

// What a training load left in a fresh window.
struct LoadResult {
  bool loaded = false;
  QStringList times;
  QStringList values;
  QStringList messages;
  int dialogs_opened = 0;
  QString remembered_folder;
};

LoadResult load_training(Way way, const QString& path) {
  TestWindow w;
  switch (way) {
    case Way::dialog:
      w.dialogs.file_answers.push_back(path);
      w.window.load_training_series();
      break;
    case Way::command_line:
      w.window.load_training_file(WindowArguments({"quarvel", path}).training_file());
      break;
    case Way::drop: {
      const std::unique_ptr<QMimeData> data(files({QUrl::fromLocalFile(path)}));
      if (!drop_on_training_grid(w, *data)) qWarning("the drop was refused");
      // The load follows the drop once the drop has ended.
      if (!QTest::qWaitFor([&w] {
            return w.window.problem_tab().training_loaded() || !w.dialogs.messages.isEmpty();
          })) {
        qWarning("nothing came of the drop");
      }
      break;
    }
  }
  return {w.window.problem_tab().training_loaded(),
          column(w.training_model(), 0),
          column(w.training_model(), 1),
          w.dialogs.messages,
          static_cast<int>(w.dialogs.dialog_folders.size()),
          w.window.remembered_folder()};
}

}  // namespace

class OpeningTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir settings_folder_;
  QTemporaryDir data_folder_;

 private slots:
  void initTestCase() { quarvel::ui::testing::prepare_application(settings_folder_); }

  void command_line_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("request");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("text");  // a pattern of the printed text
    using Request = WindowArguments::Request;
    const auto row = [](const char* name, const QStringList& arguments, Request request,
                        const QString& file, const QString& text) {
      QTest::newRow(name) << arguments << static_cast<int>(request) << file << text;
    };
    row("nothing", {"quarvel"}, Request::window, "", "^$");
    row("a file", {"quarvel", "sun spots.txt"}, Request::window, "sun spots.txt", "^$");
    row("a file after --", {"quarvel", "--", "-odd.txt"}, Request::window, "-odd.txt", "^$");
    row("--help after -- is a file", {"quarvel", "--", "--help"}, Request::window, "--help", "^$");
    row("- is a file", {"quarvel", "-"}, Request::window, "-", "^$");
    row("--help", {"quarvel", "--help"}, Request::help, "", "^Usage: quarvel \\[Qt options\\]");
    row("-h wins over a file", {"quarvel", "a.txt", "-h"}, Request::help, "", "^Usage: ");
    row("--version", {"quarvel", "--version"}, Request::version, "",
        "^quarvel \\d+\\.\\d+\\.\\d+\\n$");
    row("--version wins over a bad option", {"quarvel", "-x", "--version"}, Request::version, "",
        "^quarvel \\d");
    row("unknown option", {"quarvel", "--training", "a.txt"}, Request::refused, "",
        "^quarvel: unknown option --training \\(see --help\\)\\n$");
    row("two files", {"quarvel", "a.txt", "b.txt"}, Request::refused, "",
        "^quarvel: give one data file, not \"a.txt\" and \"b.txt\"");
  }
  void command_line() {
    QFETCH(QStringList, arguments);
    QFETCH(int, request);
    QFETCH(QString, file);
    QFETCH(QString, text);
    const WindowArguments parsed(arguments);
    QCOMPARE(static_cast<int>(parsed.request()), request);
    QCOMPARE(parsed.training_file(), file);
    QVERIFY2(QRegularExpression(text).match(parsed.text()).hasMatch(), qPrintable(parsed.text()));
  }

  // Every way loads what the dialog loads and says what it says.
  void loads_as_the_dialog_does_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<int>("messages");
    QTest::newRow("plain") << write_file(data_folder_, "plain.txt", "1.5\n2\n3\n") << true
                           << QStringList{"1.5", "2", "3"} << 0;
    QTest::newRow("a line read in part")
        << write_file(data_folder_, "part.txt", "4\nabc\n") << true << QStringList{"4", "0"} << 1;
    QTest::newRow("binary") << write_file(data_folder_, "binary.dat", QByteArray("1\n\0\n", 4))
                            << false << QStringList(5, QString()) << 1;
    QTest::newRow("missing") << data_folder_.filePath("missing.txt") << false
                             << QStringList(5, QString()) << 1;
  }
  void loads_as_the_dialog_does() {
    QFETCH(QString, path);
    QFETCH(bool, loaded);
    QFETCH(QStringList, values);
    QFETCH(int, messages);
    const LoadResult chosen = load_training(Way::dialog, path);
    QCOMPARE(chosen.loaded, loaded);
    QCOMPARE(chosen.values, values);
    QCOMPARE(chosen.messages.size(), messages);
    QCOMPARE(chosen.remembered_folder, QDir::toNativeSeparators(data_folder_.path()));
    for (const Way way : {Way::command_line, Way::drop}) {
      const LoadResult opened = load_training(way, path);
      QCOMPARE(opened.loaded, chosen.loaded);
      QCOMPARE(opened.times, chosen.times);
      QCOMPARE(opened.values, chosen.values);
      QCOMPARE(opened.messages, chosen.messages);
      QCOMPARE(opened.remembered_folder, chosen.remembered_folder);
      QCOMPARE(opened.dialogs_opened, 0);
    }
  }

  // A file named relative to the folder the program was started in.
  void command_line_file_relative_to_the_working_folder() {
    write_file(data_folder_, "relative.txt", "7\n8\n");
    const QString started_in = QDir::currentPath();
    QVERIFY(QDir::setCurrent(data_folder_.path()));
    const LoadResult opened = load_training(Way::command_line, QStringLiteral("relative.txt"));
    QVERIFY(QDir::setCurrent(started_in));
    QCOMPARE(opened.values, (QStringList{"7", "8"}));
    QCOMPARE(opened.remembered_folder, QDir::toNativeSeparators(data_folder_.path()));
  }

  void drops_that_are_not_one_file_are_refused_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("two files") << "two files";
    QTest::newRow("a folder") << "folder";
    QTest::newRow("text") << "text";
    QTest::newRow("a remote file") << "remote";
  }
  void drops_that_are_not_one_file_are_refused() {
    QFETCH(QString, kind);
    const QString a = write_file(data_folder_, "a.txt", "1\n2\n");
    const QString b = write_file(data_folder_, "b.txt", "3\n4\n");
    std::unique_ptr<QMimeData> data;
    if (kind == "two files") {
      data.reset(files({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)}));
    } else if (kind == "folder") {
      data.reset(files({QUrl::fromLocalFile(data_folder_.path())}));
    } else if (kind == "text") {
      data = std::make_unique<QMimeData>();
      data->setText(a);
    } else {
      data.reset(files({QUrl(QStringLiteral("https://www.venko.example/series.txt"))}));
    }
    TestWindow w;
    QVERIFY(!drop_on_training_grid(w, *data));
    QCoreApplication::processEvents();
    QVERIFY(!w.window.problem_tab().training_loaded());
    QCOMPARE(w.dialogs.messages, QStringList());
  }
};

QTEST_MAIN(OpeningTest)
#include "test_opening.moc"
