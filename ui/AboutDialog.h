// The about box, also the start-up splash: the logo, the product name, the
// version and the maker; OK or Esc closes it.
#pragma once

#include <QWidget>

namespace quarvel::ui {

class AboutDialog final : public QWidget {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);
  // Shows the box, or brings it to the front when it is already shown.
  void show_window();
};

}  // namespace quarvel::ui
