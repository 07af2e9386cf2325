#pragma once

// The head's sensors as its firmware knows them: the 24 channels it reports in its long set, the
// 16 channels of its short set, the level each channel regulates towards, and the colour of each
// channel's light source.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace sim {

// Every photodiode of the head: the 24 channels of the long set, then the four front and exit
// sensors that only the short set reports.
inline constexpr std::size_t kSensorCount = 28;
inline constexpr std::size_t kB0t = 22;
inline constexpr std::size_t kS0t = 23;

enum class Paper { kNone, kWhite, kBlack };

std::string_view SensorName(std::size_t sensor);

// The sensor behind each index of the short set: 0..9 are the first ten channels of the long set
// (read through the other data select line), then b0t_ir, s0t_ir and the front and exit sensors.
std::size_t SensorOfShortIndex(std::size_t index);

std::optional<std::size_t> FindSensor(std::string_view name);

// True for sensors that look through the note (name "..t_.."); the others see light reflected
// from it, so without a note they see almost nothing.
bool IsTransmissive(std::size_t sensor);

// The level the head's own regulation aims at, per channel of the long set.
std::uint8_t RegulationTarget(std::size_t channel);

// 0 green, 1 red, 2 infrared, by the channel's name; 22 entries.
std::uint8_t ColourCode(std::size_t channel);

}  // namespace sim
