#pragma once

// The 160-byte block of adjustment data the head keeps in its memory, and the file in which the
// simulator keeps it between sessions.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "sim/HeadModel.h"

namespace sim {

using HeadDataBlock = std::array<std::uint8_t, 160>;

// Offsets of the block's fields.
namespace block {
inline constexpr std::size_t kModelCode = 0;
inline constexpr std::size_t kAdjustDate = 8;
inline constexpr std::size_t kHeadId = 16;
inline constexpr std::size_t kProgramVersion = 24;
inline constexpr std::size_t kDaValues = 32;
inline constexpr std::size_t kPaperGains = 56;
inline constexpr std::size_t kNoPaperLevels = 80;
inline constexpr std::size_t kNoPaperGains = 96;
inline constexpr std::size_t kColourCodes = 112;
inline constexpr std::size_t kBlackLevels = 134;
inline constexpr std::size_t kCheckWord = 158;
}  // namespace block

// What the head gathered during a run, stored when the run is finished.
struct RunRecord {
  std::array<std::uint8_t, 32> identification{};  // model code, date, head id, program version
  Levels24 daValues{};
  Levels24 paperGains{};
  Levels16 noPaperLevels{};
  Levels16 noPaperGains{};
  Levels24 blackLevels{};
  std::uint16_t checkWord = 0;
};

HeadDataBlock ComposeBlock(const RunRecord& record);

// The check word the tool derives from a motor speed (reading / 10) and the first paper gain.
std::uint16_t CheckWordFor(std::uint32_t motorSpeed, std::uint8_t firstGain);

// The block a head leaves the factory with: its factory adjustment, an older program version
// and a check word that matches the factory's motor speed.
HeadDataBlock FactoryBlock(const UnitTraits& unit);

// The state file: a comment line, then the 160 bytes in hex, sixteen to a line.
std::optional<HeadDataBlock> LoadStateFile(const std::filesystem::path& path, std::string& error);
// Writes a temporary file beside the state file, syncs it and renames it over, so a crash leaves
// either the old block or the new one.
bool SaveStateFile(const std::filesystem::path& path, const HeadDataBlock& block,
                   std::string& error);

}  // namespace sim
