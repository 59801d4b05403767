// What the window remembers from one program start to the next, in the
// per-user settings store: the folder of the last chosen file (key path
// Software\Venko\Regression, section DIRECTORY, value INIT), every setting
// as last typed (section SETTINGS), the View menu's ticks (section VIEW) and
// the size of the last exported chart picture (section EXPORT).
#pragma once

#include <QString>

#include "runs/settings.h"
#include "ui/UserDialogs.h"

namespace quarvel::ui {

inline constexpr const char* kSettingsOrganisation = "Venko";
inline constexpr const char* kSettingsApplication = "Regression";
inline constexpr const char* kDefaultFolder = "C:\\";

class SettingsStore {
 public:
  // The remembered folder; "C:\" before any was stored.
  [[nodiscard]] static QString folder();
  static void store_folder(const QString& folder);

  // The stored settings over `settings`: each stored text that its setting's
  // check accepts replaces the one given; others are left as they are.
  static void read_settings(runs::SettingsTexts& settings);
  static void store_settings(const runs::SettingsTexts& settings);

  // A tick of the View menu, by its action's object name; `otherwise` when
  // none was stored.
  [[nodiscard]] static bool view_tick(const QString& name, bool otherwise);
  static void store_view_tick(const QString& name, bool ticked);

  // The size of the last exported chart picture; `otherwise` when none was
  // stored or what was stored is no size.
  [[nodiscard]] static UserDialogs::ImageSize image_size(const UserDialogs::ImageSize& otherwise);
  static void store_image_size(const UserDialogs::ImageSize& size);
};

}  // namespace quarvel::ui
