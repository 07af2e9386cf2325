#pragma once

// The wire format shared with the validator head: every command byte, every frame and the length
// of every reply. Frames are lead byte 0x10, a length byte counting the command byte and its data,
// the command byte, then the data; there is no checksum and no terminator. Multi-byte numbers are
// little-endian. Steps build their frames here and never type bytes inline.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace head {

// Control bytes.
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kEnq = 0x05;
inline constexpr std::uint8_t kBel = 0x07;
inline constexpr std::uint8_t kFrameLead = 0x10;

// Bare command bytes (sent with SendCommand; the head answers ACK).
inline constexpr std::uint8_t kCmdReadStoredData = 0xB1;  // ENQ then gives 2 bytes, then 160
inline constexpr std::uint8_t kCmdTakeReading = 0xC4;     // ENQ then gives 40 bytes
inline constexpr std::uint8_t kCmdEndReading = 0xA6;  // no reply; also sent after a failed stage

// Command bytes inside frames (sent with SendFrame; the head answers ACK).
inline constexpr std::uint8_t kFrameOpening = 0xC4;     // 10 01 C4, first frame of the motor check
inline constexpr std::uint8_t kFrameMotor = 0xD3;       // 10 02 D3 '1' start / '2' stop
inline constexpr std::uint8_t kFrameMotorSpeed = 0xD4;  // 10 01 D4
inline constexpr std::uint8_t kFrameDa24 = 0xC0;        // 24 D/A values
inline constexpr std::uint8_t kFrameGain24 = 0xC1;      // 24 gains
inline constexpr std::uint8_t kFrameGain16 = 0xC2;      // 16 gains
inline constexpr std::uint8_t kFrameS0tAdjust = 0xA0;   // head regulates the s0t_ir D/A value
inline constexpr std::uint8_t kFrameDaAdjust = 0xA1;    // head regulates the 24 D/A values
inline constexpr std::uint8_t kFrameBlackLevel = 0xA2;  // black level measurement
inline constexpr std::uint8_t kFrameNoPaperBlock = 0xA3;    // no-paper block of the 16-channel set
inline constexpr std::uint8_t kFrameFrontExit = 0xA7;       // front and exit levels
inline constexpr std::uint8_t kFrameCheckWord = 0xD5;       // 16-bit check word, low byte first
inline constexpr std::uint8_t kFrameIdentification = 0xB2;  // 32-byte identification block
inline constexpr std::uint8_t kFrameFinish = 0xD1;          // 0x01 and 28 zero bytes

inline constexpr std::uint8_t kMotorStartData = '1';
inline constexpr std::uint8_t kMotorStopData = '2';

// Data sizes.
inline constexpr std::size_t kChannels24 = 24;
inline constexpr std::size_t kChannels16 = 16;
inline constexpr std::size_t kIdentificationSize = 32;
inline constexpr std::size_t kFinishDataSize = 29;  // 0x01 and 28 zero bytes

// Lengths of the replies to ENQ, by the command or frame that preceded it.
inline constexpr std::uint8_t kReplyStoredDataAnswer = 2;  // after 0xB1: "NG" or anything else
inline constexpr std::uint8_t kReplyHeadDataBlock = 160;   // second ENQ after 0xB1
inline constexpr std::uint8_t kReplyReading = 40;          // after 0xC4: 24 levels, then 16 levels
inline constexpr std::uint8_t kReplyMotorSpeed = 2;        // after 10 01 D4: little-endian speed
inline constexpr std::uint8_t kReplyLevels24 = 24;         // after the 0xC1 frame, when polled
inline constexpr std::uint8_t kReplyLevels16 = 16;         // after the 0xC2 frame, when polled
inline constexpr std::uint8_t kReplyS0tAdjust = 2;         // after 0xA0: level, D/A value
inline constexpr std::uint8_t kReplyDaAdjust = 48;         // after 0xA1: 24 levels, 24 D/A values
inline constexpr std::uint8_t kReplyBlackLevels = 24;      // after 0xA2
inline constexpr std::uint8_t kReplyNoPaperBlock = 16;     // after 0xA3
inline constexpr std::uint8_t kReplyFrontExit = 2;         // after 0xA7: front level, exit level
inline constexpr std::uint8_t kReplyCheckWordEcho = 2;     // after 0xD5: the word, low byte first
inline constexpr std::uint8_t kReplyIdentification = 2;    // after 0xB2: "OK" or "NG"

inline constexpr std::size_t kLongestFrame = 3 + kIdentificationSize;  // the 0xB2 frame, 35 bytes

// A frame ready to send: at most 35 bytes, no allocation.
class Frame {
 public:
  // Lead byte, length byte (data size + 1), the command byte and the data.
  Frame(std::uint8_t command, std::span<const std::uint8_t> data);

  const std::uint8_t* data() const { return bytes_.data(); }
  std::uint8_t size() const { return size_; }
  std::span<const std::uint8_t> Bytes() const { return {bytes_.data(), size_}; }

  friend bool operator==(const Frame& a, const Frame& b);

 private:
  std::array<std::uint8_t, kLongestFrame> bytes_{};
  std::uint8_t size_ = 0;
};

Frame OpeningFrame();                                                 // 10 01 C4
Frame MotorStartFrame();                                              // 10 02 D3 31
Frame MotorStopFrame();                                               // 10 02 D3 32
Frame MotorSpeedRequestFrame();                                       // 10 01 D4
Frame DaFrame(std::span<const std::uint8_t, kChannels24> daValues);   // 10 19 C0 + 24
Frame GainFrame24(std::span<const std::uint8_t, kChannels24> gains);  // 10 19 C1 + 24
Frame GainFrame16(std::span<const std::uint8_t, kChannels16> gains);  // 10 11 C2 + 16
Frame S0tAdjustStartFrame();                                          // 10 01 A0
Frame DaAdjustStartFrame();                                           // 10 01 A1
Frame BlackLevelStartFrame();                                         // 10 01 A2
Frame NoPaperBlockStartFrame();                                       // 10 01 A3
Frame FrontExitRequestFrame();                                        // 10 01 A7
Frame CheckWordFrame(std::uint16_t checkWord);                        // 10 03 D5 lo hi
Frame IdentificationFrame(
    std::span<const std::uint8_t, kIdentificationSize> block);  // 10 21 B2 + 32
Frame FinishFrame();                                            // 10 1E D1 01 + 28 zero bytes

// Reads a little-endian 16-bit number from two reply bytes.
inline std::uint16_t LittleEndian16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

}  // namespace head
