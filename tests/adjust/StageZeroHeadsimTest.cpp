// Stage 0 end to end: the run controller and the real steps, the real port driver on a real
// pseudo-terminal, and the simulated head as a separate program. Only the clock is fake, so the
// 39 s of waiting take no time.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "console/MainFormModel.h"
#include "link/HeadCommands.h"
#include "link/MessageBoxes.h"
#include "link/PortDriver.h"
#include "link/SerialDevice.h"
#include "tests/adjust/FakeClock.h"
#include "tests/adjust/ScriptedPort.h"
#include "tests/adjust/SimulatedHead.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

struct TraceLine {
  std::string sender;  // "tool" or "head"
  Bytes bytes;
};

std::vector<TraceLine> ReadTrace(const fs::path& path) {
  std::vector<TraceLine> lines;
  std::ifstream in(path);
  std::string text;
  while (std::getline(in, text)) {
    if (text.empty() || text[0] == '#') continue;
    std::istringstream fields(text);
    std::string seconds;
    TraceLine line;
    fields >> seconds >> line.sender;
    std::string hex;
    while (fields >> hex)
      line.bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex, nullptr, 16)));
    lines.push_back(line);
  }
  return lines;
}

std::vector<Bytes> Sent(const std::vector<TraceLine>& trace, const std::string& sender) {
  std::vector<Bytes> sent;
  for (const auto& line : trace) {
    if (line.sender == sender) sent.push_back(line.bytes);
  }
  return sent;
}

Bytes Of(const head::Frame& frame) {
  return {frame.Bytes().begin(), frame.Bytes().end()};
}

const Bytes kEnq{head::kEnq};
const Bytes kEndReading{head::kCmdEndReading};
const std::string kHeading = " ***** MOTOR SPEED CHECK *****";

// The tool and the head, the head started with the given scenario.
class StageZero : public testing::Test {
 protected:
  void StartWith(const std::string& scenario, std::vector<std::string> options = {}) {
    tracePath_ = dir_.Path() / "trace.txt";
    options.insert(options.end(),
                   {"--trace", SimulatedHead::PathForHead(tracePath_), "--seed", "7"});
    if (!scenario.empty()) {
      options.insert(options.end(), {"--scenario", SimulatedHead::Scenario(scenario)});
    }
    sim_.emplace(options);
    driver_.emplace(device_, boxes_, dir_.Path() / "comm.ini");
    driver_->FormCreate();
    for (const auto& box : boxes_.shown) {
      ASSERT_NE(box.caption, "RS232C PORT") << box.text;
    }
    ASSERT_TRUE(driver_->PortOpen);
    model_.emplace(*driver_, bell_, clock_, pump_);
    // Keep every state of the log, so the step's own lines can be checked after the
    // controller has replaced them with its prompt.
    model_->Log.SetObserver([this] { history_.push_back(model_->Log.Lines()); });
  }

  void TearDown() override {
    model_.reset();
    driver_.reset();
    device_.Close();
    if (sim_) {
      EXPECT_EQ(sim_->Stop(), 0);
    }
    if (HasFailure() && fs::exists(tracePath_)) {
      std::ifstream trace(tracePath_);
      std::cerr << "The head's trace:\n" << trace.rdbuf();
    }
  }

  // The head's trace, complete once the head has stopped.
  std::vector<TraceLine> StopAndReadTrace() {
    EXPECT_EQ(sim_->Stop(), 0);
    return ReadTrace(tracePath_);
  }

  // The fullest state of the log while the motor speed check had it.
  Lines StepLines() const {
    Lines fullest;
    for (const auto& lines : history_) {
      if (!lines.empty() && lines[0] == kHeading && lines.size() >= fullest.size()) fullest = lines;
    }
    return fullest;
  }

  MainFormModel& Model() { return *model_; }
  const RunView& View() { return model_->Controller.View(); }

  TempDir dir_;
  fs::path tracePath_;
  std::optional<SimulatedHead> sim_;
  SerialDevice device_;
  RecordingBoxes boxes_;
  std::optional<PortDriver> driver_;
  CountingBell bell_;
  FakeClock clock_;
  NoIdlePump pump_;
  std::optional<MainFormModel> model_;
  std::vector<Lines> history_;
};

const std::regex kSpeedOk("[0-9]+ Motor speed ok");

TEST_F(StageZero, HealthyHeadPassesAndThePaperPromptFollows) {
  StartWith("");
  Model().Controller.BtnStartClick();

  const Lines step = StepLines();
  ASSERT_EQ(step.size(), 4u);
  for (std::size_t i = 1; i < 4; ++i) EXPECT_TRUE(std::regex_match(step[i], kSpeedOk)) << step[i];
  EXPECT_EQ(Model().Log.Lines(), (Lines{"Set White reference paper.", "", "Hit Next button."}));
  EXPECT_EQ(View().btnStart.caption, "Next");
  EXPECT_TRUE(View().btnStart.enabled);
  EXPECT_TRUE(View().btnCancel.enabled);
  EXPECT_FALSE(View().itemEnabled[kMotorTest]);
  EXPECT_EQ(Model().Controller.AdjResult, 1);
  EXPECT_GE(Model().Record.MotorSpeed, 270u);
  EXPECT_LE(Model().Record.MotorSpeed, 450u);
  EXPECT_NE(std::string(Model().Record.HeadIdField.data()), "--------");
  EXPECT_EQ(bell_.rings, 0);
  EXPECT_EQ(clock_.Elapsed(), std::chrono::seconds(39));
}

TEST_F(StageZero, HealthyHeadSeesExactlyTheDocumentedBytes) {
  StartWith("");
  Model().Controller.BtnStartClick();
  const auto trace = StopAndReadTrace();
  const Bytes request = Of(head::MotorSpeedRequestFrame());
  EXPECT_EQ(Sent(trace, "tool"), (std::vector<Bytes>{{head::kCmdReadStoredData},
                                                     kEnq,
                                                     kEnq,
                                                     Of(head::OpeningFrame()),
                                                     Of(head::MotorStartFrame()),
                                                     request,
                                                     kEnq,
                                                     request,
                                                     kEnq,
                                                     request,
                                                     kEnq,
                                                     Of(head::MotorStopFrame()),
                                                     kEndReading}));
  const auto answers = Sent(trace, "head");
  ASSERT_EQ(answers.size(), 13u);
  EXPECT_EQ(answers[1].size(), 2u);
  EXPECT_EQ(answers[2].size(), 160u);
  for (std::size_t i : {0u, 3u, 4u, 5u, 7u, 9u, 11u, 12u}) EXPECT_EQ(answers[i], Bytes{head::kAck});
  for (std::size_t i : {6u, 8u, 10u}) EXPECT_EQ(answers[i].size(), 2u);
}

TEST_F(StageZero, SilentHeadIsACommunicationError) {
  StartWith("no-answer.scn");
  Model().Controller.BtnStartClick();
  EXPECT_EQ(Model().Log.Lines(), (Lines{" Communication error", "", "  Push Cancel button."}));
  EXPECT_EQ(View().btnStart.caption, "Start");
  EXPECT_FALSE(View().btnStart.enabled);
  EXPECT_EQ(View().btnCancel.caption, "Cancel");
  EXPECT_TRUE(View().btnCancel.enabled);
  EXPECT_EQ(Model().Controller.AdjResult, 0);
  // The read command four times, then the end command four times, unanswered.
  std::vector<Bytes> expected(4, Bytes{head::kCmdReadStoredData});
  expected.insert(expected.end(), 4, kEndReading);
  EXPECT_EQ(Sent(StopAndReadTrace(), "tool"), expected);
  EXPECT_EQ(bell_.rings, 6);

  Model().Controller.BtnCancelClick();
  EXPECT_EQ(View().btnCancel.caption, "Exit");
}

TEST_F(StageZero, PulledCableIsACommunicationErrorWithoutWaiting) {
  StartWith("pulled-cable-at-start.scn");
  const auto start = std::chrono::steady_clock::now();
  Model().Controller.BtnStartClick();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(Model().Log.Lines(), (Lines{" Communication error", "", "  Push Cancel button."}));
  EXPECT_EQ(Model().Controller.AdjResult, 0);
  // The read command pulls the cable: its read fails at once, the retry's write fails, and so
  // does the end command's. One bell, and no read waits for its time-out.
  EXPECT_EQ(bell_.rings, 1);
  EXPECT_LT(took, std::chrono::milliseconds(505));
  EXPECT_EQ(Sent(StopAndReadTrace(), "tool"), std::vector<Bytes>{{head::kCmdReadStoredData}});
}

TEST_F(StageZero, UnacknowledgedSecondSpeedRequestStopsTheMotor) {
  StartWith("no-ack-second-speed-request.scn");
  Model().Controller.BtnStartClick();
  EXPECT_EQ(Model().Log.Lines(), (Lines{" Communication error", "", "  Push Cancel button."}));
  const auto sent = Sent(StopAndReadTrace(), "tool");
  const Bytes request = Of(head::MotorSpeedRequestFrame());
  std::vector<Bytes> tail(4, request);
  tail.push_back(Of(head::MotorStopFrame()));
  tail.push_back(kEndReading);
  ASSERT_GE(sent.size(), tail.size());
  EXPECT_EQ(std::vector<Bytes>(sent.end() - static_cast<std::ptrdiff_t>(tail.size()), sent.end()),
            tail);
  const Lines step = StepLines();
  ASSERT_EQ(step.size(), 2u);  // the first reading, before the failure cleared the log
  EXPECT_EQ(std::to_string(Model().Record.MotorSpeed) + " Motor speed ok", step[1]);
}

TEST_F(StageZero, ReadingsOutsideTheWindowFailTheStage) {
  StartWith("motor-speed-out-of-window.scn");
  Model().Controller.BtnStartClick();
  EXPECT_EQ(Model().Log.Lines(), (Lines{kHeading, "269 Motor speed error", "451 Motor speed error",
                                        "350 Motor speed ok", "", "  Push Cancel button."}));
  EXPECT_EQ(Model().Controller.AdjResult, 0);
  const auto sent = Sent(StopAndReadTrace(), "tool");
  ASSERT_GE(sent.size(), 3u);
  // The check ends normally (stop frame, end command), then the controller's end command.
  EXPECT_EQ(std::vector<Bytes>(sent.end() - 3, sent.end()),
            (std::vector<Bytes>{Of(head::MotorStopFrame()), kEndReading, kEndReading}));
}

class StageZeroNoStoredData : public StageZero, public testing::WithParamInterface<const char*> {};

TEST_P(StageZeroNoStoredData, ClearsTheRecordAndGoesOn) {
  StartWith(GetParam());
  Model().Record.PaperGain.fill(5);
  Model().Controller.BtnStartClick();
  const auto& record = Model().Record;
  EXPECT_STREQ(record.HeadIdField.data(), "--------");
  EXPECT_STREQ(record.ModelCode.data(), "");
  EXPECT_STREQ(record.AdjustDate.data(), "");
  EXPECT_STREQ(record.ProgramVersion.data(), "");
  EXPECT_EQ(record.PaperGain, decltype(record.PaperGain){});
  EXPECT_EQ(Model().Log.Lines(), (Lines{"Set White reference paper.", "", "Hit Next button."}));
  const auto sent = Sent(StopAndReadTrace(), "tool");
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent[2], Of(head::OpeningFrame()));  // no ENQ for a block
}

std::string ScenarioName(const testing::TestParamInfo<const char*>& param) {
  std::string name = param.param;
  name = name.substr(0, name.find('.'));
  std::erase(name, '-');
  return name;
}

INSTANTIATE_TEST_SUITE_P(StageZero, StageZeroNoStoredData,
                         testing::Values("stored-ng.scn", "stored-ng-lower-case.scn"),
                         ScenarioName);

TEST_F(StageZero, BlockFetchedOnTheFourthTry) {
  StartWith("block-fetch-three-fail.scn");
  Model().Controller.BtnStartClick();
  EXPECT_EQ(Model().Log.Lines(), (Lines{"Set White reference paper.", "", "Hit Next button."}));
  // Three bells in each of three failed fetches, and one between fetches.
  EXPECT_EQ(bell_.rings, 12);
  EXPECT_NE(std::string(Model().Record.HeadIdField.data()), "--------");
  const auto sent = Sent(StopAndReadTrace(), "tool");
  ASSERT_GE(sent.size(), 16u);
  EXPECT_EQ(sent[0], Bytes{head::kCmdReadStoredData});
  for (std::size_t i = 1; i <= 14; ++i) EXPECT_EQ(sent[i], kEnq) << i;
  EXPECT_EQ(sent[15], Of(head::OpeningFrame()));
}

}  // namespace
