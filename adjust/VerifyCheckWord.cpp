#include "adjust/ProgressReports.h"
#include "adjust/StepExchanges.h"
#include "adjust/WriteBack.h"

namespace {

constexpr int kFeeds = 168;
constexpr std::uint16_t kNibbleFactor = 0x1081;  // CRC-16/KERMIT, four bits at a time

std::uint16_t FeedNibble(std::uint16_t crc, unsigned nibble) {
  return static_cast<std::uint16_t>((crc >> 4) ^ (((crc ^ nibble) & 0x0Fu) * kNibbleFactor));
}

}  // namespace

std::uint16_t ComputeCheckWord(std::uint32_t motorSpeed, std::uint8_t firstGain) {
  for (std::uint32_t speed = motorSpeed;; ++speed) {
    std::uint32_t c = speed;
    while (c > 0xFF) c >>= 1;
    auto crc = static_cast<std::uint16_t>(((c ^ 0xFFu) << 8) | c);
    for (int feed = 0; feed < kFeeds; ++feed) {
      crc = FeedNibble(crc, firstGain & 0x0Fu);
      crc = FeedNibble(crc, firstGain >> 4);
    }
    if (crc != 0) return crc;
  }
}

StepResult VerifyCheckWord(StepContext& context) {
  AdjustmentRecord& record = context.record;
  ReportStep(context, ProgressStep::kVerifyCheckWord);
  const std::uint16_t word = ComputeCheckWord(record.MotorSpeed, record.PaperGain[0]);
  record.CheckWord = word;
  if (SendHeadFrame(context, head::CheckWordFrame(word)) != 1) return context.log.LogCommError();
  if (QueryHead(context, head::kReplyCheckWordEcho) != 1) return context.log.LogCommError();
  return head::LittleEndian16(record.ReplyBuf.data()) == word ? kStepSucceeded : kStepFailed;
}
