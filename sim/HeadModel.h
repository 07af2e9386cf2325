#pragma once

// The physics of the sensor head: photodiodes lit by LEDs whose drive is the D/A value,
// amplifiers set by the gain registers, an 8-bit converter, noise and a slow drift, the motor, and
// the firmware's own closed loops that regulate D/A values towards fixed targets.

#include <array>
#include <cstdint>
#include <random>

#include "sim/HeadFaults.h"
#include "sim/Sensors.h"

namespace sim {

using Levels24 = std::array<std::uint8_t, 24>;
using Levels16 = std::array<std::uint8_t, 16>;

// What makes one head unit differ from another: fixed at manufacture.
struct SensorTraits {
  double dark = 2.0;         // converter counts with no light
  double white = 8.0;        // counts per gain step at D/A 100 through the white paper
  double black = 0.05;       // black paper transmission relative to white
  double noPaper = 2.0;      // no paper relative to white
  double selectRatio = 0.3;  // the other data select line relative to this one
  double driftPhase = 0.0;
};

struct UnitTraits {
  std::array<SensorTraits, kSensorCount> sensors{};
  double frontInPaper = 200, frontNoPaper = 55, exitInPaper = 200, exitNoPaper = 55;
  double motorRaw = 3500;  // the motor's speed reading when healthy
};

UnitTraits MakeUnit(std::uint32_t unit);

class HeadModel {
 public:
  HeadModel(const UnitTraits& traits, const HeadFaults& faults, std::uint64_t seed);

  // The registers the tool writes with its D/A and gain frames, and that the firmware's loops
  // change.
  Levels24 da{};
  Levels24 gain24{};
  Levels16 gain16{};
  Paper paper = Paper::kNone;

  // One conversion of every channel: the long set, then the short set.
  std::array<std::uint8_t, 40> TakeReading();
  Levels24 ReadLong();
  Levels16 ReadShort();

  void StartDaRegulation();
  std::array<std::uint8_t, 48> DaRegulationStep();  // levels, then D/A values
  void StartS0tRegulation();
  std::array<std::uint8_t, 2> S0tRegulationStep();  // level, D/A value
  void StopRegulation();
  void StartBlackMeasurement();
  Levels24 BlackReading();
  std::array<std::uint8_t, 2> FrontExitLevels();

  void StartMotor() { motorRunning_ = true; }
  void StopMotor() { motorRunning_ = false; }
  std::uint16_t MeasureMotorSpeed();

  // The gains and D/A values a factory adjustment of this unit arrives at.
  void FactoryAdjust();

  const UnitTraits& traits() const { return traits_; }

 private:
  using Noise = std::array<double, kSensorCount>;
  Noise Sample();
  double Light(std::size_t sensor, std::uint8_t daValue) const;
  double Amplify(std::size_t sensor, std::uint8_t gain) const;
  double Level(std::size_t sensor, std::uint8_t gain, std::uint8_t daValue, bool otherLine,
               double noise) const;
  enum class Set { kLong, kShort };
  std::uint8_t Convert(std::size_t sensor, double level, Set set, std::uint8_t gain) const;
  const SensorFault::RegulationAnswer* RegulationAnswerFor(std::size_t sensor) const;
  Levels24 LongSet(const Noise& noise);
  Levels16 ShortSet(const Noise& noise);
  std::uint8_t RegulateOne(std::size_t sensor, std::uint8_t level, std::uint8_t daValue) const;

  UnitTraits traits_;
  HeadFaults faults_;
  std::mt19937_64 random_;
  std::normal_distribution<double> normal_{0.0, 1.0};
  std::uint64_t conversions_ = 0;
  bool regulating_ = false;
  int regulationReplies_ = 0;  // since the regulation last started
  int blackReadings_ = 0;
  double blackBoost_ = 0.0;
  bool motorRunning_ = false;
  std::size_t motorFaultIndex_ = 0;
};

}  // namespace sim
