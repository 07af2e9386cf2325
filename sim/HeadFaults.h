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
  // Levels the converter gives while the amplifier's gain register holds a chosen value.
  struct GainLevel {
    std::uint8_t gain = 0;
    std::uint8_t level = 0;
    bool longSet = true;
    bool shortSet = true;
  };
  std::vector<GainLevel> gainLevels;
  // What the head's own D/A regulation answers for this sensor in its replies from..to, counted
  // from each start of the regulation; the first that covers a reply acts. The loop holds the
  // sensor's D/A value meanwhile.
  struct RegulationAnswer {
    std::uint8_t level = 0;
    std::optional<std::uint8_t> da;  // the D/A value the register is set to and reported
    int from = 1;
    int to = 1 << 30;
  };
  std::vector<RegulationAnswer> regulation;
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
