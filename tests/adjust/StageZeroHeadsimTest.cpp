// Stage 0 end to end against the simulated head: the head's stored data and the motor speed
// check.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <regex>

#include "link/PortText.h"
#include "tests/adjust/HeadsimStage.h"

namespace {

const Bytes kEnq{head::kEnq};
const Bytes kEndReading{head::kCmdEndReading};
const std::string kHeading = " ***** MOTOR SPEED CHECK *****";

class StageZero : public HeadsimStage {
 protected:
  Lines StepLines() const { return LinesUnder(kHeading); }
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
  // does the end command's. One bell, and no read waits for its time-out; none where the line
  // went while the command's own write still waited for the bytes to leave (a loaded machine).
  EXPECT_LE(bell_.rings, 1);
  EXPECT_LT(took, std::chrono::milliseconds(505));
  EXPECT_EQ(Sent(StopAndReadTrace(), "tool"), std::vector<Bytes>{{head::kCmdReadStoredData}});
}

#ifndef _WIN32
// The head's line as a link that follows it to its new terminal, as a re-plugged adapter keeps
// its name in /dev/serial/by-id.
std::vector<std::string> LinkedLine(const char* test) {
  return {"--link", (std::filesystem::temp_directory_path() /
                     ("qzr71-" + std::string(test) + "-" + std::to_string(getpid())))
                        .string()};
}

TEST_F(StageZero, APulledCableIsOpenedAgainAtTheNextStartWithoutSelect) {
  StartWith("pulled-cable-at-start.scn", "", LinkedLine("replug"));
  Model().Controller.BtnStartClick();
  EXPECT_EQ(Model().Log.Lines(), (Lines{" Communication error", "", "  Push Cancel button."}));
  ASSERT_FALSE(sim_->NextLine(std::chrono::seconds(10)).empty()) << "the head is back";
  Model().Controller.BtnCancelClick();
  boxes_.shown.clear();

  Model().Controller.Start1Click();
  EXPECT_EQ(Model().Log.Lines(), (Lines{" Set White reference paper.", "", "Hit Next button."}));
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(opens_.opens, 2);
}

TEST_F(StageZero, AHeadStillAbsentAtStartGivesThePortBoxThenTheCommunicationError) {
  StartWith("", "hangup cmd:B1 1 down=2000", LinkedLine("absent"));
  Model().Controller.BtnStartClick();
  Model().Controller.BtnCancelClick();
  boxes_.shown.clear();

  Model().Controller.BtnStartClick();
  EXPECT_EQ(boxes_.shown, (std::vector<ShownBox>{{PortFailureText(ENOENT), "RS232C PORT"}}));
  EXPECT_EQ(Model().Log.Lines(), (Lines{" Communication error", "", "  Push Cancel button."}));
  EXPECT_EQ(Model().Controller.AdjResult, 0);

  ASSERT_FALSE(sim_->NextLine(std::chrono::seconds(10)).empty());
  Model().Controller.BtnCancelClick();
  Model().Controller.BtnStartClick();
  EXPECT_EQ(Model().Controller.AdjResult, 1);
  EXPECT_EQ(opens_.opens, 3);
}
#endif

TEST_F(StageZero, AHealthyPortIsOpenedOnceOverThreeRuns) {
  StartWith("");
  for (int run = 0; run < 3; ++run) {
    if (run == 1) {
      Model().Controller.Start1Click();
    } else {
      Model().Controller.BtnStartClick();
    }
    EXPECT_EQ(Model().Controller.AdjResult, 1) << "run " << run;
    Model().Controller.BtnCancelClick();  // abandoned
    Model().Controller.BtnCancelClick();  // back to idle
  }
  EXPECT_EQ(opens_.opens, 1);
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
