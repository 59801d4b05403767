// TForm1: the main window. Its three tabs hold the data grids and run-wide
// settings ("Problem Configuration"), the per-population settings
// ("Populations") and the run's charts, text and output grids ("Results").
// The run itself reads the grids and settings through grid_cells() and
// settings_texts(); nothing here enters the engine before Start.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QString>
#include <array>
#include <optional>

#include "WindowFont.h"
#include "datafile.h"
#include "runsettings.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;

namespace quarvel {
struct Engine;
}

namespace quarvel::ui {

class ChartView;
class GridModel;
class RadioGroup;
class TAboutBox;
class TForm5;
class TForm6;
class TGraphForm;
class UserDialogs;
struct ResultHistories;

// Where the remembered folder lives in the per-user settings store: key path
// Software\Venko\Regression, section DIRECTORY, value INIT.
inline constexpr const char* kSettingsOrganisation = "Venko";
inline constexpr const char* kSettingsApplication = "Regression";
inline constexpr const char* kSettingsSection = "DIRECTORY";
inline constexpr const char* kSettingsValue = "INIT";
inline constexpr const char* kDefaultFolder = "C:\\";

inline constexpr const char* kFileCannotBeOpened = "File cannot be opend.";
inline constexpr const char* kNoTrainingData = "You must load data set for training before GP run.";
inline constexpr const char* kNoValidationData =
    "You must load data set for validation before GP run.";
inline constexpr const char* kTrainingInvalid = "Loaded Training Data contains Invalid Value.";
inline constexpr const char* kValidationInvalid = "Loaded Validation Data contains Invalid Value.";
inline constexpr const char* kMemoryAllocationError = "Memory Allocation Error!!!!";
inline constexpr const char* kPopulationCountNotWhole =
    "The number of populations must be a whole number.";
inline constexpr const char* kPopulationCountRange =
    "The number of populations must be 1, 2, 3 or 4.";

class TForm1 final : public QMainWindow {
  Q_OBJECT

 public:
  // `engine` is the program's one engine; `dialogs` answers for the user.
  // FormCreate (remembered folder, splash) runs before the constructor returns.
  TForm1(Engine& engine, UserDialogs& dialogs, QWidget* parent = nullptr);
  ~TForm1() override;

  // The program's engine; Start hands it the data and settings.
  [[nodiscard]] Engine& engine() noexcept { return engine_; }

  // The secondary windows, created after the main window.
  void set_secondary_windows(TGraphForm* graph_form, TForm5* form5, TForm6* form6);

  // Handlers, named after control and event; like controls share one.
  void FormCreate();
  void FormClose();
  void Exit1Click();
  void About1Click();
  void WebSite1Click();
  void BitBtn2Click();
  void BitBtn1Click();
  void BitBtn3Click();
  void BitBtn4Click();
  void Button1Click();
  void Button3Click();
  void Button2Click();
  bool Edit2Exit(QLineEdit* field);   // whole number >= 1
  bool Edit32Exit(QLineEdit* field);  // whole number >= 0
  bool Edit56Exit(QLineEdit* field);  // number > 0
  bool Edit33Exit(QLineEdit* field);  // number >= 0
  bool GroupBox12Exit(QGroupBox* group);
  void ComboBox1Change();
  void RadioGroup1Click();
  void Chart2DblClick();
  void Chart3DblClick();
  void Button4Click();
  void Button5Click();
  void Button6Click();
  void Button7Click();

  // The run driver and the results view (Gp.cpp). RunGenerations runs inside
  // BitBtn2Click and returns when the run has ended or been aborted.
  void RunGenerations();
  void ProcessPendingMessages();
  void ResetResultCharts();
  void PrepareResultsView();
  void ShowGenerationResults(ResultHistories& histories, int g);
  void PlotPredictionCurves(const std::vector<std::vector<double>>& predictions);
  void PlotBestHistory(ChartView* chart, const std::vector<std::vector<double>>& histories,
                       int count);
  void SaveOutputGrid(QTableView* grid);
  // True from the start of RunGenerations until it returns.
  [[nodiscard]] bool run_in_progress() const noexcept { return run_in_progress_; }

  // The cells of a data or output grid, as the data path reads them.
  [[nodiscard]] const frontend::GridColumns& grid_cells(const QTableView* grid) const;
  [[nodiscard]] GridModel* grid_model(const QTableView* grid) const;
  // Every settings field's text (and the choices) as typed.
  [[nodiscard]] frontend::SettingsTexts settings_texts() const;
  // The folder the file dialog opens in and the settings store keeps when the
  // program ends: that of the file chosen last, in this session or before.
  [[nodiscard]] QString remembered_folder() const { return current_folder_; }

  bool TrainingLoaded = false;
  bool ValidationLoaded = false;
  bool RunPaused = false;
  bool AbortRequested = false;
  int PopulationCountIndex = 0;

  // Menus.
  QMenu* File1 = nullptr;
  QAction* LoadTrainingData1 = nullptr;
  QAction* LoadValidationData1 = nullptr;
  QAction* Exit1 = nullptr;
  QMenu* Help1 = nullptr;
  QAction* About1 = nullptr;
  QAction* WebSite1 = nullptr;
  QAction* StartGPRun1 = nullptr;  // Ctrl+S, never shown in a menu

  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;  // "Problem Configuration"
  QWidget* TabSheet3 = nullptr;  // "Populations"
  QWidget* TabSheet4 = nullptr;  // "Results"

  // "Problem Configuration": data groups.
  QGroupBox* GroupBox1 = nullptr;  // "Training Data"
  QTableView* StringGrid1 = nullptr;
  QPushButton* BitBtn3 = nullptr;
  QPushButton* Button1 = nullptr;
  QGroupBox* GroupBox2 = nullptr;  // "Validation Data"
  QLabel* Label17 = nullptr;
  QLabel* Label23 = nullptr;
  QTableView* StringGrid2 = nullptr;
  QPushButton* BitBtn4 = nullptr;
  QPushButton* Button3 = nullptr;

  // "Problem Configuration": "Global Settings".
  QGroupBox* GroupBox3 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QLineEdit* Edit30 = nullptr;
  QLineEdit* Edit31 = nullptr;
  QLineEdit* Edit32 = nullptr;
  QCheckBox* CheckBox15 = nullptr;
  QGroupBox* GroupBox16 = nullptr;  // "MDL Setting"
  QLineEdit* Edit56 = nullptr;
  QLineEdit* Edit57 = nullptr;
  QPushButton* Button2 = nullptr;  // "Draw Graph"

  // "Populations".
  QComboBox* ComboBox1 = nullptr;
  QTabWidget* PageControl2 = nullptr;
  QWidget* TabSheet2 = nullptr;  // "No1"
  QWidget* TabSheet5 = nullptr;  // "No2"
  QWidget* TabSheet6 = nullptr;  // "No3"
  QWidget* TabSheet7 = nullptr;  // "No4"
  QLineEdit *Edit1 = nullptr, *Edit3 = nullptr, *Edit4 = nullptr, *Edit6 = nullptr,
            *Edit7 = nullptr, *Edit8 = nullptr, *Edit9 = nullptr, *Edit10 = nullptr,
            *Edit11 = nullptr, *Edit12 = nullptr, *Edit13 = nullptr, *Edit14 = nullptr,
            *Edit15 = nullptr, *Edit16 = nullptr, *Edit17 = nullptr, *Edit18 = nullptr,
            *Edit19 = nullptr, *Edit20 = nullptr, *Edit21 = nullptr, *Edit22 = nullptr,
            *Edit23 = nullptr, *Edit24 = nullptr, *Edit25 = nullptr, *Edit26 = nullptr,
            *Edit27 = nullptr, *Edit28 = nullptr, *Edit29 = nullptr, *Edit33 = nullptr,
            *Edit34 = nullptr, *Edit35 = nullptr, *Edit36 = nullptr, *Edit37 = nullptr,
            *Edit38 = nullptr, *Edit39 = nullptr, *Edit40 = nullptr, *Edit41 = nullptr,
            *Edit42 = nullptr, *Edit43 = nullptr, *Edit44 = nullptr, *Edit45 = nullptr,
            *Edit46 = nullptr, *Edit47 = nullptr, *Edit48 = nullptr, *Edit58 = nullptr;
  RadioGroup *RadioGroup1 = nullptr, *RadioGroup2 = nullptr, *RadioGroup3 = nullptr,
             *RadioGroup4 = nullptr, *RadioGroup5 = nullptr, *RadioGroup6 = nullptr,
             *RadioGroup7 = nullptr, *RadioGroup8 = nullptr;
  QGroupBox *GroupBox12 = nullptr, *GroupBox13 = nullptr, *GroupBox14 = nullptr,
            *GroupBox15 = nullptr;

  // "Results".
  ChartView* Chart1 = nullptr;
  ChartView* Chart2 = nullptr;
  ChartView* Chart3 = nullptr;
  QGroupBox* GroupBox17 = nullptr;  // "Output"
  QTabWidget* PageControl3 = nullptr;
  QWidget *TabSheet8 = nullptr, *TabSheet9 = nullptr, *TabSheet10 = nullptr, *TabSheet11 = nullptr;
  QTableView *StringGrid3 = nullptr, *StringGrid4 = nullptr, *StringGrid5 = nullptr,
             *StringGrid6 = nullptr;
  QPushButton *Button4 = nullptr, *Button5 = nullptr, *Button6 = nullptr, *Button7 = nullptr;
  QFrame* Panel2 = nullptr;
  QLabel* Label28 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QLabel *Label31 = nullptr, *Label48 = nullptr, *Label82 = nullptr, *Label83 = nullptr;
  QPushButton* BitBtn2 = nullptr;  // "Start"
  QPushButton* BitBtn1 = nullptr;  // "Stop"

  TAboutBox* AboutBox = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The fields of one population page, in the order of the page.
  struct PopulationPage {
    QWidget* sheet = nullptr;
    QLineEdit* population_size = nullptr;
    QLineEdit* terminal_table_size = nullptr;
    RadioGroup* selection = nullptr;
    QLineEdit* tournament_size = nullptr;
    QLineEdit* elite = nullptr;
    QLineEdit* depth_new = nullptr;
    QLineEdit* depth_crossover = nullptr;
    QLineEdit* depth_mutant = nullptr;
    RadioGroup* growth = nullptr;
    QGroupBox* rates = nullptr;
    QLineEdit* crossover_function = nullptr;
    QLineEdit* crossover_any = nullptr;
    QLineEdit* copy = nullptr;
    QLineEdit* mutation = nullptr;
  };
  enum class FieldCheck { natural, overlap, weight, rate };

  void build_menus();
  void build_problem_tab();
  void build_populations_tab();
  void build_population_page(int index, PopulationPage& page);
  void BuildResultsTab();               // Gp.cpp
  void press_button_of_kind(int kind);  // Gp.cpp: Enter and Esc on the "Results" tab
  void PlotChartWindows(const ResultHistories& histories, int count);  // Gp.cpp
  QLineEdit* add_field(QWidget* parent, QLineEdit*& member, const char* name, const char* text,
                       int left, int top, int width, FieldCheck check);

  std::optional<QString> choose_file();
  // Reads a data file for a load; nothing (after telling the user) when it
  // cannot be opened or is not a text file.
  std::optional<frontend::DataFileResult> read_series(const QString& path);
  void warn_about_doubtful_file(const QString& path, const frontend::DataFileResult& file);
  void write_remembered_folder() const;
  void set_validation_group_open(bool open);
  void clear_preview_series(int index);
  bool refuse(QLineEdit* field, const std::string& message);
  void focus_field(QWidget* field);
  void field_left(QLineEdit* field, QWidget* next_focus);
  [[nodiscard]] const PopulationPage* page_of_rate_group(const QGroupBox* group) const;
  [[nodiscard]] static frontend::PopulationSettingsTexts page_texts(const PopulationPage& page);

  Engine& engine_;
  UserDialogs& dialogs_;
  TGraphForm* graph_form_ = nullptr;
  TForm5* form5_ = nullptr;
  TForm6* form6_ = nullptr;

  std::array<PopulationPage, 4> pages_;
  std::array<QWidget*, 4> output_sheets_{};
  QHash<QLineEdit*, FieldCheck> field_checks_;
  QHash<QLineEdit*, QGroupBox*> rate_groups_;
  bool checking_ = false;
  bool run_in_progress_ = false;
  bool close_after_run_ = false;  // the window was closed during a run
  bool changing_population_count_ = false;

  QString current_folder_;
};

}  // namespace quarvel::ui
