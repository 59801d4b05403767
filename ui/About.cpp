#include "About.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "WindowFont.h"

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

TAboutBox::TAboutBox(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("Venko1.0"));
  setFont(window_font());
  setFixedSize(298, 213);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(8, 8, 281, 161);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setLineWidth(2);
  Panel1->setAutoFillBackground(true);
  QPalette white = Panel1->palette();
  white.setColor(QPalette::Window, Qt::white);
  Panel1->setPalette(white);

  ProgramIcon = new Logo(Panel1);
  ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
  ProgramIcon->setGeometry(32, 16, 225, 81);

  ProductName = add_label(Panel1, "ProductName", QStringLiteral("Quarvel GP Regression"), 88, 104);
  Version = add_label(Panel1, "Version", QStringLiteral("Version 1.0"), 208, 120);
  Copyright = add_label(Panel1, "Copyright", QStringLiteral("Venko Lab, 2026"), 136, 136);
}

void TAboutBox::show_window() {
  show();
  raise();
  activateWindow();
}

}  // namespace quarvel::ui
