#pragma once

// The program's windows, made as WinMain makes them, on the virtual display Wine draws on.
// Clicks are the window system's: BM_CLICK to a button, WM_COMMAND for a menu item, input
// posted to the queue as a technician's would arrive; what the windows show is read back with
// WM_GETTEXT, IsWindowEnabled and the menu's state.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "program/ProgramParts.h"
#include "tests/run/MainWindowExpectations.h"
#include "tests/support/FakeClock.h"
#include "tests/support/Recorders.h"
#include "win32/ControlIds.h"
#include "win32/Forms.h"
#include "win32/InputGate.h"
#include "win32/MessageLoop.h"
#include "win32/TMainForm.h"
#include "win32/TRs232cForm.h"
#include "win32/TSerialDevicesForm.h"
#include "win32/TVersionForm.h"
#include "win32/Text.h"

class Win32Windows : public testing::Test {
 protected:
  // The main window over this port and these stages, then the dialogs (the settings dialog opens
  // COM1 through the driver). Over the driver, runs are watched as the program watches them.
  void Make(PortLink& port, const MainFormModel::StageFactory& stages = MakeStageTable) {
    form_ = std::make_unique<TMainForm>(TMainForm::Seams{port, bell_, clock_, pump_, gate_, boxes_},
                                        stages);
    MainForm = form_.get();
    settings_ = std::make_unique<TRs232cForm>(portSettings_, form_->Handle());
    Rs232cForm = settings_.get();
    version_ = std::make_unique<TVersionForm>(form_->Handle());
    VersionForm = version_.get();
    devicesForm_ = std::make_unique<TSerialDevicesForm>(parts_.Devices, form_->Handle());
    form_->SerialDevicesForm = devicesForm_.get();
    if (&port == &driver_) recorder_ = parts_.WatchRuns(form_->Model);
    form_->Show(SW_SHOWNORMAL);
    Settle();
  }

  ~Win32Windows() override {
    recorder_.reset();
    devicesForm_.reset();
    version_.reset();
    settings_.reset();
    form_.reset();
    MainForm = nullptr;
    Rs232cForm = nullptr;
    VersionForm = nullptr;
    Settle();
  }

  // Lets the windows take what waits for them, as the message loop would.
  void Settle() const {
    if (form_ != nullptr) {
      DispatchWaiting(*form_);
    } else {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
  }

  static void Click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }
  void Choose(int command) const { SendMessageW(form_->Handle(), WM_COMMAND, command, 0); }

  expected::Lines Log() const {
    const std::string text = WindowText(form_->AdjMemo);
    expected::Lines lines;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2) {
      lines.push_back(text.substr(from, at - from));
    }
    lines.push_back(text.substr(from));
    return lines;
  }

  static bool Enabled(HWND control) { return IsWindowEnabled(control) != FALSE; }
  bool MenuEnabled(int command) const {
    return (GetMenuState(form_->MainMenu1, static_cast<UINT>(command), MF_BYCOMMAND) & MF_GRAYED) ==
           0;
  }

  expected::Shown Shown() const {
    return {WindowText(form_->BtnStart),
            Enabled(form_->BtnStart),
            WindowText(form_->BtnCancel),
            Enabled(form_->BtnCancel),
            MenuEnabled(control::kStart1),
            {Enabled(form_->MotorTest), Enabled(form_->WhiteAdj), Enabled(form_->BlackAdj),
             Enabled(form_->NonAdj)}};
  }

  bool Open() const { return form_->Handle() != nullptr && IsWindowVisible(form_->Handle()); }

  TempDir dir_;
  RecordingBoxes boxes_;
  InputGate gate_;
  GatedIdlePump pump_{gate_};
  // The choice of devices is the test's own; until a test makes one, each name reaches its port.
  ProgramParts parts_{boxes_,
                      pump_,
                      {dir_.Path() / "comm.ini", dir_.Path() / "qzr71" / "serial-devices.json",
                       dir_.Path() / "runs"}};
  ComPortMap& ports_ = parts_.Ports;
  PortDriver& driver_ = parts_.Port;
  PortSettingsModel& portSettings_ = parts_.Settings;
  CountingBell bell_;
  FakeClock clock_;
  std::unique_ptr<TMainForm> form_;
  std::unique_ptr<TRs232cForm> settings_;
  std::unique_ptr<TVersionForm> version_;
  std::unique_ptr<TSerialDevicesForm> devicesForm_;
  std::unique_ptr<RunRecorder> recorder_;
};

inline void PrintTo(const expected::Shown& shown, std::ostream* out) {
  *out << '{' << shown.start << (shown.startEnabled ? "" : " (off)") << ", " << shown.cancel
       << (shown.cancelEnabled ? "" : " (off)") << ", File>Start " << shown.start1Enabled
       << ", items " << shown.items[0] << shown.items[1] << shown.items[2] << shown.items[3] << '}';
}
