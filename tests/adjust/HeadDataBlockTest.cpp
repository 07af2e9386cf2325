#include "adjust/HeadDataBlock.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>

namespace {

std::array<std::uint8_t, kHeadDataBlockSize> CountingBlock() {
  std::array<std::uint8_t, kHeadDataBlockSize> block{};
  std::iota(block.begin(), block.end(), std::uint8_t{1});  // no zero byte anywhere
  return block;
}

template <std::size_t N>
void ExpectFrom(const std::array<std::uint8_t, N>& field, std::size_t offset) {
  for (std::size_t i = 0; i < N; ++i) EXPECT_EQ(field[i], offset + 1 + i) << "byte " << i;
}

void ExpectTextFrom(const AdjustmentRecord::Text8& text, std::size_t offset) {
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(text[i], static_cast<char>(offset + 1 + i));
  EXPECT_EQ(text[8], '\0');
}

TEST(HeadDataBlock, EachAreaLandsInItsField) {
  AdjustmentRecord record;
  record.CheckWord = 0xABCD0000u;
  record.MotorSpeed = 350;
  DecodeHeadDataBlock(CountingBlock(), record);
  ExpectTextFrom(record.ModelCode, 0);
  ExpectTextFrom(record.AdjustDate, 8);
  ExpectTextFrom(record.HeadIdField, 16);
  ExpectTextFrom(record.ProgramVersion, 24);
  ExpectFrom(record.DaValue, 32);
  ExpectFrom(record.PaperGain, 56);
  ExpectFrom(record.NoPaperLevel, 80);
  ExpectFrom(record.NoPaperGain, 96);
  ExpectFrom(record.ColorCode, 112);
  ExpectFrom(record.BlackLevel, 134);
  // Bytes 158, 159 (values 159, 160) little-endian; the upper half keeps its value.
  EXPECT_EQ(record.CheckWord, 0xABCD0000u | (160u << 8) | 159u);
  EXPECT_EQ(record.MotorSpeed, 350u);
}

TEST(HeadDataBlock, TextsReadAsWritten) {
  std::array<std::uint8_t, kHeadDataBlockSize> block{};
  const std::string texts = "QZR7100007030409HEAD0001S1 V1.06";
  std::copy(texts.begin(), texts.end(), block.begin());
  AdjustmentRecord record;
  DecodeHeadDataBlock(block, record);
  EXPECT_STREQ(record.ModelCode.data(), "QZR71000");
  EXPECT_STREQ(record.AdjustDate.data(), "07030409");
  EXPECT_STREQ(record.HeadIdField.data(), "HEAD0001");
  EXPECT_STREQ(record.ProgramVersion.data(), "S1 V1.06");
}

}  // namespace
