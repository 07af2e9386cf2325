#pragma once

// The program's three windows, made as main() makes them, over a pseudo-terminal as COM1 and a
// head that acknowledges everything; the clock is a fake so timed waits take no time.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>

#include <QTest>

#include "console/Forms.h"
#include "console/InputBlocker.h"
#include "console/QtIdlePump.h"
#include "console/TMainForm.h"
#include "console/TRs232cForm.h"
#include "console/TVersionForm.h"
#include "link/PortDriver.h"
#include "link/TermiosSerialDevice.h"
#include "run/PortSettingsModel.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/FakeClock.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Recorders.h"

class ThreeWindows : public testing::Test {
 protected:
  ThreeWindows() {
    setenv("QZR71_COM1", pty_.SlavePath().c_str(), 1);
    form_ = std::make_unique<TMainForm>(TMainForm::Seams{port_, bell_, clock_, pump_, blocker_});
    MainForm = form_.get();
    Rs232cForm = new TRs232cForm(settings_, MainForm);
    VersionForm = new TVersionForm(MainForm);
  }
  ~ThreeWindows() override {
    form_.reset();
    MainForm = nullptr;
    Rs232cForm = nullptr;
    VersionForm = nullptr;
    unsetenv("QZR71_COM1");
  }

  void ShowMainWindow() {
    form_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  }

  PtyPair pty_;
  TempDir dir_;
  TermiosSerialDevice device_;
  RecordingBoxes boxes_;
  PortDriver driver_{device_};
  PortSettingsModel settings_{driver_, boxes_, dir_.Path() / "comm.ini"};
  AckingPort port_;
  CountingBell bell_;
  FakeClock clock_;
  InputBlocker blocker_;
  QtIdlePump pump_{blocker_};
  std::unique_ptr<TMainForm> form_;
};
