#include "ui/ProblemTab.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>

#include "ui/FieldChecker.h"
#include "ui/FileDropTarget.h"
#include "ui/GridModel.h"
#include "ui/qtext.h"

namespace quarvel::ui {

namespace {

using frontend::Setting;

QLabel* add_label(QWidget* parent, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
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

QString label_of(Setting id) {
  return to_qstring(frontend::setting_info(id).label);
}

QGroupBox* add_group(QWidget* parent, const QString& title, const QRect& geometry) {
  auto* group = new QGroupBox(title, parent);
  group->setGeometry(geometry);
  return group;
}

QPushButton* add_button(QWidget* parent, const char* name, const QString& text,
                        const QRect& geometry) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(geometry);
  return button;
}

// Two editable columns of width 64, rows 24 high, 5 empty rows.
QTableView* add_data_grid(QWidget* parent, const char* name, const QRect& geometry,
                          bool tab_moves_between_cells) {
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
  grid->setGeometry(geometry);
  return grid;
}

}  // namespace

ProblemTab::ProblemTab(FieldChecker& checker, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("problem_tab"));

  auto* training = add_group(this, QStringLiteral("Training Data"), QRect(16, 8, 193, 225));
  add_label(training, QStringLiteral("Time"), 34, 27);
  add_label(training, QStringLiteral("Value"), 96, 27);
  training_grid_ = add_data_grid(training, "training_grid", QRect(28, 40, 133, 129), true);
  connect(new FileDropTarget(training_grid_), &FileDropTarget::file_dropped, this,
          &ProblemTab::training_file_dropped);
  load_training_button_ =
      add_button(training, "load_training_button", QStringLiteral("Load"), QRect(32, 184, 58, 24));
  load_training_button_->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
  clear_training_button_ = add_button(training, "clear_training_button", QStringLiteral("Clear"),
                                      QRect(96, 184, 57, 25));
  connect(load_training_button_, &QPushButton::clicked, this, &ProblemTab::load_training_requested);
  connect(clear_training_button_, &QPushButton::clicked, this, &ProblemTab::clear_training_series);

  auto* validation = add_group(this, QStringLiteral("Validation Data"), QRect(232, 8, 177, 225));
  validation_time_label_ = add_label(validation, QStringLiteral("Time"), 26, 27);
  validation_time_label_->setObjectName(QStringLiteral("validation_time_label"));
  validation_value_label_ = add_label(validation, QStringLiteral("Value"), 88, 27);
  validation_value_label_->setObjectName(QStringLiteral("validation_value_label"));
  validation_grid_ = add_data_grid(validation, "validation_grid", QRect(20, 40, 133, 129), false);
  load_validation_button_ = add_button(validation, "load_validation_button", QStringLiteral("Load"),
                                       QRect(23, 184, 58, 24));
  load_validation_button_->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
  clear_validation_button_ = add_button(validation, "clear_validation_button",
                                        QStringLiteral("Clear"), QRect(88, 184, 57, 25));
  connect(load_validation_button_, &QPushButton::clicked, this,
          &ProblemTab::load_validation_requested);
  connect(clear_validation_button_, &QPushButton::clicked, this,
          &ProblemTab::clear_validation_series);
  open_validation(false);

  auto* global = add_group(this, QStringLiteral("Global Settings"), QRect(16, 240, 393, 217));
  add_label(global, label_of(Setting::generations), 16, 20);
  generations_edit_ = checker.add_field(Setting::generations, global, QRect(96, 16, 57, 0));
  add_label(global, label_of(Setting::seed), 16, 44);
  seed_edit_ = checker.add_field(Setting::seed, global, QRect(96, 40, 33, 0));
  add_wrapped_label(global, label_of(Setting::value_limit), 200, 16, 126);
  value_limit_edit_ = checker.add_field(Setting::value_limit, global, QRect(328, 16, 41, 0));
  add_wrapped_label(global, label_of(Setting::overlap), 200, 56, 126);
  overlap_edit_ = checker.add_field(Setting::overlap, global, QRect(328, 64, 41, 0));
  rank_by_mdl_check_ = new QCheckBox(label_of(Setting::rank_by), global);
  rank_by_mdl_check_->setObjectName(QStringLiteral("rank_by_mdl_check"));
  rank_by_mdl_check_->setChecked(frontend::setting_info(Setting::rank_by).default_text == "mdl");
  rank_by_mdl_check_->move(16, 72);
  rank_by_mdl_check_->adjustSize();

  auto* mdl = add_group(global, QStringLiteral("MDL Setting"), QRect(8, 96, 297, 113));
  add_label(mdl, label_of(Setting::weight), 16, 21);
  weight_edit_ = checker.add_field(Setting::weight, mdl, QRect(88, 21, 57, 0));
  add_label(mdl, label_of(Setting::weight_error), 16, 53);
  weight_error_edit_ = checker.add_field(Setting::weight_error, mdl, QRect(88, 53, 57, 0));
  add_label(mdl, QStringLiteral("MDL = [Weight]*log(S^2) + [Weight Error]*log(N)"), 17, 88);

  draw_graph_button_ = add_button(global, "draw_graph_button", QStringLiteral("Draw Graph"),
                                  QRect(312, 176, 73, 25));
  connect(draw_graph_button_, &QPushButton::clicked, this, &ProblemTab::draw_graph_requested);
}

GridModel* ProblemTab::training_model() const {
  return static_cast<GridModel*>(training_grid_->model());
}

GridModel* ProblemTab::validation_model() const {
  return static_cast<GridModel*>(validation_grid_->model());
}

const frontend::GridColumns& ProblemTab::training_cells() const {
  return training_model()->columns();
}

const frontend::GridColumns& ProblemTab::validation_cells() const {
  return validation_model()->columns();
}

bool ProblemTab::validation_open() const {
  return load_validation_button_->isEnabled();
}

void ProblemTab::open_validation(bool open) {
  load_validation_button_->setEnabled(open);
  validation_time_label_->setEnabled(open);
  validation_value_label_->setEnabled(open);
  emit validation_opened(open);
}

void ProblemTab::show_training_series(frontend::GridColumns cells) {
  training_model()->load(std::move(cells));
  training_loaded_ = true;
  open_validation(true);
  validation_model()->clear_cells();
  emit validation_cleared();
}

void ProblemTab::show_validation_series(frontend::GridColumns cells) {
  validation_model()->load(std::move(cells));
  validation_loaded_ = true;
  const auto overlap = frontend::detect_overlap(training_cells().value, validation_cells().value);
  overlap_edit_->setText(QString::number(overlap));
}

void ProblemTab::clear_training_series() {
  training_model()->clear_cells();
  emit training_cleared();
  open_validation(false);
  clear_validation_series();
}

void ProblemTab::clear_validation_series() {
  validation_model()->clear_cells();
  emit validation_cleared();
}

void ProblemTab::fill_settings(frontend::SettingsTexts& settings) const {
  settings.set(Setting::generations, generations_edit_->text().toStdString());
  settings.set(Setting::seed, seed_edit_->text().toStdString());
  settings.set(Setting::value_limit, value_limit_edit_->text().toStdString());
  settings.set(Setting::overlap, overlap_edit_->text().toStdString());
  settings.set(Setting::rank_by, rank_by_mdl_check_->isChecked() ? "mdl" : "mse");
  settings.set(Setting::weight, weight_edit_->text().toStdString());
  settings.set(Setting::weight_error, weight_error_edit_->text().toStdString());
}

QString ProblemTab::overlap_text() const {
  return overlap_edit_->text();
}

}  // namespace quarvel::ui
