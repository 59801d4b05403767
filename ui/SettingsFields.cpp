#include "ui/SettingsFields.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "ui/FieldChecker.h"
#include "ui/RadioGroup.h"
#include "ui/qtext.h"

namespace quarvel::ui {

namespace {

using runs::Setting;
using runs::SettingInfo;

constexpr std::size_t kLongCaption = 30;

// A choice shown as a check box: two values, the second without a caption
// (ticked: the first).
bool is_check_box(const SettingInfo& info) {
  return info.choices.size() == 2 && info.choices[1].caption.empty();
}

QStringList captions_of(const SettingInfo& info) {
  QStringList captions;
  for (const runs::Choice& choice : info.choices) captions << to_qstring(choice.caption);
  return captions;
}

// The item of a choice's word (the first item for a word it does not offer).
int choice_index(const SettingInfo& info, std::string_view word) {
  const auto found =
      std::find_if(info.choices.begin(), info.choices.end(),
                   [word](const runs::Choice& choice) { return choice.word == word; });
  return found == info.choices.end() ? 0 : static_cast<int>(found - info.choices.begin());
}

// A row below those of `grid`: a caption and its field, or one widget across both.
void add_row(QGridLayout* grid, QWidget* first, QWidget* second = nullptr) {
  const int row = grid->rowCount() == 1 && grid->count() == 0 ? 0 : grid->rowCount();
  if (second == nullptr) {
    grid->addWidget(first, row, 0, 1, 2);
    return;
  }
  grid->addWidget(first, row, 0);
  grid->addWidget(second, row, 1);
}

std::string word_of(const SettingInfo& info, int item) {
  const auto index =
      static_cast<std::size_t>(std::clamp(item, 0, static_cast<int>(info.choices.size()) - 1));
  return std::string(info.choices[index].word);
}

}  // namespace

SettingsFields::SettingsFields(FieldChecker& checker, int population)
    : checker_(checker), population_(population) {}

QString SettingsFields::object_name(Setting id, const char* kind, int population) {
  // From the runner's option: "--value-limit" names "value_limit_edit".
  QString name = to_qstring(runs::setting_info(id).option).mid(2);
  name.replace(QLatin1Char('-'), QLatin1Char('_'));
  name += QLatin1Char('_') + QString::fromLatin1(kind);
  if (population >= 0) name += QStringLiteral("_%1").arg(population + 1);
  return name;
}

QString SettingsFields::tooltip(Setting id) {
  const SettingInfo& info = runs::setting_info(id);
  QString text = to_qstring(info.description);
  text[0] = text[0].toUpper();
  // "Number of populations, 1 to 4" says its range already.
  const QString range = to_qstring(info.range);
  if (text.endsWith(range)) return text + QLatin1Char('.');
  return text + QStringLiteral(": ") + range + QLatin1Char('.');
}

void SettingsFields::add_group(runs::Group group, std::span<QGridLayout* const> columns,
                               QWidget* owner) {
  std::vector<const SettingInfo*> texts;
  std::vector<const SettingInfo*> radios;
  std::vector<const SettingInfo*> checks;
  for (const SettingInfo& info : runs::settings_table()) {
    if (info.group != group) continue;
    if ((info.scope == runs::Scope::population) != (population_ >= 0)) continue;
    if (info.kind != runs::ValueKind::choice) {
      texts.push_back(&info);
    } else {
      (is_check_box(info) ? checks : radios).push_back(&info);
    }
  }
  // Radio buttons head their group, text fields follow, check boxes close it.
  for (const SettingInfo* info : radios) {
    auto* radio = new RadioGroup(captions_of(*info), owner);
    radio->setObjectName(object_name(info->id, "group", population_));
    radio->setAccessibleName(to_qstring(info->label));
    radio->setToolTip(tooltip(info->id));
    radio->set_item_index(choice_index(*info, info->default_text));
    add_row(columns.front(), radio);
    entries_.push_back({info->id, nullptr, radio, nullptr});
  }
  for (std::size_t c = 0; c < columns.size(); ++c) {
    // Column c takes fields c·n/k up to (c+1)·n/k: the later columns the larger share.
    for (std::size_t i = c * texts.size() / columns.size();
         i < (c + 1) * texts.size() / columns.size(); ++i) {
      const SettingInfo& info = *texts[i];
      QLineEdit* edit = checker_.add_field(info.id, owner, population_);
      edit->setToolTip(tooltip(info.id));
      auto* label = new QLabel(to_qstring(info.label), owner);
      // A long caption is broken over two lines rather than widening the form.
      label->setWordWrap(info.label.size() > kLongCaption);
      label->setBuddy(edit);
      add_row(columns[c], label, edit);
      entries_.push_back({info.id, edit, nullptr, nullptr});
    }
  }
  for (const SettingInfo* info : checks) {
    auto* check = new QCheckBox(to_qstring(info->choices[0].caption), owner);
    check->setObjectName(object_name(info->id, "check", population_));
    check->setToolTip(tooltip(info->id));
    check->setChecked(choice_index(*info, info->default_text) == 0);
    add_row(columns.front(), check);
    entries_.push_back({info->id, nullptr, nullptr, check});
  }
  // Captions and fields keep together at the top left of the room they get,
  // a caption a little apart from its field (the style would put them edge to
  // edge).
  for (QGridLayout* column : columns) {
    column->setHorizontalSpacing(8);
    column->setColumnStretch(2, 1);
    column->setRowStretch(column->rowCount(), 1);
  }
}

const SettingsFields::Entry* SettingsFields::find(Setting id) const {
  const auto found = std::find_if(entries_.begin(), entries_.end(),
                                  [id](const Entry& entry) { return entry.id == id; });
  return found == entries_.end() ? nullptr : &*found;
}

QLineEdit* SettingsFields::field(Setting id) const {
  const Entry* entry = find(id);
  return entry != nullptr ? entry->edit : nullptr;
}

RadioGroup* SettingsFields::radio_group(Setting id) const {
  const Entry* entry = find(id);
  return entry != nullptr ? entry->radio : nullptr;
}

QCheckBox* SettingsFields::check_box(Setting id) const {
  const Entry* entry = find(id);
  return entry != nullptr ? entry->check : nullptr;
}

std::string SettingsFields::chosen_word(Setting id) const {
  runs::SettingsTexts texts;
  fill(texts);
  return texts.text(id, std::max(population_, 0));
}

std::vector<QLineEdit*> SettingsFields::group_fields(runs::Group group) const {
  std::vector<QLineEdit*> fields;
  for (const Entry& entry : entries_) {
    if (entry.edit != nullptr && runs::setting_info(entry.id).group == group) {
      fields.push_back(entry.edit);
    }
  }
  return fields;
}

void SettingsFields::fill(runs::SettingsTexts& settings) const {
  const int page = std::max(population_, 0);
  for (const Entry& entry : entries_) {
    const SettingInfo& info = runs::setting_info(entry.id);
    if (entry.edit != nullptr) {
      settings.set(entry.id, page, entry.edit->text().toStdString());
    } else if (entry.check != nullptr) {
      settings.set(entry.id, page, word_of(info, entry.check->isChecked() ? 0 : 1));
    } else {
      settings.set(entry.id, page, word_of(info, entry.radio->item_index()));
    }
  }
}

void SettingsFields::show(const runs::SettingsTexts& settings) {
  const int page = std::max(population_, 0);
  for (const Entry& entry : entries_) {
    const SettingInfo& info = runs::setting_info(entry.id);
    const std::string& text = settings.text(entry.id, page);
    if (entry.edit != nullptr) {
      entry.edit->setText(to_qstring(text));
    } else if (entry.check != nullptr) {
      entry.check->setChecked(choice_index(info, text) == 0);
    } else {
      entry.radio->set_item_index(choice_index(info, text));
    }
  }
}

}  // namespace quarvel::ui
