#include "adjust/StepExchanges.h"

#include "adjust/SensorTables.h"
#include "link/Primitives.h"

std::uint8_t SendHeadFrame(StepContext& context, const head::Frame& frame) {
  return SendFrame(context.port, context.bell, frame);
}

std::uint8_t SendHeadCommand(StepContext& context, std::uint8_t command) {
  return SendCommand(context.port, context.bell, command);
}

std::uint8_t QueryHead(StepContext& context, std::uint8_t length) {
  return QueryReply(context.port, context.bell, length, context.record.ReplyBuf.data(), 1,
                    &head::kEnq);
}

std::uint8_t TakeReading(StepContext& context) {
  if (SendHeadCommand(context, head::kCmdTakeReading) != 1) return 0;
  if (QueryHead(context, head::kReplyReading) != 1) return 0;
  return SendHeadCommand(context, head::kCmdEndReading);
}

std::vector<std::string_view> BadChannelNames(std::span<const bool> bad) {
  std::vector<std::string_view> names;
  for (std::size_t channel = 0; channel < bad.size(); ++channel) {
    if (bad[channel]) names.push_back(SensorName(channel));
  }
  return names;
}
