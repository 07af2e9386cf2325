#pragma once

// The tool's run controller and real steps, the real port driver on a real pseudo-terminal, and
// the simulated head as a separate program. Only the clock is fake, so the 39 s of the motor
// check's waits take no time.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "console/MainFormModel.h"
#include "link/HeadCommands.h"
#include "link/PortDriver.h"
#include "link/TermiosSerialDevice.h"
#include "tests/adjust/FakeClock.h"
#include "tests/adjust/HeadSimProcess.h"
#include "tests/adjust/HeadTrace.h"
#include "tests/adjust/ScriptedPort.h"

// The tool and the head, the head started with a scenario: a file of the catalogue, or the text of
// one written for the test.
class HeadsimStage : public testing::Test {
 protected:
  void StartWith(const std::string& scenarioFile, const std::string& scenarioText = "",
                 std::vector<std::string> options = {}) {
    dir_ = std::filesystem::temp_directory_path() /
           ("qzr71-stages-" + std::to_string(getpid()) + "-" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    tracePath_ = dir_ / "trace.txt";
    options.insert(options.end(), {"--trace", tracePath_.string(), "--seed", "7"});
    std::string scenario;
    if (!scenarioFile.empty()) scenario = std::string(QZR71_SCENARIOS) + "/" + scenarioFile;
    if (!scenarioText.empty()) {
      scenario = (dir_ / "scenario.scn").string();
      std::ofstream(scenario) << scenarioText << "\n";
    }
    if (!scenario.empty()) options.insert(options.end(), {"--scenario", scenario});
    sim_.emplace(QZR71_HEADSIM, options);
    // With --link the port is the link, which follows the head to the new line after a hang-up.
    const auto link = std::find(options.begin(), options.end(), "--link");
    const std::string port = link != options.end() ? *std::next(link) : sim_->DevicePath();
    setenv("QZR71_COM1", port.c_str(), 1);
    driver_.emplace(device_, boxes_, dir_ / "comm.ini");
    driver_->FormCreate();
    for (const auto& box : boxes_.shown) {
      ASSERT_NE(box.caption, "RS232C PORT") << box.text;
    }
    ASSERT_TRUE(driver_->PortOpen);
    model_.emplace(ModelPort(), bell_, clock_, pump_);
    // Keep every state of the log, so a step's own lines can be checked after the controller
    // has replaced them with its prompt.
    model_->Log.SetObserver([this] { history_.push_back(model_->Log.Lines()); });
  }

  void TearDown() override {
    model_.reset();
    driver_.reset();
    device_.Close();
    if (sim_) {
      EXPECT_EQ(sim_->Stop(), 0);
    }
    if (HasFailure() && std::filesystem::exists(tracePath_)) {
      std::ifstream trace(tracePath_);
      std::cerr << "The head's trace (last 60 lines):\n";
      std::vector<std::string> lines;
      for (std::string line; std::getline(trace, line);) lines.push_back(line);
      for (std::size_t i = lines.size() > 60 ? lines.size() - 60 : 0; i < lines.size(); ++i)
        std::cerr << lines[i] << "\n";
    }
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  // Start, then Next while the run waits for it, until the given stage has run or the run ended.
  void RunThrough(std::size_t stage) {
    RunController& controller = model_->Controller;
    controller.BtnStartClick();
    while (controller.AdjStage < stage && controller.AdjResult == 1 &&
           controller.View().btnStart.enabled) {
      controller.BtnStartClick();
    }
  }

  // The head's trace, complete once the head has stopped.
  std::vector<TraceLine> StopAndReadTrace() {
    EXPECT_EQ(sim_->Stop(), 0);
    return ReadTrace(tracePath_);
  }

  // The fullest state of the log while it began with this heading.
  Lines LinesUnder(const std::string& heading) const {
    Lines fullest;
    for (const auto& lines : history_) {
      if (!lines.empty() && lines[0] == heading && lines.size() >= fullest.size()) fullest = lines;
    }
    return fullest;
  }

  // The port the run talks through: the driver, or a test's watch in front of it.
  virtual PortLink& ModelPort() { return *driver_; }

  MainFormModel& Model() { return *model_; }
  const RunView& View() { return model_->Controller.View(); }

  std::filesystem::path dir_;
  std::filesystem::path tracePath_;
  std::optional<HeadSimProcess> sim_;
  TermiosSerialDevice device_;
  RecordingBoxes boxes_;
  std::optional<PortDriver> driver_;
  CountingBell bell_;
  FakeClock clock_;
  NoIdlePump pump_;
  std::optional<MainFormModel> model_;
  std::vector<Lines> history_;
};
