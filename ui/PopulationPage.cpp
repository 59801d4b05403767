#include "ui/PopulationPage.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include "ui/FieldChecker.h"
#include "ui/RadioGroup.h"
#include "ui/qtext.h"
#include "ui/style.h"

namespace quarvel::ui {

using runs::Setting;

PopulationPage::PopulationPage(int index, FieldChecker& checker, QWidget* parent)
    : QWidget(parent), index_(index), settings_(checker, index) {
  setObjectName(QStringLiteral("population_page_%1").arg(index + 1));
  using runs::Group;
  // A box of a group's settings, captioned as the group.
  const auto add_box = [&](Group group) {
    auto* box = new QGroupBox(to_qstring(runs::group_caption(group)));
    auto* form = new QGridLayout(box);
    settings_.add_group(group, form, box);
    return box;
  };

  auto* square = new QFrame();
  square->setObjectName(QStringLiteral("colour_square_%1").arg(index + 1));
  square->setFixedSize(33, 33);
  square->setAutoFillBackground(true);
  QPalette square_palette = square->palette();
  square_palette.setColor(QPalette::Window, population_colour(index));
  square->setPalette(square_palette);

  auto* sizes = new QGridLayout();
  settings_.add_group(Group::population_sizes, sizes, this);
  QGroupBox* selection = add_box(Group::selection);
  QGroupBox* depth = add_box(Group::depth);
  QGroupBox* growth = add_box(Group::growth);
  rates_group_ = add_box(Group::rates);
  rates_group_->setObjectName(QStringLiteral("rates_group_%1").arg(index + 1));
  const std::vector<QLineEdit*> rates = settings_.group_fields(Group::rates);
  checker.watch_rate_group(rates_group_, {rates.at(0), rates.at(1), rates.at(2), rates.at(3)});

  // The tournament size counts only for tournament selection; disabled, it
  // shows the button face.
  QLineEdit* tournament_size = settings_.field(Setting::tournament_size);
  QPalette tournament_palette = tournament_size->palette();
  tournament_palette.setColor(QPalette::Disabled, QPalette::Base,
                              palette().color(QPalette::Active, QPalette::Button));
  tournament_size->setPalette(tournament_palette);
  connect(settings_.radio_group(Setting::selection), &RadioGroup::clicked, this,
          &PopulationPage::couple_tournament_size);

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
  layout->addWidget(growth, 1, 2);
  layout->setRowStretch(2, 1);
  layout->setColumnStretch(3, 1);
}

void PopulationPage::couple_tournament_size() {
  settings_.field(Setting::tournament_size)
      ->setEnabled(settings_.chosen_word(Setting::selection) == "tournament");
}

void PopulationPage::fill_settings(runs::SettingsTexts& settings) const {
  settings_.fill(settings);
}

void PopulationPage::show_settings(const runs::SettingsTexts& settings) {
  settings_.show(settings);
  couple_tournament_size();
}

}  // namespace quarvel::ui
