#include "ui/AboutDialog.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

#include "ui/style.h"

namespace quarvel::ui {

namespace {

// The product logo: the maker's name over a rising series of points.
class Logo final : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();
    QLinearGradient backdrop(area.topLeft(), area.bottomRight());
    backdrop.setColorAt(0.0, QColor(20, 60, 140));
    backdrop.setColorAt(1.0, QColor(60, 150, 210));
    painter.fillRect(area, backdrop);

    QPainterPath curve;
    const double width = area.width();
    const double height = area.height();
    curve.moveTo(8, height - 12);
    for (int step = 1; step <= 12; ++step) {
      const double x = 8 + (width - 16) * step / 12.0;
      const double wave = (step % 2 == 0 ? -6.0 : 6.0);
      curve.lineTo(x, height - 12 - (height - 40) * step / 12.0 + wave);
    }
    painter.setPen(QPen(QColor(255, 210, 80), 2));
    painter.drawPath(curve);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(34);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(area.adjusted(0, 0, 0, -20), Qt::AlignCenter, QStringLiteral("Venko"));
  }
};

QLabel* add_label(QWidget* parent, const char* name, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->move(left, top);
  label->adjustSize();
  return label;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("about_dialog"));
  setWindowTitle(QStringLiteral("Venko1.0"));
  setFont(window_font());
  setFixedSize(298, 213);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  auto* panel = new QFrame(this);
  panel->setObjectName(QStringLiteral("panel"));
  panel->setGeometry(8, 8, 281, 161);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setLineWidth(2);
  panel->setAutoFillBackground(true);
  QPalette white = panel->palette();
  white.setColor(QPalette::Window, Qt::white);
  panel->setPalette(white);

  auto* logo = new Logo(panel);
  logo->setObjectName(QStringLiteral("logo"));
  logo->setGeometry(32, 16, 225, 81);

  add_label(panel, "product_name_label", QStringLiteral("Quarvel GP Regression"), 88, 104);
  add_label(panel, "version_label", QStringLiteral("Version 1.0"), 208, 120);
  add_label(panel, "maker_label", QStringLiteral("Venko Lab, 2026"), 136, 136);

  auto* ok_button = new QPushButton(QStringLiteral("OK"), this);
  ok_button->setObjectName(QStringLiteral("ok_button"));
  ok_button->setGeometry(214, 178, 75, 25);
  ok_button->setDefault(true);
  connect(ok_button, &QPushButton::clicked, this, &QWidget::hide);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &QWidget::hide);
}

void AboutDialog::show_window() {
  show();
  raise();
  activateWindow();
}

}  // namespace quarvel::ui
