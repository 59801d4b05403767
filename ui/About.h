// TAboutBox: the about dialog, also the start-up splash.
#pragma once

#include <QWidget>

class QFrame;
class QLabel;

namespace quarvel::ui {

// The maker's page opened by "Venko Web Site".
inline constexpr const char* kVenkoWebSite = "https://www.venko.example/";

class TAboutBox final : public QWidget {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  // Shows the box, or brings it to the front when it is already shown.
  void show_window();

  QFrame* Panel1 = nullptr;
  QWidget* ProgramIcon = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QLabel* Copyright = nullptr;
};

}  // namespace quarvel::ui
