// The settings fields: defaults, the checks on leaving a field, the rate-group
// check, the number of populations and the tournament-size coupling.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>
#include <memory>

#include "FakeDialogs.h"
#include "RadioGroup.h"

using quarvel::FITNESSPROP;
using quarvel::GROW;
using quarvel::RAMPED;
using quarvel::TOURNAMENT;
using quarvel::ui::testing::Form;

class SettingsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir settings_folder_;
  std::unique_ptr<Form> form_;

  QLineEdit* field(const char* name) {
    auto* found = form_->form1.findChild<QLineEdit*>(QString::fromLatin1(name));
    if (found == nullptr) qFatal("no field %s", name);
    return found;
  }

  void show_form() {
    form_->form1.show();
    QVERIFY(QTest::qWaitForWindowActive(&form_->form1));
  }

 private slots:
  void initTestCase() { quarvel::ui::testing::prepare_application(settings_folder_); }
  void init() { form_ = std::make_unique<Form>(); }
  void cleanup() { form_.reset(); }

  void fields_start_with_their_defaults_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    const QList<QPair<const char*, const char*>> defaults{
        {"Edit2", "50"},      {"Edit30", "1"},      {"Edit31", "100"},  {"Edit32", "119"},
        {"Edit56", "0.0005"}, {"Edit57", "0.0003"}, {"Edit1", "1000"},  {"Edit4", "100"},
        {"Edit3", "6"},       {"Edit7", "10"},      {"Edit13", "6"},    {"Edit14", "17"},
        {"Edit58", "10"},     {"Edit33", "0.4"},    {"Edit34", "0.4"},  {"Edit35", "0"},
        {"Edit36", "0.2"},    {"Edit12", "1000"},   {"Edit16", "100"},  {"Edit10", "6"},
        {"Edit11", "10"},     {"Edit6", "6"},       {"Edit8", "17"},    {"Edit9", "10"},
        {"Edit37", "0.4"},    {"Edit40", "0.2"},    {"Edit17", "1000"}, {"Edit15", "100"},
        {"Edit18", "6"},      {"Edit19", "10"},     {"Edit20", "6"},    {"Edit21", "17"},
        {"Edit22", "10"},     {"Edit43", "0"},      {"Edit24", "1000"}, {"Edit23", "100"},
        {"Edit25", "6"},      {"Edit26", "10"},     {"Edit27", "6"},    {"Edit28", "17"},
        {"Edit29", "10"},     {"Edit48", "0.2"}};
    for (const auto& [name, text] : defaults) {
      QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(text);
    }
  }
  void fields_start_with_their_defaults() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QCOMPARE(field(name.toLatin1().constData())->text(), text);
  }

  void choices_start_with_their_defaults() {
    auto& form = form_->form1;
    QVERIFY(form.CheckBox15->isChecked());
    QCOMPARE(form.ComboBox1->currentText(), QStringLiteral("1"));
    QCOMPARE(form.PopulationCountIndex, 0);
    const auto settings = form.settings_texts();
    for (const auto& page : settings.populations) {
      QCOMPARE(page.selection_method, TOURNAMENT);
      QCOMPARE(page.grow_method, GROW);
    }
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
    QTest::newRow("generation 0") << "Edit2"
                                  << "0" << natural << "50";
    QTest::newRow("generation abc") << "Edit2"
                                    << "abc" << natural << "50";
    QTest::newRow("generation empty") << "Edit2"
                                      << "" << natural << "50";
    QTest::newRow("generation 3.5") << "Edit2"
                                    << "3.5" << natural << "50";
    QTest::newRow("generation 7 passes") << "Edit2"
                                         << "7" << QString() << "7";
    QTest::newRow("seed -1") << "Edit30"
                             << "-1" << natural << "1";
    QTest::newRow("value limit 0") << "Edit31"
                                   << "0" << natural << "100";
    QTest::newRow("overlap 0 passes") << "Edit32"
                                      << "0" << QString() << "0";
    QTest::newRow("overlap -1") << "Edit32"
                                << "-1" << natural << "119";
    QTest::newRow("population size 0") << "Edit1"
                                       << "0" << natural << "1000";
    QTest::newRow("tournament size x") << "Edit3"
                                       << "x" << natural << "6";
    QTest::newRow("mutant depth 0") << "Edit58"
                                    << "0" << natural << "10";
    QTest::newRow("weight 0") << "Edit56"
                              << "0" << not_positive << "0.0005";
    QTest::newRow("weight -0.1") << "Edit56"
                                 << "-0.1" << not_positive << "0.0005";
    QTest::newRow("weight abc") << "Edit56"
                                << "abc" << not_float << "0.0005";
    QTest::newRow("weight error 1e-3 passes") << "Edit57"
                                              << "1e-3" << QString() << "1e-3";
    QTest::newRow("rate -0.1") << "Edit33"
                               << "-0.1" << negative << "0.4";
    QTest::newRow("rate 0 passes") << "Edit34"
                                   << "0" << QString() << "0";
    QTest::newRow("rate 0.0005 passes") << "Edit35"
                                        << "0.0005" << QString() << "0.0005";
    QTest::newRow("rate empty") << "Edit33"
                                << "" << not_float << "0.4";
  }
  void leaving_a_field_checks_it() {
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, after);
    show_form();
    auto& form = form_->form1;
    QLineEdit* edit = field(name.toLatin1().constData());
    form.PageControl1->setCurrentWidget(
        edit->window() == &form && form.TabSheet3->isAncestorOf(edit) ? form.TabSheet3
                                                                      : form.TabSheet1);
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
      QCOMPARE(form_->dialogs.messages, QStringList());
      QVERIFY(QApplication::focusWidget() != edit);
    } else {
      QTRY_COMPARE(form_->dialogs.messages, QStringList{message});
      QTRY_COMPARE(QApplication::focusWidget(), edit);
    }
    QCOMPARE(edit->text(), after);
  }

  // A refused field on a page that is not in front comes to the front with its page.
  void a_refused_field_is_brought_to_the_front() {
    show_form();
    auto& form = form_->form1;
    form.ComboBox1->setEditText(QStringLiteral("2"));
    form.ComboBox1Change();
    form.PageControl1->setCurrentWidget(form.TabSheet3);
    form.PageControl2->setCurrentIndex(1);
    form.Edit12->setFocus();
    form.Edit12->selectAll();
    QTest::keyClicks(form.Edit12, QStringLiteral("0"));
    form.PageControl1->setCurrentWidget(form.TabSheet1);  // hides the field: its focus leaves
    QTRY_COMPARE(form_->dialogs.messages,
                 QStringList{QStringLiteral("The value must be a natural number.")});
    QTRY_COMPARE(QApplication::focusWidget(), form.Edit12);
    QCOMPARE(form.PageControl1->currentWidget(), form.TabSheet3);
    QCOMPARE(form.PageControl2->currentIndex(), 1);
    QCOMPARE(form.Edit12->text(), QStringLiteral("1000"));
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
    show_form();
    auto& form = form_->form1;
    form.PageControl1->setCurrentWidget(form.TabSheet1);
    form.Edit2->setFocus();
    const std::array<QLineEdit*, 4> fields{form.Edit33, form.Edit34, form.Edit35, form.Edit36};
    for (std::size_t index = 0; index < 4; ++index) fields[index]->setText(rates[int(index)]);
    const bool passed = form.GroupBox12Exit(form.GroupBox12);
    QCOMPARE(passed, message.isEmpty());
    QCOMPARE(form_->dialogs.messages, message.isEmpty() ? QStringList() : QStringList{message});
    if (focus_to_first_rate) {
      QTRY_COMPARE(QApplication::focusWidget(), form.Edit33);
    } else {
      QCOMPARE(QApplication::focusWidget(), form.Edit2);
    }
    for (std::size_t index = 0; index < 4; ++index) {
      QCOMPARE(fields[index]->text(), rates[int(index)]);  // reported, never corrected
    }
  }

  // Leaving the last rate for a control outside the group: the field's own check
  // first (it passes), then the group's.
  void leaving_the_rate_group_checks_the_sum() {
    show_form();
    auto& form = form_->form1;
    form.PageControl1->setCurrentWidget(form.TabSheet3);
    form.Edit36->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), form.Edit36);
    form.Edit36->selectAll();
    QTest::keyClicks(form.Edit36, QStringLiteral("0.5"));
    QTest::keyClick(form.Edit36, Qt::Key_Tab);
    QTRY_COMPARE(
        form_->dialogs.messages,
        QStringList{QStringLiteral("Sum of the Rate of GP Operation must be lower than 1")});
    QTRY_COMPARE(QApplication::focusWidget(), form.Edit33);
    QCOMPARE(form.Edit36->text(), QStringLiteral("0.5"));

    // Moving inside the group does not check the sum.
    form_->dialogs.messages.clear();
    QTest::keyClick(form.Edit33, Qt::Key_Tab);
    QTest::qWait(20);
    QCOMPARE(QApplication::focusWidget(), form.Edit34);
    QCOMPARE(form_->dialogs.messages, QStringList());
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
    auto& form = form_->form1;
    form.ComboBox1->setEditText(QStringLiteral("4"));
    form.ComboBox1Change();
    form.PageControl2->setCurrentIndex(3);
    form.ComboBox1->setEditText(count);
    form.ComboBox1Change();
    for (int index = 1; index < 4; ++index) {
      QCOMPARE(form.PageControl2->isTabVisible(index), shown[index - 1]);
      QCOMPARE(form.PageControl3->isTabVisible(index), shown[index - 1]);
    }
    QVERIFY(form.PageControl2->isTabVisible(0));
    QVERIFY(form.PageControl3->isTabVisible(0));
    QCOMPARE(form.PageControl2->currentIndex(), 0);
    QCOMPARE(form.PopulationCountIndex, count.trimmed().toInt() - 1);
    QCOMPARE(form_->dialogs.messages, QStringList());
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
    auto& form = form_->form1;
    form.ComboBox1->setEditText(QStringLiteral("2"));
    form.ComboBox1Change();
    form.ComboBox1->setEditText(typed);
    form.ComboBox1Change();
    QCOMPARE(form_->dialogs.messages, QStringList{message});
    QCOMPARE(form.ComboBox1->currentText(), QStringLiteral("2"));
    QCOMPARE(form.PopulationCountIndex, 1);
    QVERIFY(form.PageControl2->isTabVisible(1));
    QVERIFY(!form.PageControl2->isTabVisible(2));
  }

  // Typed counts take effect when confirmed; a refused one is put back.
  void typed_population_count_takes_effect_on_enter() {
    show_form();
    auto& form = form_->form1;
    form.PageControl1->setCurrentWidget(form.TabSheet3);
    QLineEdit* text = form.ComboBox1->lineEdit();
    text->setFocus();
    text->selectAll();
    QTest::keyClicks(text, QStringLiteral("3"));
    QCOMPARE(form.PopulationCountIndex, 0);  // typing alone changes nothing
    QTest::keyClick(text, Qt::Key_Return);
    QCOMPARE(form.PopulationCountIndex, 2);
    QVERIFY(form.PageControl3->isTabVisible(2));
    text->selectAll();
    QTest::keyClicks(text, QStringLiteral("7"));
    QTest::keyClick(text, Qt::Key_Return);
    QTRY_COMPARE(form_->dialogs.messages,
                 QStringList{QStringLiteral("The number of populations must be 1, 2, 3 or 4.")});
    QCOMPARE(form.ComboBox1->currentText(), QStringLiteral("3"));
    QCOMPARE(form.PopulationCountIndex, 2);
  }

  void hiding_a_page_keeps_its_fields() {
    auto& form = form_->form1;
    form.ComboBox1->setEditText(QStringLiteral("3"));
    form.ComboBox1Change();
    form.Edit17->setText(QStringLiteral("2500"));
    form.ComboBox1->setEditText(QStringLiteral("1"));
    form.ComboBox1Change();
    QVERIFY(!form.PageControl2->isTabVisible(2));
    QCOMPARE(form.Edit17->text(), QStringLiteral("2500"));
    QCOMPARE(form.settings_texts().populations[2].population_size, std::string("2500"));
  }

  void selection_method_couples_tournament_size() {
    auto& form = form_->form1;
    const std::array<QLineEdit*, 4> sizes{form.Edit3, form.Edit10, form.Edit18, form.Edit25};
    form.RadioGroup2->button(1)->click();  // "Overselect" on "No2"
    QCOMPARE(form.RadioGroup2->itemIndex(), 1);
    const std::array<bool, 4> after_overselect{true, false, true, true};
    for (std::size_t page = 0; page < 4; ++page) {
      QCOMPARE(sizes[page]->isEnabled(), after_overselect[page]);
    }
    form.RadioGroup8->button(2)->click();  // "Fitness proportional" on "No4"
    QVERIFY(!form.Edit25->isEnabled());
    QVERIFY(!form.Edit10->isEnabled());
    form.RadioGroup2->button(0)->click();
    QVERIFY(form.Edit10->isEnabled());
    QVERIFY(!form.Edit25->isEnabled());
    const auto settings = form.settings_texts();
    QCOMPARE(settings.populations[1].selection_method, TOURNAMENT);
    QCOMPARE(settings.populations[3].selection_method, FITNESSPROP);
  }

  void growth_method_is_read_per_page() {
    auto& form = form_->form1;
    form.RadioGroup3->button(1)->click();  // "RAMPED" on "No3"
    const auto settings = form.settings_texts();
    QCOMPARE(settings.populations[0].grow_method, GROW);
    QCOMPARE(settings.populations[2].grow_method, RAMPED);
  }
};

QTEST_MAIN(SettingsTest)
#include "test_settings.moc"
