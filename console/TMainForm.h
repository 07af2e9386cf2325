#pragma once

#include <QMainWindow>

#include <functional>

#include "console/InputBlocker.h"
#include "run/MainFormClicks.h"
#include "run/MainFormModel.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class TLevelsForm;

// The main window: the four adjustment items, Start/Next and Exit/Cancel/Complete, the operator
// log and the menus. It mirrors the model's run view and log and forwards clicks to the run
// controller; it decides nothing itself.
class TMainForm final : public QMainWindow, public MainFormClicks<TMainForm> {
  Q_OBJECT

 public:
  struct Seams {
    PortLink& port;
    BellOutput& bell;
    Clock& clock;
    IdlePump& pump;
    InputBlocker& blocker;
  };

  explicit TMainForm(const Seams& seams, QWidget* owner = nullptr);
  // With other stage operations than the adjustment steps.
  TMainForm(const Seams& seams, const MainFormModel::StageFactory& makeStages,
            QWidget* owner = nullptr);
  ~TMainForm() override;

  QMenuBar* MainMenu1;
  QMenu* File1;
  QAction* Start1;
  QAction* Exit1;
  QMenu* Opiton1;
  QAction* COMMport1;
  QAction* Serialdevices1;
  QAction* Version1;
  // The "Serial devices" dialog, made after the three windows; nothing to show until then.
  QWidget* SerialDevicesForm = nullptr;
  QAction* Runsfolder1;
  QAction* Runs1;
  QAction* Levels1;

  QGroupBox* AdjItem;
  QLabel* MotorTest;
  QLabel* WhiteAdj;
  QLabel* BlackAdj;
  QLabel* NonAdj;
  QPushButton* BtnStart;
  QPushButton* BtnCancel;
  QPlainTextEdit* AdjMemo;

  // The Levels window, made when first chosen from the menu.
  TLevelsForm* LevelsForm = nullptr;

  // The log, the adjustment record and the run controller.
  MainFormModel Model;

  // BtnStartClick, BtnCancelClick, Start1Click and Exit1Click come from MainFormClicks.
  void COMMport1Click();
  void Serialdevices1Click();
  void Version1Click();
  void Levels1Click();
  // Shows the folder of the run records in the desktop's file manager.
  void Runsfolder1Click();
  // Shows the index of the runs, brought up to date, in the desktop's browser.
  void Runs1Click();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void BuildMenu();
  void ShowView();
  void ShowLog();
  friend class MainFormClicks<TMainForm>;
  void Guarded(const std::function<void()>& handler);
  InputBlocker::Scope HoldInput();
  void CloseWindow();

  InputBlocker& blocker_;
  bool placed_ = false;
};
