#pragma once

#include <cstdint>
#include <span>

#include "adjust/AdjustmentRecord.h"

// The 160-byte block of stored adjustment data a head returns at the start of a run.
inline constexpr std::size_t kHeadDataBlockSize = 160;

// Fills the record's head-derived fields from the block. The upper half of CheckWord keeps its
// value; the block is not verified.
void DecodeHeadDataBlock(std::span<const std::uint8_t, kHeadDataBlockSize> block,
                         AdjustmentRecord& record);
