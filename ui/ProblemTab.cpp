#include "ui/ProblemTab.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/FieldChecker.h"
#include "ui/FileDropTarget.h"
#include "ui/GridModel.h"
#include "ui/GridView.h"
#include "ui/qtext.h"

namespace quarvel::ui {

namespace {

using runs::Setting;

QPushButton* add_button(QBoxLayout* layout, const char* name, const QString& text,
                        QStyle::StandardPixmap icon = QStyle::SP_CustomBase) {
  auto* button = new QPushButton(text);
  button->setObjectName(QString::fromLatin1(name));
  if (icon != QStyle::SP_CustomBase) button->setIcon(button->style()->standardIcon(icon));
  layout->addWidget(button);
  return button;
}

// A data grid of two editable columns, five empty rows to start with, named
// for a screen reader as its box is captioned.
GridView* add_data_grid(QGroupBox* box, QBoxLayout* layout, const char* name) {
  auto* grid =
      new GridView(new GridModel(5, true, {QStringLiteral("Time"), QStringLiteral("Value")}),
                   QString::fromLatin1(name), 5);
  grid->setAccessibleName(box->title());
  // Typing starts an edit; a cell that merely becomes current does not, so
  // that the arrow keys move between the cells.
  grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                        QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  layout->addWidget(grid, 1);
  return grid;
}

}  // namespace

ProblemTab::ProblemTab(FieldChecker& checker, QWidget* parent)
    : QWidget(parent), settings_(checker, -1) {
  setObjectName(QStringLiteral("problem_tab"));
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);

  auto* training = new QGroupBox(QStringLiteral("Training Data"));
  auto* training_layout = new QVBoxLayout(training);
  training_grid_ = add_data_grid(training, training_layout, "training_grid");
  connect(new FileDropTarget(training_grid_), &FileDropTarget::file_dropped, this,
          &ProblemTab::training_file_dropped);
  auto* training_buttons = new QHBoxLayout();
  training_layout->addLayout(training_buttons);
  load_training_button_ = add_button(training_buttons, "load_training_button",
                                     QStringLiteral("Load"), QStyle::SP_DialogOpenButton);
  clear_training_button_ =
      add_button(training_buttons, "clear_training_button", QStringLiteral("Clear"));
  training_buttons->addStretch(1);
  connect(load_training_button_, &QPushButton::clicked, this, &ProblemTab::load_training_requested);
  connect(clear_training_button_, &QPushButton::clicked, this, &ProblemTab::clear_training_series);

  auto* validation = new QGroupBox(QStringLiteral("Validation Data"));
  auto* validation_layout = new QVBoxLayout(validation);
  validation_grid_ = add_data_grid(validation, validation_layout, "validation_grid");
  auto* validation_buttons = new QHBoxLayout();
  validation_layout->addLayout(validation_buttons);
  load_validation_button_ = add_button(validation_buttons, "load_validation_button",
                                       QStringLiteral("Load"), QStyle::SP_DialogOpenButton);
  clear_validation_button_ =
      add_button(validation_buttons, "clear_validation_button", QStringLiteral("Clear"));
  validation_buttons->addStretch(1);
  connect(load_validation_button_, &QPushButton::clicked, this,
          &ProblemTab::load_validation_requested);
  connect(clear_validation_button_, &QPushButton::clicked, this,
          &ProblemTab::clear_validation_series);
  open_validation(false);

  // The run-wide settings of the table, each group in its box.
  auto* global = new QGroupBox(to_qstring(runs::group_caption(runs::Group::global)));
  global->setObjectName(QStringLiteral("global_settings_group"));
  auto* global_layout = new QGridLayout(global);
  global_layout->setVerticalSpacing(4);
  std::array<QGridLayout*, 2> global_columns{new QGridLayout(), new QGridLayout()};
  settings_.add_group(runs::Group::global, global_columns, global);
  global_layout->addLayout(global_columns[0], 0, 0);
  global_layout->setColumnMinimumWidth(1, 16);
  global_layout->setColumnStretch(1, 1);
  global_layout->addLayout(global_columns[1], 0, 2);
  connect(settings_.field(Setting::overlap), &QLineEdit::textChanged, this,
          &ProblemTab::overlap_changed);

  auto* mdl = new QGroupBox(to_qstring(runs::group_caption(runs::Group::mdl)));
  mdl->setObjectName(QStringLiteral("mdl_settings_group"));
  auto* mdl_layout = new QVBoxLayout(mdl);
  auto* mdl_form = new QGridLayout();
  settings_.add_group(runs::Group::mdl, mdl_form, mdl);
  mdl_layout->addLayout(mdl_form);
  mdl_layout->addWidget(
      new QLabel(QStringLiteral("MDL = [Weight]*log(S^2) + [Weight Error]*log(N)")));
  global_layout->addWidget(mdl, 1, 0, 1, 2);

  // What the series goes through before it is modelled, beside the MDL
  // setting; every forecast and chart comes back in the series' own units.
  auto* transforms = new QGroupBox(to_qstring(runs::group_caption(runs::Group::transforms)));
  transforms->setObjectName(QStringLiteral("transform_settings_group"));
  auto* transforms_form = new QGridLayout(transforms);
  transforms_form->setVerticalSpacing(1);
  transforms_form->setContentsMargins(8, 2, 8, 2);
  settings_.add_group(runs::Group::transforms, transforms_form, transforms);
  auto* beside_mdl = new QVBoxLayout();
  beside_mdl->addWidget(transforms);
  draw_graph_button_ = new QPushButton(QStringLiteral("Draw Graph"));
  draw_graph_button_->setObjectName(QStringLiteral("draw_graph_button"));
  beside_mdl->addWidget(draw_graph_button_, 0, Qt::AlignRight);
  global_layout->addLayout(beside_mdl, 1, 2);
  connect(draw_graph_button_, &QPushButton::clicked, this, &ProblemTab::draw_graph_requested);

  // The grids take the height; the settings keep their own.
  layout->addWidget(training, 0, 0);
  layout->addWidget(validation, 0, 1);
  layout->addWidget(global, 1, 0, 1, 2);
  layout->setRowStretch(0, 1);
  layout->setColumnStretch(0, 1);
  layout->setColumnStretch(1, 1);
}

GridModel* ProblemTab::training_model() const {
  return training_grid_->grid_model();
}

GridModel* ProblemTab::validation_model() const {
  return validation_grid_->grid_model();
}

const data::GridColumns& ProblemTab::training_cells() const {
  return training_model()->columns();
}

const data::GridColumns& ProblemTab::validation_cells() const {
  return validation_model()->columns();
}

bool ProblemTab::validation_open() const {
  return load_validation_button_->isEnabled();
}

void ProblemTab::open_validation(bool open) {
  load_validation_button_->setEnabled(open);
  validation_grid_->horizontalHeader()->setEnabled(open);
  emit validation_opened(open);
}

void ProblemTab::show_training_series(data::GridColumns cells) {
  training_model()->load(std::move(cells));
  training_loaded_ = true;
  open_validation(true);
  validation_model()->clear_cells();
  detected_overlap_.reset();
  emit validation_cleared();
}

void ProblemTab::show_validation_series(data::GridColumns cells,
                                        std::optional<std::int32_t> overlap) {
  validation_model()->load(std::move(cells));
  validation_loaded_ = true;
  detected_overlap_ =
      overlap ? *overlap : data::detect_overlap(training_cells().value, validation_cells().value);
  settings_.field(Setting::overlap)->setText(QString::number(*detected_overlap_));
}

void ProblemTab::clear_training_series() {
  training_model()->clear_cells();
  emit training_cleared();
  open_validation(false);
  clear_validation_series();
}

void ProblemTab::clear_validation_series() {
  validation_model()->clear_cells();
  detected_overlap_.reset();
  emit validation_cleared();
}

void ProblemTab::fill_settings(runs::SettingsTexts& settings) const {
  settings_.fill(settings);
}

void ProblemTab::show_settings(const runs::SettingsTexts& settings) {
  settings_.show(settings);
}

QString ProblemTab::overlap_text() const {
  return settings_.field(Setting::overlap)->text();
}

}  // namespace quarvel::ui
