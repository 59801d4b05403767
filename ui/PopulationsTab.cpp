#include "ui/PopulationsTab.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/PopulationPage.h"
#include "ui/SettingsFields.h"
#include "ui/UserDialogs.h"
#include "ui/qtext.h"

namespace quarvel::ui {

PopulationsTab::PopulationsTab(FieldChecker& checker, UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs) {
  setObjectName(QStringLiteral("populations_tab"));
  population_count_box_ = new QComboBox();
  population_count_box_->setObjectName(QStringLiteral("population_count_box"));
  population_count_box_->setEditable(true);
  population_count_box_->setInsertPolicy(QComboBox::NoInsert);
  for (int count = 1; count <= runs::kMaxPopulations; ++count) {
    population_count_box_->addItem(QString::number(count));
  }
  population_count_box_->setCurrentIndex(population_count_ - 1);
  // A pick from the list takes effect at once, a typed count when it is confirmed
  // (Enter or leaving the box), so that typing is never interrupted.
  connect(population_count_box_, &QComboBox::activated, this,
          &PopulationsTab::apply_population_count);
  connect(population_count_box_->lineEdit(), &QLineEdit::editingFinished, this,
          &PopulationsTab::apply_population_count);

  pages_tabs_ = new QTabWidget();
  pages_tabs_->setObjectName(QStringLiteral("population_pages"));
  for (int index = 0; index < runs::kMaxPopulations; ++index) {
    auto* page = new PopulationPage(index, checker, pages_tabs_);
    pages_[static_cast<std::size_t>(index)] = page;
    pages_tabs_->addTab(page, QStringLiteral("No%1").arg(index + 1));
    pages_tabs_->setTabVisible(index, index < population_count_);
  }
  pages_tabs_->setCurrentIndex(0);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  auto* count_row = new QHBoxLayout();
  count_row->addStretch(1);
  auto* count_label = new QLabel(to_qstring(runs::setting_info(runs::Setting::populations).label));
  count_label->setBuddy(population_count_box_);
  // The box is announced with its caption through the buddy; the typing
  // field inside it has no caption of its own.
  population_count_box_->lineEdit()->setAccessibleName(count_label->text());
  population_count_box_->setToolTip(SettingsFields::tooltip(runs::Setting::populations));
  count_row->addWidget(count_label);
  count_row->addWidget(population_count_box_);
  count_row->addStretch(1);
  layout->addLayout(count_row);
  layout->addWidget(pages_tabs_, 1);
}

PopulationPage* PopulationsTab::page(int index) const {
  return pages_[static_cast<std::size_t>(index)];
}

void PopulationsTab::show_settings(const runs::SettingsTexts& settings) {
  for (PopulationPage* page : pages_) page->show_settings(settings);
  population_count_box_->setEditText(to_qstring(settings.text(runs::Setting::populations)));
  apply_population_count();
}

void PopulationsTab::apply_population_count() {
  if (applying_) return;
  applying_ = true;
  const std::string typed = population_count_box_->currentText().toStdString();
  if (const std::optional<double> count = runs::setting_value(runs::Setting::populations, typed);
      !count) {
    dialogs_.message(this, to_qstring(*runs::check_setting(runs::Setting::populations, typed)));
    population_count_box_->setCurrentIndex(population_count_ - 1);
    population_count_box_->setEditText(QString::number(population_count_));
  } else {
    population_count_ = static_cast<int>(*count);
    for (int index = 1; index < runs::kMaxPopulations; ++index) {
      pages_tabs_->setTabVisible(index, index < population_count_);
    }
    pages_tabs_->setCurrentIndex(0);
    emit population_count_changed(population_count_);
  }
  applying_ = false;
}

void PopulationsTab::fill_settings(runs::SettingsTexts& settings) const {
  settings.set(runs::Setting::populations, std::to_string(population_count_));
  for (const PopulationPage* page : pages_) page->fill_settings(settings);
}

}  // namespace quarvel::ui
