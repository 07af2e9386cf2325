#include "adjust/HeadDataBlock.h"

#include <algorithm>

namespace {

void CopyText8(std::span<const std::uint8_t, kHeadDataBlockSize> block, std::size_t offset,
               AdjustmentRecord::Text8& text) {
  std::transform(block.begin() + static_cast<std::ptrdiff_t>(offset),
                 block.begin() + static_cast<std::ptrdiff_t>(offset + 8), text.begin(),
                 [](std::uint8_t byte) { return static_cast<char>(byte); });
  // The block need not hold a zero byte there; the record's texts always end in one.
  text[8] = '\0';
}

template <std::size_t N>
void CopyBytes(std::span<const std::uint8_t, kHeadDataBlockSize> block, std::size_t offset,
               std::array<std::uint8_t, N>& field) {
  std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(offset), N, field.begin());
}

}  // namespace

void DecodeHeadDataBlock(std::span<const std::uint8_t, kHeadDataBlockSize> block,
                         AdjustmentRecord& record) {
  CopyText8(block, 0, record.ModelCode);
  CopyText8(block, 8, record.AdjustDate);
  CopyText8(block, 16, record.HeadIdField);
  CopyText8(block, 24, record.ProgramVersion);
  CopyBytes(block, 32, record.DaValue);
  CopyBytes(block, 56, record.PaperGain);
  CopyBytes(block, 80, record.NoPaperLevel);
  CopyBytes(block, 96, record.NoPaperGain);
  CopyBytes(block, 112, record.ColorCode);
  CopyBytes(block, 134, record.BlackLevel);
  record.CheckWord = (record.CheckWord & 0xFFFF0000u) | head::LittleEndian16(block.data() + 158);
}
