#include "sim/Sensors.h"

#include <stdexcept>

namespace sim {

namespace {

constexpr std::array<std::string_view, kSensorCount> kNames = {
    "l3t_ir", "c0t_ir", "r3t_ir", "l3t_gn", "c0t_rd", "r3t_rd", "l2t_gn",
    "r1t_rd", "r2t_gn", "l1t_rd", "l3d_ir", "c0d_ir", "r3d_ir", "l3u_gn",
    "c0u_rd", "r3u_rd", "l3d_rd", "c0d_rd", "r3d_gn", "l3u_ir", "c0u_ir",
    "r3u_ir", "b0t_ir", "s0t_ir", "f0t_ir", "e0t_ir", "f0t_no", "e0t_no"};

}  // namespace

std::string_view SensorName(std::size_t sensor) {
  return kNames.at(sensor);
}

std::size_t SensorOfShortIndex(std::size_t index) {
  if (index < 10) return index;
  if (index == 10) return kB0t;
  if (index == 11) return kS0t;
  if (index < 16) return 24 + (index - 12);
  throw std::out_of_range("short set index");
}

std::optional<std::size_t> FindSensor(std::string_view name) {
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    if (kNames[i] == name) return i;
  }
  return std::nullopt;
}

bool IsTransmissive(std::size_t sensor) {
  return kNames.at(sensor)[2] == 't';
}

std::uint8_t RegulationTarget(std::size_t channel) {
  if (channel == kS0t) return 178;
  if (channel >= 10 && channel <= 21) return 153;
  return 102;
}

std::uint8_t ColourCode(std::size_t channel) {
  const std::string_view name = kNames.at(channel);
  if (name.ends_with("_gn")) return 0;
  if (name.ends_with("_rd")) return 1;
  return 2;
}

}  // namespace sim
