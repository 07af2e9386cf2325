#pragma once

// Defects a head can have. A healthy head has none; a scenario file switches them on.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/Sensors.h"

namespace sim {

enum class GainResponse {
  kNormal,
  kFlat,     // the amplifier ignores its gain register
  kFalling,  // the gain register is wired backwards
};

struct SensorFault {
  std::optional<std::uint8_t> stuckLevel;  // the converter reads this whatever the light
  GainResponse response = GainResponse::kNormal;
  double sensitivity = 1.0;  // multiplies the photodiode's response in every paper state
  double ledDroop = 0.0;     // fraction of light lost while the head regulates on its own
  bool unstableRegulation = false;
  // A black level forced into readings blackFrom..blackTo of each black measurement.
  std::optional<std::uint8_t> blackLevel;
  int blackFrom = 1;
  int blackTo = 1 << 30;
  bool dataSelectStuck = false;  // the short set reads this channel on the long set's line
};

enum class EchoFault { kNone, kWrong, kSwapped };

using TwoBytes = std::array<std::uint8_t, 2>;

struct HeadFaults {
  std::array<SensorFault, kSensorCount> sensors{};
  std::vector<std::uint16_t> motorReadings;  // raw readings replacing the measured ones, in order
  std::optional<std::uint16_t> motorNominal;
  std::optional<std::uint8_t> frontInPaper, frontNoPaper, exitInPaper, exitNoPaper;
  std::optional<TwoBytes> storedAnswer;          // instead of "OK" to the first ENQ after 0xB1
  std::optional<TwoBytes> identificationAnswer;  // instead of "OK" to the identification block
  EchoFault echo = EchoFault::kNone;
  double noise = 1.0;  // multiplies the converter noise
};

}  // namespace sim
