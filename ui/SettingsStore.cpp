#include "ui/SettingsStore.h"

#include <QSettings>

#include "ui/qtext.h"

namespace quarvel::ui {

namespace {

constexpr const char* kFolderSection = "DIRECTORY";
constexpr const char* kFolderValue = "INIT";
constexpr const char* kSettingsSection = "SETTINGS";
constexpr const char* kViewSection = "VIEW";
constexpr const char* kExportSection = "EXPORT";

QSettings open_store() {
  return {QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kSettingsOrganisation),
          QString::fromLatin1(kSettingsApplication)};
}

// "generations", "elite_2": the runner's option name, per population numbered.
QString key_of(const runs::SettingInfo& info, int population) {
  QString key = to_qstring(info.option).mid(2);
  key.replace(QLatin1Char('-'), QLatin1Char('_'));
  if (info.scope == runs::Scope::population) key += QStringLiteral("_%1").arg(population + 1);
  return key;
}

// Every (setting, population) a set of texts holds.
template <class F>
void for_each_text(F&& visit) {
  for (const runs::SettingInfo& info : runs::settings_table()) {
    const int pages = info.scope == runs::Scope::population ? runs::kMaxPopulations : 1;
    for (int population = 0; population < pages; ++population) visit(info, population);
  }
}

}  // namespace

QString SettingsStore::folder() {
  QSettings store = open_store();
  store.beginGroup(QString::fromLatin1(kFolderSection));
  return store.value(QString::fromLatin1(kFolderValue), QString::fromLatin1(kDefaultFolder))
      .toString();
}

void SettingsStore::store_folder(const QString& folder) {
  QSettings store = open_store();
  store.beginGroup(QString::fromLatin1(kFolderSection));
  store.setValue(QString::fromLatin1(kFolderValue), folder);
  store.endGroup();
  store.sync();
}

void SettingsStore::read_settings(runs::SettingsTexts& settings) {
  QSettings store = open_store();
  store.beginGroup(QString::fromLatin1(kSettingsSection));
  for_each_text([&](const runs::SettingInfo& info, int population) {
    const QVariant stored = store.value(key_of(info, population));
    if (!stored.isValid()) return;
    const std::string text = stored.toString().toStdString();
    if (runs::check_setting(info.id, text)) return;  // damaged or from another version
    settings.set(info.id, population, text);
  });
}

void SettingsStore::store_settings(const runs::SettingsTexts& settings) {
  QSettings store = open_store();
  store.beginGroup(QString::fromLatin1(kSettingsSection));
  for_each_text([&](const runs::SettingInfo& info, int population) {
    store.setValue(key_of(info, population), to_qstring(settings.text(info.id, population)));
  });
  store.endGroup();
  store.sync();
}

bool SettingsStore::view_tick(const QString& name, bool otherwise) {
  QSettings store = open_store();
  store.beginGroup(QString::fromLatin1(kViewSection));
  const QVariant stored = store.value(name);
  return stored.isValid() ? stored.toBool() : otherwise;
}

void SettingsStore::store_view_tick(const QString& name, bool ticked) {
  QSettings store = open_store();
  store.beginGroup(QString::fromLatin1(kViewSection));
  store.setValue(name, ticked);
  store.endGroup();
  store.sync();
}

UserDialogs::ImageSize SettingsStore::image_size(const UserDialogs::ImageSize& otherwise) {
  QSettings store = open_store();
  store.beginGroup(QString::fromLatin1(kExportSection));
  bool read[3] = {false, false, false};
  const UserDialogs::ImageSize stored{store.value(QStringLiteral("width")).toInt(&read[0]),
                                      store.value(QStringLiteral("height")).toInt(&read[1]),
                                      store.value(QStringLiteral("dots_per_inch")).toInt(&read[2])};
  return read[0] && read[1] && read[2] && stored.within_limits() ? stored : otherwise;
}

void SettingsStore::store_image_size(const UserDialogs::ImageSize& size) {
  QSettings store = open_store();
  store.beginGroup(QString::fromLatin1(kExportSection));
  store.setValue(QStringLiteral("width"), size.width);
  store.setValue(QStringLiteral("height"), size.height);
  store.setValue(QStringLiteral("dots_per_inch"), size.dots_per_inch);
  store.endGroup();
  store.sync();
}

}  // namespace quarvel::ui
