#include "adjust/SensorTables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(SensorTables, NamesStandInSevenByteSlots) {
  EXPECT_EQ(SensorNames.size(), 168u);
  for (std::size_t i = 0; i < 24; ++i) {
    const char* slot = SensorNames.data() + 7 * i;
    const std::size_t length = std::strlen(slot);
    EXPECT_EQ(length, 6u) << i;
    EXPECT_EQ(SensorName(i), std::string_view(slot, length));
  }
  EXPECT_EQ(SensorName(0), "l3t_ir");
  EXPECT_EQ(SensorName(4), "c0t_rd");
  EXPECT_EQ(SensorName(22), "b0t_ir");
  EXPECT_EQ(SensorName(23), "s0t_ir");
}

TEST(SensorTables, SixteenChannelSetSharesChannelsZeroToNine) {
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(SensorName16(i), SensorName(i));
  EXPECT_EQ(SensorName16(10), "b0t_ir");
  EXPECT_EQ(SensorName16(11), "s0t_ir");
  EXPECT_EQ(SensorName16(15), "e0t_no");
}

TEST(SensorTables, ColourCodesFollowTheNameSuffix) {
  for (std::size_t i = 0; i < ColorCodeTable.size(); ++i) {
    const std::string_view suffix = SensorName(i).substr(3);
    const int expected = suffix == "_gn" ? 0 : suffix == "_rd" ? 1 : 2;
    EXPECT_EQ(ColorCodeTable[i], expected) << SensorName(i);
  }
}

}  // namespace
