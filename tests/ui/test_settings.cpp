// The settings fields: defaults, the checks on leaving a field, the rate-group
// check, the number of populations and the tournament-size coupling.
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>
#include <memory>

#include "support/TestWindow.h"
#include "ui/RadioGroup.h"
#include "ui/qtext.h"

using quarvel::runs::Setting;
using quarvel::ui::testing::TestWindow;

class SettingsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir settings_folder_;
  std::unique_ptr<TestWindow> window_;

  QLineEdit* field(const QString& name) {
    return quarvel::ui::testing::child<QLineEdit>(&window_->window, name);
  }

  void show_window() {
    window_->window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window_->window));
  }

 private slots:
  void initTestCase() { quarvel::ui::testing::prepare_application(settings_folder_); }
  void init() { window_ = std::make_unique<TestWindow>(); }
  void cleanup() { window_.reset(); }

  void fields_start_with_their_defaults_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    const QList<QPair<const char*, const char*>> defaults{{"generations_edit", "50"},
                                                          {"seed_edit", "1"},
                                                          {"value_limit_edit", "100"},
                                                          {"overlap_edit", "119"},
                                                          {"weight_edit", "0.0005"},
                                                          {"weight_error_edit", "0.0003"},
                                                          {"population_size_edit_1", "1000"},
                                                          {"terminals_edit_1", "100"},
                                                          {"tournament_size_edit_1", "6"},
                                                          {"elite_edit_1", "10"},
                                                          {"depth_new_edit_1", "6"},
                                                          {"depth_crossover_edit_1", "17"},
                                                          {"depth_mutant_edit_1", "10"},
                                                          {"crossover_function_edit_1", "0.4"},
                                                          {"crossover_any_edit_1", "0.4"},
                                                          {"copy_edit_1", "0"},
                                                          {"mutation_edit_1", "0.2"},
                                                          {"population_size_edit_2", "1000"},
                                                          {"terminals_edit_2", "100"},
                                                          {"tournament_size_edit_2", "6"},
                                                          {"elite_edit_2", "10"},
                                                          {"depth_new_edit_2", "6"},
                                                          {"depth_crossover_edit_2", "17"},
                                                          {"depth_mutant_edit_2", "10"},
                                                          {"crossover_function_edit_2", "0.4"},
                                                          {"mutation_edit_2", "0.2"},
                                                          {"population_size_edit_3", "1000"},
                                                          {"terminals_edit_3", "100"},
                                                          {"tournament_size_edit_3", "6"},
                                                          {"elite_edit_3", "10"},
                                                          {"depth_new_edit_3", "6"},
                                                          {"depth_crossover_edit_3", "17"},
                                                          {"depth_mutant_edit_3", "10"},
                                                          {"copy_edit_3", "0"},
                                                          {"population_size_edit_4", "1000"},
                                                          {"terminals_edit_4", "100"},
                                                          {"tournament_size_edit_4", "6"},
                                                          {"elite_edit_4", "10"},
                                                          {"depth_new_edit_4", "6"},
                                                          {"depth_crossover_edit_4", "17"},
                                                          {"depth_mutant_edit_4", "10"},
                                                          {"mutation_edit_4", "0.2"}};
    for (const auto& [name, text] : defaults) {
      QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(text);
    }
  }
  void fields_start_with_their_defaults() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QCOMPARE(field(name)->text(), text);
  }

  void choices_start_with_their_defaults() {
    auto& w = *window_;
    QVERIFY(w.rank_by_mdl_check()->isChecked());
    QCOMPARE(w.population_count_box()->currentText(), QStringLiteral("1"));
    QCOMPARE((w.window.populations_tab().population_count() - 1), 0);
    const auto settings = w.window.settings_texts();
    for (int page = 0; page < 4; ++page) {
      QCOMPARE(settings.text(Setting::selection, page), std::string("tournament"));
      QCOMPARE(settings.text(Setting::growth, page), std::string("grow"));
    }
    QCOMPARE(settings.text(Setting::rank_by), std::string("mdl"));
    QCOMPARE(settings.text(Setting::populations), std::string("1"));
  }

  // Typing into a field and leaving it with Tab runs that field's own check.
  void leaving_a_field_checks_it_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed");  // replaces the whole text; empty: the text is deleted
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("after");
    const QString natural = QStringLiteral("The value must be a natural number.");
    const QString not_float = QStringLiteral("The value must be a floating point number.");
    const QString not_positive = QStringLiteral("The value must be greater than 0.");
    const QString negative = QStringLiteral("The value must not be negative.");
    QTest::newRow("generation 0") << "generations_edit"
                                  << "0" << natural << "50";
    QTest::newRow("generation abc") << "generations_edit"
                                    << "abc" << natural << "50";
    QTest::newRow("generation empty") << "generations_edit"
                                      << "" << natural << "50";
    QTest::newRow("generation 3.5") << "generations_edit"
                                    << "3.5" << natural << "50";
    QTest::newRow("generation 7 passes") << "generations_edit"
                                         << "7" << QString() << "7";
    QTest::newRow("seed -1") << "seed_edit"
                             << "-1" << natural << "1";
    QTest::newRow("value limit 0") << "value_limit_edit"
                                   << "0" << natural << "100";
    QTest::newRow("overlap 0 passes") << "overlap_edit"
                                      << "0" << QString() << "0";
    QTest::newRow("overlap -1") << "overlap_edit"
                                << "-1" << natural << "119";
    QTest::newRow("population size 0") << "population_size_edit_1"
                                       << "0" << natural << "1000";
    QTest::newRow("tournament size x") << "tournament_size_edit_1"
                                       << "x" << natural << "6";
    QTest::newRow("mutant depth 0") << "depth_mutant_edit_1"
                                    << "0" << natural << "10";
    QTest::newRow("weight 0") << "weight_edit"
                              << "0" << not_positive << "0.0005";
    QTest::newRow("weight -0.1") << "weight_edit"
                                 << "-0.1" << not_positive << "0.0005";
    QTest::newRow("weight abc") << "weight_edit"
                                << "abc" << not_float << "0.0005";
    QTest::newRow("weight error 1e-3 passes") << "weight_error_edit"
                                              << "1e-3" << QString() << "1e-3";
    QTest::newRow("rate -0.1") << "crossover_function_edit_1"
                               << "-0.1" << negative << "0.4";
    QTest::newRow("rate 0 passes") << "crossover_any_edit_1"
                                   << "0" << QString() << "0";
    QTest::newRow("rate 0.0005 passes") << "copy_edit_1"
                                        << "0.0005" << QString() << "0.0005";
    QTest::newRow("rate empty") << "crossover_function_edit_1"
                                << "" << not_float << "0.4";
  }
  void leaving_a_field_checks_it() {
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, after);
    show_window();
    auto& w = *window_;
    QLineEdit* edit = field(name);
    w.window.tabs().setCurrentWidget(w.populations_tab()->isAncestorOf(edit) ? w.populations_tab()
                                                                             : w.problem_tab());
    edit->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), edit);
    edit->selectAll();
    if (typed.isEmpty()) {
      QTest::keyClick(edit, Qt::Key_Delete);
    } else {
      QTest::keyClicks(edit, typed);
    }
    QTest::keyClick(edit, Qt::Key_Tab);
    if (message.isEmpty()) {
      QTest::qWait(20);
      QCOMPARE(window_->dialogs.messages, QStringList());
      QVERIFY(QApplication::focusWidget() != edit);
    } else {
      QTRY_COMPARE(window_->dialogs.messages, QStringList{message});
      QTRY_COMPARE(QApplication::focusWidget(), edit);
    }
    QCOMPARE(edit->text(), after);
  }

  // A refused field on a page that is not in front comes to the front with its page.
  void a_refused_field_is_brought_to_the_front() {
    show_window();
    auto& w = *window_;
    w.population_count_box()->setEditText(QStringLiteral("2"));
    w.window.populations_tab().apply_population_count();
    w.window.tabs().setCurrentWidget(w.populations_tab());
    w.population_pages()->setCurrentIndex(1);
    w.field(Setting::population_size, 1)->setFocus();
    w.field(Setting::population_size, 1)->selectAll();
    QTest::keyClicks(w.field(Setting::population_size, 1), QStringLiteral("0"));
    w.window.tabs().setCurrentWidget(w.problem_tab());  // hides the field: its focus leaves
    QTRY_COMPARE(window_->dialogs.messages,
                 QStringList{QStringLiteral("The value must be a natural number.")});
    QTRY_COMPARE(QApplication::focusWidget(), w.field(Setting::population_size, 1));
    QCOMPARE(w.window.tabs().currentWidget(), w.populations_tab());
    QCOMPARE(w.population_pages()->currentIndex(), 1);
    QCOMPARE(w.field(Setting::population_size, 1)->text(), QStringLiteral("1000"));
  }

  void rate_group_check_data() {
    QTest::addColumn<QStringList>("rates");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("focus_to_first_rate");
    const QString sum = QStringLiteral("Sum of the Rate of GP Operation must be lower than 1");
    QTest::newRow("defaults") << QStringList{"0.4", "0.4", "0", "0.2"} << QString() << false;
    QTest::newRow("sum 1.0") << QStringList{"0.4", "0.4", "0.1", "0.1"} << QString() << false;
    QTest::newRow("sum 1.0009") << QStringList{"0.4", "0.4", "0.1", "0.1009"} << QString() << false;
    QTest::newRow("sum 1.2") << QStringList{"0.4", "0.4", "0.2", "0.2"} << sum << true;
    QTest::newRow("a rate not a number")
        << QStringList{"0.4", "x", "0", "0.2"}
        << QStringLiteral("Parameters must be floating point number.") << false;
  }
  void rate_group_check() {
    QFETCH(QStringList, rates);
    QFETCH(QString, message);
    QFETCH(bool, focus_to_first_rate);
    show_window();
    auto& w = *window_;
    w.window.tabs().setCurrentWidget(w.problem_tab());
    w.field(Setting::generations)->setFocus();
    const std::array<QLineEdit*, 4> fields{
        w.field(Setting::crossover_function, 0), w.field(Setting::crossover_any, 0),
        w.field(Setting::copy, 0), w.field(Setting::mutation, 0)};
    for (std::size_t index = 0; index < 4; ++index) fields[index]->setText(rates[int(index)]);
    const bool passed = w.window.field_checker().check_rate_group(w.rates_group(0));
    QCOMPARE(passed, message.isEmpty());
    QCOMPARE(window_->dialogs.messages, message.isEmpty() ? QStringList() : QStringList{message});
    if (focus_to_first_rate) {
      QTRY_COMPARE(QApplication::focusWidget(), w.field(Setting::crossover_function, 0));
    } else {
      QCOMPARE(QApplication::focusWidget(), w.field(Setting::generations));
    }
    for (std::size_t index = 0; index < 4; ++index) {
      QCOMPARE(fields[index]->text(), rates[int(index)]);  // reported, never corrected
    }
  }

  // Ctrl+S typed inside a rate field, before the field or its group has been
  // left: Start reads the rates as the runner does and refuses them, and no
  // run starts.
  void ctrl_s_inside_a_rate_field_starts_no_run_the_runner_refuses() {
    show_window();
    auto& w = *window_;
    QTemporaryDir data;
    w.load_texts(data, quarvel::ui::testing::wave_text(0, 90),
                 quarvel::ui::testing::wave_text(90, 30));
    w.field(Setting::generations)->setText(QStringLiteral("2"));
    w.window.tabs().setCurrentWidget(w.populations_tab());
    QLineEdit* copy = w.field(Setting::copy, 0);
    copy->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), copy);
    copy->selectAll();
    QTest::keyClicks(copy, QStringLiteral("0.5"));
    QTest::keyClick(copy, Qt::Key_S, Qt::ControlModifier);
    w.wait_for_run_end();

    QCOMPARE(w.dialogs.messages,
             QStringList{QStringLiteral(
                 "The \"Rate of GP Operations\" of population 1 cannot be used: Sum of the Rate "
                 "of GP Operation must be lower than 1. Please correct them and start again.")});
    QCOMPARE(w.window.last_run().number, 0);
    QVERIFY(w.window.engine().populations.empty());
  }

  // Leaving the last rate for a control outside the group: the field's own check
  // first (it passes), then the group's.
  void leaving_the_rate_group_checks_the_sum() {
    show_window();
    auto& w = *window_;
    w.window.tabs().setCurrentWidget(w.populations_tab());
    w.field(Setting::mutation, 0)->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), w.field(Setting::mutation, 0));
    w.field(Setting::mutation, 0)->selectAll();
    QTest::keyClicks(w.field(Setting::mutation, 0), QStringLiteral("0.5"));
    QTest::keyClick(w.field(Setting::mutation, 0), Qt::Key_Tab);
    QTRY_COMPARE(
        window_->dialogs.messages,
        QStringList{QStringLiteral("Sum of the Rate of GP Operation must be lower than 1")});
    QTRY_COMPARE(QApplication::focusWidget(), w.field(Setting::crossover_function, 0));
    QCOMPARE(w.field(Setting::mutation, 0)->text(), QStringLiteral("0.5"));

    // Moving inside the group does not check the sum.
    window_->dialogs.messages.clear();
    QTest::keyClick(w.field(Setting::crossover_function, 0), Qt::Key_Tab);
    QTest::qWait(20);
    QCOMPARE(QApplication::focusWidget(), w.field(Setting::crossover_any, 0));
    QCOMPARE(window_->dialogs.messages, QStringList());
  }

  void population_count_shows_pages_data() {
    QTest::addColumn<QString>("count");
    QTest::addColumn<QList<bool>>("shown");  // "No2"/"NO.2" .. "No4"/"NO.4"
    QTest::newRow("1") << "1" << QList<bool>{false, false, false};
    QTest::newRow("2") << "2" << QList<bool>{true, false, false};
    QTest::newRow("3") << "3" << QList<bool>{true, true, false};
    QTest::newRow("4") << "4" << QList<bool>{true, true, true};
    QTest::newRow("typed with blanks") << " 3" << QList<bool>{true, true, false};
  }
  void population_count_shows_pages() {
    QFETCH(QString, count);
    QFETCH(QList<bool>, shown);
    auto& w = *window_;
    w.population_count_box()->setEditText(QStringLiteral("4"));
    w.window.populations_tab().apply_population_count();
    w.population_pages()->setCurrentIndex(3);
    w.population_count_box()->setEditText(count);
    w.window.populations_tab().apply_population_count();
    for (int index = 1; index < 4; ++index) {
      QCOMPARE(w.population_pages()->isTabVisible(index), shown[index - 1]);
      QCOMPARE(w.output_tabs()->isTabVisible(index), shown[index - 1]);
    }
    QVERIFY(w.population_pages()->isTabVisible(0));
    QVERIFY(w.output_tabs()->isTabVisible(0));
    QCOMPARE(w.population_pages()->currentIndex(), 0);
    QCOMPARE((w.window.populations_tab().population_count() - 1), count.trimmed().toInt() - 1);
    QCOMPARE(window_->dialogs.messages, QStringList());
  }

  void population_count_outside_one_to_four_is_refused_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("0") << "0" << QStringLiteral("The number of populations must be 1, 2, 3 or 4.");
    QTest::newRow("5") << "5" << QStringLiteral("The number of populations must be 1, 2, 3 or 4.");
    QTest::newRow("x") << "x"
                       << QStringLiteral("The number of populations must be a whole number.");
    QTest::newRow("empty") << ""
                           << QStringLiteral("The number of populations must be a whole number.");
  }
  void population_count_outside_one_to_four_is_refused() {
    QFETCH(QString, typed);
    QFETCH(QString, message);
    auto& w = *window_;
    w.population_count_box()->setEditText(QStringLiteral("2"));
    w.window.populations_tab().apply_population_count();
    w.population_count_box()->setEditText(typed);
    w.window.populations_tab().apply_population_count();
    QCOMPARE(window_->dialogs.messages, QStringList{message});
    QCOMPARE(w.population_count_box()->currentText(), QStringLiteral("2"));
    QCOMPARE((w.window.populations_tab().population_count() - 1), 1);
    QVERIFY(w.population_pages()->isTabVisible(1));
    QVERIFY(!w.population_pages()->isTabVisible(2));
  }

  // Typed counts take effect when confirmed; a refused one is put back.
  void typed_population_count_takes_effect_on_enter() {
    show_window();
    auto& w = *window_;
    w.window.tabs().setCurrentWidget(w.populations_tab());
    QLineEdit* text = w.population_count_box()->lineEdit();
    text->setFocus();
    text->selectAll();
    QTest::keyClicks(text, QStringLiteral("3"));
    QCOMPARE((w.window.populations_tab().population_count() - 1),
             0);  // typing alone changes nothing
    QTest::keyClick(text, Qt::Key_Return);
    QCOMPARE((w.window.populations_tab().population_count() - 1), 2);
    QVERIFY(w.output_tabs()->isTabVisible(2));
    text->selectAll();
    QTest::keyClicks(text, QStringLiteral("7"));
    QTest::keyClick(text, Qt::Key_Return);
    QTRY_COMPARE(window_->dialogs.messages,
                 QStringList{QStringLiteral("The number of populations must be 1, 2, 3 or 4.")});
    QCOMPARE(w.population_count_box()->currentText(), QStringLiteral("3"));
    QCOMPARE((w.window.populations_tab().population_count() - 1), 2);
  }

  void hiding_a_page_keeps_its_fields() {
    auto& w = *window_;
    w.population_count_box()->setEditText(QStringLiteral("3"));
    w.window.populations_tab().apply_population_count();
    w.field(Setting::population_size, 2)->setText(QStringLiteral("2500"));
    w.population_count_box()->setEditText(QStringLiteral("1"));
    w.window.populations_tab().apply_population_count();
    QVERIFY(!w.population_pages()->isTabVisible(2));
    QCOMPARE(w.field(Setting::population_size, 2)->text(), QStringLiteral("2500"));
    QCOMPARE(w.window.settings_texts().text(Setting::population_size, 2), std::string("2500"));
  }

  void selection_method_couples_tournament_size() {
    auto& w = *window_;
    const std::array<QLineEdit*, 4> sizes{
        w.field(Setting::tournament_size, 0), w.field(Setting::tournament_size, 1),
        w.field(Setting::tournament_size, 2), w.field(Setting::tournament_size, 3)};
    w.selection_group(1)->button(1)->click();  // "Overselect" on "No2"
    QCOMPARE(w.selection_group(1)->item_index(), 1);
    const std::array<bool, 4> after_overselect{true, false, true, true};
    for (std::size_t page = 0; page < 4; ++page) {
      QCOMPARE(sizes[page]->isEnabled(), after_overselect[page]);
    }
    w.selection_group(3)->button(2)->click();  // "Fitness proportional" on "No4"
    QVERIFY(!w.field(Setting::tournament_size, 3)->isEnabled());
    QVERIFY(!w.field(Setting::tournament_size, 1)->isEnabled());
    w.selection_group(1)->button(0)->click();
    QVERIFY(w.field(Setting::tournament_size, 1)->isEnabled());
    QVERIFY(!w.field(Setting::tournament_size, 3)->isEnabled());
    const auto settings = w.window.settings_texts();
    QCOMPARE(settings.text(Setting::selection, 1), std::string("tournament"));
    QCOMPARE(settings.text(Setting::selection, 3), std::string("fitness"));
  }

  void growth_method_is_read_per_page() {
    auto& w = *window_;
    w.growth_group(2)->button(1)->click();  // "RAMPED" on "No3"
    const auto settings = w.window.settings_texts();
    QCOMPARE(settings.text(Setting::growth, 0), std::string("grow"));
    QCOMPARE(settings.text(Setting::growth, 2), std::string("ramped"));
  }

  // Every setting of the table has its widget in the window, made from the
  // table: a field announced by its caption (the caption's buddy, as a screen
  // reader reads it), a choice named by it, each with a tooltip that says
  // what the setting does and which values it takes.
  void every_setting_is_announced_by_its_caption_and_explained() {
    auto& w = *window_;
    QHash<QWidget*, QString> captions;
    for (auto* label : w.window.findChildren<QLabel*>()) {
      if (label->buddy() != nullptr) captions.insert(label->buddy(), label->text());
    }
    for (const auto& info : quarvel::runs::settings_table()) {
      const int pages = info.scope == quarvel::runs::Scope::population ? 4 : 1;
      for (int page = 0; page < pages; ++page) {
        const int population = info.scope == quarvel::runs::Scope::population ? page : -1;
        const QString label = quarvel::ui::to_qstring(info.label);
        QWidget* widget = nullptr;
        if (info.id == Setting::populations) {
          widget = w.population_count_box();
          QCOMPARE(captions.value(widget), label);
        } else if (info.kind != quarvel::runs::ValueKind::choice) {
          widget = w.field(info.id, population);
          QCOMPARE(captions.value(widget), label);
        } else if (info.id == Setting::rank_by) {
          widget = w.rank_by_mdl_check();
          QCOMPARE(static_cast<QCheckBox*>(widget)->text(), label);
        } else {
          widget = info.id == Setting::selection ? w.selection_group(page)
                   : info.id == Setting::growth  ? w.growth_group(page)
                                                 : w.run_choice_group(info.id);
          QCOMPARE(widget->accessibleName(), label);
        }
        // As a screen reader announces it: by its name, or (a combo box,
        // whose name is its text) by the label it is labelled by.
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        QStringList announced{accessible->text(QAccessible::Name)};
        for (const auto& [other, relation] : accessible->relations(QAccessible::Label)) {
          announced << other->text(QAccessible::Name);
        }
        QVERIFY2(announced.contains(label), qPrintable(announced.join(QLatin1Char('|'))));
        const QString range = quarvel::ui::to_qstring(info.range);
        QVERIFY2(!range.isEmpty() && widget->toolTip().contains(range) &&
                     widget->toolTip().count(range) == 1,
                 qPrintable(label + ": " + widget->toolTip()));
      }
    }
    // Every other place the user types or reads is named too: the grids, the
    // best trees' text, the population count's typing field.
    for (QWidget* widget : w.window.findChildren<QWidget*>()) {
      if (qobject_cast<QLineEdit*>(widget) == nullptr &&
          qobject_cast<QAbstractItemView*>(widget) == nullptr &&
          qobject_cast<QPlainTextEdit*>(widget) == nullptr) {
        continue;
      }
      bool in_combo_list = false;
      for (QWidget* up = widget->parentWidget(); up != nullptr; up = up->parentWidget()) {
        in_combo_list = in_combo_list || qobject_cast<QComboBox*>(up) != nullptr;
      }
      if (qobject_cast<QHeaderView*>(widget) != nullptr ||
          (qobject_cast<QAbstractItemView*>(widget) != nullptr && in_combo_list)) {
        continue;  // a grid's headings, a combo box's own list
      }
      QVERIFY2(
          !QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name).isEmpty(),
          qPrintable(widget->objectName() + QLatin1Char(' ') + widget->metaObject()->className()));
    }
  }
};

QTEST_MAIN(SettingsTest)
#include "test_settings.moc"
