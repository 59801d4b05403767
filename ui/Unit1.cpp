#include "Unit1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <new>

#include "About.h"
#include "Charts.h"
#include "Gp.h"
#include "Graphwindow.h"
#include "GridModel.h"
#include "RadioGroup.h"
#include "Unit5.h"
#include "Unit6.h"
#include "UserDialogs.h"
#include "numbertext.h"

namespace quarvel::ui {

namespace {

constexpr int kFieldHeight = 20;

QLabel* add_label(QWidget* parent, const QString& text, int left, int top,
                  const char* name = nullptr) {
  auto* label = new QLabel(text, parent);
  if (name != nullptr) label->setObjectName(QString::fromLatin1(name));
  label->move(left, top);
  label->adjustSize();
  return label;
}

// A caption broken over two lines in a box `width` pixels wide.
QLabel* add_wrapped_label(QWidget* parent, const QString& text, int left, int top, int width) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  label->setGeometry(left, top, width, 2 * label->fontMetrics().height() + 2);
  return label;
}

QGroupBox* add_group(QWidget* parent, const char* name, const QString& title, int left, int top,
                     int width, int height) {
  auto* group = new QGroupBox(title, parent);
  group->setObjectName(QString::fromLatin1(name));
  group->setGeometry(left, top, width, height);
  return group;
}

QPushButton* add_button(QWidget* parent, const char* name, const QString& text, int left, int top,
                        int width, int height) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(left, top, width, height);
  return button;
}

// StringGrid1/2: two editable columns of width 64, rows 24 high, 5 empty rows.
QTableView* add_data_grid(QWidget* parent, const char* name, int left, int top, int width,
                          int height, bool tab_moves_between_cells) {
  auto* grid = new QTableView(parent);
  grid->setObjectName(QString::fromLatin1(name));
  grid->setModel(new GridModel(5, true, grid));
  grid->horizontalHeader()->hide();
  grid->verticalHeader()->hide();
  grid->horizontalHeader()->setDefaultSectionSize(64);
  grid->verticalHeader()->setDefaultSectionSize(24);
  grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
  grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
  grid->setTabKeyNavigation(tab_moves_between_cells);
  grid->setGeometry(left, top, width, height);
  return grid;
}

QColor button_face(const QWidget* widget) {
  return widget->palette().color(QPalette::Active, QPalette::Button);
}

}  // namespace

TForm1::TForm1(Engine& engine, UserDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), engine_(engine), dialogs_(dialogs) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Quarvel v.0.0"));
  setFont(window_font());

  build_menus();
  auto* client = new QWidget(this);
  PageControl1 = new QTabWidget(client);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setGeometry(0, 0, 601, 505);
  setCentralWidget(client);
  build_problem_tab();
  build_populations_tab();
  BuildResultsTab();

  // Outer size 615 x 552 on the design's desktop: a client of 607 x 505 below the menu.
  resize(607, 505 + menuBar()->sizeHint().height());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  AboutBox = new TAboutBox(this);
  FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::set_secondary_windows(TGraphForm* graph_form, TForm5* form5, TForm6* form6) {
  graph_form_ = graph_form;
  form5_ = form5;
  form6_ = form6;
}

void TForm1::build_menus() {
  File1 = menuBar()->addMenu(QStringLiteral("File (&F)"));
  File1->setObjectName(QStringLiteral("File1"));
  LoadTrainingData1 = File1->addAction(QStringLiteral("Load training data (&T)"));
  LoadTrainingData1->setObjectName(QStringLiteral("LoadTrainingData1"));
  LoadTrainingData1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  connect(LoadTrainingData1, &QAction::triggered, this, &TForm1::BitBtn3Click);
  LoadValidationData1 = File1->addAction(QStringLiteral("Load validation data (&V)"));
  LoadValidationData1->setObjectName(QStringLiteral("LoadValidationData1"));
  LoadValidationData1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  LoadValidationData1->setEnabled(false);
  connect(LoadValidationData1, &QAction::triggered, this, &TForm1::BitBtn4Click);
  File1->addSeparator();
  Exit1 = File1->addAction(QStringLiteral("Exit (&X)"));
  Exit1->setObjectName(QStringLiteral("Exit1"));
  connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);

  Help1 = menuBar()->addMenu(QStringLiteral("Help (&H)"));
  Help1->setObjectName(QStringLiteral("Help1"));
  About1 = Help1->addAction(QStringLiteral("About Venko (&A)"));
  About1->setObjectName(QStringLiteral("About1"));
  connect(About1, &QAction::triggered, this, &TForm1::About1Click);
  WebSite1 = Help1->addAction(QStringLiteral("Venko Web Site"));
  WebSite1->setObjectName(QStringLiteral("WebSite1"));
  connect(WebSite1, &QAction::triggered, this, &TForm1::WebSite1Click);

  // Ctrl+S works in every state, also while the Start button is disabled.
  StartGPRun1 = new QAction(QStringLiteral("Start GP run"), this);
  StartGPRun1->setObjectName(QStringLiteral("StartGPRun1"));
  StartGPRun1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  StartGPRun1->setShortcutContext(Qt::WindowShortcut);
  addAction(StartGPRun1);
  connect(StartGPRun1, &QAction::triggered, this, &TForm1::BitBtn2Click);
}

QLineEdit* TForm1::add_field(QWidget* parent, QLineEdit*& member, const char* name,
                             const char* text, int left, int top, int width, FieldCheck check) {
  member = new QLineEdit(QString::fromLatin1(text), parent);
  member->setObjectName(QString::fromLatin1(name));
  member->setGeometry(left, top, width, kFieldHeight);
  member->installEventFilter(this);
  field_checks_.insert(member, check);
  return member;
}

void TForm1::build_problem_tab() {
  TabSheet1 = new QWidget();
  TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
  PageControl1->addTab(TabSheet1, QStringLiteral("Problem Configuration"));

  GroupBox1 = add_group(TabSheet1, "GroupBox1", QStringLiteral("Training Data"), 16, 8, 193, 225);
  add_label(GroupBox1, QStringLiteral("Time"), 34, 27);
  add_label(GroupBox1, QStringLiteral("Value"), 96, 27);
  StringGrid1 = add_data_grid(GroupBox1, "StringGrid1", 28, 40, 133, 129, true);
  BitBtn3 = add_button(GroupBox1, "BitBtn3", QStringLiteral("Load"), 32, 184, 58, 24);
  BitBtn3->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
  Button1 = add_button(GroupBox1, "Button1", QStringLiteral("Clear"), 96, 184, 57, 25);
  connect(BitBtn3, &QPushButton::clicked, this, &TForm1::BitBtn3Click);
  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);

  GroupBox2 =
      add_group(TabSheet1, "GroupBox2", QStringLiteral("Validation Data"), 232, 8, 177, 225);
  Label17 = add_label(GroupBox2, QStringLiteral("Time"), 26, 27, "Label17");
  Label23 = add_label(GroupBox2, QStringLiteral("Value"), 88, 27, "Label23");
  StringGrid2 = add_data_grid(GroupBox2, "StringGrid2", 20, 40, 133, 129, false);
  BitBtn4 = add_button(GroupBox2, "BitBtn4", QStringLiteral("Load"), 23, 184, 58, 24);
  BitBtn4->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
  Button3 = add_button(GroupBox2, "Button3", QStringLiteral("Clear"), 88, 184, 57, 25);
  connect(BitBtn4, &QPushButton::clicked, this, &TForm1::BitBtn4Click);
  connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
  set_validation_group_open(false);

  GroupBox3 =
      add_group(TabSheet1, "GroupBox3", QStringLiteral("Global Settings"), 16, 240, 393, 217);
  add_label(GroupBox3, QStringLiteral("Generation"), 16, 20);
  add_field(GroupBox3, Edit2, "Edit2", "50", 96, 16, 57, FieldCheck::natural);
  add_label(GroupBox3, QStringLiteral("Random Seed"), 16, 44);
  add_field(GroupBox3, Edit30, "Edit30", "1", 96, 40, 33, FieldCheck::natural);
  add_wrapped_label(GroupBox3, QStringLiteral("Prediction Data Value Limit (normalized)"), 200, 16,
                    126);
  add_field(GroupBox3, Edit31, "Edit31", "100", 328, 16, 41, FieldCheck::natural);
  add_wrapped_label(GroupBox3, QStringLiteral("Overlap between Training and Validation"), 200, 56,
                    126);
  add_field(GroupBox3, Edit32, "Edit32", "119", 328, 64, 41, FieldCheck::overlap);
  CheckBox15 = new QCheckBox(QStringLiteral("Evaluate by MDL"), GroupBox3);
  CheckBox15->setObjectName(QStringLiteral("CheckBox15"));
  CheckBox15->setChecked(true);
  CheckBox15->move(16, 72);
  CheckBox15->adjustSize();

  GroupBox16 = add_group(GroupBox3, "GroupBox16", QStringLiteral("MDL Setting"), 8, 96, 297, 113);
  add_label(GroupBox16, QStringLiteral("Weight"), 16, 21);
  add_field(GroupBox16, Edit56, "Edit56", "0.0005", 88, 21, 57, FieldCheck::weight);
  add_label(GroupBox16, QStringLiteral("Weight Error"), 16, 53);
  add_field(GroupBox16, Edit57, "Edit57", "0.0003", 88, 53, 57, FieldCheck::weight);
  add_label(GroupBox16, QStringLiteral("MDL = [Weight]*log(S^2) + [Weight Error]*log(N)"), 17, 88);

  Button2 = add_button(GroupBox3, "Button2", QStringLiteral("Draw Graph"), 312, 176, 73, 25);
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
}

void TForm1::build_populations_tab() {
  TabSheet3 = new QWidget();
  TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
  PageControl1->addTab(TabSheet3, QStringLiteral("Populations"));

  add_label(TabSheet3, QStringLiteral("Number of Population"), 224, 8);
  ComboBox1 = new QComboBox(TabSheet3);
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  ComboBox1->setEditable(true);
  ComboBox1->setInsertPolicy(QComboBox::NoInsert);
  ComboBox1->addItems(
      {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
  ComboBox1->setCurrentIndex(0);
  ComboBox1->setGeometry(344, 8, 73, 20);
  // A pick from the list takes effect at once, a typed count when it is confirmed
  // (Enter or leaving the box), so that typing is never interrupted.
  connect(ComboBox1, &QComboBox::activated, this, &TForm1::ComboBox1Change);
  connect(ComboBox1->lineEdit(), &QLineEdit::editingFinished, this, &TForm1::ComboBox1Change);

  PageControl2 = new QTabWidget(TabSheet3);
  PageControl2->setObjectName(QStringLiteral("PageControl2"));
  PageControl2->setGeometry(0, 24, 593, 377);
  for (int index = 0; index < 4; ++index) build_population_page(index, pages_[index]);
  const auto name_page = [](const PopulationPage& page, QWidget*& sheet, QLineEdit*& size,
                            QLineEdit*& terminals, RadioGroup*& selection, QLineEdit*& tournament,
                            QLineEdit*& elite, QLineEdit*& depth_new, QLineEdit*& depth_crossover,
                            QLineEdit*& depth_mutant, RadioGroup*& growth, QGroupBox*& rates,
                            QLineEdit*& crossover_function, QLineEdit*& crossover_any,
                            QLineEdit*& copy, QLineEdit*& mutation) {
    sheet = page.sheet;
    size = page.population_size;
    terminals = page.terminal_table_size;
    selection = page.selection;
    tournament = page.tournament_size;
    elite = page.elite;
    depth_new = page.depth_new;
    depth_crossover = page.depth_crossover;
    depth_mutant = page.depth_mutant;
    growth = page.growth;
    rates = page.rates;
    crossover_function = page.crossover_function;
    crossover_any = page.crossover_any;
    copy = page.copy;
    mutation = page.mutation;
  };
  name_page(pages_[0], TabSheet2, Edit1, Edit4, RadioGroup1, Edit3, Edit7, Edit13, Edit14, Edit58,
            RadioGroup5, GroupBox12, Edit33, Edit34, Edit35, Edit36);
  name_page(pages_[1], TabSheet5, Edit12, Edit16, RadioGroup2, Edit10, Edit11, Edit6, Edit8, Edit9,
            RadioGroup6, GroupBox13, Edit37, Edit38, Edit39, Edit40);
  name_page(pages_[2], TabSheet6, Edit17, Edit15, RadioGroup7, Edit18, Edit19, Edit20, Edit21,
            Edit22, RadioGroup3, GroupBox14, Edit41, Edit42, Edit43, Edit44);
  name_page(pages_[3], TabSheet7, Edit24, Edit23, RadioGroup8, Edit25, Edit26, Edit27, Edit28,
            Edit29, RadioGroup4, GroupBox15, Edit45, Edit46, Edit47, Edit48);
  for (int index = 1; index < 4; ++index) PageControl2->setTabVisible(index, false);
  PageControl2->setCurrentIndex(0);
}

void TForm1::build_population_page(int index, PopulationPage& page) {
  struct Names {
    const char* sheet;
    const char* population_size;
    const char* terminal_table_size;
    const char* selection;
    const char* tournament_size;
    const char* elite;
    const char* depth_new;
    const char* depth_crossover;
    const char* depth_mutant;
    const char* growth;
    const char* rates;
    const char* crossover_function;
    const char* crossover_any;
    const char* copy;
    const char* mutation;
  };
  static constexpr std::array<Names, 4> names{{
      {"TabSheet2", "Edit1", "Edit4", "RadioGroup1", "Edit3", "Edit7", "Edit13", "Edit14", "Edit58",
       "RadioGroup5", "GroupBox12", "Edit33", "Edit34", "Edit35", "Edit36"},
      {"TabSheet5", "Edit12", "Edit16", "RadioGroup2", "Edit10", "Edit11", "Edit6", "Edit8",
       "Edit9", "RadioGroup6", "GroupBox13", "Edit37", "Edit38", "Edit39", "Edit40"},
      {"TabSheet6", "Edit17", "Edit15", "RadioGroup7", "Edit18", "Edit19", "Edit20", "Edit21",
       "Edit22", "RadioGroup3", "GroupBox14", "Edit41", "Edit42", "Edit43", "Edit44"},
      {"TabSheet7", "Edit24", "Edit23", "RadioGroup8", "Edit25", "Edit26", "Edit27", "Edit28",
       "Edit29", "RadioGroup4", "GroupBox15", "Edit45", "Edit46", "Edit47", "Edit48"},
  }};
  const Names& name = names[static_cast<std::size_t>(index)];

  page.sheet = new QWidget();
  page.sheet->setObjectName(QString::fromLatin1(name.sheet));
  PageControl2->addTab(page.sheet, QStringLiteral("No%1").arg(index + 1));
  QWidget* sheet = page.sheet;

  auto* square = new QFrame(sheet);
  square->setObjectName(QStringLiteral("Shape%1").arg(index + 1));
  square->setGeometry(24, 32, 33, 33);
  square->setAutoFillBackground(true);
  QPalette square_palette = square->palette();
  square_palette.setColor(QPalette::Window, population_colour(index));
  square->setPalette(square_palette);

  const auto field = [this](QWidget* parent, const char* field_name, const char* text, int left,
                            int top, int width, FieldCheck check) {
    QLineEdit* created = nullptr;
    add_field(parent, created, field_name, text, left, top, width, check);
    return created;
  };

  add_label(sheet, QStringLiteral("Population Size"), 83, 32);
  page.population_size =
      field(sheet, name.population_size, "1000", 184, 24, 65, FieldCheck::natural);
  add_label(sheet, QStringLiteral("Terminal table size"), 80, 56);
  page.terminal_table_size =
      field(sheet, name.terminal_table_size, "100", 184, 56, 65, FieldCheck::natural);

  auto* selection_group =
      add_group(sheet, "", QStringLiteral("Selection Method"), 16, 88, 177, 193);
  page.selection = new RadioGroup(QString(),
                                  {QStringLiteral("Tournament"), QStringLiteral("Overselect"),
                                   QStringLiteral("Fitness proportional")},
                                  QRect(10, 14, 143, 107), selection_group);
  page.selection->setObjectName(QString::fromLatin1(name.selection));
  page.selection->setItemIndex(0);
  connect(page.selection, &RadioGroup::clicked, this, &TForm1::RadioGroup1Click);
  add_label(selection_group, QStringLiteral("Tournament Size"), 16, 136);
  page.tournament_size =
      field(selection_group, name.tournament_size, "6", 112, 133, 33, FieldCheck::natural);
  // A disabled tournament-size field shows the button face.
  QPalette tournament_palette = page.tournament_size->palette();
  tournament_palette.setColor(QPalette::Disabled, QPalette::Base, button_face(sheet));
  page.tournament_size->setPalette(tournament_palette);
  add_label(selection_group, QStringLiteral("Number of Elite"), 17, 167);
  page.elite = field(selection_group, name.elite, "10", 112, 162, 33, FieldCheck::natural);

  auto* depth_group =
      add_group(sheet, "", QStringLiteral("Depth of Tree"), 296, 8, index == 0 ? 241 : 249, 105);
  add_label(depth_group, QStringLiteral("Max Depth for new tree"), 21, 25);
  page.depth_new = field(depth_group, name.depth_new, "6", 163, 20, 54, FieldCheck::natural);
  add_label(depth_group, QStringLiteral("Max depth after crossover"), 21, 50);
  page.depth_crossover =
      field(depth_group, name.depth_crossover, "17", 163, 45, 54, FieldCheck::natural);
  add_label(depth_group, QStringLiteral("Max mutant depth"), 22, 75);
  page.depth_mutant = field(depth_group, name.depth_mutant, "10", 163, 70, 54, FieldCheck::natural);

  page.growth = new RadioGroup(QStringLiteral("Growth Method"),
                               {QStringLiteral("GROW"), QStringLiteral("RAMPED")},
                               QRect(424, 128, index == 0 ? 113 : 121, 153), sheet);
  page.growth->setObjectName(QString::fromLatin1(name.growth));
  page.growth->setItemIndex(0);

  page.rates =
      add_group(sheet, name.rates, QStringLiteral("Rate of GP Operations"), 208, 128, 201, 153);
  add_label(page.rates, QStringLiteral("Crossover at function node"), 8, 24);
  page.crossover_function =
      field(page.rates, name.crossover_function, "0.4", 152, 24, 41, FieldCheck::rate);
  add_label(page.rates, QStringLiteral("Crossover at any node"), 8, 56);
  page.crossover_any = field(page.rates, name.crossover_any, "0.4", 152, 56, 41, FieldCheck::rate);
  add_label(page.rates, QStringLiteral("Copy"), 8, 88);
  page.copy = field(page.rates, name.copy, "0", 152, 88, 41, FieldCheck::rate);
  add_label(page.rates, QStringLiteral("Mutation"), 8, 120);
  page.mutation = field(page.rates, name.mutation, "0.2", 152, 120, 41, FieldCheck::rate);
  for (QLineEdit* rate : {page.crossover_function, page.crossover_any, page.copy, page.mutation}) {
    rate_groups_.insert(rate, page.rates);
  }
}

// ---------------------------------------------------------------------------
// Start, close and the remembered folder

void TForm1::FormCreate() {
  {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                    QString::fromLatin1(kSettingsOrganisation),
                    QString::fromLatin1(kSettingsApplication));
    store.beginGroup(QString::fromLatin1(kSettingsSection));
    // Until a file is chosen the remembered folder stays what it was, so that a
    // session without a load or save does not forget it.
    current_folder_ =
        store.value(QString::fromLatin1(kSettingsValue), QString::fromLatin1(kDefaultFolder))
            .toString();
  }

  AboutBox->show_window();
  dialogs_.splash_delay(3000);
  AboutBox->hide();

  PageControl1->setCurrentWidget(TabSheet1);
}

void TForm1::write_remembered_folder() const {
  QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                  QString::fromLatin1(kSettingsOrganisation),
                  QString::fromLatin1(kSettingsApplication));
  store.beginGroup(QString::fromLatin1(kSettingsSection));
  store.setValue(QString::fromLatin1(kSettingsValue), current_folder_);
  store.endGroup();
  store.sync();
}

void TForm1::FormClose() {
  write_remembered_folder();
}

void TForm1::closeEvent(QCloseEvent* event) {
  // The run loop is further down the stack, inside BitBtn2Click: let it end at
  // the next generation boundary; BitBtn2Click then closes the window.
  if (run_in_progress_) {
    AbortRequested = true;
    close_after_run_ = true;
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

void TForm1::Exit1Click() {
  write_remembered_folder();
  dialogs_.end_process(0);
}

std::optional<QString> TForm1::choose_file() {
  auto path = dialogs_.open_file(this, current_folder_);
  if (path && !path->isEmpty()) {
    current_folder_ = QDir::toNativeSeparators(QFileInfo(*path).absolutePath());
    return path;
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// Help menu

void TForm1::About1Click() {
  AboutBox->show_window();
}

void TForm1::WebSite1Click() {
  dialogs_.open_url(QString::fromLatin1(kVenkoWebSite));
}

// ---------------------------------------------------------------------------
// Start

void TForm1::BitBtn2Click() {
  // While a run is in progress the button is the Abort button, also when Ctrl+S
  // reaches this handler with the button disabled: never a second run.
  if (button_kind(BitBtn2) != ButtonKind::ok || run_in_progress_) {
    if (dialogs_.ask_yes_no(this, QString::fromLatin1(kAbortCaption),
                            QString::fromLatin1(kAbortQuestion))) {
      AbortRequested = true;
    }
    return;
  }

  RunPaused = false;
  AbortRequested = false;
  const auto refuse_start = [this](const QString& message, bool show_data_tab) {
    dialogs_.message(this, message);
    if (show_data_tab) PageControl1->setCurrentWidget(TabSheet1);
  };
  if (!TrainingLoaded) return refuse_start(QString::fromLatin1(kNoTrainingData), true);
  if (!ValidationLoaded) return refuse_start(QString::fromLatin1(kNoValidationData), true);

  frontend::StartOutcome outcome;
  try {
    outcome = frontend::start_run(engine_, grid_cells(StringGrid1), grid_cells(StringGrid2),
                                  settings_texts(), PopulationCountIndex + 1);
  } catch (const std::bad_alloc&) {
    dialogs_.message(this, QString::fromLatin1(kMemoryAllocationError));
    dialogs_.end_process(1);
    return;
  }
  switch (outcome.error) {
    case frontend::StartError::none:
      break;
    // Faults in the loaded data: the grids are on "Problem Configuration".
    case frontend::StartError::training_invalid:
    case frontend::StartError::validation_invalid:
    case frontend::StartError::too_many_values:
    case frontend::StartError::constant_series:
    case frontend::StartError::non_finite_series:
      return refuse_start(QString::fromStdString(outcome.message), true);
    case frontend::StartError::unreadable_setting:
    case frontend::StartError::overselect_too_small:
    case frontend::StartError::elite_too_large:
      return refuse_start(QString::fromStdString(outcome.message), false);
  }

  PageControl1->setCurrentWidget(TabSheet4);
  RunGenerations();
  // A close during the run was held back until the run had ended.
  if (close_after_run_) {
    close_after_run_ = false;
    close();
  }
}

// ---------------------------------------------------------------------------
// Data loading

GridModel* TForm1::grid_model(const QTableView* grid) const {
  return static_cast<GridModel*>(grid->model());
}

const frontend::GridColumns& TForm1::grid_cells(const QTableView* grid) const {
  return grid_model(grid)->columns();
}

void TForm1::set_validation_group_open(bool open) {
  BitBtn4->setEnabled(open);
  Label17->setEnabled(open);
  Label23->setEnabled(open);
  // The menu entry runs the same load, so it follows the button.
  LoadValidationData1->setEnabled(open);
}

void TForm1::clear_preview_series(int index) {
  if (graph_form_ != nullptr) graph_form_->clear_series(index);
}

void TForm1::BitBtn3Click() {
  const auto path = choose_file();
  if (!path) return;
  const auto file = read_series(*path);
  if (!file) return;
  grid_model(StringGrid1)->load(frontend::make_grid(file->values, 0));
  TrainingLoaded = true;
  set_validation_group_open(true);
  grid_model(StringGrid2)->clear_cells();
  clear_preview_series(1);
  warn_about_doubtful_file(*path, *file);
}

void TForm1::BitBtn4Click() {
  if (!BitBtn4->isEnabled()) return;  // locked until a training series is loaded
  const auto path = choose_file();
  if (!path) return;
  const auto file = read_series(*path);
  if (!file) return;
  const auto training_rows = static_cast<std::int64_t>(grid_cells(StringGrid1).rows());
  grid_model(StringGrid2)->load(frontend::make_grid(file->values, training_rows));
  ValidationLoaded = true;
  const auto overlap =
      frontend::detect_overlap(grid_cells(StringGrid1).value, grid_cells(StringGrid2).value);
  Edit32->setText(QString::number(overlap));
  warn_about_doubtful_file(*path, *file);
}

std::optional<frontend::DataFileResult> TForm1::read_series(const QString& path) {
  auto file = frontend::read_data_file(QFile::encodeName(path).toStdString());
  if (file.error != frontend::DataFileError::none) {
    dialogs_.message(this, QString::fromLatin1(kFileCannotBeOpened));
    return std::nullopt;
  }
  // A binary file is no series: nothing of it is loaded.
  if (file.doubtful.problem == frontend::LineProblem::nul_byte) {
    dialogs_.message(this, QStringLiteral("\"%1\" is not a text file: %2. Nothing was loaded.")
                               .arg(QFileInfo(path).fileName(),
                                    QString::fromStdString(
                                        frontend::describe_doubtful_line(file.doubtful))));
    return std::nullopt;
  }
  return file;
}

// A file the format reads only in part is loaded as the format reads it, and
// the user is told which line was not a plain value.
void TForm1::warn_about_doubtful_file(const QString& path, const frontend::DataFileResult& file) {
  const QString name = QFileInfo(path).fileName();
  if (file.values.empty()) {
    dialogs_.message(this, QStringLiteral("\"%1\" holds no values.").arg(name));
    return;
  }
  const char* consequence = nullptr;
  switch (file.doubtful.problem) {
    case frontend::LineProblem::too_long:
      consequence = "Only its first 255 characters were read.";
      break;
    case frontend::LineProblem::lone_return:
      consequence = "The text around it was read as one line.";
      break;
    case frontend::LineProblem::no_number:
      consequence = "It was read as 0.";
      break;
    case frontend::LineProblem::nul_byte:
    case frontend::LineProblem::none:
      return;
  }
  dialogs_.message(this, QStringLiteral("\"%1\": %2. %3")
                             .arg(name,
                                  QString::fromStdString(
                                      frontend::describe_doubtful_line(file.doubtful)),
                                  QString::fromLatin1(consequence)));
}

void TForm1::Button1Click() {
  grid_model(StringGrid1)->clear_cells();
  clear_preview_series(0);
  set_validation_group_open(false);
  grid_model(StringGrid2)->clear_cells();
  clear_preview_series(1);
}

void TForm1::Button3Click() {
  grid_model(StringGrid2)->clear_cells();
  clear_preview_series(1);
}

void TForm1::Button2Click() {
  if (graph_form_ == nullptr) return;
  graph_form_->clear_series(0);
  graph_form_->clear_series(1);
  const std::array<const QTableView*, 2> grids{StringGrid1, StringGrid2};
  for (int series = 0; series < 2; ++series) {
    const auto& cells = grid_cells(grids[static_cast<std::size_t>(series)]);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(cells.rows()));
    for (std::size_t row = 0; row < cells.rows(); ++row) {
      const std::string& time_text = cells.time[row];
      const std::string& value_text = cells.value[row];
      if (time_text.empty() || value_text.empty()) continue;
      const auto time = frontend::parse_number(time_text);
      const auto value = frontend::parse_number(value_text);
      if (!time || !value) {
        // The rows before the bad one stay plotted; the window is not shown.
        graph_form_->set_points(series, points);
        const std::string& bad = time ? value_text : time_text;
        dialogs_.error(this, QStringLiteral("'%1' is not a floating point number.")
                                 .arg(QString::fromStdString(bad)));
        return;
      }
      points.append(QPointF(*time, *value));
    }
    graph_form_->set_points(series, points);
  }
  graph_form_->show_plot();
}

// ---------------------------------------------------------------------------
// Settings checks

bool TForm1::refuse(QLineEdit* field, const std::string& message) {
  dialogs_.message(this, QString::fromStdString(message));
  field->undo();
  focus_field(field);
  return false;
}

void TForm1::focus_field(QWidget* field) {
  // A field on a page that is not in front cannot take the focus: bring its
  // pages to the front first, outermost last.
  for (QWidget* child = field; child != nullptr; child = child->parentWidget()) {
    auto* stack = qobject_cast<QStackedWidget*>(child->parentWidget());
    if (stack == nullptr) continue;
    if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget())) {
      tabs->setCurrentWidget(child);
    }
  }
  field->setFocus(Qt::OtherFocusReason);
}

bool TForm1::Edit2Exit(QLineEdit* field) {
  if (auto message = frontend::check_natural(field->text().toStdString())) {
    return refuse(field, *message);
  }
  return true;
}

bool TForm1::Edit32Exit(QLineEdit* field) {
  if (auto message = frontend::check_overlap(field->text().toStdString())) {
    return refuse(field, *message);
  }
  return true;
}

bool TForm1::Edit56Exit(QLineEdit* field) {
  if (auto message = frontend::check_weight(field->text().toStdString())) {
    return refuse(field, *message);
  }
  return true;
}

bool TForm1::Edit33Exit(QLineEdit* field) {
  if (auto message = frontend::check_rate(field->text().toStdString())) {
    return refuse(field, *message);
  }
  return true;
}

const TForm1::PopulationPage* TForm1::page_of_rate_group(const QGroupBox* group) const {
  for (const auto& page : pages_) {
    if (page.rates == group) return &page;
  }
  return nullptr;
}

frontend::PopulationSettingsTexts TForm1::page_texts(const PopulationPage& page) {
  frontend::PopulationSettingsTexts texts;
  texts.population_size = page.population_size->text().toStdString();
  texts.terminal_table_size = page.terminal_table_size->text().toStdString();
  constexpr std::array<std::int32_t, 3> selection_codes{TOURNAMENT, OVERSELECT, FITNESSPROP};
  texts.selection_method =
      selection_codes[static_cast<std::size_t>(std::max(page.selection->itemIndex(), 0))];
  texts.tournament_size = page.tournament_size->text().toStdString();
  texts.elite = page.elite->text().toStdString();
  texts.depth_new = page.depth_new->text().toStdString();
  texts.depth_crossover = page.depth_crossover->text().toStdString();
  texts.depth_mutant = page.depth_mutant->text().toStdString();
  texts.grow_method = page.growth->itemIndex() == 1 ? RAMPED : GROW;
  texts.crossover_function = page.crossover_function->text().toStdString();
  texts.crossover_any = page.crossover_any->text().toStdString();
  texts.copy = page.copy->text().toStdString();
  texts.mutation = page.mutation->text().toStdString();
  return texts;
}

bool TForm1::GroupBox12Exit(QGroupBox* group) {
  const PopulationPage* page = page_of_rate_group(group);
  if (page == nullptr) return true;
  const auto message = frontend::check_rate_group(page_texts(*page));
  if (!message) return true;
  if (*message == frontend::kRateSum) focus_field(page->crossover_function);
  dialogs_.message(this, QString::fromStdString(*message));
  return false;
}

void TForm1::field_left(QLineEdit* field, QWidget* next_focus) {
  checking_ = true;
  bool passed = true;
  switch (field_checks_.value(field)) {
    case FieldCheck::natural:
      passed = Edit2Exit(field);
      break;
    case FieldCheck::overlap:
      passed = Edit32Exit(field);
      break;
    case FieldCheck::weight:
      passed = Edit56Exit(field);
      break;
    case FieldCheck::rate:
      passed = Edit33Exit(field);
      break;
  }
  // Leaving a rate field for a control outside its group also leaves the group.
  if (passed) {
    if (QGroupBox* group = rate_groups_.value(field)) {
      if (next_focus == nullptr || !group->isAncestorOf(next_focus)) GroupBox12Exit(group);
    }
  }
  checking_ = false;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && !checking_) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    // Only a move of the focus inside the window is a leave; a box or another
    // window taking over the keyboard is not.
    if (field != nullptr && field_checks_.contains(field) &&
        reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      QPointer<QLineEdit> left_field(field);
      QPointer<QWidget> next_focus(QApplication::focusWidget());
      // The check runs once the focus change is complete, not inside it.
      QTimer::singleShot(0, this, [this, left_field, next_focus] {
        if (left_field && !checking_) field_left(left_field, next_focus);
      });
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Number of populations and selection methods

void TForm1::ComboBox1Change() {
  if (changing_population_count_) return;
  changing_population_count_ = true;
  const auto restore = [this](const char* message) {
    dialogs_.message(this, QString::fromLatin1(message));
    ComboBox1->setCurrentIndex(PopulationCountIndex);
    ComboBox1->setEditText(QString::number(PopulationCountIndex + 1));
  };
  const auto count = frontend::parse_whole_number(ComboBox1->currentText().toStdString());
  if (!count) {
    restore(kPopulationCountNotWhole);
  } else if (*count < 1 || *count > 4) {
    restore(kPopulationCountRange);
  } else {
    PopulationCountIndex = *count - 1;
    for (int index = 1; index < 4; ++index) {
      const bool shown = index <= PopulationCountIndex;
      PageControl2->setTabVisible(index, shown);
      PageControl3->setTabVisible(index, shown);
    }
    PageControl2->setCurrentIndex(0);
  }
  changing_population_count_ = false;
}

void TForm1::RadioGroup1Click() {
  for (const auto& page : pages_) {
    page.tournament_size->setEnabled(page.selection->itemIndex() == 0);
  }
}

frontend::SettingsTexts TForm1::settings_texts() const {
  frontend::SettingsTexts texts;
  texts.generations = Edit2->text().toStdString();
  texts.seed = Edit30->text().toStdString();
  texts.value_limit = Edit31->text().toStdString();
  texts.overlap = Edit32->text().toStdString();
  texts.evaluate_by_mdl = CheckBox15->isChecked();
  texts.weight = Edit56->text().toStdString();
  texts.weight_error = Edit57->text().toStdString();
  for (std::size_t index = 0; index < pages_.size(); ++index) {
    texts.populations[index] = page_texts(pages_[index]);
  }
  return texts;
}

}  // namespace quarvel::ui
