#include "link/HeadCommands.h"

#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Of(const head::Frame& frame) {
  return {frame.Bytes().begin(), frame.Bytes().end()};
}

Bytes Concat(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

struct FixedFrameCase {
  const char* name;
  head::Frame (*build)();
  Bytes bytes;
};

class FixedFrames : public testing::TestWithParam<FixedFrameCase> {};

std::string CaseName(const testing::TestParamInfo<FixedFrameCase>& param) {
  return param.param.name;
}

TEST_P(FixedFrames, HaveTheirExactBytes) {
  const auto& c = GetParam();
  const Bytes sent = Of(c.build());
  EXPECT_EQ(sent, c.bytes);
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent[1], sent.size() - 2) << "length byte counts what follows it";
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, FixedFrames,
    testing::Values(FixedFrameCase{"Opening", head::OpeningFrame, {0x10, 0x01, 0xC4}},
                    FixedFrameCase{"MotorStart", head::MotorStartFrame, {0x10, 0x02, 0xD3, 0x31}},
                    FixedFrameCase{"MotorStop", head::MotorStopFrame, {0x10, 0x02, 0xD3, 0x32}},
                    FixedFrameCase{"MotorSpeed", head::MotorSpeedRequestFrame, {0x10, 0x01, 0xD4}},
                    FixedFrameCase{"S0tAdjust", head::S0tAdjustStartFrame, {0x10, 0x01, 0xA0}},
                    FixedFrameCase{"DaAdjust", head::DaAdjustStartFrame, {0x10, 0x01, 0xA1}},
                    FixedFrameCase{"BlackLevel", head::BlackLevelStartFrame, {0x10, 0x01, 0xA2}},
                    FixedFrameCase{
                        "NoPaperBlock", head::NoPaperBlockStartFrame, {0x10, 0x01, 0xA3}},
                    FixedFrameCase{"FrontExit", head::FrontExitRequestFrame, {0x10, 0x01, 0xA7}},
                    FixedFrameCase{"Finish", head::FinishFrame,
                                   Concat({0x10, 0x1E, 0xD1, 0x01}, Bytes(28, 0x00))}),
    CaseName);

Bytes Counting(std::size_t n, std::uint8_t first) {
  Bytes values(n);
  std::iota(values.begin(), values.end(), first);
  return values;
}

TEST(DataFrames, CarryTheirValuesAfterTheHeader) {
  const Bytes da = Counting(24, 100);
  const Bytes gains = Counting(24, 1);
  const Bytes gains16 = Counting(16, 7);
  const Bytes id = Counting(32, 0x41);

  EXPECT_EQ(Of(head::DaFrame(std::span<const std::uint8_t, 24>(da))),
            Concat({0x10, 0x19, 0xC0}, da));
  EXPECT_EQ(Of(head::GainFrame24(std::span<const std::uint8_t, 24>(gains))),
            Concat({0x10, 0x19, 0xC1}, gains));
  EXPECT_EQ(Of(head::GainFrame16(std::span<const std::uint8_t, 16>(gains16))),
            Concat({0x10, 0x11, 0xC2}, gains16));
  EXPECT_EQ(Of(head::IdentificationFrame(std::span<const std::uint8_t, 32>(id))),
            Concat({0x10, 0x21, 0xB2}, id));
}

TEST(DataFrames, CheckWordTravelsLowByteFirst) {
  EXPECT_EQ(Of(head::CheckWordFrame(0x1234)), (Bytes{0x10, 0x03, 0xD5, 0x34, 0x12}));
  const std::uint8_t echo[2] = {0x34, 0x12};
  EXPECT_EQ(head::LittleEndian16(echo), 0x1234);
}

TEST(Catalogue, BareTakeReadingIsNotTheOpeningFrame) {
  EXPECT_EQ(head::kCmdTakeReading, 0xC4);
  EXPECT_EQ(Of(head::OpeningFrame()).size(), 3u);
  EXPECT_NE(Of(head::OpeningFrame()), Bytes{head::kCmdTakeReading});
}

TEST(Catalogue, AFrameLongerThanTheLongestIsAProgrammingError) {
  const std::uint8_t tooLong[head::kLongestFrame - 2] = {};
  EXPECT_THROW(head::Frame(0xB2, tooLong), std::length_error);
  const std::uint8_t longest[head::kLongestFrame - 3] = {};
  EXPECT_EQ(head::Frame(0xB2, longest).size(), head::kLongestFrame);
}

}  // namespace
