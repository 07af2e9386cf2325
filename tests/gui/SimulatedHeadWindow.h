#pragma once

// The main window over the real port driver and termios layer, against the simulated head running
// as its own process on a pseudo-terminal. A fake clock lets the 39 s of waits in the motor speed
// check pass at once.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include <QPlainTextEdit>
#include <QTest>

#include "console/InputBlocker.h"
#include "console/QtIdlePump.h"
#include "console/TMainForm.h"
#include "link/PortDriver.h"
#include "link/TermiosSerialDevice.h"
#include "run/PortSettingsModel.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/FakeClock.h"
#include "tests/support/HeadSimulator.h"
#include "tests/support/Recorders.h"

class SimulatedHeadWindow : public testing::Test {
 protected:
  void StartHead(const std::vector<std::string>& options,
                 const MainFormModel::StageFactory& stages = MakeStageTable) {
    head_ = std::make_unique<HeadSimulator>(QZR71_HEADSIM, options);
    StartTool(head_->DevicePath(), stages);
    ASSERT_TRUE(driver_.IsOpen());
  }

  void StartTool(const std::string& com1,
                 const MainFormModel::StageFactory& stages = MakeStageTable) {
    setenv("QZR71_COM1", com1.c_str(), 1);
    driver_.SetIdlePump(&pump_);
    settings_.FormCreate();
    form_ = std::make_unique<TMainForm>(TMainForm::Seams{driver_, bell_, clock_, pump_, blocker_},
                                        stages);
    form_->Model.Controller.SetRunStarting([this] { settings_.RunStarting(); });
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  }

  ~SimulatedHeadWindow() override {
    form_.reset();
    unsetenv("QZR71_COM1");
  }

  static std::string Scenario(const char* name) {
    return std::string(QZR71_SCENARIOS) + "/" + name;
  }

  QStringList Log() const { return LogLines(form_->AdjMemo->toPlainText()); }

  TempDir dir_;
  TermiosSerialDevice device_;
  RecordingBoxes boxes_;
  PortDriver driver_{device_};
  PortSettingsModel settings_{driver_, boxes_, dir_.Path() / "comm.ini"};
  CountingBell bell_;
  FakeClock clock_;
  InputBlocker blocker_;
  QtIdlePump pump_{blocker_};
  std::unique_ptr<HeadSimulator> head_;
  std::unique_ptr<TMainForm> form_;
};
