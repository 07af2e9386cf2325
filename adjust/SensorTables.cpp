#include "adjust/SensorTables.h"

#include <stdexcept>
#include <string>

namespace {

constexpr std::array<std::string_view, 24> kNames24{
    "l3t_ir", "c0t_ir", "r3t_ir", "l3t_gn", "c0t_rd", "r3t_rd", "l2t_gn", "r1t_rd",
    "r2t_gn", "l1t_rd", "l3d_ir", "c0d_ir", "r3d_ir", "l3u_gn", "c0u_rd", "r3u_rd",
    "l3d_rd", "c0d_rd", "r3d_gn", "l3u_ir", "c0u_ir", "r3u_ir", "b0t_ir", "s0t_ir"};

// After channels 0..9 of the 24-channel set.
constexpr std::array<std::string_view, 6> kNames16Tail{"b0t_ir", "s0t_ir", "f0t_ir",
                                                       "e0t_ir", "f0t_no", "e0t_no"};

constexpr std::array<char, 24 * kSensorNameSlot> MakeSlots() {
  std::array<char, 24 * kSensorNameSlot> slots{};
  for (std::size_t i = 0; i < kNames24.size(); ++i) {
    for (std::size_t c = 0; c < kNames24[i].size(); ++c)
      slots[i * kSensorNameSlot + c] = kNames24[i][c];
  }
  return slots;
}

}  // namespace

const std::array<char, 24 * kSensorNameSlot> SensorNames = MakeSlots();

std::string_view SensorName(std::size_t channel) {
  if (channel >= 24) throw std::out_of_range("no sensor channel " + std::to_string(channel));
  const char* slot = SensorNames.data() + kSensorNameSlot * channel;
  return std::string_view(slot, std::char_traits<char>::length(slot));
}

std::string_view SensorName16(std::size_t index) {
  return index < 10 ? SensorName(index) : kNames16Tail.at(index - 10);
}

const std::array<std::uint8_t, 23> TargetLevel24{102, 102, 102, 102, 102, 102, 102, 102,
                                                 102, 102, 153, 153, 153, 153, 153, 153,
                                                 153, 153, 153, 153, 153, 153, 102};

const std::array<std::uint8_t, 12> TargetLevel16{102, 102, 102, 102, 102, 102,
                                                 102, 102, 102, 102, 102, 178};

const std::array<std::uint8_t, 22> ColorCodeTable{2, 2, 2, 0, 1, 1, 0, 1, 0, 1, 2,
                                                  2, 2, 0, 1, 1, 1, 1, 0, 2, 2, 2};

const std::array<std::uint8_t, 23> BlackLevelLimit{15, 15, 15, 40, 15, 15, 40, 15, 40, 15, 76, 76,
                                                   76, 76, 76, 76, 76, 76, 76, 76, 76, 76, 15};
