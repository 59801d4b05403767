#include "ui/PopulationPage.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <algorithm>

#include "ui/FieldChecker.h"
#include "ui/RadioGroup.h"
#include "ui/qtext.h"
#include "ui/style.h"

namespace quarvel::ui {

namespace {

using frontend::Setting;

void add_label(QWidget* parent, Setting id, int left, int top) {
  auto* label = new QLabel(to_qstring(frontend::setting_info(id).label), parent);
  label->move(left, top);
  label->adjustSize();
}

QGroupBox* add_group(QWidget* parent, const QString& title, const QRect& geometry) {
  auto* group = new QGroupBox(title, parent);
  group->setGeometry(geometry);
  return group;
}

// The captions of a choice, in the order of its engine codes.
QStringList captions_of(Setting id) {
  QStringList captions;
  for (const frontend::Choice& choice : frontend::setting_info(id).choices) {
    captions << to_qstring(choice.caption);
  }
  return captions;
}

int default_choice(Setting id) {
  const frontend::SettingInfo& info = frontend::setting_info(id);
  const auto found = std::find_if(
      info.choices.begin(), info.choices.end(),
      [&info](const frontend::Choice& choice) { return choice.word == info.default_text; });
  return static_cast<int>(found - info.choices.begin());
}

std::string word_of(Setting id, int item) {
  const auto choices = frontend::setting_info(id).choices;
  const auto index =
      static_cast<std::size_t>(std::clamp(item, 0, static_cast<int>(choices.size()) - 1));
  return std::string(choices[index].word);
}

}  // namespace

PopulationPage::PopulationPage(int index, FieldChecker& checker, QWidget* parent)
    : QWidget(parent), index_(index) {
  setObjectName(QStringLiteral("population_page_%1").arg(index + 1));
  const auto field = [&](Setting id, QWidget* on, const QRect& geometry) {
    return checker.add_field(id, on, geometry, index);
  };

  auto* square = new QFrame(this);
  square->setObjectName(QStringLiteral("colour_square_%1").arg(index + 1));
  square->setGeometry(24, 32, 33, 33);
  square->setAutoFillBackground(true);
  QPalette square_palette = square->palette();
  square_palette.setColor(QPalette::Window, population_colour(index));
  square->setPalette(square_palette);

  add_label(this, Setting::population_size, 83, 32);
  population_size_edit_ = field(Setting::population_size, this, QRect(184, 24, 65, 0));
  add_label(this, Setting::terminals, 80, 56);
  terminals_edit_ = field(Setting::terminals, this, QRect(184, 56, 65, 0));

  auto* selection = add_group(this, to_qstring(frontend::setting_info(Setting::selection).label),
                              QRect(16, 88, 177, 193));
  selection_group_ = new RadioGroup(QString(), captions_of(Setting::selection),
                                    QRect(10, 14, 143, 107), selection);
  selection_group_->setObjectName(QStringLiteral("selection_group_%1").arg(index + 1));
  selection_group_->set_item_index(default_choice(Setting::selection));
  connect(selection_group_, &RadioGroup::clicked, this, &PopulationPage::couple_tournament_size);
  add_label(selection, Setting::tournament_size, 16, 136);
  tournament_size_edit_ = field(Setting::tournament_size, selection, QRect(112, 133, 33, 0));
  // A disabled tournament-size field shows the button face.
  QPalette tournament_palette = tournament_size_edit_->palette();
  tournament_palette.setColor(QPalette::Disabled, QPalette::Base,
                              palette().color(QPalette::Active, QPalette::Button));
  tournament_size_edit_->setPalette(tournament_palette);
  add_label(selection, Setting::elite, 17, 167);
  elite_edit_ = field(Setting::elite, selection, QRect(112, 162, 33, 0));

  auto* depth =
      add_group(this, QStringLiteral("Depth of Tree"), QRect(296, 8, index == 0 ? 241 : 249, 105));
  add_label(depth, Setting::depth_new, 21, 25);
  depth_new_edit_ = field(Setting::depth_new, depth, QRect(163, 20, 54, 0));
  add_label(depth, Setting::depth_crossover, 21, 50);
  depth_crossover_edit_ = field(Setting::depth_crossover, depth, QRect(163, 45, 54, 0));
  add_label(depth, Setting::depth_mutant, 22, 75);
  depth_mutant_edit_ = field(Setting::depth_mutant, depth, QRect(163, 70, 54, 0));

  growth_group_ = new RadioGroup(to_qstring(frontend::setting_info(Setting::growth).label),
                                 captions_of(Setting::growth),
                                 QRect(424, 128, index == 0 ? 113 : 121, 153), this);
  growth_group_->setObjectName(QStringLiteral("growth_group_%1").arg(index + 1));
  growth_group_->set_item_index(default_choice(Setting::growth));

  rates_group_ =
      add_group(this, QStringLiteral("Rate of GP Operations"), QRect(208, 128, 201, 153));
  rates_group_->setObjectName(QStringLiteral("rates_group_%1").arg(index + 1));
  add_label(rates_group_, Setting::crossover_function, 8, 24);
  crossover_function_edit_ =
      field(Setting::crossover_function, rates_group_, QRect(152, 24, 41, 0));
  add_label(rates_group_, Setting::crossover_any, 8, 56);
  crossover_any_edit_ = field(Setting::crossover_any, rates_group_, QRect(152, 56, 41, 0));
  add_label(rates_group_, Setting::copy, 8, 88);
  copy_edit_ = field(Setting::copy, rates_group_, QRect(152, 88, 41, 0));
  add_label(rates_group_, Setting::mutation, 8, 120);
  mutation_edit_ = field(Setting::mutation, rates_group_, QRect(152, 120, 41, 0));
  checker.watch_rate_group(
      rates_group_, {crossover_function_edit_, crossover_any_edit_, copy_edit_, mutation_edit_});
}

void PopulationPage::couple_tournament_size() {
  tournament_size_edit_->setEnabled(selection_group_->item_index() == 0);
}

void PopulationPage::fill_settings(frontend::SettingsTexts& settings) const {
  const auto set = [&](Setting id, const QLineEdit* edit) {
    settings.set(id, index_, edit->text().toStdString());
  };
  set(Setting::population_size, population_size_edit_);
  set(Setting::terminals, terminals_edit_);
  settings.set(Setting::selection, index_,
               word_of(Setting::selection, selection_group_->item_index()));
  set(Setting::tournament_size, tournament_size_edit_);
  set(Setting::elite, elite_edit_);
  set(Setting::depth_new, depth_new_edit_);
  set(Setting::depth_crossover, depth_crossover_edit_);
  set(Setting::depth_mutant, depth_mutant_edit_);
  settings.set(Setting::growth, index_, word_of(Setting::growth, growth_group_->item_index()));
  set(Setting::crossover_function, crossover_function_edit_);
  set(Setting::crossover_any, crossover_any_edit_);
  set(Setting::copy, copy_edit_);
  set(Setting::mutation, mutation_edit_);
}

}  // namespace quarvel::ui
