#include "adjust/MotorSpeedCheck.h"

#include <gtest/gtest.h>

#include <string>

#include "link/HeadCommands.h"
#include "tests/adjust/StepFixture.h"

namespace {

using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

Bytes Of(const head::Frame& frame) {
  return {frame.Bytes().begin(), frame.Bytes().end()};
}
Bytes Speed(std::uint16_t raw) {
  return {static_cast<std::uint8_t>(raw & 0xFF), static_cast<std::uint8_t>(raw >> 8)};
}

const std::vector<Bytes> kHealthyWire{
    Of(head::OpeningFrame()),           Of(head::MotorStartFrame()),
    Of(head::MotorSpeedRequestFrame()), kEnqOnly,
    Of(head::MotorSpeedRequestFrame()), kEnqOnly,
    Of(head::MotorSpeedRequestFrame()), kEnqOnly,
    Of(head::MotorStopFrame()),         {head::kCmdEndReading}};

struct ReadingsCase {
  const char* name;
  std::array<std::uint16_t, 3> raw;
  Lines lines;
  StepResult result;
};

class MotorSpeedReadings : public testing::TestWithParam<ReadingsCase> {};

std::string ReadingsCaseName(const testing::TestParamInfo<ReadingsCase>& param) {
  return param.param.name;
}

TEST_P(MotorSpeedReadings, EachReadingIsJudgedAndLogged) {
  StepFixture f;
  f.log.AddLine("Earlier line");
  f.port.Answer(kAckOnly, 2);
  for (const std::uint16_t raw : GetParam().raw) {
    f.port.Answer(kAckOnly);
    f.port.Answer(Speed(raw));
  }
  f.port.Answer(kAckOnly, 2);
  EXPECT_EQ(MotorSpeedCheck(f.context), GetParam().result);
  Lines expected{" ***** MOTOR SPEED CHECK *****"};
  expected.insert(expected.end(), GetParam().lines.begin(), GetParam().lines.end());
  EXPECT_EQ(f.log.Lines(), expected);
  EXPECT_EQ(f.port.written, kHealthyWire);
  EXPECT_EQ(f.record.MotorSpeed, GetParam().raw[2] / 10u);
  // 6 s to settle and 11 s before each reading, all starting on a whole second here.
  EXPECT_EQ(f.clock.Elapsed(), 39s);
}

INSTANTIATE_TEST_SUITE_P(
    MotorSpeedCheck, MotorSpeedReadings,
    testing::Values(
        ReadingsCase{"Edges",
                     {2700, 4509, 3500},
                     {"270 Motor speed ok", "450 Motor speed ok", "350 Motor speed ok"},
                     1},
        ReadingsCase{"TooFast",
                     {4510, 3500, 3500},
                     {"451 Motor speed error", "350 Motor speed ok", "350 Motor speed ok"},
                     0},
        ReadingsCase{"TooSlow",
                     {3500, 2699, 2695},
                     {"350 Motor speed ok", "269 Motor speed error", "269 Motor speed error"},
                     0},
        ReadingsCase{"Zero",
                     {3500, 3500, 0},
                     {"350 Motor speed ok", "350 Motor speed ok", "0 Motor speed error"},
                     0},
        ReadingsCase{"Largest",
                     {65535, 3500, 3500},
                     {"6553 Motor speed error", "350 Motor speed ok", "350 Motor speed ok"},
                     0}),
    ReadingsCaseName);

TEST(MotorSpeedCheck, NoAckToTheSecondSpeedRequestStopsTheMotor) {
  StepFixture f;
  f.port.Answer(kAckOnly, 3);  // opening, start, first request
  f.port.Answer(Speed(3500));
  // Then silence: four transmissions of the second request; the stop frame goes unanswered too.
  EXPECT_EQ(MotorSpeedCheck(f.context), 0);
  EXPECT_EQ(f.log.Lines(), Lines{" Communication error"});
  EXPECT_EQ(f.record.MotorSpeed, 350u);
  ASSERT_EQ(f.port.written.size(), 4u + 4u + 4u);
  for (std::size_t i = 4; i < 8; ++i)
    EXPECT_EQ(f.port.written[i], Of(head::MotorSpeedRequestFrame()));
  for (std::size_t i = 8; i < 12; ++i) EXPECT_EQ(f.port.written[i], Of(head::MotorStopFrame()));
}

TEST(MotorSpeedCheck, NoSpeedReplyStopsTheMotor) {
  StepFixture f;
  f.record.MotorSpeed = 77;
  f.port.Answer(kAckOnly, 3);
  f.port.Answer({0x01}, 4);  // one byte of two, four times
  f.port.Answer(kAckOnly);   // to the stop frame
  EXPECT_EQ(MotorSpeedCheck(f.context), 0);
  EXPECT_EQ(f.log.Lines(), Lines{" Communication error"});
  EXPECT_EQ(f.record.MotorSpeed, 77u);
  EXPECT_EQ(f.port.written.back(), Of(head::MotorStopFrame()));
  EXPECT_EQ(f.port.written.size(), 3u + 4u + 1u);
}

TEST(MotorSpeedCheck, FailureBeforeTheMotorRunsSendsNoStopFrame) {
  for (int acked : {0, 1}) {
    StepFixture f;
    f.port.Answer(kAckOnly, acked);
    EXPECT_EQ(MotorSpeedCheck(f.context), 0);
    EXPECT_EQ(f.log.Lines(), Lines{" Communication error"});
    EXPECT_EQ(f.port.written.size(), static_cast<std::size_t>(acked) + 4u);
    for (const Bytes& sent : f.port.written) EXPECT_NE(sent, Of(head::MotorStopFrame()));
    EXPECT_EQ(f.clock.Elapsed(), 0s);
  }
}

TEST(MotorSpeedCheck, UnansweredStopAndEndAreIgnored) {
  StepFixture f;
  f.port.Answer(kAckOnly, 2);
  for (int i = 0; i < 3; ++i) {
    f.port.Answer(kAckOnly);
    f.port.Answer(Speed(3000));
  }
  EXPECT_EQ(MotorSpeedCheck(f.context), 1);
  EXPECT_EQ(f.log.Lines().size(), 4u);
}

}  // namespace
