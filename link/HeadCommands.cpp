#include "link/HeadCommands.h"

#include <algorithm>
#include <stdexcept>

namespace head {

Frame::Frame(std::uint8_t command, std::span<const std::uint8_t> data) {
  // Checked in release builds too: a longer frame would overrun the fixed buffer.
  if (data.size() + 3 > kLongestFrame) throw std::length_error("frame longer than 35 bytes");
  bytes_[0] = kFrameLead;
  bytes_[1] = static_cast<std::uint8_t>(data.size() + 1);
  bytes_[2] = command;
  std::copy(data.begin(), data.end(), bytes_.begin() + 3);
  size_ = static_cast<std::uint8_t>(data.size() + 3);
}

bool operator==(const Frame& a, const Frame& b) {
  return std::ranges::equal(a.Bytes(), b.Bytes());
}

namespace {
Frame Bare(std::uint8_t command) {
  return Frame(command, {});
}
Frame WithByte(std::uint8_t command, std::uint8_t value) {
  const std::uint8_t data[1] = {value};
  return Frame(command, data);
}
}  // namespace

Frame OpeningFrame() {
  return Bare(kFrameOpening);
}
Frame MotorStartFrame() {
  return WithByte(kFrameMotor, kMotorStartData);
}
Frame MotorStopFrame() {
  return WithByte(kFrameMotor, kMotorStopData);
}
Frame MotorSpeedRequestFrame() {
  return Bare(kFrameMotorSpeed);
}
Frame DaFrame(std::span<const std::uint8_t, kChannels24> daValues) {
  return Frame(kFrameDa24, daValues);
}
Frame GainFrame24(std::span<const std::uint8_t, kChannels24> gains) {
  return Frame(kFrameGain24, gains);
}
Frame GainFrame16(std::span<const std::uint8_t, kChannels16> gains) {
  return Frame(kFrameGain16, gains);
}
Frame S0tAdjustStartFrame() {
  return Bare(kFrameS0tAdjust);
}
Frame DaAdjustStartFrame() {
  return Bare(kFrameDaAdjust);
}
Frame BlackLevelStartFrame() {
  return Bare(kFrameBlackLevel);
}
Frame NoPaperBlockStartFrame() {
  return Bare(kFrameNoPaperBlock);
}
Frame FrontExitRequestFrame() {
  return Bare(kFrameFrontExit);
}
Frame CheckWordFrame(std::uint16_t checkWord) {
  const std::uint8_t data[2] = {static_cast<std::uint8_t>(checkWord & 0xFF),
                                static_cast<std::uint8_t>(checkWord >> 8)};
  return Frame(kFrameCheckWord, data);
}
Frame IdentificationFrame(std::span<const std::uint8_t, kIdentificationSize> block) {
  return Frame(kFrameIdentification, block);
}
Frame FinishFrame() {
  std::array<std::uint8_t, kFinishDataSize> data{};
  data[0] = 0x01;
  return Frame(kFrameFinish, data);
}

}  // namespace head
