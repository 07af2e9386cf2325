#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "run/MainFormClicks.h"
#include "run/MainFormModel.h"
#include "run/MessageBoxes.h"
#include "win32/Design.h"
#include "win32/InputGate.h"
#include "win32/Window.h"

class TLevelsForm;
class TSerialDevicesForm;

// The main window: the four adjustment items, Start/Next and Exit/Cancel/Complete, the operator
// log and the menus. It mirrors the model's run view and log and forwards clicks to the run
// controller; it decides nothing itself.
class TMainForm final : public Window, public MainFormClicks<TMainForm> {
 public:
  // Shows a folder in the desktop's file manager, or a page in its browser; false when that
  // failed.
  using Opener = std::function<bool(const std::filesystem::path&)>;

  struct Seams {
    PortLink& port;
    BellOutput& bell;
    Clock& clock;
    IdlePump& pump;
    InputGate& gate;
    MessageBoxes& boxes;
  };

  explicit TMainForm(const Seams& seams);
  // With other stage operations than the adjustment steps.
  TMainForm(const Seams& seams, const MainFormModel::StageFactory& makeStages);
  ~TMainForm() override;

  HMENU MainMenu1 = nullptr;
  HMENU File1 = nullptr;
  HMENU Opiton1 = nullptr;

  HWND AdjItem = nullptr;
  HWND MotorTest = nullptr;
  HWND WhiteAdj = nullptr;
  HWND BlackAdj = nullptr;
  HWND NonAdj = nullptr;
  HWND BtnStart = nullptr;
  HWND BtnCancel = nullptr;
  HWND AdjMemo = nullptr;

  // The Levels window, made when first chosen from the menu.
  std::unique_ptr<TLevelsForm> LevelsForm;
  // The Serial devices dialog, made beside this window and kept until it ends.
  TSerialDevicesForm* SerialDevicesForm = nullptr;

  // The log, the adjustment record and the run controller.
  MainFormModel Model;

  // BtnStartClick, BtnCancelClick, Start1Click and Exit1Click come from MainFormClicks.
  void COMMport1Click();
  void Version1Click();
  void Serialdevices1Click();
  void Levels1Click();
  // Shows the folder of the run records in Explorer.
  void Runsfolder1Click();
  // Shows the index of the runs folder, brought up to date, in the browser.
  void Runs1Click();

  // Ctrl+X, for the message loop to translate while this window or one of its controls has it.
  bool TranslateShortcut(MSG& message) const;
  // Centred on the screen and shown.
  void Show(int how);
  void SetFolderOpener(Opener opener) { openFolder_ = std::move(opener); }
  void SetPageOpener(Opener opener) { openPage_ = std::move(opener); }

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Layout(UINT dpi) override;

 private:
  void BuildMenu();
  void BuildControls();
  void ShowView();
  void ShowLog();
  void ShowBusyPointer() const;
  bool PointerOverStart() const;
  void GiveFocusToControl();
  void Command(int id);
  friend class MainFormClicks<TMainForm>;
  void Guarded(const std::function<void()>& handler);
  InputGate::Scope HoldInput();
  void CloseWindow();

  InputGate& gate_;
  MessageBoxes& boxes_;
  Opener openFolder_;
  Opener openPage_;
  HACCEL shortcuts_ = nullptr;
  design::Font windowFont_;
  design::Font controlFont_;
  design::Font groupFont_;
  bool reportShown_ = false;
  HWND focused_ = nullptr;  // the control that had the focus when the window was left
};
