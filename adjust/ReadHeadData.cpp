#include "adjust/ReadHeadData.h"

#include <algorithm>

#include "adjust/HeadDataBlock.h"
#include "adjust/ProgressReports.h"
#include "adjust/StepExchanges.h"
#include "link/HeadCommands.h"

namespace {

constexpr int kBlockTries = 4;

bool IsLetter(std::uint8_t byte, char upper) {
  return byte == static_cast<std::uint8_t>(upper) || byte == static_cast<std::uint8_t>(upper + 32);
}

}  // namespace

HeadDataFetch FetchHeadDataBlock(StepContext& context) {
  const auto& reply = context.record.ReplyBuf;
  if (QueryHead(context, head::kReplyStoredDataAnswer) != 1) {
    return HeadDataFetch::kFailed;
  }
  if (IsLetter(reply[0], 'N') && IsLetter(reply[1], 'G')) return HeadDataFetch::kNoData;

  for (int tries = 1;; ++tries) {
    if (QueryHead(context, head::kReplyHeadDataBlock) == 1) {
      return HeadDataFetch::kBlockRead;
    }
    if (tries >= kBlockTries) return HeadDataFetch::kFailed;
    context.bell.Ring();
  }
}

StepResult ReadHeadData(StepContext& context) {
  ReportStep(context, ProgressStep::kReadHeadData);
  if (SendHeadCommand(context, head::kCmdReadStoredData) != 1) {
    return context.log.LogCommError();
  }
  const HeadDataFetch fetched = FetchHeadDataBlock(context);
  if (fetched == HeadDataFetch::kFailed) return context.log.LogCommError();

  auto& reply = context.record.ReplyBuf;
  const bool noData = fetched == HeadDataFetch::kNoData;
  if (noData) std::fill_n(reply.begin(), kHeadDataBlockSize, std::uint8_t{0});
  DecodeHeadDataBlock(
      std::span<const std::uint8_t, kHeadDataBlockSize>(reply.data(), kHeadDataBlockSize),
      context.record);
  if (noData) {
    // The write-back at the end of the run carries this field to the head unchanged.
    auto& id = context.record.HeadIdField;
    std::fill_n(id.begin(), 8, '-');
    id[8] = '\0';
  }
  context.record.HeadHeldNoData = noData;
  // Done: the record now holds what the head stored, before later stages overwrite it.
  ReportStep(context, ProgressStep::kReadHeadData, 1);
  return kStepSucceeded;
}
