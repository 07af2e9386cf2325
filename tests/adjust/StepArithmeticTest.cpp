// The arithmetic the steps hide: the gain choice, the D/A window, the check word and the
// identification frame.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "adjust/AdjustDa.h"
#include "adjust/AdjustGain.h"
#include "adjust/WriteBack.h"
#include "tests/adjust/StepFixture.h"

namespace {

struct GainChoice {
  std::uint8_t belowLevel;  // at gain 4
  std::uint8_t aboveLevel;  // at gain 5
  std::uint8_t kept;
};

class GainChoices : public testing::TestWithParam<GainChoice> {};

TEST_P(GainChoices, TheCloserGainIsKeptAndATieKeepsTheHigher) {
  GainChannel channel{.gain = 4};
  JudgeGainLevel(channel, GetParam().belowLevel, 102, false);
  EXPECT_EQ(channel.gain, 5);
  EXPECT_FALSE(channel.done);
  JudgeGainLevel(channel, GetParam().aboveLevel, 102, false);
  EXPECT_TRUE(channel.done);
  EXPECT_EQ(channel.gain, GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Shortfall7Overshoot2_Shortfall3Overshoot4_Tie, GainChoices,
                         testing::Values(GainChoice{95, 104, 5}, GainChoice{99, 106, 4},
                                         GainChoice{100, 104, 5}));

TEST(GainChoice, AChannelAtTargetAtGainZeroStaysThereAndAHeldOneKeepsItsGain) {
  GainChannel bright;
  JudgeGainLevel(bright, 120, 102, false);
  EXPECT_TRUE(bright.done);
  EXPECT_EQ(bright.gain, 0);

  GainChannel held{.gain = 15};
  JudgeGainLevel(held, 90, 178, true);
  EXPECT_TRUE(held.done);
  EXPECT_EQ(held.gain, 15);
}

TEST(DaWindow, TruncatedBoundsSitOneCountLowerBelowThanAbove) {
  EXPECT_EQ(DaWindow(102).lower, 96);
  EXPECT_EQ(DaWindow(102).upper, 107);
  EXPECT_EQ(DaWindow(153).lower, 147);
  EXPECT_EQ(DaWindow(153).upper, 158);
  EXPECT_FALSE(DaWindow(102).Contains(95));
  EXPECT_FALSE(DaWindow(153).Contains(159));
}

// CRC-16/KERMIT one bit at a time, as its standard describes it.
std::uint16_t Kermit(std::uint16_t crc, std::uint8_t byte) {
  crc = static_cast<std::uint16_t>(crc ^ byte);
  for (int bit = 0; bit < 8; ++bit) {
    crc = static_cast<std::uint16_t>((crc & 1) ? (crc >> 1) ^ 0x8408 : crc >> 1);
  }
  return crc;
}

std::uint16_t ReferenceCheckWord(std::uint8_t c, std::uint8_t gain) {
  auto crc = static_cast<std::uint16_t>(((c ^ 0xFF) << 8) | c);
  for (int i = 0; i < 168; ++i) crc = Kermit(crc, gain);
  return crc;
}

TEST(CheckWord, AgreesWithABitwiseKermitSeededFromTheSpeedFitInAByte) {
  std::uint16_t check = 0;
  for (char digit : std::string("123456789"))
    check = Kermit(check, static_cast<std::uint8_t>(digit));
  ASSERT_EQ(check, 0x2189);

  const std::pair<std::uint32_t, std::uint8_t> speeds[] = {
      {360, 180}, {255, 255}, {256, 128}, {1000, 250}};
  for (const auto& [speed, fitted] : speeds) {
    for (const std::uint8_t gain : std::array<std::uint8_t, 5>{0, 5, 9, 0x5A, 255}) {
      EXPECT_EQ(ComputeCheckWord(speed, gain), ReferenceCheckWord(fitted, gain))
          << speed << " " << int{gain};
    }
  }
  // Speed 96 with gain 29 drives the register to 0; the word is then that of speed 97.
  ASSERT_EQ(ReferenceCheckWord(96, 29), 0);
  EXPECT_EQ(ComputeCheckWord(96, 29), ReferenceCheckWord(97, 29));
}

TEST(CheckWord, TheHeadMustEchoItLowByteFirst) {
  StepFixture f;
  f.record.MotorSpeed = 360;
  f.record.PaperGain[0] = 9;
  const std::uint16_t word = ReferenceCheckWord(180, 9);
  f.port.Answer(kAckOnly);
  f.port.Answer({static_cast<std::uint8_t>(word & 0xFF), static_cast<std::uint8_t>(word >> 8)});
  EXPECT_EQ(VerifyCheckWord(f.context), kStepSucceeded);
  EXPECT_EQ(f.port.written[0], (Bytes{0x10, 0x03, 0xD5, static_cast<std::uint8_t>(word & 0xFF),
                                      static_cast<std::uint8_t>(word >> 8)}));
  EXPECT_EQ(f.record.CheckWord, word);
  EXPECT_TRUE(f.log.Lines().empty());
}

std::chrono::system_clock::time_point Utc(int year, unsigned month, unsigned day, int hour,
                                          int minute) {
  using namespace std::chrono;
  return sys_days{std::chrono::year{year} / month / day} + hours{hour} + minutes{minute};
}

TEST(Identification, TheFrameCarriesModelDateHeadIdAndVersion) {
  StepFixture f;
  f.clock = FakeClock(Utc(2007, 3, 4, 9, 15));
  std::copy_n("DR0471A3", 9, f.record.HeadIdField.begin());
  f.port.Answer(kAckOnly);
  f.port.Answer({'o', 'k'});
  EXPECT_EQ(WriteAdjustments(f.context), kStepSucceeded);
  const std::string expected =
      std::string("\x10\x21\xB2") + "QZR71000" + "07030409" + "DR0471A3" + "S1 V1.06";
  ASSERT_EQ(f.port.written.size(), 2u);
  EXPECT_EQ(f.port.written[0], Bytes(expected.begin(), expected.end()));
  EXPECT_STREQ(f.record.AdjustDate.data(), "07030409");
  EXPECT_STREQ(f.record.ModelCode.data(), "QZR71000");
  EXPECT_STREQ(f.record.ProgramVersion.data(), "S1 V1.06");
  EXPECT_EQ(f.log.Lines(), (std::vector<std::string>{" ** Write OK **"}));

  EXPECT_EQ(DateStamp({2001, 1, 5, 23, 59, 0}),
            (std::array<char, 8>{'0', '1', '0', '1', '0', '5', '2', '3'}));
}

}  // namespace
