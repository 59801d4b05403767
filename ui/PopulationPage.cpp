#include "ui/PopulationPage.h"

#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/FieldChecker.h"
#include "ui/RadioGroup.h"
#include "ui/qtext.h"
#include "ui/style.h"

namespace quarvel::ui {

namespace {

using frontend::Setting;

QString label_of(Setting id) {
  return to_qstring(frontend::setting_info(id).label);
}

// The captions of a choice, in the order of its engine codes.
QStringList captions_of(Setting id) {
  QStringList captions;
  for (const frontend::Choice& choice : frontend::setting_info(id).choices) {
    captions << to_qstring(choice.caption);
  }
  return captions;
}

// The item of a choice's word (the first item for a word it does not offer).
int choice_index(Setting id, std::string_view word) {
  const auto choices = frontend::setting_info(id).choices;
  const auto found =
      std::find_if(choices.begin(), choices.end(),
                   [word](const frontend::Choice& choice) { return choice.word == word; });
  return found == choices.end() ? 0 : static_cast<int>(found - choices.begin());
}

int default_choice(Setting id) {
  return choice_index(id, frontend::setting_info(id).default_text);
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
  const auto field = [&](Setting id, QWidget* on) { return checker.add_field(id, on, index); };
  // A labelled field added to a form.
  const auto add_row = [&](QFormLayout* form, Setting id, QWidget* on) {
    QLineEdit* edit = field(id, on);
    form->addRow(label_of(id), edit);
    return edit;
  };

  auto* square = new QFrame();
  square->setObjectName(QStringLiteral("colour_square_%1").arg(index + 1));
  square->setFixedSize(33, 33);
  square->setAutoFillBackground(true);
  QPalette square_palette = square->palette();
  square_palette.setColor(QPalette::Window, population_colour(index));
  square->setPalette(square_palette);

  auto* sizes = new QFormLayout();
  population_size_edit_ = add_row(sizes, Setting::population_size, this);
  terminals_edit_ = add_row(sizes, Setting::terminals, this);

  auto* selection = new QGroupBox(label_of(Setting::selection));
  auto* selection_layout = new QVBoxLayout(selection);
  selection_group_ = new RadioGroup(QString(), captions_of(Setting::selection));
  selection_group_->setFlat(true);
  selection_group_->setObjectName(QStringLiteral("selection_group_%1").arg(index + 1));
  selection_group_->set_item_index(default_choice(Setting::selection));
  connect(selection_group_, &RadioGroup::clicked, this, &PopulationPage::couple_tournament_size);
  selection_layout->addWidget(selection_group_);
  auto* selection_fields = new QFormLayout();
  selection_layout->addLayout(selection_fields);
  tournament_size_edit_ = add_row(selection_fields, Setting::tournament_size, selection);
  // A disabled tournament-size field shows the button face.
  QPalette tournament_palette = tournament_size_edit_->palette();
  tournament_palette.setColor(QPalette::Disabled, QPalette::Base,
                              palette().color(QPalette::Active, QPalette::Button));
  tournament_size_edit_->setPalette(tournament_palette);
  elite_edit_ = add_row(selection_fields, Setting::elite, selection);

  auto* depth = new QGroupBox(QStringLiteral("Depth of Tree"));
  auto* depth_layout = new QFormLayout(depth);
  depth_new_edit_ = add_row(depth_layout, Setting::depth_new, depth);
  depth_crossover_edit_ = add_row(depth_layout, Setting::depth_crossover, depth);
  depth_mutant_edit_ = add_row(depth_layout, Setting::depth_mutant, depth);

  growth_group_ = new RadioGroup(label_of(Setting::growth), captions_of(Setting::growth));
  growth_group_->setObjectName(QStringLiteral("growth_group_%1").arg(index + 1));
  growth_group_->set_item_index(default_choice(Setting::growth));

  rates_group_ = new QGroupBox(QStringLiteral("Rate of GP Operations"));
  rates_group_->setObjectName(QStringLiteral("rates_group_%1").arg(index + 1));
  auto* rates_layout = new QFormLayout(rates_group_);
  crossover_function_edit_ = add_row(rates_layout, Setting::crossover_function, rates_group_);
  crossover_any_edit_ = add_row(rates_layout, Setting::crossover_any, rates_group_);
  copy_edit_ = add_row(rates_layout, Setting::copy, rates_group_);
  mutation_edit_ = add_row(rates_layout, Setting::mutation, rates_group_);
  checker.watch_rate_group(
      rates_group_, {crossover_function_edit_, crossover_any_edit_, copy_edit_, mutation_edit_});

  auto* layout = new QGridLayout(this);
  auto* top = new QHBoxLayout();
  top->addWidget(square, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(sizes);
  top->addStretch(1);
  layout->addLayout(top, 0, 0);
  layout->addWidget(depth, 0, 1, 1, 2, Qt::AlignRight);
  layout->addWidget(selection, 1, 0);
  layout->addWidget(rates_group_, 1, 1);
  layout->addWidget(growth_group_, 1, 2);
  layout->setRowStretch(2, 1);
  layout->setColumnStretch(3, 1);
}

void PopulationPage::couple_tournament_size() {
  tournament_size_edit_->setEnabled(selection_group_->item_index() == 0);
}

std::array<std::pair<Setting, QLineEdit*>, 11> PopulationPage::fields() const {
  return {{{Setting::population_size, population_size_edit_},
           {Setting::terminals, terminals_edit_},
           {Setting::tournament_size, tournament_size_edit_},
           {Setting::elite, elite_edit_},
           {Setting::depth_new, depth_new_edit_},
           {Setting::depth_crossover, depth_crossover_edit_},
           {Setting::depth_mutant, depth_mutant_edit_},
           {Setting::crossover_function, crossover_function_edit_},
           {Setting::crossover_any, crossover_any_edit_},
           {Setting::copy, copy_edit_},
           {Setting::mutation, mutation_edit_}}};
}

void PopulationPage::fill_settings(frontend::SettingsTexts& settings) const {
  for (const auto& [id, edit] : fields()) settings.set(id, index_, edit->text().toStdString());
  settings.set(Setting::selection, index_,
               word_of(Setting::selection, selection_group_->item_index()));
  settings.set(Setting::growth, index_, word_of(Setting::growth, growth_group_->item_index()));
}

void PopulationPage::show_settings(const frontend::SettingsTexts& settings) {
  for (const auto& [id, edit] : fields()) edit->setText(to_qstring(settings.text(id, index_)));
  selection_group_->set_item_index(
      choice_index(Setting::selection, settings.text(Setting::selection, index_)));
  growth_group_->set_item_index(
      choice_index(Setting::growth, settings.text(Setting::growth, index_)));
  couple_tournament_size();
}

}  // namespace quarvel::ui
