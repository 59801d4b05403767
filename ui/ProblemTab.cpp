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

using frontend::Setting;

QString label_of(Setting id) {
  return to_qstring(frontend::setting_info(id).label);
}

QPushButton* add_button(QBoxLayout* layout, const char* name, const QString& text,
                        QStyle::StandardPixmap icon = QStyle::SP_CustomBase) {
  auto* button = new QPushButton(text);
  button->setObjectName(QString::fromLatin1(name));
  if (icon != QStyle::SP_CustomBase) button->setIcon(button->style()->standardIcon(icon));
  layout->addWidget(button);
  return button;
}

// A data grid of two editable columns, five empty rows to start with.
GridView* add_data_grid(QBoxLayout* layout, const char* name) {
  auto* grid =
      new GridView(new GridModel(5, true, {QStringLiteral("Time"), QStringLiteral("Value")}),
                   QString::fromLatin1(name), 5);
  // Typing starts an edit; a cell that merely becomes current does not, so
  // that the arrow keys move between the cells.
  grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                        QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  layout->addWidget(grid, 1);
  return grid;
}

// A caption broken over two lines where it is long.
QLabel* wrapped_label(const QString& text) {
  auto* label = new QLabel(text);
  label->setWordWrap(true);
  return label;
}

}  // namespace

ProblemTab::ProblemTab(FieldChecker& checker, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("problem_tab"));
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);

  auto* training = new QGroupBox(QStringLiteral("Training Data"));
  auto* training_layout = new QVBoxLayout(training);
  training_grid_ = add_data_grid(training_layout, "training_grid");
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
  validation_grid_ = add_data_grid(validation_layout, "validation_grid");
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

  auto* global = new QGroupBox(QStringLiteral("Global Settings"));
  auto* global_layout = new QGridLayout(global);
  global_layout->addWidget(new QLabel(label_of(Setting::generations)), 0, 0);
  generations_edit_ = checker.add_field(Setting::generations, global);
  global_layout->addWidget(generations_edit_, 0, 1);
  global_layout->addWidget(new QLabel(label_of(Setting::seed)), 1, 0);
  seed_edit_ = checker.add_field(Setting::seed, global);
  global_layout->addWidget(seed_edit_, 1, 1);
  rank_by_mdl_check_ = new QCheckBox(label_of(Setting::rank_by));
  rank_by_mdl_check_->setObjectName(QStringLiteral("rank_by_mdl_check"));
  rank_by_mdl_check_->setChecked(frontend::setting_info(Setting::rank_by).default_text == "mdl");
  global_layout->addWidget(rank_by_mdl_check_, 2, 0, 1, 2);
  global_layout->setColumnMinimumWidth(2, 16);
  global_layout->setColumnStretch(2, 1);
  global_layout->setVerticalSpacing(4);
  global_layout->addWidget(wrapped_label(label_of(Setting::value_limit)), 0, 3);
  value_limit_edit_ = checker.add_field(Setting::value_limit, global);
  global_layout->addWidget(value_limit_edit_, 0, 4);
  global_layout->addWidget(wrapped_label(label_of(Setting::overlap)), 1, 3);
  overlap_edit_ = checker.add_field(Setting::overlap, global);
  connect(overlap_edit_, &QLineEdit::textChanged, this, &ProblemTab::overlap_changed);
  global_layout->addWidget(overlap_edit_, 1, 4);
  global_layout->addWidget(new QLabel(label_of(Setting::forecast_ahead)), 2, 3);
  forecast_edit_ = checker.add_field(Setting::forecast_ahead, global);
  global_layout->addWidget(forecast_edit_, 2, 4);

  auto* mdl = new QGroupBox(QStringLiteral("MDL Setting"));
  auto* mdl_layout = new QGridLayout(mdl);
  mdl_layout->addWidget(new QLabel(label_of(Setting::weight)), 0, 0);
  weight_edit_ = checker.add_field(Setting::weight, mdl);
  mdl_layout->addWidget(weight_edit_, 0, 1);
  mdl_layout->addWidget(new QLabel(label_of(Setting::weight_error)), 1, 0);
  weight_error_edit_ = checker.add_field(Setting::weight_error, mdl);
  mdl_layout->addWidget(weight_error_edit_, 1, 1);
  mdl_layout->setColumnStretch(2, 1);
  mdl_layout->addWidget(
      new QLabel(QStringLiteral("MDL = [Weight]*log(S^2) + [Weight Error]*log(N)")), 2, 0, 1, 3);
  global_layout->addWidget(mdl, 3, 0, 1, 4);

  draw_graph_button_ = new QPushButton(QStringLiteral("Draw Graph"));
  draw_graph_button_->setObjectName(QStringLiteral("draw_graph_button"));
  global_layout->addWidget(draw_graph_button_, 3, 4, Qt::AlignBottom | Qt::AlignRight);
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
  validation_grid_->horizontalHeader()->setEnabled(open);
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

std::array<std::pair<Setting, QLineEdit*>, 7> ProblemTab::fields() const {
  return {{{Setting::generations, generations_edit_},
           {Setting::seed, seed_edit_},
           {Setting::value_limit, value_limit_edit_},
           {Setting::overlap, overlap_edit_},
           {Setting::forecast_ahead, forecast_edit_},
           {Setting::weight, weight_edit_},
           {Setting::weight_error, weight_error_edit_}}};
}

void ProblemTab::fill_settings(frontend::SettingsTexts& settings) const {
  for (const auto& [id, edit] : fields()) settings.set(id, edit->text().toStdString());
  settings.set(Setting::rank_by, rank_by_mdl_check_->isChecked() ? "mdl" : "mse");
}

void ProblemTab::show_settings(const frontend::SettingsTexts& settings) {
  for (const auto& [id, edit] : fields()) edit->setText(to_qstring(settings.text(id)));
  rank_by_mdl_check_->setChecked(settings.text(Setting::rank_by) == "mdl");
}

QString ProblemTab::overlap_text() const {
  return overlap_edit_->text();
}

}  // namespace quarvel::ui
