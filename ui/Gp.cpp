#include "Gp.h"

#include <QChart>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>

#include "Charts.h"
#include "GridModel.h"
#include "Unit1.h"
#include "Unit5.h"
#include "Unit6.h"

namespace quarvel::ui {

namespace {

ChartView* add_chart(QWidget* parent, const char* name, int left, int top, int width, int height) {
  auto* view = new ChartView(parent);
  view->setObjectName(QString::fromLatin1(name));
  view->setGeometry(left, top, width, height);
  // Small charts: keep the axis and legend texts from eating the plot area.
  QFont small = view->font();
  small.setPixelSize(10);
  view->chart()->legend()->setFont(small);
  return view;
}

// Four population curves, solid or dotted, none of them in the legend.
void add_population_series(QChart* chart, Qt::PenStyle style) {
  for (int population = 0; population < 4; ++population) {
    add_line_series(chart, QStringLiteral("Population%1").arg(population + 1),
                    population_colour(population), style, 1, false);
  }
}

QTableView* add_output_grid(QWidget* parent, const char* name) {
  auto* grid = new QTableView(parent);
  grid->setObjectName(QString::fromLatin1(name));
  grid->setModel(new GridModel(kOutputGridRows, false, grid));
  grid->horizontalHeader()->hide();
  grid->verticalHeader()->hide();
  grid->horizontalHeader()->setDefaultSectionSize(80);
  grid->verticalHeader()->setDefaultSectionSize(20);
  grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setGeometry(0, 8, 169, 110);
  return grid;
}

QLabel* add_progress_label(QWidget* parent, const char* name, int left, int top, bool visible) {
  auto* label = new QLabel(QString::fromLatin1(kNotRunning), parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(left, top, 84, 16);
  label->setVisible(visible);
  return label;
}

}  // namespace

void TForm1::BuildResultsTab() {
  TabSheet4 = new QWidget();
  TabSheet4->setObjectName(QStringLiteral("TabSheet4"));
  PageControl1->addTab(TabSheet4, QStringLiteral("Results"));

  Chart2 = add_chart(TabSheet4, "Chart2", 8, 8, 249, 153);
  add_population_series(Chart2->chart(), Qt::SolidLine);
  attach_axes(Chart2->chart(), QStringLiteral("Generation"), QStringLiteral("MDL of best indv."));
  use_small_axis_fonts(Chart2->chart());
  Chart2->chart()
      ->legend()
      ->hide();  // it would list nothing: only the prediction chart has entries

  Chart3 = add_chart(TabSheet4, "Chart3", 8, 160, 249, 145);
  add_population_series(Chart3->chart(), Qt::SolidLine);
  attach_axes(Chart3->chart(), QStringLiteral("Generation"), QStringLiteral("MSE of best indv."));
  use_small_axis_fonts(Chart3->chart());
  Chart3->chart()->legend()->hide();

  GroupBox17 = new QGroupBox(QStringLiteral("Output"), TabSheet4);
  GroupBox17->setObjectName(QStringLiteral("GroupBox17"));
  GroupBox17->setGeometry(8, 304, 249, 169);
  PageControl3 = new QTabWidget(GroupBox17);
  PageControl3->setObjectName(QStringLiteral("PageControl3"));
  PageControl3->setGeometry(6, 16, 237, 149);
  const std::array<const char*, 4> sheet_names{"TabSheet8", "TabSheet9", "TabSheet10",
                                               "TabSheet11"};
  const std::array<const char*, 4> grid_names{"StringGrid3", "StringGrid4", "StringGrid5",
                                              "StringGrid6"};
  const std::array<const char*, 4> button_names{"Button4", "Button5", "Button6", "Button7"};
  const std::array<QWidget**, 4> sheets{&TabSheet8, &TabSheet9, &TabSheet10, &TabSheet11};
  const std::array<QTableView**, 4> grids{&StringGrid3, &StringGrid4, &StringGrid5, &StringGrid6};
  const std::array<QPushButton**, 4> buttons{&Button4, &Button5, &Button6, &Button7};
  for (std::size_t index = 0; index < 4; ++index) {
    auto* sheet = new QWidget();
    sheet->setObjectName(QString::fromLatin1(sheet_names[index]));
    PageControl3->addTab(sheet, QStringLiteral("NO.%1").arg(index + 1));
    *sheets[index] = sheet;
    output_sheets_[index] = sheet;
    *grids[index] = add_output_grid(sheet, grid_names[index]);
    auto* save = new QPushButton(QStringLiteral("Save"), sheet);
    save->setObjectName(QString::fromLatin1(button_names[index]));
    save->setGeometry(176, 8, 50, 25);
    *buttons[index] = save;
  }
  for (int index = 1; index < 4; ++index) PageControl3->setTabVisible(index, false);

  Panel2 = new QFrame(TabSheet4);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel2->setGeometry(280, 8, 297, 137);
  Label28 = new QLabel(QStringLiteral("Best Individual"), Panel2);
  Label28->setObjectName(QStringLiteral("Label28"));
  Label28->move(8, 8);
  Label28->adjustSize();
  Memo1 = new QPlainTextEdit(Panel2);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setReadOnly(true);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setGeometry(16, 24, 265, 97);

  Chart1 = add_chart(TabSheet4, "Chart1", 280, 152, 297, 217);
  QChart* chart1 = Chart1->chart();
  add_line_series(chart1, QStringLiteral("Real Data"), colours::black, Qt::SolidLine, 1, true);
  add_population_series(chart1, Qt::DotLine);
  add_line_series(chart1, QStringLiteral("Training"), colours::orange, Qt::SolidLine, 2, false);
  add_line_series(chart1, QStringLiteral("Validation"), colours::fuchsia, Qt::SolidLine, 2, false);
  attach_axes(chart1, QStringLiteral("Time (min)"), QStringLiteral("Normalized Value"));
  use_small_axis_fonts(chart1);

  ProgressBar1 = new QProgressBar(TabSheet4);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setGeometry(280, 374, 297, 19);

  Label31 = add_progress_label(TabSheet4, "Label31", 288, 400, true);
  Label48 = add_progress_label(TabSheet4, "Label48", 376, 400, false);
  Label82 = add_progress_label(TabSheet4, "Label82", 288, 416, false);
  Label83 = add_progress_label(TabSheet4, "Label83", 376, 416, false);

  BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                            QStringLiteral("Start"), TabSheet4);
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  BitBtn2->setGeometry(512, 402, 65, 25);
  connect(BitBtn2, &QPushButton::clicked, this, &TForm1::BitBtn2Click);
  BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogNoButton),
                            QStringLiteral("Stop"), TabSheet4);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setGeometry(512, 434, 65, 25);
  BitBtn1->setEnabled(false);

  // A double click on the prediction chart opens nothing.
  connect(Chart2, &ChartView::doubleClicked, this, &TForm1::Chart2DblClick);
  connect(Chart3, &ChartView::doubleClicked, this, &TForm1::Chart3DblClick);
}

void TForm1::Chart2DblClick() {
  if (form5_ != nullptr) form5_->show_window();
}

void TForm1::Chart3DblClick() {
  if (form6_ != nullptr) form6_->show_window();
}

}  // namespace quarvel::ui
