#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Names and per-channel constants of the two channel orders in which the head reports and
// accepts values. The 24-channel set: channels 0..9 and 10..21 are the two groups the tables
// distinguish, 22 is b0t_ir, 23 s0t_ir. The 16-channel set: indices 0..9 are channels 0..9 of the
// 24-channel set, then b0t_ir, s0t_ir, f0t_ir, e0t_ir, f0t_no, e0t_no.

inline constexpr std::size_t kSensorNameSlot = 7;  // name and zero bytes

// 24 fixed 7-byte slots; entry i starts at 7 * i.
extern const std::array<char, 24 * kSensorNameSlot> SensorNames;
// The name of channel i of the 24-channel set.
std::string_view SensorName(std::size_t channel);
// The name of index i of the 16-channel set.
std::string_view SensorName16(std::size_t index);

extern const std::array<std::uint8_t, 23> TargetLevel24;
extern const std::array<std::uint8_t, 12> TargetLevel16;
extern const std::array<std::uint8_t, 22> ColorCodeTable;  // 0 "_gn", 1 "_rd", 2 "_ir"
extern const std::array<std::uint8_t, 23> BlackLevelLimit;

// Written to the head with the identification block.
inline constexpr std::string_view kModelCode = "QZR71000";
// The program version written into the head's identification block, "S1 V" and a number. It is
// the head's data, not this tool's release number (Qzr71Version.h): it stays "S1 V1.06" when the
// release number moves on.
inline constexpr std::string_view kProgramVersionPrefix = "S1 V";
inline constexpr std::string_view kProgramVersionNumber = "1.06";
