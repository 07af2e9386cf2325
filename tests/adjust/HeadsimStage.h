#pragma once

// The tool's run controller and real steps, the real port driver and its settings model on the
// platform's serial device, and the simulated head as a separate program on the line COM1
// reaches. Only the clock is fake, so the 39 s of the motor check's waits take no time.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "link/HeadCommands.h"
#include "link/PortDriver.h"
#include "link/SerialDevice.h"
#include "run/MainFormModel.h"
#include "run/PortSettingsModel.h"
#include "tests/adjust/ScriptedPort.h"
#include "tests/link/CountingOpens.h"
#include "tests/support/FakeClock.h"
#include "tests/support/HeadTrace.h"
#include "tests/support/SimulatedHead.h"

// How the tool reaches the head: on the head's own line, or through a serial device server
// (ser2net, RFC 2217) in front of it.
enum class Transport { kLine, kRfc2217 };

// The tool and the head, the head started with a scenario: a file of the catalogue, or the text of
// one written for the test.
class HeadsimStage : public testing::Test {
 protected:
  void StartWith(const std::string& scenarioFile, const std::string& scenarioText = "",
                 std::vector<std::string> options = {}, Transport transport = Transport::kLine) {
    tracePath_ = dir_.Path() / "trace.txt";
    options.insert(options.end(),
                   {"--trace", SimulatedHead::PathForHead(tracePath_), "--seed", "7"});
    std::string scenario;
    if (!scenarioFile.empty()) scenario = SimulatedHead::Scenario(scenarioFile);
    if (!scenarioText.empty()) {
      const std::filesystem::path file = dir_.Path() / "scenario.scn";
      std::ofstream(file, std::ios::binary) << scenarioText << "\n";
      scenario = SimulatedHead::PathForHead(file);
    }
    if (!scenario.empty()) options.insert(options.end(), {"--scenario", scenario});
    sim_.emplace(options);
#ifndef _WIN32
    // With --link the port is the link, which follows the head to the new line after a hang-up.
    const auto link = std::find(options.begin(), options.end(), "--link");
    if (link != options.end()) setenv("QZR71_COM1", std::next(link)->c_str(), 1);
#endif
    if (transport == Transport::kRfc2217) sim_->ServeOverRfc2217();
    driver_.emplace(opens_);
    settings_.emplace(*driver_, boxes_, dir_.Path() / "comm.ini");
    settings_->FormCreate();
    for (const auto& box : boxes_.shown) {
      ASSERT_NE(box.caption, "RS232C PORT") << box.text;
    }
    ASSERT_TRUE(driver_->IsOpen());
    model_.emplace(ModelPort(), bell_, clock_, pump_);
    // As where the program is wired: each run begins by making sure of the port's line.
    model_->Controller.SetRunStarting([this] { settings_->RunStarting(); });
    // Keep every state of the log, so a step's own lines can be checked after the controller
    // has replaced them with its prompt.
    model_->Log.SetObserver([this] { history_.push_back(model_->Log.Lines()); });
  }

  void TearDown() override {
    model_.reset();
    settings_.reset();
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
  virtual PortLink& ModelPort() {
    return *driver_;
  }

  MainFormModel& Model() {
    return *model_;
  }
  const RunView& View() {
    return model_->Controller.View();
  }

  TempDir dir_;
  std::filesystem::path tracePath_;
  std::optional<SimulatedHead> sim_;
  SerialDevice device_;
  CountingOpens opens_{device_};
  RecordingBoxes boxes_;
  std::optional<PortDriver> driver_;
  std::optional<PortSettingsModel> settings_;
  CountingBell bell_;
  FakeClock clock_;
  NoIdlePump pump_;
  std::optional<MainFormModel> model_;
  std::vector<Lines> history_;
};
