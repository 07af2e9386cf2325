#include "sim/HeadModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {

namespace {

constexpr double kBlackSettle = 0.3;  // extra light while the black paper settles in its slot
constexpr double kDriftDepth = 0.004;
constexpr double kDriftPeriod = 37.0;  // conversions

std::uint8_t ToByte(double value) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

bool HasLowBlackLimit(std::size_t channel) {
  return channel == 0 || channel == 1 || channel == 2 || channel == 4 || channel == 5 ||
         channel == 7 || channel == 9 || channel == kB0t;
}

}  // namespace

UnitTraits MakeUnit(std::uint32_t unit) {
  std::mt19937 random(0x51A7u + unit * 7919u);
  auto uniform = [&random](double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random);
  };
  UnitTraits traits;
  for (std::size_t s = 0; s < kSensorCount; ++s) {
    SensorTraits& t = traits.sensors[s];
    t.dark = uniform(1.5, 3.0);
    t.driftPhase = uniform(0.0, 2 * std::numbers::pi);
    t.selectRatio = uniform(0.25, 0.35);
    if (s < 10 || s == kB0t) {
      t.white = uniform(6.0, 10.0);
    } else if (s < kB0t) {
      t.white = uniform(8.5, 13.0);
    } else if (s == kS0t) {
      t.white = uniform(4.0, 6.0);
    } else if (s < 26) {
      t.white = uniform(1.0, 2.0);
    } else {
      t.white = uniform(0.1, 0.2);
    }
    if (HasLowBlackLimit(s)) {
      t.black = uniform(0.02, 0.05);
    } else if (s < 10) {
      t.black = uniform(0.10, 0.22);
    } else if (s < kB0t) {
      t.black = uniform(0.15, 0.30);
    } else {
      t.black = 0.5;
    }
    if (s == kS0t) {
      t.noPaper = uniform(19.0, 24.0) / t.white;
    } else if (s == 24 || s == 25) {
      t.noPaper = uniform(8.0, 12.0) / t.white;
    } else if (s > 25) {
      t.noPaper = 1.0;
    } else if (IsTransmissive(s)) {
      t.noPaper = uniform(2.0, 2.6);
    } else {
      t.noPaper = uniform(0.03, 0.08);
    }
  }
  traits.frontInPaper = uniform(192, 215);
  traits.frontNoPaper = uniform(40, 68);
  traits.exitInPaper = uniform(192, 215);
  traits.exitNoPaper = uniform(40, 68);
  traits.motorRaw = uniform(3350, 3650);
  return traits;
}

HeadModel::HeadModel(const UnitTraits& traits, const HeadFaults& faults, std::uint64_t seed)
    : traits_(traits), faults_(faults), random_(seed) {
  da.fill(100);
}

HeadModel::Noise HeadModel::Sample() {
  ++conversions_;
  Noise noise{};
  for (double& n : noise) n = normal_(random_);
  return noise;
}

double HeadModel::Light(std::size_t sensor, std::uint8_t daValue) const {
  const SensorTraits& t = traits_.sensors[sensor];
  double paperFactor = 1.0;
  switch (paper) {
    case Paper::kWhite:
      paperFactor = 1.0;
      break;
    case Paper::kBlack:
      paperFactor = t.black * (1.0 + blackBoost_);
      break;
    case Paper::kNone:
      paperFactor = t.noPaper;
      break;
  }
  const double drift =
      1.0 + kDriftDepth * std::sin(static_cast<double>(conversions_) / kDriftPeriod + t.driftPhase);
  const double droop = regulating_ ? faults_.sensors[sensor].ledDroop : 0.0;
  return t.white * paperFactor * faults_.sensors[sensor].sensitivity * drift * (1.0 - droop) *
         daValue / 100.0;
}

double HeadModel::Amplify(std::size_t sensor, std::uint8_t gain) const {
  switch (faults_.sensors[sensor].response) {
    case GainResponse::kNormal:
      return gain;
    case GainResponse::kFlat:
      return 4.0;
    case GainResponse::kFalling:
      return std::max(0, 33 - gain);
  }
  return gain;
}

double HeadModel::Level(std::size_t sensor, std::uint8_t gain, std::uint8_t daValue, bool otherLine,
                        double noise) const {
  const SensorTraits& t = traits_.sensors[sensor];
  const SensorFault& fault = faults_.sensors[sensor];
  double signal = Amplify(sensor, gain) * Light(sensor, daValue);
  if (otherLine && !fault.dataSelectStuck) signal *= t.selectRatio;
  // Shot noise grows with the signal; a dead amplifier stage makes none.
  const double sigma =
      fault.response == GainResponse::kFlat ? 0.0 : (0.25 + 0.004 * signal) * faults_.noise;
  return t.dark + signal + sigma * noise;
}

std::uint8_t HeadModel::Convert(std::size_t sensor, double level, Set set,
                                std::uint8_t gain) const {
  const SensorFault& fault = faults_.sensors[sensor];
  if (fault.stuckLevel) return *fault.stuckLevel;
  for (const SensorFault::GainLevel& forced : fault.gainLevels) {
    if (forced.gain == gain && (set == Set::kLong ? forced.longSet : forced.shortSet)) {
      return forced.level;
    }
  }
  return ToByte(level);
}

const SensorFault::RegulationAnswer* HeadModel::RegulationAnswerFor(std::size_t sensor) const {
  for (const SensorFault::RegulationAnswer& answer : faults_.sensors[sensor].regulation) {
    if (regulationReplies_ >= answer.from && regulationReplies_ <= answer.to) return &answer;
  }
  return nullptr;
}

Levels24 HeadModel::LongSet(const Noise& noise) {
  Levels24 levels{};
  for (std::size_t c = 0; c < levels.size(); ++c) {
    levels[c] = Convert(c, Level(c, gain24[c], da[c], false, noise[c]), Set::kLong, gain24[c]);
  }
  return levels;
}

Levels16 HeadModel::ShortSet(const Noise& noise) {
  Levels16 levels{};
  for (std::size_t i = 0; i < levels.size(); ++i) {
    const std::size_t s = SensorOfShortIndex(i);
    const std::uint8_t daValue = s < 24 ? da[s] : std::uint8_t{100};
    levels[i] = Convert(s, Level(s, gain16[i], daValue, i < 10, noise[s]), Set::kShort, gain16[i]);
  }
  return levels;
}

std::array<std::uint8_t, 40> HeadModel::TakeReading() {
  const Noise noise = Sample();
  const Levels24 first = LongSet(noise);
  const Levels16 second = ShortSet(noise);
  std::array<std::uint8_t, 40> reading{};
  std::copy(first.begin(), first.end(), reading.begin());
  std::copy(second.begin(), second.end(), reading.begin() + 24);
  return reading;
}

Levels24 HeadModel::ReadLong() {
  return LongSet(Sample());
}
Levels16 HeadModel::ReadShort() {
  return ShortSet(Sample());
}

std::uint8_t HeadModel::RegulateOne(std::size_t sensor, std::uint8_t level,
                                    std::uint8_t daValue) const {
  const int target = RegulationTarget(sensor);
  const int error = target - level;
  if (std::abs(error) <= 1) return daValue;
  const bool unstable = faults_.sensors[sensor].unstableRegulation;
  const double loopGain = unstable ? 2.8 : 0.6;
  const double limit = unstable ? 80.0 : 16.0;
  const double signal = std::max(1.0, level - traits_.sensors[sensor].dark);
  double step = error / signal * std::max<int>(daValue, 1) * loopGain;
  step = std::clamp(step, -limit, limit);
  long change = std::lround(step);
  if (change == 0) change = error > 0 ? 1 : -1;
  return static_cast<std::uint8_t>(std::clamp(daValue + change, 1L, 255L));
}

void HeadModel::StartDaRegulation() {
  regulating_ = true;
  regulationReplies_ = 0;
}

std::array<std::uint8_t, 48> HeadModel::DaRegulationStep() {
  regulating_ = true;
  ++regulationReplies_;
  // s0t_ir has a regulation of its own (0xA0); this one leaves it alone.
  std::array<const SensorFault::RegulationAnswer*, kS0t> forced{};
  for (std::size_t c = 0; c < forced.size(); ++c) {
    forced[c] = RegulationAnswerFor(c);
    if (forced[c] && forced[c]->da) da[c] = *forced[c]->da;
  }
  Levels24 levels = LongSet(Sample());
  for (std::size_t c = 0; c < forced.size(); ++c) {
    if (forced[c]) levels[c] = forced[c]->level;
  }
  std::array<std::uint8_t, 48> reply{};
  std::copy(levels.begin(), levels.end(), reply.begin());
  std::copy(da.begin(), da.end(), reply.begin() + 24);
  // The loop holds a channel while its answers are forced.
  for (std::size_t c = 0; c < kS0t; ++c) {
    if (!forced[c]) da[c] = RegulateOne(c, levels[c], da[c]);
  }
  return reply;
}

void HeadModel::StartS0tRegulation() {
  regulating_ = true;
  regulationReplies_ = 0;
}

std::array<std::uint8_t, 2> HeadModel::S0tRegulationStep() {
  regulating_ = true;
  ++regulationReplies_;
  const SensorFault::RegulationAnswer* forced = RegulationAnswerFor(kS0t);
  if (forced && forced->da) da[kS0t] = *forced->da;
  const Levels16 levels = ShortSet(Sample());
  const std::uint8_t level = forced ? forced->level : levels[11];
  const std::array<std::uint8_t, 2> reply = {level, da[kS0t]};
  if (!forced) da[kS0t] = RegulateOne(kS0t, level, da[kS0t]);
  return reply;
}

void HeadModel::StopRegulation() {
  regulating_ = false;
}

void HeadModel::StartBlackMeasurement() {
  blackReadings_ = 0;
}

Levels24 HeadModel::BlackReading() {
  ++blackReadings_;
  blackBoost_ = kBlackSettle * std::exp(-(blackReadings_ - 1) / 2.0);
  Levels24 levels = LongSet(Sample());
  blackBoost_ = 0.0;
  for (std::size_t c = 0; c < levels.size(); ++c) {
    const SensorFault& fault = faults_.sensors[c];
    if (fault.blackLevel && blackReadings_ >= fault.blackFrom && blackReadings_ <= fault.blackTo) {
      levels[c] = *fault.blackLevel;
    }
  }
  return levels;
}

std::array<std::uint8_t, 2> HeadModel::FrontExitLevels() {
  const Noise noise = Sample();
  const bool inPaper = paper != Paper::kNone;
  auto level = [&](const std::optional<std::uint8_t>& forced, double nominal, double n) {
    return forced ? *forced : ToByte(nominal + 0.8 * n * faults_.noise);
  };
  return {inPaper ? level(faults_.frontInPaper, traits_.frontInPaper, noise[24])
                  : level(faults_.frontNoPaper, traits_.frontNoPaper, noise[24]),
          inPaper ? level(faults_.exitInPaper, traits_.exitInPaper, noise[25])
                  : level(faults_.exitNoPaper, traits_.exitNoPaper, noise[25])};
}

std::uint16_t HeadModel::MeasureMotorSpeed() {
  if (!motorRunning_) return 0;
  if (motorFaultIndex_ < faults_.motorReadings.size()) {
    return faults_.motorReadings[motorFaultIndex_++];
  }
  const double nominal = faults_.motorNominal ? *faults_.motorNominal : traits_.motorRaw;
  const double reading = nominal + 12.0 * normal_(random_) * faults_.noise;
  return static_cast<std::uint16_t>(std::clamp(std::lround(reading), 0L, 65535L));
}

void HeadModel::FactoryAdjust() {
  const Paper saved = paper;
  auto adjust = [this](std::size_t sensor, double perGain, int target, std::uint8_t& gain,
                       std::uint8_t* daValue) {
    const double needed = target - traits_.sensors[sensor].dark;
    const long g = std::clamp(std::lround(needed / perGain), 1L, 64L);
    gain = static_cast<std::uint8_t>(g);
    if (daValue) *daValue = ToByte(100.0 * needed / (perGain * static_cast<double>(g)));
  };
  for (std::size_t c = 0; c < kS0t; ++c) {
    adjust(c, traits_.sensors[c].white, RegulationTarget(c), gain24[c], &da[c]);
  }
  gain24[kS0t] = 0;
  for (std::size_t i = 0; i < 12; ++i) {
    const std::size_t s = SensorOfShortIndex(i);
    const SensorTraits& t = traits_.sensors[s];
    double perGain = t.white * t.noPaper * (i < 10 ? t.selectRatio : 1.0);
    if (s != kS0t) perGain *= da[s] / 100.0;
    adjust(s, perGain, i == 11 ? 178 : 102, gain16[i], s == kS0t ? &da[kS0t] : nullptr);
  }
  paper = saved;
}

}  // namespace sim
